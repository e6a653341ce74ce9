// Windows keeps no extended attributes that travel with a file through the
// calls used here: callers keep their values beside the file instead.

#include "os/file_attribute.h"

namespace segweld::os {

AttributeOutcome SetFileAttribute(const std::string&, const std::string&, std::string_view,
                                  std::string&) {
    return AttributeOutcome::Unsupported;
}

std::optional<std::string> GetFileAttribute(const std::string&, const std::string&) {
    return std::nullopt;
}

}  // namespace segweld::os
