#pragma once

// The records that ReadDirectoryChangesW leaves in its buffer (one
// FILE_NOTIFY_INFORMATION after another), read without the Windows headers,
// so that the parse is built and tested on every system.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "os/folder_watch.h"

namespace segweld::os {

// The actions of the records, as Windows numbers them.
enum DirectoryAction : uint32_t {
    kFileAdded = 1,
    kFileRemoved = 2,
    kFileModified = 3,
    kFileRenamedOldName = 4,
    kFileRenamedNewName = 5,
};

struct DirectoryChange {
    uint32_t action = 0;
    std::string name;  // UTF-8; a lone surrogate becomes U+FFFD
};

// The records of `buffer` as one completed read filled it: each holds the
// offset of the next record from its own start (0 for the last), the action,
// the length of the name in bytes and the name in UTF-16, all little endian.
// A record that runs past the buffer, or an offset that does not lead
// forward, ends the parse.
std::vector<DirectoryChange> ParseDirectoryChanges(std::span<const std::byte> buffer);

// The events of the watch for what one completed read delivered: a new name
// (FileCreated: a file being written, copied, linked or moved in), a name
// renamed into place (FileClosed), a file written to or touched
// (FileChanged). Names that went away tell nothing. An empty read means that
// the system lost changes: one Overflow.
std::vector<FolderEvent> FolderEventsOf(std::span<const std::byte> buffer);

}  // namespace segweld::os
