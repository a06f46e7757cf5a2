#pragma once
// The source readers. Each turns its source's records into the engine's
// working contact and hands each one over; the engine does the rest.

#include "import/engine.h"

namespace tvx {

// ADIF (standard and LoTW).
void ImportAdif(ImportEngine& s);

// Text exports.
void ImportLogWindows(ImportEngine& s);
void ImportXpWin(ImportEngine& s);
void ImportLogview(ImportEngine& s);
void ImportSwisslog(ImportEngine& s);

// dBASE III tables.
void ImportHyperLog(ImportEngine& s);
void ImportDxLog(ImportEngine& s);
void ImportDxDeskTop(ImportEngine& s);
void ImportLogPlus(ImportEngine& s);
void ImportTopLog(ImportEngine& s);
void ImportQ9zz(ImportEngine& s);
void ImportEasyLog(ImportEngine& s);

// Jet.
void ImportStationMaster(ImportEngine& s);

}  // namespace tvx
