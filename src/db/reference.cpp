#include "db/reference.h"

#include <algorithm>
#include <cctype>

#include "db/schema.h"
#include "util/text.h"

namespace tvx {

namespace {

std::vector<std::string> columnNames(const ReferenceTableDef& def) {
    std::vector<std::string> names;
    for (const ColumnDef& c : def.columns) names.emplace_back(c.name);
    return names;
}

// Jet hands yes/no columns over as booleans, SQLite as integers; a text
// column holding a yes/no value is read the way Jet would convert it.
bool asBoolean(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Boolean:
            return v.boolean;
        case Value::Kind::Integer:
            return v.integer != 0;
        case Value::Kind::Real:
            return v.real != 0.0;
        case Value::Kind::Text: {
            std::string t = v.text;
            std::transform(t.begin(), t.end(), t.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (t == "true" || t == "yes" || t == "on") return true;
            char* end = nullptr;
            const double number = std::strtod(t.c_str(), &end);
            return end != t.c_str() && number != 0.0;
        }
        default:
            return false;
    }
}

// Reads every row of one reference table; fill(text, flags, nulls) turns a row
// into a record and files it. A NULL key is never filed: it equals no
// looked-up value, not even the empty text.
template <typename Fill>
void readTable(Database& db, const ReferenceTableDef& def, Fill fill) {
    auto cursor = db.openTable(def.table, columnNames(def));
    std::vector<std::string> text(def.columns.size());
    std::vector<bool> flag(def.columns.size());
    std::vector<bool> null(def.columns.size());
    while (cursor->next()) {
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            const Value& v = cursor->at(i);
            null[i] = v.isNull();
            const bool isBoolean = std::find(def.booleanColumns.begin(), def.booleanColumns.end(),
                                             static_cast<int>(i)) != def.booleanColumns.end();
            if (isBoolean) {
                flag[i] = asBoolean(v);
                text[i].clear();
            } else {
                text[i] = v.asText();
            }
        }
        fill(text, flag, null);
    }
}

// A table the run can do without: when it cannot be read, what was read of
// it is dropped and the engine's description kept.
template <typename Fill, typename Rows>
void readOptionalTable(Database& db, const ReferenceTableDef& def, Fill fill, Rows& rows,
                       std::string& error) {
    try {
        readTable(db, def, fill);
    } catch (const DbError& e) {
        rows.clear();
        error = e.what();
    }
}

// One record per table row: the texts go to the members listed in the
// column order of the table's definition; nullptr skips a column.
template <typename Row, std::size_t N>
Row rowOf(std::vector<std::string>& t, std::string Row::*const (&members)[N]) {
    Row r;
    for (std::size_t i = 0; i < N; ++i) {
        if (members[i]) r.*members[i] = std::move(t[i]);
    }
    return r;
}

CTvx95CallMapSet callMapRow(std::vector<std::string>& t) {
    using R = CTvx95CallMapSet;
    static std::string R::*const kColumns[] = {
        &R::m_CallCallsign, &R::m_CallPfx,   &R::m_CallCq,    &R::m_CallItu,  &R::m_CallPfx1,
        &R::m_CallCq1,      &R::m_CallItu1,  &R::m_CallDate1, &R::m_CallPfx2, &R::m_CallCq2,
        &R::m_CallItu2,     &R::m_CallDate2, &R::m_TIMEDIFF,  &R::m_LATITUDE, &R::m_LONGITUDE};
    return rowOf(t, kColumns);
}

CTvx95MapPrefixSet mapPrefixRow(std::vector<std::string>& t) {
    using R = CTvx95MapPrefixSet;
    static std::string R::*const kColumns[] = {
        &R::m_MAP_PREFIX, &R::m_PRI_PREFIX,  &R::m_CQ_ZONE,   &R::m_OLD1_PREFIX, &R::m_OLD1_ZONE,
        &R::m_OLD1_DATE,  &R::m_OLD2_PREFIX, &R::m_OLD2_ZONE, &R::m_OLD2_DATE,   &R::m_ITU_ZONE,
        &R::m_TIMEDIFF,   &R::m_LATITUDE,    &R::m_LONGITUDE};
    return rowOf(t, kColumns);
}

// Columns 4 to 6 are the yes/no flags.
CTvx95PrefixSet prefixRow(std::vector<std::string>& t, const std::vector<bool>& f) {
    using R = CTvx95PrefixSet;
    static std::string R::*const kColumns[] = {&R::m_PREFIX,    &R::m_COUNTRY,   &R::m_LATITUDE,
                                               &R::m_LONGITUDE, nullptr,         nullptr,
                                               nullptr,         &R::m_CQ_ZONE,   &R::m_ITU_ZONE,
                                               &R::m_ARRL_ID,   &R::m_CONTINENT, &R::m_TIMEDIFF};
    R r = rowOf(t, kColumns);
    r.m_DEL_STATUS = f[4];
    r.m_QSL_FIELD_CHECK = f[5];
    r.m_QSL_BUREAU = f[6];
    return r;
}

CTvx96CountySet countyRow(std::vector<std::string>& t) {
    using R = CTvx96CountySet;
    static std::string R::*const kColumns[] = {&R::m_CNTY_ST_ABV, &R::m_CNTY_LAT, &R::m_CNTY_LON,
                                               &R::m_CNTY_NAME};
    return rowOf(t, kColumns);
}

CTvx96StateSet stateRow(std::vector<std::string>& t) {
    using R = CTvx96StateSet;
    static std::string R::*const kColumns[] = {&R::m_STATE_ABV, &R::m_STATE_NAME, &R::m_CQ_ZONE,
                                               &R::m_STATE_LAT, &R::m_STATE_LON,  &R::m_ITU_ZONE,
                                               &R::m_TIMEDIFF};
    return rowOf(t, kColumns);
}

}  // namespace

ReferenceData ReferenceData::Load(Database& db) {
    using Texts = std::vector<std::string>;
    using Flags = std::vector<bool>;
    ReferenceData ref;
    readTable(db, callMapTable(), [&](Texts& t, const Flags&, const Flags& null) {
        if (!null[0]) ref.addCallMap(callMapRow(t));
    });
    readTable(db, mapPrefixTable(), [&](Texts& t, const Flags&, const Flags& null) {
        if (!null[0]) ref.addMapPrefix(mapPrefixRow(t));
    });
    readTable(db, prefixTable(), [&](Texts& t, const Flags& f, const Flags& null) {
        if (null[0]) {
            ref.prefixRows_.push_back(prefixRow(t, f));  // kept in order, never found by key
        } else {
            ref.addPrefix(prefixRow(t, f));
        }
    });
    // The state and county checks go on without their tables (they then find
    // nothing); resolution cannot, so the other three tables are required.
    readOptionalTable(
        db, countyTable(),
        [&](Texts& t, const Flags&, const Flags& null) {
            if (!null[0] && !null[3]) ref.addCounty(countyRow(t));
        },
        ref.counties_, ref.countyError_);
    readOptionalTable(
        db, stateTable(),
        [&](Texts& t, const Flags&, const Flags& null) {
            if (!null[0]) ref.addState(stateRow(t));
        },
        ref.states_, ref.stateError_);
    return ref;
}

ReferenceData ReferenceData::LoadFile(const std::string& path) {
    std::unique_ptr<Database> db = openDatabase(path);
    return Load(*db);
}

bool ReferenceData::HasUsablePrefix() const {
    return std::any_of(prefix_.begin(), prefix_.end(), [](const auto& p) {
        return !p.first.empty() && CharCount(p.first) <= 4;
    });
}

void ReferenceData::addCallMap(CTvx95CallMapSet row) {
    std::string key = row.m_CallCallsign;
    callMap_.try_emplace(std::move(key), std::move(row));
}

void ReferenceData::addMapPrefix(CTvx95MapPrefixSet row) {
    std::string key = row.m_MAP_PREFIX;
    mapPrefix_.try_emplace(std::move(key), std::move(row));
}

void ReferenceData::addPrefix(CTvx95PrefixSet row) {
    prefix_.try_emplace(row.m_PREFIX, prefixRows_.size());
    prefixRows_.push_back(std::move(row));
}

void ReferenceData::addState(CTvx96StateSet row) {
    states_.insert(std::move(row.m_STATE_ABV));
}

void ReferenceData::addCounty(CTvx96CountySet row) {
    counties_.emplace(std::move(row.m_CNTY_ST_ABV), std::move(row.m_CNTY_NAME));
}

const CTvx95CallMapSet* ReferenceData::findCallMap(const std::string& call) const {
    auto it = callMap_.find(call);
    return it == callMap_.end() ? nullptr : &it->second;
}

const CTvx95MapPrefixSet* ReferenceData::findMapPrefix(const std::string& prefix) const {
    auto it = mapPrefix_.find(prefix);
    return it == mapPrefix_.end() ? nullptr : &it->second;
}

const CTvx95PrefixSet* ReferenceData::findPrefix(const std::string& prefix) const {
    auto it = prefix_.find(prefix);
    return it == prefix_.end() ? nullptr : &prefixRows_[it->second];
}

bool ReferenceData::hasState(const std::string& abbreviation) const {
    return states_.count(abbreviation) != 0;
}

bool ReferenceData::hasCounty(const std::string& state, const std::string& county) const {
    return counties_.count({state, county}) != 0;
}

}  // namespace tvx
