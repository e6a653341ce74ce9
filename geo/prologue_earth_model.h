#pragma once

#include <string>

namespace segweld::geo {

// Whether the product's images carry the georeferencing offset of MSG
// Level 1.5 data produced before December 2017, as its prologue says.
enum class GeoreferencingOffset {
    Corrected,     // the earth model type is 2: the data lie on the nominal projection
    NotCorrected,  // any other earth model type: the data lie 1.5 km north-west of it
    Unknown,       // no usable prologue
};

struct EarthModelReading {
    GeoreferencingOffset offset = GeoreferencingOffset::Unknown;
    std::string prologuePath;
    std::string problem;  // why it is Unknown, for people
};

// The prologue's file name for a segment file name of the dissemination
// convention: the channel field blank ('_'), "PRO" in the segment field.
// Empty when `segmentName` does not have the convention's eight fields.
std::string PrologueName(const std::string& segmentName);

// Reads the earth model type from the prologue of the product that
// `segmentPath` belongs to, in the same folder.
EarthModelReading ReadEarthModel(const std::string& segmentPath);

}  // namespace segweld::geo
