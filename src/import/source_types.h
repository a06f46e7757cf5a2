#pragma once
// The table of the fourteen source types: list names, file-dialog filters,
// command-line names and readers. It feeds the form's combo box, the file
// dialog, the command line and the dispatch; nothing else switches on type.

#include <string>
#include <vector>

#include "import/session.h"

namespace tvx {

// Defined with the readers.
const std::vector<SourceType>& SourceTypes();

// The file dialog's filter list: "name|pattern|...||".
std::string SourceFilterList(const std::vector<SourceType>& types);
// Index of a command-line type (number 0-13 or name); -1 when unknown.
int SourceTypeFromName(const std::vector<SourceType>& types, const std::string& name);

}  // namespace tvx
