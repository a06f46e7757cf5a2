#pragma once
// The pages of a Jet 3 or Jet 4 file as the project's own code reads them:
// the page layout, the table definitions and the usage maps. libmdb reads
// the rows of Jet sources; this layer is for what libmdb never reads (the
// index pages, the maps, the counters) and for the checker built on it.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace tvx {

// Integers of the pages are little-endian (index keys excepted).
inline std::uint32_t JetU16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
inline std::uint32_t JetU32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
inline void JetPut16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void JetPut32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// The offsets that differ between the two formats.
struct JetFormat {
    bool jet4 = false;
    std::size_t pageSize = 0;
    // Table definition.
    std::size_t rowCount, autoNumber, tableType, columnCount, logicalIndexCount, physicalIndexCount,
        ownedMap, freeMap, indexCounts, indexCountSize, columnSize, physicalIndexSize,
        logicalIndexSize;
    // Data pages.
    std::size_t dataRows, dataOffsets;
    // Index pages.
    std::size_t indexPrev, indexNext, indexTail, indexPrefix, indexPrefixSize, indexBitmap,
        indexFirstEntry;

    static JetFormat Jet3();
    static JetFormat Jet4();
};

struct JetColumn {
    int type = 0;
    int number = 0;
    int flags = 0;                // 0x01 fixed length, 0x02 may be NULL, 0x04 AutoNumber
    std::size_t varIndex = 0;     // place in the row's table of variable offsets
    std::size_t fixedOffset = 0;  // in the row's fixed area
    std::size_t length = 0;
    int sortOrder = 0;        // Text: LCID of its sort order (0: the database's)
    int sortVersion = 0;      // Text, Jet 4: version of that sort order
    int codePage = 0;         // Text, Jet 3 (0: the database's)
    bool compressed = false;  // Text, Jet 4: Unicode compression
    std::string name;

    bool fixed() const { return (flags & 0x01) != 0; }
};

// Column types of the definition.
enum JetType : int {
    kJetBoolean = 1,
    kJetByte = 2,
    kJetInteger = 3,
    kJetLong = 4,
    kJetCurrency = 5,
    kJetSingle = 6,
    kJetDouble = 7,
    kJetDateTime = 8,
    kJetBinary = 9,
    kJetText = 10,
    kJetOle = 11,
    kJetMemo = 12,
    kJetGuid = 15,
    kJetNumeric = 16,
};

struct JetPhysicalIndex {
    std::vector<std::pair<int, bool>> columns;  // column number, ascending
    std::uint32_t ownedMap = 0;                 // row pointer of its usage map
    std::uint32_t rootPage = 0;
    int flags = 0;  // 0x01 unique, 0x02 ignore nulls
    // In the definition's bytes: the block's column slots, and the count of
    // its distinct keys.
    std::size_t defOffset = 0, countOffset = 0;
    std::uint32_t uniqueCount = 0;
};

struct JetTableDef {
    std::uint32_t page = 0;
    std::vector<std::uint32_t> pages;  // the first page and its continuations
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;
    int tableType = 0;
    std::size_t maxColumns = 0;               // the column count a new row stores
    std::size_t varColumns = 0;               // entries of a new row's variable-offset table
    std::uint32_t ownedMap = 0, freeMap = 0;  // row pointers
    std::vector<JetColumn> columns;
    std::vector<JetPhysicalIndex> indexes;
};

// One entry of a data page's offset table.
struct JetRowSlot {
    std::size_t start = 0, end = 0;  // bytes of the row in its page
    bool deleted = false;            // 0x8000: deleted, or the copy of a moved row
    bool moved = false;              // 0x4000 alone: the row holds a pointer to its copy
};

// The definition whose first page is `first`, with its continuation pages;
// `page` gives a page's bytes. Throws DbError, naming `where`, when it is
// damaged.
JetTableDef ParseJetTableDef(const JetFormat& f, std::uint32_t first, std::uint32_t pageCount,
                             const std::function<const unsigned char*(std::uint32_t)>& page,
                             const std::string& where);

class JetFile {
  public:
    // Row 0 of page 1: the map of the free pages of the file.
    static constexpr std::uint32_t kGlobalUsageMap = 1 << 8;

    // Reads the whole file; throws DbError for a file that is no Jet 3 or
    // Jet 4 database (the later ACE formats included) or is not whole pages.
    explicit JetFile(const std::string& path);

    const JetFormat& format() const { return format_; }
    std::uint32_t pageCount() const { return pageCount_; }
    // The page's bytes; throws DbError for a page beyond the file.
    const unsigned char* page(std::uint32_t number) const;

    // The definition whose first page is `page`, with its continuation
    // pages; throws DbError when it is damaged.
    JetTableDef ReadTableDef(std::uint32_t page) const;
    // The first pages of every table definition in the file.
    std::vector<std::uint32_t> TableDefPages() const;

    // The offset table of a data page.
    std::vector<JetRowSlot> RowSlots(std::uint32_t page) const;
    // The bytes of the row a row pointer names (byte 0 the row, 1..3 the page).
    std::vector<unsigned char> RowBytes(std::uint32_t pointer) const;
    // A table row's bytes, through the pointer of a moved row.
    std::vector<unsigned char> TableRowBytes(std::uint32_t pointer) const;
    // The pages a usage map marks; throws DbError when the map is damaged.
    std::set<std::uint32_t> UsageMapPages(std::uint32_t pointer) const;

    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

  private:
    // One entry of a data page's offset table, checked as RowSlots checks it.
    JetRowSlot Slot(std::uint32_t page, std::uint32_t row) const;

    JetFormat format_;
    const unsigned char* bytes_ = nullptr;  // the file, mapped read-only
    std::size_t size_ = 0;
    std::uint32_t pageCount_ = 0;
    mutable std::vector<bool> touched_;  // blocks read since the mapping last let go
    mutable std::size_t touchedCount_ = 0;
    std::string path_;
};

}  // namespace tvx
