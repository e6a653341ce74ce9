#pragma once

class wxTopLevelWindow;

namespace segweld {

// Appends a separator and the item `text` with command `id` to the window's
// system menu, where the toolkit gives it one (Windows); choosing the item
// sends the window a wxEVT_MENU command event with that id. Returns false
// where there is no system menu (GTK), and the window is left as it was.
bool AppendToSystemMenu(wxTopLevelWindow& window, int id, const char* text);

}  // namespace segweld
