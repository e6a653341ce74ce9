// The processors a process may use, on Linux.

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "os/cgroup_cpu_limit.h"
#include "os/processor_count.h"

namespace segweld::os {
namespace {

constexpr int kLargestMask = 1 << 20;

// The processors of the calling thread's affinity mask; a thread inherits the
// mask of the process that started it. The mask grows until it holds every
// processor the kernel knows of.
std::optional<unsigned> AffinityProcessorCount() {
    for (int processors = 1024; processors <= kLargestMask; processors *= 2) {
        cpu_set_t* set = CPU_ALLOC(processors);
        if (set == nullptr) {
            return std::nullopt;
        }
        const size_t size = CPU_ALLOC_SIZE(processors);
        const bool got = sched_getaffinity(0, size, set) == 0;
        const int error = errno;
        const int count = got ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (got) {
            return count > 0 ? std::optional<unsigned>(static_cast<unsigned>(count)) : std::nullopt;
        }
        if (error != EINVAL) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

unsigned UsableProcessorCount() {
    unsigned count = AffinityProcessorCount().value_or(std::thread::hardware_concurrency());
    if (const auto limit = CgroupCpuLimit(ReadSmallFile)) {
        count = std::min(count, ThreadsForCpuLimit(*limit));
    }
    return std::max(count, 1u);
}

}  // namespace segweld::os
