#include "station/metric_histogram.h"

#include <algorithm>

namespace segweld::station {

MetricHistogram::MetricHistogram(std::vector<double> bounds)
    : bounds_(std::move(bounds)),
      counts_(std::make_unique<std::atomic<uint64_t>[]>(bounds_.size() + 1)) {}

void MetricHistogram::Observe(double value) {
    const size_t bucket = static_cast<size_t>(
        std::lower_bound(bounds_.begin(), bounds_.end(), value) - bounds_.begin());
    counts_[bucket].fetch_add(1, std::memory_order_relaxed);
    sum_.fetch_add(value, std::memory_order_relaxed);
}

MetricHistogram::Reading MetricHistogram::Read() const {
    Reading reading;
    reading.sum = sum_.load(std::memory_order_relaxed);
    uint64_t total = 0;
    for (size_t bucket = 0; bucket <= bounds_.size(); ++bucket) {
        total += counts_[bucket].load(std::memory_order_relaxed);
        reading.cumulative.push_back(total);
    }
    return reading;
}

}  // namespace segweld::station
