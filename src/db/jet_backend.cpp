// Placeholder until the Jet reader lands; replaced by the libmdb backend.
#include "db/database.h"

namespace tvx {
std::unique_ptr<Database> openJetDatabase(const std::string& path) {
    throw DbError("Jet databases are not supported yet: " + path);
}
}  // namespace tvx
