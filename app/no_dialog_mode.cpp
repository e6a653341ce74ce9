#include "app/dialog_mode.h"
#include "app/usage.h"

namespace segweld {

int RunDialogMode(int, char**) {
    std::fputs("segweld: this build has no dialog; give a segment file and an output folder.\n\n",
               stderr);
    PrintUsage(stderr);
    return 2;
}

}  // namespace segweld
