#pragma once

#include <string>
#include <vector>

namespace segweld::station {

// The command of --then for one output: every "{}" in every argument is
// replaced by `outputPath`.
std::vector<std::string> ThenArguments(const std::vector<std::string>& command,
                                       const std::string& outputPath);

// Runs the command for `outputPath` and says for the log how it ended.
std::string RunThenCommand(const std::vector<std::string>& command, const std::string& outputPath);

}  // namespace segweld::station
