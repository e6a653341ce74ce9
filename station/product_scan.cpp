#include "station/product_scan.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>

#include "join/segment_name.h"
#include "os/file_system.h"

namespace segweld::station {
namespace {

namespace fs = std::filesystem;

std::string KeyOf(const fs::path& relativeFolder, std::string_view name) {
    const std::string folder = relativeFolder.generic_string();
    return (folder.empty() || folder == ".") ? MaskedName(name) : folder + "/" + MaskedName(name);
}

// Adds the entry to its product when it is a regular file with a segment name.
void Take(const fs::directory_entry& entry, const fs::path& root,
          std::map<std::string, Product>& products) {
    const std::string name = entry.path().filename().string();
    const int32_t number = SegmentNumberInName(name);
    if (number < 0) {
        return;
    }
    const os::PathInfo info = os::LookAt(entry.path().string());
    if (info.kind != os::PathKind::RegularFile) {
        return;  // gone between the listing and the look, or no file
    }
    SegmentEntry segment;
    segment.number = number;
    segment.name = name;
    segment.size = info.size;
    segment.modifiedNanoseconds = info.modifiedNanoseconds;
    const fs::path relativeFolder = entry.path().parent_path().lexically_relative(root);
    Product& product = products[KeyOf(relativeFolder, name)];
    if (product.segments.empty()) {
        product.key = KeyOf(relativeFolder, name);
        product.folder = FolderPrefix(entry.path().parent_path().string());
    }
    product.segments.push_back(std::move(segment));
}

template <typename Iterator>
void ScanWith(Iterator entries, const fs::path& root, std::map<std::string, Product>& products,
              std::error_code& error) {
    for (; !error && entries != Iterator(); entries.increment(error)) {
        Take(*entries, root, products);
    }
}

}  // namespace

std::string Product::FirstSegmentPath() const {
    return segments.empty() ? std::string() : folder + segments.front().name;
}

uint64_t Product::TotalBytes() const {
    uint64_t total = 0;
    for (const SegmentEntry& segment : segments) {
        total += segment.size;
    }
    return total;
}

int64_t Product::NewestModification() const {
    int64_t newest = std::numeric_limits<int64_t>::min();
    for (const SegmentEntry& segment : segments) {
        newest = std::max(newest, segment.modifiedNanoseconds);
    }
    return newest;
}

std::string FolderPrefix(const std::string& folder) {
    if (folder.empty() || IsFolderSeparator(folder.back())) {
        return folder;
    }
    return folder + kFolderSeparator;
}

std::vector<Product> FindProducts(const std::string& folder, bool recursive, std::string& error) {
    const fs::path root(folder);
    std::map<std::string, Product> byKey;
    std::error_code failure;
    if (recursive) {
        const auto options = fs::directory_options::skip_permission_denied;
        ScanWith(fs::recursive_directory_iterator(root, options, failure), root, byKey, failure);
    } else {
        ScanWith(fs::directory_iterator(root, failure), root, byKey, failure);
    }
    if (failure) {
        error = "cannot read folder " + folder + ": " + failure.message();
        return {};
    }
    std::vector<Product> products;
    products.reserve(byKey.size());
    for (auto& [key, product] : byKey) {
        std::sort(product.segments.begin(), product.segments.end(),
                  [](const SegmentEntry& a, const SegmentEntry& b) { return a.number < b.number; });
        products.push_back(std::move(product));
    }
    return products;
}

}  // namespace segweld::station
