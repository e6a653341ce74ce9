#include "station/log_line.h"

#include <cstdio>

#include "os/journal.h"
#include "station/time_stamp.h"

namespace segweld::station {

LogLevel LevelOf(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
            return LogLevel::Info;
        case ProductStatus::UpToDate:
            return LogLevel::Detail;
        case ProductStatus::Incomplete:
            return LogLevel::Warning;
        case ProductStatus::Failed:
            break;
    }
    return LogLevel::Failure;
}

bool Shows(Verbosity verbosity, LogLevel level) {
    switch (verbosity) {
        case Verbosity::Quiet:
            return level == LogLevel::Failure;
        case Verbosity::Normal:
            return level != LogLevel::Detail;
        case Verbosity::Verbose:
            break;
    }
    return true;
}

LogLineFormat LogLineFormat::ForStandardError() {
    return LogLineFormat(os::IsJournalStream(stderr));
}

std::string LogLineFormat::Format(LogLevel level, std::string_view text,
                                  std::chrono::system_clock::time_point now) const {
    if (!journal_) {
        return UtcTimeStamp(now) + " segweld: " + std::string(text) + "\n";
    }
    // The journal takes every line on its own: each needs its level.
    const std::string prefix = "<" + std::to_string(static_cast<int>(level)) + ">";
    std::string lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines += prefix;
        lines += text.substr(start, end == std::string_view::npos ? end : end - start);
        lines += '\n';
        if (end == std::string_view::npos || end + 1 == text.size()) {
            return lines;
        }
        start = end + 1;
    }
}

}  // namespace segweld::station
