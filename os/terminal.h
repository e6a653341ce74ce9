#pragma once

// The terminal a standard stream may lead to. Exactly one implementation is
// built: posix_terminal.cpp or win32_terminal.cpp.

#include <cstdio>

namespace segweld::os {

// Makes a console that standard output or error leads to show the program's
// UTF-8 text as written, names beyond ASCII included, until the process
// ends, when the console's output code page is put back. Pipes and files
// get the bytes unchanged. Called first thing in main(), before any thread
// starts. Nothing on POSIX, where terminals take UTF-8 as it is.
void UseUtf8Console();

// True when `stream` leads to a terminal that takes "\r" and the
// clear-to-end-of-line sequence (not one that calls itself "dumb").
bool IsRedrawableTerminal(std::FILE* stream);

// The terminal's width in characters; 0 when unknown.
int TerminalColumns(std::FILE* stream);

}  // namespace segweld::os
