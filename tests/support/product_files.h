#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "os/native_path.h"
#include "tests/support/header_builder.h"
#include "tests/support/temp_folder.h"
#include "unpack/compression.h"

namespace segweld::test {

// The file name of a segment in the dissemination naming convention, for
// example H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-__.
std::string SegmentFileName(int number, const std::string& channelToken = "IR_108___",
                            const std::string& marks = "__");

// A small segment file: a real-shaped header announcing `data.size()` bytes
// (`announced` bytes when given), followed by `data`.
std::vector<uint8_t> SmallSegment(int number, const std::vector<uint8_t>& data,
                                  int64_t announced = -1);

// Data bytes of segment `number` that differ from those of every other
// segment, starting with four letters so that they name the output.
std::vector<uint8_t> DistinctData(int number, size_t size = 1000);

// `bytes` compressed whole, as `bzip2 -9`, `gzip -6` and `xz -6` write them.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& bytes, unpack::Compression compression);
// Replaces the file `path` by NAME.bz2 (.gz, .xz) holding it compressed; returns that path.
std::string CompressFile(const std::string& path, unpack::Compression compression);

// A product's input folder (its name holds a blank and a letter beyond ASCII)
// and an output folder.
class ProductFolders {
  public:
    ProductFolders() { std::filesystem::create_directory(os::PathOf(inputFolder)); }

    // The path of segment `number`.
    std::string Path(int number) const { return inputFolder + "/" + SegmentFileName(number); }
    // The output that a join started from segment `number` writes.
    std::string OutputName(int number, const std::string& extension) const;
    std::string OutputPath(int number, const std::string& extension) const {
        return output / OutputName(number, extension);
    }

    void WriteSegment(int number, const std::vector<uint8_t>& data, int64_t announced = -1) const {
        WriteFile(Path(number), SmallSegment(number, data, announced));
    }
    // Segments `from` to `to` with distinct data; returns their data fields joined.
    std::vector<uint8_t> WriteSeries(int from, int to, size_t size = 1000) const;

    TempFolder input;
    TempFolder output;
    const std::string inputFolder = input / "seg dir \xc3\xbc";
};

}  // namespace segweld::test
