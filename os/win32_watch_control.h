#pragma once

// What steers the watch from outside its thread on Windows: the console's
// Ctrl+C, Ctrl+Break and close, and the service manager's Stop all set one
// stop request, which the folder watch reports as stopRequested; a service
// learns when the watch has taken its first look at the folder and when it
// has ended.

#include <windows.h>

#include <functional>

namespace segweld::os {

// A manual-reset event, set once a stop has been asked for.
HANDLE WatchStopEvent();
void RequestWatchStop();

// Takes Ctrl+C, Ctrl+Break, the console's close and the system's shut-down
// as a stop request. A close or shut-down is answered only once the watch has
// ended (WatchEnded) or a few seconds have passed, since the system ends the
// process when the answer comes.
void TakeConsoleControls();

// `ready` is called once, from the watch's thread, when the watch first
// waits: the folder has been looked at and the products found are on their
// way.
void OnWatchReady(std::function<void()> ready);
void WatchReady();

// The watch has ended: its joins and commands are done.
void WatchEnded();

}  // namespace segweld::os
