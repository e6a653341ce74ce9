#include "station/batch_mode.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <vector>

#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/folders.h"
#include "os/process.h"
#include "os/terminal.h"
#include "station/batch_report.h"
#include "station/output_index.h"
#include "station/output_maker.h"
#include "station/output_record.h"
#include "station/product_log.h"
#include "station/product_scan.h"
#include "station/progress_display.h"
#include "station/slot_book.h"
#include "station/slot_images.h"
#include "station/slot_member.h"
#include "station/slot_publisher.h"
#include "station/start_list.h"
#include "station/station_metrics.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

// The outcomes of a run, gathered from the workers.
class Outcomes {
  public:
    void Add(const ProductResult& result) {
        std::lock_guard lock(mutex_);
        switch (result.status) {
            case ProductStatus::Joined:
                ++totals_.joined;
                break;
            case ProductStatus::UpToDate:
                ++totals_.upToDate;
                break;
            case ProductStatus::Incomplete:
                ++totals_.incomplete;
                break;
            case ProductStatus::Failed:
                ++totals_.failed;
                NoteFailure(result.failure);
                break;
        }
    }
    void NoteFailure(FailureKind failure) {
        (failure == FailureKind::Data ? dataFailures_ : systemFailures_) = true;
    }

    // 0 every product written or up to date; 1 some product's data could not
    // be joined; 75 (EX_TEMPFAIL) some product or folder failed for a reason
    // of the system, which a retry may mend; 128 + the signal when stopped.
    RunTotals Finish(int signal) const {
        RunTotals totals = totals_;
        totals.interrupted = signal != 0;
        if (signal != 0) {
            totals.exitStatus = 128 + signal;
        } else if (systemFailures_) {
            totals.exitStatus = kExitTemporaryFailure;
        } else if (dataFailures_) {
            totals.exitStatus = kExitFailures;
        }
        return totals;
    }

  private:
    std::mutex mutex_;
    RunTotals totals_;
    bool dataFailures_ = false;
    bool systemFailures_ = false;
};

std::chrono::system_clock::time_point WallOf(int64_t nanosecondsSince1970) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(nanosecondsSince1970)));
}

// The slots of a batch: each is published once all its products are taken.
// Any worker may tell of a product.
class BatchSlots {
  public:
    BatchSlots(const StationOptions& options, const SlotPlaces& places, BatchReport* report,
               SlotPublisher::Log log, StationMetrics* metrics, const OutputMaker& maker)
        : options_(options),
          images_(MakeSlotImageWriter(maker, options, places)),
          publisher_(places, report, nullptr, std::move(log), images_ ? &*images_ : nullptr),
          book_(
              Rules(options), [this](const SlotRecord& record) { publisher_.Publish(record); },
              [this](const SlotId& id) { return publisher_.Earlier(id); }) {
        if (metrics != nullptr) {
            book_.AddObserver(
                [metrics](const SlotRecord& record) { metrics->SlotPublished(record); });
        }
    }

    // Every file of the scan belongs to its slot before any product is taken.
    void TakeScan(const ProductScan& scan) {
        const auto now = std::chrono::steady_clock::now();
        for (const Product& product : scan.products) {
            if (const auto file = FileOf(product)) {
                for (const SegmentEntry& segment : product.segments) {
                    const auto changed = WallOf(segment.modifiedNanoseconds);
                    book_.Arrived(
                        *file, {segment.name, segment.number, product.key, changed, changed, true},
                        now);
                }
            }
        }
        for (const SlotCompanion& companion : scan.slotCompanions) {
            if (const auto file = SlotFileOf(companion.relativeFolder, companion.entry.name)) {
                const auto changed = WallOf(companion.entry.modifiedNanoseconds);
                book_.Arrived(*file, {companion.entry.name, 0, "", changed, changed, false}, now);
            }
        }
        book_.CloseAll(now);
    }

    void Take(const Product& product, const ProductResult& result) {
        const auto file = FileOf(product);
        if (!file) {
            return;
        }
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (result.status == ProductStatus::UpToDate) {
            book_.UpToDate(
                *file, product.key, result.outputPath,
                [&] {
                    return SurveyMember(product.key, product.FirstSegmentPath(), result.outputPath,
                                        file->channel, options_.fillGaps);
                },
                now);
        } else {
            book_.Joined(*file, MemberOf(result, file->channel), false, now);
        }
    }

    SlotTotals Totals() {
        std::lock_guard lock(mutex_);
        const SlotBook::Counts counts = book_.counts();
        return {counts.complete, counts.incomplete, counts.late, counts.unchanged};
    }

  private:
    static SlotRules Rules(const StationOptions& options) {
        SlotRules rules;
        if (!options.slotChannels.empty()) {
            rules.channels = options.slotChannels;
        }
        rules.untimed = true;
        rules.maxSlots = SIZE_MAX;
        return rules;
    }

    static std::optional<SlotFile> FileOf(const Product& product) {
        return SlotFileOf(product.relativeFolder, product.segments.front().name);
    }

    const StationOptions& options_;
    const std::optional<SlotImageWriter> images_;
    const SlotPublisher publisher_;
    std::mutex mutex_;
    SlotBook book_;
};

class BatchRun {
  public:
    BatchRun(const StationOptions& options, const OutputMaker& maker, BatchReport* report)
        : options_(options),
          maker_(maker),
          report_(report),
          onTerminal_(os::IsRedrawableTerminal(stderr)),
          journal_(LogLineFormat::ForStandardError().journal()),
          places_(options.outputFolder, options.slotFolders) {
        if (!options.metricsFile.empty()) {
            metrics_.emplace(started_);
        }
        if (options.slots) {
            slots_.emplace(
                options, places_, report,
                [this](const LogLine& line) { Log(line.level, line.text); },
                metrics_ ? &*metrics_ : nullptr, maker);
        }
    }

    int Run() {
        ProductScan scan;
        if (!Scan(scan)) {
            return kExitBadArguments;
        }
        TakeProblems(scan);
        if (slots_) {
            slots_->TakeScan(scan);
        }
        uint64_t totalBytes = 0;
        for (const Product& product : scan.products) {
            totalBytes += product.TotalBytes();
        }
        ProgressDisplay display(stderr, onTerminal_, scan.products.size(), totalBytes);
        display_ = &display;
        {
            WorkerPool pool(options_.workers > 0 ? options_.workers : DefaultWorkerCount());
            for (const Product& product : scan.products) {
                pool.Submit([this, &product] { Take(product); });
            }
            pool.Wait();
        }
        display.Finish();
        return Finish();
    }

  private:
    bool Scan(ProductScan& scan) {
        const ScanScope scope{options_.recursive, options_.shard, maker_.usesCompanions(),
                              options_.slots};
        if (options_.fromList.empty()) {
            scan = FindProducts(options_.inputFolder, scope);
            return true;
        }
        std::string error;
        const auto entries = ReadStartList(options_.fromList, options_.inputFolder, error);
        if (!entries) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
            return false;
        }
        std::vector<std::string> starts;
        for (const StartEntry& entry : *entries) {
            starts.push_back(entry.path);
        }
        scan = FindListedProducts(options_.inputFolder, starts, scope);
        for (const EmptyStart& empty : scan.emptyStarts) {
            emptyEntries_.push_back({(*entries)[empty.index], empty.error});
        }
        return true;
    }

    // A folder that vanished is passed over; one that cannot be read is a
    // failure of its own, which a retry may mend.
    void TakeProblems(const ProductScan& scan) {
        for (const FolderProblem& problem : scan.problems) {
            if (problem.gone) {
                Log(LogLevel::Warning,
                    "passed over " + problem.folder + ": it is gone (" + problem.error + ")");
                continue;
            }
            Log(LogLevel::Failure,
                "failed folder " + problem.folder + ": cannot be read: " + problem.error);
            outcomes_.NoteFailure(FailureKind::System);
            if (report_ != nullptr) {
                report_->Folder(problem.folder, problem.error);
            }
        }
        // A list that names nothing is as wrong the next time: a failure,
        // which no retry mends.
        for (const auto& [entry, error] : emptyEntries_) {
            Log(LogLevel::Failure, "failed line " + std::to_string(entry.line) + " of " +
                                       options_.fromList + ": " + entry.text +
                                       " names nothing to join: " + error);
            outcomes_.NoteFailure(FailureKind::Data);
            if (report_ != nullptr) {
                report_->ListEntry(entry.line, entry.text, error);
            }
        }
    }

    void Take(const Product& product) {
        ProductResult result;
        if (os::NotedInterrupt() != 0) {
            return;  // products not begun are left for the next run
        }
        try {
            result = JoinUnlessUpToDate(product);
        } catch (const std::exception& failure) {
            result = FailedResult(product, FailureKind::System, failure.what());
        }
        outcomes_.Add(result);
        if (metrics_) {
            if (result.status != ProductStatus::UpToDate) {
                metrics_->SegmentsSeen(product.segments.size());
            }
            metrics_->ProductEnded(result, product.segments.front().name,
                                   std::chrono::system_clock::now());
        }
        if (report_ != nullptr) {
            report_->Product(result);
        }
        LogResult(result);
        if (slots_) {
            slots_->Take(product, result);
        }
    }

    ProductResult JoinUnlessUpToDate(const Product& product) {
        const std::string outputFolder =
            places_.OutputFolder(product.relativeFolder, product.segments.front().name);
        const auto outputPath =
            options_.force ? std::nullopt
                           : outputs_.UpToDateOutput(product, outputFolder, maker_.making());
        if (outputPath) {
            display_->ProductSkipped(product.TotalBytes());
            return UpToDateResult(product, *outputPath);
        }
        std::string error;
        if (!os::MakeFolders(outputFolder, error)) {
            display_->ProductDone(product.TotalBytes());
            return FailedResult(product, FailureKind::System, error);
        }
        uint64_t counted = 0;
        const auto progress = [&](const JoinProgress& join) {
            if (join.bytesWritten > counted) {
                display_->AddBytes(join.bytesWritten - counted);
                counted = join.bytesWritten;
            }
            return os::NotedInterrupt() == 0;
        };
        ProductResult result = MakeProduct(product, outputFolder, maker_, progress);
        const uint64_t total = product.TotalBytes();
        display_->ProductDone(total > counted ? total - counted : 0);
        return result;
    }

    void LogResult(const ProductResult& result) {
        // On a terminal the status line tells how far the batch is; only what
        // needs a look (failures, incomplete products, warnings) goes above it.
        const bool routine = result.status == ProductStatus::UpToDate ||
                             (result.status == ProductStatus::Joined && result.warnings.empty());
        if (onTerminal_ && routine && options_.verbosity != Verbosity::Verbose) {
            return;
        }
        for (const LogLine& line : DescribeResult(result)) {
            Log(line.level, line.text);
        }
    }

    // The journal names the program and stamps the time itself.
    std::string Prefix(LogLevel level) const {
        return journal_ ? "<" + std::to_string(static_cast<int>(level)) + ">" : "segweld: ";
    }

    void Log(LogLevel level, const std::string& text) {
        if (!Shows(options_.verbosity, level)) {
            return;
        }
        const std::string line = Prefix(level) + text;
        if (display_ != nullptr) {
            display_->Log(line);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }

    int Finish() {
        RunTotals totals = outcomes_.Finish(os::NotedInterrupt());
        if (slots_) {
            totals.slots = slots_->Totals();
        }
        const LogLevel level = totals.failed > 0 ? LogLevel::Failure : LogLevel::Info;
        if (Shows(options_.verbosity, level)) {
            std::fprintf(stderr, "%s%zu joined, %zu up to date, %zu incomplete, %zu failed%s%s\n",
                         Prefix(level).c_str(), totals.joined, totals.upToDate, totals.incomplete,
                         totals.failed, SlotSummary(totals).c_str(),
                         totals.interrupted ? "; stopped by a signal" : "");
        }
        if (report_ != nullptr) {
            std::string error;
            if (!report_->Finish(totals, error)) {
                std::fprintf(stderr, "segweld: %s\n", error.c_str());
                if (!totals.interrupted) {
                    totals.exitStatus = kExitTemporaryFailure;
                }
            }
        }
        if (metrics_ && !WriteMetrics(totals.exitStatus) && !totals.interrupted) {
            totals.exitStatus = kExitTemporaryFailure;
        }
        return totals.exitStatus;
    }

    // The counters for a textfile collector, appearing whole under the name.
    bool WriteMetrics(int exitStatus) {
        const auto now = std::chrono::system_clock::now();
        const std::string text =
            metrics_->Exposition(now, false) + BatchEndExposition(started_, now, exitStatus);
        try {
            os::HiddenOutput file(options_.metricsFile);
            file.Append({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
            file.Commit();
            return true;
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "segweld: cannot write %s: %s\n", options_.metricsFile.c_str(),
                         failure.what());
            return false;
        }
    }

    static std::string SlotSummary(const RunTotals& totals) {
        if (!totals.slots) {
            return "";
        }
        const SlotTotals& slots = *totals.slots;
        return "; slots: " + std::to_string(slots.complete) + " complete, " +
               std::to_string(slots.incomplete) + " incomplete, " + std::to_string(slots.late) +
               " late, " + std::to_string(slots.upToDate) + " up to date";
    }

    const StationOptions& options_;
    const OutputMaker& maker_;
    BatchReport* report_;
    const bool onTerminal_;
    const bool journal_;
    ProgressDisplay* display_ = nullptr;
    std::vector<std::pair<StartEntry, std::string>> emptyEntries_;  // and why
    OutputIndex outputs_;
    Outcomes outcomes_;
    const SlotPlaces places_;
    const std::chrono::system_clock::time_point started_ = std::chrono::system_clock::now();
    std::optional<StationMetrics> metrics_;
    std::optional<BatchSlots> slots_;
};

}  // namespace

bool CheckFolders(const StationOptions& options) {
    if (os::LookAt(options.inputFolder).kind != os::PathKind::Folder) {
        std::fprintf(stderr, "segweld: the input folder %s does not exist or is no folder\n",
                     options.inputFolder.c_str());
        return false;
    }
    if (os::LookAt(options.outputFolder).kind != os::PathKind::Folder) {
        std::fprintf(stderr, "segweld: the output folder %s does not exist or is no folder\n",
                     options.outputFolder.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<OutputMaker> MakeOutputMaker(const StationOptions& options,
                                             const ImageWriterLoader& loadImageWriter) {
    if (!options.geoTiff && !options.netCdf) {
        return MakeJoiner(options.fillGaps);
    }
    const OutputKind format = options.netCdf ? OutputKind::NetCdf : OutputKind::GeoTiff;
    std::string error;
    const geo::ImageEntries entries =
        loadImageWriter ? loadImageWriter(format, error) : geo::ImageEntries{};
    if (entries.product == nullptr || (options.slots && entries.slot == nullptr)) {
        std::fprintf(stderr, "segweld: this build cannot write %s: %s\n",
                     geo::ImageFormatName(format),
                     error.empty() ? "it was built without GDAL" : error.c_str());
        return nullptr;
    }
    return MakeImageWriter(entries, format, options.fillGaps, options.calibration,
                           options.calibrationMode);
}

int RunBatch(const StationOptions& options, const ImageWriterLoader& loadImageWriter) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    const std::unique_ptr<OutputMaker> maker = MakeOutputMaker(options, loadImageWriter);
    if (!maker) {
        return kExitBadArguments;
    }
    std::string error;
    const std::string metricsFolder = SplitSegmentPath(options.metricsFile).directory;
    if (!options.metricsFile.empty() &&
        !os::CanWriteInto(metricsFolder.empty() ? "." : metricsFolder, error)) {
        std::fprintf(stderr, "segweld: cannot write --metrics-file %s: %s\n",
                     options.metricsFile.c_str(), error.c_str());
        return kExitBadArguments;
    }
    std::unique_ptr<BatchReport> report;
    if (options.reportPath) {
        report = BatchReport::Open(*options.reportPath, error);
        if (!report) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
            return kExitBadArguments;
        }
        if (!report->warning().empty()) {
            std::fprintf(stderr, "segweld: warning: %s\n", report->warning().c_str());
        }
        report->Start(
            {options.commandLine,
             std::to_string(options.shard.index) + "/" + std::to_string(options.shard.count),
             options.inputFolder, options.outputFolder});
    }
    // Before the first worker: SIGINT and SIGTERM stop the run at its next
    // step instead of ending the process.
    os::NoteInterrupts();
    return BatchRun(options, *maker, report.get()).Run();
}

}  // namespace segweld::station
