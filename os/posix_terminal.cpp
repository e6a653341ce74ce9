#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "os/terminal.h"

namespace segweld::os {

void UseUtf8Console() {}

bool IsRedrawableTerminal(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return isatty(fileno(stream)) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

}  // namespace segweld::os
