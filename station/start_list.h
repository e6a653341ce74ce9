#pragma once

#include <optional>
#include <string>
#include <vector>

namespace segweld::station {

// One line of a --from-list list.
struct StartEntry {
    std::string path;  // relative to the input folder, '/' between folders
    std::string text;  // as the line gives it
    int line = 0;      // its number in the list, from 1
};

// The folders and segment files that --from-list names, one per line ('-'
// for standard input). Lines may name them relative to `inputFolder` or by a
// path that begins with it; blank lines and lines that begin with '#' are
// passed over. Each path is made lexically plain, without a look at the
// disk: "sub//X", "sub/./X" and "./sub/X/" are "sub/X". Nullopt with `error`
// set when the list cannot be read or names a path outside `inputFolder`
// (a ".." is refused, as a symbolic link may make it lead anywhere).
std::optional<std::vector<StartEntry>> ReadStartList(const std::string& listPath,
                                                     const std::string& inputFolder,
                                                     std::string& error);

}  // namespace segweld::station
