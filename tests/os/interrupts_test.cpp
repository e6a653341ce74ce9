// Held from the start, the signals stay blocked in every thread started later.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "os/process.h"

namespace segweld::os {
namespace {

TEST(InterruptsDeathTest, ThreadsStartedAfterTheHoldLeaveThemAlone) {
    EXPECT_EXIT(
        {
            HoldInterrupts();
            std::string error;
#ifdef SEGWELD_GEOTIFF_MODULE
            LoadedModule::Load(SEGWELD_GEOTIFF_MODULE, error);
#endif
            const uint64_t held = 1u << (SIGINT - 1) | 1u << (SIGTERM - 1) | 1u << (SIGHUP - 1);
            int open = 0;  // threads, this new one among them, that may be handed one
            std::thread([&] {
                for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
                    std::ifstream status(task.path() / "status");
                    for (std::string line; std::getline(status, line);)
                        open += line.starts_with("SigBlk:") &&
                                (std::stoull(line.substr(7), nullptr, 16) & held) != held;
                }
            }).join();
            _exit(error.empty() && open == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace segweld::os
