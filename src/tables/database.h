#pragma once
// The database layer: one read interface over every engine the program meets
// (SQLite files, Jet files, folders of dBASE tables), and one error type.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx {

struct FileCheck;

// Any engine failure: the message is the engine's own description.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const std::string& what, int code = 0)
        : std::runtime_error(what), code_(code) {}
    // The engine's result code (SQLite's extended code); 0 when it gave none.
    int code() const { return code_; }

  private:
    int code_;
};

struct DbDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// One column value of one row, typed by the column.
struct Value {
    enum class Kind { Null, Integer, Real, Text, Date, Boolean };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;  // UTF-8
    DbDate date;
    bool boolean = false;

    bool isNull() const { return kind == Kind::Null; }
    // Text form: integers in decimal, reals with "%g", dates YYYYMMDD,
    // booleans "1"/"0", NULL empty.
    std::string asText() const;

    static Value null() { return {}; }
    static Value ofText(std::string s);
    static Value ofInteger(std::int64_t v);
    static Value ofReal(double v);
    static Value ofDate(int y, int m, int d);
    static Value ofBoolean(bool b);
};

// Rows of one table, read forward; columns in the order they were asked for.
class TableCursor {
  public:
    virtual ~TableCursor() = default;
    // Moves to the next row; false at the end. Throws DbError on damage.
    virtual bool next() = 0;
    virtual std::size_t columnCount() const = 0;
    virtual const Value& at(std::size_t column) const = 0;
    // Rows the table holds as its header counts them (deleted ones too), for
    // showing progress; 0 when the backend cannot tell.
    virtual std::int64_t rowCount() const { return 0; }
    // Rows read past the end that the table's header gives (a header that lags
    // the appended rows); 0 when none.
    virtual std::int64_t rowsBeyondHeader() const { return 0; }
};

// A database opened for reading. Table and column names are matched without
// regard to case; a missing table or column is a DbError that names it.
class Database {
  public:
    virtual ~Database() = default;
    virtual std::vector<std::string> tableNames() = 0;
    virtual std::unique_ptr<TableCursor> openTable(const std::string& table,
                                                   const std::vector<std::string>& columns) = 0;
    // Column names of a table in their stored order, for sources that are
    // read by column position. A missing table is a DbError that names it.
    virtual std::vector<std::string> columnNames(const std::string& table) {
        throw DbError("The columns of table '" + table + "' cannot be listed in this database.");
    }
};

// NotAFile: a pipe, a device, a socket, a path too long or unreadable
// (FileProblem in util/file.h says which); never opened for reading.
enum class DbKind { Sqlite, Jet, DbaseFolder, Missing, Unknown, NotAFile };

// Tells the engine from the file's first bytes (or a folder). Safe on a file
// that one of this process's SQLite connections holds open. why, when given,
// tells what the path is and, for NotAFile, the reason (a missing read
// permission, too many open files).
DbKind detectDatabaseKind(const std::string& path, FileCheck* why = nullptr);

// Opens any database for reading. connect "dBASE III" opens a folder of
// dBASE tables; otherwise the file's content decides SQLite or Jet.
std::unique_ptr<Database> openDatabase(const std::string& path, const std::string& connect = {});

// Backends (each in its own file).
std::unique_ptr<Database> openSqliteDatabase(const std::string& path);
std::unique_ptr<Database> openJetDatabase(const std::string& path);
std::unique_ptr<Database> openDbaseFolder(const std::string& folder);

}  // namespace tvx
