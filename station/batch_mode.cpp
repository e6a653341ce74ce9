#include "station/batch_mode.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "os/terminal.h"
#include "station/batch_report.h"
#include "station/product_log.h"
#include "station/product_scan.h"
#include "station/progress_display.h"
#include "station/segment_probe.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

struct Tally {
    size_t counts[4] = {};
    void Add(ProductStatus status) { ++counts[static_cast<int>(status)]; }
    size_t of(ProductStatus status) const { return counts[static_cast<int>(status)]; }
};

// Joins one product unless it is up to date, keeping the display informed.
ProductResult BatchOne(const Product& product, const StationOptions& options,
                       ProgressDisplay& display) {
    SegmentProber prober;
    const ProductPlan plan = PlanProduct(product, options.outputFolder, prober);
    if (!options.force && plan.outputPath && IsUpToDate(product, *plan.outputPath)) {
        display.ProductSkipped(product.TotalBytes());
        return UpToDateResult(product, *plan.outputPath);
    }
    uint64_t counted = 0;
    JoinOptions joinOptions;
    joinOptions.fillGaps = options.fillGaps;
    joinOptions.progress = [&](const JoinProgress& progress) {
        if (progress.bytesWritten > counted) {
            display.AddBytes(progress.bytesWritten - counted);
            counted = progress.bytesWritten;
        }
        return true;
    };
    ProductResult result =
        JoinProduct(product, options.outputFolder, joinOptions, plan.plannedStart, plan.plannedEnd);
    const uint64_t total = product.TotalBytes();
    display.ProductDone(total > counted ? total - counted : 0);
    return result;
}

void LogResult(const ProductResult& result, bool onTerminal, ProgressDisplay& display) {
    // On a terminal the status line tells how far the batch is; only what
    // needs a look (failures, incomplete products, warnings) goes above it.
    const bool routine = result.status == ProductStatus::UpToDate ||
                         (result.status == ProductStatus::Joined && result.warnings.empty());
    if (onTerminal && routine) {
        return;
    }
    for (const std::string& line : DescribeResult(result)) {
        display.Log("segweld: " + line);
    }
}

}  // namespace

bool CheckFolders(const StationOptions& options) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.inputFolder, error)) {
        std::fprintf(stderr, "segweld: the input folder %s does not exist or is no folder\n",
                     options.inputFolder.c_str());
        return false;
    }
    if (!std::filesystem::is_directory(options.outputFolder, error)) {
        std::fprintf(stderr, "segweld: the output folder %s does not exist or is no folder\n",
                     options.outputFolder.c_str());
        return false;
    }
    return true;
}

int RunBatch(const StationOptions& options) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    std::string error;
    std::vector<Product> products = FindProducts(options.inputFolder, options.recursive, error);
    if (!error.empty()) {
        std::fprintf(stderr, "segweld: %s\n", error.c_str());
        return kExitFailures;
    }
    std::erase_if(products, [&](const Product& p) { return !options.shard.Holds(p.key); });

    uint64_t totalBytes = 0;
    for (const Product& product : products) {
        totalBytes += product.TotalBytes();
    }
    const bool onTerminal = os::IsRedrawableTerminal(stderr);
    ProgressDisplay display(stderr, onTerminal, products.size(), totalBytes);
    std::vector<ProductResult> results(products.size());
    {
        WorkerPool pool(options.workers > 0 ? options.workers : DefaultWorkerCount());
        for (size_t i = 0; i < products.size(); ++i) {
            pool.Submit([&, i] {
                try {
                    results[i] = BatchOne(products[i], options, display);
                } catch (const std::exception& failure) {
                    results[i].key = products[i].key;
                    results[i].error = failure.what();
                }
                LogResult(results[i], onTerminal, display);
            });
        }
        pool.Wait();
    }
    display.Finish();

    Tally tally;
    for (const ProductResult& result : results) {
        tally.Add(result.status);
    }
    std::fprintf(stderr, "segweld: %zu joined, %zu up to date, %zu incomplete, %zu failed\n",
                 tally.of(ProductStatus::Joined), tally.of(ProductStatus::UpToDate),
                 tally.of(ProductStatus::Incomplete), tally.of(ProductStatus::Failed));
    int status = tally.of(ProductStatus::Failed) > 0 ? kExitFailures : kExitDone;
    if (!options.reportPath.empty() &&
        !WriteReportFile(options.reportPath, BatchReportJson(results), error)) {
        std::fprintf(stderr, "segweld: %s\n", error.c_str());
        status = kExitFailures;
    }
    return status;
}

}  // namespace segweld::station
