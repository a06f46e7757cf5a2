#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>

#include "db/schema.h"
#include "db/sqlite.h"
#include "db/jet_target.h"
#include "db/target.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

using test::TempDir;

QsoRow contact(const std::string& call, const std::string& date = "20240101",
               const std::string& time = "120000", const std::string& mode = "2",
               const std::string& band = "6") {
    QsoRow row;
    row.setText(kQsoCall, call);
    row.setText(kQsoDate, date);
    row.setText(kQsoTime, time);
    row.setText(kQsoMode, mode);
    row.setText(kQsoBand, band);
    return row;
}

std::int64_t countRows(const std::string& path, const std::string& where = "1") {
    SqliteDb db(path, SqliteDb::Mode::ReadOnly);
    SqliteStatement st = db.prepare("SELECT count(*) FROM [QSO-TAB] WHERE " + where);
    st.step();
    return st.columnInt(0);
}

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e.what();
    }
    return "(no error)";
}

class Target : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.file("target.sqlite");
        createTargetDatabase(path_);
    }
    void exec(const std::string& sql) {
        SqliteDb db(path_, SqliteDb::Mode::ReadWrite);
        db.exec(sql);
    }
    TempDir dir_;
    std::string path_;
};

TEST_F(Target, JetFileIsLeftToTheJetTarget) {
    std::string jet(4, '\0');
    jet += "Standard Jet DB";
    jet.resize(4096, '\0');
    const std::string mdb = dir_.write("log.mdb", jet);
    CImportSet set;
    EXPECT_EQ(messageOf([&] { set.Open(mdb); }),
              "The file is a Jet database (.mdb): it is written as the host program's database, "
              "not as a SQLite target.");
    EXPECT_NE(dynamic_cast<JetImportSet*>(MakeImportTarget(mdb).get()), nullptr);
    EXPECT_FALSE(set.IsOpen());
    CDxccSet dxcc;
    EXPECT_THROW(dxcc.Open(mdb), DbError);
}

TEST_F(Target, MissingOrUnnamedTargetDoesNotOpen) {
    CImportSet set;
    EXPECT_NE(messageOf([&] { set.Open(dir_.file("nothere.sqlite")); }).find("nothere.sqlite"),
              std::string::npos);
    EXPECT_NE(messageOf([&] { set.Open(""); }).find("Unknown Path"), std::string::npos);
    EXPECT_NE(messageOf([&] {
                  set.Open(dir_.write("junk.sqlite", std::string(2048, 'j')));
              }).find("junk.sqlite"),
              std::string::npos);
    EXPECT_FALSE(set.IsOpen());
}

TEST_F(Target, WriteProtectedTargetIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes through file permissions";
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    CImportSet set;
    EXPECT_NE(messageOf([&] { set.Open(path_); }).find("read-only"), std::string::npos);
    EXPECT_FALSE(set.IsOpen());
    CDxccSet dxcc;
    EXPECT_NO_THROW(dxcc.Open(path_));  // reading is all it does
}

class TargetLackingColumn : public ::testing::TestWithParam<int> {};

TEST_P(TargetLackingColumn, RefusesToOpenNamingTheColumn) {
    TempDir dir;
    const std::string path = dir.file("short.sqlite");
    const ColumnDef& missing = qsoColumns()[static_cast<std::size_t>(GetParam())];
    std::string sql = "CREATE TABLE [qso-tab] (";
    bool first = true;
    for (const ColumnDef& c : qsoColumns()) {
        if (&c == &missing) continue;
        if (!first) sql += ",";
        first = false;
        sql += bracket(c.name);
    }
    {
        SqliteDb db(path, SqliteDb::Mode::Create);
        db.exec(sql + ")");
    }
    CImportSet set;
    const std::string message = messageOf([&] { set.Open(path); });
    EXPECT_NE(message.find(std::string("[") + missing.name + "]"), std::string::npos) << message;
    EXPECT_FALSE(set.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, TargetLackingColumn,
                         ::testing::Values(kQsoDate, kQsoValid, kQsoNumber, kQsoSatMode));

TEST_F(Target, TableWithoutQsoTabDoesNotOpen) {
    TempDir dir;
    const std::string path = dir.file("empty.sqlite");
    SqliteDb(path, SqliteDb::Mode::Create).exec("CREATE TABLE other (x)");
    CImportSet set;
    EXPECT_NE(messageOf([&] { set.Open(path); }).find("[QSO-TAB]"), std::string::npos);
}

TEST_F(Target, ColumnNamesMatchWithoutCase) {
    TempDir dir;
    const std::string path = dir.file("lower.sqlite");
    std::string sql = "CREATE TABLE [qso-tab] (";
    for (std::size_t i = 0; i < qsoColumns().size(); ++i) {
        std::string name = qsoColumns()[i].name;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        sql += (i ? "," : "") + bracket(name);
    }
    SqliteDb(path, SqliteDb::Mode::Create).exec(sql + ")");
    CImportSet set;
    set.Open(path);
    EXPECT_TRUE(set.IsOpen());
    EXPECT_EQ(set.ReadText(set.AddNew(contact("W1AW")), kQsoCall), "W1AW");
}

TEST_F(Target, RowValuesNullTextAndLong) {
    CImportSet set;
    set.Open(path_);
    QsoRow row = contact("DL1ABC");
    row.setNull(kQsoName);
    row.setTextOrNull(kQsoQth, "");
    row.setTextOrNull(kQsoNote, "hello 'world'");
    row.setLong(kQsoValid, 3);
    row.setText(kQsoSat, "None");
    const std::int64_t id = set.AddNew(row);
    set.Commit();

    SqliteDb db(path_, SqliteDb::Mode::ReadOnly);
    SqliteStatement st = db.prepare(
        "SELECT typeof([QSO-NAME]), typeof([QSO-QTH]), [QSO-NOTE], typeof([QSO-VALID]),"
        " [QSO-VALID], typeof([QSO-GRID]), [QSO-SAT], [QSO-NUMBER] FROM [QSO-TAB]");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnText(0), "null");
    EXPECT_EQ(st.columnText(1), "null");
    EXPECT_EQ(st.columnText(2), "hello 'world'");
    EXPECT_EQ(st.columnText(3), "integer");
    EXPECT_EQ(st.columnInt(4), 3);
    EXPECT_EQ(st.columnText(5), "null");  // never set: the default
    EXPECT_EQ(st.columnText(6), "None");
    EXPECT_EQ(st.columnInt(7), id);
    EXPECT_FALSE(st.step());
}

TEST_F(Target, DatabaseAssignsQsoNumber) {
    CImportSet set;
    set.Open(path_);
    const std::int64_t a = set.AddNew(contact("K1AA"));
    const std::int64_t b = set.AddNew(contact("K1BB"));
    EXPECT_GT(a, 0);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(set.ReadText(b, kQsoNumber), std::to_string(b));
    EXPECT_EQ(set.ReadText(b, kQsoCall), "K1BB");
    EXPECT_EQ(set.ReadText(b, kQsoName), "");
    EXPECT_THROW(set.ReadText(b + 10, kQsoCall), DbError);
}

TEST_F(Target, FailingRowRollsBackAlone) {
    exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] = 'BAD'"
        " BEGIN SELECT RAISE(ABORT, 'bad call refused'); END;"
        "CREATE TRIGGER echo AFTER INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] = 'HALF'"
        " BEGIN INSERT INTO [QSO-NOTES] VALUES ('HALF', 'x');"
        " SELECT RAISE(ABORT, 'second step failed'); END;"
        // FAIL keeps what the statement did before it: the row and the note.
        "CREATE TRIGGER keep AFTER INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] = 'KEEP'"
        " BEGIN INSERT INTO [QSO-NOTES] VALUES ('KEEP', 'x');"
        " SELECT RAISE(FAIL, 'failed half way'); END;");
    {
        CImportSet set;
        set.Open(path_);
        set.AddNew(contact("A1A"));
        EXPECT_EQ(messageOf([&] { set.AddNew(contact("BAD")); }), "bad call refused");
        EXPECT_EQ(messageOf([&] { set.AddNew(contact("HALF")); }), "second step failed");
        EXPECT_EQ(messageOf([&] { set.AddNew(contact("KEEP")); }), "failed half way");
        set.AddNew(contact("C3C"));
    }  // closing commits
    EXPECT_EQ(countRows(path_), 2);
    EXPECT_EQ(countRows(path_, "[QSO-CALL] IN ('A1A','C3C')"), 2);
    SqliteDb db(path_, SqliteDb::Mode::ReadOnly);
    SqliteStatement notes = db.prepare("SELECT count(*) FROM [QSO-NOTES]");
    notes.step();
    EXPECT_EQ(notes.columnInt(0), 0) << "the failed row's trigger work stays undone";
}

TEST_F(Target, CheckConstraintRefusesOneRow) {
    TempDir dir;
    const std::string path = dir.file("checked.sqlite");
    std::string sql = "CREATE TABLE [QSO-TAB] (";
    for (std::size_t i = 0; i < qsoColumns().size(); ++i) {
        sql += (i ? "," : "") + bracket(qsoColumns()[i].name);
        if (i == kQsoNumber) sql += " INTEGER PRIMARY KEY";
        if (i == kQsoBand) sql += " CHECK (length([QSO-BAND]) <= 2)";
    }
    SqliteDb(path, SqliteDb::Mode::Create).exec(sql + ")");
    CImportSet set;
    set.Open(path);
    set.AddNew(contact("A1A"));
    const std::string message =
        messageOf([&] { set.AddNew(contact("B2B", "20240101", "120000", "2", "999")); });
    EXPECT_NE(message.find("CHECK constraint failed"), std::string::npos) << message;
    set.AddNew(contact("C3C"));
    set.Close();
    EXPECT_EQ(countRows(path), 2);
}

TEST_F(Target, WholeTransactionRollbackLosesNoEarlierRow) {
    // RAISE(ROLLBACK) ends the engine's transaction: the rows written before
    // it in the same batch are written again.
    exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] = 'BAD'"
        " BEGIN SELECT RAISE(ROLLBACK, 'batch breaker'); END;");
    CImportSet set;
    set.Open(path_);
    const std::int64_t a = set.AddNew(contact("A1A"));
    QsoRow kinds = contact("B2B");
    kinds.setNull(kQsoName);
    kinds.setLong(kQsoValid, 3);
    kinds.setText(kQsoNote, std::string("a\0b", 3));
    kinds.setText(kQsoQth, "");
    const std::int64_t b = set.AddNew(kinds);
    QsoRow confirm;
    confirm.setText(kQsoConfirm, "2");
    set.Update(a, confirm);
    EXPECT_EQ(messageOf([&] { set.AddNew(contact("BAD")); }), "batch breaker");
    // Written again as they were.
    EXPECT_EQ(set.ReadText(a, kQsoConfirm), "2");
    EXPECT_EQ(set.ReadText(b, kQsoNote), std::string("a\0b", 3));
    // Committed at once: a later failing row replays only the rows after them.
    EXPECT_EQ(countRows(path_), 2);
    EXPECT_EQ(countRows(path_,
                        "[QSO-NAME] IS NULL AND [QSO-VALID] = 3 AND [QSO-QTH] = '' AND "
                        "[QSO-CALL] = 'B2B'"),
              1);
    const std::int64_t c = set.AddNew(contact("C3C"));
    EXPECT_EQ(set.FindContact(QsoKey{"A1A", "20240101", "120000", "2", "6"}), a);
    EXPECT_EQ(set.FindContact(QsoKey{"B2B", "20240101", "120000", "2", "6"}), b);
    set.Close();
    EXPECT_EQ(countRows(path_), 3);
    EXPECT_EQ(countRows(path_, "[QSO-CALL] = 'C3C' AND [QSO-NUMBER] = " + std::to_string(c)), 1);
}

TEST_F(Target, RowsAreDurableAfterCommit) {
    CImportSet set;
    set.Open(path_);
    for (int i = 0; i < 10; ++i) set.AddNew(contact("N" + std::to_string(i)));
    set.Commit();
    EXPECT_EQ(countRows(path_), 10);  // another connection sees them
    set.AddNew(contact("LAST"));
    set.Close();
    EXPECT_EQ(countRows(path_), 11);
}

TEST_F(Target, CrashLosesAtMostTheOpenBatch) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CImportSet set;
        set.Open(path_);
        for (int i = 0; i < 3; ++i) set.AddNew(contact("KEEP" + std::to_string(i)));
        set.Commit();
        for (int i = 0; i < 2; ++i) set.AddNew(contact("OPEN" + std::to_string(i)));
        _exit(0);  // no close, no commit: as if the program died here
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(countRows(path_, "[QSO-CALL] LIKE 'KEEP%'"), 3);
    const std::int64_t open = countRows(path_, "[QSO-CALL] LIKE 'OPEN%'");
    EXPECT_TRUE(open == 0 || open == 2) << open;  // a batch is whole or absent
    SqliteDb db(path_, SqliteDb::Mode::ReadOnly);
    SqliteStatement check = db.prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.columnText(0), "ok");
}

// Looking at the target while the run holds it (the kind check, the export's
// own connection) must not drop the run's locks: another process reading the
// file would then take the write-ahead log away, and the rows committed into
// it would be lost at a crash.
TEST_F(Target, LookingAtTheOpenTargetKeepsItsLog) {
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    char byte = 0;
    if (child == 0) {
        CImportSet set;
        set.Open(path_);
        set.AddNew(contact("FIRST"));
        set.Commit();
        const bool sqlite = detectDatabaseKind(path_) == DbKind::Sqlite;
        { auto reader = OpenTargetForReading(path_); }
        if (write(toParent[1], &byte, 1) != 1 || read(toChild[0], &byte, 1) != 1) _exit(2);
        for (int i = 0; i < 5; ++i) set.AddNew(contact("LATER" + std::to_string(i)));
        set.Commit();
        _exit(sqlite ? 0 : 3);  // no close: as if the program died here
    }
    ASSERT_EQ(read(toParent[0], &byte, 1), 1);
    {  // another program reads and closes, as the sqlite3 shell does
        SqliteDb other(path_, SqliteDb::Mode::ReadWrite);
        SqliteStatement count = other.prepare("SELECT count(*) FROM [QSO-TAB]");
        ASSERT_TRUE(count.step());
        EXPECT_EQ(count.columnInt(0), 1);
    }
    EXPECT_TRUE(std::filesystem::exists(path_ + "-wal"));
    ASSERT_EQ(write(toChild[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(countRows(path_), 6);
}

TEST_F(Target, ManyRowsAcrossBatches) {
    CImportSet set;
    set.Open(path_);
    const auto rows = static_cast<std::int64_t>(2 * CImportSet::kMaxBatchRows + 500);
    for (int i = 0; i < rows; ++i) set.AddNew(contact("C" + std::to_string(i)));
    // Never more than one batch waits for a commit.
    EXPECT_GT(countRows(path_), rows - static_cast<std::int64_t>(CImportSet::kMaxBatchRows));
    set.Close();
    EXPECT_EQ(countRows(path_), rows);
}

TEST_F(Target, FindContactBeforeAndAfterAddNew) {
    {
        CImportSet set;
        set.Open(path_);
        set.AddNew(contact("DL1ABC", "20240101", "120000", "2", "6"));
        set.AddNew(contact("DL1ABC", "20240101", "120000", "2", "6"));  // a duplicate
        QsoRow noBand = contact("W1AW");
        noBand.setNull(kQsoBand);
        set.AddNew(noBand);
    }
    CImportSet set;
    set.Open(path_);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120000", "2", "6"}), 1);  // the oldest
    EXPECT_EQ(set.FindContact({"dl1abc", "20240101", "120000", "2", "6"}), std::nullopt);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120000", "0", "6"}), std::nullopt);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120100", "2", "6"}), std::nullopt);
    EXPECT_EQ(set.FindContact({"W1AW", "20240101", "120000", "2", ""}), std::nullopt);

    const std::int64_t added = set.AddNew(contact("K9ZZ", "20240202", "235900", "6", "23"));
    EXPECT_EQ(set.FindContact({"K9ZZ", "20240202", "235900", "6", "23"}), added);

    // A changed key follows the row.
    QsoRow change;
    change.setText(kQsoTime, "000000");
    set.Update(added, change);
    EXPECT_EQ(set.FindContact({"K9ZZ", "20240202", "235900", "6", "23"}), std::nullopt);
    EXPECT_EQ(set.FindContact({"K9ZZ", "20240202", "000000", "6", "23"}), added);
    // The oldest of two equal rows changes away: the other one is found.
    QsoRow band;
    band.setText(kQsoBand, "7");
    set.Update(1, band);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120000", "2", "6"}), 2);
    band.setText(kQsoBand, "6");
    set.Update(1, band);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120000", "2", "6"}), 1);
    // A key completed later is found.
    band.setText(kQsoBand, "8");
    set.Update(3, band);
    EXPECT_EQ(set.FindContact({"W1AW", "20240101", "120000", "2", "8"}), 3);

    // The index takes memory by the rows, not by the largest row number.
    set.Commit();
    exec("INSERT INTO [QSO-TAB] ([QSO-NUMBER],[QSO-CALL],[QSO-DATE],[QSO-TIME],[QSO-MODE],"
         "[QSO-BAND]) VALUES (100000000000000,'JA1BIG','20240101','120000','2','6')");
    set.DropIndex();
    EXPECT_EQ(set.FindContact({"JA1BIG", "20240101", "120000", "2", "6"}), 100000000000000);

    set.DropIndex();  // built again from the table
    EXPECT_EQ(set.FindContact({"K9ZZ", "20240202", "000000", "6", "23"}), added);
    EXPECT_EQ(set.FindContact({"DL1ABC", "20240101", "120000", "2", "6"}), 1);
}

TEST_F(Target, UpdateChangesOnlyTheSetColumns) {
    exec(
        "CREATE TRIGGER refuse BEFORE UPDATE ON [QSO-TAB] WHEN NEW.[QSO-CONFIRM] = 'X'"
        " BEGIN SELECT RAISE(ABORT, 'no X'); END;");
    CImportSet set;
    set.Open(path_);
    QsoRow row = contact("G0ABC");
    row.setText(kQsoConfirm, "0");
    row.setText(kQsoName, "Bob");
    const std::int64_t id = set.AddNew(row);
    QsoRow confirm;
    confirm.setText(kQsoConfirm, "2");
    confirm.setText(kQsoLotwRec, "20240301");
    set.Update(id, confirm);
    EXPECT_EQ(set.ReadText(id, kQsoConfirm), "2");
    EXPECT_EQ(set.ReadText(id, kQsoLotwRec), "20240301");
    EXPECT_EQ(set.ReadText(id, kQsoName), "Bob");

    // Each set of columns has its own statement, kept for the next row.
    const std::int64_t other = set.AddNew(contact("K1ABC"));
    QsoRow qth;
    qth.setText(kQsoQth, "Bonn");
    set.Update(other, qth);
    set.Update(id, confirm);
    QsoRow both;
    both.setText(kQsoQth, "Köln");
    both.setText(kQsoName, "Al");
    set.Update(other, both);
    qth.setText(kQsoQth, "Ulm");
    set.Update(id, qth);
    EXPECT_EQ(set.ReadText(other, kQsoQth), "Köln");
    EXPECT_EQ(set.ReadText(other, kQsoName), "Al");
    EXPECT_EQ(set.ReadText(other, kQsoConfirm), "");
    EXPECT_EQ(set.ReadText(id, kQsoQth), "Ulm");
    EXPECT_EQ(set.ReadText(id, kQsoName), "Bob");

    QsoRow bad;
    bad.setText(kQsoConfirm, "X");
    EXPECT_EQ(messageOf([&] { set.Update(id, bad); }), "no X");
    EXPECT_EQ(set.ReadText(id, kQsoConfirm), "2");
    EXPECT_THROW(set.Update(id + 100, confirm), DbError);
    set.Close();
    EXPECT_EQ(countRows(path_, "[QSO-CONFIRM] = '2'"), 1);
}

class Statistics : public Target {
  protected:
    void insertDxcc(const std::string& prefix, const std::string& column,
                    const std::string& value) {
        SqliteDb db(path_, SqliteDb::Mode::ReadWrite);
        SqliteStatement st =
            db.prepare("INSERT INTO [DXCCTAB] ([PREFIX], " + bracket(column) + ") VALUES (?1, ?2)");
        st.bindText(1, prefix);
        st.bindText(2, value);
        st.step();
    }
};

TEST_F(Statistics, RowByPrefixNoRowAndCache) {
    insertDxcc("DL", "WCW60", "3");
    insertDxcc("K", "CPH20", "0");
    CDxccSet dxcc;
    dxcc.Open(path_);
    const auto* dl = dxcc.Row("DL");
    ASSERT_NE(dl, nullptr);
    ASSERT_EQ(dl->size(), 247u);
    EXPECT_EQ((*dl)[0], "DL");
    EXPECT_EQ((*dl)[102], "3");
    EXPECT_EQ((*dl)[101], "");  // NULL
    const auto* k = dxcc.Row("K");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ((*k)[49 + 10], "0");
    EXPECT_EQ(dxcc.Row("dl"), nullptr);
    EXPECT_EQ(dxcc.Row("ZZ"), nullptr);

    // Rows are read once per prefix, "no row" included.
    exec("DELETE FROM [DXCCTAB]; INSERT INTO [DXCCTAB] ([PREFIX]) VALUES ('ZZ')");
    EXPECT_EQ(dxcc.Row("DL"), dl);
    EXPECT_EQ((*dxcc.Row("DL"))[102], "3");
    EXPECT_EQ(dxcc.Row("ZZ"), nullptr);
    dxcc.ClearCache();
    EXPECT_EQ(dxcc.Row("DL"), nullptr);
    EXPECT_NE(dxcc.Row("ZZ"), nullptr);
}

TEST_F(Statistics, ColumnsAreReadByName) {
    // A statistics table whose columns are stored in another order still
    // gives the canonical order.
    TempDir dir;
    const std::string path = dir.file("shuffled.sqlite");
    std::vector<std::string> names = dxccColumns();
    std::reverse(names.begin(), names.end());
    std::string sql = "CREATE TABLE [dxcctab] (";
    for (std::size_t i = 0; i < names.size(); ++i) sql += (i ? "," : "") + bracket(names[i]);
    {
        SqliteDb db(path, SqliteDb::Mode::Create);
        db.exec(sql + ")");
        db.exec(
            "INSERT INTO [DXCCTAB] ([PREFIX],[WCW60],[CMX160],[WSAT]) VALUES "
            "('VK','5','7','9')");
    }
    CDxccSet dxcc;
    dxcc.Open(path);
    const auto* row = dxcc.Row("VK");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ((*row)[0], "VK");
    EXPECT_EQ((*row)[1], "7");
    EXPECT_EQ((*row)[102], "5");
    EXPECT_EQ((*row)[246], "9");
}

TEST_F(Statistics, MissingColumnIsAnError) {
    TempDir dir;
    const std::string path = dir.file("partial.sqlite");
    SqliteDb(path, SqliteDb::Mode::Create).exec("CREATE TABLE [DXCCTAB] ([PREFIX], [CMX160])");
    CDxccSet dxcc;
    EXPECT_THROW(dxcc.Open(path), DbError);
    EXPECT_FALSE(dxcc.IsOpen());
}

TEST_F(Statistics, ReadsWhileTheTargetHasAnOpenBatch) {
    insertDxcc("DL", "CCW20", "1");
    CImportSet set;
    set.Open(path_);
    set.AddNew(contact("DL1ABC"));  // batch open, not committed
    CDxccSet dxcc;
    dxcc.Open(path_);
    ASSERT_NE(dxcc.Row("DL"), nullptr);
    set.AddNew(contact("DL2XYZ"));
    EXPECT_NO_THROW(set.Commit());
    set.Close();
    EXPECT_EQ(countRows(path_), 2);
}

}  // namespace
}  // namespace tvx
