#include <gtest/gtest.h>

#include "db/reference.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

using test::TempDir;

class Reference : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.file("refdata.sqlite");
        createReferenceDatabase(path_);
        db_ = std::make_unique<SqliteDb>(path_, SqliteDb::Mode::ReadWrite);
    }
    // Inserts one row with the values bound in column order.
    void insert(const ReferenceTableDef& def, const std::vector<std::optional<std::string>>& row) {
        std::string sql = "INSERT INTO " + bracket(def.table) + " VALUES (";
        for (std::size_t i = 0; i < def.columns.size(); ++i) sql += i ? ",?" : "?";
        SqliteStatement st = db_->prepare(sql + ")");
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            const int p = static_cast<int>(i + 1);
            if (i >= row.size() || !row[i]) {
                st.bindNull(p);
            } else if (def.columns[i].kind == ColumnKind::Long) {
                st.bindInt(p, std::stoll(*row[i]));
            } else {
                st.bindText(p, *row[i]);
            }
        }
        st.step();
    }
    ReferenceData load() {
        db_.reset();
        return ReferenceData::LoadFile(path_);
    }
    TempDir dir_;
    std::string path_;
    std::unique_ptr<SqliteDb> db_;
};

TEST_F(Reference, LoadsEveryTableWithAllColumns) {
    insert(callMapTable(), {"4U1UN", "4U1U", "05", "08", "K", "05", "08", "19991231", "W", "04",
                            "07", "19800101", "-5", "40.7", "-74.0"});
    insert(mapPrefixTable(), {"AX", "VK", "30", "VK9", "29", "19901231", "VK8", "28", "19801231",
                              "55", "+10", "-33.9", "151.2"});
    insert(prefixTable(),
           {"DL", "Germany", "51.0", "10.0", "0", "1", "1", "14", "28", "230", "EU", "+1"});
    insert(stateTable(), {"CT", "Connecticut", "05", "41.6", "-72.7", "08", "-5"});
    insert(countyTable(), {"CT", "41.7", "-72.6", "Hartford"});
    const ReferenceData ref = load();

    const auto* call = ref.findCallMap("4U1UN");
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->m_CallPfx, "4U1U");
    EXPECT_EQ(call->m_CallDate1, "19991231");
    EXPECT_EQ(call->m_CallItu2, "07");
    EXPECT_EQ(call->m_CallDate2, "19800101");
    EXPECT_EQ(call->m_LONGITUDE, "-74.0");

    const auto* alias = ref.findMapPrefix("AX");
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->m_PRI_PREFIX, "VK");
    EXPECT_EQ(alias->m_OLD2_DATE, "19801231");
    EXPECT_EQ(alias->m_ITU_ZONE, "55");

    const auto* dl = ref.findPrefix("DL");
    ASSERT_NE(dl, nullptr);
    EXPECT_EQ(dl->m_COUNTRY, "Germany");
    EXPECT_FALSE(dl->m_DEL_STATUS);
    EXPECT_TRUE(dl->m_QSL_FIELD_CHECK);
    EXPECT_TRUE(dl->m_QSL_BUREAU);
    EXPECT_EQ(dl->m_CQ_ZONE, "14");
    EXPECT_EQ(dl->m_ARRL_ID, "230");
    EXPECT_EQ(dl->m_TIMEDIFF, "+1");

    EXPECT_TRUE(ref.hasState("CT"));
    EXPECT_TRUE(ref.hasCounty("CT", "Hartford"));
}

TEST_F(Reference, KeysAreExactAndCaseSensitive) {
    insert(callMapTable(), {"W1AW", "K"});
    insert(prefixTable(), {"VK9X", "Christmas Island"});
    insert(stateTable(), {"NY"});
    const ReferenceData ref = load();
    EXPECT_NE(ref.findCallMap("W1AW"), nullptr);
    EXPECT_EQ(ref.findCallMap("w1aw"), nullptr);
    EXPECT_EQ(ref.findCallMap("W1AW "), nullptr);
    EXPECT_EQ(ref.findCallMap("W1A"), nullptr);
    EXPECT_NE(ref.findPrefix("VK9X"), nullptr);
    EXPECT_EQ(ref.findPrefix("vk9x"), nullptr);
    EXPECT_EQ(ref.findPrefix("VK9"), nullptr);
    EXPECT_EQ(ref.findMapPrefix("VK9X"), nullptr);
    EXPECT_TRUE(ref.hasState("NY"));
    EXPECT_FALSE(ref.hasState("ny"));
    EXPECT_FALSE(ref.hasState(""));
}

TEST_F(Reference, FirstRowOfAKeyWinsAndPrefixRowsStayInOrder) {
    insert(callMapTable(), {"VP2E", "VP2E-first"});
    insert(callMapTable(), {"VP2E", "VP2E-second"});
    insert(mapPrefixTable(), {"AX", "VK"});
    insert(mapPrefixTable(), {"AX", "ZL"});
    insert(prefixTable(), {"K", "United States", {}, {}, "0", "0", "0", "05"});
    insert(prefixTable(), {"DL", "Germany"});
    insert(prefixTable(), {"K", "duplicate", {}, {}, "1", "1", "1", "04"});
    const ReferenceData ref = load();
    EXPECT_EQ(ref.findCallMap("VP2E")->m_CallPfx, "VP2E-first");
    EXPECT_EQ(ref.findMapPrefix("AX")->m_PRI_PREFIX, "VK");
    EXPECT_EQ(ref.findPrefix("K")->m_COUNTRY, "United States");
    EXPECT_EQ(ref.findPrefix("K")->m_CQ_ZONE, "05");
    ASSERT_EQ(ref.prefixRows().size(), 3u);
    EXPECT_EQ(ref.prefixRows()[0].m_COUNTRY, "United States");
    EXPECT_EQ(ref.prefixRows()[1].m_PREFIX, "DL");
    EXPECT_EQ(ref.prefixRows()[2].m_COUNTRY, "duplicate");
    EXPECT_TRUE(ref.prefixRows()[2].m_DEL_STATUS);
}

TEST_F(Reference, CountyNeedsBothColumnsAndQuotesAreValues) {
    insert(countyTable(), {"NY", {}, {}, "Kings"});
    insert(countyTable(), {"IN", {}, {}, "St. Joseph"});
    insert(countyTable(), {"MD", {}, {}, "Prince George's"});
    const ReferenceData ref = load();
    EXPECT_TRUE(ref.hasCounty("NY", "Kings"));
    EXPECT_FALSE(ref.hasCounty("CA", "Kings"));  // present under another state only
    EXPECT_FALSE(ref.hasCounty("NY", "kings"));
    EXPECT_FALSE(ref.hasCounty("ny", "Kings"));
    EXPECT_TRUE(ref.hasCounty("MD", "Prince George's"));
    EXPECT_FALSE(ref.hasCounty("MD", "Prince George"));
    EXPECT_FALSE(ref.hasCounty("NY", "x') OR ('1'='1"));
    EXPECT_FALSE(ref.hasCounty("IN", "St Joseph"));
}

TEST_F(Reference, NullKeysAreNeverFound) {
    insert(callMapTable(), {{}, "XX"});
    insert(stateTable(), {{}});
    insert(countyTable(), {"NY", {}, {}, {}});
    insert(prefixTable(), {{}, "nowhere"});
    const ReferenceData ref = load();
    EXPECT_EQ(ref.findCallMap(""), nullptr);
    EXPECT_FALSE(ref.hasState(""));
    EXPECT_FALSE(ref.hasCounty("NY", ""));
    EXPECT_EQ(ref.findPrefix(""), nullptr);
    EXPECT_EQ(ref.prefixRows().size(), 1u);
}

TEST_F(Reference, BooleansFromTextOrIntegerColumns) {
    // A database made elsewhere may keep the yes/no columns as text.
    TempDir dir;
    const std::string path = dir.file("texty.sqlite");
    {
        SqliteDb db(path, SqliteDb::Mode::Create);
        for (const ReferenceTableDef* def :
             {&callMapTable(), &mapPrefixTable(), &countyTable(), &stateTable()}) {
            std::string sql = "CREATE TABLE " + bracket(def->table) + " (";
            for (std::size_t i = 0; i < def->columns.size(); ++i) {
                sql += (i ? "," : "") + bracket(def->columns[i].name);
            }
            db.exec(sql + ")");
        }
        db.exec(
            "CREATE TABLE [prefix-pri] ([TIMEDIFF],[CONTINENT],[ARRL-ID],[ITU-ZONE],"
            "[CQ-ZONE],[QSL-BUREAU] TEXT,[QSL-FIELD-CHECK] TEXT,[DEL-STATUS] TEXT,"
            "[LONGITUDE],[LATITUDE],[COUNTRY],[PREFIX]);"
            "INSERT INTO [prefix-pri] ([PREFIX],[DEL-STATUS],[QSL-FIELD-CHECK],[QSL-BUREAU],"
            "[CQ-ZONE]) VALUES ('A','True','-1','0', 14), ('B','no','0', NULL, '05')");
    }
    const ReferenceData ref = ReferenceData::LoadFile(path);
    const auto* a = ref.findPrefix("A");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->m_DEL_STATUS);
    EXPECT_TRUE(a->m_QSL_FIELD_CHECK);
    EXPECT_FALSE(a->m_QSL_BUREAU);
    EXPECT_EQ(a->m_CQ_ZONE, "14");  // a number stored in a column without type
    const auto* b = ref.findPrefix("B");
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->m_DEL_STATUS);
    EXPECT_FALSE(b->m_QSL_BUREAU);
    EXPECT_EQ(b->m_CQ_ZONE, "05");
}

TEST_F(Reference, MissingTableOrColumnIsAnErrorOnlyForResolution) {
    db_->exec("DROP TABLE [COUNTY-TAB]");
    const ReferenceData withoutCounties = load();
    EXPECT_FALSE(withoutCounties.hasCounties());
    EXPECT_NE(withoutCounties.countyTableError().find("[COUNTY-TAB]"), std::string::npos);
    EXPECT_EQ(withoutCounties.stateTableError(), "");
    SqliteDb(path_, SqliteDb::Mode::ReadWrite).exec("DROP TABLE [MAP-Prefix]");
    try {
        load();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("[MAP-Prefix]"), std::string::npos) << e.what();
    }
    TempDir dir;
    const std::string path = dir.file("cols.sqlite");
    createReferenceDatabase(path);
    SqliteDb(path, SqliteDb::Mode::ReadWrite)
        .exec("ALTER TABLE [STATE-TABLE] DROP COLUMN [TIMEDIFF]");
    const ReferenceData withoutStates = ReferenceData::LoadFile(path);
    EXPECT_NE(withoutStates.stateTableError().find("[TIMEDIFF]"), std::string::npos);
    EXPECT_FALSE(withoutStates.hasState("CT"));
    EXPECT_THROW(ReferenceData::LoadFile(dir.file("none.sqlite")), DbError);
}

TEST(ReferenceAdd, BuiltByHand) {
    ReferenceData ref;
    CTvx95PrefixSet k;
    k.m_PREFIX = "K";
    k.m_CQ_ZONE = "05";
    ref.addPrefix(k);
    k.m_CQ_ZONE = "04";
    ref.addPrefix(k);
    ref.addCounty({"TX", "", "", "Harris"});
    CTvx96StateSet tx;
    tx.m_STATE_ABV = "TX";
    ref.addState(tx);
    EXPECT_EQ(ref.findPrefix("K")->m_CQ_ZONE, "05");
    EXPECT_EQ(ref.prefixRows().size(), 2u);
    EXPECT_TRUE(ref.hasCounty("TX", "Harris"));
    EXPECT_TRUE(ref.hasState("TX"));
    // A copy keeps working lookups.
    const ReferenceData copy = ref;
    EXPECT_EQ(copy.findPrefix("K")->m_CQ_ZONE, "05");
}

}  // namespace
}  // namespace tvx
