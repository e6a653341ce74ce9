// JOURNAL_STREAM must name the very file a stream writes to. The test's
// "journal" is a pipe whose identity it writes into the variable.

#include "os/journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace segweld::os {
namespace {

// A pipe's write end as a stream.
struct Pipe {
    Pipe() {
        EXPECT_EQ(pipe(ends), 0);
        stream = fdopen(ends[1], "w");
    }
    ~Pipe() {
        std::fclose(stream);
        close(ends[0]);
    }
    // "DEVICE:INODE", the inode moved by `offset`.
    std::string Identity(int offset = 0) const {
        struct stat status {};
        fstat(ends[1], &status);
        return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino + offset);
    }
    int ends[2] = {-1, -1};
    std::FILE* stream = nullptr;
};

TEST(IsJournalStream, OnlyTheFileTheVariableNames) {
    const Pipe journal, elsewhere;
    const std::string id = journal.Identity();
    const struct {
        std::string value;  // "unset" leaves the variable out
        std::FILE* stream;
        bool expected;
    } rows[] = {
        {id, journal.stream, true},
        {id, elsewhere.stream, false},  // inherited by a program that writes elsewhere
        {journal.Identity(1), journal.stream, false},
        {"1" + id, journal.stream, false},  // another device
        {"unset", journal.stream, false},
        {"", journal.stream, false},
        {id.substr(0, id.find(':')), journal.stream, false},
        {id + ":", journal.stream, false},
        {id + " ", journal.stream, false},
        {"+" + id, journal.stream, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        if (row.value == "unset") {
            unsetenv("JOURNAL_STREAM");
        } else {
            setenv("JOURNAL_STREAM", row.value.c_str(), 1);
        }
        EXPECT_EQ(IsJournalStream(row.stream), row.expected);
    }
    unsetenv("JOURNAL_STREAM");
}

}  // namespace
}  // namespace segweld::os
