#pragma once

// The terminal a standard stream may lead to. Exactly one implementation is
// built: posix_terminal.cpp or win32_terminal.cpp.

#include <cstdio>

namespace segweld::os {

// True when `stream` leads to a terminal that takes "\r" and the
// clear-to-end-of-line sequence (not one that calls itself "dumb").
bool IsRedrawableTerminal(std::FILE* stream);

// The terminal's width in characters; 0 when unknown.
int TerminalColumns(std::FILE* stream);

}  // namespace segweld::os
