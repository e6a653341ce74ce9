#pragma once

#include <cstdio>

namespace segweld::info {

void PrintInfoUsage(std::FILE* out);

}  // namespace segweld::info
