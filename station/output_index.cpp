#include "station/output_index.h"

#include <algorithm>
#include <set>

#include "join/dissemination_name.h"
#include "join/output_name.h"
#include "os/file_system.h"
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
    const os::FolderListing listing = os::ListFolder(outputFolder);
    std::set<std::string> names;
    for (const os::FolderEntry& entry : listing.entries) {
        names.insert(entry.name);
        const std::string stem = MaskedStem(entry.name);
        if (!stem.empty()) {
            folder[stem].push_back(entry.name);
        }
    }
    RemoveOrphanSidecars(outputFolder, listing, names);
    return folder;
}

// A record kept beside an output that is gone would stay forever, and would
// vouch for any file put under the output's name: it goes with the output.
void OutputIndex::RemoveOrphanSidecars(const std::string& outputFolder,
                                       const os::FolderListing& listing,
                                       const std::set<std::string>& names) {
    for (const os::FolderEntry& entry : listing.entries) {
        const std::string output = SidecarOutputName(entry.name);
        if (output.empty() || names.contains(output)) {
            continue;
        }
        // Looked at again: an output that came after the listing keeps it.
        std::string error;
        if (!os::PathExists(JoinedOutputPath(outputFolder, output))) {
            os::RemoveFile(JoinedOutputPath(outputFolder, entry.name), error);
        }
    }
}

}  // namespace segweld::station
