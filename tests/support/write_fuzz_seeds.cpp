// Writes seed inputs for the fuzz targets, one folder per target. For the
// header reader: real-shaped segment, prologue and compressed headers and a
// few malformed ones, each followed by data bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"

namespace {

using segweld::test::HeaderBuilder;

void WriteText(const std::filesystem::path& folder, const std::string& name,
               const std::string& text) {
    std::ofstream out(folder / name, std::ios::binary);
    out << text;
}

void Write(const std::filesystem::path& folder, const std::string& name,
           std::vector<uint8_t> bytes) {
    bytes.insert(bytes.end(), {0xFF, 0x01, 0x00, 0x10});
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A product for the join target: a flag byte, then each segment as a 16-bit
// length and its bytes (0xFFFF: no file of that number).
void WriteProduct(const std::filesystem::path& folder, const std::string& name, uint8_t flags,
                  const std::vector<std::vector<uint8_t>>& segments) {
    std::vector<uint8_t> bytes = {flags};
    for (const auto& segment : segments) {
        const size_t length = segment.empty() ? 0xFFFF : segment.size();
        bytes.insert(bytes.end(), {uint8_t(length >> 8), uint8_t(length)});
        bytes.insert(bytes.end(), segment.begin(), segment.end());
    }
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

void WriteProducts(const std::filesystem::path& folder) {
    using segweld::test::DistinctData;
    using segweld::test::SmallSegment;
    WriteProduct(folder, "gap", 1,
                 {SmallSegment(1, DistinctData(1, 64)), {}, SmallSegment(3, DistinctData(3, 64))});
    auto cut = SmallSegment(2, DistinctData(2, 64), 1000);
    WriteProduct(folder, "short", 0, {SmallSegment(1, DistinctData(1, 64)), cut, {1, 2, 3}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::filesystem::path annotations = root / "annotation_fuzz";
    const std::filesystem::path tails = root / "command_tail_fuzz";
    const std::filesystem::path folder = root / "read_header_fuzz";
    for (const auto& target : {annotations, tails, folder, root / "join_fuzz"}) {
        std::filesystem::create_directories(target);
    }
    WriteProducts(root / "join_fuzz");

    WriteText(annotations, "example", segweld::test::kWorkedExample);
    WriteText(annotations, "prologue",
              "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__");
    WriteText(annotations, "hrv", "H-000-MSG2__-MSG2________-HRV______-000024___-201012311145-CE");
    WriteText(annotations, "doubled", "L--000-MSG1__-SERVICE____-XY-000010___-2007-");
    WriteText(tails, "quoted", "\"/data/seg dir/first file\" \"/out dir\"");
    WriteText(tails, "middle", "C:\\x\"y z\"\\f out");
    WriteText(tails, "unclosed", "\"/never closed /out");
    WriteText(tails, "blanks", "a  b\tc d");

    segweld::test::SegmentShape segment;
    Write(folder, "segment", segweld::test::RealSegmentHeader(segment));
    segment.annotation = segweld::test::kWorkedExample;
    segment.compressionFlag = 1;
    Write(folder, "compressed", segweld::test::RealSegmentHeader(segment));
    segment.annotation = "H-000-MSG2__-MSG2________-HRV______-000024___-201012311145-__";
    segment.columns = 5568;
    Write(folder, "hrv", segweld::test::RealSegmentHeader(segment));
    Write(folder, "prologue",
          segweld::test::RealPrologueHeader(
              "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__", 128, 8 * 445));
    Write(folder, "foreign",
          HeaderBuilder()
              .Primary(0, 800)
              .Annotation("L-000-MTP___-GOES12______-IR_107___-000001___-")
              .Record(128, {0, 7, 0, 2, 0, 0, 0, 0, 0, 5})
              .Build());
    Write(folder, "unexpected",
          HeaderBuilder().Primary(0, 64).Record(8, {1}).Record(250, {}).Build());
    Write(folder, "short-records",
          HeaderBuilder()
              .Primary(0, 64)
              .RecordWithLength(2, 10, {})
              .RecordWithLength(4, 2, {})
              .Build());
    return 0;
}
