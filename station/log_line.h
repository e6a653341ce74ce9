#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "station/product_result.h"

namespace segweld::station {

// The weight of a log line, as the syslog level the journal files it under
// (the "<N>" prefixes of sd-daemon(3)), so that `journalctl -p err` finds
// failures and `-p warning` what needs a look.
enum class LogLevel {
    Failure = 3,  // nothing was written, or the watch cannot go on
    Warning = 4,  // a warning, or a product written incomplete
    Info = 6,     // a product joined; the watch starting, stopping, rescanning
    Detail = 7,   // a product found up to date
};

// The level of the line that says what became of a product.
LogLevel LevelOf(ProductStatus status);

struct LogLine {
    LogLevel level = LogLevel::Info;
    std::string text;
};

// How much the log says: failures only (-q), what is written and what needs
// a look (the default), or every product, up to date ones too (-v).
enum class Verbosity { Quiet, Normal, Verbose };

bool Shows(Verbosity verbosity, LogLevel level);

// How the station's log lines are written to standard error.
class LogLineFormat {
  public:
    // For the journal when standard error leads to it, plain otherwise.
    static LogLineFormat ForStandardError();

    explicit LogLineFormat(bool journal) : journal_(journal) {}
    bool journal() const { return journal_; }

    // `text` as it is written, ending in a line break. Plain:
    // "2026-12-06T21:30:05.123Z segweld: TEXT". For the journal, which stamps
    // each line with its time and the program's name itself: "<N>TEXT", the
    // level before every line of a text that holds several.
    std::string Format(LogLevel level, std::string_view text,
                       std::chrono::system_clock::time_point now) const;

  private:
    bool journal_;
};

}  // namespace segweld::station
