#include "support/import_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/jet_target.h"
#include "db/jet_writer.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "import/session.h"
#include "readers/source_types.h"

namespace tvx::test {

bool RecordingHost::ask(int id, const std::string& text, MessageIcon icon) {
    messages.push_back({id, text, icon, true});
    const auto it = answers.find(id);
    return it == answers.end() ? true : it->second;
}

void RecordingHost::notify(int id, const std::string& text, MessageIcon icon) {
    messages.push_back({id, text, icon, false});
}

void RecordingHost::pump() {
    ++pumps;
    if (onPump) onPump();
}

void RecordingHost::problemAdded(const std::string& line) {
    problems.insert(problems.begin(), line);
}

int RecordingHost::count(int id) const {
    int n = 0;
    for (const auto& m : messages) n += m.id == id ? 1 : 0;
    return n;
}

std::vector<int> RecordingHost::ids() const {
    std::vector<int> out;
    for (const auto& m : messages) out.push_back(m.id);
    return out;
}

namespace {

struct Country {
    const char* prefix;
    const char* name;
    const char* arrlId;
    const char* continent;
    const char* cq;
    const char* itu;
    const char* aliases;  // blank-separated alias prefixes
};

// Zones as the reference data holds them: two digits with a leading zero. The
// United States has no alias rows: its calls fall through to one letter.
const Country kCountries[] = {
    {"K", "United States", "291", "NA", "05", "08", ""},
    {"KH6", "Hawaii", "110", "OC", "31", "61", "KH6 KH7 AH6 NH6 WH6"},
    {"KL7", "Alaska", "6", "NA", "01", "01", "KL7 AL7 NL7 WL7"},
    {"KG4", "Guantanamo Bay", "105", "NA", "08", "11", "KG4"},
    {"KC4A", "Antarctica", "13", "SA", "12", "67", "KC4A"},
    {"VE", "Canada", "1", "NA", "05", "09", "VE VA VO VY CY"},
    {"VP9", "Bermuda", "64", "NA", "05", "11", "VP9"},
    {"XE", "Mexico", "50", "NA", "06", "10", "XE XF 4A"},
    {"DL", "Germany", "230", "EU", "14", "28", "DL DA DB DC DD DF DG DH DJ DK DM DO"},
    {"G", "England", "223", "EU", "14", "27", "G M0 M1 M3 M5 M6 M7 2E"},
    {"GM", "Scotland", "279", "EU", "14", "27", "GM MM 2M"},
    {"EI", "Ireland", "245", "EU", "14", "27", "EI EJ"},
    {"F", "France", "227", "EU", "14", "27", "F TM"},
    {"I", "Italy", "248", "EU", "15", "28", "I IK IZ IW"},
    {"EA", "Spain", "281", "EU", "14", "37", "EA EB EC ED EE EF EG EH"},
    {"CT", "Portugal", "272", "EU", "14", "37", "CT CQ CR CS"},
    {"ON", "Belgium", "209", "EU", "14", "27", "ON OO OP OQ OR OS OT"},
    {"PA", "Netherlands", "263", "EU", "14", "27", "PA PB PC PD PE PF PG PH PI"},
    {"HB", "Switzerland", "287", "EU", "14", "28", "HB HE"},
    {"OE", "Austria", "206", "EU", "15", "28", "OE"},
    {"OK", "Czech Republic", "503", "EU", "15", "28", "OK OL"},
    {"SP", "Poland", "269", "EU", "15", "28", "SP SQ SN SO 3Z"},
    {"HA", "Hungary", "239", "EU", "15", "28", "HA HG"},
    {"9A", "Croatia", "497", "EU", "15", "28", "9A"},
    {"SM", "Sweden", "284", "EU", "14", "18", "SM SA SK SL 7S 8S"},
    {"LA", "Norway", "266", "EU", "14", "18", "LA LB LC LN"},
    {"OZ", "Denmark", "221", "EU", "14", "18", "OZ OU OV 5P 5Q"},
    {"OH", "Finland", "224", "EU", "15", "18", "OH OF OG OI"},
    {"UA", "European Russia", "54", "EU", "16", "29", "UA RA RK RN RU RV RW RX RZ R1 R2 R3"},
    {"SV", "Greece", "236", "EU", "20", "28", "SV SW SX SY SZ J4"},
    {"SV/A", "Mount Athos", "180", "EU", "20", "28", "SV/A"},
    {"4X", "Israel", "336", "AS", "20", "39", "4X 4Z"},
    {"JA", "Japan", "339", "AS", "25", "45",
     "JA JE JF JG JH JI JJ JK JL JM JN JO JP JQ JR JS 7J 7K 7L 7M 7N 8J 8N"},
    {"VU", "India", "324", "AS", "22", "41", "VU AT"},
    {"VK", "Australia", "150", "OC", "30", "59", "VK AX"},
    {"ZL", "New Zealand", "170", "OC", "32", "60", "ZL ZM"},
    {"FO", "French Polynesia", "175", "OC", "32", "63", "FO"},
    {"PY", "Brazil", "108", "SA", "11", "15", "PY PP PQ PR PS PT PU PV PW ZV ZW ZX ZY ZZ"},
    {"LU", "Argentina", "100", "SA", "13", "14", "LU LO LP LQ LR LS LT LV LW AY AZ L2"},
    {"CE", "Chile", "112", "SA", "12", "14", "CE CA CB CC CD XQ XR 3G"},
    {"ZS", "South Africa", "462", "AF", "38", "57", "ZS ZR ZT ZU"},
    {"FR", "Reunion Island", "453", "AF", "39", "53", "FR"},
    {"FR/G", "Glorioso Islands", "99", "AF", "39", "53", "FR/G"},
};

const char* const kStates[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FL", "GA",
                               "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD", "MA",
                               "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY",
                               "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX",
                               "UT", "VT", "VA", "WA", "WV", "WI", "WY"};

const std::pair<const char*, const char*> kCounties[] = {
    {"MA", "MIDDLESEX"}, {"MA", "ESSEX"},  {"CT", "HARTFORD"}, {"NY", "KINGS"},
    {"OK", "OKLAHOMA"},  {"TX", "TRAVIS"}, {"CA", "ORANGE"},   {"NJ", "ESSEX"}};

std::vector<std::string> Words(const char* text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::vector<CTvx95CallMapSet> CallMapRows() {
    std::vector<CTvx95CallMapSet> rows;
    CTvx95CallMapSet antarctic;
    antarctic.m_CallCallsign = "KC4AAA";
    antarctic.m_CallPfx = "KC4A";
    antarctic.m_CallCq = "12";
    antarctic.m_CallItu = "67";
    rows.push_back(antarctic);
    // A station that moved: before 1995 it counted as the United States.
    CTvx95CallMapSet moved;
    moved.m_CallCallsign = "VE3MOV";
    moved.m_CallPfx = "VE";
    moved.m_CallCq = "05";
    moved.m_CallItu = "09";
    moved.m_CallPfx1 = "K";
    moved.m_CallDate1 = "19950101";
    rows.push_back(moved);
    return rows;
}

}  // namespace

ReferenceData SmallWorld() {
    ReferenceData ref;
    for (const Country& c : kCountries) {
        CTvx95PrefixSet p;
        p.m_PREFIX = c.prefix;
        p.m_COUNTRY = c.name;
        p.m_CQ_ZONE = c.cq;
        p.m_ITU_ZONE = c.itu;
        p.m_ARRL_ID = c.arrlId;
        p.m_CONTINENT = c.continent;
        ref.addPrefix(p);
        for (const std::string& alias : Words(c.aliases)) {
            CTvx95MapPrefixSet m;
            m.m_MAP_PREFIX = alias;
            m.m_PRI_PREFIX = c.prefix;
            m.m_CQ_ZONE = c.cq;
            m.m_ITU_ZONE = c.itu;
            ref.addMapPrefix(m);
        }
    }
    for (const auto& row : CallMapRows()) ref.addCallMap(row);
    for (const char* s : kStates) {
        CTvx96StateSet st;
        st.m_STATE_ABV = s;
        ref.addState(st);
    }
    for (const auto& [state, county] : kCounties) {
        CTvx96CountySet cs;
        cs.m_CNTY_ST_ABV = state;
        cs.m_CNTY_NAME = county;
        ref.addCounty(cs);
    }
    return ref;
}

void WriteSmallWorld(const std::string& path) {
    createReferenceDatabase(path);
    SqliteDb db(path, SqliteDb::Mode::ReadWrite);
    db.exec("BEGIN");
    auto prefix = db.prepare(
        "INSERT INTO [PREFIX-Pri] ([PREFIX],[COUNTRY],[CQ-ZONE],[ITU-ZONE],[ARRL-ID],"
        "[CONTINENT],[DEL-STATUS],[QSL-FIELD-CHECK],[QSL-BUREAU]) VALUES (?,?,?,?,?,?,0,0,1)");
    auto alias = db.prepare(
        "INSERT INTO [MAP-Prefix] ([MAP-PREFIX],[PRI-PREFIX],[CQ-ZONE],[ITU-ZONE]) "
        "VALUES (?,?,?,?)");
    for (const Country& c : kCountries) {
        prefix.bindText(1, c.prefix);
        prefix.bindText(2, c.name);
        prefix.bindText(3, c.cq);
        prefix.bindText(4, c.itu);
        prefix.bindText(5, c.arrlId);
        prefix.bindText(6, c.continent);
        prefix.step();
        prefix.reset();
        for (const std::string& a : Words(c.aliases)) {
            alias.bindText(1, a);
            alias.bindText(2, c.prefix);
            alias.bindText(3, c.cq);
            alias.bindText(4, c.itu);
            alias.step();
            alias.reset();
        }
    }
    auto callmap = db.prepare(
        "INSERT INTO [CALLMAP] ([CallCallsign],[CallPfx],[CallCq],[CallItu],[CallPfx1],"
        "[CallDate1]) VALUES (?,?,?,?,?,?)");
    for (const auto& r : CallMapRows()) {
        callmap.bindText(1, r.m_CallCallsign);
        callmap.bindText(2, r.m_CallPfx);
        callmap.bindText(3, r.m_CallCq);
        callmap.bindText(4, r.m_CallItu);
        callmap.bindOptionalText(5,
                                 r.m_CallPfx1.empty() ? std::nullopt : std::optional(r.m_CallPfx1));
        callmap.bindOptionalText(
            6, r.m_CallDate1.empty() ? std::nullopt : std::optional(r.m_CallDate1));
        callmap.step();
        callmap.reset();
    }
    auto state = db.prepare("INSERT INTO [STATE-TABLE] ([STATE-ABV]) VALUES (?)");
    for (const char* s : kStates) {
        state.bindText(1, s);
        state.step();
        state.reset();
    }
    auto county = db.prepare("INSERT INTO [COUNTY-TAB] ([CNTY-ST-ABV],[CNTY-NAME]) VALUES (?,?)");
    for (const auto& [st, name] : kCounties) {
        county.bindText(1, st);
        county.bindText(2, name);
        county.step();
        county.reset();
    }
    db.exec("COMMIT");
}

int TypeOf(const std::string& cliName) {
    const int type = SourceTypeFromName(SourceTypes(), cliName);
    if (type < 0) throw std::invalid_argument("no source type " + cliName);
    return type;
}

BareEngine::BareEngine(int sourceType)
    : reference(SmallWorld()),
      s(host, state, options, SourceTypes()[sourceType], reference, {target, statistics, report}),
      c(s.contact()),
      adif{s, c, nullptr} {
    state.reading = true;
}

bool MakeJetTarget(const std::string& path, bool jet3) {
    const std::string base = std::string(TVX_SHARED_DATA_DIR) +
                             (jet3 ? "/jet/jet3-sample.mdb" : "/jet/real/empty-v2000.mdb");
    if (!std::filesystem::exists(base)) return false;
    std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    AddJetTargetTables(path);
    return true;
}

ImportFixture::ImportFixture(Target target) {
    std::filesystem::create_directories(hostPath());
    WriteSmallWorld(hostPath() + "/refdata.sqlite");
    const char* kind = std::getenv("TVX_TEST_TARGET");
    const std::string wanted = kind ? kind : "";
    const bool jet3 =
        target == Target::Jet3 || (target == Target::FromEnvironment && wanted == "jet3");
    const bool jet4 =
        target == Target::Jet4 || (target == Target::FromEnvironment && wanted == "jet4");
    if ((jet3 || jet4) && MakeJetTarget(dir.file("target.mdb"), jet3)) {
        target_ = dir.file("target.mdb");
        jet3_ = jet3;
    } else {
        target_ = dir.file("target.sqlite");
        createTargetDatabase(targetPath());
    }
    app.m_strTargetPath = targetPath();
    app.m_strProgramPath = hostPath();
    app.m_strOperatorCall = "N0CALL";
    session = std::make_unique<ImportSession>(host, app, SourceTypes());
    session->OpenTarget();
}

ImportFixture::~ImportFixture() {
    if (session) session->CloseTarget();
}

ImportOptions ImportFixture::options(int sourceType, const std::string& sourcePath) const {
    ImportOptions o;
    o.sourceType = sourceType;
    o.sourcePath = sourcePath;
    o.hostPath = hostPath();
    o.defaultOprCall = "N0CALL";
    o.filter = kFilterAll;
    o.oprCalls = {"N0CALL"};
    return o;
}

bool ImportFixture::run(const ImportOptions& options) {
    return session->BeginImport(options);
}

std::vector<QsoRowMap> ImportFixture::rows() {
    if (jetTarget()) {
        std::vector<QsoRowMap> out;
        ReadJetContacts(targetPath(), [&](const std::vector<std::optional<std::string>>& values) {
            QsoRowMap row;
            for (std::size_t i = 0; i < values.size(); ++i) row[qsoColumns()[i].name] = values[i];
            out.push_back(std::move(row));
        });
        // In the order written: by the AutoNumber.
        std::stable_sort(out.begin(), out.end(), [](const QsoRowMap& a, const QsoRowMap& b) {
            return std::stoll(a.at("QSO-NUMBER").value_or("0")) <
                   std::stoll(b.at("QSO-NUMBER").value_or("0"));
        });
        return out;
    }
    SqliteDb db(targetPath(), SqliteDb::Mode::ReadOnly);
    auto stmt = db.prepare("SELECT * FROM [QSO-TAB] ORDER BY [QSO-NUMBER]");
    std::vector<QsoRowMap> out;
    while (stmt.step()) {
        QsoRowMap row;
        for (int i = 0; i < stmt.columnCount(); ++i) {
            row[stmt.columnName(i)] = stmt.columnOptionalText(i);
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::string ImportFixture::reportBytes() const {
    std::ifstream in(session->errorFile(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> ImportFixture::reportLines() const {
    const std::string bytes = reportBytes();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void ImportFixture::setStatistic(const std::string& prefix, const std::string& column,
                                 const std::string& value) {
    if (jetTarget()) {
        JetWriter writer(targetPath());
        const std::uint32_t table = writer.FindTable("DXCCTAB");
        const JetTableDef& def = writer.Definition(table);
        std::size_t prefixAt = 0, columnAt = 0;
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            if (def.columns[i].name == "PREFIX") prefixAt = i;
            if (def.columns[i].name == column) columnAt = i;
        }
        std::optional<std::pair<std::uint32_t, std::vector<JetValue>>> found;
        writer.ScanRows(table, [&](std::uint32_t p, const std::vector<JetValue>& row) {
            if (!found && row[prefixAt] == JetValue(prefix)) found.emplace(p, row);
        });
        if (found) {
            found->second[columnAt] = value;
            writer.UpdateRow(table, found->first, found->second);
        } else {
            std::vector<JetValue> row(def.columns.size());
            row[prefixAt] = prefix;
            row[columnAt] = value;
            writer.AppendRow(table, row);
        }
        writer.Flush();
        return;
    }
    SqliteDb db(targetPath(), SqliteDb::Mode::ReadWrite);
    auto insert = db.prepare(
        "INSERT INTO [DXCCTAB] ([PREFIX]) SELECT ? WHERE NOT EXISTS "
        "(SELECT 1 FROM [DXCCTAB] WHERE [PREFIX] = ?)");
    insert.bindText(1, prefix);
    insert.bindText(2, prefix);
    insert.step();
    auto update = db.prepare("UPDATE [DXCCTAB] SET " + bracket(column) + " = ? WHERE [PREFIX] = ?");
    update.bindText(1, value);
    update.bindText(2, prefix);
    update.step();
}

}  // namespace tvx::test
