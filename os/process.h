#pragma once

// The process as the start-up sees it. Exactly one implementation is built:
// posix_process.cpp or win32_process.cpp.

#include <memory>
#include <string>

namespace segweld::os {

// Opens the null device onto every one of the standard descriptors 0 to 2
// that is closed, so that no file the program opens later takes its place.
// Called first thing in every program's main().
void EnsureStandardStreams();

// The program's arguments as UTF-8: on Windows read anew from the system's
// UTF-16 command line, so that no code page stands in between; elsewhere
// `argv` itself. Sets `argc` to their count; the strings live as long as the
// process. Called first thing in main(), after EnsureStandardStreams().
char** Utf8Arguments(int& argc, char** argv);

// The current folder, as an absolute path; empty when unknown.
std::string CurrentFolder();
// Makes `folder` the current folder: for a process before any thread starts.
bool EnterFolder(const std::string& folder, std::string& error);

// `path` made absolute against the current folder (without looking at it).
std::string AbsolutePath(const std::string& path);

// The folder of the running program, with a trailing separator; empty when it
// cannot be found.
std::string ProgramFolder();

// The name of this machine, as reports and logs give it; empty when unknown.
std::string HostName();

// A shared library loaded on demand (the dialog). It stays loaded until the
// process ends.
class LoadedModule {
  public:
    // Loads `path`; nullptr with `error` set when that fails.
    static std::unique_ptr<LoadedModule> Load(const std::string& path, std::string& error);
    virtual ~LoadedModule() = default;
    // The address of `name`, or nullptr.
    virtual void* Symbol(const char* name) = 0;
};

}  // namespace segweld::os

namespace segweld::os {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread. Every thread
// started after it inherits that, whoever starts it (a module, a library
// that starts threads as it loads), so the system never hands these signals
// to a thread that is not ready for them; they wait until the one place
// that takes them does: ReceiveInterrupts()'s thread, or the watch's
// FolderWatch. A child made by fork() gets back the mask the process started
// with. Called first thing in main(), before anything can start a thread.
// Nothing on Windows.
void HoldInterrupts();

// Starts the one thread that the signals HoldInterrupts() holds are handed
// to: the handlers that RemoveTemporariesOnInterrupt() and NoteInterrupts()
// install run there, whichever copy of this seam (the program's or a
// module's) installed them. For every mode but the watch, which reads them
// itself. Nothing on Windows.
void ReceiveInterrupts();

// Makes SIGINT, SIGTERM and SIGHUP remove the named temporary of every
// HiddenOutput open at that moment (where the system offers no unnamed
// files), then end the process as the signal would have. Called once in
// main(), before any thread starts; the watch mode, which finishes its joins
// on those signals, and --geotiff (NoteInterrupts) handle them themselves
// instead. Nothing on Windows, where the system removes the temporaries
// itself.
void RemoveTemporariesOnInterrupt();

// Removes at once the named temporary of every HiddenOutput open at this
// moment, for a process about to end without unwinding: its display lost, or
// a join left behind in a read that does not answer. Async-signal-safe.
// Nothing on Windows, where the system removes the temporaries itself.
void RemoveOpenTemporaries() noexcept;

// For a run that stops at its next step and removes what it made: SIGINT,
// SIGTERM and SIGHUP are only noted, for NotedInterrupt() to tell, and
// EndByNotedInterrupt() ends the process once the run has unwound. Called at
// the start of the mode, before any join starts; a signal ignored from the
// start stays ignored. Nothing on Windows.
void NoteInterrupts();
// The signal noted since NoteInterrupts(), or 0.
int NotedInterrupt() noexcept;
// Ends the process by the noted signal as that signal would have; returns
// when none was noted. For the end of a run: no join may be under way.
void EndByNotedInterrupt();

}  // namespace segweld::os
