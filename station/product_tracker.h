#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "station/product_scan.h"
#include "station/segment_probe.h"

namespace segweld::station {

// A product the watch hands to a worker.
struct ReadyProduct {
    Product product;
    bool complete = false;  // false: its timeout ran out
    int32_t plannedStart = 0;
    int32_t plannedEnd = 0;
    std::chrono::steady_clock::time_point lastArrival;
};

// The products of a watched folder that wait to be joined: which of their
// segments have arrived, whole or not, and when the last one came. Used by
// one thread only.
class ProductTracker {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProductTracker(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    // A segment file of product `key` in `folder` was seen at `arrived`; a
    // later look at the same number replaces the earlier one. A look that
    // finds the file as it was (same size and time) changes nothing: one file
    // may be reported twice, by an event and by a look from its neighbour.
    void Note(const std::string& key, const std::string& folder, const SegmentEntry& segment,
              const SegmentProbe& probe, Clock::time_point arrived);

    bool Knows(const std::string& key) const { return products_.contains(key); }
    bool IsJoining(const std::string& key) const;
    // The files of `key` seen so far; nullopt when it is not tracked.
    std::optional<Product> ProductOf(const std::string& key) const;
    void Forget(const std::string& key) { products_.erase(key); }

    // The products that are complete, or whose last segment arrived the
    // timeout ago or earlier, and that are not being joined; they are marked
    // as being joined.
    std::vector<ReadyProduct> TakeReady(Clock::time_point now);
    // When the next product runs out of time; nullopt when none waits.
    std::optional<Clock::time_point> NextDeadline() const;
    // The join of `key` has ended: the product is forgotten, unless segments
    // of it arrived while it was joined, in which case it waits again.
    void JoinEnded(const std::string& key);

    size_t waiting() const { return products_.size(); }

  private:
    struct Seen {
        SegmentEntry entry;
        SegmentProbe probe;
    };
    struct Tracked {
        std::string folder;
        std::map<int32_t, Seen> segments;
        int32_t plannedStart = 0;
        int32_t plannedEnd = 0;
        Clock::time_point lastArrival{};
        bool joining = false;
        bool changedWhileJoining = false;
    };

    static bool IsComplete(const Tracked& tracked);
    static ReadyProduct Ready(const std::string& key, const Tracked& tracked, bool complete);

    std::chrono::milliseconds timeout_;
    std::map<std::string, Tracked> products_;
};

}  // namespace segweld::station
