#pragma once

// The C library's standard output and error, led through a pipe to a thread
// that hands what arrives to a sink in whole UTF-8 characters (Windows only).
// Under it the C library may write a line in as many pieces as it likes; the
// sink never sees a character cut in two.

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace segweld::os {

class StreamRelay {
  public:
    using Sink = std::function<void(std::string_view)>;

    // Leads the descriptors `descriptors` (1, 2 or both) into the relay.
    // With `forChildren`, the process's standard output and error handles
    // lead there too, so that the programs it starts write into it; else they
    // stay as they were. Nullptr when the pipe cannot be made.
    static std::unique_ptr<StreamRelay> Start(const std::vector<int>& descriptors, Sink sink,
                                              bool forChildren);
    StreamRelay(const StreamRelay&) = delete;
    StreamRelay& operator=(const StreamRelay&) = delete;
    // Finish(), where it was not called.
    ~StreamRelay();

    // Flushes the C streams, gives the descriptors and handles back, and
    // waits up to twice `waitMs` for what was written to reach the sink.
    // False when the thread is still at work (a program started holds the
    // pipe): the relay must then be left alive, never destroyed.
    bool Finish(DWORD waitMs);

    bool Relays(int descriptor) const;

  private:
    struct Taken {
        int descriptor;
        int saved;  // a duplicate of what it led to before
    };

    StreamRelay() = default;
    static DWORD WINAPI Pump(void* relay);
    void PumpAll();

    Sink sink_;
    HANDLE read_ = nullptr;
    HANDLE childWrite_ = nullptr;
    HANDLE thread_ = nullptr;
    std::vector<Taken> taken_;
    bool finished_ = false;
};

// How much of `text` holds whole UTF-8 sequences: all of it, unless it ends
// within a sequence that has begun.
size_t WholeUtf8Prefix(std::string_view text);

}  // namespace segweld::os
