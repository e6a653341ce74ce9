#include "os/journal.h"
#include "os/win32_event_source.h"

namespace segweld::os {

// Windows has no journal; the service's Event Log takes the same prefixes.
bool IsJournalStream(std::FILE* stream) {
    return (stream == stderr || stream == stdout) && StreamsGoToEventLog();
}

}  // namespace segweld::os
