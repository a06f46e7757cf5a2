#pragma once
// What every fuzz target shares: one import of fuzzed source bytes through
// Begin Import, with a host that answers Yes to everything but the abort
// question, into a fresh SQLite target beside a small reference world; and
// the dBASE tables of the seven readers.

#include <string>
#include <vector>

#include "dbase/dbf_writer.h"

namespace tvx::fuzz {

struct SourceFile {
    std::string name;
    std::string bytes;
};

// The whole file; "" when it cannot be read.
std::string ReadAll(const std::string& path);

// Writes the files into an empty folder (the first is the source), imports
// the source as the source type into a copy of an empty target and checks
// what must hold after any run: the target passes its integrity check and
// holds one row per contact counted as loaded. A broken rule aborts.
void RunImport(int sourceType, const std::vector<SourceFile>& files);

// The source type of a command-line name in the source-type table; aborts
// when the table has no such type.
int SourceTypeNamed(const char* cliName);

// The source types of the seven dBASE readers, in list order.
const std::vector<int>& DbaseSourceTypes();

// A table with a reader's columns and a few plausible rows. With memos, the
// long text columns are memo columns whose rows point at blocks 1 to 3 of
// the memo file.
test::DbfTable DbaseTable(int sourceType, bool withMemos);
// The bytes of a table written by shapelib.
std::string DbfBytes(const test::DbfTable& table);
// A dBASE III memo file with three short memos in blocks 1 to 3.
std::string SampleDbtBytes();

}  // namespace tvx::fuzz
