// Extended attributes on Linux: the "user." namespace.

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include "os/file_attribute.h"

namespace segweld::os {
namespace {

std::string UserName(const std::string& name) {
    return "user." + name;
}

bool MeansUnsupported(int error) {
    // ENOSPC and E2BIG: the value does not fit beside the file's other
    // attributes (one block on ext4); EPERM: no user attributes on this kind
    // of file or file system.
    return error == ENOTSUP || error == EOPNOTSUPP || error == ERANGE || error == E2BIG ||
           error == ENOSPC || error == EPERM;
}

}  // namespace

AttributeOutcome SetFileAttribute(const std::string& path, const std::string& name,
                                  std::string_view value, std::string& error) {
    if (setxattr(path.c_str(), UserName(name).c_str(), value.data(), value.size(), 0) == 0) {
        return AttributeOutcome::Written;
    }
    if (MeansUnsupported(errno)) {
        return AttributeOutcome::Unsupported;
    }
    error = "cannot record on " + path + ": " + std::strerror(errno);
    return AttributeOutcome::Failed;
}

std::optional<std::string> GetFileAttribute(const std::string& path, const std::string& name) {
    const std::string attribute = UserName(name);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t size = getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        std::string value(static_cast<size_t>(size), '\0');
        const ssize_t got = getxattr(path.c_str(), attribute.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;  // ERANGE: it grew between the two calls
        }
    }
    return std::nullopt;
}

}  // namespace segweld::os
