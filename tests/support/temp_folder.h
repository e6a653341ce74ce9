#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace segweld::test {

// Creates a folder of a new name, `prefix` and digits, under the system's
// temporary folder.
std::filesystem::path MakeUniqueFolder(const std::string& prefix);

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
// The names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

}  // namespace segweld::test
