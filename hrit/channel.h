#pragma once

#include <string_view>

#include "hrit/hrit_header.h"

namespace segweld {

// Sets `channelCode`: 0 for a prologue or epilogue, 1 to 12 for the channels
// of the MSG imager, -1 for anything else.
void ClassifyChannel(HritHeader& header);

// The spectral channel id (1 to 12) of an MSG imager channel named `name`
// ("IR_108"); -1 for any other name.
int32_t ChannelCodeOf(std::string_view name);

}  // namespace segweld
