#include "ui/segment_pick.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "join/segment_name.h"
#include "os/file_system.h"

namespace segweld {
namespace {

constexpr size_t kNameLength = 61;
constexpr std::array<size_t, 7> kSeparators = {1, 5, 12, 25, 35, 45, 58};
constexpr size_t kSegmentField = 36;
constexpr size_t kSegmentFieldLength = 9;
constexpr char kExampleName[] = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";

bool HasNameLayout(const std::string& name) {
    return name.size() == kNameLength && std::all_of(kSeparators.begin(), kSeparators.end(),
                                                     [&](size_t at) { return name[at] == '-'; });
}

bool HoldsSegmentNumber(const std::string& field) {
    return std::all_of(field.begin(), field.begin() + 6,
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
           field.substr(6) == "___";
}

std::string NotASegment(const std::string& path, const std::string& what) {
    return "Nothing joined: " + path + " is " + what +
           ", not a segment file. Pick one of the product's segment files, whose names "
           "carry the segment number after the channel, as in ...-IR_108___-000001___-...";
}

}  // namespace

std::string WhyNotASegmentFile(const std::string& path) {
    if (os::LookAt(path).kind == os::PathKind::Folder) {
        return "Nothing joined: the first file " + path + " is a folder, not a segment file.";
    }
    const std::string name = SplitSegmentPath(path).name;
    if (!HasNameLayout(name)) {
        return "Nothing joined: " + path +
               " is not a segment file: its name does not follow the dissemination naming, "
               "61 characters in eight fields such as " +
               kExampleName + ".";
    }
    const std::string field = name.substr(kSegmentField, kSegmentFieldLength);
    if (field == "PRO______") {
        return NotASegment(path, "the prologue of its product");
    }
    if (field == "EPI______") {
        return NotASegment(path, "the epilogue of its product");
    }
    if (!HoldsSegmentNumber(field)) {
        return "Nothing joined: " + path + " is not a segment file: its name holds \"" + field +
               "\" where a segment file's holds its segment number, as in 000001___.";
    }
    return "";
}

}  // namespace segweld
