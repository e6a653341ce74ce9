#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "join/dissemination_name.h"

namespace segweld::station {

// One segment file as a folder listing saw it.
struct SegmentEntry {
    int32_t number = 0;
    std::string name;
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;  // since 1970
};

// The segment files of one product: the files of one folder whose names are
// equal once their segment numbers are masked.
struct Product {
    // The folder relative to the scanned one ('/' between folders, empty for
    // the scanned folder itself), a '/' and the masked name. Stable across
    // machines and mount points, so it names the product in reports and shards.
    std::string key;
    std::string folder;                  // where the files lie, ending in a separator
    std::vector<SegmentEntry> segments;  // by increasing number

    // The lowest-numbered file: the one `segweld FILE OUTPUT_FOLDER` is given.
    std::string FirstSegmentPath() const;
    uint64_t TotalBytes() const;
    int64_t NewestModification() const;
};

// `folder` with a folder separator at its end, ready to take a file name.
std::string FolderPrefix(const std::string& folder);

// Every product in `folder` (and in its subfolders with `recursive`), sorted
// by key. Unreadable subfolders are passed over; `error` says why the folder
// itself could not be read, and the result is then empty.
std::vector<Product> FindProducts(const std::string& folder, bool recursive, std::string& error);

}  // namespace segweld::station
