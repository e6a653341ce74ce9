#include <io.h>
#include <windows.h>

#include "os/terminal.h"

namespace segweld::os {
namespace {

HANDLE ConsoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

bool IsRedrawableTerminal(std::FILE* stream) {
    if (_isatty(_fileno(stream)) == 0) {
        return false;
    }
    // The clear-to-end-of-line sequence needs the console's VT processing.
    const HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) {
        return false;
    }
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(ConsoleOf(stream), &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace segweld::os
