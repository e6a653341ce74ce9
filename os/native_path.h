#pragma once

// std::filesystem paths made from the program's paths, which are UTF-8, and
// back. Every std::filesystem::path made from a std::string goes through
// PathOf: on Windows, a path made from a narrow string reads it in the ANSI
// code page, and a folder named "Daten ü" is not found. Exactly one
// implementation is built: posix_native_path.cpp or win32_native_path.cpp.

#include <filesystem>
#include <string>

namespace segweld::os {

// Bytes that are not UTF-8 become U+FFFD on Windows; on POSIX every byte
// stays as it is.
std::filesystem::path PathOf(const std::string& utf8);
std::string TextOf(const std::filesystem::path& path);

}  // namespace segweld::os
