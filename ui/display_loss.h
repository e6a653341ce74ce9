#pragma once

namespace segweld {

// Makes the loss of the display (the X server gone: a logout, a crash, a
// dropped ssh -X) remove the named temporaries of every join under way before
// the toolkit ends the process. Called once the toolkit has opened its
// display and before any join starts. Nothing where the system removes the
// temporaries itself (Windows).
void RemoveTemporariesWhenTheDisplayIsLost();

}  // namespace segweld
