#include "os/cgroup_cpu_limit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace segweld::os {
namespace {

constexpr std::string_view kBlanks = " \t\n";
constexpr unsigned kMostThreads = 1u << 16;

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    for (std::string_view word : Split(Trimmed(text), ' ')) {
        if (!word.empty()) {
            words.push_back(word);
        }
    }
    return words;
}

bool Holds(const std::vector<std::string_view>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::optional<int64_t> ParseInteger(std::string_view text) {
    text = Trimmed(text);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Ratio(std::optional<int64_t> quota, std::optional<int64_t> period) {
    if (!quota || !period || *quota <= 0 || *period <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(*quota) / static_cast<double>(*period);
}

// mountinfo writes blanks, tabs, new lines and backslashes of paths as \ooo.
std::string Unescaped(std::string_view field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        const bool octal = field[i] == '\\' && i + 3 < field.size() &&
                           std::all_of(field.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                       field.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                                       [](char c) { return c >= '0' && c <= '7'; });
        if (octal) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// Where a cgroup hierarchy is mounted: `root` is the hierarchy's folder that
// the mount shows at `point`.
struct Mount {
    std::string root;
    std::string point;
};

struct Hierarchies {
    std::optional<std::string> unifiedPath;  // the process's cgroup in each
    std::optional<std::string> cpuPath;
    std::optional<Mount> unifiedMount;
    std::optional<Mount> cpuMount;
};

// Lines "ID:CONTROLLERS:PATH": "0::PATH" for the unified hierarchy, the cpu
// controller's (alone or with others, "cpu,cpuacct") for cgroup v1.
void TakeProcCgroup(std::string_view text, Hierarchies& found) {
    for (std::string_view line : Split(text, '\n')) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first == std::string_view::npos ? 0 : first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos) {
            continue;
        }
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string path(line.substr(second + 1));
        if (id == "0" && controllers.empty()) {
            found.unifiedPath = path;
        } else if (Holds(Split(controllers, ','), "cpu")) {
            found.cpuPath = path;
        }
    }
}

// Lines "ID PARENT MAJOR:MINOR ROOT POINT OPTIONS [TAGS...] - TYPE SOURCE SUPER_OPTIONS".
void TakeMountInfo(std::string_view text, Hierarchies& found) {
    for (std::string_view line : Split(text, '\n')) {
        const std::vector<std::string_view> fields = Words(line);
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (dash - fields.begin() < 6 || fields.end() - dash < 4) {
            continue;
        }
        const std::string_view type = dash[1];
        const Mount mount{Unescaped(fields[3]), Unescaped(fields[4])};
        if (type == "cgroup2" && !found.unifiedMount) {
            found.unifiedMount = mount;
        } else if (type == "cgroup" && !found.cpuMount && Holds(Split(dash[3], ','), "cpu")) {
            found.cpuMount = mount;
        }
    }
}

// The folder of cgroup `path` below the mount. A path outside the mount's
// root (a cgroup namespace, a container that sees only its own cgroup) is the
// mount point itself.
std::string FolderOf(const Mount& mount, const std::string& path) {
    std::string below;
    if (mount.root == "/") {
        below = path;
    } else if (path.starts_with(mount.root + "/")) {
        below = path.substr(mount.root.size());
    }
    std::string folder = mount.point + below;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// The lowest limit from `folder` up to the mount point, both included.
std::optional<double> LowestUpTo(
    const std::string& point, std::string folder,
    const std::function<std::optional<double>(const std::string&)>& limitIn) {
    std::optional<double> lowest;
    for (;;) {
        if (const auto limit = limitIn(folder); limit && (!lowest || *limit < *lowest)) {
            lowest = limit;
        }
        const size_t slash = folder.rfind('/');
        if (folder.size() <= point.size() || slash == std::string::npos || slash < point.size()) {
            return lowest;
        }
        folder.resize(slash);
    }
}

std::optional<double> Lower(std::optional<double> a, std::optional<double> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

}  // namespace

std::optional<double> ParseCpuMax(std::string_view text) {
    const std::vector<std::string_view> words = Words(text);
    if (words.size() != 2 || words[0] == "max") {
        return std::nullopt;
    }
    return Ratio(ParseInteger(words[0]), ParseInteger(words[1]));
}

std::optional<double> ParseCfsQuota(std::string_view quota, std::string_view period) {
    return Ratio(ParseInteger(quota), ParseInteger(period));
}

unsigned ThreadsForCpuLimit(double processors) {
    if (!(processors >= 1)) {
        return 1;  // also NaN
    }
    return static_cast<unsigned>(std::min(std::floor(processors), double{kMostThreads}));
}

std::optional<double> CgroupCpuLimit(const TextFileReader& read) {
    const auto cgroups = read("/proc/self/cgroup");
    const auto mounts = read("/proc/self/mountinfo");
    if (!cgroups || !mounts) {
        return std::nullopt;
    }
    Hierarchies found;
    TakeProcCgroup(*cgroups, found);
    TakeMountInfo(*mounts, found);

    std::optional<double> unified;
    if (found.unifiedPath && found.unifiedMount) {
        unified =
            LowestUpTo(found.unifiedMount->point, FolderOf(*found.unifiedMount, *found.unifiedPath),
                       [&](const std::string& folder) -> std::optional<double> {
                           const auto text = read(folder + "/cpu.max");
                           return text ? ParseCpuMax(*text) : std::nullopt;
                       });
    }
    std::optional<double> v1;
    if (found.cpuPath && found.cpuMount) {
        v1 = LowestUpTo(found.cpuMount->point, FolderOf(*found.cpuMount, *found.cpuPath),
                        [&](const std::string& folder) -> std::optional<double> {
                            const auto quota = read(folder + "/cpu.cfs_quota_us");
                            const auto period = read(folder + "/cpu.cfs_period_us");
                            return quota && period ? ParseCfsQuota(*quota, *period) : std::nullopt;
                        });
    }
    return Lower(unified, v1);
}

}  // namespace segweld::os
