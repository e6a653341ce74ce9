// segweld-sample: writes a realistic MSG product to try Segweld on: the
// prologue, the image segments of one channel at their real size and header
// layout, and the epilogue. The segments hold a picture of the Earth's disk,
// stored as the satellite stores it: south at the top of segment 1 and
// columns running from east to west.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "os/native_path.h"
#include "os/process.h"
#include "tests/support/header_builder.h"
#include "tests/support/prologue_data.h"
#include "tools/sample/sample_picture.h"

namespace {

using segweld::sample::SamplePicture;
using segweld::test::SegmentShape;

constexpr int kBitsPerPixel = 10;

// The repeat cycle of the full-disk scan: one product of a channel per slot.
constexpr std::chrono::minutes kSlotMinutes{15};

std::chrono::sys_time<std::chrono::minutes> DefaultTime() {
    using namespace std::chrono;
    return sys_days{year{2007} / June / 15} + hours{12};
}

struct Options {
    std::string folder;
    bool hrv = false;
    int segments = 0;  // 0: the product's full count
    uint8_t earthModel = 1;
    std::chrono::sys_time<std::chrono::minutes> time = DefaultTime();
    int slots = 1;
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

std::string FileName(const std::string& channelToken, const std::string& segmentToken,
                     const std::string& timeToken) {
    return "H-000-MSG1__-MSG1________-" + channelToken + "-" + segmentToken + "-" + timeToken +
           "-__";
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

// The picture's counts in the order the satellite stores them: lines from
// the south, each line from east to west.
std::vector<uint16_t> StoredCounts(const SamplePicture& picture, uint32_t width, uint32_t height) {
    std::vector<uint16_t> counts;
    counts.reserve(static_cast<size_t>(width) * height);
    for (uint32_t storedLine = 0; storedLine < height; ++storedLine) {
        for (uint32_t column = 0; column < width; ++column) {
            counts.push_back(picture.At(width - 1 - column, height - 1 - storedLine));
        }
    }
    return counts;
}

// Each slot's disk is a little brighter than the one before, as the morning
// goes on, so that no two slots of a run hold the same bytes.
uint16_t Brightened(uint16_t count, int slot) {
    constexpr int kStepPerSlot = 3;
    if (count == SamplePicture::kSpace) {
        return count;
    }
    return static_cast<uint16_t>(std::min(count + slot * kStepPerSlot, 1023));
}

std::vector<uint8_t> SegmentData(std::span<const uint16_t> counts, int slot) {
    std::vector<uint8_t> data;
    data.reserve((counts.size() * kBitsPerPixel + 7) / 8);
    CountPacker packer(data);
    for (const uint16_t count : counts) {
        packer.Add(Brightened(count, slot));
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
        std::fprintf(stderr, "segweld-sample: cannot write %s: %s\n",
                     segweld::os::TextOf(path).c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool WriteAncillaryFiles(const std::filesystem::path& folder, const std::string& timeToken,
                         uint8_t earthModel) {
    const std::vector<uint8_t> prologue = segweld::test::PrologueData(earthModel);
    const std::vector<uint8_t> epilogue(segweld::test::kEpilogueDataBytes, 0);
    for (const auto& [token, type, data] :
         {std::tuple{"PRO______", 128, &prologue}, std::tuple{"EPI______", 129, &epilogue}}) {
        const std::string name = FileName("_________", token, timeToken);
        if (!WriteFile(folder / name,
                       segweld::test::RealPrologueHeader(name, static_cast<uint8_t>(type),
                                                         8 * data->size()),
                       *data)) {
            return false;
        }
    }
    return true;
}

bool WriteProducts(const Options& options) {
    const std::filesystem::path folder = segweld::os::PathOf(options.folder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "segweld-sample: cannot create %s: %s\n",
                     segweld::os::TextOf(folder).c_str(), error.message().c_str());
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
    // Drawn once: the slots differ only in brightness.
    const std::vector<uint16_t> counts =
        StoredCounts(SamplePicture(shape.columns, height), shape.columns, height);
    const size_t segmentCounts = static_cast<size_t>(shape.columns) * shape.lines;

    for (int slot = 0; slot < options.slots; ++slot) {
        const std::string timeToken = TimeToken(options.time + slot * kSlotMinutes);
        // Data of 2007: the georeferencing offset is not corrected (earth model 1).
        if (!WriteAncillaryFiles(folder, timeToken, options.earthModel)) {
            return false;
        }
        for (int number = 1; number <= count; ++number) {
            shape.sequence = static_cast<uint16_t>(number);
            shape.annotation = FileName(channel, SegmentToken(number), timeToken);
            const auto segment =
                std::span(counts).subspan((number - 1) * segmentCounts, segmentCounts);
            if (!WriteFile(folder / shape.annotation, segweld::test::RealSegmentHeader(shape),
                           SegmentData(segment, slot))) {
                return false;
            }
        }
        std::printf("%s\n",
                    (folder / FileName(channel, SegmentToken(1), timeToken)).string().c_str());
    }
    return true;
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld-sample [--hrv] [--segments N] [--offset-corrected]\n"
        "                      [--time YYYYMMDDhhmm] [--slots N] FOLDER\n"
        "Writes a sample MSG product into FOLDER: the prologue and epilogue and the\n"
        "IR_108 segments (8, 3712 x 464 pixels at 10 bits), or with --hrv the HRV\n"
        "segments (24, 5568 x 464). The prologue says that the georeferencing offset\n"
        "of data before December 2017 is present, or with --offset-corrected that it\n"
        "was corrected. --time sets the time the names carry (default 200706151200);\n"
        "--slots N writes N products of the channel, one every 15 minutes from that\n"
        "time, each a little brighter than the one before. Prints the path of\n"
        "segment 1 of each product.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    segweld::os::EnsureStandardStreams();
    argv = segweld::os::Utf8Arguments(argc, argv);
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
        } else if (argument == "--time" && i + 1 < argc) {
            const auto time = ParseTimeToken(argv[++i]);
            if (!time) {
                std::fputs("segweld-sample: --time takes YYYYMMDDhhmm, for example 202403011200\n",
                           stderr);
                return 2;
            }
            options.time = *time;
        } else if (argument == "--slots" && i + 1 < argc) {
            options.slots = std::atoi(argv[++i]);
            if (options.slots < 1 || options.slots > 9999) {
                std::fputs("segweld-sample: --slots takes 1 to 9999\n", stderr);
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
    return WriteProducts(options) ? 0 : 1;
}
