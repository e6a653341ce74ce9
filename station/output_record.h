#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/file_system.h"
#include "station/product_scan.h"

namespace segweld::station {

// What an output was made from, kept with it so that a later run can tell
// whether it is still up to date: every segment file of its product that the
// folder held (name by number, size, modification and change times, file
// number), its prologue and epilogue where they went into it (numbers -1 and
// -2), what made the bytes, and the output itself as it was once in place
// (size, file number, modification time). Change times are the system's
// own: no user can set them back, so a file rewritten with its old
// modification time restored still differs.
struct OutputRecord {
    struct Segment {
        int32_t number = 0;
        uint64_t size = 0;
        int64_t modifiedNanoseconds = 0;
        uint64_t file = 0;  // the file's number in its file system (inode); 0 unknown
        int64_t changedNanoseconds = 0;
    };

    std::string product;  // the product's masked name
    std::string making;   // what made the bytes, e.g. "join" or "join fill-gaps"
    uint64_t outputSize = 0;
    uint64_t outputFile = 0;  // the output's file number
    int64_t outputModifiedNanoseconds = 0;
    std::vector<Segment> segments;  // by number
};

// The record of `product` made by `making` into the output `output` is.
OutputRecord RecordOf(const Product& product, const std::string& making,
                      const os::PathInfo& output);

// What is kept of a record with its output: the count of its files, the
// output's size, how long after its last write the output's change time may
// lie (the time the record took to keep, in whole milliseconds), and a 64-bit
// digest of the rest. One short line, so that it fits within the file's own
// inode on ext4 and XFS and costs no block of its own:
// "segweld-record 3 FILES SIZE SETTLED DIGEST", DIGEST in 16 hexadecimal
// digits.
struct KeptRecord {
    uint64_t files = 0;
    uint64_t outputSize = 0;
    uint64_t settledMilliseconds = 0;
    uint64_t digest = 0;
    friend bool operator==(const KeptRecord&, const KeptRecord&) = default;
};

KeptRecord KeptFormOf(const OutputRecord& record, uint64_t settledMilliseconds = 0);
std::string FormatKeptRecord(const KeptRecord& kept);
// Nullopt for anything that is not a record of this form.
std::optional<KeptRecord> ParseKeptRecord(std::string_view text);

// True when `kept` is the record of `product` made by `making` into the
// output that `output` describes now: the same segment files, the same output
// file, not changed since the record was kept.
bool Matches(const KeptRecord& kept, const Product& product, const std::string& making,
             const os::PathInfo& output);

// Keeps the record of `product` made by `making` with the output at
// `outputPath`, just written: as an extended attribute of the file, or, where
// the file system keeps none, in a hidden file beside it (RecordSidecarPath).
// Empty on success, else why it could not.
std::string KeepOutputRecord(const std::string& outputPath, const Product& product,
                             const std::string& making);
std::optional<KeptRecord> ReadOutputRecord(const std::string& outputPath);

// ".NAME.segweld" beside the output NAME.
std::string RecordSidecarPath(const std::string& outputPath);
// The output NAME that the sidecar name ".NAME.segweld" belongs to; empty for
// any other name.
std::string SidecarOutputName(const std::string& name);

// True when `outputPath` holds what `making` would make of `product` now; see
// Matches. An output without a record is not up to date.
bool IsUpToDate(const Product& product, const std::string& outputPath, const std::string& making);

}  // namespace segweld::station
