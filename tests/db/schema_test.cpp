#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "db/schema.h"
#include "db/sqlite.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

using test::TempDir;

TEST(Schema, QsoColumnsInBindingOrder) {
    const auto& columns = qsoColumns();
    ASSERT_EQ(columns.size(), 41u);
    ASSERT_EQ(static_cast<int>(kQsoColumnCount), 41);
    struct Expect {
        QsoCol col;
        const char* name;
        ColumnKind kind;
    };
    const Expect expected[] = {
        {kQsoDate, "QSO-DATE", ColumnKind::Text},
        {kQsoCqZone, "QSO-CQ-ZONE", ColumnKind::Text},
        {kQsoMgrNumb, "QSO-MGR-NUMB", ColumnKind::Text},
        {kQsoValid, "QSO-VALID", ColumnKind::Long},
        {kQsoAward, "QSO-AWARD", ColumnKind::Long},
        {kQsoSelect, "QSO-SELECT", ColumnKind::Long},
        {kQsoCategory, "QSO-CATEGORY", ColumnKind::Long},
        {kQsoSat, "QSO-SAT", ColumnKind::Text},
        {kQsoNumber, "QSO-NUMBER", ColumnKind::Long},
        {kQsoOprCall, "QSO-OPRCALL", ColumnKind::Text},
        {kQsoSatMode, "QSO-SATMODE", ColumnKind::Text},
    };
    for (const Expect& e : expected) {
        EXPECT_STREQ(columns[e.col].name, e.name);
        EXPECT_EQ(columns[e.col].kind, e.kind) << e.name;
    }
    int longs = 0;
    for (const ColumnDef& c : columns) longs += c.kind == ColumnKind::Long;
    EXPECT_EQ(longs, 5);
}

TEST(Schema, DxccColumnNames) {
    const auto& names = dxccColumns();
    ASSERT_EQ(names.size(), 247u);
    const std::pair<std::size_t, const char*> expected[] = {
        {0, "PREFIX"},   {1, "CMX160"},   {2, "WMX160"},  {3, "CMX80"},   {48, "WMX75G"},
        {49, "CPH160"},  {97, "CCW160"},  {101, "CCW60"}, {102, "WCW60"}, {145, "CRY160"},
        {193, "CDG160"}, {240, "WDG75G"}, {241, "CYL"},   {242, "WYL"},   {243, "CQRP"},
        {244, "WQRP"},   {245, "CSAT"},   {246, "WSAT"},
    };
    for (const auto& [index, name] : expected) EXPECT_EQ(names[index], name) << index;
    // Every group's confirmed column of band position b sits at base + 2b.
    const char* groups[] = {"MX", "PH", "CW", "RY", "DG"};
    for (int g = 0; g < 5; ++g) {
        EXPECT_EQ(names[static_cast<std::size_t>(1 + 48 * g + 2 * 20)],
                  std::string("C") + groups[g] + "10G");
    }
}

TEST(Schema, ReferenceTables) {
    EXPECT_STREQ(callMapTable().table, "CALLMAP");
    EXPECT_EQ(callMapTable().columns.size(), 15u);
    EXPECT_STREQ(mapPrefixTable().table, "MAP-Prefix");
    EXPECT_EQ(mapPrefixTable().columns.size(), 13u);
    EXPECT_STREQ(prefixTable().table, "PREFIX-Pri");
    EXPECT_EQ(prefixTable().columns.size(), 12u);
    EXPECT_EQ(prefixTable().booleanColumns, (std::vector<int>{4, 5, 6}));
    EXPECT_STREQ(prefixTable().columns[4].name, "DEL-STATUS");
    EXPECT_STREQ(prefixTable().columns[6].name, "QSL-BUREAU");
    EXPECT_STREQ(countyTable().table, "COUNTY-TAB");
    EXPECT_STREQ(countyTable().columns[3].name, "CNTY-NAME");
    EXPECT_STREQ(stateTable().table, "STATE-TABLE");
    EXPECT_EQ(stateTable().columns.size(), 7u);
}

TEST(Schema, CreatedTargetHasTheColumnsInOrder) {
    TempDir dir;
    const std::string path = dir.file("target.sqlite");
    createTargetDatabase(path);
    SqliteDb db(path, SqliteDb::Mode::ReadOnly);

    const auto qso = db.tableColumns("QSO-TAB");
    ASSERT_EQ(qso.size(), 41u);
    for (std::size_t i = 0; i < qso.size(); ++i) EXPECT_EQ(qso[i], qsoColumns()[i].name);

    const auto dxcc = db.tableColumns("DXCCTAB");
    EXPECT_EQ(dxcc, dxccColumns());
    EXPECT_EQ(db.tableColumns("QSO-NOTES"), (std::vector<std::string>{"CALLSIGN", "NOTES"}));

    // Declared kinds: long columns INTEGER, the rest TEXT, the number the key.
    SqliteStatement st =
        db.prepare("SELECT type, pk FROM pragma_table_info('QSO-TAB') ORDER BY cid");
    for (std::size_t i = 0; st.step(); ++i) {
        const bool isLong = qsoColumns()[i].kind == ColumnKind::Long;
        EXPECT_EQ(st.columnText(0), isLong ? "INTEGER" : "TEXT") << qso[i];
        EXPECT_EQ(st.columnInt(1), i == kQsoNumber ? 1 : 0) << qso[i];
    }
}

TEST(Schema, CreatedReferenceDatabaseHasFiveTables) {
    TempDir dir;
    const std::string path = dir.file("refdata.sqlite");
    createReferenceDatabase(path);
    SqliteDb db(path, SqliteDb::Mode::ReadOnly);
    for (const ReferenceTableDef* def :
         {&callMapTable(), &mapPrefixTable(), &prefixTable(), &countyTable(), &stateTable()}) {
        const auto columns = db.tableColumns(def->table);
        ASSERT_EQ(columns.size(), def->columns.size()) << def->table;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            EXPECT_EQ(columns[i], def->columns[i].name);
        }
    }
}

TEST(Schema, CreationNeverOverwrites) {
    TempDir dir;
    const std::string path = dir.write("existing.sqlite", "precious");
    EXPECT_THROW(createTargetDatabase(path), DbError);
    EXPECT_THROW(createReferenceDatabase(path), DbError);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "precious");
}

}  // namespace
}  // namespace tvx
