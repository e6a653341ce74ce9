#pragma once

#include <string>

#include "cli/option_table.h"

namespace segweld::cli {

// The bash completion script of `program`: the options of the mode typed so
// far, the values and paths by their kind, and after a rest option
// (--then) a command and its arguments instead of the program's options.
std::string BashCompletion(const ProgramSpec& program);

}  // namespace segweld::cli
