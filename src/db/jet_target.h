#pragma once
// The host program's own Jet database as the import's target. A run never
// writes the user's file: it writes a copy beside it, checks the copy, and
// puts it in the file's place at the commit, keeping the file as it was as
// NAME.bak. A run whose copy cannot be finished leaves the file as it was.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/jet_writer.h"
#include "db/target.h"

namespace tvx {

class JetImportSet : public ImportTarget {
  public:
    JetImportSet() = default;
    ~JetImportSet() override;
    JetImportSet(const JetImportSet&) = delete;
    JetImportSet& operator=(const JetImportSet&) = delete;

    // Checks the file (a Jet 3 or Jet 4 database the checker accepts, with a
    // [QSO-TAB] of the 41 columns that rows can be added to); writes
    // nothing. A copy an earlier run left behind is removed.
    void Open(const std::string& targetPath) override;
    bool IsOpen() const override { return !path_.empty(); }
    void Close() override;
    std::string KindName() const override;
    std::string ReasonNotWritable() const override;
    std::string TakeNotice() override;

    std::int64_t AddNew(const QsoRow& row) override;
    std::optional<std::int64_t> FindContact(const QsoKey& key) override;
    std::string ReadText(std::int64_t rowId, QsoCol col) override;
    void Update(std::int64_t rowId, const QsoRow& row) override;
    // Puts the run's copy, checked, in the file's place; throws
    // DbCommitError naming every contact of the run when it cannot (the
    // file is then as it was).
    void Commit() override;
    void EndRun() override { index_.reset(); }

    // Where a run writes its copy, and where the file as it was is kept.
    static std::string CopyPath(const std::string& target) { return target + ".importing"; }
    static std::string BackupPath(const std::string& target);

  private:
    void BeginCopy();
    void DropCopy();
    std::vector<JetValue> ValuesOf(const QsoRow& row, std::vector<JetValue> values) const;
    QsoKey StoredKey(const std::vector<JetValue>& values) const;
    void KeepLost(const std::vector<JetValue>& values);
    void ForgetLost();
    [[noreturn]] void Fail(const std::string& why);
    template <typename Write>
    auto Guard(Write write);

    std::string path_, notice_;
    JetFormat format_;
    std::unique_ptr<JetWriter> writer_;  // on the copy, during a run
    bool failed_ = false;
    std::uint32_t table_ = 0;
    std::vector<JetColumn> columns_;  // of [QSO-TAB], in definition order
    std::vector<int> position_;       // QsoCol -> place in columns_ (-1: none)
    std::vector<bool> keyColumns_;    // the places of the contact's key
    // The contacts written into the copy (call, date, time, freq, band, mode
    // as tab-separated lines), named in the error file if the copy is lost.
    std::FILE* lost_ = nullptr;
    std::size_t lostCount_ = 0;
    // Candidates of FindContact: key hashes with the row's order and pointer.
    struct Candidate {
        std::uint64_t hash;
        std::uint32_t order;
        std::uint32_t pointer;
        bool operator<(const Candidate& o) const {
            return hash != o.hash ? hash < o.hash : order < o.order;
        }
    };
    struct KeyIndex {
        std::vector<Candidate> read;
        std::unordered_multimap<std::uint64_t, std::pair<std::uint32_t, std::uint32_t>> written;
        std::uint32_t next = 0;
    };
    std::unique_ptr<KeyIndex> index_;
};

// [DXCCTAB] of a Jet target, read once.
class JetDxccSet : public ContactStatistics {
  public:
    void Open(const std::string& targetPath);
    const std::vector<std::string>* Row(const std::string& prefix) override;

  private:
    std::unordered_map<std::string, std::vector<std::string>> rows_;
};

// Adds the target's tables ([QSO-TAB], [QSO-NOTES], [DXCCTAB]) to an
// existing Jet 3 or Jet 4 database, through a checked copy that replaces
// it. Throws DbError, the file as it was, when it holds one of them already
// or cannot be written.
void AddJetTargetTables(const std::string& path);

// The rows of [QSO-TAB] of a Jet file, for the export: columns in the order
// of qsoColumns(), NULL as nullopt. Throws DbError.
void ReadJetContacts(
    const std::string& path,
    const std::function<void(const std::vector<std::optional<std::string>>&)>& each);

}  // namespace tvx
