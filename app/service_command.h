#pragma once

// The watch as a Windows service:
//   segweld --install-service NAME --watch IN_FOLDER OUTPUT_FOLDER [options]
//   segweld --uninstall-service NAME
// and the command line the service manager starts it with,
//   segweld --service NAME FOLDER --watch ...
// where FOLDER is the folder the installation was made from, against which
// relative paths are read.

namespace segweld {

// True when argv[1] is one of the three.
bool IsServiceCommand(int argc, char** argv);
int RunServiceCommand(int argc, char** argv);

}  // namespace segweld
