#pragma once

// A configuration file holds a program's options, one a line, under their
// long names: "key = value", or the bare key of a flag. '#' begins a comment
// line; blank lines are skipped. A rest option's value is split into words
// at blanks, where double quotes keep a stretch with blanks as one word.
// The keys of a mode's paths (input, output) stand beside the options.

#include <map>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace segweld::cli {

struct ConfigEntries {
    std::vector<Given> given;                  // the options, each with its "FILE:LINE"
    std::map<std::string, std::string> paths;  // by their keys
    std::string error;                         // "FILE:LINE: why"; empty when the file is good
};

// The words of a command written as one value: split at blanks, double
// quotes keeping a stretch with blanks as one word; false on an unclosed
// double quote.
bool SplitWords(const std::string& value, std::vector<std::string>& words);

// Checks `text`, read from `path`, against the options of `mode`.
ConfigEntries ParseConfigText(const ProgramSpec& program, int mode, const std::string& path,
                              const std::string& text, const std::vector<const char*>& pathKeys);

// Reads the file at `path` and checks it as ParseConfigText does.
ConfigEntries ReadConfigFile(const ProgramSpec& program, int mode, const std::string& path,
                             const std::vector<const char*>& pathKeys);

}  // namespace segweld::cli
