#include "app/usage.h"

#include "app/segweld_options.h"
#include "cli/help_text.h"
#include "segweld_version.h"

namespace segweld {

void PrintUsage(std::FILE* out) {
    PrintHelp(out, kSingleJoin);
}

void PrintHelp(std::FILE* out, int mode) {
    std::fputs(cli::HelpText(SegweldProgram(), mode).c_str(), out);
}

void PrintVersion(std::FILE* out) {
    std::fputs("segweld " SEGWELD_VERSION "\n", out);
}

}  // namespace segweld
