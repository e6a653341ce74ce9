#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace segweld::station {

// One of `count` disjoint parts of a folder's products: the products whose
// key's 64-bit FNV-1a hash leaves `index` when divided by `count`. The hash
// depends on the key's bytes alone, so every job of a scheduler that runs the
// same archive agrees on the parts, on any machine.
struct Shard {
    uint64_t index = 0;  // 0 to count - 1
    uint64_t count = 1;

    bool Holds(std::string_view productKey) const;
};

uint64_t Fnv1a64(std::string_view bytes);

// Parses "K/N" with 0 <= K < N; nullopt for anything else.
std::optional<Shard> ParseShard(const std::string& text);

}  // namespace segweld::station
