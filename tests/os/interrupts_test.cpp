// How a program holds SIGINT, SIGTERM and SIGHUP: every thread started after
// the hold, whoever starts it, has them blocked; one thread takes them and
// runs the handlers; the children it forks start as the process started.
// Each case runs in a child of its own, whose signal state it may change.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "os/process.h"

namespace segweld::os {
namespace {

bool Blocked(const sigset_t& mask) {
    return sigismember(&mask, SIGINT) && sigismember(&mask, SIGTERM) && sigismember(&mask, SIGHUP);
}

sigset_t CurrentMask() {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return mask;
}

// How many threads of this process have the three signals open, as /proc
// shows them.
int ThreadsOpenToThem() {
    const uint64_t held = 1u << (SIGINT - 1) | 1u << (SIGTERM - 1) | 1u << (SIGHUP - 1);
    int open = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("SigBlk:") &&
                (std::stoull(line.substr(7), nullptr, 16) & held) != held)
                ++open;
        }
    }
    return open;
}

TEST(InterruptsDeathTest, ThreadsStartedAfterTheHoldLeaveThemAlone) {
    EXPECT_EXIT(
        {
            HoldInterrupts();
#ifdef SEGWELD_GEOTIFF_MODULE
            // GDAL's libraries start a thread as the module loads.
            std::string error;
            const auto module = LoadedModule::Load(SEGWELD_GEOTIFF_MODULE, error);
            if (!module)
                _exit(3);
#endif
            bool later = false;
            std::thread([&] { later = Blocked(CurrentMask()); }).join();
            _exit(later && ThreadsOpenToThem() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A signal sent to the process reaches the handler on the receiving thread
// while every other thread holds it; a forked child gets the mask the
// process had before the hold; the noted signal ends the process at last.
TEST(InterruptsDeathTest, OneThreadTakesThemAndTheNotedOneEndsTheProcess) {
    EXPECT_EXIT(
        {
            const sigset_t before = CurrentMask();
            HoldInterrupts();
            ReceiveInterrupts();
            NoteInterrupts();
            kill(getpid(), SIGTERM);
            for (int tries = 0; NotedInterrupt() == 0 && tries < 5000; ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (NotedInterrupt() != SIGTERM || !Blocked(CurrentMask()))
                _exit(1);
            const pid_t child = fork();
            if (child == 0) {
                const sigset_t mask = CurrentMask();
                _exit(sigismember(&mask, SIGTERM) == sigismember(&before, SIGTERM) ? 0 : 1);
            }
            int status = -1;
            waitpid(child, &status, 0);
            if (status != 0)
                _exit(2);
            EndByNotedInterrupt();
            _exit(4);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace segweld::os
