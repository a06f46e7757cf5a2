#include "db/jet_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tables/database.h"
#include "util/file.h"

namespace tvx {

namespace {

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

}  // namespace

JetFormat JetFormat::Jet3() {
    JetFormat f;
    f.jet4 = false;
    f.pageSize = 2048;
    f.rowCount = 12;
    f.autoNumber = 16;
    f.tableType = 20;
    f.columnCount = 25;
    f.logicalIndexCount = 27;
    f.physicalIndexCount = 31;
    f.ownedMap = 35;
    f.freeMap = 39;
    f.indexCounts = 43;
    f.indexCountSize = 8;
    f.columnSize = 18;
    f.physicalIndexSize = 39;
    f.logicalIndexSize = 20;
    f.dataRows = 8;
    f.dataOffsets = 10;
    f.indexPrev = 8;
    f.indexNext = 12;
    f.indexTail = 16;
    f.indexPrefix = 20;
    f.indexPrefixSize = 1;  // one byte: the next is the "intermediate" mark
    f.indexBitmap = 22;
    f.indexFirstEntry = 248;
    return f;
}

JetFormat JetFormat::Jet4() {
    JetFormat f;
    f.jet4 = true;
    f.pageSize = 4096;
    f.rowCount = 16;
    f.autoNumber = 20;
    f.tableType = 40;
    f.columnCount = 45;
    f.logicalIndexCount = 47;
    f.physicalIndexCount = 51;
    f.ownedMap = 55;
    f.freeMap = 59;
    f.indexCounts = 63;
    f.indexCountSize = 12;
    f.columnSize = 25;
    f.physicalIndexSize = 52;
    f.logicalIndexSize = 28;
    f.dataRows = 12;
    f.dataOffsets = 14;
    f.indexPrev = 12;
    f.indexNext = 16;
    f.indexTail = 20;
    f.indexPrefix = 24;
    f.indexPrefixSize = 2;
    f.indexBitmap = 27;
    f.indexFirstEntry = 480;
    return f;
}

JetFile::JetFile(const std::string& path) : path_(path) {
    FileCheck check;
    const int fd = OpenRegularFile(path, &check);
    if (fd < 0) throw DbError(FileProblem(path, check));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 2048) {
        ::close(fd);
        throw DbError(Quoted(path) + " is not a Jet database: it is too short.");
    }
    size_ = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    const int error = errno;
    ::close(fd);
    if (map == MAP_FAILED)
        throw DbError("Could not read " + Quoted(path) + ": " + SystemErrorText(error));
    bytes_ = static_cast<const unsigned char*>(map);
    if (std::memcmp(bytes_ + 4, "Standard Jet DB", 15) != 0) {
        throw DbError(Quoted(path) + " is not a Jet database.");
    }
    // 0 is Jet 3, 1 Jet 4; later versions are the ACE formats.
    switch (bytes_[0x14]) {
        case 0:
            format_ = JetFormat::Jet3();
            break;
        case 1:
            format_ = JetFormat::Jet4();
            break;
        default:
            throw DbError(Quoted(path) +
                          " is a Jet database of a version this program cannot "
                          "write (only Jet 3 and Jet 4).");
    }
    if (size_ % format_.pageSize != 0) {
        throw DbError(Quoted(path) + " is damaged: its length is not a whole number of pages.");
    }
    pageCount_ = static_cast<std::uint32_t>(size_ / format_.pageSize);
}

JetFile::~JetFile() {
    if (bytes_) ::munmap(const_cast<unsigned char*>(bytes_), size_);
}

const unsigned char* JetFile::page(std::uint32_t number) const {
    if (number >= pageCount_) {
        throw DbError("Page " + std::to_string(number) + " is beyond the end of " + Quoted(path_) +
                      ".");
    }
    // A large file does not stay in memory whole: once the pages read since
    // the last release pass a budget, the mapping lets them all go (they are
    // read again from the file if needed). Reads are counted by the 64 KiB
    // block that the kernel maps around a page it reads in, so that reads
    // scattered over the file count what they bring in, while a page read
    // again and again (rows of one page in key order) stays.
    constexpr std::size_t kResidentBytes = std::size_t{16} << 20;
    constexpr std::size_t kBlock = std::size_t{64} << 10;
    if (size_ > kResidentBytes) {
        if (touched_.empty()) touched_.resize(size_ / kBlock + 1);
        const std::size_t block = std::size_t{number} * format_.pageSize / kBlock;
        if (!touched_[block]) {
            touched_[block] = true;
            if (++touchedCount_ * kBlock > kResidentBytes) {
                ::madvise(const_cast<unsigned char*>(bytes_), size_, MADV_DONTNEED);
                std::fill(touched_.begin(), touched_.end(), false);
                touchedCount_ = 0;
            }
        }
    }
    return bytes_ + std::size_t{number} * format_.pageSize;
}

std::vector<std::uint32_t> JetFile::TableDefPages() const {
    std::vector<std::uint32_t> pages;
    std::set<std::uint32_t> continuations;
    // Pages of dropped tables keep their bytes but are free in the global map.
    const std::set<std::uint32_t> free = UsageMapPages(kGlobalUsageMap);
    for (std::uint32_t p = 1; p < pageCount_; ++p) {
        const unsigned char* bytes = page(p);
        if (bytes[0] != 0x02 || free.count(p)) continue;
        pages.push_back(p);
        if (const std::uint32_t next = JetU32(bytes + 4); next != 0) continuations.insert(next);
    }
    std::erase_if(pages, [&](std::uint32_t p) { return continuations.count(p) != 0; });
    return pages;
}

JetTableDef ParseJetTableDef(const JetFormat& f, std::uint32_t first, std::uint32_t pageCount,
                             const std::function<const unsigned char*(std::uint32_t)>& page,
                             const std::string& where) {
    const auto damaged = [&](const std::string& what) {
        return DbError("The table definition on page " + std::to_string(first) + " of " + where +
                       " is damaged: " + what + ".");
    };
    if (page(first)[0] != 0x02) throw damaged("it is no definition page");
    // The definition with its continuation pages, each after its 8-byte header.
    std::vector<unsigned char> def(page(first), page(first) + f.pageSize);
    std::set<std::uint32_t> seen{first};
    std::vector<std::uint32_t> chain{first};
    for (std::uint32_t next = JetU32(page(first) + 4); next != 0;) {
        if (!seen.insert(next).second || next >= pageCount || page(next)[0] != 0x02) {
            throw damaged("its chain of pages is broken");
        }
        def.insert(def.end(), page(next) + 8, page(next) + f.pageSize);
        chain.push_back(next);
        next = JetU32(page(next) + 4);
    }
    std::size_t at = 0;
    const auto need = [&](std::size_t bytes) {
        if (at + bytes > def.size()) throw damaged("it ends too early");
    };
    JetTableDef t;
    t.page = first;
    t.pages = chain;
    need(f.indexCounts);
    t.rowCount = JetU32(&def[f.rowCount]);
    t.autoNumber = JetU32(&def[f.autoNumber]);
    t.tableType = def[f.tableType];
    t.maxColumns = JetU16(&def[f.tableType + 1]);
    t.varColumns = JetU16(&def[f.tableType + 3]);
    const std::uint32_t columns = JetU16(&def[f.columnCount]);
    const std::uint32_t logical = JetU32(&def[f.logicalIndexCount]);
    const std::uint32_t physical = JetU32(&def[f.physicalIndexCount]);
    if (columns > 255 || logical > 1000 || physical > 1000) throw damaged("its counts are wrong");
    t.ownedMap = JetU32(&def[f.ownedMap]);
    t.freeMap = JetU32(&def[f.freeMap]);
    at = f.indexCounts + std::size_t{physical} * f.indexCountSize;
    for (std::uint32_t c = 0; c < columns; ++c) {
        need(f.columnSize);
        JetColumn col;
        col.type = def[at];
        col.number = static_cast<int>(JetU16(&def[at + (f.jet4 ? 5 : 1)]));
        col.varIndex = JetU16(&def[at + (f.jet4 ? 7 : 3)]);
        col.flags = def[at + (f.jet4 ? 15 : 13)];
        if (col.type == kJetText || col.type == kJetMemo) {
            col.sortOrder = static_cast<int>(JetU16(&def[at + (f.jet4 ? 11 : 9)]));
            if (f.jet4) col.sortVersion = def[at + 14];
            if (!f.jet4) col.codePage = static_cast<int>(JetU16(&def[at + 11]));
        }
        if (f.jet4) col.compressed = (def[at + 16] & 0x01) != 0;
        col.fixedOffset = JetU16(&def[at + (f.jet4 ? 21 : 14)]);
        col.length = JetU16(&def[at + (f.jet4 ? 23 : 16)]);
        t.columns.push_back(col);
        at += f.columnSize;
    }
    for (JetColumn& col : t.columns) {
        need(f.jet4 ? 2 : 1);
        const std::size_t length = f.jet4 ? JetU16(&def[at]) : def[at];
        at += f.jet4 ? 2 : 1;
        need(length);
        // Names are ASCII in the tables a target needs; other characters
        // are kept as their low byte, for messages only.
        for (std::size_t i = 0; i < length; i += f.jet4 ? 2 : 1)
            col.name += static_cast<char>(def[at + i]);
        at += length;
    }
    for (std::uint32_t i = 0; i < physical; ++i) {
        need(f.physicalIndexSize);
        const std::size_t slots = at + (f.jet4 ? 4 : 0);
        JetPhysicalIndex index;
        index.defOffset = slots;
        index.countOffset = f.indexCounts + std::size_t{i} * f.indexCountSize + 4;
        index.uniqueCount = JetU32(&def[index.countOffset]);
        for (int s = 0; s < 10; ++s) {
            const std::uint32_t number = JetU16(&def[slots + 3 * s]);
            if (number != 0xFFFF) index.columns.emplace_back(number, def[slots + 3 * s + 2] != 0);
        }
        index.ownedMap = JetU32(&def[slots + 30]);
        index.rootPage = JetU32(&def[slots + 34]);
        index.flags = def[slots + (f.jet4 ? 42 : 38)];
        t.indexes.push_back(index);
        at += f.physicalIndexSize;
    }
    return t;
}

JetTableDef JetFile::ReadTableDef(std::uint32_t first) const {
    return ParseJetTableDef(
        format_, first, pageCount_, [this](std::uint32_t p) { return page(p); }, Quoted(path_));
}

std::vector<JetRowSlot> JetFile::RowSlots(std::uint32_t number) const {
    const std::size_t count = JetU16(page(number) + format_.dataRows);
    std::vector<JetRowSlot> slots;
    for (std::size_t i = 0; i < count; ++i)
        slots.push_back(Slot(number, static_cast<std::uint32_t>(i)));
    return slots;
}

JetRowSlot JetFile::Slot(std::uint32_t number, std::uint32_t row) const {
    const JetFormat& f = format_;
    const unsigned char* p = page(number);
    const std::size_t count = JetU16(p + f.dataRows);
    if (f.dataOffsets + 2 * count > f.pageSize) {
        throw DbError("Data page " + std::to_string(number) + " of " + Quoted(path_) +
                      " is damaged: its offset table does not fit.");
    }
    if (row >= count) {
        throw DbError("Row " + std::to_string(row) + " of page " + std::to_string(number) + " of " +
                      Quoted(path_) + " does not exist.");
    }
    const std::uint32_t entry = JetU16(p + f.dataOffsets + 2 * row);
    JetRowSlot s;
    s.start = entry & 0x1FFF;
    s.end = row == 0 ? f.pageSize : JetU16(p + f.dataOffsets + 2 * (row - 1)) & 0x1FFF;
    s.deleted = (entry & 0x8000) != 0;
    s.moved = !s.deleted && (entry & 0x4000) != 0;
    if (s.start < f.dataOffsets + 2 * count || s.start > s.end) {
        throw DbError("Data page " + std::to_string(number) + " of " + Quoted(path_) +
                      " is damaged: row " + std::to_string(row) + " lies outside its place.");
    }
    return s;
}

std::vector<unsigned char> JetFile::RowBytes(std::uint32_t pointer) const {
    const std::uint32_t number = pointer >> 8;
    const JetRowSlot s = Slot(number, pointer & 0xFF);
    const unsigned char* p = page(number);
    return {p + s.start, p + s.end};
}

std::vector<unsigned char> JetFile::TableRowBytes(std::uint32_t pointer) const {
    // A moved row's first four bytes name its copy; the copy is never moved.
    const std::uint32_t number = pointer >> 8;
    const JetRowSlot s = Slot(number, pointer & 0xFF);
    const unsigned char* p = page(number);
    if (s.moved) {
        if (s.end - s.start < 4) throw DbError("A moved row of " + Quoted(path_) + " is cut.");
        return RowBytes(JetU32(p + s.start));
    }
    return {p + s.start, p + s.end};
}

std::set<std::uint32_t> JetFile::UsageMapPages(std::uint32_t pointer) const {
    const std::vector<unsigned char> map = RowBytes(pointer);
    std::set<std::uint32_t> pages;
    if (map.empty()) throw DbError("A usage map of " + Quoted(path_) + " is empty.");
    const auto addBits = [&](const unsigned char* bits, std::size_t bytes, std::uint32_t start) {
        for (std::size_t i = 0; i < bytes * 8; ++i) {
            if (bits[i / 8] & (1u << (i % 8))) pages.insert(start + static_cast<std::uint32_t>(i));
        }
    };
    if (map[0] == 0x00) {
        if (map.size() < 5) throw DbError("An inline usage map of " + Quoted(path_) + " is cut.");
        addBits(map.data() + 5, map.size() - 5, JetU32(&map[1]));
    } else if (map[0] == 0x01) {
        const std::size_t perPage = (format_.pageSize - 4) * 8;
        for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
            const std::uint32_t mapPage = JetU32(&map[1 + 4 * k]);
            if (mapPage == 0) continue;
            const unsigned char* p = page(mapPage);
            if (p[0] != 0x05) {
                throw DbError("Page " + std::to_string(mapPage) + " of " + Quoted(path_) +
                              " is named as a usage-map page but is none.");
            }
            addBits(p + 4, format_.pageSize - 4, static_cast<std::uint32_t>(k * perPage));
        }
    } else {
        throw DbError("A usage map of " + Quoted(path_) + " is of an unknown kind.");
    }
    return pages;
}

}  // namespace tvx
