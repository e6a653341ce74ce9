// Folders on POSIX systems.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "os/folders.h"

namespace segweld::os {
namespace {

EntryType TypeOf(unsigned char type) {
    switch (type) {
        case DT_REG:
            return EntryType::File;
        case DT_DIR:
            return EntryType::Folder;
        case DT_LNK:
            return EntryType::Link;
        case DT_UNKNOWN:
            return EntryType::Unknown;
        default:
            return EntryType::Other;
    }
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

FolderListing ListFolder(const std::string& folder) {
    FolderListing listing;
    const std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir(folder.empty() ? "." : folder.c_str()),
                                                     closedir);
    if (!stream) {
        const int error = errno;
        listing.outcome = (error == ENOENT || error == ENOTDIR)
                              ? FolderListing::Outcome::Gone
                              : FolderListing::Outcome::Unreadable;
        listing.error = std::strerror(error);
        return listing;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream.get());
        if (entry == nullptr) {
            if (errno != 0) {
                listing.outcome = FolderListing::Outcome::Unreadable;
                listing.error = std::strerror(errno);
                listing.entries.clear();
            }
            return listing;
        }
        if (!IsDotOrDotDot(entry->d_name)) {
            listing.entries.push_back({entry->d_name, TypeOf(entry->d_type)});
        }
    }
}

bool MakeFolders(const std::string& folder, std::string& error) {
    if (folder.empty() || IsFolder(folder)) {
        return true;
    }
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), error)) {
        return false;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && !(errno == EEXIST && IsFolder(folder))) {
        error = "cannot make the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool CanWriteInto(const std::string& folder, std::string& error) {
    if (access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path, std::string& error) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = "cannot remove " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace segweld::os
