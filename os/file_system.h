#pragma once

// The files of the operating system as the joiner, the tools and the start-up
// see them. Exactly one implementation is built: posix_file_system.cpp or
// win32_file_system.cpp. Paths are UTF-8 here; the Win32 implementation widens
// them to UTF-16 only at its system calls.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace segweld::os {

// What a path names, after symbolic links are followed.
enum class PathKind {
    Missing,  // nothing of that name
    RegularFile,
    Folder,
    Other,         // FIFO, device, socket
    DanglingLink,  // a symbolic link whose target does not exist
    LinkLoop,      // symbolic links that lead back to themselves
    Inaccessible,  // the system refused to say (permissions, name too long, I/O)
};

// Which file a name leads to: equal for two names of the same file.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct PathInfo {
    PathKind kind = PathKind::Missing;
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;  // since 1970, for up-to-date checks
    // The last change of the file or its attributes (ctime; ChangeTime on
    // Windows), since 1970: set by the system, never back by a user. 0 where
    // the file system keeps none.
    int64_t changedNanoseconds = 0;
    FileIdentity identity;
    std::string error;  // the system's text, when Inaccessible
};

// One look at `path`, links followed. Never throws.
PathInfo LookAt(const std::string& path);

// True when something (a file, a folder, anything) exists at `path`.
inline bool PathExists(const std::string& path) {
    const PathKind kind = LookAt(path).kind;
    return kind != PathKind::Missing && kind != PathKind::DanglingLink;
}

// A read that failed for another reason than the end of the file: what()
// names the file and gives the system's text.
class ReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure to create, write or commit an output file; what() names the file
// and gives the system's text.
class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A partial file (see HiddenOutput) that another process is writing: it holds
// the file's lock.
class OutputInUse : public OutputError {
  public:
    using OutputError::OutputError;
};

// A regular file open for reading. Anything else of the name is refused
// without being opened for reading, so a FIFO never blocks.
class InputFile {
  public:
    // Missing also where the name cannot be looked at (dangling link, link
    // loop, name too long, no permission to search the folder).
    enum class Outcome { Opened, Missing, NotRegularFile, Failed };

    InputFile();
    InputFile(InputFile&&) noexcept;
    InputFile& operator=(InputFile&&) noexcept;
    ~InputFile();

    // Opens `path`; on failure error() says why.
    Outcome Open(const std::string& path);
    bool isOpen() const;

    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }
    FileIdentity identity() const { return identity_; }
    int64_t modifiedNanoseconds() const { return modifiedNanoseconds_; }
    int64_t changedNanoseconds() const { return changedNanoseconds_; }
    const std::string& error() const { return error_; }

    // Reads up to out.size() bytes at `offset`. Fewer arrive only where the
    // file ends; any other failure throws ReadError.
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

    struct Native;
    const Native& native() const { return *native_; }

  private:
    std::unique_ptr<Native> native_;
    std::string path_;
    std::string error_;
    uint64_t size_ = 0;
    FileIdentity identity_;
    int64_t modifiedNanoseconds_ = 0;
    int64_t changedNanoseconds_ = 0;
};

// An output file that appears under its final name only when committed. It is
// written hidden in the folder of the final name (of the file a symbolic link
// of that name leads to), so a failed, stopped or killed run leaves nothing
// behind and never harms an existing file of the name. Committing replaces
// such a file atomically and keeps its permission bits (and its owner and
// group where the process may set them). Every failure throws OutputError;
// reads from an InputFile throw ReadError.
class HiddenOutput {
  public:
    explicit HiddenOutput(std::string finalPath);
    // The same, written under the visible name `partialName` in that folder
    // instead (a file of that name is replaced), which a killed process
    // leaves behind with what it had written: for a file written bit by bit,
    // such as a report, whose beginning is worth reading after a crash. The
    // file is the writer's alone until it is committed or abandoned: while
    // another process writes it, OutputInUse is thrown and nothing is
    // touched. (A lock on POSIX systems, which NFS passes to its server unless
    // mounted with nolock or local_lock; a share mode on Windows.) Where the
    // file system keeps no locks the file is written unlocked, and lockError()
    // says why.
    HiddenOutput(std::string finalPath, const std::string& partialName);
    HiddenOutput(const HiddenOutput&) = delete;
    HiddenOutput& operator=(const HiddenOutput&) = delete;
    // Abandons the file unless Commit() succeeded.
    ~HiddenOutput();

    const std::string& finalPath() const { return finalPath_; }
    uint64_t size() const { return size_; }
    // Why a partial file could not be locked; empty when it is, or has no name.
    const std::string& lockError() const { return lockError_; }

    void Append(std::span<const uint8_t> bytes);
    // Appends `length` bytes of `source` from `offset`, copied by the kernel
    // where it can. Returns how many bytes the source held there: fewer than
    // `length` only where the source ends.
    uint64_t AppendFrom(const InputFile& source, uint64_t offset, uint64_t length);
    // Appends `count` zero bytes, as a hole where the file system allows.
    void AppendZeros(uint64_t count);

    // Random access, for a file that a library writes in place as it goes
    // (an image whose directories are written before its pixels): a file is
    // written either by WriteAt or by the Append calls, never by both.
    // WriteAt grows the file as far as it writes; ReadAt reads back what was
    // written (fewer bytes only past the end); Resize cuts or grows it.
    void WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;
    void Resize(uint64_t size);

    // For a library that opens files by name and writes them its own way: a
    // name under which it reaches this very file while it is hidden (an
    // unnamed file takes its temporary name here). Its writes count once
    // TakeSizeWritten() is called after it closed the file. The file is
    // written either through this name or by this object, never by both;
    // the library may lock the file while it has it open.
    std::string NameForLibrary();
    void TakeSizeWritten();

    // Writes everything out and renames the file onto its final name.
    void Commit();
    // Removes the file now; the object is done.
    void Abandon() noexcept;

    struct Native;

  private:
    // AppendFrom through a buffer in memory, where the kernel cannot copy.
    uint64_t CopyThroughBuffer(const InputFile& source, uint64_t offset, uint64_t length);

    std::unique_ptr<Native> native_;
    std::string finalPath_;
    std::string lockError_;
    uint64_t size_ = 0;
    bool done_ = false;
};

// A file that grows by whole records at its end, as a log does: opened to
// append (created when missing, never truncated or replaced), so that it can
// be moved away (log rotation) and opened again at its name. Each Append is
// one write at the end of the file; one that fails leaves the file as it was
// before it. Failures throw OutputError. The file has one writer, as a
// partial file of HiddenOutput has: while another writes it, OutputInUse is
// thrown; where the file system keeps no locks it is written unlocked, and
// lockError() says why.
class AppendingFile {
  public:
    explicit AppendingFile(std::string path);
    AppendingFile(const AppendingFile&) = delete;
    AppendingFile& operator=(const AppendingFile&) = delete;
    ~AppendingFile();

    const std::string& path() const { return path_; }
    const std::string& lockError() const { return lockError_; }
    // The file it opened, which may have another name by now.
    FileIdentity identity() const { return identity_; }
    void Append(std::span<const uint8_t> bytes);

    struct Native;

  private:
    std::unique_ptr<Native> native_;
    std::string path_;
    std::string lockError_;
    FileIdentity identity_;
};

// Removes from `folder` what runs of Segweld that were killed left there by
// Segweld's own naming, and nothing that a live run still uses: the hidden
// files of HiddenOutput where the file system offers no unnamed files (each
// is locked by the process that writes it, and one untouched for a minute
// that no process holds is abandoned), and the working folders
// ".segweld-geotiff-*" of earlier versions' image runs, untouched for an hour.
// Returns the names it removed; never throws. Nothing to do on Windows, where
// a hidden file goes with the process.
std::vector<std::string> RemoveAbandonedOutputs(const std::string& folder);

// The folder (with a trailing separator; empty for the current folder) where
// a file is written for CommitFinishedFile to rename it onto `finalPath`: that
// of the file a symbolic link of that name leads to, or of the name itself.
std::string CommitFolder(const std::string& finalPath);

// Renames `writtenPath`, a complete and closed file in CommitFolder(finalPath),
// onto `finalPath` as HiddenOutput::Commit() does: a file there is replaced
// atomically and its permission bits (owner and group where the process may
// set them) pass to the new one; a symbolic link stays and the file it leads
// to is replaced. Throws OutputError.
void CommitFinishedFile(const std::string& writtenPath, const std::string& finalPath);

}  // namespace segweld::os
