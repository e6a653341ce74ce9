#include "station/batch_report.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <utility>

#include "join/segment_name.h"
#include "os/process.h"
#include "segweld_version.h"
#include "station/time_stamp.h"

namespace segweld::station {
namespace {

// Keys in the order they are written, "type" first.
using json = nlohmann::ordered_json;

std::string Now() {
    return UtcTimeStamp(std::chrono::system_clock::now());
}

json PathOrNull(const std::string& path) {
    return path.empty() ? json() : json(path);
}

const char* FailureName(FailureKind failure) {
    switch (failure) {
        case FailureKind::Data:
            return "data";
        case FailureKind::System:
            return "system";
        case FailureKind::Interrupted:
            return "interrupted";
        case FailureKind::None:
            break;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<BatchReport> BatchReport::Open(const std::string& path, std::string& error) {
    if (path == "-") {
        return std::unique_ptr<BatchReport>(new BatchReport(std::unique_ptr<os::HiddenOutput>()));
    }
    const std::string partial = SplitSegmentPath(path).name + ".partial";
    try {
        auto file = std::make_unique<os::HiddenOutput>(path, partial);
        if (!file->lockError().empty()) {
            const std::string why = "the report " + path + " is written unlocked (" +
                                    file->lockError() +
                                    "): a second run given the same report would not be refused";
            auto report = std::unique_ptr<BatchReport>(new BatchReport(std::move(file)));
            report->warning_ = why;
            return report;
        }
        return std::unique_ptr<BatchReport>(new BatchReport(std::move(file)));
    } catch (const os::OutputInUse& failure) {
        error = std::string("cannot write the report: ") + failure.what() +
                "; give each run a report of its own";
        return nullptr;
    } catch (const os::OutputError& failure) {
        error = std::string("cannot write the report: ") + failure.what();
        return nullptr;
    }
}

std::unique_ptr<BatchReport> BatchReport::OpenAppending(const std::string& path,
                                                        std::string& error) {
    if (path == "-") {
        return Open(path, error);
    }
    try {
        auto file = std::make_unique<os::AppendingFile>(path);
        const std::string lockError = file->lockError();
        auto report = std::unique_ptr<BatchReport>(new BatchReport(std::move(file)));
        if (!lockError.empty()) {
            report->warning_ = "the report " + path + " is written unlocked (" + lockError +
                               "): a second run given the same report would not be refused";
        }
        return report;
    } catch (const os::OutputInUse& failure) {
        error = std::string("cannot write the report: ") + failure.what() +
                "; give each run a report of its own";
        return nullptr;
    } catch (const os::OutputError& failure) {
        error = std::string("cannot write the report: ") + failure.what();
        return nullptr;
    }
}

std::string BatchReport::Reopen() {
    std::lock_guard lock(mutex_);
    if (!appended_) {
        return "";
    }
    if (os::LookAt(appended_->path()).identity == appended_->identity()) {
        return "";  // not moved away: it goes on as it is
    }
    try {
        appended_ = std::make_unique<os::AppendingFile>(appended_->path());
    } catch (const os::OutputError& failure) {
        return failure.what();
    }
    return "";
}

std::string BatchReport::TakeError() {
    std::lock_guard lock(mutex_);
    return std::exchange(unreported_, {});
}

void BatchReport::WriteLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (appended_) {
        try {
            appended_->Append(
                std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
        } catch (const os::OutputError& failure) {
            unreported_ = failure.what();
        }
        return;
    }
    if (!failure_.empty()) {
        return;
    }
    if (!file_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        return;
    }
    try {
        file_->Append(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    } catch (const os::OutputError& failure) {
        failure_ = failure.what();
    }
}

void BatchReport::Start(const RunDescription& run) {
    started_ = Now();
    const json line = {
        {"type", "start"},          {"version", SEGWELD_VERSION}, {"arguments", run.arguments},
        {"shard", run.shard},       {"host", os::HostName()},     {"started", started_},
        {"input", run.inputFolder}, {"output", run.outputFolder},
    };
    // Replacement characters keep the report valid when a name is not UTF-8.
    WriteLine(line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

void BatchReport::Product(const ProductResult& result) {
    json line = {
        {"type", "product"},
        {"key", result.key},
        {"status", StatusName(result.status)},
        {"output", PathOrNull(result.outputPath)},
        {"segmentsJoined", result.segmentsJoined},
        {"missing", result.missing},
        {"notJoined", result.notJoined},
        {"damaged", result.damaged},
        {"filled", result.filled},
        {"bytes", result.bytesWritten},
        {"seconds", result.seconds},
        {"warnings", result.warnings},
        {"error", result.error},
    };
    if (const char* failure = FailureName(result.failure)) {
        line["failure"] = failure;
    }
    WriteLine(line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

void BatchReport::Folder(const std::string& folder, const std::string& error) {
    const json line = {
        {"type", "folder"}, {"folder", folder}, {"status", "failed"}, {"error", error}};
    WriteLine(line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

void BatchReport::Slot(const SlotRecord& record) {
    WriteLine(SlotRecordJson(record) + "\n");
}

void BatchReport::ListEntry(int line, const std::string& entry, const std::string& error) {
    const json record = {{"type", "entry"},    {"line", line},      {"entry", entry},
                         {"status", "failed"}, {"failure", "data"}, {"error", error}};
    WriteLine(record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

bool BatchReport::Finish(const RunTotals& totals, std::string& error) {
    json line = {
        {"type", "end"},
        {"ended", totals.ended         ? totals.ended
                  : totals.interrupted ? "interrupted"
                                       : "finished"},
        {"started", started_},
        {"finished", Now()},
        {"joined", totals.joined},
        {"upToDate", totals.upToDate},
        {"incomplete", totals.incomplete},
        {"failed", totals.failed},
        {"exitStatus", totals.exitStatus},
    };
    if (totals.slots) {
        line["slots"] = {{"complete", totals.slots->complete},
                         {"incomplete", totals.slots->incomplete},
                         {"late", totals.slots->late},
                         {"upToDate", totals.slots->upToDate}};
    }
    WriteLine(line.dump() + "\n");
    std::lock_guard lock(mutex_);
    if (file_ && failure_.empty()) {
        try {
            file_->Commit();
        } catch (const os::OutputError& failure) {
            failure_ = failure.what();
        }
    }
    const std::string failure = appended_ ? std::exchange(unreported_, {}) : failure_;
    error = failure.empty() ? "" : "cannot write the report: " + failure;
    return failure.empty();
}

}  // namespace segweld::station
