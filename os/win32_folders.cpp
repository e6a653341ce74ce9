// Folders on Windows. Names are widened to UTF-16 at each call.

#include <windows.h>

#include "os/folders.h"
#include "os/win32_text.h"

namespace segweld::os {
namespace {

const char* const kNotUtf8 = "the name is not valid UTF-8";

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsFolder(const std::wstring& wide) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

EntryType TypeOf(const WIN32_FIND_DATAW& data) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return EntryType::Link;
    }
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder : EntryType::File;
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool MakeFoldersWide(const std::wstring& folder, std::string& error) {
    if (folder.empty() || IsFolder(folder)) {
        return true;
    }
    size_t end = folder.size();
    while (end > 0 && IsSeparator(folder[end - 1])) {
        --end;
    }
    size_t separator = end;
    while (separator > 0 && !IsSeparator(folder[separator - 1])) {
        --separator;
    }
    // Not above a drive ("C:\") or a share's root.
    if (separator > 1 && !MakeFoldersWide(folder.substr(0, separator), error)) {
        return false;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && !IsFolder(folder)) {
        error = "cannot make the folder " + Narrow(folder) + ": " + SystemText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace

FolderListing ListFolder(const std::string& folder) {
    FolderListing listing;
    const std::optional<std::wstring> wide = Widen(folder.empty() ? "." : folder);
    if (!wide) {
        listing.outcome = FolderListing::Outcome::Gone;
        listing.error = kNotUtf8;
        return listing;
    }
    std::wstring pattern = *wide;
    if (!IsSeparator(pattern.back())) {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool gone = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ||
                          error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME;
        listing.outcome = gone ? FolderListing::Outcome::Gone : FolderListing::Outcome::Unreadable;
        listing.error = SystemText(error);
        return listing;
    }
    do {
        if (!IsDotOrDotDot(data.cFileName)) {
            listing.entries.push_back({Narrow(data.cFileName), TypeOf(data)});
        }
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        listing.outcome = FolderListing::Outcome::Unreadable;
        listing.error = SystemText(error);
        listing.entries.clear();
    }
    return listing;
}

bool MakeFolders(const std::string& folder, std::string& error) {
    const std::optional<std::wstring> wide = Widen(folder);
    if (!wide) {
        error = "cannot make the folder " + folder + ": " + kNotUtf8;
        return false;
    }
    return MakeFoldersWide(*wide, error);
}

bool CanWriteInto(const std::string&, std::string&) {
    return true;  // access rights are found out by the first write
}

bool RemoveFile(const std::string& path, std::string& error) {
    const std::optional<std::wstring> wide = Widen(path);
    if (!wide) {
        error = "cannot remove " + path + ": " + kNotUtf8;
        return false;
    }
    if (!DeleteFileW(wide->c_str())) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            error = "cannot remove " + path + ": " + SystemText(code);
            return false;
        }
    }
    return true;
}

}  // namespace segweld::os
