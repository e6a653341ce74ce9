#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace segweld::station {

// Owns standard error while products are joined on several threads. On a
// terminal it keeps one status line at the bottom (products done of total,
// bytes, rate, time left), redrawn at most ten times a second, and prints log
// lines above it; elsewhere it prints the log lines alone. Every member may be
// called from any thread.
class ProgressDisplay {
  public:
    using Clock = std::chrono::steady_clock;

    // `start` is when the work began, for the rate: the display may come later.
    ProgressDisplay(std::FILE* stream, bool redraw, size_t products, uint64_t bytes,
                    Clock::time_point start = Clock::now());

    // Bytes of a product under way have been joined.
    void AddBytes(uint64_t bytes);
    // A product is done; `bytesLeft` of its bytes were not counted yet.
    void ProductDone(uint64_t bytesLeft);
    // A product needs no work: it leaves the totals.
    void ProductSkipped(uint64_t bytes);
    void Log(const std::string& line);
    // Clears the status line for good.
    void Finish();

  private:
    // The status line as it is drawn, without its terminal controls.
    std::string StatusLine(Clock::time_point now) const;
    void RedrawIfDue(bool force);

    mutable std::mutex mutex_;
    std::FILE* stream_;
    bool redraw_;
    int columns_;
    size_t products_;
    size_t done_ = 0;
    uint64_t bytes_;
    uint64_t bytesDone_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDraw_{};
    bool lineShown_ = false;
};

// "1.5 MB", "320 kB", "12 B": decimal units, one decimal place above 1000.
std::string HumanBytes(double bytes);
// "0:07", "12:03", "1:02:03".
std::string HumanDuration(std::chrono::seconds duration);

}  // namespace segweld::station
