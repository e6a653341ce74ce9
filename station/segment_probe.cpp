#include "station/segment_probe.h"

#include <limits>

#include "join/segment_plan.h"
#include "join/segment_source.h"
#include "os/file_system.h"

namespace segweld::station {
SegmentProber::SegmentProber() : reader_([](uint32_t) {}) {}

SegmentProbe SegmentProber::Probe(const std::string& path) {
    SegmentProbe probe;
    SegmentSource file;
    if (file.Open(path) != OpenOutcome::Opened || reader_.ReadHeader(file.stream()) == 0) {
        return probe;
    }
    const HritHeader& header = reader_.header();
    const uint64_t dataLength = DataFieldBytes(header);
    probe.accepted = dataLength <= std::numeric_limits<uint32_t>::max();
    const uint64_t dataStart = file.position();
    probe.whole = file.BytesFrom(dataStart, dataLength) == dataLength &&
                  file.DamageUpTo(dataStart + DataFieldBytesStored(header)).empty();
    if (const auto plan = PlanOf(header)) {
        probe.plannedStart = plan->start;
        probe.plannedEnd = plan->end;
    }
    return probe;
}

}  // namespace segweld::station
