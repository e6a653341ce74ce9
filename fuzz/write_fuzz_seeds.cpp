// Writes seed inputs for the fuzz targets, one folder per target. For the
// header reader: real-shaped segment, prologue and compressed headers and a
// few malformed ones, each followed by data bytes.
#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/native_path.h"
#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"

namespace {

using namespace segweld::test;

void Write(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A product for the join target: a flag byte, then each segment as a 16-bit
// length and its bytes (0xFFFF: no file of that number).
std::vector<uint8_t> Product(uint8_t flags, const std::vector<std::vector<uint8_t>>& segments) {
    std::vector<uint8_t> bytes = {flags};
    for (const auto& segment : segments) {
        const size_t length = segment.empty() ? 0xFFFF : segment.size();
        bytes.insert(bytes.end(), {uint8_t(length >> 8), uint8_t(length)});
        bytes.insert(bytes.end(), segment.begin(), segment.end());
    }
    return bytes;
}

std::vector<uint8_t> Bzip2(std::vector<uint8_t> content) {
    std::vector<uint8_t> packed(content.size() + content.size() / 100 + 600);
    auto length = static_cast<unsigned>(packed.size());
    BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &length,
                             reinterpret_cast<char*>(content.data()),
                             static_cast<unsigned>(content.size()), 1, 0, 0);
    packed.resize(length);
    return packed;
}

std::vector<uint8_t> Gzip(std::vector<uint8_t> content) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);  // 16: gzip's wrapper
    std::vector<uint8_t> packed(deflateBound(&stream, content.size()) + 32);
    stream.next_in = content.data();
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

std::vector<uint8_t> Xz(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> packed(lzma_stream_buffer_bound(content.size()));
    size_t length = 0;
    lzma_easy_buffer_encode(0, LZMA_CHECK_CRC64, nullptr, content.data(), content.size(),
                            packed.data(), &length, packed.size());
    packed.resize(length);
    return packed;
}

// A seed of the decompressor's target: the compression's index, the pieces
// in which the file is delivered and read, then the stored file.
std::vector<uint8_t> Stored(uint8_t compression, std::vector<uint8_t> file) {
    file.insert(file.begin(), {compression, 3, 7});
    return file;
}

std::vector<uint8_t> Segment(const std::string& annotation, uint8_t compression, uint16_t columns) {
    return RealSegmentHeader(
        {.annotation = annotation, .columns = columns, .compressionFlag = compression});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    using namespace std::string_literals;  // the option lines hold NUL bytes
    const std::filesystem::path root = segweld::os::PathOf(argv[1]);
    for (const char* target : {"annotation_fuzz", "command_tail_fuzz", "read_header_fuzz",
                               "join_fuzz", "option_line_fuzz", "decompress_fuzz"}) {
        std::filesystem::create_directories(root / target);
    }
    const auto first = SmallSegment(1, DistinctData(1, 64));
    Write(root / "join_fuzz/gap", Product(1, {first, {}, SmallSegment(3, DistinctData(3, 64))}));
    Write(root / "join_fuzz/short",
          Product(0, {first, SmallSegment(2, DistinctData(2, 64), 1000), {1, 2, 3}}));

    const std::string prologue = "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__";
    const std::string hrv = "H-000-MSG2__-MSG2________-HRV______-000024___-201012311145-";
    const std::pair<const char*, std::string> texts[] = {
        {"annotation_fuzz/example", kWorkedExample},
        {"annotation_fuzz/prologue", prologue},
        {"annotation_fuzz/hrv", hrv + "CE"},
        {"annotation_fuzz/doubled", "L--000-MSG1__-SERVICE____-XY-000010___-2007-"},
        {"command_tail_fuzz/quoted", "\"/data/seg dir/first file\" \"/out dir\""},
        {"command_tail_fuzz/middle", "C:\\x\"y z\"\\f out"},
        {"command_tail_fuzz/unclosed", "\"/never closed /out"},
        {"command_tail_fuzz/blanks", "a  b\tc d"},
        {"option_line_fuzz/batch", "--batch\0in\0out\0-j2\0--report=r.json"s},
        {"option_line_fuzz/watch", "--watch\0in\0out\0--then\0cp\0{}\0--\0-x"s},
        {"option_line_fuzz/join", "seg\0out\0--fill-gaps\0extra\0-hx"s},
        {"option_line_fuzz/info", "--series\0--json\0--\0-f"s},
    };
    for (const auto& [name, text] : texts) {
        std::ofstream(root / name, std::ios::binary) << text;
    }

    const std::pair<const char*, std::vector<uint8_t>> headers[] = {
        {"segment", RealSegmentHeader()},
        {"compressed", Segment(kWorkedExample, 1, 3712)},
        {"hrv", Segment(hrv + "__", 1, 5568)},
        {"prologue", RealPrologueHeader(prologue, 128, 8 * 445)},
        {"foreign", HeaderBuilder()
                        .Primary(0, 800)
                        .Annotation("L-000-MTP___-GOES12______-IR_107___-000001___-")
                        .Record(128, {0, 7, 0, 2, 0, 0, 0, 0, 0, 5})
                        .Build()},
        {"unexpected", HeaderBuilder().Primary(0, 64).Record(8, {1}).Record(250, {}).Build()},
        {"short-records", HeaderBuilder()
                              .Primary(0, 64)
                              .RecordWithLength(2, 10, {})
                              .RecordWithLength(4, 2, {})
                              .Build()},
    };
    for (auto [name, bytes] : headers) {
        bytes.insert(bytes.end(), {0xFF, 0x01, 0x00, 0x10});
        Write(root / "read_header_fuzz" / name, bytes);
    }

    const auto segment = SmallSegment(1, DistinctData(1, 2000));
    auto twoStreams = Gzip(segment);
    const auto second = Gzip(segment);
    twoStreams.insert(twoStreams.end(), second.begin(), second.end());
    auto truncated = Bzip2(segment);
    truncated.resize(truncated.size() / 2);
    const std::pair<const char*, std::vector<uint8_t>> stored[] = {
        {"bzip2", Stored(0, Bzip2(segment))},
        {"gzip", Stored(1, Gzip(segment))},
        {"xz", Stored(2, Xz(segment))},
        {"gzip-two-streams", Stored(1, twoStreams)},
        {"bzip2-truncated", Stored(0, truncated)},
    };
    for (const auto& [name, bytes] : stored) {
        Write(root / "decompress_fuzz" / name, bytes);
    }
    return 0;
}
