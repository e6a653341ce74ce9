#pragma once

#include <cstddef>
#include <cstdint>

namespace segweld {

// A read-only view of a run of bytes that decodes big-endian integers at fixed
// offsets. Every read is checked against the view's length: bytes beyond the
// end read as zero, so a record shorter than its layout never exposes the bytes
// that follow it.
class BigEndianReader {
  public:
    BigEndianReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t size() const { return size_; }

    uint8_t U8(size_t offset) const { return offset < size_ ? data_[offset] : 0; }
    uint16_t U16(size_t offset) const {
        return static_cast<uint16_t>(U8(offset) << 8 | U8(offset + 1));
    }
    uint32_t U32(size_t offset) const {
        return uint32_t{U16(offset)} << 16 | uint32_t{U16(offset + 2)};
    }
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }

    // The bytes from `offset` on, at most `length` of them, clipped to this view.
    BigEndianReader Slice(size_t offset, size_t length) const {
        if (offset >= size_) {
            return BigEndianReader(nullptr, 0);
        }
        const size_t available = size_ - offset;
        return BigEndianReader(data_ + offset, length < available ? length : available);
    }

    // Copies `count` bytes from `offset` into `out`; bytes beyond the end become zero.
    void CopyTo(size_t offset, size_t count, uint8_t* out) const {
        for (size_t i = 0; i < count; ++i) {
            out[i] = U8(offset + i);
        }
    }

  private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace segweld
