// The watch's latency: from the close of a product's last segment to the
// moment its output appears under its name in the output folder, over 100
// products written one after another. Prints the median and the 95th
// percentile; with SAMPLES_FILE, also appends every product's latency in
// milliseconds to it, one per line, so that runs can be pooled. Arguments
// after "--" are handed to the watch (--metrics ADDRESS:PORT, say).
// Usage: watch_latency_bench SEGWELD [PRODUCTS] [SEGMENTS] [BYTES] [SAMPLES_FILE] [-- OPTION...]
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/station_products.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Waits for `name` to be created or moved into the folder watched by `inotify`.
bool WaitForName(int inotify, const std::string& name) {
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        pollfd fd{inotify, POLLIN, 0};
        if (poll(&fd, 1, 10000) <= 0) {
            return false;
        }
        const ssize_t got = read(inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && name == event->name) {
                return true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> watchOptions;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--") {
            watchOptions.assign(argv + i + 1, argv + argc);
            argc = i;
            break;
        }
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "Usage: watch_latency_bench SEGWELD [PRODUCTS] [SEGMENTS] [BYTES] "
                     "[SAMPLES_FILE]\n");
        return 2;
    }
    const int products = argc > 2 ? std::atoi(argv[2]) : 100;
    const int segments = argc > 3 ? std::atoi(argv[3]) : 8;
    const int bytes = argc > 4 ? std::atoi(argv[4]) : 20000;
    const fs::path work =
        fs::temp_directory_path() / ("segweld-watch-bench-" + std::to_string(getpid()));
    const std::string in = (work / "in").string();
    const std::string out = (work / "out").string();
    fs::create_directories(in);
    fs::create_directories(out);

    const int inotify = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(inotify, out.c_str(), IN_CREATE | IN_MOVED_TO);
    std::vector<std::string> arguments{argv[1], "--watch", in, out, "--timeout", "60"};
    arguments.insert(arguments.end(), watchOptions.begin(), watchOptions.end());
    std::vector<char*> childArgv;
    for (std::string& argument : arguments) {
        childArgv.push_back(argument.data());
    }
    childArgv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (work / "watch.log").string();
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t watcher = 0;
    if (posix_spawn(&watcher, argv[1], &actions, nullptr, childArgv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // its start-up scan

    std::vector<double> milliseconds;
    for (int index = 0; index < products; ++index) {
        for (int number = 1; number < segments; ++number) {
            segweld::bench::WriteBenchSegment(in, index, number, segments, bytes);
        }
        segweld::bench::WriteBenchSegment(in, index, segments, segments, bytes);
        const Clock::time_point closed = Clock::now();
        const std::string output = Lower(segweld::bench::BenchSegmentName(index, 1)) + ".segm";
        if (!WaitForName(inotify, output)) {
            std::fprintf(stderr, "no output %s; see %s\n", output.c_str(), log.c_str());
            kill(watcher, SIGTERM);
            return 1;
        }
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - closed).count());
    }
    kill(watcher, SIGTERM);
    int status = 0;
    waitpid(watcher, &status, 0);
    std::printf(
        "watch latency over %d products of %d x %d bytes: median %.2f ms, p95 %.2f ms, max %.2f "
        "ms\n",
        products, segments, bytes, Percentile(milliseconds, 0.5), Percentile(milliseconds, 0.95),
        Percentile(milliseconds, 1.0));
    if (argc > 5) {
        std::ofstream samples(argv[5], std::ios::app);
        for (const double value : milliseconds) {
            samples << value << '\n';
        }
    }
    fs::remove_all(work);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
