#include "station/slot_record.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "station/time_stamp.h"

namespace segweld::station {
namespace {

// Keys in the order they are written, "type" first.
using json = nlohmann::ordered_json;

const ChannelRecord::State kChannelStates[] = {
    ChannelRecord::State::Complete, ChannelRecord::State::Incomplete, ChannelRecord::State::Failed,
    ChannelRecord::State::Missing};
const SlotRecord::State kSlotStates[] = {SlotRecord::State::Complete, SlotRecord::State::Incomplete,
                                         SlotRecord::State::Late};

template <typename State, size_t N>
std::optional<State> StateNamed(const std::string& name, const State (&states)[N],
                                const char* (*nameOf)(State)) {
    for (const State state : states) {
        if (name == nameOf(state)) {
            return state;
        }
    }
    return std::nullopt;
}

json ChannelJson(const ChannelRecord& channel) {
    return {
        {"state", ChannelStateName(channel.state)},
        {"product", channel.product.empty() ? json() : json(channel.product)},
        {"joined", channel.joined},
        {"missing", channel.missing},
        {"filled", channel.filled},
        {"output", channel.output.empty() ? json() : json(channel.output)},
    };
}

std::string TextOr(const json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

ChannelRecord ChannelFromJson(const std::string& name, const json& value) {
    ChannelRecord channel;
    channel.channel = name;
    channel.state =
        StateNamed(value.at("state").get<std::string>(), kChannelStates, ChannelStateName)
            .value_or(ChannelRecord::State::Missing);
    channel.product = TextOr(value.at("product"));
    channel.joined = value.at("joined").get<std::vector<int32_t>>();
    channel.missing = value.at("missing").get<std::vector<int32_t>>();
    channel.filled = value.at("filled").get<std::vector<int32_t>>();
    channel.output = TextOr(value.at("output"));
    return channel;
}

// "folder/H-MSG2-0DEG-201010111400" back into its parts.
std::optional<SlotId> ParseSlotId(const std::string& text) {
    SlotId id;
    const size_t slash = text.rfind('/');
    id.folder = slash == std::string::npos ? "" : text.substr(0, slash);
    const std::string key = slash == std::string::npos ? text : text.substr(slash + 1);
    std::vector<std::string> parts;
    for (size_t start = 0; start <= key.size();) {
        const size_t dash = std::min(key.find('-', start), key.size());
        parts.push_back(key.substr(start, dash - start));
        start = dash + 1;
    }
    if (parts.size() != 4 || parts[0].size() != 1 || parts[3].size() != 12) {
        return std::nullopt;
    }
    id.key = {parts[0][0], parts[1], parts[2], parts[3]};
    return id;
}

// "251.3 s", "4 min 12 s", "3 h 5 min", "12 d 3 h".
std::string AfterNominalText(double seconds) {
    const long long whole = static_cast<long long>(seconds);
    if (seconds < 3600) {
        return HumanInterval(std::chrono::nanoseconds(static_cast<long long>(seconds * 1e9)));
    }
    if (whole < 86400) {
        return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
    }
    return std::to_string(whole / 86400) + " d " + std::to_string(whole % 86400 / 3600) + " h";
}

std::string ChannelsText(const SlotRecord& record) {
    std::string text = std::to_string(record.CompleteChannels()) + " of " +
                       std::to_string(record.channels.size()) + " channels complete";
    std::string short_;
    for (const ChannelRecord& channel : record.channels) {
        if (channel.state != ChannelRecord::State::Complete) {
            short_ += (short_.empty() ? "" : ", ") + channel.channel + " " +
                      ChannelStateName(channel.state);
        }
    }
    return short_.empty() ? text : text + " (" + short_ + ")";
}

std::string CompanionsText(const SlotRecord& record) {
    if (record.prologue && record.epilogue) {
        return "prologue and epilogue";
    }
    return std::string(record.prologue ? "prologue" : "no prologue") + ", " +
           (record.epilogue ? "epilogue" : "no epilogue");
}

}  // namespace

const char* ChannelStateName(ChannelRecord::State state) {
    switch (state) {
        case ChannelRecord::State::Complete:
            return "complete";
        case ChannelRecord::State::Incomplete:
            return "incomplete";
        case ChannelRecord::State::Failed:
            return "failed";
        case ChannelRecord::State::Missing:
            break;
    }
    return "missing";
}

const char* SlotStateName(SlotRecord::State state) {
    switch (state) {
        case SlotRecord::State::Complete:
            return "complete";
        case SlotRecord::State::Late:
            return "late";
        case SlotRecord::State::Incomplete:
            break;
    }
    return "incomplete";
}

size_t SlotRecord::CompleteChannels() const {
    return static_cast<size_t>(std::count_if(channels.begin(), channels.end(), [](const auto& c) {
        return c.state == ChannelRecord::State::Complete;
    }));
}

bool SlotRecord::Whole() const {
    return prologue && epilogue && CompleteChannels() == channels.size();
}

// To the millisecond, as the record's times are written.
double SlotRecord::SecondsAfterNominal() const {
    const auto when = std::chrono::floor<std::chrono::milliseconds>(published);
    return std::chrono::duration<double>(when - id.key.NominalTime()).count();
}

std::string SlotRecordJson(const SlotRecord& record) {
    json channels = json::object();
    for (const ChannelRecord& channel : record.channels) {
        channels[channel.channel] = ChannelJson(channel);
    }
    json line = {
        {"type", "slot"},
        {"slot", record.id.Text()},
        {"satellite", record.id.key.satellite},
        {"service", record.id.key.service},
        {"nominalTime", record.id.key.NominalTimeText()},
        {"state", SlotStateName(record.state)},
        {"publication", record.publication},
        {"channels", channels},
        {"prologue", record.prologue},
        {"epilogue", record.epilogue},
        {"late", record.late},
        {"firstArrival", UtcTimeStamp(record.firstArrival)},
        {"published", UtcTimeStamp(record.published)},
        {"secondsAfterNominal", record.SecondsAfterNominal()},
        {"manifest", record.manifest.empty() ? json() : json(record.manifest)},
    };
    if (!record.images.empty()) {
        line["images"] = record.images;
    }
    // Replacement characters keep the line valid when a path is not UTF-8.
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<SlotRecord> ParseSlotRecord(const std::string& text) {
    try {
        const json line = json::parse(text);
        const auto id = ParseSlotId(line.at("slot").get<std::string>());
        const auto state =
            StateNamed(line.at("state").get<std::string>(), kSlotStates, SlotStateName);
        const auto firstArrival = ParseUtcTimeStamp(line.at("firstArrival").get<std::string>());
        const auto published = ParseUtcTimeStamp(line.at("published").get<std::string>());
        if (line.at("type") != "slot" || !id || !state || !firstArrival || !published) {
            return std::nullopt;
        }
        SlotRecord record;
        record.id = *id;
        record.state = *state;
        record.publication = line.at("publication").get<int>();
        for (const auto& [name, channel] : line.at("channels").items()) {
            record.channels.push_back(ChannelFromJson(name, channel));
        }
        record.prologue = line.at("prologue").get<bool>();
        record.epilogue = line.at("epilogue").get<bool>();
        record.late = line.at("late").get<std::vector<std::string>>();
        record.firstArrival = *firstArrival;
        record.published = *published;
        record.manifest = TextOr(line.at("manifest"));
        if (line.contains("images")) {
            record.images = line.at("images").get<std::vector<std::string>>();
        }
        return record;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::string DescribeSlot(const SlotRecord& record) {
    std::string text = "slot " + record.id.Text() + " " + SlotStateName(record.state);
    if (record.state == SlotRecord::State::Late) {
        text += " (publication " + std::to_string(record.publication) + ", " +
                std::to_string(record.late.size()) +
                (record.late.size() == 1 ? " file" : " files") + " late)";
    }
    return text + ": " + ChannelsText(record) + ", " + CompanionsText(record) + "; " +
           AfterNominalText(record.SecondsAfterNominal()) + " after its nominal time" +
           (record.manifest.empty() ? "" : " -> " + record.manifest);
}

}  // namespace segweld::station
