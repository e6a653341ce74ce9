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

bool AnnotationDecoded(const HritHeader& header) {
    return header.hritOrLrit != 0;
}

std::vector<HeaderField> HeaderFields(const HritHeader& h) {
    const bool decoded = AnnotationDecoded(h);
    const auto fromAnnotation = [decoded](FieldValue value) {
        return decoded ? value : FieldValue(NotDecoded{});
    };
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
        {"hritOrLrit", fromAnnotation(Character{h.hritOrLrit})},
        {"formatVersion", fromAnnotation(Text{TextOf(h.formatVersion)})},
        {"disseminationId", fromAnnotation(Text{TextOf(h.disseminationId)})},
        {"sourceName", fromAnnotation(Text{TextOf(h.sourceName)})},
        {"sourceClass", fromAnnotation(Text{TextOf(h.sourceClass)})},
        {"hemisphere", CharacterCode{h.hemisphere}},
        {"channel", fromAnnotation(Text{TextOf(h.channel)})},
        {"channelCode", fromAnnotation(int64_t{h.channelCode})},
        {"segmentKind", fromAnnotation(Character{h.segmentKind})},
        {"segmentNumber", fromAnnotation(int64_t{h.segmentNumber})},
        {"timeText", fromAnnotation(Text{TextOf(h.timeText)})},
        {"compressedMark", fromAnnotation(Character{h.compressedMark})},
        {"encryptedMark", fromAnnotation(Character{h.encryptedMark})},
        {"shortName", fromAnnotation(Text{TextOf(h.shortName)})},
        {"label", fromAnnotation(Text{TextOf(h.label)})},
        {"timeLabel", fromAnnotation(Text{TextOf(h.timeLabel)})},
        {"nominalTime", fromAnnotation(h.nominalTime)},
        {"timeStamp", TimeStampBytes{h.timeStamp}},
        {"segmentId", SegmentIdValues{h.segmentId, HasMsgSegmentLayout(h), PlanOf(h)}},
    };
}

}  // namespace segweld::info
