// The screen of Windows (or of Wine's desktop) as the system composes it.
#include <windows.h>

#include "ui/screenshots/screen_grab.h"

namespace segweld::test {

std::vector<uint8_t> GrabScreen(int x, int y, int width, int height) {
    std::vector<uint8_t> rgb;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) &&
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bgra.data(), &info,
                  DIB_RGB_COLORS) == height) {
        rgb.reserve(bgra.size() / 4 * 3);
        for (size_t i = 0; i < bgra.size(); i += 4) {
            rgb.insert(rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rgb;
}

}  // namespace segweld::test
