#include "geo/output_file_vsi.h"

#include <cpl_vsi.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace segweld::geo {
namespace {

constexpr const char* kPrefix = "/vsisegweld/";

// A registered output: the file, and the first failure of its I/O.
struct Entry {
    os::HiddenOutput* output = nullptr;
    std::mutex mutex;
    std::string failure;
};

// One open handle of an entry, with its own position.
struct Handle {
    Entry* entry = nullptr;
    uint64_t position = 0;
    bool atEnd = false;
};

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, Entry>& Registry() {
    static std::map<std::string, Entry> entries;
    return entries;
}

Entry* Find(const char* name) {
    std::lock_guard lock(RegistryMutex());
    const auto found = Registry().find(name);
    return found == Registry().end() ? nullptr : &found->second;
}

void NoteFailure(Entry& entry, const std::exception& failure) {
    if (entry.failure.empty()) {
        entry.failure = failure.what();
    }
}

void* Open(void*, const char* name, const char* access) {
    Entry* entry = Find(name);
    if (entry == nullptr || std::strchr(access, 'a') != nullptr) {
        errno = ENOENT;
        return nullptr;
    }
    if (std::strchr(access, 'w') != nullptr) {
        std::lock_guard lock(entry->mutex);
        try {
            entry->output->Resize(0);
        } catch (const std::exception& failure) {
            NoteFailure(*entry, failure);
            errno = EIO;
            return nullptr;
        }
    }
    return new Handle{entry};
}

int Stat(void*, const char* name, VSIStatBufL* status, int) {
    Entry* entry = Find(name);
    if (entry == nullptr) {
        errno = ENOENT;
        return -1;
    }
    std::lock_guard lock(entry->mutex);
    std::memset(status, 0, sizeof *status);
    status->st_mode = S_IFREG | 0644;
    status->st_size = static_cast<decltype(status->st_size)>(entry->output->size());
    return 0;
}

vsi_l_offset Tell(void* file) {
    return static_cast<Handle*>(file)->position;
}

int Seek(void* file, vsi_l_offset offset, int whence) {
    auto* handle = static_cast<Handle*>(file);
    uint64_t base = 0;
    if (whence == SEEK_CUR) {
        base = handle->position;
    } else if (whence == SEEK_END) {
        std::lock_guard lock(handle->entry->mutex);
        base = handle->entry->output->size();
    }
    handle->position = base + offset;
    handle->atEnd = false;
    return 0;
}

size_t Read(void* file, void* buffer, size_t size, size_t count) {
    auto* handle = static_cast<Handle*>(file);
    if (size == 0 || count == 0) {
        return 0;
    }
    std::lock_guard lock(handle->entry->mutex);
    try {
        const size_t got = handle->entry->output->ReadAt(
            handle->position, std::span(static_cast<uint8_t*>(buffer), size * count));
        handle->position += got;
        handle->atEnd = got < size * count;
        return got / size;
    } catch (const std::exception& failure) {
        NoteFailure(*handle->entry, failure);
        return 0;
    }
}

size_t Write(void* file, const void* buffer, size_t size, size_t count) {
    auto* handle = static_cast<Handle*>(file);
    std::lock_guard lock(handle->entry->mutex);
    try {
        handle->entry->output->WriteAt(
            handle->position, std::span(static_cast<const uint8_t*>(buffer), size * count));
        handle->position += size * count;
        return count;
    } catch (const std::exception& failure) {
        NoteFailure(*handle->entry, failure);
        return 0;
    }
}

int Eof(void* file) {
    return static_cast<Handle*>(file)->atEnd ? 1 : 0;
}

int Flush(void*) {
    return 0;
}

int Truncate(void* file, vsi_l_offset size) {
    auto* handle = static_cast<Handle*>(file);
    std::lock_guard lock(handle->entry->mutex);
    try {
        handle->entry->output->Resize(size);
        return 0;
    } catch (const std::exception& failure) {
        NoteFailure(*handle->entry, failure);
        return -1;
    }
}

int Close(void* file) {
    delete static_cast<Handle*>(file);
    return 0;
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        VSIFilesystemPluginCallbacksStruct* callbacks = VSIAllocFilesystemPluginCallbacksStruct();
        callbacks->open = Open;
        callbacks->stat = Stat;
        callbacks->tell = Tell;
        callbacks->seek = Seek;
        callbacks->read = Read;
        callbacks->write = Write;
        callbacks->eof = Eof;
        callbacks->flush = Flush;
        callbacks->truncate = Truncate;
        callbacks->close = Close;
        VSIInstallPluginHandler(kPrefix, callbacks);
        VSIFreeFilesystemPluginCallbacksStruct(callbacks);
    });
}

}  // namespace

GdalOutputFile::GdalOutputFile(os::HiddenOutput& output) {
    InstallOnce();
    static std::atomic<unsigned> counter{0};
    const std::string& path = output.finalPath();
    const size_t slash = path.find_last_of("/\\");
    const std::string key = std::to_string(counter.fetch_add(1)) + "/" +
                            path.substr(slash == std::string::npos ? 0 : slash + 1);
    {
        std::lock_guard lock(RegistryMutex());
        Registry()[key].output = &output;
    }
    name_ = kPrefix + key;
}

GdalOutputFile::~GdalOutputFile() {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(name_.substr(std::strlen(kPrefix)));
}

std::string GdalOutputFile::failure() const {
    Entry* entry = Find(name_.c_str() + std::strlen(kPrefix));
    if (entry == nullptr) {
        return "";
    }
    std::lock_guard lock(entry->mutex);
    return entry->failure;
}

}  // namespace segweld::geo
