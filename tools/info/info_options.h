#pragma once

#include <string>
#include <vector>

#include "cli/option_table.h"

namespace segweld::info {

enum class InfoMode { Headers, Series, Preview, Help, Version };

// What the command line asks for.
struct InfoOptions {
    InfoMode mode = InfoMode::Headers;
    int tableMode = 0;  // the mode in the option table's terms, for --help and its hint
    bool json = false;
    std::string previewPath;  // the PNG file to write, for Preview
    std::vector<std::string> files;
    std::string error;  // why the arguments are unusable; empty when they are fine
};

// Reads the arguments after the program name.
InfoOptions ParseInfoOptions(const std::vector<std::string>& arguments);

// segweld-info's option table as its documents see it.
const cli::ProgramSpec& InfoProgram();

}  // namespace segweld::info
