#include "station/product_scan.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/folders.h"
#include "station/slot_key.h"
#include "unpack/compression.h"

namespace segweld::station {
namespace {

std::string KeyOf(const std::string& relativeFolder, std::string_view name) {
    return relativeFolder.empty() ? MaskedName(name) : relativeFolder + "/" + MaskedName(name);
}

std::string Below(const std::string& relativeFolder, const std::string& name) {
    return relativeFolder.empty() ? name : relativeFolder + "/" + name;
}

// The folder part of `relativePath` ('/' between folders); empty for none.
std::string Parent(const std::string& relativePath) {
    const size_t slash = relativePath.rfind('/');
    return slash == std::string::npos ? std::string() : relativePath.substr(0, slash);
}

bool IsCompanion(const std::string& name) {
    const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
    return parsed && (parsed->kind() == DisseminationName::Kind::Prologue ||
                      parsed->kind() == DisseminationName::Kind::Epilogue);
}

// A file stored plain, then compressed, as the join takes it.
std::array<std::string_view, 1 + unpack::kCompressions.size()> StoredSuffixes() {
    std::array<std::string_view, 1 + unpack::kCompressions.size()> suffixes{};
    for (size_t i = 0; i < unpack::kCompressions.size(); ++i) {
        suffixes[i + 1] = unpack::SuffixOf(unpack::kCompressions[i]);
    }
    return suffixes;
}

bool IsFolderEntry(const os::FolderEntry& entry, const std::string& path) {
    if (entry.type == os::EntryType::Unknown) {
        return os::LookAt(path).kind == os::PathKind::Folder;
    }
    return entry.type == os::EntryType::Folder;
}

// Collects products by key from folder listings, names only.
class Scanner {
  public:
    Scanner(const std::string& root, const ScanScope& scope) : root_(root), scope_(scope) {}

    void ScanFolder(const std::string& relative) {
        const std::string path = PathBelow(root_, relative);
        const os::FolderListing listing = List(path);
        for (const os::FolderEntry& entry : listing.entries) {
            const int32_t number = SegmentNumberInName(entry.name);
            if (number >= 0 && entry.type != os::EntryType::Folder) {
                Take(relative, entry.name, number);
            } else if ((scope_.companions || scope_.slots) && entry.type != os::EntryType::Folder &&
                       TakeCompanion(relative, entry.name)) {
                continue;
            } else if (scope_.recursive && number < 0 &&
                       IsFolderEntry(entry, FolderPrefix(path) + entry.name)) {
                ScanFolder(Below(relative, entry.name));
            }
        }
    }

    // A segment file named relative to the root: its product.
    void TakeFile(const std::string& relativePath) {
        const std::string relative = Parent(relativePath);
        const std::string name = relativePath.substr(relativePath.rfind('/') + 1);
        const std::string key = KeyOf(relative, name);
        if (SegmentNumberInName(name) < 0 || !Holds(relative, name, key) || listed_.contains(key)) {
            return;
        }
        listed_.insert(key);
        const os::FolderListing listing = List(PathBelow(root_, relative));
        for (const os::FolderEntry& entry : listing.entries) {
            const int32_t number = SegmentNumberInName(entry.name);
            if (number >= 0 && KeyOf(relative, entry.name) == key) {
                Take(relative, entry.name, number);
            }
        }
    }

    // A start of a list: a folder, a segment file, or a prologue or
    // epilogue, which names no product of its own.
    void TakeStart(size_t index, const std::string& start) {
        const os::PathInfo info = os::LookAt(PathBelow(root_, start));
        const std::string name = start.substr(start.rfind('/') + 1);
        switch (info.kind) {
            case os::PathKind::Folder:
                ScanFolder(start);
                return;
            case os::PathKind::Missing:
            case os::PathKind::DanglingLink:
                if (SegmentNumberInName(name) < 0 ||
                    Holds(Parent(start), name, KeyOf(Parent(start), name))) {
                    scan_.emptyStarts.push_back(
                        {index, info.kind == os::PathKind::Missing
                                    ? "no file or folder has that name"
                                    : "a symbolic link whose target does not exist"});
                }
                return;
            case os::PathKind::RegularFile:
                if (SegmentNumberInName(name) < 0 && !IsCompanion(name)) {
                    scan_.emptyStarts.push_back(
                        {index,
                         "the file is no segment file: its name is none of the "
                         "dissemination convention"});
                    return;
                }
                break;
            case os::PathKind::Other:
            case os::PathKind::LinkLoop:
                scan_.emptyStarts.push_back({index, "it is neither a file nor a folder"});
                return;
            case os::PathKind::Inaccessible:  // a folder on its way that cannot be searched
                scan_.problems.push_back({PathBelow(root_, start), info.error, false});
                return;
        }
        TakeFile(start);
    }

    ProductScan Finish() {
        for (auto& [key, product] : byKey_) {
            AttachCompanions(product);
            // A file met twice (listed, and in a listed folder) counts once.
            std::sort(product.segments.begin(), product.segments.end(),
                      [](const SegmentEntry& a, const SegmentEntry& b) { return a.name < b.name; });
            product.segments.erase(std::unique(product.segments.begin(), product.segments.end(),
                                               [](const SegmentEntry& a, const SegmentEntry& b) {
                                                   return a.name == b.name;
                                               }),
                                   product.segments.end());
            if (LookAtSegments(product)) {
                scan_.products.push_back(std::move(product));
            }
        }
        return std::move(scan_);
    }

  private:
    bool TakeCompanion(const std::string& relative, const std::string& name) {
        const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
        if (!parsed || (parsed->kind() != DisseminationName::Kind::Prologue &&
                        parsed->kind() != DisseminationName::Kind::Epilogue)) {
            return false;
        }
        const int32_t number =
            parsed->kind() == DisseminationName::Kind::Prologue ? kPrologueNumber : kEpilogueNumber;
        if (scope_.companions) {
            companions_[relative + "/" + SlotMaskedName(name)].push_back({number, name, 0, 0, 0});
        }
        if (scope_.slots) {
            const os::PathInfo info = os::LookAt(FolderPrefix(PathBelow(root_, relative)) + name);
            if (info.kind == os::PathKind::RegularFile && Holds(relative, name, "")) {
                scan_.slotCompanions.push_back(
                    {relative,
                     {number, name, info.size, info.modifiedNanoseconds, info.identity.file}});
            }
        }
        return true;
    }

    void AttachCompanions(Product& product) {
        const auto found = companions_.find(product.relativeFolder + "/" +
                                            SlotMaskedName(product.segments.front().name));
        if (found != companions_.end()) {
            product.companions = found->second;
        }
    }

    // Whether the shard holds the file `name` of product `key` (empty for a
    // prologue or epilogue): by its slot with --slots, else by its product.
    bool Holds(const std::string& relative, const std::string& name, const std::string& key) const {
        if (scope_.shard.count == 1) {
            return true;
        }
        if (scope_.slots) {
            if (const auto file = SlotFileOf(relative, name)) {
                return scope_.shard.Holds(file->slot.Text());
            }
        }
        return key.empty() || scope_.shard.Holds(key);
    }

    // The folder's entries; none, and a problem noted, when it cannot be listed.
    os::FolderListing List(const std::string& path) {
        os::FolderListing listing = os::ListFolder(path);
        if (listing.outcome != os::FolderListing::Outcome::Listed) {
            scan_.problems.push_back(
                {path, listing.error, listing.outcome == os::FolderListing::Outcome::Gone});
        }
        return listing;
    }

    void Take(const std::string& relative, const std::string& name, int32_t number) {
        const std::string key = KeyOf(relative, name);
        if (!Holds(relative, name, key)) {
            return;
        }
        Product& product = byKey_[key];
        if (product.key.empty()) {
            product.key = key;
            product.relativeFolder = relative;
            product.folder = FolderPrefix(PathBelow(root_, relative));
        }
        SegmentEntry segment;
        segment.number = number;
        segment.name = name;
        product.segments.push_back(std::move(segment));
    }

    const std::string& root_;
    const ScanScope& scope_;
    std::map<std::string, Product> byKey_;
    std::set<std::string> listed_;                                 // products of listed files
    std::map<std::string, std::vector<SegmentEntry>> companions_;  // by folder and slot
    ProductScan scan_;
};

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

std::string PathBelow(const std::string& root, const std::string& relative) {
    if (relative.empty()) {
        return root;
    }
    std::string path = FolderPrefix(root) + relative;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(FolderPrefix(root).size()), path.end(),
                 '/', kFolderSeparator);
    return path;
}

std::string FolderPrefix(const std::string& folder) {
    if (folder.empty() || IsFolderSeparator(folder.back())) {
        return folder;
    }
    return folder + kFolderSeparator;
}

std::string SlotMaskedName(std::string_view name) {
    const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
    if (!parsed) {
        return "";
    }
    return parsed->MaskedFields(
        {DisseminationName::Field::Channel, DisseminationName::Field::Segment});
}

void AddCompanionCandidates(Product& product) {
    const auto segment =
        DisseminationName::Parse(unpack::WithoutCompressionSuffix(product.segments.front().name));
    if (!segment) {
        return;
    }
    using Field = DisseminationName::Field;
    for (const auto& [number, token] :
         {std::pair{kPrologueNumber, "PRO______"}, std::pair{kEpilogueNumber, "EPI______"}}) {
        const std::string kept = segment->With(Field::Segment, token);
        const std::string blank = DisseminationName::Parse(kept)->With(Field::Channel, "_________");
        for (const std::string& plain : {blank, kept}) {
            for (const std::string_view suffix : StoredSuffixes()) {
                const std::string name = plain + std::string(suffix);
                if (std::none_of(product.companions.begin(), product.companions.end(),
                                 [&](const SegmentEntry& c) { return c.name == name; })) {
                    product.companions.push_back({number, name, 0, 0, 0});
                }
            }
        }
    }
}

bool LookAtSegments(Product& product) {
    const auto lookAt = [&](SegmentEntry& segment) {
        const os::PathInfo info = os::LookAt(product.folder + segment.name);
        segment.size = info.size;
        segment.modifiedNanoseconds = info.modifiedNanoseconds;
        segment.file = info.identity.file;
        segment.changedNanoseconds = info.changedNanoseconds;
        return info.kind != os::PathKind::RegularFile;  // gone, or no file
    };
    std::erase_if(product.segments, lookAt);
    std::erase_if(product.companions, lookAt);
    // A number stored both plain and compressed counts once, under the name
    // the join takes it by: the plain one, then bzip2, gzip, xz.
    const auto byNumberAndForm = [](const SegmentEntry& segment) {
        return std::pair(segment.number, unpack::CompressionOfName(segment.name));
    };
    std::ranges::sort(product.segments, {}, byNumberAndForm);
    const auto sameNumber = [](const SegmentEntry& a, const SegmentEntry& b) {
        return a.number == b.number;
    };
    product.segments.erase(
        std::unique(product.segments.begin(), product.segments.end(), sameNumber),
        product.segments.end());
    return !product.segments.empty();
}

ProductScan FindProducts(const std::string& folder, const ScanScope& scope) {
    Scanner scanner(folder, scope);
    scanner.ScanFolder("");
    return scanner.Finish();
}

ProductScan FindListedProducts(const std::string& folder, const std::vector<std::string>& starts,
                               const ScanScope& scope) {
    Scanner scanner(folder, scope);
    for (size_t index = 0; index < starts.size(); ++index) {
        scanner.TakeStart(index, starts[index]);
    }
    return scanner.Finish();
}

}  // namespace segweld::station
