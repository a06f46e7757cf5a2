// New tables in an existing Jet file, laid out as the engine lays out the
// tables it creates: the definition, one usage-map page holding the table's
// maps and one map per index, an empty leaf as each index's root, and the
// catalog rows.

#include <algorithm>
#include <cstring>
#include <ctime>
#include <optional>
#include <set>

#include "db/jet_writer.h"
#include "tables/database.h"
#include "util/text.h"

namespace tvx {

namespace {

constexpr int kUserTable = 0x4E;
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int64_t kContainerType = 3;
constexpr std::int64_t kDatabaseObjectType = 2;
constexpr std::int64_t kLocalTableType = 1;
// Jet 4 writes these in the definition's blocks.
constexpr std::uint32_t kJet4TableMagic = 0x0659;
constexpr std::uint32_t kJet4IndexMagic = 0x0783;
constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxIndexColumns = 10;
constexpr std::size_t kMaxNameLength = 64;

void Put16(JetBytes& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(JetBytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::size_t FixedSize(int type) {
    switch (type) {
        case kJetBoolean:
            return 0;  // its value is its bit in the null mask
        case kJetByte:
            return 1;
        case kJetInteger:
            return 2;
        case kJetLong:
        case kJetSingle:
            return 4;
        case kJetCurrency:
        case kJetDouble:
        case kJetDateTime:
            return 8;
        default:
            return 0;
    }
}

bool Supported(int type) {
    return type == kJetText || type == kJetBinary || FixedSize(type) > 0 || type == kJetBoolean;
}

void PutName(JetBytes& b, const std::string& name, bool jet4) {
    if (jet4) {
        const std::u16string wide = Utf8ToUtf16(name);
        Put16(b, static_cast<std::uint32_t>(wide.size() * 2));
        for (const char16_t c : wide) Put16(b, c);
    } else {
        const std::string narrow = Utf8ToCp1252(name);
        b.push_back(static_cast<unsigned char>(narrow.size()));
        b.insert(b.end(), narrow.begin(), narrow.end());
    }
}

// Days since 1899-12-30 in local time, as the engine dates its objects.
double JetNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<double>(timegm(&local)) / 86400.0 + 25569.0;
}

[[noreturn]] void Refuse(const std::string& table, const std::string& why) {
    throw DbError("The table [" + table + "] cannot be created: " + why + ".");
}

void Validate(const JetTableSpec& spec) {
    const auto checkName = [&](const std::string& name, const char* what) {
        if (name.empty() || CharCount(name) > kMaxNameLength ||
            name.find_first_of(".!`[]") != std::string::npos) {
            Refuse(spec.name, std::string("the ") + what + " name '" + name + "' is not allowed");
        }
    };
    checkName(spec.name, "table");
    if (spec.columns.empty() || spec.columns.size() > kMaxColumns)
        Refuse(spec.name, "a table has 1 to 255 columns");
    std::set<std::string> names;
    int autoNumbers = 0;
    for (const JetColumnSpec& c : spec.columns) {
        checkName(c.name, "column");
        if (!names.insert(ToUpper(c.name)).second)
            Refuse(spec.name, "two columns are named [" + c.name + "]");
        if (!Supported(c.type))
            Refuse(spec.name,
                   "the column [" + c.name + "] is of a kind this program cannot create");
        if (c.type == kJetText && (c.length < 1 || c.length > 255))
            Refuse(spec.name, "the Text column [" + c.name + "] must hold 1 to 255 characters");
        if (c.type == kJetBinary && (c.length < 1 || c.length > 255))
            Refuse(spec.name, "the Binary column [" + c.name + "] must hold 1 to 255 bytes");
        if (c.autoNumber && (c.type != kJetLong || ++autoNumbers > 1))
            Refuse(spec.name, "only one Long Integer column can be an AutoNumber");
    }
    std::set<std::string> indexNames;
    int primaryKeys = 0;
    for (const JetIndexSpec& i : spec.indexes) {
        checkName(i.name, "index");
        if (!indexNames.insert(ToUpper(i.name)).second)
            Refuse(spec.name, "two indexes are named [" + i.name + "]");
        if (i.columns.empty() || i.columns.size() > kMaxIndexColumns)
            Refuse(spec.name, "the index [" + i.name + "] must have 1 to 10 columns");
        if (i.primaryKey && ++primaryKeys > 1) Refuse(spec.name, "it has two primary keys");
        for (const auto& [column, ascending] : i.columns) {
            (void)ascending;
            if (!names.count(ToUpper(column)))
                Refuse(spec.name, "the index [" + i.name + "] names no column of the table");
        }
    }
}

std::size_t ColumnNumber(const JetTableSpec& spec, const std::string& name) {
    for (std::size_t n = 0; n < spec.columns.size(); ++n) {
        if (EqualsNoCase(spec.columns[n].name, name)) return n;
    }
    return 0;
}

}  // namespace

JetBytes JetWriter::TableDefinitionBytes(const JetTableSpec& spec, std::uint32_t mapPage,
                                         const std::vector<std::uint32_t>& roots) const {
    const JetFormat& f = format_;
    const std::size_t indexes = spec.indexes.size();
    std::size_t varColumns = 0, fixedArea = 0;
    for (const JetColumnSpec& c : spec.columns) {
        if (c.type == kJetText || c.type == kJetBinary) ++varColumns;
        fixedArea += FixedSize(c.type);
    }
    if (fixedArea + 2 * spec.columns.size() + 64 > (f.jet4 ? 4060u : 2012u))
        Refuse(spec.name, "its fixed-size columns do not fit in a row");

    JetBytes b;
    b.push_back(0x02);
    b.push_back(0x01);
    if (f.jet4) {
        Put16(b, 0);  // free space, set once the length is known
    } else {
        b.push_back('V');
        b.push_back('C');
    }
    Put32(b, 0);  // next definition page
    Put32(b, 0);  // length
    if (f.jet4) Put32(b, kJet4TableMagic);
    Put32(b, 0);  // rows
    Put32(b, 0);  // AutoNumber counter
    if (f.jet4) {
        b.push_back(1);  // the engine sets it on every table it makes
        b.resize(b.size() + 15, 0);
    }
    b.push_back(kUserTable);
    Put16(b, static_cast<std::uint32_t>(spec.columns.size()));
    Put16(b, static_cast<std::uint32_t>(varColumns));
    Put16(b, static_cast<std::uint32_t>(spec.columns.size()));
    Put32(b, static_cast<std::uint32_t>(indexes));  // logical
    Put32(b, static_cast<std::uint32_t>(indexes));  // physical: one each
    Put32(b, mapPage << 8 | 0);                     // owned pages
    Put32(b, mapPage << 8 | 1);                     // pages with room
    if (b.size() != f.indexCounts) throw DbError("The table definition header is misbuilt.");
    b.resize(b.size() + indexes * f.indexCountSize, 0);

    std::size_t varIndex = 0, fixedOffset = 0;
    for (std::size_t n = 0; n < spec.columns.size(); ++n) {
        const JetColumnSpec& c = spec.columns[n];
        const bool variable = c.type == kJetText || c.type == kJetBinary;
        int flags = 0x02;  // may be NULL
        if (!variable) flags |= 0x01;
        if (c.autoNumber) flags |= 0x04;
        b.push_back(static_cast<unsigned char>(c.type));
        if (f.jet4) Put32(b, kJet4TableMagic);
        Put16(b, static_cast<std::uint32_t>(n));
        Put16(b, static_cast<std::uint32_t>(varIndex));
        Put16(b, static_cast<std::uint32_t>(n));
        if (f.jet4) {
            Put16(b, 1033);  // General (legacy) sort order, version 0
            Put16(b, 0);
            b.push_back(static_cast<unsigned char>(flags));
            b.push_back(c.type == kJetText ? 0x01 : 0x00);  // Unicode compression
            Put32(b, 0);
        } else {
            Put16(b, 1);
            Put16(b, 1033);  // General sort order
            Put16(b, codePage_);
            b.push_back(static_cast<unsigned char>(flags));
        }
        Put16(b, static_cast<std::uint32_t>(variable || c.type == kJetBoolean ? 0 : fixedOffset));
        std::size_t length = c.type == kJetBoolean ? 1 : FixedSize(c.type);
        if (variable) length = c.type == kJetText && f.jet4 ? 2 * c.length : c.length;
        Put16(b, static_cast<std::uint32_t>(length));
        if (variable)
            ++varIndex;
        else
            fixedOffset += FixedSize(c.type);
    }
    for (const JetColumnSpec& c : spec.columns) PutName(b, c.name, f.jet4);

    for (std::size_t i = 0; i < indexes; ++i) {
        const JetIndexSpec& index = spec.indexes[i];
        if (f.jet4) Put32(b, kJet4IndexMagic);
        for (std::size_t slot = 0; slot < kMaxIndexColumns; ++slot) {
            if (slot < index.columns.size()) {
                Put16(b, static_cast<std::uint32_t>(ColumnNumber(spec, index.columns[slot].first)));
                b.push_back(index.columns[slot].second ? 0x01 : 0x00);
            } else {
                Put16(b, 0xFFFF);
                b.push_back(0x00);
            }
        }
        Put32(b, mapPage << 8 | static_cast<std::uint32_t>(2 + i));
        Put32(b, roots[i]);
        int flags = 0;
        if (index.primaryKey) flags = 0x01 | 0x08;  // unique, required
        if (index.unique) flags |= 0x01;
        if (index.ignoreNulls) flags |= 0x02;
        if (f.jet4) {
            Put32(b, 0);
            b.push_back(static_cast<unsigned char>(flags | 0x80));
            b.resize(b.size() + 5, 0);
        } else {
            b.push_back(static_cast<unsigned char>(flags));
        }
    }
    for (std::size_t i = 0; i < indexes; ++i) {
        if (f.jet4) Put32(b, kJet4TableMagic);
        Put32(b, static_cast<std::uint32_t>(i));  // logical index number
        Put32(b, static_cast<std::uint32_t>(i));  // its physical index
        b.push_back(0);                           // no related table
        Put32(b, 0xFFFFFFFF);
        Put32(b, 0);
        b.push_back(0x04);  // as the engine writes for an index that is no relation
        b.push_back(0x04);
        b.push_back(spec.indexes[i].primaryKey ? 0x01 : 0x00);
        if (f.jet4) Put32(b, 0);
    }
    for (const JetIndexSpec& index : spec.indexes) PutName(b, index.name, f.jet4);
    Put16(b, 0xFFFF);  // no Memo or OLE column maps
    JetPut32(&b[8], static_cast<std::uint32_t>(b.size()));
    return b;
}

std::uint32_t JetWriter::CreateTable(const JetTableSpec& spec) {
    const JetFormat& f = format_;
    Validate(spec);
    if (FindTable(spec.name) != 0) Refuse(spec.name, "the database has a table of that name");
    Table& catalog = TableAt(kCatalogPage);
    const Table* aces = nullptr;
    if (const std::uint32_t page = FindTable("MSysACEs"); page != 0) aces = &TableAt(page);
    const std::size_t idCol = CatalogColumn(catalog.def, "Id"),
                      parentCol = CatalogColumn(catalog.def, "ParentId"),
                      nameCol = CatalogColumn(catalog.def, "Name"),
                      typeCol = CatalogColumn(catalog.def, "Type"),
                      ownerCol = CatalogColumn(catalog.def, "Owner");
    // The container the tables belong to, and the owner of the database
    // object, which new objects take as theirs.
    std::optional<std::int64_t> container;
    JetValue owner;
    ScanRows(kCatalogPage, [&](std::uint32_t, const std::vector<JetValue>& row) {
        const auto* name = std::get_if<std::string>(&row[nameCol]);
        const auto* type = std::get_if<std::int64_t>(&row[typeCol]);
        if (!name || !type) return;
        if (*type == kContainerType && *name == "Tables")
            container = std::get<std::int64_t>(row[idCol]);
        if (*type == kDatabaseObjectType && *name == "MSysDb") owner = row[ownerCol];
    });
    if (!container) throw DbError("The catalog of '" + path_ + "' has no Tables container.");
    std::vector<std::vector<JetValue>> inherited;
    if (aces) {
        const std::size_t objectCol = CatalogColumn(aces->def, "ObjectId"),
                          inheritCol = CatalogColumn(aces->def, "FInheritable");
        ScanRows(aces->def.page, [&](std::uint32_t, const std::vector<JetValue>& row) {
            const auto* object = std::get_if<std::int64_t>(&row[objectCol]);
            const auto* inherit = std::get_if<bool>(&row[inheritCol]);
            if (object && *object == *container && inherit && *inherit) inherited.push_back(row);
        });
    }

    const std::uint32_t tdef = AllocatePage();
    const std::size_t mapRow = f.jet4 ? 69 : 133;
    const std::size_t mapRows = 2 + spec.indexes.size();
    if (f.dataOffsets + mapRows * (mapRow + 2) > f.pageSize)
        Refuse(spec.name, "it has more indexes than this program can make");
    const std::uint32_t mapPage = AllocatePage();
    {
        unsigned char* p = Mutable(mapPage);
        p[0] = 0x01;
        p[1] = 0x01;
        std::size_t at = f.pageSize;
        for (std::size_t r = 0; r < mapRows; ++r) {
            at -= mapRow;  // an inline map from page 0, empty
            JetPut16(p + f.dataOffsets + 2 * r, static_cast<std::uint32_t>(at));
        }
        JetPut16(p + f.dataRows, static_cast<std::uint32_t>(mapRows));
        JetPut16(p + 2, static_cast<std::uint32_t>(at - f.dataOffsets - 2 * mapRows));
    }
    std::vector<std::uint32_t> roots;
    for (std::size_t i = 0; i < spec.indexes.size(); ++i) {
        const std::uint32_t root = AllocatePage();
        IndexPage leaf;
        leaf.tdef = tdef;
        PutIndexPage(root, std::move(leaf));
        MapSet(mapPage << 8 | static_cast<std::uint32_t>(2 + i), root, true, false);
        roots.push_back(root);
    }

    // The definition, over as many pages as it takes.
    JetBytes def = TableDefinitionBytes(spec, mapPage, roots);
    std::uint32_t page = tdef;
    std::size_t at = 0;
    while (true) {
        unsigned char* p = Mutable(page);
        const std::size_t header = at == 0 ? 0 : 8;
        const std::size_t take = std::min(def.size() - at, f.pageSize - header);
        if (header) {
            p[0] = 0x02;
            p[1] = 0x01;
            if (!f.jet4) {
                p[2] = 'V';
                p[3] = 'C';
            }
        }
        std::memcpy(p + header, def.data() + at, take);
        at += take;
        if (f.jet4) {
            // The page's room as the engine counts it, less the 8 bytes of a header.
            const std::size_t used = header + take + 8;
            JetPut16(p + 2, static_cast<std::uint32_t>(used < f.pageSize ? f.pageSize - used : 0));
        }
        if (at == def.size()) break;
        const std::uint32_t next = AllocatePage();
        p = Mutable(page);
        JetPut32(p + 4, next);
        page = next;
    }

    // The catalog rows.
    const double now = JetNow();
    std::vector<JetValue> row(catalog.def.columns.size());
    row[idCol] = static_cast<std::int64_t>(tdef);
    row[parentCol] = *container;
    row[nameCol] = spec.name;
    row[typeCol] = kLocalTableType;
    row[CatalogColumn(catalog.def, "DateCreate")] = now;
    row[CatalogColumn(catalog.def, "DateUpdate")] = now;
    row[ownerCol] = owner;
    row[CatalogColumn(catalog.def, "Flags")] = std::int64_t{0};
    Append(catalog, row);
    if (aces) {
        Table& t = TableAt(aces->def.page);
        const std::size_t objectCol = CatalogColumn(t.def, "ObjectId"),
                          inheritCol = CatalogColumn(t.def, "FInheritable");
        for (std::vector<JetValue>& ace : inherited) {
            ace[objectCol] = static_cast<std::int64_t>(tdef);
            ace[inheritCol] = false;
            Append(t, ace);
        }
    }
    return tdef;
}

}  // namespace tvx
