// Feeds arbitrary bytes to the decompressor as a stored segment file and checks
// what must hold for any input: a short read only where the content ended, a
// reason exactly when it ended badly, nothing more once it has ended, and the
// content never more than was asked for. The first byte picks the compression,
// the next two how the file is delivered and read in pieces.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "unpack/compression.h"
#include "unpack/decompressor.h"

namespace {

using segweld::unpack::Compression;
using segweld::unpack::Decompressor;

// More content than this is what a segment's header could never promise.
constexpr size_t kContentCap = 8 << 20;

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const Compression compression = segweld::unpack::kCompressions[data[0] % 3];
    const size_t deliveryPiece = 1 + data[1] * 64u;
    const size_t readPiece = 1 + data[2] * 512u;
    std::span<const uint8_t> file(data + 3, size - 3);

    Decompressor decompressor(compression, [&](std::span<uint8_t> into) {
        const size_t count = std::min({into.size(), file.size(), deliveryPiece});
        std::memcpy(into.data(), file.data(), count);
        file = file.subspan(count);
        return count;
    });
    std::vector<uint8_t> out(readPiece);
    size_t content = 0;
    while (content < kContentCap) {
        const size_t got = decompressor.Read(out);
        Require(got <= out.size());
        content += got;
        if (got < out.size()) {
            Require(decompressor.ending() != Decompressor::Ending::NotYet);
            break;
        }
    }
    const auto ending = decompressor.ending();
    const bool badly =
        ending == Decompressor::Ending::Truncated || ending == Decompressor::Ending::Corrupt;
    Require(decompressor.fault().empty() != badly);
    if (ending != Decompressor::Ending::NotYet) {
        Require(decompressor.Read(out) == 0 && decompressor.ending() == ending);
    }
    return 0;
}
