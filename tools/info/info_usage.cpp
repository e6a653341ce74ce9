#include "tools/info/info_usage.h"

namespace segweld::info {

void PrintInfoUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld-info [--json] FILE...\n"
        "       segweld-info --series [--json] FILE\n"
        "       segweld-info --preview OUT.png FILE\n"
        "\n"
        "Inspects HRIT/LRIT segment files.\n"
        "\n"
        "  FILE...             prints every field of each file's header, or why the\n"
        "                      header was refused\n"
        "  --series FILE       walks the product that FILE belongs to as segweld would\n"
        "                      and tells which segments are present, refused, damaged\n"
        "                      or missing, reading headers only\n"
        "  --preview OUT.png FILE\n"
        "                      writes the product's picture, north up, reduced to at\n"
        "                      most 1024 pixels a side; segments that are not joined\n"
        "                      show as black bands; compressed data is not decoded\n"
        "  --json              prints JSON instead of tables\n"
        "  --help              prints this text\n"
        "  --version           prints the version\n"
        "\n"
        "Exit status: 0 every header accepted, the product complete and undamaged, or\n"
        "the preview written; 1 otherwise; 2 bad arguments.\n",
        out);
}

}  // namespace segweld::info
