#pragma once

#include "hrit/hrit_header.h"

namespace segweld {

// Splits `annotation` (a name in the MSG dissemination file-naming convention)
// into the annotation fields and composes `shortName`, `label` and `timeLabel`.
// Returns 1 when the text was decoded, 0 when it was not; only texts with "MSG"
// at columns 6 to 8 are decoded.
int DecodeAnnotation(HritHeader& header);

// DecodeAnnotation without the test for "MSG".
int ParseAnnotation(HritHeader& header);

// Cuts the trailing '_' characters of a zero-terminated text in place.
void TrimTrailingUnderscores(char* text);

}  // namespace segweld
