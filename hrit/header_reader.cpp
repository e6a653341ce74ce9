#include "hrit/header_reader.h"

#include <algorithm>

#include "hrit/big_endian_reader.h"
#include "hrit/channel.h"

namespace segweld {
namespace {

constexpr std::streamsize kPrimaryRecordLength = 16;

// Reads up to `count` bytes; returns how many arrived.
std::streamsize ReadBytes(std::istream& stream, uint8_t* out, std::streamsize count) {
    stream.read(reinterpret_cast<char*>(out), count);
    return stream.gcount();
}

// Moves the stream back over bytes just read, clearing the end-of-file and
// failed states that a short read leaves, so it stands where it stood before.
void StepBack(std::istream& stream, std::streamsize count) {
    stream.clear(stream.rdstate() & std::ios::badbit);
    if (count > 0) {
        stream.seekg(-count, std::ios::cur);
    }
}

char CompressionKind(const uint8_t* first, std::streamsize count) {
    if (count == 2 && first[0] == 0xFF && first[1] == 0x01) {
        return 'w';
    }
    if (count == 2 && first[0] == 0xFF && first[1] == 0xD8) {
        return 'j';
    }
    return '?';
}

}  // namespace

const char* DescribeRefusal(HeaderRefusal refusal) {
    switch (refusal) {
        case HeaderRefusal::None:
            return "accepted";
        case HeaderRefusal::TooShort:
            return "the file is shorter than a primary header record (16 bytes)";
        case HeaderRefusal::NotPrimaryRecord:
            return "the file does not begin with a primary header record";
        case HeaderRefusal::LengthOutOfRange:
            return "the total header length is outside 10 to 10000 bytes";
        case HeaderRefusal::EndsInsideHeader:
            return "the file ends inside its header";
    }
    return "unknown";
}

uint32_t CHritHeaderReader::ReadHeader(std::istream& stream) {
    uint8_t probe[kPrimaryRecordLength];
    const std::streamsize probed = ReadBytes(stream, probe, kPrimaryRecordLength);
    StepBack(stream, probed);
    if (probed < kPrimaryRecordLength) {
        return Refuse(HeaderRefusal::TooShort);
    }
    const BigEndianReader primary(probe, sizeof probe);
    if (primary.U8(0) != 0 || primary.U16(1) != kPrimaryRecordLength) {
        return Refuse(HeaderRefusal::NotPrimaryRecord);
    }
    const int32_t total = primary.I32(4);
    if (total < kMinHeaderLength || total > kMaxHeaderLength) {
        return Refuse(HeaderRefusal::LengthOutOfRange);
    }

    const std::streamsize read = ReadBytes(stream, buffer_.data(), total);
    if (read < total) {
        StepBack(stream, read);
        return Refuse(HeaderRefusal::EndsInsideHeader);
    }
    DecodeHeaderRecords(buffer_.data(), total, header_, report_);
    dataStartLength_ = 0;
    if (header_.fileTypeCode == 0) {
        dataStartLength_ = ReadBytes(stream, dataStart_.data(), dataStart_.size());
        StepBack(stream, dataStartLength_);
    }
    return Accept(total);
}

uint32_t CHritHeaderReader::TakeHeader(const CHritHeaderReader& other) {
    const auto total = static_cast<int32_t>(other.headerLength_);
    std::copy_n(other.buffer_.begin(), total, buffer_.begin());
    dataStart_ = other.dataStart_;
    dataStartLength_ = other.dataStartLength_;
    DecodeHeaderRecords(buffer_.data(), total, header_, report_);
    return Accept(total);
}

uint32_t CHritHeaderReader::Accept(int32_t total) {
    if (header_.fileTypeCode == 0) {
        header_.compressionKind = CompressionKind(dataStart_.data(), dataStartLength_);
    }
    ClassifyChannel(header_);
    headerLength_ = static_cast<uint32_t>(total);
    refusal_ = HeaderRefusal::None;
    return headerLength_;
}

}  // namespace segweld
