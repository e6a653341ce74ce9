#pragma once

#include <string>

namespace segweld {

// Opens the folder of `file` in the desktop's file manager: Explorer with the
// file selected on Windows, xdg-open elsewhere. The file manager runs on its
// own. False, with `error` set, when it could not be started.
bool ShowInFolder(const std::string& file, std::string& error);

}  // namespace segweld
