#include "station/watch_mode.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <set>

#include "join/number_list.h"
#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/folder_watch.h"
#include "os/folders.h"
#include "os/service_notify.h"
#include "os/socket_io.h"
#include "station/batch_mode.h"
#include "station/batch_report.h"
#include "station/log_line.h"
#include "station/metrics_endpoint.h"
#include "station/output_index.h"
#include "station/output_record.h"
#include "station/product_log.h"
#include "station/product_tracker.h"
#include "station/segment_probe.h"
#include "station/slot_book.h"
#include "station/slot_images.h"
#include "station/slot_member.h"
#include "station/slot_publisher.h"
#include "station/station_metrics.h"
#include "station/status_board.h"
#include "station/status_page.h"
#include "station/then_command.h"
#include "station/time_stamp.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

using Clock = std::chrono::steady_clock;
using Wall = std::chrono::system_clock;

// A join that has ended, as the worker hands it back to the watch.
struct Finished {
    std::string key;
    JoinEnd end = JoinEnd::Done;
    bool written = false;
    ProductStatus status = ProductStatus::Failed;
    std::string name;      // of its first segment
    ChannelRecord member;  // what it is to its slot
    ProductResult result;  // for the status page
};

// What --metrics gives the watch to tell: both are safe on any thread.
struct Monitoring {
    StationMetrics* metrics = nullptr;
    StatusBoard* board = nullptr;
    std::string url;        // where they are served
    bool loopback = false;  // served on this machine alone
};

// How long ago a steady time was, on the wall clock.
Wall::time_point WallOf(Clock::time_point when) {
    return Wall::now() - std::chrono::duration_cast<Wall::duration>(Clock::now() - when);
}

SlotRules RulesOf(const StationOptions& options) {
    SlotRules rules;
    if (!options.slotChannels.empty()) {
        rules.channels = options.slotChannels;
    }
    rules.timeout = options.slotTimeout;
    return rules;
}

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
    WatchSession(const StationOptions& options, os::FolderWatch& watch,
                 const os::ServiceNotifier& notifier, const OutputMaker& maker, BatchReport* report,
                 const Monitoring& monitoring)
        : options_(options),
          monitoring_(monitoring),
          metrics_(monitoring.metrics),
          folder_(FolderPrefix(options.inputFolder)),
          watch_(watch),
          notifier_(notifier),
          maker_(maker),
          format_(LogLineFormat::ForStandardError()),
          verbosity_(options.verbosity),
          tracker_(options.timeout),
          then_(
              options.thenCommand, options.thenTimeout,
              [this](const LogLine& line) { Log(line.level, line.text); }, "then",
              metrics_ != nullptr ? &metrics_->then() : nullptr),
          thenSlot_(
              options.thenSlotCommand, options.thenTimeout,
              [this](const LogLine& line) { Log(line.level, line.text); }, "then-slot",
              metrics_ != nullptr ? &metrics_->thenSlot() : nullptr),
          report_(report),
          places_(options.outputFolder, options.slotFolders),
          slotImages_(MakeSlotImageWriter(maker, options, places_)),
          publisher_(
              places_, report, &thenSlot_,
              [this](const LogLine& line) { Log(line.level, line.text); },
              slotImages_ ? &*slotImages_ : nullptr),
          pool_(options.workers > 0 ? options.workers : DefaultWorkerCount()) {
        if (options.slots) {
            slots_.emplace(
                RulesOf(options), [this](const SlotRecord& record) { publisher_.Publish(record); },
                [this](const SlotId& id) { return publisher_.Earlier(id); });
            if (metrics_ != nullptr) {
                slots_->AddObserver([this](const SlotRecord& record) {
                    metrics_->SlotPublished(record);
                    monitoring_.board->SlotPublished(record, Wall::now());
                });
            }
        }
    }

    int Run() {
        Log(LogLevel::Info,
            "watching " + options_.inputFolder + ", joining into " + options_.outputFolder);
        TellOfMonitoring();
        Rescan();
        Dispatch();
        ShowWaiting();
        notifier_.Ready(StatusText());
        for (;;) {
            const os::WatchWakeUp wakeUp = watch_.Wait(TimeToWake());
            notifier_.WatchdogPing();
            if (wakeUp.stopRequested) {
                break;
            }
            if (wakeUp.reloadRequested) {
                Reload();
            }
            TakeEvents(wakeUp.events);
            CollectFinished();
            LookAgain();
            CloseDueSlots();
            Dispatch();
            TellOfReportErrors();
            ShowWaiting();
        }
        notifier_.Stopping();
        const size_t dropped = pool_.DropQueued();
        then_.StopAll();
        thenSlot_.StopAll();
        pool_.Wait();
        // The joins that ended meanwhile count; their slots are published at
        // the next start, which finds their outputs up to date.
        if (slots_) {
            const SlotBook::Counts counts = slots_->counts();
            totals_.slots =
                SlotTotals{counts.complete, counts.incomplete, counts.late, counts.unchanged};
            slots_.reset();
        }
        CollectFinished();
        FinishReport();
        Log(LogLevel::Info, "stopped" + (dropped > 0 ? "; " + CountOf(dropped, "product") +
                                                           " left for the next start"
                                                     : std::string()));
        return kExitDone;
    }

  private:
    void Log(LogLevel level, const std::string& text) {
        if (!Shows(verbosity_, level)) {
            return;
        }
        const std::string line = format_.Format(level, text, std::chrono::system_clock::now());
        std::lock_guard lock(logMutex_);
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }

    void TellOfMonitoring() {
        if (metrics_ == nullptr) {
            return;
        }
        Log(LogLevel::Info, "serving metrics at " + monitoring_.url +
                                "metrics and the status page at " + monitoring_.url);
        if (!monitoring_.loopback) {
            Log(LogLevel::Warning,
                "--metrics " + options_.metrics->Text() +
                    " is not a loopback address: whoever can reach it sees the metrics and the "
                    "status page, which names the folders and products; 127.0.0.1 keeps them on "
                    "this machine");
        }
    }

    // The gauges of the products that wait, and the page's list of them.
    void ShowWaiting() {
        if (metrics_ == nullptr) {
            return;
        }
        const auto oldest = tracker_.OldestArrival();
        metrics_->Waiting(tracker_.waiting(),
                          oldest ? std::optional(WallOf(*oldest)) : std::nullopt);
        std::vector<StatusWaiting> waiting;
        for (const ProductTracker::Waiting& product :
             tracker_.WaitingList(StatusBoard::kWaitingShown)) {
            waiting.push_back({product.key, product.name, product.segments,
                               WallOf(product.firstArrival), product.joining});
        }
        monitoring_.board->SetWaiting(std::move(waiting), tracker_.waiting());
    }

    std::string StatusText() const {
        return CountOf(written_, "product") + " written, " + std::to_string(tracker_.waiting()) +
               " waiting or being joined";
    }

    // SIGHUP, a `systemctl reload`, a logrotate: the configuration file is
    // read again and the folder looked at anew.
    void Reload() {
        notifier_.Reloading();
        Log(LogLevel::Info,
            "SIGHUP: " +
                std::string(options_.rereadConfig
                                ? "reading " + options_.configPath + " again and looking"
                                : "looking") +
                " at the whole folder again");
        if (options_.rereadConfig) {
            ApplyConfiguration();
        }
        if (report_ != nullptr) {
            const std::string error = report_->Reopen();
            if (!error.empty()) {
                Log(LogLevel::Failure, "the report goes on where it was: " + error);
            }
        }
        Rescan();
        notifier_.Ready(StatusText());
    }

    // What can change while the watch runs: the timeouts, the --then command
    // and how much is logged. The rest takes a new start.
    void ApplyConfiguration() {
        std::string error;
        const StationOptions read = options_.rereadConfig(error);
        if (!error.empty()) {
            Log(LogLevel::Failure, "the configuration stays as it was: " + error);
            return;
        }
        tracker_.SetTimeout(read.timeout);
        then_.Reconfigure(read.thenCommand, read.thenTimeout);
        thenSlot_.Reconfigure(read.thenSlotCommand, read.thenTimeout);
        verbosity_ = read.verbosity;
        const bool restartNeeded =
            read.inputFolder != options_.inputFolder ||
            read.outputFolder != options_.outputFolder || read.fillGaps != options_.fillGaps ||
            read.geoTiff != options_.geoTiff || read.netCdf != options_.netCdf ||
            read.calibration != options_.calibration ||
            read.calibrationMode != options_.calibrationMode || read.workers != options_.workers ||
            read.reportPath != options_.reportPath || read.slots != options_.slots ||
            read.slotChannels != options_.slotChannels ||
            read.slotFolders != options_.slotFolders || read.slotTimeout != options_.slotTimeout ||
            read.metrics != options_.metrics;
        if (restartNeeded) {
            Log(LogLevel::Warning,
                "the folders, --fill-gaps, --geotiff, --netcdf, --calibration, --calibration-mode, "
                "-j, --report, --metrics and the slot options but --then-slot take effect only at "
                "the next start");
        }
    }

    // Until the next deadline of a product or a slot, or the next watchdog
    // ping.
    std::optional<std::chrono::milliseconds> TimeToWake() const {
        std::optional<std::chrono::milliseconds> wait = notifier_.WatchdogPingPeriod();
        for (const auto deadline :
             {tracker_.NextDeadline(), slots_ ? slots_->NextDeadline() : std::nullopt}) {
            if (deadline) {
                // Rounded up, so the wait never ends just before the deadline.
                const auto untilDeadline =
                    std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                wait = wait ? std::min(*wait, untilDeadline) : untilDeadline;
            }
        }
        return wait;
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
                    Log(LogLevel::Warning, "events were lost; looking at the whole folder again");
                    Rescan();
                    break;
                case Kind::FolderMoved:
                    OnFolderMoved(event.name);
                    break;
                case Kind::FolderGone:
                    Log(LogLevel::Failure,
                        "the folder " + options_.inputFolder + " is gone, and with it " +
                            CountOf(tracker_.ForgetAllWaiting(), "product") +
                            " that waited there; waiting for a folder to appear at " +
                            options_.inputFolder);
                    std::erase_if(sought_,
                                  [this](const auto& key) { return !tracker_.Knows(key); });
                    break;
                case Kind::FolderBack:
                    Log(LogLevel::Info,
                        "a folder is at " + options_.inputFolder + " again; looking at it");
                    Rescan();
                    break;
            }
        }
    }

    // The products that waited in the folder went with it: they are joined
    // from where it went, as a timeout would have joined them.
    void OnFolderMoved(const std::string& where) {
        std::vector<ReadyProduct> waiting = tracker_.TakeAllWaiting();
        Log(LogLevel::Warning,
            "the folder " + options_.inputFolder + " was moved to " + where + "; " +
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
        const ProductScan scan = FindProducts(
            options_.inputFolder, {false, Shard{}, maker_.usesCompanions(), options_.slots});
        for (const FolderProblem& problem : scan.problems) {
            Log(LogLevel::Failure,
                "cannot read the folder " + problem.folder + ": " + problem.error);
        }
        size_t upToDate = 0;
        OutputIndex outputs;
        for (const Product& product : scan.products) {
            const auto output =
                tracker_.Knows(product.key)
                    ? std::nullopt
                    : outputs.UpToDateOutput(product, OutputFolderOf(product), maker_.making());
            if (output) {
                ++upToDate;
                Log(LogLevel::Detail, "up to date " + product.key);
                NoteUpToDate(product, *output);
                continue;
            }
            for (const SegmentEntry& segment : product.segments) {
                Note(product.key, segment, ArrivalOf(segment));
            }
            sought_.insert(product.key);
            AwaitCompanions(product.key);
        }
        for (const SlotCompanion& companion : scan.slotCompanions) {
            NoteSlotFile(companion.entry, "", false);
        }
        Log(LogLevel::Info, CountOf(scan.products.size(), "product") + " in the folder, " +
                                std::to_string(upToDate) + " up to date, " +
                                std::to_string(tracker_.waiting()) + " waiting or being joined");
    }

    // The output folder, or with --slot-folders the product's slot's below it.
    std::string OutputFolderOf(const Product& product) const {
        return places_.OutputFolder("", product.segments.front().name);
    }

    // Tells the slots of a file of theirs, a segment of `productKey` or a
    // prologue or epilogue. A slot's time runs from when this watch first saw
    // a file of it: files moved in keep their old times, and a slot half
    // received before a restart gets its time again.
    void NoteSlotFile(const SegmentEntry& entry, const std::string& productKey, bool awaitsJoin) {
        if (!slots_) {
            return;
        }
        if (const auto file = SlotFileOf("", entry.name)) {
            const Wall::time_point changed(std::chrono::duration_cast<Wall::duration>(
                std::chrono::nanoseconds(entry.modifiedNanoseconds)));
            slots_->Arrived(
                *file, {entry.name, entry.number, productKey, Wall::now(), changed, awaitsJoin},
                Clock::now());
        }
    }

    // A product whose output is up to date is complete or not as the walk
    // over its headers finds it, unless its slot's last publication tells.
    void NoteUpToDate(const Product& product, const std::string& output) {
        const std::string& name = product.segments.front().name;
        const auto file = slots_ ? SlotFileOf("", name) : std::nullopt;
        if (!file) {
            return;
        }
        for (const SegmentEntry& segment : product.segments) {
            NoteSlotFile(segment, product.key, false);
        }
        slots_->UpToDate(
            *file, product.key, output,
            [&] {
                return SurveyMember(product.key, product.FirstSegmentPath(), output, file->channel,
                                    options_.fillGaps);
            },
            Clock::now());
    }

    // Slots whose time is up take their products that still wait: they are
    // joined now with what they have.
    void CloseDueSlots() {
        if (!slots_) {
            return;
        }
        for (const std::string& key : slots_->CloseDue(Clock::now())) {
            if (auto ready = tracker_.TakeNow(key)) {
                Submit(std::move(*ready));
            }
        }
    }

    void TellOfReportErrors() {
        if (report_ != nullptr) {
            const std::string error = report_->TakeError();
            if (!error.empty()) {
                Log(LogLevel::Failure, "cannot write the report: " + error);
            }
        }
    }

    void FinishReport() {
        if (report_ == nullptr) {
            return;
        }
        totals_.ended = "stopped";
        std::string error;
        if (!report_->Finish(totals_, error)) {
            Log(LogLevel::Failure, error);
        }
    }

    std::optional<std::string> OutputPathOf(const Product& product) const {
        try {
            return maker_.PredictOutput(product.FirstSegmentPath(), OutputFolderOf(product));
        } catch (const os::ReadError&) {
            return std::nullopt;  // the join will say why
        }
    }

    void OnArrival(const std::string& name) {
        const int32_t number = SegmentNumberInName(name);
        if (number < 0) {
            OnCompanionArrival(name);
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
            AwaitCompanions(key);
            TellOfLateSegment(key, segment);
        }
    }

    // A GeoTIFF is made from a product's prologue and epilogue too: a product
    // waits for its epilogue as for a segment.
    void AwaitCompanions(const std::string& key) {
        if (!maker_.usesCompanions() || !tracker_.Knows(key)) {
            return;
        }
        Product product = *tracker_.ProductOf(key);
        AddCompanionCandidates(product);
        LookAtSegments(product);
        tracker_.AwaitEpilogue(
            key, std::none_of(product.companions.begin(), product.companions.end(),
                              [](const auto& c) { return c.number == kEpilogueNumber; }));
    }

    // A prologue or epilogue changes the GeoTIFFs of its time slot: those
    // waiting look for it again, and those written without it are not up to
    // date any more.
    void OnCompanionArrival(const std::string& name) {
        if (const os::PathInfo info = os::LookAt(folder_ + name);
            info.kind == os::PathKind::RegularFile) {
            NoteSlotFile({0, name, info.size, info.modifiedNanoseconds, info.identity.file}, "",
                         false);
        }
        const std::string slot = SlotMaskedName(name);
        if (!maker_.usesCompanions() || slot.empty()) {
            return;
        }
        for (const std::string& key : tracker_.Keys()) {
            if (SlotMaskedName(tracker_.ProductOf(key)->segments.front().name) == slot) {
                AwaitCompanions(key);
            }
        }
        Log(LogLevel::Info, name + " arrived; looking at its time slot's products again");
        Rescan();
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
            for (const std::string& name : SegmentFileNames(arrived.name, number)) {
                if (const auto sibling = LookAtSegment(name, number)) {
                    Note(key, *sibling, ArrivalOf(*sibling));
                    break;  // stored plain or compressed, as a join takes it
                }
            }
        }
    }

    // A segment of a product whose output was written before it came: the
    // product is joined again and its output replaced. A late event of a
    // product just joined finds it up to date and lets it go.
    void TellOfLateSegment(const std::string& key, const SegmentEntry& arrived) {
        Product product = *tracker_.ProductOf(key);
        if (maker_.usesCompanions()) {
            AddCompanionCandidates(product);
            LookAtSegments(product);
        }
        const auto outputPath = OutputPathOf(product);
        if (!outputPath) {
            return;
        }
        if (IsUpToDate(product, *outputPath, maker_.making())) {
            tracker_.Forget(key);
            sought_.erase(key);
            NoteUpToDate(product, *outputPath);
        } else if (ReadOutputRecord(*outputPath)) {
            lateProducts_.insert(key);
            if (metrics_ != nullptr && !slots_) {
                metrics_->LateFile();
            }
            Log(LogLevel::Info,
                "segment " + std::to_string(arrived.number) + " of " + key +
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
        segment.changedNanoseconds = info.changedNanoseconds;
        return segment;
    }

    SegmentProbe Note(const std::string& key, const SegmentEntry& segment,
                      Clock::time_point arrived) {
        const SegmentProbe probe = prober_.Probe(folder_ + segment.name);
        // Counted once whole: a file seen while it is written would count
        // as often as the system reports its growth.
        if (tracker_.Note(key, folder_, segment, probe, arrived) && metrics_ != nullptr) {
            metrics_->SegmentsSeen(1);
        }
        NoteSlotFile(segment, key, true);
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
            Product product = ready.product;
            if (maker_.usesCompanions()) {
                AddCompanionCandidates(product);
            }
            const std::string folder = OutputFolderOf(product);
            std::string error;
            result = os::MakeFolders(folder, error)
                         ? MakeProduct(product, folder, maker_)
                         : FailedResult(product, FailureKind::System, error);
        } catch (const std::exception& failure) {
            result = FailedResult(ready.product, FailureKind::System, failure.what());
        }
        if (report_ != nullptr) {
            report_->Product(result);
        }
        const Clock::time_point ended = Clock::now();
        if (metrics_ != nullptr) {
            CountJoin(ready, result, ended);
        }
        std::vector<LogLine> lines = DescribeResult(result);
        lines.front().text += "; " + HumanInterval(ended - ready.lastArrival) +
                              " after its last segment arrived" +
                              (ready.complete ? "" : " (timed out incomplete)");
        for (const LogLine& line : lines) {
            Log(line.level, line.text);
        }
        const bool written = !result.outputPath.empty();
        if (written) {
            then_.Start(result.outputPath);
        }
        {
            std::lock_guard lock(finishedMutex_);
            const std::string& name = ready.product.segments.front().name;
            const auto file = options_.slots ? SlotFileOf("", name) : std::nullopt;
            finished_.push_back(
                {ready.product.key,
                 result.failure == FailureKind::System ? JoinEnd::RetryLater : JoinEnd::Done,
                 written, result.status, name,
                 file ? MemberOf(result, file->channel) : ChannelRecord{},
                 metrics_ != nullptr ? std::move(result) : ProductResult{}});
        }
        watch_.Wake();
    }

    // On the worker: the counters, and for an output written its delays.
    void CountJoin(const ReadyProduct& ready, const ProductResult& result,
                   Clock::time_point ended) {
        const std::string& name = ready.product.segments.front().name;
        metrics_->ProductEnded(result, name, Wall::now());
        if (result.outputPath.empty()) {
            return;
        }
        std::optional<std::chrono::nanoseconds> sinceNominal;
        if (const auto file = SlotFileOf("", name)) {
            sinceNominal = Wall::now() - file->slot.key.NominalTime();
        }
        metrics_->OutputDelays(ended - ready.lastArrival, sinceNominal);
    }

    void Count(ProductStatus status) {
        switch (status) {
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
                break;
        }
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
            if (retryAt && metrics_ != nullptr) {
                metrics_->Retried();
            }
            if (retryAt) {
                Log(LogLevel::Warning,
                    "will try " + join.key + " again in " + HumanInterval(*retryAt - now));
            } else if (tracker_.Knows(join.key)) {
                Log(LogLevel::Info, "segments of " + join.key +
                                        " arrived while it was joined; it will be joined again");
            }
            if (join.written) {
                ++written_;
                tracker_.RetrySoon(now);  // writing works again
            }
            Count(join.status);
            const bool again = lateProducts_.erase(join.key) > 0;
            if (metrics_ != nullptr && join.end == JoinEnd::Done) {
                monitoring_.board->ProductEnded(join.result, join.name, again, Wall::now());
            }
            if (!tracker_.Knows(join.key)) {
                sought_.erase(join.key);  // done with: its next segment starts anew
            }
            if (const auto file = slots_ ? SlotFileOf("", join.name) : std::nullopt) {
                slots_->Joined(*file, join.member, tracker_.Knows(join.key), now);
            }
        }
        if (!finished.empty()) {
            notifier_.Status(StatusText());
        }
    }

    const StationOptions& options_;
    const Monitoring monitoring_;
    StationMetrics* const metrics_;  // null without --metrics
    const std::string folder_;
    os::FolderWatch& watch_;
    const os::ServiceNotifier& notifier_;
    const OutputMaker& maker_;
    const LogLineFormat format_;
    std::atomic<Verbosity> verbosity_;
    size_t written_ = 0;
    ProductTracker tracker_;
    SegmentProber prober_;
    // The products whose other segments were looked up since they were last
    // taken up.
    std::set<std::string> sought_;
    // Products joined again because a segment came after their output.
    std::set<std::string> lateProducts_;
    std::mutex logMutex_;
    std::mutex finishedMutex_;
    std::vector<Finished> finished_;
    ThenRunner then_;
    ThenRunner thenSlot_;
    BatchReport* const report_;
    RunTotals totals_;
    const SlotPlaces places_;
    const std::optional<SlotImageWriter> slotImages_;
    const SlotPublisher publisher_;
    std::optional<SlotBook> slots_;
    // Last, so that its threads end before anything they use goes.
    WorkerPool pool_;
};

// Binds --metrics' address; nullptr, after saying why, when it cannot.
std::unique_ptr<MetricsEndpoint> ServeMetrics(const ListenAddress& address,
                                              const StationMetrics& metrics,
                                              const StatusBoard& board, Monitoring& monitoring) {
    std::string error;
    monitoring.loopback = os::IsLoopbackHost(address.host, error);
    std::unique_ptr<MetricsEndpoint> endpoint;
    if (error.empty()) {
        endpoint = MetricsEndpoint::Start(address,
                                          {[&metrics] { return metrics.Exposition(Wall::now()); },
                                           [&metrics, &board] {
                                               return StatusPageHtml(board.View(Wall::now()),
                                                                     metrics.written());
                                           }},
                                          error);
    }
    if (!endpoint) {
        std::fprintf(stderr, "segweld: --metrics %s: cannot serve there: %s\n",
                     address.Text().c_str(), error.c_str());
        return nullptr;
    }
    monitoring.url = endpoint->Url();
    return endpoint;
}

}  // namespace

int RunWatch(const StationOptions& options, const ImageWriterLoader& loadImageWriter) {
    if (!CheckFolders(options)) {
        return kExitBadArguments;
    }
    const std::unique_ptr<OutputMaker> maker = MakeOutputMaker(options, loadImageWriter);
    if (!maker) {
        return kExitBadArguments;
    }
    std::string error;
    if (!os::CanWriteInto(options.outputFolder, error)) {
        std::fprintf(stderr, "segweld: cannot write into the output folder %s: %s\n",
                     options.outputFolder.c_str(), error.c_str());
        return kExitBadArguments;
    }
    std::unique_ptr<BatchReport> report;
    if (options.reportPath) {
        report = BatchReport::OpenAppending(*options.reportPath, error);
        if (!report) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
            return kExitBadArguments;
        }
        if (!report->warning().empty()) {
            std::fprintf(stderr, "segweld: warning: %s\n", report->warning().c_str());
        }
        report->Start({options.commandLine, "0/1", options.inputFolder, options.outputFolder});
    }
    // Before the first thread: the environment loses the service manager's
    // variables, so no --then command talks to it in this process's name.
    // SIGINT, SIGTERM and SIGHUP have been held since main() began, in every
    // thread (the GeoTIFF module's too): the FolderWatch reads them, those
    // that came during the start included.
    const os::ServiceNotifier notifier = os::ServiceNotifier::TakeFromEnvironment();
    const std::unique_ptr<os::FolderWatch> watch =
        os::FolderWatch::Open(options.inputFolder, error);
    if (!watch) {
        std::fprintf(stderr, "segweld: %s\n", error.c_str());
        return kExitFailures;
    }
    if (!options.metrics) {
        return WatchSession(options, *watch, notifier, *maker, report.get(), {}).Run();
    }
    StationMetrics metrics;
    StatusBoard board(options.inputFolder, options.outputFolder, options.slots,
                      options.slotChannels.empty() ? SeviriChannels() : options.slotChannels);
    Monitoring monitoring{&metrics, &board, "", false};
    const std::unique_ptr<MetricsEndpoint> endpoint =
        ServeMetrics(*options.metrics, metrics, board, monitoring);
    if (!endpoint) {
        return kExitBadArguments;
    }
    return WatchSession(options, *watch, notifier, *maker, report.get(), monitoring).Run();
}

}  // namespace segweld::station
