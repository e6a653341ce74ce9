#include "tools/info/header_fields.h"

#include <cstdint>

#include "hrit/bounded_text.h"

namespace segweld::info {
namespace {

// The data field length in whole bytes, as the join sees it; a length that
// does not fit the 32 bits of dataLength is given whole and called too long.
FieldValue DataLength(const HritHeader& h) {
    const uint64_t bytes = DataFieldBytes(h);
    if (bytes > UINT32_MAX) {
        return TooLongToJoin{bytes};
    }
    return int64_t{h.dataLength};
}

}  // namespace

std::vector<HeaderField> HeaderFields(const HritHeader& h) {
    return {
        {"hdrType", int64_t{h.hdrType}},
        {"recLength", int64_t{h.recLength}},
        {"fileTypeCode", int64_t{h.fileTypeCode}},
        {"totalHeaderLength", int64_t{h.totalHeaderLength}},
        {"dataLength", DataLength(h)},
        {"dataFieldLengthHigh", int64_t{h.dataFieldLengthHigh}},
        {"dataFieldLengthLow", int64_t{h.dataFieldLengthLow}},
        {"bitsPerPixel", int64_t{h.bitsPerPixel}},
        {"columns", int64_t{h.columns}},
        {"lines", int64_t{h.lines}},
        {"compressionFlag", int64_t{h.compressionFlag}},
        {"compressionKind", Character{h.compressionKind}},
        {"projectionName", Text{TextOf(h.projectionName)}},
        {"cfac", int64_t{h.cfac}},
        {"lfac", int64_t{h.lfac}},
        {"coff", int64_t{h.coff}},
        {"loff", int64_t{h.loff}},
        {"annotation", Text{TextOf(h.annotation)}},
        {"hritOrLrit", Character{h.hritOrLrit}},
        {"formatVersion", Text{TextOf(h.formatVersion)}},
        {"disseminationId", Text{TextOf(h.disseminationId)}},
        {"sourceName", Text{TextOf(h.sourceName)}},
        {"sourceClass", Text{TextOf(h.sourceClass)}},
        {"hemisphere", CharacterCode{h.hemisphere}},
        {"channel", Text{TextOf(h.channel)}},
        {"channelCode", int64_t{h.channelCode}},
        {"segmentKind", Character{h.segmentKind}},
        {"segmentNumber", int64_t{h.segmentNumber}},
        {"timeText", Text{TextOf(h.timeText)}},
        {"compressedMark", Character{h.compressedMark}},
        {"encryptedMark", Character{h.encryptedMark}},
        {"shortName", Text{TextOf(h.shortName)}},
        {"label", Text{TextOf(h.label)}},
        {"timeLabel", Text{TextOf(h.timeLabel)}},
        {"nominalTime", h.nominalTime},
        {"timeStamp", TimeStampBytes{h.timeStamp}},
        {"segmentId", SegmentIdValues{h.segmentId}},
    };
}

}  // namespace segweld::info
