#include "db/sqlite.h"

#include <sqlite3.h>

#include <cctype>
#include <utility>

#include "util/file.h"

namespace tvx {

namespace {

// Long enough for the host program to finish a write of its own, short
// enough that a locked target is reported instead of hanging the import.
constexpr int kBusyTimeoutMs = 5000;

[[noreturn]] void fail(sqlite3* db) {
    throw DbError(db ? sqlite3_errmsg(db) : "out of memory",
                  db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM);
}

void check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK) fail(db);
}

}  // namespace

// ---- SqliteStatement

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw DbError(message, rc);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void SqliteStatement::bindText(int index, std::string_view text) {
    check(db_, sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                   SQLITE_UTF8));
}

void SqliteStatement::bindTextStatic(int index, std::string_view text) {
    check(db_,
          sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void SqliteStatement::bindOptionalText(int index, const std::optional<std::string>& text) {
    if (text) {
        bindText(index, *text);
    } else {
        bindNull(index);
    }
}

void SqliteStatement::bindInt(int index, std::int64_t value) {
    check(db_, sqlite3_bind_int64(stmt_, index, value));
}

void SqliteStatement::bindNull(int index) {
    check(db_, sqlite3_bind_null(stmt_, index));
}

bool SqliteStatement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_);  // ready for the next use; the error is reported once
    throw DbError(message, rc);
}

void SqliteStatement::reset() {
    sqlite3_reset(stmt_);
}

void SqliteStatement::clearBindings() {
    sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

bool SqliteStatement::columnIsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string SqliteStatement::columnText(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::optional<std::string> SqliteStatement::columnOptionalText(int column) const {
    if (columnIsNull(column)) return std::nullopt;
    return columnText(column);
}

std::int64_t SqliteStatement::columnInt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SqliteStatement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

// ---- SqliteDb

SqliteDb::SqliteDb(const std::string& path, Mode mode) : path_(path) {
    // The library counts its memory under a lock that every allocation
    // takes; nothing here reads the count, and with the import's writer
    // thread the lock is no longer free. Only possible before the first open.
    static const bool memoryUncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)memoryUncounted;
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
        case Mode::ReadOnly:
            flags |= SQLITE_OPEN_READONLY;
            break;
        case Mode::ReadWrite:
            flags |= SQLITE_OPEN_READWRITE;
            break;
        case Mode::Create:
            flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
            break;
    }
    const FileCheck check = CheckFile(path);
    if (check.kind == FileKind::Special || check.kind == FileKind::TooLong) {
        throw DbError(FileProblem(path, check));
    }
    // The library is built to take names that begin with "file:" as URIs,
    // which could name another file or set options; a path is only a path.
    const std::string name = path.starts_with("file:") ? "./" + path : path;
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DbError(message + ": " + path, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // SQLite reads the file only on first use: touch the schema now so a file
    // that is not a database fails here, naming the file.
    try {
        exec("SELECT count(*) FROM sqlite_master");
    } catch (const DbError& e) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DbError(std::string(e.what()) + ": " + path, e.code());
    }
}

SqliteDb::~SqliteDb() {
    // close_v2 waits for statements still alive elsewhere instead of failing.
    sqlite3_close_v2(db_);
}

void SqliteDb::exec(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw DbError(message, rc);
    }
}

bool SqliteDb::hasTable(const std::string& table) {
    SqliteStatement st(db_,
                       "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND "
                       "name = ?1 COLLATE NOCASE");
    st.bindText(1, table);
    return st.step();
}

std::vector<std::string> SqliteDb::tableColumns(const std::string& table) {
    SqliteStatement st(db_, "SELECT name FROM pragma_table_info(?1) ORDER BY cid");
    st.bindText(1, table);
    std::vector<std::string> columns;
    while (st.step()) columns.push_back(st.columnText(0));
    return columns;
}

std::int64_t SqliteDb::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_);
}

std::string bracket(const std::string& name) {
    // Brackets cannot hold a closing bracket; such a name is quoted the SQL way.
    if (name.find(']') == std::string::npos) return "[" + name + "]";
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// ---- the SQLite backend of the read interface

namespace {

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

class SqliteCursor : public TableCursor {
  public:
    SqliteCursor(std::shared_ptr<SqliteDb> db, std::string_view sql, std::size_t columns)
        : db_(std::move(db)), statement_(db_->prepare(sql)), values_(columns) {}

    bool next() override {
        if (!statement_.step()) return false;
        sqlite3_stmt* st = statement_.handle();
        for (std::size_t i = 0; i < values_.size(); ++i) {
            const int c = static_cast<int>(i);
            switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    values_[i] = Value::ofInteger(sqlite3_column_int64(st, c));
                    break;
                case SQLITE_FLOAT:
                    values_[i] = Value::ofReal(sqlite3_column_double(st, c));
                    break;
                case SQLITE_NULL:
                    values_[i] = Value::null();
                    break;
                default:  // TEXT, and BLOB bytes taken as they are
                    values_[i] = Value::ofText(statement_.columnText(c));
                    break;
            }
        }
        return true;
    }
    std::size_t columnCount() const override { return values_.size(); }
    const Value& at(std::size_t column) const override { return values_.at(column); }

  private:
    std::shared_ptr<SqliteDb> db_;  // outlives the statement
    SqliteStatement statement_;
    std::vector<Value> values_;
};

class SqliteDatabase : public Database {
  public:
    explicit SqliteDatabase(const std::string& path)
        : db_(std::make_shared<SqliteDb>(path, SqliteDb::Mode::ReadOnly)) {}

    std::vector<std::string> tableNames() override {
        SqliteStatement st = db_->prepare(
            "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND "
            "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
        std::vector<std::string> names;
        while (st.step()) names.push_back(st.columnText(0));
        return names;
    }

    std::unique_ptr<TableCursor> openTable(const std::string& table,
                                           const std::vector<std::string>& columns) override {
        std::string realTable;
        for (const std::string& name : tableNames()) {
            if (sameName(name, table)) {
                realTable = name;
                break;
            }
        }
        if (realTable.empty()) {
            throw DbError("The table [" + table + "] does not exist in '" + db_->path() + "'.");
        }
        const std::vector<std::string> stored = db_->tableColumns(realTable);
        std::string sql = "SELECT ";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::string* real = nullptr;
            for (const std::string& s : stored) {
                if (sameName(s, columns[i])) {
                    real = &s;
                    break;
                }
            }
            if (!real) {
                throw DbError("The table [" + realTable + "] of '" + db_->path() +
                              "' has no column [" + columns[i] + "].");
            }
            if (i > 0) sql += ",";
            sql += bracket(*real);
        }
        if (columns.empty()) sql += "NULL";
        sql += " FROM " + bracket(realTable);
        return std::make_unique<SqliteCursor>(db_, sql, columns.size());
    }

  private:
    std::shared_ptr<SqliteDb> db_;
};

}  // namespace

std::unique_ptr<Database> openSqliteDatabase(const std::string& path) {
    return std::make_unique<SqliteDatabase>(path);
}

}  // namespace tvx
