#pragma once

// The watch as a Windows service:
//   segweld --install-service NAME --watch IN_FOLDER OUTPUT_FOLDER [options]
//   segweld --uninstall-service NAME
// and the command line the service manager starts it with,
//   segweld --service NAME FOLDER --install-service NAME --watch ...
// where FOLDER is the folder the installation was made from, against which
// relative paths are read, and the rest is the installing command's own
// arguments.

#include <string>
#include <vector>

#include "app/segweld_options.h"

namespace segweld {

// `command` is a --watch with --install-service; `arguments` are the
// program's arguments as typed.
int InstallWatchService(const SegweldCommand& command, const std::vector<std::string>& arguments);

int UninstallWatchService(const std::string& name);

// `serviceRun` holds NAME FOLDER and the watch's arguments.
int RunWatchService(const std::vector<std::string>& serviceRun);

}  // namespace segweld
