#pragma once

#include <cstdint>
#include <vector>

namespace segweld::test {

// The pixels of a rectangle of the X screen as it stands, three bytes (red,
// green, blue) a pixel, row by row; empty when the display cannot be read.
std::vector<uint8_t> GrabScreen(int x, int y, int width, int height);

}  // namespace segweld::test
