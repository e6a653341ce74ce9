#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>

namespace segweld {

// A seekable input stream over bytes held in memory, which it does not copy.
class MemoryStreamBuf : public std::streambuf {
  public:
    MemoryStreamBuf(const uint8_t* data, size_t size) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(begin, begin, begin + size);
    }

  protected:
    pos_type seekoff(off_type offset, std::ios::seekdir dir, std::ios::openmode) override {
        const off_type base = dir == std::ios::beg   ? 0
                              : dir == std::ios::cur ? gptr() - eback()
                                                     : egptr() - eback();
        return seekpos(pos_type(base + offset), std::ios::in);
    }

    pos_type seekpos(pos_type position, std::ios::openmode) override {
        const off_type target = off_type(position);
        if (target < 0 || target > egptr() - eback()) {
            return pos_type(off_type(-1));
        }
        setg(eback(), eback() + target, egptr());
        return position;
    }
};

class MemoryInputStream : public std::istream {
  public:
    MemoryInputStream(const uint8_t* data, size_t size)
        : std::istream(nullptr), buffer_(data, size) {
        rdbuf(&buffer_);
    }

  private:
    MemoryStreamBuf buffer_;
};

}  // namespace segweld
