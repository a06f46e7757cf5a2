#pragma once
// End-to-end runs of the dBASE readers: a table written with shapelib into
// the fixture's folder, imported into the fixture's SQLite target.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dbf_writer.h"
#include "support/import_fixture.h"

namespace tvx::test {

struct DbaseOutcome {
    std::vector<QsoRowMap> rows;
    std::vector<std::string> report;  // ERRORS.TXT, oldest first
    Counters counters;
    std::vector<RecordingHost::Message> messages;
};

// Writes the table as <folder of the fixture>/<file> and imports it as the
// source type; options may be changed before the run.
DbaseOutcome RunDbase(ImportFixture& f, int sourceType, const DbfTable& table,
                      const std::string& file = "log.dbf",
                      const std::function<void(ImportOptions&)>& tweak = {});

// One row of a reader's table and what it must give: either the row written
// (the listed columns compared; std::nullopt is NULL) or the one report line.
struct RowCase {
    const char* name;
    DbfRow row;
    std::map<std::string, std::optional<std::string>> written;
    const char* reportLine = nullptr;        // when set: the only report line, no row written
    std::vector<std::string> warnings = {};  // report lines beside a written row
};

// Runs each case as a table of its own and checks it.
void CheckRowCases(int sourceType, const std::vector<DbfField>& fields,
                   const std::vector<RowCase>& cases);

}  // namespace tvx::test
