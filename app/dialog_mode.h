#pragma once

namespace segweld {

// Runs the main dialog modally and returns the process's exit status. The
// dialog lives in a module of its own, loaded only here, so that the
// command-line mode never loads the GUI toolkit. Without a display, or in a
// build without the dialog, it prints why and the usage and returns 2.
int RunDialogMode(int argc, char** argv);

// The dialog module's entry point: the exit status, or kDialogNoDisplay when
// the toolkit could not open a display.
inline constexpr const char* kDialogEntryName = "SegweldRunDialogMode";
inline constexpr int kDialogNoDisplay = -1;
using DialogEntry = int (*)(int argc, char** argv);

}  // namespace segweld
