#include "station/watch_mode.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/folder_watch.h"
#include "station/batch_mode.h"
#include "station/product_log.h"
#include "station/product_tracker.h"
#include "station/segment_probe.h"
#include "station/then_command.h"
#include "station/time_stamp.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

using Clock = std::chrono::steady_clock;

// The watch itself runs on the calling thread; joins and --then commands run
// on the pool, which reports each product it finished back through Wake().
class WatchSession {
  public:
    WatchSession(const StationOptions& options, os::FolderWatch& watch)
        : options_(options),
          folder_(FolderPrefix(options.inputFolder)),
          watch_(watch),
          tracker_(options.timeout),
          pool_(options.workers > 0 ? options.workers : DefaultWorkerCount()) {}

    int Run() {
        Log("watching " + options_.inputFolder + ", joining into " + options_.outputFolder);
        Rescan();
        Dispatch();
        int status = kExitDone;
        for (;;) {
            const os::WatchWakeUp wakeUp = watch_.Wait(TimeToNextDeadline());
            if (wakeUp.stopRequested) {
                break;
            }
            if (!TakeEvents(wakeUp.events)) {
                status = kExitFailures;
                break;
            }
            CollectFinished();
            Dispatch();
        }
        const size_t dropped = pool_.DropQueued();
        pool_.Wait();
        Log("stopped" + (dropped > 0
                             ? "; " + std::to_string(dropped) + " products left for the next start"
                             : std::string()));
        return status;
    }

  private:
    void Log(const std::string& line) {
        const std::string stamp = UtcTimeStamp(std::chrono::system_clock::now());
        std::lock_guard lock(logMutex_);
        std::fprintf(stderr, "%s segweld: %s\n", stamp.c_str(), line.c_str());
        std::fflush(stderr);
    }

    std::optional<std::chrono::milliseconds> TimeToNextDeadline() const {
        const auto deadline = tracker_.NextDeadline();
        if (!deadline) {
            return std::nullopt;
        }
        // Rounded up, so the wait never ends just before the deadline.
        return std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    }

    // False when the folder went away.
    bool TakeEvents(const std::vector<os::FolderEvent>& events) {
        for (const os::FolderEvent& event : events) {
            switch (event.kind) {
                case os::FolderEvent::Kind::FileReady:
                    OnArrival(event.name);
                    break;
                case os::FolderEvent::Kind::Overflow:
                    Log("events were lost; looking at the whole folder again");
                    Rescan();
                    break;
                case os::FolderEvent::Kind::FolderGone:
                    Log("the folder " + options_.inputFolder + " is gone; stopping");
                    return false;
            }
        }
        return true;
    }

    // What the folder holds: products that are not up to date wait to be
    // joined, the time their files were last changed counting as arrival.
    void Rescan() {
        std::string error;
        const std::vector<Product> products = FindProducts(options_.inputFolder, false, error);
        if (!error.empty()) {
            Log(error);
        }
        size_t upToDate = 0;
        for (const Product& product : products) {
            if (!tracker_.Knows(product.key) && IsUpToDateProduct(product)) {
                ++upToDate;
                continue;
            }
            for (const SegmentEntry& segment : product.segments) {
                Note(product.key, segment, ArrivalOf(segment));
            }
        }
        Log(std::to_string(products.size()) + " products in the folder, " +
            std::to_string(upToDate) + " up to date, " + std::to_string(tracker_.waiting()) +
            " waiting or being joined");
    }

    bool IsUpToDateProduct(const Product& product) {
        const ProductPlan plan = PlanProduct(product, options_.outputFolder, prober_);
        return plan.outputPath && IsUpToDate(product, *plan.outputPath);
    }

    static Clock::time_point ArrivalOf(const SegmentEntry& segment) {
        const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
        const auto age = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch) -
                         std::chrono::nanoseconds(segment.modifiedNanoseconds);
        const Clock::time_point now = Clock::now();
        return age > std::chrono::nanoseconds::zero()
                   ? now - std::chrono::duration_cast<Clock::duration>(age)
                   : now;
    }

    void OnArrival(const std::string& name) {
        const int32_t number = SegmentNumberInName(name);
        if (number < 0) {
            return;
        }
        const std::string key = MaskedName(name);
        const bool firstSight = !tracker_.Knows(key);
        const auto segment = LookAtSegment(name, number);
        if (!segment) {
            return;  // gone again, or not a file
        }
        const SegmentProbe probe = Note(key, *segment, Clock::now());
        if (firstSight) {
            NoteSiblings(key, *segment, probe);
            // A late event for a product that has just been joined.
            if (IsUpToDateProduct(*tracker_.ProductOf(key))) {
                tracker_.Forget(key);
            }
        }
    }

    // A product seen for the first time may have segments that arrived while
    // it was not tracked (before a restart, or before an earlier join ended):
    // its plan names them, so each is looked up by name.
    void NoteSiblings(const std::string& key, const SegmentEntry& arrived,
                      const SegmentProbe& probe) {
        for (int32_t number = std::max(probe.plannedStart, 1); number <= probe.plannedEnd;
             ++number) {
            if (number == arrived.number) {
                continue;
            }
            if (const auto sibling = LookAtSegment(SegmentName(arrived.name, number), number)) {
                Note(key, *sibling, ArrivalOf(*sibling));
            }
        }
    }

    std::optional<SegmentEntry> LookAtSegment(const std::string& name, int32_t number) const {
        const os::PathInfo info = os::LookAt(folder_ + name);
        if (info.kind != os::PathKind::RegularFile) {
            return std::nullopt;
        }
        SegmentEntry segment;
        segment.number = number;
        segment.name = name;
        segment.size = info.size;
        segment.modifiedNanoseconds = info.modifiedNanoseconds;
        return segment;
    }

    SegmentProbe Note(const std::string& key, const SegmentEntry& segment,
                      Clock::time_point arrived) {
        const SegmentProbe probe = prober_.Probe(folder_ + segment.name);
        tracker_.Note(key, folder_, segment, probe, arrived);
        return probe;
    }

    void Dispatch() {
        for (ReadyProduct& ready : tracker_.TakeReady(Clock::now())) {
            pool_.Submit([this, ready = std::move(ready)] { JoinOnWorker(ready); });
        }
    }

    void JoinOnWorker(const ReadyProduct& ready) {
        JoinOptions joinOptions;
        joinOptions.fillGaps = options_.fillGaps;
        ProductResult result;
        try {
            result = JoinProduct(ready.product, options_.outputFolder, joinOptions,
                                 ready.plannedStart, ready.plannedEnd);
        } catch (const std::exception& failure) {
            result.key = ready.product.key;
            result.error = failure.what();
        }
        std::vector<std::string> lines = DescribeResult(result);
        lines.front() += "; " + HumanInterval(Clock::now() - ready.lastArrival) +
                         " after its last segment arrived" +
                         (ready.complete ? "" : " (timed out incomplete)");
        for (const std::string& line : lines) {
            Log(line);
        }
        if (!result.outputPath.empty() && !options_.thenCommand.empty()) {
            Log(RunThenCommand(options_.thenCommand, result.outputPath));
        }
        {
            std::lock_guard lock(finishedMutex_);
            finished_.push_back(ready.product.key);
        }
        watch_.Wake();
    }

    void CollectFinished() {
        std::vector<std::string> finished;
        {
            std::lock_guard lock(finishedMutex_);
            finished.swap(finished_);
        }
        for (const std::string& key : finished) {
            tracker_.JoinEnded(key);
        }
    }

    const StationOptions& options_;
    const std::string folder_;
    os::FolderWatch& watch_;
    ProductTracker tracker_;
    SegmentProber prober_;
    std::mutex logMutex_;
    std::mutex finishedMutex_;
    std::vector<std::string> finished_;
    // Last, so that its threads end before anything they use goes.
    WorkerPool pool_;
};

}  // namespace

int RunWatch(const StationOptions& options) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    // Before the first thread: the watch blocks SIGINT and SIGTERM, and every
    // worker inherits that.
    std::string error;
    const std::unique_ptr<os::FolderWatch> watch =
        os::FolderWatch::Open(options.inputFolder, error);
    if (!watch) {
        std::fprintf(stderr, "segweld: %s\n", error.c_str());
        return kExitFailures;
    }
    return WatchSession(options, *watch).Run();
}

}  // namespace segweld::station
