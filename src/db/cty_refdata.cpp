#include "db/cty_refdata.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "db/reference.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "tables/database.h"
#include "util/file.h"
#include "util/text.h"

namespace tvx {

namespace {

constexpr std::size_t kKeyWidth = 4;
// The alias search starts with four characters and never tries one.
constexpr std::size_t kWidestSearched = 4;
constexpr const char* kCallChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// Stands for a version stamp in the alias list, not for a station.
constexpr std::string_view kVersionCall = "VERSION";

// Keys fixed by entity number, so that they hold whatever a file's primary
// prefix is. They are the forms that callsign resolution produces (from
// calls like SV1ABC/A, FR5AB/G, FO5AB/M, W1ABC/KG4, KC4/W1AW) or tests (K
// after the US correction, KH6 and KL7 for the state):
//   K     -> K      United States (291)
//   KL    -> KL7    Alaska (6)
//   KH6   -> KH6    Hawaii (110)
//   KG4   -> KG4    Guantanamo Bay (105)
//   CE9   -> KC4A   Antarctica (13)
//   SV/a  -> SV/A   Mount Athos (180)
//   SV5   -> SV5    Dodecanese (45)
//   SV9   -> SV9    Crete (40)
//   FT/g  -> FR/G   Glorioso Islands (99)
//   FT/j  -> FR/J   Juan de Nova and Europa (124)
//   FT/t  -> FR/T   Tromelin Island (276)
//   FO/a  -> FO/A   Austral Islands (508)
//   FO/c  -> FO/C   Clipperton Island (36)
//   FO/m  -> FO/M   Marquesas Islands (509)
// Other primaries are upper-cased (FK/c -> FK/C). One of five or more
// characters written X/y keeps "/" and its suffix and cuts X so that four
// characters remain:
//   3D2/c -> 3D/C   Conway Reef        3D2/r -> 3D/R   Rotuma
//   HK0/a -> HK/A   San Andres         HK0/m -> HK/M   Malpelo
//   KH8/s -> KH/S   Swains Island      VP6/d -> VP/D   Ducie Island
//   VP8/g -> VP/G   South Georgia      VP8/h -> VP/H   South Shetland
//   VP8/o -> VP/O   South Orkney       VP8/s -> VP/S   South Sandwich
// The "/" keeps such a key out of the callsign space: every key also gets an
// alias row pointing to itself, and a key like 3D2C would catch the Fiji
// call 3D2CZ. A long primary without "/" is cut to four characters.
const std::map<std::string, std::string, std::less<>>& KeysByEntityNumber() {
    static const std::map<std::string, std::string, std::less<>> keys = {
        {"291", "K"},    {"6", "KL7"},    {"110", "KH6"}, {"105", "KG4"},  {"13", "KC4A"},
        {"180", "SV/A"}, {"45", "SV5"},   {"40", "SV9"},  {"99", "FR/G"},  {"124", "FR/J"},
        {"276", "FR/T"}, {"508", "FO/A"}, {"36", "FO/C"}, {"509", "FO/M"},
    };
    return keys;
}

std::optional<double> Number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// "5" -> "05"; empty for anything but a zone number.
std::string Zone(const std::string& text) {
    if (text.empty() || text.size() > 2) return "";
    for (char c : text)
        if (c < '0' || c > '9') return "";
    if (text.find_first_not_of('0') == std::string::npos) return "";
    return text.size() == 1 ? "0" + text : text;
}

std::string Degrees(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string text = buffer;
    return text == "-0.00" ? "0.00" : text;
}

// Hours with as many decimals as they need: -5, 5.5, 5.75.
std::string Hours(double value) {
    const long hundredths = std::lround(value * 100.0);
    char buffer[32];
    if (hundredths % 100 == 0) {
        std::snprintf(buffer, sizeof buffer, "%ld", hundredths / 100);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(hundredths) / 100.0);
        std::string text = buffer;
        while (text.back() == '0') text.pop_back();
        return text;
    }
    return buffer;
}

class CtyParser {
  public:
    explicit CtyParser(std::string sourceName) : source_(std::move(sourceName)) {}

    std::vector<CtyEntity> parse(std::istream& in) {
        std::vector<CtyEntity> entities;
        std::string raw;
        while (std::getline(in, raw)) {
            ++line_;
            if (line_ == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
            const std::string text = Trim(raw);
            if (text.empty()) continue;
            entities.push_back(parseLine(text));
        }
        if (in.bad()) fail("the file could not be read to its end");
        return entities;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw DbError(source_ + ", line " + std::to_string(line_) + ": " + what);
    }

    std::string zone(const std::string& text, const char* what) const {
        std::string z = Zone(Trim(text));
        if (z.empty()) fail(std::string("the ") + what + " '" + text + "' is not a zone number");
        return z;
    }

    double number(const std::string& text, const char* what) const {
        const std::optional<double> value = Number(Trim(text));
        if (!value) fail(std::string("the ") + what + " '" + text + "' is not a number");
        return *value;
    }

    CtyEntity parseLine(const std::string& text) {
        std::vector<std::string> raw, fields;
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = text.find(',', start);
            raw.push_back(text.substr(start, comma - start));
            fields.push_back(Trim(raw.back()));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        // Ten fields; a name with a comma in it gives more, and only the
        // name can hold one.
        if (fields.size() < 10) {
            fail("expected ten comma-separated fields, found " + std::to_string(fields.size()));
        }
        const std::size_t n = fields.size();
        CtyEntity e;
        e.line = line_;
        e.primary = fields[0];
        if (!e.primary.empty() && e.primary[0] == '*') {
            e.awardOnly = true;
            e.primary.erase(0, 1);
        }
        if (e.primary.empty()) fail("the primary prefix is empty");
        std::string name;
        for (std::size_t i = 1; i + 8 < n; ++i) name += (i > 1 ? "," : "") + raw[i];
        e.name = Trim(name);
        e.number = fields[n - 8];
        if (e.number.empty() || e.number.find_first_not_of("0123456789") != std::string::npos)
            fail("the entity number '" + e.number + "' is not a number");
        e.continent = fields[n - 7];
        e.cqZone = zone(fields[n - 6], "CQ zone");
        e.ituZone = zone(fields[n - 5], "ITU zone");
        e.latitude = Degrees(number(fields[n - 4], "latitude"));
        e.longitude = Degrees(-number(fields[n - 3], "longitude"));
        e.timeDiff = Hours(-number(fields[n - 2], "time offset"));

        std::string aliases = fields[n - 1];
        if (aliases.empty() || aliases.back() != ';') fail("the alias list does not end with ';'");
        aliases.pop_back();
        std::size_t pos = 0;
        while (pos < aliases.size()) {
            if (std::isspace(static_cast<unsigned char>(aliases[pos]))) {
                ++pos;
                continue;
            }
            std::size_t end = pos;
            while (end < aliases.size() && !std::isspace(static_cast<unsigned char>(aliases[end])))
                ++end;
            parseAlias(aliases.substr(pos, end - pos), e);
            pos = end;
        }
        return e;
    }

    void parseAlias(const std::string& token, CtyEntity& e) const {
        const bool exact = token[0] == '=';
        std::size_t pos = exact ? 1 : 0;
        const std::size_t textEnd = token.find_first_of("([<{~", pos);
        CtyAlias a;
        a.text = ToUpper(token.substr(pos, textEnd - pos));
        if (a.text.empty()) fail("the alias '" + token + "' names no prefix or call");
        a.cqZone = e.cqZone;
        a.ituZone = e.ituZone;
        a.latitude = e.latitude;
        a.longitude = e.longitude;
        a.timeDiff = e.timeDiff;
        pos = textEnd;
        while (pos != std::string::npos && pos < token.size()) {
            const char open = token[pos];
            const char close = open == '('   ? ')'
                               : open == '[' ? ']'
                               : open == '<' ? '>'
                               : open == '{' ? '}'
                               : open == '~' ? '~'
                                             : '\0';
            const std::size_t stop = close ? token.find(close, pos + 1) : std::string::npos;
            if (stop == std::string::npos) fail("the alias '" + token + "' is malformed");
            const std::string inner = token.substr(pos + 1, stop - pos - 1);
            switch (open) {
                case '(':
                    a.cqZone = zone(inner, "CQ zone");
                    break;
                case '[':
                    a.ituZone = zone(inner, "ITU zone");
                    break;
                case '<': {
                    const std::size_t slash = inner.find('/');
                    if (slash == std::string::npos)
                        fail("the alias '" + token + "' has a malformed position");
                    a.latitude = Degrees(number(inner.substr(0, slash), "latitude"));
                    a.longitude = Degrees(-number(inner.substr(slash + 1), "longitude"));
                    break;
                }
                case '~':
                    a.timeDiff = Hours(-number(inner, "time offset"));
                    break;
                default:  // a continent of its own: the tables have no place for it
                    break;
            }
            pos = stop + 1;
        }
        (exact ? e.calls : e.prefixes).push_back(std::move(a));
    }

    std::string source_;
    int line_ = 0;
};

bool IsSearchedAsUs(const std::string& prefix) {
    // After a failed alias search the resolution keeps one character and
    // turns A, K, N and W into the US prefix K.
    return prefix == "A" || prefix == "K" || prefix == "N" || prefix == "W";
}

CTvx95MapPrefixSet MapRow(const std::string& mapPrefix, const std::string& key,
                          const CtyAlias& values) {
    CTvx95MapPrefixSet row;
    row.m_MAP_PREFIX = mapPrefix;
    row.m_PRI_PREFIX = key;
    row.m_CQ_ZONE = values.cqZone;
    row.m_ITU_ZONE = values.ituZone;
    row.m_TIMEDIFF = values.timeDiff;
    row.m_LATITUDE = values.latitude;
    row.m_LONGITUDE = values.longitude;
    return row;
}

CtyAlias EntityValues(const CtyEntity& e) {
    return {e.primary, e.cqZone, e.ituZone, e.latitude, e.longitude, e.timeDiff};
}

struct RefRows {
    std::vector<CTvx95PrefixSet> prefixes;
    std::vector<CTvx95MapPrefixSet> mapPrefixes;
    std::vector<CTvx95CallMapSet> calls;
};

class RowBuilder {
  public:
    RowBuilder(const std::vector<CtyEntity>& entities, CtyBuildSummary& summary)
        : entities_(entities), summary_(summary) {}

    RefRows build() {
        assignKeys();
        for (const CtyEntity& e : entities_) {
            if (!e.awardOnly) addEntity(e);
        }
        // The award lists' own entities lie inside a DXCC entity with the
        // same number (Sicily in Italy, Shetland in Scotland, the Vienna
        // centre in Austria): their prefixes and calls count for that one.
        // Rows of the entity itself come first and win.
        for (const CtyEntity& e : entities_) {
            if (!e.awardOnly) continue;
            const auto owner = keyByNumber_.find(e.number);
            if (owner == keyByNumber_.end()) continue;
            ++summary_.awardOnlyFolded;
            addAliases(e, owner->second);
        }
        for (const CtyEntity& e : entities_) {
            if (!e.awardOnly) addMapRow(MapRow(keyOf_.at(&e), keyOf_.at(&e), EntityValues(e)));
        }
        addLongPrefixes();
        expandOneCharacterPrefixes();
        summary_.entities = static_cast<int>(rows_.prefixes.size());
        summary_.mapPrefixRows = static_cast<int>(rows_.mapPrefixes.size());
        summary_.callMapRows = static_cast<int>(rows_.calls.size());
        return std::move(rows_);
    }

  private:
    void assignKeys() {
        std::map<std::string, const CtyEntity*> owners;
        for (const CtyEntity& e : entities_) {
            if (e.awardOnly) continue;
            const std::string key = CtyEntityKey(e);
            const auto [it, fresh] = owners.emplace(key, &e);
            if (!fresh) {
                throw DbError("The entities " + it->second->primary + " (line " +
                              std::to_string(it->second->line) + ") and " + e.primary + " (line " +
                              std::to_string(e.line) + ") would share the key " + key + ".");
            }
            keyOf_[&e] = key;
            keyByNumber_.emplace(e.number, key);
            if (key != e.primary) summary_.renamedKeys.push_back(e.primary + " -> " + key);
        }
    }

    void addEntity(const CtyEntity& e) {
        CTvx95PrefixSet row;
        row.m_PREFIX = keyOf_.at(&e);
        row.m_COUNTRY = e.name;
        row.m_LATITUDE = e.latitude;
        row.m_LONGITUDE = e.longitude;
        row.m_CQ_ZONE = e.cqZone;
        row.m_ITU_ZONE = e.ituZone;
        row.m_ARRL_ID = e.number;
        row.m_CONTINENT = e.continent;
        row.m_TIMEDIFF = e.timeDiff;
        rows_.prefixes.push_back(std::move(row));
        addAliases(e, keyOf_.at(&e));
    }

    void addAliases(const CtyEntity& e, const std::string& key) {
        for (const CtyAlias& a : e.prefixes) {
            if (a.text.size() > kWidestSearched) {
                longPrefixes_[a.text.substr(0, kWidestSearched)].push_back({key, a});
                continue;
            }
            if (a.text.size() == 1) oneCharacter_.push_back({key, a});
            addMapRow(MapRow(a.text, key, a));
        }
        for (const CtyAlias& a : e.calls) {
            if (a.text == kVersionCall || !callsSeen_.insert(a.text).second) continue;
            CTvx95CallMapSet row;
            row.m_CallCallsign = a.text;
            row.m_CallPfx = key;
            row.m_CallCq = a.cqZone;
            row.m_CallItu = a.ituZone;
            row.m_TIMEDIFF = a.timeDiff;
            row.m_LATITUDE = a.latitude;
            row.m_LONGITUDE = a.longitude;
            rows_.calls.push_back(std::move(row));
        }
    }

    // The first row for a prefix wins: the entities' own aliases, then
    // those of the award lists, then the keys, then the derived rows.
    void addMapRow(CTvx95MapPrefixSet row) {
        if (mapSeen_.insert(row.m_MAP_PREFIX).second) rows_.mapPrefixes.push_back(std::move(row));
    }

    // A derived prefix has at most four characters, so a longer alias can
    // never match as written. Its first four characters stand in for it
    // when nothing else claims them: every longer alias that starts with
    // them belongs to the same entity with the same zones, and they are no
    // alias of their own. Otherwise it is left out, and calls under it go
    // by the shorter aliases and the exact calls of the file.
    void addLongPrefixes() {
        for (const auto& [head, owners] : longPrefixes_) {
            bool agree = mapSeen_.count(head) == 0;
            for (const auto& [key, a] : owners) {
                agree = agree && key == owners.front().first &&
                        a.cqZone == owners.front().second.cqZone &&
                        a.ituZone == owners.front().second.ituZone;
            }
            if (agree) {
                addMapRow(MapRow(head, owners.front().first, owners.front().second));
            } else {
                for (const auto& owner : owners)
                    summary_.droppedPrefixes.push_back(owner.second.text);
            }
        }
    }

    // A one-character alias is never searched: the resolution looks its
    // character up in the prefix table instead, and takes A, K, N, W for the
    // US. Where that does not lead to the alias's entity (M for England, R
    // and U for European Russia) the alias is written as the two-character
    // prefixes it covers, except those that are aliases of their own.
    void expandOneCharacterPrefixes() {
        std::set<std::string> keys;
        for (const auto& [entity, key] : keyOf_) keys.insert(key);
        for (const auto& [key, a] : oneCharacter_) {
            const std::string fallback =
                IsSearchedAsUs(a.text) ? "K" : (keys.count(a.text) ? a.text : "");
            if (fallback == key) continue;
            for (const char* c = kCallChars; *c; ++c) addMapRow(MapRow(a.text + *c, key, a));
        }
    }

    const std::vector<CtyEntity>& entities_;
    CtyBuildSummary& summary_;
    RefRows rows_;
    std::map<const CtyEntity*, std::string> keyOf_;
    std::map<std::string, std::string> keyByNumber_;
    std::set<std::string> mapSeen_;
    std::set<std::string> callsSeen_;
    std::map<std::string, std::vector<std::pair<std::string, CtyAlias>>> longPrefixes_;
    std::vector<std::pair<std::string, CtyAlias>> oneCharacter_;
};

// The 50 states and the District of Columbia, as US contacts name them.
constexpr std::pair<const char*, const char*> kStates[] = {
    {"AL", "Alabama"},        {"AK", "Alaska"},         {"AZ", "Arizona"},
    {"AR", "Arkansas"},       {"CA", "California"},     {"CO", "Colorado"},
    {"CT", "Connecticut"},    {"DE", "Delaware"},       {"DC", "District of Columbia"},
    {"FL", "Florida"},        {"GA", "Georgia"},        {"HI", "Hawaii"},
    {"ID", "Idaho"},          {"IL", "Illinois"},       {"IN", "Indiana"},
    {"IA", "Iowa"},           {"KS", "Kansas"},         {"KY", "Kentucky"},
    {"LA", "Louisiana"},      {"ME", "Maine"},          {"MD", "Maryland"},
    {"MA", "Massachusetts"},  {"MI", "Michigan"},       {"MN", "Minnesota"},
    {"MS", "Mississippi"},    {"MO", "Missouri"},       {"MT", "Montana"},
    {"NE", "Nebraska"},       {"NV", "Nevada"},         {"NH", "New Hampshire"},
    {"NJ", "New Jersey"},     {"NM", "New Mexico"},     {"NY", "New York"},
    {"NC", "North Carolina"}, {"ND", "North Dakota"},   {"OH", "Ohio"},
    {"OK", "Oklahoma"},       {"OR", "Oregon"},         {"PA", "Pennsylvania"},
    {"RI", "Rhode Island"},   {"SC", "South Carolina"}, {"SD", "South Dakota"},
    {"TN", "Tennessee"},      {"TX", "Texas"},          {"UT", "Utah"},
    {"VT", "Vermont"},        {"VA", "Virginia"},       {"WA", "Washington"},
    {"WV", "West Virginia"},  {"WI", "Wisconsin"},      {"WY", "Wyoming"},
};

SqliteStatement InsertStatement(SqliteDb& db, const ReferenceTableDef& def) {
    std::string sql = "INSERT INTO " + bracket(def.table) + " (";
    std::string marks;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (i > 0) {
            sql += ", ";
            marks += ", ";
        }
        sql += bracket(def.columns[i].name);
        marks += '?';
    }
    return db.prepare(sql + ") VALUES (" + marks + ")");
}

// Binds one row, column by column in binding order; empty text is NULL.
void InsertRow(SqliteStatement& st, const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].empty()) {
            st.bindNull(static_cast<int>(i) + 1);
        } else {
            st.bindText(static_cast<int>(i) + 1, values[i]);
        }
    }
    st.step();
    st.reset();
}

void WriteRows(SqliteDb& db, const RefRows& rows) {
    SqliteStatement prefix = InsertStatement(db, prefixTable());
    for (const CTvx95PrefixSet& r : rows.prefixes) {
        prefix.bindText(1, r.m_PREFIX);
        prefix.bindText(2, r.m_COUNTRY);
        prefix.bindText(3, r.m_LATITUDE);
        prefix.bindText(4, r.m_LONGITUDE);
        // The country files know nothing of deletion, QSL fields or bureaus.
        prefix.bindInt(5, 0);
        prefix.bindInt(6, 0);
        prefix.bindInt(7, 0);
        prefix.bindText(8, r.m_CQ_ZONE);
        prefix.bindText(9, r.m_ITU_ZONE);
        prefix.bindText(10, r.m_ARRL_ID);
        prefix.bindOptionalText(
            11, r.m_CONTINENT.empty() ? std::nullopt : std::optional(r.m_CONTINENT));
        prefix.bindText(12, r.m_TIMEDIFF);
        prefix.step();
        prefix.reset();
    }
    // No dates in the country files: the dated columns stay NULL.
    SqliteStatement alias = InsertStatement(db, mapPrefixTable());
    for (const CTvx95MapPrefixSet& r : rows.mapPrefixes) {
        InsertRow(alias, {r.m_MAP_PREFIX, r.m_PRI_PREFIX, r.m_CQ_ZONE, "", "", "", "", "", "",
                          r.m_ITU_ZONE, r.m_TIMEDIFF, r.m_LATITUDE, r.m_LONGITUDE});
    }
    SqliteStatement call = InsertStatement(db, callMapTable());
    for (const CTvx95CallMapSet& r : rows.calls) {
        InsertRow(call, {r.m_CallCallsign, r.m_CallPfx, r.m_CallCq, r.m_CallItu, "", "", "", "", "",
                         "", "", "", r.m_TIMEDIFF, r.m_LATITUDE, r.m_LONGITUDE});
    }
    SqliteStatement state = InsertStatement(db, stateTable());
    for (const auto& [abbreviation, name] : kStates) {
        InsertRow(state, {abbreviation, name, "", "", "", "", ""});
    }
}

}  // namespace

std::vector<CtyEntity> ParseCtyCsv(std::istream& in, const std::string& sourceName) {
    return CtyParser(sourceName).parse(in);
}

std::string CtyEntityKey(const CtyEntity& entity) {
    const auto& fixed = KeysByEntityNumber();
    if (const auto it = fixed.find(entity.number); it != fixed.end()) return it->second;
    const std::string primary = ToUpper(entity.primary);
    if (primary.size() <= kKeyWidth) return primary;
    const std::size_t slash = primary.find('/');
    if (slash != std::string::npos && slash > 0 && primary.size() - slash <= kKeyWidth - 1) {
        const std::string suffix = primary.substr(slash + 1);
        if (!suffix.empty()) {
            return primary.substr(0, kKeyWidth - 1 - suffix.size()) + "/" + suffix;
        }
    }
    return primary.substr(0, kKeyWidth);
}

std::string CtyBuildSummary::describe() const {
    std::string text = std::to_string(entities) + " countries, " + std::to_string(mapPrefixRows) +
                       " alias prefixes, " + std::to_string(callMapRows) + " special calls, " +
                       std::to_string(stateRows) + " states";
    if (!droppedPrefixes.empty()) {
        text += "; " + std::to_string(droppedPrefixes.size()) +
                " prefixes longer than four characters left out";
    }
    return text;
}

CtyBuildSummary BuildReferenceFromCty(const std::string& ctyPath, const std::string& outPath) {
    // A pipe would block the open below.
    if (const FileCheck check = CheckFile(ctyPath);
        !check.regular() && check.kind != FileKind::Missing)
        throw DbError(FileProblem(ctyPath, check));
    std::ifstream in(ctyPath, std::ios::binary);
    if (!in) throw DbError("The country file '" + ctyPath + "' cannot be opened.");
    const std::vector<CtyEntity> entities = ParseCtyCsv(in, ctyPath);
    if (entities.empty()) throw DbError("The country file '" + ctyPath + "' holds no entity.");

    CtyBuildSummary summary;
    const RefRows rows = RowBuilder(entities, summary).build();
    summary.stateRows = static_cast<int>(std::size(kStates));

    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(outPath, ec))) {
        throw DbError("The file '" + outPath + "' exists already; it is not overwritten.");
    }
    // Built under a name of its own and renamed at the end: a build that is
    // interrupted never leaves a reference database without its rows.
    const std::string partPath = outPath + ".part-" + std::to_string(::getpid());
    createReferenceDatabase(partPath);
    try {
        {
            SqliteDb db(partPath, SqliteDb::Mode::ReadWrite);
            db.exec("BEGIN");
            WriteRows(db, rows);
            db.exec("COMMIT");
        }
        // No replacing of a file that appeared meanwhile.
        if (::renameat2(AT_FDCWD, partPath.c_str(), AT_FDCWD, outPath.c_str(), RENAME_NOREPLACE) !=
            0) {
            throw DbError("Could not rename '" + partPath + "' to '" + outPath +
                          "': " + SystemErrorText(errno));
        }
    } catch (...) {
        std::filesystem::remove(partPath, ec);
        throw;
    }
    return summary;
}

}  // namespace tvx
