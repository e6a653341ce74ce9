#pragma once

#include <string>

namespace segweld {

// A message box of the command-line mode: one line on standard error,
// "Caption: Text".
void MessageBoxLine(const std::string& text, const std::string& caption);

}  // namespace segweld
