#include "cli_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "db/schema.h"
#include "support/import_fixture.h"

namespace tvx::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Bytes the process has read so far.
long long BytesRead(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return 0;
}

}  // namespace

CliResult RunCliProgram(const std::vector<std::string>& args, int limitSeconds,
                        long long interruptAfterBytes, long fileSizeLimit, int interruptSignal) {
    TempDir io;
    const std::string outPath = io.file("out"), errPath = io.file("err");
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        dup2(in, STDIN_FILENO);
        if (fileSizeLimit > 0) {
            // Writes beyond the limit fail with EFBIG instead of killing.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit),
                               static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TVX_CLI_PATH));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TVX_CLI_PATH, argv.data());
        _exit(127);
    }
    CliResult result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (interruptAfterBytes > 0 && BytesRead(pid) > interruptAfterBytes) {
            kill(pid, interruptSignal);
            interruptAfterBytes = 0;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.err = "(hung: killed after " + std::to_string(limitSeconds) + " s)\n";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(outPath);
    result.err += ReadFile(errPath);
    return result;
}

const std::vector<std::string>& CliEnv::ExistingCalls() {
    static const std::vector<std::string> calls = {"W1OLD", "DL1OLD"};
    return calls;
}

CliEnv::CliEnv() {
    std::filesystem::create_directories(host());
    std::filesystem::create_directories(dir.file("src"));
    WriteSmallWorld(host() + "/refdata.sqlite");
    createTargetDatabase(target());
    SqliteDb db(target(), SqliteDb::Mode::ReadWrite);
    auto insert = db.prepare(
        "INSERT INTO [QSO-TAB] ([QSO-DATE],[QSO-TIME],[QSO-CALL],[QSO-BAND],[QSO-MODE],"
        "[QSO-PREFIX],[QSO-NAME]) VALUES ('19990101','120000',?,'5','2','K',?)");
    for (const std::string& call : ExistingCalls()) {
        insert.bindText(1, call);
        insert.bindText(2, "kept " + call);
        insert.step();
        insert.reset();
    }
}

CliResult CliEnv::Import(const std::string& type, const std::string& sourcePath,
                         const std::vector<std::string>& extra,
                         long long interruptAfterBytes) const {
    std::vector<std::string> args = {"import",
                                     "--target",
                                     target(),
                                     "--host-path",
                                     host(),
                                     "--type",
                                     type,
                                     "--source",
                                     sourcePath,
                                     "--opr-call",
                                     "N0CALL",
                                     "--settings",
                                     dir.file("none.ini")};
    if (yes) args.push_back("--yes");
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCliProgram(args, 120, interruptAfterBytes, fileSizeLimit, interruptSignal);
}

std::string RowText(SqliteStatement& stmt) {
    std::string text;
    for (int c = 0; c < stmt.columnCount(); ++c) {
        if (stmt.columnName(c) == "QSO-NUMBER") continue;
        const auto value = stmt.columnOptionalText(c);
        text += stmt.columnName(c) + "=" + (value ? *value : std::string("NULL")) + ";";
    }
    return text;
}

int CliEnv::CheckTarget() const {
    SqliteDb db(target(), SqliteDb::Mode::ReadWrite);
    auto check = db.prepare("PRAGMA integrity_check");
    EXPECT_TRUE(check.step());
    EXPECT_EQ(check.columnText(0), "ok");
    auto rows = db.prepare(
        "SELECT [QSO-CALL],[QSO-DATE],[QSO-TIME],[QSO-BAND],[QSO-MODE],[QSO-PREFIX],[QSO-NAME] "
        "FROM [QSO-TAB] ORDER BY [QSO-NUMBER]");
    static const std::regex kDate("[0-9]{8}"), kTime("[0-9]{6}"), kMode("[0-7]");
    std::size_t n = 0;
    for (; rows.step(); ++n) {
        const std::string call = rows.columnText(0);
        if (n < ExistingCalls().size()) {
            EXPECT_EQ(call, ExistingCalls()[n]) << "an earlier row moved or changed";
            EXPECT_EQ(rows.columnText(6), "kept " + call);
            continue;
        }
        SCOPED_TRACE("new row " + call);
        EXPECT_FALSE(call.empty());
        EXPECT_TRUE(std::regex_match(rows.columnText(1), kDate)) << rows.columnText(1);
        EXPECT_TRUE(std::regex_match(rows.columnText(2), kTime)) << rows.columnText(2);
        EXPECT_FALSE(rows.columnText(3).empty());
        EXPECT_TRUE(std::regex_match(rows.columnText(4), kMode)) << rows.columnText(4);
        EXPECT_FALSE(rows.columnText(5).empty());
    }
    EXPECT_GE(n, ExistingCalls().size()) << "rows of earlier runs are lost";
    return static_cast<int>(n) - static_cast<int>(ExistingCalls().size());
}

}  // namespace tvx::test
