#include "station/slot_key.h"

#include <algorithm>

#include "join/dissemination_name.h"
#include "unpack/compression.h"

namespace segweld::station {
namespace {

using Field = DisseminationName::Field;

std::string WithoutTrailingFill(std::string_view field) {
    const size_t end = field.find_last_not_of('_');
    return std::string(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool IsTime(std::string_view time) {
    if (time.size() != 12 || time.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const auto number = [&](size_t at) { return (time[at] - '0') * 10 + (time[at + 1] - '0'); };
    return number(4) >= 1 && number(4) <= 12 && number(6) >= 1 && number(6) <= 31 &&
           number(8) <= 23 && number(10) <= 59;
}

// "MSG2________" -> MSG2 and the 0° service; "MSG2_RSS____" -> MSG2, RSS.
bool SplitSource(std::string_view source, SlotKey& key) {
    if (!source.starts_with("MSG")) {
        return false;
    }
    const size_t fill = source.find('_');
    key.satellite = std::string(source.substr(0, fill));
    const std::string service =
        fill == std::string_view::npos ? "" : WithoutTrailingFill(source.substr(fill + 1));
    key.service = service.empty() ? "0DEG" : service;
    return true;
}

}  // namespace

std::string SlotKey::Text() const {
    return std::string(1, rate) + "-" + satellite + "-" + service + "-" + time;
}

std::string SlotKey::NominalTimeText() const {
    return time.substr(0, 4) + "-" + time.substr(4, 2) + "-" + time.substr(6, 2) + "T" +
           time.substr(8, 2) + ":" + time.substr(10, 2) + ":00Z";
}

std::chrono::system_clock::time_point SlotKey::NominalTime() const {
    using namespace std::chrono;
    const auto number = [&](size_t at, size_t digits) {
        return std::stoi(time.substr(at, digits));
    };
    const sys_days day{year{number(0, 4)} / month{static_cast<unsigned>(number(4, 2))} /
                       static_cast<unsigned>(number(6, 2))};
    return day + hours{number(8, 2)} + minutes{number(10, 2)};
}

std::string SlotKey::FolderPath() const {
    return satellite + "/" + service + "/" + time.substr(0, 4) + "/" + time.substr(4, 2) + "/" +
           time.substr(6, 2) + "/" + time.substr(8, 4);
}

std::string SlotKey::FileStem() const {
    return Lower(Text());
}

std::string SlotKey::ManifestName() const {
    return FileStem() + ".slot.json";
}

std::string SlotId::Text() const {
    return folder.empty() ? key.Text() : folder + "/" + key.Text();
}

std::optional<SlotFile> SlotFileOf(const std::string& folder, std::string_view name) {
    const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
    if (!parsed || parsed->kind() == DisseminationName::Kind::Other ||
        !IsTime(parsed->field(Field::Time))) {
        return std::nullopt;
    }
    SlotFile file;
    file.slot.folder = folder;
    SlotKey& key = file.slot.key;
    key.rate = parsed->field(Field::Quality).front();
    key.time = std::string(parsed->field(Field::Time));
    if (!SplitSource(parsed->field(Field::Source), key)) {
        return std::nullopt;
    }
    switch (parsed->kind()) {
        case DisseminationName::Kind::Prologue:
            file.kind = SlotFile::Kind::Prologue;
            break;
        case DisseminationName::Kind::Epilogue:
            file.kind = SlotFile::Kind::Epilogue;
            break;
        default:
            file.channel = WithoutTrailingFill(parsed->field(Field::Channel));
            if (file.channel.empty()) {
                return std::nullopt;
            }
    }
    return file;
}

const std::vector<std::string>& SeviriChannels() {
    static const std::vector<std::string> channels = {"VIS006", "VIS008", "IR_016", "IR_039",
                                                      "WV_062", "WV_073", "IR_087", "IR_097",
                                                      "IR_108", "IR_120", "IR_134", "HRV"};
    return channels;
}

bool ParseChannelList(const std::string& text, std::vector<std::string>& channels) {
    std::vector<std::string> list;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string channel = text.substr(start, comma - start);
        const auto& known = SeviriChannels();
        if (std::find(known.begin(), known.end(), channel) == known.end() ||
            std::find(list.begin(), list.end(), channel) != list.end()) {
            return false;
        }
        list.push_back(channel);
        start = comma + 1;
    }
    channels = std::move(list);
    return true;
}

}  // namespace segweld::station
