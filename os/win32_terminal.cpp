#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "os/terminal.h"
#include "os/win32_stream_relay.h"

namespace segweld::os {
namespace {

// The console that standard output and error led to before the relay took
// them, and its output code page then.
struct Utf8Console {
    HANDLE console = INVALID_HANDLE_VALUE;
    UINT codePage = 0;
    std::unique_ptr<StreamRelay> relay;
};

Utf8Console& TheConsole() {
    static Utf8Console console;
    return console;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

HANDLE HandleOf(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    const Utf8Console& console = TheConsole();
    if (console.relay && console.relay->Relays(descriptor)) {
        return console.console;
    }
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

// Each piece as UTF-16, which the console shows whatever its code page.
void WriteToConsole(std::string_view text) {
    // Bytes that are not UTF-8 show as U+FFFD.
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                        static_cast<int>(text.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    const wchar_t* next = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(TheConsole().console, next, left, &written, nullptr) || written == 0) {
            return;
        }
        next += written;
        left -= written;
    }
}

void GiveConsoleBack() {
    Utf8Console& console = TheConsole();
    if (console.relay && !console.relay->Finish(500)) {
        console.relay.release();  // a program started still writes into it
    }
    console.relay.reset();
    if (console.codePage != 0) {
        SetConsoleOutputCP(console.codePage);
        console.codePage = 0;
    }
}

// An interrupt that ends the process (where nothing else took it) puts the
// code page back first.
BOOL WINAPI OnConsoleControl(DWORD) {
    const UINT codePage = TheConsole().codePage;
    if (codePage != 0) {
        SetConsoleOutputCP(codePage);
    }
    return FALSE;
}

}  // namespace

void UseUtf8Console() {
    Utf8Console& console = TheConsole();
    if (console.codePage != 0) {
        return;
    }
    std::vector<int> descriptors;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (const int descriptor : {1, 2}) {
        if (IsConsole(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)))) {
            descriptors.push_back(descriptor);
            handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
        }
    }
    // Pipes and files get the bytes as they are.
    if (descriptors.empty() ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &console.console, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        return;
    }
    console.codePage = GetConsoleOutputCP();
    // For the programs started, which write to the console themselves.
    SetConsoleOutputCP(CP_UTF8);
    console.relay = StreamRelay::Start(descriptors, WriteToConsole, false);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    std::atexit(GiveConsoleBack);
}

bool IsRedrawableTerminal(std::FILE* stream) {
    const HANDLE console = HandleOf(stream);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) {
        return false;
    }
    // The clear-to-end-of-line sequence needs the console's VT processing.
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(HandleOf(stream), &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace segweld::os
