#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station/product_result.h"
#include "station/slot_key.h"
#include "station/slot_record.h"

namespace segweld::station {

// What one channel of one time slot became, as the status page shows it.
struct StatusCell {
    enum class State { Missing, Waiting, Complete, Incomplete, Failed, Late };
    State state = State::Missing;
    int joined = 0;   // segments
    int missing = 0;  // planned segments not joined
    std::string output;
};

const char* CellStateName(StatusCell::State state);

// One time slot: its channels' cells, in the board's order of channels.
struct StatusRow {
    SlotKey key;
    std::vector<StatusCell> cells;
    bool prologue = false;
    bool epilogue = false;
    int publication = 0;  // 0: not published (or run without --slots)
    SlotRecord::State published = SlotRecord::State::Incomplete;
    std::chrono::system_clock::time_point updated;
};

struct StatusOutput {
    std::chrono::system_clock::time_point when;
    std::string key;
    std::string output;
    ProductStatus status = ProductStatus::Joined;
    bool again = false;  // joined again after its output was written: a segment came late
};

struct StatusWaiting {
    std::string key;
    std::string name;  // of its first segment
    size_t segments = 0;
    std::chrono::system_clock::time_point since;  // its first segment seen
    bool joining = false;
};

// The watch as it stands, for the page: a copy, taken at `now`.
struct StatusView {
    std::chrono::system_clock::time_point now;
    std::chrono::system_clock::time_point started;
    std::string inputFolder;
    std::string outputFolder;
    bool slots = false;
    std::vector<std::string> channels;
    std::vector<StatusRow> rows;        // by key
    std::vector<StatusOutput> outputs;  // the latest first
    std::vector<StatusWaiting> waiting;
    size_t waitingTotal = 0;  // the list may be cut short
};

// What the status page shows, gathered as the watch goes: the time slots
// seen in the last 24 hours with what became of their channels, the latest
// outputs and the products that wait. The watch's thread tells it; any
// thread may take a View(); each call holds a lock only while it copies.
class StatusBoard {
  public:
    using Wall = std::chrono::system_clock;
    static constexpr auto kKept = std::chrono::hours(24);
    static constexpr size_t kLatestOutputs = 20;
    static constexpr size_t kWaitingShown = 50;

    StatusBoard(std::string inputFolder, std::string outputFolder, bool slots,
                std::vector<std::string> channels, Wall::time_point started = Wall::now());

    // A product's join ended; `name` is its first segment's. `again` when its
    // output had been written before and a late segment made it be joined anew.
    void ProductEnded(const ProductResult& result, std::string_view name, bool again,
                      Wall::time_point now);
    void SlotPublished(const SlotRecord& record, Wall::time_point now);
    // The products that wait, the longest waiting first, of `total` in all.
    void SetWaiting(std::vector<StatusWaiting> waiting, size_t total);

    StatusView View(Wall::time_point now) const;

  private:
    StatusRow& RowOf(const SlotKey& key, Wall::time_point now);
    std::optional<size_t> ColumnOf(const std::string& channel) const;
    void Forget(Wall::time_point now);

    const std::string inputFolder_;
    const std::string outputFolder_;
    const bool slots_;
    const std::vector<std::string> channels_;
    const Wall::time_point started_;
    mutable std::mutex mutex_;
    std::map<SlotKey, StatusRow> rows_;
    std::deque<StatusOutput> outputs_;
    std::vector<StatusWaiting> waiting_;
    size_t waitingTotal_ = 0;
};

}  // namespace segweld::station
