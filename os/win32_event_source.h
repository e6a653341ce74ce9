#pragma once

// The service's event source in the Windows Event Log (Windows only): its
// registration in the Application log, which tells the Event Viewer where
// the text of its events is (the program's message table, whose one message
// is the line itself), and the writer of its events.

#include <windows.h>

#include <string>

#include "os/event_log_lines.h"

namespace segweld::os {

// Registers `name` as a source of the Application log whose messages are in
// the program `module`; false with `error` when the registry refuses.
bool RegisterEventSourceName(const std::wstring& name, const std::wstring& module,
                             std::string& error);
// Removes the registration; false with `error` when one is there and stays.
bool RemoveEventSourceName(const std::wstring& name, std::string& error);

// Reports each line handed to it as an event of the source `name`, at the
// level its prefix gives.
class EventSourceWriter {
  public:
    explicit EventSourceWriter(const std::wstring& name);
    ~EventSourceWriter();
    EventSourceWriter(const EventSourceWriter&) = delete;
    EventSourceWriter& operator=(const EventSourceWriter&) = delete;

    bool isOpen() const { return source_ != nullptr; }
    void Write(std::string_view text) { lines_.Write(text); }

  private:
    HANDLE source_;
    EventLogLines lines_;
};

// Whether the standard streams lead to the Event Log, as the service's do
// once MarkStreamsAsEventLog() was called: their lines then carry the
// journal's level prefixes (IsJournalStream()).
bool StreamsGoToEventLog();
void MarkStreamsAsEventLog();

}  // namespace segweld::os
