#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "join/dissemination_name.h"
#include "station/shard.h"

namespace segweld::station {

// One segment file as a look at it found it.
struct SegmentEntry {
    int32_t number = 0;
    std::string name;
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;  // since 1970
    uint64_t file = 0;                // its number in its file system (inode); 0 unknown
    int64_t changedNanoseconds = 0;   // its change time (ctime), since 1970
};

// The segment files of one product: the files of one folder whose names are
// segment names that are equal once their segment numbers are masked, stored
// as they are or compressed whole (NAME.bz2, NAME.gz, NAME.xz).
struct Product {
    // The folder relative to the scanned one ('/' between folders, empty for
    // the scanned folder itself), a '/' and the masked name. Stable across
    // machines and mount points, so it names the product in reports and shards.
    std::string key;
    std::string relativeFolder;          // as in the key; empty for the scanned folder
    std::string folder;                  // where the files lie, ending in a separator
    std::vector<SegmentEntry> segments;  // by increasing number
    // The prologue (number -1) and epilogue (-2) of its time slot in its
    // folder, when the scan was asked for them: what a GeoTIFF is made from
    // besides the segments.
    std::vector<SegmentEntry> companions;

    // The lowest-numbered file: the one `segweld FILE OUTPUT_FOLDER` is given.
    std::string FirstSegmentPath() const;
    uint64_t TotalBytes() const;
};

// A folder of the tree that could not be scanned.
struct FolderProblem {
    std::string folder;
    std::string error;
    bool gone = false;  // it vanished during the scan (true), or cannot be read
};

// A prologue or epilogue found by a scan for slots.
struct SlotCompanion {
    std::string relativeFolder;  // as a product's
    SegmentEntry entry;          // number kPrologueNumber or kEpilogueNumber
};

// A start of FindListedProducts that names nothing a run could take.
struct EmptyStart {
    size_t index = 0;  // among the starts
    std::string error;
};

struct ProductScan {
    std::vector<Product> products;  // sorted by key
    std::vector<FolderProblem> problems;
    std::vector<SlotCompanion> slotCompanions;  // with ScanScope::slots
    std::vector<EmptyStart> emptyStarts;
};

struct ScanScope {
    bool recursive = false;
    Shard shard;              // only the products whose key it holds are looked at
    bool companions = false;  // also each product's prologue and epilogue
    // Slot gathering: every prologue and epilogue is looked at and listed
    // apart from the products, and a shard holds whole slots: a product of a
    // slot is the shard's when the slot's key is.
    bool slots = false;
};

inline constexpr int32_t kPrologueNumber = -1;
inline constexpr int32_t kEpilogueNumber = -2;

// The name shared by the segments of a time slot and its prologue and
// epilogue: channel and segment fields masked. Empty for other names.
std::string SlotMaskedName(std::string_view name);

// The products in `folder` (and below it with `recursive`) whose key the
// shard holds. The folders are listed by name only; only the files of the
// shard's products are looked at, so a shard's cost grows with its own
// products. A subfolder that vanishes during the scan or cannot be read is a
// problem of its own and the rest is scanned; when `folder` itself cannot be
// listed the problem names it and there are no products.
ProductScan FindProducts(const std::string& folder, const ScanScope& scope);

// The same for the parts of the tree below `folder` that `starts` names, each
// a folder or a segment file relative to it ('/' between folders): a folder
// gives its products (and those below it with `recursive`), a segment file
// the product it belongs to (when the shard holds it), a prologue or
// epilogue nothing. A start that names nothing (no such file or folder, a
// dangling link, a file that is none of these) is an empty start.
ProductScan FindListedProducts(const std::string& folder, const std::vector<std::string>& starts,
                               const ScanScope& scope);

// Looks at every file of `product` again, its companions too; those that
// are gone or are no regular files any more leave it, and of a number stored
// under two names only the one a join takes stays. False when no segment is
// left.
bool LookAtSegments(Product& product);

// Names `product`'s prologue and epilogue among its companions as they may
// be named: with a blank channel field, or with the channel kept, as some
// foreign satellites' are. LookAtSegments drops those that do not exist.
void AddCompanionCandidates(Product& product);

// `folder` with a folder separator at its end, ready to take a file name.
std::string FolderPrefix(const std::string& folder);

// `relative` ('/' between folders) below `root`, with the system's separators.
std::string PathBelow(const std::string& root, const std::string& relative);

}  // namespace segweld::station
