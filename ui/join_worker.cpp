#include "ui/join_worker.h"

#include <wx/event.h>

#include <exception>

namespace segweld {

JoinWorker::JoinWorker(wxEvtHandler& owner, ProgressHandler onProgress, DoneHandler onDone)
    : owner_(owner), onProgress_(std::move(onProgress)), onDone_(std::move(onDone)) {}

JoinWorker::~JoinWorker() {
    RequestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void JoinWorker::Start(JoinFunction join, std::string segmentPath, std::string outputFolder) {
    stopRequested_ = false;
    thread_ = std::thread(
        [this, join = std::move(join), segmentPath = std::move(segmentPath),
         outputFolder = std::move(outputFolder)] { Run(join, segmentPath, outputFolder); });
}

// On the worker's thread. Everything it hands on is copied into the event.
void JoinWorker::Run(const JoinFunction& join, const std::string& segmentPath,
                     const std::string& outputFolder) {
    JoinOptions options;
    options.progress = [this](const JoinProgress& progress) {
        owner_.CallAfter([this, progress] { onProgress_(progress); });
        return !stopRequested_;
    };
    JoinReport report;
    try {
        report = join(segmentPath, outputFolder, options);
    } catch (const std::exception& error) {
        report.error = std::string("The join stopped: ") + error.what();
    } catch (...) {
        report.error = "The join stopped on an unknown error.";
    }
    // The last thing the thread does; the owner's queue outlives it, since
    // the owner waits for the thread before it goes.
    owner_.CallAfter([this, report] { Finish(report); });
}

// On the window's thread: the thread has posted its last event and is ending.
void JoinWorker::Finish(const JoinReport& report) {
    thread_.join();
    onDone_(report);
}

}  // namespace segweld
