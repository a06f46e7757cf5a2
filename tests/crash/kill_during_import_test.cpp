// An import killed at a random moment must leave the target whole: the
// command line appends a big ADIF log and is killed with SIGKILL, again and
// again against the same target. After every kill the database passes its
// integrity check and holds whole rows only, each run's rows being the first
// contacts of the source, in order.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/jet_check.h"
#include "db/jet_target.h"
#include "db/jet_writer.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "support/import_fixture.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr int kContacts = 100000;
constexpr int kKills = 20;

std::string Tag(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

struct Contact {
    std::string call, date, time, name;
};

// Contact i of the generated log: a call of a known country, one minute
// after the one before, on a few bands and modes.
std::vector<Contact> Contacts() {
    static const char* const kPrefixes[] = {"DL1", "G3", "F5",  "JA1", "VE3",
                                            "W1",  "I2", "EA3", "ON4", "PA3"};
    std::vector<Contact> contacts;
    const std::chrono::sys_days first = std::chrono::year{2001} / 1 / 1;
    for (int i = 0; i < kContacts; ++i) {
        Contact c;
        c.call = kPrefixes[i % 10];
        for (int n = i / 10, k = 0; k < 3; ++k, n /= 26) c.call += static_cast<char>('A' + n % 26);
        const std::chrono::year_month_day day{first + std::chrono::days{i / 1440}};
        char date[32], time[32];
        std::snprintf(date, sizeof date, "%04d%02u%02u", static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
        std::snprintf(time, sizeof time, "%02d%02d00", (i % 1440) / 60, i % 60);
        c.date = date;
        c.time = time;
        c.name = "Op " + std::to_string(i);
        contacts.push_back(c);
    }
    return contacts;
}

const char* const kBands[] = {"20M", "40M", "15M", "80M"};
const char* const kModes[] = {"CW", "SSB", "RTTY"};

// The confirmations of every contact, as a LoTW download gives them.
std::string LotwLog(const std::vector<Contact>& contacts) {
    std::string log = "ARRL Logbook of the World Status Report\n<PROGRAMID:4>LoTW\n<eoh>\n";
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        log += Tag("APP_LoTW_OWNCALL", "N0CALL") + Tag("STATION_CALLSIGN", "N0CALL") +
               Tag("CALL", c.call) + Tag("BAND", kBands[i % 4]) + Tag("MODE", kModes[i % 3]) +
               Tag("QSO_DATE", c.date) + Tag("TIME_ON", c.time) + Tag("QSL_RCVD", "Y") +
               Tag("QSLRDATE", "20240501") + "<eor>\n";
    }
    return log;
}

std::string AdifLog(const std::vector<Contact>& contacts) {
    std::string log = "Generated log\n<ADIF_VER:5>3.1.4 <EOH>\n";
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        log += Tag("CALL", c.call) + Tag("QSO_DATE", c.date) + Tag("TIME_ON", c.time) +
               Tag("BAND", kBands[i % 4]) + Tag("MODE", kModes[i % 3]) + Tag("NAME", c.name) +
               "<EOR>\n";
    }
    return log;
}

pid_t StartImport(const std::string& target, const std::string& host, const std::string& source,
                  const char* type = "adif") {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(TVX_CLI_PATH, TVX_CLI_PATH, "import", "--target", target.c_str(), "--host-path",
              host.c_str(), "--type", type, "--source", source.c_str(), "--opr-call", "N0CALL",
              "--settings", "/nonexistent/Tvx2007.ini", "--yes", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Kills the run after `ms` milliseconds (unless it has ended by then);
// returns its wait status.
int KillAfter(pid_t pid, long long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

struct Row {
    std::string whole;  // every column but the number
    Contact contact;
};

// The rows with a number above `after` in the order written; *last becomes
// the highest number seen.
std::vector<Row> RowsAfter(SqliteDb& db, long long after, long long* last) {
    auto stmt = db.prepare("SELECT * FROM [QSO-TAB] WHERE [QSO-NUMBER] > ? ORDER BY [QSO-NUMBER]");
    stmt.bindInt(1, after);
    std::vector<Row> rows;
    while (stmt.step()) {
        Row row;
        for (int c = 0; c < stmt.columnCount(); ++c) {
            const std::string name = stmt.columnName(c);
            if (name == "QSO-NUMBER") {
                *last = stmt.columnInt(c);
                continue;
            }
            const auto value = stmt.columnOptionalText(c);
            row.whole += value ? *value : std::string("\x01NULL");
            row.whole += '\x1F';
            const std::string text = value.value_or("");
            if (name == "QSO-CALL") row.contact.call = text;
            if (name == "QSO-DATE") row.contact.date = text;
            if (name == "QSO-TIME") row.contact.time = text;
            if (name == "QSO-NAME") row.contact.name = text;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

TEST(CrashSafety, KilledImportsLeaveWholeRowsOfTheSourceInOrder) {
    test::TempDir dir;
    const std::string host = dir.file("host");
    std::filesystem::create_directories(host);
    test::WriteSmallWorld(host + "/refdata.sqlite");
    const std::vector<Contact> contacts = Contacts();
    const std::string source = dir.write("big.adi", AdifLog(contacts));
    const std::string target = dir.file("target.sqlite");
    createTargetDatabase(target);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    // Kill moments are drawn below this bound; a run that ends before its
    // kill lowers it, so that slow and fast machines both kill mid-run.
    long long boundMs = 3000;

    // Row i of every run must be the same whole row: the longest run so far
    // gives it, and its contact columns must be those of source contact i.
    std::vector<std::string> whole;
    long long lastNumber = 0;
    std::size_t total = 0;
    int midRun = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const long long wait = std::uniform_int_distribution<long long>(100, boundMs)(random);
        const int status = KillAfter(StartImport(target, host, source), wait);
        const bool killed = WIFSIGNALED(status);
        if (killed) {
            ++midRun;
        } else {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
            boundMs = std::max(200LL, wait * 4 / 5);
        }

        // Opened for writing so that the journal of the killed run is rolled back.
        SqliteDb db(target, SqliteDb::Mode::ReadWrite);
        auto check = db.prepare("PRAGMA integrity_check");
        ASSERT_TRUE(check.step());
        ASSERT_EQ(check.columnText(0), "ok");
        const std::vector<Row> rows = RowsAfter(db, lastNumber, &lastNumber);
        ASSERT_LE(rows.size(), contacts.size());
        if (!killed) {
            ASSERT_EQ(rows.size(), contacts.size()) << "a run that ended wrote every contact";
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i < whole.size()) {
                ASSERT_EQ(rows[i].whole, whole[i]) << "row " << i << " of this run";
                continue;
            }
            const Contact& want = contacts[i];
            const Contact& got = rows[i].contact;
            ASSERT_EQ(got.call, want.call) << "row " << i;
            ASSERT_EQ(got.date, want.date) << "row " << i;
            ASSERT_EQ(got.time, want.time) << "row " << i;
            ASSERT_EQ(got.name, want.name) << "row " << i;
            whole.push_back(rows[i].whole);
        }
        auto count = db.prepare("SELECT COUNT(*) FROM [QSO-TAB]");
        ASSERT_TRUE(count.step());
        total += rows.size();
        ASSERT_EQ(count.columnInt(0), static_cast<long long>(total)) << "earlier rows changed";
        std::cout << "[crash] kill " << kill << " after " << wait << " ms"
                  << (killed ? "" : " (the run had ended)") << ": " << rows.size() << " rows kept"
                  << std::endl;
    }
    std::cout << "[crash] " << midRun << " of " << kKills << " runs killed mid-import, " << total
              << " rows in the target" << std::endl;
    // Kills that all came after the end would prove nothing.
    EXPECT_GE(midRun, kKills / 2);
}

// The same against Jet targets, for an import (Jet 4) and a LoTW pass
// (Jet 3): a killed run leaves the file byte for byte as it was (its copy is
// removed by the next run), a finished one a file that passes the checker
// with every contact of the source after the rows before it, or with every
// contact confirmed.
TEST(CrashSafety, KilledRunsLeaveAJetTargetAsItWasOrWhole) {
    test::TempDir dir;
    const std::string host = dir.file("host");
    std::filesystem::create_directories(host);
    test::WriteSmallWorld(host + "/refdata.sqlite");
    std::vector<Contact> contacts = Contacts();
    contacts.resize(kContacts / 4);
    const std::string adif = dir.write("big.adi", AdifLog(contacts));
    const std::string lotw = dir.write("lotw.adi", LotwLog(contacts));
    struct Case {
        const char* name;
        bool jet3;
        const char* type;
    };
    for (const Case& c :
         {Case{"import, Jet 4", false, "adif"}, Case{"LoTW pass, Jet 3", true, "lotw"}}) {
        SCOPED_TRACE(c.name);
        const std::string target = dir.file(c.jet3 ? "LOG3.mdb" : "LOG4.mdb");
        if (!test::MakeJetTarget(target, c.jet3)) GTEST_SKIP() << "no shared Jet fixtures";
        const bool confirming = std::string(c.type) == "lotw";
        std::size_t rows = 0;
        if (confirming) {
            // The contacts to confirm, imported whole first.
            const pid_t pid = StartImport(target, host, adif);
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            rows = contacts.size();
        }
        const unsigned seed = std::random_device{}();
        std::mt19937 random(seed);
        SCOPED_TRACE("seed " + std::to_string(seed));
        long long boundMs = 1500;
        int midRun = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            SCOPED_TRACE("kill " + std::to_string(kill));
            const std::string before = FileBytes(target);
            const long long wait = std::uniform_int_distribution<long long>(50, boundMs)(random);
            const int status =
                KillAfter(StartImport(target, host, confirming ? lotw : adif, c.type), wait);
            const bool killed = WIFSIGNALED(status);
            if (!killed) {
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
                boundMs = std::max(100LL, wait * 4 / 5);
            }
            ASSERT_TRUE(CheckJetFile(target).empty());
            if (FileBytes(target) == before) {
                ++midRun;
                ASSERT_TRUE(killed || confirming) << "a run that ended changed nothing";
                continue;
            }
            // Replaced: every contact of the source after the rows before, or
            // every contact confirmed.
            JetWriter file(target, JetWriter::Mode::ReadOnly);
            const std::uint32_t table = file.FindTable("QSO-TAB");
            const JetTableDef& def = file.Definition(table);
            std::size_t callAt = 0, lotwAt = 0;
            for (std::size_t col = 0; col < def.columns.size(); ++col) {
                if (def.columns[col].name == "QSO-CALL") callAt = col;
                if (def.columns[col].name == "QSO-LOTWREC") lotwAt = col;
            }
            std::vector<std::string> calls;
            std::size_t confirmed = 0;
            file.ScanRows(table, [&](std::uint32_t, const std::vector<JetValue>& row) {
                calls.push_back(std::get<std::string>(row[callAt]));
                confirmed += std::holds_alternative<std::string>(row[lotwAt]);
            });
            if (confirming) {
                ASSERT_EQ(calls.size(), rows);
                ASSERT_EQ(confirmed, rows);
            } else {
                ASSERT_EQ(calls.size(), rows + contacts.size());
                for (std::size_t i = 0; i < contacts.size(); ++i)
                    ASSERT_EQ(calls[rows + i], contacts[i].call);
                rows = calls.size();
            }
            std::cout << "[crash] " << c.name << " kill " << kill << " after " << wait
                      << " ms: replaced, " << rows << " rows" << std::endl;
        }
        std::cout << "[crash] " << c.name << ": " << midRun << " of " << kKills
                  << " runs killed before the file was replaced" << std::endl;
        EXPECT_GE(midRun, kKills / 2);
    }
}

}  // namespace
}  // namespace tvx
