// The file seam on Windows. Names are widened to UTF-16 at each call; data is
// read and written through handles only, so no byte is ever translated.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>
#include <vector>

#include "os/file_system.h"
#include "os/win32_text.h"

namespace segweld::os {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// 100-nanosecond ticks from 1601 to 1970.
constexpr int64_t kUnixEpochTicks = 116444736000000000;

const char* const kNotUtf8 = "the name is not valid UTF-8";

class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    BOOL Close() {
        return valid() ? CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) : TRUE;
    }

  private:
    HANDLE handle_;
};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string FolderOf(const std::string& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), IsSeparator);
    if (last != path.rend()) {
        return std::string(path.begin(), last.base());
    }
    // "C:name" lies in drive C's current folder.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

int64_t UnixNanoseconds(const FILETIME& time) {
    const int64_t ticks =
        static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    return (ticks - kUnixEpochTicks) * 100;
}

bool NoSuchName(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH ||
           error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_DRIVE;
}

// True when `wide` itself (not what it leads to) is a reparse point: a
// symbolic link or a junction.
bool IsLink(const std::wstring& wide) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens `wide` for a look at it, links followed; folders open too.
HANDLE OpenForLook(const std::wstring& wide) {
    return CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

void Describe(HANDLE handle, PathInfo& info) {
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(handle, &data)) {
        info.kind = PathKind::Inaccessible;
        info.error = SystemText(GetLastError());
        return;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = PathKind::Folder;
    } else {
        info.kind = GetFileType(handle) == FILE_TYPE_DISK ? PathKind::RegularFile : PathKind::Other;
    }
    info.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    info.modifiedNanoseconds = UnixNanoseconds(data.ftLastWriteTime);
    info.identity = {data.dwVolumeSerialNumber,
                     (uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow};
    // The change time, which no program can set back; FAT keeps none (0).
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
        basic.ChangeTime.QuadPart != 0) {
        FILETIME changed;
        changed.dwLowDateTime = static_cast<DWORD>(basic.ChangeTime.QuadPart);
        changed.dwHighDateTime = static_cast<DWORD>(basic.ChangeTime.QuadPart >> 32);
        info.changedNanoseconds = UnixNanoseconds(changed);
    }
}

// A device name (NUL, CON) or a pipe opens without file information.
bool IsDevice(HANDLE handle) {
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

// What a file open by another process without sharing tells about itself.
bool DescribeByName(const std::wstring& wide, PathInfo& info) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder
                                                                   : PathKind::RegularFile;
    info.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    info.modifiedNanoseconds = UnixNanoseconds(data.ftLastWriteTime);
    info.error.clear();
    return true;
}

}  // namespace

PathInfo LookAt(const std::string& path) {
    PathInfo info;
    const std::optional<std::wstring> wide = Widen(path);
    if (!wide || wide->empty()) {
        info.error = wide ? SystemText(ERROR_PATH_NOT_FOUND) : kNotUtf8;
        return info;
    }
    Handle handle(OpenForLook(*wide));
    if (handle.valid()) {
        if (IsDevice(handle.get())) {
            info.kind = PathKind::Other;
        } else {
            Describe(handle.get(), info);
        }
        return info;
    }
    const DWORD error = GetLastError();
    info.error = SystemText(error);
    if (error == ERROR_CANT_RESOLVE_FILENAME) {
        info.kind = PathKind::LinkLoop;
    } else if (NoSuchName(error)) {
        info.kind = IsLink(*wide) ? PathKind::DanglingLink : PathKind::Missing;
    } else if (!DescribeByName(*wide, info)) {
        info.kind = PathKind::Inaccessible;
    }
    return info;
}

struct InputFile::Native {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

InputFile::InputFile() : native_(std::make_unique<Native>()) {}
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;

InputFile::~InputFile() {
    if (isOpen()) {
        CloseHandle(native_->handle);
    }
}

bool InputFile::isOpen() const {
    return native_ && native_->handle != INVALID_HANDLE_VALUE;
}

InputFile::Outcome InputFile::Open(const std::string& path) {
    path_ = path;
    const PathInfo look = LookAt(path);
    switch (look.kind) {
        case PathKind::Missing:
        case PathKind::DanglingLink:
            error_ = look.kind == PathKind::Missing ? look.error
                                                    : "a symbolic link whose target does not exist";
            return Outcome::Missing;
        case PathKind::LinkLoop:
        case PathKind::Inaccessible:
            error_ = look.error;
            return Outcome::Failed;
        case PathKind::Folder:
        case PathKind::Other:
            error_ = "not a regular file";
            return Outcome::NotRegularFile;
        case PathKind::RegularFile:
            break;
    }
    Handle handle(CreateFileW(Widen(path)->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        error_ = SystemText(error);
        return NoSuchName(error) ? Outcome::Missing : Outcome::Failed;
    }
    // The name may have been replaced since the look above.
    PathInfo opened;
    if (IsDevice(handle.get())) {
        opened.kind = PathKind::Other;
    } else {
        Describe(handle.get(), opened);
    }
    if (opened.kind != PathKind::RegularFile) {
        error_ = opened.kind == PathKind::Inaccessible ? opened.error : "not a regular file";
        return opened.kind == PathKind::Inaccessible ? Outcome::Failed : Outcome::NotRegularFile;
    }
    native_->handle = handle.release();
    size_ = opened.size;
    identity_ = opened.identity;
    modifiedNanoseconds_ = opened.modifiedNanoseconds;
    changedNanoseconds_ = opened.changedNanoseconds;
    return Outcome::Opened;
}

size_t InputFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const uint64_t at = offset + done;
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(native_->handle, out.data() + done, want, &got, &place)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            throw ReadError("Cannot read " + path_ + ": " + SystemText(error));
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

// The output is created under a temporary name in the folder of its final
// name and marked for deletion at once: should the process die, the system
// removes it with the last handle. Commit() clears the mark and renames the
// open file onto its final name in one step.
struct HiddenOutput::Native {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring target;     // the file that the final name leads to
    std::wstring temporary;  // the temporary's name
};

namespace {

[[noreturn]] void Fail(const std::string& what, DWORD error) {
    throw OutputError(what + ": " + SystemText(error));
}

std::wstring WidenOrFail(const std::string& path, const std::string& finalPath) {
    std::optional<std::wstring> wide = Widen(path);
    if (!wide) {
        throw OutputError("Cannot create the output file " + finalPath + ": " + kNotUtf8);
    }
    return *wide;
}

// The file a symbolic link of this name leads to; `wide` itself otherwise.
std::wstring LinkTarget(const std::wstring& wide) {
    if (!IsLink(wide)) {
        return wide;
    }
    Handle handle(OpenForLook(wide));
    if (!handle.valid()) {
        return wide;  // dangling: the link itself is replaced
    }
    std::wstring target(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
            handle.get(), target.data(), static_cast<DWORD>(target.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return wide;
        }
        if (length < target.size()) {
            target.resize(length);
            return target;
        }
        target.resize(length + 1);
    }
}

bool MarkForDeletion(HANDLE handle, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition);
}

// `path` as the system's own kind of name ("\??\C:\..."), which a rename by
// handle needs.
std::wstring SystemName(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written);
    if (full.rfind(L"\\\\?\\", 0) == 0) {
        return L"\\??\\" + full.substr(4);
    }
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\??\\UNC\\" + full.substr(2);
    }
    return L"\\??\\" + full;
}

bool RenameByHandle(HANDLE handle, const std::wstring& target) {
    const std::wstring name = SystemName(target);
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(handle, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()));
}

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The attributes of the file that the output replaces, which the output takes
// over as the POSIX side keeps the mode; none without such a file.
std::optional<DWORD> AttributesToKeep(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    return attributes & kKeptAttributes;
}

bool SetAttributes(const std::wstring& path, DWORD attributes) {
    return SetFileAttributesW(path.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// Carries the replaced file's attributes over to the file that replaces it.
// A read-only file cannot be replaced: its mark is lifted for the rename and
// put back should the rename fail.
class AttributesCarriedOver {
  public:
    AttributesCarriedOver(const std::wstring& target, std::optional<DWORD> attributes)
        : target_(target),
          lifted_(attributes && (*attributes & FILE_ATTRIBUTE_READONLY) &&
                  SetAttributes(target, *attributes & ~FILE_ATTRIBUTE_READONLY)),
          attributes_(attributes.value_or(0)) {}
    AttributesCarriedOver(const AttributesCarriedOver&) = delete;
    AttributesCarriedOver& operator=(const AttributesCarriedOver&) = delete;
    ~AttributesCarriedOver() {
        if (lifted_ && !replaced_) {
            SetAttributes(target_, attributes_);
        }
    }
    // The new file is in place: it takes over the old one's attributes, where
    // the system lets it (the data is safe either way).
    void Replaced() {
        replaced_ = true;
        if (attributes_ != 0) {
            SetAttributes(target_, attributes_);
        }
    }

  private:
    const std::wstring& target_;
    bool lifted_;
    DWORD attributes_;
    bool replaced_ = false;
};

bool CannotRenameByHandle(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

bool ReplaceByName(const std::wstring& written, const std::wstring& target) {
    return MoveFileExW(written.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

std::wstring TemporaryName(const std::wstring& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    return folder + L".segweld-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L"-" + std::to_wstring(attempt) + L".tmp";
}

}  // namespace

HiddenOutput::HiddenOutput(std::string finalPath)
    : native_(std::make_unique<Native>()), finalPath_(std::move(finalPath)) {
    native_->target = LinkTarget(WidenOrFail(finalPath_, finalPath_));
    const std::wstring folder = WidenOrFail(FolderOf(Narrow(native_->target)), finalPath_);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = TemporaryName(folder, attempt);
        HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            Fail("Cannot create the output file " + finalPath_ + " in " + Narrow(folder), error);
        }
        native_->handle = handle;
        native_->temporary = name;
        if (!MarkForDeletion(handle, true)) {
            const DWORD error = GetLastError();
            Abandon();
            Fail("Cannot create the output file " + finalPath_, error);
        }
        return;
    }
    Fail("Cannot create the output file " + finalPath_, ERROR_FILE_EXISTS);
}

HiddenOutput::HiddenOutput(std::string finalPath, const std::string& partialName)
    : native_(std::make_unique<Native>()), finalPath_(std::move(finalPath)) {
    native_->target = LinkTarget(WidenOrFail(finalPath_, finalPath_));
    const std::wstring name = WidenOrFail(FolderOf(Narrow(native_->target)), finalPath_) +
                              WidenOrFail(partialName, finalPath_);
    // Shared with readers only: while another process writes the file, the
    // open fails before CREATE_ALWAYS empties anything (on a network share
    // too, whose server keeps the share modes).
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            throw OutputInUse("another process is writing " + Narrow(name));
        }
        Fail("Cannot create the output file " + Narrow(name), error);
    }
    native_->handle = handle;
    native_->temporary = name;
}

HiddenOutput::~HiddenOutput() {
    Abandon();
}

void HiddenOutput::Abandon() noexcept {
    if (done_) {
        return;
    }
    done_ = true;
    if (native_->handle != INVALID_HANDLE_VALUE) {
        MarkForDeletion(native_->handle, true);
        CloseHandle(native_->handle);
        native_->handle = INVALID_HANDLE_VALUE;
    }
    // Gone with the handle unless the mark was cleared for a commit that failed.
    DeleteFileW(native_->temporary.c_str());
}

void HiddenOutput::Append(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(native_->handle, bytes.data(), want, &written, nullptr)) {
            Fail("Cannot write the output file " + finalPath_, GetLastError());
        }
        if (written == 0) {
            Fail("Cannot write the output file " + finalPath_, ERROR_DISK_FULL);
        }
        bytes = bytes.subspan(written);
        size_ += written;
    }
}

void HiddenOutput::AppendZeros(uint64_t count) {
    if (count == 0) {
        return;
    }
    // Moving the end of the file fills the gap with zeros.
    const uint64_t end = size_ + count;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(end);
    if (!SetFilePointerEx(native_->handle, position, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(native_->handle)) {
        Fail("Cannot write the output file " + finalPath_, GetLastError());
    }
    size_ = end;
}

uint64_t HiddenOutput::AppendFrom(const InputFile& source, uint64_t offset, uint64_t length) {
    return CopyThroughBuffer(source, offset, length);
}

namespace {

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

}  // namespace

void HiddenOutput::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        OVERLAPPED at = At(offset + done);
        DWORD written = 0;
        if (!WriteFile(native_->handle, bytes.data() + done, want, &written, &at)) {
            Fail("Cannot write the output file " + finalPath_, GetLastError());
        }
        if (written == 0) {
            Fail("Cannot write the output file " + finalPath_, ERROR_DISK_FULL);
        }
        done += written;
    }
    size_ = std::max(size_, offset + bytes.size());
}

size_t HiddenOutput::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
        OVERLAPPED at = At(offset + done);
        DWORD got = 0;
        if (!ReadFile(native_->handle, out.data() + done, want, &got, &at)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            throw ReadError("Cannot read the output file " + finalPath_ + ": " + SystemText(error));
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

void HiddenOutput::Resize(uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(native_->handle, FileEndOfFileInfo, &end, sizeof end)) {
        Fail("Cannot write the output file " + finalPath_, GetLastError());
    }
    size_ = size;
}

std::string HiddenOutput::NameForLibrary() {
    return Narrow(native_->temporary);
}

void HiddenOutput::TakeSizeWritten() {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(native_->handle, &size)) {
        Fail("Cannot look at the output file " + finalPath_, GetLastError());
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
}

void HiddenOutput::Commit() {
    if (done_) {
        throw OutputError("The output file " + finalPath_ + " was already finished");
    }
    Native& native = *native_;
    if (!FlushFileBuffers(native.handle) || !MarkForDeletion(native.handle, false)) {
        Fail("Cannot write the output file " + finalPath_, GetLastError());
    }
    AttributesCarriedOver carried(native.target, AttributesToKeep(native.target));
    if (RenameByHandle(native.handle, native.target)) {
        carried.Replaced();
        CloseHandle(native.handle);
        native.handle = INVALID_HANDLE_VALUE;
        done_ = true;
        return;
    }
    DWORD error = GetLastError();
    if (CannotRenameByHandle(error)) {
        // Systems without a rename by handle: by name, once the file is closed.
        CloseHandle(native.handle);
        native.handle = INVALID_HANDLE_VALUE;
        if (ReplaceByName(native.temporary, native.target)) {
            carried.Replaced();
            done_ = true;
            return;
        }
        error = GetLastError();
    }
    Fail("Cannot create the output file " + finalPath_, error);
}

std::vector<std::string> RemoveAbandonedOutputs(const std::string&) {
    return {};
}

std::string CommitFolder(const std::string& finalPath) {
    return FolderOf(Narrow(LinkTarget(WidenOrFail(finalPath, finalPath))));
}

void CommitFinishedFile(const std::string& writtenPath, const std::string& finalPath) {
    const std::wstring target = LinkTarget(WidenOrFail(finalPath, finalPath));
    AttributesCarriedOver carried(target, AttributesToKeep(target));
    if (!ReplaceByName(WidenOrFail(writtenPath, finalPath), target)) {
        Fail("Cannot create the output file " + finalPath, GetLastError());
    }
    carried.Replaced();
}

}  // namespace segweld::os

namespace segweld::os {

struct AppendingFile::Native {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

AppendingFile::AppendingFile(std::string path)
    : native_(std::make_unique<Native>()), path_(std::move(path)) {
    // Shared for reading and for deletion, so that the file can be moved away
    // while open, but not for writing: a second writer is refused.
    Handle handle(CreateFileW(WidenOrFail(path_, path_).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) {
            throw OutputInUse("another process is writing " + path_);
        }
        Fail("Cannot open " + path_ + " to append to it", error);
    }
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
        throw OutputError("Cannot append to " + path_ + ": not a regular file");
    }
    PathInfo info;
    Describe(handle.get(), info);
    identity_ = info.identity;
    native_->handle = handle.release();
}

AppendingFile::~AppendingFile() {
    if (native_->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(native_->handle);
    }
}

void AppendingFile::Append(std::span<const uint8_t> bytes) {
    LARGE_INTEGER before;
    if (!GetFileSizeEx(native_->handle, &before)) {
        Fail("Cannot write " + path_, GetLastError());
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        // Offsets of all ones: at the end of the file, wherever another writer left it.
        OVERLAPPED atEnd{};
        atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
        const bool wrote = WriteFile(native_->handle, bytes.data() + done, want, &written, &atEnd);
        if (!wrote || written == 0) {
            const DWORD error = wrote ? ERROR_DISK_FULL : GetLastError();
            // Nothing of a record that did not fit stays behind.
            FILE_END_OF_FILE_INFO end{before};
            SetFileInformationByHandle(native_->handle, FileEndOfFileInfo, &end, sizeof end);
            Fail("Cannot write " + path_, error);
        }
        done += written;
    }
}

}  // namespace segweld::os
