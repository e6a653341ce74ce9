#pragma once

#include "geo/image_entry.h"

namespace segweld::geo {

// Writes the image of the product that `request.segmentPath` belongs to into
// `request.outputFolder`, named by OutputName for `request.format`, in one
// pass over the product: the segments are walked and chosen exactly as a
// join chooses them (same segments, same warnings; --fill-gaps as there),
// each segment's header is read once, and its pixels are read from its file
// as the image is written; no joined file is made. The image appears only
// when complete, replacing an older file of its name as os::HiddenOutput
// does; what a run killed before left in that folder by Segweld's own naming
// goes first (os::RemoveAbandonedOutputs). Products that cannot be
// georeferenced (compressed, not image data, first-generation Meteosat), and
// a calibration the channel does not have, are refused. Prints nothing and
// touches no process-wide state: runs on any thread, several at once.
ImageReport WriteProductImage(const ImageRequest& request);

}  // namespace segweld::geo
