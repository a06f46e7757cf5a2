// Placeholder until the dBASE reader lands; replaced by the shapelib backend.
#include "db/database.h"

namespace tvx {
std::unique_ptr<Database> openDbaseFolder(const std::string& folder) {
    throw DbError("dBASE folders are not supported yet: " + folder);
}
}  // namespace tvx
