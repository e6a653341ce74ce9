#include "geo/level15_records.h"

#include <bit>
#include <cstdio>
#include <vector>

#include "geo/companion_files.h"
#include "geo/seviri_channels.h"
#include "hrit/big_endian_reader.h"
#include "hrit/header_reader.h"
#include "join/segment_source.h"

namespace segweld::geo {
namespace {

// The prologue's data field is the MSG Level 1.5 header record; offsets of
// the fields read, from the start of that record.
namespace prologue {
constexpr uint32_t kFileType = 128;
constexpr uint64_t kRecordBytes = 425461;
constexpr uint64_t kSatelliteId = 0;                   // SatelliteStatus.SatelliteDefinition
constexpr uint64_t kTrueRepeatCycleStart = 60134;      // ImageAcquisition.PlannedAcquisitionTime
constexpr uint64_t kPlannedChanProcessing = 386981;    // ImageDescription.Level15ImageProduction
constexpr uint64_t kLevel15ImageCalibration = 387065;  // RadiometricProcessing: slope, offset
constexpr uint64_t kMpefCalFeedback = 388224;          // RadiometricProcessing: 32 bytes a channel
constexpr uint64_t kTypeOfEarthModel = 408144;         // GeometricProcessing.EarthModel
}  // namespace prologue

// The epilogue's data field is the MSG Level 1.5 trailer record.
namespace epilogue {
constexpr uint32_t kFileType = 129;
constexpr uint64_t kRecordBytes = 380325;
constexpr uint64_t kForwardScanStart =
    5;  // ImageProductionStats.ActualScanningSummary, then the end
constexpr uint64_t kActualL15CoverageHrv = 309;  // ImageProductionStats
}  // namespace epilogue

float F32(const BigEndianReader& bytes, size_t offset) {
    return std::bit_cast<float>(bytes.U32(offset));
}

double F64(const BigEndianReader& bytes, size_t offset) {
    return std::bit_cast<double>(uint64_t{bytes.U32(offset)} << 32 | bytes.U32(offset + 4));
}

CdsTime TimeAt(const BigEndianReader& bytes, size_t offset) {
    return {bytes.U16(offset), bytes.U32(offset + 2)};
}

// The companion file's data field, opened and checked; reads its fields.
class RecordFile {
  public:
    // Opens `path`; false with `problem` set when it is not a file of
    // `fileType` whose data field holds `recordBytes`.
    bool Open(const std::string& path, uint32_t fileType, uint64_t recordBytes,
              std::string& problem) {
        CHritHeaderReader reader([](uint32_t) {});
        if (file_.Open(path) != OpenOutcome::Opened) {
            problem = path + " cannot be opened: " + file_.error();
            return false;
        }
        if (reader.ReadHeader(file_.stream()) == 0 || reader.header().fileTypeCode != fileType) {
            problem = path + " has no header of file type " + std::to_string(fileType);
            return false;
        }
        // The record whole, read once: a compressed file is read forwards.
        record_.resize(recordBytes);
        const uint64_t held = file_.ReadAt(reader.headerLength(), record_);
        if (DataFieldBytes(reader.header()) < recordBytes || held < recordBytes) {
            problem = path + " is not an MSG Level 1.5 record: its data field holds " +
                      std::to_string(std::min(held, DataFieldBytes(reader.header()))) +
                      " bytes, not " + std::to_string(recordBytes);
            return false;
        }
        nominalTime_ = reader.header().nominalTime;
        satellite_ = reader.header().sourceName;
        return true;
    }

    // Why the file belongs to another product than `product`; empty when it
    // may be this product's.
    std::string Mismatch(const std::string& path, const ProductIdentity& product) const {
        const bool timeKnown = nominalTime_.tm_mday != 0 && product.nominalTime.tm_mday != 0;
        const bool satelliteKnown = !satellite_.empty() && !product.satellite.empty();
        if ((timeKnown && SlotText(nominalTime_) != SlotText(product.nominalTime)) ||
            (satelliteKnown && satellite_ != product.satellite)) {
            return path + " is of another product (" + satellite_ + " " + SlotText(nominalTime_) +
                   ", not " + product.satellite + " " + SlotText(product.nominalTime) +
                   ") and is not used";
        }
        return "";
    }

    // `length` bytes at `offset` into the record.
    std::vector<uint8_t> Read(uint64_t offset, size_t length) const {
        const auto from = record_.begin() + static_cast<std::ptrdiff_t>(offset);
        return {from, from + static_cast<std::ptrdiff_t>(length)};
    }

  private:
    // "2010-10-11 14:00"; "no time" when the header gives none.
    static std::string SlotText(const std::tm& time) {
        if (time.tm_mday == 0) {
            return "no time";
        }
        char text[72];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time.tm_year + 1900,
                      time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min);
        return text;
    }

    SegmentSource file_;
    std::vector<uint8_t> record_;
    std::tm nominalTime_{};
    std::string satellite_;
};

BigEndianReader View(const std::vector<uint8_t>& bytes) {
    return BigEndianReader(bytes.data(), bytes.size());
}

Level15Prologue DecodePrologue(RecordFile& file) {
    Level15Prologue p;
    p.satelliteId = View(file.Read(prologue::kSatelliteId, 2)).U16(0);
    p.repeatCycleStart = TimeAt(View(file.Read(prologue::kTrueRepeatCycleStart, 6)), 0);
    p.earthModelType = View(file.Read(prologue::kTypeOfEarthModel, 1)).U8(0);
    const std::vector<uint8_t> types = file.Read(prologue::kPlannedChanProcessing, kChannelCount);
    const std::vector<uint8_t> calibration =
        file.Read(prologue::kLevel15ImageCalibration, kChannelCount * 16);
    const std::vector<uint8_t> feedback = file.Read(prologue::kMpefCalFeedback, kChannelCount * 32);
    for (size_t i = 0; i < kChannelCount; ++i) {
        // GSICSCalCoeff and GSICSOffsetCount of each channel's record.
        p.gsicsGain[i] = F32(View(feedback), 32 * i + 20);
        p.gsicsOffsetCount[i] = F32(View(feedback), 32 * i + 28);
        p.radianceType[i] = View(types).U8(i);
        p.calibrationSlope[i] = F64(View(calibration), 16 * i);
        p.calibrationOffset[i] = F64(View(calibration), 16 * i + 8);
    }
    return p;
}

Level15Epilogue DecodeEpilogue(RecordFile& file) {
    Level15Epilogue e;
    const std::vector<uint8_t> scan = file.Read(epilogue::kForwardScanStart, 12);
    e.forwardScanStart = TimeAt(View(scan), 0);
    e.forwardScanEnd = TimeAt(View(scan), 6);
    const std::vector<uint8_t> bytes = file.Read(epilogue::kActualL15CoverageHrv, 32);
    const BigEndianReader hrv = View(bytes);
    e.hrv = {hrv.I32(0),  hrv.I32(4),  hrv.I32(8),  hrv.I32(12),
             hrv.I32(16), hrv.I32(20), hrv.I32(24), hrv.I32(28)};
    return e;
}

template <typename Record, typename Decode>
Level15Reading<Record> ReadRecord(const std::string& segmentPath, const ProductIdentity& product,
                                  Companion which, uint32_t fileType, uint64_t recordBytes,
                                  Decode decode) {
    Level15Reading<Record> reading;
    const CompanionLookup lookup = FindCompanion(segmentPath, which);
    reading.path = lookup.path;
    reading.problem = lookup.problem;
    RecordFile file;
    if (lookup.path.empty() || !file.Open(lookup.path, fileType, recordBytes, reading.problem)) {
        return reading;
    }
    reading.problem = file.Mismatch(lookup.path, product);
    if (!reading.problem.empty()) {
        reading.path.clear();
        return reading;
    }
    reading.record = decode(file);
    return reading;
}

}  // namespace

double CdsTime::UnixSeconds() const {
    constexpr double kDaysFrom1958To1970 = 4383;
    return (days - kDaysFrom1958To1970) * 86400.0 + milliseconds / 1000.0;
}

PrologueReading ReadPrologue(const std::string& segmentPath, const ProductIdentity& product) {
    PrologueReading reading =
        ReadRecord<Level15Prologue>(segmentPath, product, Companion::Prologue, prologue::kFileType,
                                    prologue::kRecordBytes, DecodePrologue);
    if (reading.record && PlatformName(reading.record->satelliteId).empty()) {
        reading.problem = reading.path +
                          " is not the prologue of an MSG satellite: its satellite id is " +
                          std::to_string(reading.record->satelliteId) + ", not 321 to 324";
        reading.record.reset();
    } else if (reading.record && product.spacecraftId != 0 &&
               reading.record->satelliteId != product.spacecraftId) {
        reading.problem = reading.path + " is of another satellite (satellite id " +
                          std::to_string(reading.record->satelliteId) + ", not " +
                          std::to_string(product.spacecraftId) + ") and is not used";
        reading.record.reset();
        reading.path.clear();
    }
    return reading;
}

EpilogueReading ReadEpilogue(const std::string& segmentPath, const ProductIdentity& product) {
    return ReadRecord<Level15Epilogue>(segmentPath, product, Companion::Epilogue,
                                       epilogue::kFileType, epilogue::kRecordBytes, DecodeEpilogue);
}

}  // namespace segweld::geo
