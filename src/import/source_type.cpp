#include "import/source_type.h"

#include "util/text.h"

namespace tvx {

std::string SourceFilterList(const std::vector<SourceType>& types) {
    std::vector<const SourceType*> ordered(types.size());
    for (const auto& t : types) {
        if (t.filterPosition >= 0 && t.filterPosition < static_cast<int>(ordered.size()))
            ordered[t.filterPosition] = &t;
    }
    std::string list;
    for (const SourceType* t : ordered) {
        if (t == nullptr) continue;
        list += t->filterName;
        list += '|';
        list += t->filterPattern;
        list += '|';
    }
    list += "All|*.*||";
    return list;
}

int SourceTypeFromName(const std::vector<SourceType>& types, const std::string& name) {
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
        name.size() <= 3) {
        const int index = std::stoi(name);
        return index < static_cast<int>(types.size()) ? index : -1;
    }
    for (const auto& t : types) {
        if (EqualsNoCase(name, t.cliName)) return t.index;
    }
    return -1;
}

}  // namespace tvx
