#include "join/decompressed_buf.h"

namespace segweld {
namespace {

// Enough for the largest header and the two bytes after it, so that the
// header reader's steps back stay inside the first window.
constexpr size_t kWindow = 256 << 10;

}  // namespace

DecompressedBuf::DecompressedBuf(const os::InputFile& file, unpack::Compression compression)
    : file_(file), compression_(compression), window_(kWindow) {
    Restart();
}

void DecompressedBuf::Restart() {
    compressedOffset_ = 0;
    windowStart_ = 0;
    fault_.clear();
    setg(window(), window(), window());
    decompressor_.emplace(compression_, [this](std::span<uint8_t> into) {
        const size_t got = file_.ReadAt(compressedOffset_, into);
        compressedOffset_ += got;
        return got;
    });
}

bool DecompressedBuf::NextWindow() {
    windowStart_ += static_cast<uint64_t>(egptr() - eback());
    const size_t got = decompressor_ ? decompressor_->Read(window_) : 0;
    setg(window(), window(), window() + got);
    if (decompressor_ && decompressor_->ending() != unpack::Decompressor::Ending::NotYet) {
        fault_ = decompressor_->fault();
        decompressor_.reset();
    }
    return got > 0;
}

bool DecompressedBuf::MoveTo(uint64_t offset) {
    if (offset < windowStart_) {
        Restart();
    }
    while (offset > windowStart_ + static_cast<uint64_t>(egptr() - eback())) {
        if (!NextWindow()) {
            return false;
        }
    }
    setg(eback(), eback() + (offset - windowStart_), egptr());
    return true;
}

std::span<const uint8_t> DecompressedBuf::Available() {
    if (gptr() == egptr()) {
        NextWindow();
    }
    return {reinterpret_cast<const uint8_t*>(gptr()), static_cast<size_t>(egptr() - gptr())};
}

DecompressedBuf::int_type DecompressedBuf::underflow() {
    if (gptr() == egptr() && readError_.empty()) {
        try {
            NextWindow();
        } catch (const os::ReadError& error) {
            readError_ = error.what();
        }
    }
    return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

DecompressedBuf::pos_type DecompressedBuf::seekoff(off_type offset, std::ios::seekdir dir,
                                                   std::ios::openmode) {
    const off_type base = dir == std::ios::cur ? static_cast<off_type>(position()) : 0;
    if (dir == std::ios::end || base + offset < 0 || !readError_.empty()) {
        return pos_type(off_type(-1));
    }
    const auto target = static_cast<uint64_t>(base + offset);
    try {
        return MoveTo(target) ? pos_type(off_type(target)) : pos_type(off_type(-1));
    } catch (const os::ReadError& error) {
        readError_ = error.what();
        return pos_type(off_type(-1));
    }
}

DecompressedBuf::pos_type DecompressedBuf::seekpos(pos_type position, std::ios::openmode which) {
    return seekoff(off_type(position), std::ios::beg, which);
}

}  // namespace segweld
