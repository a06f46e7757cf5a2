#pragma once
// The target QSO database as the import sees it: [QSO-TAB] and
// the statistics table [DXCCTAB].

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/schema.h"
#include "db/sqlite.h"

namespace tvx {

// One row of [QSO-TAB] to append or to change. A column that is not set is
// left alone (on insert: left to the database's default, NULL).
class QsoRow {
  public:
    // Texts are copied into the room the cell already has: a row used again
    // for the next contact allocates nothing.
    void setText(QsoCol col, std::string_view value);
    void setNull(QsoCol col);
    void setLong(QsoCol col, std::int64_t value);
    // Text when non-empty, NULL when empty.
    void setTextOrNull(QsoCol col, std::string_view value);
    // Every column not set again, the room of the texts kept.
    void clear() { set_ = 0; }

    // The set columns, a bit per QsoCol.
    std::uint64_t columns() const { return set_; }
    bool isSet(QsoCol col) const { return (set_ >> col) & 1; }

    // A cell's value; meaningful only when its column is set.
    struct Cell {
        bool isNull = false;
        bool isLong = false;
        std::int64_t number = 0;
        std::string text;
    };
    const Cell& cell(QsoCol col) const { return cells_[col]; }

  private:
    static_assert(kQsoColumnCount <= 64);
    std::uint64_t set_ = 0;
    Cell cells_[kQsoColumnCount];
};

// Key of a contact for the duplicate search of confirmations.
struct QsoKey {
    std::string call, date, time, mode, band;
    bool operator==(const QsoKey&) const = default;
};
// A hash of the five parts of a key, for the targets' search indexes.
std::uint64_t QsoKeyHash(const QsoKey& key);
// The columns of those parts.
inline constexpr QsoCol kQsoKeyColumns[] = {kQsoCall, kQsoDate, kQsoTime, kQsoMode, kQsoBand};
// The columns that name a contact no target could save, in the line that
// reports it.
inline constexpr QsoCol kQsoNamingColumns[] = {kQsoCall, kQsoDate, kQsoTime,
                                               kQsoFreq, kQsoBand, kQsoMode};

// A failure of the whole target rather than of one row (a full disk, a
// read-only file or folder, a lock another program holds, a damaged file, a
// table that takes no inserts): every later row would fail alike.
class DbTargetError : public DbError {
  public:
    using DbError::DbError;
};

// The open batch could not be committed, even written again once: its rows
// are not in the target.
class DbCommitError : public DbTargetError {
  public:
    DbCommitError(const std::string& what, int code, std::vector<QsoRow> lost)
        : DbTargetError(what, code), lost_(std::move(lost)) {}
    // The rows of the batch, in the order they were written.
    const std::vector<QsoRow>& lost() const { return lost_; }

  private:
    std::vector<QsoRow> lost_;
};

// Where imported contacts go. The import engine writes through this alone,
// so another kind of target needs no change to the engine or the readers.
// A row that fails alone throws DbError and leaves nothing of itself behind;
// a failure of the whole target throws DbTargetError, and rows lost for good
// at a commit DbCommitError.
class ContactTarget {
  public:
    virtual ~ContactTarget() = default;
    // Appends one contact; returns its row id.
    virtual std::int64_t AddNew(const QsoRow& row) = 0;
    // The row of a contact already in the target (a confirmation's match).
    virtual std::optional<std::int64_t> FindContact(const QsoKey& key) = 0;
    // One text column of a row, NULL as empty.
    virtual std::string ReadText(std::int64_t rowId, QsoCol col) = 0;
    // Changes the set columns of a row.
    virtual void Update(std::int64_t rowId, const QsoRow& row) = 0;
    // Makes every row written so far durable.
    virtual void Commit() = 0;
    // The run is over: what was built to speed up its lookups may go.
    virtual void EndRun() = 0;
};

// A target that the session opens at start-up and closes at the end: the
// SQLite target or the host program's Jet database.
class ImportTarget : public ContactTarget {
  public:
    virtual void Open(const std::string& targetPath) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;  // commits what is pending
    // The kind of database, as the form names it.
    virtual std::string KindName() const = 0;
    // Why a run could not write the target now (checked at Begin Import);
    // empty when it can.
    virtual std::string ReasonNotWritable() const { return {}; }
    // What opening the target had to tell the user once (empty: nothing).
    virtual std::string TakeNotice() { return {}; }
};

// An unopened target of the kind the file is (a Jet file, else SQLite).
std::unique_ptr<ImportTarget> MakeImportTarget(const std::string& targetPath);

// The worked/confirmed statistics of the target, one row per prefix.
class ContactStatistics {
  public:
    virtual ~ContactStatistics() = default;
    // The values of the prefix's row in column order (index 0 [PREFIX]),
    // NULL as empty; nullptr when there is no such row.
    virtual const std::vector<std::string>* Row(const std::string& prefix) = 0;
};

// [QSO-TAB] of the target. Appends run inside one transaction that is
// committed every half second or when the batch is full, at commit() and on
// close; a failed row rolls back alone. A row that fails alone throws
// DbError; a failure of the whole target throws DbTargetError, and a batch
// lost for good DbCommitError.
class CImportSet : public ImportTarget {
  public:
    // The rows a batch holds before it is committed: the first batch after
    // opening holds kFirstBatchRows, each next one twice as many as the one
    // before, up to kMaxBatchRows.
    static constexpr std::size_t kFirstBatchRows = 1000;
    static constexpr std::size_t kMaxBatchRows = 32000;

    CImportSet() = default;
    ~CImportSet() override;
    CImportSet(const CImportSet&) = delete;
    CImportSet& operator=(const CImportSet&) = delete;

    // Opens the target; throws DbError when the file is not a SQLite target
    // (a Jet file is for the Jet target, MakeImportTarget) or when
    // [QSO-TAB] lacks any of its 41 columns.
    void Open(const std::string& targetPath) override;
    bool IsOpen() const override { return db_ != nullptr; }
    void Close() override;  // commits what is pending
    std::string KindName() const override { return "SQLite"; }
    const std::string& path() const { return path_; }

    // Appends one row; throws DbError with the engine's description (the row
    // is then rolled back alone). Returns the new row id.
    std::int64_t AddNew(const QsoRow& row) override;
    // Changes one row; throws DbError.
    void Update(std::int64_t rowId, const QsoRow& row) override;
    // Reads one text column of a row (NULL as empty).
    std::string ReadText(std::int64_t rowId, QsoCol col) override;

    // Finds a row by call/date/time/mode/band; of several, the oldest. The
    // first call of a run reads the keys of the whole table into a compact
    // index (a hash and a row id, 16 bytes a row); rows written later are
    // indexed too. Each candidate is confirmed against its stored row.
    std::optional<std::int64_t> FindContact(const QsoKey& key) override;
    void DropIndex();
    void EndRun() override { DropIndex(); }

    // Commits the pending batch (Stop Import, end of a run). When the engine
    // refuses, the batch is written again and committed once more; when that
    // fails too it is rolled back and DbCommitError names its rows.
    void Commit() override;
    // Rows written since the last commit.

  private:
    void beginBatchIfNeeded();
    void maybeCommit();
    std::int64_t insertRow(const QsoRow& row);
    void updateRow(std::int64_t rowId, const QsoRow& row);
    void replayBatch();
    [[noreturn]] void loseBatch(const DbError& cause);
    // Runs one row's write so that a failure rolls back that row alone and
    // is rethrown.
    template <typename Write>
    void writeRow(Write write);
    // The stored key of a row; the texts last until readKey_ is reset.
    bool readStoredKey(std::int64_t rowId, std::string_view (&parts)[5]);
    // Whether the stored key of the row is `key`, exactly.
    bool keyMatches(std::int64_t rowId, const QsoKey& key);
    void indexStoredKey(std::int64_t rowId);

    // Writes of the open batch, kept until commit: when the engine rolls the
    // whole transaction back (a ROLLBACK trigger, a full disk) they are
    // written again instead of being lost. Only the set cells are kept, one
    // after the other in batchValues_.
    struct PendingWrite {
        bool isUpdate = false;
        std::int64_t rowId = 0;
        std::uint64_t set = 0, nulls = 0, longs = 0;  // bit per QsoCol
        std::size_t offset = 0;                       // into batchValues_
    };
    void keep(bool isUpdate, std::int64_t rowId, const QsoRow& row);
    QsoRow kept(const PendingWrite& w) const;
    // Adds the contact's call, date, time, frequency, band and mode to a lost
    // update's row.
    void completeLostUpdate(QsoRow& row, std::int64_t rowId);

    std::unique_ptr<SqliteDb> db_;
    std::string path_;
    // A row is one statement, which SQLite undoes whole when it fails. Not
    // so where [QSO-TAB] has triggers: a RAISE(FAIL) keeps what the trigger
    // did before it. Such targets get a savepoint per row, prepared once:
    // sent as SQL text for every row it costs as much as the insert itself.
    bool rowSavepoints_ = true;
    SqliteStatement savepoint_, release_, rollbackTo_;
    bool journalChanged_ = false;
    // Statements by their set of columns (bit per QsoCol), each prepared
    // once: a confirmation's set of columns changes from row to row.
    using ShapeCache = std::unordered_map<std::uint64_t, SqliteStatement>;
    SqliteStatement& statementFor(ShapeCache& cache, std::uint64_t mask, bool isUpdate);
    ShapeCache inserts_, updates_;
    std::vector<PendingWrite> batch_;
    std::string batchValues_;
    SqliteStatement readText_[kQsoColumnCount];  // prepared on first use
    bool inTransaction_ = false;
    std::size_t batchRows_ = kFirstBatchRows;
    std::chrono::steady_clock::time_point batchStart_;
    // Candidates of FindContact: the hashes of the keys as read at the first
    // search, sorted, and of the keys written since. A key changed later
    // leaves its old entry behind, which the row then no longer confirms.
    struct KeyIndex {
        std::vector<std::pair<std::uint64_t, std::int64_t>> read;
        std::unordered_multimap<std::uint64_t, std::int64_t> written;
    };
    std::unique_ptr<KeyIndex> index_;
    SqliteStatement readKey_;
    // [QSO-CONFIRM] of the row FindContact last confirmed, until a write.
    std::optional<std::pair<std::int64_t, std::string>> matchedConfirm_;
};

// Opens the target for reading [QSO-TAB] only, with the refusals of
// CImportSet::Open (Jet, missing file, missing columns); throws DbError.
std::unique_ptr<SqliteDb> OpenTargetForReading(const std::string& targetPath);

// [DXCCTAB] statistics; one row per prefix, read once per prefix per run.
class CDxccSet : public ContactStatistics {
  public:
    void Open(const std::string& targetPath);  // throws DbError
    bool IsOpen() const { return db_ != nullptr; }
    void Close();
    void ClearCache() { cache_.clear(); }
    // The 247 values of the prefix's row in column order (index 0 [PREFIX]),
    // NULL as empty; nullptr when the table has no such row.
    const std::vector<std::string>* Row(const std::string& prefix) override;

  private:
    std::unique_ptr<SqliteDb> db_;
    SqliteStatement select_;
    std::unordered_map<std::string, std::unique_ptr<std::vector<std::string>>> cache_;
};

}  // namespace tvx
