#include "tests/geo/geo_products.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/header_builder.h"

namespace segweld::geotest {
namespace {

// The line quality record: line `j` of `unusable` missing, not to be used.
std::vector<uint8_t> LineQuality(const Product& p, const std::vector<int>& unusable) {
    std::vector<uint8_t> body(13 * p.lines, 1);
    for (int j : unusable) {
        body[13 * j + 10] = 2;
        body[13 * j + 11] = body[13 * j + 12] = 4;
    }
    return body;
}

}  // namespace

bool IsHrv(const Product& p) {
    return p.channel.starts_with("HRV");
}

std::string FileName(const Product& p, int k, const std::string& kind, const std::string& channel) {
    char segment[16];
    std::snprintf(segment, sizeof segment, "%06d___", k);
    return "H-000-" + p.disseminator + "-" + (p.source + "________").substr(0, 12) + "-" +
           (kind.empty() ? p.channel : channel) + "-" + (kind.empty() ? segment : kind + "______") +
           "-200706151200-__";
}

uint16_t StoredCount(const Product& p, int k, int j, int c) {
    return static_cast<uint16_t>((p.firstCount + ((k - 1) * p.lines + j) * p.columns + c) %
                                 (1 << p.bits));
}

int32_t HrvEastColumn(const test::HrvWindows& w, int line) {
    return line + 1 < w.lowerNorthLine ? w.lowerEastColumn : w.upperEastColumn;
}

std::vector<uint8_t> SegmentFile(const Product& p, int k) {
    std::vector<uint8_t> data((p.columns * p.lines * p.bits + 7) / 8, 0);
    for (uint64_t bit = 0, pixel = 0; pixel < uint64_t{p.columns} * p.lines; ++pixel) {
        const uint16_t count = StoredCount(p, k, pixel / p.columns, pixel % p.columns);
        for (int b = p.bits - 1; b >= 0; --b, ++bit) {
            data[bit / 8] |= static_cast<uint8_t>(((count >> b) & 1) << (7 - bit % 8));
        }
    }
    const int32_t coff =
        p.coff == 0 ? 5567 - HrvEastColumn(*p.epilogue, (k - 1) * p.lines) : p.coff;
    const std::string name = FileName(p, k);
    std::vector<uint8_t> bytes =
        test::HeaderBuilder()
            .Primary(p.fileType, 8 * data.size())
            .ImageStructure(p.bits, p.columns, p.lines, p.compression)
            .Navigation(p.projection, p.cfac, p.cfac, coff, p.loff - p.lines * (k - 1))
            .Annotation(name)
            .TimeStamp(18062, 43200000)
            .MsgSegmentIdentification(321, 9, static_cast<uint16_t>(k), 1,
                                      static_cast<uint16_t>(p.planned), 3)
            .Record(129, LineQuality(p, k == 2 ? p.unusable : std::vector<int>{}))
            .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::vector<uint8_t> Companion(const std::string& name, uint8_t type, std::vector<uint8_t> data) {
    std::vector<uint8_t> bytes = test::RealPrologueHeader(name, type, 8 * data.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

GeoTiffRun::GeoTiffRun(const Product& p, const std::vector<int>& numbers) : product(p) {
    for (int k : numbers) {
        test::WriteFile(input / FileName(p, k), SegmentFile(p, k));
    }
    // The satellites that MSG disseminates keep their channel in the name.
    const std::string channel = p.foreignPrologue ? p.channel : "_________";
    if (p.earthModel != 0) {
        test::PrologueFields fields = p.prologue;
        fields.earthModelType = static_cast<uint8_t>(p.earthModel);
        const std::string name = FileName(p, 0, "PRO", channel);
        test::WriteFile(input / name, Companion(name, 128,
                                                p.foreignPrologue ? std::vector<uint8_t>(3000, 7)
                                                                  : test::PrologueData(fields)));
    }
    if (p.epilogue) {
        const std::string name = FileName(p, 0, "EPI", channel);
        test::WriteFile(input / name, Companion(name, 129, test::EpilogueData(*p.epilogue)));
    }
}

test::ProgramResult GeoTiffRun::Segweld(std::vector<std::string> options,
                                        const test::RunOptions& how,
                                        const std::string& program) const {
    options.push_back(input / FileName(product, 1));
    options.push_back(output.path().string());
    return test::RunProgram(program.c_str(), options, how);
}

}  // namespace segweld::geotest
