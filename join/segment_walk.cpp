#include "join/segment_walk.h"

#include <algorithm>
#include <array>
#include <limits>

#include "join/segment_name.h"

namespace segweld {
namespace {

// Why a segment's header was refused: the fault of its compressed data,
// when they ended before the header did.
std::string RefusalReason(const SegmentSource& file, const CHritHeaderReader& reader) {
    const std::string& fault = file.fault();
    return "header refused: " +
           (fault.empty() ? std::string(DescribeRefusal(reader.refusal())) : fault);
}

void ReadSegment(OpenOutcome opened, SegmentVisit& visit, SegmentSource& file,
                 CHritHeaderReader& reader, const CHritHeaderReader* alreadyRead) {
    switch (opened) {
        case OpenOutcome::NotRegularFile:
            visit.status = SegmentStatus::NotRegularFile;
            visit.reason = "not a regular file";
            return;
        case OpenOutcome::Failed:
        case OpenOutcome::Missing:
            visit.status = SegmentStatus::CannotOpen;
            visit.reason = "cannot be opened: " + file.error();
            return;
        case OpenOutcome::Opened:
            break;
    }
    visit.file = &file;
    if (alreadyRead != nullptr) {
        visit.headerLength = reader.TakeHeader(*alreadyRead);
        file.StandAt(visit.headerLength);
    } else {
        visit.headerLength = reader.ReadHeader(file.stream());
        file.ThrowIfStreamFailed();
    }
    if (visit.headerLength == 0) {
        visit.status = SegmentStatus::HeaderRefused;
        visit.reason = RefusalReason(file, reader);
        return;
    }
    visit.header = &reader.header();
    visit.headerBytes = reader.headerBytes();
    if (DataFieldBytes(reader.header()) > std::numeric_limits<uint32_t>::max()) {
        visit.status = SegmentStatus::DataFieldTooLong;
        visit.reason = "data field of " + std::to_string(DataFieldBytes(reader.header())) +
                       " bytes is too long to join";
        return;
    }
    visit.status = SegmentStatus::Accepted;
}

}  // namespace

std::string DescribeMissingSegment(const std::string& path, int32_t number) {
    const std::string segment = "segment " + std::to_string(number);
    const os::PathInfo look = os::LookAt(path);
    switch (look.kind) {
        case os::PathKind::DanglingLink:
            return segment + " (" + path + ") is a symbolic link whose target does not exist";
        case os::PathKind::LinkLoop:
            return segment + " (" + path + ") is a loop of symbolic links";
        case os::PathKind::Inaccessible:
            return segment + " (" + path + ") cannot be looked at: " + look.error;
        default:
            return "no file exists for " + segment;
    }
}

std::string StoredSegmentPath(const std::string& segmentPath, int32_t number) {
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    const std::array<std::string, 4> names = SegmentFileNames(parts.name, number);
    for (const std::string& name : names) {
        if (PathExists(parts.directory + name)) {
            return parts.directory + name;
        }
    }
    return parts.directory + names.front();
}

int32_t WalkSegments(const std::string& segmentPath, CHritHeaderReader& reader,
                     const std::function<bool(const SegmentVisit&)>& visit,
                     const std::function<bool(int32_t)>& passGap, int32_t first,
                     const OpenedSegment& opened) {
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    for (int32_t number = std::max(first, 1);; ++number) {
        SegmentVisit segment;
        segment.number = number;
        OpenOutcome outcome = OpenOutcome::Missing;
        bool named = false;
        const std::array<std::string, 4> names = SegmentFileNames(parts.name, number);
        for (const std::string& name : names) {
            segment.path = parts.directory + name;
            named = opened.file && segment.path == segmentPath;
            segment.sharedFile = named ? opened.file : std::make_shared<SegmentSource>();
            if (named) {
                segment.sharedFile->StandAt(0);
                outcome = OpenOutcome::Opened;
            } else {
                outcome = segment.sharedFile->Open(segment.path);
            }
            if (outcome != OpenOutcome::Missing) {
                break;
            }
        }
        if (outcome == OpenOutcome::Missing) {
            if (passGap && passGap(number)) {
                continue;
            }
            return number;
        }
        ReadSegment(outcome, segment, *segment.sharedFile, reader,
                    named ? opened.header.get() : nullptr);
        if (!visit(segment) || number == std::numeric_limits<int32_t>::max()) {
            return number == std::numeric_limits<int32_t>::max() ? number : number + 1;
        }
    }
}

}  // namespace segweld
