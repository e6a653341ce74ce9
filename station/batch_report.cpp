#include "station/batch_report.h"

#include <chrono>
#include <nlohmann/json.hpp>

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
        return std::unique_ptr<BatchReport>(new BatchReport(nullptr));
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

void BatchReport::WriteLine(const std::string& line) {
    std::lock_guard lock(mutex_);
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

void BatchReport::ListEntry(int line, const std::string& entry, const std::string& error) {
    const json record = {{"type", "entry"},    {"line", line},      {"entry", entry},
                         {"status", "failed"}, {"failure", "data"}, {"error", error}};
    WriteLine(record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

bool BatchReport::Finish(const RunTotals& totals, std::string& error) {
    const json line = {
        {"type", "end"},
        {"ended", totals.interrupted ? "interrupted" : "finished"},
        {"started", started_},
        {"finished", Now()},
        {"joined", totals.joined},
        {"upToDate", totals.upToDate},
        {"incomplete", totals.incomplete},
        {"failed", totals.failed},
        {"exitStatus", totals.exitStatus},
    };
    WriteLine(line.dump() + "\n");
    std::lock_guard lock(mutex_);
    if (file_ && failure_.empty()) {
        try {
            file_->Commit();
        } catch (const os::OutputError& failure) {
            failure_ = failure.what();
        }
    }
    error = failure_.empty() ? "" : "cannot write the report: " + failure_;
    return failure_.empty();
}

}  // namespace segweld::station
