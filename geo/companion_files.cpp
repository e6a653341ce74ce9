#include "geo/companion_files.h"

#include <array>
#include <string_view>

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "os/file_system.h"
#include "unpack/compression.h"

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

// A companion is taken stored plain, then compressed, as a segment is.
std::array<std::string_view, 1 + unpack::kCompressions.size()> StoredSuffixes() {
    std::array<std::string_view, 1 + unpack::kCompressions.size()> suffixes{};
    for (size_t i = 0; i < unpack::kCompressions.size(); ++i) {
        suffixes[i + 1] = unpack::SuffixOf(unpack::kCompressions[i]);
    }
    return suffixes;
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
    const std::vector<std::string> names =
        CompanionNames(std::string(unpack::WithoutCompressionSuffix(parts.name)), which);
    if (names.empty()) {
        lookup.problem = std::string("there is no ") + Noun(which) + ": the segment file name " +
                         parts.name + " does not follow the dissemination naming convention";
        return lookup;
    }
    for (const std::string& name : names) {
        for (const std::string_view suffix : StoredSuffixes()) {
            const std::string path = parts.directory + name + std::string(suffix);
            if (os::LookAt(path).kind == os::PathKind::RegularFile) {
                lookup.path = path;
                return lookup;
            }
        }
    }
    const std::string folder = parts.directory.empty() ? "the current folder" : parts.directory;
    lookup.problem = std::string("there is no ") + Noun(which) + " " + names[0] + " (nor " +
                     names[1] + ", plain or compressed) in " + folder;
    return lookup;
}

}  // namespace segweld::geo
