#pragma once
// Runs of the real command line for the reliability tests: a folder with a
// host folder (the small reference world), a target that already holds a few
// rows, and a source folder; the program's exit, its output, and checks that
// the target kept its rows and gained whole ones only.

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "db/sqlite.h"
#include "support/tempdir.h"

namespace tvx::test {

struct CliResult {
    bool exited = false;  // false: killed by a signal or stopped as hung
    int exitCode = -1;
    std::string out, err;
};

// Runs the command line with the arguments; a run longer than the limit is
// killed and reported as not exited. interruptAfterBytes > 0: a Ctrl-C
// (SIGINT, or interruptSignal) once the program has read that many bytes. A file size limit
// (bytes, 0 for none) makes every file the program writes full at that size,
// as a full disk does.
CliResult RunCliProgram(const std::vector<std::string>& args, int limitSeconds = 120,
                        long long interruptAfterBytes = 0, long fileSizeLimit = 0,
                        int interruptSignal = SIGINT);

class CliEnv {
  public:
    CliEnv();

    TempDir dir;
    std::string host() const { return dir.file("host"); }
    std::string target() const { return dir.file("target.sqlite"); }
    std::string source(const std::string& name) const { return dir.file("src/" + name); }
    // Keeps a connection (a lock, say) open while the program runs.
    std::unique_ptr<SqliteDb> held;
    // Bytes at which every file the program writes is full; 0 for no limit.
    long fileSizeLimit = 0;
    // The signal of an interrupted run, and whether questions are answered Yes.
    int interruptSignal = SIGINT;
    bool yes = true;

    // import --target --host-path --type --source --opr-call N0CALL [--yes].
    CliResult Import(const std::string& type, const std::string& sourcePath,
                     const std::vector<std::string>& extra = {},
                     long long interruptAfterBytes = 0) const;

    // The rows the target held before the run, each as its call.
    static const std::vector<std::string>& ExistingCalls();
    // Fails the test unless the target passes its integrity check, still
    // holds the rows it held before, in place and unchanged, and every row
    // after them is whole. Returns the number of rows added.
    int CheckTarget() const;
};

// A text of every column of a row but its number, for exact comparisons.
std::string RowText(SqliteStatement& stmt);

}  // namespace tvx::test
