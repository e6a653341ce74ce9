#pragma once

#include "hrit/hrit_header.h"

namespace segweld {

// Sets `channelCode`: 0 for a prologue or epilogue, 1 to 12 for the channels
// of the MSG imager, -1 for anything else.
void ClassifyChannel(HritHeader& header);

}  // namespace segweld
