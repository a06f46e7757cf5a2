// The whole ADIF import through the command line, against the plainest
// possible way to put the same number of rows into the same schema: one
// transaction of prepared inserts. Also the LoTW confirmation pass and the
// peak memory of the import for a small and a very large log.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adif_gen.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "readers/adif_fields.h"

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
    ~Workspace() { std::filesystem::remove_all(dir_); }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string target() const { return file("target.sqlite"); }

    // Runs the command line on a log, as the README's run command does.
    CliRun Import(const std::string& source, const char* type) const {
        return Run({"import", "--target", target(), "--host-path", file("host"), "--type", type,
                    "--source", source, "--opr-call", "N0CALL", "--yes"});
    }

    CliRun ExportAdif(const std::string& out) const {
        return Run({"export-adif", "--target", target(), "--host-path", file("host"), out});
    }

  private:
    CliRun Run(const std::vector<std::string>& cliArgs) const {
        const std::string out = file("cli-output.txt");
        const std::string rss = file("peak-rss.txt");
        std::vector<std::string> args;
        // A spawned child inherits the parent's high-water mark across exec,
        // so the peak is taken by time(1) when it is there: its child starts
        // from a small process.
        const bool timed = access("/usr/bin/time", X_OK) == 0;
        if (timed) args = {"/usr/bin/time", "-f", "%M", "-o", rss};
        args.push_back(TVX_CLI_PATH);
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

// The rows the import writes, column by column as the target stores them,
// made before the clock starts.
std::vector<std::vector<std::string>> BaselineRows(int contacts) {
    tvx::bench::AdifLogGenerator gen(kSeed);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<std::size_t>(contacts));
    for (int i = 0; i < contacts; ++i) {
        const tvx::bench::GeneratedContact c = gen.Next();
        std::vector<std::string> v(tvx::kQsoColumnCount);
        v[tvx::kQsoDate] = c.date;
        v[tvx::kQsoTime] = c.time;
        v[tvx::kQsoCall] = c.call;
        v[tvx::kQsoRsts] = c.rstSent;
        v[tvx::kQsoRstr] = c.rstRcvd;
        v[tvx::kQsoName] = c.name;
        v[tvx::kQsoNote] = c.comment;
        v[tvx::kQsoPrefix] = c.call.substr(0, 2);
        v[tvx::kQsoCqZone] = "14";
        v[tvx::kQsoItuZone] = "28";
        v[tvx::kQsoMode] = c.mode == "CW" ? "2" : "6";
        v[tvx::kQsoSubmode] = c.mode == "FT8" ? "FT8" : "";
        v[tvx::kQsoFreq] = tvx::AdifFrequencyToKhz(c.freq);
        v[tvx::kQsoBand] = tvx::AdifBandCode(c.band);
        v[tvx::kQsoWpx] = c.call.substr(0, 3);
        v[tvx::kQsoState] = c.state;
        v[tvx::kQsoGrid] = c.grid;
        v[tvx::kQsoConfirm] = c.qslRcvd ? "1" : "0";
        v[tvx::kQsoQsls] = "0";
        v[tvx::kQsoQslVia] = "5";
        v[tvx::kQsoMgrNumb] = "1";
        v[tvx::kQsoValid] = "3";
        v[tvx::kQsoAward] = "0";
        v[tvx::kQsoSelect] = "0";
        v[tvx::kQsoCategory] = "0";
        v[tvx::kQsoSat] = "None";
        v[tvx::kQsoOprCall] = "N0CALL";
        v[tvx::kQsoQslrDate] = c.qslRcvdDate;
        rows.push_back(std::move(v));
    }
    return rows;
}

struct BulkRun {
    double seconds = 0;
    double cpuSeconds = 0;
};

// One transaction of prepared inserts into an empty target of the same schema.
BulkRun BulkInsert(const Workspace& ws, const std::vector<std::vector<std::string>>& rows) {
    const std::string path = ws.file("bulk.sqlite");
    std::filesystem::remove(path);
    tvx::createTargetDatabase(path);
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    {
        tvx::SqliteDb db(path, tvx::SqliteDb::Mode::ReadWrite);
        std::string columns, marks;
        std::vector<int> order;
        const auto& defs = tvx::qsoColumns();
        for (int col = 0; col < static_cast<int>(defs.size()); ++col) {
            if (col == tvx::kQsoNumber) continue;
            columns += (columns.empty() ? "" : ",") + tvx::bracket(defs[col].name);
            marks += marks.empty() ? "?" : ",?";
            order.push_back(col);
        }
        tvx::SqliteStatement insert =
            db.prepare("INSERT INTO [QSO-TAB] (" + columns + ") VALUES (" + marks + ")");
        db.exec("BEGIN");
        for (const auto& row : rows) {
            for (std::size_t i = 0; i < order.size(); ++i) {
                const std::string& value = row[order[i]];
                if (value.empty()) {
                    insert.bindNull(static_cast<int>(i) + 1);
                } else if (defs[order[i]].kind == tvx::ColumnKind::Long) {
                    insert.bindInt(static_cast<int>(i) + 1, std::stoll(value));
                } else {
                    insert.bindText(static_cast<int>(i) + 1, value);
                }
            }
            insert.step();
            insert.reset();
        }
        db.exec("COMMIT");
    }
    BulkRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    return run;
}

// Wall-clock time and CPU time: on a busy machine the CPU ratio is the
// steadier figure.
void Report(benchmark::State& state, const char* what, const CliRun& run, const BulkRun& bulk) {
    state.SetIterationTime(run.seconds);
    state.counters["import_s"] = run.seconds;
    state.counters["bulk_insert_s"] = bulk.seconds;
    state.counters["ratio"] = run.seconds / bulk.seconds;
    state.counters["import_cpu_s"] = run.cpuSeconds;
    state.counters["bulk_cpu_s"] = bulk.cpuSeconds;
    state.counters["cpu_ratio"] = run.cpuSeconds / bulk.cpuSeconds;
    state.counters["peak_MB"] = run.peakMegabytes;
    std::printf(
        "%s: %.2f s (CPU %.2f s); bulk insert of the same number of rows %.2f s (CPU %.2f s); "
        "ratio %.2f (CPU %.2f); peak %.1f MB\n  %s\n",
        what, run.seconds, run.cpuSeconds, bulk.seconds, bulk.cpuSeconds,
        run.seconds / bulk.seconds, run.cpuSeconds / bulk.cpuSeconds, run.peakMegabytes,
        CountersLine(run.output).c_str());
    if (run.exitCode != 0) state.SkipWithError(("command line failed: " + run.output).c_str());
}

void BM_AdifImportAgainstBulkInsert(benchmark::State& state) {
    for (auto _ : state) {
        Workspace ws;
        const std::string log = ws.file("log.adi");
        tvx::bench::WriteAdifLogFile(log, kContacts, kSeed, AdifFlavour::Standard);
        const CliRun run = ws.Import(log, "adif");
        const auto rows = BaselineRows(kContacts);
        const BulkRun bulk = BulkInsert(ws, rows);
        Report(state, "ADIF import of 100,000 contacts", run, bulk);
    }
}
BENCHMARK(BM_AdifImportAgainstBulkInsert)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_LotwConfirmationAgainstBulkInsert(benchmark::State& state) {
    for (auto _ : state) {
        Workspace ws;
        const std::string log = ws.file("log.adi");
        const std::string lotw = ws.file("lotw.adi");
        tvx::bench::WriteAdifLogFile(log, kContacts, kSeed, AdifFlavour::Standard);
        tvx::bench::WriteAdifLogFile(lotw, kContacts, kSeed, AdifFlavour::Lotw);
        const CliRun first = ws.Import(log, "adif");
        if (first.exitCode != 0) state.SkipWithError("the station's log did not import");
        const CliRun run = ws.Import(lotw, "lotw");
        const auto rows = BaselineRows(kContacts);
        const BulkRun bulk = BulkInsert(ws, rows);
        Report(state, "LoTW run of 100,000 contacts against the 100,000-row log", run, bulk);
    }
}
BENCHMARK(BM_LotwConfirmationAgainstBulkInsert)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

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
