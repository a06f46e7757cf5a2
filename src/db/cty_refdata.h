#pragma once
// A reference database built from the public country files (cty.csv), for
// users who have no copy of the host program's refdata.mdb.
//
// cty.csv has one entity a line: primary prefix, name, entity number,
// continent, CQ zone, ITU zone, latitude, longitude (west positive), time
// offset (hours to add to local time for UTC), then the alias list ended by
// ";": prefixes, exact callsigns written "=CALL", each optionally followed
// by (CQ) [ITU] <lat/lon> {continent} ~offset~ overrides. A primary prefix
// marked "*" is an entity of another award list only.

#include <istream>
#include <string>
#include <vector>

namespace tvx {

// A prefix or exact callsign with the values that hold for it, already in
// the reference tables' form (zones two digits, east longitude positive,
// time difference local minus UTC).
struct CtyAlias {
    std::string text;
    std::string cqZone, ituZone;
    std::string latitude, longitude, timeDiff;
};

struct CtyEntity {
    std::string primary;  // as the file spells it, without the "*"
    std::string name, number, continent;
    std::string cqZone, ituZone, latitude, longitude, timeDiff;
    bool awardOnly = false;
    std::vector<CtyAlias> prefixes;
    std::vector<CtyAlias> calls;
    int line = 0;
};

// Reads the lines of a country file. Throws DbError naming the source and
// the line for anything malformed.
std::vector<CtyEntity> ParseCtyCsv(std::istream& in, const std::string& sourceName);

// The entity's key in [PREFIX-Pri]: at most four characters, and the very
// form that callsign resolution produces for the entities it singles out.
std::string CtyEntityKey(const CtyEntity& entity);

struct CtyBuildSummary {
    int entities = 0;
    int awardOnlyFolded = 0;  // award-only entities whose calls went to their entity
    int mapPrefixRows = 0;
    int callMapRows = 0;
    int stateRows = 0;
    std::vector<std::string> renamedKeys;      // "primary -> key" where the key differs
    std::vector<std::string> droppedPrefixes;  // too long for the alias search
    std::string describe() const;
};

// Writes a new reference database at outPath from the country file at
// ctyPath. Refuses an existing outPath; leaves no file behind on failure.
CtyBuildSummary BuildReferenceFromCty(const std::string& ctyPath, const std::string& outPath);

}  // namespace tvx
