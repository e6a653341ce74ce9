#include "tests/support/product_files.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace segweld::test {

std::string SegmentFileName(int number, const std::string& channelToken, const std::string& marks) {
    char segment[16];
    std::snprintf(segment, sizeof segment, "%06d___", number);
    return "H-000-MSG1__-MSG1________-" + channelToken + "-" + segment + "-200706151200-" + marks;
}

std::vector<uint8_t> SmallSegment(int number, const std::vector<uint8_t>& data, int64_t announced) {
    const uint64_t dataBytes = announced < 0 ? data.size() : static_cast<uint64_t>(announced);
    auto bytes =
        HeaderBuilder()
            .Primary(0, 8 * dataBytes)
            .ImageStructure(8, static_cast<uint16_t>(std::min<uint64_t>(dataBytes, 65535)), 1, 0)
            .Annotation(SegmentFileName(number))
            .TimeStamp(18062, 43200000)
            .MsgSegmentIdentification(321, 9, static_cast<uint16_t>(number), 1, 8, 3)
            .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::vector<uint8_t> DistinctData(int number, size_t size) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<uint8_t>(i < 4 ? "SEGM"[i] : number * 31 + i * 7);
    }
    return data;
}

std::string ProductFolders::OutputName(int number, const std::string& extension) const {
    std::string name = SegmentFileName(number) + extension;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

std::vector<uint8_t> ProductFolders::WriteSeries(int from, int to, size_t size) const {
    std::vector<uint8_t> all;
    for (int number = from; number <= to; ++number) {
        const auto data = DistinctData(number, size);
        WriteSegment(number, data);
        all.insert(all.end(), data.begin(), data.end());
    }
    return all;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& bytes, unpack::Compression compression) {
    std::vector<uint8_t> out(lzma_stream_buffer_bound(bytes.size()) + 1024);
    size_t size = 0;
    auto* in = const_cast<uint8_t*>(bytes.data());
    bool done = false;
    if (compression == unpack::Compression::Bzip2) {
        auto bzipSize = static_cast<unsigned>(out.size());
        done = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &bzipSize,
                                        reinterpret_cast<char*>(in),
                                        static_cast<unsigned>(bytes.size()), 9, 0, 0) == BZ_OK;
        size = bzipSize;
    } else if (compression == unpack::Compression::Gzip) {
        z_stream stream{};
        done = deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        stream.next_in = in, stream.avail_in = static_cast<uInt>(bytes.size());
        stream.next_out = out.data(), stream.avail_out = static_cast<uInt>(out.size());
        done = done && deflate(&stream, Z_FINISH) == Z_STREAM_END;
        size = stream.total_out;
        deflateEnd(&stream);
    } else if (compression == unpack::Compression::Xz) {
        done = lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, in, bytes.size(), out.data(),
                                       &size, out.size()) == LZMA_OK;
    }
    if (!done) {
        throw std::runtime_error(std::string("cannot compress with ") +
                                 unpack::NameOf(compression));
    }
    out.resize(size);
    return out;
}

std::string CompressFile(const std::string& path, unpack::Compression compression) {
    const std::string compressed = path + std::string(unpack::SuffixOf(compression));
    if (compression != unpack::Compression::None) {
        WriteFile(compressed, Compress(ReadFile(path), compression));
        std::filesystem::remove(os::PathOf(path));
    }
    return compressed;
}

}  // namespace segweld::test
