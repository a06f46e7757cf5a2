// A folder of dBASE III tables, read only: one table per .dbf file, memo text
// from the table's .dbt file. Records and fields come through shapelib; the
// header is checked first because shapelib trusts the sizes it finds there.

#include <errno.h>
#include <shapefil.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tables/database.h"
#include "util/file.h"
#include "util/text.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileHeaderSize = 32;
constexpr std::size_t kMemoBlockSize = 512;
// dBASE III itself never wrote a memo this long; the cap keeps a memo
// without end marker from pulling in a whole damaged file for every row.
constexpr std::size_t kMaxMemoSize = 64 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The code page that a table's language driver mark (header byte 29) names;
// 0 when the mark is empty or unknown.
int CodePageOfLanguageDriver(unsigned char mark) {
    switch (mark) {
        case 0x01:
        case 0x09:
        case 0x0B:
        case 0x0D:
        case 0x0F:
        case 0x11:
        case 0x15:
        case 0x18:
        case 0x19:
        case 0x1B:
            return 437;
        case 0x02:
        case 0x0A:
        case 0x0E:
        case 0x10:
        case 0x12:
        case 0x14:
        case 0x16:
        case 0x1A:
        case 0x1D:
        case 0x25:
        case 0x37:
            return 850;
        case 0x03:
        case 0x57:
        case 0x58:
        case 0x59:
            return 1252;
        case 0x08:
        case 0x17:
        case 0x66:
            return 865;
        case 0x1F:
        case 0x22:
        case 0x23:
        case 0x40:
        case 0x64:
            return 852;
        case 0x24:
            return 860;
        case 0x1C:
            return 863;
        case 0x26:
        case 0x65:
            return 866;
        case 0x67:
            return 861;
        case 0x6A:
            return 737;
        case 0x6B:
            return 857;
        case 0xC8:
            return 1250;
        case 0xC9:
            return 1251;
        case 0xCA:
            return 1254;
        case 0xCB:
            return 1253;
        default:
            return 0;
    }
}

// Legacy 8-bit text of the table's code page to UTF-8; a table without a
// code-page mark is DOS text.
class LegacyDecoder {
  public:
    explicit LegacyDecoder(int codePage) : codePage_(codePage == 0 ? 437 : codePage) {}
    std::string decode(std::string_view bytes) const { return ToUtf8(bytes, codePage_); }

  private:
    int codePage_;
};

// shapelib opens files through hooks: the table's file is the one this
// backend chose (its name may differ in case from what shapelib asks for),
// and shapelib's complaints are kept for the error text.
thread_local const std::string* t_tablePath = nullptr;
thread_local std::string t_shapelibError;

SAFile OpenChosenTable(const char* filename, const char* access) {
    std::string_view name(filename);
    bool asksForTable = name.size() >= 4 && EqualsNoCase(name.substr(name.size() - 4), ".dbf");
    if (!asksForTable || t_tablePath == nullptr) return nullptr;  // no code page side file
    // Tables are only ever read here.
    if (std::string_view(access) != "rb") return nullptr;
    return reinterpret_cast<SAFile>(OpenRegularStream(*t_tablePath));
}

void KeepShapelibError(const char* message) {
    t_shapelibError = message ? message : "";
}

SAHooks TableHooks() {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = OpenChosenTable;
    hooks.Error = KeepShapelibError;
    return hooks;
}

struct DbfHandleCloser {
    void operator()(DBFInfo* h) const { DBFClose(h); }
};
using DbfPtr = std::unique_ptr<DBFInfo, DbfHandleCloser>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (ec) throw DbError("Cannot read the file " + path + ": " + ec.message() + ".");
    return size;
}

struct TableHeader {
    std::uint32_t records = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t recordLength = 0;
    unsigned char languageDriver = 0;
    // Whole records after the counted ones, up to the end mark.
    std::uint32_t beyondHeader = 0;
};

// The sizes in the header must describe the file as it is; otherwise rows
// would be read from beyond its end.
TableHeader CheckTableHeader(const std::string& path) {
    FileCheck check;
    FilePtr file(OpenRegularStream(path, &check));
    if (!file) throw DbError("Cannot open the table file: " + FileProblem(path, check));
    std::uint64_t size = FileSize(path);
    unsigned char h[kFileHeaderSize];
    if (size < kFileHeaderSize || std::fread(h, 1, sizeof h, file.get()) != sizeof h)
        throw DbError("The file " + path + " is not a dBASE table: it is too short.");
    TableHeader t;
    t.records = h[4] | (h[5] << 8) | (h[6] << 16) | (std::uint32_t(h[7]) << 24);
    t.headerLength = h[8] | (h[9] << 8);
    t.recordLength = h[10] | (h[11] << 8);
    t.languageDriver = h[29];
    if (t.headerLength < kFileHeaderSize + 1 || t.headerLength > size || t.recordLength == 0)
        throw DbError("The file " + path + " is not a dBASE table or its header is damaged.");
    // The library counts rows in an int: a larger count would read as none.
    if (t.records > std::uint32_t{INT32_MAX})
        throw DbError("The table file " + path + " is damaged: its header counts " +
                      std::to_string(t.records) + " rows, more than a dBASE table can hold.");
    std::uint64_t needed =
        std::uint64_t(t.headerLength) + std::uint64_t(t.records) * t.recordLength;
    if (needed > size) {
        std::uint64_t present = (size - t.headerLength) / t.recordLength;
        throw DbError("The table file " + path + " is damaged: its header counts " +
                      std::to_string(t.records) + " rows but the file holds only " +
                      std::to_string(present) + ".");
    }
    // A program stopped before it closed the table leaves a header count that
    // lags its appended records: read them too, up to the first byte that
    // starts no record (the end mark 0x1A).
    const std::uint64_t present = (size - t.headerLength) / t.recordLength;
    for (std::uint64_t r = t.records; r < present && r < std::uint64_t{INT32_MAX}; ++r) {
        const auto at = static_cast<long>(t.headerLength + r * t.recordLength);
        if (std::fseek(file.get(), at, SEEK_SET) != 0) break;
        const int flag = std::fgetc(file.get());
        if (flag != ' ' && flag != '*') break;
        ++t.beyondHeader;
    }
    return t;
}

// The file in folder whose name is base + extension without regard to case;
// a name that matches exactly is preferred. Empty when there is none.
std::string FindFileNoCase(const std::string& folder, const std::string& base,
                           std::string_view extension) {
    if (base.empty() || base.find_first_of("/\\") != std::string::npos) return {};
    std::string wanted = base + std::string(extension);
    std::string found;
    try {
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (!EqualsNoCase(name, wanted)) continue;
            std::error_code typeEc;
            if (entry.is_directory(typeEc)) continue;
            if (name == wanted) return entry.path().string();
            if (found.empty() || name < fs::path(found).filename().string())
                found = entry.path().string();
        }
    } catch (const fs::filesystem_error& e) {
        throw DbError("Cannot list the folder " + folder + ": " + e.code().message() + ".");
    }
    return found;
}

struct Column {
    int field = 0;
    char type = 'C';
    int decimals = 0;
};

class DbaseCursor : public TableCursor {
  public:
    DbaseCursor(std::string tablePath, DbfPtr dbf, std::vector<Column> columns, int codePage,
                std::string memoPath, std::int64_t beyondHeader)
        : beyondHeader_(beyondHeader),
          tablePath_(std::move(tablePath)),
          dbf_(std::move(dbf)),
          columns_(std::move(columns)),
          decoder_(codePage),
          memoPath_(std::move(memoPath)),
          values_(columns_.size()) {
        records_ = DBFGetRecordCount(dbf_.get());
        if (!memoPath_.empty()) {
            FileCheck check;
            memo_.reset(OpenRegularStream(memoPath_, &check));
            if (!memo_)
                throw DbError("Cannot open the memo file: " + FileProblem(memoPath_, check));
            memoSize_ = FileSize(memoPath_);
        }
    }

    bool next() override {
        while (row_ + 1 < records_) {
            ++row_;
            t_shapelibError.clear();
            const char* record = DBFReadTuple(dbf_.get(), row_);
            if (record == nullptr)
                throw DbError("Cannot read row " + std::to_string(row_ + 1) + " of " + tablePath_ +
                              ": " + (t_shapelibError.empty() ? "read error" : t_shapelibError));
            if (record[0] == '*') continue;  // deleted, kept until the table is packed
            for (std::size_t i = 0; i < columns_.size(); ++i) values_[i] = read(columns_[i]);
            return true;
        }
        row_ = records_;
        return false;
    }

    std::size_t columnCount() const override { return columns_.size(); }
    const Value& at(std::size_t column) const override {
        if (column >= values_.size()) throw DbError("No column " + std::to_string(column) + ".");
        return values_[column];
    }
    std::int64_t rowCount() const override { return records_; }
    std::int64_t rowsBeyondHeader() const override { return beyondHeader_; }

  private:
    Value read(const Column& c) {
        const char* raw = DBFReadStringAttribute(dbf_.get(), row_, c.field);
        if (raw == nullptr)
            throw DbError("Cannot read row " + std::to_string(row_ + 1) + " of " + tablePath_ +
                          ".");
        std::string_view text = TrimBlanks(raw);
        Value v;
        switch (c.type) {
            case 'D':
                return dateValue(text);
            case 'L':
                if (text.empty()) return v;
                if (std::strchr("TtYy", text[0])) {
                    v.kind = Value::Kind::Boolean, v.boolean = true;
                } else if (std::strchr("FfNn", text[0])) {
                    v.kind = Value::Kind::Boolean, v.boolean = false;
                }
                return v;  // '?' and blanks: never set
            case 'N':
            case 'F':
                return numberValue(text, c.decimals);
            case 'M':
                v.kind = Value::Kind::Text;
                v.text = std::string(TrimBlanks(decoder_.decode(memoText(text))));
                return v;
            default:
                v.kind = Value::Kind::Text;
                v.text = std::string(TrimBlanks(decoder_.decode(text)));
                return v;
        }
    }

    static Value dateValue(std::string_view text) {
        Value v;
        if (text.size() != 8 ||
            !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            return v;
        int y = 0, m = 0, d = 0;
        std::from_chars(text.data(), text.data() + 4, y);
        std::from_chars(text.data() + 4, text.data() + 6, m);
        std::from_chars(text.data() + 6, text.data() + 8, d);
        if (y == 0 && m == 0 && d == 0) return v;
        v.kind = Value::Kind::Date;
        v.date = {y, m, d};
        return v;
    }

    static Value numberValue(std::string_view text, int decimals) {
        Value v;
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        if (text.empty()) return v;
        const char* end = text.data() + text.size();
        if (decimals == 0) {
            std::int64_t n = 0;
            auto [p, ec] = std::from_chars(text.data(), end, n);
            if (ec == std::errc() && p == end) {
                v.kind = Value::Kind::Integer, v.integer = n;
                return v;
            }
        }
        double x = 0;
        auto [p, ec] = std::from_chars(text.data(), end, x);
        if (ec == std::errc() && p == end) v.kind = Value::Kind::Real, v.real = x;
        return v;  // asterisks (overflow) and other junk: no value
    }

    // A memo field holds the number of the memo's first block in the .dbt
    // file; dBASE III ends the text with 0x1A 0x1A.
    std::string memoText(std::string_view pointer) {
        if (pointer.empty() || !std::all_of(pointer.begin(), pointer.end(),
                                            [](char ch) { return ch >= '0' && ch <= '9'; }))
            return {};
        std::uint64_t block = 0;
        auto [p, ec] = std::from_chars(pointer.data(), pointer.data() + pointer.size(), block);
        if (ec != std::errc() || block == 0) return {};
        if (block > memoSize_ / kMemoBlockSize || block * kMemoBlockSize >= memoSize_)
            throw DbError("The memo file " + memoPath_ + " is damaged: row " +
                          std::to_string(row_ + 1) + " points to block " + std::to_string(block) +
                          " beyond its end.");
        std::uint64_t offset = block * kMemoBlockSize;
        std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(memoSize_ - offset, kMaxMemoSize));
        std::string bytes(length, '\0');
        if (std::fseek(memo_.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fread(bytes.data(), 1, length, memo_.get()) != length)
            throw DbError("Cannot read the memo file " + memoPath_ + ".");
        // dBASE IV blocks begin with FF FF 08 00 and the length with header.
        if (length >= 8 && bytes.compare(0, 4, "\xFF\xFF\x08\x00", 4) == 0) {
            std::uint32_t n = static_cast<unsigned char>(bytes[4]) |
                              (static_cast<unsigned char>(bytes[5]) << 8) |
                              (static_cast<unsigned char>(bytes[6]) << 16) |
                              (std::uint32_t(static_cast<unsigned char>(bytes[7])) << 24);
            bytes = bytes.substr(8, n >= 8 ? std::min<std::size_t>(n - 8, length - 8) : 0);
        }
        std::size_t end = bytes.find('\x1A');
        if (end != std::string::npos) bytes.resize(end);
        return bytes;
    }

    std::int64_t beyondHeader_;
    std::string tablePath_;
    DbfPtr dbf_;
    std::vector<Column> columns_;
    LegacyDecoder decoder_;
    std::string memoPath_;
    FilePtr memo_;
    std::uint64_t memoSize_ = 0;
    std::vector<Value> values_;
    int records_ = 0;
    int row_ = -1;
};

class DbaseFolder : public Database {
  public:
    explicit DbaseFolder(std::string folder) : folder_(std::move(folder)) {}

    std::vector<std::string> tableNames() override {
        std::vector<std::string> names;
        try {
            for (const auto& entry : fs::directory_iterator(folder_)) {
                std::string name = entry.path().filename().string();
                if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".dbf"))
                    names.push_back(name.substr(0, name.size() - 4));
            }
        } catch (const fs::filesystem_error& e) {
            throw DbError("Cannot list the folder " + folder_ + ": " + e.code().message() + ".");
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::unique_ptr<TableCursor> openTable(const std::string& table,
                                           const std::vector<std::string>& columns) override {
        std::string path = FindFileNoCase(folder_, table, ".dbf");
        if (path.empty())
            throw DbError("The table '" + table + "' does not exist: the folder " + folder_ +
                          " holds no file " + table + ".dbf.");
        TableHeader header = CheckTableHeader(path);

        SAHooks hooks = TableHooks();
        t_tablePath = &path;
        t_shapelibError.clear();
        DbfPtr dbf(DBFOpenLL(path.c_str(), "rb", &hooks));
        t_tablePath = nullptr;
        if (!dbf)
            throw DbError("The file " + path + " is not a dBASE table or is damaged" +
                          (t_shapelibError.empty() ? "." : ": " + t_shapelibError));

        dbf->nRecords += static_cast<int>(header.beyondHeader);
        int fieldCount = DBFGetFieldCount(dbf.get());
        std::vector<Column> wanted;
        bool needsMemo = false;
        for (const std::string& name : columns) {
            int found = -1;
            Column c;
            for (int i = 0; i < fieldCount && found < 0; ++i) {
                char fieldName[XBASE_FLDNAME_LEN_READ + 1] = {};
                int width = 0;
                DBFGetFieldInfo(dbf.get(), i, fieldName, &width, &c.decimals);
                if (EqualsNoCase(TrimBlanks(fieldName), TrimBlanks(name))) found = i;
            }
            if (found < 0) throw DbError("The table '" + table + "' has no column '" + name + "'.");
            c.field = found;
            c.type = DBFGetNativeFieldType(dbf.get(), found);
            needsMemo = needsMemo || c.type == 'M';
            wanted.push_back(c);
        }

        std::string memoPath;
        if (needsMemo) {
            std::string base = fs::path(path).stem().string();
            memoPath = FindFileNoCase(folder_, base, ".dbt");
            if (memoPath.empty())
                throw DbError("The memo file " + base + ".dbt of the table '" + table +
                              "' is missing from the folder " + folder_ + ".");
        }
        return std::make_unique<DbaseCursor>(path, std::move(dbf), std::move(wanted),
                                             CodePageOfLanguageDriver(header.languageDriver),
                                             memoPath, header.beyondHeader);
    }

  private:
    std::string folder_;
};

}  // namespace

std::unique_ptr<Database> openDbaseFolder(const std::string& folder) {
    // A source given without a folder lies in the current directory.
    std::string path = folder.empty() ? std::string(".") : folder;
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw DbError("The folder " + path + " does not exist.");
    if (!fs::is_directory(status)) throw DbError(path + " is not a folder of dBASE tables.");
    return std::make_unique<DbaseFolder>(path);
}

}  // namespace tvx
