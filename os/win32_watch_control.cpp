#include "os/win32_watch_control.h"

#include <mutex>

namespace segweld::os {
namespace {

// The system ends the process about five seconds after a console's close.
constexpr DWORD kCloseAnswerMs = 4500;

struct Control {
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::mutex mutex;
    std::function<void()> ready;
};

Control& TheControl() {
    static Control control;
    return control;
}

BOOL WINAPI OnConsoleControl(DWORD control) {
    switch (control) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            RequestWatchStop();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            RequestWatchStop();
            WaitForSingleObject(TheControl().ended, kCloseAnswerMs);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
            return TRUE;  // only services see it, and a user's leaving is none of theirs
        default:
            return FALSE;
    }
}

}  // namespace

HANDLE WatchStopEvent() {
    return TheControl().stop;
}

void RequestWatchStop() {
    SetEvent(TheControl().stop);
}

void TakeConsoleControls() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void OnWatchReady(std::function<void()> ready) {
    Control& control = TheControl();
    std::lock_guard lock(control.mutex);
    control.ready = std::move(ready);
}

void WatchReady() {
    std::function<void()> ready;
    {
        Control& control = TheControl();
        std::lock_guard lock(control.mutex);
        ready.swap(control.ready);
    }
    if (ready) {
        ready();
    }
}

void WatchEnded() {
    SetEvent(TheControl().ended);
}

}  // namespace segweld::os
