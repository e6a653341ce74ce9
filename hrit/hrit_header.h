#pragma once

#include <cstdint>
#include <ctime>

namespace segweld {

// Every decoded value of one segment header. The walk sets the whole record to
// zero before it decodes anything, so a field that no record fills reads 0 or
// empty. Texts are zero-terminated and never longer than their array less one.
struct HritHeader {
    uint32_t hdrType;
    uint32_t recLength;
    uint32_t fileTypeCode;
    int32_t totalHeaderLength;
    uint32_t dataLength;
    uint32_t dataFieldLengthHigh;
    uint32_t dataFieldLengthLow;
    uint32_t bitsPerPixel;
    uint32_t columns;
    uint32_t lines;
    uint32_t compressionFlag;
    char compressionKind;
    char projectionName[33];
    int32_t cfac;
    int32_t lfac;
    int32_t coff;
    int32_t loff;
    char annotation[100];
    char hritOrLrit;
    char formatVersion[10];
    char disseminationId[10];
    char sourceName[20];
    char sourceClass[20];
    int32_t hemisphere;
    char channel[20];
    int32_t channelCode;
    char segmentKind;
    int32_t segmentNumber;
    char timeText[20];
    char compressedMark;
    char encryptedMark;
    char shortName[20];
    char label[16];
    char timeLabel[20];
    std::tm nominalTime;
    uint8_t timeStamp[7];
    uint32_t segmentId[7];
};

// The data field length in whole bytes, before it is narrowed to the 32 bits
// of `dataLength`.
inline uint64_t DataFieldBytes(const HritHeader& header) {
    const uint64_t bits =
        (uint64_t{header.dataFieldLengthHigh} << 32) | uint64_t{header.dataFieldLengthLow};
    return bits / 8;
}

// The bytes a segment holds after its header: its data field, with the last
// byte when the field's length in bits is not a whole number of bytes.
inline uint64_t DataFieldBytesStored(const HritHeader& header) {
    return DataFieldBytes(header) + (header.dataFieldLengthLow % 8 != 0 ? 1 : 0);
}

// The bytes of the image that the image structure describes (columns x lines
// x bits per pixel / 8); 0 when the header has no image structure.
inline uint64_t ImageStructureBytes(const HritHeader& header) {
    return uint64_t{header.columns} * header.lines * header.bitsPerPixel / 8;
}

// True when the data field is compressed, so its size says nothing of the image.
inline bool HoldsCompressedData(const HritHeader& header) {
    return header.compressionFlag != 0 || header.compressionKind == 'w' ||
           header.compressionKind == 'j';
}

}  // namespace segweld
