// The station modes' parts that decide without touching the disk: names,
// shards, the --then command, the inotify records, the tracker, the record
// kept with an output.
#include <gmock/gmock.h>
#include <sys/inotify.h>

#include <atomic>
#include <cstring>
#include <tuple>

#include "os/inotify_records.h"
#include "station/output_record.h"
#include "station/product_scan.h"
#include "station/product_tracker.h"
#include "station/shard.h"
#include "station/then_command.h"
#include "station/time_stamp.h"
#include "station/worker_pool.h"

namespace segweld::station {
namespace {

using std::chrono::seconds;
using ::testing::_;
using ::testing::ElementsAre;
using ::testing::FieldsAre;

TEST(ShardTest, ParsesKOfNAndHashesAsFnv1a) {
    const std::pair<const char*, const char*> rows[] = {
        {"0/1", "0/1"}, {"3/4", "3/4"}, {"4/4", ""}, {"1/0", ""},  {"-1/4", ""},
        {"1/", ""},     {"/4", ""},     {"14", ""},  {"1/4x", ""}, {"1 /4", ""}};
    for (const auto& [text, expected] : rows) {
        const auto k = ParseShard(text);
        EXPECT_EQ(k ? std::to_string(k->index) + "/" + std::to_string(k->count) : "", expected)
            << text;
    }
    // The published FNV-1a test vectors: the shards of an archive must not
    // move when the program is rebuilt.
    EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(Fnv1a64("foobar"), 0x85944171f73967e8ull);
}

TEST(OutputRecordTest, EveryFieldChangesTheKeptFormWhichReadsBackWhole) {
    const OutputRecord base{"H-000-MSG3__-MSG3________-IR_108___-??????___-201801011200-__",
                            "join",
                            160000,
                            77,
                            1'700'000'000'200'000'000,
                            {{1, 20112, 1'700'000'000'123'456'789, 42, 1'700'000'000'123'456'789},
                             {2, 20112, 7, 43, 8}}};
    const KeptRecord kept = KeptFormOf(base, 3);
    const std::pair<const char*, void (*)(OutputRecord&)> changes[] = {
        {"product", [](OutputRecord& r) { r.product[50] = '3'; }},
        {"making", [](OutputRecord& r) { r.making = "join fill-gaps"; }},
        {"output size", [](OutputRecord& r) { r.outputSize = 159999; }},
        {"output file number", [](OutputRecord& r) { r.outputFile = 78; }},
        {"a number", [](OutputRecord& r) { r.segments[1].number = 3; }},
        {"a size", [](OutputRecord& r) { r.segments[0].size = 20113; }},
        {"a time", [](OutputRecord& r) { r.segments[0].modifiedNanoseconds -= 1; }},
        {"a change time", [](OutputRecord& r) { r.segments[1].changedNanoseconds += 1; }},
        {"a file number", [](OutputRecord& r) { r.segments[1].file = 44; }},
        {"a segment more",
         [](OutputRecord& r) {
             r.segments.push_back({3, 20112, 7, 45, 8});
         }},
        {"a segment fewer", [](OutputRecord& r) { r.segments.pop_back(); }},
    };
    for (const auto& [field, change] : changes) {
        OutputRecord changed = base;
        change(changed);
        EXPECT_NE(KeptFormOf(changed, 3), kept) << field;
    }
    // The longest a full-disk HRV GeoTIFF's record gets, with a slow keeping.
    for (const KeptRecord& each :
         {kept, KeptRecord{0, 0, 0, 0x00ab}, KeptRecord{26, 999'999'999, 99'999, ~0ull}}) {
        const std::string text = FormatKeptRecord(each);
        EXPECT_LT(text.size(), 57u) << text;  // within an ext4 inode's own space
        EXPECT_EQ(ParseKeptRecord(text), each) << text;
    }
    for (const char* text :
         {"segweld-record 2 8 160000 00000000000000ab", "segweld-record 3 8 1 00ab",
          "segweld-record 3 8 -1 3 00000000000000ab", ""}) {
        EXPECT_EQ(ParseKeptRecord(text), std::nullopt) << text;
    }
}

TEST(ThenCommandTest, EveryBracePairStandsForTheOutput) {
    EXPECT_THAT(ThenArguments({"mv", "{}", "/done/{}.{}", "{", "}{"}, "/o/a{}b"),
                ElementsAre("mv", "/o/a{}b", "/done//o/a{}b./o/a{}b", "{", "}{"));
}

TEST(TimeStampTest, UtcToTheMillisecond) {
    EXPECT_EQ(UtcTimeStamp({}), "1970-01-01T00:00:00.000Z");
    // date -u -d @1700000000 gives 2023-11-14 22:13:20.
    EXPECT_EQ(UtcTimeStamp(std::chrono::sys_time<std::chrono::milliseconds>(
                  std::chrono::milliseconds(1700000000123))),
              "2023-11-14T22:13:20.123Z");
}

TEST(InotifyRecordsTest, NamesWithoutPaddingAndACutOffRecord) {
    const std::tuple<int, uint32_t, std::string> records[] = {
        {1, IN_CLOSE_WRITE, "seg1"},
        {-1, IN_Q_OVERFLOW, ""},
        {1, IN_CREATE, "a-longer-name-than-sixteen"},
        {2, IN_MOVED_TO | IN_ISDIR, "subfolder"},
        {1, IN_MOVE_SELF, ""},
        {1, IN_CLOSE_WRITE, "cut-off"}};
    // The records as the kernel lays them out: head, then the name padded
    // with zeros to `len`.
    std::vector<std::byte> buffer;
    for (const auto& [watch, mask, name] : records) {
        // The name and at least one zero, padded to a multiple of 16 bytes.
        const inotify_event head{watch, mask, 0,
                                 name.empty() ? 0u : uint32_t(name.size() | 15) + 1};
        const size_t start = buffer.size();
        buffer.resize(start + sizeof head + head.len);
        std::memcpy(buffer.data() + start, &head, sizeof head);
        std::memcpy(buffer.data() + start + sizeof head, name.data(), name.size());
    }
    buffer.resize(buffer.size() - 4);  // a record that the buffer does not hold whole

    EXPECT_THAT(os::ParseInotifyRecords(buffer),
                ElementsAre(FieldsAre(1, IN_CLOSE_WRITE, "seg1"), FieldsAre(-1, IN_Q_OVERFLOW, ""),
                            FieldsAre(1, IN_CREATE, "a-longer-name-than-sixteen"),
                            FieldsAre(2, IN_MOVED_TO | IN_ISDIR, "subfolder"),
                            FieldsAre(1, IN_MOVE_SELF, "")));
}

// Wait() itself is what every batch run with -j relies on.
TEST(WorkerPoolTest, DropLeavesTheQueuedTasks) {
    std::atomic<int> ran = 0;
    std::atomic<bool> release = false;
    WorkerPool single(1);
    single.Submit([&] { release.wait(false); });
    for (int i = 0; i < 5; ++i)
        single.Submit([&] { ++ran; });
    // The first task may still be queued; either way five or six stay behind.
    EXPECT_GE(single.DropQueued(), 5u);
    release = true;
    release.notify_all();
    single.Wait();
    EXPECT_EQ(ran.load(), 0);
}

class TrackerTest : public ::testing::Test {
  protected:
    void Arrive(int32_t n, bool whole, seconds when, int32_t end = 3, uint64_t size = 100) {
        const SegmentEntry entry{n, "seg" + std::to_string(n), whole ? size : size / 2, 0, 7};
        tracker.Note("p", "/in/", entry, SegmentProbe{true, whole, 1, end}, t0 + when);
    }

    std::vector<std::string> ReadyNames(seconds now) {
        std::vector<std::string> names;
        for (const ReadyProduct& ready : tracker.TakeReady(t0 + now))
            names.push_back(ready.product.key + (ready.complete ? " complete" : " timed out"));
        return names;
    }

    const ProductTracker::Clock::time_point t0 = ProductTracker::Clock::now();
    ProductTracker tracker{seconds(10)};
};

// Every planned number seen, one of them not whole: the product waits for
// its timeout, counted from the last arrival, and is then taken once; the
// segment not whole is looked at again meanwhile.
TEST_F(TrackerTest, TimeoutCountsFromTheLastArrivalAndAChangeDuringAJoin) {
    Arrive(1, true, seconds(0));
    Arrive(3, true, seconds(0));
    Arrive(2, false, seconds(4));
    EXPECT_EQ(tracker.NextDeadline(), t0 + seconds(5)) << "a look at segment 2 again";
    EXPECT_THAT(tracker.TakeDueLooks(t0 + seconds(5)), ElementsAre(FieldsAre("p", "/in/", _)));
    EXPECT_EQ(tracker.NextDeadline(), t0 + seconds(6));
    EXPECT_THAT(ReadyNames(seconds(13)), ElementsAre());
    EXPECT_THAT(ReadyNames(seconds(14)), ElementsAre("p timed out"));
    EXPECT_THAT(ReadyNames(seconds(15)), ElementsAre()) << "being joined";
    EXPECT_EQ(tracker.NextDeadline(), std::nullopt);
    tracker.JoinEnded("p", JoinEnd::Done, t0);

    // A file reported again as it was is no change; a changed one makes the
    // product wait again once its join ends.
    for (const uint64_t size : {100, 200}) {
        SCOPED_TRACE(size);
        Arrive(1, true, seconds(0), 1);
        EXPECT_THAT(ReadyNames(seconds(0)), ElementsAre("p complete"));
        Arrive(1, true, seconds(1), 1, size);
        tracker.JoinEnded("p", JoinEnd::Done, t0);
        EXPECT_EQ(tracker.Knows("p"), size != 100);
    }
    EXPECT_THAT(ReadyNames(seconds(2)), ElementsAre("p complete"));
}

// An output that cannot be written is tried again after 10 s, 20 s, 40 s ...
// up to 10 min, never dropped, and at once when another output was written.
TEST_F(TrackerTest, WriteFailuresAreRetriedWithAGrowingDelay) {
    Arrive(1, true, seconds(0), 1);
    std::vector<seconds> delays;
    seconds now(0);
    for (int attempt = 0; attempt < 9; ++attempt) {
        ASSERT_THAT(ReadyNames(now), ElementsAre("p complete")) << attempt;
        const auto retryAt = tracker.JoinEnded("p", JoinEnd::RetryLater, t0 + now);
        ASSERT_TRUE(retryAt);
        delays.push_back(std::chrono::duration_cast<seconds>(*retryAt - (t0 + now)));
        EXPECT_THAT(ReadyNames(now + delays.back() - seconds(1)), ElementsAre()) << "complete";
        now += delays.back();
    }
    EXPECT_THAT(delays,
                ElementsAre(seconds(10), seconds(20), seconds(40), seconds(80), seconds(160),
                            seconds(320), seconds(600), seconds(600), seconds(600)));
    tracker.RetrySoon(t0 + now - seconds(300));
    EXPECT_THAT(ReadyNames(now - seconds(300)), ElementsAre("p complete"));
}

}  // namespace
}  // namespace segweld::station
