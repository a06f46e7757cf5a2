#include "db/target.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <functional>

#include "util/file.h"

namespace tvx {

namespace {

// A commit writes every page the batch touched into the log again, and an
// index of a large target is touched all over: so a batch is closed by time,
// and its count of rows only bounds the memory it holds (its pages stay in
// the cache until the commit, and its copy for a replay). Small first
// batches make a short import durable early and find a full disk before
// much is held.
constexpr auto kBatchTime = std::chrono::milliseconds(500);
// During a run: a page cache that holds the call index of a large target,
// and a write-ahead log that is copied back into the file seldom (each copy
// is an fsync and rewrites pages the next batches touch again). Both are
// settings of this connection only.
constexpr const char* kRunCacheSize = "PRAGMA cache_size=-16384";  // KiB
constexpr const char* kRunCheckpointPages = "PRAGMA wal_autocheckpoint=8192";

// A Jet file is written through the Jet target (MakeImportTarget picks it).
const char* const kJetTargetMessage =
    "The file is a Jet database (.mdb): it is written as the host program's database, not as a "
    "SQLite target.";

bool sameName(const std::string& a, const char* b) {
    return sqlite3_stricmp(a.c_str(), b) == 0;
}

// Opens the target file as SQLite; Jet files and anything else that cannot
// be a target are refused with a message that says why.
std::unique_ptr<SqliteDb> openTarget(const std::string& path, SqliteDb::Mode mode) {
    const std::string shown = path.empty() ? "Unknown Path" : path;
    FileCheck check;
    switch (detectDatabaseKind(shown, &check)) {
        case DbKind::Jet:
            throw DbError(kJetTargetMessage);
        case DbKind::Missing:
        case DbKind::NotAFile:
            throw DbError(FileProblem(shown, check));
        case DbKind::DbaseFolder:
            throw DbError("'" + shown + "' is a folder, not a SQLite target database.");
        case DbKind::Sqlite:
        case DbKind::Unknown:  // an empty file is an empty SQLite database
            break;
    }
    return std::make_unique<SqliteDb>(shown, mode);
}

// Fails with a message naming the first column of `columns` that the table lacks.
void requireColumns(SqliteDb& db, const char* table, const std::vector<ColumnDef>& columns) {
    const std::vector<std::string> stored = db.tableColumns(table);
    if (stored.empty()) {
        throw DbError("The table [" + std::string(table) + "] does not exist in '" + db.path() +
                      "'.");
    }
    for (const ColumnDef& c : columns) {
        bool found = false;
        for (const std::string& s : stored) found = found || sameName(s, c.name);
        if (!found) {
            throw DbError("The table [" + std::string(table) + "] of '" + db.path() +
                          "' has no column [" + c.name + "].");
        }
    }
}

// The set columns of `mask`, in column order.
template <typename Each>
void forEachColumn(std::uint64_t mask, Each each) {
    for (; mask != 0; mask &= mask - 1) each(static_cast<QsoCol>(std::countr_zero(mask)));
}

// Binds the set cells of a row, in column order, from parameter 1 on; returns
// the next free parameter. Texts are bound without a copy: the row outlives
// the step, and every parameter is bound again for the next row, so the
// bindings need no clearing either.
int bindRow(SqliteStatement& st, const QsoRow& row) {
    int parameter = 1;
    forEachColumn(row.columns(), [&](QsoCol col) {
        const QsoRow::Cell& cell = row.cell(col);
        if (cell.isNull) {
            st.bindNull(parameter);
        } else if (cell.isLong) {
            st.bindInt(parameter, cell.number);
        } else {
            st.bindTextStatic(parameter, cell.text);
        }
        ++parameter;
    });
    return parameter;
}

std::string columnName(int c) {
    return bracket(qsoColumns()[static_cast<std::size_t>(c)].name);
}

}  // namespace

// ---- QsoRow

void QsoRow::setText(QsoCol col, std::string_view value) {
    Cell& cell = cells_[col];
    set_ |= std::uint64_t{1} << col;
    cell.isNull = false;
    cell.isLong = false;
    cell.number = 0;
    cell.text.assign(value);
}

void QsoRow::setNull(QsoCol col) {
    Cell& cell = cells_[col];
    set_ |= std::uint64_t{1} << col;
    cell.isNull = true;
    cell.isLong = false;
    cell.number = 0;
    cell.text.clear();
}

void QsoRow::setLong(QsoCol col, std::int64_t value) {
    Cell& cell = cells_[col];
    set_ |= std::uint64_t{1} << col;
    cell.isNull = false;
    cell.isLong = true;
    cell.number = value;
    cell.text.clear();
}

void QsoRow::setTextOrNull(QsoCol col, std::string_view value) {
    if (value.empty()) {
        setNull(col);
    } else {
        setText(col, value);
    }
}

// ---- CImportSet

namespace {

std::string pragmaText(SqliteDb& db, const char* sql) {
    SqliteStatement st = db.prepare(sql);
    return st.step() ? st.columnText(0) : std::string();
}

void runOnce(SqliteStatement& st) {
    st.reset();
    st.step();
    st.reset();
}

// A hash of the five parts of a contact's key, each with its length.
std::uint64_t keyHash(const std::string_view (&parts)[5]) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::string_view part : parts) {
        h = (h ^ std::hash<std::string_view>{}(part)) * 0x100000001b3ULL;
        h = (h ^ part.size()) * 0x9e3779b97f4a7c15ULL;
    }
    return h;
}

// The key columns of a row as text, from column `first` on; false when one
// is NULL (NULL equals nothing).
bool storedKey(sqlite3_stmt* st, int first, std::string_view (&parts)[5]) {
    for (int i = 0; i < 5; ++i) {
        if (sqlite3_column_type(st, first + i) == SQLITE_NULL) return false;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, first + i));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(st, first + i));
        parts[i] = size ? std::string_view(text, size) : std::string_view();
    }
    return true;
}

}  // namespace

std::uint64_t QsoKeyHash(const QsoKey& key) {
    const std::string_view parts[5] = {key.call, key.date, key.time, key.mode, key.band};
    return keyHash(parts);
}

CImportSet::~CImportSet() {
    try {
        Close();
    } catch (const DbError&) {
        // Nobody is left to tell; Close() already reports to callers that ask.
    }
}

std::unique_ptr<SqliteDb> OpenTargetForReading(const std::string& targetPath) {
    auto db = openTarget(targetPath, SqliteDb::Mode::ReadOnly);
    requireColumns(*db, "QSO-TAB", qsoColumns());
    return db;
}

void CImportSet::Open(const std::string& targetPath) {
    Close();
    auto db = openTarget(targetPath, SqliteDb::Mode::ReadWrite);
    // SQLite quietly opens a write-protected file read-only; every row would
    // then fail on its own, so refuse the file once, here.
    if (sqlite3_db_readonly(db->handle(), "main") == 1) {
        throw DbError("The target database '" + db->path() + "' is read-only.");
    }
    requireColumns(*db, "QSO-TAB", qsoColumns());
    {
        SqliteStatement kind =
            db->prepare("SELECT type FROM sqlite_master WHERE name = 'QSO-TAB' COLLATE NOCASE");
        if (kind.step() && kind.columnText(0) != "table") {
            throw DbError("[QSO-TAB] of '" + db->path() + "' is a " + kind.columnText(0) +
                          ", not a table: rows cannot be added to it.");
        }
    }
    // A write-ahead log lets a commit append instead of rewriting pages
    // through a rollback journal, and keeps the statistics reader apart from
    // the writer; a killed import still leaves whole transactions only. The
    // file gets its own journal mode back when the import closes it.
    journalChanged_ = false;
    if (pragmaText(*db, "PRAGMA journal_mode") != "wal") {
        try {
            journalChanged_ = pragmaText(*db, "PRAGMA journal_mode=WAL") == "wal";
        } catch (const DbError&) {
            // Another program holds the file: keep its journal mode; the
            // writes then wait for that program as they always would.
            journalChanged_ = false;
        }
    }
    // With a rollback journal, pages that leave the cache in the middle of a
    // batch go into the file and lock readers of it (the statistics table)
    // out until the commit: the batch stays in memory. A write-ahead log
    // takes them without locking anyone out, so the cache, not the batch,
    // bounds the memory.
    db->exec(pragmaText(*db, "PRAGMA journal_mode") == "wal" ? "PRAGMA cache_spill = ON"
                                                             : "PRAGMA cache_spill = OFF");
    db->exec("PRAGMA synchronous=NORMAL");
    db->exec(kRunCacheSize);
    db->exec(kRunCheckpointPages);
    {
        SqliteStatement triggers = db->prepare(
            "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
            "tbl_name = 'QSO-TAB' COLLATE NOCASE");
        triggers.step();
        // Foreign keys that cascade act like triggers.
        rowSavepoints_ = triggers.columnInt(0) > 0 || pragmaText(*db, "PRAGMA foreign_keys") == "1";
    }
    savepoint_ = db->prepare("SAVEPOINT qso_row");
    release_ = db->prepare("RELEASE qso_row");
    rollbackTo_ = db->prepare("ROLLBACK TO qso_row");
    db_ = std::move(db);
    path_ = targetPath;
    batchRows_ = kFirstBatchRows;
}

void CImportSet::Close() {
    if (!db_) return;
    std::optional<DbError> failure;
    try {
        Commit();
    } catch (const DbError& e) {
        failure = e;
    }
    inserts_.clear();
    updates_.clear();
    savepoint_ = {};
    release_ = {};
    rollbackTo_ = {};
    if (!journalChanged_ && !failure) {
        // Leave a short log behind: copy it into the file now and empty it.
        // Another program reading the file is not waited for: the log is
        // then copied by whoever writes next. (Going back to the file's own
        // journal mode below does the same.)
        sqlite3_busy_timeout(db_->handle(), 0);
        sqlite3_wal_checkpoint_v2(db_->handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                  nullptr);
    }
    if (journalChanged_ && !failure) {
        try {
            db_->exec("PRAGMA journal_mode=DELETE");
        } catch (const DbError&) {
            // Another connection still reads the file; it stays in WAL mode,
            // which every SQLite reader understands.
        }
    }
    journalChanged_ = false;
    for (SqliteStatement& st : readText_) st = {};
    index_.reset();
    readKey_ = {};
    matchedConfirm_.reset();
    batch_.clear();
    batchValues_.clear();
    inTransaction_ = false;
    db_.reset();  // rolls back whatever could not be committed
    if (failure) throw *failure;
}

namespace {

// Result codes that concern the file or its storage, not the row's values.
bool isTargetWide(int code) {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_READONLY:
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_PERM:
        case SQLITE_NOMEM:
        case SQLITE_PROTOCOL:
        case SQLITE_NOLFS:
        case SQLITE_AUTH:
            return true;
        default:
            return false;
    }
}

// Runs one write; an error of the whole target comes out as DbTargetError.
template <typename Write>
auto classified(Write write) {
    try {
        return write();
    } catch (const DbTargetError&) {
        throw;
    } catch (const DbError& e) {
        if (isTargetWide(e.code())) throw DbTargetError(e.what(), e.code());
        throw;
    }
}

}  // namespace

void CImportSet::beginBatchIfNeeded() {
    if (inTransaction_) return;
    classified([&] { db_->exec("BEGIN"); });
    inTransaction_ = true;
    batch_.clear();
    batchValues_.clear();
    batchStart_ = std::chrono::steady_clock::now();
}

void CImportSet::maybeCommit() {
    // steady_clock::now() is a vDSO read of a few nanoseconds: cheap per row.
    if (inTransaction_ && (batch_.size() >= batchRows_ ||
                           std::chrono::steady_clock::now() - batchStart_ >= kBatchTime)) {
        Commit();
    }
}

void CImportSet::Commit() {
    matchedConfirm_.reset();
    if (!db_ || !inTransaction_) return;
    try {
        db_->exec("COMMIT");
    } catch (const DbError&) {
        // One more try: a lock may have gone, or the engine gave the
        // transaction up and the batch is written again. Never more, so a
        // failing target cannot make every later row replay the batch.
        try {
            if (sqlite3_get_autocommit(db_->handle())) {
                inTransaction_ = false;
                replayBatch();
            }
            db_->exec("COMMIT");
        } catch (const DbError& again) {
            loseBatch(again);
        }
    }
    batchRows_ = std::min(2 * batchRows_, kMaxBatchRows);
    inTransaction_ = false;
    batch_.clear();
    batchValues_.clear();
}

void CImportSet::loseBatch(const DbError& cause) {
    if (!sqlite3_get_autocommit(db_->handle())) {
        try {
            db_->exec("ROLLBACK");
        } catch (const DbError&) {
            // Closing the connection rolls back all the same.
        }
    }
    inTransaction_ = false;
    index_.reset();  // it may name rows that are gone
    std::vector<QsoRow> lost;
    lost.reserve(batch_.size());
    for (const PendingWrite& w : batch_) {
        lost.push_back(kept(w));
        if (w.isUpdate) completeLostUpdate(lost.back(), w.rowId);
    }
    batch_.clear();
    batchValues_.clear();
    throw DbCommitError(cause.what(), cause.code(), std::move(lost));
}

void CImportSet::completeLostUpdate(QsoRow& row, std::int64_t rowId) {
    // An update keeps only the columns it changed: the lost line names the
    // contact it was to change, added earlier in the batch or stored before.
    for (const PendingWrite& w : batch_) {
        if (w.isUpdate || w.rowId != rowId) continue;
        const QsoRow added = kept(w);
        for (QsoCol col : kQsoNamingColumns) {
            if (row.isSet(col) || !added.isSet(col)) continue;
            const QsoRow::Cell& cell = added.cell(col);
            if (cell.isNull) {
                row.setNull(col);
            } else if (cell.isLong) {
                row.setLong(col, cell.number);
            } else {
                row.setText(col, cell.text);
            }
        }
        return;
    }
    try {
        SqliteStatement st = db_->prepare(
            "SELECT [QSO-CALL],[QSO-DATE],[QSO-TIME],[QSO-FREQ],[QSO-BAND],[QSO-MODE] "
            "FROM [QSO-TAB] WHERE rowid=?1");
        st.bindInt(1, rowId);
        if (!st.step()) return;
        for (int i = 0; i < static_cast<int>(std::size(kQsoNamingColumns)); ++i) {
            if (!row.isSet(kQsoNamingColumns[i]) && !st.columnIsNull(i))
                row.setText(kQsoNamingColumns[i], st.columnText(i));
        }
    } catch (const DbError&) {
        // A target that cannot even be read: the line names what it can.
    }
}

SqliteStatement& CImportSet::statementFor(ShapeCache& cache, std::uint64_t mask, bool isUpdate) {
    if (auto it = cache.find(mask); it != cache.end()) return it->second;
    // Few shapes occur in a run; a source that makes many would only make
    // the cache grow, so it starts over.
    constexpr std::size_t kMaxShapes = 256;
    if (cache.size() >= kMaxShapes) cache.clear();
    std::string columns, values, sets;
    int parameter = 1;
    for (int c = 0; c < kQsoColumnCount; ++c) {
        if (!(mask & (std::uint64_t{1} << c))) continue;
        const std::string number = "?" + std::to_string(parameter);
        if (parameter++ > 1) {
            columns += ",";
            values += ",";
            sets += ",";
        }
        columns += columnName(c);
        values += number;
        sets += columnName(c) + "=" + number;
    }
    std::string sql;
    if (isUpdate) {
        sql = "UPDATE [QSO-TAB] SET " + sets + " WHERE rowid=?" + std::to_string(parameter);
    } else if (mask) {
        sql = "INSERT INTO [QSO-TAB] (" + columns + ") VALUES (" + values + ")";
    } else {
        sql = "INSERT INTO [QSO-TAB] DEFAULT VALUES";
    }
    try {
        return cache.emplace(mask, db_->prepare(sql)).first->second;
    } catch (const DbError& e) {
        // The statement depends on the table alone: no row could be written.
        throw DbTargetError(e.what(), e.code());
    }
}

std::int64_t CImportSet::insertRow(const QsoRow& row) {
    SqliteStatement& insert = statementFor(inserts_, row.columns(), false);
    insert.reset();
    bindRow(insert, row);
    insert.step();
    insert.reset();
    if (sqlite3_changes(db_->handle()) == 0) {
        // A trigger of the target chose to ignore the row.
        throw DbError("The target database did not store the row.");
    }
    return db_->lastInsertRowId();
}

void CImportSet::updateRow(std::int64_t rowId, const QsoRow& row) {
    const std::uint64_t mask = row.columns();
    if (mask == 0) return;
    SqliteStatement& update = statementFor(updates_, mask, true);
    update.reset();
    const int idParameter = bindRow(update, row);
    update.bindInt(idParameter, rowId);
    update.step();
    update.reset();
    if (sqlite3_changes(db_->handle()) == 0) {
        throw DbError("There is no row " + std::to_string(rowId) + " in [QSO-TAB].");
    }
}

template <typename Write>
void CImportSet::writeRow(Write write) {
    if (rowSavepoints_) classified([&] { runOnce(savepoint_); });
    try {
        classified(write);
        if (rowSavepoints_) classified([&] { runOnce(release_); });
    } catch (const DbError&) {
        if (!sqlite3_get_autocommit(db_->handle())) {
            // Without a savepoint the engine has already undone the statement.
            if (rowSavepoints_) {
                try {
                    runOnce(rollbackTo_);
                    runOnce(release_);
                } catch (const DbError& e) {
                    loseBatch(e);
                }
            }
        } else {
            // The engine gave up the whole transaction (a trigger's ROLLBACK,
            // a full disk): write the batch again, once.
            inTransaction_ = false;
            try {
                replayBatch();
            } catch (const DbError& e) {
                loseBatch(e);
            }
            // Made durable at once, so that each failing row of a target
            // that refuses many rewrites only the rows written since the
            // previous one, not a whole growing batch.
            Commit();
        }
        throw;
    }
}

void CImportSet::keep(bool isUpdate, std::int64_t rowId, const QsoRow& row) {
    PendingWrite w{isUpdate, rowId, row.columns(), 0, 0, batchValues_.size()};
    forEachColumn(row.columns(), [&](QsoCol col) {
        const QsoRow::Cell& cell = row.cell(col);
        const std::uint64_t bit = std::uint64_t{1} << col;
        if (cell.isNull) {
            w.nulls |= bit;
        } else if (cell.isLong) {
            w.longs |= bit;
            batchValues_.append(reinterpret_cast<const char*>(&cell.number), sizeof cell.number);
        } else {
            const std::uint32_t size = static_cast<std::uint32_t>(cell.text.size());
            batchValues_.append(reinterpret_cast<const char*>(&size), sizeof size);
            batchValues_.append(cell.text);
        }
    });
    batch_.push_back(w);
}

QsoRow CImportSet::kept(const PendingWrite& w) const {
    QsoRow row;
    const char* at = batchValues_.data() + w.offset;
    for (int c = 0; c < kQsoColumnCount; ++c) {
        const std::uint64_t bit = std::uint64_t{1} << c;
        const QsoCol col = static_cast<QsoCol>(c);
        if (!(w.set & bit)) continue;
        if (w.nulls & bit) {
            row.setNull(col);
        } else if (w.longs & bit) {
            std::int64_t number = 0;
            std::memcpy(&number, at, sizeof number);
            at += sizeof number;
            row.setLong(col, number);
        } else {
            std::uint32_t size = 0;
            std::memcpy(&size, at, sizeof size);
            at += sizeof size;
            row.setText(col, std::string(at, size));
            at += size;
        }
    }
    return row;
}

void CImportSet::replayBatch() {
    // The kept values stay where they are; only the list of writes is built anew.
    std::vector<PendingWrite> writes = std::move(batch_);
    batch_.clear();
    db_->exec("BEGIN");
    inTransaction_ = true;  // the batch keeps its clock
    for (std::size_t i = 0; i < writes.size(); ++i) {
        PendingWrite& w = writes[i];
        try {
            const QsoRow row = kept(w);
            if (w.isUpdate) {
                updateRow(w.rowId, row);
            } else if (insertRow(row) != w.rowId) {
                index_.reset();  // numbers moved: index again on the next search
                w.rowId = db_->lastInsertRowId();
            }
        } catch (const DbError&) {
            // Keep every row of the batch in it, so the loss names them all.
            batch_.insert(batch_.end(), writes.begin() + static_cast<std::ptrdiff_t>(i),
                          writes.end());
            throw;
        }
        batch_.push_back(w);
    }
}

std::int64_t CImportSet::AddNew(const QsoRow& row) {
    if (!db_) throw DbError("The target database is not open.");
    // Commit before the next row, never after it: a commit that fails then
    // concerns rows that were already counted, not the one in hand.
    matchedConfirm_.reset();
    maybeCommit();
    beginBatchIfNeeded();
    std::int64_t rowId = 0;
    writeRow([&] { rowId = insertRow(row); });
    keep(false, rowId, row);
    if (index_) {
        std::string_view parts[5];
        bool complete = true;
        for (int i = 0; i < 5 && complete; ++i) {
            const QsoRow::Cell& cell = row.cell(kQsoKeyColumns[i]);
            // The key columns are text: a number would be stored as its text.
            complete = row.isSet(kQsoKeyColumns[i]) && !cell.isNull && !cell.isLong;
            if (complete) parts[i] = cell.text;
        }
        if (complete) {
            index_->written.emplace(keyHash(parts), rowId);
        } else {
            indexStoredKey(rowId);
        }
    }
    return rowId;
}

bool CImportSet::readStoredKey(std::int64_t rowId, std::string_view (&parts)[5]) {
    if (!readKey_.handle()) {
        readKey_ = db_->prepare(
            "SELECT [QSO-CALL],[QSO-DATE],[QSO-TIME],[QSO-MODE],[QSO-BAND],[QSO-CONFIRM] "
            "FROM [QSO-TAB] WHERE rowid=?1");
    }
    readKey_.reset();
    readKey_.bindInt(1, rowId);
    return readKey_.step() && storedKey(readKey_.handle(), 0, parts);
}

bool CImportSet::keyMatches(std::int64_t rowId, const QsoKey& key) {
    std::string_view parts[5];
    const bool matches = readStoredKey(rowId, parts) && parts[0] == key.call &&
                         parts[1] == key.date && parts[2] == key.time && parts[3] == key.mode &&
                         parts[4] == key.band;
    if (matches) {
        // A confirmation reads this next: keep it rather than search again.
        matchedConfirm_ = {rowId, readKey_.columnText(5)};
    }
    readKey_.reset();
    return matches;
}

void CImportSet::indexStoredKey(std::int64_t rowId) {
    std::string_view parts[5];
    if (readStoredKey(rowId, parts)) index_->written.emplace(keyHash(parts), rowId);
    readKey_.reset();
}

void CImportSet::Update(std::int64_t rowId, const QsoRow& row) {
    if (!db_) throw DbError("The target database is not open.");
    bool keyChanges = false;
    for (QsoCol c : kQsoKeyColumns) keyChanges = keyChanges || row.isSet(c);
    matchedConfirm_.reset();
    maybeCommit();
    beginBatchIfNeeded();
    writeRow([&] { updateRow(rowId, row); });
    keep(true, rowId, row);
    if (index_ && keyChanges) indexStoredKey(rowId);
}

std::string CImportSet::ReadText(std::int64_t rowId, QsoCol col) {
    if (!db_) throw DbError("The target database is not open.");
    if (col == kQsoConfirm && matchedConfirm_ && matchedConfirm_->first == rowId) {
        return matchedConfirm_->second;
    }
    SqliteStatement& st = readText_[col];
    if (!st.handle())
        st = db_->prepare("SELECT " + columnName(col) + " FROM [QSO-TAB] WHERE rowid=?1");
    st.reset();
    st.bindInt(1, rowId);
    const bool found = st.step();
    std::string text = found ? st.columnText(0) : std::string();
    st.reset();
    if (!found) throw DbError("There is no row " + std::to_string(rowId) + " in [QSO-TAB].");
    return text;
}

std::optional<std::int64_t> CImportSet::FindContact(const QsoKey& key) {
    if (!db_) throw DbError("The target database is not open.");
    if (!index_) {
        auto index = std::make_unique<KeyIndex>();
        // Sized by the rows, never by the largest row id (ids may be sparse).
        SqliteStatement size = db_->prepare("SELECT count(*) FROM [QSO-TAB]");
        if (size.step()) {
            index->read.reserve(
                static_cast<std::size_t>(std::max<std::int64_t>(0, size.columnInt(0))));
        }
        SqliteStatement st = db_->prepare(
            "SELECT rowid,[QSO-CALL],[QSO-DATE],[QSO-TIME],[QSO-MODE],[QSO-BAND] "
            "FROM [QSO-TAB]");
        std::string_view parts[5];
        while (st.step()) {
            if (storedKey(st.handle(), 1, parts)) {
                index->read.emplace_back(keyHash(parts), st.columnInt(0));
            }
        }
        std::sort(index->read.begin(), index->read.end());
        index_ = std::move(index);
    }
    // Several rows may match: the oldest one is the contact.
    const std::uint64_t hash = QsoKeyHash(key);
    std::optional<std::int64_t> found;
    const auto consider = [&](std::int64_t rowId) {
        if ((!found || rowId < *found) && keyMatches(rowId, key)) found = rowId;
    };
    auto it = std::lower_bound(index_->read.begin(), index_->read.end(),
                               std::pair<std::uint64_t, std::int64_t>(hash, INT64_MIN));
    for (; it != index_->read.end() && it->first == hash; ++it) consider(it->second);
    if (!index_->written.empty()) {
        auto [first, last] = index_->written.equal_range(hash);
        for (auto w = first; w != last; ++w) consider(w->second);
    }
    return found;
}

void CImportSet::DropIndex() {
    index_.reset();
}

// ---- CDxccSet

void CDxccSet::Open(const std::string& targetPath) {
    Close();
    auto db = openTarget(targetPath, SqliteDb::Mode::ReadOnly);
    // Columns by name, so their order in the file does not matter.
    std::string sql = "SELECT ";
    const std::vector<std::string>& columns = dxccColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) sql += ",";
        sql += bracket(columns[i]);
    }
    sql += " FROM [DXCCTAB] WHERE [PREFIX]=?1 ORDER BY rowid LIMIT 1";
    select_ = db->prepare(sql);
    db_ = std::move(db);
}

void CDxccSet::Close() {
    select_ = {};
    db_.reset();
    cache_.clear();
}

const std::vector<std::string>* CDxccSet::Row(const std::string& prefix) {
    if (auto it = cache_.find(prefix); it != cache_.end()) return it->second.get();
    if (!db_) throw DbError("The statistics table is not open.");
    select_.reset();
    select_.bindText(1, prefix);
    std::unique_ptr<std::vector<std::string>> row;
    if (select_.step()) {
        row = std::make_unique<std::vector<std::string>>();
        const int count = select_.columnCount();
        row->reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) row->push_back(select_.columnText(i));
    }
    select_.reset();  // frees the read lock on the target between lookups
    const std::vector<std::string>* result = row.get();
    cache_.emplace(prefix, std::move(row));
    return result;
}

}  // namespace tvx
