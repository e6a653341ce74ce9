#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "os/file_system.h"

namespace segweld {

// Creates the output file for a join: named by OutputName from the
// segment's file name and the first bytes of the first accepted data field,
// in `outputFolder`. It stays hidden until committed.
std::unique_ptr<os::HiddenOutput> OpenJoinedOutput(const std::string& segmentName,
                                                   const std::string& outputFolder,
                                                   std::span<const uint8_t> firstBytes);

}  // namespace segweld
