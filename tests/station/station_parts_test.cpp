// The station modes' parts that decide without touching the disk: names,
// shards, options, the --then command, the inotify records, the tracker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <atomic>
#include <cstring>

#include "os/inotify_records.h"
#include "station/product_scan.h"
#include "station/product_tracker.h"
#include "station/shard.h"
#include "station/station_options.h"
#include "station/then_command.h"
#include "station/time_stamp.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kSegment = "H-000-MSG1__-MSG1________-IR_108___-000007___-200706151200-C_";

TEST(SegmentNameTest, NumberAtPositions36To41) {
    struct Row {
        std::string name;
        int32_t number;
        const char* label;
    };
    const Row rows[] = {
        {kSegment, 7, "a segment of the naming convention"},
        {"H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__", -1, "prologue"},
        {"H-000-MSG1__-MSG1________-_________-EPI______-200706151200-__", -1, "epilogue"},
        {"H-000-MSG1__-MSG1________-IR_108___-00000", -1, "name ends inside the number"},
        {"short-000001", -1, "shorter than the number's place"},
        {".H-000-MSG1__-MSG1_______-IR_108___-000007___-200706151200-C_", -1, "hidden temporary"},
        {"h-000-msg1__-msg1________-ir_108___-000007___-200706151200-c_.segm", -1,
         "a joined output"},
        {"H-000-MSG1__-MSG1________-IR_108___-00a007___-200706151200-C_", -1, "letter in number"},
        {"x-000-msg1__-msg1________-ir_108___-123456", 123456, "number ends the name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(SegmentNumberInName(row.name), row.number);
    }
    EXPECT_EQ(MaskedName(kSegment),
              "H-000-MSG1__-MSG1________-IR_108___-??????___-200706151200-C_");
}

TEST(ShardTest, ParsesKOfNAndHashesAsFnv1a) {
    struct Row {
        std::string text;
        bool valid;
        uint64_t index;
        uint64_t count;
    };
    const Row rows[] = {
        {"0/1", true, 0, 1},   {"3/4", true, 3, 4},   {"4/4", false, 0, 0}, {"1/0", false, 0, 0},
        {"-1/4", false, 0, 0}, {"1/", false, 0, 0},   {"/4", false, 0, 0},  {"14", false, 0, 0},
        {"1/4x", false, 0, 0}, {"1 /4", false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto shard = ParseShard(row.text);
        ASSERT_EQ(shard.has_value(), row.valid);
        if (row.valid) {
            EXPECT_EQ(shard->index, row.index);
            EXPECT_EQ(shard->count, row.count);
        }
    }
    // The published FNV-1a test vectors: the shards of an archive must not
    // move when the program is rebuilt.
    EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(Fnv1a64("foobar"), 0x85944171f73967e8ull);
}

TEST(StationOptionsTest, CommandLines) {
    struct Row {
        std::vector<std::string> arguments;
        std::string error;  // a part of it; empty when the line is good
        const char* label;
    };
    const Row rows[] = {
        {{"--batch", "in", "out"}, "", "batch"},
        {{"--batch", "in", "out", "--recursive", "--force", "-j", "3", "--report", "r.json",
          "--shard", "1/2", "--fill-gaps"},
         "",
         "batch with every option"},
        {{"--watch", "in", "out", "--timeout", "0.5", "--then", "cp", "{}", "--force"},
         "",
         "--then takes the rest"},
        {{"--batch", "in"}, "two folders", "one folder"},
        {{"--batch", "in", "out", "extra"}, "two folders", "three folders"},
        {{"--batch", "in", "out", "-j", "0"}, "-j takes", "no workers"},
        {{"--batch", "in", "out", "-j"}, "needs a value", "-j at the end"},
        {{"--batch", "in", "out", "--shard", "2/2"}, "--shard takes", "shard out of range"},
        {{"--batch", "in", "out", "--timeout", "5"}, "belongs to --watch", "watch option"},
        {{"--watch", "in", "out", "--report", "r"}, "belongs to --batch", "batch option"},
        {{"--watch", "in", "out", "--timeout", "-1"}, "--timeout takes", "negative timeout"},
        {{"--watch", "in", "out", "--then"}, "needs a command", "--then alone"},
        {{"--watch", "--batch", "in", "out"}, "more than once", "two modes"},
        {{"--batch", "in", "out", "--frobnicate"}, "unknown option", "unknown option"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string error;
        const StationOptions options = ParseStationOptions(row.arguments, error);
        if (row.error.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(options.inputFolder, "in");
            EXPECT_EQ(options.outputFolder, "out");
        } else {
            EXPECT_THAT(error, HasSubstr(row.error));
        }
    }
    std::string error;
    const StationOptions all = ParseStationOptions(rows[1].arguments, error);
    EXPECT_TRUE(all.recursive && all.force && all.fillGaps);
    EXPECT_EQ(all.workers, 3u);
    EXPECT_EQ(all.shard.index, 1u);
    EXPECT_EQ(all.shard.count, 2u);
    const StationOptions watch = ParseStationOptions(rows[2].arguments, error);
    EXPECT_EQ(watch.timeout, std::chrono::milliseconds(500));
    EXPECT_THAT(watch.thenCommand, ElementsAre("cp", "{}", "--force"));
    EXPECT_FALSE(IsStationCommand({"seg", "out"}));
    EXPECT_FALSE(IsStationCommand({"seg", "out", "--then", "--batch"}));
}

TEST(ThenCommandTest, EveryBracePairStandsForTheOutput) {
    EXPECT_THAT(ThenArguments({"mv", "{}", "/done/{}.{}", "{", "}{"}, "/o/a{}b"),
                ElementsAre("mv", "/o/a{}b", "/done//o/a{}b./o/a{}b", "{", "}{"));
}

TEST(TimeStampTest, UtcToTheMillisecond) {
    using std::chrono::milliseconds;
    using std::chrono::system_clock;
    EXPECT_EQ(UtcTimeStamp(system_clock::time_point()), "1970-01-01T00:00:00.000Z");
    // date -u -d @1700000000 gives 2023-11-14 22:13:20.
    EXPECT_EQ(UtcTimeStamp(system_clock::time_point(milliseconds(1700000000123))),
              "2023-11-14T22:13:20.123Z");
}

// One inotify record as the kernel lays it out: head, then the name padded
// with zeros to `len`.
void AppendRecord(std::vector<std::byte>& buffer, uint32_t mask, const std::string& name) {
    inotify_event head{};
    head.wd = 1;
    head.mask = mask;
    head.len = name.empty() ? 0 : static_cast<uint32_t>((name.size() + 16) / 16 * 16);
    const size_t start = buffer.size();
    buffer.resize(start + sizeof head + head.len);
    std::memcpy(buffer.data() + start, &head, sizeof head);
    std::memcpy(buffer.data() + start + sizeof head, name.data(), name.size());
}

TEST(InotifyRecordsTest, FilesOverflowAndTheFolderGoing) {
    using Kind = os::FolderEvent::Kind;
    std::vector<std::byte> buffer;
    AppendRecord(buffer, IN_CLOSE_WRITE, "seg1");
    AppendRecord(buffer, IN_Q_OVERFLOW, "");
    AppendRecord(buffer, IN_MOVED_TO, "a-longer-name-than-sixteen");
    AppendRecord(buffer, IN_MOVED_TO | IN_ISDIR, "subfolder");
    AppendRecord(buffer, IN_DELETE_SELF, "");
    AppendRecord(buffer, IN_CLOSE_WRITE, "cut-off");
    buffer.resize(buffer.size() - 4);  // a record that the buffer does not hold whole

    std::vector<os::FolderEvent> events;
    os::ParseInotifyRecords(buffer, events);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, Kind::FileReady);
    EXPECT_EQ(events[0].name, "seg1");
    EXPECT_EQ(events[1].kind, Kind::Overflow) << "an overflow asks for a rescan";
    EXPECT_EQ(events[2].name, "a-longer-name-than-sixteen");
    EXPECT_EQ(events[3].kind, Kind::FolderGone);
}

TEST(WorkerPoolTest, WaitSeesEveryTaskAndDropLeavesTheRest) {
    std::atomic<int> ran = 0;
    {
        WorkerPool pool(3);
        for (int i = 0; i < 200; ++i) {
            pool.Submit([&] { ++ran; });
        }
        pool.Wait();
        EXPECT_EQ(ran.load(), 200) << "Wait() returned with tasks still queued or running";
    }
    std::atomic<bool> release = false;
    WorkerPool single(1);
    single.Submit([&] {
        while (!release) {
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 5; ++i) {
        single.Submit([&] { ++ran; });
    }
    // The first task may still be queued; either way five or six stay behind.
    EXPECT_GE(single.DropQueued(), 5u);
    release = true;
    single.Wait();
    EXPECT_EQ(ran.load(), 200);
}

class TrackerTest : public ::testing::Test {
  protected:
    using Clock = ProductTracker::Clock;

    void Arrive(int32_t number, bool whole, Clock::time_point when, int32_t planEnd = 3,
                uint64_t size = 100) {
        SegmentEntry entry;
        entry.number = number;
        entry.name = "seg" + std::to_string(number);
        entry.size = whole ? size : size / 2;
        SegmentProbe probe;
        probe.accepted = true;
        probe.whole = whole;
        probe.plannedStart = 1;
        probe.plannedEnd = planEnd;
        tracker.Note("p", "/in/", entry, probe, when);
    }

    std::vector<std::string> ReadyNames(Clock::time_point now) {
        std::vector<std::string> names;
        for (const ReadyProduct& ready : tracker.TakeReady(now)) {
            names.push_back(ready.product.key + (ready.complete ? " complete" : " timed out"));
        }
        return names;
    }

    const Clock::time_point t0 = Clock::now();
    ProductTracker tracker{std::chrono::seconds(10)};
};

TEST_F(TrackerTest, ReadyWhenEveryPlannedSegmentIsWhole) {
    Arrive(3, true, t0);
    Arrive(1, true, t0);
    Arrive(2, false, t0);
    EXPECT_THAT(ReadyNames(t0), ElementsAre()) << "segment 2 lacks data";
    EXPECT_EQ(tracker.NextDeadline(), t0 + std::chrono::seconds(10));
    Arrive(2, true, t0 + std::chrono::seconds(1));
    EXPECT_THAT(ReadyNames(t0 + std::chrono::seconds(1)), ElementsAre("p complete"));
    EXPECT_THAT(ReadyNames(t0 + std::chrono::seconds(1)), ElementsAre()) << "being joined";
    EXPECT_EQ(tracker.NextDeadline(), std::nullopt);
    tracker.JoinEnded("p");
    EXPECT_FALSE(tracker.Knows("p"));
}

TEST_F(TrackerTest, TimeoutCountsFromTheLastArrival) {
    Arrive(1, true, t0);
    Arrive(2, true, t0 + std::chrono::seconds(4));
    EXPECT_THAT(ReadyNames(t0 + std::chrono::seconds(13)), ElementsAre());
    EXPECT_THAT(ReadyNames(t0 + std::chrono::seconds(14)), ElementsAre("p timed out"));
}

TEST_F(TrackerTest, ChangedSegmentDuringAJoinMakesTheProductWaitAgain) {
    Arrive(1, true, t0, 1);
    EXPECT_THAT(ReadyNames(t0), ElementsAre("p complete"));
    Arrive(1, true, t0 + std::chrono::seconds(1), 1);
    tracker.JoinEnded("p");
    EXPECT_FALSE(tracker.Knows("p")) << "the same file reported twice is no change";

    Arrive(1, true, t0, 1);
    EXPECT_THAT(ReadyNames(t0), ElementsAre("p complete"));
    Arrive(1, true, t0 + std::chrono::seconds(2), 1, 200);
    tracker.JoinEnded("p");
    ASSERT_TRUE(tracker.Knows("p"));
    EXPECT_THAT(ReadyNames(t0 + std::chrono::seconds(2)), ElementsAre("p complete"));
}

}  // namespace
}  // namespace segweld::station
