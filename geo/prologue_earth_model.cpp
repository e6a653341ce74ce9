#include "geo/prologue_earth_model.h"

#include <array>
#include <fstream>
#include <vector>

#include "hrit/big_endian_reader.h"
#include "hrit/header_reader.h"
#include "join/segment_name.h"
#include "os/native_path.h"

namespace segweld::geo {
namespace {

// The prologue's data field is the MSG Level 1.5 header record; the earth
// model of its geometric processing part starts with its one-byte type.
constexpr uint64_t kTypeOfEarthModelOffset = 408144;
constexpr uint8_t kCorrectedEarthModel = 2;
constexpr uint32_t kPrologueFileType = 128;

std::vector<std::string> SplitFields(const std::string& name) {
    std::vector<std::string> fields(1);
    for (char c : name) {
        if (c == '-') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

std::string PrologueName(const std::string& segmentName) {
    std::vector<std::string> fields = SplitFields(segmentName);
    if (fields.size() != 8 || fields[4].empty() || fields[5].size() < 3) {
        return "";
    }
    fields[4].assign(fields[4].size(), '_');
    fields[5] = "PRO" + std::string(fields[5].size() - 3, '_');
    std::string name = fields[0];
    for (size_t i = 1; i < fields.size(); ++i) {
        name += '-' + fields[i];
    }
    return name;
}

EarthModelReading ReadEarthModel(const std::string& segmentPath) {
    EarthModelReading reading;
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    const std::string name = PrologueName(parts.name);
    if (name.empty()) {
        reading.problem = "the segment file name does not follow the naming convention";
        return reading;
    }
    reading.prologuePath = parts.directory + name;
    std::ifstream stream(os::PathOf(reading.prologuePath), std::ios::binary);
    if (!stream) {
        reading.problem = "there is no prologue " + reading.prologuePath;
        return reading;
    }
    CHritHeaderReader reader([](uint32_t) {});
    const uint32_t headerLength = reader.ReadHeader(stream);
    if (headerLength == 0 || reader.header().fileTypeCode != kPrologueFileType) {
        reading.problem = "the prologue " + reading.prologuePath + " has no prologue header";
        return reading;
    }
    std::array<uint8_t, 1> earthModel{};
    stream.seekg(static_cast<std::streamoff>(headerLength + kTypeOfEarthModelOffset));
    stream.read(reinterpret_cast<char*>(earthModel.data()), earthModel.size());
    if (stream.gcount() != static_cast<std::streamsize>(earthModel.size()) ||
        DataFieldBytes(reader.header()) <= kTypeOfEarthModelOffset) {
        reading.problem =
            "the prologue " + reading.prologuePath + " is too short to hold its earth model";
        return reading;
    }
    const BigEndianReader bytes(earthModel.data(), earthModel.size());
    reading.offset = bytes.U8(0) == kCorrectedEarthModel ? GeoreferencingOffset::Corrected
                                                         : GeoreferencingOffset::NotCorrected;
    return reading;
}

}  // namespace segweld::geo
