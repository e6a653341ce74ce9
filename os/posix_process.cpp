// The process seam on POSIX systems.

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "os/posix_temporaries.h"
#include "os/process.h"

namespace segweld::os {
namespace {

enum SlotState : int { kFree, kFilling, kHeld };

struct TemporarySlot {
    std::atomic<int> state{kFree};
    char name[PATH_MAX] = {};
};

std::array<TemporarySlot, 64> temporaries;

std::atomic<int> notedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written by a signal handler");

class DynamicModule : public LoadedModule {
  public:
    explicit DynamicModule(void* handle) : handle_(handle) {}
    void* Symbol(const char* name) override { return dlsym(handle_, name); }

  private:
    void* handle_;
};

void RemoveAndRaise(int signal) {
    UnlinkRegisteredTemporaries();
    // The handler was reset on entry; the signal, blocked while the handler
    // runs, ends the process as soon as the handler returns.
    raise(signal);
}

void Note(int signal) {
    int none = 0;
    notedSignal.compare_exchange_strong(none, signal);
}

constexpr std::array kInterrupts = {SIGINT, SIGTERM, SIGHUP};

sigset_t Interrupts() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kInterrupts) {
        sigaddset(&signals, signal);
    }
    return signals;
}

// The mask the process started with, for the children it forks.
sigset_t startMask;

void RestoreStartMask() {
    // In the child of fork(): sigprocmask is async-signal-safe.
    sigprocmask(SIG_SETMASK, &startMask, nullptr);
}

// The receiving thread: the signals are open only while it waits here, so
// the system hands them to no other thread, and their handlers run here.
void ReceiveForever(sigset_t open) {
    for (;;) {
        sigsuspend(&open);
    }
}

void HandleInterrupts(void (*handler)(int), int flags) {
    for (const int signal : kInterrupts) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;  // started to ignore it (nohup): keep it so
        }
        struct sigaction action {};
        action.sa_handler = handler;
        action.sa_flags = flags;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace

void HoldInterrupts() {
    static bool held = false;
    if (held) {
        return;
    }
    const sigset_t interrupts = Interrupts();
    if (pthread_sigmask(SIG_BLOCK, &interrupts, &startMask) == 0) {
        held = true;
        pthread_atfork(nullptr, nullptr, RestoreStartMask);
    }
}

void ReceiveInterrupts() {
    sigset_t open;
    pthread_sigmask(SIG_SETMASK, nullptr, &open);
    for (const int signal : kInterrupts) {
        sigdelset(&open, signal);
    }
    std::thread(ReceiveForever, open).detach();
}

int RegisterTemporary(const char* name) noexcept {
    if (std::strlen(name) >= PATH_MAX) {
        return -1;
    }
    for (size_t slot = 0; slot < temporaries.size(); ++slot) {
        int expected = kFree;
        if (temporaries[slot].state.compare_exchange_strong(expected, kFilling)) {
            std::strcpy(temporaries[slot].name, name);
            temporaries[slot].state.store(kHeld, std::memory_order_release);
            return static_cast<int>(slot);
        }
    }
    return -1;
}

void ForgetTemporary(int slot) noexcept {
    if (slot >= 0 && static_cast<size_t>(slot) < temporaries.size()) {
        temporaries[static_cast<size_t>(slot)].state.store(kFree, std::memory_order_release);
    }
}

void UnlinkRegisteredTemporaries() noexcept {
    for (TemporarySlot& slot : temporaries) {
        if (slot.state.load(std::memory_order_acquire) == kHeld) {
            unlink(slot.name);
        }
    }
}

void RemoveTemporariesOnInterrupt() {
    HandleInterrupts(RemoveAndRaise, SA_RESETHAND);
}

void RemoveOpenTemporaries() noexcept {
    UnlinkRegisteredTemporaries();
}

void NoteInterrupts() {
    // Restarted, so that no system call of the run fails for the note.
    HandleInterrupts(Note, SA_RESTART);
}

int NotedInterrupt() noexcept {
    return notedSignal.load();
}

void EndByNotedInterrupt() {
    const int noted = NotedInterrupt();
    if (noted == 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(noted, &action, nullptr);
    raise(noted);
    // Held since the start: the signal raised here ends the process as soon
    // as this thread lets it in.
    sigset_t signal;
    sigemptyset(&signal);
    sigaddset(&signal, noted);
    pthread_sigmask(SIG_UNBLOCK, &signal, nullptr);
}

void EnsureStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open() returns the lowest free descriptor, which is this one.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

char** Utf8Arguments(int&, char** argv) {
    return argv;
}

std::string CurrentFolder() {
    char folder[PATH_MAX] = {};
    return getcwd(folder, sizeof folder) != nullptr ? std::string(folder) : std::string();
}

bool EnterFolder(const std::string& folder, std::string& error) {
    if (chdir(folder.c_str()) != 0) {
        error = "cannot enter the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string AbsolutePath(const std::string& path) {
    if (path.starts_with('/')) {
        return path;
    }
    const std::string current = CurrentFolder();
    return current.empty() || current.ends_with('/') ? current + path : current + "/" + path;
}

std::string ProgramFolder() {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return "";
    }
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

std::string HostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = dlerror();
        return nullptr;
    }
    return std::make_unique<DynamicModule>(handle);
}

}  // namespace segweld::os
