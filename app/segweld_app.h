#pragma once

#include <string>

namespace segweld {

// The application: start-up chooses between the command-line join and the
// dialog from the command tail, and runs exactly one of them.
class CSegweldApp {
  public:
    CSegweldApp() = default;
    virtual ~CSegweldApp() = default;

    // Runs the command-line join, one message, or the dialog. Always returns
    // false: there is no message loop to enter afterwards.
    virtual bool InitInstance();

    // The next argument of `tail` from `cursor` on, which it moves past the
    // argument. Arguments are separated by single blanks outside double quotes.
    std::string SplitCommandArgument(std::string tail, int& cursor);

    // The command line less the program name, as one string.
    std::string m_lpCmdLine;
    // The process's arguments, for the dialog toolkit.
    int m_argc = 0;
    char** m_argv = nullptr;

    int exitCode() const { return exitCode_; }

  private:
    void RunCommandLine(const std::string& segmentPath, const std::string& outputFolder);

    int exitCode_ = 0;
};

// The command tail formed from the arguments after the program name: each one
// wrapped in double quotes, joined by single blanks.
std::string FormCommandTail(int argc, char** argv);

}  // namespace segweld
