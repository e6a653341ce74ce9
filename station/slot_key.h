#pragma once

#include <chrono>
#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace segweld::station {

// One repeat cycle of one service of one satellite: the files of one nominal
// time that the service disseminates. Dissemination names carry it in their
// source field, the satellite and then the service ("MSG2________" the 0°
// service, "MSG2_RSS____" Rapid Scan, "MSG1_IODC___" the Indian Ocean
// service), and in their time field.
struct SlotKey {
    char rate = 'H';        // H or L: HRIT or LRIT
    std::string satellite;  // "MSG2"
    std::string service;    // "0DEG", "RSS", "IODC", or what else the field holds
    std::string time;       // "201010111400"

    auto operator<=>(const SlotKey&) const = default;

    // "H-MSG2-0DEG-201010111400".
    std::string Text() const;
    // "2010-10-11T14:00:00Z".
    std::string NominalTimeText() const;
    std::chrono::system_clock::time_point NominalTime() const;
    // Where --slot-folders puts its files below the output folder, '/'
    // between folders: "MSG2/0DEG/2010/10/11/1400".
    std::string FolderPath() const;
    // What the names of its files begin with: "h-msg2-0deg-201010111400".
    std::string FileStem() const;
    // The name of its manifest: "h-msg2-0deg-201010111400.slot.json".
    std::string ManifestName() const;
};

// A slot as a run tells them apart: its key, below a folder of the input
// ('/' between folders; empty for the input folder itself).
struct SlotId {
    std::string folder;
    SlotKey key;

    auto operator<=>(const SlotId&) const = default;
    // The key's text, behind the folder and a '/' when there is one.
    std::string Text() const;
};

// What a file of the dissemination convention is to its slot.
struct SlotFile {
    SlotId slot;
    enum class Kind { Segment, Prologue, Epilogue } kind = Kind::Segment;
    std::string channel;  // of a segment, as names carry it: "IR_108", "HRV"
};

// The slot of a segment, prologue or epilogue of a Meteosat satellite (whose
// source field begins with "MSG") in `folder`, stored plain or compressed;
// nullopt for other names.
std::optional<SlotFile> SlotFileOf(const std::string& folder, std::string_view name);

// The twelve channels of SEVIRI, as names carry them.
const std::vector<std::string>& SeviriChannels();

// The channels of a comma-separated list ("IR_108,WV_062,HRV"), each one of
// SeviriChannels() and none twice; false for any other list.
bool ParseChannelList(const std::string& text, std::vector<std::string>& channels);

}  // namespace segweld::station
