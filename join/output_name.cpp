#include "join/output_name.h"

#include "join/segment_name.h"

namespace segweld {

bool IsAlnumChar(signed char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool HasAlnumTail(std::string text) {
    for (size_t i = 1; i < text.size(); ++i) {
        if (!IsAlnumChar(static_cast<signed char>(text[i]))) {
            return false;
        }
    }
    return true;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string OutputName(const std::string& namingName, OutputKind kind,
                       std::span<const uint8_t> firstBytes) {
    std::string extension = kind == OutputKind::GeoTiff  ? ".tif"
                            : kind == OutputKind::NetCdf ? ".nc"
                                                         : ".xyz";
    if (kind == OutputKind::Joined && firstBytes.size() >= 4) {
        std::string fromData(1, '.');
        fromData.append(firstBytes.begin(), firstBytes.begin() + 4);
        if (HasAlnumTail(fromData)) {
            extension = fromData;
        }
    }
    return LowerAscii(namingName + extension);
}

std::string OutputNamingStem(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const size_t extension = dot == std::string::npos ? 0 : fileName.size() - dot;
    if (extension < 3 || extension > 5 || !HasAlnumTail(fileName.substr(dot))) {
        return "";
    }
    return fileName.substr(0, dot);
}

std::string JoinedOutputPath(const std::string& outputFolder, const std::string& fileName) {
    if (outputFolder.empty() || IsFolderSeparator(outputFolder.back())) {
        return outputFolder + fileName;
    }
    return outputFolder + kFolderSeparator + fileName;
}

}  // namespace segweld
