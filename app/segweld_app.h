#pragma once

#include <string>
#include <vector>

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
    // Options of the command-line join.
    bool m_fillGaps = false;
    bool m_verbose = false;  // print the result line the station modes log

    int exitCode() const { return exitCode_; }

  private:
    void RunCommandLine(const std::string& segmentPath, const std::string& outputFolder);

    int exitCode_ = 0;
};

// Why one of `paths` cannot pass through the command tail unchanged (it holds
// a double quote, or begins or ends with white space), naming it; empty when
// every one can.
std::string RefuseUnsplittableArgument(const std::vector<std::string>& paths);

// For an output folder that exists but is no folder (a file, say): shows
// "Check output folder" with the dialog's text and returns true, as the
// dialog refuses it before any join; false, saying nothing, for a folder.
bool RefuseOutputFolderThatIsNoFolder(const std::string& outputFolder);

// Why `segmentPath` cannot start a join (WhyNotASegmentFile), for a folder, a
// prologue or an epilogue, and for any other file whose walk would find no
// segment 1; empty otherwise, so that every other name that joined before
// still does.
std::string RefuseNoSegmentFile(const std::string& segmentPath);

// The command tail formed from `paths`: each one wrapped in double quotes,
// joined by single blanks.
std::string FormCommandTail(const std::vector<std::string>& paths);
std::string FormCommandTail(int argc, char** argv, int first = 1);

}  // namespace segweld
