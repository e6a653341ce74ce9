#include "tests/ui/scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/temp_folder.h"

namespace segweld::test {

ScratchFolder::ScratchFolder() : path_(MakeUniqueFolder("segweld-ui-").string()) {}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::MakeFolder(const std::string& name) const {
    const std::string folder = *this / name;
    std::filesystem::create_directories(folder);
    return folder;
}

std::string ScratchFolder::WriteFile(const std::string& name, const std::string& bytes) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace segweld::test
