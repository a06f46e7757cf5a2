// A host program's own Jet refdata.mdb gives exactly the lookups that the
// same content gives from SQLite.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "db/reference.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "jet/jet_files.h"
#include "resolve/resolve.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

using test::JetFile;

const ReferenceTableDef* const kTables[] = {&callMapTable(), &mapPrefixTable(), &prefixTable(),
                                            &countyTable(), &stateTable()};

// Copies the five tables cell by cell (NULL stays NULL, "" stays "") into a
// new SQLite reference database.
void CopyToSqlite(const std::string& jetPath, const std::string& sqlitePath) {
    auto jet = openDatabase(jetPath);
    createReferenceDatabase(sqlitePath);
    SqliteDb out(sqlitePath, SqliteDb::Mode::ReadWrite);
    out.exec("BEGIN");
    for (const ReferenceTableDef* def : kTables) {
        std::vector<std::string> names;
        std::string columns, marks;
        for (const ColumnDef& c : def->columns) {
            names.emplace_back(c.name);
            columns += (columns.empty() ? "" : ",") + bracket(c.name);
            marks += marks.empty() ? "?" : ",?";
        }
        SqliteStatement insert = out.prepare("INSERT INTO " + bracket(def->table) + " (" + columns +
                                             ") VALUES (" + marks + ")");
        auto rows = jet->openTable(def->table, names);
        while (rows->next()) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                const Value& v = rows->at(i);
                const int p = static_cast<int>(i) + 1;
                if (v.isNull()) {
                    insert.bindNull(p);
                } else if (v.kind == Value::Kind::Boolean) {
                    insert.bindInt(p, v.boolean ? 1 : 0);
                } else {
                    insert.bindText(p, v.asText());
                }
            }
            insert.step();
            insert.reset();
        }
    }
    out.exec("COMMIT");
}

struct Outcome {
    bool found, usCall;
    std::string prefix, cq, itu, wpx;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << (o.found ? "found " : "unknown ") << (o.usCall ? "US " : "") << "'" << o.prefix
              << "' cq '" << o.cq << "' itu '" << o.itu << "' wpx " << o.wpx;
}

Outcome Resolve(const ReferenceData& ref, const std::string& call, const std::string& date) {
    ResolutionRecord rec;
    const ResolveOutcome r = ResolveCallsignSteps(ref, call, date, rec, nullptr);
    return {r.found, r.usCall, rec.prefix, rec.cqZone, rec.ituZone, DeriveWpxPrefix(call)};
}

class JetReference : public ::testing::Test {
  protected:
    void SetUp() override {
        TVX_REQUIRE_JET_FILE("refdata.mdb");
        const std::string sqlitePath = dir_.file("refdata.sqlite");
        CopyToSqlite(JetFile("refdata.mdb"), sqlitePath);
        jet_ = ReferenceData::LoadFile(JetFile("refdata.mdb"));
        sqlite_ = ReferenceData::LoadFile(sqlitePath);
    }

    test::TempDir dir_;
    ReferenceData jet_, sqlite_;
};

TEST_F(JetReference, SameResolutions) {
    const char* const calls[] = {
        "4U1UN",   "W1AW",    "VP8XYZ",  "KC4AAA",    "KC4/W1ABC", "DL1ABC",   "DJ2XX",
        "DK3AA/P", "VE3ABC",  "VE1AA",   "JH1ABC",    "JA1XYZ",    "RA3AA",    "UA9XX",
        "Y21ABC",  "4O3A",    "YU1AA",   "SV1ABC",    "SV1ABC/9",  "SV2ABC/5", "SV2ABC/A",
        "FR5AB",   "FR5AB/G", "FR5AB/T", "FR5AB/J",   "FO5AB",     "FO5AB/A",  "FO5AB/C",
        "FO5AB/M", "KG4AB",   "KG4ABC",  "KH6XX",     "KL7XX",     "W6XYZ",    "N2ABC",
        "AA7BB",   "K0XX",    "VP9XX",   "VP8/G3ABC", "G4ABC",     "I2ABC",    "F5ABC",
        "EA8AA",   "3DA0XX",  "VK2ABC",  "ZZ9ZZZ",    "X",         "",         "W1ABC/KH6",
    };
    const char* const dates[] = {"19850101", "19900101", "19920427", "19950101",
                                 "20000101", "20060627", "20100101"};
    for (const char* call : calls) {
        for (const char* date : dates) {
            EXPECT_EQ(Resolve(jet_, call, date), Resolve(sqlite_, call, date))
                << call << " on " << date;
        }
    }
}

// The comparison above is only worth something when the Jet side holds the
// fixture's content.
TEST_F(JetReference, JetContentArrives) {
    EXPECT_EQ(Resolve(jet_, "DL1ABC", "20050101"), (Outcome{true, false, "DL", "14", "28", "DL1"}));
    // The call map's empty CQ zone is filled from the call area.
    EXPECT_EQ(Resolve(jet_, "W1AW", "20050101"), (Outcome{true, true, "K", "05", "08", "W1"}));
    // Dated call map rows: South Shetland up to 1995, South Georgia up to 1990.
    EXPECT_EQ(Resolve(jet_, "VP8XYZ", "19950101").prefix, "VP8S");
    EXPECT_EQ(Resolve(jet_, "VP8XYZ", "19900101").prefix, "VP8G");
    EXPECT_EQ(Resolve(jet_, "VP8XYZ", "19950102").prefix, "VP8");
    // The alias VE3 has its own zones.
    EXPECT_EQ(Resolve(jet_, "VE3ABC", "20050101").cq, "04");
    EXPECT_FALSE(Resolve(jet_, "ZZ9ZZZ", "20050101").found);
}

TEST_F(JetReference, SameTablesAndLookups) {
    const auto& a = jet_.prefixRows();
    const auto& b = sqlite_.prefixRows();
    ASSERT_EQ(a.size(), 35u);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i].m_PREFIX);
        EXPECT_EQ(a[i].m_PREFIX, b[i].m_PREFIX);
        EXPECT_EQ(a[i].m_COUNTRY, b[i].m_COUNTRY);
        EXPECT_EQ(a[i].m_LATITUDE, b[i].m_LATITUDE);
        EXPECT_EQ(a[i].m_LONGITUDE, b[i].m_LONGITUDE);
        EXPECT_EQ(a[i].m_DEL_STATUS, b[i].m_DEL_STATUS);
        EXPECT_EQ(a[i].m_QSL_FIELD_CHECK, b[i].m_QSL_FIELD_CHECK);
        EXPECT_EQ(a[i].m_QSL_BUREAU, b[i].m_QSL_BUREAU);
        EXPECT_EQ(a[i].m_CQ_ZONE, b[i].m_CQ_ZONE);
        EXPECT_EQ(a[i].m_ITU_ZONE, b[i].m_ITU_ZONE);
        EXPECT_EQ(a[i].m_ARRL_ID, b[i].m_ARRL_ID);
        EXPECT_EQ(a[i].m_CONTINENT, b[i].m_CONTINENT);
        EXPECT_EQ(a[i].m_TIMEDIFF, b[i].m_TIMEDIFF);
    }
    // Only Y2 is a deleted country.
    for (const auto& row : a) EXPECT_EQ(row.m_DEL_STATUS, row.m_PREFIX == "Y2") << row.m_PREFIX;

    for (const char* state : {"CT", "MA", "HI", "AK", "TX", "IA", "ZZ", ""}) {
        EXPECT_EQ(jet_.hasState(state), sqlite_.hasState(state)) << state;
    }
    EXPECT_TRUE(jet_.hasState("HI"));
    EXPECT_FALSE(jet_.hasState("IA"));
    const std::pair<const char*, const char*> counties[] = {
        {"MA", "ESSEX"}, {"NY", "ESSEX"}, {"IA", "O'BRIEN"}, {"CA", "LOS ANGELES"}, {"TX", ""}};
    for (const auto& [state, county] : counties) {
        EXPECT_EQ(jet_.hasCounty(state, county), sqlite_.hasCounty(state, county))
            << state << " " << county;
    }
    EXPECT_TRUE(jet_.hasCounty("IA", "O'BRIEN"));
    EXPECT_FALSE(jet_.hasCounty("NY", "ESSEX"));

    for (const char* call : {"4U1UN", "W1AW", "VP8XYZ", "KC4AAA"}) {
        const auto* x = jet_.findCallMap(call);
        const auto* y = sqlite_.findCallMap(call);
        ASSERT_TRUE(x && y) << call;
        EXPECT_EQ(x->m_CallCq, y->m_CallCq) << call;
        EXPECT_EQ(x->m_CallCq1, y->m_CallCq1) << call;
        EXPECT_EQ(x->m_CallDate2, y->m_CallDate2) << call;
    }
    const auto* montenegro = jet_.findMapPrefix("4O");
    ASSERT_TRUE(montenegro);
    EXPECT_EQ(montenegro->m_OLD2_PREFIX, "YU");
    EXPECT_EQ(montenegro->m_OLD2_ZONE, sqlite_.findMapPrefix("4O")->m_OLD2_ZONE);
}

}  // namespace
}  // namespace tvx
