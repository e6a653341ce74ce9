#include "station/progress_display.h"

#include <algorithm>
#include <array>

#include "join/number_list.h"
#include "os/terminal.h"

namespace segweld::station {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr const char* kClearLine = "\r\033[K";

}  // namespace

std::string HumanBytes(double bytes) {
    static constexpr std::array<const char*, 5> kUnits = {"B", "kB", "MB", "GB", "TB"};
    size_t unit = 0;
    while (bytes >= 1000 && unit + 1 < kUnits.size()) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string HumanDuration(std::chrono::seconds duration) {
    const long long total = std::max<long long>(duration.count(), 0);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

ProgressDisplay::ProgressDisplay(std::FILE* stream, bool redraw, size_t products, uint64_t bytes,
                                 Clock::time_point start)
    : stream_(stream),
      redraw_(redraw),
      columns_(redraw ? os::TerminalColumns(stream) : 0),
      products_(products),
      bytes_(bytes),
      start_(start) {}

void ProgressDisplay::AddBytes(uint64_t bytes) {
    std::lock_guard lock(mutex_);
    bytesDone_ += bytes;
    RedrawIfDue(false);
}

void ProgressDisplay::ProductDone(uint64_t bytesLeft) {
    std::lock_guard lock(mutex_);
    bytesDone_ += bytesLeft;
    ++done_;
    RedrawIfDue(done_ == products_);
}

void ProgressDisplay::ProductSkipped(uint64_t bytes) {
    std::lock_guard lock(mutex_);
    bytes_ -= std::min(bytes, bytes_);
    ++done_;
    RedrawIfDue(false);
}

void ProgressDisplay::Log(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (lineShown_) {
        std::fputs(kClearLine, stream_);
        lineShown_ = false;
    }
    std::fprintf(stream_, "%s\n", line.c_str());
    std::fflush(stream_);
}

void ProgressDisplay::Finish() {
    std::lock_guard lock(mutex_);
    if (lineShown_) {
        std::fputs(kClearLine, stream_);
        std::fflush(stream_);
        lineShown_ = false;
    }
    redraw_ = false;
}

std::string ProgressDisplay::StatusLine(Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(bytesDone_) / seconds : 0;
    std::string line = std::to_string(done_) + "/" + CountOf(products_, "product") + ", " +
                       HumanBytes(static_cast<double>(bytesDone_)) + ", " + HumanBytes(rate) + "/s";
    if (rate > 0 && bytesDone_ < bytes_) {
        const auto left = std::chrono::seconds(
            static_cast<long long>(static_cast<double>(bytes_ - bytesDone_) / rate + 0.5));
        line += ", " + HumanDuration(left) + " left";
    }
    return line;
}

void ProgressDisplay::RedrawIfDue(bool force) {
    if (!redraw_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!force && now - lastDraw_ < kRedrawInterval) {
        return;
    }
    lastDraw_ = now;
    std::string line = StatusLine(now);
    if (columns_ > 1 && line.size() >= static_cast<size_t>(columns_)) {
        line.resize(static_cast<size_t>(columns_ - 1));
    }
    std::fprintf(stream_, "%s%s", kClearLine, line.c_str());
    std::fflush(stream_);
    lineShown_ = true;
}

}  // namespace segweld::station
