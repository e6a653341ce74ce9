// Small products of MSG-like segments built in code, for the GeoTIFF tests:
// their files, and segweld run on them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "join/output_name.h"
#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"
#include "tests/support/prologue_data.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld::geotest {

inline constexpr int32_t kCfac = -13642337;     // MSG's VIS/IR sampling
inline constexpr int32_t kHrvCfac = -40927014;  // and HRV's
inline constexpr int kHrvGrid = 11136;

struct Product {
    uint16_t columns = 6, lines = 4;
    uint8_t bits = 10;
    int planned = 3;
    std::string channel = "IR_108___";
    std::string source = "MSG1";          // of the file names
    std::string disseminator = "MSG1__";  // of the file names
    uint8_t fileType = 0, compression = 0;
    std::string projection = "GEOS(+000.0)";
    int32_t cfac = kCfac, coff = 1856;  // coff 0: that of the epilogue's HRV window
    int32_t loff = 1856;                // of segment 1; each later one counts `lines` fewer
    int earthModel = 2;                 // 0: no prologue
    test::PrologueFields prologue{};
    std::optional<test::HrvWindows> epilogue{};
    int firstCount = 1;              // of segment 1's first pixel; each next one counts 1 more
    std::vector<int> unusable = {};  // stored lines (from 0) of segment 2 marked unusable
    bool foreignPrologue = false;    // a prologue of another satellite, not MSG Level 1.5
    // How its odd segments, prologue and epilogue are stored; even segments are plain.
    unpack::Compression storedAs = unpack::Compression::None;
};

// The line quality record: line `j` of `unusable` missing, not to be used.
inline std::vector<uint8_t> LineQuality(const Product& p, const std::vector<int>& unusable) {
    std::vector<uint8_t> body(13 * p.lines, 1);
    for (int j : unusable) {
        body[13 * j + 10] = 2;
        body[13 * j + 11] = body[13 * j + 12] = 4;
    }
    return body;
}

inline bool IsHrv(const Product& p) {
    return p.channel.starts_with("HRV");
}

// The name of segment `k` of `p` or, with `kind` PRO or EPI, of a companion.
inline std::string FileName(const Product& p, int k, const std::string& kind = "",
                            const std::string& channel = "_________") {
    char segment[16];
    std::snprintf(segment, sizeof segment, "%06d___", k);
    return "H-000-" + p.disseminator + "-" + (p.source + "________").substr(0, 12) + "-" +
           (kind.empty() ? p.channel : channel) + "-" + (kind.empty() ? segment : kind + "______") +
           "-200706151200-__";
}

// The count stored at column c (0-based, east first) of line j of segment k.
inline uint16_t StoredCount(const Product& p, int k, int j, int c) {
    return static_cast<uint16_t>((p.firstCount + ((k - 1) * p.lines + j) * p.columns + c) %
                                 (1 << p.bits));
}

// The full-disk column (from 1, east first) of the HRV window that holds
// stored line `line` (from 0), as the reference reader places it.
inline int32_t HrvEastColumn(const test::HrvWindows& w, int line) {
    return line + 1 < w.lowerNorthLine ? w.lowerEastColumn : w.upperEastColumn;
}

// A segment file of `p`: its header, then its counts packed big-endian.
inline std::vector<uint8_t> SegmentFile(const Product& p, int k) {
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

// A companion file: its header, then its data field.
inline std::vector<uint8_t> Companion(const std::string& name, uint8_t type,
                                      std::vector<uint8_t> data) {
    std::vector<uint8_t> bytes = test::RealPrologueHeader(name, type, 8 * data.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// The name under which file `name` of `p` is stored: segment `k` (0 for a
// companion) compressed when `p` says so.
inline std::string StoredName(const Product& p, const std::string& name, int k = 0) {
    return k % 2 == 0 && k != 0 ? name : name + std::string(unpack::SuffixOf(p.storedAs));
}

// A product's segments and its prologue in a folder, and the program run on them.
struct GeoTiffRun {
    explicit GeoTiffRun(const Product& p, const std::vector<int>& numbers = {1, 2, 3})
        : product(p) {
        for (int k : numbers) {
            Store(StoredName(p, FileName(p, k), k), SegmentFile(p, k));
        }
        // The satellites that MSG disseminates keep their channel in the name.
        const std::string channel = p.foreignPrologue ? p.channel : "_________";
        if (p.earthModel != 0) {
            test::PrologueFields fields = p.prologue;
            fields.earthModelType = static_cast<uint8_t>(p.earthModel);
            const std::string name = FileName(p, 0, "PRO", channel);
            Store(StoredName(p, name), Companion(name, 128,
                                                 p.foreignPrologue ? std::vector<uint8_t>(3000, 7)
                                                                   : test::PrologueData(fields)));
        }
        if (p.epilogue) {
            const std::string name = FileName(p, 0, "EPI", channel);
            Store(StoredName(p, name), Companion(name, 129, test::EpilogueData(*p.epilogue)));
        }
    }

    // segweld (or `program`) with `options` on segment 1 of the product.
    test::ProgramResult Segweld(std::vector<std::string> options, const test::RunOptions& how = {},
                                const std::string& program = SEGWELD_BIN) const {
        options.push_back(input / StoredName(product, FileName(product, 1), 1));
        options.push_back(output.path().string());
        return test::RunProgram(program.c_str(), options, how);
    }

    std::string GeoTiffPath() const { return output / LowerAscii(FileName(product, 1) + ".tif"); }

    void Store(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const unpack::Compression stored = unpack::CompressionOfName(name);
        test::WriteFile(input / name, stored == unpack::Compression::None
                                          ? bytes
                                          : test::Compress(bytes, stored));
    }

    Product product;
    test::TempFolder input, output;
};

}  // namespace segweld::geotest
