#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/folders.h"
#include "station/product_scan.h"

namespace segweld::station {

// The joined outputs of output folders by the product they may belong to,
// each folder listed once, by name only, when first asked about. So a run can
// find a product's output, and see from its record that it is up to date,
// without opening a single segment file. Any thread may ask. The listing
// also removes the records kept beside outputs that are gone.
class OutputIndex {
  public:
    // The paths in `outputFolder` named as a join of the product whose
    // masked name is `maskedName` may name its output: the name of one of its
    // segments, lower-cased, a dot and four characters.
    std::vector<std::string> Candidates(const std::string& outputFolder,
                                        const std::string& maskedName);

    // The output of `product` in `outputFolder` that holds what `making`
    // would make of it now, as its record tells; nullopt when there is none.
    std::optional<std::string> UpToDateOutput(const Product& product,
                                              const std::string& outputFolder,
                                              const std::string& making);

  private:
    using Folder = std::map<std::string, std::vector<std::string>>;  // by masked stem

    const Folder& Listed(const std::string& outputFolder);
    static void RemoveOrphanSidecars(const std::string& outputFolder,
                                     const os::FolderListing& listing,
                                     const std::set<std::string>& names);

    std::mutex mutex_;
    std::map<std::string, Folder> folders_;
};

}  // namespace segweld::station
