#include "tests/support/header_builder.h"

#include <stdexcept>
#include <utility>

namespace segweld::test {
namespace {

// Each value in `bytes` bytes, most significant first, appended to `out`.
void Append(std::vector<uint8_t>& out, std::initializer_list<std::pair<uint64_t, int>> fields) {
    for (const auto& [value, bytes] : fields) {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
            out.push_back(static_cast<uint8_t>(value >> shift));
        }
    }
}

std::vector<uint8_t> Fields(std::initializer_list<std::pair<uint64_t, int>> fields) {
    std::vector<uint8_t> out;
    Append(out, fields);
    return out;
}

}  // namespace

HeaderBuilder& HeaderBuilder::Primary(uint8_t fileTypeCode, uint64_t dataFieldBits) {
    Append(bytes_, {{0, 1}, {16, 2}, {fileTypeCode, 1}});
    totalFieldOffset_ = bytes_.size();
    Append(bytes_, {{0, 4}, {dataFieldBits, 8}});
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
    Append(bytes_, {{type, 1}, {declaredLength, 2}});
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    return *this;
}

HeaderBuilder& HeaderBuilder::ImageStructure(uint8_t bitsPerPixel, uint16_t columns, uint16_t lines,
                                             uint8_t compressionFlag) {
    return Record(1, Fields({{bitsPerPixel, 1}, {columns, 2}, {lines, 2}, {compressionFlag, 1}}));
}

HeaderBuilder& HeaderBuilder::Navigation(const std::string& projectionName, int32_t cfac,
                                         int32_t lfac, int32_t coff, int32_t loff) {
    std::vector<uint8_t> body(projectionName.begin(), projectionName.end());
    body.resize(32, ' ');
    Append(body,
           {{uint32_t(cfac), 4}, {uint32_t(lfac), 4}, {uint32_t(coff), 4}, {uint32_t(loff), 4}});
    return Record(2, body);
}

HeaderBuilder& HeaderBuilder::Annotation(const std::string& text) {
    return Record(4, std::vector<uint8_t>(text.begin(), text.end()));
}

HeaderBuilder& HeaderBuilder::TimeStamp(uint16_t days, uint32_t millisecondsOfDay) {
    return Record(5, Fields({{0x40, 1}, {days, 2}, {millisecondsOfDay, 4}}));
}

HeaderBuilder& HeaderBuilder::MsgSegmentIdentification(uint16_t spacecraft, uint8_t channelId,
                                                       uint16_t sequence, uint16_t plannedStart,
                                                       uint16_t plannedEnd,
                                                       uint8_t representation) {
    return Record(128, Fields({{spacecraft, 2},
                               {channelId, 1},
                               {sequence, 2},
                               {plannedStart, 2},
                               {plannedEnd, 2},
                               {representation, 1}}));
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
        const auto total = Fields({{totalHeaderLength_.value_or(uint32_t(out.size())), 4}});
        std::copy(total.begin(), total.end(), out.begin() + static_cast<long>(totalFieldOffset_));
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
        .Navigation("GEOS(+000.0)", shape.cfac, shape.cfac, shape.coff,
                    shape.loff - shape.lines * (shape.sequence - 1))
        .Annotation(shape.annotation)
        .TimeStamp(18062, 43200000 + 12 * 60 * 1000)
        .MsgSegmentIdentification(shape.spacecraft, shape.channelId, shape.sequence,
                                  shape.plannedStart, shape.plannedEnd, 3)
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
