#pragma once

// The records that reading an inotify descriptor delivers (Linux only).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace segweld::os {

struct InotifyRecord {
    int watch = 0;
    uint32_t mask = 0;
    std::string name;  // without the zero bytes that pad it
};

// The records of a buffer of `struct inotify_event` records, as one read()
// returned them. A record that runs past the end of the buffer ends the parse.
std::vector<InotifyRecord> ParseInotifyRecords(std::span<const std::byte> buffer);

}  // namespace segweld::os
