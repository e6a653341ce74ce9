#pragma once

#include <string>

namespace segweld {

// Why the file a person picked cannot start a join, naming the file: it is a
// folder, a product's prologue or epilogue, or its name is not a segment
// file's name. Empty when it names a segment file of a product.
// Names are read as DisseminationName reads them.
std::string WhyNotASegmentFile(const std::string& path);

}  // namespace segweld
