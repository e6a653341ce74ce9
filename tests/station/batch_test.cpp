// Runs `segweld --batch` on a folder of products the way an archive holds them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/station/station_products.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld::station {
namespace {

using segweld::test::ProgramResult;
using segweld::test::ReadFile;
using segweld::test::TempFolder;
using test::Numbers;
using test::TestProduct;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

ProgramResult Segweld(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SEGWELD_BIN);
    return segweld::test::RunProgram(arguments);
}

nlohmann::json ByKey(const nlohmann::json& report) {
    nlohmann::json byKey = nlohmann::json::object();
    for (const auto& product : report) {
        byKey[product.at("key").get<std::string>()] = product;
    }
    return byKey;
}

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Write(complete, Numbers(1, 8));
        Write(gap, {1, 2, 3, 5, 6, 7, 8});
        Write(noFirst, Numbers(2, 8));
        Write(compressed, Numbers(1, 8));
        complete.WriteCompanions(in.path().string());
    }

    void Write(const TestProduct& product, const std::vector<int>& numbers,
               const std::string& folder = "") {
        for (int number : numbers) {
            segweld::test::WriteFile(in / (folder + product.Name(number)), product.File(number));
        }
    }

    ProgramResult Batch(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"--batch", in.path().string(), out.path().string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Segweld(arguments);
    }

    nlohmann::json Report() const { return nlohmann::json::parse(ReadFile(reportPath)); }

    const TestProduct complete{"IR_108___"};
    const TestProduct gap{"WV_062___"};
    const TestProduct noFirst{"VIS006___"};
    const TestProduct compressed{"HRV______", 8, true};
    TempFolder in;
    TempFolder out;
    TempFolder scratch;
    const std::string reportPath = scratch / "report.json";
};

TEST_F(BatchTest, JoinsEveryProductAsTheSingleCommandWould) {
    const ProgramResult run = Batch({"--report", reportPath, "-j", "2"});
    EXPECT_EQ(run.exitCode, 1) << "the product without segment 1 fails\n" << run.err;
    EXPECT_THAT(run.err, HasSubstr("2 joined, 0 up to date, 1 incomplete, 1 failed"));
    EXPECT_EQ(ReadFile(out / complete.OutputName()), complete.Joined(Numbers(1, 8)));
    EXPECT_EQ(ReadFile(out / gap.OutputName()), gap.Joined({1, 2, 3}));
    EXPECT_EQ(ReadFile(out / compressed.OutputName()), compressed.Joined(Numbers(1, 8)));

    const nlohmann::json report = ByKey(Report());
    ASSERT_EQ(report.size(), 4u) << "prologue and epilogue are no products";
    struct Row {
        const TestProduct& product;
        const char* status;
        int joined;
        std::vector<int> missing;
    };
    const Row rows[] = {
        {complete, "joined", 8, {}},
        {gap, "incomplete", 3, Numbers(4, 8)},
        {noFirst, "failed", 0, Numbers(1, 8)},
        {compressed, "joined", 8, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.product.channel);
        const nlohmann::json& entry = report.at(row.product.Key());
        EXPECT_EQ(entry.at("status"), row.status);
        EXPECT_EQ(entry.at("segmentsJoined"), row.joined);
        EXPECT_EQ(entry.at("missing").get<std::vector<int>>(), row.missing);
        EXPECT_EQ(entry.at("damaged").size(), 0u);
        // The single-product command, on the same first file, writes the same
        // file and gives the same warnings.
        TempFolder single;
        const ProgramResult alone = Segweld(
            {in / row.product.Name(&row.product == &noFirst ? 2 : 1), single.path().string()});
        for (const auto& warning : entry.at("warnings")) {
            EXPECT_THAT(alone.err, HasSubstr(warning.get<std::string>()));
        }
        if (entry.at("output").is_null()) {
            EXPECT_EQ(alone.exitCode, 1);
            EXPECT_THAT(entry.at("error").get<std::string>(), HasSubstr("Nothing joined"));
            continue;
        }
        const fs::path output = entry.at("output").get<std::string>();
        EXPECT_EQ(output, fs::path(out / row.product.OutputName()));
        EXPECT_EQ(ReadFile(single / output.filename().string()), ReadFile(output.string()));
    }
}

TEST_F(BatchTest, SecondRunFindsEverythingUpToDateUntilASegmentChanges) {
    ASSERT_EQ(Batch().exitCode, 1);
    const auto written = fs::last_write_time(out / complete.OutputName());
    const ProgramResult again = Batch({"--report", reportPath});
    EXPECT_THAT(again.err, HasSubstr("0 joined, 3 up to date, 0 incomplete, 1 failed"));
    EXPECT_EQ(fs::last_write_time(out / complete.OutputName()), written);
    EXPECT_EQ(ByKey(Report()).at(complete.Key()).at("status"), "up to date");

    // A segment written after the output makes its product old.
    fs::last_write_time(in / complete.Name(4), written + std::chrono::seconds(1));
    EXPECT_THAT(Batch().err, HasSubstr("1 joined, 2 up to date, 0 incomplete, 1 failed"));
    EXPECT_THAT(Batch({"--force"}).err,
                HasSubstr("2 joined, 0 up to date, 1 incomplete, 1 failed"));
}

TEST_F(BatchTest, FillGapsPutsTheSegmentsAfterAGapAtTheirPlace) {
    Batch({"--fill-gaps", "--report", reportPath});
    EXPECT_EQ(ReadFile(out / gap.OutputName()), gap.Joined({1, 2, 3, 0, 5, 6, 7, 8}));
    const nlohmann::json entry = ByKey(Report()).at(gap.Key());
    EXPECT_EQ(entry.at("filled").get<std::vector<int>>(), std::vector<int>{4});
    EXPECT_EQ(entry.at("status"), "incomplete");
}

TEST_F(BatchTest, ShardsRunByGnuParallelCoverEveryProductOnce) {
    // More products, so that every shard is likely to hold some.
    const char* channels[] = {"IR_039___", "IR_087___", "IR_097___", "IR_120___",
                              "IR_134___", "VIS008___", "WV_073___", "IR_016___"};
    for (const char* channel : channels) {
        Write(TestProduct{channel, 2}, Numbers(1, 2));
    }
    const int shards = 3;
    const ProgramResult run = segweld::test::RunProgram(
        {"/usr/bin/parallel", "--will-cite", SEGWELD_BIN, "--batch", in.path().string(),
         out.path().string(), "-j", "1", "--shard", "{}/" + std::to_string(shards), "--report",
         scratch / "report-{}.json", ":::", "0", "1", "2"});
    EXPECT_EQ(run.exitCode, 1) << "one shard holds the failing product\n" << run.err;

    std::multiset<std::string> seen;
    for (int shard = 0; shard < shards; ++shard) {
        for (const auto& product : nlohmann::json::parse(
                 ReadFile(scratch / ("report-" + std::to_string(shard) + ".json")))) {
            seen.insert(product.at("key").get<std::string>());
        }
    }
    std::multiset<std::string> every;
    for (const TestProduct* product : {&complete, &gap, &noFirst, &compressed}) {
        every.insert(product->Key());
    }
    for (const char* channel : channels) {
        every.insert(TestProduct{channel}.Key());
    }
    EXPECT_EQ(seen, every);
}

TEST_F(BatchTest, TerminalGetsOneStatusLineAndOnlyWhatNeedsALook) {
    // script(1) gives the program a terminal; its output comes back here.
    const std::string command = "env TERM=xterm " + std::string(SEGWELD_BIN) + " --batch " +
                                in.path().string() + " " + out.path().string();
    const ProgramResult run =
        segweld::test::RunProgram({"/usr/bin/script", "-qec", command, "/dev/null"});
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_THAT(run.out, HasSubstr("\r\033[K4/4 products"));
    EXPECT_THAT(run.out, HasSubstr("failed " + noFirst.Key()));
    EXPECT_THAT(run.out, HasSubstr("incomplete " + gap.Key()));
    EXPECT_THAT(run.out, ::testing::Not(HasSubstr("joined " + complete.Key())))
        << "a product joined whole leaves the status line alone";
}

TEST_F(BatchTest, RecursiveFindsProductsInSubfolders) {
    const TestProduct nested{"IR_134___", 2};
    fs::create_directory(in / "2007");
    Write(nested, Numbers(1, 2), "2007/");

    Batch({"--report", reportPath});
    EXPECT_FALSE(ByKey(Report()).contains("2007/" + nested.Key()));
    Batch({"--recursive", "--report", reportPath});
    const nlohmann::json report = ByKey(Report());
    ASSERT_TRUE(report.contains("2007/" + nested.Key()));
    EXPECT_EQ(report.at("2007/" + nested.Key()).at("segmentsJoined"), 2);
}

TEST(BatchArgumentsTest, BadArgumentsExitWithTwo) {
    TempFolder folder;
    const std::string here = folder.path().string();
    const std::vector<std::vector<std::string>> rows = {
        {"--batch", here},
        {"--batch", here + "/missing", here},
        {"--batch", here, here + "/missing"},
        {"--batch", here, here, "--shard", "1/1"},
        {"--watch", here + "/missing", here},
        {"--watch", here, here, "--timeout", "soon"},
    };
    for (const auto& arguments : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ProgramResult run = Segweld(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.err, HasSubstr("segweld: "));
    }
}

}  // namespace
}  // namespace segweld::station
