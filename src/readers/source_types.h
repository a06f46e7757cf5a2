#pragma once
// The table of the fourteen source types with their readers. It feeds the
// form's combo box, the file dialog, the command line and the dispatch.

#include <vector>

#include "import/source_type.h"

namespace tvx {

const std::vector<SourceType>& SourceTypes();

}  // namespace tvx
