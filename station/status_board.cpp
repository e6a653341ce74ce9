#include "station/status_board.h"

#include <algorithm>

namespace segweld::station {
namespace {

// At most this many slots are held, a day of Rapid Scan and of two services
// beside it with room to spare.
constexpr size_t kMostRows = 1000;

StatusCell::State StateOf(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
            return StatusCell::State::Complete;
        case ProductStatus::Incomplete:
            return StatusCell::State::Incomplete;
        case ProductStatus::Failed:
            return StatusCell::State::Failed;
        case ProductStatus::UpToDate:
            break;
    }
    return StatusCell::State::Missing;
}

StatusCell::State StateOf(ChannelRecord::State state) {
    switch (state) {
        case ChannelRecord::State::Complete:
            return StatusCell::State::Complete;
        case ChannelRecord::State::Incomplete:
            return StatusCell::State::Incomplete;
        case ChannelRecord::State::Failed:
            return StatusCell::State::Failed;
        case ChannelRecord::State::Missing:
            break;
    }
    return StatusCell::State::Missing;
}

}  // namespace

const char* CellStateName(StatusCell::State state) {
    switch (state) {
        case StatusCell::State::Missing:
            return "missing";
        case StatusCell::State::Waiting:
            return "waiting";
        case StatusCell::State::Complete:
            return "complete";
        case StatusCell::State::Incomplete:
            return "incomplete";
        case StatusCell::State::Failed:
            return "failed";
        case StatusCell::State::Late:
            break;
    }
    return "late";
}

StatusBoard::StatusBoard(std::string inputFolder, std::string outputFolder, bool slots,
                         std::vector<std::string> channels, Wall::time_point started)
    : inputFolder_(std::move(inputFolder)),
      outputFolder_(std::move(outputFolder)),
      slots_(slots),
      channels_(std::move(channels)),
      started_(started) {}

std::optional<size_t> StatusBoard::ColumnOf(const std::string& channel) const {
    const auto found = std::find(channels_.begin(), channels_.end(), channel);
    return found == channels_.end() ? std::nullopt
                                    : std::optional(static_cast<size_t>(found - channels_.begin()));
}

StatusRow& StatusBoard::RowOf(const SlotKey& key, Wall::time_point now) {
    auto [row, added] = rows_.try_emplace(key);
    if (added) {
        row->second.key = key;
        row->second.cells.resize(channels_.size());
    }
    row->second.updated = now;
    return row->second;
}

// Slots not heard of for a day go, and beyond the bound those heard of least
// lately.
void StatusBoard::Forget(Wall::time_point now) {
    std::erase_if(rows_, [&](const auto& row) { return now - row.second.updated > kKept; });
    while (rows_.size() > kMostRows) {
        rows_.erase(std::min_element(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) {
            return a.second.updated < b.second.updated;
        }));
    }
}

void StatusBoard::ProductEnded(const ProductResult& result, std::string_view name, bool again,
                               Wall::time_point now) {
    const auto file = SlotFileOf("", name);
    std::lock_guard lock(mutex_);
    if (!result.outputPath.empty()) {
        outputs_.push_front({now, result.key, result.outputPath, result.status, again});
        if (outputs_.size() > kLatestOutputs) {
            outputs_.pop_back();
        }
    }
    const auto column = file ? ColumnOf(file->channel) : std::nullopt;
    if (!column) {
        return;
    }
    StatusCell& cell = RowOf(file->slot.key, now).cells[*column];
    cell.state = again ? StatusCell::State::Late : StateOf(result.status);
    cell.joined = result.segmentsJoined;
    cell.missing = static_cast<int>(result.missing.size() + result.notJoined.size());
    cell.output = result.outputPath;
    Forget(now);
}

void StatusBoard::SlotPublished(const SlotRecord& record, Wall::time_point now) {
    std::lock_guard lock(mutex_);
    StatusRow& row = RowOf(record.id.key, now);
    row.publication = record.publication;
    row.published = record.state;
    row.prologue = record.prologue;
    row.epilogue = record.epilogue;
    for (const ChannelRecord& channel : record.channels) {
        if (const auto column = ColumnOf(channel.channel)) {
            StatusCell& cell = row.cells[*column];
            cell.state = StateOf(channel.state);
            cell.joined = static_cast<int>(channel.joined.size());
            cell.missing = static_cast<int>(channel.missing.size());
            cell.output = channel.output;
        }
    }
    for (const std::string& late : record.late) {
        const auto file = SlotFileOf("", late);
        if (const auto column = file ? ColumnOf(file->channel) : std::nullopt) {
            row.cells[*column].state = StatusCell::State::Late;
        }
    }
    Forget(now);
}

void StatusBoard::SetWaiting(std::vector<StatusWaiting> waiting, size_t total) {
    std::lock_guard lock(mutex_);
    waiting_ = std::move(waiting);
    waitingTotal_ = total;
}

StatusView StatusBoard::View(Wall::time_point now) const {
    StatusView view;
    view.now = now;
    view.started = started_;
    view.inputFolder = inputFolder_;
    view.outputFolder = outputFolder_;
    view.slots = slots_;
    view.channels = channels_;
    std::lock_guard lock(mutex_);
    for (const auto& [key, row] : rows_) {
        if (now - row.updated <= kKept) {
            view.rows.push_back(row);
        }
    }
    // A channel that is missing so far but has a product waiting is waited for.
    for (const StatusWaiting& waiting : waiting_) {
        const auto file = SlotFileOf("", waiting.name);
        const auto column = file ? ColumnOf(file->channel) : std::nullopt;
        if (!column) {
            continue;
        }
        auto row = std::find_if(view.rows.begin(), view.rows.end(),
                                [&](const StatusRow& r) { return r.key == file->slot.key; });
        if (row == view.rows.end()) {
            StatusRow added;
            added.key = file->slot.key;
            added.cells.resize(channels_.size());
            added.updated = now;
            row = view.rows.insert(view.rows.end(), std::move(added));
        }
        StatusCell& cell = row->cells[*column];
        if (cell.state == StatusCell::State::Missing) {
            cell.state = StatusCell::State::Waiting;
        }
    }
    view.outputs.assign(outputs_.begin(), outputs_.end());
    view.waitingTotal = waitingTotal_;
    view.waiting = waiting_;
    return view;
}

}  // namespace segweld::station
