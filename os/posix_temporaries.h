#pragma once

// The names of the named temporaries open in this process, kept where a
// signal handler may read them: fixed slots, no allocation, no locks.

namespace segweld::os {

// Keeps `name` for removal on interrupt; returns its slot, or -1 when the
// table is full or the name too long (that file is then not removed).
int RegisterTemporary(const char* name) noexcept;
// Drops the name in `slot` (nothing for -1).
void ForgetTemporary(int slot) noexcept;
// Unlinks every name kept; async-signal-safe.
void UnlinkRegisteredTemporaries() noexcept;

}  // namespace segweld::os
