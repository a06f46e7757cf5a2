#include "db/jet_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "db/jet_check.h"
#include "db/jet_keys.h"
#include "tables/database.h"
#include "util/file.h"
#include "util/text.h"

namespace tvx {

namespace {

constexpr std::size_t kCacheBytes = std::size_t{8} << 20;
// Index pages kept decoded (an entry costs about its size twice).
constexpr std::size_t kIndexCacheBytes = std::size_t{2} << 20;
constexpr int kUserTable = 0x4E;
constexpr int kAutoNumberLong = 0x04;
constexpr int kAutoNumberGuid = 0x40;
constexpr int kIndexUnique = 0x01;
constexpr int kIndexIgnoreNulls = 0x02;
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint32_t kNoPointer = 0xFFFFFFFF;

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

void PutBigEndian(JetBytes& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An index entry: the key, then the row's page (three bytes, big-endian) and
// its slot.
JetBytes IndexEntry(const JetBytes& key, std::uint32_t pointer) {
    JetBytes entry = key;
    PutBigEndian(entry, pointer >> 8, 3);
    entry.push_back(static_cast<unsigned char>(pointer));
    return entry;
}
std::uint32_t BigEndian(const unsigned char* p, int bytes) {
    std::uint32_t n = 0;
    for (int i = 0; i < bytes; ++i) n = (n << 8) | p[i];
    return n;
}

bool SameKey(const JetBytes& a, const JetBytes& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end() - 4, b.begin());
}

// An intermediate entry without its child pointer compared with a leaf entry.
bool KeyBelow(const JetBytes& intermediate, const JetBytes& leafEntry) {
    return std::lexicographical_compare(intermediate.begin(), intermediate.end() - 4,
                                        leafEntry.begin(), leafEntry.end());
}

// The key stream that masks the header page: RC4 under a fixed key.
std::vector<unsigned char> HeaderMask(std::size_t length) {
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::vector<unsigned char> out(length);
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}

}  // namespace

JetWriter::JetWriter(const std::string& path, Mode mode)
    : path_(path), readOnly_(mode == Mode::ReadOnly) {
    FileCheck check;
    const int fd = OpenRegularFile(path, &check);
    if (fd < 0) throw DbError(FileProblem(path, check));
    ::close(fd);
    fd_ = ::open(path.c_str(), (readOnly_ ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd_ < 0) {
        throw DbError("Could not open " + Quoted(path) + " for writing: " + SystemErrorText(errno));
    }
    struct stat st {};
    unsigned char head[0x80 + 0x18] = {};
    if (::fstat(fd_, &st) != 0 || st.st_size < 4096 ||
        ::pread(fd_, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head) ||
        std::memcmp(head + 4, "Standard Jet DB", 15) != 0) {
        ::close(fd_);
        throw DbError(Quoted(path) + " is not a Jet database.");
    }
    const auto refuse = [&](const std::string& why) {
        ::close(fd_);
        fd_ = -1;
        return DbError(Quoted(path) + " cannot be written: " + why + ".");
    };
    if (head[0x14] > 1) throw refuse("it is of a version newer than Jet 4");
    format_ = head[0x14] == 0 ? JetFormat::Jet3() : JetFormat::Jet4();
    const std::uint64_t limit = format_.jet4 ? (std::uint64_t{2} << 30) : (std::uint64_t{1} << 30);
    if (static_cast<std::uint64_t>(st.st_size) % format_.pageSize != 0) {
        throw refuse("its length is not a whole number of pages");
    }
    if (static_cast<std::uint64_t>(st.st_size) >= limit) {
        throw refuse("it has reached the largest size of its format");
    }
    pageCount_ = static_cast<std::uint32_t>(st.st_size / format_.pageSize);
    const std::size_t masked = format_.jet4 ? 128 : 126;
    const std::vector<unsigned char> mask = HeaderMask(masked);
    for (std::size_t i = 0; i < masked; ++i) head[0x18 + i] ^= mask[i];
    if (JetU32(head + 0x3E) != 0) throw refuse("it is encrypted");
    std::vector<unsigned char> password(head + 0x42, head + 0x42 + (format_.jet4 ? 40 : 20));
    if (format_.jet4) {
        // A Jet 4 password is masked further by the creation date.
        double date = 0;
        std::memcpy(&date, head + 0x72, 8);
        unsigned char dateMask[4];
        JetPut32(dateMask, static_cast<std::uint32_t>(static_cast<std::int32_t>(date)));
        for (std::size_t i = 0; i < password.size(); ++i) password[i] ^= dateMask[i % 4];
    }
    if (std::any_of(password.begin(), password.end(), [](unsigned char b) { return b != 0; })) {
        throw refuse("it has a database password");
    }
    if (const std::uint32_t codePage = JetU16(head + 0x3C); codePage != 0) codePage_ = codePage;
    const std::uint32_t sortOrder = JetU16(head + (format_.jet4 ? 0x6E : 0x3A));
    const std::uint32_t sortVersion = format_.jet4 ? JetU16(head + 0x70) : 0;
    if ((sortOrder != 1033 && sortOrder != 0) || sortVersion != 0) {
        throw refuse("its sort order (" + std::to_string(sortOrder) + ") is not \"General\"");
    }
    if (mode == Mode::Check) {
        const std::vector<std::string> problems = CheckJetFile(path);
        if (!problems.empty()) throw refuse("it is damaged (" + problems.front() + ")");
    }
}

JetWriter::~JetWriter() {
    if (fd_ >= 0) ::close(fd_);
}

const unsigned char* JetWriter::Read(std::uint32_t number) {
    if (number >= pageCount_) {
        throw DbError("Page " + std::to_string(number) + " is beyond the end of " + Quoted(path_) +
                      ".");
    }
    auto it = cache_.find(number);
    if (it == cache_.end()) {
        Page p;
        p.bytes.resize(format_.pageSize);
        const off_t at = static_cast<off_t>(number) * static_cast<off_t>(format_.pageSize);
        if (::pread(fd_, p.bytes.data(), p.bytes.size(), at) !=
            static_cast<ssize_t>(p.bytes.size())) {
            throw DbError("Could not read page " + std::to_string(number) + " of " + Quoted(path_) +
                          ".");
        }
        it = cache_.emplace(number, std::move(p)).first;
    }
    return it->second.bytes.data();
}

unsigned char* JetWriter::Mutable(std::uint32_t number) {
    if (readOnly_) throw DbError(Quoted(path_) + " is open for reading only.");
    Read(number);
    Page& p = cache_.at(number);
    p.dirty = true;
    return p.bytes.data();
}

std::uint32_t JetWriter::AllocatePage() {
    if (readOnly_) throw DbError(Quoted(path_) + " is open for reading only.");
    const std::uint64_t limit = format_.jet4 ? (std::uint64_t{2} << 30) : (std::uint64_t{1} << 30);
    if ((std::uint64_t{pageCount_} + 1) * format_.pageSize > limit) {
        throw DbError(Quoted(path_) + " would grow past the largest size of its format (" +
                      (format_.jet4 ? "2 GiB" : "1 GiB") + ").");
    }
    const std::uint32_t n = pageCount_++;
    Page p;
    p.bytes.assign(format_.pageSize, 0);
    p.dirty = true;
    cache_[n] = std::move(p);
    // The global map marks free pages; the new one is in use.
    MapSet(JetFile::kGlobalUsageMap, n, false, true);
    return n;
}

void JetWriter::TrimCache() {
    // Budgets in bytes of pages, so that Jet 3's half-size pages are kept twice as many.
    if (cache_.size() * format_.pageSize < kCacheBytes &&
        indexPages_.size() * format_.pageSize < kIndexCacheBytes)
        return;
    // Written back without a sync: only Flush promises the bytes are on disk.
    WriteBack();
    cache_.clear();
    indexPages_.clear();
}

void JetWriter::Flush() {
    WriteBack();
    if (!readOnly_ && ::fsync(fd_) != 0) {
        throw DbError("Could not write " + Quoted(path_) + ": " + SystemErrorText(errno));
    }
}

void JetWriter::WriteBack() {
    for (auto& [number, page] : indexPages_) {
        if (!page.dirty) continue;
        EncodeIndexPage(number, page);
        page.dirty = false;
    }
    std::vector<std::uint32_t> dirty;
    for (const auto& [number, page] : cache_) {
        if (page.dirty) dirty.push_back(number);
    }
    if (dirty.empty() && readOnly_) return;
    std::sort(dirty.begin(), dirty.end());
    for (const std::uint32_t number : dirty) {
        Page& p = cache_.at(number);
        const off_t at = static_cast<off_t>(number) * static_cast<off_t>(format_.pageSize);
        if (::pwrite(fd_, p.bytes.data(), p.bytes.size(), at) !=
            static_cast<ssize_t>(p.bytes.size())) {
            throw DbError("Could not write " + Quoted(path_) + ": " + SystemErrorText(errno));
        }
        p.dirty = false;
    }
}

JetWriter::Table& JetWriter::TableAt(std::uint32_t table) {
    auto it = tables_.find(table);
    if (it == tables_.end()) {
        Table t;
        t.def = ParseJetTableDef(
            format_, table, pageCount_, [this](std::uint32_t p) { return Read(p); }, Quoted(path_));
        it = tables_.emplace(table, std::move(t)).first;
    }
    return it->second;
}

const JetTableDef& JetWriter::Definition(std::uint32_t table) {
    return TableAt(table).def;
}

std::size_t JetWriter::CatalogColumn(const JetTableDef& def, const char* name) const {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (def.columns[i].name == name) return i;
    }
    throw DbError("The catalog of " + Quoted(path_) + " has no column " + name + ".");
}

std::uint32_t JetWriter::FindTable(const std::string& name) {
    const JetTableDef& catalog = Definition(kCatalogPage);
    const std::size_t id = CatalogColumn(catalog, "Id"), nameAt = CatalogColumn(catalog, "Name"),
                      type = CatalogColumn(catalog, "Type");
    std::uint32_t found = 0;
    ScanRows(kCatalogPage, [&](std::uint32_t, const std::vector<JetValue>& row) {
        const auto* n = std::get_if<std::string>(&row[nameAt]);
        const auto* t = std::get_if<std::int64_t>(&row[type]);
        const auto* i = std::get_if<std::int64_t>(&row[id]);
        constexpr std::int64_t kLocalTable = 1;
        if (n && t && i && *t == kLocalTable && EqualsNoCase(*n, name)) {
            found = static_cast<std::uint32_t>(*i) & 0x00FFFFFF;
        }
    });
    return found;
}

std::string JetWriter::UnwritableReason(std::uint32_t table) {
    const JetTableDef& def = Definition(table);
    if (def.tableType != kUserTable) return "it is a table of the database engine";
    for (const JetColumn& c : def.columns) {
        if (c.flags & kAutoNumberGuid) {
            return "its column [" + c.name +
                   "] is a replication ID, which this program cannot number";
        }
        if (c.type == kJetNumeric) return "its column [" + c.name + "] is of the Decimal kind";
    }
    for (const JetPhysicalIndex& index : def.indexes) {
        if (std::string why = UnkeyableIndexReason(format_, def, index); !why.empty()) return why;
    }
    return {};
}

// ---- Usage maps ----

std::pair<unsigned char*, std::size_t> JetWriter::MapRow(std::uint32_t pointer, bool write) {
    const std::uint32_t number = pointer >> 8, row = pointer & 0xFF;
    // Read through the same bytes; marked changed only when written.
    unsigned char* p = write ? Mutable(number) : const_cast<unsigned char*>(Read(number));
    const std::size_t count = JetU16(p + format_.dataRows);
    if (row >= count) throw DbError("A usage map of " + Quoted(path_) + " is missing.");
    const std::size_t start = JetU16(p + format_.dataOffsets + 2 * row) & 0x1FFF;
    const std::size_t end =
        row == 0 ? format_.pageSize : JetU16(p + format_.dataOffsets + 2 * (row - 1)) & 0x1FFF;
    if (start >= end || end > format_.pageSize || end - start < 5) {
        throw DbError("A usage map of " + Quoted(path_) + " is damaged.");
    }
    return {p + start, end - start};
}

bool JetWriter::MapHas(std::uint32_t pointer, std::uint32_t page) {
    const auto [row, size] = MapRow(pointer, false);
    if (row[0] == 0x00) {
        const std::uint32_t start = JetU32(row + 1);
        if (page < start || page - start >= (size - 5) * 8) return false;
        const std::uint32_t bit = page - start;
        return (row[5 + bit / 8] & (1u << (bit % 8))) != 0;
    }
    const std::uint32_t perPage = static_cast<std::uint32_t>((format_.pageSize - 4) * 8);
    const std::size_t k = page / perPage;
    if (1 + 4 * k + 4 > size) return false;
    const std::uint32_t mapPage = JetU32(row + 1 + 4 * k);
    if (mapPage == 0) return false;
    const std::uint32_t bit = page % perPage;
    return (Read(mapPage)[4 + bit / 8] & (1u << (bit % 8))) != 0;
}

std::vector<std::uint32_t> JetWriter::MapPages(std::uint32_t pointer) {
    std::vector<std::uint32_t> pages;
    const auto [row, size] = MapRow(pointer, false);
    const auto bits = [&](const unsigned char* b, std::size_t bytes, std::uint32_t start) {
        for (std::size_t i = 0; i < bytes * 8; ++i) {
            if (b[i / 8] & (1u << (i % 8))) pages.push_back(start + static_cast<std::uint32_t>(i));
        }
    };
    if (row[0] == 0x00) {
        bits(row + 5, size - 5, JetU32(row + 1));
        return pages;
    }
    // Copied: reading map pages may load pages.
    const std::vector<unsigned char> refs(row, row + size);
    const std::uint32_t perPage = static_cast<std::uint32_t>((format_.pageSize - 4) * 8);
    for (std::size_t k = 0; 1 + 4 * k + 4 <= refs.size(); ++k) {
        const std::uint32_t mapPage = JetU32(&refs[1 + 4 * k]);
        if (mapPage != 0)
            bits(Read(mapPage) + 4, format_.pageSize - 4, static_cast<std::uint32_t>(k) * perPage);
    }
    return pages;
}

void JetWriter::MapToReference(std::uint32_t pointer, std::uint32_t page, bool global) {
    // A map that no longer fits inline names bitmap pages instead, keeping
    // every page it marked. For the global map that matters beyond waste: a
    // free page marked taken would bring back what it holds (an old table
    // definition, say) as live.
    const std::vector<std::uint32_t> pages = MapPages(pointer);
    {
        const auto [row, size] = MapRow(pointer);
        std::memset(row, 0, size);
        row[0] = 0x01;
    }
    for (const std::uint32_t p : pages) {
        if (!global || p < pageCount_) MapSet(pointer, p, true, global);
    }
    (void)page;
}

void JetWriter::MapSet(std::uint32_t pointer, std::uint32_t page, bool on, bool global) {
    {
        const auto [row, size] = MapRow(pointer);
        if (row[0] == 0x00) {
            const std::uint32_t start = JetU32(row + 1);
            const std::size_t capacity = (size - 5) * 8;
            if (page >= start && page - start < capacity) {
                const std::uint32_t bit = page - start;
                if (on)
                    row[5 + bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
                else
                    row[5 + bit / 8] &= static_cast<unsigned char>(~(1u << (bit % 8)));
                return;
            }
            if (!on && !global) return;  // not in the map: nothing to clear
            if (!global) {
                // Move the map's window when all of its pages still fit in it.
                std::vector<std::uint32_t> pages = MapPages(pointer);
                pages.push_back(page);
                const auto [low, high] = std::minmax_element(pages.begin(), pages.end());
                const std::uint32_t first = *low / 8 * 8;
                if (*high - first < capacity) {
                    std::memset(row + 1, 0, size - 1);
                    JetPut32(row + 1, first);
                    for (const std::uint32_t p : pages) {
                        row[5 + (p - first) / 8] |=
                            static_cast<unsigned char>(1u << ((p - first) % 8));
                    }
                    return;
                }
            }
            MapToReference(pointer, page, global);
        }
    }
    const std::uint32_t perPage = static_cast<std::uint32_t>((format_.pageSize - 4) * 8);
    const std::size_t k = page / perPage;
    std::uint32_t mapPage = 0;
    {
        const auto [row, size] = MapRow(pointer);
        if (1 + 4 * k + 4 > size) throw DbError("A usage map of " + Quoted(path_) + " is full.");
        mapPage = JetU32(row + 1 + 4 * k);
    }
    if (mapPage == 0) {
        if (!on && !global) return;
        // A new bitmap page; for the global map, pages in the file are taken
        // and pages past its end free.
        const std::uint64_t limit =
            format_.jet4 ? (std::uint64_t{2} << 30) : (std::uint64_t{1} << 30);
        if ((std::uint64_t{pageCount_} + 1) * format_.pageSize > limit) {
            throw DbError(Quoted(path_) + " would grow past the largest size of its format.");
        }
        mapPage = pageCount_++;
        Page fresh;
        fresh.bytes.assign(format_.pageSize, 0);
        fresh.dirty = true;
        fresh.bytes[0] = 0x05;
        fresh.bytes[1] = 0x01;
        if (global) {
            for (std::uint32_t i = 0; i < perPage; ++i) {
                const std::uint64_t p = std::uint64_t{k} * perPage + i;
                if (p >= pageCount_)
                    fresh.bytes[4 + i / 8] |= static_cast<unsigned char>(1u << (i % 8));
            }
        }
        cache_[mapPage] = std::move(fresh);
        JetPut32(MapRow(pointer).first + 1 + 4 * k, mapPage);
        if (!global || mapPage / perPage != k)
            MapSet(JetFile::kGlobalUsageMap, mapPage, false, true);
    }
    unsigned char* bits = Mutable(mapPage) + 4;
    const std::uint32_t bit = page % perPage;
    if (on)
        bits[bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
    else
        bits[bit / 8] &= static_cast<unsigned char>(~(1u << (bit % 8)));
}

// ---- Data pages ----

std::uint32_t JetWriter::PlaceRow(Table& t, const JetBytes& row, bool copyOfMovedRow) {
    const JetFormat& f = format_;
    const auto room = [&](std::uint32_t number) -> bool {
        const unsigned char* p = Read(number);
        if (p[0] != 0x01 || JetU32(p + 4) != t.def.page) return false;
        const std::size_t count = JetU16(p + f.dataRows);
        const std::size_t lowest =
            count == 0 ? f.pageSize : JetU16(p + f.dataOffsets + 2 * (count - 1)) & 0x1FFF;
        return count < 255 && lowest >= f.dataOffsets + 2 * (count + 1) + row.size();
    };
    // The last page of the table, while it has room (as the engine fills them).
    if (!t.lastPageKnown) {
        const std::vector<std::uint32_t> owned = MapPages(t.def.ownedMap);
        t.lastPage = owned.empty() ? 0 : owned.back();
        t.lastPageKnown = true;
    }
    std::uint32_t number = t.lastPage;
    if (number == 0 || !MapHas(t.def.freeMap, number) || !room(number)) {
        if (number != 0 && MapHas(t.def.freeMap, number))
            MapSet(t.def.freeMap, number, false, false);
        number = AllocatePage();
        unsigned char* p = Mutable(number);
        p[0] = 0x01;
        p[1] = 0x01;
        JetPut16(p + 2, static_cast<std::uint32_t>(f.pageSize - f.dataOffsets));
        JetPut32(p + 4, t.def.page);
        MapSet(t.def.ownedMap, number, true, false);
        MapSet(t.def.freeMap, number, true, false);
        t.lastPage = number;
        if (!room(number)) throw JetValueError("the row does not fit in a page");
    }
    unsigned char* p = Mutable(number);
    const std::size_t count = JetU16(p + f.dataRows);
    const std::size_t lowest =
        count == 0 ? f.pageSize : JetU16(p + f.dataOffsets + 2 * (count - 1)) & 0x1FFF;
    const std::size_t start = lowest - row.size();
    std::memcpy(p + start, row.data(), row.size());
    JetPut16(p + f.dataOffsets + 2 * count,
             static_cast<std::uint32_t>(start) | (copyOfMovedRow ? 0x8000u : 0u));
    JetPut16(p + f.dataRows, static_cast<std::uint32_t>(count + 1));
    JetPut16(p + 2, static_cast<std::uint32_t>(start - f.dataOffsets - 2 * (count + 1)));
    return number << 8 | static_cast<std::uint32_t>(count);
}

JetBytes JetWriter::RowAt(std::uint32_t pointer, std::uint32_t* stored) {
    for (int hop = 0; hop < 2; ++hop) {
        const std::uint32_t number = pointer >> 8, row = pointer & 0xFF;
        const unsigned char* p = Read(number);
        const std::size_t count = JetU16(p + format_.dataRows);
        if (p[0] != 0x01 || row >= count) break;
        const std::uint32_t entry = JetU16(p + format_.dataOffsets + 2 * row);
        const std::size_t start = entry & 0x1FFF;
        const std::size_t end =
            row == 0 ? format_.pageSize : JetU16(p + format_.dataOffsets + 2 * (row - 1)) & 0x1FFF;
        if (start > end || end > format_.pageSize) break;
        const bool moved = (entry & 0xC000) == 0x4000;
        if (moved && hop == 0 && end - start >= 4) {
            pointer = JetU32(p + start);
            continue;
        }
        if (stored) *stored = pointer;
        return JetBytes(p + start, p + end);
    }
    throw DbError("Row " + std::to_string(pointer & 0xFF) + " of page " +
                  std::to_string(pointer >> 8) + " of " + Quoted(path_) + " is not there.");
}

std::vector<JetValue> JetWriter::ReadRow(std::uint32_t table, std::uint32_t pointer,
                                         const std::vector<bool>* only) {
    const Table& t = TableAt(table);
    return DecodeJetRow(format_, t.def, RowAt(pointer), only);
}

void JetWriter::ScanRows(
    std::uint32_t table,
    const std::function<void(std::uint32_t, const std::vector<JetValue>&)>& visit,
    const std::vector<bool>* only) {
    const JetTableDef def = TableAt(table).def;
    for (const std::uint32_t number : MapPages(def.ownedMap)) {
        TrimCache();  // a scan of a large table keeps few pages
        const unsigned char* p = Read(number);
        if (p[0] != 0x01 || JetU32(p + 4) != def.page) continue;
        const std::size_t count = JetU16(p + format_.dataRows);
        for (std::size_t r = 0; r < count; ++r) {
            if (JetU16(Read(number) + format_.dataOffsets + 2 * r) & 0x8000) continue;
            const std::uint32_t pointer = number << 8 | static_cast<std::uint32_t>(r);
            visit(pointer, DecodeJetRow(format_, def, RowAt(pointer), only));
        }
    }
}

// ---- Index pages ----

JetWriter::IndexPage& JetWriter::LoadIndexPage(std::uint32_t number) {
    if (const auto it = indexPages_.find(number); it != indexPages_.end()) return it->second;
    const JetFormat& f = format_;
    const unsigned char* p = Read(number);
    if (p[0] != 0x03 && p[0] != 0x04) {
        throw DbError("Page " + std::to_string(number) + " of " + Quoted(path_) +
                      " is no index page.");
    }
    IndexPage page;
    page.leaf = p[0] == 0x04;
    page.tdef = JetU32(p + 4);
    page.prev = JetU32(p + f.indexPrev);
    page.next = JetU32(p + f.indexNext);
    page.tail = JetU32(p + f.indexTail);
    const std::size_t prefix =
        f.indexPrefixSize == 1 ? p[f.indexPrefix] : JetU16(p + f.indexPrefix);
    std::size_t start = f.indexFirstEntry;
    for (std::size_t k = 0; k < (f.indexFirstEntry - f.indexBitmap) * 8; ++k) {
        if (!(p[f.indexBitmap + k / 8] & (1u << (k % 8)))) continue;
        const std::size_t end = f.indexFirstEntry + k;
        if (end <= start || end > f.pageSize) {
            throw DbError("Index page " + std::to_string(number) + " of " + Quoted(path_) +
                          " is damaged.");
        }
        JetBytes e;
        if (!page.entries.empty()) {
            const JetBytes& first = page.entries.front();
            e.assign(first.begin(),
                     first.begin() + static_cast<std::ptrdiff_t>(std::min(prefix, first.size())));
        }
        e.insert(e.end(), p + start, p + end);
        page.entries.push_back(std::move(e));
        start = end;
    }
    return indexPages_.emplace(number, std::move(page)).first->second;
}

namespace {

// The bytes all entries of a page share with its first, each entry keeping one.
std::size_t SharedPrefix(const std::vector<JetBytes>& entries, std::size_t most) {
    if (entries.size() < 2) return 0;
    const JetBytes& a = entries.front();
    const JetBytes& b = entries.back();
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
    for (const JetBytes& e : entries) prefix = std::min(prefix, e.size() - 1);
    return std::min(prefix, most);
}

}  // namespace

bool JetWriter::IndexPageFits(const IndexPage& page) const {
    const JetFormat& f = format_;
    // Most pages fit without their shared prefix taken off.
    std::size_t whole = f.indexFirstEntry;
    for (const JetBytes& e : page.entries) whole += e.size();
    if (whole <= f.pageSize) return true;
    const std::size_t prefix = SharedPrefix(page.entries, f.indexPrefixSize == 1 ? 255 : 0xFFFF);
    std::size_t size = f.indexFirstEntry;
    for (std::size_t i = 0; i < page.entries.size(); ++i)
        size += page.entries[i].size() - (i == 0 ? 0 : prefix);
    return size <= f.pageSize;
}

void JetWriter::PutIndexPage(std::uint32_t number, IndexPage page) {
    if (!IndexPageFits(page)) {
        throw DbError("An index page of " + Quoted(path_) + " cannot hold its entries.");
    }
    page.dirty = true;
    indexPages_[number] = std::move(page);
}

void JetWriter::EncodeIndexPage(std::uint32_t number, const IndexPage& page) {
    const JetFormat& f = format_;
    const std::size_t prefix = SharedPrefix(page.entries, f.indexPrefixSize == 1 ? 255 : 0xFFFF);
    unsigned char* p = Mutable(number);
    std::memset(p, 0, f.pageSize);
    p[0] = page.leaf ? 0x04 : 0x03;
    p[1] = 0x01;
    JetPut32(p + 4, page.tdef);
    JetPut32(p + f.indexPrev, page.prev);
    JetPut32(p + f.indexNext, page.next);
    JetPut32(p + f.indexTail, page.leaf ? 0 : page.tail);
    if (f.indexPrefixSize == 1)
        p[f.indexPrefix] = static_cast<unsigned char>(prefix);
    else
        JetPut16(p + f.indexPrefix, static_cast<std::uint32_t>(prefix));
    p[f.indexPrefix + f.indexPrefixSize] = page.leaf ? 0 : 1;
    std::size_t at = f.indexFirstEntry;
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
        const JetBytes& e = page.entries[i];
        const std::size_t skip = i == 0 ? 0 : prefix;
        std::memcpy(p + at, e.data() + skip, e.size() - skip);
        at += e.size() - skip;
        const std::size_t bit = at - f.indexFirstEntry;
        p[f.indexBitmap + bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
    }
    JetPut16(p + 2, static_cast<std::uint32_t>(f.pageSize - at));
}

namespace {

// The first entry of an intermediate page whose key is not below the entry.
std::size_t ChildPlace(const std::vector<JetBytes>& entries, const JetBytes& entry) {
    return static_cast<std::size_t>(
        std::partition_point(entries.begin(), entries.end(),
                             [&](const JetBytes& e) { return KeyBelow(e, entry); }) -
        entries.begin());
}

std::uint32_t ChildOf(const JetBytes& intermediate) {
    return BigEndian(&intermediate[intermediate.size() - 4], 4);
}

}  // namespace

void JetWriter::IndexInsert(Table& t, std::size_t i, const JetBytes& entry) {
    const JetPhysicalIndex& index = t.def.indexes[i];
    struct Step {
        std::uint32_t number;
        std::size_t pos;  // the child taken: an entry, or entries.size() for the tail
    };
    std::vector<Step> path;
    std::uint32_t number = index.rootPage;
    IndexPage* page = &LoadIndexPage(number);
    while (!page->leaf) {
        if (path.size() > 32) throw DbError("An index of " + Quoted(path_) + " is too deep.");
        std::vector<JetBytes>& entries = page->entries;
        std::size_t pos = ChildPlace(entries, entry);
        std::uint32_t child = 0;
        if (pos < entries.size()) {
            child = ChildOf(entries[pos]);
        } else if (page->tail != 0) {
            child = page->tail;
        } else {
            // No tail: the last child takes the key, its entry names it.
            if (entries.empty()) throw DbError("An index page of " + Quoted(path_) + " is empty.");
            pos = entries.size() - 1;
            child = ChildOf(entries[pos]);
            JetBytes renamed = entry;
            PutBigEndian(renamed, child, 4);
            entries[pos] = renamed;
            if (!IndexPageFits(*page))
                throw DbError("An index key of " + Quoted(path_) + " is too long.");
            page->dirty = true;
        }
        path.push_back({number, pos});
        number = child;
        page = &LoadIndexPage(number);
    }
    const std::size_t inserted = static_cast<std::size_t>(
        std::lower_bound(page->entries.begin(), page->entries.end(), entry) -
        page->entries.begin());
    // The definition counts the distinct keys an index has held.
    if (!NeighbourHasKey(*page, inserted, entry)) {
        PutDef(t, index.countOffset, ++t.def.indexes[i].uniqueCount);
    }
    page = &LoadIndexPage(number);  // the neighbours' pages may have come in since
    page->entries.insert(page->entries.begin() + static_cast<std::ptrdiff_t>(inserted), entry);
    page->dirty = true;
    bool appended = inserted + 1 == page->entries.size();
    while (!IndexPageFits(*page)) {
        // Split: the left part moves to a new page, the right stays, so the
        // entry that names this page above stays true.
        std::vector<JetBytes>& entries = page->entries;
        const std::size_t n = entries.size();
        std::size_t k = 0;
        if (appended && page->next == 0) {
            k = n - 1;  // appending at the end fills pages instead of halving them
        } else {
            std::size_t total = 0, sum = 0;
            for (const JetBytes& e : entries) total += e.size();
            while (k < n - 1 && sum + entries[k].size() <= total / 2) sum += entries[k++].size();
            k = std::max<std::size_t>(k, 1);
        }
        IndexPage left;
        left.leaf = page->leaf;
        left.tdef = t.def.page;
        JetBytes separator;
        if (page->leaf) {
            left.entries.assign(
                std::make_move_iterator(entries.begin()),
                std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(k)));
            separator = left.entries.back();
            entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            // Entry k-1 names the left page's last child, which becomes its tail.
            k = std::min(k, n - 1);
            const JetBytes middle = entries[k - 1];
            left.entries.assign(
                std::make_move_iterator(entries.begin()),
                std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(k - 1)));
            left.tail = ChildOf(middle);
            entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(k));
            separator.assign(middle.begin(), middle.end() - 4);
        }
        if (path.empty()) {
            // The root keeps its page: both halves move to new pages under it.
            const std::uint32_t a = AllocatePage(), b = AllocatePage();
            MapSet(index.ownedMap, a, true, false);
            MapSet(index.ownedMap, b, true, false);
            IndexPage right = std::move(*page);
            right.prev = a;
            right.next = 0;
            left.prev = 0;
            left.next = b;
            IndexPage root;
            root.leaf = false;
            root.tdef = t.def.page;
            root.tail = b;
            PutBigEndian(separator, a, 4);
            root.entries.push_back(separator);
            PutIndexPage(a, std::move(left));
            PutIndexPage(b, std::move(right));
            PutIndexPage(number, std::move(root));
            return;
        }
        const std::uint32_t l = AllocatePage();
        MapSet(index.ownedMap, l, true, false);
        left.prev = page->prev;
        left.next = number;
        if (page->prev != 0) {
            IndexPage& before = LoadIndexPage(page->prev);
            before.next = l;
            before.dirty = true;
        }
        page->prev = l;
        if (!IndexPageFits(*page))
            throw DbError("An index page of " + Quoted(path_) + " cannot be split.");
        PutIndexPage(l, std::move(left));
        const Step up = path.back();
        path.pop_back();
        PutBigEndian(separator, l, 4);
        number = up.number;
        page = &LoadIndexPage(number);
        page->entries.insert(page->entries.begin() + static_cast<std::ptrdiff_t>(up.pos),
                             separator);
        page->dirty = true;
        appended = up.pos == page->entries.size() - 1 && page->tail == 0;
    }
}

// The leaf where an entry belongs, reached from the root.
JetWriter::IndexPage& JetWriter::LeafFor(const JetPhysicalIndex& index, const JetBytes& entry,
                                         std::uint32_t* number) {
    std::uint32_t n = index.rootPage;
    IndexPage* page = &LoadIndexPage(n);
    for (int depth = 0; !page->leaf; ++depth) {
        if (depth > 32) throw DbError("An index of " + Quoted(path_) + " is too deep.");
        const std::size_t pos = ChildPlace(page->entries, entry);
        if (pos < page->entries.size()) {
            n = ChildOf(page->entries[pos]);
        } else if (page->tail != 0) {
            n = page->tail;
        } else if (!page->entries.empty()) {
            n = ChildOf(page->entries.back());
        } else {
            throw DbError("An index page of " + Quoted(path_) + " is empty.");
        }
        page = &LoadIndexPage(n);
    }
    if (number) *number = n;
    return *page;
}

void JetWriter::IndexRemove(Table& t, std::size_t i, const JetBytes& entry) {
    IndexPage& page = LeafFor(t.def.indexes[i], entry, nullptr);
    const auto at = std::lower_bound(page.entries.begin(), page.entries.end(), entry);
    if (at == page.entries.end() || *at != entry) {
        throw DbError("An index of " + Quoted(path_) + " lacks the entry of a row it changes.");
    }
    page.entries.erase(at);
    page.dirty = true;
}

bool JetWriter::KeyRunNeighbour(const JetPhysicalIndex& index, const JetBytes& entry) {
    const IndexPage& page = LeafFor(index, entry, nullptr);
    const auto at = std::lower_bound(page.entries.begin(), page.entries.end(), entry);
    return NeighbourHasKey(page, static_cast<std::size_t>(at - page.entries.begin()), entry);
}

bool JetWriter::NeighbourHasKey(const IndexPage& page, std::size_t pos, const JetBytes& entry) {
    // Equal keys lie together: a neighbour of the entry's place has its key
    // if any entry has, on this leaf or across the leaf links.
    if (pos < page.entries.size() && SameKey(page.entries[pos], entry)) return true;
    if (pos > 0 && SameKey(page.entries[pos - 1], entry)) return true;
    if (pos == 0) {
        for (std::uint32_t p = page.prev, hops = 0; p != 0 && hops < 64; ++hops) {
            const IndexPage& before = LoadIndexPage(p);
            if (!before.entries.empty()) return SameKey(before.entries.back(), entry);
            p = before.prev;
        }
    }
    if (pos == page.entries.size()) {
        for (std::uint32_t p = page.next, hops = 0; p != 0 && hops < 64; ++hops) {
            const IndexPage& after = LoadIndexPage(p);
            if (!after.entries.empty()) return SameKey(after.entries.front(), entry);
            p = after.next;
        }
    }
    return false;
}

bool JetWriter::IndexHasKey(const JetPhysicalIndex& index, const JetBytes& key) {
    JetBytes probe = key;
    PutBigEndian(probe, kNoPointer, 4);
    return KeyRunNeighbour(index, probe);
}

// ---- The definition's counters ----

void JetWriter::PutDef(Table& t, std::size_t offset, std::uint32_t value) {
    const std::size_t size = format_.pageSize;
    for (std::size_t b = 0; b < 4; ++b) {
        const std::size_t at = offset + b;
        std::size_t page = 0, in = at;
        if (at >= size) {
            page = (at - size) / (size - 8) + 1;
            in = 8 + (at - size) % (size - 8);
        }
        if (page >= t.def.pages.size())
            throw DbError("A table definition of " + Quoted(path_) + " is cut.");
        Mutable(t.def.pages[page])[in] = static_cast<unsigned char>(value >> (8 * b));
    }
}

std::optional<std::int64_t> JetWriter::LargestKey(Table& t, int column) {
    for (const JetPhysicalIndex& index : t.def.indexes) {
        if (index.columns.empty() || index.columns.front().first != column) continue;
        const bool ascending = index.columns.front().second;
        // The largest number ends an ascending index and starts a descending one.
        std::uint32_t number = index.rootPage;
        for (int depth = 0;; ++depth) {
            const IndexPage& page = LoadIndexPage(number);
            if (page.leaf) break;
            if (depth > 32 || page.entries.empty()) return std::nullopt;
            number = ascending ? (page.tail ? page.tail : ChildOf(page.entries.back()))
                               : ChildOf(page.entries.front());
        }
        const IndexPage& leaf = LoadIndexPage(number);
        // An empty leaf under a root that is not itself a leaf says nothing.
        if (leaf.entries.empty())
            return number == index.rootPage ? std::optional<std::int64_t>(0) : std::nullopt;
        JetBytes key = ascending ? leaf.entries.back() : leaf.entries.front();
        if (key.size() < 5 + 4) return std::nullopt;
        if (!ascending)
            for (unsigned char& b : key) b = static_cast<unsigned char>(~b);
        if (key[0] != 0x7F) return std::nullopt;  // NULL
        const std::uint32_t bits = BigEndian(&key[1], 4) ^ 0x80000000u;
        return static_cast<std::int32_t>(bits);
    }
    return std::nullopt;
}

void JetWriter::NextAutoNumber(Table& t, std::vector<JetValue>& values) {
    for (std::size_t c = 0; c < t.def.columns.size(); ++c) {
        const JetColumn& col = t.def.columns[c];
        if (!(col.flags & kAutoNumberLong) || col.type != kJetLong) continue;
        if (!t.autoKnown) {
            // The counter, or the largest number if a row holds more: from an
            // index that starts with the column where there is one, else from
            // a scan of the rows.
            std::int64_t largest = static_cast<std::int32_t>(t.def.autoNumber);
            if (const std::optional<std::int64_t> top = LargestKey(t, col.number)) {
                largest = std::max(largest, *top);
            } else {
                ScanRows(t.def.page, [&](std::uint32_t, const std::vector<JetValue>& row) {
                    if (const auto* n = std::get_if<std::int64_t>(&row[c]))
                        largest = std::max(largest, *n);
                });
            }
            t.lastAuto = largest;
            t.autoKnown = true;
        }
        if (std::holds_alternative<std::monostate>(values[c])) values[c] = t.lastAuto + 1;
    }
}

// ---- Rows ----

std::uint32_t JetWriter::AppendRow(std::uint32_t table, std::vector<JetValue>& values) {
    TrimCache();
    if (std::string why = UnwritableReason(table); !why.empty()) {
        throw DbError("Rows cannot be added to the table on page " + std::to_string(table) +
                      " of " + Quoted(path_) + ": " + why + ".");
    }
    return Append(TableAt(table), values);
}

std::uint32_t JetWriter::Append(Table& t, std::vector<JetValue>& values) {
    if (values.size() != t.def.columns.size())
        throw JetValueError("the row has a wrong number of values");
    for (std::size_t c = 0; c < values.size(); ++c) {
        const int type = t.def.columns[c].type;
        if ((type == kJetMemo || type == kJetOle) &&
            !std::holds_alternative<std::monostate>(values[c])) {
            throw JetValueError("the column [" + t.def.columns[c].name +
                                "] is a Memo or OLE column, which this program cannot fill");
        }
    }
    std::vector<JetValue> row = values;
    NextAutoNumber(t, row);
    const JetBytes bytes = EncodeJetRow(format_, t.def, row);
    const std::size_t space = format_.pageSize - format_.indexFirstEntry;
    std::vector<JetBytes> keys(t.def.indexes.size());
    std::vector<bool> skip(t.def.indexes.size());
    for (std::size_t i = 0; i < t.def.indexes.size(); ++i) {
        const JetPhysicalIndex& index = t.def.indexes[i];
        keys[i] = JetIndexKey(format_, t.def, index, row);
        const bool allNull = JetKeyAllNull(index, keys[i]);
        skip[i] = allNull && (index.flags & kIndexIgnoreNulls);
        if (keys[i].size() + 8 > space / 3) throw JetValueError("the row's index key is too long");
        if (!skip[i] && !allNull && (index.flags & kIndexUnique) && IndexHasKey(index, keys[i])) {
            throw JetValueError("a unique index of the table holds its key already");
        }
    }
    // Nothing is written before here.
    const std::uint32_t pointer = PlaceRow(t, bytes, false);
    for (std::size_t i = 0; i < t.def.indexes.size(); ++i) {
        if (skip[i]) continue;
        IndexInsert(t, i, IndexEntry(keys[i], pointer));
    }
    ++t.def.rowCount;
    PutDef(t, format_.rowCount, t.def.rowCount);
    for (std::size_t c = 0; c < row.size(); ++c) {
        const JetColumn& col = t.def.columns[c];
        if (!(col.flags & kAutoNumberLong) || col.type != kJetLong) continue;
        t.lastAuto = std::max(t.lastAuto, std::get<std::int64_t>(row[c]));
        t.def.autoNumber = static_cast<std::uint32_t>(t.lastAuto);
        PutDef(t, format_.autoNumber, t.def.autoNumber);
    }
    values = row;
    return pointer;
}

void JetWriter::UpdateRow(std::uint32_t table, std::uint32_t pointer,
                          const std::vector<JetValue>& values) {
    TrimCache();
    Table& t = TableAt(table);
    if (std::string why = UnwritableReason(table); !why.empty()) {
        throw DbError("Rows of the table on page " + std::to_string(table) + " of " +
                      Quoted(path_) + " cannot be changed: " + why + ".");
    }
    std::uint32_t stored = pointer;
    const JetBytes old = RowAt(pointer, &stored);
    const std::vector<JetValue> before = DecodeJetRow(format_, t.def, old);
    const JetBytes natural = EncodeJetRow(format_, t.def, values);
    const std::vector<JetValue> after = DecodeJetRow(format_, t.def, natural);
    std::vector<JetBytes> oldKeys, newKeys;
    for (const JetPhysicalIndex& index : t.def.indexes) {
        oldKeys.push_back(JetIndexKey(format_, t.def, index, before));
        newKeys.push_back(JetIndexKey(format_, t.def, index, after));
        const JetBytes& k = newKeys.back();
        if (k != oldKeys.back() && (index.flags & kIndexUnique) && !JetKeyAllNull(index, k) &&
            IndexHasKey(index, k)) {
            throw JetValueError("a unique index of the table holds its key already");
        }
    }
    // In place when it fits its room (filled up to it), else moved.
    JetBytes padded;
    if (natural.size() <= old.size()) {
        padded = EncodeJetRow(format_, t.def, values, old.size());
        if (padded.size() != old.size() || DecodeJetRow(format_, t.def, padded) != after)
            padded.clear();
    }
    const auto slotOf = [&](std::uint32_t ptr) {
        unsigned char* p = Mutable(ptr >> 8);
        const std::size_t r = ptr & 0xFF;
        const std::size_t start = JetU16(p + format_.dataOffsets + 2 * r) & 0x1FFF;
        return std::pair<unsigned char*, std::size_t>(p, start);
    };
    if (!padded.empty()) {
        const auto [p, start] = slotOf(stored);
        std::memcpy(p + start, padded.data(), padded.size());
    } else {
        const JetBytes original = stored == pointer ? old : RowAt(stored);
        std::size_t room = 0;
        {
            const std::size_t r = pointer & 0xFF;
            const unsigned char* p = Read(pointer >> 8);
            const std::size_t start = JetU16(p + format_.dataOffsets + 2 * r) & 0x1FFF;
            const std::size_t end =
                r == 0 ? format_.pageSize : JetU16(p + format_.dataOffsets + 2 * (r - 1)) & 0x1FFF;
            room = end - start;
        }
        if (room < 4) throw JetValueError("the row is too short to be moved");
        const std::uint32_t copy = PlaceRow(t, natural, true);
        // The row keeps its place; its room points to the copy.
        const auto [p, start] = slotOf(pointer);
        std::memset(p + start, 0, room);
        JetPut32(p + start, copy);
        const std::size_t r = pointer & 0xFF;
        const std::uint32_t entry = JetU16(p + format_.dataOffsets + 2 * r);
        JetPut16(p + format_.dataOffsets + 2 * r, (entry & 0x1FFF) | 0x4000);
    }
    for (std::size_t i = 0; i < t.def.indexes.size(); ++i) {
        if (oldKeys[i] == newKeys[i]) continue;
        const JetPhysicalIndex& index = t.def.indexes[i];
        const bool ignore = (index.flags & kIndexIgnoreNulls) != 0;
        if (!(ignore && JetKeyAllNull(index, oldKeys[i])))
            IndexRemove(t, i, IndexEntry(oldKeys[i], pointer));
        if (!(ignore && JetKeyAllNull(index, newKeys[i])))
            IndexInsert(t, i, IndexEntry(newKeys[i], pointer));
    }
}

}  // namespace tvx

namespace tvx {

void JetWriter::DeleteRow(std::uint32_t table, std::uint32_t pointer) {
    TrimCache();
    Table& t = TableAt(table);
    if (std::string why = UnwritableReason(table); !why.empty()) {
        throw DbError("Rows of the table on page " + std::to_string(table) + " of " +
                      Quoted(path_) + " cannot be deleted: " + why + ".");
    }
    const std::vector<JetValue> values = DecodeJetRow(format_, t.def, RowAt(pointer));
    for (std::size_t i = 0; i < t.def.indexes.size(); ++i) {
        const JetPhysicalIndex& index = t.def.indexes[i];
        const JetBytes key = JetIndexKey(format_, t.def, index, values);
        if ((index.flags & kIndexIgnoreNulls) && JetKeyAllNull(index, key)) continue;
        IndexRemove(t, i, IndexEntry(key, pointer));
    }
    unsigned char* p = Mutable(pointer >> 8);
    const std::size_t r = pointer & 0xFF;
    JetPut16(p + format_.dataOffsets + 2 * r, JetU16(p + format_.dataOffsets + 2 * r) | 0x8000);
    --t.def.rowCount;
    PutDef(t, format_.rowCount, t.def.rowCount);
}

}  // namespace tvx
