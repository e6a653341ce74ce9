// Small products of MSG-like segments built in code, for the GeoTIFF tests:
// their files, and segweld run on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "join/output_name.h"
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
};

bool IsHrv(const Product& p);

// The name of segment `k` of `p` or, with `kind` PRO or EPI, of a companion.
std::string FileName(const Product& p, int k, const std::string& kind = "",
                     const std::string& channel = "_________");

// The count stored at column c (0-based, east first) of line j of segment k.
uint16_t StoredCount(const Product& p, int k, int j, int c);

// The full-disk column (from 1, east first) of the HRV window that holds
// stored line `line` (from 0), as the reference reader places it.
int32_t HrvEastColumn(const test::HrvWindows& w, int line);

// A segment file of `p`: its header, then its counts packed big-endian.
std::vector<uint8_t> SegmentFile(const Product& p, int k);

// A companion file: its header, then its data field.
std::vector<uint8_t> Companion(const std::string& name, uint8_t type, std::vector<uint8_t> data);

// A product's segments and its prologue in a folder, and the program run on them.
struct GeoTiffRun {
    explicit GeoTiffRun(const Product& p, const std::vector<int>& numbers = {1, 2, 3});

    // segweld (or `program`) with `options` on segment 1 of the product.
    test::ProgramResult Segweld(std::vector<std::string> options, const test::RunOptions& how = {},
                                const std::string& program = SEGWELD_BIN) const;

    std::string GeoTiffPath() const { return output / LowerAscii(FileName(product, 1) + ".tif"); }

    Product product;
    test::TempFolder input, output;
};

}  // namespace segweld::geotest
