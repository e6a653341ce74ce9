// The slot book on its own, through scripts of arrivals, ends of joins and
// the passing of time: when each slot is published, in which state, and
// what it holds meanwhile.
#include "station/slot_book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace segweld::station {
namespace {

using Clock = SlotBook::Clock;
using Wall = SlotBook::Wall;

struct Event {
    enum Op { Arrive, Join, Wait } op;
    std::string what;  // PRO, EPI, a channel; for Wait the seconds since the start
    std::string slot = "1200";
    ChannelRecord::State state = ChannelRecord::State::Complete;  // of a Join
    int number = 1;                                               // of an arriving segment
    bool unchanged = false;  // the file arrives again as it was an hour ago
};

struct Script {
    const char* name;
    std::vector<Event> events;
    std::vector<std::string> published;  // SlotSummary of each, in order
    std::vector<std::string> waiting;    // the products CloseDue handed back
    size_t held;
    size_t maxSlots = 10000;
    bool publishedBefore = false;  // an earlier run published slot 1200 whole
};

SlotFile FileOf(const Event& event) {
    SlotFile file;
    file.slot.key = {'H', "MSG2", "0DEG", "20240101" + event.slot};
    if (event.what == "PRO" || event.what == "EPI") {
        file.kind = event.what == "PRO" ? SlotFile::Kind::Prologue : SlotFile::Kind::Epilogue;
    } else {
        file.channel = event.what;
    }
    return file;
}

std::string NameOf(const Event& event) {
    const bool companion = event.what == "PRO" || event.what == "EPI";
    std::string channel = (companion ? "" : event.what) + "_________";
    char number[8];
    std::snprintf(number, sizeof number, "%06d", event.number);
    std::string segment = (companion ? event.what : number) + "_________";
    return "H-000-MSG2__-MSG2________-" + channel.substr(0, 9) + "-" + segment.substr(0, 9) +
           "-20240101" + event.slot + "-__";
}

// "1200 late#2 HRV:missing no-epilogue late:1"
std::string Summary(const SlotRecord& record) {
    std::string text = record.id.key.time.substr(8) + " " + SlotStateName(record.state) + "#" +
                       std::to_string(record.publication);
    for (const ChannelRecord& channel : record.channels) {
        if (channel.state != ChannelRecord::State::Complete) {
            text += " " + channel.channel + ":" + ChannelStateName(channel.state);
        }
    }
    text += record.prologue ? "" : " no-prologue";
    text += record.epilogue ? "" : " no-epilogue";
    return text + (record.late.empty() ? "" : " late:" + std::to_string(record.late.size()));
}

// A member whose product (named as its channel) joined segment 1.
ChannelRecord Member(const std::string& channel, ChannelRecord::State state) {
    ChannelRecord record;
    record.channel = record.product = channel;
    record.state = state;
    record.joined = {1};
    return record;
}

SlotRecord EarlierWhole(const SlotId& id) {
    SlotRecord record;
    record.id = id;
    record.state = SlotRecord::State::Complete;
    for (const char* channel : {"IR_108", "HRV"}) {
        record.channels.push_back(Member(channel, ChannelRecord::State::Complete));
    }
    record.prologue = record.epilogue = true;
    record.published = Wall::now() - std::chrono::hours(1);
    record.firstArrival = record.published - std::chrono::minutes(10);
    return record;
}

const std::vector<Event> kWhole = {{Event::Arrive, "PRO"},    {Event::Arrive, "EPI"},
                                   {Event::Arrive, "IR_108"}, {Event::Arrive, "HRV"},
                                   {Event::Join, "IR_108"},   {Event::Join, "HRV"}};

std::vector<Event> WholeThen(std::vector<Event> more) {
    std::vector<Event> events = kWhole;
    events.insert(events.end(), more.begin(), more.end());
    return events;
}

const Script kScripts[] = {
    {"complete as soon as the last join of a member ends", kWhole, {"1200 complete#1"}, {}, 1},
    {"incomplete once its time is up",
     {{Event::Arrive, "PRO"},
      {Event::Arrive, "IR_108"},
      {Event::Join, "IR_108"},
      {Event::Wait, "1199"},
      {Event::Wait, "1200"}},
     {"1200 incomplete#1 HRV:missing no-epilogue"},
     {},
     1},
    {"a product that still waits when its time is up is joined first",
     {{Event::Arrive, "PRO"},
      {Event::Arrive, "EPI"},
      {Event::Arrive, "IR_108"},
      {Event::Arrive, "HRV"},
      {Event::Join, "HRV"},
      {Event::Wait, "1200"},
      {Event::Join, "IR_108", "1200", ChannelRecord::State::Incomplete}},
     {"1200 incomplete#1 IR_108:incomplete"},
     {"IR_108"},
     1},
    {"never held for a join that does not end",
     {{Event::Arrive, "IR_108"},
      {Event::Wait, "1200"},
      {Event::Wait, "2399"},
      {Event::Wait, "2400"}},
     {"1200 incomplete#1 IR_108:missing HRV:missing no-prologue no-epilogue"},
     {"IR_108"},
     1},
    {"a late epilogue publishes it again at once",
     {{Event::Arrive, "PRO"},
      {Event::Arrive, "IR_108"},
      {Event::Arrive, "HRV"},
      {Event::Join, "IR_108"},
      {Event::Join, "HRV"},
      {Event::Wait, "1200"},
      {Event::Arrive, "EPI"}},
     {"1200 incomplete#1 no-epilogue", "1200 late#2 late:1"},
     {},
     1},
    {"a late segment waits for the join of its product",
     WholeThen({{Event::Arrive, "HRV", "1200", ChannelRecord::State::Complete, 2},
                {Event::Wait, "10"},
                {Event::Join, "HRV"}}),
     {"1200 complete#1", "1200 late#2 late:1"},
     {},
     1},
    {"a file told of again as it was is not late",
     WholeThen({{Event::Arrive, "HRV", "1200", ChannelRecord::State::Complete, 1, true},
                {Event::Join, "HRV"}}),
     {"1200 complete#1"},
     {},
     1},
    {"forgotten a timeout after its last publication",
     WholeThen({{Event::Wait, "1199"}, {Event::Wait, "1200"}}),
     {"1200 complete#1"},
     {},
     0},
    {"a file after an earlier run's publication is late",
     {{Event::Arrive, "HRV", "1200", ChannelRecord::State::Complete, 2},
      {Event::Join, "HRV", "1200", ChannelRecord::State::Incomplete}},
     {"1200 late#2 HRV:incomplete late:1"},
     {},
     1,
     10000,
     true},
    {"beyond the bound the slot due first goes",
     {{Event::Arrive, "PRO", "1200"},
      {Event::Wait, "1"},
      {Event::Arrive, "PRO", "1215"},
      {Event::Wait, "2"},
      {Event::Arrive, "PRO", "1230"}},
     {"1200 incomplete#1 IR_108:missing HRV:missing no-epilogue"},
     {},
     2,
     2},
};

void PrintTo(const Script& script, std::ostream* out) {
    *out << script.name;
}

class SlotBookTest : public ::testing::TestWithParam<Script> {};

TEST_P(SlotBookTest, PublishesAsTheScriptSays) {
    const Script& script = GetParam();
    std::vector<std::string> published;
    const SlotRules rules{{"IR_108", "HRV"}, std::chrono::seconds(1200), script.maxSlots};
    SlotBook book(
        rules, [&](const SlotRecord& record) { published.push_back(Summary(record)); },
        [&](const SlotId& id) {
            return script.publishedBefore ? std::optional(EarlierWhole(id)) : std::nullopt;
        });
    size_t told = 0;
    book.AddObserver([&](const SlotRecord&) { ++told; });
    const Clock::time_point start = Clock::now();
    Clock::time_point now = start;
    std::vector<std::string> waiting;
    for (const Event& event : script.events) {
        const SlotFile file = FileOf(event);
        switch (event.op) {
            case Event::Arrive:
                book.Arrived(
                    file,
                    {NameOf(event), event.number, event.what, Wall::now(),
                     Wall::now() - (event.unchanged ? std::chrono::hours(1) : Wall::duration()),
                     file.kind == SlotFile::Kind::Segment},
                    now);
                break;
            case Event::Join:
                book.Joined(file, Member(event.what, event.state), false, now);
                break;
            case Event::Wait:
                now = start + std::chrono::seconds(std::stoi(event.what));
                for (const std::string& key : book.CloseDue(now)) {
                    waiting.push_back(key);
                }
                break;
        }
    }
    EXPECT_EQ(published, script.published);
    EXPECT_EQ(waiting, script.waiting);
    EXPECT_EQ(book.held(), script.held);
    EXPECT_EQ(told, published.size()) << "every observer is told";
    for (const SlotRecord& held : book.Held()) {
        int last = 0;  // the number of the last publication told of
        for (const std::string& summary : published) {
            if (summary.starts_with(held.id.key.time.substr(8))) {
                last = std::stoi(summary.substr(summary.find('#') + 1));
            }
        }
        EXPECT_EQ(held.publication, last);
    }
}

INSTANTIATE_TEST_SUITE_P(Station, SlotBookTest, ::testing::ValuesIn(kScripts),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::ranges::replace_if(
                                 name, [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// What the names carry, and the record's way through JSON and back.
TEST(SlotKeyTest, NamesOfTheThreeServicesAndTheirRecords) {
    const struct {
        const char* name;
        const char* slot;  // empty: no slot
        const char* channel;
    } rows[] = {
        {"H-000-MSG2__-MSG2________-IR_108___-000004___-201010111400-__",
         "H-MSG2-0DEG-201010111400", "IR_108"},
        {"H-000-MSG1__-MSG2_RSS____-HRV______-000016___-201211210610-C_", "H-MSG2-RSS-201211210610",
         "HRV"},
        {"H-000-MSG1__-MSG1_IODC___-_________-EPI______-202004040800-__",
         "H-MSG1-IODC-202004040800", ""},
        {"L-000-MSG3__-GOES13______-00_7_075W-000001___-201310271200-C_", "", ""},
        {"H-000-MSG2__-MSG2________-IR_108___-000004___-201013111400-__", "", ""},
        {"H-000-MSG2__-MSG2________-IR_108___-000004___-201010111400-__.tmp", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto file = SlotFileOf("", row.name);
        ASSERT_EQ(file.has_value(), *row.slot != 0);
        if (file) {
            EXPECT_EQ(file->slot.Text(), row.slot);
            EXPECT_EQ(file->channel, row.channel);
        }
    }
    const SlotKey key{'H', "MSG2", "0DEG", "201010111400"};
    EXPECT_EQ(key.FolderPath(), "MSG2/0DEG/2010/10/11/1400");
    EXPECT_EQ(key.NominalTimeText(), "2010-10-11T14:00:00Z");
    SlotRecord record = EarlierWhole({"2010/1011", key});
    record.late = {"H-000-MSG2__-MSG2________-_________-EPI______-201010111400-__"};
    record.manifest = "out/h-msg2-0deg-201010111400.slot.json";
    const auto back = ParseSlotRecord(SlotRecordJson(record));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(SlotRecordJson(*back), SlotRecordJson(record));
    EXPECT_FALSE(ParseSlotRecord("{\"type\":\"slot\"}").has_value());
}

}  // namespace
}  // namespace segweld::station
