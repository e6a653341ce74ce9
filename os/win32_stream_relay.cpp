#include "os/win32_stream_relay.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace segweld::os {
namespace {

constexpr DWORD kPipeBytes = 64 * 1024;

DWORD StandardHandleNumber(int descriptor) {
    return descriptor == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

}  // namespace

size_t WholeUtf8Prefix(std::string_view text) {
    size_t start = text.size();
    size_t continuations = 0;
    while (continuations < 3 && start > 0 &&
           (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
        ++continuations;
    }
    if (start == 0) {
        return text.size();
    }
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > 1 && continuations + 1 < length ? start - 1 : text.size();
}

std::unique_ptr<StreamRelay> StreamRelay::Start(const std::vector<int>& descriptors, Sink sink,
                                                bool forChildren) {
    std::unique_ptr<StreamRelay> relay(new StreamRelay);
    relay->sink_ = std::move(sink);
    HANDLE write = nullptr;
    if (!CreatePipe(&relay->read_, &write, nullptr, kPipeBytes)) {
        return nullptr;
    }
    const int pipe = _open_osfhandle(reinterpret_cast<intptr_t>(write), _O_TEXT | _O_WRONLY);
    if (pipe < 0) {
        CloseHandle(write);
        return nullptr;
    }
    if (forChildren) {
        DuplicateHandle(GetCurrentProcess(), write, GetCurrentProcess(), &relay->childWrite_, 0,
                        TRUE, DUPLICATE_SAME_ACCESS);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    for (const int descriptor : descriptors) {
        // Kept open, since leading the descriptor into the pipe closes what
        // it led to; the standard handle that the programs started get stays
        // on it, unless they are to write into the relay too.
        const int saved = _dup(descriptor);
        if (saved < 0 || _dup2(pipe, descriptor) != 0) {
            continue;
        }
        relay->taken_.push_back({descriptor, saved});
        SetStdHandle(StandardHandleNumber(descriptor),
                     forChildren && relay->childWrite_ != nullptr
                         ? relay->childWrite_
                         : reinterpret_cast<HANDLE>(_get_osfhandle(saved)));
    }
    _close(pipe);
    if (relay->Relays(1)) {
        setvbuf(stdout, nullptr, _IONBF, 0);  // written as it comes, as on a console
    }
    relay->thread_ = CreateThread(nullptr, 0, &StreamRelay::Pump, relay.get(), 0, nullptr);
    if (relay->thread_ == nullptr) {
        relay->Finish(0);
        return nullptr;
    }
    return relay;
}

StreamRelay::~StreamRelay() {
    if (!Finish(1000)) {
        // Only where an owner did not keep a relay that Finish() left at work.
        TerminateThread(thread_, 0);
        CloseHandle(thread_);
        CloseHandle(read_);
    }
}

bool StreamRelay::Relays(int descriptor) const {
    for (const Taken& taken : taken_) {
        if (taken.descriptor == descriptor) {
            return !finished_;
        }
    }
    return false;
}

DWORD WINAPI StreamRelay::Pump(void* relay) {
    static_cast<StreamRelay*>(relay)->PumpAll();
    return 0;
}

void StreamRelay::PumpAll() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(read_, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            break;  // every writing end is closed
        }
        pending.append(buffer, got);
        // What is already on its way goes out together with this.
        DWORD waiting = 0;
        if (PeekNamedPipe(read_, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
            pending.size() < kPipeBytes) {
            continue;
        }
        const size_t whole = WholeUtf8Prefix(pending);
        if (whole > 0) {
            sink_(std::string_view(pending).substr(0, whole));
            pending.erase(0, whole);
        }
    }
    if (!pending.empty()) {
        sink_(pending);
    }
}

bool StreamRelay::Finish(DWORD waitMs) {
    if (finished_) {
        return true;
    }
    finished_ = true;
    std::fflush(stdout);
    std::fflush(stderr);
    for (const Taken& taken : taken_) {
        _dup2(taken.saved, taken.descriptor);
        _close(taken.saved);
        SetStdHandle(StandardHandleNumber(taken.descriptor),
                     reinterpret_cast<HANDLE>(_get_osfhandle(taken.descriptor)));
    }
    if (childWrite_ != nullptr) {
        CloseHandle(childWrite_);
    }
    if (thread_ != nullptr) {
        // A program started that still holds the pipe would keep it open.
        if (WaitForSingleObject(thread_, waitMs) != WAIT_OBJECT_0) {
            CancelSynchronousIo(thread_);
            if (WaitForSingleObject(thread_, waitMs) != WAIT_OBJECT_0) {
                return false;
            }
        }
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    CloseHandle(read_);
    read_ = nullptr;
    return true;
}

}  // namespace segweld::os
