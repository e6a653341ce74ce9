#include "join/join_segments.h"

#include <algorithm>
#include <array>
#include <memory>

#include "join/joined_output.h"
#include "join/number_list.h"
#include "join/product_survey.h"
#include "join/walk_plan.h"

namespace segweld {
namespace {

// The progress callback is asked whether to go on at least this often.
constexpr uint64_t kProgressChunk = 8 << 20;

// Thrown when the progress callback asks the join to stop.
struct JoinStopped {};

// Where a join puts the data fields it takes.
class JoinedData {
  public:
    virtual ~JoinedData() = default;
    // At the first accepted segment: the output is named after `namingName`
    // and the first bytes of its data field.
    virtual void Open(const std::string& namingName, std::span<const uint8_t> firstBytes) = 0;
    virtual bool isOpen() const = 0;
    // Appends `length` bytes of the segment `file` from `offset`; returns how
    // many the segment held there.
    virtual uint64_t AppendFrom(SegmentSource& file, uint64_t offset, uint64_t length) = 0;
    virtual void AppendZeros(uint64_t count) = 0;
    virtual uint64_t size() const = 0;
    // The output is finished: the report tells where it is.
    virtual void Commit(JoinReport& report) = 0;
};

// The joined output, a file in the output folder.
class JoinedFile : public JoinedData {
  public:
    explicit JoinedFile(std::string outputFolder) : outputFolder_(std::move(outputFolder)) {}

    void Open(const std::string& namingName, std::span<const uint8_t> firstBytes) override {
        output_ = OpenJoinedOutput(namingName, outputFolder_, firstBytes);
    }
    bool isOpen() const override { return output_ != nullptr; }
    uint64_t AppendFrom(SegmentSource& file, uint64_t offset, uint64_t length) override {
        return file.AppendTo(*output_, offset, length);
    }
    void AppendZeros(uint64_t count) override { output_->AppendZeros(count); }
    uint64_t size() const override { return output_ ? output_->size() : 0; }
    void Commit(JoinReport& report) override {
        output_->Commit();
        report.outputPath = output_->finalPath();
        report.bytesWritten = output_->size();
    }

  private:
    std::string outputFolder_;
    std::unique_ptr<os::HiddenOutput> output_;
};

// No output at all: only what the join would write is counted, for a walk
// whose caller reads the segments' data itself.
class NoJoinedData : public JoinedData {
  public:
    void Open(const std::string&, std::span<const uint8_t>) override { open_ = true; }
    bool isOpen() const override { return open_; }
    uint64_t AppendFrom(SegmentSource& file, uint64_t offset, uint64_t length) override {
        const uint64_t held = file.BytesFrom(offset, length);
        size_ += held;
        return held;
    }
    void AppendZeros(uint64_t count) override { size_ += count; }
    uint64_t size() const override { return size_; }
    void Commit(JoinReport&) override {}

  private:
    bool open_ = false;
    uint64_t size_ = 0;
};

class Joiner {
  public:
    Joiner(std::string segmentPath, JoinedData& data, const JoinOptions& options,
           std::function<void(const SegmentVisit&)> take = {})
        : options_(options),
          segmentPath_(std::move(segmentPath)),
          data_(data),
          take_(std::move(take)) {}

    JoinReport Run() {
        try {
            walk_ = PlanWalk(segmentPath_, options_.fillGaps);
            report_.namingName = walk_.namingName;
            report_.firstNumber = walk_.first;
            report_.firstSegmentPath = StoredSegmentPath(segmentPath_, walk_.first);
            for (std::string& warning : walk_.warnings) {
                AddWarning(std::move(warning));
            }
            CHritHeaderReader reader;
            report_.stoppedAt = WalkSegments(
                segmentPath_, reader,
                [this](const SegmentVisit& v) {
                    Take(v);
                    return true;
                },
                [this](int32_t number) { return PassGap(number); }, walk_.first, walk_.named);
            FillPendingGaps(previousImageBytes_);
            if (!report_.filled.empty()) {
                const char* noun = report_.filled.size() == 1 ? "segment " : "segments ";
                AddWarning("missing " + std::string(noun) + FormatNumberList(report_.filled) +
                           " written as zeros in their place");
            }
            WarnOfIncompleteProduct();
            if (data_.isOpen()) {
                // A stop asked for while the last reads ran still commits nothing.
                ReportProgress(report_.segments.back().number);
                data_.Commit(report_);
            }
        } catch (const os::OutputError& error) {
            Fail(error.what());
        } catch (const os::ReadError& error) {
            Fail(error.what());
        } catch (const JoinStopped&) {
            report_.stopped = true;
            Fail("The join was stopped; nothing was written.");
        }
        return std::move(report_);
    }

  private:
    void Fail(const std::string& why) {
        report_.error = why;
        report_.outputPath.clear();
        report_.filled.clear();
    }

    void AddWarning(std::string warning) {
        if (!warning.empty()) {
            report_.warnings.push_back(std::move(warning));
        }
    }

    void ReportProgress(int32_t segmentNumber) {
        if (!options_.progress) {
            return;
        }
        JoinProgress progress;
        progress.segmentNumber = segmentNumber;
        progress.plannedSegments = survey_.plannedEnd();
        progress.bytesWritten = data_.size();
        if (!options_.progress(progress)) {
            throw JoinStopped{};
        }
    }

    bool PassGap(int32_t number) {
        if (!walk_.gaps || !walk_.gaps->Holds(number)) {
            return false;
        }
        pendingGaps_.push_back(number);
        return true;
    }

    // Writes the missing segments met since the last accepted one as zeros of
    // `segmentBytes` each (holes where the file system allows). A segment is
    // never filled with more than the largest data field met so far, so a
    // damaged image structure cannot make the product larger than its plan's
    // count of its largest segment.
    void FillPendingGaps(uint64_t imageBytes) {
        if (pendingGaps_.empty() || !data_.isOpen()) {
            return;
        }
        const uint64_t segmentBytes = std::min(imageBytes, largestDataField_);
        if (segmentBytes == 0) {
            AddWarning("--fill-gaps cannot fill the missing segments " +
                       FormatNumberList(pendingGaps_) +
                       ": no neighbouring segment has an image structure to give their size");
        } else {
            for (const int32_t number : pendingGaps_) {
                data_.AppendZeros(segmentBytes);
                report_.filled.push_back(number);
            }
        }
        pendingGaps_.clear();
    }

    void Take(const SegmentVisit& visit) {
        ReportProgress(visit.number);
        SegmentOutcome outcome;
        outcome.number = visit.number;
        outcome.path = visit.path;
        outcome.status = visit.status;
        outcome.reason = visit.reason;
        if (visit.file != nullptr && visit.file->file().isOpen()) {
            const os::InputFile& file = visit.file->file();
            outcome.opened = true;
            outcome.fileSize = file.size();
            outcome.modifiedNanoseconds = file.modifiedNanoseconds();
            outcome.changedNanoseconds = file.changedNanoseconds();
            outcome.file = file.identity().file;
        }
        if (visit.status == SegmentStatus::Accepted) {
            if (take_) {
                take_(visit);
            }
            Append(visit, outcome);
        } else {
            report_.warnings.push_back("segment " + visit.path + " skipped: " + visit.reason);
        }
        survey_.Note(visit, outcome.bytesPresent, !outcome.damage.empty());
        report_.segments.push_back(std::move(outcome));
    }

    void WarnOfIncompleteProduct() {
        survey_.TakePlanIfUnknown(walk_.namedPlan);
        survey_.Finish(segmentPath_, report_.stoppedAt);
        report_.plannedStart = survey_.plannedEnd() > 0 ? survey_.plannedStart() : 0;
        report_.plannedEnd = survey_.plannedEnd();
        for (std::string& warning : IncompleteProductWarnings(survey_)) {
            report_.warnings.push_back(std::move(warning));
        }
    }

    void Append(const SegmentVisit& visit, SegmentOutcome& outcome) {
        const uint64_t dataStart = visit.file->position();
        outcome.dataLength = visit.header->dataLength;
        largestDataField_ = std::max<uint64_t>(largestDataField_, outcome.dataLength);
        if (!data_.isOpen()) {
            std::array<uint8_t, 4> first{};
            const size_t wanted = std::min<size_t>(first.size(), outcome.dataLength);
            const size_t count = visit.file->ReadAt(dataStart, std::span(first.data(), wanted));
            data_.Open(walk_.namingName, std::span(first.data(), count));
        }
        const uint64_t imageBytes = ImageStructureBytes(*visit.header);
        FillPendingGaps(previousImageBytes_ != 0 ? previousImageBytes_ : imageBytes);
        previousImageBytes_ = imageBytes != 0 ? imageBytes : previousImageBytes_;

        outcome.bytesPresent =
            AppendInChunks(*visit.file, dataStart, outcome.dataLength, visit.number);
        outcome.damage = visit.file->DamageUpTo(dataStart + DataFieldBytesStored(*visit.header));
        if (outcome.bytesPresent < outcome.dataLength) {
            FillShortDataField(visit, outcome, imageBytes);
        } else if (!outcome.damage.empty()) {
            AddWarning("segment " + visit.path + " is damaged: " + outcome.damage + "; its " +
                       std::to_string(outcome.dataLength) +
                       " data bytes are joined as they decompressed");
        }
    }

    // Zeros stand for the missing end of a data field only as far as the
    // image structure bounds it, so a header that lies cannot fill the disk.
    void FillShortDataField(const SegmentVisit& visit, const SegmentOutcome& outcome,
                            uint64_t imageBytes) {
        const std::string holds = "segment " + visit.path + " holds " +
                                  std::to_string(outcome.bytesPresent) + " of its " +
                                  std::to_string(outcome.dataLength) + " data bytes" +
                                  (outcome.damage.empty() ? "" : " (" + outcome.damage + ")");
        const uint64_t missing = outcome.dataLength - outcome.bytesPresent;
        if (imageBytes == 0) {
            AddWarning(holds +
                       "; it has no image structure, so only the bytes it holds are joined");
        } else if (outcome.dataLength > imageBytes) {
            AddWarning(holds + "; its image structure implies only " + std::to_string(imageBytes) +
                       ", so only the bytes it holds are joined");
        } else {
            data_.AppendZeros(missing);
            AddWarning(holds + "; zeros stand for the missing " + std::to_string(missing));
        }
    }

    // Appends like SegmentSource::AppendTo, asking the progress callback
    // between chunks. Returns how many bytes the segment held.
    uint64_t AppendInChunks(SegmentSource& file, uint64_t offset, uint64_t length, int32_t number) {
        uint64_t held = 0;
        while (held < length) {
            const uint64_t step = std::min(length - held, kProgressChunk);
            const uint64_t got = data_.AppendFrom(file, offset + held, step);
            held += got;
            if (got < step) {
                break;  // the segment ends early, or its file shrank since it was opened
            }
            ReportProgress(number);
        }
        return held;
    }

    const JoinOptions& options_;
    std::string segmentPath_;
    JoinedData& data_;
    std::function<void(const SegmentVisit&)> take_;
    JoinReport report_;
    ProductSurvey survey_;
    WalkPlan walk_;
    std::vector<int32_t> pendingGaps_;
    uint64_t previousImageBytes_ = 0;
    uint64_t largestDataField_ = 0;
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
        if (os::LookAt(firstSegmentPath).kind != os::PathKind::Missing) {
            return "Nothing joined: " + DescribeMissingSegment(firstSegmentPath, firstNumber) + ".";
        }
        return "Nothing joined: the first segment " + firstSegmentPath + " does not exist.";
    }
    if (segments.size() == 1) {
        return "Nothing joined: the only segment from " + firstSegmentPath +
               " on could not be joined.";
    }
    return "Nothing joined: none of the " + std::to_string(segments.size()) + " segments from " +
           firstSegmentPath + " on could be joined.";
}

JoinReport JoinSegments(std::string segmentPath, std::string outputFolder,
                        const JoinOptions& options) {
    JoinedFile output(std::move(outputFolder));
    return Joiner(std::move(segmentPath), output, options).Run();
}

JoinReport WalkAsJoin(const std::string& segmentPath, const JoinOptions& options,
                      const std::function<void(const SegmentVisit&)>& take) {
    NoJoinedData nowhere;
    JoinReport report = Joiner(segmentPath, nowhere, options, take).Run();
    report.bytesWritten = 0;
    return report;
}

}  // namespace segweld
