#include "tests/support/compressed_files.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <filesystem>
#include <stdexcept>

#include "os/native_path.h"
#include "tests/support/temp_folder.h"

namespace segweld::test {
namespace {

std::vector<uint8_t> Bzip2(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(bytes.size() + bytes.size() / 100 + 600);
    auto size = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                 const_cast<char*>(reinterpret_cast<const char*>(bytes.data())),
                                 static_cast<unsigned>(bytes.size()), 9, 0, 0) != BZ_OK) {
        throw std::runtime_error("bzip2 compression failed");
    }
    out.resize(size);
    return out;
}

std::vector<uint8_t> Gzip(const std::vector<uint8_t>& bytes) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("gzip compression failed");
    }
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw std::runtime_error("gzip compression failed");
    }
    return out;
}

std::vector<uint8_t> Xz(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(lzma_stream_buffer_bound(bytes.size()));
    size_t size = 0;
    if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, bytes.data(), bytes.size(),
                                out.data(), &size, out.size()) != LZMA_OK) {
        throw std::runtime_error("xz compression failed");
    }
    out.resize(size);
    return out;
}

}  // namespace

std::vector<uint8_t> Compress(const std::vector<uint8_t>& bytes, unpack::Compression compression) {
    switch (compression) {
        case unpack::Compression::Bzip2:
            return Bzip2(bytes);
        case unpack::Compression::Gzip:
            return Gzip(bytes);
        case unpack::Compression::Xz:
            return Xz(bytes);
        case unpack::Compression::None:
            break;
    }
    return bytes;
}

std::string CompressFile(const std::string& path, unpack::Compression compression) {
    if (compression == unpack::Compression::None) {
        return path;
    }
    const std::string compressed = path + std::string(unpack::SuffixOf(compression));
    WriteFile(compressed, Compress(ReadFile(path), compression));
    std::filesystem::remove(os::PathOf(path));
    return compressed;
}

}  // namespace segweld::test
