#pragma once

// Whether a standard stream leads to the systemd journal. Exactly one
// implementation is built: posix_journal.cpp or win32_journal.cpp.

#include <cstdio>

namespace segweld::os {

// True when `stream` writes into the journal: $JOURNAL_STREAM, which the
// service manager sets to "DEVICE:INODE" of the connection it gave the
// service, names the very file the stream's descriptor is. Being set is not
// enough: a program started by a service inherits the variable even when its
// own output goes elsewhere. On Windows, true for the standard output and
// error of a service, which lead to the Event Log and take the same level
// prefixes (RunAsService).
bool IsJournalStream(std::FILE* stream);

}  // namespace segweld::os
