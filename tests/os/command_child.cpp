// A program for the tests of os::RunCommand to run, the same on every system:
//   command_child exit N              ends with exit status N
//   command_child sleep MS            sleeps, then ends with 0
//   command_child args FILE ARG...    writes each ARG to FILE, one a line
//   command_child spawn FILE MS       starts "command_child touch FILE MS" through
//                                     the shell, in its own group or job, and sleeps
//   command_child touch FILE MS       sleeps MS, then makes FILE
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "os/native_path.h"
#include "os/process.h"

namespace {

void Sleep(const char* milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(milliseconds)));
}

}  // namespace

int main(int argc, char** argv) {
    argv = segweld::os::Utf8Arguments(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc == 3) {
        return std::stoi(argv[2]);
    }
    if (mode == "sleep" && argc == 3) {
        Sleep(argv[2]);
        return 0;
    }
    if (mode == "args" && argc >= 3) {
        std::ofstream out(segweld::os::PathOf(argv[2]), std::ios::binary);
        for (int i = 3; i < argc; ++i) {
            out << argv[i] << '\n';
        }
        return out ? 0 : 1;
    }
    if (mode == "spawn" && argc == 4) {
        std::string command =
            std::string("\"") + argv[0] + "\" touch \"" + argv[2] + "\" " + argv[3];
#ifdef _WIN32
        command = "\"" + command + "\"";  // cmd /c takes off the outer quotes
#endif
        std::thread([command] { return std::system(command.c_str()); }).detach();
        Sleep("60000");
        return 0;
    }
    if (mode == "touch" && argc == 4) {
        Sleep(argv[3]);
        std::ofstream(segweld::os::PathOf(argv[2])) << "survived\n";
        return 0;
    }
    return 2;
}
