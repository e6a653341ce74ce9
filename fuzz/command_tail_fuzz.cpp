// Splits arbitrary command tails and checks that the cursor only moves
// forward within the tail and that every argument comes back trimmed and
// without double quotes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/segweld_app.h"

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string tail(reinterpret_cast<const char*>(data), size);
    segweld::CSegweldApp app;
    int cursor = 0;
    for (int call = 0; call < 8; ++call) {
        const int before = cursor;
        const std::string argument = app.SplitCommandArgument(tail, cursor);
        if (cursor < before || static_cast<size_t>(cursor) > tail.size() + 0u) {
            std::abort();
        }
        if (argument.find('"') != std::string::npos) {
            std::abort();
        }
        if (!argument.empty() &&
            (IsWhiteSpace(argument.front()) || IsWhiteSpace(argument.back()))) {
            std::abort();
        }
    }
    return 0;
}
