// The station's metrics in Prometheus' text format, --metrics' address, and
// the status page made from what a watch tells its board.
#include <gmock/gmock.h>

#include <map>
#include <regex>
#include <sstream>

#include "station/station_metrics.h"
#include "station/station_options.h"
#include "station/status_board.h"
#include "station/status_page.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Wall = std::chrono::system_clock;

std::string Segment(const std::string& channel, const std::string& time, int number = 1) {
    std::string field = channel + std::string(9 - channel.size(), '_');
    char numberField[8];
    std::snprintf(numberField, sizeof numberField, "%06d", number);
    return "H-000-MSG2__-MSG2________-" + field + "-" + numberField + "___-" + time + "-__";
}

ProductResult Result(ProductStatus status, const std::string& name, uint64_t bytes = 0) {
    ProductResult result;
    result.key = name;
    result.status = status;
    result.bytesWritten = bytes;
    result.segmentsJoined = status == ProductStatus::Failed ? 0 : 8;
    result.outputPath = status == ProductStatus::Failed ? "" : "/out/" + name + ".segm";
    return result;
}

// The samples of an exposition, "name{labels}" to value; every family has
// its HELP and TYPE before its samples, and every name is segweld's.
std::map<std::string, double> Samples(const std::string& text) {
    std::map<std::string, double> samples;
    std::istringstream lines(text);
    std::string family;
    const std::regex sample(R"(^(segweld_[a-z_]+)(\{[^}]*\})? (\S+)$)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (line.starts_with("# TYPE ")) {
            family = line.substr(7, line.find(' ', 7) - 7);
        } else if (!line.starts_with("# HELP ")) {
            EXPECT_TRUE(std::regex_match(line, match, sample)) << line;
            EXPECT_TRUE(match[1].str().starts_with(family)) << line;
            samples[match[1].str() + match[2].str()] = std::stod(match[3].str());
        }
    }
    return samples;
}

TEST(StationMetrics, CountsWhatTheStationDidInTheTextFormat) {
    StationMetrics metrics(Wall::time_point(std::chrono::seconds(1000)));
    const std::string ir = Segment("IR_108", "202401010000");
    metrics.SegmentsSeen(8);
    metrics.SegmentsSeen(3);
    metrics.ProductEnded(Result(ProductStatus::Joined, ir, 4000), ir, Wall::now());
    metrics.ProductEnded(Result(ProductStatus::Incomplete, ir, 1000), ir, Wall::now());
    metrics.ProductEnded(Result(ProductStatus::Failed, "GOES-something"), "GOES-something",
                         Wall::now());
    metrics.Retried();
    SlotRecord record;
    record.id.key = {'H', "MSG2", "RSS", "202401010005"};
    record.state = SlotRecord::State::Late;
    record.late = {"a", "b"};
    metrics.SlotPublished(record);
    metrics.OutputDelays(std::chrono::milliseconds(30), std::chrono::seconds(700));
    metrics.OutputDelays(std::chrono::milliseconds(7), std::nullopt);
    metrics.OutputDelays(std::chrono::seconds(4000), std::nullopt);
    os::CommandOutcome failed;
    failed.started = true;
    failed.exitStatus = 3;
    metrics.then().Count(failed);
    os::CommandOutcome timedOut = failed;
    timedOut.timedOut = true;
    metrics.thenSlot().Count(timedOut);
    metrics.Waiting(4, Wall::now() - std::chrono::seconds(90));

    const auto samples = Samples(metrics.Exposition(Wall::now()));
    const std::map<std::string, double> expected = {
        {"segweld_segments_seen_total", 11},
        {R"(segweld_products_total{channel="IR_108",state="joined"})", 1},
        {R"(segweld_products_total{channel="IR_108",state="incomplete"})", 1},
        {R"(segweld_products_total{channel="other",state="failed"})", 1},
        {R"(segweld_products_total{channel="other",state="joined"})", 0},
        {"segweld_product_retries_total", 1},
        {R"(segweld_slots_published_total{service="RSS",state="late"})", 1},
        {R"(segweld_slots_published_total{service="RSS",state="complete"})", 0},
        {"segweld_late_files_total", 2},
        {"segweld_written_bytes_total", 5000},
        {R"(segweld_then_commands_started_total{command="then"})", 1},
        {R"(segweld_then_commands_failed_total{command="then"})", 1},
        {R"(segweld_then_commands_timed_out_total{command="then-slot"})", 1},
        {R"(segweld_then_commands_failed_total{command="then-slot"})", 0},
        {"segweld_products_waiting", 4},
        {R"(segweld_output_latency_seconds_bucket{le="0.005"})", 0},
        {R"(segweld_output_latency_seconds_bucket{le="0.01"})", 1},
        {R"(segweld_output_latency_seconds_bucket{le="0.05"})", 2},
        {R"(segweld_output_latency_seconds_bucket{le="1800"})", 2},
        {R"(segweld_output_latency_seconds_bucket{le="+Inf"})", 3},
        {"segweld_output_latency_seconds_count", 3},
        {R"(segweld_output_delay_from_nominal_seconds_bucket{le="600"})", 0},
        {R"(segweld_output_delay_from_nominal_seconds_bucket{le="750"})", 1},
        {"segweld_start_time_seconds", 1000},
    };
    for (const auto& [name, value] : expected) {
        ASSERT_TRUE(samples.contains(name)) << name;
        EXPECT_EQ(samples.at(name), value) << name;
    }
    EXPECT_NEAR(samples.at("segweld_output_latency_seconds_sum"), 4000.037, 1e-9);
    EXPECT_NEAR(samples.at("segweld_oldest_waiting_product_age_seconds"), 90, 5);
    // A batch's last word has no gauges of waiting products nor histograms.
    const auto batch =
        Samples(metrics.Exposition(Wall::now(), false) +
                BatchEndExposition(Wall::now() - std::chrono::seconds(3), Wall::now(), 75));
    EXPECT_FALSE(batch.contains("segweld_products_waiting"));
    EXPECT_FALSE(batch.contains("segweld_output_latency_seconds_count"));
    EXPECT_EQ(batch.at("segweld_batch_exit_status"), 75);
    EXPECT_NEAR(batch.at("segweld_batch_duration_seconds"), 3, 0.1);
    EXPECT_EQ(EscapedLabelValue("a\"b\\c\nd"), R"(a\"b\\c\nd)");
}

TEST(ListenAddress, HostAndPortOrRefused) {
    const std::pair<const char*, std::optional<ListenAddress>> rows[] = {
        {"127.0.0.1:9464", ListenAddress{"127.0.0.1", 9464}},
        {"localhost:0", ListenAddress{"localhost", 0}},
        {"[::1]:65535", ListenAddress{"::1", 65535}},
        {"0.0.0.0:80", ListenAddress{"0.0.0.0", 80}},
        {"::1:9464", std::nullopt},
        {"127.0.0.1", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {":9464", std::nullopt},
        {"127.0.0.1:65536", std::nullopt},
        {"127.0.0.1:-1", std::nullopt},
        {"127.0.0.1:94x", std::nullopt},
        {"[]:9464", std::nullopt},
    };
    for (const auto& [text, expected] : rows) {
        ListenAddress address;
        const bool parsed = ParseListenAddress(text, address);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        if (parsed && expected) {
            EXPECT_EQ(address, *expected) << text;
            EXPECT_EQ(address.Text(), text);
        }
    }
}

// The cells of the page's grid: "slot channel" to state.
std::map<std::string, std::string> Cells(const std::string& html) {
    std::map<std::string, std::string> cells;
    const std::regex row(R"re(<tr data-slot="([^"]+)">(.*?)</tr>)re");
    const std::regex cell(R"re(data-channel="([^"]+)" data-state="([a-z]+)")re");
    for (auto r = std::sregex_iterator(html.begin(), html.end(), row); r != std::sregex_iterator();
         ++r) {
        const std::string body = (*r)[2];
        for (auto c = std::sregex_iterator(body.begin(), body.end(), cell);
             c != std::sregex_iterator(); ++c) {
            cells[(*r)[1].str() + " " + (*c)[1].str()] = (*c)[2];
        }
    }
    return cells;
}

TEST(StatusPage, GridOfSlotsByChannelWithGapsAndEveryNameEscaped) {
    const Wall::time_point now = Wall::now();
    StatusBoard board("in<script>", "out&\"", true, {"IR_108", "HRV"}, now - std::chrono::hours(2));
    const std::string first = Segment("IR_108", "202401010000");
    board.ProductEnded(Result(ProductStatus::Joined, first), first, false, now);
    const std::string hrv = Segment("HRV", "202401010000");
    board.ProductEnded(Result(ProductStatus::Incomplete, hrv), hrv, false, now);
    board.ProductEnded(Result(ProductStatus::Joined, hrv), hrv, true, now);  // a segment came late
    // Published later: IR_108 complete, HRV missing.
    SlotRecord record;
    record.id.key = {'H', "MSG2", "0DEG", "202401010045"};
    record.state = SlotRecord::State::Incomplete;
    record.channels = {{"IR_108", ChannelRecord::State::Complete, "k", {1, 2}, {}, {}, "o"},
                       {"HRV", ChannelRecord::State::Missing, "", {}, {}, {}, ""}};
    board.SlotPublished(record, now);
    const std::string waiting = Segment("HRV", "202401010045", 3);
    board.SetWaiting({{"key <b>", waiting, 1, now - std::chrono::minutes(3), false}}, 1);

    const std::string html = StatusPageHtml(board.View(now), 3);
    const std::map<std::string, std::string> expected = {
        {"H-MSG2-0DEG-202401010045 IR_108", "complete"},
        {"H-MSG2-0DEG-202401010045 HRV", "waiting"},
        {"H-MSG2-0DEG-202401010030 IR_108", "missing"},  // a repeat cycle without a file
        {"H-MSG2-0DEG-202401010030 HRV", "missing"},
        {"H-MSG2-0DEG-202401010015 IR_108", "missing"},
        {"H-MSG2-0DEG-202401010000 IR_108", "complete"},
        {"H-MSG2-0DEG-202401010000 HRV", "late"},
    };
    EXPECT_EQ(Cells(html).size(), 8u);
    for (const auto& [cell, state] : expected) {
        EXPECT_EQ(Cells(html)[cell], state) << cell;
    }
    EXPECT_THAT(html, HasSubstr("in&lt;script&gt;"));
    EXPECT_THAT(html, HasSubstr("out&amp;&quot;"));
    EXPECT_THAT(html, HasSubstr("key &lt;b&gt;"));
    EXPECT_THAT(html, Not(HasSubstr("<script")));
    EXPECT_THAT(html, HasSubstr("1 complete, 1 waiting; published incomplete"));
    // Nothing to fetch: no script, no link, no picture, no address but its own.
    for (const char* outside : {"<link", "<img", "src=", "http://", "https://", "url("}) {
        EXPECT_THAT(html, Not(HasSubstr(outside)));
    }
}

}  // namespace
}  // namespace segweld::station
