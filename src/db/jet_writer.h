#pragma once
// Appends rows to the tables of an existing Jet 3 or Jet 4 file and updates
// them, keeping every index, usage map and count of the file valid. The
// writer changes the file it opens: callers hand it a copy (the import
// writes into a copy that replaces the user's file only after a check).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/jet_file.h"
#include "db/jet_row.h"

namespace tvx {

// A table to add to a file: its columns in order and its indexes.
struct JetColumnSpec {
    std::string name;
    int type = kJetText;
    std::size_t length = 0;   // Text: characters (1..255)
    bool autoNumber = false;  // Long Integer only
};
struct JetIndexSpec {
    std::string name;
    std::vector<std::pair<std::string, bool>> columns;  // column name, ascending
    bool primaryKey = false;                            // unique, and no NULL in its columns
    bool unique = false;
    bool ignoreNulls = false;  // a row with NULL in every column gets no entry
};
struct JetTableSpec {
    std::string name;
    std::vector<JetColumnSpec> columns;
    std::vector<JetIndexSpec> indexes;
};

class JetWriter {
  public:
    // Opens the file for writing. Throws DbError, having written nothing,
    // for a file that is no Jet 3 or Jet 4 database, is encrypted or has a
    // password, uses a sort order other than "General", or that the checker
    // finds damaged.
    // ReadOnly reads the file only (no checker run: the caller's file is
    // checked before it is written); SkipCheck opens a file that was checked
    // as it is.
    enum class Mode { Check, SkipCheck, ReadOnly };
    explicit JetWriter(const std::string& path, Mode mode = Mode::Check);
    ~JetWriter();
    JetWriter(const JetWriter&) = delete;
    JetWriter& operator=(const JetWriter&) = delete;

    const JetFormat& format() const { return format_; }
    const std::string& path() const { return path_; }

    // The first definition page of the table of that name (compared without
    // case); 0 when the file has none.
    std::uint32_t FindTable(const std::string& name);
    // The table's definition, with its counts as they are now.
    const JetTableDef& Definition(std::uint32_t table);
    // Why rows cannot be written to the table (a column or an index of a
    // kind this writer does not handle); empty when they can.
    std::string UnwritableReason(std::uint32_t table);

    // Appends a row: values in the definition's column order; an AutoNumber
    // column left NULL gets the next number, written back into `values`.
    // Returns the row's pointer (row number in byte 0, page above). Throws
    // JetValueError when the row is refused (a value its column cannot
    // take, a key a unique index holds already), leaving nothing of it;
    // DbError when the file cannot be written.
    std::uint32_t AppendRow(std::uint32_t table, std::vector<JetValue>& values);
    // Gives the row new values, in place where they fit, else moving it as
    // the engine does; entries of changed keys move in their indexes.
    void UpdateRow(std::uint32_t table, std::uint32_t pointer, const std::vector<JetValue>& values);
    // Deletes a row as the engine does: its entry marked deleted (its bytes
    // stay), its index entries removed, the row count lowered.
    void DeleteRow(std::uint32_t table, std::uint32_t pointer);
    // With `only`, as ScanRows.
    std::vector<JetValue> ReadRow(std::uint32_t table, std::uint32_t pointer,
                                  const std::vector<bool>* only = nullptr);
    // Every live row of the table, in scan order; with `only`, just the
    // columns it marks (by place in the definition) are decoded, the others
    // come as NULL.
    void ScanRows(std::uint32_t table,
                  const std::function<void(std::uint32_t, const std::vector<JetValue>&)>& visit,
                  const std::vector<bool>* only = nullptr);

    // Adds an empty table with the catalog rows the engine keeps for one
    // (its entry in MSysObjects, its permissions in MSysACEs, inherited from
    // the tables' container). Returns its definition page. Throws DbError,
    // having written nothing, for a name the file has already or a table
    // the format cannot hold.
    std::uint32_t CreateTable(const JetTableSpec& spec);

    // Writes every changed page and syncs the file.
    void Flush();

  private:
    struct Page {
        std::vector<unsigned char> bytes;
        bool dirty = false;
    };
    struct Table {
        JetTableDef def;
        bool autoKnown = false;
        std::int64_t lastAuto = 0;
        bool lastPageKnown = false;
        std::uint32_t lastPage = 0;  // the table's data page that takes new rows
    };
    struct IndexPage {
        bool leaf = true;
        bool dirty = false;  // changed since its page's bytes were written
        std::uint32_t tdef = 0;
        std::uint32_t prev = 0, next = 0, tail = 0;
        std::vector<JetBytes> entries;  // whole entries; intermediate ones end in their child
    };

    unsigned char* Mutable(std::uint32_t page);
    const unsigned char* Read(std::uint32_t page);
    std::uint32_t AllocatePage();
    void TrimCache();
    void WriteBack();
    Table& TableAt(std::uint32_t table);

    // Usage maps (a row pointer names the map).
    std::pair<unsigned char*, std::size_t> MapRow(std::uint32_t pointer, bool write = true);
    void MapSet(std::uint32_t pointer, std::uint32_t page, bool on, bool global);
    bool MapHas(std::uint32_t pointer, std::uint32_t page);
    std::vector<std::uint32_t> MapPages(std::uint32_t pointer);
    void MapToReference(std::uint32_t pointer, std::uint32_t page, bool global);

    // Data pages.
    std::uint32_t PlaceRow(Table& t, const JetBytes& row, bool copyOfMovedRow);
    JetBytes RowAt(std::uint32_t pointer, std::uint32_t* stored = nullptr);

    // Indexes.
    IndexPage& LoadIndexPage(std::uint32_t page);
    bool IndexPageFits(const IndexPage& p) const;
    void PutIndexPage(std::uint32_t page, IndexPage p);
    void EncodeIndexPage(std::uint32_t page, const IndexPage& p);
    IndexPage& LeafFor(const JetPhysicalIndex& index, const JetBytes& entry, std::uint32_t* page);
    // Inserts the entry, counting its key in the definition when new.
    void IndexInsert(Table& t, std::size_t index, const JetBytes& entry);
    void IndexRemove(Table& t, std::size_t index, const JetBytes& entry);
    bool IndexHasKey(const JetPhysicalIndex& index, const JetBytes& key);
    bool KeyRunNeighbour(const JetPhysicalIndex& index, const JetBytes& entry);
    bool NeighbourHasKey(const IndexPage& page, std::size_t pos, const JetBytes& entry);

    std::uint32_t Append(Table& t, std::vector<JetValue>& values);
    // The place of a column of a catalog table; throws DbError without it.
    std::size_t CatalogColumn(const JetTableDef& def, const char* name) const;
    JetBytes TableDefinitionBytes(const JetTableSpec& spec, std::uint32_t mapPage,
                                  const std::vector<std::uint32_t>& roots) const;
    void PutDef(Table& t, std::size_t offset, std::uint32_t value);
    void NextAutoNumber(Table& t, std::vector<JetValue>& values);
    // The largest value of a Long column that starts an index; nullopt
    // when no index starts with it.
    std::optional<std::int64_t> LargestKey(Table& t, int column);

    std::string path_;
    bool readOnly_ = false;
    int fd_ = -1;
    JetFormat format_;
    std::uint32_t pageCount_ = 0;
    std::uint32_t codePage_ = 1252;  // of Jet 3 text
    std::unordered_map<std::uint32_t, Page> cache_;
    // Index pages decoded, written back into their pages at Flush.
    std::unordered_map<std::uint32_t, IndexPage> indexPages_;
    std::map<std::uint32_t, Table> tables_;
};

}  // namespace tvx
