#include "os/inotify_records.h"

#include <sys/inotify.h>

#include <cstring>

namespace segweld::os {

std::vector<InotifyRecord> ParseInotifyRecords(std::span<const std::byte> buffer) {
    std::vector<InotifyRecord> records;
    size_t offset = 0;
    while (offset + sizeof(inotify_event) <= buffer.size()) {
        inotify_event head;
        std::memcpy(&head, buffer.data() + offset, sizeof head);
        const size_t nameStart = offset + sizeof head;
        if (nameStart + head.len > buffer.size()) {
            break;
        }
        offset = nameStart + head.len;
        // The name is padded with zero bytes up to `len`.
        const auto* name = reinterpret_cast<const char*>(buffer.data() + nameStart);
        records.push_back({head.wd, head.mask, std::string(name, strnlen(name, head.len))});
    }
    return records;
}

}  // namespace segweld::os
