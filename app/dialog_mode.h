#pragma once

namespace segweld {

// Runs the main dialog modally and returns the process's exit status. Built
// from the dialog library when the program has one, else it prints the usage.
int RunDialogMode(int argc, char** argv);

}  // namespace segweld
