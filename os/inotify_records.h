#pragma once

// The records that reading an inotify descriptor delivers (Linux only).

#include <cstddef>
#include <span>
#include <vector>

#include "os/folder_watch.h"

namespace segweld::os {

// Appends the events of a buffer of `struct inotify_event` records, as one
// read() returned them, to `events`. A record that runs past the end of the
// buffer ends the parse.
void ParseInotifyRecords(std::span<const std::byte> buffer, std::vector<FolderEvent>& events);

}  // namespace segweld::os
