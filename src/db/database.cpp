#include "db/database.h"

#include <unistd.h>

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

DbKind detectDatabaseKind(const std::string& path) {
    FileCheck check;
    const int fd = OpenRegularFile(path, &check);
    if (fd < 0) {
        switch (check.kind) {
            case FileKind::Missing:
                return DbKind::Missing;
            case FileKind::Folder:
                return DbKind::DbaseFolder;
            case FileKind::Unusable:
                // Unreadable: the engine's open tells the reason.
                return DbKind::Unknown;
            default:
                return DbKind::NotAFile;
        }
    }
    char header[20] = {};
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(fd, header + got, sizeof header - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    const std::string_view bytes(header, got);

    constexpr std::string_view kSqlite("SQLite format 3\0", 16);
    if (bytes.substr(0, kSqlite.size()) == kSqlite) return DbKind::Sqlite;
    // Jet 3/4 write "Standard Jet DB", Access 2007 and later "Standard ACE DB",
    // after a four-byte page header.
    if (got >= 19) {
        const std::string_view mark = bytes.substr(4, 15);
        if (mark == "Standard Jet DB" || mark == "Standard ACE DB") return DbKind::Jet;
    }
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
    switch (detectDatabaseKind(path)) {
        case DbKind::Sqlite:
            return openSqliteDatabase(path);
        case DbKind::Jet:
            return openJetDatabase(path);
        case DbKind::Missing:
        case DbKind::NotAFile:
            throw DbError(FileProblem(path, CheckFile(path)));
        case DbKind::DbaseFolder:
            throw DbError("'" + path + "' is a folder, not a database file.");
        case DbKind::Unknown:
            break;
    }
    throw DbError("'" + path +
                  "' is not a database file this program can read (neither SQLite nor Jet).");
}

}  // namespace tvx
