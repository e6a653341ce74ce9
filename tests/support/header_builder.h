#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace segweld::test {

// Writes HRIT/LRIT header records byte by byte, in the order they are added.
// The primary header's total header length is the sum of the records unless it
// is set explicitly; record lengths may be set to anything, including values
// that do not match the bytes written.
class HeaderBuilder {
  public:
    HeaderBuilder& Primary(uint8_t fileTypeCode, uint64_t dataFieldBits);
    HeaderBuilder& TotalHeaderLength(uint32_t value);

    // A record of `type` whose length field is the body's length plus 3.
    HeaderBuilder& Record(uint8_t type, const std::vector<uint8_t>& body);
    // A record whose length field says `declaredLength` whatever the body holds.
    HeaderBuilder& RecordWithLength(uint8_t type, uint16_t declaredLength,
                                    const std::vector<uint8_t>& body);

    HeaderBuilder& ImageStructure(uint8_t bitsPerPixel, uint16_t columns, uint16_t lines,
                                  uint8_t compressionFlag);
    HeaderBuilder& Navigation(const std::string& projectionName, int32_t cfac, int32_t lfac,
                              int32_t coff, int32_t loff);
    HeaderBuilder& Annotation(const std::string& text);
    // Time stamp in CCSDS day segmented form: 0x40, day count since 1958, ms of day.
    HeaderBuilder& TimeStamp(uint16_t days, uint32_t millisecondsOfDay);
    HeaderBuilder& MsgSegmentIdentification(uint16_t spacecraft, uint8_t channelId,
                                            uint16_t sequence, uint16_t plannedStart,
                                            uint16_t plannedEnd, uint8_t representation);
    // Record type 129, image segment line quality: 6035 bytes in all.
    HeaderBuilder& LineQuality();

    std::vector<uint8_t> Build() const;

  private:
    std::vector<uint8_t> bytes_;
    std::optional<uint32_t> totalHeaderLength_;
    size_t totalFieldOffset_ = SIZE_MAX;
};

// A segment file's header as the MSG dissemination writes it: records 0, 1, 2,
// 4, 5, 128 and 129, 6198 bytes in all, for a VIS/IR segment of 3712 x 464
// pixels at 10 bits of MSG1. The line offset is segment 1's; each later
// segment's is `lines` smaller.
struct SegmentShape {
    std::string annotation = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-__";
    uint16_t columns = 3712;
    uint16_t lines = 464;
    uint8_t bitsPerPixel = 10;
    uint8_t compressionFlag = 0;
    uint16_t sequence = 1;
    uint16_t plannedStart = 1;
    uint16_t plannedEnd = 8;
    uint8_t channelId = 9;
    uint16_t spacecraft = 321;
    int32_t cfac = -13642337;
    int32_t coff = 1856;
    int32_t loff = 1856;
};
std::vector<uint8_t> RealSegmentHeader(const SegmentShape& shape = {});
// Data field length in bits of a segment of that shape.
uint64_t DataFieldBits(const SegmentShape& shape);

// A prologue (file type 128) or epilogue (129) header: records 0, 4 and 5, 90 bytes.
std::vector<uint8_t> RealPrologueHeader(const std::string& annotation, uint8_t fileTypeCode,
                                        uint64_t dataFieldBits);

inline constexpr const char* kWorkedExample =
    "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";

}  // namespace segweld::test
