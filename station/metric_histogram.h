#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace segweld::station {

// A Prometheus histogram with fixed upper bounds: any thread may observe,
// without a lock; a reading taken meanwhile may miss the observation under
// way, never count it twice.
class MetricHistogram {
  public:
    explicit MetricHistogram(std::vector<double> bounds);

    void Observe(double value);

    struct Reading {
        std::vector<uint64_t> cumulative;  // one for each bound, then +Inf: the count
        double sum = 0;
    };
    Reading Read() const;
    const std::vector<double>& bounds() const { return bounds_; }

  private:
    std::vector<double> bounds_;                       // increasing
    std::unique_ptr<std::atomic<uint64_t>[]> counts_;  // per bucket, +Inf last
    std::atomic<double> sum_ = 0;
};

}  // namespace segweld::station
