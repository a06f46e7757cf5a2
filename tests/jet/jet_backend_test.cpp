// The Jet backend against the fixture files: every table, column, type and
// cell (NULL and "" told apart) as the fixtures' README lists them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "db/jet.h"
#include "db/schema.h"
#include "jet/jet_files.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx {
namespace {

using test::JetFile;

// ------------------------------------------------------------------ README

struct ListedTable {
    std::vector<std::string> names;
    std::vector<std::string> types;
    std::vector<std::vector<std::string>> rows;
};

// file name -> table name -> listing
using Listing = std::map<std::string, std::map<std::string, ListedTable>>;

std::string TrimCell(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = line.find('|') + 1;
    for (std::size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) {
        cells.push_back(TrimCell(line.substr(start, bar - start)));
    }
    return cells;
}

// Reads the "Pos | Column | Type" and "# | ..." tables of each "### table"
// section of each "## file" section.
Listing ParseReadme(const std::string& text) {
    Listing listing;
    std::istringstream in(text);
    std::string file, table, line;
    std::vector<std::vector<std::string>> block;
    auto flush = [&] {
        if (block.size() < 2 || file.empty() || table.empty()) {
            block.clear();
            return;
        }
        ListedTable& t = listing[file][table];
        const auto& head = block[0];
        if (head.size() >= 3 && head[0] == "Pos" && head[1] == "Column" && head[2] == "Type") {
            const bool withRow = head.size() == 4 && head[3] == "Row 1";
            std::vector<std::string> row;
            for (std::size_t i = 2; i < block.size(); ++i) {
                t.names.push_back(block[i].at(1));
                t.types.push_back(block[i].at(2));
                if (withRow) row.push_back(block[i].at(3));
            }
            if (withRow) t.rows.push_back(row);
        } else if (!head.empty() && head[0] == "#") {
            for (std::size_t i = 2; i < block.size(); ++i) {
                t.rows.emplace_back(block[i].begin() + 1, block[i].end());
            }
        }
        block.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '|') {
            block.push_back(Cells(line));
            continue;
        }
        flush();
        if (line.rfind("## ", 0) == 0) {
            file = TrimCell(line.substr(3));
            table.clear();
        } else if (line.rfind("### ", 0) == 0) {
            table = TrimCell(line.substr(4));
        }
    }
    flush();
    return listing;
}

// Why a value differs from its README cell, or "" when it matches.
std::string Mismatch(const Value& v, const std::string& type, const std::string& cell) {
    auto describe = [&] {
        return "kind " + std::to_string(static_cast<int>(v.kind)) + " value '" + v.asText() + "'";
    };
    if (cell == "NULL") return v.isNull() ? "" : "expected NULL, got " + describe();
    if (type.rfind("Text", 0) == 0) {
        const std::string want = cell == "`\"\"`" ? "" : cell;
        if (v.kind != Value::Kind::Text || v.text != want) {
            return "expected text '" + want + "', got " + describe();
        }
        return "";
    }
    if (type.rfind("Long Integer", 0) == 0) {
        if (v.kind != Value::Kind::Integer || v.integer != std::stoll(cell)) {
            return "expected integer " + cell + ", got " + describe();
        }
        return "";
    }
    if (type == "Single") {
        // The README shows the shortest decimal of the stored single.
        if (v.kind != Value::Kind::Real || static_cast<float>(v.real) != std::stof(cell)) {
            return "expected single " + cell + ", got " + describe();
        }
        return "";
    }
    if (type == "Yes/No") {
        if (v.kind != Value::Kind::Boolean || v.boolean != (cell == "Yes")) {
            return "expected " + cell + ", got " + describe();
        }
        return "";
    }
    return "unknown type " + type;
}

class JetFixtures : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(JetFile("README.md"))) {
            GTEST_SKIP() << "no shared Jet fixtures in " << JetFile("");
        }
        listing_ = ParseReadme(test::ReadBytes(JetFile("README.md")));
    }

    // Compares every listed table of a file with what the backend reads.
    void CheckListedTables(const std::string& file, std::size_t expectedTables) {
        ASSERT_EQ(listing_[file].size(), expectedTables) << "README of " << file;
        auto db = openJetDatabase(JetFile(file));
        for (const auto& [name, listed] : listing_[file]) {
            SCOPED_TRACE(file + " " + name);
            if (listed.names.empty()) continue;  // described in prose; checked on its own
            EXPECT_EQ(db->columnNames(name), listed.names);
            auto cursor = db->openTable(name, listed.names);
            ASSERT_EQ(cursor->columnCount(), listed.names.size());
            std::size_t row = 0;
            while (cursor->next()) {
                ASSERT_LT(row, listed.rows.size()) << "more rows than listed";
                for (std::size_t c = 0; c < listed.names.size(); ++c) {
                    EXPECT_EQ(Mismatch(cursor->at(c), listed.types[c], listed.rows[row][c]), "")
                        << "row " << row + 1 << " column " << listed.names[c];
                }
                ++row;
            }
            EXPECT_EQ(row, listed.rows.size());
        }
    }

    Listing listing_;
};

TEST_F(JetFixtures, TablesInCatalogOrder) {
    const std::map<std::string, std::vector<std::string>> expected = {
        {"refdata.mdb", {"CALLMAP", "MAP-Prefix", "PREFIX-Pri", "COUNTY-TAB", "STATE-TABLE"}},
        {"stationmaster.mdb", {"LogFile"}},
        {"target.mdb", {"QSO-TAB", "QSO-NOTES", "DXCCTAB"}},
        {"jet3-sample.mdb", {"Table1", "Table2", "Table3", "Table4"}},
    };
    for (const auto& [file, tables] : expected) {
        EXPECT_EQ(openJetDatabase(JetFile(file))->tableNames(), tables) << file;
    }
}

TEST_F(JetFixtures, ReadmeListingIsComplete) {
    const std::map<std::pair<std::string, std::string>, std::pair<std::size_t, std::size_t>> sizes =
        {
            {{"refdata.mdb", "CALLMAP"}, {15, 4}},     {{"refdata.mdb", "MAP-Prefix"}, {13, 33}},
            {{"refdata.mdb", "PREFIX-Pri"}, {12, 35}}, {{"refdata.mdb", "COUNTY-TAB"}, {4, 7}},
            {{"refdata.mdb", "STATE-TABLE"}, {7, 13}}, {{"stationmaster.mdb", "LogFile"}, {17, 14}},
            {{"target.mdb", "QSO-TAB"}, {41, 1}},      {{"target.mdb", "QSO-NOTES"}, {2, 0}},
        };
    for (const auto& [key, size] : sizes) {
        const ListedTable& t = listing_[key.first][key.second];
        EXPECT_EQ(t.names.size(), size.first) << key.first << " " << key.second;
        EXPECT_EQ(t.rows.size(), size.second) << key.first << " " << key.second;
        for (const auto& row : t.rows) EXPECT_EQ(row.size(), size.first);
    }
}

TEST_F(JetFixtures, ReferenceDatabaseCellByCell) {
    CheckListedTables("refdata.mdb", 5);
}

TEST_F(JetFixtures, StationMasterLogCellByCell) {
    CheckListedTables("stationmaster.mdb", 1);
}

TEST_F(JetFixtures, TargetCellByCell) {
    CheckListedTables("target.mdb", 3);
}

TEST_F(JetFixtures, ReferenceColumnsMatchTheHostSchema) {
    auto db = openJetDatabase(JetFile("refdata.mdb"));
    for (const ReferenceTableDef* def :
         {&callMapTable(), &mapPrefixTable(), &prefixTable(), &countyTable(), &stateTable()}) {
        std::vector<std::string> names;
        for (const ColumnDef& c : def->columns) names.emplace_back(c.name);
        EXPECT_EQ(db->columnNames(def->table), names) << def->table;
    }
}

TEST_F(JetFixtures, TargetStatisticsTable) {
    auto db = openJetDatabase(JetFile("target.mdb"));
    const std::vector<std::string>& columns = dxccColumns();
    ASSERT_EQ(db->columnNames("DXCCTAB"), columns);
    auto cursor = db->openTable("DXCCTAB", columns);
    ASSERT_TRUE(cursor->next());
    EXPECT_EQ(cursor->at(0).text, "DL");
    for (std::size_t i = 1; i < columns.size(); ++i) {
        const std::string want = columns[i] == "CPH20"   ? "1"
                                 : columns[i] == "WPH20" ? "3"
                                 : columns[i] == "WCW40" ? "2"
                                                         : "0";
        EXPECT_EQ(cursor->at(i).kind, Value::Kind::Text) << columns[i];
        EXPECT_EQ(cursor->at(i).text, want) << columns[i];
    }
    EXPECT_FALSE(cursor->next());

    std::vector<std::string> qso;
    for (const ColumnDef& c : qsoColumns()) qso.emplace_back(c.name);
    std::vector<std::string> listed = db->columnNames("QSO-TAB");
    std::sort(qso.begin(), qso.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, qso);
}

// An Access 97 file: Jet3 pages, code-page text, and the numeric kinds.
TEST_F(JetFixtures, Jet3SampleTypes) {
    auto db = openJetDatabase(JetFile("jet3-sample.mdb"));
    const std::vector<std::string> columns = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
    EXPECT_EQ(db->columnNames("Table1"), columns);
    auto cursor = db->openTable("Table1", columns);

    ASSERT_TRUE(cursor->next());
    EXPECT_EQ(cursor->at(0).text, "a");
    EXPECT_EQ(cursor->at(1).text, "b");
    for (int c : {2, 3, 4}) {
        EXPECT_EQ(cursor->at(c).kind, Value::Kind::Integer);
        EXPECT_EQ(cursor->at(c).integer, 0);
    }
    EXPECT_EQ(cursor->at(5).kind, Value::Kind::Real);
    EXPECT_EQ(cursor->at(6).kind, Value::Kind::Date);
    EXPECT_EQ(cursor->at(6).asText(), "19811212");
    EXPECT_EQ(cursor->at(6).text, "00:00:00");
    EXPECT_EQ(cursor->at(7).kind, Value::Kind::Real);
    EXPECT_EQ(cursor->at(7).real, 0.0);
    EXPECT_EQ(cursor->at(8).kind, Value::Kind::Boolean);
    EXPECT_FALSE(cursor->at(8).boolean);

    ASSERT_TRUE(cursor->next());
    EXPECT_EQ(cursor->at(0).text, "abcdefg");
    EXPECT_EQ(cursor->at(1).text, "hijklmnop");
    EXPECT_EQ(cursor->at(2).integer, 2);          // Byte
    EXPECT_EQ(cursor->at(3).integer, 222);        // Integer
    EXPECT_EQ(cursor->at(4).integer, 333333333);  // Long Integer
    EXPECT_DOUBLE_EQ(cursor->at(5).real, 444.555);
    EXPECT_EQ(cursor->at(6).date.year, 1974);
    EXPECT_EQ(cursor->at(6).date.month, 9);
    EXPECT_EQ(cursor->at(6).date.day, 21);
    EXPECT_DOUBLE_EQ(cursor->at(7).real, 3.5);  // Currency
    EXPECT_TRUE(cursor->at(8).boolean);
    EXPECT_FALSE(cursor->next());

    EXPECT_EQ(db->columnNames("Table2").size(), 89u);
    for (const char* empty : {"Table2", "Table3", "Table4"}) {
        auto first = db->columnNames(empty);
        first.resize(1);
        EXPECT_FALSE(db->openTable(empty, first)->next()) << empty;
    }
}

TEST_F(JetFixtures, NamesMatchWithoutCaseInTheAskedOrder) {
    auto db = openJetDatabase(JetFile("stationmaster.mdb"));
    auto cursor = db->openTable("logfile", {"grid", "Callsign", "qsodate"});
    ASSERT_TRUE(cursor->next());
    EXPECT_EQ(cursor->at(0).text, "FN31");
    EXPECT_EQ(cursor->at(1).text, "W1AW");
    EXPECT_EQ(cursor->at(2).integer, 991231);
    EXPECT_THROW(cursor->at(3), DbError);
}

TEST_F(JetFixtures, MissingTableOrColumnIsNamed) {
    auto db = openJetDatabase(JetFile("stationmaster.mdb"));
    try {
        db->openTable("QSOLOG", {"CALLSIGN"});
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("'QSOLOG'"), std::string::npos) << e.what();
    }
    try {
        db->openTable("LogFile", {"CALLSIGN", "BEARING"});
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("'BEARING'"), std::string::npos) << e.what();
    }
    EXPECT_THROW(db->columnNames("QSOLOG"), DbError);
}

TEST_F(JetFixtures, OpenDatabaseTellsJetByContent) {
    auto db = openDatabase(JetFile("refdata.mdb"));
    EXPECT_EQ(db->tableNames().size(), 5u);
    EXPECT_EQ(detectDatabaseKind(JetFile("jet3-sample.mdb")), DbKind::Jet);
}

TEST_F(JetFixtures, CursorLeftEarlyAndReopened) {
    auto db = openJetDatabase(JetFile("refdata.mdb"));
    for (int i = 0; i < 5; ++i) {
        auto cursor = db->openTable("PREFIX-Pri", {"PREFIX"});
        ASSERT_TRUE(cursor->next());
        EXPECT_EQ(cursor->at(0).text, "K");
    }
    // Two readers at once.
    auto a = db->openTable("STATE-TABLE", {"STATE-ABV"});
    auto b = db->openTable("COUNTY-TAB", {"CNTY-NAME"});
    ASSERT_TRUE(a->next());
    ASSERT_TRUE(b->next());
    EXPECT_EQ(a->at(0).text, "CT");
    EXPECT_EQ(b->at(0).text, "MIDDLESEX");
}

TEST(JetBackend, FilesThatAreNotJet) {
    test::TempDir dir;
    try {
        openJetDatabase(dir.file("absent.mdb"));
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.mdb"), std::string::npos) << e.what();
    }
    EXPECT_THROW(openJetDatabase(dir.write("text.mdb", "QSODATE,QSOTIME\r\n")), DbError);
    EXPECT_THROW(openJetDatabase(dir.write("empty.mdb", "")), DbError);
    EXPECT_THROW(openJetDatabase(dir.path()), DbError);
}

// A reader that produces nothing within the stall time is given up.
TEST_F(JetFixtures, StallEndsTheRead) {
    const auto saved = JetStallTimeout();
    SetJetStallTimeout(std::chrono::milliseconds(0));
    try {
        openJetDatabase(JetFile("refdata.mdb"));
        ADD_FAILURE() << "no error";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("stopped making progress"), std::string::npos)
            << e.what();
    }
    SetJetStallTimeout(saved);
    EXPECT_EQ(openJetDatabase(JetFile("refdata.mdb"))->tableNames().size(), 5u);
    // A timeout given at opening holds for that database alone.
    EXPECT_THROW(openJetDatabase(JetFile("refdata.mdb"), std::chrono::milliseconds(0)), DbError);
}

}  // namespace
}  // namespace tvx
