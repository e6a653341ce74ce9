// The process seam on Windows.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

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
    // A program of the GUI subsystem started without redirection has no
    // standard streams; the C library then reports them as not connected.
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
