#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "station/metric_histogram.h"
#include "station/product_result.h"
#include "station/slot_record.h"
#include "station/then_command.h"

namespace segweld::station {

// What a station run counts for its monitoring: the counters, gauges and
// histograms that --metrics serves and --metrics-file writes, in
// Prometheus' text format. Every method may be called from any thread; each
// is a few atomic operations, so that the joins never wait for a reader.
class StationMetrics {
  public:
    using Wall = std::chrono::system_clock;

    explicit StationMetrics(Wall::time_point started = Wall::now());
    StationMetrics(const StationMetrics&) = delete;
    StationMetrics& operator=(const StationMetrics&) = delete;

    // Segment files seen whole for the first time in a product that waits.
    void SegmentsSeen(uint64_t count) { segments_ += count; }
    // A product whose join ended (or found up to date); `name` is one of its
    // files, whose channel labels it.
    void ProductEnded(const ProductResult& result, std::string_view name, Wall::time_point now);
    // A join whose output could not be written, to be tried again.
    void Retried() { ++retries_; }
    // A publication of a slot, with the files it names as late.
    void SlotPublished(const SlotRecord& record);
    // A file late without slots: a segment that came after its product's
    // output was written.
    void LateFile() { ++lateFiles_; }
    // From a product's last segment (`sinceLast`) and from its nominal time
    // to its output in place.
    void OutputDelays(std::chrono::nanoseconds sinceLast,
                      std::optional<std::chrono::nanoseconds> sinceNominal);
    // The products that wait, and when the one waiting longest was seen first.
    void Waiting(size_t count, std::optional<Wall::time_point> oldest);

    ThenTally& then() { return then_; }
    ThenTally& thenSlot() { return thenSlot_; }

    // The text exposition format 0.0.4, as it stands at `now`; without
    // `live`, as a run's last word: no waiting products nor histograms of
    // latency, which tell nothing of a batch.
    std::string Exposition(Wall::time_point now, bool live = true) const;

    uint64_t written() const;

  private:
    static constexpr size_t kChannels = 13;  // SEVIRI's twelve, then any other
    static constexpr size_t kServices = 4;   // 0DEG, RSS, IODC, any other
    static constexpr size_t kProductStates = 4;
    static constexpr size_t kSlotStates = 3;
    using Counter = std::atomic<uint64_t>;

    const Wall::time_point started_;
    Counter segments_ = 0;
    std::array<std::array<Counter, kProductStates>, kChannels> products_{};
    std::array<std::atomic<bool>, kChannels> channelSeen_{};
    Counter retries_ = 0;
    std::array<std::array<Counter, kSlotStates>, kServices> slots_{};
    std::array<std::atomic<bool>, kServices> serviceSeen_{};
    Counter lateFiles_ = 0;
    Counter bytes_ = 0;
    ThenTally then_;
    ThenTally thenSlot_;
    std::atomic<uint64_t> waiting_ = 0;
    std::atomic<int64_t> oldestWaiting_ = 0;  // nanoseconds since 1970; 0: none waits
    std::atomic<int64_t> lastOutput_ = 0;     // nanoseconds since 1970; 0: none yet
    MetricHistogram latency_;
    MetricHistogram sinceNominal_;
};

// A batch's last word beside its counters: when it ended, how long it ran and
// its exit status.
std::string BatchEndExposition(std::chrono::system_clock::time_point started,
                               std::chrono::system_clock::time_point ended, int exitStatus);

// `text` as a label value of the exposition format: \, " and line breaks escaped.
std::string EscapedLabelValue(std::string_view text);

}  // namespace segweld::station
