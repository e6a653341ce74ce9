#include "os/journal.h"

namespace segweld::os {

// Windows has no journal that takes a process's standard error.
bool IsJournalStream(std::FILE*) {
    return false;
}

}  // namespace segweld::os
