// segweld-sample: writes a realistic MSG product to try Segweld on: the
// prologue, the image segments of one channel at their real size and header
// layout, and the epilogue. The segments hold a picture of the Earth's disk,
// stored as the satellite stores it: south at the top of segment 1 and
// columns running from east to west.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "os/process.h"
#include "tests/support/header_builder.h"
#include "tests/support/prologue_data.h"
#include "tools/sample/sample_picture.h"

namespace {

using segweld::sample::SamplePicture;
using segweld::test::SegmentShape;

constexpr int kBitsPerPixel = 10;

struct Options {
    std::string folder;
    bool hrv = false;
    int segments = 0;  // 0: the product's full count
    uint8_t earthModel = 1;
};

std::string FileName(const std::string& channelToken, const std::string& segmentToken) {
    return "H-000-MSG1__-MSG1________-" + channelToken + "-" + segmentToken + "-200706151200-__";
}

std::string SegmentToken(int number) {
    char token[16];
    std::snprintf(token, sizeof token, "%06d___", number);
    return token;
}

// Packs 10-bit counts big-endian, most significant bit first, without any
// padding between lines; only the end of the data field is padded to a byte.
class CountPacker {
  public:
    explicit CountPacker(std::vector<uint8_t>& out) : out_(out) {}

    void Add(uint16_t count) {
        pending_ = (pending_ << kBitsPerPixel) | (count & 0x3FF);
        pendingBits_ += kBitsPerPixel;
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            out_.push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
        }
    }

    void Finish() {
        if (pendingBits_ > 0) {
            out_.push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
            pendingBits_ = 0;
        }
    }

  private:
    std::vector<uint8_t>& out_;
    uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

std::vector<uint8_t> SegmentData(const SamplePicture& picture, const SegmentShape& shape,
                                 uint32_t width, uint32_t height) {
    std::vector<uint8_t> data;
    data.reserve((static_cast<size_t>(shape.columns) * shape.lines * kBitsPerPixel + 7) / 8);
    CountPacker packer(data);
    for (uint32_t row = 0; row < shape.lines; ++row) {
        const uint32_t storedLine = (shape.sequence - 1u) * shape.lines + row;
        const uint32_t y = height - 1 - storedLine;
        for (uint32_t column = 0; column < shape.columns; ++column) {
            packer.Add(picture.At(width - 1 - column, y));
        }
    }
    packer.Finish();
    return data;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& header,
               const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<long>(header.size()));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "segweld-sample: cannot write %s: %s\n", path.string().c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

bool WriteProduct(const Options& options) {
    const std::filesystem::path folder = options.folder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "segweld-sample: cannot create %s: %s\n", folder.string().c_str(),
                     error.message().c_str());
        return false;
    }
    const std::string channel = options.hrv ? "HRV______" : "IR_108___";
    const int planned = options.hrv ? 24 : 8;
    const int count = options.segments > 0 ? options.segments : planned;

    SegmentShape shape;
    shape.columns = options.hrv ? 5568 : 3712;
    shape.lines = 464;
    shape.plannedEnd = static_cast<uint16_t>(planned);
    shape.channelId = options.hrv ? 12 : 9;
    const uint32_t height = static_cast<uint32_t>(count) * shape.lines;
    const SamplePicture picture(shape.columns, height);

    // Data of 2007: the georeferencing offset is not corrected (earth model 1).
    const std::vector<uint8_t> prologue = segweld::test::PrologueData(options.earthModel);
    const std::vector<uint8_t> epilogue(segweld::test::kEpilogueDataBytes, 0);
    for (const auto& [token, type, data] :
         {std::tuple{"PRO______", 128, &prologue}, std::tuple{"EPI______", 129, &epilogue}}) {
        const std::string name = FileName("_________", token);
        if (!WriteFile(folder / name,
                       segweld::test::RealPrologueHeader(name, static_cast<uint8_t>(type),
                                                         8 * data->size()),
                       *data)) {
            return false;
        }
    }
    for (int number = 1; number <= count; ++number) {
        shape.sequence = static_cast<uint16_t>(number);
        shape.annotation = FileName(channel, SegmentToken(number));
        if (!WriteFile(folder / shape.annotation, segweld::test::RealSegmentHeader(shape),
                       SegmentData(picture, shape, shape.columns, height))) {
            return false;
        }
    }
    std::printf("%s\n", (folder / FileName(channel, SegmentToken(1))).string().c_str());
    return true;
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld-sample [--hrv] [--segments N] [--offset-corrected] FOLDER\n"
        "Writes a sample MSG product into FOLDER: the prologue and epilogue and the\n"
        "IR_108 segments (8, 3712 x 464 pixels at 10 bits), or with --hrv the HRV\n"
        "segments (24, 5568 x 464). The prologue says that the georeferencing offset\n"
        "of data before December 2017 is present, or with --offset-corrected that it\n"
        "was corrected. Prints the path of segment 1.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    segweld::os::EnsureStandardStreams();
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            PrintUsage(stdout);
            return 0;
        } else if (argument == "--hrv") {
            options.hrv = true;
        } else if (argument == "--offset-corrected") {
            options.earthModel = 2;
        } else if (argument == "--segments" && i + 1 < argc) {
            options.segments = std::atoi(argv[++i]);
            if (options.segments < 1 || options.segments > 999) {
                std::fputs("segweld-sample: --segments takes 1 to 999\n", stderr);
                return 2;
            }
        } else if (options.folder.empty() && !argument.starts_with("--")) {
            options.folder = argument;
        } else {
            PrintUsage(stderr);
            return 2;
        }
    }
    if (options.folder.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    return WriteProduct(options) ? 0 : 1;
}
