#include "tables/database.h"

#include <sqlite3.h>

#include <cstdio>
#include <string_view>

#include "util/file.h"

namespace tvx {

std::string Value::asText() const {
    char buffer[64];
    switch (kind) {
        case Kind::Null:
            return {};
        case Kind::Integer:
            return std::to_string(integer);
        case Kind::Real:
            std::snprintf(buffer, sizeof buffer, "%g", real);
            return buffer;
        case Kind::Text:
            return text;
        case Kind::Date:
            std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year, date.month, date.day);
            return buffer;
        case Kind::Boolean:
            return boolean ? "1" : "0";
    }
    return {};
}

Value Value::ofText(std::string s) {
    Value v;
    v.kind = Kind::Text;
    v.text = std::move(s);
    return v;
}

Value Value::ofInteger(std::int64_t i) {
    Value v;
    v.kind = Kind::Integer;
    v.integer = i;
    return v;
}

Value Value::ofReal(double r) {
    Value v;
    v.kind = Kind::Real;
    v.real = r;
    return v;
}

Value Value::ofDate(int y, int m, int d) {
    Value v;
    v.kind = Kind::Date;
    v.date = {y, m, d};
    return v;
}

Value Value::ofBoolean(bool b) {
    Value v;
    v.kind = Kind::Boolean;
    v.boolean = b;
    return v;
}

namespace {

// The first bytes of a database file, read through a read-only SQLite
// connection of its own rather than a plain descriptor: closing any
// descriptor of a file drops every POSIX lock this process holds on it, so a
// plain open and close of a target that one of our connections has open
// would let another process delete its write-ahead log under it. SQLite's
// own file layer keeps the descriptor open while such locks are held.
bool readHeaderThroughSqlite(const std::string& path, char* header, int size, FileCheck* why) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_file* file = nullptr;
    bool ok = false;
    if (rc == SQLITE_OK &&
        sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file &&
        file->pMethods) {
        // A short read fills the rest with zeros.
        const int read = file->pMethods->xRead(file, header, size, 0);
        ok = read == SQLITE_OK || read == SQLITE_IOERR_SHORT_READ;
    }
    if (!ok && why) {
        const int error = db ? sqlite3_system_errno(db) : 0;
        why->kind = FileKind::Unusable;
        why->what = error != 0 ? SystemErrorText(error) : "the file cannot be opened";
    }
    sqlite3_close(db);
    return ok;
}

}  // namespace

DbKind detectDatabaseKind(const std::string& path, FileCheck* why) {
    FileCheck check = CheckFile(path);
    if (why) *why = check;
    switch (check.kind) {
        case FileKind::Regular:
            break;
        case FileKind::Missing:
            return DbKind::Missing;
        case FileKind::Folder:
            return DbKind::DbaseFolder;
        default:
            return DbKind::NotAFile;
    }
    char header[20] = {};
    if (!readHeaderThroughSqlite(path, header, sizeof header, why)) return DbKind::NotAFile;
    const std::string_view bytes(header, sizeof header);

    constexpr std::string_view kSqlite("SQLite format 3\0", 16);
    if (bytes.substr(0, kSqlite.size()) == kSqlite) return DbKind::Sqlite;
    // Jet 3/4 write "Standard Jet DB", Access 2007 and later "Standard ACE DB",
    // after a four-byte page header.
    const std::string_view mark = bytes.substr(4, 15);
    if (mark == "Standard Jet DB" || mark == "Standard ACE DB") return DbKind::Jet;
    return DbKind::Unknown;
}

namespace {

bool isDbaseConnect(std::string_view connect) {
    // DAO connect texts end in a semicolon ("dBASE III;"); accept both forms.
    while (!connect.empty() && (connect.back() == ';' || connect.back() == ' ')) {
        connect.remove_suffix(1);
    }
    while (!connect.empty() && connect.front() == ' ') connect.remove_prefix(1);
    constexpr std::string_view kDbase = "dbase iii";
    if (connect.size() != kDbase.size()) return false;
    for (std::size_t i = 0; i < kDbase.size(); ++i) {
        char c = connect[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kDbase[i]) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<Database> openDatabase(const std::string& path, const std::string& connect) {
    if (isDbaseConnect(connect)) return openDbaseFolder(path);
    if (!connect.empty()) {
        throw DbError("Unknown database type '" + connect + "' for '" + path + "'.");
    }
    FileCheck check;
    switch (detectDatabaseKind(path, &check)) {
        case DbKind::Sqlite:
            return openSqliteDatabase(path);
        case DbKind::Jet:
            return openJetDatabase(path);
        case DbKind::Missing:
        case DbKind::NotAFile:
            throw DbError(FileProblem(path, check));
        case DbKind::DbaseFolder:
            throw DbError("'" + path + "' is a folder, not a database file.");
        case DbKind::Unknown:
            break;
    }
    throw DbError("'" + path +
                  "' is not a database file this program can read (neither SQLite nor Jet).");
}

}  // namespace tvx
