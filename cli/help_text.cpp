#include "cli/help_text.h"

#include <algorithm>

#include "cli/command_line.h"
#include "cli/text_wrap.h"

namespace segweld::cli {
namespace {

constexpr size_t kWidth = 79;
constexpr size_t kTextColumn = 24;

std::string Bracketed(const OptionSpec& option) {
    const std::string name =
        option.shortName != 0 ? std::string("-") + option.shortName : LongName(option);
    return "[" + name + (option.value != nullptr ? std::string(" ") + option.value : "") + "]";
}

// The items of a usage line, each kept whole when the line is wrapped.
std::vector<std::string> UsageItems(const ProgramSpec& program, int mode) {
    std::vector<std::string> items = {program.name};
    if (const OptionSpec* selector = Selector(program, mode)) {
        items.push_back(LongName(*selector) +
                        (selector->value != nullptr ? std::string(" ") + selector->value : ""));
    }
    for (const OptionSpec* option : program.options) {
        if (InUsageLine(*option, mode) && !option->rest) {
            items.push_back(Bracketed(*option));
        }
    }
    const ModeSpec& spec = program.modes[static_cast<size_t>(mode)];
    for (size_t i = 0; i < spec.paths.size(); ++i) {
        items.push_back(std::string(spec.paths[i]) +
                        (spec.morePaths && i + 1 == spec.paths.size() ? "..." : ""));
    }
    for (const OptionSpec* option : program.options) {
        if (InUsageLine(*option, mode) && option->rest) {
            items.push_back(Bracketed(*option));
        }
    }
    return items;
}

// Joins the items into lines of kWidth at most, later lines indented to
// stand under the second item.
std::string WrapItems(const std::vector<std::string>& items, size_t firstIndent) {
    const size_t indent = firstIndent + items.front().size() + 1;
    std::string text = items.front();
    size_t column = indent;
    for (size_t i = 1; i < items.size(); ++i) {
        if (column + items[i].size() + 1 > kWidth && column > indent) {
            text += "\n" + std::string(indent, ' ');
            column = indent;
        } else {
            text += ' ';
            ++column;
        }
        text += items[i];
        column += items[i].size();
    }
    return text;
}

std::string OptionLabel(const OptionSpec& option) {
    std::string label =
        option.shortName != 0 ? std::string("  -") + option.shortName + ", " : std::string(6, ' ');
    label += LongName(option);
    if (option.value != nullptr) {
        label += (option.rest ? " " : "=") + std::string(option.value);
    }
    return label;
}

std::string OptionLines(const ProgramSpec& program, const OptionSpec& option, bool markModes) {
    std::string text = option.help;
    if (markModes && option.selects < 0 && !InEveryMode(program, option)) {
        text += " (with " + ModeTitles(program, option.modes, "or") + ")";
    }
    std::string label = OptionLabel(option);
    std::string lines;
    if (label.size() + 2 > kTextColumn) {
        lines += label + "\n";
        label.clear();
    }
    for (const std::string& line : WrapWords(text, kWidth - kTextColumn)) {
        lines += label + std::string(kTextColumn - label.size(), ' ') + line + "\n";
        label.clear();
    }
    return lines;
}

// Wrapped text; a blank line in `text` separates paragraphs.
std::string Paragraphs(const std::string& text) {
    std::string lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find("\n\n", start), text.size());
        lines += lines.empty() ? "" : "\n";
        for (const std::string& line : WrapWords(text.substr(start, end - start), kWidth)) {
            lines += line + "\n";
        }
        start = end + 2;
    }
    return lines;
}

}  // namespace

std::string UsageText(const ProgramSpec& program, int mode) {
    const bool whole = mode == 0;
    const std::string first = "Usage: ";
    const std::string later(first.size(), ' ');
    std::string text;
    for (size_t m = 0; m < program.modes.size(); ++m) {
        if (whole || static_cast<int>(m) == mode) {
            text += (text.empty() ? first : later) +
                    WrapItems(UsageItems(program, static_cast<int>(m)), first.size()) + "\n";
        }
    }
    if (whole) {
        for (const char* line : program.moreUsage) {
            text += later + line + "\n";
        }
    }
    return text;
}

std::string HelpText(const ProgramSpec& program, int mode) {
    const bool whole = mode == 0;
    std::string text = UsageText(program, mode);
    const ModeSpec& spec = program.modes[static_cast<size_t>(mode)];
    text += "\n" + Paragraphs(whole ? program.description : spec.summary);
    text += "\nOptions:\n";
    for (const OptionSpec* option : program.options) {
        if (Accepts(*option, mode) || whole) {
            text += OptionLines(program, *option, whole);
        }
    }
    const char* exitStatus =
        !whole && spec.exitStatus != nullptr ? spec.exitStatus : program.exitStatus;
    text += "\n" + Paragraphs(exitStatus);
    return text;
}

}  // namespace segweld::cli
