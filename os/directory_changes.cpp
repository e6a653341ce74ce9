#include "os/directory_changes.h"

namespace segweld::os {
namespace {

constexpr size_t kHeadBytes = 12;  // three 32-bit fields before the name
constexpr char32_t kReplacement = 0xFFFD;

uint32_t Little32(std::span<const std::byte> bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    }
    return value;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// `count` UTF-16 units, little endian, from `at`, as UTF-8.
std::string NameAt(std::span<const std::byte> bytes, size_t at, size_t count) {
    const auto unitAt = [&](size_t i) {
        return static_cast<char32_t>(static_cast<uint32_t>(bytes[at + 2 * i]) |
                                     static_cast<uint32_t>(bytes[at + 2 * i + 1]) << 8);
    };
    std::string name;
    for (size_t i = 0; i < count; ++i) {
        const char32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00), name);
            ++i;
        } else {
            AppendUtf8(IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit, name);
        }
    }
    return name;
}

}  // namespace

std::vector<DirectoryChange> ParseDirectoryChanges(std::span<const std::byte> buffer) {
    std::vector<DirectoryChange> changes;
    size_t offset = 0;
    while (offset + kHeadBytes <= buffer.size()) {
        const uint32_t next = Little32(buffer, offset);
        const uint32_t action = Little32(buffer, offset + 4);
        const uint32_t nameBytes = Little32(buffer, offset + 8);
        if (nameBytes > buffer.size() - offset - kHeadBytes) {
            break;
        }
        changes.push_back({action, NameAt(buffer, offset + kHeadBytes, nameBytes / 2)});
        if (next == 0 || next > buffer.size() - offset) {
            break;
        }
        offset += next;
    }
    return changes;
}

std::vector<FolderEvent> FolderEventsOf(std::span<const std::byte> buffer) {
    using Kind = FolderEvent::Kind;
    if (buffer.empty()) {
        return {{Kind::Overflow, {}}};
    }
    std::vector<FolderEvent> events;
    for (DirectoryChange& change : ParseDirectoryChanges(buffer)) {
        switch (change.action) {
            case kFileAdded:
                events.push_back({Kind::FileCreated, std::move(change.name)});
                break;
            case kFileRenamedNewName:
                events.push_back({Kind::FileClosed, std::move(change.name)});
                break;
            case kFileModified:
                events.push_back({Kind::FileChanged, std::move(change.name)});
                break;
            default:
                break;  // a name that went away
        }
    }
    return events;
}

}  // namespace segweld::os
