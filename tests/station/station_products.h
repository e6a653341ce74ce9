#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace segweld::station::test {

// One product of the station tests: segments of `columns` x `lines` pixels at
// 8 bits, whose segment identification plans numbers 1 to `planned`.
struct TestProduct {
    std::string channel;  // the 9-character channel field of the name, e.g. "IR_108___"
    int planned = 8;
    bool compressed = false;  // data fields begin with 0xFF 0x01, as compressed ones do
    uint16_t columns = 100;
    uint16_t lines = 5;

    std::string Name(int number) const;
    std::string OutputName() const;  // of the join started from segment 1
    std::string Key() const;         // as the station modes name the product
    // The data field of segment `number`, different for every segment.
    std::vector<uint8_t> Data(int number) const;
    // The whole segment file: header, then the data field.
    std::vector<uint8_t> File(int number) const;
    // The data fields of `numbers`, back to back; 0 stands for a segment's
    // worth of zeros.
    std::vector<uint8_t> Joined(const std::vector<int>& numbers) const;
    // Writes the prologue and epilogue files of the product's time slot.
    void WriteCompanions(const std::string& folder) const;
};

std::vector<int> Numbers(int from, int to);

// Calls `done` every 10 ms until it is true or `limit` has passed.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15));

}  // namespace segweld::station::test
