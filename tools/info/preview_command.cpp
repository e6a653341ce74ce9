#include <cstdio>

#include "tools/info/info_commands.h"
#include "tools/info/png_file.h"
#include "tools/info/preview_render.h"

namespace segweld::info {

int RunPreview(const InfoOptions& options) {
    const PreviewPicture picture = RenderPreview(options.files.front());
    if (!picture.error.empty()) {
        std::fprintf(stderr, "segweld-info: no preview written: %s\n", picture.error.c_str());
        return kExitFound;
    }
    for (const std::string& warning : picture.warnings) {
        std::fprintf(stderr, "segweld-info: warning: %s\n", warning.c_str());
    }
    const std::string error =
        WritePngFile(options.previewPath, picture.width, picture.height, picture.pixels);
    if (!error.empty()) {
        std::fprintf(stderr, "segweld-info: no preview written: %s\n", error.c_str());
        return kExitFound;
    }
    return kExitFine;
}

}  // namespace segweld::info
