#pragma once

#include "tools/info/info_options.h"

namespace segweld::info {

inline constexpr int kExitFine = 0;
inline constexpr int kExitFound = 1;  // a refused header, an incomplete product, no preview
inline constexpr int kExitBadArguments = 2;

// Each prints its result on standard output and its complaints on standard
// error, and returns the exit status.
int RunHeaderDump(const InfoOptions& options);
int RunSeries(const InfoOptions& options);
int RunPreview(const InfoOptions& options);

}  // namespace segweld::info
