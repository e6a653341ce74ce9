#include "station/product_tracker.h"

#include <algorithm>

namespace segweld::station {
namespace {

bool SameFile(const SegmentEntry& a, const SegmentEntry& b) {
    return a.size == b.size && a.modifiedNanoseconds == b.modifiedNanoseconds && a.file == b.file &&
           a.changedNanoseconds == b.changedNanoseconds;
}

void Earliest(std::optional<ProductTracker::Clock::time_point>& next,
              ProductTracker::Clock::time_point candidate) {
    next = next ? std::min(*next, candidate) : candidate;
}

}  // namespace

void ProductTracker::Note(const std::string& key, const std::string& folder,
                          const SegmentEntry& segment, const SegmentProbe& probe,
                          Clock::time_point arrived) {
    Tracked& tracked = products_[key];
    tracked.folder = folder;
    const auto known = tracked.segments.find(segment.number);
    if (known != tracked.segments.end() && SameFile(known->second.entry, segment)) {
        return;
    }
    const bool settled = probe.accepted && probe.whole;
    tracked.segments[segment.number] =
        Seen{segment, probe, settled ? std::nullopt : std::optional(arrived + kLookAgain)};
    if (probe.accepted && probe.plannedEnd > 0) {
        tracked.plannedStart = probe.plannedStart;
        tracked.plannedEnd = probe.plannedEnd;
    }
    tracked.lastArrival = std::max(tracked.lastArrival, arrived);
    if (tracked.joining) {
        tracked.changedWhileJoining = true;
    }
}

bool ProductTracker::Holds(const std::string& key, const SegmentEntry& segment) const {
    const auto product = products_.find(key);
    if (product == products_.end()) {
        return false;
    }
    const auto known = product->second.segments.find(segment.number);
    return known != product->second.segments.end() && known->second.entry.name == segment.name &&
           SameFile(known->second.entry, segment);
}

bool ProductTracker::IsJoining(const std::string& key) const {
    const auto found = products_.find(key);
    return found != products_.end() && found->second.joining;
}

bool ProductTracker::IsComplete(const Tracked& tracked) {
    if (tracked.plannedEnd <= 0 || tracked.awaitsEpilogue) {
        return false;  // without a plan only the timeout ends the wait
    }
    const int32_t first = std::max(tracked.plannedStart, 1);
    for (int32_t number = first; number <= tracked.plannedEnd; ++number) {
        const auto found = tracked.segments.find(number);
        if (found == tracked.segments.end() || !found->second.probe.accepted ||
            !found->second.probe.whole) {
            return false;
        }
    }
    return true;
}

bool ProductTracker::IsDue(const Tracked& tracked, Clock::time_point now) const {
    if (tracked.retryAt) {
        return now >= *tracked.retryAt;
    }
    return IsComplete(tracked) || now >= tracked.lastArrival + timeout_;
}

std::optional<Product> ProductTracker::ProductOf(const std::string& key) const {
    const auto found = products_.find(key);
    if (found == products_.end()) {
        return std::nullopt;
    }
    return Ready(key, found->second, false).product;
}

ReadyProduct ProductTracker::Ready(const std::string& key, const Tracked& tracked, bool complete) {
    ReadyProduct ready;
    ready.product.key = key;
    ready.product.folder = tracked.folder;
    for (const auto& [number, seen] : tracked.segments) {
        ready.product.segments.push_back(seen.entry);
    }
    ready.complete = complete;
    ready.retry = tracked.retryAt.has_value();
    ready.lastArrival = tracked.lastArrival;
    return ready;
}

std::vector<ReadyProduct> ProductTracker::TakeReady(Clock::time_point now) {
    std::vector<ReadyProduct> ready;
    for (auto& [key, tracked] : products_) {
        if (!tracked.joining && IsDue(tracked, now)) {
            ready.push_back(Ready(key, tracked, IsComplete(tracked)));
            tracked.joining = true;
            tracked.changedWhileJoining = false;
        }
    }
    return ready;
}

std::optional<ReadyProduct> ProductTracker::TakeNow(const std::string& key) {
    const auto found = products_.find(key);
    if (found == products_.end() || found->second.joining) {
        return std::nullopt;
    }
    Tracked& tracked = found->second;
    tracked.joining = true;
    tracked.changedWhileJoining = false;
    return Ready(key, tracked, IsComplete(tracked));
}

std::vector<ReadyProduct> ProductTracker::TakeAllWaiting() {
    std::vector<ReadyProduct> ready;
    for (auto& [key, tracked] : products_) {
        if (!tracked.joining) {
            ready.push_back(Ready(key, tracked, IsComplete(tracked)));
            tracked.joining = true;
            tracked.changedWhileJoining = false;
        }
    }
    return ready;
}

size_t ProductTracker::ForgetAllWaiting() {
    return std::erase_if(products_, [](const auto& entry) { return !entry.second.joining; });
}

std::vector<DueLook> ProductTracker::TakeDueLooks(Clock::time_point now) {
    std::vector<DueLook> due;
    for (auto& [key, tracked] : products_) {
        for (auto& [number, seen] : tracked.segments) {
            if (!tracked.joining && seen.nextLook && now >= *seen.nextLook) {
                due.push_back({key, tracked.folder, seen.entry});
                seen.nextLook = now + kLookAgain;
            }
        }
    }
    return due;
}

std::optional<ProductTracker::Clock::time_point> ProductTracker::NextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& [key, tracked] : products_) {
        if (tracked.joining) {
            continue;
        }
        Earliest(next, tracked.retryAt ? *tracked.retryAt : tracked.lastArrival + timeout_);
        for (const auto& [number, seen] : tracked.segments) {
            if (seen.nextLook) {
                Earliest(next, *seen.nextLook);
            }
        }
    }
    return next;
}

std::optional<ProductTracker::Clock::time_point> ProductTracker::JoinEnded(const std::string& key,
                                                                           JoinEnd end,
                                                                           Clock::time_point now) {
    const auto found = products_.find(key);
    if (found == products_.end()) {
        return std::nullopt;
    }
    Tracked& tracked = found->second;
    tracked.joining = false;
    if (end == JoinEnd::RetryLater) {
        tracked.retryDelay = tracked.retryAt
                                 ? std::min<Clock::duration>(tracked.retryDelay * 2, kLongestRetry)
                                 : Clock::duration(kFirstRetry);
        tracked.retryAt = now + tracked.retryDelay;
        return tracked.retryAt;
    }
    if (tracked.changedWhileJoining) {
        tracked.changedWhileJoining = false;
        tracked.retryAt.reset();
    } else {
        products_.erase(found);
    }
    return std::nullopt;
}

void ProductTracker::AwaitEpilogue(const std::string& key, bool awaits) {
    const auto found = products_.find(key);
    if (found != products_.end()) {
        found->second.awaitsEpilogue = awaits;
    }
}

std::vector<std::string> ProductTracker::Keys() const {
    std::vector<std::string> keys;
    for (const auto& [key, tracked] : products_) {
        keys.push_back(key);
    }
    return keys;
}

void ProductTracker::RetrySoon(Clock::time_point now) {
    for (auto& [key, tracked] : products_) {
        if (tracked.retryAt) {
            tracked.retryAt = std::min(*tracked.retryAt, now);
        }
    }
}

}  // namespace segweld::station
