#pragma once

#include <cstdio>

namespace segweld {

void PrintUsage(std::FILE* out);
void PrintVersion(std::FILE* out);

}  // namespace segweld
