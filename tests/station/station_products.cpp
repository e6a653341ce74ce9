#include "tests/station/station_products.h"

#include <thread>

#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"
#include "tests/support/temp_folder.h"

namespace segweld::station::test {

using segweld::test::HeaderBuilder;

std::string TestProduct::Name(int number) const {
    return segweld::test::SegmentFileName(number, channel);
}

std::string TestProduct::OutputName() const {
    std::string name = Name(1) + (compressed ? ".xyz" : ".segm");
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::string TestProduct::Key() const {
    std::string key = Name(1);
    key.replace(36, 6, "??????");
    return key;
}

std::vector<uint8_t> TestProduct::Data(int number) const {
    std::vector<uint8_t> data = segweld::test::DistinctData(number, size_t{columns} * lines);
    if (compressed) {
        data[0] = 0xFF;
        data[1] = 0x01;
    }
    return data;
}

std::vector<uint8_t> TestProduct::File(int number) const {
    const std::vector<uint8_t> data = Data(number);
    auto bytes = HeaderBuilder()
                     .Primary(0, 8 * data.size())
                     .ImageStructure(8, columns, lines, compressed ? 1 : 0)
                     .Annotation(Name(number))
                     .TimeStamp(18062, 43200000)
                     .MsgSegmentIdentification(321, 9, static_cast<uint16_t>(number), 1,
                                               static_cast<uint16_t>(planned), 3)
                     .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::vector<uint8_t> TestProduct::Joined(const std::vector<int>& numbers) const {
    std::vector<uint8_t> all;
    for (int number : numbers) {
        const auto data =
            number == 0 ? std::vector<uint8_t>(size_t{columns} * lines) : Data(number);
        all.insert(all.end(), data.begin(), data.end());
    }
    return all;
}

void TestProduct::WriteCompanions(const std::string& folder) const {
    for (const auto& [token, type] : {std::pair{"PRO______", 128}, std::pair{"EPI______", 129}}) {
        std::string name = Name(1);
        name.replace(26, 9, "_________");
        name.replace(36, 9, token);
        segweld::test::WriteFile(folder + "/" + name,
                                 segweld::test::RealPrologueHeader(name, type, 8 * 64));
    }
}

std::vector<int> Numbers(int from, int to) {
    std::vector<int> numbers;
    for (int number = from; number <= to; ++number) {
        numbers.push_back(number);
    }
    return numbers;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace segweld::station::test
