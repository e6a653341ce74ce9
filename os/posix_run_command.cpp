#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "os/run_command.h"

extern char** environ;

namespace segweld::os {

struct CommandStopper::Native {
    int event = -1;  // readable once stopped, for every waiter at once
};

CommandStopper::CommandStopper() : native_(std::make_unique<Native>()) {
    native_->event = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CommandStopper::~CommandStopper() {
    if (native_->event >= 0) {
        close(native_->event);
    }
}

void CommandStopper::Stop() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = write(native_->event, &one, sizeof one);
}

bool CommandStopper::stopped() const {
    pollfd fd{native_->event, POLLIN, 0};
    return poll(&fd, 1, 0) > 0;
}

namespace {

using Clock = std::chrono::steady_clock;

// Spawn attributes and file actions that give the child a clean start in a
// process group of its own.
class CleanStart {
  public:
    CleanStart() {
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) {
            sigaddset(&defaults, signal);
        }
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        posix_spawnattr_setpgroup(&attributes_, 0);
        posix_spawnattr_setflags(
            &attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~CleanStart() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    CleanStart(const CleanStart&) = delete;
    CleanStart& operator=(const CleanStart&) = delete;

    const posix_spawnattr_t* attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }

  private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

void TakeStatus(int status, CommandOutcome& outcome) {
    if (WIFEXITED(status)) {
        outcome.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
}

// The child, until it has been reaped: a descriptor that polls readable when
// it ends, where the kernel offers one, else short looks. Its end is seen
// before it is reaped, so that while its group is signalled its id cannot be
// taken by another process.
class Child {
  public:
    explicit Child(pid_t pid) : pid_(pid) {
        descriptor_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    }
    ~Child() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits until the child has ended (true), `deadline` passes or `stopper`
    // is stopped (false). It is not reaped.
    bool WaitForEnd(std::optional<Clock::time_point> deadline, const CommandStopper* stopper) {
        for (;;) {
            if (HasEnded()) {
                return true;
            }
            const auto now = Clock::now();
            if ((deadline && now >= *deadline) || (stopper && stopper->stopped())) {
                return false;
            }
            int64_t waitMs = descriptor_ >= 0 ? INT_MAX : 20;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now);
                waitMs = std::min<int64_t>(waitMs, std::max<int64_t>(left.count(), 0));
            }
            pollfd fds[2] = {{descriptor_, POLLIN, 0},
                             {stopper ? stopper->native().event : -1, POLLIN, 0}};
            poll(fds, 2, static_cast<int>(waitMs));
        }
    }

    // Asks the whole group to end, and kills it after `grace`.
    void EndGroup(std::chrono::milliseconds grace) {
        kill(-pid_, SIGTERM);
        kill(-pid_, SIGCONT);  // a stopped process would not see the request
        WaitForEnd(Clock::now() + grace, nullptr);
        kill(-pid_, SIGKILL);  // what is left of the group, the leader not yet reaped
        WaitForEnd(std::nullopt, nullptr);
    }

    void Reap(CommandOutcome& outcome) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0) {
            if (errno != EINTR) {
                return;
            }
        }
        TakeStatus(status, outcome);
    }

  private:
    bool HasEnded() const {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    }

    pid_t pid_;
    int descriptor_ = -1;
};

}  // namespace

CommandOutcome RunCommand(const std::vector<std::string>& arguments, const CommandLimits& limits) {
    CommandOutcome outcome;
    if (arguments.empty()) {
        outcome.error = "no command given";
        return outcome;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const CleanStart start;
    pid_t pid = 0;
    const int failed =
        posix_spawnp(&pid, argv[0], start.actions(), start.attributes(), argv.data(), environ);
    if (failed != 0) {
        outcome.error = std::strerror(failed);
        return outcome;
    }
    outcome.started = true;
    Child child(pid);
    const std::optional<Clock::time_point> deadline =
        limits.timeout ? std::optional(Clock::now() + *limits.timeout) : std::nullopt;
    if (!child.WaitForEnd(deadline, limits.stopper)) {
        outcome.stopped = limits.stopper != nullptr && limits.stopper->stopped();
        outcome.timedOut = !outcome.stopped;
        child.EndGroup(limits.grace);
    }
    child.Reap(outcome);
    return outcome;
}

}  // namespace segweld::os
