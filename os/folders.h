#pragma once

// Folders as the station modes see them: what one holds, by name, without a
// look at every file, and making the folders an output needs. Exactly one
// implementation is built: posix_folders.cpp or win32_folders.cpp. Paths are
// UTF-8.

#include <cstdint>
#include <string>
#include <vector>

namespace segweld::os {

// What the listing says an entry is, without following it; Unknown where the
// file system does not say (the caller looks at it when it matters).
enum class EntryType { File, Folder, Link, Other, Unknown };

struct FolderEntry {
    std::string name;
    EntryType type = EntryType::Unknown;
};

struct FolderListing {
    enum class Outcome {
        Listed,
        Gone,        // no folder of that name (any more)
        Unreadable,  // it exists but cannot be read: `error` says why
    };
    Outcome outcome = Outcome::Listed;
    std::vector<FolderEntry> entries;  // "." and ".." left out; in no particular order
    std::string error;
};

// One pass over the names of `folder`. Never throws.
FolderListing ListFolder(const std::string& folder);

// Makes `folder` and every missing folder above it; true when it exists as a
// folder afterwards, else `error` says why.
bool MakeFolders(const std::string& folder, std::string& error);

// True when this process may make files in `folder`; else `error` says why
// (a read-only file system, as a sandboxed service without write access to it
// sees it, or no permission).
bool CanWriteInto(const std::string& folder, std::string& error);

// Removes the file `path` (not a folder); true when it is gone afterwards.
bool RemoveFile(const std::string& path, std::string& error);

}  // namespace segweld::os
