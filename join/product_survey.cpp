#include "join/product_survey.h"

#include <algorithm>

#include "join/number_list.h"
#include "join/segment_name.h"
#include "join/segment_plan.h"
#include "join/segment_scan.h"

namespace segweld {

void ProductSurvey::Note(const SegmentVisit& visit, uint64_t bytesPresent, bool unsound) {
    Visited& entry = visited_[visit.number];
    entry.status = visit.status;
    if (visit.status != SegmentStatus::Accepted) {
        return;
    }
    entry.damaged = bytesPresent < visit.header->dataLength || unsound;
    if (const auto plan = PlanOf(*visit.header)) {
        plannedStart_ = plan->start;
        plannedEnd_ = plan->end;
    }
}

void ProductSurvey::TakePlanIfUnknown(const std::optional<SegmentPlan>& plan) {
    if (plannedEnd_ == 0 && plan) {
        plannedStart_ = plan->start;
        plannedEnd_ = plan->end;
    }
}

void ProductSurvey::Finish(const std::string& segmentPath, int32_t stoppedAt) {
    stoppedAt_ = stoppedAt;
    beyondGap_.clear();
    walkEnd_ = DescribeMissingSegment(StoredSegmentPath(segmentPath, stoppedAt), stoppedAt);
    if (plannedEnd_ > 0) {
        // The plan bounds the search: a few name lookups instead of a read of
        // a folder that in an archive may hold a hundred thousand files.
        for (int32_t number = stoppedAt + 1; number <= plannedEnd_; ++number) {
            if (PathExists(StoredSegmentPath(segmentPath, number))) {
                beyondGap_.push_back(number);
            }
        }
        return;
    }
    for (int32_t number : SegmentNumbersInFolder(segmentPath)) {
        if (number > stoppedAt) {
            beyondGap_.push_back(number);
        }
    }
}

int32_t ProductSurvey::plannedStart() const {
    return plannedStart_ >= 1 && plannedStart_ <= plannedEnd_ ? plannedStart_ : 1;
}

int32_t ProductSurvey::plannedCount() const {
    return plannedEnd_ >= plannedStart() ? plannedEnd_ - plannedStart() + 1 : 0;
}

bool ProductSurvey::WasVisited(int32_t number) const {
    return visited_.contains(number);
}

bool ProductSurvey::IsBeyondGap(int32_t number) const {
    return std::binary_search(beyondGap_.begin(), beyondGap_.end(), number);
}

template <typename Keep>
std::vector<int32_t> ProductSurvey::PlannedWhere(Keep keep) const {
    std::vector<int32_t> numbers;
    for (int32_t number = plannedStart(); number <= plannedEnd_ && plannedEnd_ > 0; ++number) {
        if (keep(number)) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

template <typename Keep>
std::vector<int32_t> ProductSurvey::VisitedWhere(Keep keep) const {
    std::vector<int32_t> numbers;
    for (const auto& [number, entry] : visited_) {
        if (keep(entry)) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

std::vector<int32_t> ProductSurvey::PlannedPresent() const {
    return PlannedWhere(
        [this](int32_t number) { return WasVisited(number) || IsBeyondGap(number); });
}

std::vector<int32_t> ProductSurvey::PlannedJoined() const {
    return PlannedWhere([this](int32_t number) {
        return WasVisited(number) && visited_.at(number).status == SegmentStatus::Accepted;
    });
}

std::vector<int32_t> ProductSurvey::Missing() const {
    return PlannedWhere(
        [this](int32_t number) { return !WasVisited(number) && !IsBeyondGap(number); });
}

std::vector<int32_t> ProductSurvey::NotJoined() const {
    return PlannedWhere([this](int32_t number) {
        return !WasVisited(number) || visited_.at(number).status != SegmentStatus::Accepted;
    });
}

std::vector<int32_t> ProductSurvey::Refused() const {
    return VisitedWhere(
        [](const Visited& entry) { return entry.status != SegmentStatus::Accepted; });
}

std::vector<int32_t> ProductSurvey::Damaged() const {
    return VisitedWhere([](const Visited& entry) { return entry.damaged; });
}

bool ProductSurvey::CompleteAndUndamaged() const {
    return plannedEnd_ > 0 && NotJoined().empty() && Refused().empty() && Damaged().empty();
}

std::vector<std::string> IncompleteProductWarnings(const ProductSurvey& survey) {
    std::vector<std::string> warnings;
    const std::vector<int32_t> notJoined = survey.NotJoined();
    if (!notJoined.empty()) {
        const size_t joined = survey.PlannedJoined().size();
        warnings.push_back("only " + std::to_string(joined) + " of the " +
                           CountOf(survey.plannedCount(), "planned segment") + " (" +
                           std::to_string(survey.plannedStart()) + " to " +
                           std::to_string(survey.plannedEnd()) + ") " +
                           (joined == 1 ? "was" : "were") +
                           " joined; not joined: " + FormatNumberList(notJoined));
    }
    if (!survey.beyondGap().empty()) {
        warnings.push_back(survey.walkEnd() +
                           ", so the walk ended there; segment files beyond it were not joined: " +
                           FormatNumberList(survey.beyondGap()));
    } else if (!survey.walkEnd().starts_with("no file exists")) {
        warnings.push_back(survey.walkEnd() + ", so the walk ended there");
    }
    return warnings;
}

}  // namespace segweld
