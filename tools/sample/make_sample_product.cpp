// segweld-sample: writes a realistic MSG product to try Segweld on: the
// prologue, the image segments of one channel at their real size and header
// layout, and the epilogue. The segments hold a picture of the Earth's disk,
// stored as the satellite stores it: south at the top of segment 1 and
// columns running from east to west.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "hrit/channel.h"
#include "os/process.h"
#include "tests/support/header_builder.h"
#include "tests/support/prologue_data.h"
#include "tools/sample/sample_picture.h"

namespace {

using segweld::sample::SamplePicture;
using segweld::test::SegmentShape;

constexpr int kBitsPerPixel = 10;
constexpr uint16_t kLines = 464;

struct Options {
    std::string folder;
    std::string channel = "IR_108";
    std::string satellite = "MSG1";
    int segments = 0;  // 0: the product's full count
    segweld::test::PrologueFields prologue{.earthModelType = 1};
};

// The product's grid: the full disk of its channel, in which each segment's
// lines lie.
struct Grid {
    uint16_t columns = 3712;  // of a segment
    uint32_t width = 3712;    // of the full disk
    int planned = 8;
    int32_t cfac = -13642337;
    int32_t offset = 1856;  // column and line offset of the sub-satellite point
    bool hrv = false;
};

Grid GridOf(const std::string& channel) {
    if (channel != "HRV") {
        return {};
    }
    return {5568, 11136, 24, -40927014, 5566, true};
}

std::string FileName(const Options& options, const std::string& channelToken,
                     const std::string& segmentToken) {
    std::string satellite = options.satellite + "______________";
    return "H-000-" + satellite.substr(0, 6) + "-" + satellite.substr(0, 12) + "-" + channelToken +
           "-" + segmentToken + "-200706151200-__";
}

std::string SegmentToken(int number) {
    char token[16];
    std::snprintf(token, sizeof token, "%06d___", number);
    return token;
}

// The easternmost full-disk column (from 1) of stored line `line` (from 0,
// counted from the south) of an HRV product, by the epilogue's windows and
// the reference reader's rule: lines counted from 1 below the lower window's
// northernmost line lie in it.
int32_t HrvEastColumn(uint32_t line) {
    const segweld::test::HrvWindows windows;
    return static_cast<int32_t>(line + 1) < windows.lowerNorthLine ? windows.lowerEastColumn
                                                                   : windows.upperEastColumn;
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
                                 const Grid& grid, uint32_t height) {
    std::vector<uint8_t> data;
    data.reserve((static_cast<size_t>(shape.columns) * shape.lines * kBitsPerPixel + 7) / 8);
    CountPacker packer(data);
    for (uint32_t row = 0; row < shape.lines; ++row) {
        const uint32_t storedLine = (shape.sequence - 1u) * shape.lines + row;
        const uint32_t y = height - 1 - storedLine;
        // Stored columns run from the east; the window's first one is the
        // full disk's column `east` (from 1).
        const uint32_t east = grid.hrv ? static_cast<uint32_t>(HrvEastColumn(storedLine)) : 1;
        for (uint32_t column = 0; column < shape.columns; ++column) {
            packer.Add(picture.At(grid.width - east - column, y));
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
    const Grid grid = GridOf(options.channel);
    const std::string channel = (options.channel + "_________").substr(0, 9);
    const int count = options.segments > 0 ? options.segments : grid.planned;

    SegmentShape shape;
    shape.columns = grid.columns;
    shape.lines = kLines;
    shape.plannedEnd = static_cast<uint16_t>(grid.planned);
    shape.channelId = static_cast<uint8_t>(segweld::ChannelCodeOf(options.channel));
    shape.spacecraft = options.prologue.satelliteId;
    shape.cfac = grid.cfac;
    shape.coff = grid.offset;
    shape.loff = grid.offset;
    const uint32_t height = static_cast<uint32_t>(std::max(count, grid.planned)) * shape.lines;
    const SamplePicture picture(grid.width, height);

    const std::vector<uint8_t> prologue = segweld::test::PrologueData(options.prologue);
    const std::vector<uint8_t> epilogue = segweld::test::EpilogueData();
    for (const auto& [token, type, data] :
         {std::tuple{"PRO______", 128, &prologue}, std::tuple{"EPI______", 129, &epilogue}}) {
        const std::string name = FileName(options, "_________", token);
        if (!WriteFile(folder / name,
                       segweld::test::RealPrologueHeader(name, static_cast<uint8_t>(type),
                                                         8 * data->size()),
                       *data)) {
            return false;
        }
    }
    for (int number = 1; number <= count; ++number) {
        shape.sequence = static_cast<uint16_t>(number);
        shape.annotation = FileName(options, channel, SegmentToken(number));
        if (grid.hrv) {
            // The navigation of the window that holds the segment's first line.
            shape.coff = grid.offset + 1 - HrvEastColumn((number - 1u) * shape.lines);
        }
        if (!WriteFile(folder / shape.annotation, segweld::test::RealSegmentHeader(shape),
                       SegmentData(picture, shape, grid, height))) {
            return false;
        }
    }
    std::printf("%s\n", (folder / FileName(options, channel, SegmentToken(1))).string().c_str());
    return true;
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld-sample [--channel NAME | --hrv] [--satellite MSGn] [--segments N]\n"
        "                      [--offset-corrected] [--spectral-radiance] FOLDER\n"
        "Writes a sample MSG product into FOLDER: the prologue and epilogue and the\n"
        "segments of one channel: IR_108 or NAME (VIS006 ... IR_134: 8 segments of\n"
        "3712 x 464 pixels at 10 bits; HRV, also --hrv: 24 of 5568 x 464 in the\n"
        "epilogue's two windows) of MSG1 or MSGn (MSG1 to MSG4). The prologue gives\n"
        "each channel's calibration to effective radiance (with --spectral-radiance,\n"
        "spectral radiance) and says that the georeferencing offset of data before\n"
        "December 2017 is present, or with --offset-corrected that it was corrected.\n"
        "Prints the path of segment 1.\n",
        out);
}

// The satellite id (321 to 324) of "MSG1" to "MSG4"; 0 for anything else.
uint16_t SatelliteId(const std::string& name) {
    if (name.size() != 4 || !name.starts_with("MSG") || name[3] < '1' || name[3] > '4') {
        return 0;
    }
    return static_cast<uint16_t>(320 + (name[3] - '0'));
}

}  // namespace

int main(int argc, char** argv) {
    segweld::os::EnsureStandardStreams();
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help") {
            PrintUsage(stdout);
            return 0;
        } else if (argument == "--hrv") {
            options.channel = "HRV";
        } else if (argument == "--channel" && hasValue) {
            options.channel = argv[++i];
            if (segweld::ChannelCodeOf(options.channel) < 1) {
                std::fputs("segweld-sample: --channel takes VIS006 ... IR_134 or HRV\n", stderr);
                return 2;
            }
        } else if (argument == "--satellite" && hasValue) {
            options.satellite = argv[++i];
            options.prologue.satelliteId = SatelliteId(options.satellite);
            if (options.prologue.satelliteId == 0) {
                std::fputs("segweld-sample: --satellite takes MSG1 to MSG4\n", stderr);
                return 2;
            }
        } else if (argument == "--offset-corrected") {
            options.prologue.earthModelType = 2;
        } else if (argument == "--spectral-radiance") {
            options.prologue.radianceType = 1;
        } else if (argument == "--segments" && hasValue) {
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
