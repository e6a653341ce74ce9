// Parses arbitrary annotation texts and checks that every text field stays
// terminated within its width and that a decoded label is always 15 characters.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "hrit/annotation.h"
#include "hrit/bounded_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    segweld::HritHeader header{};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    segweld::CopyText(header.annotation, text.substr(0, text.find('\0')), 61);
    const int result = segweld::ParseAnnotation(header);
    for (const auto* field : {header.shortName, header.label, header.timeLabel, header.timeText}) {
        if (std::memchr(field, '\0', 20) == nullptr) {
            std::abort();
        }
    }
    if (result == 1 && std::strlen(header.label) != 15 && header.hritOrLrit != '\0') {
        std::abort();
    }
    if (std::string_view(header.annotation) != text.substr(0, std::strlen(header.annotation))) {
        std::abort();  // the parse must leave the text intact
    }
    return 0;
}
