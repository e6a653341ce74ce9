#include "join/join_segments.h"

#include <algorithm>
#include <array>
#include <memory>

#include "join/joined_output.h"
#include "join/product_survey.h"
#include "join/segment_name.h"

namespace segweld {
namespace {

// The progress callback is asked whether to go on at least this often.
constexpr uint64_t kProgressChunk = 8 << 20;

// Thrown when the progress callback asks the join to stop.
struct JoinStopped {};

class Joiner {
  public:
    Joiner(std::string segmentPath, std::string outputFolder, const JoinOptions& options)
        : options_(options),
          outputFolder_(std::move(outputFolder)),
          segmentName_(SplitSegmentPath(segmentPath).name),
          segmentPath_(std::move(segmentPath)) {}

    JoinReport Run() {
        const SegmentPath parts = SplitSegmentPath(segmentPath_);
        report_.firstSegmentPath = parts.directory + SegmentName(parts.name, 1);
        try {
            CHritHeaderReader reader;
            report_.stoppedAt =
                WalkSegments(segmentPath_, reader, [this](const SegmentVisit& v) { Take(v); });
            WarnOfIncompleteProduct();
            if (output_) {
                output_->Commit();
                report_.outputPath = output_->path();
                report_.bytesWritten = output_->bytesWritten();
            }
        } catch (const OutputError& error) {
            report_.error = error.what();
            report_.outputPath.clear();
        } catch (const JoinStopped&) {
            report_.stopped = true;
            report_.error = "The join was stopped; nothing was written.";
            report_.outputPath.clear();
        }
        output_.reset();
        return std::move(report_);
    }

  private:
    void ReportProgress(int32_t segmentNumber) {
        if (!options_.progress) {
            return;
        }
        JoinProgress progress;
        progress.segmentNumber = segmentNumber;
        progress.plannedSegments = survey_.plannedEnd();
        progress.bytesWritten = output_ ? output_->bytesWritten() : 0;
        if (!options_.progress(progress)) {
            throw JoinStopped{};
        }
    }

    void Take(const SegmentVisit& visit) {
        ReportProgress(visit.number);
        SegmentOutcome outcome;
        outcome.number = visit.number;
        outcome.path = visit.path;
        outcome.status = visit.status;
        outcome.reason = visit.reason;
        if (visit.status == SegmentStatus::Accepted) {
            Append(visit, outcome);
        } else {
            report_.warnings.push_back("segment " + visit.path + " skipped: " + visit.reason);
        }
        survey_.Note(visit, outcome.bytesPresent);
        report_.segments.push_back(std::move(outcome));
    }

    void WarnOfIncompleteProduct() {
        survey_.Finish(segmentPath_, report_.stoppedAt);
        for (std::string& warning : IncompleteProductWarnings(survey_)) {
            report_.warnings.push_back(std::move(warning));
        }
    }

    void Append(const SegmentVisit& visit, SegmentOutcome& outcome) {
        const uint64_t dataStart = visit.file->position();
        outcome.dataLength = visit.header->dataLength;
        if (!output_) {
            std::array<uint8_t, 4> first{};
            const size_t wanted = std::min<size_t>(first.size(), outcome.dataLength);
            const size_t count = visit.file->ReadAt(dataStart, std::span(first.data(), wanted));
            output_ = OpenJoinedOutput(segmentName_, outputFolder_, std::span(first.data(), count));
        }
        outcome.bytesPresent =
            AppendInChunks(*visit.file, dataStart, outcome.dataLength, visit.number);
        if (outcome.bytesPresent < outcome.dataLength) {
            report_.warnings.push_back("segment " + visit.path + " holds " +
                                       std::to_string(outcome.bytesPresent) + " of its " +
                                       std::to_string(outcome.dataLength) +
                                       " data bytes; zeros stand for the missing " +
                                       std::to_string(outcome.dataLength - outcome.bytesPresent));
        }
    }

    // Appends like JoinedOutputFile::AppendFrom, asking the progress callback
    // between chunks.
    uint64_t AppendInChunks(const SegmentFile& file, uint64_t offset, uint64_t length,
                            int32_t number) {
        uint64_t held = 0;
        for (uint64_t done = 0; done < length;) {
            const uint64_t step = std::min(length - done, kProgressChunk);
            const uint64_t got = output_->AppendFrom(file, offset + done, step);
            held += got;
            done += step;
            if (got < step) {
                // The file ended inside the chunk: the rest is zeros.
                output_->AppendFrom(file, offset + length, length - done);
                break;
            }
            ReportProgress(number);
        }
        return held;
    }

    const JoinOptions& options_;
    std::string outputFolder_;
    std::string segmentName_;
    std::string segmentPath_;
    JoinReport report_;
    ProductSurvey survey_;
    std::unique_ptr<JoinedOutputFile> output_;
};

}  // namespace

int JoinReport::segmentsJoined() const {
    int joined = 0;
    for (const SegmentOutcome& segment : segments) {
        joined += segment.status == SegmentStatus::Accepted ? 1 : 0;
    }
    return joined;
}

std::string JoinReport::FailureText() const {
    if (written()) {
        return "";
    }
    if (!error.empty()) {
        return error;
    }
    if (segments.empty()) {
        return "Nothing joined: the first segment " + firstSegmentPath + " does not exist.";
    }
    return "Nothing joined: none of the " + std::to_string(segments.size()) + " segments from " +
           firstSegmentPath + " on could be joined.";
}

JoinReport JoinSegments(std::string segmentPath, std::string outputFolder,
                        const JoinOptions& options) {
    return Joiner(std::move(segmentPath), std::move(outputFolder), options).Run();
}

}  // namespace segweld
