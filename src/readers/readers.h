#pragma once
// The source readers. Each turns its source's records into the engine's
// working contact and hands each one over; the engine does the rest.

#include "import/reader_steps.h"

namespace tvx {

// ADIF (standard and LoTW).
void ImportAdif(ReaderSteps& s);

// Text exports.
void ImportLogWindows(ReaderSteps& s);
void ImportXpWin(ReaderSteps& s);
void ImportLogview(ReaderSteps& s);
void ImportSwisslog(ReaderSteps& s);

// dBASE III tables.
void ImportHyperLog(ReaderSteps& s);
void ImportDxLog(ReaderSteps& s);
void ImportDxDeskTop(ReaderSteps& s);
void ImportLogPlus(ReaderSteps& s);
void ImportTopLog(ReaderSteps& s);
void ImportQ9zz(ReaderSteps& s);
void ImportEasyLog(ReaderSteps& s);

// Jet.
void ImportStationMaster(ReaderSteps& s);

}  // namespace tvx
