#include <sys/stat.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "os/journal.h"

namespace segweld::os {
namespace {

// One unsigned decimal number filling [text, end).
bool ReadDecimal(const char* text, const char* end, uint64_t& value) {
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end && stop != text;
}

}  // namespace

bool IsJournalStream(std::FILE* stream) {
    const char* value = std::getenv("JOURNAL_STREAM");
    if (value == nullptr) {
        return false;
    }
    const char* end = value + std::strlen(value);
    const char* colon = std::strchr(value, ':');
    uint64_t device = 0;
    uint64_t inode = 0;
    if (colon == nullptr || !ReadDecimal(value, colon, device) ||
        !ReadDecimal(colon + 1, end, inode)) {
        return false;
    }
    struct stat status {};
    if (fstat(fileno(stream), &status) != 0) {
        return false;
    }
    return static_cast<uint64_t>(status.st_dev) == device &&
           static_cast<uint64_t>(status.st_ino) == inode;
}

}  // namespace segweld::os
