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
    bool complete = false;  // false: its timeout ran out, or it waited for a retry
    bool retry = false;     // an earlier join of it could not write its output
    std::chrono::steady_clock::time_point lastArrival;
};

// A segment whose last look found it not yet whole.
struct DueLook {
    std::string key;
    std::string folder;
    SegmentEntry segment;
};

// How a join handed out by TakeReady ended, for what the tracker does next.
enum class JoinEnd {
    Done,        // written, or nothing in its files can be joined: forget it
    RetryLater,  // its output could not be written: try again after a growing delay
};

// The products of a watched folder that wait to be joined: which of their
// segments have arrived, whole or not, and when the last one came. Used by
// one thread only.
class ProductTracker {
  public:
    using Clock = std::chrono::steady_clock;

    // Segments not yet whole are looked at again this often: a linked file
    // that grows elsewhere sends no event here.
    static constexpr auto kLookAgain = std::chrono::seconds(1);
    // Retries of an output that could not be written wait this long at first,
    // twice as long each time after, up to the longest.
    static constexpr auto kFirstRetry = std::chrono::seconds(10);
    static constexpr auto kLongestRetry = std::chrono::minutes(10);

    explicit ProductTracker(std::chrono::milliseconds timeout) : timeout_(timeout) {}
    void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // A segment file of product `key` in `folder` was looked at, at `arrived`;
    // a later look at the same number replaces the earlier one. A look that
    // finds the file as it was (same size, time and file) changes nothing: one
    // file may be reported twice, by an event and by a look from its neighbour.
    void Note(const std::string& key, const std::string& folder, const SegmentEntry& segment,
              const SegmentProbe& probe, Clock::time_point arrived);
    // True when `segment` of `key` is known exactly as it is.
    bool Holds(const std::string& key, const SegmentEntry& segment) const;

    bool Knows(const std::string& key) const { return products_.contains(key); }
    bool IsJoining(const std::string& key) const;
    // The files of `key` seen so far; nullopt when it is not tracked.
    std::optional<Product> ProductOf(const std::string& key) const;
    void Forget(const std::string& key) { products_.erase(key); }

    // The products that are complete, or whose last segment arrived the
    // timeout ago or earlier, or whose retry is due, and that are not being
    // joined; they are marked as being joined.
    std::vector<ReadyProduct> TakeReady(Clock::time_point now);
    // Product `key`, when it waits and is not being joined, marked as being
    // joined: for a slot whose time is up.
    std::optional<ReadyProduct> TakeNow(const std::string& key);
    // Every product not being joined, whatever it waits for, marked as being
    // joined: for a folder that has just moved away with them.
    std::vector<ReadyProduct> TakeAllWaiting();
    // Forgets every product not being joined; returns how many there were.
    size_t ForgetAllWaiting();
    // The segments due for another look, which is counted as done.
    std::vector<DueLook> TakeDueLooks(Clock::time_point now);
    // When the next product runs out of time, a retry or a look is due;
    // nullopt when none waits.
    std::optional<Clock::time_point> NextDeadline() const;

    // The join of `key` has ended. Done: the product is forgotten, unless
    // segments of it arrived while it was joined, in which case it waits
    // again. RetryLater: it waits for its next retry; returns when that is.
    std::optional<Clock::time_point> JoinEnded(const std::string& key, JoinEnd end,
                                               Clock::time_point now);
    // Writing works again: every retry waiting is due now.
    void RetrySoon(Clock::time_point now);

    // A product that is complete only once its epilogue is there too (a
    // GeoTIFF's HRV windows and scan time come from it); its timeout still
    // ends the wait.
    void AwaitEpilogue(const std::string& key, bool awaits);
    std::vector<std::string> Keys() const;

    size_t waiting() const { return products_.size(); }

  private:
    struct Seen {
        SegmentEntry entry;
        SegmentProbe probe;
        std::optional<Clock::time_point> nextLook;  // while not whole
    };
    struct Tracked {
        std::string folder;
        std::map<int32_t, Seen> segments;
        int32_t plannedStart = 0;
        int32_t plannedEnd = 0;
        Clock::time_point lastArrival{};
        bool joining = false;
        bool changedWhileJoining = false;
        std::optional<Clock::time_point> retryAt;
        bool awaitsEpilogue = false;
        Clock::duration retryDelay{};
    };

    static bool IsComplete(const Tracked& tracked);
    bool IsDue(const Tracked& tracked, Clock::time_point now) const;
    static ReadyProduct Ready(const std::string& key, const Tracked& tracked, bool complete);

    std::chrono::milliseconds timeout_;
    std::map<std::string, Tracked> products_;
};

}  // namespace segweld::station
