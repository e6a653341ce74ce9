// Joins a product of damaged segment files made from arbitrary bytes and
// checks the joiner's decisions: an output exactly when a segment was
// accepted, as long as the report says, no hidden file left behind, and
// filled segments only where no segment file was.
//
// Input: one flag byte (bit 0: --fill-gaps), then segments, each a 16-bit
// big-endian length and that many bytes; the length 0xFFFF leaves the segment
// number without a file.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "join/join_segments.h"
#include "join/segment_name.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-__";
constexpr int kMaxSegments = 12;
constexpr uint16_t kNoFile = 0xFFFF;

fs::path ScratchFolder() {
    const fs::path base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
    return base / ("segweld-join-fuzz-" + std::to_string(getpid()));
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return -1;
    }
    const fs::path folder = ScratchFolder();
    const fs::path out = folder / "out";
    fs::remove_all(folder);
    fs::create_directories(out);
    size_t next = 1;
    int number = 1;
    for (; number <= kMaxSegments && next + 2 <= size; ++number) {
        const uint16_t length = static_cast<uint16_t>(data[next] << 8 | data[next + 1]);
        next += 2;
        if (length == kNoFile) {
            continue;
        }
        const size_t take = std::min<size_t>(length, size - next);
        std::ofstream((folder / segweld::SegmentName(kName, number)).string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(data + next), static_cast<std::streamsize>(take));
        next += take;
    }

    segweld::JoinOptions options;
    options.fillGaps = (data[0] & 1) != 0;
    const segweld::JoinReport report =
        segweld::JoinSegments((folder / kName).string(), out.string(), options);

    const int accepted = report.segmentsJoined();
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        Require(entry.path().string() == report.outputPath);
        Require(fs::file_size(entry.path()) == report.bytesWritten);
        ++entries;
    }
    Require(entries == (report.written() ? 1u : 0u));
    Require(report.written() == (accepted > 0 && report.error.empty()));
    for (const int32_t filled : report.filled) {
        Require(!fs::exists(folder / segweld::SegmentName(kName, filled)));
    }
    fs::remove_all(folder);
    return 0;
}
