#include "join/segment_pick.h"

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "os/file_system.h"
#include "unpack/compression.h"

namespace segweld {
namespace {

constexpr char kExampleName[] = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";

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
    const auto name =
        DisseminationName::Parse(unpack::WithoutCompressionSuffix(SplitSegmentPath(path).name));
    if (!name) {
        return "Nothing joined: " + path +
               " is not a segment file: its name does not follow the dissemination naming, "
               "61 characters in eight fields such as " +
               kExampleName + ".";
    }
    switch (name->kind()) {
        case DisseminationName::Kind::Segment:
            return "";
        case DisseminationName::Kind::Prologue:
            return NotASegment(path, "the prologue of its product");
        case DisseminationName::Kind::Epilogue:
            return NotASegment(path, "the epilogue of its product");
        case DisseminationName::Kind::Other:
            break;
    }
    return "Nothing joined: " + path + " is not a segment file: its name holds \"" +
           std::string(name->field(DisseminationName::Field::Segment)) +
           "\" where a segment file's holds its segment number, as in 000001___.";
}

}  // namespace segweld
