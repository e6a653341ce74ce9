// os::RunCommand against a child program of its own, on every system: what
// the --then command of a watch relies on.

#include "os/run_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "os/native_path.h"
#include "tests/support/temp_folder.h"

namespace segweld::os {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Child(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SEGWELD_COMMAND_CHILD);
    return arguments;
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(PathOf(path), ignored);
}

TEST(RunCommandTest, ExitStatusComesBack) {
    const CommandOutcome outcome = RunCommand(Child({"exit", "3"}));
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.exitStatus, 3);
    EXPECT_FALSE(outcome.timedOut);
}

TEST(RunCommandTest, AMissingProgramIsNotStarted) {
    const CommandOutcome outcome = RunCommand({"segweld-no-such-program"});
    EXPECT_FALSE(outcome.started);
    EXPECT_FALSE(outcome.error.empty());
}

// Each argument arrives as it was given, whatever quotes, blanks and
// backslashes it holds (Windows builds one command line of them).
TEST(RunCommandTest, ArgumentsArriveUnchanged) {
    const test::TempFolder folder;
    const std::string file = folder / "arguments";
    const std::vector<std::string> given = {
        "plain", "two words", "say \"hi\"", "ends\\", "C:\\Wetter M\xc3\xa4rz\\", "", "a\\\\\"b"};
    std::vector<std::string> arguments = {"args", file};
    arguments.insert(arguments.end(), given.begin(), given.end());
    ASSERT_EQ(RunCommand(Child(arguments)).exitStatus, 0);
    std::string expected;
    for (const std::string& argument : given) {
        expected += argument + "\n";
    }
    const std::vector<uint8_t> written = test::ReadFile(file);
    EXPECT_EQ(std::string(written.begin(), written.end()), expected);
}

// Past its time the command is ended, and with it what it started: the
// grandchild would make its file two seconds on.
TEST(RunCommandTest, ATimeOutEndsTheCommandAndWhatItStarted) {
    const test::TempFolder folder;
    const std::string file = folder / "survived";
    const CommandOutcome outcome =
        RunCommand(Child({"spawn", file, "2000"}), {500ms, nullptr, 200ms});
    EXPECT_TRUE(outcome.timedOut);
    EXPECT_FALSE(outcome.stopped);
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(Exists(file));
    // Left alone, the grandchild does make it.
    ASSERT_EQ(RunCommand(Child({"touch", file, "0"})).exitStatus, 0);
    EXPECT_TRUE(Exists(file));
}

TEST(RunCommandTest, StoppingEndsEveryCommandUnderWay) {
    CommandStopper stopper;
    std::vector<CommandOutcome> outcomes(2);
    std::vector<std::thread> runs;
    for (CommandOutcome& outcome : outcomes) {
        runs.emplace_back([&] {
            outcome = RunCommand(Child({"sleep", "60000"}), {std::nullopt, &stopper, 200ms});
        });
    }
    std::this_thread::sleep_for(500ms);
    stopper.Stop();
    for (std::thread& run : runs) {
        run.join();
    }
    for (const CommandOutcome& outcome : outcomes) {
        EXPECT_TRUE(outcome.started);
        EXPECT_TRUE(outcome.stopped);
        EXPECT_FALSE(outcome.timedOut);
    }
    // A command started once stopped is ended at once.
    EXPECT_TRUE(RunCommand(Child({"sleep", "60000"}), {std::nullopt, &stopper, 200ms}).stopped);
}

}  // namespace
}  // namespace segweld::os
