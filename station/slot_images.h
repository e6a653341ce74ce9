#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/image_entry.h"
#include "station/log_line.h"
#include "station/slot_key.h"
#include "station/slot_record.h"

namespace segweld::station {

class OutputMaker;
class SlotPlaces;
struct StationOptions;

// The members of a slot that lie in `folder`: each wanted channel with a
// segment of its product (the lowest-numbered file), in the order of `channels`
// (empty: all twelve), and the wanted channels that have none there. With
// `productKeys`, only products whose masked name one of them ends with
// count.
struct SlotMembers {
    std::vector<geo::SlotMember> members;
    std::vector<std::string> absent;
    std::string error;  // the folder could not be listed
};
SlotMembers FindSlotMembers(const std::string& folder, const SlotId& slot,
                            const std::vector<std::string>& channels,
                            const std::vector<std::string>& productKeys = {});

// The slot's images at each publication of a station run that writes images
// with --slots: one NetCDF file, or multi-band GeoTIFFs, of the channels the
// record counts, beside the slot's manifest. Used by one thread at a time.
class SlotImageWriter {
  public:
    SlotImageWriter(geo::WriteSlotImageEntry entry, const StationOptions& options,
                    const SlotPlaces& places);

    // Writes the images of `record`'s slot and names them in record.images;
    // returns what the log says of them.
    std::vector<LogLine> Write(SlotRecord& record) const;

  private:
    geo::WriteSlotImageEntry entry_;
    const StationOptions& options_;
    const SlotPlaces& places_;
};

// The writer of slot images when `maker` writes images, else none.
std::optional<SlotImageWriter> MakeSlotImageWriter(const OutputMaker& maker,
                                                   const StationOptions& options,
                                                   const SlotPlaces& places);

}  // namespace segweld::station
