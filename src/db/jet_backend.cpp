// Jet (.mdb) files, read only, through mdbtools' libmdb.
//
// libmdb trusts the file it reads: on damaged files it has been seen to loop
// forever and to read past its page buffers. So libmdb never runs inside the
// program. Each read (the table list, one table) runs in a forked child that
// sends typed rows back through a pipe; the program gives up when the child
// stops producing for the stall timeout that the database was opened with,
// or dies, and reports the file as damaged. The child's stderr goes to /dev/null, so libmdb's own
// warnings never reach the user.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// mdbtools.h includes glib.h inside extern "C"; glib's C++ parts must come
// first or the build fails with "template with C linkage".
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "db/jet.h"
#include "tables/database.h"
#include "util/file.h"

namespace tvx {

namespace {

// What openJetDatabase(path) gives a newly opened database; tests shorten
// it. A database keeps the timeout it was opened with.
std::atomic<long long> defaultStallMs{15000};

// A memo is read whole up to this many bytes of UTF-8 (Access itself stops
// typing at 65,535 characters).
constexpr std::size_t kMemoBindSize = 4u << 20;
// Sanity bound on one text value received from the child.
constexpr std::uint32_t kMaxTextBytes = 64u << 20;

// Message tags of the pipe protocol.
constexpr char kTagNames = 'N';
constexpr char kTagHeader = 'H';
constexpr char kTagRow = 'R';
constexpr char kTagEnd = 'Z';
constexpr char kTagError = 'E';

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (g_ascii_tolower(a[i]) != g_ascii_tolower(b[i])) return false;
    }
    return true;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

// Invalid UTF-8 (libmdb converts with iconv, but a damaged page can hold
// anything) becomes U+FFFD so the rest of the program only sees UTF-8.
std::string validUtf8(const char* text) {
    std::string out;
    const char* end = nullptr;
    const char* p = text;
    const std::size_t n = std::strlen(text);
    const char* stop = text + n;
    while (p < stop) {
        if (g_utf8_validate(p, stop - p, &end)) {
            out.append(p, stop);
            break;
        }
        out.append(p, end);
        out += "\xEF\xBF\xBD";
        p = end + 1;
    }
    return out;
}

// ---------------------------------------------------------------- child side

class PipeWriter {
  public:
    explicit PipeWriter(int fd) : fd_(fd) {}
    void tag(char t) { buf_.push_back(t); }
    void u8(std::uint8_t v) { buf_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) { raw(&v, sizeof v); }
    void i32(std::int32_t v) { raw(&v, sizeof v); }
    void i64(std::int64_t v) { raw(&v, sizeof v); }
    void f64(double v) { raw(&v, sizeof v); }
    void str(std::string_view s) {
        u32(static_cast<std::uint32_t>(s.size()));
        buf_.append(s);
    }
    void maybeFlush() {
        if (buf_.size() >= 64 * 1024) flush();
    }
    // A row is sent whole or not at all: an error found halfway through it
    // drops what was written of it.
    void beginRow() { rowStart_ = buf_.size(); }
    void dropPartialRow() {
        if (rowStart_ != std::string::npos) buf_.resize(rowStart_);
        rowStart_ = std::string::npos;
    }
    void endRow() { rowStart_ = std::string::npos; }
    void flush() {
        const char* p = buf_.data();
        std::size_t left = buf_.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                _exit(3);  // the program went away
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        buf_.clear();
    }

  private:
    void raw(const void* p, std::size_t n) { buf_.append(static_cast<const char*>(p), n); }
    int fd_;
    std::string buf_;
    std::size_t rowStart_ = std::string::npos;
};

struct ChildError {
    std::string message;
};

// Runs in the child: libmdb is opened, used and left behind by _exit.
class JetFile {
  public:
    explicit JetFile(const std::string& path) : path_(path) {
        mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
        if (!mdb_) {
            throw ChildError{"Could not open " + quoted(path) +
                             " as a Jet database; the file is damaged or not a Jet file."};
        }
        // Jet writes whole pages only: anything else was cut short.
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && mdb_->fmt->pg_size > 0) {
            if (st.st_size % mdb_->fmt->pg_size != 0) throw damaged("the file is cut short");
            pageCount_ = static_cast<std::uint64_t>(st.st_size) /
                         static_cast<std::uint64_t>(mdb_->fmt->pg_size);
        }
        if (!mdb_read_catalog(mdb_, MDB_TABLE)) {
            throw ChildError{"The Jet database " + quoted(path) +
                             " is damaged: its list of tables cannot be read."};
        }
    }

    std::vector<std::string> tableNames() const {
        std::vector<std::string> names;
        for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (entry && mdb_is_user_table(entry)) names.push_back(validUtf8(entry->object_name));
        }
        return names;
    }

    MdbTableDef* readTable(const std::string& name) {
        for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (!entry || entry->object_type != MDB_TABLE) continue;
            if (!equalsNoCase(entry->object_name, name)) continue;
            MdbTableDef* table = mdb_read_table(entry);
            if (!table || !mdb_read_columns(table) || !table->columns ||
                table->columns->len != table->num_cols || table->num_cols > MDB_MAX_COLS) {
                throw damaged("the definition of table " + quoted(name) + " cannot be read");
            }
            return table;
        }
        throw ChildError{"Could not find table " + quoted(name) + " in " + quoted(path_) + "."};
    }

    static MdbColumn* column(MdbTableDef* table, unsigned i) {
        return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    }

    ChildError damaged(const std::string& what) const {
        return ChildError{"The Jet database " + quoted(path_) + " is damaged: " + what + "."};
    }

    MdbHandle* handle() const { return mdb_; }
    const std::string& path() const { return path_; }
    std::uint64_t pageCount() const { return pageCount_; }

  private:
    std::string path_;
    MdbHandle* mdb_ = nullptr;
    std::uint64_t pageCount_ = 0;
};

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

// Jet dates count days from 1899-12-30; before it, the whole part counts
// back while the fraction is still the time of day.
void putDate(PipeWriter& out, double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) {
        out.u8(0);  // no calendar date: read as NULL
        return;
    }
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    using namespace std::chrono;
    const year_month_day ymd{sys_days{year{1899} / December / 30} + days{static_cast<long>(whole)}};
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) seconds = 86399;
    out.u8(4);
    out.i32(static_cast<int>(ymd.year()));
    out.i32(static_cast<int>(static_cast<unsigned>(ymd.month())));
    out.i32(static_cast<int>(static_cast<unsigned>(ymd.day())));
    out.i32(static_cast<int>(seconds));
}

void putText(PipeWriter& out, char* text) {
    out.u8(3);
    out.str(text ? validUtf8(text) : std::string());
    g_free(text);
}

// One stored value of the current row: its column, and its bytes in
// libmdb's page buffer once they are known to lie inside the page.
struct FieldBytes {
    JetFile& file;
    MdbTableDef* table;
    MdbColumn* col;
    const MdbField& field;
    const unsigned char* p = nullptr;

    ChildError damaged(const std::string& what) const {
        return file.damaged("a value of column " + quoted(col->name) + " in table " +
                            quoted(table->name) + " " + what);
    }
    void need(int bytes) const {
        if (field.siz < bytes) throw damaged("is cut short");
    }
    double f64() const {
        const std::uint64_t bits = le64(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
};

// Kinds on the wire: 0 NULL, 1 integer, 2 real, 3 text, 4 date, 5 boolean.

// The numeric and date kinds of column; false for any other kind.
bool putNumber(PipeWriter& out, const FieldBytes& v) {
    MdbHandle* mdb = v.file.handle();
    const unsigned char* p = v.p;
    switch (v.col->col_type) {
        case MDB_BYTE:
            v.need(1);
            out.u8(1);
            out.i64(p[0]);
            return true;
        case MDB_INT:
            v.need(2);
            out.u8(1);
            out.i64(static_cast<std::int16_t>(p[0] | p[1] << 8));
            return true;
        case MDB_LONGINT:
        case MDB_COMPLEX:
            v.need(4);
            out.u8(1);
            out.i64(static_cast<std::int32_t>(le32(p)));
            return true;
        case MDB_MONEY:
            v.need(8);
            out.u8(2);
            out.f64(static_cast<double>(static_cast<std::int64_t>(le64(p))) / 10000.0);
            return true;
        case MDB_FLOAT: {
            v.need(4);
            const std::uint32_t bits = le32(p);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            out.u8(2);
            out.f64(f);
            return true;
        }
        case MDB_DOUBLE:
            v.need(8);
            out.u8(2);
            out.f64(v.f64());
            return true;
        case MDB_DATETIME:
            v.need(8);
            putDate(out, v.f64());
            return true;
        case MDB_NUMERIC: {
            v.need(17);
            char* text =
                mdb_numeric_to_string(mdb, v.field.start, v.col->col_scale, v.col->col_prec);
            out.u8(2);
            out.f64(text ? g_ascii_strtod(text, nullptr) : 0.0);
            g_free(text);
            return true;
        }
        default:
            return false;
    }
}

// The text kinds of column, binary ones as hex digits; false for any other.
bool putTextual(PipeWriter& out, const FieldBytes& v) {
    MdbHandle* mdb = v.file.handle();
    const MdbField& field = v.field;
    switch (v.col->col_type) {
        case MDB_TEXT:
            // Room for the worst case of UTF-8 growth of one stored byte.
            mdb_set_bind_size(mdb, static_cast<std::size_t>(field.siz) * 3 + 16);
            putText(out, mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_TEXT, field.siz));
            return true;
        case MDB_MEMO:
            // The bind size caps the converted memo; the default would cut it.
            mdb_set_bind_size(mdb, kMemoBindSize);
            putText(out, mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_MEMO, field.siz));
            return true;
        case MDB_REPID:
            v.need(16);
            putText(out, mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_REPID, field.siz));
            return true;
        case MDB_BINARY: {
            static const char kHex[] = "0123456789ABCDEF";
            std::string hex;
            for (int i = 0; i < field.siz; ++i) {
                hex += kHex[v.p[i] >> 4];
                hex += kHex[v.p[i] & 15];
            }
            out.u8(3);
            out.str(hex);
            return true;
        }
        default:
            return false;
    }
}

// One value of the current row, typed by its column.
void putValue(PipeWriter& out, JetFile& file, MdbTableDef* table, MdbColumn* col,
              const MdbField& field) {
    if (col->col_type == MDB_BOOL) {
        // Yes/No values live in the null mask: a set bit is Yes.
        out.u8(5);
        out.u8(field.is_null ? 0 : 1);
        return;
    }
    if (field.is_null) {
        out.u8(0);
        return;
    }
    FieldBytes value{file, table, col, field, nullptr};
    MdbHandle* mdb = file.handle();
    const int pageSize = static_cast<int>(mdb->fmt->pg_size);
    if (field.start < 0 || field.siz < 0 || field.start + field.siz > pageSize) {
        throw value.damaged("lies outside its page");
    }
    value.p = mdb->pg_buf + field.start;
    if (putNumber(out, value) || putTextual(out, value)) return;
    throw ChildError{"Column " + quoted(col->name) + " of table " + quoted(table->name) + " in " +
                     quoted(file.path()) +
                     " holds a kind of data (OLE object or attachment) that this "
                     "program does not read."};
}

// ------------------------------------------------------------ the table scan

// The two high bits of a row-offset table entry of a data page. A row that
// an update made longer moves: its entry gets kRowMoved and its first bytes
// name the new copy, whose own entry has kRowDeleted so that a scan meets
// the row once, in the place of the old entry. kRowDeleted alone or with
// kRowMoved is a deleted row (or a copy left behind by a later move).
constexpr unsigned kRowDeleted = 0x8000;
constexpr unsigned kRowMoved = 0x4000;
constexpr unsigned kRowOffsetMask = 0x1fff;

unsigned le16(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// The table scan that the Jet format defines: data pages in the order of
// the table's usage map, on each page the entries of its row-offset table
// in order, deleted entries and left-behind copies skipped, a moved row
// read from its copy in its own place. libmdb 1.0 has the two flag bits the
// wrong way round (it skips the moved rows and reads every copy in place,
// which brings deleted rows back and stale copies twice), so the pages are
// walked here; libmdb finds the pages and decodes the rows found. For each
// row, `row` is called with the row's page in libmdb's page buffer.
class TableScan {
  public:
    TableScan(JetFile& file, MdbTableDef* table)
        : file_(file),
          table_(table),
          mdb_(file.handle()),
          pageSize_(static_cast<unsigned>(mdb_->fmt->pg_size)),
          countAt_(mdb_->fmt->row_count_offset),
          page_(pageSize_) {}

    template <typename Row>
    void run(Row&& row) {
        std::uint32_t pg = 0;
        while (nextPage(pg)) {
            std::memcpy(page_.data(), mdb_->pg_buf, pageSize_);
            const unsigned entries = entryCount(page_.data());
            for (unsigned n = 0; n < entries; ++n) {
                Span span = spanOf(page_.data(), entries, n);
                if (span.flags & kRowDeleted) continue;
                std::uint32_t rowPage = pg;
                unsigned rowNumber = n;
                if (span.flags & kRowMoved) {
                    if (!span.valid || span.size < 4) throw movedRowLost();
                    const unsigned char* p = page_.data() + span.start;
                    rowNumber = p[0];
                    rowPage = static_cast<std::uint32_t>(p[1]) |
                              static_cast<std::uint32_t>(p[2]) << 8 |
                              static_cast<std::uint32_t>(p[3]) << 16;
                    // The copy is one hop away and marked as a copy; anything
                    // else (a page of another table, a chain, a live row) is
                    // damage, not something to guess at.
                    if (!load(rowPage)) throw movedRowLost();
                    const unsigned there = entryCount(mdb_->pg_buf);
                    if (rowNumber >= there) throw movedRowLost();
                    span = spanOf(mdb_->pg_buf, there, rowNumber);
                    if ((span.flags & (kRowDeleted | kRowMoved)) != kRowDeleted || !span.valid ||
                        span.size == 0) {
                        throw movedRowLost();
                    }
                } else {
                    // libmdb skips empty entries the same way.
                    if (span.valid && span.size == 0) continue;
                    if (!span.valid) {
                        throw file_.damaged("a row of table " + quoted(table_->name) +
                                            " lies outside its page");
                    }
                    load(pg);  // a copy read before may have replaced it
                }
                const std::uint64_t key = static_cast<std::uint64_t>(rowPage) << 16 | rowNumber;
                if (!seen_.insert(key).second) {
                    throw file_.damaged("table " + quoted(table_->name) + " repeats its rows");
                }
                row(static_cast<int>(span.start), static_cast<std::size_t>(span.size));
            }
        }
    }

  private:
    struct Span {
        unsigned flags = 0, start = 0, size = 0;
        bool valid = false;
    };

    // The next data page of the table after `pg`, loaded; false at the end.
    // Like libmdb: pages of the usage map that are not this table's data
    // pages are passed over, and a map of unknown kind gives way to a walk
    // over every page. Page numbers only grow, so the walk ends.
    bool nextPage(std::uint32_t& pg) {
        for (;;) {
            std::uint64_t next = static_cast<std::uint64_t>(pg) + 1;
            if (!bruteForce_) {
                const gint32 found =
                    table_->usage_map && table_->map_sz > 0
                        ? mdb_map_find_next(mdb_, table_->usage_map,
                                            static_cast<unsigned>(table_->map_sz), pg)
                        : -1;
                if (found == 0) return false;
                if (found < 0) {
                    bruteForce_ = true;
                } else if (static_cast<std::uint32_t>(found) <= pg) {
                    throw file_.damaged("the page list of table " + quoted(table_->name) +
                                        " runs in a circle");
                } else {
                    next = static_cast<std::uint32_t>(found);
                }
            }
            // A page past the end ends the scan as in libmdb; the row count
            // of the table definition tells whether rows were lost.
            if (next >= file_.pageCount() || next > UINT32_MAX) return false;
            pg = static_cast<std::uint32_t>(next);
            if (load(pg)) return true;
        }
    }

    // Reads page `pg` into libmdb's page buffer: true when it is a data page
    // of this table.
    bool load(std::uint32_t pg) {
        if (pg == 0 || pg >= file_.pageCount()) return false;
        if (mdb_read_pg(mdb_, pg) != static_cast<ssize_t>(pageSize_)) {
            throw file_.damaged("page " + std::to_string(pg) + " cannot be read");
        }
        return mdb_->pg_buf[0] == MDB_PAGE_DATA &&
               le32(mdb_->pg_buf + 4) == static_cast<std::uint32_t>(table_->entry->table_pg);
    }

    unsigned entryCount(const unsigned char* page) const {
        const unsigned entries = le16(page + countAt_);
        if (countAt_ + 2 + 2 * static_cast<std::size_t>(entries) > pageSize_) {
            throw file_.damaged("a data page of table " + quoted(table_->name) +
                                " has more rows than room");
        }
        return entries;
    }

    // Entry n of a page: row n ends where row n - 1 begins, row 0 at the
    // end of the page.
    Span spanOf(const unsigned char* page, unsigned entries, unsigned n) const {
        const unsigned raw = le16(page + countAt_ + 2 + 2 * n);
        const unsigned end = n == 0 ? pageSize_ : le16(page + countAt_ + 2 * n) & kRowOffsetMask;
        Span s;
        s.flags = raw & (kRowDeleted | kRowMoved);
        s.start = raw & kRowOffsetMask;
        s.valid = s.start >= countAt_ + 2 + 2 * entries && s.start <= end && end <= pageSize_;
        s.size = s.valid ? end - s.start : 0;
        return s;
    }

    ChildError movedRowLost() const {
        return file_.damaged("a moved row of table " + quoted(table_->name) +
                             " points to a row that is not there");
    }

    JetFile& file_;
    MdbTableDef* table_;
    MdbHandle* mdb_;
    unsigned pageSize_;
    unsigned countAt_;
    std::vector<unsigned char> page_;
    bool bruteForce_ = false;
    // Each row is read once; a second pointer to the same copy is damage.
    std::unordered_set<std::uint64_t> seen_;
};

void childListTables(PipeWriter& out, const std::string& path) {
    JetFile file(path);
    const auto names = file.tableNames();
    out.tag(kTagNames);
    out.u32(static_cast<std::uint32_t>(names.size()));
    for (const auto& n : names) out.str(n);
}

void childListColumns(PipeWriter& out, const std::string& path, const std::string& tableName) {
    JetFile file(path);
    MdbTableDef* table = file.readTable(tableName);
    out.tag(kTagNames);
    out.u32(table->num_cols);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        out.str(validUtf8(JetFile::column(table, i)->name));
    }
}

void childReadTable(PipeWriter& out, const std::string& path, const std::string& tableName,
                    const std::vector<std::string>& wanted) {
    JetFile file(path);
    MdbTableDef* table = file.readTable(tableName);
    std::vector<unsigned> positions;
    for (const auto& name : wanted) {
        unsigned i = 0;
        while (i < table->num_cols && !equalsNoCase(JetFile::column(table, i)->name, name)) ++i;
        if (i == table->num_cols) {
            throw ChildError{"Table " + quoted(table->name) + " in " + quoted(path) +
                             " has no column " + quoted(name) + "."};
        }
        positions.push_back(i);
    }
    out.tag(kTagHeader);
    out.u32(static_cast<std::uint32_t>(positions.size()));
    out.i64(static_cast<std::int64_t>(table->num_rows));
    out.flush();

    std::vector<MdbField> fields(table->num_cols);
    std::size_t rowsRead = 0;
    TableScan(file, table).run([&](int start, std::size_t size) {
        ++rowsRead;
        // libmdb's bound text cannot tell NULL from "": the null mask of the
        // cracked row can, and each value is read from the page here.
        std::memset(fields.data(), 0, fields.size() * sizeof(MdbField));
        if (mdb_crack_row(table, start, size, fields.data()) < 0) {
            throw file.damaged("a row of table " + quoted(table->name) + " cannot be read");
        }
        out.beginRow();
        out.tag(kTagRow);
        for (unsigned pos : positions) {
            putValue(out, file, table, JetFile::column(table, pos), fields[pos]);
        }
        out.endRow();
        out.maybeFlush();
    });
    // A scan ends quietly at a page past the end of the file; the table's
    // own row count tells that rows were lost.
    if (rowsRead < table->num_rows) {
        throw file.damaged("table " + quoted(table->name) + " holds " +
                           std::to_string(table->num_rows) + " rows, only " +
                           std::to_string(rowsRead) + " of them could be read");
    }
    out.tag(kTagEnd);
}

// ---------------------------------------------------------------- program side

// Some damaged files make libmdb allocate in a loop; the reader is stopped
// long before that could hurt the machine.
constexpr long long kMaxReaderGrowth = 768ll << 20;

long long residentBytes(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
    std::FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    long long size = 0, resident = 0;
    const int got = std::fscanf(f, "%lld %lld", &size, &resident);
    std::fclose(f);
    return got == 2 ? resident * ::sysconf(_SC_PAGESIZE) : 0;
}

// The reading end of one child: typed reads that wait at most `stall` for
// more bytes, and that turn the child's death into a DbError.
class ChildStream {
  public:
    ChildStream(const std::string& path, std::chrono::milliseconds stall,
                const std::function<void(PipeWriter&)>& work)
        : path_(path), stall_(stall) {
        int fds[2];
        baseline_ = residentBytes(::getpid());
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw DbError("Could not read " + quoted(path) + ": " + SystemErrorText(errno));
        }
        pid_ = ::fork();
        if (pid_ < 0) {
            const int err = errno;
            ::close(fds[0]);
            ::close(fds[1]);
            throw DbError("Could not read " + quoted(path) + ": " + SystemErrorText(err));
        }
        if (pid_ == 0) {
            ::close(fds[0]);
            const int devnull = ::open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                ::dup2(devnull, STDOUT_FILENO);
                ::dup2(devnull, STDERR_FILENO);
            }
            PipeWriter out(fds[1]);
            try {
                work(out);
            } catch (const ChildError& e) {
                out.dropPartialRow();
                out.tag(kTagError);
                out.str(e.message);
            } catch (const std::exception& e) {
                out.dropPartialRow();
                out.tag(kTagError);
                out.str("Could not read " + quoted(path) + ": " + e.what());
            }
            out.flush();
            _exit(0);  // no destructors, no atexit handlers of the program
        }
        ::close(fds[1]);
        fd_ = fds[0];
    }

    ~ChildStream() { stop(); }
    ChildStream(const ChildStream&) = delete;
    ChildStream& operator=(const ChildStream&) = delete;

    char tag() { return static_cast<char>(u8()); }
    std::uint8_t u8() {
        std::uint8_t v;
        read(&v, 1);
        return v;
    }
    std::uint32_t u32() {
        std::uint32_t v;
        read(&v, sizeof v);
        return v;
    }
    std::int32_t i32() {
        std::int32_t v;
        read(&v, sizeof v);
        return v;
    }
    std::int64_t i64() {
        std::int64_t v;
        read(&v, sizeof v);
        return v;
    }
    double f64() {
        double v;
        read(&v, sizeof v);
        return v;
    }
    std::string str() {
        const std::uint32_t n = u32();
        if (n > kMaxTextBytes) protocolError();
        std::string s(n, '\0');
        if (n) read(s.data(), n);
        return s;
    }

    // The child said what went wrong: the program gets its description.
    [[noreturn]] void childFailed() {
        std::string message = str();
        stop();
        throw DbError(message);
    }

    [[noreturn]] void protocolError() {
        stop();
        throw DbError("The Jet database " + quoted(path_) + " is damaged: its reader failed.");
    }

    // End of the stream reached as agreed.
    void finish() { stop(); }

  private:
    void read(void* dest, std::size_t n) {
        auto* out = static_cast<char*>(dest);
        while (n > 0) {
            if (pos_ == len_) fill();
            const std::size_t take = std::min(n, len_ - pos_);
            std::memcpy(out, buf_ + pos_, take);
            pos_ += take;
            out += take;
            n -= take;
        }
    }

    void fill() {
        if (fd_ < 0) protocolError();
        const auto deadline = std::chrono::steady_clock::now() + stall_;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                stop();
                throw DbError("Reading the Jet database " + quoted(path_) +
                              " stopped making progress; the file is damaged.");
            }
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 200)));
            if (r < 0 && errno != EINTR) break;
            if (r == 0 && residentBytes(pid_) > baseline_ + kMaxReaderGrowth) {
                stop();
                throw DbError("The Jet database " + quoted(path_) +
                              " is damaged: reading it needed ever more memory.");
            }
            if (r <= 0) continue;
            const ssize_t n = ::read(fd_, buf_, sizeof buf_);
            if (n > 0) {
                pos_ = 0;
                len_ = static_cast<std::size_t>(n);
                return;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            break;  // end of file: the child is gone
        }
        int status = 0;
        const pid_t pid = pid_;
        ::close(fd_);
        fd_ = -1;
        pid_ = -1;
        ::waitpid(pid, &status, 0);
        std::string how = "its reader ended early";
        if (WIFSIGNALED(status)) {
            how = "its reader crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
        }
        throw DbError("The Jet database " + quoted(path_) + " is damaged: " + how + ".");
    }

    void stop() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
    }

    std::string path_;
    std::chrono::milliseconds stall_;
    pid_t pid_ = -1;
    int fd_ = -1;
    long long baseline_ = 0;
    char buf_[64 * 1024];
    std::size_t pos_ = 0, len_ = 0;
};

std::vector<std::string> readNames(ChildStream& in) {
    const char t = in.tag();
    if (t == kTagError) in.childFailed();
    if (t != kTagNames) in.protocolError();
    const std::uint32_t n = in.u32();
    if (n > 1u << 20) in.protocolError();
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < n; ++i) names.push_back(in.str());
    in.finish();
    return names;
}

class JetCursor : public TableCursor {
  public:
    JetCursor(std::unique_ptr<ChildStream> in, std::size_t columns, std::int64_t rows)
        : in_(std::move(in)), row_(columns), rows_(rows) {}

    bool next() override {
        if (done_) return false;
        const char t = in_->tag();
        if (t == kTagEnd) {
            done_ = true;
            in_->finish();
            return false;
        }
        if (t == kTagError) in_->childFailed();
        if (t != kTagRow) in_->protocolError();
        for (auto& v : row_) readValue(v);
        return true;
    }

    std::size_t columnCount() const override { return row_.size(); }
    std::int64_t rowCount() const override { return rows_; }

    const Value& at(std::size_t column) const override {
        if (column >= row_.size()) {
            throw DbError("Column " + std::to_string(column) + " was not asked for.");
        }
        return row_[column];
    }

  private:
    void readValue(Value& v) {
        switch (in_->u8()) {
            case 0:
                v = Value::null();
                return;
            case 1:
                v = Value::ofInteger(in_->i64());
                return;
            case 2:
                v = Value::ofReal(in_->f64());
                return;
            case 3:
                v = Value::ofText(in_->str());
                return;
            case 4: {
                const int y = in_->i32();
                const int m = in_->i32();
                const int d = in_->i32();
                const int seconds = in_->i32();
                v = Value::ofDate(y, m, d);
                // The time of day is kept as HH:MM:SS beside the date.
                char time[16];
                std::snprintf(time, sizeof time, "%02d:%02d:%02d", seconds / 3600 % 24,
                              seconds / 60 % 60, seconds % 60);
                v.text = time;
                return;
            }
            case 5:
                v = Value::ofBoolean(in_->u8() != 0);
                return;
            default:
                in_->protocolError();
        }
    }

    std::unique_ptr<ChildStream> in_;
    std::vector<Value> row_;
    std::int64_t rows_ = 0;
    bool done_ = false;
};

class JetDatabase : public Database {
  public:
    JetDatabase(std::string path, std::chrono::milliseconds stall)
        : path_(std::move(path)), stall_(stall) {
        ChildStream in(path_, stall_, [this](PipeWriter& out) { childListTables(out, path_); });
        tables_ = readNames(in);
    }

    std::vector<std::string> tableNames() override { return tables_; }

    std::vector<std::string> columnNames(const std::string& table) override {
        ChildStream in(path_, stall_,
                       [this, &table](PipeWriter& out) { childListColumns(out, path_, table); });
        return readNames(in);
    }

    std::unique_ptr<TableCursor> openTable(const std::string& table,
                                           const std::vector<std::string>& columns) override {
        auto in =
            std::make_unique<ChildStream>(path_, stall_, [this, &table, &columns](PipeWriter& out) {
                childReadTable(out, path_, table, columns);
            });
        const char t = in->tag();
        if (t == kTagError) in->childFailed();
        if (t != kTagHeader || in->u32() != columns.size()) in->protocolError();
        const std::int64_t rows = in->i64();
        if (rows < 0) in->protocolError();
        return std::make_unique<JetCursor>(std::move(in), columns.size(), rows);
    }

  private:
    std::string path_;
    std::chrono::milliseconds stall_;
    std::vector<std::string> tables_;
};

}  // namespace

std::chrono::milliseconds JetStallTimeout() {
    return std::chrono::milliseconds(defaultStallMs.load());
}

void SetJetStallTimeout(std::chrono::milliseconds timeout) {
    defaultStallMs.store(timeout.count() > 0 ? timeout.count() : 0);
}

std::unique_ptr<Database> openJetDatabase(const std::string& path) {
    return openJetDatabase(path, JetStallTimeout());
}

std::unique_ptr<Database> openJetDatabase(const std::string& path,
                                          std::chrono::milliseconds stall) {
    switch (detectDatabaseKind(path)) {
        case DbKind::Jet:
            break;
        case DbKind::Missing:
            throw DbError("Could not find file " + quoted(path) + ".");
        case DbKind::DbaseFolder:
            throw DbError(quoted(path) + " is a folder, not a Jet database.");
        default:
            if (::access(path.c_str(), R_OK) != 0) {
                throw DbError("Could not open " + quoted(path) + ": " + SystemErrorText(errno));
            }
            throw DbError(quoted(path) + " is not a Jet database.");
    }
    if (::access(path.c_str(), R_OK) != 0) {
        throw DbError("Could not open " + quoted(path) + ": " + SystemErrorText(errno));
    }
    return std::make_unique<JetDatabase>(path, stall);
}

}  // namespace tvx
