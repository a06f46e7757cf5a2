#pragma once
// Callsign resolution: country prefix, CQ and ITU zones and WPX prefix of a
// callsign on a date, from the reference tables.

#include <string>

#include "db/reference.h"

namespace tvx {

// Resolution of one contact. Widths are kept by the setters of the lookups:
// prefix at most 4 characters, zones at most 2, date at most 8.
struct ResolutionRecord {
    std::string date;
    std::string prefix;
    std::string cqZone;
    std::string ituZone;
    void clear() { date.clear(), prefix.clear(), cqZone.clear(), ituZone.clear(); }
};

bool LookupCallMap(const ReferenceData& ref, ResolutionRecord& rec, const std::string& call);
// Exactly four characters, blank-padded; empty for an empty callsign.
std::string DerivePrefix(const std::string& call);
bool LookupMapPrefix(const ReferenceData& ref, ResolutionRecord& rec);
bool IsUsPrefix(const std::string& prefix);
std::string CqZoneFromCallArea(const std::string& call);
bool LookupPrefix(const ReferenceData& ref, ResolutionRecord& rec);
std::string DeriveWpxPrefix(const std::string& call);

struct ResolveOutcome {
    bool found = false;           // the prefix table knows the final prefix
    bool usCall = false;          // the derived prefix was a US prefix
    bool dxccPrefixUsed = false;  // the file's own prefix was kept
};

// Country prefix and zones of a call on a date, without reporting: the call
// map, else the prefix cut from the call through the alias prefixes; any US
// prefix becomes K; then the prefix table. filePrefix is the prefix the
// source itself gave (ADIF DXCC or TVXPFX), or nullptr for readers that have
// none; when the prefix table does not know it, it is emptied and the
// resolved prefix is used.
ResolveOutcome ResolveCallsignSteps(const ReferenceData& ref, const std::string& call,
                                    const std::string& date, ResolutionRecord& rec,
                                    std::string* filePrefix);

}  // namespace tvx
