#pragma once

#include <string>

#include "cli/option_table.h"

namespace segweld::cli {

// The --help text. Mode 0 gives the whole program: every mode's usage and
// every option, each marked with the modes that take it unless all do; any
// other mode gives its usage and its options alone.
std::string HelpText(const ProgramSpec& program, int mode);

// The "Usage:" lines alone: every mode's (mode 0) or one mode's.
std::string UsageText(const ProgramSpec& program, int mode);

}  // namespace segweld::cli
