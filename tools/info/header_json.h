#pragma once

#include "hrit/hrit_header.h"
#include "tools/info/header_reading.h"
#include "tools/info/json_text.h"

namespace segweld::info {

// Every field of `header` under its own name, in the order of HritHeader;
// beside the raw times their ISO 8601 UTC form ("nominalTimeUtc",
// "timeStampUtc", null where there is none), and beside "segmentId" the
// same numbers under labelled keys ("segmentIdentification").
Json HeaderJson(const HritHeader& header);

// One file of the dump: "schema", "file", "headerLength", then "unexpectedTypes" and
// "header" for an accepted header, or "refusal" for one that was not.
Json HeaderReadingJson(const HeaderReading& reading);

}  // namespace segweld::info
