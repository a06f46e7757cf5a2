#include "dbase_import.h"

#include <gtest/gtest.h>

namespace tvx::test {

DbaseOutcome RunDbase(ImportFixture& f, int sourceType, const DbfTable& table,
                      const std::string& file, const std::function<void(ImportOptions&)>& tweak) {
    const std::string path = WriteDbf(f.dir.file(file), table);
    ImportOptions options = f.options(sourceType, path);
    if (tweak) tweak(options);
    EXPECT_TRUE(f.run(options));
    DbaseOutcome out;
    out.rows = f.rows();
    out.report = f.reportLines();
    out.counters = f.session->counters();
    out.messages = f.host.messages;
    return out;
}

void CheckRowCases(int sourceType, const std::vector<DbfField>& fields,
                   const std::vector<RowCase>& cases) {
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.name);
        ImportFixture f;
        DbfTable table;
        table.fields = fields;
        table.rows = {c.row};
        table.languageDriver = 0x01;
        const DbaseOutcome out = RunDbase(f, sourceType, table);
        EXPECT_EQ(out.counters.recordsRead, 1);
        if (c.reportLine) {
            EXPECT_TRUE(out.rows.empty());
            EXPECT_EQ(out.report, std::vector<std::string>{c.reportLine});
            EXPECT_EQ(out.counters.errors, 1);
            EXPECT_EQ(out.counters.recordsLoaded, 0);
            continue;
        }
        EXPECT_EQ(out.report, c.warnings);
        ASSERT_EQ(out.rows.size(), 1u);
        EXPECT_EQ(out.counters.recordsLoaded, 1);
        for (const auto& [column, value] : c.written) {
            SCOPED_TRACE(column);
            const auto it = out.rows[0].find(column);
            ASSERT_NE(it, out.rows[0].end()) << "no column " << column;
            EXPECT_EQ(it->second, value);
        }
    }
}

}  // namespace tvx::test
