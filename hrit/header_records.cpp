#include "hrit/header_records.h"

#include <cstdio>

#include "hrit/big_endian_reader.h"
#include "hrit/record_bodies.h"

namespace segweld {
namespace {

constexpr int32_t kPrefixLength = 3;

void DecodeRecord(const BigEndianReader& record, HritHeader& header,
                  const UnexpectedTypeReport& report) {
    switch (header.hdrType) {
        case 0:
            DecodePrimaryHeader(record, header);
            break;
        case 1:
            DecodeImageStructure(record, header);
            break;
        case 2:
            DecodeImageNavigation(record, header);
            break;
        case 4:
            DecodeAnnotationRecord(record, header);
            break;
        case 5:
            DecodeTimeStamp(record, header);
            break;
        case 128:
            DecodeSegmentIdentification(record, header);
            break;
        case 3:    // image data function
        case 6:    // ancillary text
        case 7:    // key header
        case 129:  // records of the mission, not decoded
        case 130:
        case 131:
            break;
        default:
            report(header.hdrType);
            break;
    }
}

void ReadPrefix(const BigEndianReader& buffer, int32_t position, HritHeader& header) {
    header.hdrType = buffer.U8(position);
    header.recLength = buffer.U16(position + 1);
}

}  // namespace

void PrintUnexpectedType(uint32_t hdrType) {
    std::printf("Unexpected hdrtype=%d\n", static_cast<int>(hdrType));
}

void DecodeHeaderRecords(const uint8_t* buffer, int32_t length, HritHeader& header,
                         const UnexpectedTypeReport& report) {
    header = HritHeader{};
    if (length < 0) {
        length = 0;
    }
    const BigEndianReader bytes(buffer, static_cast<size_t>(length));

    int32_t position = 0;
    ReadPrefix(bytes, position, header);
    // 64 bits, so that a wild total header length in a later primary header
    // record cannot wrap the count around.
    int64_t remaining = 0;
    int32_t recordLength = static_cast<int32_t>(header.recLength);
    if (recordLength > length) {
        return;
    }
    int64_t consumed = recordLength;

    while (true) {
        // A record that ends inside its own prefix would never move the walk on.
        if (recordLength < kPrefixLength) {
            return;
        }
        DecodeRecord(bytes.Slice(position, recordLength), header, report);
        if (header.hdrType == 0) {
            remaining = header.totalHeaderLength;
        }
        position += recordLength;
        remaining -= recordLength;
        if (remaining <= 0 || length - position < kPrefixLength) {
            return;
        }
        ReadPrefix(bytes, position, header);
        recordLength = static_cast<int32_t>(header.recLength);
        consumed += recordLength;
        if (consumed > length) {
            return;
        }
    }
}

}  // namespace segweld
