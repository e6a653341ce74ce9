#include "geo/companion_files.h"

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "os/file_system.h"

namespace segweld::geo {
namespace {

using Field = DisseminationName::Field;

const char* Noun(Companion which) {
    return which == Companion::Prologue ? "prologue" : "epilogue";
}

// `name` with `field` set to `value`; `name` is a dissemination name.
std::string With(const std::string& name, Field field, std::string_view value) {
    return DisseminationName::Parse(name)->With(field, value);
}

}  // namespace

std::vector<std::string> CompanionNames(const std::string& segmentName, Companion which) {
    const auto parsed = DisseminationName::Parse(segmentName);
    if (!parsed || parsed->kind() != DisseminationName::Kind::Segment) {
        return {};
    }
    const std::string keptChannel =
        With(parsed->With(Field::Segment, which == Companion::Prologue ? "PRO" : "EPI"),
             Field::Flags, "");
    return {With(keptChannel, Field::Channel, ""), keptChannel};
}

CompanionLookup FindCompanion(const std::string& segmentPath, Companion which) {
    CompanionLookup lookup;
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    const std::vector<std::string> names = CompanionNames(parts.name, which);
    if (names.empty()) {
        lookup.problem = std::string("there is no ") + Noun(which) + ": the segment file name " +
                         parts.name + " does not follow the dissemination naming convention";
        return lookup;
    }
    for (const std::string& name : names) {
        if (os::LookAt(parts.directory + name).kind == os::PathKind::RegularFile) {
            lookup.path = parts.directory + name;
            return lookup;
        }
    }
    const std::string folder = parts.directory.empty() ? "the current folder" : parts.directory;
    lookup.problem = std::string("there is no ") + Noun(which) + " " + names[0] + " (nor " +
                     names[1] + ") in " + folder;
    return lookup;
}

}  // namespace segweld::geo
