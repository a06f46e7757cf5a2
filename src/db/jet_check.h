#pragma once
// The project's own consistency check of a Jet file, independent of any
// writer: every table's scan against its definition's row count, its pages
// against its usage map, and every index walked from its root (page kinds,
// sibling links, key order, each entry to a live row of the table, each live
// row once in each index). A file that fails it is never put in the place
// of a user's database.

#include <string>
#include <vector>

namespace tvx {

// The problems found, one sentence each; empty when the file is consistent.
// A file that cannot be read as Jet at all gives its one reason.
std::vector<std::string> CheckJetFile(const std::string& path);

}  // namespace tvx
