// GTK on X ends the process from Xlib's I/O error handler when the connection
// to the X server breaks, without unwinding anything; the handler installed
// here removes the named temporaries first, then lets GTK's end the process.

#include <X11/Xlib.h>

#include "os/process.h"
#include "ui/display_loss.h"

namespace segweld {
namespace {

XIOErrorHandler toolkitHandler = nullptr;
bool installed = false;

int RemoveTemporariesThenEnd(Display* display) {
    os::RemoveOpenTemporaries();
    // Xlib ends the process itself when there was no handler before.
    return toolkitHandler != nullptr ? toolkitHandler(display) : 0;
}

}  // namespace

void RemoveTemporariesWhenTheDisplayIsLost() {
    if (!installed) {
        toolkitHandler = XSetIOErrorHandler(RemoveTemporariesThenEnd);
        installed = true;
    }
}

}  // namespace segweld
