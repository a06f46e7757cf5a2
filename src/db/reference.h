#pragma once
// The reference tables (call map, alias prefixes, prefixes, states,
// counties), read once per import into in-memory indexes with exact,
// case-sensitive keys.

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tables/database.h"

namespace tvx {

struct CTvx95CallMapSet {
    std::string m_CallCallsign, m_CallPfx, m_CallCq, m_CallItu;
    std::string m_CallPfx1, m_CallCq1, m_CallItu1, m_CallDate1;
    std::string m_CallPfx2, m_CallCq2, m_CallItu2, m_CallDate2;
    std::string m_TIMEDIFF, m_LATITUDE, m_LONGITUDE;
};

struct CTvx95MapPrefixSet {
    std::string m_MAP_PREFIX, m_PRI_PREFIX, m_CQ_ZONE;
    std::string m_OLD1_PREFIX, m_OLD1_ZONE, m_OLD1_DATE;
    std::string m_OLD2_PREFIX, m_OLD2_ZONE, m_OLD2_DATE;
    std::string m_ITU_ZONE, m_TIMEDIFF, m_LATITUDE, m_LONGITUDE;
};

struct CTvx95PrefixSet {
    std::string m_PREFIX, m_COUNTRY, m_LATITUDE, m_LONGITUDE;
    bool m_DEL_STATUS = false, m_QSL_FIELD_CHECK = false, m_QSL_BUREAU = false;
    std::string m_CQ_ZONE, m_ITU_ZONE, m_ARRL_ID, m_CONTINENT, m_TIMEDIFF;
};

struct CTvx96CountySet {
    std::string m_CNTY_ST_ABV, m_CNTY_LAT, m_CNTY_LON, m_CNTY_NAME;
};

struct CTvx96StateSet {
    std::string m_STATE_ABV, m_STATE_NAME, m_CQ_ZONE, m_STATE_LAT, m_STATE_LON, m_ITU_ZONE,
        m_TIMEDIFF;
};

class ReferenceData {
  public:
    // Reads the five tables of a reference database (SQLite or Jet). Throws
    // DbError when the call map, alias prefix or prefix table is missing or
    // damaged; a state or county table that cannot be read is left empty and
    // its error kept.
    static ReferenceData Load(Database& db);
    // Opens the file (SQLite or Jet by its content) and loads it.
    static ReferenceData LoadFile(const std::string& path);
    // Whether a contact can be resolved at all: contacts are resolved by
    // prefixes of one to four characters, and an interrupted build or a
    // damaged file may hold none.
    bool HasUsablePrefix() const;

    // Rows with a key seen before are ignored: the first row wins.
    void addCallMap(CTvx95CallMapSet row);
    void addMapPrefix(CTvx95MapPrefixSet row);
    void addPrefix(CTvx95PrefixSet row);
    void addState(CTvx96StateSet row);
    void addCounty(CTvx96CountySet row);

    const CTvx95CallMapSet* findCallMap(const std::string& call) const;
    const CTvx95MapPrefixSet* findMapPrefix(const std::string& prefix) const;
    const CTvx95PrefixSet* findPrefix(const std::string& prefix) const;
    bool hasState(const std::string& abbreviation) const;
    bool hasCounty(const std::string& state, const std::string& county) const;
    // False when the county table is empty (reference data without counties).
    bool hasCounties() const { return !counties_.empty(); }
    // The engine's description of why the state or county table could not
    // be read; "" when it was read.
    const std::string& stateTableError() const { return stateError_; }
    const std::string& countyTableError() const { return countyError_; }
    // Every row of [PREFIX-Pri] in table order, duplicates included.
    const std::vector<CTvx95PrefixSet>& prefixRows() const { return prefixRows_; }

  private:
    std::unordered_map<std::string, CTvx95CallMapSet> callMap_;
    std::unordered_map<std::string, CTvx95MapPrefixSet> mapPrefix_;
    std::unordered_map<std::string, std::size_t> prefix_;
    std::vector<CTvx95PrefixSet> prefixRows_;
    std::unordered_set<std::string> states_;
    std::set<std::pair<std::string, std::string>> counties_;
    std::string stateError_, countyError_;
};

}  // namespace tvx
