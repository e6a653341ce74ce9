#include <windows.h>

#include "app/message_box.h"
#include "os/win32_text.h"

namespace segweld {

// The GUI program's message box: a real one, owned by nobody, with one OK
// button, as the start-up checks show it on Windows.
void MessageBoxLine(const std::string& text, const std::string& caption) {
    const std::wstring wideText = os::Widen(text).value_or(L"?");
    const std::wstring wideCaption = os::Widen(caption).value_or(L"segweld");
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
}

}  // namespace segweld
