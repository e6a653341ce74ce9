#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "join/join_segments.h"

class wxEvtHandler;

namespace segweld {

using JoinFunction = std::function<JoinReport(std::string segmentPath, std::string outputFolder,
                                              const JoinOptions& options)>;

// Runs one join at a time on a thread of its own. The thread touches no
// window: it hands its progress and its report, as plain values, to the
// owner's event queue, and the owner's handlers run on the window's thread.
//
// A join that does not answer a stop (a read of a network share that
// stalls) can be abandoned: the window goes on, or ends, without waiting,
// the thread ends on its own when the read returns and stops at its next
// step, and nothing of it reaches the owner any more.
class JoinWorker {
  public:
    using ProgressHandler = std::function<void(const JoinProgress&)>;
    using DoneHandler = std::function<void(const JoinReport&)>;

    JoinWorker(wxEvtHandler& owner, ProgressHandler onProgress, DoneHandler onDone);
    // Stops and abandons a join that still runs.
    ~JoinWorker();
    JoinWorker(const JoinWorker&) = delete;
    JoinWorker& operator=(const JoinWorker&) = delete;

    // From here until the done handler has run, running() is true.
    void Start(JoinFunction join, std::string segmentPath, std::string outputFolder, bool fillGaps);
    // The join ends at its next progress report, writing nothing.
    void RequestStop();
    // Stops the join that runs and lets it end on its own; running() is false
    // at once, and the done handler is not called for it.
    void Abandon();
    bool running() const { return link_ != nullptr; }

    // Waits up to `patience` for the threads of every join of the process,
    // abandoned ones included, to end. True when none is left.
    static bool ThreadsEnded(std::chrono::milliseconds patience);

  private:
    struct Link;
    static void Run(std::shared_ptr<Link> link, const JoinFunction& join,
                    const std::string& segmentPath, const std::string& outputFolder, bool fillGaps);
    // From the join's thread: runs `handle` on the window's thread, unless
    // the join has been abandoned by then.
    static void Post(const std::shared_ptr<Link>& link, std::function<void(JoinWorker&)> handle);

    wxEvtHandler& owner_;
    ProgressHandler onProgress_;
    DoneHandler onDone_;
    std::shared_ptr<Link> link_;  // the join that runs; none between joins
};

}  // namespace segweld
