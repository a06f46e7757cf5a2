// The dBASE folder backend on tables written by shapelib, and on damaged ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "dbf_writer.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx {
namespace {

using test::DbfField;
using test::DbfTable;
using test::TempDir;
using test::WriteDbf;

std::unique_ptr<Database> OpenFolder(const TempDir& dir) {
    return openDbaseFolder(dir.path());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DbfTable TypedTable() {
    DbfTable t;
    t.fields = {{"NAME", 'C', 12},
                {"DATE", 'D', 8},
                {"OK", 'L', 1},
                {"COUNT", 'N', 5},
                {"MHZ", 'N', 10, 4}};
    t.rows = {
        {"  Hans  ", "19981225", "T", "42", "14.025"},
        {"", "", "", "", ""},
        {"x", "=00000000", "=?", "=*****", "=abc"},
    };
    return t;
}

TEST(DbaseBackend, ValuesAreTypedByTheirColumn) {
    TempDir dir;
    WriteDbf(dir.file("log.dbf"), TypedTable());
    auto db = OpenFolder(dir);
    auto cur = db->openTable("log", {"NAME", "DATE", "OK", "COUNT", "MHZ"});
    ASSERT_EQ(cur->columnCount(), 5u);

    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).kind, Value::Kind::Text);
    EXPECT_EQ(cur->at(0).text, "Hans");
    ASSERT_EQ(cur->at(1).kind, Value::Kind::Date);
    EXPECT_EQ(cur->at(1).date.year, 1998);
    EXPECT_EQ(cur->at(1).date.month, 12);
    EXPECT_EQ(cur->at(1).date.day, 25);
    ASSERT_EQ(cur->at(2).kind, Value::Kind::Boolean);
    EXPECT_TRUE(cur->at(2).boolean);
    ASSERT_EQ(cur->at(3).kind, Value::Kind::Integer);
    EXPECT_EQ(cur->at(3).integer, 42);
    ASSERT_EQ(cur->at(4).kind, Value::Kind::Real);
    EXPECT_DOUBLE_EQ(cur->at(4).real, 14.025);

    ASSERT_TRUE(cur->next());  // empty values
    EXPECT_EQ(cur->at(0).kind, Value::Kind::Text);
    EXPECT_EQ(cur->at(0).text, "");
    EXPECT_TRUE(cur->at(1).isNull());
    EXPECT_TRUE(cur->at(2).isNull());
    EXPECT_TRUE(cur->at(3).isNull());
    EXPECT_TRUE(cur->at(4).isNull());

    ASSERT_TRUE(cur->next());  // the other writers' empty forms and junk
    EXPECT_TRUE(cur->at(1).isNull());
    EXPECT_TRUE(cur->at(2).isNull());
    EXPECT_TRUE(cur->at(3).isNull());
    EXPECT_TRUE(cur->at(4).isNull());

    EXPECT_FALSE(cur->next());
    EXPECT_FALSE(cur->next());
}

TEST(DbaseBackend, LogicalLetters) {
    struct Case {
        const char* raw;
        bool isNull;
        bool value;
    };
    const Case cases[] = {{"T", false, true},  {"t", false, true},  {"Y", false, true},
                          {"y", false, true},  {"F", false, false}, {"f", false, false},
                          {"N", false, false}, {"n", false, false}, {"?", true, false},
                          {" ", true, false}};
    TempDir dir;
    DbfTable t;
    t.fields = {{"FLAG", 'L', 1}};
    for (const Case& c : cases) t.rows.push_back({std::string("=") + c.raw});
    WriteDbf(dir.file("flags.dbf"), t);
    auto cur = OpenFolder(dir)->openTable("FLAGS", {"flag"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        ASSERT_TRUE(cur->next());
        EXPECT_EQ(cur->at(0).isNull(), c.isNull);
        if (!c.isNull) {
            EXPECT_EQ(cur->at(0).boolean, c.value);
        }
    }
}

TEST(DbaseBackend, DeletedRowsAreSkipped) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}};
    t.rows = {{"DL1AAA"}, {"DL1BBB"}, {"DL1CCC"}, {"DL1DDD"}};
    t.deletedRows = {0, 2};
    WriteDbf(dir.file("calls.dbf"), t);
    auto cur = OpenFolder(dir)->openTable("calls", {"CALL"});
    std::vector<std::string> seen;
    while (cur->next()) seen.push_back(cur->at(0).text);
    EXPECT_EQ(seen, (std::vector<std::string>{"DL1BBB", "DL1DDD"}));
}

TEST(DbaseBackend, NamesMatchWithoutRegardToCaseAndColumnsComeInAskedOrder) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}, {"Band", 'C', 4}};
    t.rows = {{"W1AW", "20"}};
    WriteDbf(dir.file("HyperLog.DBF"), t);
    auto db = OpenFolder(dir);
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{"HyperLog"});
    auto cur = db->openTable("HYPERLOG", {"BAND", "call", "Call"});
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, "20");
    EXPECT_EQ(cur->at(1).text, "W1AW");
    EXPECT_EQ(cur->at(2).text, "W1AW");
    EXPECT_THROW(cur->at(3), DbError);
}

TEST(DbaseBackend, EmptyTableHasNoRows) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}};
    WriteDbf(dir.file("empty.dbf"), t);
    auto cur = OpenFolder(dir)->openTable("empty", {"CALL"});
    EXPECT_FALSE(cur->next());
}

void ExpectDbError(const std::function<void()>& f, const std::string& part) {
    try {
        f();
        ADD_FAILURE() << "no DbError; expected one mentioning " << part;
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

TEST(DbaseBackend, MissingThingsAreNamedInTheError) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}};
    WriteDbf(dir.file("log.dbf"), t);
    ExpectDbError([&] { openDbaseFolder(dir.file("nowhere")); }, "nowhere");
    ExpectDbError([&] { openDbaseFolder(dir.file("log.dbf")); }, "log.dbf");
    auto db = OpenFolder(dir);
    ExpectDbError([&] { db->openTable("other", {"CALL"}); }, "'other'");
    ExpectDbError([&] { db->openTable("log", {"CALL", "QTH"}); }, "'QTH'");
    ExpectDbError([&] { db->openTable("", {"CALL"}); }, "does not exist");
    ExpectDbError([&] { db->openTable("../log", {"CALL"}); }, "does not exist");
}

TEST(DbaseBackend, EmptyFolderMeansTheCurrentDirectory) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}};
    t.rows = {{"K1ABC"}};
    WriteDbf(dir.file("here.dbf"), t);
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto db = openDbaseFolder("");
    auto cur = db->openTable("HERE", {"CALL"});
    std::filesystem::current_path(old);
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, "K1ABC");
}

// Text bytes 0x81 0x94 0xE1: "üöß" in code pages 437 and 850; 0xFC is ü in
// Windows-1252; 0xC4 0xC0 are "ДА" in 1251.
TEST(DbaseBackend, TextIsDecodedByTheCodePageMark) {
    struct Case {
        int mark;
        std::string raw;
        std::string utf8;
    };
    const Case cases[] = {
        {0x00, "M\x81ller", "M\xC3\xBCller"},                // no mark: 437
        {0x01, "\x81\x94\xE1", "\xC3\xBC\xC3\xB6\xC3\x9F"},  // 437
        {0x02, "\x81\x94\xE1", "\xC3\xBC\xC3\xB6\xC3\x9F"},  // 850
        {0x03, "M\xFCller", "M\xC3\xBCller"},                // 1252
        {0x57, "M\xFCller", "M\xC3\xBCller"},                // 1252
        {0xC9, "\xC4\xC0", "\xD0\x94\xD0\x90"},              // 1251
        {0x01, "M\xC3\xBCller", "M\xC3\xBCller"},            // already UTF-8
        {0x03, "a\x81z", "a\xEF\xBF\xBDz"},                  // undefined in 1252
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mark);
        TempDir dir;
        DbfTable t;
        t.fields = {{"NAME", 'C', 20}};
        t.rows = {{"=" + c.raw}};
        t.languageDriver = c.mark;
        WriteDbf(dir.file("cp.dbf"), t);
        auto cur = OpenFolder(dir)->openTable("cp", {"NAME"});
        ASSERT_TRUE(cur->next());
        EXPECT_EQ(cur->at(0).text, c.utf8);
    }
}

std::string MemoBlock(const std::string& text) {
    std::string b = text + "\x1A\x1A";
    b.resize(((b.size() + 511) / 512) * 512, '\0');
    return b;
}

TEST(DbaseBackend, MemoTextComesFromTheDbtFile) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}, {"REMARKS", 'M', 10}};
    t.rows = {{"DL1AAA", "1"}, {"DL1BBB", ""}, {"DL1CCC", "2"}, {"DL1DDD", "=         0"}};
    t.languageDriver = 0x01;
    WriteDbf(dir.file("memo.dbf"), t);
    std::string header(512, '\0');
    header[0] = 4;  // next free block
    std::string longText(600, 'x');
    dir.write("MEMO.DBT", header + MemoBlock("  Nice QSO, M\x81nchen ") + MemoBlock(longText));

    auto cur = OpenFolder(dir)->openTable("memo", {"remarks", "CALL"});
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, "Nice QSO, M\xC3\xBCnchen");
    EXPECT_EQ(cur->at(1).text, "DL1AAA");
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, "");
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, longText);  // runs over into the next block
    ASSERT_TRUE(cur->next());
    EXPECT_EQ(cur->at(0).text, "");
    EXPECT_FALSE(cur->next());
}

TEST(DbaseBackend, MemoFileMissingOrDamaged) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}, {"REMARKS", 'M', 10}};
    t.rows = {{"DL1AAA", "7"}};
    WriteDbf(dir.file("memo.dbf"), t);
    auto db = OpenFolder(dir);
    // Without its memo column the table opens without the memo file.
    EXPECT_NO_THROW(db->openTable("memo", {"CALL"}));
    ExpectDbError([&] { db->openTable("memo", {"REMARKS"}); }, "memo.dbt");

    dir.write("memo.dbt", std::string(1024, '\0'));
    auto cur = db->openTable("memo", {"REMARKS"});
    ExpectDbError([&] { cur->next(); }, "block 7");
}

TEST(DbaseBackend, TruncatedTableIsAnError) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}};
    t.rows = {{"DL1AAA"}, {"DL1BBB"}, {"DL1CCC"}};
    std::string path = WriteDbf(dir.file("cut.dbf"), t);
    std::string bytes = ReadAll(path);
    std::filesystem::resize_file(path, bytes.size() - 12);
    ExpectDbError([&] { OpenFolder(dir)->openTable("cut", {"CALL"}); }, "damaged");
    std::filesystem::resize_file(path, 20);
    ExpectDbError([&] { OpenFolder(dir)->openTable("cut", {"CALL"}); }, "too short");
}

TEST(DbaseBackend, FileThatIsNoTableIsAnError) {
    TempDir dir;
    dir.write("notes.dbf", "These are my notes, not a table at all. Nothing to see here.\n");
    ExpectDbError([&] { OpenFolder(dir)->openTable("notes", {"CALL"}); }, "notes.dbf");
}

TEST(DbaseBackend, FieldsWiderThanTheRecordAreAnError) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}, {"NAME", 'C', 20}};
    t.rows = {{"DL1AAA", "Hans"}};
    std::string path = WriteDbf(dir.file("wide.dbf"), t);
    test::PatchByte(path, 32 + 32 + 16, 250);  // NAME now claims 250 bytes
    ExpectDbError([&] { OpenFolder(dir)->openTable("wide", {"NAME"}); }, "wide.dbf");
}

// Random damage to a good table: every outcome is rows or a DbError.
TEST(DbaseBackend, DamagedHeadersNeverCrash) {
    TempDir dir;
    DbfTable t;
    t.fields = {{"CALL", 'C', 10}, {"DATE", 'D', 8}, {"N", 'N', 6, 2}, {"M", 'M', 10}};
    for (int i = 0; i < 5; ++i)
        t.rows.push_back({"DL1AA" + std::to_string(i), "20000101", "1.5", "1"});
    std::string good = ReadAll(WriteDbf(dir.file("good.dbf"), t));
    dir.write("bad.dbt", std::string(512, '\0') + MemoBlock("memo"));
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) {
            std::size_t at = rng() % (round % 2 ? 32 + 4 * 32 + 1 : bytes.size());
            bytes[at] = static_cast<char>(rng() & 0xFF);
        }
        if (round % 7 == 0) bytes.resize(rng() % bytes.size());
        dir.write("bad.dbf", bytes);
        try {
            auto cur = OpenFolder(dir)->openTable("bad", {"CALL", "DATE", "N", "M"});
            int rows = 0;
            while (cur->next()) ++rows;
            EXPECT_LE(rows, 1 << 16);
        } catch (const DbError&) {
        }
    }
}

}  // namespace
}  // namespace tvx
