#include "tests/support/product_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

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

}  // namespace segweld::test
