#include "app/program_module.h"

#include "os/file_system.h"
#include "os/process.h"

#ifndef SEGWELD_INSTALLED_MODULE_FOLDER
#define SEGWELD_INSTALLED_MODULE_FOLDER "../lib/segweld/"
#endif

namespace segweld {

std::string FindProgramModule(const std::string& fileName) {
    const std::string programFolder = os::ProgramFolder();
    if (programFolder.empty()) {
        return "";
    }
    for (const std::string& folder :
         {programFolder + SEGWELD_INSTALLED_MODULE_FOLDER, programFolder}) {
        if (os::LookAt(folder + fileName).kind == os::PathKind::RegularFile) {
            return folder + fileName;
        }
    }
    return "";
}

}  // namespace segweld
