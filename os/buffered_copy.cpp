#include <algorithm>
#include <vector>

#include "os/file_system.h"

namespace segweld::os {

uint64_t HiddenOutput::CopyThroughBuffer(const InputFile& source, uint64_t offset,
                                         uint64_t length) {
    constexpr size_t kChunk = 1 << 20;
    std::vector<uint8_t> buffer;
    uint64_t done = 0;
    while (done < length) {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(length - done, kChunk)));
        const size_t got = source.ReadAt(offset + done, buffer);
        Append(std::span(buffer.data(), got));
        done += got;
        if (got < buffer.size()) {
            break;
        }
    }
    return done;
}

}  // namespace segweld::os
