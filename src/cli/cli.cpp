#include "cli/cli.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <map>
#include <optional>

#include "db/cty_refdata.h"
#include "db/jet_target.h"
#include "db/schema.h"
#include "export/adif_export.h"
#include "import/progress.h"
#include "import/session.h"
#include "readers/source_types.h"
#include "util/text.h"

namespace tvx {

namespace {

std::atomic<bool> g_interrupted{false};
// SIGTERM or SIGHUP: a logout, a closed terminal, a service stop.
std::atomic<bool> g_terminated{false};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

extern "C" void OnTerminate(int signo) {
    if (g_terminated.exchange(true)) {
        // A second one ends the program at once.
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    g_interrupted = true;
}

// Ctrl-C and the ending signals stop the run as Stop Import does, from the
// start of the session until its target is closed: the last commit happens
// at the close.
class StopSignals {
  public:
    StopSignals() {
        g_interrupted = false;
        g_terminated = false;
        interrupt_ = std::signal(SIGINT, OnInterrupt);
        terminate_ = std::signal(SIGTERM, OnTerminate);
        hangup_ = std::signal(SIGHUP, OnTerminate);
    }
    ~StopSignals() {
        std::signal(SIGINT, interrupt_);
        std::signal(SIGTERM, terminate_);
        std::signal(SIGHUP, hangup_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    void (*interrupt_)(int);
    void (*terminate_)(int);
    void (*hangup_)(int);
};

// The TYPE lines list the command-line names of the source-type table,
// wrapped to 80 columns.
std::string TypeLines() {
    const auto& types = SourceTypes();
    std::string lines;
    std::string line = "TYPE: 0-" + std::to_string(types.size() - 1) + " or";
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::string word = std::string(types[i].cliName) + (i + 1 < types.size() ? "," : "");
        if (line.size() + 1 + word.size() > 80) {
            lines += line + '\n';
            line = std::string(6, ' ') + word;
        } else {
            line += ' ' + word;
        }
    }
    return lines + line + '\n';
}

const std::string& UsageText() {
    static const std::string text =
        "usage:\n"
        "  tolvex-import-cli import --target FILE --host-path DIR --type TYPE --source FILE\n"
        "      [--filter none|all|not-confirmed|not-worked] [--note TEXT] [--spec1 TEXT]\n"
        "      [--spec2 TEXT] [--qsl-sent-date] [--opr-call CALL] [--opr-list CALL[,CALL...]]\n"
        "      [--settings FILE] [--yes]\n"
        "  tolvex-import-cli export-adif --target FILE [--host-path DIR] [--settings FILE] "
        "OUT.adi\n"
        "  tolvex-import-cli init-target FILE | --into FILE.mdb\n"
        "  tolvex-import-cli init-refdata FILE\n"
        "  tolvex-import-cli build-refdata --cty FILE OUT\n" +
        TypeLines();
    return text;
}

std::string OneLine(std::string text) {
    for (char& ch : text) {
        if (ch == '\n' || ch == '\r') ch = ' ';
    }
    return text;
}

class CliHost : public ImportHost {
  public:
    CliHost(std::istream& in, std::ostream& err, bool interactive, bool yes)
        : in_(in),
          err_(err),
          interactive_(interactive),
          yes_(yes),
          // The \r-updated line is for a person watching a terminal; a log
          // file or a pipe gets none of it.
          progress_(&err == &std::cerr && isatty(STDERR_FILENO)) {}

    void attach(ImportSession* session) { session_ = session; }
    bool stopShown() const { return stopShown_; }

    bool ask(int messageId, const std::string& text, MessageIcon) override {
        // The abort question comes only from a stop request: an ending signal
        // stops without asking, and Ctrl-C with no one to ask means Yes.
        const bool abort = messageId == kMsgAbortQuestion;
        if (abort && g_terminated) return true;
        clearProgress();
        err_ << "question: " << OneLine(text) << '\n';
        if (yes_ || (abort && !interactive_)) return true;
        if (!interactive_) return false;
        err_ << "[y/N] " << std::flush;
        std::string answer;
        if (!std::getline(in_, answer)) return false;
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }

    void notify(int, const std::string& text, MessageIcon icon) override {
        clearProgress();
        const char* prefix = "notice: ";
        if (icon == MessageIcon::Stop) {
            prefix = "error: ";
            stopShown_ = true;
        } else if (icon == MessageIcon::Question) {
            prefix = "question: ";
        }
        err_ << prefix << OneLine(text) << '\n';
    }

    void pump() override {
        if (g_interrupted.exchange(false) && session_) session_->StopImport();
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress_ < std::chrono::milliseconds(200)) return;
        lastProgress_ = now;
        err_ << "\rRecords Read: " << counters_.recordsRead
             << "  Records Loaded: " << counters_.recordsLoaded;
        if (total_ > 0) err_ << "  " << std::min<std::int64_t>(done_ * 100 / total_, 100) << "%";
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - runStart_).count();
        const std::string summary = ProgressSummary(counters_.recordsRead, done_, total_, elapsed);
        if (!summary.empty()) err_ << "  " << summary;
        err_ << "\033[K" << std::flush;
        progressShown_ = true;
    }

    void runningChanged(bool running) override {
        if (running) {
            runStart_ = std::chrono::steady_clock::now();
            done_ = total_ = 0;
        } else {
            clearProgress();
        }
    }
    void progressChanged(std::int64_t done, std::int64_t total) override {
        done_ = done;
        total_ = total;
    }

    void countersChanged(const Counters& counters) override { counters_ = counters; }
    void problemAdded(const std::string&) override {}

  private:
    void clearProgress() {
        if (progressShown_) {
            err_ << "\r\033[K";
            progressShown_ = false;
        }
    }

    std::istream& in_;
    std::ostream& err_;
    bool interactive_;
    bool yes_;
    bool progress_;
    bool progressShown_ = false;
    bool stopShown_ = false;
    Counters counters_;
    ImportSession* session_ = nullptr;
    std::chrono::steady_clock::time_point lastProgress_{};
    std::chrono::steady_clock::time_point runStart_{};
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
};

int Usage(std::ostream& err, const std::string& problem) {
    if (!problem.empty()) err << "tolvex-import-cli: " << problem << '\n';
    err << UsageText();
    return 2;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::string item;
    for (char ch : text + ",") {
        if (ch == ',') {
            if (!Trim(item).empty()) items.push_back(Trim(item));
            item.clear();
        } else {
            item += ch;
        }
    }
    return items;
}

using ArgValues = std::map<std::string, std::string>;

// The import command's flags into `values` (a flag without a value as "1").
// An exit code when the command ends here: help shown or a usage error.
std::optional<int> ParseImportArgs(const std::vector<std::string>& args, std::ostream& out,
                                   std::ostream& err, ArgValues& values) {
    // Flag name and whether it takes a value.
    static const std::map<std::string, bool> kOptions = {
        {"--target", true},   {"--host-path", true}, {"--type", true},
        {"--source", true},   {"--filter", true},    {"--note", true},
        {"--spec1", true},    {"--spec2", true},     {"--opr-call", true},
        {"--opr-list", true}, {"--settings", true},  {"--qsl-sent-date", false},
        {"--yes", false},
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << UsageText();
            return 0;
        }
        const auto it = kOptions.find(args[i]);
        if (it == kOptions.end()) return Usage(err, "unknown option " + args[i]);
        if (it->second) {
            if (i + 1 >= args.size()) return Usage(err, args[i] + " needs a value");
            values[args[i]] = args[i + 1];
            ++i;
        } else {
            values[args[i]] = "1";
        }
    }
    if (!values.count("--target")) return Usage(err, "--target is required");
    return std::nullopt;
}

// --type and --filter into the options; a usage error's exit code when
// either names nothing known.
std::optional<int> ReadTypeAndFilter(ArgValues& values, const std::vector<SourceType>& types,
                                     std::ostream& err, ImportOptions& options) {
    if (values.count("--type")) {
        options.sourceType = SourceTypeFromName(types, values["--type"]);
        if (options.sourceType < 0) return Usage(err, "unknown type " + values["--type"]);
    }
    if (values.count("--filter")) {
        static const std::map<std::string, int> kFilters = {{"none", kFilterNone},
                                                            {"all", kFilterAll},
                                                            {"not-confirmed", kFilterNotConfirmed},
                                                            {"not-worked", kFilterNotWorked}};
        const auto f = kFilters.find(values["--filter"]);
        if (f == kFilters.end()) return Usage(err, "unknown filter " + values["--filter"]);
        options.filter = f->second;
    }
    return std::nullopt;
}

// The settings file refused, or the chosen target is the reference database
// that the settings name: the stop message, and true.
bool RefusedBySettings(CliHost& host, const HostSettings& settings, const ApplicationPaths& app) {
    if (!settings.problem.empty()) {
        host.notify(kMsgSettingsNotRead,
                    MessageText(kMsgSettingsNotRead) + ":\n" + settings.problem, MessageIcon::Stop);
        return true;
    }
    if (!settings.dataPath.empty() &&
        IsRefdataOfDataPath(app.m_strTargetPath, CutDataPath(settings.dataPath))) {
        host.notify(kMsgRefdataChosenAsTarget, MessageText(kMsgRefdataChosenAsTarget),
                    MessageIcon::Stop);
        return true;
    }
    return false;
}

// The form's fields from the flags, cut to the lengths of the form's edits;
// the settings give the host path and the operator when no flag does.
void FillFormFields(ArgValues& values, const ApplicationPaths& app, ImportOptions& options) {
    options.sourcePath = values.count("--source") ? values["--source"] : std::string();
    options.hostPath = values.count("--host-path") ? values["--host-path"] : app.m_strProgramPath;
    options.defaultOprCall = ToUpper(
        Left(values.count("--opr-call") ? values["--opr-call"] : app.m_strOperatorCall, 15));
    options.defaultNote = Left(values["--note"], 50);
    options.defaultSpec1 = Left(values["--spec1"], 25);
    options.defaultSpec2 = Left(values["--spec2"], 25);
    options.qslSentFromDate = values.count("--qsl-sent-date") > 0;
    options.oprCalls.push_back(options.defaultOprCall);
    for (const auto& call : SplitList(values["--opr-list"])) options.oprCalls.push_back(call);
}

// One Begin Import, Ctrl+C standing for the Stop button; the counters on
// stdout when it ran.
int RunSession(CliHost& host, ApplicationPaths& app, const std::vector<SourceType>& types,
               const ImportOptions& options, std::ostream& out, std::ostream& err) {
    ImportSession session(host, app, types);
    host.attach(&session);
    const std::string targetError = session.OpenTarget();
    if (!targetError.empty()) err << "error: " << OneLine(targetError) << '\n';

    bool ran = false;
    {
        StopSignals signals;
        ran = session.BeginImport(options);
        session.CloseTarget();
    }
    if (!ran) return 1;

    const Counters c = session.counters();
    out << "Records Read: " << c.recordsRead << "  Records Loaded: " << c.recordsLoaded
        << "  Records Ignored: " << c.recordsIgnored << "  Errors: " << c.errors
        << "  Warnings: " << c.warnings << std::endl;
    return host.stopShown() || g_terminated ? 1 : 0;
}

int RunImport(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err, bool interactive) {
    ArgValues values;
    if (const auto done = ParseImportArgs(args, out, err, values)) return *done;
    const auto& types = SourceTypes();
    ImportOptions options;
    if (const auto done = ReadTypeAndFilter(values, types, err, options)) return *done;

    const std::string settingsPath =
        values.count("--settings") ? values["--settings"] : DefaultSettingsPath();
    const HostSettings settings = ReadHostSettings(settingsPath);
    ApplicationPaths app;
    app.m_strSettingsPath = settingsPath;
    app.m_strTargetPath = values["--target"];
    app.m_strProgramPath = settings.programPath;
    app.m_strOperatorCall = settings.operatorCall;

    CliHost host(in, err, interactive, values.count("--yes") > 0);
    if (RefusedBySettings(host, settings, app)) return 1;
    FillFormFields(values, app, options);
    return RunSession(host, app, types, options, out, err);
}

int RunExportAdif(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::map<std::string, std::string> values;
    std::string outPath;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--target" || arg == "--host-path" || arg == "--settings") {
            if (i + 1 >= args.size()) return Usage(err, arg + " needs a value");
            values[arg] = args[++i];
        } else if (arg.starts_with("--") || !outPath.empty()) {
            return Usage(err, "export-adif: unexpected " + arg);
        } else {
            outPath = arg;
        }
    }
    if (!values.count("--target")) return Usage(err, "--target is required");
    if (outPath.empty()) return Usage(err, "export-adif needs the OUT file");
    std::string hostPath = values["--host-path"];
    if (hostPath.empty()) {
        const std::string settingsPath =
            values.count("--settings") ? values["--settings"] : DefaultSettingsPath();
        hostPath = ReadHostSettings(settingsPath).programPath;
    }
    if (hostPath.empty()) return Usage(err, "--host-path is required (no PGMPATH in settings)");

    const AdifExportResult result = ExportAdifFile(values["--target"], hostPath, outPath);
    const std::string warning = result.WarningLine();
    if (!warning.empty()) err << warning << '\n';
    // With the records on standard output, the count goes beside the warnings.
    (outPath == "-" ? err : out) << "Records written: " << result.recordsWritten << std::endl;
    return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool interactive) {
    if (args.empty()) return Usage(err, "");
    const std::string& command = args[0];
    try {
        if (command == "import") return RunImport(args, in, out, err, interactive);
        if (command == "export-adif") return RunExportAdif(args, out, err);
        if (command == "init-target" && args.size() == 3 && args[1] == "--into") {
            AddJetTargetTables(args[2]);
            out << "added [QSO-TAB], [QSO-NOTES] and [DXCCTAB] to " << args[2] << std::endl;
            return 0;
        }
        if (command == "init-target" || command == "init-refdata") {
            if (args.size() != 2) return Usage(err, command + " takes one FILE");
            if (command == "init-target" && args[1].size() > 4 &&
                EqualsNoCase(std::string_view(args[1]).substr(args[1].size() - 4), ".mdb")) {
                return Usage(err,
                             "a Jet database is not made from nothing: init-target --into FILE.mdb "
                             "adds the tables to an existing one");
            }
            if (command == "init-target") {
                createTargetDatabase(args[1]);
            } else {
                createReferenceDatabase(args[1]);
            }
            out << "created " << args[1] << std::endl;
            return 0;
        }
        if (command == "build-refdata") {
            if (args.size() != 4 || args[1] != "--cty") {
                return Usage(err, "build-refdata takes --cty FILE OUT");
            }
            const CtyBuildSummary summary = BuildReferenceFromCty(args[2], args[3]);
            out << "created " << args[3] << ": " << summary.describe() << std::endl;
            return 0;
        }
        if (command == "--help" || command == "-h" || command == "help") {
            out << UsageText();
            return 0;
        }
        if (command == "--version") {
            out << "tolvex-import-cli " << TVX_VERSION << '\n';
            return 0;
        }
    } catch (const DbError& e) {
        err << "error: " << OneLine(e.what()) << '\n';
        return 1;
    }
    return Usage(err, "unknown command " + command);
}

}  // namespace tvx
