#include "station/slot_book.h"

#include <algorithm>

#include "join/dissemination_name.h"

namespace segweld::station {
namespace {

using Clock = SlotBook::Clock;
using Wall = SlotBook::Wall;

// The steady time of a wall-clock time, as the steady clock stands now.
Clock::time_point SteadyOf(Wall::time_point when, Clock::time_point now) {
    return now + std::chrono::duration_cast<Clock::duration>(when - Wall::now());
}

bool Contains(const std::vector<int32_t>& numbers, int32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

const ChannelRecord* ChannelIn(const SlotRecord& record, const std::string& channel) {
    const auto found = std::find_if(record.channels.begin(), record.channels.end(),
                                    [&](const ChannelRecord& c) { return c.channel == channel; });
    return found == record.channels.end() ? nullptr : &*found;
}

}  // namespace

SlotBook::SlotBook(SlotRules rules, Observer observer, EarlierLookup earlier)
    : rules_(std::move(rules)), observers_{std::move(observer)}, earlier_(std::move(earlier)) {}

bool SlotBook::Wants(const SlotFile& file) const {
    return file.kind != SlotFile::Kind::Segment ||
           std::find(rules_.channels.begin(), rules_.channels.end(), file.channel) !=
               rules_.channels.end();
}

SlotBook::Slot& SlotBook::Open(const SlotId& id, Wall::time_point arrived, Clock::time_point now) {
    if (last_ != slots_.end() && last_->first == id) {
        return last_->second;
    }
    last_ = slots_.find(id);
    if (last_ != slots_.end()) {
        return last_->second;
    }
    last_ = slots_.try_emplace(id).first;
    Slot& slot = last_->second;
    slot.id = id;
    for (const std::string& channel : rules_.channels) {
        Member member;
        member.record.channel = channel;
        slot.members.push_back(std::move(member));
    }
    slot.firstArrival = arrived;
    slot.due = After(SteadyOf(arrived, now));
    slot.waitLimit = After(slot.due);
    if (earlier_) {
        if (const auto earlier = earlier_(id)) {
            TakeEarlier(slot, *earlier, now);
        }
    }
    KeepWithinBound(id, now);
    return slot;
}

// A timeout after `when`; never for an untimed book.
Clock::time_point SlotBook::After(Clock::time_point when) const {
    return rules_.untimed ? Clock::time_point::max() : when + rules_.timeout;
}

// A slot published before: what it published stands for the members that
// are not joined again, and the files it did not count are late.
void SlotBook::TakeEarlier(Slot& slot, const SlotRecord& earlier, Clock::time_point now) {
    for (Member& member : slot.members) {
        if (const ChannelRecord* channel = ChannelIn(earlier, member.record.channel)) {
            member.record = *channel;
            member.productKey = channel->product;
        }
    }
    slot.prologue = earlier.prologue;
    slot.epilogue = earlier.epilogue;
    slot.firstArrival = earlier.firstArrival;
    slot.published = earlier;
    slot.earlierPublications = earlier.publication;
    slot.due = After(now);
    slot.waitLimit = After(slot.due);
    slot.forgetAt = rules_.untimed ? now : slot.due;
}

SlotBook::Member* SlotBook::MemberFor(Slot& slot, const SlotFile& file) {
    for (size_t i = 0; i < rules_.channels.size(); ++i) {
        if (rules_.channels[i] == file.channel) {
            return &slot.members[i];
        }
    }
    return nullptr;
}

bool SlotBook::IsLate(const Slot& slot, const SlotFile& file, const SlotArrival& arrival) const {
    if (!slot.published) {
        return false;
    }
    const SlotRecord& before = *slot.published;
    if (arrival.changed > before.published) {
        return true;
    }
    switch (file.kind) {
        case SlotFile::Kind::Prologue:
            return !before.prologue;
        case SlotFile::Kind::Epilogue:
            return !before.epilogue;
        case SlotFile::Kind::Segment:
            break;
    }
    const ChannelRecord* channel = ChannelIn(before, file.channel);
    return channel == nullptr || !Contains(channel->joined, arrival.number);
}

void SlotBook::Arrived(const SlotFile& file, const SlotArrival& arrival, Clock::time_point now) {
    if (!Wants(file)) {
        return;
    }
    Slot& slot = Open(file.slot, arrival.arrived, now);
    if (IsLate(slot, file, arrival)) {
        if (std::find(slot.late.begin(), slot.late.end(), arrival.name) == slot.late.end()) {
            slot.late.emplace_back(arrival.name);
        }
        slot.republish = true;
        slot.waitLimit = std::max(slot.waitLimit, After(now));
    }
    if (!slot.published && arrival.arrived < slot.firstArrival) {
        slot.firstArrival = arrival.arrived;
        slot.due = std::min(slot.due, After(SteadyOf(arrival.arrived, now)));
    }
    switch (file.kind) {
        case SlotFile::Kind::Prologue:
            slot.prologue = true;
            break;
        case SlotFile::Kind::Epilogue:
            slot.epilogue = true;
            break;
        case SlotFile::Kind::Segment: {
            Member& member = *MemberFor(slot, file);
            if (member.productKey != arrival.productKey) {
                member.productKey = arrival.productKey;
            }
            member.pending = member.pending || arrival.awaitsJoin;
            break;
        }
    }
    Settle(last_, now);
}

void SlotBook::SetMember(Slot& slot, Member& member, ChannelRecord record, Clock::time_point now) {
    record.channel = member.record.channel;
    const ChannelRecord* before =
        slot.published ? ChannelIn(*slot.published, record.channel) : nullptr;
    if (before != nullptr && !(*before == record)) {
        slot.republish = true;
        slot.waitLimit = std::max(slot.waitLimit, After(now));
    }
    member.productKey = record.product.empty() ? member.productKey : record.product;
    member.record = std::move(record);
}

void SlotBook::Joined(const SlotFile& file, ChannelRecord record, bool again,
                      Clock::time_point now) {
    if (!Wants(file)) {
        return;
    }
    Slot& slot = Open(file.slot, Wall::now(), now);
    Member& member = *MemberFor(slot, file);
    SetMember(slot, member, std::move(record), now);
    member.pending = again;
    Settle(last_, now);
}

void SlotBook::UpToDate(const SlotFile& file, const std::string& productKey,
                        const std::string& output, const std::function<ChannelRecord()>& survey,
                        Clock::time_point now) {
    if (!Wants(file)) {
        return;
    }
    Slot& slot = Open(file.slot, Wall::now(), now);
    Member& member = *MemberFor(slot, file);
    const ChannelRecord* before =
        slot.published ? ChannelIn(*slot.published, file.channel) : nullptr;
    if (before != nullptr && before->output == output && before->product == productKey) {
        member.record = *before;
    } else if (member.record.output != output || member.record.product != productKey) {
        SetMember(slot, member, survey(), now);
    }
    member.productKey = productKey;
    member.pending = false;
    Settle(last_, now);
}

SlotRecord SlotBook::Current(const Slot& slot) const {
    SlotRecord record;
    record.id = slot.id;
    for (const Member& member : slot.members) {
        record.channels.push_back(member.record);
    }
    record.prologue = slot.prologue;
    record.epilogue = slot.epilogue;
    record.firstArrival = slot.firstArrival;
    return record;
}

bool SlotBook::Waits(const Slot& slot, Clock::time_point now) const {
    return now < slot.waitLimit && std::any_of(slot.members.begin(), slot.members.end(),
                                               [](const Member& m) { return m.pending; });
}

void SlotBook::Check(Slot& slot, Clock::time_point now) {
    if (Waits(slot, now)) {
        return;
    }
    const bool due = slot.published ? slot.republish : slot.closed || Current(slot).Whole();
    if (due) {
        Publish(slot, now);
    }
}

void SlotBook::Publish(Slot& slot, Clock::time_point now) {
    SlotRecord record = Current(slot);
    const bool again = slot.published.has_value();
    record.state = again            ? SlotRecord::State::Late
                   : record.Whole() ? SlotRecord::State::Complete
                                    : SlotRecord::State::Incomplete;
    record.publication = again ? slot.published->publication + 1 : 1;
    record.late = std::move(slot.late);
    slot.late.clear();
    record.published = Wall::now();
    slot.published = record;
    slot.republish = false;
    slot.closed = true;
    slot.forgetAt = rules_.untimed ? now : now + rules_.timeout;
    ++(record.state == SlotRecord::State::Complete     ? counts_.complete
       : record.state == SlotRecord::State::Incomplete ? counts_.incomplete
                                                       : counts_.late);
    for (const Observer& observer : observers_) {
        observer(record);
    }
}

void SlotBook::Forget(std::map<SlotId, Slot>::iterator slot) {
    if (slot == last_) {
        last_ = slots_.end();
    }
    slots_.erase(slot);
}

bool SlotBook::Unchanged(const Slot& slot) const {
    return slot.earlierPublications > 0 && slot.published &&
           slot.published->publication == slot.earlierPublications;
}

void SlotBook::Settle(std::map<SlotId, Slot>::iterator found, Clock::time_point now) {
    Slot& slot = found->second;
    Check(slot, now);
    const bool done = slot.closed && slot.published && !slot.republish && !Waits(slot, now);
    if (done && now >= slot.forgetAt) {
        counts_.unchanged += Unchanged(slot) ? 1 : 0;
        Forget(found);
    }
}

std::vector<std::string> SlotBook::Close(Slot& slot, Clock::time_point now) {
    std::vector<std::string> waiting;
    if (!slot.closed) {
        slot.closed = true;
        slot.waitLimit = After(std::max(now, slot.due));
        for (const Member& member : slot.members) {
            if (member.pending) {
                waiting.push_back(member.productKey);
            }
        }
    }
    return waiting;
}

std::vector<std::string> SlotBook::CloseDue(Clock::time_point now) {
    std::vector<std::string> waiting;
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        const auto next = std::next(slot);
        if (now >= slot->second.due) {
            for (std::string& key : Close(slot->second, now)) {
                waiting.push_back(std::move(key));
            }
        }
        Settle(slot, now);
        slot = next;
    }
    return waiting;
}

std::vector<std::string> SlotBook::CloseAll(Clock::time_point now) {
    std::vector<std::string> waiting;
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        const auto next = std::next(slot);
        for (std::string& key : Close(slot->second, now)) {
            waiting.push_back(std::move(key));
        }
        Settle(slot, now);
        slot = next;
    }
    return waiting;
}

std::optional<Clock::time_point> SlotBook::NextDeadline() const {
    std::optional<Clock::time_point> next;
    const auto earliest = [&next](Clock::time_point when) {
        next = next ? std::min(*next, when) : when;
    };
    for (const auto& [id, slot] : slots_) {
        const bool pending = std::any_of(slot.members.begin(), slot.members.end(),
                                         [](const Member& m) { return m.pending; });
        if (!slot.closed) {
            earliest(slot.due);
        } else if (pending && (!slot.published || slot.republish)) {
            earliest(slot.waitLimit);
        } else if (slot.published && !pending) {
            earliest(slot.forgetAt);
        }
    }
    return next;
}

// Beyond the bound, the slot due first goes: published with what it has,
// unless a publication of it stands for all that came, and forgotten.
void SlotBook::KeepWithinBound(const SlotId& opened, Clock::time_point now) {
    while (slots_.size() > rules_.maxSlots) {
        const auto dueOf = [](const Slot& s) { return s.published ? s.forgetAt : s.due; };
        auto first = slots_.end();
        for (auto slot = slots_.begin(); slot != slots_.end(); ++slot) {
            if (slot->first != opened &&
                (first == slots_.end() || dueOf(slot->second) < dueOf(first->second))) {
                first = slot;
            }
        }
        Slot& slot = first->second;
        if (!slot.published || slot.republish) {
            Publish(slot, now);
        }
        counts_.unchanged += Unchanged(slot) ? 1 : 0;
        Forget(first);
    }
}

std::vector<SlotRecord> SlotBook::Held() const {
    std::vector<SlotRecord> held;
    for (const auto& [id, slot] : slots_) {
        SlotRecord record = Current(slot);
        record.publication = slot.published ? slot.published->publication : 0;
        record.state = slot.published ? slot.published->state : SlotRecord::State::Incomplete;
        record.late = slot.late;
        held.push_back(std::move(record));
    }
    return held;
}

SlotBook::Counts SlotBook::counts() const {
    Counts counts = counts_;
    for (const auto& [id, slot] : slots_) {
        counts.unchanged += Unchanged(slot) ? 1 : 0;
    }
    return counts;
}

}  // namespace segweld::station
