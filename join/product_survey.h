#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "join/segment_plan.h"
#include "join/segment_walk.h"

namespace segweld {

// What a walk over a product's segments tells about its completeness: which
// of its planned segments were found and accepted, which were refused or hold
// a short data field, and which segment files lie beyond the first missing
// number, where every walk ends.
class ProductSurvey {
  public:
    // Takes one segment the walk visited; `bytesPresent` counts the bytes of
    // its data field that the file holds (it matters for accepted ones only),
    // and `unsound` tells of compressed data that are damaged beyond that.
    void Note(const SegmentVisit& visit, uint64_t bytesPresent, bool unsound = false);

    // Takes `plan`, given by a header the walk did not accept (that of the
    // segment file named, beyond the gap when segment 1 is missing), when no
    // accepted header gave one. Before Finish.
    void TakePlanIfUnknown(const std::optional<SegmentPlan>& plan);

    // Ends the survey at `stoppedAt`, the number WalkSegments returned, and
    // looks for segment files numbered above it: up to the planned end when
    // the headers gave one, else among all the names in the folder.
    void Finish(const std::string& segmentPath, int32_t stoppedAt);

    // The planned segment numbers plannedStart() to plannedEnd(), from the
    // segment identification of the last accepted header, or the plan taken
    // by TakePlanIfUnknown. plannedEnd() is 0
    // when no accepted header gave one; the start is 1 when the header's is 0
    // or lies above the end.
    int32_t plannedStart() const;
    int32_t plannedEnd() const { return plannedEnd_; }
    int32_t plannedCount() const;
    int32_t stoppedAt() const { return stoppedAt_; }
    // Why the walk ended at stoppedAt(), for people.
    const std::string& walkEnd() const { return walkEnd_; }

    // Planned numbers for which a segment file exists, beyond the gap or not.
    std::vector<int32_t> PlannedPresent() const;
    // Planned numbers whose segment the join takes.
    std::vector<int32_t> PlannedJoined() const;
    // Planned numbers for which no file exists.
    std::vector<int32_t> Missing() const;
    // Planned numbers whose segment the join leaves out, for whatever reason.
    std::vector<int32_t> NotJoined() const;
    // Numbers the walk visited without accepting the segment.
    std::vector<int32_t> Refused() const;
    // Accepted numbers whose file ends inside the data field, or whose
    // compressed data are damaged.
    std::vector<int32_t> Damaged() const;
    // Numbers above stoppedAt() that have a segment file, which no walk reaches.
    const std::vector<int32_t>& beyondGap() const { return beyondGap_; }

    // Every planned segment is joined whole and nothing was refused; false
    // when the plan is unknown.
    bool CompleteAndUndamaged() const;

  private:
    struct Visited {
        SegmentStatus status = SegmentStatus::CannotOpen;
        bool damaged = false;
    };

    bool IsPlanned(int32_t number) const;
    bool WasVisited(int32_t number) const;
    bool IsBeyondGap(int32_t number) const;
    template <typename Keep>
    std::vector<int32_t> PlannedWhere(Keep keep) const;
    template <typename Keep>
    std::vector<int32_t> VisitedWhere(Keep keep) const;

    std::map<int32_t, Visited> visited_;
    int32_t plannedStart_ = 0;
    int32_t plannedEnd_ = 0;
    int32_t stoppedAt_ = 1;
    std::vector<int32_t> beyondGap_;
    std::string walkEnd_;
};

// The warnings a join gives about an incomplete product: planned segments it
// did not join, and segment files beyond the gap that ended its walk.
std::vector<std::string> IncompleteProductWarnings(const ProductSurvey& survey);

}  // namespace segweld
