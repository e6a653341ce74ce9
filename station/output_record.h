#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station/product_scan.h"

namespace segweld::station {

// What an output was made from, kept with it so that a later run can tell
// whether it is still up to date: every segment file of its product that the
// folder held (name by number, size, modification time, file number), its
// prologue and epilogue where they went into it (numbers -1 and -2), what
// made the bytes and the size they came to.
struct OutputRecord {
    struct Segment {
        int32_t number = 0;
        uint64_t size = 0;
        int64_t modifiedNanoseconds = 0;
        uint64_t file = 0;  // the file's number in its file system (inode); 0 unknown
    };

    std::string product;  // the product's masked name
    std::string making;   // what made the bytes, e.g. "join" or "join fill-gaps"
    uint64_t outputSize = 0;
    std::vector<Segment> segments;  // by number
};

OutputRecord RecordOf(const Product& product, const std::string& making, uint64_t outputSize);

// What is kept of a record with its output: the count of its files, the
// output's size and a 64-bit digest of the rest (product, making, and each
// file's number, size, time and file number). One short line, so that it fits
// within the file's own inode on ext4 and XFS and costs no block of its own:
// "segweld-record 2 FILES SIZE DIGEST", DIGEST in 16 hexadecimal digits.
struct KeptRecord {
    uint64_t files = 0;
    uint64_t outputSize = 0;
    uint64_t digest = 0;
    friend bool operator==(const KeptRecord&, const KeptRecord&) = default;
};

KeptRecord KeptFormOf(const OutputRecord& record);
std::string FormatKeptRecord(const KeptRecord& kept);
// Nullopt for anything that is not a record of this form.
std::optional<KeptRecord> ParseKeptRecord(std::string_view text);

// Keeps `record` with the output at `outputPath`: as an extended attribute of
// the file, or, where the file system keeps none, in a hidden file beside it
// (RecordSidecarPath). Empty on success, else why it could not.
std::string KeepOutputRecord(const std::string& outputPath, const OutputRecord& record);
std::optional<KeptRecord> ReadOutputRecord(const std::string& outputPath);

// ".NAME.segweld" beside the output NAME.
std::string RecordSidecarPath(const std::string& outputPath);

// True when `outputPath` holds what `making` would make of `product` now: its
// record lists exactly the product's segment files as they are now, and the
// output is still the size it was written with. An output without a record is
// not up to date.
bool IsUpToDate(const Product& product, const std::string& outputPath, const std::string& making);

}  // namespace segweld::station
