#include "station/output_record.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <iterator>
#include <type_traits>

#include "join/segment_name.h"
#include "os/file_attribute.h"
#include "os/file_system.h"
#include "os/folders.h"
#include "station/shard.h"

namespace segweld::station {
namespace {

constexpr const char* kAttributeName = "segweld.record";
constexpr std::string_view kHead = "segweld-record 3 ";
constexpr std::string_view kSidecarEnd = ".segweld";
constexpr int64_t kMillisecond = 1'000'000;

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

uint64_t WholeMilliseconds(int64_t nanoseconds) {
    return nanoseconds <= 0
               ? 0
               : static_cast<uint64_t>((nanoseconds + kMillisecond - 1) / kMillisecond);
}

int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The output as the record names it: the same file, its size and last write.
bool SameOutput(const os::PathInfo& a, const os::PathInfo& b) {
    return a.kind == os::PathKind::RegularFile && b.kind == a.kind && a.size == b.size &&
           a.modifiedNanoseconds == b.modifiedNanoseconds && a.identity.file == b.identity.file;
}

// Nothing has changed the output since its record was kept: its change time
// lies no later after its last write than it did then.
bool Settled(const os::PathInfo& output, uint64_t settledMilliseconds) {
    return output.changedNanoseconds - output.modifiedNanoseconds <=
           static_cast<int64_t>(settledMilliseconds) * kMillisecond;
}

// Puts `text` where the output's record is kept: its attribute, or the
// sidecar where the file system keeps none. An attribute makes a sidecar
// left from before stale, so it goes.
std::string WriteKeptText(const std::string& outputPath, const std::string& text) {
    std::string error;
    switch (os::SetFileAttribute(outputPath, kAttributeName, text, error)) {
        case os::AttributeOutcome::Written:
            os::RemoveFile(RecordSidecarPath(outputPath), error);
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

}  // namespace

OutputRecord RecordOf(const Product& product, const std::string& making,
                      const os::PathInfo& output) {
    OutputRecord record;
    record.product = product.segments.empty() ? "" : MaskedName(product.segments.front().name);
    record.making = making;
    record.outputSize = output.size;
    record.outputFile = output.identity.file;
    record.outputModifiedNanoseconds = output.modifiedNanoseconds;
    for (const auto* entries : {&product.companions, &product.segments}) {
        for (const SegmentEntry& segment : *entries) {
            record.segments.push_back({segment.number, segment.size, segment.modifiedNanoseconds,
                                       segment.file, segment.changedNanoseconds});
        }
    }
    std::sort(record.segments.begin(), record.segments.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    return record;
}

KeptRecord KeptFormOf(const OutputRecord& record, uint64_t settledMilliseconds) {
    std::string bytes = record.product + '\n' + record.making + '\n';
    for (const OutputRecord::Segment& segment : record.segments) {
        AppendLittleEndian(bytes, segment.number);
        AppendLittleEndian(bytes, segment.size);
        AppendLittleEndian(bytes, segment.modifiedNanoseconds);
        AppendLittleEndian(bytes, segment.file);
        AppendLittleEndian(bytes, segment.changedNanoseconds);
    }
    AppendLittleEndian(bytes, record.outputFile);
    AppendLittleEndian(bytes, record.outputModifiedNanoseconds);
    return {record.segments.size(), record.outputSize, settledMilliseconds, Fnv1a64(bytes)};
}

std::string FormatKeptRecord(const KeptRecord& kept) {
    std::string text(kHead);
    for (const uint64_t number : {kept.files, kept.outputSize, kept.settledMilliseconds}) {
        PutNumber(text, number);
        text += ' ';
    }
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
    if (!TakeNumber(text, kept.files) || !TakeNumber(text, kept.outputSize) ||
        !TakeNumber(text, kept.settledMilliseconds) || text.size() != 16 ||
        !TakeNumber(text, kept.digest, 16) || !text.empty()) {
        return std::nullopt;
    }
    return kept;
}

bool Matches(const KeptRecord& kept, const Product& product, const std::string& making,
             const os::PathInfo& output) {
    return output.kind == os::PathKind::RegularFile && Settled(output, kept.settledMilliseconds) &&
           kept == KeptFormOf(RecordOf(product, making, output), kept.settledMilliseconds);
}

std::string RecordSidecarPath(const std::string& outputPath) {
    const SegmentPath parts = SplitSegmentPath(outputPath);
    return parts.directory + "." + parts.name + std::string(kSidecarEnd);
}

std::string SidecarOutputName(const std::string& name) {
    if (name.size() <= 1 + kSidecarEnd.size() || !name.starts_with('.') ||
        !name.ends_with(kSidecarEnd)) {
        return "";
    }
    return name.substr(1, name.size() - 1 - kSidecarEnd.size());
}

// The attribute changes the output's change time as it is written, by as
// long as that takes: the record allows for that time, and is written again,
// allowing for more, until the output's change time lies within it.
std::string KeepOutputRecord(const std::string& outputPath, const Product& product,
                             const std::string& making) {
    const os::PathInfo written = os::LookAt(outputPath);
    if (written.kind != os::PathKind::RegularFile) {
        return "the output " + outputPath + " is gone";
    }
    const OutputRecord record = RecordOf(product, making, written);
    int64_t margin = 5 * kMillisecond;
    int64_t latest = std::max(written.changedNanoseconds, NowNanoseconds());
    for (int attempt = 0; attempt < 4; ++attempt, margin *= 4) {
        const uint64_t settled = WholeMilliseconds(latest + margin - written.modifiedNanoseconds);
        const std::string error =
            WriteKeptText(outputPath, FormatKeptRecord(KeptFormOf(record, settled)));
        if (!error.empty()) {
            return error;
        }
        const os::PathInfo now = os::LookAt(outputPath);
        if (!SameOutput(now, written)) {
            return "the output " + outputPath + " changed while its record was kept";
        }
        if (Settled(now, settled)) {
            return "";
        }
        latest = std::max(now.changedNanoseconds, NowNanoseconds());
    }
    return "the output " + outputPath + " kept changing while its record was kept";
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
    return kept && Matches(*kept, product, making, output);
}

}  // namespace segweld::station
