#pragma once

#include <string>

namespace segweld::test {

// A new folder under the system's temporary folder, removed with its contents
// when the object goes. Paths are given without a trailing separator.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    std::string MakeFolder(const std::string& name) const;
    std::string WriteFile(const std::string& name, const std::string& bytes) const;

  private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace segweld::test
