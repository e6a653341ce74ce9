#include "station/product_tracker.h"

#include <algorithm>

namespace segweld::station {

void ProductTracker::Note(const std::string& key, const std::string& folder,
                          const SegmentEntry& segment, const SegmentProbe& probe,
                          Clock::time_point arrived) {
    Tracked& tracked = products_[key];
    tracked.folder = folder;
    const auto known = tracked.segments.find(segment.number);
    if (known != tracked.segments.end() && known->second.entry.size == segment.size &&
        known->second.entry.modifiedNanoseconds == segment.modifiedNanoseconds) {
        return;
    }
    tracked.segments[segment.number] = Seen{segment, probe};
    if (probe.accepted && probe.plannedEnd > 0) {
        tracked.plannedStart = probe.plannedStart;
        tracked.plannedEnd = probe.plannedEnd;
    }
    tracked.lastArrival = std::max(tracked.lastArrival, arrived);
    if (tracked.joining) {
        tracked.changedWhileJoining = true;
    }
}

bool ProductTracker::IsJoining(const std::string& key) const {
    const auto found = products_.find(key);
    return found != products_.end() && found->second.joining;
}

bool ProductTracker::IsComplete(const Tracked& tracked) {
    if (tracked.plannedEnd <= 0) {
        return false;  // without a plan only the timeout ends the wait
    }
    const int32_t first = tracked.plannedStart >= 1 && tracked.plannedStart <= tracked.plannedEnd
                              ? tracked.plannedStart
                              : 1;
    for (int32_t number = first; number <= tracked.plannedEnd; ++number) {
        const auto found = tracked.segments.find(number);
        if (found == tracked.segments.end() || !found->second.probe.accepted ||
            !found->second.probe.whole) {
            return false;
        }
    }
    return true;
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
    ready.plannedStart = tracked.plannedStart;
    ready.plannedEnd = tracked.plannedEnd;
    ready.lastArrival = tracked.lastArrival;
    return ready;
}

std::vector<ReadyProduct> ProductTracker::TakeReady(Clock::time_point now) {
    std::vector<ReadyProduct> ready;
    for (auto& [key, tracked] : products_) {
        if (tracked.joining) {
            continue;
        }
        const bool complete = IsComplete(tracked);
        if (complete || now >= tracked.lastArrival + timeout_) {
            ready.push_back(Ready(key, tracked, complete));
            tracked.joining = true;
            tracked.changedWhileJoining = false;
        }
    }
    return ready;
}

std::optional<ProductTracker::Clock::time_point> ProductTracker::NextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& [key, tracked] : products_) {
        if (!tracked.joining) {
            const Clock::time_point deadline = tracked.lastArrival + timeout_;
            next = next ? std::min(*next, deadline) : deadline;
        }
    }
    return next;
}

void ProductTracker::JoinEnded(const std::string& key) {
    const auto found = products_.find(key);
    if (found == products_.end()) {
        return;
    }
    if (found->second.changedWhileJoining) {
        found->second.joining = false;
        found->second.changedWhileJoining = false;
    } else {
        products_.erase(found);
    }
}

}  // namespace segweld::station
