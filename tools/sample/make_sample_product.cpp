// segweld-sample: writes a realistic MSG product to try Segweld on: the
// prologue, the image segments of one channel at their real size and header
// layout, and the epilogue. The segments hold a picture of the Earth's disk,
// stored as the satellite stores it: south at the top of segment 1 and
// columns running from east to west.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "hrit/channel.h"
#include "os/file_system.h"
#include "os/folders.h"
#include "os/process.h"
#include "tests/support/header_builder.h"
#include "tests/support/prologue_data.h"
#include "tools/sample/sample_picture.h"

namespace {

using segweld::sample::SamplePicture;
using segweld::test::SegmentShape;

constexpr int kBitsPerPixel = 10;
constexpr uint16_t kLines = 464;

// The repeat cycle of the full-disk scan: one product of a channel per slot;
// Rapid Scan scans the northern third of the disk every 5 minutes.
constexpr std::chrono::minutes kSlotMinutes{15};
constexpr std::chrono::minutes kRapidScanMinutes{5};

std::chrono::sys_time<std::chrono::minutes> DefaultTime() {
    using namespace std::chrono;
    return sys_days{year{2007} / June / 15} + hours{12};
}

struct Options {
    std::string folder;
    std::string channel = "IR_108";
    std::string satellite = "MSG1";
    int segments = 0;  // 0: the product's full count
    segweld::test::PrologueFields prologue{.earthModelType = 1};
    std::chrono::sys_time<std::chrono::minutes> time = DefaultTime();
    int slots = 1;
    std::string service = "0DEG";  // or RSS, IODC
    uint16_t lines = kLines;       // of a segment
};

// "YYYYMMDDhhmm", as the file names carry it.
std::string TimeToken(std::chrono::sys_time<std::chrono::minutes> time) {
    using namespace std::chrono;
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char token[16];
    std::snprintf(token, sizeof token, "%04d%02u%02u%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()));
    return token;
}

std::optional<std::chrono::sys_time<std::chrono::minutes>> ParseTimeToken(const std::string& text) {
    using namespace std::chrono;
    if (text.size() != 12 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const auto number = [&](size_t at, size_t digits) {
        return std::stoi(text.substr(at, digits));
    };
    const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(number(4, 2))},
                              day{static_cast<unsigned>(number(6, 2))}};
    const int hour = number(8, 2);
    const int minute = number(10, 2);
    if (!date.ok() || hour > 23 || minute > 59) {
        return std::nullopt;
    }
    return sys_days{date} + hours{hour} + minutes{minute};
}

// The product's grid: the full disk of its channel, in which each segment's
// lines lie.
struct Grid {
    uint16_t columns = 3712;  // of a segment
    uint32_t width = 3712;    // of the full disk
    int first = 1;            // the plan's first segment
    int planned = 8;
    int32_t cfac = -13642337;
    int32_t offset = 1856;  // column and line offset of the sub-satellite point
    bool hrv = false;
};

// Rapid Scan plans the northern segments only: 6 to 8, HRV 16 to 24.
Grid GridOf(const std::string& channel, bool rapidScan) {
    Grid grid;
    if (channel == "HRV") {
        grid = {5568, 11136, 1, 24, -40927014, 5566, true};
    }
    if (rapidScan) {
        grid.first = grid.hrv ? 16 : 6;
    }
    return grid;
}

// The source field names the service after the satellite, but for the 0°
// service: "MSG2________", "MSG2_RSS____".
std::string FileName(const Options& options, const std::string& channelToken,
                     const std::string& segmentToken, const std::string& timeToken) {
    const std::string fill = "____________";
    const std::string service = options.service == "0DEG" ? "" : "_" + options.service;
    return "H-000-" + (options.satellite + fill).substr(0, 6) + "-" +
           (options.satellite + service + fill).substr(0, 12) + "-" + channelToken + "-" +
           segmentToken + "-" + timeToken + "-__";
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

// Each slot's disk is a little brighter than the one before, as the morning
// goes on, so that no two slots of a run hold the same bytes.
uint16_t Brightened(uint16_t count, int slot) {
    constexpr int kStepPerSlot = 3;
    if (count == SamplePicture::kSpace) {
        return count;
    }
    return static_cast<uint16_t>(std::min(count + slot * kStepPerSlot, 1023));
}

std::vector<uint8_t> SegmentData(const SamplePicture& picture, const SegmentShape& shape,
                                 const Grid& grid, uint32_t height, int slot) {
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
            packer.Add(Brightened(picture.At(grid.width - east - column, y), slot));
        }
    }
    packer.Finish();
    return data;
}

// Through the hidden output, as every file Segweld writes: a sample cut short
// never looks like a segment that arrived.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& header,
               const std::vector<uint8_t>& data) {
    try {
        segweld::os::HiddenOutput out(path);
        out.Append(header);
        out.Append(data);
        out.Commit();
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "segweld-sample: %s\n", error.what());
        return false;
    }
}

bool WriteProduct(const Options& options) {
    const auto inFolder = [&](const std::string& name) { return options.folder + "/" + name; };
    std::string error;
    if (!segweld::os::MakeFolders(options.folder, error)) {
        std::fprintf(stderr, "segweld-sample: cannot create %s: %s\n", options.folder.c_str(),
                     error.c_str());
        return false;
    }
    const Grid grid = GridOf(options.channel, options.service == "RSS");
    const std::string channel = (options.channel + "_________").substr(0, 9);
    const int last = options.segments > 0 ? grid.first + options.segments - 1 : grid.planned;

    SegmentShape shape;
    shape.columns = grid.columns;
    shape.lines = options.lines;
    shape.plannedStart = static_cast<uint16_t>(grid.first);
    shape.plannedEnd = static_cast<uint16_t>(grid.planned);
    shape.channelId = static_cast<uint8_t>(segweld::ChannelCodeOf(options.channel));
    shape.spacecraft = options.prologue.satelliteId;
    shape.cfac = grid.cfac;
    shape.coff = grid.offset;
    shape.loff = grid.offset;
    const uint32_t height = static_cast<uint32_t>(std::max(last, grid.planned)) * shape.lines;
    const SamplePicture picture(grid.width, height);

    const std::vector<uint8_t> prologue = segweld::test::PrologueData(options.prologue);
    const std::vector<uint8_t> epilogue = segweld::test::EpilogueData();
    const auto cycle = options.service == "RSS" ? kRapidScanMinutes : kSlotMinutes;
    for (int slot = 0; slot < options.slots; ++slot) {
        const std::string timeToken = TimeToken(options.time + slot * cycle);
        for (const auto& [token, type, data] :
             {std::tuple{"PRO______", 128, &prologue}, std::tuple{"EPI______", 129, &epilogue}}) {
            const std::string name = FileName(options, "_________", token, timeToken);
            if (!WriteFile(inFolder(name),
                           segweld::test::RealPrologueHeader(name, static_cast<uint8_t>(type),
                                                             8 * data->size()),
                           *data)) {
                return false;
            }
        }
        for (int number = grid.first; number <= last; ++number) {
            shape.sequence = static_cast<uint16_t>(number);
            shape.annotation = FileName(options, channel, SegmentToken(number), timeToken);
            if (grid.hrv) {
                // The navigation of the window that holds the segment's first line.
                shape.coff = grid.offset + 1 - HrvEastColumn((number - 1u) * shape.lines);
            }
            if (!WriteFile(inFolder(shape.annotation), segweld::test::RealSegmentHeader(shape),
                           SegmentData(picture, shape, grid, height, slot))) {
                return false;
            }
        }
        std::printf(
            "%s\n",
            inFolder(FileName(options, channel, SegmentToken(grid.first), timeToken)).c_str());
    }
    return true;
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld-sample [--channel NAME | --hrv] [--satellite MSGn] [--segments N]\n"
        "                      [--offset-corrected] [--spectral-radiance]\n"
        "                      [--time YYYYMMDDhhmm] [--slots N] [--service S]\n"
        "                      [--lines N] FOLDER\n"
        "Writes a sample MSG product into FOLDER: the prologue and epilogue and the\n"
        "segments of one channel: IR_108 or NAME (VIS006 ... IR_134: 8 segments of\n"
        "3712 x 464 pixels at 10 bits; HRV, also --hrv: 24 of 5568 x 464 in the\n"
        "epilogue's two windows) of MSG1 or MSGn (MSG1 to MSG4). The prologue gives\n"
        "each channel's calibration to effective radiance (with --spectral-radiance,\n"
        "spectral radiance) and says that the georeferencing offset of data before\n"
        "December 2017 is present, or with --offset-corrected that it was corrected.\n"
        "--time sets the time the names carry (default 200706151200); --slots N\n"
        "writes N products of the channel, one every 15 minutes from that time, each\n"
        "a little brighter than the one before. --service RSS names the Rapid Scan\n"
        "service (segments 6 to 8, HRV 16 to 24, a slot every 5 minutes), IODC the\n"
        "Indian Ocean one, 0DEG the 0 degree one (the default). --lines N makes each\n"
        "segment N lines high instead of 464, for small slots. Prints the path of\n"
        "the first segment of each.\n",
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
    argv = segweld::os::Utf8Arguments(argc, argv);
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
        } else if (argument == "--time" && hasValue) {
            const auto time = ParseTimeToken(argv[++i]);
            if (!time) {
                std::fputs("segweld-sample: --time takes YYYYMMDDhhmm, for example 202403011200\n",
                           stderr);
                return 2;
            }
            options.time = *time;
        } else if (argument == "--slots" && hasValue) {
            options.slots = std::atoi(argv[++i]);
            if (options.slots < 1 || options.slots > 9999) {
                std::fputs("segweld-sample: --slots takes 1 to 9999\n", stderr);
                return 2;
            }
        } else if (argument == "--service" && hasValue) {
            options.service = argv[++i];
            if (options.service != "0DEG" && options.service != "RSS" &&
                options.service != "IODC") {
                std::fputs("segweld-sample: --service takes 0DEG, RSS or IODC\n", stderr);
                return 2;
            }
        } else if (argument == "--lines" && hasValue) {
            const int lines = std::atoi(argv[++i]);
            if (lines < 1 || lines > kLines) {
                std::fputs("segweld-sample: --lines takes 1 to 464\n", stderr);
                return 2;
            }
            options.lines = static_cast<uint16_t>(lines);
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
