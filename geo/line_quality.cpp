#include "geo/line_quality.h"

#include "hrit/big_endian_reader.h"

namespace segweld::geo {
namespace {

constexpr uint8_t kLineQualityRecord = 129;
constexpr size_t kRecordHead = 3;  // type and length
// Per line: its number in the grid (4 bytes), its mean acquisition time (6),
// then validity, radiometric quality and geometric quality.
constexpr size_t kLineEntryBytes = 13;
constexpr size_t kValidity = 10;
constexpr size_t kRadiometricQuality = 11;
constexpr size_t kGeometricQuality = 12;
constexpr uint8_t kDoNotUse = 4;

bool Unusable(const BigEndianReader& entry) {
    const uint8_t validity = entry.U8(kValidity);
    return (validity == 2 || validity == 3) && entry.U8(kRadiometricQuality) == kDoNotUse &&
           entry.U8(kGeometricQuality) == kDoNotUse;
}

}  // namespace

std::vector<bool> UnusableLines(std::span<const uint8_t> header, uint32_t lines) {
    std::vector<bool> unusable(lines, false);
    const BigEndianReader bytes(header.data(), header.size());
    for (size_t at = 0; at + kRecordHead <= bytes.size();) {
        const uint16_t length = bytes.U16(at + 1);
        if (length < kRecordHead) {
            break;
        }
        if (bytes.U8(at) == kLineQualityRecord) {
            const BigEndianReader body = bytes.Slice(at + kRecordHead, length - kRecordHead);
            for (size_t line = 0; line < lines && (line + 1) * kLineEntryBytes <= body.size();
                 ++line) {
                unusable[line] = Unusable(body.Slice(line * kLineEntryBytes, kLineEntryBytes));
            }
        }
        at += length;
    }
    return unusable;
}

}  // namespace segweld::geo
