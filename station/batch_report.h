#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "os/file_system.h"
#include "station/product_result.h"

namespace segweld::station {

// What a run was asked to do, for the first line of its report.
struct RunDescription {
    std::vector<std::string> arguments;
    std::string shard;  // "K/N"
    std::string inputFolder;
    std::string outputFolder;
};

// How many products ended how, and how the run ended, for the last line.
struct RunTotals {
    size_t joined = 0;
    size_t upToDate = 0;
    size_t incomplete = 0;
    size_t failed = 0;
    bool interrupted = false;
    int exitStatus = 0;
};

// The report of a batch as JSON Lines, one complete line at a time as
// products finish: a "start" line (version, arguments, shard, host, time), a
// "product" line per product, an "end" line (totals, how the run ended). A
// file is written as FILE.partial beside FILE and renamed onto FILE at the
// end, so an old report is never mistaken for a new one, and a killed run
// leaves what it had reported in FILE.partial. "-" is standard output.
//
// A report has one writer: FILE.partial is locked while a run writes it, and
// a second run that names the same FILE is refused before it joins anything,
// rather than mixing its lines into the first one's.
class BatchReport {
  public:
    // Opens the report before any join; nullptr with `error` set when its
    // folder does not exist or cannot be written, or another process is
    // writing it.
    static std::unique_ptr<BatchReport> Open(const std::string& path, std::string& error);

    // Why the report could not be locked against a second writer (a file
    // system without locks); empty when it is, or goes to standard output.
    const std::string& warning() const { return warning_; }

    void Start(const RunDescription& run);
    // Any thread may call these.
    void Product(const ProductResult& result);
    void Folder(const std::string& folder, const std::string& error);
    // A line of --from-list that names nothing to join.
    void ListEntry(int line, const std::string& entry, const std::string& error);
    // Writes the last line and puts the report in place; false with `error`
    // set when any line could not be written.
    bool Finish(const RunTotals& totals, std::string& error);

  private:
    explicit BatchReport(std::unique_ptr<os::HiddenOutput> file) : file_(std::move(file)) {}
    void WriteLine(const std::string& line);

    std::mutex mutex_;
    std::unique_ptr<os::HiddenOutput> file_;  // null for standard output
    std::string failure_;
    std::string started_;
    std::string warning_;
};

}  // namespace segweld::station
