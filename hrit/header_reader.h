#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <span>

#include "hrit/header_records.h"
#include "hrit/hrit_header.h"

namespace segweld {

// Why the last ReadHeader refused a header.
enum class HeaderRefusal {
    None,
    TooShort,          // fewer than 16 bytes
    NotPrimaryRecord,  // the file does not begin with a 16-byte record of type 0
    LengthOutOfRange,  // total header length outside 10 to 10000
    EndsInsideHeader,  // the file ends before its header does
};

const char* DescribeRefusal(HeaderRefusal refusal);

// Reads the HRIT/LRIT header at the start of a segment file and keeps the
// record of the header it accepted last.
class CHritHeaderReader {
  public:
    static constexpr int32_t kMinHeaderLength = 10;
    static constexpr int32_t kMaxHeaderLength = 10000;

    CHritHeaderReader() = default;
    explicit CHritHeaderReader(UnexpectedTypeReport report) : report_(std::move(report)) {}
    virtual ~CHritHeaderReader() = default;

    // Takes a binary stream standing at the first byte of a segment file.
    // Returns the total header length (10 to 10000) when the header was accepted
    // and decoded; the stream then stands at the first byte of the data field.
    // Returns 0 for a file without an acceptable header, including one that ends
    // before its header does; the record then keeps the previous header.
    uint32_t ReadHeader(std::istream& stream);
    // Accepts the header that `other` accepted last, as ReadHeader would
    // have read it, without reading: its records are decoded again with this
    // reader's report of unexpected types. Returns its total header length.
    uint32_t TakeHeader(const CHritHeaderReader& other);

    const HritHeader& header() const { return header_; }
    // The bytes of the header accepted last, as read; until the next
    // ReadHeader, which may overwrite them even when it refuses.
    std::span<const uint8_t> headerBytes() const { return {buffer_.data(), headerLength_}; }
    uint32_t headerLength() const { return headerLength_; }
    // Why the last call returned 0; None after one that accepted.
    HeaderRefusal refusal() const { return refusal_; }

  private:
    // Accepts the header of `total` bytes decoded into header_, with the
    // first bytes of the data field in dataStart_.
    uint32_t Accept(int32_t total);
    uint32_t Refuse(HeaderRefusal refusal) {
        refusal_ = refusal;
        return 0;
    }

    HritHeader header_{};
    uint32_t headerLength_ = 0;
    HeaderRefusal refusal_ = HeaderRefusal::None;
    UnexpectedTypeReport report_ = PrintUnexpectedType;
    std::array<uint8_t, kMaxHeaderLength> buffer_;
    // The first bytes of the data field, which tell JPEG and wavelet data.
    std::array<uint8_t, 2> dataStart_{};
    std::streamsize dataStartLength_ = 0;
};

}  // namespace segweld
