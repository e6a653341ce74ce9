#include "join/joined_output.h"

#include "join/output_name.h"

namespace segweld {

std::unique_ptr<os::HiddenOutput> OpenJoinedOutput(const std::string& segmentName,
                                                   const std::string& outputFolder,
                                                   std::span<const uint8_t> firstBytes) {
    const std::string name = OutputName(segmentName, OutputKind::Joined, firstBytes);
    return std::make_unique<os::HiddenOutput>(JoinedOutputPath(outputFolder, name));
}

}  // namespace segweld
