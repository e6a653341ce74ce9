#pragma once

#include <string>

namespace segweld {

// The path of the module `fileName` that the program loads on demand (the
// dialog, the GeoTIFF writer): in the installed layout's private folder,
// relative to the program's folder, or else beside the program, as in the
// build tree. Empty when neither holds it.
std::string FindProgramModule(const std::string& fileName);

}  // namespace segweld
