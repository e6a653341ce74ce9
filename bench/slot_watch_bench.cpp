// Slots through `segweld --watch --slots -j 2`, day after day of 96 slots of
// 114 files each (the prologue, 11 channels of 8 segments, HRV of 24, the
// epilogue) as segweld-sample writes them. Each slot is moved into the input
// folder but for its last file (the last HRV segment, so that a join stands
// between it and the slot's publication), then that file; the time from its
// arrival to the slot's line in the report is its latency. The watch's
// resident memory is read after every slot. A day's files and outputs are
// removed once its slots are published, as a station's clean-up would, so a
// week runs in little room; the slot timeout is short, so that published
// slots are forgotten within seconds (time compressed: a day in a minute).
// Prints the latencies' median, 95th percentile and maximum, and the median
// of the resident memory over each 6 hours of slots (24 slots); with
// RSS_SAMPLES=FILE also every sample, one a line.
// Usage: slot_watch_bench SEGWELD SEGWELD_SAMPLE [DAYS] [LINES]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kChannels[] = {"VIS006", "VIS008", "IR_016", "IR_039", "WV_062", "WV_073",
                                 "IR_087", "IR_097", "IR_108", "IR_120", "IR_134", "HRV"};
constexpr int kSlotsPerDay = 96;

pid_t Spawn(std::vector<std::string> arguments, const std::string& log) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// VmRSS of `pid` in kB.
long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// "202401011200" for slot `index` of day `day`.
std::string SlotTime(int day, int index) {
    char text[40];
    std::snprintf(text, sizeof text, "202401%02d%02d%02d", day + 1, index / 4, index % 4 * 15);
    return text;
}

// Waits until the report holds the slot line of `time`, reading on from `offset`.
bool WaitForSlot(const std::string& report, const std::string& time, std::streamoff& offset) {
    const std::string wanted = "\"slot\":\"H-MSG2-0DEG-" + time + "\"";
    const Clock::time_point give_up = Clock::now() + std::chrono::seconds(30);
    std::string line;
    while (Clock::now() < give_up) {
        std::ifstream in(report);
        in.seekg(offset);
        while (std::getline(in, line) && !in.eof()) {
            offset = in.tellg();
            if (line.find("\"type\":\"slot\"") != std::string::npos &&
                line.find(wanted) != std::string::npos) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: slot_watch_bench SEGWELD SEGWELD_SAMPLE [DAYS] [LINES]\n");
        return 2;
    }
    const std::string segweld = argv[1], sample = argv[2];
    const int days = std::clamp(argc > 3 ? std::atoi(argv[3]) : 1, 1, 28);
    const std::string lines = argc > 4 ? argv[4] : "8";
    const fs::path work =
        fs::temp_directory_path() / ("segweld-slot-bench-" + std::to_string(getpid()));
    const fs::path in = work / "in", out = work / "out", stage = work / "stage";
    const std::string report = (work / "report.jsonl").string(), log = (work / "log").string();
    fs::create_directories(in);
    fs::create_directories(out);

    const pid_t watch = Spawn({segweld, "--watch", "--slots", in.string(), out.string(), "-j", "2",
                               "--report", report, "--slot-timeout", "2", "-q"},
                              log);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::streamoff offset = 0;
    std::vector<double> latencies;
    std::vector<long> resident;
    for (int day = 0; day < days; ++day) {
        fs::create_directories(stage);
        for (const char* channel : kChannels) {
            if (Wait(Spawn({sample, "--lines", lines, "--channel", channel, "--satellite", "MSG2",
                            "--time", SlotTime(day, 0), "--slots", std::to_string(kSlotsPerDay),
                            stage.string()},
                           "/dev/null")) != 0) {
                std::fprintf(stderr, "segweld-sample failed\n");
                return 1;
            }
        }
        for (int index = 0; index < kSlotsPerDay; ++index) {
            const std::string time = SlotTime(day, index);
            // Listed first: a folder read while its entries are moved out may
            // skip some.
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(stage)) {
                const std::string name = entry.path().filename().string();
                if (name.find(time) != std::string::npos) {
                    names.push_back(name);
                }
            }
            std::string last;
            for (const std::string& name : names) {
                if (name.find("-HRV______-000024___-") != std::string::npos) {
                    last = name;
                } else {
                    fs::rename(stage / name, in / name);
                }
            }
            // The other products are joined meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            fs::rename(stage / last, in / last);
            const Clock::time_point arrived = Clock::now();
            if (!WaitForSlot(report, time, offset)) {
                std::fprintf(stderr, "no record of slot %s; see %s\n", time.c_str(), log.c_str());
                kill(watch, SIGTERM);
                return 1;
            }
            latencies.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - arrived).count());
            resident.push_back(ResidentKilobytes(watch));
        }
        // A station's clean-up: the day is archived elsewhere.
        for (const fs::path& folder : {in, out}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                fs::remove_all(entry.path());
            }
        }
        fs::remove_all(stage);
    }
    kill(watch, SIGTERM);
    const int status = Wait(watch);
    std::printf("%d slots of 114 files (%s lines a segment) through --watch --slots -j 2\n",
                static_cast<int>(latencies.size()), lines.c_str());
    std::printf("last file to the slot's record: median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                Percentile(latencies, 0.5), Percentile(latencies, 0.95),
                Percentile(latencies, 1.0));
    // The median of every quarter of a day (24 slots): one sample taken
    // during a join may catch a worker's passing peak; the medians show the
    // level the watch keeps.
    std::printf("resident memory, median of each 6 hours of slots:");
    long lowest = LONG_MAX, highest = 0;
    for (size_t from = 0; from + kSlotsPerDay / 4 <= resident.size(); from += kSlotsPerDay / 4) {
        std::vector<double> quarter(
            resident.begin() + static_cast<std::ptrdiff_t>(from),
            resident.begin() + static_cast<std::ptrdiff_t>(from + kSlotsPerDay / 4));
        const long median = static_cast<long>(Percentile(quarter, 0.5));
        std::printf(" %ld", median);
        if (from > 0) {  // the first quarter fills the book: nothing is forgotten yet
            lowest = std::min(lowest, median);
            highest = std::max(highest, median);
        }
    }
    std::printf(" kB\n");
    if (highest > 0) {
        std::printf(
            "from the second quarter on: %ld to %ld kB (%.1f%%); most of any sample %ld kB\n",
            lowest, highest,
            100.0 * static_cast<double>(highest - lowest) / static_cast<double>(lowest),
            *std::max_element(resident.begin(), resident.end()));
    }
    if (const char* samples = std::getenv("RSS_SAMPLES")) {
        std::ofstream file(samples);
        for (const long kilobytes : resident) {
            file << kilobytes << '\n';
        }
    }
    if (std::getenv("KEEP_WORK") == nullptr) {
        fs::remove_all(work);
    }
    return status == 0 ? 0 : 1;
}
