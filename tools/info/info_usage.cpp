#include "tools/info/info_usage.h"

#include "cli/help_text.h"
#include "tools/info/info_options.h"

namespace segweld::info {

void PrintInfoUsage(std::FILE* out, int mode) {
    std::fputs(cli::HelpText(InfoProgram(), mode).c_str(), out);
}

}  // namespace segweld::info
