#pragma once
// A thin RAII wrapper over the SQLite C API. Values are always bound as
// parameters, never pasted into SQL text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tables/database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tvx {

class SqliteStatement {
  public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, std::string_view sql);  // throws DbError
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 1.
    void bindText(int index, std::string_view text);
    // Binds without copying: the text must stay alive and unchanged until
    // the statement has been stepped and reset, or bound again.
    void bindTextStatic(int index, std::string_view text);
    void bindOptionalText(int index, const std::optional<std::string>& text);
    void bindInt(int index, std::int64_t value);
    void bindNull(int index);

    // Steps once: true when a row is ready, false when done. Throws DbError.
    bool step();
    void reset();  // ready to step again; keeps the bindings
    void clearBindings();

    int columnCount() const;
    bool columnIsNull(int column) const;
    std::string columnText(int column) const;  // "" for NULL
    std::optional<std::string> columnOptionalText(int column) const;
    std::int64_t columnInt(int column) const;
    std::string columnName(int column) const;

    sqlite3_stmt* handle() const { return stmt_; }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDb {
  public:
    enum class Mode { ReadOnly, ReadWrite, Create };
    SqliteDb(const std::string& path, Mode mode);  // throws DbError
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    void exec(std::string_view sql);  // throws DbError
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(db_, sql); }
    bool hasTable(const std::string& table);
    // Column names of a table in their stored order (empty when no table).
    std::vector<std::string> tableColumns(const std::string& table);
    std::int64_t lastInsertRowId() const;
    const std::string& path() const { return path_; }
    sqlite3* handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

// Quotes a table or column name in brackets as the host database spells it.
std::string bracket(const std::string& name);

}  // namespace tvx
