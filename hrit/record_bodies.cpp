#include "hrit/record_bodies.h"

#include <cstring>

#include "hrit/annotation.h"

namespace segweld {
namespace {

constexpr size_t kProjectionNameWidth = 32;
constexpr size_t kAnnotationWidth = 61;

// Copies up to `width` bytes from offset 3 of the record, stopping at a zero
// byte or at the record's end, and terminates the text.
void CopyRecordText(const BigEndianReader& record, size_t width, char* out) {
    size_t count = 0;
    for (; count < width; ++count) {
        const uint8_t byte = record.U8(3 + count);
        if (byte == 0) {
            break;
        }
        out[count] = static_cast<char>(byte);
    }
    out[count] = '\0';
}

// Cuts trailing blanks only when the name fills its whole width and ends in a
// blank; the first character always stays.
void TrimProjectionName(char* name) {
    size_t last = kProjectionNameWidth - 1;
    if (name[last] != ' ') {
        return;
    }
    while (last > 0 && name[last] == ' ') {
        --last;
    }
    name[last + 1] = '\0';
}

}  // namespace

void DecodePrimaryHeader(const BigEndianReader& record, HritHeader& header) {
    header.fileTypeCode = record.U8(3);
    header.totalHeaderLength = record.I32(4);
    header.dataFieldLengthHigh = record.U32(8);
    header.dataFieldLengthLow = record.U32(12);
    header.dataLength = static_cast<uint32_t>(DataFieldBytes(header));
}

void DecodeImageStructure(const BigEndianReader& record, HritHeader& header) {
    header.bitsPerPixel = record.U8(3);
    header.columns = record.U16(4);
    header.lines = record.U16(6);
    header.compressionFlag = record.U8(8);
}

void DecodeImageNavigation(const BigEndianReader& record, HritHeader& header) {
    CopyRecordText(record, kProjectionNameWidth, header.projectionName);
    TrimProjectionName(header.projectionName);
    header.cfac = record.I32(35);
    header.lfac = record.I32(39);
    header.coff = record.I32(43);
    header.loff = record.I32(47);
    if (header.lfac > 0) {
        header.hemisphere = 'n';
    } else if (header.lfac < 0) {
        header.hemisphere = 's';
    }
}

void DecodeAnnotationRecord(const BigEndianReader& record, HritHeader& header) {
    static_assert(sizeof header.annotation > kAnnotationWidth);
    CopyRecordText(record, kAnnotationWidth, header.annotation);
    DecodeAnnotation(header);
}

void DecodeTimeStamp(const BigEndianReader& record, HritHeader& header) {
    record.CopyTo(3, sizeof header.timeStamp, header.timeStamp);
}

void DecodeSegmentIdentification(const BigEndianReader& record, HritHeader& header) {
    uint32_t* id = header.segmentId;
    if (std::strncmp(header.disseminationId, "MSG", 3) == 0) {
        id[0] = record.U16(3);
        id[1] = record.U8(5);
        id[2] = record.U16(6);
        id[3] = record.U16(8);
        id[4] = record.U16(10);
        id[5] = record.U8(12);
    } else {
        id[6] = record.U16(3);
        id[3] = 1;
        id[2] = record.U16(5);
        id[4] = record.U16(11);
    }
}

}  // namespace segweld
