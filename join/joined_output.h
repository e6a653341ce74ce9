#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace segweld {

class SegmentFile;

// A failure to create, write or finish the output file; what() names the file
// and the system's reason.
class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The joined output file. It is written as an unnamed file in the output
// folder (or, where the file system cannot do that, under a temporary name)
// and takes its final name only in Commit(), so a join that fails leaves no
// partial file and never harms an existing file of the final name. Every
// failure throws OutputError.
class JoinedOutputFile {
  public:
    // Creates the temporary file beside `finalPath`.
    explicit JoinedOutputFile(std::string finalPath);
    JoinedOutputFile(const JoinedOutputFile&) = delete;
    JoinedOutputFile& operator=(const JoinedOutputFile&) = delete;
    // Removes the temporary file unless Commit() succeeded.
    ~JoinedOutputFile();

    const std::string& path() const { return finalPath_; }
    uint64_t bytesWritten() const { return bytesWritten_; }

    // Appends `length` bytes of `source` from `offset`, in bounded chunks (the
    // kernel copies them where it can). Returns how many bytes the source
    // held; when it ends early, zeros fill the rest so that `length` bytes are
    // always appended.
    uint64_t AppendFrom(const SegmentFile& source, uint64_t offset, uint64_t length);

    // Closes the file and renames it onto its final name.
    void Commit();

  private:
    void CreateNamedTemporary();
    void NameUnnamedFile();
    void Write(std::span<const uint8_t> bytes);
    void WriteZeros(uint64_t count);
    uint64_t CopyWithKernel(const SegmentFile& source, uint64_t offset, uint64_t length);
    uint64_t CopyThroughBuffer(const SegmentFile& source, uint64_t offset, uint64_t length);
    [[noreturn]] void Fail(const std::string& what, int error) const;

    std::string finalPath_;
    std::string folder_;
    std::string temporaryPath_;  // empty while the file has no name
    int fd_ = -1;
    uint64_t bytesWritten_ = 0;
    bool kernelCopy_ = true;
    bool committed_ = false;
};

// Creates the output file for a join: named by JoinedOutputName from the
// segment's file name and the first bytes of the first accepted data field,
// in `outputFolder`.
std::unique_ptr<JoinedOutputFile> OpenJoinedOutput(std::string segmentName,
                                                   std::string outputFolder,
                                                   std::span<const uint8_t> firstBytes);

}  // namespace segweld
