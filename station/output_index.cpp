#include "station/output_index.h"

#include <algorithm>

#include "join/dissemination_name.h"
#include "join/output_name.h"
#include "os/folders.h"
#include "station/output_record.h"

namespace segweld::station {
namespace {

// The masked, lower-cased segment name an output's name begins with; empty
// for a name that is no output of a product.
std::string MaskedStem(const std::string& outputName) {
    const std::string stem = OutputNamingStem(outputName);
    if (stem.size() != DisseminationName::kLength) {
        return "";
    }
    const std::string masked = MaskedName(stem);
    return masked.find('?') == std::string::npos ? "" : masked;
}

}  // namespace

std::vector<std::string> OutputIndex::Candidates(const std::string& outputFolder,
                                                 const std::string& maskedName) {
    const Folder& folder = Listed(outputFolder);
    const auto found = folder.find(LowerAscii(maskedName));
    if (found == folder.end()) {
        return {};
    }
    std::vector<std::string> paths;
    for (const std::string& name : found->second) {
        paths.push_back(JoinedOutputPath(outputFolder, name));
    }
    return paths;
}

std::optional<std::string> OutputIndex::UpToDateOutput(const Product& product,
                                                       const std::string& outputFolder,
                                                       const std::string& making) {
    const std::string maskedName = MaskedName(product.segments.front().name);
    for (const std::string& path : Candidates(outputFolder, maskedName)) {
        if (IsUpToDate(product, path, making)) {
            return path;
        }
    }
    return std::nullopt;
}

const OutputIndex::Folder& OutputIndex::Listed(const std::string& outputFolder) {
    std::lock_guard lock(mutex_);
    const auto known = folders_.find(outputFolder);
    if (known != folders_.end()) {
        return known->second;
    }
    Folder& folder = folders_[outputFolder];
    for (const os::FolderEntry& entry : os::ListFolder(outputFolder).entries) {
        const std::string stem = MaskedStem(entry.name);
        if (!stem.empty()) {
            folder[stem].push_back(entry.name);
        }
    }
    return folder;
}

}  // namespace segweld::station
