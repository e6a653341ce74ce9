#include "station/station_metrics.h"

#include <algorithm>
#include <charconv>

#include "segweld_version.h"
#include "station/slot_key.h"

namespace segweld::station {
namespace {

using Wall = StationMetrics::Wall;

constexpr const char* kProductStateNames[] = {"joined", "incomplete", "failed", "up_to_date"};
constexpr const char* kSlotStateNames[] = {"complete", "incomplete", "late"};
constexpr const char* kServiceNames[] = {"0DEG", "RSS", "IODC", "other"};

size_t ProductStateIndex(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
            return 0;
        case ProductStatus::Incomplete:
            return 1;
        case ProductStatus::Failed:
            return 2;
        case ProductStatus::UpToDate:
            break;
    }
    return 3;
}

size_t SlotStateIndex(SlotRecord::State state) {
    switch (state) {
        case SlotRecord::State::Complete:
            return 0;
        case SlotRecord::State::Incomplete:
            return 1;
        case SlotRecord::State::Late:
            break;
    }
    return 2;
}

// SEVIRI's channels by their place in SeviriChannels(); any other name last.
size_t ChannelIndex(std::string_view name) {
    const auto file = SlotFileOf("", name);
    const std::vector<std::string>& channels = SeviriChannels();
    const auto found =
        file ? std::find(channels.begin(), channels.end(), file->channel) : channels.end();
    return static_cast<size_t>(found - channels.begin());
}

std::string ChannelLabel(size_t index) {
    const std::vector<std::string>& channels = SeviriChannels();
    return index < channels.size() ? channels[index] : "other";
}

size_t ServiceIndex(const std::string& service) {
    const auto found = std::find(std::begin(kServiceNames), std::end(kServiceNames) - 1, service);
    return static_cast<size_t>(found - std::begin(kServiceNames));
}

int64_t NanosecondsOf(Wall::time_point when) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
}

double SecondsOf(std::chrono::nanoseconds interval) {
    return std::chrono::duration<double>(interval).count();
}

// A sample's value: integers as such, others in the shortest form that reads
// back the same.
std::string Number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// Writes the families of the exposition format in turn.
class ExpositionText {
  public:
    void Family(const char* name, const char* type, const char* help) {
        text_ +=
            std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void Sample(const std::string& name, const std::string& labels, double value) {
        text_ += name;
        if (!labels.empty()) {
            text_ += "{" + labels + "}";
        }
        text_ += " " + Number(value) + "\n";
    }
    void Histogram(const char* name, const char* help, const MetricHistogram& histogram) {
        Family(name, "histogram", help);
        const MetricHistogram::Reading reading = histogram.Read();
        const std::string base(name);
        for (size_t bucket = 0; bucket < reading.cumulative.size(); ++bucket) {
            const std::string bound = bucket < histogram.bounds().size()
                                          ? Number(histogram.bounds()[bucket])
                                          : std::string("+Inf");
            Sample(base + "_bucket", "le=\"" + bound + "\"",
                   static_cast<double>(reading.cumulative[bucket]));
        }
        Sample(base + "_sum", "", reading.sum);
        Sample(base + "_count", "", static_cast<double>(reading.cumulative.back()));
    }
    std::string Take() { return std::move(text_); }

  private:
    std::string text_;
};

std::string Label(const char* name, std::string_view value) {
    return std::string(name) + "=\"" + EscapedLabelValue(value) + "\"";
}

double Value(const std::atomic<uint64_t>& counter) {
    return static_cast<double>(counter.load(std::memory_order_relaxed));
}

}  // namespace

std::string EscapedLabelValue(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '"':
                escaped += "\\\"";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// Latency from a product's last segment: a complete product is joined within
// milliseconds, an incomplete one waits its --timeout (15 minutes unless set).
StationMetrics::StationMetrics(Wall::time_point started)
    : started_(started),
      latency_({0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 300, 900, 1800}),
      // A 0° repeat cycle takes 15 minutes to disseminate, and EUMETCast a
      // few more to deliver.
      sinceNominal_(
          {60, 120, 300, 450, 600, 750, 900, 1050, 1200, 1500, 1800, 3600, 7200, 21600, 86400}) {}

void StationMetrics::ProductEnded(const ProductResult& result, std::string_view name,
                                  Wall::time_point now) {
    const size_t channel = ChannelIndex(name);
    channelSeen_[channel] = true;
    ++products_[channel][ProductStateIndex(result.status)];
    const bool written =
        result.status == ProductStatus::Joined || result.status == ProductStatus::Incomplete;
    if (written) {
        bytes_ += result.bytesWritten;
        lastOutput_ = NanosecondsOf(now);
    }
}

void StationMetrics::SlotPublished(const SlotRecord& record) {
    const size_t service = ServiceIndex(record.id.key.service);
    serviceSeen_[service] = true;
    ++slots_[service][SlotStateIndex(record.state)];
    lateFiles_ += record.late.size();
}

void StationMetrics::OutputDelays(std::chrono::nanoseconds sinceLast,
                                  std::optional<std::chrono::nanoseconds> sinceNominal) {
    latency_.Observe(SecondsOf(sinceLast));
    if (sinceNominal) {
        sinceNominal_.Observe(SecondsOf(*sinceNominal));
    }
}

void StationMetrics::Waiting(size_t count, std::optional<Wall::time_point> oldest) {
    waiting_ = count;
    oldestWaiting_ = oldest ? NanosecondsOf(*oldest) : 0;
}

uint64_t StationMetrics::written() const {
    uint64_t total = 0;
    for (const auto& channel : products_) {
        total += channel[0] + channel[1];
    }
    return total;
}

std::string StationMetrics::Exposition(Wall::time_point now, bool live) const {
    ExpositionText out;
    out.Family("segweld_build_info", "gauge", "The version of segweld that runs; always 1.");
    out.Sample("segweld_build_info", Label("version", SEGWELD_VERSION), 1);
    out.Family("segweld_start_time_seconds", "gauge",
               "When the run started, in seconds since 1970.");
    out.Sample("segweld_start_time_seconds", "",
               static_cast<double>(NanosecondsOf(started_)) / 1e9);

    out.Family("segweld_segments_seen_total", "counter",
               "Segment files seen whole, each once for the product that waits for it.");
    out.Sample("segweld_segments_seen_total", "", Value(segments_));
    out.Family("segweld_products_total", "counter",
               "Products whose join ended: joined whole, incomplete, failed, or found up to date.");
    for (size_t channel = 0; channel < kChannels; ++channel) {
        if (!channelSeen_[channel]) {
            continue;
        }
        for (size_t state = 0; state < kProductStates; ++state) {
            out.Sample("segweld_products_total",
                       Label("channel", ChannelLabel(channel)) + "," +
                           Label("state", kProductStateNames[state]),
                       Value(products_[channel][state]));
        }
    }
    out.Family("segweld_product_retries_total", "counter",
               "Joins whose output could not be written, to be tried again.");
    out.Sample("segweld_product_retries_total", "", Value(retries_));
    out.Family("segweld_slots_published_total", "counter",
               "Publications of time slots, by service and state.");
    for (size_t service = 0; service < kServices; ++service) {
        if (!serviceSeen_[service]) {
            continue;
        }
        for (size_t state = 0; state < kSlotStates; ++state) {
            out.Sample("segweld_slots_published_total",
                       Label("service", kServiceNames[service]) + "," +
                           Label("state", kSlotStateNames[state]),
                       Value(slots_[service][state]));
        }
    }
    out.Family("segweld_late_files_total", "counter",
               "Files that came after their slot was published, or without slots segments that "
               "came after their product's output was written.");
    out.Sample("segweld_late_files_total", "", Value(lateFiles_));
    out.Family("segweld_written_bytes_total", "counter", "Bytes of the outputs written.");
    out.Sample("segweld_written_bytes_total", "", Value(bytes_));
    const std::pair<const char*, const ThenTally*> commands[] = {{"then", &then_},
                                                                 {"then-slot", &thenSlot_}};
    const std::tuple<const char*, const char*, std::atomic<uint64_t> ThenTally::*> tallies[] = {
        {"segweld_then_commands_started_total", "Runs of the --then and --then-slot commands.",
         &ThenTally::started},
        {"segweld_then_commands_failed_total",
         "Runs that could not start, or ended by a signal or with an exit status other than 0.",
         &ThenTally::failed},
        {"segweld_then_commands_timed_out_total",
         "Runs ended because they were still running after --then-timeout.", &ThenTally::timedOut},
    };
    for (const auto& [name, help, member] : tallies) {
        out.Family(name, "counter", help);
        for (const auto& [command, tally] : commands) {
            out.Sample(name, Label("command", command), Value(tally->*member));
        }
    }
    out.Family("segweld_last_output_timestamp_seconds", "gauge",
               "When the last output was written, in seconds since 1970; 0 before the first.");
    out.Sample("segweld_last_output_timestamp_seconds", "",
               static_cast<double>(lastOutput_.load()) / 1e9);
    if (!live) {
        return out.Take();
    }
    out.Family("segweld_products_waiting", "gauge",
               "Products that wait to be joined or are being joined.");
    out.Sample("segweld_products_waiting", "", static_cast<double>(waiting_.load()));
    out.Family(
        "segweld_oldest_waiting_product_age_seconds", "gauge",
        "How long ago the first segment of the product waiting longest was seen; 0 when none "
        "waits.");
    const int64_t oldest = oldestWaiting_.load();
    out.Sample(
        "segweld_oldest_waiting_product_age_seconds", "",
        oldest == 0 ? 0 : std::max(0.0, static_cast<double>(NanosecondsOf(now) - oldest) / 1e9));
    out.Histogram("segweld_output_latency_seconds",
                  "From the arrival of a product's last segment to its output in place.", latency_);
    out.Histogram(
        "segweld_output_delay_from_nominal_seconds",
        "From a product's nominal time (the time its names carry) to its output in place.",
        sinceNominal_);
    return out.Take();
}

std::string BatchEndExposition(Wall::time_point started, Wall::time_point ended, int exitStatus) {
    ExpositionText out;
    out.Family("segweld_batch_end_timestamp_seconds", "gauge",
               "When the batch ended, in seconds since 1970.");
    out.Sample("segweld_batch_end_timestamp_seconds", "",
               static_cast<double>(NanosecondsOf(ended)) / 1e9);
    out.Family("segweld_batch_duration_seconds", "gauge", "How long the batch ran.");
    out.Sample("segweld_batch_duration_seconds", "", SecondsOf(ended - started));
    out.Family("segweld_batch_exit_status", "gauge", "The exit status of the batch.");
    out.Sample("segweld_batch_exit_status", "", exitStatus);
    return out.Take();
}

}  // namespace segweld::station
