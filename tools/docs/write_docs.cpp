// write_docs: writes the parts of the documents that come from the option
// tables, at build time, so that they cannot drift from the parsers.
//
//   write_docs man PROGRAM TEMPLATE.scd OUTPUT.scd   fills @SYNOPSIS@,
//       @OPTIONS@ and @CONFIG_KEYS@ lines of the man page's source
//   write_docs bash PROGRAM OUTPUT                    the bash completion
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/segweld_options.h"
#include "cli/bash_completion.h"
#include "cli/manual_text.h"
#include "tools/info/info_options.h"

namespace {

const segweld::cli::ProgramSpec* ProgramNamed(const std::string& name) {
    if (name == "segweld") {
        return &segweld::SegweldProgram();
    }
    if (name == "segweld-info") {
        return &segweld::info::InfoProgram();
    }
    return nullptr;
}

std::map<std::string, std::string> ManualParts(const segweld::cli::ProgramSpec& program) {
    std::map<std::string, std::string> parts = {
        {"SYNOPSIS", segweld::cli::ManualSynopsis(program)},
        {"OPTIONS", segweld::cli::ManualOptions(program)},
    };
    if (&program == &segweld::SegweldProgram()) {
        parts["CONFIG_KEYS"] = segweld::cli::ManualConfigKeys(program, segweld::kWatchMode,
                                                              segweld::WatchFolderKeys());
    }
    return parts;
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "write_docs: cannot write %s\n", path.c_str());
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 2 ? argv[1] : "";
    const segweld::cli::ProgramSpec* program = argc > 2 ? ProgramNamed(argv[2]) : nullptr;
    if (program != nullptr && kind == "bash" && argc == 4) {
        return Write(argv[3], segweld::cli::BashCompletion(*program)) ? 0 : 1;
    }
    if (program == nullptr || kind != "man" || argc != 5) {
        std::fputs(
            "Usage: write_docs man PROGRAM TEMPLATE.scd OUTPUT.scd\n"
            "       write_docs bash PROGRAM OUTPUT\n",
            stderr);
        return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "write_docs: cannot read %s\n", argv[3]);
        return 1;
    }
    std::string error;
    const std::string filled = segweld::cli::FillTemplate(text.str(), ManualParts(*program), error);
    if (!error.empty()) {
        std::fprintf(stderr, "write_docs: %s: %s\n", argv[3], error.c_str());
        return 1;
    }
    return Write(argv[4], filled) ? 0 : 1;
}
