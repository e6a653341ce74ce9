#include "station/batch_mode.h"

#include <algorithm>
#include <cstdio>
#include <exception>
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
#include "station/start_list.h"
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

// Where the outputs of `product` go: below the output folder as the product
// lies below the input folder.
std::string OutputFolderOf(const Product& product, const std::string& outputFolder) {
    if (product.relativeFolder.empty()) {
        return outputFolder;
    }
    std::string relative = product.relativeFolder;
    std::replace(relative.begin(), relative.end(), '/', kFolderSeparator);
    return FolderPrefix(outputFolder) + relative;
}

class BatchRun {
  public:
    BatchRun(const StationOptions& options, const OutputMaker& maker, BatchReport* report)
        : options_(options),
          maker_(maker),
          report_(report),
          onTerminal_(os::IsRedrawableTerminal(stderr)),
          journal_(LogLineFormat::ForStandardError().journal()) {}

    int Run() {
        ProductScan scan;
        if (!Scan(scan)) {
            return kExitBadArguments;
        }
        TakeProblems(scan);
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
        const ScanScope scope{options_.recursive, options_.shard, maker_.usesCompanions()};
        if (options_.fromList.empty()) {
            scan = FindProducts(options_.inputFolder, scope);
            return true;
        }
        std::string error;
        const auto starts = ReadStartList(options_.fromList, options_.inputFolder, error);
        if (!starts) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
            return false;
        }
        scan = FindListedProducts(options_.inputFolder, *starts, scope);
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
        if (report_ != nullptr) {
            report_->Product(result);
        }
        LogResult(result);
    }

    ProductResult JoinUnlessUpToDate(const Product& product) {
        const std::string outputFolder = OutputFolderOf(product, options_.outputFolder);
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
        const LogLevel level = totals.failed > 0 ? LogLevel::Failure : LogLevel::Info;
        if (Shows(options_.verbosity, level)) {
            std::fprintf(stderr, "%s%zu joined, %zu up to date, %zu incomplete, %zu failed%s\n",
                         Prefix(level).c_str(), totals.joined, totals.upToDate, totals.incomplete,
                         totals.failed, totals.interrupted ? "; stopped by a signal" : "");
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
        return totals.exitStatus;
    }

    const StationOptions& options_;
    const OutputMaker& maker_;
    BatchReport* report_;
    const bool onTerminal_;
    const bool journal_;
    ProgressDisplay* display_ = nullptr;
    OutputIndex outputs_;
    Outcomes outcomes_;
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
    if (!options.geoTiff) {
        return MakeJoiner(options.fillGaps);
    }
    std::string error;
    const geo::WriteProductImageEntry entry = loadImageWriter ? loadImageWriter(error) : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr, "segweld: this build cannot write GeoTIFF: %s\n",
                     error.empty() ? "it was built without GDAL" : error.c_str());
        return nullptr;
    }
    return MakeImageWriter(entry, OutputKind::GeoTiff, options.fillGaps, options.calibration);
}

int RunBatch(const StationOptions& options, const ImageWriterLoader& loadImageWriter) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    const std::unique_ptr<OutputMaker> maker = MakeOutputMaker(options, loadImageWriter);
    if (!maker) {
        return kExitBadArguments;
    }
    std::unique_ptr<BatchReport> report;
    if (options.reportPath) {
        std::string error;
        report = BatchReport::Open(*options.reportPath, error);
        if (!report) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
            return kExitBadArguments;
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
