#include "db/jet_check.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "db/jet_file.h"
#include "db/jet_keys.h"
#include "db/jet_row.h"
#include "tables/database.h"

namespace tvx {

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
    std::uint32_t n = 0;
    for (int i = 0; i < bytes; ++i) n = (n << 8) | p[i];
    return n;
}

using Bytes = std::vector<unsigned char>;

// The row a leaf entry names: its last four bytes, page (big-endian) then row.
std::uint32_t RowOf(const Bytes& entry) {
    return (BigEndian(&entry[entry.size() - 4], 3) << 8) | entry[entry.size() - 1];
}

bool NumericType(int type) {
    return type >= kJetByte && type <= kJetDateTime;
}

// The key bytes of an index over numeric columns, from a row's bytes; as the
// engine keys them: a flag, then the value big-endian with its order made
// bytewise (sign bit flipped; negative floating values complemented), all of
// it complemented for a descending column.
Bytes NumericKey(const JetFormat& f, const JetTableDef& def, const JetPhysicalIndex& index,
                 const Bytes& row) {
    const std::size_t countBytes = f.jet4 ? 2 : 1;
    if (row.size() < countBytes) throw DbError("a row is empty");
    const std::size_t rowColumns = f.jet4 ? JetU16(row.data()) : row[0];
    const std::size_t maskBytes = (rowColumns + 7) / 8;
    if (row.size() < countBytes + maskBytes) throw DbError("a row is cut");
    const unsigned char* mask = row.data() + row.size() - maskBytes;
    Bytes key;
    for (const auto& slot : index.columns) {
        // Named copies: a lambda cannot capture a structured binding in C++20.
        const int number = slot.first;
        const bool ascending = slot.second;
        const auto col = std::find_if(def.columns.begin(), def.columns.end(),
                                      [&](const JetColumn& c) { return c.number == number; });
        if (col == def.columns.end()) throw DbError("an index names a column that is not there");
        const bool present = static_cast<std::size_t>(number) < rowColumns &&
                             (mask[number / 8] & (1u << (number % 8)));
        Bytes part;
        if (!present) {
            part.push_back(0x00);
        } else {
            const std::size_t at = countBytes + col->fixedOffset;
            if (at + col->length > row.size()) throw DbError("a fixed column lies outside its row");
            part.push_back(0x7F);
            for (std::size_t i = col->length; i-- > 0;) part.push_back(row[at + i]);
            const bool floating =
                col->type == kJetSingle || col->type == kJetDouble || col->type == kJetDateTime;
            if (col->type == kJetByte) {
                // unchanged
            } else if (floating && (part[1] & 0x80)) {
                for (std::size_t i = 1; i < part.size(); ++i) part[i] = ~part[i];
            } else {
                part[1] ^= 0x80;
            }
        }
        if (!ascending) {
            for (unsigned char& b : part) b = ~b;
        }
        key.insert(key.end(), part.begin(), part.end());
    }
    return key;
}

// One index entry with the shared prefix put back.
struct Entry {
    Bytes bytes;
    std::uint32_t child = 0;  // intermediate pages
};

class TableCheck {
  public:
    TableCheck(const JetFile& file, const JetTableDef& def, const std::set<std::uint32_t>& free,
               std::vector<std::string>& problems)
        : file_(file),
          f_(file.format()),
          def_(def),
          free_(free),
          problems_(problems),
          rows_(std::size_t{file.pageCount()} << 8) {}

    void Run() {
        std::set<std::uint32_t> owned;
        try {
            owned = file_.UsageMapPages(def_.ownedMap);
        } catch (const DbError& e) {
            return Problem(std::string("its page map cannot be read: ") + e.what());
        }
        std::uint32_t live = 0;
        for (const JetPhysicalIndex& index : def_.indexes) kinds_.push_back(KindOf(index));
        fromRows_.assign(def_.indexes.size(), Digest{});
        // Only the columns that keys are made of are decoded for them.
        keyColumns_.assign(def_.columns.size(), false);
        for (std::size_t i = 0; i < def_.indexes.size(); ++i) {
            if (kinds_[i] != KeyKind::Values) continue;
            for (const auto& slot : def_.indexes[i].columns) {
                for (std::size_t c = 0; c < def_.columns.size(); ++c)
                    if (def_.columns[c].number == slot.first) keyColumns_[c] = true;
            }
        }
        keyErrors_.assign(def_.indexes.size(), 0);
        // A page in use that the file's map gives as free would be handed
        // out again by the next writer.
        for (const std::uint32_t p : def_.pages) {
            if (free_.count(p))
                Problem("its definition page " + std::to_string(p) + " is marked free");
        }
        for (const std::uint32_t p : owned) {
            if (p >= file_.pageCount()) {
                Problem("its page map names page " + std::to_string(p) + " past the end");
                continue;
            }
            if (free_.count(p)) Problem("its data page " + std::to_string(p) + " is marked free");
            const unsigned char* page = file_.page(p);
            if (page[0] != 0x01 || JetU32(page + 4) != def_.page) {
                Problem("its page map names page " + std::to_string(p) +
                        ", which is no data page of the table");
                continue;
            }
            try {
                const std::vector<JetRowSlot> slots = file_.RowSlots(p);
                for (std::size_t r = 0; r < slots.size(); ++r) {
                    if (slots[r].deleted) continue;
                    ++live;
                    const std::uint32_t pointer = (p << 8) | static_cast<std::uint32_t>(r);
                    Mark(rows_, pointer);
                    DigestRow(pointer);
                }
                CheckFreeSpace(p, page, slots);
            } catch (const DbError& e) {
                Problem(e.what());
            }
        }
        live_ = live;
        if (live != def_.rowCount) {
            Problem("its scan finds " + std::to_string(live) + " rows, its definition counts " +
                    std::to_string(def_.rowCount));
        }
        for (std::size_t i = 0; i < def_.indexes.size(); ++i) CheckIndex(i);
    }

  private:
    void Problem(const std::string& what) {
        problems_.push_back("Table on page " + std::to_string(def_.page) + ": " + what + ".");
    }

    void CheckFreeSpace(std::uint32_t p, const unsigned char* page,
                        const std::vector<JetRowSlot>& slots) {
        if (slots.empty()) return;  // an empty page's figure differs between writers
        const std::size_t lowest = slots.back().start;
        const std::size_t expected = lowest - f_.dataOffsets - 2 * slots.size();
        if (JetU16(page + 2) != expected) {
            Problem("data page " + std::to_string(p) + " gives " +
                    std::to_string(JetU16(page + 2)) + " bytes free, its rows leave " +
                    std::to_string(expected));
        }
    }

    // The entries of an index page, the shared prefix restored.
    std::vector<Entry> Entries(std::uint32_t p, bool leaf) {
        const unsigned char* page = file_.page(p);
        const std::size_t prefix =
            f_.indexPrefixSize == 1 ? page[f_.indexPrefix] : JetU16(page + f_.indexPrefix);
        const std::size_t bitmapBytes = f_.indexFirstEntry - f_.indexBitmap;
        std::vector<Entry> entries;
        std::size_t start = f_.indexFirstEntry;
        Bytes first;
        for (std::size_t k = 0; k < bitmapBytes * 8; ++k) {
            if (!(page[f_.indexBitmap + k / 8] & (1u << (k % 8)))) continue;
            const std::size_t end = f_.indexFirstEntry + k;
            if (end <= start || end > f_.pageSize) {
                throw DbError("index page " + std::to_string(p) + " has entry bounds out of order");
            }
            Entry e;
            if (entries.empty()) {
                first.assign(page + start, page + end);
                e.bytes = first;
            } else {
                if (prefix > first.size()) {
                    throw DbError("index page " + std::to_string(p) +
                                  " shares a prefix longer than its first entry");
                }
                e.bytes.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(prefix));
                e.bytes.insert(e.bytes.end(), page + start, page + end);
            }
            const std::size_t tail = leaf ? 4 : 8;
            if (e.bytes.size() < tail + 1) {
                throw DbError("index page " + std::to_string(p) + " has an entry too short");
            }
            if (!leaf) {
                e.child = BigEndian(&e.bytes[e.bytes.size() - 4], 4);
                e.bytes.resize(e.bytes.size() - 4);
            }
            entries.push_back(std::move(e));
            start = end;
        }
        return entries;
    }

    // Walks the subtree of page p in key order, giving each leaf entry to
    // `emit`; `last` is the last entry given.
    void Walk(std::uint32_t p, int depth, const std::function<void(Bytes&&)>& emit, Bytes& last,
              std::vector<std::uint32_t>& leaves, std::set<std::uint32_t>& visited) {
        if (depth > 32 || !visited.insert(p).second) {
            throw DbError("index page " + std::to_string(p) + " is reached twice");
        }
        const unsigned char* page = file_.page(p);
        if (JetU32(page + 4) != def_.page) {
            throw DbError("index page " + std::to_string(p) + " belongs to another table");
        }
        if (page[0] == 0x04) {
            for (Entry& e : Entries(p, true)) {
                last = e.bytes;
                emit(std::move(e.bytes));
            }
            leaves.push_back(p);
            return;
        }
        if (page[0] != 0x03) throw DbError("page " + std::to_string(p) + " is no index page");
        const std::uint32_t tail = JetU32(page + f_.indexTail);
        for (const Entry& e : Entries(p, false)) {
            Walk(e.child, depth + 1, emit, last, leaves, visited);
            // The entry names the last entry of its child.
            if (!last.empty() && last > e.bytes) {
                throw DbError("index page " + std::to_string(p) + " names child " +
                              std::to_string(e.child) + " with a key below the child's");
            }
        }
        if (tail != 0) Walk(tail, depth + 1, emit, last, leaves, visited);
    }

    static void Mark(std::vector<bool>& set, std::uint32_t pointer) {
        if (pointer < set.size()) set[pointer] = true;
    }
    static bool Has(const std::vector<bool>& set, std::uint32_t pointer) {
        return pointer < set.size() && set[pointer];
    }

    // How an index's keys are encoded again from the rows: numeric columns
    // from the row's bytes, others (Text among them) through its values; in
    // user tables only (the engine's own catalogs keep columns of kinds of
    // their own).
    enum class KeyKind { None, Numeric, Values };
    KeyKind KindOf(const JetPhysicalIndex& index) const {
        constexpr int kUserTable = 0x4E;
        if (def_.tableType != kUserTable) return KeyKind::None;
        const bool numeric =
            std::all_of(index.columns.begin(), index.columns.end(), [&](const auto& c) {
                const auto col =
                    std::find_if(def_.columns.begin(), def_.columns.end(),
                                 [&](const JetColumn& d) { return d.number == c.first; });
                // Numbers are keyed here only where the row keeps them in its fixed area.
                return col != def_.columns.end() && NumericType(col->type) && (col->flags & 0x01);
            });
        if (numeric) return KeyKind::Numeric;
        return UnkeyableIndexReason(f_, def_, index).empty() ? KeyKind::Values : KeyKind::None;
    }

    // An order-free digest of a set of entries: what the rows' values give
    // (in the table scan) against what the index holds (in its walk), so
    // that neither reads the other's pages out of order.
    struct Digest {
        std::uint64_t sum = 0, mixed = 0, count = 0;
        void Add(const Bytes& entry) {
            const std::uint64_t h = std::hash<std::string_view>()(
                std::string_view(reinterpret_cast<const char*>(entry.data()), entry.size()));
            sum += h;
            mixed ^= h * 0x9E3779B97F4A7C15ull + (h >> 29);
            ++count;
        }
        bool operator==(const Digest&) const = default;
    };

    // The entries that the row's values give, one per index (none where the
    // index leaves the row out).
    void DigestRow(std::uint32_t pointer) {
        const Bytes row = file_.TableRowBytes(pointer);
        std::optional<std::vector<JetValue>> values;
        for (std::size_t i = 0; i < def_.indexes.size(); ++i) {
            if (kinds_[i] == KeyKind::None || keyErrors_[i] >= 3) continue;
            const JetPhysicalIndex& index = def_.indexes[i];
            try {
                Bytes key;
                if (kinds_[i] == KeyKind::Numeric) {
                    key = NumericKey(f_, def_, index, row);
                } else {
                    if (!values) values = DecodeJetRow(f_, def_, row, &keyColumns_);
                    key = JetIndexKey(f_, def_, index, *values);
                }
                if ((index.flags & 0x02) && JetKeyAllNull(index, key)) continue;
                key.push_back(static_cast<unsigned char>(pointer >> 24));
                key.push_back(static_cast<unsigned char>(pointer >> 16));
                key.push_back(static_cast<unsigned char>(pointer >> 8));
                key.push_back(static_cast<unsigned char>(pointer));
                fromRows_[i].Add(key);
            } catch (const std::exception& err) {
                ++keyErrors_[i];
                Problem("index " + std::to_string(i) + ": " + err.what());
            }
        }
    }

    // Only for an index whose digests differ: names the first entries whose
    // key is not the key of their row's values.
    void LocateKeyProblems(std::size_t i) {
        const JetPhysicalIndex& index = def_.indexes[i];
        const std::string name = "index " + std::to_string(i);
        int found = 0;
        std::vector<std::uint32_t> leaves;
        std::set<std::uint32_t> visited;
        Bytes last;
        try {
            Walk(
                index.rootPage, 0,
                [&](Bytes&& b) {
                    const std::uint32_t pointer = RowOf(b);
                    if (found >= 3 || !Has(rows_, pointer)) return;
                    const Bytes row = file_.TableRowBytes(pointer);
                    const Bytes key =
                        kinds_[i] == KeyKind::Numeric
                            ? NumericKey(f_, def_, index, row)
                            : JetIndexKey(f_, def_, index, DecodeJetRow(f_, def_, row));
                    if (!std::equal(key.begin(), key.end(), b.begin(), b.end() - 4)) {
                        ++found;
                        Problem(name + ": the key of row " + std::to_string(pointer & 0xFF) +
                                " of page " + std::to_string(pointer >> 8) +
                                " is not the key of its values");
                    }
                },
                last, leaves, visited);
        } catch (const std::exception& e) {
            Problem(name + ": " + e.what());
            return;
        }
        if (found == 0) Problem(name + ": its keys are not those of the rows' values");
    }

    void CheckIndex(std::size_t i) {
        const JetPhysicalIndex& index = def_.indexes[i];
        const std::string name = "index " + std::to_string(i);
        std::vector<std::uint32_t> leaves;
        std::set<std::uint32_t> visited;
        const KeyKind kind = kinds_[i];
        // The entries one by one in key order, so that memory does not grow
        // with the table.
        std::vector<bool> seen(rows_.size());
        std::size_t seenCount = 0, count = 0;
        Digest fromIndex;
        bool ordered = true;
        Bytes previous;
        const auto consider = [&](Bytes&& b) {
            const std::size_t e = count++;
            if (e > 0 && ordered && !(previous < b)) {
                Problem(name + ": entry " + std::to_string(e) + " is out of order");
                ordered = false;
            }
            const std::uint32_t pointer = RowOf(b);
            if (!Has(rows_, pointer)) {
                Problem(name + ": an entry names row " + std::to_string(pointer & 0xFF) +
                        " of page " + std::to_string(pointer >> 8) + ", which is no live row");
            } else if (Has(seen, pointer)) {
                Problem(name + ": a row is in it twice");
            } else {
                Mark(seen, pointer);
                ++seenCount;
                if (kind != KeyKind::None) fromIndex.Add(b);
            }
            // A unique index holds each key once, but for keys of NULLs only
            // (a flag byte per column and nothing else).
            const std::size_t keySize = b.size() - 4;
            const bool allNull = keySize == index.columns.size() &&
                                 std::all_of(b.begin(), b.end() - 4, [](unsigned char k) {
                                     return k == 0x00 || k == 0xFF;
                                 });
            if ((index.flags & 0x01) && e > 0 && !allNull && previous.size() == b.size() &&
                std::equal(previous.begin(), previous.end() - 4, b.begin(), b.end() - 4)) {
                Problem(name + ": a unique index holds a key twice");
            }
            previous = std::move(b);
        };
        try {
            Bytes last;
            Walk(index.rootPage, 0, consider, last, leaves, visited);
        } catch (const DbError& e) {
            return Problem(name + ": " + e.what());
        }
        if (kind != KeyKind::None && keyErrors_[i] == 0 && !(fromIndex == fromRows_[i]))
            LocateKeyProblems(i);
        try {
            const std::set<std::uint32_t> owned = file_.UsageMapPages(index.ownedMap);
            for (const std::uint32_t p : visited) {
                if (free_.count(p))
                    Problem(name + ": page " + std::to_string(p) + " is marked free");
                if (!owned.count(p)) {
                    Problem(name + ": page " + std::to_string(p) + " is not in its page map");
                }
            }
        } catch (const DbError& e) {
            Problem(name + ": its page map cannot be read: " + e.what());
        }
        for (std::size_t l = 0; l + 1 < leaves.size(); ++l) {
            const unsigned char* page = file_.page(leaves[l]);
            const unsigned char* next = file_.page(leaves[l + 1]);
            if (JetU32(page + f_.indexNext) != leaves[l + 1] ||
                JetU32(next + f_.indexPrev) != leaves[l]) {
                Problem(name + ": leaf pages " + std::to_string(leaves[l]) + " and " +
                        std::to_string(leaves[l + 1]) + " are not linked to each other");
            }
        }
        // An index that ignores nulls leaves out the rows without a key.
        const bool ignoresNulls = (index.flags & 0x02) != 0;
        if (ignoresNulls ? seenCount > live_ : seenCount != live_) {
            Problem(name + " holds " + std::to_string(seenCount) + " of the table's " +
                    std::to_string(live_) + " rows");
        }
    }

    const JetFile& file_;
    const JetFormat& f_;
    const JetTableDef& def_;
    const std::set<std::uint32_t>& free_;  // pages the file's map gives as free
    std::vector<std::string>& problems_;
    std::vector<bool> rows_;  // live rows, by (page << 8) | row
    std::size_t live_ = 0;
    std::vector<KeyKind> kinds_;
    std::vector<Digest> fromRows_;  // per index, from the table scan
    std::vector<int> keyErrors_;
    std::vector<bool> keyColumns_;  // by place in the definition
};

}  // namespace

std::vector<std::string> CheckJetFile(const std::string& path) {
    std::vector<std::string> problems;
    try {
        const JetFile file(path);
        std::set<std::uint32_t> free;
        try {
            free = file.UsageMapPages(JetFile::kGlobalUsageMap);
        } catch (const DbError& e) {
            problems.push_back(std::string("The map of the file's free pages cannot be read: ") +
                               e.what());
        }
        for (const std::uint32_t page : file.TableDefPages()) {
            try {
                const JetTableDef def = file.ReadTableDef(page);
                TableCheck(file, def, free, problems).Run();
            } catch (const DbError& e) {
                problems.push_back(e.what());
            }
        }
    } catch (const DbError& e) {
        problems.push_back(e.what());
    }
    return problems;
}

}  // namespace tvx
