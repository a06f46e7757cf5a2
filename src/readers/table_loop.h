#pragma once
// The record loop of a table source: each row is a record.

#include <functional>

#include "import/reader_steps.h"
#include "tables/database.h"

namespace tvx {

// convert fills the contact from the current row; false when the row failed
// a check (it has been reported). A read error in the middle of the table
// passes to the caller, and what was read before it stays.
void ReadTableRows(ReaderSteps& s, TableCursor& rows, const std::function<bool()>& convert);

}  // namespace tvx
