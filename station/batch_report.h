#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "os/file_system.h"
#include "station/product_result.h"
#include "station/slot_record.h"

namespace segweld::station {

// What a run was asked to do, for the first line of its report.
struct RunDescription {
    std::vector<std::string> arguments;
    std::string shard;  // "K/N"
    std::string inputFolder;
    std::string outputFolder;
};

// How many slots were published how, for the last line.
struct SlotTotals {
    size_t complete = 0;
    size_t incomplete = 0;
    size_t late = 0;
    size_t upToDate = 0;  // published before, and nothing of them changed
};

// How many products ended how, and how the run ended, for the last line.
struct RunTotals {
    size_t joined = 0;
    size_t upToDate = 0;
    size_t incomplete = 0;
    size_t failed = 0;
    bool interrupted = false;
    int exitStatus = 0;
    std::optional<SlotTotals> slots;  // with --slots
    const char* ended = nullptr;      // how the run ended, when not "finished" or "interrupted"
};

// The report of a batch as JSON Lines, one complete line at a time as
// products finish: a "start" line (version, arguments, shard, host, time), a
// "product" line per product, an "end" line (totals, how the run ended). A
// file is written as FILE.partial beside FILE and renamed onto FILE at the
// end, so an old report is never mistaken for a new one, and a killed run
// leaves what it had reported in FILE.partial. "-" is standard output. With
// --slots a "slot" line tells of each publication of a slot. The report of a
// watch grows at its name instead, line by line, as a log does.
//
// A report has one writer: FILE.partial (a watch's FILE) is locked while a
// run writes it, and a second run that names the same FILE is refused before
// it joins anything, rather than mixing its lines into the first one's.
class BatchReport {
  public:
    // Opens the report before any join; nullptr with `error` set when its
    // folder does not exist or cannot be written, or another process is
    // writing it.
    static std::unique_ptr<BatchReport> Open(const std::string& path, std::string& error);
    // The same for a watch: lines are appended to the file at `path` (made
    // when missing), so that it can be rotated as a log; a line that cannot be
    // written is lost and the next ones are tried.
    static std::unique_ptr<BatchReport> OpenAppending(const std::string& path, std::string& error);

    // Why the report could not be locked against a second writer (a file
    // system without locks); empty when it is, or goes to standard output.
    const std::string& warning() const { return warning_; }

    void Start(const RunDescription& run);
    // Any thread may call these.
    void Product(const ProductResult& result);
    void Folder(const std::string& folder, const std::string& error);
    void Slot(const SlotRecord& record);
    // An appended report: opens its name again (after a log rotation moved
    // the file away); empty on success, else why it goes on where it was.
    std::string Reopen();
    // Why a line of an appended report could not be written since the last
    // call; empty when all were.
    std::string TakeError();
    // A line of --from-list that names nothing to join.
    void ListEntry(int line, const std::string& entry, const std::string& error);
    // Writes the last line and puts the report in place; false with `error`
    // set when any line could not be written.
    bool Finish(const RunTotals& totals, std::string& error);

  private:
    explicit BatchReport(std::unique_ptr<os::HiddenOutput> file) : file_(std::move(file)) {}
    explicit BatchReport(std::unique_ptr<os::AppendingFile> appended)
        : appended_(std::move(appended)) {}
    void WriteLine(const std::string& line);

    std::mutex mutex_;
    std::unique_ptr<os::HiddenOutput> file_;       // null for standard output
    std::unique_ptr<os::AppendingFile> appended_;  // a watch's, instead of file_
    std::string unreported_;                       // of appended_
    std::string failure_;
    std::string started_;
    std::string warning_;
};

}  // namespace segweld::station
