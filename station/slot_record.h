#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/slot_key.h"

namespace segweld::station {

// What became of one wanted channel of a slot, as the join of its product
// (or, for an output found up to date, the same walk over its headers) tells.
struct ChannelRecord {
    enum class State {
        Complete,    // every planned segment joined whole
        Incomplete,  // written, but planned segments missing, not joined, damaged or filled
        Failed,      // its files are there, but nothing was written
        Missing,     // no file of it has come
    };

    std::string channel;
    State state = State::Missing;
    std::string product;  // its key; empty while missing
    std::vector<int32_t> joined;
    std::vector<int32_t> missing;
    std::vector<int32_t> filled;
    std::string output;  // empty when nothing was written

    friend bool operator==(const ChannelRecord&, const ChannelRecord&) = default;
};

const char* ChannelStateName(ChannelRecord::State state);

// One publication of a slot: when every wanted member is complete, when its
// time is up, or again after files came late.
struct SlotRecord {
    enum class State { Complete, Incomplete, Late };
    using Wall = std::chrono::system_clock;

    SlotId id;
    State state = State::Incomplete;
    int publication = 1;                  // 1 for the first, 2 for the next ...
    std::vector<ChannelRecord> channels;  // the wanted ones, in the order wanted
    bool prologue = false;
    bool epilogue = false;
    std::vector<std::string> late;  // files that came after the publication before
    Wall::time_point firstArrival;
    Wall::time_point published;
    std::string manifest;  // where its manifest was written; empty when it was not
    // The slot's own images (with --slots and an image format): one NetCDF
    // file, or a GeoTIFF per grid; empty when none were written.
    std::vector<std::string> images;

    // Every wanted channel complete, and the prologue and the epilogue there.
    bool Whole() const;
    size_t CompleteChannels() const;
    double SecondsAfterNominal() const;
};

const char* SlotStateName(SlotRecord::State state);

// The record as one line of JSON, without a line break: the report's "slot"
// line, and the manifest's content.
std::string SlotRecordJson(const SlotRecord& record);

// A record read back from its JSON (a manifest written earlier); nullopt for
// text that is not one.
std::optional<SlotRecord> ParseSlotRecord(const std::string& text);

// The one line the log gives a publication, without the time stamp.
std::string DescribeSlot(const SlotRecord& record);

}  // namespace segweld::station
