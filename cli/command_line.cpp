// The arguments are taken apart by getopt_long, from the C library (glibc on
// Linux, the MinGW-w64 runtime on Windows): it is the parser behind the GNU
// conventions that users type by habit (--name=value, -j2, clustered short
// options, -- ending the options), it needs no other package on either
// platform, and its struct option rows map one to one onto the option table.
// The table stays the one source: help, man page, completion and the
// configuration file are written from it, not from getopt. getopt keeps its
// state in process-wide variables, so it runs only while the program starts;
// the configuration file is read again (on SIGHUP) without it.
//
// Where getopt is more lenient than the table, the table wins: long options
// are taken only under their full names (getopt would take any unambiguous
// abbreviation, which a later option could make ambiguous and so break a
// script), and every diagnosis is made from the table rather than from
// getopt's return codes, which differ between the two C libraries.
#include "cli/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <iterator>
#include <map>

namespace segweld::cli {
namespace {

constexpr int kLongOnlyBase = 256;  // getopt's codes of options without a short name

struct GetoptView {
    std::string shortOptions = "-:";  // '-': paths come back in order; ':': no messages
    std::vector<option> longOptions;
    std::map<int, size_t> rowOfCode;
};

GetoptView ViewFor(const ProgramSpec& program) {
    GetoptView view;
    for (size_t row = 0; row < program.options.size(); ++row) {
        const OptionSpec& spec = *program.options[row];
        const bool takesValue = spec.value != nullptr && !spec.rest;
        const int code =
            spec.shortName != 0 ? spec.shortName : kLongOnlyBase + static_cast<int>(row);
        view.longOptions.push_back(
            option{spec.name, takesValue ? required_argument : no_argument, nullptr, code});
        if (spec.shortName != 0) {
            view.shortOptions += spec.shortName;
            view.shortOptions += takesValue ? ":" : "";
        }
        view.rowOfCode[code] = row;
    }
    view.longOptions.push_back(option{nullptr, 0, nullptr, 0});
    return view;
}

// "--jobs" of "--jobs=2".
std::string NamePart(const std::string& argument) {
    return argument.substr(0, argument.find('='));
}

const OptionSpec* FindLong(const ProgramSpec& program, const std::string& name) {
    for (const OptionSpec* spec : program.options) {
        if (LongName(*spec) == name) {
            return spec;
        }
    }
    return nullptr;
}

const OptionSpec* FindShort(const ProgramSpec& program, char shortName) {
    for (const OptionSpec* spec : program.options) {
        if (spec->shortName != 0 && spec->shortName == shortName) {
            return spec;
        }
    }
    return nullptr;
}

std::string RestText(const OptionSpec& spec) {
    return LongName(spec) + " takes the rest of the line: " + LongName(spec) + " " + spec.value;
}

// Why getopt refused the option that begins `element` (or, for a short
// option, its character `code` inside it).
std::string Diagnose(const ProgramSpec& program, const std::string& element, int code) {
    if (element.starts_with("--")) {
        const std::string name = NamePart(element);
        const OptionSpec* spec = FindLong(program, name);
        if (spec == nullptr) {
            return "unknown option '" + name + "'";
        }
        if (spec->rest) {
            return RestText(*spec);
        }
        return spec->value == nullptr ? name + " takes no value" : name + " needs " + spec->rule;
    }
    const std::string shortName = std::string("-") + static_cast<char>(code);
    const OptionSpec* spec =
        code > 0 && code < 256 ? FindShort(program, static_cast<char>(code)) : nullptr;
    if (spec == nullptr) {
        return "unknown option '" + shortName + "'" +
               (element == shortName ? "" : " in '" + element + "'");
    }
    return shortName + " needs " + spec->rule;
}

// Where the rest option stands, if it is given before any "--".
size_t RestStart(const ProgramSpec& program, const std::vector<std::string>& arguments,
                 size_t& row) {
    for (size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i) {
        for (row = 0; row < program.options.size(); ++row) {
            if (program.options[row]->rest && arguments[i] == LongName(*program.options[row])) {
                return i;
            }
        }
    }
    return arguments.size();
}

}  // namespace

Tokens Tokenize(const ProgramSpec& program, const std::vector<std::string>& arguments) {
    Tokens tokens;
    size_t restRow = 0;
    const size_t restAt = RestStart(program, arguments, restRow);
    std::vector<std::string> own(arguments.begin(),
                                 arguments.begin() + static_cast<std::ptrdiff_t>(restAt));
    own.insert(own.begin(), program.name);
    std::vector<char*> argv;
    for (std::string& argument : own) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(own.size());

    const GetoptView view = ViewFor(program);
    opterr = 0;
    optind = 0;  // starts getopt afresh, in both C libraries
    for (;;) {
        const int before = std::max(optind, 1);
        int longIndex = -1;
        const int code = getopt_long(argc, argv.data(), view.shortOptions.c_str(),
                                     view.longOptions.data(), &longIndex);
        if (code == -1) {
            break;
        }
        const std::string element = before < argc ? own[static_cast<size_t>(before)] : "";
        if (code == 1) {
            tokens.paths.emplace_back(optarg);
            continue;
        }
        const auto row = view.rowOfCode.find(code);
        if (code == '?' || code == ':' || row == view.rowOfCode.end()) {
            tokens.problems.push_back({Diagnose(program, element, optopt), tokens.paths.size()});
            continue;
        }
        const OptionSpec& spec = *program.options[row->second];
        const bool isLong = longIndex >= 0;
        if (isLong && NamePart(element) != LongName(spec)) {
            tokens.problems.push_back({"unknown option '" + NamePart(element) + "' (did you mean " +
                                           LongName(spec) + "?)",
                                       tokens.paths.size()});
            continue;
        }
        if (spec.rest) {
            tokens.problems.push_back({RestText(spec), tokens.paths.size()});
            continue;
        }
        Given given{row->second,
                    isLong ? LongName(spec) : std::string("-") + spec.shortName,
                    {},
                    tokens.paths.size(),
                    ""};
        if (spec.value != nullptr) {
            given.words.emplace_back(optarg != nullptr ? optarg : "");
        }
        tokens.given.push_back(std::move(given));
    }
    for (int i = optind; i < argc; ++i) {  // after "--"
        tokens.paths.push_back(own[static_cast<size_t>(i)]);
    }
    if (restAt < arguments.size()) {
        tokens.given.push_back(
            {restRow,
             arguments[restAt],
             {arguments.begin() + static_cast<std::ptrdiff_t>(restAt) + 1, arguments.end()},
             tokens.paths.size(),
             ""});
    }
    return tokens;
}

std::string WrongModeText(const ProgramSpec& program, const std::string& spelling,
                          const OptionSpec& option, int mode) {
    if ((option.modes & ModeBit(0)) == 0) {
        return spelling + " belongs to " + ModeTitles(program, option.modes, "and");
    }
    return spelling + " does not go with " + program.modes[static_cast<size_t>(mode)].title;
}

Checked CheckTokens(const ProgramSpec& program, const Tokens& tokens, size_t lenientAfterPaths) {
    Checked checked;
    const auto fail = [&](const std::string& error) {
        if (checked.error.empty()) {
            checked.error = error;
        }
    };
    const OptionSpec* chooser = nullptr;
    // Those that yield choose only where nothing else does.
    for (const bool yielding : {false, true}) {
        for (const Given& given : tokens.given) {
            const OptionSpec& spec = *program.options[given.option];
            if (spec.selects < 0 || spec.selects == checked.mode || spec.yields != yielding ||
                (yielding && chooser != nullptr)) {
                continue;
            }
            if (chooser != nullptr) {
                fail(LongName(*chooser) + " and " + LongName(spec) + " cannot be combined");
            }
            chooser = &spec;
            checked.mode = spec.selects;
        }
    }
    const bool lenient = checked.mode == 0;
    const auto refuse = [&](const std::string& why, size_t pathsBefore) {
        if (lenient && pathsBefore >= lenientAfterPaths) {
            checked.warnings.push_back(why + "; ignored");
        } else {
            fail(why);
        }
    };
    for (const Problem& problem : tokens.problems) {
        refuse(problem.text, problem.pathsBefore);
    }
    for (const Given& given : tokens.given) {
        const OptionSpec& spec = *program.options[given.option];
        if ((spec.modes & ModeBit(checked.mode)) != 0) {
            checked.accepted.push_back(given);
        } else {
            refuse(WrongModeText(program, given.spelling, spec, checked.mode), given.pathsBefore);
        }
    }
    for (const Given& given : checked.accepted) {
        const OptionSpec& spec = *program.options[given.option];
        const bool empty = spec.value != nullptr && (given.words.empty() || given.words[0].empty());
        if (empty) {
            fail(given.spelling + " needs " + spec.rule);
        }
    }
    return checked;
}

std::vector<Given> AnswersAtOnce(const ProgramSpec& program, const Tokens& tokens) {
    std::vector<Given> answers;
    if (tokens.problems.empty()) {
        std::copy_if(
            tokens.given.begin(), tokens.given.end(), std::back_inserter(answers),
            [&](const Given& given) { return program.options[given.option]->answersAtOnce; });
    }
    return answers;
}

std::string HelpHint(const ProgramSpec& program, int mode) {
    const OptionSpec* selector = Selector(program, mode);
    return std::string("Try '") + program.name + " " +
           (selector != nullptr ? LongName(*selector) + " " : "") + "--help' for more information.";
}

}  // namespace segweld::cli
