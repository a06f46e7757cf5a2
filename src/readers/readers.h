#pragma once
// The source readers. Each turns its source's records into the working
// contact and calls the session's shared finishing steps.

#include "import/session.h"

namespace tvx {

// ADIF (standard and LoTW).
void BuildDxccPrefixMap(ImportSession& s);
void ReleaseDxccPrefixMap(ImportSession& s);
void ReadAdifFile(ImportSession& s);
void ImportAdif(ImportSession& s);  // BuildDxccPrefixMap, then ReadAdifFile
// Shared with the Logview reader.
bool ValidateContact(ImportSession& s);
// States belong to the prefixes K, KH6 and KL7 only: any other resolved
// prefix loses the state that ValidateContact could not judge yet.
bool IsStatePrefix(const std::string& prefix);
void DropStateOutsideUs(ImportSession& s, const ResolutionRecord& rec);

// Text exports.
void ImportLogWindows(ImportSession& s);
void ImportXpWin(ImportSession& s);
void ImportLogview(ImportSession& s);
void ImportSwisslog(ImportSession& s);

// dBASE III tables.
void ImportHyperLog(ImportSession& s);
void ImportDxLog(ImportSession& s);
void ImportDxDeskTop(ImportSession& s);
void ImportLogPlus(ImportSession& s);
void ImportTopLog(ImportSession& s);
void ImportQ9zz(ImportSession& s);
void ImportEasyLog(ImportSession& s);

// Jet.
void ImportStationMaster(ImportSession& s);

}  // namespace tvx
