#pragma once

namespace segweld {

// True when "--geotiff" is among the arguments after the program name.
bool WantsGeoTiff(int argc, char** argv);

// segweld --geotiff [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER, options in any
// order before the paths. Returns the exit status: 0 written, 1 nothing
// written, 2 bad arguments or a build without GeoTIFF output.
int RunGeoTiffMode(int argc, char** argv);

}  // namespace segweld
