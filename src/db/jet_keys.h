#pragma once
// Index keys as the Jet engine builds them from a row's values: per column a
// flag byte and the value's bytes in an order that compares bytewise, Text
// through the sort order of its format (Jet 3: Access 97's "General"; Jet 4:
// Access 2000's "General"), all of a column's bytes complemented when it
// sorts descending.

#include <string>
#include <vector>

#include "db/jet_file.h"
#include "db/jet_row.h"

namespace tvx {

// Whether the program can key the index: its columns are of kinds it keys and
// its Text columns use the General sort order of the file's format. Returns
// the reason when it cannot.
std::string UnkeyableIndexReason(const JetFormat& f, const JetTableDef& def,
                                 const JetPhysicalIndex& index);

// The key of a row (values in the definition's column order) in an index.
JetBytes JetIndexKey(const JetFormat& f, const JetTableDef& def, const JetPhysicalIndex& index,
                     const std::vector<JetValue>& values);

// The key of one Text value (without the column's flag byte), ascending.
JetBytes JetTextKey(bool jet4, const std::string& utf8);

// Whether a key holds nothing but NULL columns.
bool JetKeyAllNull(const JetPhysicalIndex& index, const JetBytes& key);

}  // namespace tvx
