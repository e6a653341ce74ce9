#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace segweld::station::test {

// A program that runs beside the test, standard error into a file, until it
// is signalled; killed if the test ends first.
class BackgroundProgram {
  public:
    BackgroundProgram(const std::vector<std::string>& arguments, std::string logPath);
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    ~BackgroundProgram();

    // What it wrote to standard error so far.
    std::string Log() const;
    // Waits until its log holds `text`.
    bool WaitForLog(const std::string& text,
                    std::chrono::milliseconds limit = std::chrono::seconds(15)) const;
    // Sends `signal` and waits for the end; returns the exit status, or -1
    // when it did not exit normally in time.
    int Stop(int signal);

  private:
    pid_t pid_ = -1;
    std::string logPath_;
};

}  // namespace segweld::station::test
