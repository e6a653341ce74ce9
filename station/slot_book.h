#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station/slot_key.h"
#include "station/slot_record.h"

namespace segweld::station {

// One file of a slot as it came.
struct SlotArrival {
    std::string_view name;
    int32_t number = 0;           // a segment's; 0 for a prologue or epilogue
    std::string_view productKey;  // a segment's product
    std::chrono::system_clock::time_point arrived;
    std::chrono::system_clock::time_point changed;  // the file's modification time
    bool awaitsJoin = false;                        // its product is to be joined
};

// What a slot waits for, and how long.
struct SlotRules {
    std::vector<std::string> channels = SeviriChannels();  // the wanted ones
    // From a slot's first file to its publication, complete or not.
    std::chrono::milliseconds timeout = std::chrono::seconds(1200);
    size_t maxSlots = 10000;  // open and published ones held at once
    // A batch's slots: no timeout; they close when CloseAll says so, wait for
    // every join of a member however long it takes, and go once published.
    bool untimed = false;
};

// The slots of a run: which of their members have come and what their joins
// made, when each is due, and when it is published. A slot is published as
// soon as every wanted channel is complete and its prologue and epilogue are
// there, or once it was closed (its time is up, or a batch has taken all its
// files), in both cases only when no join of a member is under way or
// waiting: a slot waits for a member's join at most one timeout beyond its
// due time. A file that comes after a publication (changed after it, or not
// among the files it counted) is late, and the slot is published again,
// "late", once the joins it causes have ended. Published slots are forgotten
// a timeout after their last publication; a slot opened again looks up its
// earlier publication, so the files that changed since are late still. At most maxSlots slots
// are held: beyond that the one due first is published with what it has, and
// forgotten. Used by one thread at a time.
class SlotBook {
  public:
    using Clock = std::chrono::steady_clock;
    using Wall = std::chrono::system_clock;
    // Told of each publication, on the thread that caused it; it must not
    // call the book.
    using Observer = std::function<void(const SlotRecord&)>;
    // The record of the last publication of a slot by an earlier run, if
    // there was one; asked when a slot opens.
    using EarlierLookup = std::function<std::optional<SlotRecord>(const SlotId&)>;

    struct Counts {
        size_t complete = 0;
        size_t incomplete = 0;
        size_t late = 0;
        size_t unchanged = 0;  // published by an earlier run, not again by this one
    };

    SlotBook(SlotRules rules, Observer observer, EarlierLookup earlier = {});
    SlotBook(const SlotBook&) = delete;
    SlotBook& operator=(const SlotBook&) = delete;
    // One more observer of the publications, told after those before it.
    void AddObserver(Observer observer) { observers_.push_back(std::move(observer)); }

    const SlotRules& rules() const { return rules_; }
    // Files of channels that are not wanted are passed over.
    bool Wants(const SlotFile& file) const;

    // A file of a slot came (a file found by a look at the whole folder
    // counts as come when it was found). It is late when the slot was
    // published before the file changed, or without it.
    void Arrived(const SlotFile& file, const SlotArrival& arrival, Clock::time_point now);
    // The join of a member's product ended, making `record`; `again` when the
    // product waits to be joined once more.
    void Joined(const SlotFile& file, ChannelRecord record, bool again, Clock::time_point now);
    // A member's output is up to date: its record is that of the slot's last
    // publication when that names the same output, else what `survey` makes.
    void UpToDate(const SlotFile& file, const std::string& productKey, const std::string& output,
                  const std::function<ChannelRecord()>& survey, Clock::time_point now);

    // Closes the slots that are due; returns the keys of their products that
    // still wait, to be joined now. Publishes what can be published, and
    // forgets what is done with.
    std::vector<std::string> CloseDue(Clock::time_point now);
    // Closes every slot now, as a batch does once it has taken all files.
    std::vector<std::string> CloseAll(Clock::time_point now);
    // When CloseDue has something to do next; nullopt when nothing waits.
    std::optional<Clock::time_point> NextDeadline() const;

    bool Holds(const SlotId& id) const { return slots_.contains(id); }
    // Every slot held, as it stands now: publication 0 for one not published
    // yet; the state of one published is that of its last publication.
    std::vector<SlotRecord> Held() const;
    size_t held() const { return slots_.size(); }
    // Slots still held count as unchanged when they were published by an
    // earlier run and not by this one.
    Counts counts() const;

  private:
    struct Member {
        ChannelRecord record;
        std::string productKey;
        bool pending = false;
    };
    struct Slot {
        SlotId id;
        std::vector<Member> members;  // as rules_.channels
        bool prologue = false;
        bool epilogue = false;
        Wall::time_point firstArrival;
        Clock::time_point due;
        Clock::time_point waitLimit;  // pending joins are waited for until then
        Clock::time_point forgetAt;
        bool closed = false;
        std::optional<SlotRecord> published;  // the last publication, this run's or earlier
        int earlierPublications = 0;
        bool republish = false;
        std::vector<std::string> late;
    };

    Slot& Open(const SlotId& id, Wall::time_point arrived, Clock::time_point now);
    void TakeEarlier(Slot& slot, const SlotRecord& earlier, Clock::time_point now);
    Member* MemberFor(Slot& slot, const SlotFile& file);
    bool IsLate(const Slot& slot, const SlotFile& file, const SlotArrival& arrival) const;
    void SetMember(Slot& slot, Member& member, ChannelRecord record, Clock::time_point now);
    SlotRecord Current(const Slot& slot) const;
    bool Waits(const Slot& slot, Clock::time_point now) const;
    void Check(Slot& slot, Clock::time_point now);
    // Checks the slot and forgets it when it is done with.
    void Settle(std::map<SlotId, Slot>::iterator slot, Clock::time_point now);
    void Forget(std::map<SlotId, Slot>::iterator slot);
    bool Unchanged(const Slot& slot) const;
    void Publish(Slot& slot, Clock::time_point now);
    std::vector<std::string> Close(Slot& slot, Clock::time_point now);
    void KeepWithinBound(const SlotId& opened, Clock::time_point now);
    Clock::time_point After(Clock::time_point when) const;

    SlotRules rules_;
    std::vector<Observer> observers_;
    EarlierLookup earlier_;
    std::map<SlotId, Slot> slots_;
    // The slot opened last: the files of one product come one after another.
    std::map<SlotId, Slot>::iterator last_ = slots_.end();
    Counts counts_;
};

}  // namespace segweld::station
