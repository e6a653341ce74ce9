// The CPU quota of a process's cgroups, read from made-up /proc and cgroup
// files: the layouts of a host, of containers and of Slurm, in cgroup v2 and v1.

#include "os/cgroup_cpu_limit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>

namespace segweld::os {
namespace {

using Files = std::map<std::string, std::string>;

constexpr double kNone = -1;  // no quota expected

std::string Shown(std::optional<double> value) {
    return value ? std::to_string(*value) : "none";
}

std::string Expected(double processors) {
    return processors == kNone ? "none" : Shown(processors);
}

struct TextRow {
    std::string text;
    double processors;
};

void PrintTo(const TextRow& row, std::ostream* out) {
    *out << '"' << row.text << '"';
}

class CpuMaxTest : public ::testing::TestWithParam<TextRow> {};

TEST_P(CpuMaxTest, Parses) {
    EXPECT_EQ(Shown(ParseCpuMax(GetParam().text)), Expected(GetParam().processors));
}

INSTANTIATE_TEST_SUITE_P(
    Cgroup2, CpuMaxTest,
    ::testing::Values(TextRow{"max 100000\n", kNone}, TextRow{"150000 100000\n", 1.5},
                      TextRow{"50000 100000", 0.5}, TextRow{"  400000   100000 ", 4.0},
                      TextRow{"", kNone}, TextRow{"100000", kNone},
                      TextRow{"100000 100000 1", kNone}, TextRow{"lots 100000", kNone},
                      TextRow{"100000 0", kNone}, TextRow{"-100000 100000", kNone},
                      TextRow{"1.5e5 100000", kNone}));

TEST(CfsQuotaTest, MinusOneIsNoQuota) {
    EXPECT_EQ(Shown(ParseCfsQuota("-1\n", "100000\n")), "none");
    EXPECT_EQ(Shown(ParseCfsQuota("250000\n", "100000\n")), Shown(2.5));
    EXPECT_EQ(Shown(ParseCfsQuota("0", "100000")), "none");
    EXPECT_EQ(Shown(ParseCfsQuota("100000", "")), "none");
}

TEST(ThreadsForCpuLimitTest, RoundsDownToAtLeastOne) {
    const std::vector<std::pair<double, unsigned>> rows = {{0.01, 1},  {0.5, 1}, {1.0, 1},
                                                           {1.99, 1},  {2.0, 2}, {2.5, 2},
                                                           {64.0, 64}, {NAN, 1}, {1e12, 65536}};
    for (const auto& [processors, threads] : rows) {
        EXPECT_EQ(ThreadsForCpuLimit(processors), threads) << processors << " processors";
    }
}

// mountinfo lines: the root file system, a unified hierarchy and cgroup v1
// hierarchies, with the root each mount shows.
std::string Unified(const std::string& root, const std::string& point) {
    return "30 22 0:27 " + root + " " + point +
           " rw,nosuid,nodev,noexec,relatime shared:4 - cgroup2 cgroup2 rw,nsdelegate\n";
}
std::string CgroupV1(const std::string& root, const std::string& point,
                     const std::string& controllers) {
    return "31 22 0:28 " + root + " " + point + " rw,nosuid shared:9 - cgroup cgroup rw," +
           controllers + "\n";
}
const std::string kRootFileSystem = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";

struct LayoutRow {
    std::string name;
    Files files;
    double processors;
};

void PrintTo(const LayoutRow& row, std::ostream* out) {
    *out << row.name;
}

class CgroupLayoutTest : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(CgroupLayoutTest, FindsTheLowestQuota) {
    const Files& files = GetParam().files;
    const auto limit = CgroupCpuLimit([&](const std::string& path) -> std::optional<std::string> {
        const auto file = files.find(path);
        return file == files.end() ? std::nullopt : std::optional<std::string>(file->second);
    });
    EXPECT_EQ(Shown(limit), Expected(GetParam().processors));
}

const std::string kSession = "/user.slice/user-0.slice/session-4.scope";

INSTANTIATE_TEST_SUITE_P(
    Layouts, CgroupLayoutTest,
    ::testing::Values(
        LayoutRow{"HostWithoutQuota",
                  {{"/proc/self/cgroup", "0::" + kSession + "\n"},
                   {"/proc/self/mountinfo", kRootFileSystem + Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup" + kSession + "/cpu.max", "max 100000\n"},
                   {"/sys/fs/cgroup/user.slice/cpu.max", "max 100000\n"}},
                  kNone},
        LayoutRow{"QuotaOnOwnCgroup",
                  {{"/proc/self/cgroup", "0::/batch/job7\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/batch/job7/cpu.max", "150000 100000\n"},
                   {"/sys/fs/cgroup/batch/cpu.max", "max 100000\n"}},
                  1.5},
        LayoutRow{"LowerQuotaAbove",
                  {{"/proc/self/cgroup", "0::/batch/job7/step0\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/batch/job7/step0/cpu.max", "400000 100000\n"},
                   {"/sys/fs/cgroup/batch/job7/cpu.max", "max 100000\n"},
                   {"/sys/fs/cgroup/batch/cpu.max", "200000 100000\n"},
                   {"/sys/fs/cgroup/cpu.max", "100000 100000\n"}},  // the mount point counts
                  1.0},
        LayoutRow{"NothingAboveTheMountPoint",
                  {{"/proc/self/cgroup", "0::/job\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/job/cpu.max", "300000 100000\n"},
                   {"/sys/fs/cpu.max", "100000 100000\n"}},
                  3.0},
        LayoutRow{"ContainerInACgroupNamespace",
                  {{"/proc/self/cgroup", "0::/\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/cpu.max", "50000 100000\n"}},
                  0.5},
        LayoutRow{"ContainerSeeingOnlyItsCgroup",
                  {{"/proc/self/cgroup", "0::/kubepods/pod1/c1\n"},
                   {"/proc/self/mountinfo", Unified("/kubepods/pod1/c1", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/cpu.max", "200000 100000\n"},
                   {"/sys/fs/cgroup/kubepods/pod1/c1/cpu.max", "100000 100000\n"}},
                  2.0},
        LayoutRow{"MalformedFilePassedOver",
                  {{"/proc/self/cgroup", "0::/job\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup")},
                   {"/sys/fs/cgroup/job/cpu.max", "garbage\n"},
                   {"/sys/fs/cgroup/cpu.max", "300000 100000\n"}},
                  3.0},
        LayoutRow{"MountPointWithABlank",
                  {{"/proc/self/cgroup", "0::/job\n"},
                   {"/proc/self/mountinfo", Unified("/", "/mnt/cgroup\\040two")},
                   {"/mnt/cgroup two/job/cpu.max", "200000 100000\n"}},
                  2.0},
        LayoutRow{"HybridWithQuotaInCpuHierarchy",
                  {{"/proc/self/cgroup", "5:memory:/\n4:cpu,cpuacct:/slurm/uid_0/job_9\n0::/\n"},
                   {"/proc/self/mountinfo",
                    kRootFileSystem + Unified("/", "/sys/fs/cgroup/unified") +
                        CgroupV1("/", "/sys/fs/cgroup/cpu,cpuacct", "cpu,cpuacct")},
                   {"/sys/fs/cgroup/cpu,cpuacct/slurm/uid_0/job_9/cpu.cfs_quota_us", "-1\n"},
                   {"/sys/fs/cgroup/cpu,cpuacct/slurm/uid_0/job_9/cpu.cfs_period_us", "100000\n"},
                   {"/sys/fs/cgroup/cpu,cpuacct/slurm/uid_0/cpu.cfs_quota_us", "250000\n"},
                   {"/sys/fs/cgroup/cpu,cpuacct/slurm/uid_0/cpu.cfs_period_us", "100000\n"}},
                  2.5},
        LayoutRow{"CpuacctAloneSetsNoQuota",
                  {{"/proc/self/cgroup", "2:cpuacct:/job\n"},
                   {"/proc/self/mountinfo", CgroupV1("/", "/sys/fs/cgroup/cpuacct", "cpuacct")},
                   {"/sys/fs/cgroup/cpuacct/job/cpu.cfs_quota_us", "100000\n"},
                   {"/sys/fs/cgroup/cpuacct/job/cpu.cfs_period_us", "100000\n"}},
                  kNone},
        LayoutRow{"LowerOfBothHierarchies",
                  {{"/proc/self/cgroup", "1:cpu:/a\n0::/b\n"},
                   {"/proc/self/mountinfo", Unified("/", "/sys/fs/cgroup/unified") +
                                                CgroupV1("/", "/sys/fs/cgroup/cpu", "cpu")},
                   {"/sys/fs/cgroup/unified/b/cpu.max", "300000 100000\n"},
                   {"/sys/fs/cgroup/cpu/a/cpu.cfs_quota_us", "120000\n"},
                   {"/sys/fs/cgroup/cpu/a/cpu.cfs_period_us", "100000\n"}},
                  1.2},
        LayoutRow{"NoProcFiles", {}, kNone}),
    [](const ::testing::TestParamInfo<LayoutRow>& info) { return info.param.name; });

}  // namespace
}  // namespace segweld::os
