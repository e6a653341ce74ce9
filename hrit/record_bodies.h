#pragma once

#include "hrit/big_endian_reader.h"
#include "hrit/hrit_header.h"

namespace segweld {

// Body decoders of the header records. Each is given exactly the bytes of one
// record, its 3-byte prefix included, and reads its fields at fixed offsets;
// a field beyond the record's end reads as zero.

// Record type 0, the primary header record.
void DecodePrimaryHeader(const BigEndianReader& record, HritHeader& header);
// Record type 1: bits per pixel, columns, lines, compression flag.
void DecodeImageStructure(const BigEndianReader& record, HritHeader& header);
// Record type 2: projection name, scaling factors and offsets, hemisphere.
void DecodeImageNavigation(const BigEndianReader& record, HritHeader& header);
// Record type 4: the annotation text, then its fields.
void DecodeAnnotationRecord(const BigEndianReader& record, HritHeader& header);
// Record type 5: the seven bytes of the time stamp, unconverted.
void DecodeTimeStamp(const BigEndianReader& record, HritHeader& header);
// Record type 128: segment identification, in the MSG layout when the
// dissemination id decoded so far begins with "MSG", else in the other layout.
void DecodeSegmentIdentification(const BigEndianReader& record, HritHeader& header);

}  // namespace segweld
