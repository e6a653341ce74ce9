#include "app/dialog_mode.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program_module.h"
#include "app/usage.h"
#include "os/process.h"

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

#if defined(SEGWELD_HAS_DIALOG) && defined(SEGWELD_DISPLAY_IN_ENVIRONMENT)

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

#endif

}  // namespace

int RunDialogMode(int argc, char** argv) {
#ifndef SEGWELD_HAS_DIALOG
    (void)argc;
    (void)argv;
    return NoDialog("this build has no dialog");
#else
#ifdef SEGWELD_DISPLAY_IN_ENVIRONMENT
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        return NoDialog("no display is available for the dialog");
    }
#endif
    const std::string modulePath = FindProgramModule(SEGWELD_DIALOG_MODULE);
    if (modulePath.empty()) {
#ifdef SEGWELD_DIALOG_PACKAGE
        return NoDialog("the dialog is not installed (package " SEGWELD_DIALOG_PACKAGE ")");
#else
        return NoDialog("the dialog module " SEGWELD_DIALOG_MODULE " is not installed");
#endif
    }
    std::string error;
    // The module stays loaded until the process ends.
    static std::unique_ptr<os::LoadedModule> module = os::LoadedModule::Load(modulePath, error);
    if (module == nullptr) {
        return NoDialog("the dialog cannot be loaded: " + error);
    }
    const auto run = reinterpret_cast<DialogEntry>(module->Symbol(kDialogEntryName));
    if (run == nullptr) {
        return NoDialog(std::string("the dialog cannot be loaded: no entry ") + kDialogEntryName);
    }
    const int status = run(argc, argv);
    return status == kDialogNoDisplay ? NoDialog("no display is available for the dialog") : status;
#endif
}

}  // namespace segweld
