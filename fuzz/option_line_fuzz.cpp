// Reads arbitrary command lines (arguments separated by NUL bytes) with the
// option tables of segweld and segweld-info, and checks that each ends in one
// of the program's modes and that help never comes with an error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/segweld_options.h"
#include "tools/info/info_options.h"

namespace {

constexpr size_t kMostArguments = 32;

std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size && arguments.size() <= kMostArguments; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[i]);
        }
    }
    // No configuration file is read: the fuzzer's input names no files.
    std::erase_if(arguments, [](const std::string& a) { return a.starts_with("--c"); });
    return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> arguments = Arguments(data, size);
    const segweld::SegweldCommand command = segweld::ParseSegweldCommand(arguments);
    if (command.mode < segweld::kSingleJoin || command.mode > segweld::kWatchMode) {
        std::abort();
    }
    if ((command.help || command.version) && !command.error.empty()) {
        std::abort();
    }
    const segweld::info::InfoOptions info = segweld::info::ParseInfoOptions(arguments);
    if (info.tableMode < 0 || info.tableMode > 2) {
        std::abort();
    }
    return 0;
}
