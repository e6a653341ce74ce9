// The process seam on Windows.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "os/process.h"
#include "os/win32_text.h"

namespace segweld::os {
namespace {

class LibraryModule : public LoadedModule {
  public:
    explicit LibraryModule(HMODULE module) : module_(module) {}
    void* Symbol(const char* name) override {
        return reinterpret_cast<void*>(GetProcAddress(module_, name));
    }

  private:
    HMODULE module_;
};

}  // namespace

void EnsureStandardStreams() {
    // A program of the GUI subsystem started without redirection, and a
    // service, have no standard streams; the C library then reports them as
    // not connected.
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) >= 0) {
            continue;
        }
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
    // The C library's streams are then tied to no descriptor at all (-2),
    // and freopen() does not mend that: each is tied to its own descriptor,
    // so that it writes to the null device, and to wherever that descriptor
    // is led later (a service's log). The stream's layout is msvcrt.dll's,
    // which has not changed since it was first shipped.
    const struct {
        std::FILE* stream;
        int fd;
    } streams[] = {{stdin, 0}, {stdout, 1}, {stderr, 2}};
    for (const auto& [stream, fd] : streams) {
        if (_fileno(stream) < 0) {
#ifdef _UCRT
            std::freopen("NUL", fd == 0 ? "r" : "w", stream);
#else
            stream->_file = fd;
#endif
        }
    }
}

char** Utf8Arguments(int& argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return argv;
    }
    // Kept for the life of the process, as argv is.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.clear();
    for (int i = 0; i < count; ++i) {
        texts.push_back(Narrow(wide[i]));
    }
    LocalFree(wide);
    pointers.clear();
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    argc = count;
    return pointers.data();
}

std::string CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    const DWORD written = GetCurrentDirectoryW(length, folder.data());
    if (written == 0 || written >= length) {
        return "";
    }
    folder.resize(written);
    return Narrow(folder);
}

bool EnterFolder(const std::string& folder, std::string& error) {
    const std::optional<std::wstring> wide = Widen(folder);
    if (!wide || !SetCurrentDirectoryW(wide->c_str())) {
        error = "cannot enter the folder " + folder + ": " +
                (wide ? SystemText(GetLastError()) : std::string("the name is not valid UTF-8"));
        return false;
    }
    return true;
}

std::string AbsolutePath(const std::string& path) {
    const std::optional<std::wstring> wide = Widen(path);
    if (!wide || wide->empty()) {
        return path;
    }
    const DWORD length = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide->c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) {
        return path;
    }
    full.resize(written);
    return Narrow(full);
}

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return "";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // truncated
    }
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? "" : Narrow(path.substr(0, separator + 1));
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? Narrow(std::wstring(name, length)) : std::string();
}

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path, std::string& error) {
    const std::optional<std::wstring> wide = Widen(path);
    if (!wide) {
        error = "the name is not valid UTF-8";
        return nullptr;
    }
    const HMODULE module = LoadLibraryW(wide->c_str());
    if (module == nullptr) {
        error = SystemText(GetLastError());
        return nullptr;
    }
    return std::make_unique<LibraryModule>(module);
}

// Windows hands console control events to a thread of their own; there are
// no signals to hold.
void HoldInterrupts() {}

void ReceiveInterrupts() {}

// The system removes the temporaries of HiddenOutput itself when the process
// ends, however it ends.
void RemoveTemporariesOnInterrupt() {}

void RemoveOpenTemporaries() noexcept {}

void NoteInterrupts() {}

int NotedInterrupt() noexcept {
    return 0;
}

void EndByNotedInterrupt() {}

}  // namespace segweld::os
