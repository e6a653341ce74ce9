#pragma once

#include <optional>
#include <string>
#include <vector>

namespace segweld::station {

// The folders and segment files that --from-list names, one per line ('-'
// for standard input), as paths relative to `inputFolder` with '/' between
// folders. Lines may name them relative to `inputFolder` or by a path that
// begins with it; blank lines and lines that begin with '#' are passed over.
// Nullopt with `error` set when the list cannot be read or names a path
// outside `inputFolder`.
std::optional<std::vector<std::string>> ReadStartList(const std::string& listPath,
                                                      const std::string& inputFolder,
                                                      std::string& error);

}  // namespace segweld::station
