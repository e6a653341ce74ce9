#include "station/output_record.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <type_traits>

#include "join/segment_name.h"
#include "os/file_attribute.h"
#include "os/file_system.h"
#include "station/shard.h"

namespace segweld::station {
namespace {

constexpr const char* kAttributeName = "segweld.record";
constexpr std::string_view kHead = "segweld-record 2 ";

template <typename Number>
void AppendLittleEndian(std::string& bytes, Number value) {
    auto bits = static_cast<std::make_unsigned_t<Number>>(value);
    for (size_t i = 0; i < sizeof(Number); ++i) {
        bytes.push_back(static_cast<char>(bits & 0xff));
        bits >>= 8;
    }
}

// The next number of `text` and the one space after it, if any.
template <typename Number>
bool TakeNumber(std::string_view& text, Number& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || (end != text.data() + text.size() && *end != ' ')) {
        return false;
    }
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    if (!text.empty()) {
        text.remove_prefix(1);
    }
    return true;
}

template <typename Number>
void PutNumber(std::string& text, Number value, int base = 10) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value, base);
    text.append(digits, result.ptr);
}

}  // namespace

OutputRecord RecordOf(const Product& product, const std::string& making, uint64_t outputSize) {
    OutputRecord record;
    record.product = product.segments.empty() ? "" : MaskedName(product.segments.front().name);
    record.making = making;
    record.outputSize = outputSize;
    for (const auto* entries : {&product.companions, &product.segments}) {
        for (const SegmentEntry& segment : *entries) {
            record.segments.push_back(
                {segment.number, segment.size, segment.modifiedNanoseconds, segment.file});
        }
    }
    std::sort(record.segments.begin(), record.segments.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    return record;
}

KeptRecord KeptFormOf(const OutputRecord& record) {
    std::string bytes = record.product + '\n' + record.making + '\n';
    for (const OutputRecord::Segment& segment : record.segments) {
        AppendLittleEndian(bytes, segment.number);
        AppendLittleEndian(bytes, segment.size);
        AppendLittleEndian(bytes, segment.modifiedNanoseconds);
        AppendLittleEndian(bytes, segment.file);
    }
    return {record.segments.size(), record.outputSize, Fnv1a64(bytes)};
}

std::string FormatKeptRecord(const KeptRecord& kept) {
    std::string text(kHead);
    PutNumber(text, kept.files);
    text += ' ';
    PutNumber(text, kept.outputSize);
    text += ' ';
    const size_t digestAt = text.size();
    PutNumber(text, kept.digest, 16);
    text.insert(digestAt, 16 - (text.size() - digestAt), '0');
    return text;
}

std::optional<KeptRecord> ParseKeptRecord(std::string_view text) {
    if (!text.starts_with(kHead)) {
        return std::nullopt;
    }
    text.remove_prefix(kHead.size());
    KeptRecord kept;
    if (!TakeNumber(text, kept.files) || !TakeNumber(text, kept.outputSize) || text.size() != 16 ||
        !TakeNumber(text, kept.digest, 16) || !text.empty()) {
        return std::nullopt;
    }
    return kept;
}

std::string RecordSidecarPath(const std::string& outputPath) {
    const SegmentPath parts = SplitSegmentPath(outputPath);
    return parts.directory + "." + parts.name + ".segweld";
}

std::string KeepOutputRecord(const std::string& outputPath, const OutputRecord& record) {
    const std::string text = FormatKeptRecord(KeptFormOf(record));
    std::string error;
    switch (os::SetFileAttribute(outputPath, kAttributeName, text, error)) {
        case os::AttributeOutcome::Written:
            return "";
        case os::AttributeOutcome::Failed:
            return error;
        case os::AttributeOutcome::Unsupported:
            break;
    }
    try {
        os::HiddenOutput sidecar(RecordSidecarPath(outputPath));
        sidecar.Append(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        sidecar.Commit();
    } catch (const os::OutputError& failure) {
        return failure.what();
    }
    return "";
}

std::optional<KeptRecord> ReadOutputRecord(const std::string& outputPath) {
    if (const auto text = os::GetFileAttribute(outputPath, kAttributeName)) {
        return ParseKeptRecord(*text);
    }
    os::InputFile sidecar;
    if (sidecar.Open(RecordSidecarPath(outputPath)) != os::InputFile::Outcome::Opened ||
        sidecar.size() > 256) {
        return std::nullopt;
    }
    std::string text(sidecar.size(), '\0');
    try {
        text.resize(
            sidecar.ReadAt(0, std::span(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    } catch (const os::ReadError&) {
        return std::nullopt;
    }
    return ParseKeptRecord(text);
}

bool IsUpToDate(const Product& product, const std::string& outputPath, const std::string& making) {
    const os::PathInfo output = os::LookAt(outputPath);
    if (output.kind != os::PathKind::RegularFile) {
        return false;
    }
    const std::optional<KeptRecord> kept = ReadOutputRecord(outputPath);
    return kept && *kept == KeptFormOf(RecordOf(product, making, output.size));
}

}  // namespace segweld::station
