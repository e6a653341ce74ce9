#pragma once

// One table of options per program. The parser, --help, the man page's
// SYNOPSIS and OPTIONS, the bash completion and the configuration file all
// read it, so none of them can offer an option that the others do not.

#include <cstddef>
#include <string>
#include <vector>

namespace segweld::cli {

// The modes of a program, one bit each; mode 0 is the one that no option
// chooses (the single join, the header dump).
using ModeSet = unsigned;
constexpr ModeSet ModeBit(int mode) {
    return 1u << mode;
}
inline constexpr ModeSet kEveryMode = ~0u;

// What the shell completes where a value or a path is typed.
enum class Completion { Nothing, File, Folder, Count, Command };

// An option as the user and the documents see it.
struct OptionSpec {
    const char* name;             // the long name, without the dashes
    char shortName = 0;           // 0: none
    const char* value = nullptr;  // the value's name in the documents; nullptr: a flag
    bool rest = false;            // takes every argument after it (its value names them)
    ModeSet modes = kEveryMode;   // the modes that accept it
    int selects = -1;             // the mode it chooses, if any
    // It chooses its mode only when no other option chooses one; beside
    // such an option it is a flag of the other modes it lists.
    bool yields = false;
    bool commandLineOnly = false;  // not a key of the configuration file
    bool answersAtOnce = false;    // --help, --version: answer whatever else is given
    const char* rule = "a value";  // what the value must be: "-j takes <rule>"
    Completion completion = Completion::Nothing;
    const char* extension = nullptr;  // of the files completed, without the dot
    const char* help = "";            // --help's text
    const char* manual = "";          // the man page's paragraph, in scdoc
};

// The apply step of one option: stores the value (no words for a flag, one
// for a value, the rest of the line for a rest option) in `target`; false
// when the value breaks the option's rule.
template <typename Target>
using ApplyOption = bool (*)(Target& target, const std::vector<std::string>& words);

// One row of a program's table.
template <typename Target>
struct Option {
    OptionSpec spec;
    ApplyOption<Target> apply;
};

struct ModeSpec {
    const char* title;                       // "--batch"; for mode 0 a phrase: "a single join"
    std::vector<const char*> paths;          // the paths' names in the documents, in order
    std::vector<Completion> pathCompletion;  // one for each path
    bool morePaths = false;                  // the last path may repeat ("FILE...")
    const char* summary = "";                // this mode's paragraph in its --help
    const char* exitStatus = nullptr;        // when it differs from the program's
};

struct ProgramSpec {
    const char* name;
    std::vector<ModeSpec> modes;
    std::vector<const OptionSpec*> options;  // in the order of the table
    std::vector<const char*> moreUsage;      // usage lines beyond the modes
    const char* description = "";            // the paragraph of the full --help
    const char* exitStatus = "";
};

template <typename Target, size_t N>
std::vector<const OptionSpec*> SpecsOf(const Option<Target> (&table)[N]) {
    std::vector<const OptionSpec*> specs;
    for (const Option<Target>& option : table) {
        specs.push_back(&option.spec);
    }
    return specs;
}

// The option's name as the documents write it: "--jobs".
inline std::string LongName(const OptionSpec& option) {
    return std::string("--") + option.name;
}

// The option that chooses `mode`, or nullptr for mode 0.
const OptionSpec* Selector(const ProgramSpec& program, int mode);

// "--batch", "--batch and --watch", "the header dump or --series": the
// titles of the modes in `modes`, joined with `conjunction`.
std::string ModeTitles(const ProgramSpec& program, ModeSet modes, const char* conjunction);

// True when `option` is accepted in every mode of `program`.
bool InEveryMode(const ProgramSpec& program, const OptionSpec& option);

// True when `option` is accepted in `mode`; an option that chooses a mode is
// accepted in mode 0 too, where it changes the mode.
bool Accepts(const OptionSpec& option, int mode);

// True when the usage line of `mode` shows `option` in brackets: the mode's
// own options, but not the one that chooses it nor --help and --version.
bool InUsageLine(const OptionSpec& option, int mode);

}  // namespace segweld::cli
