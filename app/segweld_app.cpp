#include "app/segweld_app.h"

#include <algorithm>
#include <cstdio>

#include "app/dialog_mode.h"
#include "app/message_box.h"
#include "join/dissemination_name.h"
#include "join/join_segments.h"
#include "join/segment_name.h"
#include "join/segment_pick.h"
#include "os/file_system.h"
#include "station/output_maker.h"
#include "station/product_log.h"

namespace segweld {
namespace {

constexpr int kExitJoined = 0;
constexpr int kExitNothingWritten = 1;
constexpr int kExitBadArguments = 2;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Every double quote that opens a quoted stretch, and everything after it up
// to the closing quote, becomes '_', so blanks inside quotes are not found.
std::string MaskQuotedStretches(const std::string& tail) {
    std::string masked = tail;
    bool insideQuotes = false;
    for (size_t i = 0; i < tail.size(); ++i) {
        if (tail[i] == '"') {
            insideQuotes = !insideQuotes;
        }
        if (insideQuotes) {
            masked[i] = '_';
        }
    }
    return masked;
}

}  // namespace

std::string RefuseUnsplittableArgument(const std::vector<std::string>& paths) {
    for (const std::string& argument : paths) {
        if (argument.find('"') != std::string::npos) {
            return "the argument '" + argument + "' holds a double quote, which no path here may";
        }
        if (!argument.empty() &&
            (IsWhiteSpace(argument.front()) || IsWhiteSpace(argument.back()))) {
            return "the argument '" + argument +
                   "' begins or ends with white space, which no path here may";
        }
    }
    return "";
}

bool RefuseOutputFolderThatIsNoFolder(const std::string& outputFolder) {
    if (os::LookAt(outputFolder).kind == os::PathKind::Folder) {
        return false;
    }
    MessageBoxLine("The output folder " + outputFolder + " is a file, not a folder.",
                   "Check output folder");
    return true;
}

std::string RefuseNoSegmentFile(const std::string& segmentPath) {
    const std::string why = WhyNotASegmentFile(segmentPath);
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    const auto name = DisseminationName::Parse(parts.name);
    const bool companion = name && (name->kind() == DisseminationName::Kind::Prologue ||
                                    name->kind() == DisseminationName::Kind::Epilogue);
    if (why.empty() || companion || os::LookAt(segmentPath).kind == os::PathKind::Folder) {
        return why;
    }
    // A name off the convention that still leads to a segment 1 joins as it
    // always has; only a walk that would find nothing is refused.
    return PathExists(parts.directory + SegmentName(parts.name, 1)) ? "" : why;
}

std::string FormCommandTail(const std::vector<std::string>& paths) {
    std::string tail;
    for (const std::string& path : paths) {
        tail += (tail.empty() ? "\"" : " \"") + path + '"';
    }
    return tail;
}

std::string FormCommandTail(int argc, char** argv, int first) {
    return FormCommandTail(std::vector<std::string>(argv + std::min(first, argc), argv + argc));
}

std::string CSegweldApp::SplitCommandArgument(std::string tail, int& cursor) {
    const std::string masked = MaskQuotedStretches(tail);
    std::replace(tail.begin(), tail.end(), '"', ' ');
    if (cursor < 0) {
        cursor = 0;
    }
    const size_t start = static_cast<size_t>(cursor);
    if (start >= tail.size()) {
        return "";
    }
    const size_t blank = masked.find(' ', start);
    const size_t end = (blank != std::string::npos && blank > 0) ? blank + 1 : tail.size();
    cursor = static_cast<int>(end);
    return Trim(tail.substr(start, end - start));
}

bool CSegweldApp::InitInstance() {
    const std::string tail = m_lpCmdLine;
    int cursor = 0;
    const std::string segmentPath = SplitCommandArgument(tail, cursor);
    if (segmentPath.empty()) {
        exitCode_ = RunDialogMode(m_argc, m_argv);
        return false;
    }
    const std::string outputFolder = SplitCommandArgument(tail, cursor);
    RunCommandLine(segmentPath, outputFolder);
    return false;
}

void CSegweldApp::RunCommandLine(const std::string& segmentPath, const std::string& outputFolder) {
    exitCode_ = kExitBadArguments;
    if (outputFolder.empty()) {
        MessageBoxLine("Please specify a folder where to write the resulting joined file.",
                       "No output folder specified");
        return;
    }
    if (!PathExists(segmentPath)) {
        MessageBoxLine("The input file does not exist.\n" + segmentPath, "Check input file");
        return;
    }
    if (!PathExists(outputFolder)) {
        MessageBoxLine("The output folder does not exist.", "Check output folder");
        return;
    }
    if (RefuseOutputFolderThatIsNoFolder(outputFolder)) {
        return;
    }
    if (const std::string why = RefuseNoSegmentFile(segmentPath); !why.empty()) {
        std::fprintf(stderr, "segweld: %s\n", why.c_str());
        exitCode_ = kExitNothingWritten;
        return;
    }

    JoinOptions options;
    options.fillGaps = m_fillGaps;
    const JoinReport report = JoinSegments(segmentPath, outputFolder, options);
    std::fflush(stdout);  // any "Unexpected hdrtype" lines come before the summary
    for (const std::string& warning : report.warnings) {
        std::fprintf(stderr, "segweld: warning: %s\n", warning.c_str());
    }
    if (!report.written()) {
        std::fprintf(stderr, "segweld: %s\n", report.FailureText().c_str());
        exitCode_ = kExitNothingWritten;
        return;
    }
    if (m_verbose) {
        const station::ProductResult result = station::ResultOfJoin(report);
        std::fprintf(stderr, "segweld: %s\n", station::DescribeResult(result).front().text.c_str());
    }
    exitCode_ = kExitJoined;
}

}  // namespace segweld
