// The whole ADIF import through the command line, against the yardstick:
// the fastest honest bulk insert of exactly the rows the import wrote (read
// back from its target) into a target made like init-target, with one
// transaction, one prepared statement, binds that copy nothing, WAL and
// synchronous=NORMAL. Cases: N contacts into an empty target, 10 N into an
// empty target, N into the 10 N-row target, and the LoTW pass of N contacts
// against N and against 10 N rows; each run is a child process with its own
// peak memory.
//
// N is 100,000 unless TVX_BENCH_CONTACTS says otherwise. With
// TVX_BENCH_BEFORE_CLI naming another build of the command line, every case
// runs with both, side by side in one run; TVX_BENCH_CLI names the build
// measured as "after" when it is not the one built here, and
// TVX_BENCH_STEPS=LABEL=PATH,... more builds run between the two.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "adif_gen.h"
#include "db/jet_target.h"
#include "db/schema.h"
#include "db/sqlite.h"

extern char** environ;

namespace {

using tvx::bench::AdifFlavour;

constexpr int kContacts = 100000;
constexpr std::uint32_t kSeed = 20240601;

struct CliRun {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    int exitCode = -1;
    std::string output;
};

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A temporary host folder with the sample world and an empty target.
class Workspace {
  public:
    Workspace() {
        char pattern[] = "/tmp/tvx-adif-bench-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir_ = pattern;
        std::filesystem::create_directories(dir_ + "/host");
        tvx::createReferenceDatabase(dir_ + "/host/refdata.sqlite");
        tvx::SqliteDb ref(dir_ + "/host/refdata.sqlite", tvx::SqliteDb::Mode::ReadWrite);
        ref.exec(ReadText(std::string(TVX_SOURCE_DIR) + "/samples/refdata.sql"));
        tvx::createTargetDatabase(target());
    }
    // TVX_BENCH_KEEP keeps the logs and targets for a closer look.
    ~Workspace() {
        if (std::getenv("TVX_BENCH_KEEP")) {
            std::printf("kept %s\n", dir_.c_str());
        } else {
            std::filesystem::remove_all(dir_);
        }
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string target() const { return file("target.sqlite"); }

    // Runs the command line on a log, as the README's run command does.
    CliRun Import(const std::string& source, const char* type) const {
        return Import(source, type, target(), TVX_CLI_PATH);
    }
    CliRun Import(const std::string& source, const char* type, const std::string& target,
                  const std::string& cli) const {
        return Run(cli, {"import", "--target", target, "--host-path", file("host"), "--type", type,
                         "--source", source, "--opr-call", "N0CALL", "--yes"});
    }

    CliRun ExportAdif(const std::string& out) const {
        return Run(TVX_CLI_PATH,
                   {"export-adif", "--target", target(), "--host-path", file("host"), out});
    }

  private:
    CliRun Run(const std::string& cli, const std::vector<std::string>& cliArgs) const {
        const std::string out = file("cli-output.txt");
        const std::string rss = file("peak-rss.txt");
        std::vector<std::string> args;
        // A spawned child inherits the parent's high-water mark across exec,
        // so the peak is taken by time(1) when it is there: its child starts
        // from a small process.
        const bool timed = access("/usr/bin/time", X_OK) == 0;
        if (timed) args = {"/usr/bin/time", "-f", "%M", "-o", rss};
        args.push_back(cli);
        args.insert(args.end(), cliArgs.begin(), cliArgs.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

        CliRun run;
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            std::abort();
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        posix_spawn_file_actions_destroy(&actions);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        const long peakKib = timed ? std::atol(ReadText(rss).c_str()) : usage.ru_maxrss;
        run.peakMegabytes = static_cast<double>(peakKib) / 1024.0;
        run.output = ReadText(out);
        return run;
    }

    std::string dir_;
};

// The counters line of the command line's output, for the record.
std::string CountersLine(const std::string& output) {
    const std::size_t at = output.find("Records Read");
    if (at == std::string::npos) return output.substr(0, 200);
    return output.substr(at, output.find_first_of("\r\n", at) - at);
}

// One value of a row as the target stores it.
struct StoredValue {
    int type = SQLITE_NULL;
    std::int64_t number = 0;
    std::string text;
};
using StoredRow = std::vector<StoredValue>;

// The rows an import wrote, every column but the number the database gives.
std::vector<StoredRow> RowsOf(const std::string& target, std::int64_t afterRowId) {
    tvx::SqliteDb db(target, tvx::SqliteDb::Mode::ReadOnly);
    std::string columns;
    const auto& defs = tvx::qsoColumns();
    for (int col = 0; col < static_cast<int>(defs.size()); ++col) {
        if (col == tvx::kQsoNumber) continue;
        columns += (columns.empty() ? "" : ",") + tvx::bracket(defs[col].name);
    }
    tvx::SqliteStatement st =
        db.prepare("SELECT " + columns + " FROM [QSO-TAB] WHERE rowid > ?1 ORDER BY rowid");
    st.bindInt(1, afterRowId);
    std::vector<StoredRow> rows;
    while (st.step()) {
        StoredRow row(static_cast<std::size_t>(st.columnCount()));
        for (int i = 0; i < st.columnCount(); ++i) {
            StoredValue& v = row[static_cast<std::size_t>(i)];
            v.type = sqlite3_column_type(st.handle(), i);
            if (v.type == SQLITE_INTEGER) v.number = st.columnInt(i);
            if (v.type == SQLITE_TEXT || v.type == SQLITE_FLOAT || v.type == SQLITE_BLOB) {
                v.type = SQLITE_TEXT;
                v.text = st.columnText(i);
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::int64_t MaxRowId(const std::string& target) {
    tvx::SqliteDb db(target, tvx::SqliteDb::Mode::ReadOnly);
    tvx::SqliteStatement st = db.prepare("SELECT coalesce(max(rowid), 0) FROM [QSO-TAB]");
    st.step();
    return st.columnInt(0);
}

struct Timing {
    double seconds = 0;
    double cpuSeconds = 0;
};

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "yardstick: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

// The yardstick: the rows, already in memory, into the target in one
// transaction of one prepared statement whose binds copy nothing.
Timing BulkInsert(const std::string& target, const std::vector<StoredRow>& rows) {
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    sqlite3* db = nullptr;
    Check(db, sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr));
    Check(db, sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr,
                           nullptr, nullptr));
    std::string columns, marks;
    const auto& defs = tvx::qsoColumns();
    for (int col = 0; col < static_cast<int>(defs.size()); ++col) {
        if (col == tvx::kQsoNumber) continue;
        columns += (columns.empty() ? "" : ",") + tvx::bracket(defs[col].name);
        marks += marks.empty() ? "?" : ",?";
    }
    const std::string sql = "INSERT INTO [QSO-TAB] (" + columns + ") VALUES (" + marks + ")";
    sqlite3_stmt* insert = nullptr;
    Check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr));
    Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
    for (const StoredRow& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const StoredValue& v = row[i];
            const int p = static_cast<int>(i) + 1;
            if (v.type == SQLITE_INTEGER) {
                sqlite3_bind_int64(insert, p, v.number);
            } else if (v.type == SQLITE_TEXT) {
                sqlite3_bind_text(insert, p, v.text.data(), static_cast<int>(v.text.size()),
                                  SQLITE_STATIC);
            } else {
                sqlite3_bind_null(insert, p);
            }
        }
        Check(db, sqlite3_step(insert));
        sqlite3_reset(insert);
    }
    Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
    sqlite3_finalize(insert);
    sqlite3_close(db);
    Timing t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    return t;
}

int ContactsFromEnvironment() {
    const char* n = std::getenv("TVX_BENCH_CONTACTS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : 100000;
}

void Copy(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

struct CaseResult {
    CliRun run;
    Timing yardstick;
};

void Print(const char* build, const char* what, const CaseResult& r) {
    std::printf(
        "%-6s %-44s %7.2f s (CPU %6.2f)  yardstick %6.2f s (CPU %6.2f)  ratio %5.2f "
        "(CPU %5.2f)  peak %7.1f MB\n",
        build, what, r.run.seconds, r.run.cpuSeconds, r.yardstick.seconds, r.yardstick.cpuSeconds,
        r.run.seconds / r.yardstick.seconds, r.run.cpuSeconds / r.yardstick.cpuSeconds,
        r.run.peakMegabytes);
    std::printf("       %s\n", CountersLine(r.run.output).c_str());
    std::fflush(stdout);
}

// Every case for one build of the command line; the logs are shared.
struct Suite {
    const Workspace& ws;
    int n;
    std::string small, large, extra, lotw;

    std::map<std::string, CaseResult> Run(const char* build, const std::string& cli) const {
        std::map<std::string, CaseResult> r;
        const std::string empty = ws.file("empty.sqlite");
        std::filesystem::remove(empty);
        tvx::createTargetDatabase(empty);
        const std::string target = ws.file("target.sqlite");
        const std::string big = ws.file("big.sqlite");
        const std::string work = ws.file("work.sqlite");
        const std::string yard = ws.file("yardstick.sqlite");

        // One import case: the source imported into a copy of base, and the
        // yardstick inserting the same new rows into another copy of base.
        const auto importCase = [&](const char* key, const char* label, const std::string& source,
                                    const std::string& base, const std::string& into) {
            Copy(base, into);
            const std::int64_t before = MaxRowId(into);
            r[key].run = ws.Import(source, "adif", into, cli);
            const auto rows = RowsOf(into, before);
            Copy(base, yard);
            r[key].yardstick = BulkInsert(yard, rows);
            Print(build, label, r[key]);
        };
        importCase("import_n", "ADIF import, N into an empty target", small, empty, target);
        importCase("import_10n", "ADIF import, 10 N into an empty target", large, empty, big);
        importCase("import_n_into_10n", "ADIF import, N into the 10 N-row target", extra, big,
                   work);

        // The LoTW pass against N rows and against 10 N rows; the yardstick
        // is the bulk insert of the N-row import.
        Copy(target, work);
        r["lotw_n"].run = ws.Import(lotw, "lotw", work, cli);
        r["lotw_n"].yardstick = r["import_n"].yardstick;
        Print(build, "LoTW pass of N against N rows", r["lotw_n"]);
        Copy(big, work);
        r["lotw_10n"].run = ws.Import(lotw, "lotw", work, cli);
        r["lotw_10n"].yardstick = r["import_n"].yardstick;
        Print(build, "LoTW pass of N against 10 N rows", r["lotw_10n"]);

        // The same ratios of the yardstick: how far the storage engine itself
        // is from linear.
        const auto ratios = [&](const char* who, auto seconds) {
            std::printf("%-6s %-10s 10 N / N: %.2f; N into 10 N rows / N into empty: %.2f\n", build,
                        who, seconds(r["import_10n"]) / seconds(r["import_n"]),
                        seconds(r["import_n_into_10n"]) / seconds(r["import_n"]));
        };
        ratios("import", [](const CaseResult& c) { return c.run.seconds; });
        ratios("(CPU)", [](const CaseResult& c) { return c.run.cpuSeconds; });
        ratios("yardstick", [](const CaseResult& c) { return c.yardstick.seconds; });
        std::printf("\n");
        std::fflush(stdout);
        return r;
    }
};

void BM_ImportAgainstYardstick(benchmark::State& state) {
    const int n = ContactsFromEnvironment();
    for (auto _ : state) {
        Workspace ws;
        Suite suite{ws,
                    n,
                    ws.file("small.adi"),
                    ws.file("large.adi"),
                    ws.file("extra.adi"),
                    ws.file("lotw.adi")};
        tvx::bench::WriteAdifLogFile(suite.small, n, kSeed, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(suite.large, 10 * n, kSeed, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(suite.extra, n, kSeed + 1, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(suite.lotw, n, kSeed, AdifFlavour::Lotw);
        std::printf("N = %d\n", n);
        std::map<std::string, CaseResult> before;
        if (const char* other = std::getenv("TVX_BENCH_BEFORE_CLI")) {
            before = suite.Run("before", other);
        }
        // Builds between before and after, as LABEL=PATH,LABEL=PATH.
        std::stringstream steps(std::getenv("TVX_BENCH_STEPS") ? std::getenv("TVX_BENCH_STEPS")
                                                               : "");
        for (std::string step; std::getline(steps, step, ',');) {
            const std::size_t eq = step.find('=');
            if (eq != std::string::npos) suite.Run(step.substr(0, eq).c_str(), step.substr(eq + 1));
        }
        const char* cli = std::getenv("TVX_BENCH_CLI");
        const auto after = suite.Run("after", cli ? cli : TVX_CLI_PATH);
        for (const auto& [name, r] : after) {
            state.counters[name + "_ratio"] = r.run.seconds / r.yardstick.seconds;
            state.counters[name + "_peak_MB"] = r.run.peakMegabytes;
            if (before.count(name)) {
                const CaseResult& b = before.at(name);
                state.counters[name + "_before_ratio"] = b.run.seconds / b.yardstick.seconds;
                // The yardstick writes the same rows for both builds: on a
                // busy machine its faster run is the fairer measure.
                const double wall = std::min(b.yardstick.seconds, r.yardstick.seconds);
                const double cpu = std::min(b.yardstick.cpuSeconds, r.yardstick.cpuSeconds);
                std::printf(
                    "%-20s against the faster yardstick (%.2f s, CPU %.2f s): before %5.2f "
                    "(CPU %5.2f) after %5.2f (CPU %5.2f)\n",
                    name.c_str(), wall, cpu, b.run.seconds / wall, b.run.cpuSeconds / cpu,
                    r.run.seconds / wall, r.run.cpuSeconds / cpu);
                std::printf(
                    "%-20s ratio before %5.2f after %5.2f; time after/before %.2f (CPU "
                    "%.2f); peak %.1f -> %.1f MB\n",
                    name.c_str(), b.run.seconds / b.yardstick.seconds,
                    r.run.seconds / r.yardstick.seconds, r.run.seconds / b.run.seconds,
                    r.run.cpuSeconds / b.run.cpuSeconds, b.run.peakMegabytes, r.run.peakMegabytes);
            }
            if (r.run.exitCode != 0) state.SkipWithError(("command line failed: " + name).c_str());
        }
        state.SetIterationTime(after.at("import_n").run.seconds);
    }
}
BENCHMARK(BM_ImportAgainstYardstick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The same import into each kind of target the host program may have: the
// SQLite target, and Jet 4 and Jet 3 files with the target's tables added
// (the shared empty Access 2000 database and Access 97 sample). N contacts
// into an empty target, the LoTW pass of N against those N rows, and N into
// a 10 N-row target (the peak memory against a large file). Each Jet case
// as a ratio of the SQLite one.
void BM_ImportIntoEachTargetKind(benchmark::State& state) {
    const int n = ContactsFromEnvironment();
    const std::string shared = std::string(TVX_SOURCE_DIR) + "/../shared/data/jet/";
    if (!std::filesystem::exists(shared + "real/empty-v2000.mdb")) {
        state.SkipWithError("no shared Jet files");
        return;
    }
    for (auto _ : state) {
        Workspace ws;
        const std::string small = ws.file("small.adi"), large = ws.file("large.adi"),
                          lotw = ws.file("lotw.adi");
        tvx::bench::WriteAdifLogFile(small, n, kSeed, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(large, 10 * n, kSeed, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(lotw, n, kSeed, AdifFlavour::Lotw);
        struct Kind {
            const char* name;
            const char* base;  // empty: SQLite
        };
        std::map<std::string, double> sqlite;
        for (const Kind& kind : {Kind{"SQLite", ""}, Kind{"Jet 4", "real/empty-v2000.mdb"},
                                 Kind{"Jet 3", "jet3-sample.mdb"}}) {
            const std::string ext = *kind.base ? ".mdb" : ".sqlite";
            const std::string empty = ws.file("empty" + ext), target = ws.file("kind" + ext),
                              big = ws.file("big" + ext);
            std::filesystem::remove(empty);
            if (*kind.base) {
                Copy(shared + kind.base, empty);
                std::filesystem::permissions(empty, std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::add);
                tvx::AddJetTargetTables(empty);
            } else {
                tvx::createTargetDatabase(empty);
            }
            const auto report = [&](const std::string& what, const CliRun& run) {
                if (!*kind.base) sqlite[what] = run.seconds;
                std::printf(
                    "%-7s %-36s %7.2f s (CPU %6.2f)  %5.2fx SQLite  peak %7.1f MB\n       %s\n",
                    kind.name, what.c_str(), run.seconds, run.cpuSeconds,
                    run.seconds / sqlite[what], run.peakMegabytes,
                    CountersLine(run.output).c_str());
                std::fflush(stdout);
                state.counters[std::string(kind.name) + " " + what + " s"] = run.seconds;
                state.counters[std::string(kind.name) + " " + what + " peak_MB"] =
                    run.peakMegabytes;
                if (run.exitCode != 0)
                    state.SkipWithError(("command line failed: " + what).c_str());
            };
            Copy(empty, target);
            report("import N into an empty target", ws.Import(small, "adif", target, TVX_CLI_PATH));
            report("LoTW pass of N against N rows", ws.Import(lotw, "lotw", target, TVX_CLI_PATH));
            Copy(empty, big);
            const CliRun grow = ws.Import(large, "adif", big, TVX_CLI_PATH);
            if (grow.exitCode != 0) state.SkipWithError("the 10 N-row target was not made");
            std::printf("%-7s 10 N-row target: %.1f MB\n", kind.name,
                        static_cast<double>(std::filesystem::file_size(big)) / 1048576.0);
            report("import N into 10 N rows", ws.Import(small, "adif", big, TVX_CLI_PATH));
        }
    }
}
BENCHMARK(BM_ImportIntoEachTargetKind)->Unit(benchmark::kMillisecond)->Iterations(1);

// The reader streams: the peak must not grow with the log.
void BM_AdifImportPeakMemory(benchmark::State& state) {
    const int contacts = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Workspace ws;
        const std::string log = ws.file("log.adi");
        tvx::bench::WriteAdifLogFile(log, contacts, kSeed, AdifFlavour::Standard);
        const CliRun run = ws.Import(log, "adif");
        state.SetIterationTime(run.seconds);
        state.counters["peak_MB"] = run.peakMegabytes;
        state.counters["import_cpu_s"] = run.cpuSeconds;
        std::printf("ADIF import of %d contacts: %.2f s (CPU %.2f s), peak %.1f MB\n  %s\n",
                    contacts, run.seconds, run.cpuSeconds, run.peakMegabytes,
                    CountersLine(run.output).c_str());
        if (run.exitCode != 0) state.SkipWithError("command line failed");
    }
}
BENCHMARK(BM_AdifImportPeakMemory)
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// The export streams: 100,000 rows well under a second, and the same peak
// for ten times fewer rows.
void BM_AdifExport(benchmark::State& state) {
    const int contacts = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Workspace ws;
        const std::string log = ws.file("log.adi");
        tvx::bench::WriteAdifLogFile(log, contacts, kSeed, AdifFlavour::Standard);
        if (ws.Import(log, "adif").exitCode != 0) state.SkipWithError("the log did not import");
        const CliRun run = ws.ExportAdif(ws.file("export.adi"));
        state.SetIterationTime(run.seconds);
        state.counters["export_cpu_s"] = run.cpuSeconds;
        state.counters["peak_MB"] = run.peakMegabytes;
        const std::size_t last = run.output.rfind("Records written");
        std::printf("ADIF export of a %d-contact log: %.2f s (CPU %.2f s), peak %.1f MB\n  %s",
                    contacts, run.seconds, run.cpuSeconds, run.peakMegabytes,
                    last == std::string::npos ? run.output.c_str() : run.output.c_str() + last);
        if (run.exitCode != 0) state.SkipWithError("command line failed");
    }
}
BENCHMARK(BM_AdifExport)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
