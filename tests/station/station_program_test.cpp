// Runs `segweld --batch` on a folder of products the way an archive holds
// them, and `segweld --watch` beside a test that writes segment files the way
// a receiving station does.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld::station {
namespace {

using namespace segweld::test;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const std::vector<int> kAll{1, 2, 3, 4, 5, 6, 7, 8};

// One product: segments of 100 x 5 pixels at 8 bits, whose segment
// identification plans numbers 1 to `planned`.
struct TestProduct {
    std::string channel;  // the 9-character channel field of the name, e.g. "IR_108___"
    int planned = 8;
    bool compressed = false;  // data fields begin with 0xFF 0x01, as compressed ones do

    std::string Name(int number) const { return SegmentFileName(number, channel); }
    std::string OutputName() const {  // of the join started from segment 1
        std::string name = Name(1) + (compressed ? ".xyz" : ".segm");
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        return name;
    }
    std::string Key() const { return Name(1).replace(36, 6, "??????"); }

    std::vector<uint8_t> Data(int number) const {  // different for every segment
        std::vector<uint8_t> data = DistinctData(number, 500);
        if (compressed)
            std::ranges::copy(std::vector<uint8_t>{0xFF, 0x01}, data.begin());
        return data;
    }
    std::vector<uint8_t> File(int number) const {
        auto bytes = HeaderBuilder()
                         .Primary(0, 8 * 500)
                         .ImageStructure(8, 100, 5, compressed ? 1 : 0)
                         .Annotation(Name(number))
                         .TimeStamp(18062, 43200000)
                         .MsgSegmentIdentification(321, 9, number, 1, planned, 3)
                         .Build();
        std::ranges::copy(Data(number), std::back_inserter(bytes));
        return bytes;
    }
    void Write(const std::string& folder, const std::vector<int>& numbers) const {
        for (int number : numbers)
            WriteFile(folder + "/" + Name(number), File(number));
    }
    // The data fields of `numbers`, back to back; 0 stands for a segment of zeros.
    std::vector<uint8_t> Joined(const std::vector<int>& numbers) const {
        std::vector<uint8_t> all;
        for (int number : numbers)
            std::ranges::copy(number == 0 ? std::vector<uint8_t>(500) : Data(number),
                              std::back_inserter(all));
        return all;
    }
    // The prologue and epilogue files of the product's time slot.
    void WriteCompanions(const std::string& folder) const {
        for (const auto& [token, type] : {std::pair{"PRO______", 128}, {"EPI______", 129}}) {
            const std::string name = Name(1).replace(26, 9, "_________").replace(36, 9, token);
            WriteFile(folder + "/" + name, RealPrologueHeader(name, type, 8 * 64));
        }
    }
};

// Calls `done` every 10 ms until it is true, for 15 seconds at least.
bool WaitUntil(const auto& done) {
    for (int tries = 0; !done(); ++tries) {  // never again once true: it may reap
        if (tries == 1500)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A report's entries by product key.
nlohmann::json Report(const std::string& path) {
    nlohmann::json byKey = nlohmann::json::object();
    for (const auto& product : nlohmann::json::parse(ReadFile(path)))
        byKey[product.at("key").get<std::string>()] = product;
    return byKey;
}

// A program running beside the test, its output into a log file, until it is
// signalled; killed if the test ends first.
class Background {
  public:
    Background(std::vector<std::string> arguments, std::string logPath) : logPath_(logPath) {
        std::vector<char*> argv(arguments.size() + 1);  // ends with a null pointer
        std::ranges::transform(arguments, argv.begin(), [](std::string& a) { return a.data(); });
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Files the test holds open for writing must not stay open in the
        // program too: their close would then not count as the last one.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
            waitpid(pid_, nullptr, 0);
    }

    std::string Log() const {
        const auto b = ReadFile(logPath_);
        return {b.begin(), b.end()};
    }
    // Sends `signal`; the exit status, or -1 when it did not exit normally in time.
    int Stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    std::string logPath_;
};

class StationTest : public ::testing::Test {
  protected:
    std::string OutPath(const TestProduct& p) const { return out + "/" + p.OutputName(); }
    std::vector<uint8_t> Output(const TestProduct& p) const { return ReadFile(OutPath(p)); }
    bool OutputAppears(const TestProduct& p) const {
        return WaitUntil([&] { return fs::exists(OutPath(p)); });
    }
    // segweld --watch with `extra` options, once it has started.
    std::unique_ptr<Background> Start(std::vector<std::string> extra) {
        extra.insert(extra.begin(), {SEGWELD_BIN, "--watch", in, out});
        auto watch = std::make_unique<Background>(extra, scratch / "watch.log");
        EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "waiting or being joined"); }))
            << watch->Log();
        return watch;
    }

    TempFolder inFolder, outFolder, scratch;
    const std::string in = inFolder.path().string(), out = outFolder.path().string();
};

class BatchTest : public StationTest {
  protected:
    void SetUp() override {
        complete.Write(in, kAll);
        complete.WriteCompanions(in);
        gap.Write(in, {1, 2, 3, 5, 6, 7, 8});
        noFirst.Write(in, {2, 3, 4, 5, 6, 7, 8});
        compressed.Write(in, kAll);
    }
    ProgramResult Batch(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--batch", in, out, "--report", reportPath});
        return RunProgram(SEGWELD_BIN, extra);
    }

    const TestProduct complete{"IR_108___"}, gap{"WV_062___"}, noFirst{"VIS006___"};
    const TestProduct compressed{"HRV______", 8, true};
    const std::string reportPath = scratch / "report.json";
};

// On a terminal, which script(1) gives it; what it shows comes back here.
TEST_F(BatchTest, JoinsAndReportsEveryProduct) {
    const ProgramResult run = RunProgram({"/usr/bin/script", "-qec",
                                          "env TERM=xterm " SEGWELD_BIN " --batch " + in + " " +
                                              out + " -j 2 --report " + reportPath,
                                          "/dev/null"});
    EXPECT_EQ(run.exitCode, 1) << "the product without segment 1 fails\n" << run.out;
    for (const std::string& part : std::vector<std::string>{
             "2 joined, 0 up to date, 1 incomplete, 1 failed", "\r\033[K4/4 products",
             "failed " + noFirst.Key(), "incomplete " + gap.Key()})
        EXPECT_THAT(run.out, HasSubstr(part));
    EXPECT_THAT(run.out, ::testing::Not(HasSubstr("joined " + complete.Key())))
        << "a product joined whole leaves the status line alone";
    const nlohmann::json report = Report(reportPath);
    ASSERT_EQ(report.size(), 4u) << "prologue and epilogue are no products";
    const struct {
        const TestProduct& product;
        const char* status;
        std::vector<int> joined, missing;
        const char* warning;  // a part of the warnings; empty: none
    } rows[] = {
        {complete, "joined", kAll, {}, ""},
        {gap, "incomplete", {1, 2, 3}, {4, 5, 6, 7, 8}, "were not joined: 5-8"},
        {noFirst, "failed", {}, kAll, "were not joined: 2-8"},
        {compressed, "joined", kAll, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.product.channel);
        const nlohmann::json& entry = report.at(row.product.Key());
        EXPECT_EQ(entry.at("status"), row.status);
        EXPECT_EQ(entry.at("segmentsJoined"), row.joined.size());
        EXPECT_EQ(entry.at("missing").get<std::vector<int>>(), row.missing);
        EXPECT_EQ(entry.at("damaged").size(), 0u);
        EXPECT_EQ(entry.at("warnings").empty(), !*row.warning);
        EXPECT_THAT(entry.at("warnings").dump(), HasSubstr(row.warning));
        if (row.joined.empty()) {
            EXPECT_TRUE(entry.at("output").is_null());
            EXPECT_THAT(entry.at("error").get<std::string>(), HasSubstr("Nothing joined"));
        } else {
            EXPECT_EQ(entry.at("output"), out + "/" + row.product.OutputName());
            EXPECT_EQ(Output(row.product), row.product.Joined(row.joined));
        }
    }
}

// The first run in shards by GNU parallel, each product in one of them; also
// --recursive: the product in a subfolder is found only with it.
TEST_F(BatchTest, SecondRunFindsEverythingUpToDateUntilASegmentChanges) {
    const TestProduct nested{"IR_134___", 2};
    fs::create_directory(in + "/2007");
    nested.Write(in + "/2007", {1, 2});
    const ProgramResult run = RunProgram(
        {"/usr/bin/parallel", "--will-cite", SEGWELD_BIN, "--batch", in, out, "-j", "1", "--shard",
         "{}/3", "--report", scratch / "report-{}.json", ":::", "0", "1", "2"});
    EXPECT_EQ(run.exitCode, 1) << "one shard holds the failing product\n" << run.err;
    std::multiset<std::string> seen;
    for (const std::string shard : {"0", "1", "2"})
        for (const auto& product :
             nlohmann::json::parse(ReadFile(scratch / ("report-" + shard + ".json"))))
            seen.insert(product.at("key").get<std::string>());
    EXPECT_EQ(seen, (std::multiset<std::string>{complete.Key(), gap.Key(), noFirst.Key(),
                                                compressed.Key()}));
    const auto written = fs::last_write_time(OutPath(complete));
    EXPECT_THAT(Batch().err, HasSubstr("0 joined, 3 up to date, 0 incomplete, 1 failed"));
    EXPECT_EQ(fs::last_write_time(OutPath(complete)), written);
    EXPECT_EQ(Report(reportPath).at(complete.Key()).at("status"), "up to date");

    // A segment written after the output makes its product old.
    fs::last_write_time(in + "/" + complete.Name(4), written + std::chrono::seconds(1));
    EXPECT_THAT(Batch().err, HasSubstr("1 joined, 2 up to date, 0 incomplete, 1 failed"));
    // --force joins again; with --fill-gaps, the segments after a gap keep their
    // place and the product without segment 1 is joined too.
    EXPECT_THAT(Batch({"--force", "--fill-gaps", "--recursive"}).err,
                HasSubstr("3 joined, 0 up to date, 2 incomplete, 0 failed"));
    EXPECT_EQ(Report(reportPath).at("2007/" + nested.Key()).at("segmentsJoined"), 2);
    EXPECT_EQ(Output(gap), gap.Joined({1, 2, 3, 0, 5, 6, 7, 8}));
    EXPECT_EQ(Report(reportPath).at(gap.Key()).at("filled"), nlohmann::json::array({4}));
}

// Folders that are not there, and a bad option (the options parser's own
// table covers each message).
TEST_F(StationTest, BadArgumentsExitWithTwo) {
    const std::vector<std::vector<std::string>> rows = {{"--batch", in + "/missing", out},
                                                        {"--batch", in, out + "/missing"},
                                                        {"--watch", in + "/missing", out},
                                                        {"--watch", in, out, "--timeout", "soon"}};
    for (const auto& arguments : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ProgramResult run = RunProgram(SEGWELD_BIN, arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.err, HasSubstr("segweld: "));
    }
}

using WatchTest = StationTest;

// Also: a segment still being written is waited for.
TEST_F(WatchTest, RestartAfterSigtermNeitherLosesNorRepeatsWork) {
    const TestProduct early{"IR_108___"}, interrupted{"VIS006___"}, growing{"WV_062___"};
    growing.Write(in, {1, 2, 3, 4, 5, 6, 7});
    const std::vector<uint8_t> bytes = growing.File(8);
    const std::string last(bytes.begin(), bytes.end());
    const auto half = static_cast<std::streamsize>(last.size() / 2);
    std::ofstream writer(in + "/" + growing.Name(8), std::ios::binary);
    writer.write(last.data(), half).flush();
    auto watch = Start({"--timeout", "60"});
    early.WriteCompanions(in);
    early.Write(in, {5, 2, 8, 1, 7, 3, 6, 4});
    ASSERT_TRUE(OutputAppears(early)) << watch->Log();
    EXPECT_EQ(Output(early), early.Joined(kAll));
    EXPECT_FALSE(fs::exists(OutPath(growing))) << "joined before 8 was whole";
    writer << last.substr(half);
    writer.close();
    ASSERT_TRUE(OutputAppears(growing)) << watch->Log();
    EXPECT_EQ(Output(growing), growing.Joined(kAll));
    interrupted.Write(in, {1, 2, 3, 4});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(watch->Stop(SIGTERM), 0) << watch->Log();
    EXPECT_THAT(watch->Log(), HasSubstr("stopped"));
    EXPECT_FALSE(fs::exists(OutPath(interrupted)));

    const auto joinedEarly = fs::last_write_time(OutPath(early));
    interrupted.Write(in, {5, 6, 7, 8});  // while nothing watches
    watch = Start({"--timeout", "60"});
    ASSERT_TRUE(OutputAppears(interrupted)) << watch->Log();
    EXPECT_EQ(Output(interrupted), interrupted.Joined(kAll));
    EXPECT_EQ(fs::last_write_time(OutPath(early)), joinedEarly);
    EXPECT_THAT(watch->Log(), HasSubstr("3 products in the folder, 2 up to date"));
}

// Also: an incomplete product is joined when its timeout runs out, and
// --fill-gaps reaches the watch's joins.
TEST_F(WatchTest, ThenCommandRunsForEveryOutputAndNeverEndsTheWatch) {
    const std::string copies = scratch / "copies";
    fs::create_directory(copies);
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"cp", "{}", copies}, "then cp: exit status 0"},
        {{"false", "{}"}, "then false: exit status 1"},
        {{"/no/such/program"}, "then /no/such/program: could not be started"},
    };
    const TestProduct whole{"IR_108___", 2}, partial{"WV_062___"};
    for (const auto& [then, logged] : rows) {
        SCOPED_TRACE(logged);
        for (const std::string& folder : {in, out})
            for (const auto& entry : fs::directory_iterator(folder))
                fs::remove(entry.path());
        std::vector<std::string> options{"--timeout", "1", "--fill-gaps", "--then"};
        options.insert(options.end(), then.begin(), then.end());
        const auto watch = Start(options);
        whole.Write(in, {1, 2});
        partial.Write(in, {1, 2, 3, 5});
        EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), logged) == 2; })) << watch->Log();
        EXPECT_EQ(watch->Stop(SIGINT), 0);
        EXPECT_EQ(Count(watch->Log(), logged), 2u) << "once per product\n" << watch->Log();
        for (const std::string& part : std::vector<std::string>{
                 "(timed out incomplete)", "incomplete " + partial.Key() + ": 4 segments",
                 "only 4 of the 8 planned segments"})
            EXPECT_THAT(watch->Log(), HasSubstr(part));
        EXPECT_EQ(Output(partial), partial.Joined({1, 2, 3, 0, 5, 0, 0, 0}));
    }
    EXPECT_EQ(ReadFile(copies + "/" + whole.OutputName()), whole.Joined({1, 2}));
    EXPECT_EQ(ReadFile(copies + "/" + partial.OutputName()), Output(partial));
}

}  // namespace
}  // namespace segweld::station
