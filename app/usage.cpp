#include "app/usage.h"

namespace segweld {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER\n"
        "       segweld                 (opens the dialog)\n"
        "\n"
        "Joins the data fields of the HRIT/LRIT segment files of one product into one\n"
        "file in OUTPUT_FOLDER. SEGMENT_FILE is any segment file of the product; the\n"
        "segments are taken from number 000001 up to the first number that is missing.\n"
        "The output is named after SEGMENT_FILE, lower-cased, with the first four data\n"
        "bytes as its extension (\".xyz\" when they are not letters and digits).\n"
        "\n"
        "  --fill-gaps  walk on past missing segments to the planned end that the\n"
        "               segment identification gives, with zeros in their place\n"
        "\n"
        "Exit status: 0 the output was written, 1 nothing was joined or the output\n"
        "could not be written, 2 bad arguments.\n",
        out);
}

void PrintVersion(std::FILE* out) {
    std::fputs("segweld 1.0\n", out);
}

}  // namespace segweld
