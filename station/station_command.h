#pragma once

namespace segweld::station {

// True when the command line asks for --batch or --watch.
bool IsStationCommand(int argc, char** argv);

// Runs `segweld --batch ...` or `segweld --watch ...`; returns the exit status.
int RunStationCommand(int argc, char** argv);

}  // namespace segweld::station
