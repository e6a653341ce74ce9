#pragma once

// The parts of a man page that come from the option table, in scdoc.

#include <map>
#include <string>
#include <vector>

#include "cli/option_table.h"

namespace segweld::cli {

// One paragraph per mode: the program, the option that chooses the mode, the
// mode's options in brackets and its paths.
std::string ManualSynopsis(const ProgramSpec& program);

// Every option with its value, the modes that take it unless all do, and its
// paragraph.
std::string ManualOptions(const ProgramSpec& program);

// The keys of the configuration file in `mode`: `pathKeys`, then the long
// names of the mode's options that the file may set.
std::string ManualConfigKeys(const ProgramSpec& program, int mode,
                             const std::vector<const char*>& pathKeys);

// `text` with every line that reads "@NAME@" replaced by parts["NAME"]; sets
// `error` when a part is missing.
std::string FillTemplate(const std::string& text, const std::map<std::string, std::string>& parts,
                         std::string& error);

}  // namespace segweld::cli
