#include "app/usage.h"

#include "segweld_version.h"

namespace segweld {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER\n"
        "       segweld --geotiff [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER\n"
        "       segweld                 (opens the dialog)\n"
        "       segweld --batch IN_FOLDER OUTPUT_FOLDER ...  (every product of a folder)\n"
        "       segweld --watch IN_FOLDER OUTPUT_FOLDER ...  (each product as it arrives)\n"
#ifdef _WIN32
        "       segweld --install-service NAME --watch IN_FOLDER OUTPUT_FOLDER ...\n"
        "                               (the watch as a Windows service)\n"
        "       segweld --uninstall-service NAME\n"
#endif
        "\n"
        "Joins the data fields of the HRIT/LRIT segment files of one product into one\n"
        "file in OUTPUT_FOLDER. SEGMENT_FILE is any segment file of the product; the\n"
        "segments are taken from number 000001 up to the first number that is missing.\n"
        "The output is named after SEGMENT_FILE, lower-cased, with the first four data\n"
        "bytes as its extension (\".xyz\" when they are not letters and digits).\n"
        "With --geotiff it writes the product's image instead, as a georeferenced\n"
        "Cloud-Optimized GeoTIFF of the same name with the extension \".tif\".\n"
        "\n"
        "  --fill-gaps  walk on past missing segments to the planned end that the\n"
        "               segment identification gives, with zeros in their place\n"
        "\n"
        "Exit status: 0 the output was written, 1 nothing was joined or the output\n"
        "could not be written, 2 bad arguments.\n",
        out);
}

void PrintVersion(std::FILE* out) {
    std::fputs("segweld " SEGWELD_VERSION "\n", out);
}

}  // namespace segweld
