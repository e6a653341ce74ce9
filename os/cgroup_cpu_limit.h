#pragma once

// The CPU quota that Linux control groups set on a process, read from the
// text files of /proc and of the cgroup file systems. The reading goes through
// a function, so that every layout can be tried on contents made up in a test.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace segweld::os {

// The whole text of a small file, or nullopt when it cannot be read.
using TextFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The processors' worth of CPU time the process's cgroups allow (quota over
// period): the lowest over the cgroup of /proc/self/cgroup and every cgroup
// above it, in the unified hierarchy (cgroup v2, cpu.max) and in a cpu
// hierarchy of cgroup v1 (cpu.cfs_quota_us over cpu.cfs_period_us); nullopt
// when none sets a quota.
std::optional<double> CgroupCpuLimit(const TextFileReader& read);

// One cgroup v2 cpu.max: "QUOTA PERIOD" in microseconds, or "max PERIOD".
std::optional<double> ParseCpuMax(std::string_view text);

// A cgroup v1 cpu.cfs_quota_us and cpu.cfs_period_us; a quota of -1 is none.
std::optional<double> ParseCfsQuota(std::string_view quota, std::string_view period);

// The number of busy threads a limit of `processors` carries: rounded down,
// at least one.
unsigned ThreadsForCpuLimit(double processors);

}  // namespace segweld::os
