// Feeds arbitrary bytes to the header reader as a segment file and checks what
// must hold for any input: the result is 0 or a length within the limits, the
// stream stands at the data field or where it started, and every text field is
// terminated within its width.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hrit/header_reader.h"
#include "hrit/memory_stream.h"

namespace {

template <size_t N>
void RequireTerminated(const char (&field)[N]) {
    if (std::memchr(field, '\0', N) == nullptr) {
        std::abort();
    }
}

void RequireTextsTerminated(const segweld::HritHeader& h) {
    RequireTerminated(h.projectionName);
    RequireTerminated(h.annotation);
    RequireTerminated(h.formatVersion);
    RequireTerminated(h.disseminationId);
    RequireTerminated(h.sourceName);
    RequireTerminated(h.sourceClass);
    RequireTerminated(h.channel);
    RequireTerminated(h.timeText);
    RequireTerminated(h.shortName);
    RequireTerminated(h.label);
    RequireTerminated(h.timeLabel);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    segweld::CHritHeaderReader reader([](uint32_t) {});
    segweld::MemoryInputStream stream(data, size);
    const uint32_t length = reader.ReadHeader(stream);
    const auto position = static_cast<uint64_t>(stream.tellg());
    if (length == 0) {
        if (position != 0) {
            std::abort();
        }
        return 0;
    }
    if (length < 10 || length > 10000 || length > size || position != length) {
        std::abort();
    }
    RequireTextsTerminated(reader.header());
    return 0;
}
