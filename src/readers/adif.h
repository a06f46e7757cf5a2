#pragma once
// The ADIF reader's own steps, for tests. ImportAdif is in readers.h; the
// field mapping is in adif_fields.h.

#include <string>
#include <string_view>
#include <unordered_map>

#include "import/reader_steps.h"

namespace tvx {

// Country identifier (the DXCC field) to the prefix table's prefix.
using DxccPrefixMap = std::unordered_map<std::string, std::string>;

// The record being read: a record may span lines and a line may hold several
// records, so the contact keeps its fields until the end-of-record tag.
struct AdifRecord {
    ReaderSteps& engine;
    WorkingContact& c;
    const DxccPrefixMap* dxccPrefixes = nullptr;
};

// 1 when the segment is the end-of-record tag, else 0 after handing the field
// to ApplyAdifField. The segment is the text after a "<" up to the next "<".
int ParseAdifSegment(AdifRecord& r, std::string_view segment);

// Reads the engine's source file as ADIF with the given country map.
void ReadAdifFile(ReaderSteps& s, const DxccPrefixMap* dxccPrefixes);

// ADX, the XML form of ADIF: whether the file's first bytes are XML, and
// its reader (each field mapped as ADI's).
bool LooksLikeAdx(const std::string& path);
void ReadAdxFile(ReaderSteps& s, const DxccPrefixMap* dxccPrefixes);

// Phone with the sideband still open ("89") becomes LSB below 10 MHz.
void ResolvePhoneSideband(WorkingContact& c);

// The steps at an end-of-record tag: the record's own checks, then the
// engine's; the contact is cleared afterwards.
void FinishAdifRecord(ReaderSteps& s);

}  // namespace tvx
