// Runs `segweld --batch` on a folder of products the way an archive holds
// them, and `segweld --watch` beside a test that writes segment files the way
// a receiving station does.
#include <sys/xattr.h>

#include <fstream>
#include <set>
#include <thread>

#include "tests/station/station_fixture.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;

class BatchTest : public StationTest {
  protected:
    void SetUp() override {
        complete.Write(in, kAll);
        complete.WriteCompanions(in);
        gap.Write(in, {1, 2, 3, 5, 6, 7, 8});
        noFirst.Write(in, {2, 3, 4, 5, 6});
        compressed.Write(in, kAll);
    }

    const TestProduct complete{"IR_108___"}, gap{"WV_062___"}, noFirst{"VIS006___"};
    const TestProduct compressed{"HRV______", 8, true};
};

// On a terminal, which script(1) gives it; what it shows comes back here.
TEST_F(BatchTest, JoinsAndReportsEveryProduct) {
    const ProgramResult run = RunProgram({"/usr/bin/script", "-qec",
                                          "env TERM=xterm " SEGWELD_BIN " --batch " + in + " " +
                                              out + " -j 2 --report " + reportPath,
                                          "/dev/null"});
    EXPECT_EQ(run.exitCode, 1) << "the product without segment 1 fails for its data\n" << run.out;
    for (const std::string& part : std::vector<std::string>{
             "2 joined, 0 up to date, 1 incomplete, 1 failed", "\r\033[K4/4 products",
             "failed " + noFirst.Key(), "incomplete " + gap.Key()})
        EXPECT_THAT(run.out, HasSubstr(part));
    EXPECT_THAT(run.out, ::testing::Not(HasSubstr("joined " + complete.Key())))
        << "a product joined whole leaves the status line alone";
    const Report report = Report::Of(reportPath);
    ASSERT_EQ(report.products.size(), 4u) << "prologue and epilogue are no products";
    EXPECT_EQ(report.lines.front().at("type"), "start");
    EXPECT_EQ(report.lines.front().at("shard"), "0/1");
    EXPECT_EQ(report.lines.back().at("ended"), "finished");
    EXPECT_EQ(report.lines.back().at("exitStatus"), 1);
    const struct {
        const TestProduct& product;
        const char* status;
        std::vector<int> joined, missing, notJoined;
        const char* warning;  // a part of the warnings; empty: none
    } rows[] = {
        {complete, "joined", kAll, {}, {}, ""},
        {gap, "incomplete", {1, 2, 3}, {4}, {5, 6, 7, 8}, "were not joined: 5-8"},
        // Its plan comes from the headers present, so the numbers after them count.
        {noFirst, "failed", {}, {1, 7, 8}, {2, 3, 4, 5, 6}, "were not joined: 2-6"},
        {compressed, "joined", kAll, {}, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.product.channel);
        const nlohmann::json& entry = report.product(row.product.Key());
        EXPECT_EQ(entry.at("status"), row.status);
        EXPECT_EQ(entry.at("segmentsJoined"), row.joined.size());
        EXPECT_EQ(entry.at("missing").get<std::vector<int>>(), row.missing);
        EXPECT_EQ(entry.at("notJoined").get<std::vector<int>>(), row.notJoined);
        EXPECT_EQ(entry.at("damaged").size(), 0u);
        EXPECT_EQ(entry.at("warnings").empty(), !*row.warning);
        EXPECT_THAT(entry.at("warnings").dump(), HasSubstr(row.warning));
        if (row.joined.empty()) {
            EXPECT_TRUE(entry.at("output").is_null());
            EXPECT_EQ(entry.at("failure"), "data");
            EXPECT_THAT(entry.at("error").get<std::string>(), HasSubstr("Nothing joined"));
        } else {
            EXPECT_EQ(entry.at("output"), out + "/" + row.product.OutputName());
            EXPECT_EQ(Output(row.product), row.product.Joined(row.joined));
        }
    }
}

// The first run in shards by GNU parallel, each product in one of them; also
// --recursive: the product in a subfolder is found only with it, and its
// output lands in the same subfolder below the output folder.
TEST_F(BatchTest, SecondRunFindsEverythingUpToDateUntilASegmentChanges) {
    const TestProduct nested{"IR_134___", 2};
    fs::create_directory(in + "/2007");
    nested.Write(in + "/2007", {1, 2});
    const ProgramResult run = RunProgram(
        {"/usr/bin/parallel", "--will-cite", SEGWELD_BIN, "--batch", in, out, "-j", "1", "--shard",
         "{}/3", "--report", scratch / "report-{}.jsonl", ":::", "0", "1", "2"});
    EXPECT_EQ(run.exitCode, 1) << "one shard holds the failing product\n" << run.err;
    std::multiset<std::string> seen;
    for (const std::string shard : {"0", "1", "2"})
        for (const auto& [key, product] :
             Report::Of(scratch / ("report-" + shard + ".jsonl")).products)
            seen.insert(key);
    EXPECT_EQ(seen, (std::multiset<std::string>{complete.Key(), gap.Key(), noFirst.Key(),
                                                compressed.Key()}));
    const auto written = fs::last_write_time(OutPath(complete));
    EXPECT_THAT(Batch().err, HasSubstr("0 joined, 3 up to date, 0 incomplete, 1 failed"));
    EXPECT_EQ(fs::last_write_time(OutPath(complete)), written);
    EXPECT_EQ(Report::Of(reportPath).product(complete.Key()).at("status"), "up to date");

    // A segment changed since makes its product be joined again.
    fs::last_write_time(in + "/" + complete.Name(4), written - std::chrono::hours(1));
    EXPECT_THAT(Batch().err, HasSubstr("1 joined, 2 up to date, 0 incomplete, 1 failed"));
    // --force joins again; with --fill-gaps, the segments after a gap keep their
    // place and the product without segment 1 is joined too.
    EXPECT_THAT(Batch({"--force", "--fill-gaps", "--recursive"}).err,
                HasSubstr("3 joined, 0 up to date, 2 incomplete, 0 failed"));
    EXPECT_EQ(Report::Of(reportPath).product("2007/" + nested.Key()).at("segmentsJoined"), 2);
    EXPECT_EQ(ReadFile(out + "/2007/" + nested.OutputName()), nested.Joined({1, 2}));
    EXPECT_EQ(Output(gap), gap.Joined({1, 2, 3, 0, 5, 6, 7, 8}));
    EXPECT_EQ(Report::Of(reportPath).product(gap.Key()).at("filled"), nlohmann::json::array({4}));
    // An incomplete product whose files have not changed is up to date too.
    EXPECT_THAT(Batch({"--fill-gaps", "--recursive"}).err,
                HasSubstr("0 joined, 5 up to date, 0 incomplete, 0 failed"));
}

// The record kept as an attribute or beside the output: a careless operator
// changes the first of two products, its output or its files after a first
// run; the second run joins it again, and leaves no record of a gone output.
TEST_F(StationTest, TheRecordSeesWhatAUserCannotSetBack) {
    const TestProduct first{"IR_108___"}, second{"WV_062___"};
    const std::string output = OutPath(first), copy = scratch / "copy";
    const auto rewrite = [](const std::string& path, size_t at) {  // 500 bytes, time set back
        const auto time = fs::last_write_time(path);
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(at)
            << std::string(500, 'x');
        fs::last_write_time(path, time);
    };
    std::vector<uint8_t> third = first.Joined(kAll);
    std::fill(third.begin() + 1000, third.begin() + 1500, 'x');
    const struct {
        const char* label;
        std::function<void()> change;
        int joined;                  // by the second run
        std::vector<uint8_t> bytes;  // of the first product's output; empty: none
    } rows[] = {
        {"a segment rewritten, its time set back (cp --preserve=timestamps onto it)",
         [&] { rewrite(in + "/" + first.Name(3), first.File(3).size() - 500); }, 1, third},
        {"the output rewritten, its time set back", [&] { rewrite(output, 0); }, 1,
         first.Joined(kAll)},
        {"another file of its size in its place",
         [&] { WriteFile(copy, std::vector<uint8_t>(4000, 'x')), fs::rename(copy, output); }, 1,
         first.Joined(kAll)},
        {"the product and its output removed",
         [&] {
             fs::remove(output);
             std::ranges::for_each(kAll, [&](int n) { fs::remove(in + "/" + first.Name(n)); });
         },
         0,
         {}},
    };
    for (const bool beside : {false, true}) {
        const auto environment =
            beside ? FaultShim({"SEGWELD_TEST_NO_XATTRS=1"}) : std::vector<std::string>();
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.label) + (beside ? ", the record beside" : ""));
            fs::remove_all(in), fs::remove_all(out);
            fs::create_directory(in), fs::create_directory(out);
            for (const TestProduct& p : {first, second})
                p.Write(in, kAll);
            ASSERT_THAT(Batch({}, {.environment = environment}).err, HasSubstr("2 joined"));
            char text[256] = {};  // waited past: a tick of the coarse clock file times come from
            if (getxattr(output.c_str(), "user.segweld.record", text, sizeof text) < 0)
                std::ranges::copy(Text(out + "/." + first.OutputName() + ".segweld"), text);
            int settled = -1;
            ASSERT_EQ(std::sscanf(text, "segweld-record 3 %*u %*u %d", &settled), 1) << text;
            std::this_thread::sleep_until(fs::last_write_time(output) +
                                          std::chrono::milliseconds(settled + 20));
            row.change();
            const ProgramResult run = Batch({}, {.environment = environment});
            EXPECT_THAT(run.err, HasSubstr(std::to_string(row.joined) + " joined")) << run.err;
            EXPECT_EQ(fs::exists(output) ? Output(first) : std::vector<uint8_t>(), row.bytes);
            EXPECT_EQ(OutputFiles().size(), (row.bytes.empty() ? 1u : 2u) * (beside ? 2 : 1))
                << "an output per product, and its record beside it where it lies there";
        }
    }
}

// Folders that are not there, a bad option, a report that cannot be written
// (the options parser's own table covers each message): nothing is joined.
TEST_F(StationTest, BadArgumentsExitWithTwoBeforeAnyJoin) {
    TestProduct{"IR_108___"}.Write(in, kAll);
    const std::vector<std::vector<std::string>> rows = {
        {"--batch", in + "/missing", out},
        {"--batch", in, out + "/missing"},
        {"--batch", in, out, "--report", ""},
        {"--batch", in, out, "--report", scratch / "missing/report.jsonl"},
        {"--batch", in, out, "--from-list", scratch / "missing.txt"},
        {"--watch", in + "/missing", out},
        {"--watch", in, out, "--timeout", "soon"}};
    for (const auto& arguments : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ProgramResult run = RunProgram(SEGWELD_BIN, arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.err, HasSubstr("segweld: "));
        EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
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
