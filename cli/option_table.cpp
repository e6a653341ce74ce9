#include "cli/option_table.h"

namespace segweld::cli {

const OptionSpec* Selector(const ProgramSpec& program, int mode) {
    for (const OptionSpec* spec : program.options) {
        if (spec->selects == mode) {
            return spec;
        }
    }
    return nullptr;
}

std::string ModeTitles(const ProgramSpec& program, ModeSet modes, const char* conjunction) {
    std::vector<std::string> titles;
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        if ((modes & ModeBit(static_cast<int>(mode))) != 0) {
            titles.emplace_back(program.modes[mode].title);
        }
    }
    std::string text;
    for (size_t i = 0; i < titles.size(); ++i) {
        text += (i == 0                   ? ""
                 : i + 1 == titles.size() ? std::string(" ") + conjunction + " "
                                          : ", ");
        text += titles[i];
    }
    return text;
}

bool InEveryMode(const ProgramSpec& program, const OptionSpec& option) {
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        if (!Accepts(option, static_cast<int>(mode))) {
            return false;
        }
    }
    return true;
}

bool Accepts(const OptionSpec& option, int mode) {
    return (option.modes & ModeBit(mode)) != 0 || (option.selects >= 0 && mode == 0);
}

bool InUsageLine(const OptionSpec& option, int mode) {
    const bool chooses = option.selects >= 0 && !(option.yields && option.selects != mode);
    return !option.answersAtOnce && !chooses && (option.modes & ModeBit(mode)) != 0;
}

}  // namespace segweld::cli
