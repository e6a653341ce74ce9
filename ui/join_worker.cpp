#include "ui/join_worker.h"

#include <wx/event.h>

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace segweld {
namespace {

std::atomic<int> liveThreads = 0;

// Counts a join's thread from its start to its end.
class CountedThread {
  public:
    CountedThread() { ++liveThreads; }
    ~CountedThread() { --liveThreads; }
    CountedThread(const CountedThread&) = delete;
    CountedThread& operator=(const CountedThread&) = delete;
};

}  // namespace

// What one join's thread shares with the window's thread.
struct JoinWorker::Link {
    std::mutex mutex;
    JoinWorker* worker = nullptr;  // written on the window's thread; null once abandoned
    std::atomic<bool> stopRequested = false;
};

JoinWorker::JoinWorker(wxEvtHandler& owner, ProgressHandler onProgress, DoneHandler onDone)
    : owner_(owner), onProgress_(std::move(onProgress)), onDone_(std::move(onDone)) {}

JoinWorker::~JoinWorker() {
    Abandon();
}

void JoinWorker::Start(JoinFunction join, std::string segmentPath, std::string outputFolder,
                       bool fillGaps) {
    link_ = std::make_shared<Link>();
    link_->worker = this;
    std::thread(&JoinWorker::Run, link_, std::move(join), std::move(segmentPath),
                std::move(outputFolder), fillGaps)
        .detach();
}

void JoinWorker::RequestStop() {
    if (link_) {
        link_->stopRequested = true;
    }
}

void JoinWorker::Abandon() {
    if (!link_) {
        return;
    }
    RequestStop();
    {
        std::lock_guard lock(link_->mutex);
        link_->worker = nullptr;
    }
    link_.reset();
}

bool JoinWorker::ThreadsEnded(std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (liveThreads > 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return liveThreads == 0;
}

// On the join's thread. Everything it hands on is copied into the event.
void JoinWorker::Run(std::shared_ptr<Link> link, const JoinFunction& join,
                     const std::string& segmentPath, const std::string& outputFolder,
                     bool fillGaps) {
    const CountedThread counted;
    JoinOptions options;
    options.fillGaps = fillGaps;
    options.progress = [&link](const JoinProgress& progress) {
        Post(link, [progress](JoinWorker& worker) { worker.onProgress_(progress); });
        return !link->stopRequested;
    };
    JoinReport report;
    try {
        report = join(segmentPath, outputFolder, options);
    } catch (const std::exception& error) {
        report.error = std::string("The join stopped: ") + error.what();
    } catch (...) {
        report.error = "The join stopped on an unknown error.";
    }
    Post(link, [report](JoinWorker& worker) {
        worker.link_.reset();
        worker.onDone_(report);
    });
}

// The lock keeps Abandon from returning while an event is being queued, so
// that nothing reaches an owner that has been told to forget the join; the
// check on arrival drops what was queued before.
void JoinWorker::Post(const std::shared_ptr<Link>& link, std::function<void(JoinWorker&)> handle) {
    std::lock_guard lock(link->mutex);
    if (link->worker == nullptr) {
        return;
    }
    link->worker->owner_.CallAfter([link, handle = std::move(handle)] {
        JoinWorker* worker = link->worker;
        if (worker != nullptr && worker->link_ == link) {
            handle(*worker);
        }
    });
}

}  // namespace segweld
