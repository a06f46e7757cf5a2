#pragma once
// The ADIF reader's own steps, for the readers that share them and for tests.
// BuildDxccPrefixMap, ReadAdifFile, ImportAdif and ValidateContact are in
// readers.h; the field mapping is in adif_fields.h.

#include <cstdint>
#include <string>

#include "import/session.h"

namespace tvx {

// 1 when the segment is the end-of-record tag, else 0 after handing the field
// to ApplyAdifField. The segment is the text after a "<" up to the next "<".
int ParseAdifSegment(ImportSession& s, const std::string& segment);

// The note from the file's comment, the extra note and the form's default.
void ComposeNote(ImportSession& s);
// Phone with the sideband still open ("89") becomes LSB below 10 MHz.
void ResolvePhoneSideband(ImportSession& s);
// True when an entry of "QSOs for these OPR Calls" begins with the call
// (case ignored).
bool IsListedOprCall(const ImportSession& s, const std::string& call);
// The state of an ARRL section; the section itself when it is not one.
std::string SectionToState(const std::string& section);

// The target row of the working contact (call, date, time, mode, band), also
// with the seconds set to 00, which then stays in the contact.
bool FindLotwDuplicate(ImportSession& s, std::int64_t& rowId);
// Marks the row confirmed and fills its empty details from the contact.
bool ApplyLotwConfirmation(ImportSession& s, std::int64_t rowId);

// The steps at an end-of-record tag: checks, resolution, filter, write or
// confirm, counters; the contact is cleared afterwards.
void FinishAdifRecord(ImportSession& s);

}  // namespace tvx
