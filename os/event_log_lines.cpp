#include "os/event_log_lines.h"

namespace segweld::os {

EventLogLines::~EventLogLines() {
    if (!pending_.empty()) {
        Line(pending_);
    }
}

void EventLogLines::Write(std::string_view text) {
    for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        pending_.append(text.substr(0, end));
        Line(pending_);
        pending_.clear();
        text.remove_prefix(end + 1);
    }
    pending_.append(text);
}

void EventLogLines::Line(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    EventLevel level = EventLevel::Information;
    if (line.size() >= 3 && line[0] == '<' && line[1] >= '0' && line[1] <= '7' && line[2] == '>') {
        const int syslog = line[1] - '0';
        level = syslog <= 3   ? EventLevel::Error
                : syslog == 4 ? EventLevel::Warning
                              : EventLevel::Information;
        line.remove_prefix(3);
    }
    if (!line.empty()) {
        sink_(level, std::string(line));
    }
}

}  // namespace segweld::os
