#include "cli/manual_text.h"

#include <algorithm>

#include "cli/command_line.h"
#include "cli/text_wrap.h"

namespace segweld::cli {
namespace {

// Short enough that the roff lines, with their font escapes, stay within
// the 80 columns that man page linters ask for.
constexpr size_t kSourceWidth = 56;

std::string Bold(const std::string& text) {
    return "*" + text + "*";
}

// "_COMMAND_ _ARG_..." of "COMMAND ARG...".
std::string Underlined(const std::string& names) {
    std::string text;
    for (std::string word : WrapWords(names, 0)) {
        const bool repeats = word.ends_with("...");
        word.resize(word.size() - (repeats ? 3 : 0));
        text += (text.empty() ? "" : " ") + ("_" + word + "_") + (repeats ? "..." : "");
    }
    return text;
}

std::string Bracketed(const OptionSpec& option) {
    const std::string name =
        option.shortName != 0 ? std::string("-") + option.shortName : LongName(option);
    return "[" + Bold(name) + (option.value != nullptr ? " " + Underlined(option.value) : "") + "]";
}

std::string SynopsisOf(const ProgramSpec& program, int mode) {
    std::string line = Bold(program.name);
    if (const OptionSpec* selector = Selector(program, mode)) {
        line += " " + Bold(LongName(*selector)) +
                (selector->value != nullptr ? " " + Underlined(selector->value) : "");
    }
    for (const OptionSpec* option : program.options) {
        if (InUsageLine(*option, mode) && !option->rest) {
            line += " " + Bracketed(*option);
        }
    }
    const ModeSpec& spec = program.modes[static_cast<size_t>(mode)];
    for (size_t i = 0; i < spec.paths.size(); ++i) {
        line += " " + Underlined(std::string(spec.paths[i]) +
                                 (spec.morePaths && i + 1 == spec.paths.size() ? "..." : ""));
    }
    for (const OptionSpec* option : program.options) {
        if (InUsageLine(*option, mode) && option->rest) {
            line += " " + Bracketed(*option);
        }
    }
    return line;
}

// `text` wrapped for the page's source. A line that begins with '[', '|' or
// ']' would start a table in scdoc, so such a word stays on the line before.
std::string Lines(const std::string& text, const std::string& indent) {
    std::string lines;
    for (const std::string& line : WrapWords(text, kSourceWidth)) {
        const bool startsTable = line[0] == '[' || line[0] == '|' || line[0] == ']';
        if (startsTable && !lines.empty()) {
            lines.back() = ' ';
        } else {
            lines += indent;
        }
        lines += line + "\n";
    }
    return lines;
}

std::string Term(const OptionSpec& option) {
    std::string term;
    if (option.shortName != 0) {
        term += Bold(std::string("-") + option.shortName) +
                (option.value != nullptr ? " " + Underlined(option.value) : "") + ", ";
    }
    term += Bold(LongName(option));
    if (option.value != nullptr) {
        term += (option.rest ? " " : "=") + Underlined(option.value);
    }
    return term;
}

// "With *--batch* or *--watch*: ", "" for an option of every mode and for
// one that chooses a mode, "Alone, or with *--batch* or *--watch*: " for one
// that chooses a mode alone and is a flag of those beside it.
std::string ModesPrefix(const ProgramSpec& program, const OptionSpec& option) {
    const bool yieldingChooser = option.selects >= 0 && option.yields;
    if (option.selects >= 0 ? !yieldingChooser : InEveryMode(program, option)) {
        return "";
    }
    std::string titles;
    std::vector<std::string> names;
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        const bool own = yieldingChooser && static_cast<int>(mode) == option.selects;
        if ((option.modes & ModeBit(static_cast<int>(mode))) != 0 && !own) {
            const std::string title = program.modes[mode].title;
            names.push_back(title.starts_with("-") ? Bold(title) : title);
        }
    }
    for (size_t i = 0; i < names.size(); ++i) {
        titles += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    }
    return (yieldingChooser ? "Alone, or with " : "With ") + titles + ": ";
}

}  // namespace

std::string ManualSynopsis(const ProgramSpec& program) {
    std::string text;
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        text += (text.empty() ? "" : "\n") + Lines(SynopsisOf(program, static_cast<int>(mode)), "");
    }
    return text;
}

std::string ManualOptions(const ProgramSpec& program) {
    std::string text;
    for (const OptionSpec* option : program.options) {
        const std::string prefix = ModesPrefix(program, *option);
        std::string paragraph = option->manual;
        if (!prefix.empty() && !paragraph.empty() && paragraph[0] >= 'A' && paragraph[0] <= 'Z') {
            paragraph[0] = static_cast<char>(paragraph[0] - 'A' + 'a');
        }
        text += (text.empty() ? "" : "\n") + Term(*option) + "\n" + Lines(prefix + paragraph, "\t");
    }
    return text;
}

std::string ManualConfigKeys(const ProgramSpec& program, int mode,
                             const std::vector<const char*>& pathKeys) {
    std::vector<std::string> keys(pathKeys.begin(), pathKeys.end());
    for (const OptionSpec* option : program.options) {
        if (!option->commandLineOnly && (option->modes & ModeBit(mode)) != 0) {
            keys.emplace_back(option->name);
        }
    }
    std::string text;
    for (size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + Bold(keys[i]);
    }
    return Lines(text, "");
}

std::string FillTemplate(const std::string& text, const std::map<std::string, std::string>& parts,
                         std::string& error) {
    std::string filled;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.size() > 2 && line.front() == '@' && line.back() == '@') {
            const auto part = parts.find(line.substr(1, line.size() - 2));
            if (part == parts.end()) {
                error = "no part for " + line;
                return "";
            }
            filled += part->second;
        } else {
            filled += line + "\n";
        }
        start = end + 1;
    }
    return filled;
}

}  // namespace segweld::cli
