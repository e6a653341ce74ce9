// Whole slots as segweld-sample writes them (one call per channel into one
// folder), delivered into the input folder step by step and given to
// `segweld --watch --slots` and to `segweld --batch --slots`: the slot
// records of the report, the manifests beside the outputs and the outputs'
// bytes must tell what came, what is missing and what came late.
#include <functional>

#include "tests/station/station_fixture.h"

namespace segweld::station {
namespace {

using json = nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<std::string> kChannels{"VIS006", "VIS008", "IR_016", "IR_039", "WV_062", "WV_073",
                                         "IR_087", "IR_097", "IR_108", "IR_120", "IR_134", "HRV"};

struct SampleSlot {
    std::string satellite, service, time;
};

// The files of a whole slot, written once per test program.
std::string Generated(const SampleSlot& sample) {
    static TempFolder cache;
    const std::string folder = cache / (sample.satellite + sample.service + sample.time);
    if (!fs::exists(folder)) {
        for (const std::string& channel : kChannels) {
            const ProgramResult made =
                RunProgram(SEGWELD_SAMPLE_BIN,
                           {"--lines", "2", "--channel", channel, "--satellite", sample.satellite,
                            "--service", sample.service, "--time", sample.time, folder});
            EXPECT_EQ(made.exitCode, 0) << made.err;
        }
    }
    return folder;
}

using Names = std::function<bool(const std::string&)>;

// Names that hold every one of `parts`, or, with `except`, not all of them.
Names With(std::vector<std::string> parts, bool except = false) {
    return [parts, except](const std::string& name) {
        return except != std::ranges::all_of(parts, [&](auto& p) { return Count(name, p) > 0; });
    };
}
Names Any(std::vector<std::string> parts) {
    return [parts](const std::string& name) {
        return std::ranges::any_of(parts, [&](auto& p) { return Count(name, p) > 0; });
    };
}
const Names kAllFiles = [](const std::string&) { return true; };

// Files moved in at once; then the watch has published `records` slots in
// all (none: it waits half a second, less than a slot's timeout).
struct Step {
    Names files;
    size_t records;
};

struct Expected {
    std::string slot;
    const char* state = "complete";
    std::map<std::string, const char*> channels = {};  // the others are `others`
    const char* others = "complete";
    bool prologue = true, epilogue = true;
    std::vector<std::string> late = {};  // a part of each late file's name
    std::map<std::string, std::vector<int>> joined = {};
};

struct Row {
    const char* name;
    std::vector<SampleSlot> slots;
    std::vector<Step> steps;
    std::vector<Expected> records;  // by slot, then publication
    std::vector<std::string> options = {};
    const char* folder = "";  // of the outputs and manifests, below the output folder
    const char* logged = "";  // twice in the watch's log
    bool watchOnly = false;
    size_t wanted = 12;          // channels
    Names compressed = nullptr;  // files stored compressed with bzip2
};

const SampleSlot kMsg2{"MSG2", "0DEG", "202401011200"}, kLater{"MSG2", "0DEG", "202401011215"};
const SampleSlot kRss{"MSG2", "RSS", "202401011200"};
const std::string kSlot = "H-MSG2-0DEG-202401011200";
const std::vector<int> k6To8{6, 7, 8}, k16To24{16, 17, 18, 19, 20, 21, 22, 23, 24};

std::vector<Row> Rows() {
    const Expected missingIr108{
        .slot = kSlot, .state = "incomplete", .channels = {{"IR_108", "missing"}}};
    return {
        {.name = "complete slot",
         .slots = {kMsg2},
         .steps = {{kAllFiles, 1}},
         .records = {{kSlot}}},
        {.name = "last file half a second after the others",
         .slots = {kMsg2},
         .steps = {{With({"HRV", "-000024___-"}, true), 0}, {kAllFiles, 1}},
         .records = {{kSlot}},
         .watchOnly = true},
        {.name = "one channel short",
         .slots = {kMsg2},
         .steps = {{With({"IR_108"}, true), 1}},
         .records = {missingIr108}},
        {.name = "epilogue late",
         .slots = {kMsg2},
         .steps = {{With({"EPI"}, true), 1}, {kAllFiles, 2}},
         .records = {{.slot = kSlot, .state = "incomplete", .epilogue = false},
                     {.slot = kSlot, .state = "late", .late = {"EPI______"}}}},
        {.name = "segment after publication",
         .slots = {kMsg2},
         .steps = {{With({"IR_108", "-000008___-"}, true), 1}, {kAllFiles, 2}},
         .records = {{.slot = kSlot, .state = "incomplete", .channels = {{"IR_108", "incomplete"}}},
                     {.slot = kSlot, .state = "late", .late = {"IR_108___-000008___"}}}},
        {.name = "two services interleaved",
         .slots = {kMsg2, kRss},
         .steps = {{kAllFiles, 2}},
         .records = {{.slot = kSlot},
                     {.slot = "H-MSG2-RSS-202401011200",
                      .joined = {{"IR_108", k6To8}, {"HRV", k16To24}}}}},
        {.name = "Rapid Scan",
         .slots = {{"MSG3", "RSS", "202204040740"}},
         .steps = {{kAllFiles, 1}},
         .records = {{.slot = "H-MSG3-RSS-202204040740",
                      .joined = {{"VIS006", k6To8}, {"HRV", k16To24}}}}},
        {.name = "compressed members",
         .slots = {kMsg2},
         .steps = {{kAllFiles, 1}},
         .records = {{kSlot}},
         .compressed = Any({"IR_108", "PRO", "HRV______-00001"})},
        {.name = "slot that never completes",
         .slots = {kMsg2},
         .steps = {{Any({"PRO", "VIS006", "HRV"}), 1}},
         .records = {{.slot = kSlot,
                      .state = "incomplete",
                      .channels = {{"VIS006", "complete"}, {"HRV", "complete"}},
                      .others = "missing",
                      .epilogue = false}}},
        {.name = "slot channels",
         .slots = {kMsg2},
         .steps = {{Any({"PRO", "EPI", "IR_108", "HRV"}), 1}},
         .records = {{kSlot}},
         .options = {"--slot-channels", "IR_108,HRV"},
         .wanted = 2},
        {.name = "slot folders",
         .slots = {kMsg2},
         .steps = {{kAllFiles, 1}},
         .records = {{kSlot}},
         .options = {"--slot-folders"},
         .folder = "MSG2/0DEG/2024/01/01/1200"},
        {.name = "then-slot that hangs",
         .slots = {kMsg2, kLater},
         .steps = {{With({"202401011200"}), 1}, {With({"202401011215"}), 2}},
         .records = {{kSlot}, {"H-MSG2-0DEG-202401011215"}},
         .options = {"--then-slot", "sh -c \"sleep 30\" {}", "--then-timeout", "1"},
         .logged = "then-slot sh: still running after 1.0 s",
         .watchOnly = true},
    };
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class SlotTest : public StationTest, public ::testing::WithParamInterface<Row> {
  protected:
    // The files wait in a staging folder with the times they were written an
    // hour ago, as `rsync -a` leaves them, and are moved in from there.
    SlotTest() {
        fs::create_directory(stage);
        const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
        for (const SampleSlot& sample : GetParam().slots)
            for (const auto& entry : fs::directory_iterator(Generated(sample))) {
                std::string copy = stage + "/" + entry.path().filename().string();
                fs::copy_file(entry.path(), copy);
                if (GetParam().compressed && GetParam().compressed(entry.path().filename()))
                    copy = CompressFile(copy, unpack::Compression::Bzip2);
                fs::last_write_time(copy, anHourAgo);
            }
    }

    // Moves the step's files in, the two services' files alternating.
    void Deliver(const Step& step) {
        std::vector<std::string> names;
        for (const std::string& name : ListFolder(stage))
            if (step.files(name))
                names.push_back(name);
        std::ranges::sort(names, {}, [](const std::string& n) { return n.substr(26); });
        for (const std::string& name : names)
            fs::rename(stage + "/" + name, in + "/" + name);
    }

    static std::vector<json> SlotLines(const std::string& path) {
        std::vector<json> lines;
        for (const json& line : Report::Of(path).lines)
            if (line.at("type") == "slot")
                lines.push_back(line);
        return lines;
    }

    void Check(std::vector<json> records) {
        const Row& row = GetParam();
        std::ranges::sort(records, {}, [](const json& r) {
            return std::pair(r.at("slot").get<std::string>(), r.at("publication").get<int>());
        });
        ASSERT_EQ(records.size(), row.records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            SCOPED_TRACE(records[i].dump());
            CheckRecord(records[i], row.records[i]);
            const bool last =
                i + 1 == records.size() || records[i + 1].at("slot") != records[i].at("slot");
            if (last)
                CheckManifestAndOutputs(records[i]);
        }
    }

    void CheckRecord(const json& record, const Expected& expected) {
        EXPECT_EQ(record.at("slot"), expected.slot);
        EXPECT_EQ(record.at("state"), expected.state);
        EXPECT_EQ(record.at("prologue"), expected.prologue);
        EXPECT_EQ(record.at("epilogue"), expected.epilogue);
        const json& channels = record.at("channels");
        EXPECT_EQ(channels.size(), GetParam().wanted);
        for (const auto& [channel, entry] : channels.items()) {
            const auto named = expected.channels.find(channel);
            EXPECT_EQ(entry.at("state"),
                      named == expected.channels.end() ? expected.others : named->second)
                << channel;
            const auto joined = expected.joined.find(channel);
            if (joined != expected.joined.end()) {
                EXPECT_EQ(entry.at("joined").get<std::vector<int>>(), joined->second);
            }
        }
        const auto late = record.at("late").get<std::vector<std::string>>();
        ASSERT_EQ(late.size(), expected.late.size());
        for (size_t i = 0; i < late.size(); ++i)
            EXPECT_THAT(late[i], HasSubstr(expected.late[i]));
    }

    // The manifest holds the last record; every output holds what a single
    // join of its product makes.
    void CheckManifestAndOutputs(const json& record) {
        const std::string manifest = record.at("manifest");
        const std::string folder = *GetParam().folder ? out + "/" + GetParam().folder : out;
        EXPECT_EQ(fs::path(manifest).parent_path().string(), folder);
        EXPECT_EQ(json::parse(Text(manifest)), record);
        for (const auto& [channel, entry] : record.at("channels").items()) {
            if (entry.at("output").is_null())
                continue;
            const std::string output = entry.at("output");
            EXPECT_EQ(fs::path(output).parent_path().string(), folder);
            std::string first = entry.at("product");
            char number[8];
            std::snprintf(number, sizeof number, "%06d", entry.at("joined").front().get<int>());
            first.replace(first.find("??????"), 6, number);
            if (!fs::exists(in + "/" + first))
                first += ".bz2";
            const TempFolder single;
            ASSERT_EQ(RunProgram(SEGWELD_BIN, {in + "/" + first, single.path().string()}).exitCode,
                      0);
            EXPECT_EQ(ReadFile(output), ReadFile(single / fs::path(output).filename().string()))
                << channel;
        }
    }

    const std::string stage = scratch / "stage";
};

TEST_P(SlotTest, Watch) {
    const Row& row = GetParam();
    std::vector<std::string> options{"--slots",        "--report", reportPath, "--timeout", "1",
                                     "--slot-timeout", "2",        "-j",       "2"};
    options.insert(options.end(), row.options.begin(), row.options.end());
    const auto watch = Start(options);
    for (const Step& step : row.steps) {
        Deliver(step);
        if (step.records == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_TRUE(WaitUntil([&] { return SlotLines(reportPath).size() >= step.records; }))
            << watch->Log();
    }
    EXPECT_TRUE(WaitUntil([&] { return *row.logged == 0 || Count(watch->Log(), row.logged) == 2; }))
        << watch->Log();
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
    Check(SlotLines(reportPath));
    EXPECT_THAT(Report::Of(reportPath).lines.back().dump(), HasSubstr("\"ended\":\"stopped\""));
}

TEST_P(SlotTest, Batch) {
    const Row& row = GetParam();
    if (row.watchOnly)
        GTEST_SKIP() << "a watch's row";
    std::vector<std::string> options{"--slots"};
    options.insert(options.end(), row.options.begin(), row.options.end());
    std::vector<json> records;
    for (const Step& step : row.steps) {
        Deliver(step);
        const ProgramResult run = Batch(options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (json& line : SlotLines(reportPath))
            records.push_back(std::move(line));
        const json end = Report::Of(reportPath).lines.back();
        EXPECT_EQ(end.at("slots").at("complete").get<size_t>() +
                      end.at("slots").at("incomplete").get<size_t>() +
                      end.at("slots").at("late").get<size_t>(),
                  SlotLines(reportPath).size());
    }
    Check(records);
    EXPECT_THAT(Batch(options).err,
                HasSubstr("0 late, " + std::to_string(row.slots.size()) + " up to date"))
        << "nothing changed since";
}

// The watch's report grows at its name; after a log rotation (the file moved
// away, then SIGHUP) the next lines go to a new file of that name.
TEST_F(StationTest, WatchReportIsOpenedAgainOnSighup) {
    const auto deliver = [&](const SampleSlot& sample) {
        for (const auto& entry : fs::directory_iterator(Generated(sample)))
            fs::copy_file(entry.path(), in + "/" + entry.path().filename().string());
    };
    const auto slotLines = [&](const std::string& path) {
        return fs::exists(path) ? Count(Text(path), "\"type\":\"slot\"") : 0;
    };
    const auto watch = Start({"--slots", "--report", reportPath});
    deliver(kMsg2);
    ASSERT_TRUE(WaitUntil([&] { return slotLines(reportPath) == 1; })) << watch->Log();
    kill(watch->pid(), SIGHUP);  // a reload without a rotation: the file stays open
    ASSERT_TRUE(WaitUntil([&] { return Count(watch->Log(), "in the folder,") == 2; }));
    EXPECT_THAT(watch->Log(), Not(HasSubstr("the report goes on"))) << watch->Log();
    fs::rename(reportPath, reportPath + ".1");
    kill(watch->pid(), SIGHUP);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(reportPath); })) << watch->Log();
    EXPECT_EQ(RunProgram(SEGWELD_BIN, {"--watch", in, out, "--report", reportPath}).exitCode, 2)
        << "a second watch given the same report is refused";
    deliver(kLater);
    ASSERT_TRUE(WaitUntil([&] { return slotLines(reportPath) == 1; })) << watch->Log();
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
    EXPECT_THAT(Text(reportPath + ".1"), HasSubstr(kSlot));
    EXPECT_EQ(slotLines(reportPath + ".1"), 1u);
    EXPECT_THAT(Text(reportPath), HasSubstr("H-MSG2-0DEG-202401011215"));
    EXPECT_EQ(Report::Of(reportPath).lines.back().at("slots").at("complete"), 2);
}

INSTANTIATE_TEST_SUITE_P(Station, SlotTest, ::testing::ValuesIn(Rows()), [](const auto& info) {
    std::string name = info.param.name;
    std::ranges::replace_if(
        name, [](char c) { return !std::isalnum(c); }, '_');
    return name;
});

}  // namespace
}  // namespace segweld::station
