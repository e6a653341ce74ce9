// Runs `segweld --watch` beside a test that writes segment files the way a
// receiving station does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "tests/station/background_program.h"
#include "tests/station/station_products.h"
#include "tests/support/temp_folder.h"

namespace segweld::station {
namespace {

using segweld::test::ReadFile;
using segweld::test::TempFolder;
using test::BackgroundProgram;
using test::Numbers;
using test::TestProduct;
using test::WaitUntil;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr const char* kStarted = "waiting or being joined";

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class WatchTest : public ::testing::Test {
  protected:
    std::unique_ptr<BackgroundProgram> Start(std::vector<std::string> extra = {},
                                             const std::string& logName = "watch.log") {
        std::vector<std::string> arguments{SEGWELD_BIN, "--watch", in.path().string(),
                                           out.path().string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        auto program = std::make_unique<BackgroundProgram>(arguments, scratch / logName);
        EXPECT_TRUE(program->WaitForLog(kStarted)) << program->Log();
        return program;
    }

    void Write(const TestProduct& product, const std::vector<int>& numbers) {
        for (int number : numbers) {
            segweld::test::WriteFile(in / product.Name(number), product.File(number));
        }
    }

    bool OutputAppears(const TestProduct& product) {
        return WaitUntil([&] { return fs::exists(out / product.OutputName()); });
    }

    TempFolder in;
    TempFolder out;
    TempFolder scratch;
};

TEST_F(WatchTest, SegmentsInRandomOrderGiveOneCompleteOutput) {
    const auto watch = Start({"--timeout", "60"});
    const TestProduct product{"IR_108___"};
    std::vector<int> order = Numbers(1, 8);
    std::shuffle(order.begin(), order.end(), std::mt19937(std::random_device()()));
    product.WriteCompanions(in.path().string());
    Write(product, order);

    ASSERT_TRUE(OutputAppears(product)) << watch->Log();
    EXPECT_EQ(ReadFile(out / product.OutputName()), product.Joined(Numbers(1, 8)));
    ASSERT_TRUE(watch->WaitForLog("after its last segment arrived"));
    EXPECT_EQ(watch->Stop(SIGINT), 0);
    const std::string log = watch->Log();
    EXPECT_EQ(Count(log, "joined " + product.Key() + ": 8 segments"), 1u) << log;
    EXPECT_THAT(log, ::testing::Not(HasSubstr("timed out")));
}

TEST_F(WatchTest, SegmentStillBeingWrittenIsWaitedFor) {
    const TestProduct product{"IR_108___"};
    Write(product, Numbers(1, 7));
    const std::vector<uint8_t> last = product.File(8);
    const auto half = static_cast<std::streamsize>(last.size() / 2);
    std::ofstream writer(in / product.Name(8), std::ios::binary);
    writer.write(reinterpret_cast<const char*>(last.data()), half).flush();

    const auto watch = Start({"--timeout", "60"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(out / product.OutputName())) << "joined before segment 8 was whole";
    writer.write(reinterpret_cast<const char*>(last.data()) + half,
                 static_cast<std::streamsize>(last.size()) - half);
    writer.close();

    ASSERT_TRUE(OutputAppears(product)) << watch->Log();
    EXPECT_EQ(ReadFile(out / product.OutputName()), product.Joined(Numbers(1, 8)));
}

TEST_F(WatchTest, IncompleteProductIsJoinedWhenItsTimeoutRunsOut) {
    const auto watch = Start({"--timeout", "1"});
    const TestProduct product{"WV_062___"};
    Write(product, Numbers(1, 5));

    ASSERT_TRUE(OutputAppears(product)) << watch->Log();
    EXPECT_EQ(ReadFile(out / product.OutputName()), product.Joined(Numbers(1, 5)));
    ASSERT_TRUE(watch->WaitForLog("(timed out incomplete)")) << watch->Log();
    EXPECT_THAT(watch->Log(), HasSubstr("incomplete " + product.Key() + ": 5 segments"));
    EXPECT_THAT(watch->Log(), HasSubstr("only 5 of the 8 planned segments"));
}

TEST_F(WatchTest, FillGapsPutsTheSegmentsAfterAGapAtTheirPlace) {
    const TestProduct product{"IR_087___"};
    Write(product, {1, 2, 3, 5, 6, 7, 8});
    const auto watch = Start({"--timeout", "0.3", "--fill-gaps"});
    ASSERT_TRUE(OutputAppears(product)) << watch->Log();
    EXPECT_EQ(ReadFile(out / product.OutputName()), product.Joined({1, 2, 3, 0, 5, 6, 7, 8}));
}

TEST_F(WatchTest, RestartAfterSigtermNeitherLosesNorRepeatsWork) {
    const TestProduct early{"IR_108___"};
    const TestProduct interrupted{"VIS006___"};
    auto watch = Start({"--timeout", "60"});
    Write(early, Numbers(1, 8));
    ASSERT_TRUE(OutputAppears(early)) << watch->Log();
    Write(interrupted, Numbers(1, 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(watch->Stop(SIGTERM), 0) << watch->Log();
    EXPECT_THAT(watch->Log(), HasSubstr("stopped"));
    EXPECT_FALSE(fs::exists(out / interrupted.OutputName()));

    const auto joinedEarly = fs::last_write_time(out / early.OutputName());
    Write(interrupted, Numbers(5, 8));  // while nothing watches
    watch = Start({"--timeout", "60"}, "restart.log");
    ASSERT_TRUE(OutputAppears(interrupted)) << watch->Log();
    EXPECT_EQ(ReadFile(out / interrupted.OutputName()), interrupted.Joined(Numbers(1, 8)));
    EXPECT_EQ(fs::last_write_time(out / early.OutputName()), joinedEarly);
    EXPECT_THAT(watch->Log(), HasSubstr("2 products in the folder, 1 up to date"));
}

TEST_F(WatchTest, ThenCommandRunsForEveryOutputAndNeverEndsTheWatch) {
    struct Row {
        std::vector<std::string> command;
        std::string logged;
    };
    const std::string copies = scratch / "copies";
    fs::create_directory(copies);
    const Row rows[] = {
        {{"cp", "{}", copies}, "then cp: exit status 0"},
        {{"false", "{}"}, "then false: exit status 1"},
        {{"/no/such/program"}, "then /no/such/program: could not be started"},
    };
    const TestProduct products[] = {{"IR_108___", 2}, {"IR_120___", 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.logged);
        for (const fs::path& folder : {in.path(), out.path()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                fs::remove(entry.path());
            }
        }
        std::vector<std::string> arguments{"--timeout", "60", "--then"};
        arguments.insert(arguments.end(), row.command.begin(), row.command.end());
        const auto watch = Start(arguments, "then.log");
        for (const TestProduct& product : products) {
            Write(product, Numbers(1, 2));
            ASSERT_TRUE(OutputAppears(product)) << watch->Log();
        }
        EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), row.logged) == 2; }))
            << watch->Log();
        EXPECT_EQ(watch->Stop(SIGTERM), 0);
        EXPECT_EQ(Count(watch->Log(), row.logged), 2u) << "once per product\n" << watch->Log();
    }
    for (const TestProduct& product : products) {
        EXPECT_EQ(ReadFile(copies + "/" + product.OutputName()), product.Joined(Numbers(1, 2)));
    }
}

}  // namespace
}  // namespace segweld::station
