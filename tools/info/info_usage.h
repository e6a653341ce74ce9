#pragma once

#include <cstdio>

namespace segweld::info {

// The --help text of `mode` (0: every mode).
void PrintInfoUsage(std::FILE* out, int mode = 0);

}  // namespace segweld::info
