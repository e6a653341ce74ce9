#include "station/output_record.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <sstream>

#include "join/segment_name.h"
#include "os/file_attribute.h"
#include "os/file_system.h"

namespace segweld::station {
namespace {

constexpr const char* kAttributeName = "segweld.record";
constexpr std::string_view kFirstLine = "segweld-record 1";

// The next line of `text` from `at` on, without its line feed.
std::string_view NextLine(std::string_view text, size_t& at) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    return line;
}

// The value after "`name` " on `line`; nullopt when the line is another.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || !line.starts_with(name) || line[name.size()] != ' ') {
        return std::nullopt;
    }
    return line.substr(name.size() + 1);
}

template <typename Number>
bool TakeNumber(std::string_view& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || (end != text.data() + text.size() && *end != ' ')) {
        return false;
    }
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    if (!text.empty()) {
        text.remove_prefix(1);
    }
    return true;
}

std::optional<OutputRecord::Segment> ParseSegment(std::string_view values) {
    OutputRecord::Segment segment;
    if (!TakeNumber(values, segment.number) || !TakeNumber(values, segment.size) ||
        !TakeNumber(values, segment.modifiedNanoseconds) || !TakeNumber(values, segment.file) ||
        !values.empty()) {
        return std::nullopt;
    }
    return segment;
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

std::string FormatOutputRecord(const OutputRecord& record) {
    std::ostringstream text;
    text << kFirstLine << "\nproduct " << record.product << "\nmaking " << record.making
         << "\noutput-size " << record.outputSize << '\n';
    for (const OutputRecord::Segment& segment : record.segments) {
        text << "segment " << segment.number << ' ' << segment.size << ' '
             << segment.modifiedNanoseconds << ' ' << segment.file << '\n';
    }
    return text.str();
}

std::optional<OutputRecord> ParseOutputRecord(std::string_view text) {
    size_t at = 0;
    if (NextLine(text, at) != kFirstLine) {
        return std::nullopt;
    }
    OutputRecord record;
    const auto product = ValueOf(NextLine(text, at), "product");
    const auto making = ValueOf(NextLine(text, at), "making");
    auto size = ValueOf(NextLine(text, at), "output-size");
    if (!product || !making || !size || !TakeNumber(*size, record.outputSize) || !size->empty()) {
        return std::nullopt;
    }
    record.product = *product;
    record.making = *making;
    while (at < text.size()) {
        const auto values = ValueOf(NextLine(text, at), "segment");
        const auto segment = values ? ParseSegment(*values) : std::nullopt;
        if (!segment) {
            return std::nullopt;
        }
        record.segments.push_back(*segment);
    }
    return record;
}

std::string RecordSidecarPath(const std::string& outputPath) {
    const SegmentPath parts = SplitSegmentPath(outputPath);
    return parts.directory + "." + parts.name + ".segweld";
}

std::string KeepOutputRecord(const std::string& outputPath, const OutputRecord& record) {
    const std::string text = FormatOutputRecord(record);
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

std::optional<OutputRecord> ReadOutputRecord(const std::string& outputPath) {
    if (const auto text = os::GetFileAttribute(outputPath, kAttributeName)) {
        return ParseOutputRecord(*text);
    }
    os::InputFile sidecar;
    if (sidecar.Open(RecordSidecarPath(outputPath)) != os::InputFile::Outcome::Opened ||
        sidecar.size() > (1u << 20)) {
        return std::nullopt;
    }
    std::string text(sidecar.size(), '\0');
    try {
        text.resize(
            sidecar.ReadAt(0, std::span(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    } catch (const os::ReadError&) {
        return std::nullopt;
    }
    return ParseOutputRecord(text);
}

bool IsUpToDate(const Product& product, const std::string& outputPath, const std::string& making) {
    const os::PathInfo output = os::LookAt(outputPath);
    if (output.kind != os::PathKind::RegularFile) {
        return false;
    }
    const std::optional<OutputRecord> record = ReadOutputRecord(outputPath);
    return record && *record == RecordOf(product, making, output.size);
}

}  // namespace segweld::station
