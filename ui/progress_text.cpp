#include "ui/progress_text.h"

#include <algorithm>
#include <cmath>

#include "ui/join_summary.h"

namespace segweld {
namespace {

// Shorter spans measure a rate too unsteady to show.
constexpr double kMeasuredSeconds = 1.0;

// "17 B/s", "850 kB/s", "2.1 MB/s", "1.25 GB/s". Digits are put together here, so the
// decimal mark never follows the locale that GTK sets for the process.
std::string Rate(double bytesPerSecond) {
    const auto decimal = [](double value, int places) {
        const int scale = places == 1 ? 10 : 100;
        const auto scaled = static_cast<uint64_t>(std::llround(value * scale));
        std::string fraction = std::to_string(scaled % scale);
        fraction.insert(0, static_cast<size_t>(places) - fraction.size(), '0');
        return GroupThousands(scaled / scale) + "." + fraction;
    };
    if (bytesPerSecond < 1e3) {
        return std::to_string(std::llround(bytesPerSecond)) + " B/s";
    }
    if (bytesPerSecond < 1e6) {
        return GroupThousands(static_cast<uint64_t>(std::llround(bytesPerSecond / 1e3))) + " kB/s";
    }
    if (bytesPerSecond < 1e9) {
        return decimal(bytesPerSecond / 1e6, 1) + " MB/s";
    }
    return decimal(bytesPerSecond / 1e9, 2) + " GB/s";
}

// "about 6 s left", "about 3 min left", "about 2 h 5 min left".
std::string TimeLeft(double seconds) {
    const auto whole = static_cast<uint64_t>(std::llround(std::max(seconds, 1.0)));
    if (whole < 60) {
        return "about " + std::to_string(whole) + " s left";
    }
    const uint64_t minutes = (whole + 30) / 60;
    if (minutes < 60) {
        return "about " + std::to_string(minutes) + " min left";
    }
    return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min left";
}

}  // namespace

ProgressText DescribeProgress(const JoinProgress& progress, double elapsedSeconds) {
    ProgressText text;
    text.line = "Joining segment " + GroupThousands(static_cast<uint64_t>(progress.segmentNumber));
    const int32_t planned = progress.plannedSegments;
    const int32_t done = std::clamp(progress.segmentNumber - 1, 0, std::max(planned, 0));
    if (planned > 0) {
        text.percent = static_cast<int>(int64_t{done} * 100 / planned);
        text.line += " of " + GroupThousands(static_cast<uint64_t>(planned)) + " (" +
                     std::to_string(text.percent) + "%)";
    }
    text.line += ": " + GroupThousands(progress.bytesWritten) + " bytes written";
    std::string left;
    if (elapsedSeconds >= kMeasuredSeconds) {
        text.line += ", " + Rate(static_cast<double>(progress.bytesWritten) / elapsedSeconds);
        if (planned > 0 && done > 0) {
            left = ", " + TimeLeft(elapsedSeconds / done * (planned - done));
        }
    }
    text.line += left;
    text.title =
        (text.percent >= 0 ? std::to_string(text.percent) + "%" : "Joining") + left + " - Segweld";
    return text;
}

}  // namespace segweld
