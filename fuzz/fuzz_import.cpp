#include "fuzz_import.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>

#include "db/jet.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "import/session.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace fs = std::filesystem;

namespace tvx::fuzz {
namespace {

class YesHost : public ImportHost {
  public:
    bool ask(int id, const std::string&, MessageIcon) override { return id != kMsgAbortQuestion; }
    void notify(int id, const std::string& text, MessageIcon) override {
        lastMessage = id;
        if (std::getenv("TVX_FUZZ_VERBOSE")) std::fprintf(stderr, "%d: %s\n", id, text.c_str());
    }
    void pump() override {}
    void countersChanged(const Counters&) override {}
    void problemAdded(const std::string&) override {}
    int lastMessage = 0;
};

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

[[noreturn]] void Broken(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

// One folder per process, in memory when the machine has /dev/shm: the
// reference world and an empty target are made once, each run gets a fresh
// copy of the target and an empty source folder.
struct World {
    std::string root, host, run, emptyTarget, emptyTargetBytes;
    std::shared_ptr<const ReferenceData> reference;

    World() {
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        root = (base / ("tvx-fuzz-" + std::to_string(::getpid()))).string();
        host = root + "/host";
        run = root + "/run";
        fs::create_directories(host);
        test::WriteSmallWorld(host + "/refdata.sqlite");
        emptyTarget = root + "/empty.sqlite";
        createTargetDatabase(emptyTarget);
        emptyTargetBytes = ReadAll(emptyTarget);
        reference = std::make_shared<const ReferenceData>(test::SmallWorld());
        // A Jet read that stops producing is given up well inside the
        // fuzzer's timeout.
        SetJetStallTimeout(std::chrono::milliseconds(2000));
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Get().root, ec);
        });
    }

    // Never destroyed: the clean-up at exit still needs the paths.
    static World& Get() {
        static World* world = new World;
        return *world;
    }
};

}  // namespace

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void RunImport(int sourceType, const std::vector<SourceFile>& files) {
    World& w = World::Get();
    std::error_code ec;
    fs::remove_all(w.run, ec);
    fs::create_directories(w.run);
    for (const SourceFile& f : files) WriteAll(w.run + "/" + f.name, f.bytes);
    // Written from memory: libFuzzer's timer signals interrupt
    // std::filesystem::copy_file, which does not retry.
    const std::string target = w.run + "/target.sqlite";
    WriteAll(target, w.emptyTargetBytes);

    YesHost host;
    ApplicationPaths app;
    app.m_strTargetPath = target;
    app.m_strProgramPath = w.host;
    app.m_strOperatorCall = "N0CALL";
    Counters counters;
    {
        ImportSession session(host, app, SourceTypes());
        session.SetReferenceOverride(w.reference);
        if (!session.OpenTarget().empty()) Broken("the empty target does not open");
        ImportOptions o;
        o.sourceType = sourceType;
        o.sourcePath = w.run + "/" + files.front().name;
        o.hostPath = w.host;
        o.defaultOprCall = "N0CALL";
        o.oprCalls = {"N0CALL"};
        o.filter = kFilterAll;
        if (!session.BeginImport(o)) {
            // A database file given as a text source is refused by design.
            if (host.lastMessage == kMsgSourceNotOfType) return;
            Broken("Begin Import refused its options");
        }
        counters = session.counters();
        session.CloseTarget();
    }

    SqliteDb db(target, SqliteDb::Mode::ReadOnly);
    auto check = db.prepare("PRAGMA integrity_check");
    if (!check.step() || check.columnText(0) != "ok") Broken("integrity check of the target");
    auto count = db.prepare("SELECT COUNT(*) FROM [QSO-TAB]");
    count.step();
    const long long rows = count.columnInt(0);
    // A contact of a LoTW download that is already in the target (written
    // earlier in the same run) confirms that row and counts as loaded too.
    const bool mayConfirm = sourceType == SourceTypeNamed("lotw");
    if (mayConfirm ? rows > counters.recordsLoaded : rows != counters.recordsLoaded)
        Broken(std::to_string(rows) + " rows written, " + std::to_string(counters.recordsLoaded) +
               " counted as loaded");
    if (counters.recordsLoaded + counters.recordsIgnored > counters.recordsRead)
        Broken("more contacts loaded or ignored than records read");
    if (std::getenv("TVX_FUZZ_VERBOSE"))
        std::fprintf(stderr, "read %d loaded %d ignored %d errors %d warnings %d\n",
                     counters.recordsRead, counters.recordsLoaded, counters.recordsIgnored,
                     counters.errors, counters.warnings);
}

int SourceTypeNamed(const char* cliName) {
    const int type = SourceTypeFromName(SourceTypes(), cliName);
    if (type < 0) Broken(std::string("no source type ") + cliName);
    return type;
}

namespace {

struct ReaderColumns {
    const char* reader;  // its command-line name
    const char* columns;
};

// The columns each dBASE reader selects, in its order; the readers in list
// order.
const ReaderColumns kReaderColumns[] = {
    {"hyperlog",
     "DATE TIME CALLSIGN SENT RECEIVED BAND FREQUENCY MODE POWER NAME QTH REMARKS QSLSENT "
     "QSLRECEIVE"},
    {"dxlog", "CALL DATE TIME BAND MODE RST RSTRX CONFIRM SENTQSL COMMENTS"},
    {"dxdesktop",
     "DATE TIME CALLSIGN RSTSENT RSTRCD BAND MODE POWER NAME REMARKS QSLSENT QSLRCD STATE"},
    {"logplus",
     "DATE TIME WPX CALL FREQ MODE SENT RCVD NAME NOTE QTH ZONE STATE GRID IOTA POWER QSL "
     "QSLDATE YL QRP"},
    {"toplog", "DATA ORA FREQ MODO CALL RSTI RSTR QSLI QSLR NOME QTH INFO CONTINENT PX"},
    {"q9zz",
     "DATE TIME CALL BAND MODE RSTSENT RSTRCVD SATELLITE NOTE QSLSENT DATESENT QSLRCVD STATE "
     "GRIDSQUARE IOTA"},
    {"easylog",
     "DATE TIME_INI BAND FREQUENCY MODE CALL RST_SND RST_RCV NAME QTH NOTE LOCATOR QSL_SND "
     "QSL_RCV ITU WAZ WPX POWER SAT IOTA_REF"},
};

bool IsMemoColumn(const std::string& name) {
    return name == "REMARKS" || name == "COMMENTS" || name == "NOTE" || name == "INFO";
}

test::DbfField FieldOf(std::string_view reader, const std::string& name, bool withMemos) {
    if (name == "DATE" || name == "DATA" || name == "QSLDATE" || name == "DATESENT")
        return {name, 'D', 8};
    if (reader == "dxlog" && name == "BAND") return {name, 'N', 10, 3};
    if ((reader == "dxlog" && (name == "CONFIRM" || name == "SENTQSL")) ||
        (reader == "q9zz" && (name == "QSLSENT" || name == "QSLRCVD")))
        return {name, 'L', 1};
    if (withMemos && IsMemoColumn(name)) return {name, 'M', 10};
    return {name, 'C', 30};
}

// Plausible values by column name for three rows: a CW and an SSB contact
// that load, and a row with a bad time.
std::string ValueOf(std::string_view reader, const std::string& name, int row, bool withMemos) {
    if (withMemos && IsMemoColumn(name)) return std::to_string(row + 1);
    static const std::map<std::string, std::vector<std::string>> kValues = {
        {"DATE", {"20050315", "19990101", "20050315"}},
        {"DATA", {"20050315", "19990101", "20050315"}},
        {"QSLDATE", {"20050401", "", ""}},
        {"DATESENT", {"20050401", "", ""}},
        {"TIME", {"0930", "23:59", "9999"}},
        {"ORA", {"0930", "2359", "9999"}},
        {"TIME_INI", {"09:30", "2359", "99:99"}},
        {"CALL", {"W1AW", "DL1ABC", "JA1XYZ"}},
        {"CALLSIGN", {"W1AW", "DL1ABC", "JA1XYZ"}},
        {"FREQUENCY", {"14.025", "14.250", "7.010"}},
        {"FREQ", {"14.025", "14.250", "7.010"}},
        {"MODE", {"CW", "SSB", "CW"}},
        {"MODO", {"CW", "SSB", "CW"}},
        {"POWER", {"100", "", "5"}},
        {"NAME", {"Hiram", "Hans", ""}},
        {"NOME", {"Hiram", "Hans", ""}},
        {"QTH", {"Newington", "Berlin", ""}},
        {"REMARKS", {"Hello", "", "x"}},
        {"COMMENTS", {"Hello", "", "x"}},
        {"NOTE", {"Hello", "", "x"}},
        {"INFO", {"Hello", "", "x"}},
        {"STATE", {"CT", "", ""}},
        {"GRID", {"FN31", "JO62", ""}},
        {"GRIDSQUARE", {"FN31", "JO62", ""}},
        {"LOCATOR", {"FN31", "JO62", ""}},
        {"IOTA", {"", "EU-001", ""}},
        {"IOTA_REF", {"", "EU-001", ""}},
        {"WPX", {"W1", "DL1", ""}},
        {"ZONE", {"05", "14", ""}},
        {"ITU", {"08", "28", ""}},
        {"WAZ", {"05", "14", ""}},
        {"YL", {"", "X", ""}},
        {"QRP", {"X", "", ""}},
        {"CONTINENT", {"NA", "EU", "AS"}},
        {"PX", {"K", "DL", "JA"}},
        {"SATELLITE", {"", "", ""}},
        {"SAT", {"", "", ""}},
        {"QSL", {"Y", "N", ""}},
    };
    if (name == "BAND") {
        if (reader == "dxlog") return row == 1 ? "14.250" : "14.025";
        if (reader == "easylog") return "20M";
        return "20";
    }
    if (name.rfind("RST", 0) == 0 || name == "SENT" || name == "RECEIVED" || name == "RCVD")
        return "599";
    if (name == "QSLDATE") return kValues.at(name)[row];
    if (name.rfind("QSL", 0) == 0 || name == "CONFIRM" || name == "SENTQSL")
        return row == 0 ? "Y" : "N";
    const auto it = kValues.find(name);
    return it == kValues.end() ? std::string() : it->second[row];
}

}  // namespace

const std::vector<int>& DbaseSourceTypes() {
    static const std::vector<int> types = [] {
        std::vector<int> list;
        for (const ReaderColumns& r : kReaderColumns) list.push_back(SourceTypeNamed(r.reader));
        return list;
    }();
    return types;
}

test::DbfTable DbaseTable(int sourceType, bool withMemos) {
    test::DbfTable table;
    table.languageDriver = 0x01;
    for (const ReaderColumns& r : kReaderColumns) {
        if (SourceTypeNamed(r.reader) != sourceType) continue;
        std::istringstream words(r.columns);
        std::vector<std::string> names;
        for (std::string n; words >> n;) names.push_back(n);
        for (const std::string& n : names) table.fields.push_back(FieldOf(r.reader, n, withMemos));
        for (int row = 0; row < 3; ++row) {
            test::DbfRow values;
            for (const std::string& n : names)
                values.push_back(ValueOf(r.reader, n, row, withMemos));
            table.rows.push_back(values);
        }
    }
    return table;
}

std::string DbfBytes(const test::DbfTable& table) {
    const std::string path =
        (fs::temp_directory_path() / ("tvx-fuzz-" + std::to_string(::getpid()) + ".dbf")).string();
    test::WriteDbf(path, table);
    std::string bytes = ReadAll(path);
    std::error_code ec;
    fs::remove(path, ec);
    return bytes;
}

std::string SampleDbtBytes() {
    std::string dbt(4 * 512, '\0');
    dbt[0] = 4;  // the next free block
    const char* const memos[] = {"Nice contact, 73", "QSL via bureau", "Long\r\nmemo text"};
    for (int i = 0; i < 3; ++i) {
        std::string text = std::string(memos[i]) + "\x1A\x1A";
        dbt.replace(static_cast<std::size_t>(i + 1) * 512, text.size(), text);
    }
    return dbt;
}

}  // namespace tvx::fuzz
