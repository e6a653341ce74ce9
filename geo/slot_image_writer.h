#pragma once

#include "geo/image_entry.h"

namespace segweld::geo {

// Writes the images of the slot whose members `request.members`
// names into `request.outputFolder`: as NetCDF one file of every channel (the
// channels of one grid share its x and y, HRV has its own), as GeoTIFF one
// multi-band Cloud-Optimized GeoTIFF per grid. Each member is walked and
// described as WriteProductImage does it; a member that makes no image (no
// segment joined, a calibration its channel lacks) is left out, named among
// the absent channels, and a warning says why. The files appear only once
// all of them are complete; nothing is written when no member makes an
// image. Prints nothing and touches no process-wide state.
SlotImageReport WriteSlotImage(const SlotImageRequest& request);

}  // namespace segweld::geo
