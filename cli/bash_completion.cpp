#include "cli/bash_completion.h"

#include "cli/command_line.h"

namespace segweld::cli {
namespace {

std::string Names(const OptionSpec& option) {
    return (option.shortName != 0 ? std::string("-") + option.shortName + " " : "") +
           LongName(option);
}

std::string Pattern(const OptionSpec& option) {
    return (option.shortName != 0 ? std::string("-") + option.shortName + " | " : "") +
           LongName(option);
}

std::string CompleteCommand(Completion kind, const char* extension) {
    switch (kind) {
        case Completion::File:
            return extension != nullptr ? std::string("_filedir ") + extension : "_filedir";
        case Completion::Folder:
            return "_filedir -d";
        case Completion::Count:
            return "COMPREPLY=($(compgen -W \"$(seq 1 \"$(nproc 2>/dev/null || echo 4)\")\" -- "
                   "\"$cur\"))";
        case Completion::Command:
            return "COMPREPLY=($(compgen -c -- \"$cur\"))";
        case Completion::Nothing:
            break;
    }
    return "return";
}

std::string FunctionName(const ProgramSpec& program) {
    std::string name = std::string("_") + program.name;
    for (char& c : name) {
        c = c == '-' ? '_' : c;
    }
    return name;
}

// The loop over the words before the one completed: the mode, where "--"
// ends the options, and a rest option that hands the line to a command.
std::string ScanWords(const ProgramSpec& program) {
    std::string text =
        "    local i mode=0 optionsEnd=$cword\n"
        "    for ((i = 1; i < cword; i++)); do\n"
        "        case ${words[i]} in\n"
        "            --)\n"
        "                optionsEnd=$i\n"
        "                break\n"
        "                ;;\n";
    for (const OptionSpec* option : program.options) {
        if (option->rest) {
            text += "            " + LongName(*option) +
                    ")\n"
                    "                _command_offset $((i + 1))\n"
                    "                return\n"
                    "                ;;\n";
        } else if (option->selects >= 0 && option->yields) {
            text += "            " + LongName(*option) +
                    ") [ \"$mode\" = 0 ] && mode=" + std::to_string(option->selects) + " ;;\n";
        } else if (option->selects >= 0) {
            text += "            " + LongName(*option) +
                    ") mode=" + std::to_string(option->selects) + " ;;\n";
        }
    }
    return text + "        esac\n    done\n";
}

std::string CompleteValues(const ProgramSpec& program) {
    std::string text = "        case $prev in\n";
    for (const OptionSpec* option : program.options) {
        if (option->value != nullptr && !option->rest) {
            const std::string complete =
                option->completion == Completion::Nothing
                    ? ""
                    : CompleteCommand(option->completion, option->extension) + "\n                ";
            text += "            " + Pattern(*option) + ")\n                " + complete +
                    "return\n                ;;\n";
        }
    }
    return text + "        esac\n        $split && return\n";
}

std::string CompleteOptions(const ProgramSpec& program) {
    std::string text =
        "        if [[ $cur == -* ]]; then\n"
        "            local options\n"
        "            case $mode in\n";
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        std::string names;
        for (const OptionSpec* option : program.options) {
            if (Accepts(*option, static_cast<int>(mode))) {
                names += (names.empty() ? "" : " ") + Names(*option);
            }
        }
        text += "                " + std::to_string(mode) + ") options=\"" + names + "\" ;;\n";
    }
    return text +
           "            esac\n"
           "            COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "            return\n"
           "        fi\n";
}

// Counts the paths before the word completed, stepping over option values.
std::string CountPaths(const ProgramSpec& program) {
    std::string valued;
    for (const OptionSpec* option : program.options) {
        if (option->value != nullptr && !option->rest) {
            valued += (valued.empty() ? "" : " | ") + Pattern(*option);
        }
    }
    return "    local paths=0\n"
           "    for ((i = 1; i < cword; i++)); do\n"
           "        if ((i > optionsEnd)); then\n"
           "            ((paths++))\n"
           "            continue\n"
           "        fi\n"
           "        case ${words[i]} in\n"
           "            " +
           valued +
           ") ((i++)) ;;\n"
           "            -?*) ;;\n"
           "            *) ((paths++)) ;;\n"
           "        esac\n"
           "    done\n";
}

std::string CompletePaths(const ProgramSpec& program) {
    std::string text = "    case $mode:$paths in\n";
    for (size_t mode = 0; mode < program.modes.size(); ++mode) {
        const ModeSpec& spec = program.modes[mode];
        for (size_t i = 0; i < spec.pathCompletion.size(); ++i) {
            const bool last = i + 1 == spec.pathCompletion.size();
            text += "        " + std::to_string(mode) + ":" +
                    (last && spec.morePaths ? std::string("*") : std::to_string(i)) + ") " +
                    CompleteCommand(spec.pathCompletion[i], nullptr) + " ;;\n";
        }
    }
    return text + "    esac\n";
}

}  // namespace

std::string BashCompletion(const ProgramSpec& program) {
    const std::string function = FunctionName(program);
    return std::string("# bash completion for ") + program.name +
           ", written from its option table\n"
           "\n" +
           function +
           "() {\n"
           "    local cur prev words cword split\n"
           "    _init_completion -s || return\n"
           "\n" +
           ScanWords(program) +
           "\n"
           "    if ((optionsEnd == cword)); then\n" +
           CompleteValues(program) + CompleteOptions(program) +
           "    fi\n"
           "\n" +
           CountPaths(program) + CompletePaths(program) + "} && complete -F " + function + " " +
           program.name + "\n";
}

}  // namespace segweld::cli
