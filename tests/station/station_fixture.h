// What the tests of the real station programs share: products written the
// way a receiving station writes them, the program run in the background,
// and the report read back.
#pragma once

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/background.h"
#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld::station {

using namespace segweld::test;
namespace fs = std::filesystem;

inline const std::vector<int> kAll{1, 2, 3, 4, 5, 6, 7, 8};

// One product: segments of 100 x 5 pixels at 8 bits, whose segment
// identification plans numbers `first` to `planned`.
struct TestProduct {
    const char* channel;  // the 9-character channel field of the name, e.g. "IR_108___"
    int planned = 8;
    bool compressed = false;  // data fields begin with 0xFF 0x01, as compressed ones do
    int first = 1;

    std::string Name(int number) const { return SegmentFileName(number, channel); }
    // The output of the join started from segment `number`.
    std::string OutputName(int number = 1) const {
        std::string name = Name(number) + (compressed ? ".xyz" : ".segm");
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        return name;
    }
    std::string Key() const { return Name(1).replace(36, 6, "??????"); }

    std::vector<uint8_t> Data(int number) const {  // different for every segment
        std::vector<uint8_t> data = DistinctData(number, 500);
        if (compressed)
            std::ranges::copy(std::vector<uint8_t>{0xFF, 0x01}, data.begin());
        return data;
    }
    std::vector<uint8_t> File(int number) const {
        auto bytes = HeaderBuilder()
                         .Primary(0, 8 * 500)
                         .ImageStructure(8, 100, 5, compressed ? 1 : 0)
                         .Navigation("GEOS(+000.0)", -13642337, -13642337, 50, 25 - 5 * number)
                         .Annotation(Name(number))
                         .TimeStamp(18062, 43200000)
                         .MsgSegmentIdentification(321, 9, number, first, planned, 3)
                         .Build();
        std::ranges::copy(Data(number), std::back_inserter(bytes));
        return bytes;
    }
    void Write(const std::string& folder, const std::vector<int>& numbers) const {
        for (int number : numbers)
            WriteFile(folder + "/" + Name(number), File(number));
    }
    // The data fields of `numbers`, back to back; 0 stands for a segment of zeros.
    std::vector<uint8_t> Joined(const std::vector<int>& numbers) const {
        std::vector<uint8_t> all;
        for (int number : numbers)
            std::ranges::copy(number == 0 ? std::vector<uint8_t>(500) : Data(number),
                              std::back_inserter(all));
        return all;
    }
    // The prologue and epilogue files of the product's time slot.
    void WriteCompanions(const std::string& folder) const {
        for (const auto& [token, type] : {std::pair{"PRO______", 128}, {"EPI______", 129}}) {
            const std::string name = Name(1).replace(26, 9, "_________").replace(36, 9, token);
            WriteFile(folder + "/" + name, RealPrologueHeader(name, type, 8 * 64));
        }
    }
};

inline size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The lines of a JSON Lines report, by type; the product lines by key.
struct Report {
    explicit Report(const std::string& text) {
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const nlohmann::json line = nlohmann::json::parse(text.substr(at, end - at));
            at = end + 1;
            lines.push_back(line);
            if (line.at("type") == "product")
                products[line.at("key").get<std::string>()] = line;
        }
    }
    static Report Of(const std::string& path) { return Report(Text(path)); }
    const nlohmann::json& product(const std::string& key) const { return products.at(key); }

    std::vector<nlohmann::json> lines;
    std::map<std::string, nlohmann::json> products;
};

class StationTest : public ::testing::Test {
  protected:
    std::string OutPath(const TestProduct& p, int number = 1) const {
        return out + "/" + p.OutputName(number);
    }
    std::vector<uint8_t> Output(const TestProduct& p, int number = 1) const {
        return ReadFile(OutPath(p, number));
    }
    bool OutputAppears(const TestProduct& p, int number = 1) const {
        return WaitUntil([&] { return fs::exists(OutPath(p, number)); });
    }
    // segweld --watch with `extra` options, once it has started.
    std::unique_ptr<Background> Start(std::vector<std::string> extra,
                                      std::vector<std::string> environment = {}) {
        extra.insert(extra.begin(), {SEGWELD_BIN, "--watch", in, out});
        auto watch = std::make_unique<Background>(extra, scratch / "watch.log", environment);
        EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "waiting or being joined"); }))
            << watch->Log();
        return watch;
    }
    ProgramResult Batch(std::vector<std::string> extra = {}, const RunOptions& run = {}) {
        extra.insert(extra.begin(), {"--batch", in, out, "--report", reportPath});
        return RunProgram(SEGWELD_BIN, extra, run);
    }
    // Every file in the output folder, below it too.
    std::vector<std::string> OutputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), out).generic_string());
        std::ranges::sort(names);
        return names;
    }

    TempFolder inFolder, outFolder, scratch;
    const std::string in = inFolder.path().string(), out = outFolder.path().string();
    const std::string reportPath = scratch / "report.jsonl";
};

}  // namespace segweld::station
