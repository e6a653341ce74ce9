// The processors a process may use, on Windows.

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "os/processor_count.h"

namespace segweld::os {
namespace {

// JOBOBJECT_CPU_RATE_CONTROL_INFORMATION::CpuRate: 1/100 of a percent of
// every processor of the machine.
constexpr double kFullRate = 10000.0;

unsigned MachineProcessorCount() {
    return std::max<unsigned>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), 1);
}

// The processors of the process's affinity mask. A process whose threads run
// in more than one processor group has no single mask: it may use the machine.
unsigned AffinityProcessorCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) {
        return MachineProcessorCount();
    }
    return static_cast<unsigned>(std::popcount(static_cast<unsigned long long>(process)));
}

// A hard cap on the CPU time of the job object the process runs in, in
// processors; 0 when there is none.
double JobCpuCap() {
    JOBOBJECT_CPU_RATE_CONTROL_INFORMATION rate{};
    if (!QueryInformationJobObject(nullptr, JobObjectCpuRateControlInformation, &rate, sizeof rate,
                                   nullptr)) {
        return 0;
    }
    const DWORD capped = JOB_OBJECT_CPU_RATE_CONTROL_ENABLE | JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP;
    if ((rate.ControlFlags & capped) != capped) {
        return 0;
    }
    return rate.CpuRate / kFullRate * MachineProcessorCount();
}

}  // namespace

unsigned UsableProcessorCount() {
    unsigned count = AffinityProcessorCount();
    if (const double cap = JobCpuCap(); cap > 0) {
        // Rounded down, as a cgroup quota on Linux.
        count = std::min(count, std::max(static_cast<unsigned>(std::floor(cap)), 1u));
    }
    return std::max(count, 1u);
}

}  // namespace segweld::os
