#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "join/join_segments.h"

class wxEvtHandler;

namespace segweld {

using JoinFunction = std::function<JoinReport(std::string segmentPath, std::string outputFolder,
                                              const JoinOptions& options)>;

// Runs one join at a time on a thread of its own. The thread touches no
// window: it hands its progress and its report, as plain values, to the
// owner's event queue, and the owner's handlers run on the window's thread.
class JoinWorker {
  public:
    using ProgressHandler = std::function<void(const JoinProgress&)>;
    using DoneHandler = std::function<void(const JoinReport&)>;

    JoinWorker(wxEvtHandler& owner, ProgressHandler onProgress, DoneHandler onDone);
    // Stops a join that still runs and waits for its thread.
    ~JoinWorker();
    JoinWorker(const JoinWorker&) = delete;
    JoinWorker& operator=(const JoinWorker&) = delete;

    // From here until the done handler has run, running() is true.
    void Start(JoinFunction join, std::string segmentPath, std::string outputFolder);
    // The join ends at its next progress report, writing nothing.
    void RequestStop() { stopRequested_ = true; }
    bool running() const { return thread_.joinable(); }

  private:
    void Run(const JoinFunction& join, const std::string& segmentPath,
             const std::string& outputFolder);
    void Finish(const JoinReport& report);

    wxEvtHandler& owner_;
    ProgressHandler onProgress_;
    DoneHandler onDone_;
    std::atomic<bool> stopRequested_ = false;
    std::thread thread_;
};

}  // namespace segweld
