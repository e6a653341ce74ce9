#include "station/slot_images.h"

#include <algorithm>
#include <map>

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "os/folders.h"
#include "station/output_maker.h"
#include "station/product_scan.h"
#include "station/slot_publisher.h"
#include "station/station_options.h"

namespace segweld::station {
namespace {

bool Counted(const std::string& masked, const std::vector<std::string>& productKeys) {
    return productKeys.empty() ||
           std::any_of(productKeys.begin(), productKeys.end(),
                       [&](const std::string& key) { return key.ends_with(masked); });
}

}  // namespace

SlotMembers FindSlotMembers(const std::string& folder, const SlotId& slot,
                            const std::vector<std::string>& channels,
                            const std::vector<std::string>& productKeys) {
    SlotMembers members;
    const os::FolderListing listing = os::ListFolder(folder);
    if (listing.outcome != os::FolderListing::Outcome::Listed) {
        members.error = listing.error.empty() ? "the folder is gone" : listing.error;
    }
    // Each channel's lowest-numbered segment.
    std::map<std::string, std::pair<int32_t, std::string>> first;
    for (const os::FolderEntry& entry : listing.entries) {
        const int32_t number = SegmentNumberInName(entry.name);
        const auto file = number < 0 ? std::nullopt : SlotFileOf(slot.folder, entry.name);
        if (!file || file->slot != slot || !Counted(MaskedName(entry.name), productKeys)) {
            continue;
        }
        auto [at, added] = first.try_emplace(file->channel, number, entry.name);
        if (!added && number < at->second.first) {
            at->second = {number, entry.name};
        }
    }
    for (const std::string& channel : channels.empty() ? SeviriChannels() : channels) {
        const auto found = first.find(channel);
        if (found == first.end()) {
            members.absent.push_back(channel);
        } else {
            members.members.push_back({channel, FolderPrefix(folder) + found->second.second});
        }
    }
    return members;
}

SlotImageWriter::SlotImageWriter(geo::WriteSlotImageEntry entry, const StationOptions& options,
                                 const SlotPlaces& places)
    : entry_(entry), options_(options), places_(places) {}

std::vector<LogLine> SlotImageWriter::Write(SlotRecord& record) const {
    std::vector<std::string> channels;
    std::vector<std::string> productKeys;
    for (const ChannelRecord& channel : record.channels) {
        channels.push_back(channel.channel);
        if (channel.state != ChannelRecord::State::Missing) {
            productKeys.push_back(channel.product);
        }
    }
    const std::string folder = PathBelow(options_.inputFolder, record.id.folder);
    SlotMembers members = FindSlotMembers(folder, record.id, channels, productKeys);
    const std::string slot = record.id.Text();
    if (!members.error.empty()) {
        return {{LogLevel::Failure, "segweld: no images of slot " + slot + ": " + members.error}};
    }
    const std::string manifest = places_.ManifestPath(record.id);
    geo::SlotImageRequest request;
    request.slotName = record.id.key.FileStem();
    request.members = std::move(members.members);
    request.absentChannels = std::move(members.absent);
    request.outputFolder = SplitSegmentPath(manifest).directory;
    request.format = options_.netCdf ? OutputKind::NetCdf : OutputKind::GeoTiff;
    request.fillGaps = options_.fillGaps;
    request.calibration = options_.calibration;
    request.calibrationMode = options_.calibrationMode;
    std::vector<LogLine> lines;
    if (request.members.empty()) {
        return lines;  // nothing to make an image of: the manifest says so
    }
    geo::SlotImageReport report;
    entry_(request, report);
    for (const std::string& warning : report.warnings) {
        lines.push_back({LogLevel::Warning, "  warning: " + warning});
    }
    if (!report.written()) {
        lines.push_back({LogLevel::Failure, "segweld: " + report.error});
        return lines;
    }
    record.images = report.outputPaths;
    return lines;
}

std::optional<SlotImageWriter> MakeSlotImageWriter(const OutputMaker& maker,
                                                   const StationOptions& options,
                                                   const SlotPlaces& places) {
    if (maker.slotImageEntry() == nullptr) {
        return std::nullopt;
    }
    return SlotImageWriter(maker.slotImageEntry(), options, places);
}

}  // namespace segweld::station
