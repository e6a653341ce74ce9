#pragma once

// Reads a command line with a program's option table: options anywhere among
// the arguments, --name=value, --name value, -j2, -j 2, -- ending the options,
// and a rest option (--then COMMAND ARG...) that takes everything after it.

#include <string>
#include <vector>

#include "cli/option_table.h"

namespace segweld::cli {

// An option as given, on the command line or in a configuration file.
struct Given {
    size_t option = 0;               // its row in the program's table
    std::string spelling;            // "-j", "--jobs"; in a file the key
    std::vector<std::string> words;  // its value, or the rest of the line
    size_t pathsBefore = 0;          // how many paths came before it
    std::string where;               // "FILE:LINE" for a file; empty for the command line
};

// Why an argument cannot be used, and where it stood among the paths.
struct Problem {
    std::string text;
    size_t pathsBefore = 0;
};

struct Tokens {
    std::vector<Given> given;
    std::vector<std::string> paths;
    std::vector<Problem> problems;  // unknown options, missing values, in order
};

// Splits `arguments` (argv after the program name) into options and paths.
// Problems are collected, not raised: the program decides which of them are
// errors.
Tokens Tokenize(const ProgramSpec& program, const std::vector<std::string>& arguments);

// The outcome of checking the options against the mode they choose.
struct Checked {
    int mode = 0;
    std::vector<Given> accepted;  // in the order given
    std::string error;            // the first error; empty when there is none
    std::vector<std::string> warnings;
};

// Chooses the mode and checks every option against it. A problem or an
// option of another mode that stands after `lenientAfterPaths` paths of mode
// 0 is only a warning there ("; ignored"); everything else is an error.
Checked CheckTokens(const ProgramSpec& program, const Tokens& tokens,
                    size_t lenientAfterPaths = static_cast<size_t>(-1));

// Why `option` is refused in `mode`: "--report belongs to --batch",
// "--json does not go with --preview".
std::string WrongModeText(const ProgramSpec& program, const std::string& spelling,
                          const OptionSpec& option, int mode);

// The options that answer at once (--help, --version) when every argument
// could be read: they answer whatever else the line holds.
std::vector<Given> AnswersAtOnce(const ProgramSpec& program, const Tokens& tokens);

// Stores each given option in `target` through its row; on a value that breaks
// its rule returns "<spelling> takes <rule>" (behind "FILE:LINE: " for a
// file), and otherwise "".
template <typename Target, size_t N>
std::string ApplyAll(const Option<Target> (&table)[N], const std::vector<Given>& given,
                     Target& target) {
    for (const Given& option : given) {
        const OptionSpec& spec = table[option.option].spec;
        if (!table[option.option].apply(target, option.words)) {
            return (option.where.empty() ? "" : option.where + ": ") + option.spelling + " takes " +
                   spec.rule;
        }
    }
    return "";
}

// "Try 'segweld --batch --help' for more information."
std::string HelpHint(const ProgramSpec& program, int mode);

}  // namespace segweld::cli
