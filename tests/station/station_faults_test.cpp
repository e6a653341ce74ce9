// What a station meets besides segments: a full disk, a folder renamed
// under the watch, a --then command that hangs, folders that vanish or cannot
// be read, a stop in the middle of a batch, and what the scheduler is told.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <mutex>
#include <stop_token>
#include <thread>

#include "tests/station/station_fixture.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;

const TestProduct kFirst{"IR_108___"}, kSecond{"WV_062___"};

// The disk is full until the test frees it; writing works again.
class FullDiskTest : public StationTest {
  protected:
    FullDiskTest() { WriteFile(full, {}); }
    std::vector<std::string> Shim() const {
        return FaultShim({"SEGWELD_TEST_FULL_DISK=" + out, "SEGWELD_TEST_FULL_DISK_WHILE=" + full});
    }
    const std::string full = scratch / "disk-is-full";
};

TEST_F(FullDiskTest, BatchSaysRetryMayHelpAndTheRerunJoins) {
    kFirst.Write(in, kAll);
    const ProgramResult run = Batch({}, {.environment = Shim()});
    EXPECT_EQ(run.exitCode, 75) << run.err;
    EXPECT_THAT(run.err, HasSubstr("No space left on device"));
    EXPECT_EQ(Report::Of(reportPath).product(kFirst.Key()).at("failure"), "system");
    EXPECT_THAT(OutputFiles(), ::testing::IsEmpty()) << "nothing half written";
    fs::remove(full);
    EXPECT_EQ(Batch({}, {.environment = Shim()}).exitCode, 0);
    EXPECT_EQ(Output(kFirst), kFirst.Joined(kAll));
}

// The product that could not be written is never dropped: it is tried again,
// at once when another output shows that writing works again.
TEST_F(FullDiskTest, WatchRetriesUntilWritingWorksAgain) {
    const auto watch = Start({"--timeout", "60"}, Shim());
    kFirst.Write(in, kAll);
    EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "again in 10.0 s"); })) << watch->Log();
    fs::remove(full);
    kSecond.Write(in, kAll);
    ASSERT_TRUE(OutputAppears(kFirst)) << watch->Log();
    EXPECT_EQ(Output(kFirst), kFirst.Joined(kAll));
    EXPECT_EQ(Output(kSecond), kSecond.Joined(kAll));
}

// `mv in in.old; mkdir in`, then `rm -r in; mkdir in`: the watch follows the
// path, and joins what waited in the folder that moved from where it went.
TEST_F(StationTest, WatchFollowsItsFolderWhenItIsRenamedOrRemoved) {
    const auto watch = Start({"--timeout", "60"});
    kFirst.Write(in, {1, 2, 3, 4});
    EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "") && fs::exists(in); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    fs::rename(in, in + ".old");
    fs::create_directory(in);
    ASSERT_TRUE(OutputAppears(kFirst)) << watch->Log();
    EXPECT_EQ(Output(kFirst), kFirst.Joined({1, 2, 3, 4}));
    EXPECT_THAT(watch->Log(), HasSubstr("was moved to " + in +
                                        ".old; joining from there the 1 "
                                        "product that waited"));
    EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "again; looking at it") == 1; }));
    kSecond.Write(in, kAll);
    ASSERT_TRUE(OutputAppears(kSecond)) << watch->Log();

    fs::remove_all(in);
    EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "is gone"); })) << watch->Log();
    fs::create_directory(in);
    EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "again; looking at it") == 2; }));
    const TestProduct third{"VIS006___"};
    third.Write(in, kAll);
    ASSERT_TRUE(OutputAppears(third)) << watch->Log();
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
}

// A process that runs, or waits to be reaped (a zombie does not count: here
// nothing may reap what the command left).
bool ProcessExists(const std::string& pidFile) {
    const std::string pid = Text(pidFile);
    if (pid.empty() || !fs::exists("/proc/" + pid.substr(0, pid.find('\n')) + "/stat"))
        return false;
    const std::string stat = Text("/proc/" + pid.substr(0, pid.find('\n')) + "/stat");
    return stat.substr(stat.rfind(')') + 2, 1) != "Z";
}

// A command that hangs, and what it started, are ended after --then-timeout;
// meanwhile products are joined as they come, and SIGTERM ends the watch and
// the commands under way at once.
TEST_F(StationTest, HangingThenCommandsHoldNothing) {
    const std::string started = scratch / "started", hung = scratch / "hung";
    auto timed = Start({"--timeout", "60", "-j", "1", "--then-timeout", "1", "--then", "sh", "-c",
                        "sleep 600 & echo $! > " + started + "; wait"});
    kFirst.Write(in, kAll);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(started) && ProcessExists(started); }));
    kSecond.Write(in, kAll);
    EXPECT_TRUE(OutputAppears(kSecond)) << "a hanging command holds no join\n" << timed->Log();
    EXPECT_TRUE(WaitUntil([&] { return Count(timed->Log(), "still running after 1.0 s") == 2; }))
        << timed->Log();
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(started); }))
        << "what the command started went with it";
    EXPECT_EQ(timed->Stop(SIGTERM), 0);

    fs::remove_all(out);
    fs::create_directory(out);
    timed = Start(
        {"--timeout", "60", "--then", "sh", "-c", "sleep 600 & echo $! > " + hung + "; wait"});
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(hung) && ProcessExists(hung); }));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(timed->Stop(SIGTERM), 0) << timed->Log();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(hung); }));
    EXPECT_THAT(timed->Log(), HasSubstr("ended, as the watch stops"));
}

// --recursive: a subfolder that vanishes during the scan is passed over; one
// that cannot be read fails, named in the log and the report, while every
// other product is joined into its own subfolder of the output.
TEST_F(StationTest, BatchTreeWithFoldersThatFail) {
    for (const std::string folder : {"a", "b", "unreadable", "vanished"}) {
        fs::create_directories(in + "/2007/" + folder);
        kFirst.Write(in + "/2007/" + folder, folder == "b" ? std::vector<int>{1, 2} : kAll);
    }
    const ProgramResult run =
        Batch({"--recursive"}, {.environment = FaultShim({"SEGWELD_TEST_UNREADABLE=/unreadable",
                                                          "SEGWELD_TEST_VANISHED=/vanished"})});
    EXPECT_EQ(run.exitCode, 75) << run.err;
    EXPECT_THAT(run.err, HasSubstr("passed over " + in + "/2007/vanished: it is gone"));
    EXPECT_THAT(run.err, HasSubstr("failed folder " + in + "/2007/unreadable: cannot be read"));
    EXPECT_THAT(OutputFiles(), ::testing::ElementsAre("2007/a/" + kFirst.OutputName(),
                                                      "2007/b/" + kFirst.OutputName()));
    EXPECT_EQ(ReadFile(out + "/2007/b/" + kFirst.OutputName()), kFirst.Joined({1, 2}));
    const Report report = Report::Of(reportPath);
    EXPECT_EQ(report.lines.at(1).at("type"), "folder");
    EXPECT_EQ(report.lines.at(1).at("folder"), in + "/2007/unreadable");
}

// SIGTERM in the middle of a join: the join is abandoned without a trace, no
// product starts after it, and the report ends with the run.
TEST_F(StationTest, BatchStoppedBySigtermEndsItsReport) {
    for (const TestProduct& product : {kFirst, kSecond})
        product.Write(in, kAll);
    const ProgramResult run =
        Batch({"-j", "1"}, {.environment = FaultShim({"SEGWELD_TEST_SIGNAL_COPIES=IR_108___-000003",
                                                      "SEGWELD_TEST_SIGNAL=15"})});
    EXPECT_EQ(run.exitCode, 143) << run.err;
    EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
    const Report report = Report::Of(reportPath);
    EXPECT_EQ(report.product(kFirst.Key()).at("failure"), "interrupted");
    EXPECT_FALSE(report.products.contains(kSecond.Key())) << "never begun";
    EXPECT_EQ(report.lines.back().at("ended"), "interrupted");
    EXPECT_EQ(report.lines.back().at("exitStatus"), 143);
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename(), "report.jsonl") << "no partial report left";
}

// Two runs given one report: the second is refused before any join and leaves
// the first one's lines alone; once the first is killed, the report is free.
TEST_F(StationTest, ASecondRunGivenTheSameReportIsRefused) {
    kFirst.Write(in, kAll);
    const std::string partial = reportPath + ".partial";
    auto first = std::make_unique<Background>(
        std::vector<std::string>{SEGWELD_BIN, "--batch", in, out, "--report", reportPath},
        scratch / "first.log", FaultShim({"SEGWELD_TEST_STALL_COPIES=-000002___"}));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(partial) && Count(Text(partial), "\n"); }));
    const ProgramResult second = Batch({"--force"});
    EXPECT_EQ(second.exitCode, 2) << second.err;
    EXPECT_THAT(second.err, HasSubstr("another process is writing " + partial +
                                      "; give each run a report of its own"));
    EXPECT_THAT(OutputFiles(), ::testing::IsEmpty());
    EXPECT_EQ(Report::Of(partial).lines.size(), 1u) << "the first run's start alone";
    first.reset();
    EXPECT_EQ(Batch().exitCode, 0);
    EXPECT_EQ(Output(kFirst), kFirst.Joined(kAll));
}

// --report - writes the lines to standard output; --from-list takes only the
// folders and files it names, each product once however its path is spelt,
// and a line that names nothing to join is a failure of the run.
TEST_F(StationTest, ReportToStandardOutputAndAListOfWhatToTake) {
    const TestProduct other{"VIS006___"};
    for (const std::string day : {"2007/06/15", "2007/06/16"}) {
        fs::create_directories(in + "/" + day);
        for (const TestProduct& product : {kFirst, kSecond})
            product.Write(in + "/" + day, kAll);
    }
    other.Write(in, kAll);
    WriteFile(in + "/2007/06/15/notes.txt", {'x'});
    const std::string day = "2007/06/15/";
    const std::string list = "# days\n2007/06/16\n" + in + "/" + other.Name(3) + "\n" + day +
                             kFirst.Name(2) + "\n./2007//06/15/./" + kFirst.Name(5) + "\n" + in +
                             "//" + day + kFirst.Name(1) + "\n\n2007/06/51\n" + day +
                             kFirst.Name(9) + "\n" + day + "notes.txt\n";
    WriteFile(scratch / "list", std::vector<uint8_t>(list.begin(), list.end()));
    const ProgramResult run = RunProgram(
        SEGWELD_BIN, {"--batch", in, out, "--from-list", scratch / "list", "--report", "-"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const Report report(run.out);
    std::vector<std::string> keys;
    for (const nlohmann::json& line : report.lines)  // start and end lines have no key
        keys.push_back(line.at("type") == "entry" ? line.at("line").dump() : line.value("key", ""));
    EXPECT_THAT(keys, ::testing::UnorderedElementsAre(
                          "", day + kFirst.Key(), "2007/06/16/" + kFirst.Key(),
                          "2007/06/16/" + kSecond.Key(), other.Key(), "8", "9", "10", ""));
    EXPECT_EQ(OutputFiles().size(), 4u) << "each product once";
}

}  // namespace
}  // namespace segweld::station

namespace segweld::station {
namespace {

// A datagram socket in the test's folder, as systemd's NOTIFY_SOCKET is.
// The service manager's socket, read as the manager reads it: at once, on a
// thread of its own, so that the program never finds its queue full.
class NotifySocket {
  public:
    explicit NotifySocket(std::string path) : path_(std::move(path)) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        reader_ = std::jthread([this](std::stop_token stop) { Read(stop); });
    }
    ~NotifySocket() {
        reader_ = {};
        close(fd_);
    }
    // Every message that has come, one after the other.
    std::string Messages() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    const std::string& path() const { return path_; }

  private:
    void Read(const std::stop_token& stop) {
        char buffer[4096];
        while (!stop.stop_requested()) {
            pollfd fd{fd_, POLLIN, 0};
            if (poll(&fd, 1, 20) <= 0)
                continue;
            const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                std::lock_guard lock(mutex_);
                received_ += std::string(buffer, size_t(got)) + "|";
            }
        }
    }

    std::string path_;
    int fd_ = -1;
    std::mutex mutex_;
    std::string received_;
    std::jthread reader_;
};

// Under systemd: readiness, watchdog pings from the loop, a status after each
// product, SIGHUP reads the configuration file again and looks at the folder
// instead of ending the watch, and the journal gets levels instead of time
// stamps; -v also names what is up to date.
TEST_F(StationTest, WatchUnderAServiceManager) {
    kFirst.Write(in, kAll);
    RunProgram(SEGWELD_BIN, {"--batch", in, out});
    NotifySocket manager(scratch / "notify");
    struct stat log {};
    const std::string logPath = scratch / "watch.log";
    WriteFile(logPath, {});
    stat(logPath.c_str(), &log);
    const std::string config = scratch / "watch.conf";
    const auto configure = [&](const std::string& timeout) {
        const std::string text =
            "input = " + in + "\noutput = " + out + "\ntimeout = " + timeout + "\nverbose\n";
        WriteFile(config, std::vector<uint8_t>(text.begin(), text.end()));
    };
    configure("60");
    const auto watch =
        Start({"--config", config},
              {"NOTIFY_SOCKET=" + manager.path(), "WATCHDOG_USEC=200000",
               "JOURNAL_STREAM=" + std::to_string(log.st_dev) + ":" + std::to_string(log.st_ino)});
    EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "READY=1"); }));
    EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "WATCHDOG=1") >= 3; }));
    kSecond.Write(in, kAll);
    EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "STATUS=1 product written"); }));
    configure("0.2");
    kill(watch->pid(), SIGHUP);
    EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "RELOADING=1"); }));
    EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "READY=1") == 2; }));
    const TestProduct third{"VIS006___"};
    third.Write(in, {1, 2});
    EXPECT_TRUE(OutputAppears(third)) << "joined after the new timeout\n" << watch->Log();
    EXPECT_EQ(watch->Stop(SIGTERM), 0) << "SIGHUP never ends the watch\n" << watch->Log();
    EXPECT_THAT(manager.Messages(), HasSubstr("STOPPING=1"));
    const std::string journal = watch->Log();
    for (const std::string& line :
         std::vector<std::string>{"<7>up to date " + kFirst.Key(), "<6>joined " + kSecond.Key(),
                                  "<6>SIGHUP: reading " + config + " again", "<6>stopped"})
        EXPECT_THAT(journal, HasSubstr(line));
    EXPECT_THAT(journal, ::testing::Not(HasSubstr("segweld:"))) << "the journal names and stamps";
}

// --geotiff loads GDAL, whose libraries start a thread as they load: a thread
// that did not leave SIGHUP and SIGTERM to the watch was handed them one time
// in two, ending the station. So a reload and a stop while an image is made
// are tried many times.
TEST_F(StationTest, GeoTiffWatchUnderAServiceManagerTakesEveryReloadAndStop) {
#ifndef SEGWELD_GEOTIFF_MODULE
    GTEST_SKIP() << "built without the GeoTIFF module";
#endif
    kFirst.Write(in, kAll), kFirst.WriteCompanions(in);
    const std::string tif = kFirst.OutputName().replace(kFirst.OutputName().rfind('.'), 5, ".tif");
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        fs::remove_all(out), fs::create_directory(out);
        NotifySocket manager(scratch / ("notify-" + std::to_string(round)));
        const auto watch = Start({"--geotiff"}, {"NOTIFY_SOCKET=" + manager.path()});
        ASSERT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "READY=1"); }));
        kill(watch->pid(), SIGHUP);
        EXPECT_TRUE(WaitUntil([&] { return Count(manager.Messages(), "READY=1") == 2; }));
        EXPECT_EQ(watch->Stop(SIGTERM), 0) << watch->Log();
        EXPECT_THAT(watch->Log(), HasSubstr("SIGHUP: looking at the whole folder again"));
        EXPECT_THAT(watch->Log(), HasSubstr("segweld: stopped"));
        EXPECT_THAT(OutputFiles(), ::testing::ElementsAre(tif)) << "the image under way is whole";
    }
}

}  // namespace
}  // namespace segweld::station
