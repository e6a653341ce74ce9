#pragma once

#include <cstdio>

namespace segweld {

// Every mode's usage line, and where to find more.
void PrintUsage(std::FILE* out);
// --help after an option that chooses a mode: that mode's usage and options.
void PrintHelp(std::FILE* out, int mode);
void PrintVersion(std::FILE* out);

}  // namespace segweld
