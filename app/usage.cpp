#include "app/usage.h"

#include "app/segweld_options.h"
#include "cli/command_line.h"
#include "cli/help_text.h"
#include "segweld_version.h"

namespace segweld {

void PrintUsage(std::FILE* out) {
    const cli::ProgramSpec& program = SegweldProgram();
    std::fputs(
        (cli::UsageText(program, kSingleJoin) + cli::HelpHint(program, kSingleJoin) + "\n").c_str(),
        out);
}

void PrintHelp(std::FILE* out, int mode) {
    std::fputs(cli::HelpText(SegweldProgram(), mode).c_str(), out);
}

void PrintVersion(std::FILE* out) {
    std::fputs("segweld " SEGWELD_VERSION "\n", out);
}

}  // namespace segweld
