#include <windows.h>

#include <algorithm>

#include "os/run_command.h"
#include "os/win32_text.h"

namespace segweld::os {

struct CommandStopper::Native {
    HANDLE event = nullptr;  // manual reset: set once, seen by every waiter
};

CommandStopper::CommandStopper() : native_(std::make_unique<Native>()) {
    native_->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CommandStopper::~CommandStopper() {
    if (native_->event != nullptr) {
        CloseHandle(native_->event);
    }
}

void CommandStopper::Stop() {
    SetEvent(native_->event);
}

bool CommandStopper::stopped() const {
    return WaitForSingleObject(native_->event, 0) == WAIT_OBJECT_0;
}

namespace {

class Owned {
  public:
    explicit Owned(HANDLE handle = nullptr) : handle_(handle) {}
    ~Owned() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

DWORD Milliseconds(std::optional<std::chrono::milliseconds> timeout) {
    if (!timeout) {
        return INFINITE;
    }
    return static_cast<DWORD>(std::clamp<int64_t>(timeout->count(), 0, INFINITE - 1));
}

}  // namespace

CommandOutcome RunCommand(const std::vector<std::string>& arguments, const CommandLimits& limits) {
    CommandOutcome outcome;
    if (arguments.empty()) {
        outcome.error = "no command given";
        return outcome;
    }
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        const std::optional<std::wstring> wide = Widen(argument);
        if (!wide) {
            outcome.error = "the argument " + argument + " is not valid UTF-8";
            return outcome;
        }
        commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(*wide);
    }
    // The job holds the command and whatever it starts, so ending it ends them all.
    Owned job(CreateJobObjectW(nullptr, nullptr));
    Owned nullInput(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullInput.get();
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        outcome.error = SystemText(GetLastError());
        return outcome;
    }
    Owned processHandle(process.hProcess);
    Owned thread(process.hThread);
    AssignProcessToJobObject(job.get(), process.hProcess);
    ResumeThread(process.hThread);
    outcome.started = true;

    HANDLE waits[2] = {process.hProcess, limits.stopper ? limits.stopper->native().event : nullptr};
    const DWORD waited =
        WaitForMultipleObjects(limits.stopper ? 2 : 1, waits, FALSE, Milliseconds(limits.timeout));
    if (waited != WAIT_OBJECT_0) {
        outcome.stopped = waited == WAIT_OBJECT_0 + 1;
        outcome.timedOut = !outcome.stopped;
        // Windows has no polite request a console-less child must heed: the
        // grace goes to a child that ends by itself meanwhile.
        if (WaitForSingleObject(process.hProcess, Milliseconds(limits.grace)) != WAIT_OBJECT_0) {
            TerminateJobObject(job.get(), 1);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    outcome.exitStatus = static_cast<int>(status);
    return outcome;
}

}  // namespace segweld::os
