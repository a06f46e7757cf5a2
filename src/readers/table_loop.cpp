#include "readers/table_loop.h"

namespace tvx {

void ReadTableRows(ReaderSteps& s, TableCursor& rows, const std::function<bool()>& convert) {
    const std::int64_t total = rows.rowCount();
    std::int64_t done = 0;
    while (rows.next()) {
        s.ReportPosition(++done, total);
        if (!s.NextRecord()) return;
        if (convert()) s.FinishRecord();
    }
    // Deleted rows are counted in the total but never read.
    s.ReportPosition(total, total);
    s.StopReading();
}

}  // namespace tvx
