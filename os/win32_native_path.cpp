#include <windows.h>

#include "os/native_path.h"
#include "os/win32_text.h"

namespace segweld::os {

std::filesystem::path PathOf(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                        static_cast<int>(utf8.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return std::filesystem::path(std::move(wide));
}

std::string TextOf(const std::filesystem::path& path) {
    return Narrow(path.native());
}

}  // namespace segweld::os
