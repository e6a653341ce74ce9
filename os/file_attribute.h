#pragma once

// Small named values kept with a file by the file system (extended
// attributes), which travel with it through renames and copies that keep
// attributes. Exactly one implementation is built: posix_file_attribute.cpp or
// win32_file_attribute.cpp (which has none).

#include <optional>
#include <string>
#include <string_view>

namespace segweld::os {

enum class AttributeOutcome {
    Written,
    Unsupported,  // this file system (or system) keeps no such value, or none this large
    Failed,       // `error` says why
};

// Sets the attribute `name` of the file `path` (links followed) to `value`.
AttributeOutcome SetFileAttribute(const std::string& path, const std::string& name,
                                  std::string_view value, std::string& error);

// The attribute `name` of the file `path` (links followed); nullopt when it
// has none or it cannot be read.
std::optional<std::string> GetFileAttribute(const std::string& path, const std::string& name);

}  // namespace segweld::os
