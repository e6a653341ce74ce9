#include "tests/support/header_builder.h"

#include <stdexcept>

namespace segweld::test {

void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    AppendU16(out, static_cast<uint16_t>(value >> 16));
    AppendU16(out, static_cast<uint16_t>(value));
}

HeaderBuilder& HeaderBuilder::Primary(uint8_t fileTypeCode, uint64_t dataFieldBits) {
    bytes_.push_back(0);
    AppendU16(bytes_, 16);
    bytes_.push_back(fileTypeCode);
    totalFieldOffset_ = bytes_.size();
    AppendU32(bytes_, 0);
    AppendU32(bytes_, static_cast<uint32_t>(dataFieldBits >> 32));
    AppendU32(bytes_, static_cast<uint32_t>(dataFieldBits));
    return *this;
}

HeaderBuilder& HeaderBuilder::TotalHeaderLength(uint32_t value) {
    totalHeaderLength_ = value;
    return *this;
}

HeaderBuilder& HeaderBuilder::Record(uint8_t type, const std::vector<uint8_t>& body) {
    if (body.size() + 3 > 0xFFFF) {
        throw std::length_error("record too long for its 16-bit length field");
    }
    return RecordWithLength(type, static_cast<uint16_t>(body.size() + 3), body);
}

HeaderBuilder& HeaderBuilder::RecordWithLength(uint8_t type, uint16_t declaredLength,
                                               const std::vector<uint8_t>& body) {
    bytes_.push_back(type);
    AppendU16(bytes_, declaredLength);
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    return *this;
}

HeaderBuilder& HeaderBuilder::ImageStructure(uint8_t bitsPerPixel, uint16_t columns, uint16_t lines,
                                             uint8_t compressionFlag) {
    std::vector<uint8_t> body{bitsPerPixel};
    AppendU16(body, columns);
    AppendU16(body, lines);
    body.push_back(compressionFlag);
    return Record(1, body);
}

HeaderBuilder& HeaderBuilder::Navigation(const std::string& projectionName, int32_t cfac,
                                         int32_t lfac, int32_t coff, int32_t loff) {
    std::vector<uint8_t> body(projectionName.begin(), projectionName.end());
    body.resize(32, ' ');
    for (int32_t value : {cfac, lfac, coff, loff}) {
        AppendU32(body, static_cast<uint32_t>(value));
    }
    return Record(2, body);
}

HeaderBuilder& HeaderBuilder::Annotation(const std::string& text) {
    return Record(4, std::vector<uint8_t>(text.begin(), text.end()));
}

HeaderBuilder& HeaderBuilder::TimeStamp(uint16_t days, uint32_t millisecondsOfDay) {
    std::vector<uint8_t> body{0x40};
    AppendU16(body, days);
    AppendU32(body, millisecondsOfDay);
    return Record(5, body);
}

HeaderBuilder& HeaderBuilder::MsgSegmentIdentification(uint16_t spacecraft, uint8_t channelId,
                                                       uint16_t sequence, uint16_t plannedStart,
                                                       uint16_t plannedEnd,
                                                       uint8_t representation) {
    std::vector<uint8_t> body;
    AppendU16(body, spacecraft);
    body.push_back(channelId);
    AppendU16(body, sequence);
    AppendU16(body, plannedStart);
    AppendU16(body, plannedEnd);
    body.push_back(representation);
    return Record(128, body);
}

HeaderBuilder& HeaderBuilder::LineQuality() {
    std::vector<uint8_t> body(6032);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    return Record(129, body);
}

std::vector<uint8_t> HeaderBuilder::Build() const {
    std::vector<uint8_t> out = bytes_;
    if (totalFieldOffset_ != SIZE_MAX) {
        const uint32_t total = totalHeaderLength_.value_or(static_cast<uint32_t>(out.size()));
        std::vector<uint8_t> field;
        AppendU32(field, total);
        std::copy(field.begin(), field.end(), out.begin() + static_cast<long>(totalFieldOffset_));
    }
    return out;
}

uint64_t DataFieldBits(const SegmentShape& shape) {
    return uint64_t{shape.columns} * shape.lines * shape.bitsPerPixel;
}

std::vector<uint8_t> RealSegmentHeader(const SegmentShape& shape) {
    // 15 June 2007 is day 18062 counted from 1 January 1958.
    return HeaderBuilder()
        .Primary(0, DataFieldBits(shape))
        .ImageStructure(shape.bitsPerPixel, shape.columns, shape.lines, shape.compressionFlag)
        .Navigation("GEOS(+000.0)", -13642337, -13642337, 1856, 1856 - 464 * (shape.sequence - 1))
        .Annotation(shape.annotation)
        .TimeStamp(18062, 43200000 + 12 * 60 * 1000)
        .MsgSegmentIdentification(321, shape.channelId, shape.sequence, 1, shape.plannedEnd, 3)
        .LineQuality()
        .Build();
}

std::vector<uint8_t> RealPrologueHeader(const std::string& annotation, uint8_t fileTypeCode,
                                        uint64_t dataFieldBits) {
    return HeaderBuilder()
        .Primary(fileTypeCode, dataFieldBits)
        .Annotation(annotation)
        .TimeStamp(18062, 43200000)
        .Build();
}

}  // namespace segweld::test
