#include "station/watch_mode.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <set>

#include "join/number_list.h"
#include "join/segment_name.h"
#include "join/walk_plan.h"
#include "os/file_system.h"
#include "os/folder_watch.h"
#include "station/batch_mode.h"
#include "station/output_record.h"
#include "station/product_log.h"
#include "station/product_tracker.h"
#include "station/segment_probe.h"
#include "station/then_command.h"
#include "station/time_stamp.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

using Clock = std::chrono::steady_clock;

// A join that has ended, as the worker hands it back to the watch.
struct Finished {
    std::string key;
    JoinEnd end = JoinEnd::Done;
    bool written = false;
};

// When a file was last changed, on the steady clock of the tracker: files
// found by a look at the whole folder count as arrived then.
Clock::time_point ArrivalOf(const SegmentEntry& segment) {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto age = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch) -
                     std::chrono::nanoseconds(segment.modifiedNanoseconds);
    const Clock::time_point now = Clock::now();
    return age > std::chrono::nanoseconds::zero()
               ? now - std::chrono::duration_cast<Clock::duration>(age)
               : now;
}

// The watch itself runs on the calling thread; joins run on the pool, which
// reports each product it finished back through Wake(), and --then commands
// on threads of their own.
class WatchSession {
  public:
    WatchSession(const StationOptions& options, os::FolderWatch& watch)
        : options_(options),
          folder_(FolderPrefix(options.inputFolder)),
          watch_(watch),
          tracker_(options.timeout),
          then_(options.thenCommand, options.thenTimeout,
                [this](const std::string& line) { Log(line); }),
          pool_(options.workers > 0 ? options.workers : DefaultWorkerCount()) {
        joinOptions_.fillGaps = options.fillGaps;
    }

    int Run() {
        Log("watching " + options_.inputFolder + ", joining into " + options_.outputFolder);
        Rescan();
        Dispatch();
        for (;;) {
            const os::WatchWakeUp wakeUp = watch_.Wait(TimeToNextDeadline());
            if (wakeUp.stopRequested) {
                break;
            }
            if (wakeUp.reloadRequested) {
                Log("SIGHUP: looking at the whole folder again");
                Rescan();
            }
            TakeEvents(wakeUp.events);
            CollectFinished();
            LookAgain();
            Dispatch();
        }
        const size_t dropped = pool_.DropQueued();
        then_.StopAll();
        pool_.Wait();
        Log("stopped" + (dropped > 0
                             ? "; " + CountOf(dropped, "product") + " left for the next start"
                             : std::string()));
        return kExitDone;
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

    void TakeEvents(const std::vector<os::FolderEvent>& events) {
        using Kind = os::FolderEvent::Kind;
        for (const os::FolderEvent& event : events) {
            switch (event.kind) {
                case Kind::FileClosed:
                case Kind::FileCreated:
                case Kind::FileChanged:
                    OnArrival(event.name);
                    break;
                case Kind::Overflow:
                    Log("events were lost; looking at the whole folder again");
                    Rescan();
                    break;
                case Kind::FolderMoved:
                    OnFolderMoved(event.name);
                    break;
                case Kind::FolderGone:
                    Log("the folder " + options_.inputFolder + " is gone, and with it " +
                        CountOf(tracker_.ForgetAllWaiting(), "product") +
                        " that waited there; waiting for a folder to appear at " +
                        options_.inputFolder);
                    break;
                case Kind::FolderBack:
                    Log("a folder is at " + options_.inputFolder + " again; looking at it");
                    Rescan();
                    break;
            }
        }
    }

    // The products that waited in the folder went with it: they are joined
    // from where it went, as a timeout would have joined them.
    void OnFolderMoved(const std::string& where) {
        std::vector<ReadyProduct> waiting = tracker_.TakeAllWaiting();
        Log("the folder " + options_.inputFolder + " was moved to " + where + "; " +
            (waiting.empty() ? std::string("no product waited there")
                             : "joining from there the " + CountOf(waiting.size(), "product") +
                                   " that waited") +
            "; waiting for a folder to appear at " + options_.inputFolder);
        for (ReadyProduct& ready : waiting) {
            ready.product.folder = FolderPrefix(where);
            Submit(std::move(ready));
        }
    }

    // What the folder holds: products that are not up to date wait to be
    // joined, the time their files were last changed counting as arrival.
    void Rescan() {
        const ProductScan scan = FindProducts(options_.inputFolder, {});
        for (const FolderProblem& problem : scan.problems) {
            Log("cannot read the folder " + problem.folder + ": " + problem.error);
        }
        size_t upToDate = 0;
        for (const Product& product : scan.products) {
            if (!tracker_.Knows(product.key) && IsUpToDateProduct(product)) {
                ++upToDate;
                continue;
            }
            for (const SegmentEntry& segment : product.segments) {
                Note(product.key, segment, ArrivalOf(segment));
            }
            sought_.insert(product.key);
        }
        Log(CountOf(scan.products.size(), "product") + " in the folder, " +
            std::to_string(upToDate) + " up to date, " + std::to_string(tracker_.waiting()) +
            " waiting or being joined");
    }

    std::optional<std::string> OutputPathOf(const Product& product) const {
        try {
            return PredictOutputPath(product.FirstSegmentPath(), options_.outputFolder,
                                     options_.fillGaps);
        } catch (const os::ReadError&) {
            return std::nullopt;  // the join will say why
        }
    }

    bool IsUpToDateProduct(const Product& product) const {
        const auto outputPath = OutputPathOf(product);
        return outputPath && IsUpToDate(product, *outputPath, JoinMaking(joinOptions_));
    }

    void OnArrival(const std::string& name) {
        const int32_t number = SegmentNumberInName(name);
        if (number < 0) {
            return;  // not a segment: a temporary, a prologue, anything else
        }
        const std::string key = MaskedName(name);
        if (!tracker_.Knows(key)) {
            sought_.erase(key);
        }
        const auto segment = LookAtSegment(name, number);
        if (!segment || tracker_.Holds(key, *segment)) {
            return;  // gone again, no file, or seen as it is
        }
        SeekSiblings(key, *segment, Note(key, *segment, Clock::now()));
    }

    // Once a product has a segment whose header can be read, its other
    // segments are looked up and a segment late for its output is told of;
    // not before, since a file just created (written in place, or copied
    // with its old time) may not hold its header yet.
    void SeekSiblings(const std::string& key, const SegmentEntry& segment,
                      const SegmentProbe& probe) {
        if ((probe.whole || probe.plannedEnd > 0) && sought_.insert(key).second) {
            NoteSiblings(key, segment, probe);
            TellOfLateSegment(key, segment);
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

    // A segment of a product whose output was written before it came: the
    // product is joined again and its output replaced. A late event of a
    // product just joined finds it up to date and lets it go.
    void TellOfLateSegment(const std::string& key, const SegmentEntry& arrived) {
        const Product product = *tracker_.ProductOf(key);
        const auto outputPath = OutputPathOf(product);
        if (!outputPath) {
            return;
        }
        if (IsUpToDate(product, *outputPath, JoinMaking(joinOptions_))) {
            tracker_.Forget(key);
        } else if (ReadOutputRecord(*outputPath)) {
            Log("segment " + std::to_string(arrived.number) + " of " + key +
                " arrived after its output was written; the product will be joined again and " +
                *outputPath + " replaced");
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
        segment.file = info.identity.file;
        return segment;
    }

    SegmentProbe Note(const std::string& key, const SegmentEntry& segment,
                      Clock::time_point arrived) {
        const SegmentProbe probe = prober_.Probe(folder_ + segment.name);
        tracker_.Note(key, folder_, segment, probe, arrived);
        return probe;
    }

    // Segments not yet whole, which may grow where no event of this folder
    // tells (a link to a file written elsewhere).
    void LookAgain() {
        for (const DueLook& due : tracker_.TakeDueLooks(Clock::now())) {
            const auto segment = LookAtSegment(due.segment.name, due.segment.number);
            if (segment && !tracker_.Holds(due.key, *segment)) {
                SeekSiblings(due.key, *segment, Note(due.key, *segment, Clock::now()));
            }
        }
    }

    void Dispatch() {
        for (ReadyProduct& ready : tracker_.TakeReady(Clock::now())) {
            Submit(std::move(ready));
        }
    }

    void Submit(ReadyProduct ready) {
        pool_.Submit([this, ready = std::move(ready)] { JoinOnWorker(ready); });
    }

    void JoinOnWorker(const ReadyProduct& ready) {
        ProductResult result;
        try {
            result = JoinProduct(ready.product, options_.outputFolder, joinOptions_);
        } catch (const std::exception& failure) {
            result = FailedResult(ready.product, FailureKind::System, failure.what());
        }
        std::vector<std::string> lines = DescribeResult(result);
        lines.front() += "; " + HumanInterval(Clock::now() - ready.lastArrival) +
                         " after its last segment arrived" +
                         (ready.complete ? "" : " (timed out incomplete)");
        for (const std::string& line : lines) {
            Log(line);
        }
        const bool written = !result.outputPath.empty();
        if (written && !options_.thenCommand.empty()) {
            then_.Start(result.outputPath);
        }
        {
            std::lock_guard lock(finishedMutex_);
            finished_.push_back(
                {ready.product.key,
                 result.failure == FailureKind::System ? JoinEnd::RetryLater : JoinEnd::Done,
                 written});
        }
        watch_.Wake();
    }

    void CollectFinished() {
        std::vector<Finished> finished;
        {
            std::lock_guard lock(finishedMutex_);
            finished.swap(finished_);
        }
        const Clock::time_point now = Clock::now();
        for (const Finished& join : finished) {
            const auto retryAt = tracker_.JoinEnded(join.key, join.end, now);
            if (retryAt) {
                Log("will try " + join.key + " again in " + HumanInterval(*retryAt - now));
            } else if (tracker_.Knows(join.key)) {
                Log("segments of " + join.key +
                    " arrived while it was joined; it will be joined again");
            }
            if (join.written) {
                tracker_.RetrySoon(now);  // writing works again
            }
        }
    }

    const StationOptions& options_;
    const std::string folder_;
    os::FolderWatch& watch_;
    JoinOptions joinOptions_;
    ProductTracker tracker_;
    SegmentProber prober_;
    // The products whose other segments were looked up since they were last
    // taken up.
    std::set<std::string> sought_;
    std::mutex logMutex_;
    std::mutex finishedMutex_;
    std::vector<Finished> finished_;
    ThenRunner then_;
    // Last, so that its threads end before anything they use goes.
    WorkerPool pool_;
};

}  // namespace

int RunWatch(const StationOptions& options) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    // Before the first thread: the watch blocks SIGINT, SIGTERM and SIGHUP,
    // and every worker inherits that.
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
