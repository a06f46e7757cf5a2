#include <gtest/gtest.h>

#include <filesystem>

#include "db/sqlite.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx {
namespace {

using test::TempDir;

std::string jetBytes(const char* mark) {
    std::string bytes(4, '\0');
    bytes += mark;
    bytes.resize(2048, '\0');
    return bytes;
}

std::string makeSqlite(const TempDir& dir, const std::string& name, const std::string& sql) {
    const std::string path = dir.file(name);
    SqliteDb db(path, SqliteDb::Mode::Create);
    db.exec(sql);
    return path;
}

TEST(DatabaseKind, FromContent) {
    TempDir dir;
    const std::string sqlite = makeSqlite(dir, "a.db", "CREATE TABLE t (x)");
    EXPECT_EQ(detectDatabaseKind(sqlite), DbKind::Sqlite);
    EXPECT_EQ(detectDatabaseKind(dir.write("jet3.mdb", jetBytes("Standard Jet DB"))), DbKind::Jet);
    EXPECT_EQ(detectDatabaseKind(dir.write("ace.accdb", jetBytes("Standard ACE DB"))), DbKind::Jet);
    EXPECT_EQ(detectDatabaseKind(dir.write("text.mdb", "Standard Jet DB but not at 4")),
              DbKind::Unknown);
    EXPECT_EQ(detectDatabaseKind(dir.write("short", "SQLite")), DbKind::Unknown);
    EXPECT_EQ(detectDatabaseKind(dir.write("empty", "")), DbKind::Unknown);
    EXPECT_EQ(detectDatabaseKind(dir.path()), DbKind::DbaseFolder);
    EXPECT_EQ(detectDatabaseKind(dir.file("missing.db")), DbKind::Missing);
}

TEST(OpenDatabase, RefusesWhatItCannotRead) {
    TempDir dir;
    const std::string text = dir.write("notes.txt", "hello, this is no database at all");
    try {
        openDatabase(text);
        FAIL() << "a text file opened as a database";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
    try {
        openDatabase(dir.file("gone.db"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("gone.db"), std::string::npos) << e.what();
    }
    EXPECT_THROW(openDatabase(text, "Paradox 4.x;"), DbError);  // unknown engine
}

TEST(OpenDatabase, ConnectTextSelectsTheDbaseFolder) {
    // With the connect text a folder goes to the dBASE engine (whatever that
    // engine then says about it); without it a folder is refused here.
    TempDir dir;
    const std::string refusal = "is a folder, not a database file";
    for (const char* connect : {"dBASE III", "DBASE III;", "dbase iii"}) {
        try {
            openDatabase(dir.path(), connect);
        } catch (const DbError& e) {
            EXPECT_EQ(std::string(e.what()).find(refusal), std::string::npos) << connect;
        }
    }
    try {
        openDatabase(dir.path());
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(refusal), std::string::npos) << e.what();
    }
}

class SqliteBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = makeSqlite(dir_, "data.sqlite",
                           "CREATE TABLE [Log-Table] ([Call] TEXT, [Count] INTEGER, [Power] REAL,"
                           " [Note] TEXT);"
                           "INSERT INTO [Log-Table] VALUES ('DL1ABC', 3, 100.5, NULL);"
                           "INSERT INTO [Log-Table] VALUES ('K1XX', NULL, 5, 'it''s');"
                           "CREATE TABLE other (x);");
        db_ = openDatabase(path_);
    }
    TempDir dir_;
    std::string path_;
    std::unique_ptr<Database> db_;
};

TEST_F(SqliteBackend, ListsTables) {
    EXPECT_EQ(db_->tableNames(), (std::vector<std::string>{"Log-Table", "other"}));
}

TEST_F(SqliteBackend, NamesMatchWithoutCaseAndValuesAreTyped) {
    auto cursor = db_->openTable("LOG-TABLE", {"note", "CALL", "count", "power"});
    ASSERT_EQ(cursor->columnCount(), 4u);
    ASSERT_TRUE(cursor->next());
    EXPECT_TRUE(cursor->at(0).isNull());
    EXPECT_EQ(cursor->at(1).kind, Value::Kind::Text);
    EXPECT_EQ(cursor->at(1).text, "DL1ABC");
    EXPECT_EQ(cursor->at(2).kind, Value::Kind::Integer);
    EXPECT_EQ(cursor->at(2).integer, 3);
    EXPECT_EQ(cursor->at(3).kind, Value::Kind::Real);
    EXPECT_EQ(cursor->at(3).asText(), "100.5");
    ASSERT_TRUE(cursor->next());
    EXPECT_EQ(cursor->at(0).text, "it's");
    EXPECT_TRUE(cursor->at(2).isNull());
    EXPECT_EQ(cursor->at(2).asText(), "");
    EXPECT_EQ(cursor->at(3).asText(), "5");  // REAL affinity keeps 5 as 5.0
    EXPECT_FALSE(cursor->next());
}

TEST_F(SqliteBackend, MissingTableOrColumnIsNamed) {
    try {
        db_->openTable("CALLMAP", {"x"});
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("[CALLMAP]"), std::string::npos) << e.what();
    }
    try {
        db_->openTable("log-table", {"Call", "QSO-BAND"});
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("[QSO-BAND]"), std::string::npos) << e.what();
    }
}

TEST_F(SqliteBackend, CursorOutlivesTheDatabaseObject) {
    auto cursor = db_->openTable("other", {"X"});
    db_.reset();
    EXPECT_FALSE(cursor->next());
}

TEST_F(SqliteBackend, OpensReadOnly) {
    auto cursor = db_->openTable("other", {"x"});
    SqliteDb writer(path_, SqliteDb::Mode::ReadOnly);
    EXPECT_THROW(writer.exec("INSERT INTO other VALUES (1)"), DbError);
}

TEST(ValueText, EveryKind) {
    EXPECT_EQ(Value::null().asText(), "");
    EXPECT_EQ(Value::ofInteger(-42).asText(), "-42");
    EXPECT_EQ(Value::ofReal(14.025).asText(), "14.025");
    EXPECT_EQ(Value::ofReal(3.0).asText(), "3");
    EXPECT_EQ(Value::ofText("abc").asText(), "abc");
    EXPECT_EQ(Value::ofDate(1999, 3, 7).asText(), "19990307");
    EXPECT_EQ(Value::ofBoolean(true).asText(), "1");
    EXPECT_EQ(Value::ofBoolean(false).asText(), "0");
}

TEST(SqliteWrapper, ErrorsCarryTheEngineText) {
    TempDir dir;
    SqliteDb db(dir.file("x.db"), SqliteDb::Mode::Create);
    try {
        db.exec("SELECT * FROM nowhere");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "no such table: nowhere");
    }
    EXPECT_THROW(SqliteDb(dir.file("missing.db"), SqliteDb::Mode::ReadWrite), DbError);
    EXPECT_THROW(SqliteDb(dir.write("junk.db", std::string(4096, 'x')), SqliteDb::Mode::ReadOnly),
                 DbError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));
}

// A path is a file name, never an SQLite URI that names another file.
TEST(SqliteWrapper, PathBeginningWithFileIsAFileName) {
    TempDir dir;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    makeSqlite(dir, "log.sqlite", "CREATE TABLE t (x)");
    SqliteDb("file:log.sqlite", SqliteDb::Mode::Create).exec("CREATE TABLE u (y)");
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::exists(dir.file("file:log.sqlite")));
    SqliteDb other(dir.file("log.sqlite"), SqliteDb::Mode::ReadOnly);
    EXPECT_FALSE(other.hasTable("u"));
}

TEST(SqliteWrapper, BracketQuotesNames) {
    EXPECT_EQ(bracket("QSO-TAB"), "[QSO-TAB]");
    EXPECT_EQ(bracket("odd]name\""), "\"odd]name\"\"\"");
}

TEST(SqliteWrapper, BoundValuesAreNeverSql) {
    TempDir dir;
    SqliteDb db(dir.file("x.db"), SqliteDb::Mode::Create);
    db.exec("CREATE TABLE t (v TEXT)");
    SqliteStatement insert = db.prepare("INSERT INTO t VALUES (?1)");
    const std::string nasty = "x'); DROP TABLE t; --";
    insert.bindText(1, nasty);
    EXPECT_FALSE(insert.step());
    insert.reset();
    insert.bindOptionalText(1, std::nullopt);
    insert.step();
    SqliteStatement read = db.prepare("SELECT v FROM t ORDER BY rowid");
    ASSERT_TRUE(read.step());
    EXPECT_EQ(read.columnText(0), nasty);
    ASSERT_TRUE(read.step());
    EXPECT_EQ(read.columnOptionalText(0), std::nullopt);
    EXPECT_TRUE(db.hasTable("T"));
    EXPECT_FALSE(db.hasTable("u"));
}

}  // namespace
}  // namespace tvx
