#include "tests/support/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "os/native_path.h"

namespace segweld::test {

std::filesystem::path MakeUniqueFolder(const std::string& prefix) {
    // A name nobody else holds: create_directory() is false for an existing one.
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path parent = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            parent / os::PathOf(prefix + std::to_string(random() % 1000000000000u));
        if (std::filesystem::create_directory(candidate)) {
            return candidate;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::TempFolder() : path_(MakeUniqueFolder("segweld-test-")) {}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& name) const {
    return os::TextOf(path_ / os::PathOf(name));
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(os::PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(os::PathOf(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(os::TextOf(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace segweld::test
