#pragma once

#include <string>

#include "tools/info/header_reading.h"

namespace segweld::info {

// One file of the dump as an aligned table of names and values: texts quoted,
// characters shown as characters or by their code, the time stamp and the
// segment identification spelled out; for a refused header, why.
std::string HeaderTable(const HeaderReading& reading);

}  // namespace segweld::info
