// What the tests of the real station programs share: products written the
// way a receiving station writes them, the program run in the background,
// and the report read back.
#pragma once

#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld::station {

using namespace segweld::test;
namespace fs = std::filesystem;

inline const std::vector<int> kAll{1, 2, 3, 4, 5, 6, 7, 8};

// One product: segments of 100 x 5 pixels at 8 bits, whose segment
// identification plans numbers `first` to `planned`.
struct TestProduct {
    const char* channel;  // the 9-character channel field of the name, e.g. "IR_108___"
    int planned = 8;
    bool compressed = false;  // data fields begin with 0xFF 0x01, as compressed ones do
    int first = 1;

    std::string Name(int number) const { return SegmentFileName(number, channel); }
    // The output of the join started from segment `number`.
    std::string OutputName(int number = 1) const {
        std::string name = Name(number) + (compressed ? ".xyz" : ".segm");
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        return name;
    }
    std::string Key() const { return Name(1).replace(36, 6, "??????"); }

    std::vector<uint8_t> Data(int number) const {  // different for every segment
        std::vector<uint8_t> data = DistinctData(number, 500);
        if (compressed)
            std::ranges::copy(std::vector<uint8_t>{0xFF, 0x01}, data.begin());
        return data;
    }
    std::vector<uint8_t> File(int number) const {
        auto bytes = HeaderBuilder()
                         .Primary(0, 8 * 500)
                         .ImageStructure(8, 100, 5, compressed ? 1 : 0)
                         .Annotation(Name(number))
                         .TimeStamp(18062, 43200000)
                         .MsgSegmentIdentification(321, 9, number, first, planned, 3)
                         .Build();
        std::ranges::copy(Data(number), std::back_inserter(bytes));
        return bytes;
    }
    void Write(const std::string& folder, const std::vector<int>& numbers) const {
        for (int number : numbers)
            WriteFile(folder + "/" + Name(number), File(number));
    }
    // The data fields of `numbers`, back to back; 0 stands for a segment of zeros.
    std::vector<uint8_t> Joined(const std::vector<int>& numbers) const {
        std::vector<uint8_t> all;
        for (int number : numbers)
            std::ranges::copy(number == 0 ? std::vector<uint8_t>(500) : Data(number),
                              std::back_inserter(all));
        return all;
    }
    // The prologue and epilogue files of the product's time slot.
    void WriteCompanions(const std::string& folder) const {
        for (const auto& [token, type] : {std::pair{"PRO______", 128}, {"EPI______", 129}}) {
            const std::string name = Name(1).replace(26, 9, "_________").replace(36, 9, token);
            WriteFile(folder + "/" + name, RealPrologueHeader(name, type, 8 * 64));
        }
    }
};

// Calls `done` every 10 ms until it is true, for 15 seconds at least.
inline bool WaitUntil(const auto& done) {
    for (int tries = 0; !done(); ++tries) {  // never again once true: it may reap
        if (tries == 1500)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

inline std::string Text(const std::string& path) {
    const auto bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// The lines of a JSON Lines report, by type; the product lines by key.
struct Report {
    explicit Report(const std::string& text) {
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const nlohmann::json line = nlohmann::json::parse(text.substr(at, end - at));
            at = end + 1;
            lines.push_back(line);
            if (line.at("type") == "product")
                products[line.at("key").get<std::string>()] = line;
        }
    }
    static Report Of(const std::string& path) { return Report(Text(path)); }
    const nlohmann::json& product(const std::string& key) const { return products.at(key); }

    std::vector<nlohmann::json> lines;
    std::map<std::string, nlohmann::json> products;
};

// A program running beside the test, its output into a log file, until it is
// signalled; killed if the test ends first.
class Background {
  public:
    Background(std::vector<std::string> arguments, std::string logPath,
               std::vector<std::string> environment = {})
        : logPath_(logPath) {
        std::vector<char*> argv(arguments.size() + 1);  // ends with a null pointer
        std::ranges::transform(arguments, argv.begin(), [](std::string& a) { return a.data(); });
        std::vector<std::string> variables(environ, environ + CountEnvironment());
        variables.insert(variables.end(), environment.begin(), environment.end());
        std::vector<char*> envp(variables.size() + 1);
        std::ranges::transform(variables, envp.begin(), [](std::string& v) { return v.data(); });
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Files the test holds open for writing must not stay open in the
        // program too: their close would then not count as the last one.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
            waitpid(pid_, nullptr, 0);
    }

    std::string Log() const { return Text(logPath_); }
    pid_t pid() const { return pid_; }
    // Sends `signal`; the exit status, or -1 when it did not exit normally in time.
    int Stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    static size_t CountEnvironment() {
        size_t count = 0;
        while (environ[count] != nullptr)
            ++count;
        return count;
    }

    pid_t pid_ = -1;
    std::string logPath_;
};

class StationTest : public ::testing::Test {
  protected:
    std::string OutPath(const TestProduct& p, int number = 1) const {
        return out + "/" + p.OutputName(number);
    }
    std::vector<uint8_t> Output(const TestProduct& p, int number = 1) const {
        return ReadFile(OutPath(p, number));
    }
    bool OutputAppears(const TestProduct& p, int number = 1) const {
        return WaitUntil([&] { return fs::exists(OutPath(p, number)); });
    }
    // segweld --watch with `extra` options, once it has started.
    std::unique_ptr<Background> Start(std::vector<std::string> extra,
                                      std::vector<std::string> environment = {}) {
        extra.insert(extra.begin(), {SEGWELD_BIN, "--watch", in, out});
        auto watch = std::make_unique<Background>(extra, scratch / "watch.log", environment);
        EXPECT_TRUE(WaitUntil([&] { return Count(watch->Log(), "waiting or being joined"); }))
            << watch->Log();
        return watch;
    }
    ProgramResult Batch(std::vector<std::string> extra = {}, const RunOptions& run = {}) {
        extra.insert(extra.begin(), {"--batch", in, out, "--report", reportPath});
        return RunProgram(SEGWELD_BIN, extra, run);
    }
    // Every file in the output folder, below it too.
    std::vector<std::string> OutputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), out).generic_string());
        std::ranges::sort(names);
        return names;
    }

    TempFolder inFolder, outFolder, scratch;
    const std::string in = inFolder.path().string(), out = outFolder.path().string();
    const std::string reportPath = scratch / "report.jsonl";
};

}  // namespace segweld::station
