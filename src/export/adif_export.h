#pragma once
// The ADIF export: every row of the target's [QSO-TAB] as one ADIF record,
// written so that an import of the file as Standard ADIF into an empty
// target gives the same rows back.

#include <iosfwd>
#include <map>
#include <string>

#include "db/reference.h"

namespace tvx {

struct AdifExportResult {
    long recordsWritten = 0;
    // Records that had at least one value the export could not write.
    long damagedRecords = 0;
    // Values left out, by column name.
    std::map<std::string, long> damagedValues;

    // The warning for the damaged records; empty when there were none.
    std::string WarningLine() const;
    // The same in words for a person: where the file went, how many records,
    // which values were left out.
    std::string Summary(const std::string& outPath) const;
};

// Streams the rows of the target in [QSO-NUMBER] order to out, header first.
// reference gives the DXCC numbers of the prefixes; without it no DXCC field
// is written. createdTimestamp is "YYYYMMDD HHMMSS" in UTC (now when empty).
// Throws DbError for a target that cannot be read.
AdifExportResult WriteAdif(const std::string& targetPath, const ReferenceData* reference,
                           std::ostream& out, const std::string& createdTimestamp = {});

// Exports the target into outPath with the reference database of the host
// folder, found as the import finds it. The file appears whole or not at all:
// it is written into a new file beside outPath and renamed over it at the
// end. "-", a terminal or a pipe is written directly. Throws DbError
// when the target, the reference database or the file fails.
AdifExportResult ExportAdifFile(const std::string& targetPath, const std::string& hostPath,
                                const std::string& outPath);

}  // namespace tvx
