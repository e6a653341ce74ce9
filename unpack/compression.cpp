#include "unpack/compression.h"

namespace segweld::unpack {

std::string_view SuffixOf(Compression compression) {
    switch (compression) {
        case Compression::Bzip2:
            return ".bz2";
        case Compression::Gzip:
            return ".gz";
        case Compression::Xz:
            return ".xz";
        case Compression::None:
            break;
    }
    return "";
}

const char* NameOf(Compression compression) {
    switch (compression) {
        case Compression::Bzip2:
            return "bzip2";
        case Compression::Gzip:
            return "gzip";
        case Compression::Xz:
            return "xz";
        case Compression::None:
            break;
    }
    return "none";
}

Compression CompressionOfName(std::string_view name) {
    for (const Compression compression : kCompressions) {
        const std::string_view suffix = SuffixOf(compression);
        if (name.size() > suffix.size() && name.ends_with(suffix)) {
            return compression;
        }
    }
    return Compression::None;
}

std::string_view WithoutCompressionSuffix(std::string_view name) {
    name.remove_suffix(SuffixOf(CompressionOfName(name)).size());
    return name;
}

}  // namespace segweld::unpack
