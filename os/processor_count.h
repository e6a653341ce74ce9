#pragma once

// How many processors the process may keep busy. Exactly one implementation
// is built: posix_processor_count.cpp or win32_processor_count.cpp.

namespace segweld::os {

// The processors this process may run on: those of its affinity mask (what
// `taskset`, Slurm and a container's cpuset leave it), fewer when a CPU quota
// caps it (a Linux cgroup's cpu.max or cpu.cfs_quota_us, a Windows job
// object's hard cap), at least one. A quota of 2.5 processors counts as 2:
// a quota is spent by the whole process, and a third thread busy beside two
// others would only see the process throttled to the rest of each period.
unsigned UsableProcessorCount();

}  // namespace segweld::os
