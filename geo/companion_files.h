#pragma once

#include <string>
#include <vector>

namespace segweld::geo {

// The files that travel with a product's segments: its prologue and epilogue.
enum class Companion { Prologue, Epilogue };

struct CompanionLookup {
    std::string path;     // the file found; empty when none was
    std::string problem;  // why none was found, for people
};

// The names the prologue or epilogue of the segment file `segmentName` may
// have: the segment field gives way to "PRO" or "EPI" and the flags are
// blank; MSG's own products have a blank channel field too, while the
// products of other satellites that MSG disseminates (GOES, MTSAT,
// Meteosat-7) keep theirs. Empty when the name does not follow the
// dissemination convention.
std::vector<std::string> CompanionNames(const std::string& segmentName, Companion which);

// The prologue or epilogue of the product that `segmentPath` (plain or
// compressed) belongs to, in the segment's folder: under each of its names
// stored plain, then compressed with bzip2, gzip or xz.
CompanionLookup FindCompanion(const std::string& segmentPath, Companion which);

}  // namespace segweld::geo
