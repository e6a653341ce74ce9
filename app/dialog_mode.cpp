#include "app/dialog_mode.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/usage.h"

namespace segweld {
namespace {

constexpr int kExitNoDialog = 2;

int NoDialog(const std::string& why) {
    std::fprintf(stderr,
                 "segweld: %s; give a segment file and an output folder to join without one.\n\n",
                 why.c_str());
    PrintUsage(stderr);
    return kExitNoDialog;
}

#ifdef SEGWELD_HAS_DIALOG

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// The folder of the running program, with a trailing separator.
std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return "";
    }
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// The dialog module: in the installed layout's private folder, relative to the
// program's, or else beside the program, as in the build tree. Empty when
// neither exists.
std::string DialogModulePath() {
    const std::string programFolder = ProgramFolder();
    for (const std::string& folder :
         {programFolder + SEGWELD_INSTALLED_MODULE_FOLDER, programFolder}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder + kDialogModuleName, error)) {
            return folder + kDialogModuleName;
        }
    }
    return "";
}

#endif

}  // namespace

int RunDialogMode(int argc, char** argv) {
#ifndef SEGWELD_HAS_DIALOG
    (void)argc;
    (void)argv;
    return NoDialog("this build has no dialog");
#else
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        return NoDialog("no display is available for the dialog");
    }
    const std::string modulePath = DialogModulePath();
    if (modulePath.empty()) {
        return NoDialog(std::string("the dialog module ") + kDialogModuleName +
                        " is not installed");
    }
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return NoDialog(std::string("the dialog cannot be loaded: ") + dlerror());
    }
    // The module stays loaded until the process ends.
    const auto run = reinterpret_cast<DialogEntry>(dlsym(module, kDialogEntryName));
    if (run == nullptr) {
        return NoDialog(std::string("the dialog cannot be loaded: ") + dlerror());
    }
    const int status = run(argc, argv);
    return status == kDialogNoDisplay ? NoDialog("no display is available for the dialog") : status;
#endif
}

}  // namespace segweld
