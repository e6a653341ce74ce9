#pragma once

// A service's standard output and error as events of a system log, one event
// a line, the level taken from the "<N>" prefix that the journal reads on
// Linux (sd-daemon(3)): 3 and below an error, 4 a warning, the rest
// information, as are lines without a prefix (a --then command's output).
// The splitting runs on every system; win32_service.cpp hands the events to
// the Windows Event Log.

#include <functional>
#include <string>
#include <string_view>

namespace segweld::os {

enum class EventLevel { Error, Warning, Information };

class EventLogLines {
  public:
    using Sink = std::function<void(EventLevel level, const std::string& text)>;

    explicit EventLogLines(Sink sink) : sink_(std::move(sink)) {}
    // Hands on a last line that lacks its line break.
    ~EventLogLines();

    // Takes text as it comes, in pieces of any size; "\r\n" ends a line as "\n" does.
    void Write(std::string_view text);

  private:
    void Line(std::string_view line);

    Sink sink_;
    std::string pending_;
};

}  // namespace segweld::os
