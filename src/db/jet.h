#pragma once
// Limits of the Jet reader. libmdb trusts what it reads; a damaged file can
// make it loop, so every read runs apart from the program and is given up
// when it stops producing rows for this long.

#include <chrono>
#include <memory>
#include <string>

#include "tables/database.h"

namespace tvx {

// Opens a Jet file whose reads each wait at most `stall` for the next row
// (or the table list) before the file is taken as damaged.
std::unique_ptr<Database> openJetDatabase(const std::string& path, std::chrono::milliseconds stall);

// The stall timeout that openJetDatabase(path) gives a database it opens;
// a database keeps the one it was opened with. Tests shorten it.
std::chrono::milliseconds JetStallTimeout();
void SetJetStallTimeout(std::chrono::milliseconds timeout);

}  // namespace tvx
