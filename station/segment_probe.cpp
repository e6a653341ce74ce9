#include "station/segment_probe.h"

#include <algorithm>
#include <array>
#include <limits>

#include "join/output_name.h"
#include "join/segment_file.h"
#include "os/file_system.h"

namespace segweld::station {
namespace {

constexpr size_t kExtensionBytes = 4;

int32_t Clamped(uint32_t value) {
    return static_cast<int32_t>(std::min<uint32_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace

SegmentProber::SegmentProber() : reader_([](uint32_t) {}) {}

SegmentProbe SegmentProber::Probe(const std::string& path) {
    SegmentProbe probe;
    SegmentFile file;
    if (file.Open(path) != OpenOutcome::Opened || reader_.ReadHeader(file.stream()) == 0) {
        return probe;
    }
    const HritHeader& header = reader_.header();
    const uint64_t dataLength = DataFieldBytes(header);
    probe.accepted = dataLength <= std::numeric_limits<uint32_t>::max();
    const uint64_t dataStart = file.position();
    probe.whole = file.size() >= dataStart + dataLength;
    probe.plannedStart = Clamped(header.segmentId[3]);
    probe.plannedEnd = Clamped(header.segmentId[4]);
    std::array<uint8_t, kExtensionBytes> first{};
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(first.size(), dataLength));
    size_t got = 0;
    try {
        got = file.ReadAt(dataStart, std::span(first.data(), wanted));
    } catch (const os::ReadError&) {
        return SegmentProbe{};  // the join will say why
    }
    probe.firstBytes.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(got));
    return probe;
}

ProductPlan PlanProduct(const Product& product, const std::string& outputFolder,
                        SegmentProber& prober) {
    ProductPlan plan;
    if (product.segments.empty()) {
        return plan;
    }
    int32_t expected = 1;
    for (const SegmentEntry& segment : product.segments) {
        if (segment.number < expected) {
            continue;  // number 0: the walk starts at 1
        }
        if (segment.number != expected) {
            break;  // the walk ends at the first missing number
        }
        const SegmentProbe probe = prober.Probe(product.folder + segment.name);
        if (probe.accepted) {
            const std::string name =
                JoinedOutputName(product.segments.front().name, probe.firstBytes);
            plan.outputPath = JoinedOutputPath(outputFolder, name);
            plan.plannedStart = probe.plannedStart;
            plan.plannedEnd = probe.plannedEnd;
            return plan;
        }
        ++expected;
    }
    return plan;
}

bool IsUpToDate(const Product& product, const std::string& outputPath) {
    const os::PathInfo output = os::LookAt(outputPath);
    // Not older, rather than newer: file times advance in clock ticks of a few
    // milliseconds, and a watch joins a product within the tick of its last
    // segment.
    return output.kind == os::PathKind::RegularFile &&
           output.modifiedNanoseconds >= product.NewestModification();
}

}  // namespace segweld::station
