#include <cstdio>

#include "join/segment_name.h"
#include "join/segment_scan.h"
#include "os/file_system.h"
#include "tools/info/info_commands.h"
#include "tools/info/png_file.h"
#include "tools/info/preview_render.h"

namespace segweld::info {
namespace {

// Why the picture may not be written to `out`: it is FILE or one of the
// segment files of its product. Empty when it may.
std::string InputInTheWay(const std::string& out, const std::string& file) {
    const os::PathInfo target = os::LookAt(out);
    if (target.kind != os::PathKind::RegularFile) {
        return "";
    }
    const SegmentPath parts = SplitSegmentPath(file);
    std::vector<std::string> inputs = {file};
    for (const int32_t number : SegmentNumbersInFolder(file)) {
        inputs.push_back(parts.directory + SegmentName(parts.name, number));
    }
    for (const std::string& input : inputs) {
        if (os::LookAt(input).identity == target.identity) {
            return out + " is the input file " + input + "; it would be overwritten";
        }
    }
    return "";
}

int NotWritten(const std::string& why) {
    std::fprintf(stderr, "segweld-info: no preview written: %s\n", why.c_str());
    return kExitFound;
}

}  // namespace

int RunPreview(const InfoOptions& options) {
    const std::string inTheWay = InputInTheWay(options.previewPath, options.files.front());
    if (!inTheWay.empty()) {
        return NotWritten(inTheWay);
    }
    const PreviewPicture picture = RenderPreview(options.files.front());
    for (const std::string& warning : picture.warnings) {
        std::fprintf(stderr, "segweld-info: warning: %s\n", warning.c_str());
    }
    if (!picture.error.empty()) {
        return NotWritten(picture.error);
    }
    const std::string error =
        WritePngFile(options.previewPath, picture.width, picture.height, picture.pixels);
    if (!error.empty()) {
        return NotWritten(error);
    }
    return kExitFine;
}

}  // namespace segweld::info
