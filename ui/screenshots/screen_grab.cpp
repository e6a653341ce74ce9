// Kept apart from everything that includes wxWidgets: Xlib's macros (None,
// Status, Bool) collide with names there.
#include "ui/screenshots/screen_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>

namespace segweld::test {
namespace {

uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const unsigned long value = (pixel & mask) >> std::countr_zero(mask);
    const unsigned long top = mask >> std::countr_zero(mask);
    return static_cast<uint8_t>(value * 255 / top);
}

}  // namespace

// The root window as the server composes it, windows of other clients and
// their window manager frames included.
std::vector<uint8_t> GrabScreen(int x, int y, int width, int height) {
    std::vector<uint8_t> rgb;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return rgb;
    }
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image != nullptr) {
        rgb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const unsigned long pixel = XGetPixel(image, column, row);
                rgb.push_back(Channel(pixel, image->red_mask));
                rgb.push_back(Channel(pixel, image->green_mask));
                rgb.push_back(Channel(pixel, image->blue_mask));
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return rgb;
}

}  // namespace segweld::test
