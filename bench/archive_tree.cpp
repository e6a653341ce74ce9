// Writes a synthetic MSG archive for bench/archive_bench.sh: DAYS day folders
// (YYYY/MM/DD from 1 January 2023) of SLOTS time slots each, every slot with
// the eleven 8-segment channels, the 24 HRV segments, the prologue and the
// epilogue. Every file is a hard link to one of 114 template files (one per
// segment of each channel, the prologue and the epilogue) with real headers
// (6198 bytes, the dissemination's layout) and small data fields, so a
// million files take a few hundred megabytes of folders.
// Usage: archive_tree FOLDER DAYS SLOTS  (FOLDER/templates and FOLDER/archive)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "tests/support/header_builder.h"

namespace {

namespace fs = std::filesystem;
using segweld::test::SegmentShape;

struct Channel {
    const char* field;  // the 9 characters of the name
    uint8_t id;
    int segments;
};

constexpr Channel kChannels[] = {
    {"VIS006___", 1, 8}, {"VIS008___", 2, 8},  {"IR_016___", 3, 8},  {"IR_039___", 4, 8},
    {"WV_062___", 5, 8}, {"WV_073___", 6, 8},  {"IR_087___", 7, 8},  {"IR_097___", 8, 8},
    {"IR_108___", 9, 8}, {"IR_120___", 10, 8}, {"IR_134___", 11, 8}, {"HRV______", 12, 24},
};

// Small data fields: 8 lines of 64 columns at 10 bits, 640 bytes.
constexpr uint16_t kColumns = 64;
constexpr uint16_t kLines = 8;

std::string Name(const std::string& field, const std::string& segment, const std::string& time) {
    return "H-000-MSG3__-MSG3________-" + field + "-" + segment + "-" + time + "-__";
}

std::string SegmentField(int number) {
    char field[16];
    std::snprintf(field, sizeof field, "%06d___", number);
    return field;
}

void WriteBytes(const fs::path& path, std::vector<uint8_t> bytes, size_t dataBytes) {
    for (size_t i = 0; i < dataBytes; ++i) {
        bytes.push_back(static_cast<uint8_t>(i * 7 + 3));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "archive_tree: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// ext4 allows 65,000 links to a file: each template serves this many slots.
constexpr int kSlotsPerTemplate = 60000;

// A template file for each segment of each channel, the prologue and the
// epilogue, by the file name they stand for with the time left out.
class Templates {
  public:
    explicit Templates(fs::path folder) : folder_(std::move(folder)) {}

    // The template for the file `channelField`, `segmentField` of slot number `slot`.
    const fs::path& For(const std::string& channelField, const std::string& segmentField,
                        long slot) {
        const long set = slot / kSlotsPerTemplate;
        if (set != set_) {
            Write(set);
        }
        return paths_.at(channelField + segmentField);
    }

  private:
    void Write(long set) {
        const fs::path folder = folder_ / std::to_string(set);
        fs::create_directories(folder);
        for (const Channel& channel : kChannels) {
            for (int number = 1; number <= channel.segments; ++number) {
                SegmentShape shape;
                shape.columns = kColumns;
                shape.lines = kLines;
                shape.sequence = static_cast<uint16_t>(number);
                shape.plannedEnd = static_cast<uint16_t>(channel.segments);
                shape.channelId = channel.id;
                shape.annotation = Name(channel.field, SegmentField(number), "202301010000");
                const fs::path path = folder / shape.annotation;
                WriteBytes(path, segweld::test::RealSegmentHeader(shape),
                           segweld::test::DataFieldBits(shape) / 8);
                paths_[channel.field + SegmentField(number)] = path;
            }
        }
        for (const auto& [token, type] : {std::pair{"PRO______", 128}, {"EPI______", 129}}) {
            const std::string name = Name("_________", token, "202301010000");
            WriteBytes(
                folder / name,
                segweld::test::RealPrologueHeader(name, static_cast<uint8_t>(type), 8 * 1024),
                1024);
            paths_[std::string("_________") + token] = folder / name;
        }
        set_ = set;
    }

    fs::path folder_;
    long set_ = -1;
    std::map<std::string, fs::path> paths_;
};

void Link(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (error && error != std::errc::file_exists) {
        std::fprintf(stderr, "archive_tree: cannot link %s: %s\n", to.c_str(),
                     error.message().c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage: archive_tree FOLDER DAYS SLOTS\n");
        return 2;
    }
    const fs::path folder = argv[1];
    const int days = std::atoi(argv[2]);
    const int slots = std::atoi(argv[3]);
    if (days < 1 || days > 3660 || slots < 1 || slots > 1440) {
        std::fprintf(stderr, "archive_tree: DAYS takes 1 to 3660, SLOTS 1 to 1440\n");
        return 2;
    }
    Templates templates(folder / "templates");
    using namespace std::chrono;
    const sys_days first = year{2023} / January / 1;
    long files = 0;
    for (int day = 0; day < days; ++day) {
        const year_month_day date{first + std::chrono::days{day}};
        char dayPath[32];
        std::snprintf(dayPath, sizeof dayPath, "%04d/%02u/%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        const fs::path dayFolder = folder / "archive" / dayPath;
        fs::create_directories(dayFolder);
        for (int slot = 0; slot < slots; ++slot) {
            const long slotNumber = static_cast<long>(day) * slots + slot;
            const int minutes = slot * 1440 / slots;
            char time[32];
            std::snprintf(time, sizeof time, "%04d%02u%02u%02d%02d", static_cast<int>(date.year()),
                          static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                          minutes / 60, minutes % 60);
            const auto link = [&](const std::string& channelField,
                                  const std::string& segmentField) {
                Link(templates.For(channelField, segmentField, slotNumber),
                     dayFolder / Name(channelField, segmentField, time));
                ++files;
            };
            for (const Channel& channel : kChannels) {
                for (int number = 1; number <= channel.segments; ++number) {
                    link(channel.field, SegmentField(number));
                }
            }
            link("_________", "PRO______");
            link("_________", "EPI______");
        }
    }
    std::printf("%ld files in %d day folders\n", files, days);
    return 0;
}
