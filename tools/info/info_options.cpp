#include "tools/info/info_options.h"

namespace segweld::info {
namespace {

constexpr const char* kPreviewOption = "--preview";

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

// --help and --version answer at once, whatever else the line holds.
bool AnswersAtOnce(InfoMode mode) {
    return mode == InfoMode::Help || mode == InfoMode::Version;
}

void SetMode(InfoOptions& options, InfoMode mode) {
    if (AnswersAtOnce(options.mode)) {
        return;
    }
    if (options.mode != InfoMode::Headers && options.mode != mode) {
        options.error = "--series and --preview cannot be combined";
    }
    options.mode = mode;
}

// Takes one option; `next` is the index of the argument after it, moved on
// when the option takes that argument as its value.
void TakeOption(const std::vector<std::string>& arguments, size_t& next, InfoOptions& options) {
    const std::string& option = arguments[next - 1];
    if (option == "--help" || option == "-h") {
        options.mode = InfoMode::Help;
    } else if (option == "--version") {
        options.mode = InfoMode::Version;
    } else if (option == "--json") {
        options.json = true;
    } else if (option == "--series") {
        SetMode(options, InfoMode::Series);
    } else if (option.starts_with(std::string(kPreviewOption) + "=")) {
        SetMode(options, InfoMode::Preview);
        options.previewPath = option.substr(std::string(kPreviewOption).size() + 1);
    } else if (option == kPreviewOption) {
        SetMode(options, InfoMode::Preview);
        if (next < arguments.size()) {
            options.previewPath = arguments[next++];
        }
    } else {
        options.error = "unknown option '" + option + "'";
    }
}

std::string CheckCombination(const InfoOptions& options) {
    if (options.mode == InfoMode::Preview && options.previewPath.empty()) {
        return "--preview needs the name of the PNG file to write";
    }
    if (options.mode == InfoMode::Preview && options.json) {
        return "--json does not go with --preview";
    }
    if (options.files.empty()) {
        return "no FILE given";
    }
    if (options.mode != InfoMode::Headers && options.files.size() > 1) {
        return std::string(options.mode == InfoMode::Series ? "--series" : kPreviewOption) +
               " takes exactly one FILE";
    }
    return "";
}

}  // namespace

InfoOptions ParseInfoOptions(const std::vector<std::string>& arguments) {
    InfoOptions options;
    bool optionsEnded = false;
    for (size_t next = 0; next < arguments.size() && options.error.empty();) {
        const std::string& argument = arguments[next++];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && IsOption(argument)) {
            TakeOption(arguments, next, options);
        } else {
            options.files.push_back(argument);
        }
    }
    if (AnswersAtOnce(options.mode) || !options.error.empty()) {
        return options;
    }
    options.error = CheckCombination(options);
    return options;
}

}  // namespace segweld::info
