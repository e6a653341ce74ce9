#include "bench/station_products.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tests/support/header_builder.h"

namespace segweld::bench {

std::string BenchSegmentName(int index, int number) {
    const int minutes = index * 5;
    char name[80];
    std::snprintf(name, sizeof name,
                  "H-000-MSG1__-MSG1________-IR_108___-%06d___-200706%02d%02d%02d-__", number,
                  1 + minutes / 1440, minutes / 60 % 24, minutes % 60);
    return name;
}

void WriteBenchSegment(const std::string& folder, int index, int number, int segments, int bytes) {
    const std::string name = BenchSegmentName(index, number);
    std::vector<uint8_t> file = test::HeaderBuilder()
                                    .Primary(0, 8ull * static_cast<uint64_t>(bytes))
                                    .ImageStructure(8, static_cast<uint16_t>(bytes), 1, 0)
                                    .Annotation(name)
                                    .TimeStamp(18062, 43200000)
                                    .MsgSegmentIdentification(321, 9, static_cast<uint16_t>(number),
                                                              1, static_cast<uint16_t>(segments), 3)
                                    .Build();
    // "SEGM" first, so the output is named .segm.
    for (int i = 0; i < bytes; ++i) {
        file.push_back(static_cast<uint8_t>(i < 4 ? "SEGM"[i] : 'A' + (index + number + i) % 26));
    }
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + folder + "/" + name);
    }
}

}  // namespace segweld::bench
