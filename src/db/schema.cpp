#include "db/schema.h"

#include <filesystem>

#include "db/sqlite.h"

namespace tvx {

namespace {
constexpr ColumnKind T = ColumnKind::Text;
constexpr ColumnKind L = ColumnKind::Long;
}  // namespace

const std::vector<ColumnDef>& qsoColumns() {
    static const std::vector<ColumnDef> columns = {
        {"QSO-DATE", T},     {"QSO-TIME", T},       {"QSO-CALL", T},     {"QSO-RSTS", T},
        {"QSO-RSTR", T},     {"QSO-NAME", T},       {"QSO-QTH", T},      {"QSO-NOTE", T},
        {"QSO-PREFIX", T},   {"QSO-CQ-ZONE", T},    {"QSO-ITU-ZONE", T}, {"QSO-MODE", T},
        {"QSO-SUBMODE", T},  {"QSO-FREQ", T},       {"QSO-BAND", T},     {"QSO-WPX", T},
        {"QSO-STATE", T},    {"QSO-COUNTY", T},     {"QSO-IOTA", T},     {"QSO-GRID", T},
        {"QSO-TEN-TEN", T},  {"QSO-SPEC1", T},      {"QSO-SPEC2", T},    {"QSO-CONFIRM", T},
        {"QSO-QSLS", T},     {"QSO-QSL-SENT", T},   {"QSO-QSL-VIA", T},  {"QSO-MGR-NUMB", T},
        {"QSO-VALID", L},    {"QSO-AWARD", L},      {"QSO-SELECT", L},   {"QSO-CATEGORY", L},
        {"QSO-SAT", T},      {"QSO-QSL-NUMBER", T}, {"QSO-NUMBER", L},   {"QSO-OPRCALL", T},
        {"QSO-QSLRDATE", T}, {"QSO-POWER", T},      {"QSO-LOTWREC", T},  {"QSO-ENDTIME", T},
        {"QSO-SATMODE", T},
    };
    return columns;
}

const std::vector<ColumnDef>& notesColumns() {
    static const std::vector<ColumnDef> columns = {{"CALLSIGN", T}, {"NOTES", T}};
    return columns;
}

const std::vector<std::string>& dxccColumns() {
    static const std::vector<std::string> columns = [] {
        static const char* const kGroups[] = {"MX", "PH", "CW", "RY", "DG"};
        static const char* const kBands[] = {
            "160", "80",  "60",  "40",  "30",   "20",   "17",   "15",   "12",  "10",  "6",   "4",
            "2",   "220", "432", "902", "1240", "2300", "3300", "5650", "10G", "24G", "47G", "75G"};
        std::vector<std::string> names{"PREFIX"};
        for (const char* group : kGroups) {
            for (const char* band : kBands) {
                names.push_back(std::string("C") + group + band);
                names.push_back(std::string("W") + group + band);
            }
        }
        for (const char* extra : {"CYL", "WYL", "CQRP", "WQRP", "CSAT", "WSAT"}) {
            names.push_back(extra);
        }
        return names;
    }();
    return columns;
}

const ReferenceTableDef& callMapTable() {
    static const ReferenceTableDef def{"CALLMAP",
                                       {{"CallCallsign", T},
                                        {"CallPfx", T},
                                        {"CallCq", T},
                                        {"CallItu", T},
                                        {"CallPfx1", T},
                                        {"CallCq1", T},
                                        {"CallItu1", T},
                                        {"CallDate1", T},
                                        {"CallPfx2", T},
                                        {"CallCq2", T},
                                        {"CallItu2", T},
                                        {"CallDate2", T},
                                        {"TIMEDIFF", T},
                                        {"LATITUDE", T},
                                        {"LONGITUDE", T}},
                                       {}};
    return def;
}

const ReferenceTableDef& mapPrefixTable() {
    static const ReferenceTableDef def{"MAP-Prefix",
                                       {{"MAP-PREFIX", T},
                                        {"PRI-PREFIX", T},
                                        {"CQ-ZONE", T},
                                        {"OLD1-PREFIX", T},
                                        {"OLD1-ZONE", T},
                                        {"OLD1-DATE", T},
                                        {"OLD2-PREFIX", T},
                                        {"OLD2-ZONE", T},
                                        {"OLD2-DATE", T},
                                        {"ITU-ZONE", T},
                                        {"TIMEDIFF", T},
                                        {"LATITUDE", T},
                                        {"LONGITUDE", T}},
                                       {}};
    return def;
}

const ReferenceTableDef& prefixTable() {
    // The three yes/no columns are stored as INTEGER 0/1.
    static const ReferenceTableDef def{"PREFIX-Pri",
                                       {{"PREFIX", T},
                                        {"COUNTRY", T},
                                        {"LATITUDE", T},
                                        {"LONGITUDE", T},
                                        {"DEL-STATUS", L},
                                        {"QSL-FIELD-CHECK", L},
                                        {"QSL-BUREAU", L},
                                        {"CQ-ZONE", T},
                                        {"ITU-ZONE", T},
                                        {"ARRL-ID", T},
                                        {"CONTINENT", T},
                                        {"TIMEDIFF", T}},
                                       {4, 5, 6}};
    return def;
}

const ReferenceTableDef& countyTable() {
    static const ReferenceTableDef def{
        "COUNTY-TAB", {{"CNTY-ST-ABV", T}, {"CNTY-LAT", T}, {"CNTY-LON", T}, {"CNTY-NAME", T}}, {}};
    return def;
}

const ReferenceTableDef& stateTable() {
    static const ReferenceTableDef def{"STATE-TABLE",
                                       {{"STATE-ABV", T},
                                        {"STATE-NAME", T},
                                        {"CQ-ZONE", T},
                                        {"STATE-LAT", T},
                                        {"STATE-LON", T},
                                        {"ITU-ZONE", T},
                                        {"TIMEDIFF", T}},
                                       {}};
    return def;
}

namespace {

const char* sqlType(ColumnKind kind) {
    return kind == ColumnKind::Long ? "INTEGER" : "TEXT";
}

std::string createTableSql(const std::string& table, const std::vector<ColumnDef>& columns,
                           const char* keyColumn = nullptr) {
    std::string sql = "CREATE TABLE " + bracket(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += bracket(columns[i].name);
        sql += ' ';
        sql += sqlType(columns[i].kind);
        // The rowid alias: SQLite hands out the next number on insert.
        if (keyColumn && std::string(columns[i].name) == keyColumn) sql += " PRIMARY KEY";
    }
    return sql + ");\n";
}

std::string indexSql(const std::string& name, const std::string& table,
                     std::initializer_list<const char*> columns) {
    std::string sql = "CREATE INDEX " + bracket(name) + " ON " + bracket(table) + " (";
    bool first = true;
    for (const char* column : columns) {
        if (!first) sql += ", ";
        first = false;
        sql += bracket(column);
    }
    return sql + ");\n";
}

// Creates a new database file and runs the schema in one transaction; a
// failure leaves no half-made file behind.
void createDatabase(const std::string& path, const std::string& schemaSql) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        throw DbError("The file '" + path + "' exists already; it is not overwritten.");
    }
    try {
        SqliteDb db(path, SqliteDb::Mode::Create);
        db.exec("BEGIN");
        db.exec(schemaSql);
        db.exec("COMMIT");
    } catch (const DbError&) {
        std::filesystem::remove(path, ec);
        throw;
    }
}

}  // namespace

void createTargetDatabase(const std::string& path) {
    std::string sql = createTableSql("QSO-TAB", qsoColumns(), "QSO-NUMBER");
    sql += indexSql("QSO-TAB-CALL", "QSO-TAB", {"QSO-CALL"});
    sql += createTableSql("QSO-NOTES", notesColumns());
    sql += indexSql("QSO-NOTES-CALLSIGN", "QSO-NOTES", {"CALLSIGN"});
    std::vector<ColumnDef> dxcc;
    for (const std::string& name : dxccColumns()) dxcc.push_back({name.c_str(), ColumnKind::Text});
    sql += createTableSql("DXCCTAB", dxcc);
    sql += indexSql("DXCCTAB-PREFIX", "DXCCTAB", {"PREFIX"});
    createDatabase(path, sql);
}

void createReferenceDatabase(const std::string& path) {
    std::string sql;
    for (const ReferenceTableDef* def :
         {&callMapTable(), &mapPrefixTable(), &prefixTable(), &countyTable(), &stateTable()}) {
        sql += createTableSql(def->table, def->columns);
    }
    sql += indexSql("CALLMAP-CALL", "CALLMAP", {"CallCallsign"});
    sql += indexSql("MAP-Prefix-PREFIX", "MAP-Prefix", {"MAP-PREFIX"});
    sql += indexSql("PREFIX-Pri-PREFIX", "PREFIX-Pri", {"PREFIX"});
    sql += indexSql("COUNTY-TAB-KEY", "COUNTY-TAB", {"CNTY-ST-ABV", "CNTY-NAME"});
    sql += indexSql("STATE-TABLE-ABV", "STATE-TABLE", {"STATE-ABV"});
    createDatabase(path, sql);
}

}  // namespace tvx
