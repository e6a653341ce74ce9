#include "os/inotify_records.h"

#include <sys/inotify.h>

#include <cstring>
#include <string>

namespace segweld::os {

void ParseInotifyRecords(std::span<const std::byte> buffer, std::vector<FolderEvent>& events) {
    size_t offset = 0;
    while (offset + sizeof(inotify_event) <= buffer.size()) {
        inotify_event record;
        std::memcpy(&record, buffer.data() + offset, sizeof record);
        const size_t nameStart = offset + sizeof record;
        if (nameStart + record.len > buffer.size()) {
            return;
        }
        offset = nameStart + record.len;
        if ((record.mask & IN_Q_OVERFLOW) != 0) {
            events.push_back({FolderEvent::Kind::Overflow, {}});
        } else if ((record.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT)) != 0) {
            events.push_back({FolderEvent::Kind::FolderGone, {}});
        } else if ((record.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0 && record.len > 0 &&
                   (record.mask & IN_ISDIR) == 0) {
            // The name is padded with zero bytes up to `len`.
            const auto* name = reinterpret_cast<const char*>(buffer.data() + nameStart);
            events.push_back(
                {FolderEvent::Kind::FileReady, std::string(name, strnlen(name, record.len))});
        }
    }
}

}  // namespace segweld::os
