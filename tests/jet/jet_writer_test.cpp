// The Jet writer on copies of files written by Microsoft's engine and by
// another writer: random rows appended and updated in every table it can
// write, then the file checked and read back through the page walker; bad
// files refused and bad rows refused, each leaving the file as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "db/jet.h"
#include "db/jet_check.h"
#include "db/jet_file.h"
#include "db/jet_writer.h"
#include "jet_files.h"
#include "support/import_fixture.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx::test {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// A random value its column takes; a Text of up to `longest` characters.
JetValue RandomValue(const JetColumn& c, std::mt19937& rng, bool jet4, std::size_t longest) {
    std::uniform_int_distribution<int> pick(0, 99);
    if (c.flags & 0x04) return std::monostate{};  // AutoNumber
    if (c.type != kJetBoolean && pick(rng) < 10) return std::monostate{};
    switch (c.type) {
        case kJetBoolean:
            return pick(rng) < 50;
        case kJetByte:
            return std::int64_t{pick(rng) * 2};
        case kJetInteger:
            return std::int64_t{std::uniform_int_distribution<int>(-32768, 32767)(rng)};
        case kJetLong:
        case kJetCurrency:
            return std::int64_t{std::uniform_int_distribution<std::int32_t>()(rng)};
        case kJetSingle:
        case kJetDouble:
            return std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
        case kJetDateTime:
            return std::uniform_real_distribution<double>(-700, 60000)(rng);
        case kJetText: {
            // Call signs, names with accents and, in Jet 4, text beyond Latin-1.
            static const std::vector<std::string> parts = {"DL", "1", "ABC", "/", "P", "-", " ",
                                                           "é",  "Ü", "ß",   "'", "x", "Ω", "q"};
            const std::size_t room = std::min(longest, jet4 ? c.length / 2 : c.length);
            std::string s;
            std::size_t chars = 0;
            const std::size_t want = std::uniform_int_distribution<std::size_t>(0, room)(rng);
            while (chars + 3 <= want) {
                const std::string& part = parts[static_cast<std::size_t>(pick(rng)) % parts.size()];
                if (!jet4 && part == "Ω") continue;
                s += part;
                chars += part == "ABC" ? 3 : 1;
            }
            return s;
        }
        case kJetGuid:
            return JetRaw{std::string(16, static_cast<char>(pick(rng)))};
        case kJetBinary:
            return JetRaw{std::string(static_cast<std::size_t>(pick(rng)) % (c.length + 1), 'b')};
        default:
            return std::monostate{};
    }
}

struct Written {
    std::uint32_t table;
    std::vector<JetValue> values;
};

// The rows the file holds now, by pointer, read through the page walker.
std::map<std::uint32_t, std::vector<JetValue>> RowsOf(const std::string& path,
                                                      std::uint32_t table) {
    const ::tvx::JetFile file(path);
    const JetTableDef def = file.ReadTableDef(table);
    std::map<std::uint32_t, std::vector<JetValue>> rows;
    for (const std::uint32_t p : file.UsageMapPages(def.ownedMap)) {
        const std::vector<JetRowSlot> slots = file.RowSlots(p);
        for (std::size_t r = 0; r < slots.size(); ++r) {
            if (slots[r].deleted) continue;
            const std::uint32_t pointer = p << 8 | static_cast<std::uint32_t>(r);
            rows[pointer] = DecodeJetRow(file.format(), def, file.TableRowBytes(pointer));
        }
    }
    return rows;
}

int MovedRows(const std::string& path) {
    const ::tvx::JetFile file(path);
    int moved = 0;
    for (std::uint32_t p = 1; p < file.pageCount(); ++p) {
        if (file.page(p)[0] != 0x01) continue;
        for (const JetRowSlot& s : file.RowSlots(p)) moved += s.moved;
    }
    return moved;
}

// libmdb, which reads rows and schema its own way, reads the Text values of
// every table the writer wrote as written, in scan order.
void LibmdbAgrees(const std::string& path, JetWriter& writer,
                  const std::map<std::uint32_t, Written>& expected) {
    const std::unique_ptr<Database> db = openJetDatabase(path, std::chrono::seconds(20));
    for (const std::string& name : db->tableNames()) {
        const std::uint32_t table = writer.FindTable(name);
        if (table == 0 || !writer.UnwritableReason(table).empty()) continue;
        const JetTableDef& def = writer.Definition(table);
        std::vector<std::string> columns;
        std::vector<std::size_t> at;
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            if (def.columns[c].type != kJetText) continue;
            columns.push_back(def.columns[c].name);
            at.push_back(c);
        }
        if (columns.empty()) continue;
        const std::unique_ptr<TableCursor> cursor = db->openTable(name, columns);
        auto it = expected.begin();
        int rows = 0;
        while (cursor->next()) {
            while (it != expected.end() && it->second.table != table) ++it;
            ASSERT_NE(it, expected.end()) << name << ": libmdb reads more rows";
            for (std::size_t i = 0; i < at.size(); ++i) {
                const auto* text = std::get_if<std::string>(&it->second.values[at[i]]);
                // libmdb reads an empty text as NULL.
                EXPECT_EQ(cursor->at(i).text, text ? *text : "") << name << " row " << rows;
            }
            ++it;
            ++rows;
        }
        while (it != expected.end() && it->second.table != table) ++it;
        EXPECT_EQ(it, expected.end()) << name << ": libmdb reads " << rows << " rows";
    }
}

// A text as rows.mjs prints it.
std::string Printed(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '\t' ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        out += escape ? std::string(escape) : std::string(1, c);
    }
    return out;
}

// mdb-reader (Node.js), a reader of its own, reads the Text and whole-number
// values of every table the writer wrote as written, in scan order. False
// when it is not installed.
bool MdbReaderAgrees(const std::string& path, JetWriter& writer,
                     const std::map<std::uint32_t, Written>& expected) {
    const std::string dir = TVX_MDB_READER_DIR;
    if (!fs::exists(dir + "/node_modules/mdb-reader")) return false;
    const std::string command = "node " + dir + "/rows.mjs '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return false;
    std::map<std::string, std::vector<std::vector<std::string>>> rows;
    std::string line;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;) {
        if (ch != '\n') {
            line += static_cast<char>(ch);
            continue;
        }
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back() += c;
        }
        const std::string table = fields.front();
        fields.erase(fields.begin());
        rows[table].push_back(std::move(fields));
        line.clear();
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
    for (const auto& [name, read] : rows) {
        const std::uint32_t table = writer.FindTable(name);
        if (table == 0 || !writer.UnwritableReason(table).empty()) continue;
        const JetTableDef& def = writer.Definition(table);
        std::vector<const Written*> mine;
        for (const auto& [pointer, w] : expected)
            if (w.table == table) mine.push_back(&w);
        EXPECT_EQ(read.size(), mine.size()) << name;
        if (read.size() != mine.size()) continue;
        // mdb-reader gives the columns in number order.
        std::vector<std::size_t> order(def.columns.size());
        for (std::size_t c = 0; c < order.size(); ++c) order[c] = c;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return def.columns[a].number < def.columns[b].number;
        });
        for (std::size_t r = 0; r < read.size(); ++r) {
            EXPECT_EQ(read[r].size(), order.size()) << name;
            if (read[r].size() != order.size()) break;
            for (std::size_t i = 0; i < order.size(); ++i) {
                const JetValue& v = mine[r]->values[order[i]];
                const int type = def.columns[order[i]].type;
                std::string want;
                if (std::holds_alternative<std::monostate>(v))
                    want = "\\N";
                else if (const auto* s = std::get_if<std::string>(&v))
                    want = Printed(*s);
                else if (const auto* n = std::get_if<std::int64_t>(&v);
                         n && type != kJetCurrency && type != kJetDateTime)
                    want = std::to_string(*n);
                else
                    continue;
                EXPECT_EQ(read[r][i], want) << name << " row " << r << " column " << i;
            }
        }
    }
    return true;
}

TEST(JetWriter, RandomRowsAndUpdatesKeepEveryFileValid) {
    const fs::path folder = JetFile("");
    if (!fs::exists(folder)) GTEST_SKIP() << "no shared Jet fixtures";
    TempDir dir;
    std::mt19937 rng(7);
    int tablesWritten = 0, moved = 0, libmdbFiles = 0, readerFiles = 0;
    // Every shared file, and the targets the writer makes in both formats.
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".mdb") files.push_back(entry.path());
    }
    for (const bool jet3 : {true, false}) {
        files.push_back(dir.file(jet3 ? "made3.mdb" : "made4.mdb"));
        ASSERT_TRUE(MakeJetTarget(files.back(), jet3));
    }
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        const std::string copy = dir.file("w.mdb");
        fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
        std::map<std::uint32_t, Written> expected;  // by row pointer
        std::vector<std::uint32_t> tables;
        {
            JetWriter writer(copy);
            for (const std::uint32_t table : ::tvx::JetFile(copy).TableDefPages()) {
                if (!writer.UnwritableReason(table).empty()) continue;
                tables.push_back(table);
                for (const auto& [pointer, values] : RowsOf(copy, table))
                    expected[pointer] = {table, values};
            }
            for (const std::uint32_t table : tables) {
                const JetTableDef& def = writer.Definition(table);
                // Enough rows that every index splits several times.
                const int rows = writer.format().jet4 ? 800 : 500;
                for (int n = 0; n < rows; ++n) {
                    std::vector<JetValue> values;
                    for (const JetColumn& c : def.columns)
                        values.push_back(RandomValue(c, rng, writer.format().jet4, 40));
                    try {
                        const std::uint32_t pointer = writer.AppendRow(table, values);
                        expected[pointer] = {table, values};
                    } catch (const JetValueError&) {
                        // a duplicate of a unique key: refused, nothing written
                    }
                }
                ++tablesWritten;
            }
            // libmdb misreads moved rows; files that have none are read by it too.
            writer.Flush();
            if (MovedRows(copy) == 0) {
                LibmdbAgrees(copy, writer, expected);
                ++libmdbFiles;
                readerFiles += MdbReaderAgrees(copy, writer, expected);
            }
            // Rows updated with longer text, twice, so that some move and
            // some move again.
            for (int round = 0; round < 2; ++round) {
                int n = 0;
                for (auto& [pointer, row] : expected) {
                    if (++n % 7 != 0) continue;
                    const JetTableDef& def = writer.Definition(row.table);
                    std::vector<JetValue> values = row.values;
                    for (std::size_t c = 0; c < def.columns.size(); ++c) {
                        if (def.columns[c].type == kJetText && !(def.columns[c].flags & 0x04))
                            values[c] = RandomValue(def.columns[c], rng, writer.format().jet4, 255);
                    }
                    try {
                        writer.UpdateRow(row.table, pointer, values);
                        row.values = values;
                    } catch (const JetValueError&) {
                    }
                }
            }
            writer.Flush();
        }
        EXPECT_EQ(Joined(CheckJetFile(copy)), "");
        for (const std::uint32_t table : tables) {
            for (const auto& [pointer, values] : RowsOf(copy, table)) {
                const auto it = expected.find(pointer);
                ASSERT_NE(it, expected.end()) << "row " << pointer << " was never written";
                // Values as their columns store them (a Single's precision).
                const JetTableDef def = ::tvx::JetFile(copy).ReadTableDef(table);
                ::tvx::JetFile file(copy);
                EXPECT_EQ(DecodeJetRow(file.format(), def,
                                       EncodeJetRow(file.format(), def, it->second.values)),
                          values);
            }
        }
        moved += MovedRows(copy);
    }
    EXPECT_GE(tablesWritten, 26);
    EXPECT_GE(libmdbFiles, 10);
    if (readerFiles == 0) std::cerr << "mdb-reader is not installed: scripts/install-deps.sh\n";
    if (readerFiles > 0) {
        EXPECT_EQ(readerFiles, libmdbFiles);
    }
    EXPECT_GT(moved, 100);
}

// A Jet 3 file grown past what its inline maps cover (1,024 pages): the
// global map becomes a reference map and still marks the pages that were
// free as free, so that what they hold (an old definition) stays dead.
TEST(JetWriter, GrowingPastTheInlineMapsKeepsFreePagesFree) {
    TVX_REQUIRE_JET_FILE("jet3-sample.mdb");
    TempDir dir;
    const std::string path = dir.file("grown.mdb");
    ASSERT_TRUE(MakeJetTarget(path, true));
    const std::set<std::uint32_t> freeBefore =
        ::tvx::JetFile(path).UsageMapPages(::tvx::JetFile::kGlobalUsageMap);
    {
        JetWriter writer(path);
        const std::uint32_t table = writer.FindTable("QSO-TAB");
        for (int n = 0; n < 9000; ++n) {
            std::vector<JetValue> values;
            for (const JetColumn& c : writer.Definition(table).columns) {
                if (c.type == kJetText)
                    values.emplace_back("K" + std::to_string(n % 977));
                else
                    values.emplace_back();
            }
            writer.AppendRow(table, values);
        }
        writer.Flush();
    }
    const ::tvx::JetFile file(path);
    ASSERT_GT(file.pageCount(), 1024u);
    const std::set<std::uint32_t> freeAfter = file.UsageMapPages(::tvx::JetFile::kGlobalUsageMap);
    for (const std::uint32_t p : freeBefore) {
        if (p < 58) {
            EXPECT_TRUE(freeAfter.count(p)) << "page " << p;
        }
    }
    EXPECT_EQ(Joined(CheckJetFile(path)), "");
}

// The table as a spec to make again: columns in number order, its indexes.
JetTableSpec SpecOf(const JetTableDef& def, const std::string& name, bool jet4) {
    JetTableSpec spec{name, {}, {}};
    std::vector<JetColumn> columns = def.columns;
    std::sort(columns.begin(), columns.end(),
              [](const JetColumn& a, const JetColumn& b) { return a.number < b.number; });
    for (const JetColumn& c : columns) {
        const std::size_t length = c.type == kJetText && jet4 ? c.length / 2 : c.length;
        spec.columns.push_back({c.name, c.type, length, (c.flags & 0x04) != 0});
    }
    for (std::size_t i = 0; i < def.indexes.size(); ++i) {
        const JetPhysicalIndex& index = def.indexes[i];
        JetIndexSpec made{"Index" + std::to_string(i),
                          {},
                          (index.flags & 0x09) == 0x09,
                          (index.flags & 0x01) != 0,
                          (index.flags & 0x02) != 0};
        for (const auto& [number, ascending] : index.columns) {
            for (const JetColumn& c : columns)
                if (c.number == number) made.columns.push_back({c.name, ascending});
        }
        spec.indexes.push_back(made);
    }
    return spec;
}

// The first definition pages of the tables the user made (catalog type 1,
// flags 0: neither the engine's nor Access's own).
std::vector<std::uint32_t> UserTables(const std::string& path) {
    JetWriter file(path, JetWriter::Mode::ReadOnly);
    const JetTableDef& catalog = file.Definition(2);
    std::map<std::string, std::size_t> at;
    for (std::size_t i = 0; i < catalog.columns.size(); ++i) at[catalog.columns[i].name] = i;
    std::vector<std::uint32_t> pages;
    file.ScanRows(2, [&](std::uint32_t, const std::vector<JetValue>& row) {
        if (row[at["Type"]] == JetValue(std::int64_t{1}) &&
            row[at["Flags"]] == JetValue(std::int64_t{0}))
            pages.push_back(static_cast<std::uint32_t>(std::get<std::int64_t>(row[at["Id"]])));
    });
    return pages;
}

// Every table that Access made of kinds the writer creates, made again in a
// file of its format: each field of the new definition is the one Access
// wrote, and the file passes the checker, libmdb and the writer's own rows.
TEST(JetWriter, CreatesTablesLaidOutAsTheEngineLaysOutItsOwn) {
    TVX_REQUIRE_JET_FILE("real/empty-v2000.mdb");
    TempDir dir;
    const std::string made[2] = {dir.file("made3.mdb"), dir.file("made4.mdb")};
    fs::copy_file(JetFile("jet3-sample.mdb"), made[0]);
    fs::copy_file(JetFile("real/empty-v2000.mdb"), made[1]);
    for (const std::string& m : made)
        fs::permissions(m, fs::perms::owner_write, fs::perm_options::add);
    int named = 0, compared = 0;
    for (const auto& entry : fs::directory_iterator(JetFile("real"))) {
        if (entry.path().extension() != ".mdb") continue;
        const ::tvx::JetFile access(entry.path());
        const bool jet4 = access.format().jet4;
        JetWriter target(made[jet4 ? 1 : 0]);
        for (const std::uint32_t page : UserTables(entry.path())) {
            const JetTableDef def = access.ReadTableDef(page);
            JetTableSpec spec = SpecOf(def, "T" + std::to_string(++named), jet4);
            const bool creatable =
                def.tableType == 0x4E &&
                std::count_if(spec.indexes.begin(), spec.indexes.end(),
                              [](auto& i) { return i.primaryKey; }) < 2 &&
                std::all_of(def.columns.begin(), def.columns.end(), [](const JetColumn& c) {
                    return c.type != kJetMemo && c.type != kJetOle && c.type != kJetGuid &&
                           c.type != kJetNumeric && !(c.type == kJetBinary && c.fixed());
                });
            if (!creatable) continue;
            SCOPED_TRACE(entry.path().filename().string() + " page " + std::to_string(page));
            const JetTableDef& mine = target.Definition(target.CreateTable(spec));
            ++compared;
            EXPECT_EQ(mine.tableType, def.tableType);
            EXPECT_EQ(mine.maxColumns, def.maxColumns);
            EXPECT_EQ(mine.varColumns, def.varColumns);
            ASSERT_EQ(mine.columns.size(), def.columns.size());
            for (const JetColumn& c : def.columns) {
                const auto it = std::find_if(mine.columns.begin(), mine.columns.end(),
                                             [&](const JetColumn& m) { return m.name == c.name; });
                ASSERT_NE(it, mine.columns.end()) << c.name;
                EXPECT_EQ(std::tie(it->type, it->number, it->flags, it->varIndex, it->length,
                                   it->sortOrder, it->sortVersion, it->codePage, it->compressed),
                          std::tie(c.type, c.number, c.flags, c.varIndex, c.length, c.sortOrder,
                                   c.sortVersion, c.codePage, c.compressed))
                    << c.name;
                if (c.fixed() && c.type != kJetBoolean) {
                    EXPECT_EQ(it->fixedOffset, c.fixedOffset) << c.name;
                }
            }
            ASSERT_EQ(mine.indexes.size(), def.indexes.size());
            for (std::size_t i = 0; i < def.indexes.size(); ++i) {
                EXPECT_EQ(mine.indexes[i].columns, def.indexes[i].columns);
                EXPECT_EQ(mine.indexes[i].flags, def.indexes[i].flags);
            }
        }
        target.Flush();
    }
    EXPECT_GE(compared, 15);
    for (const std::string& m : made) {
        EXPECT_EQ(Joined(CheckJetFile(m)), "") << m;
        EXPECT_GE(openJetDatabase(m, std::chrono::seconds(20))->tableNames().size(), 8u);
    }
    // What cannot be made is refused with the file as it was.
    const std::string before = ReadBytes(made[0]);
    JetWriter writer(made[0]);
    const JetColumnSpec text{"A", kJetText, 50, false};
    const std::vector<std::pair<JetTableSpec, const char*>> refused = {
        {{"Table1", {text}, {}}, "has a table of that name"},
        {{"New", {text, {"a", kJetLong, 4, false}}, {}}, "two columns are named"},
        {{"New", {{"A", kJetText, 256, false}}, {}}, "1 to 255 characters"},
        {{"New", {{"A", kJetMemo, 0, false}}, {}}, "cannot create"},
        {{"New", {{"A", kJetText, 10, true}}, {}}, "only one Long Integer"},
        {{"New", {text}, {{"I", {{"B", true}}, false, false}}}, "names no column"},
        {{"New", {}, {}}, "1 to 255 columns"},
        {{"New.", {text}, {}}, "is not allowed"},
    };
    for (const auto& [spec, reason] : refused) {
        try {
            writer.CreateTable(spec);
            ADD_FAILURE() << "made " << reason;
        } catch (const DbError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
    writer.Flush();
    EXPECT_EQ(ReadBytes(made[0]), before);
}

void Patch(const std::string& path, long offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Changes a field of the masked header by XOR with `delta` (old ^ new value).
void XorPatch(const std::string& path, long offset, const std::string& delta) {
    std::string bytes = ReadBytes(path).substr(static_cast<std::size_t>(offset), delta.size());
    for (std::size_t i = 0; i < delta.size(); ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ delta[i]);
    Patch(path, offset, bytes);
}

TEST(JetWriter, RefusesFilesAndRowsItCannotWriteLeavingThemAsTheyWere) {
    TVX_REQUIRE_JET_FILE("real/compIndexTestV1997.mdb");
    struct FileCase {
        const char* name;
        const char* file;
        std::function<void(const std::string&)> damage;
        const char* reason;
    };
    const std::vector<FileCase> files = {
        {"encrypted", "target.mdb",
         [](const std::string& p) { XorPatch(p, 0x3E, "\x01\x02\x03\x04"); }, "it is encrypted"},
        {"password", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { XorPatch(p, 0x42, "secret"); }, "database password"},
        {"sort order", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { XorPatch(p, 0x3A, std::string("\x14\x00", 2)); },
         "is not \"General\""},
        {"damaged index", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { Patch(p, 37 * 2048 + 12, std::string(4, '\0')); },
         "it is damaged"},
        {"newer version", "target.mdb", [](const std::string& p) { Patch(p, 0x14, "\x03"); },
         "newer than Jet 4"},
        {"no database", "target.mdb", [](const std::string& p) { Patch(p, 4, "Standard Xet DB"); },
         "is not a Jet database"},
    };
    TempDir dir;
    for (const FileCase& c : files) {
        SCOPED_TRACE(c.name);
        const std::string copy = dir.file("bad.mdb");
        fs::copy_file(JetFile(c.file), copy, fs::copy_options::overwrite_existing);
        c.damage(copy);
        const std::string before = ReadBytes(copy);
        try {
            JetWriter writer(copy);
            ADD_FAILURE() << "opened";
        } catch (const DbError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadBytes(copy), before);
    }
    // Rows refused by [QSO-TAB] of target.mdb (Long key, Text columns).
    const std::string copy = dir.file("rows.mdb");
    fs::copy_file(JetFile("target.mdb"), copy, fs::copy_options::overwrite_existing);
    const std::string before = ReadBytes(copy);
    JetWriter writer(copy);
    const std::uint32_t table = writer.FindTable("qso-tab");
    ASSERT_NE(table, 0u);
    const JetTableDef& def = writer.Definition(table);
    const auto at = [&](const std::string& name) {
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].name == name) return i;
        throw std::runtime_error("no column " + name);
    };
    const std::vector<JetValue> existing = RowsOf(copy, table).begin()->second;
    struct RowCase {
        const char* name;
        std::function<void(std::vector<JetValue>&)> change;
        const char* reason;
    };
    const std::vector<RowCase> rows = {
        {"text too long", [&](auto& v) { v[at("QSO-CALL")] = std::string(300, 'K'); },
         "characters long"},
        {"wrong kind", [&](auto& v) { v[at("QSO-CALL")] = std::int64_t{5}; }, "cannot take"},
        {"duplicate key", [&](auto& v) { v[at("QSO-NUMBER")] = existing[at("QSO-NUMBER")]; },
         "holds its key already"},
    };
    for (const RowCase& c : rows) {
        SCOPED_TRACE(c.name);
        std::vector<JetValue> values(def.columns.size());
        c.change(values);
        EXPECT_THROW(
            try { writer.AppendRow(table, values); } catch (const JetValueError& e) {
                EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
                throw;
            },
            JetValueError);
    }
    writer.Flush();
    EXPECT_EQ(ReadBytes(copy), before);
}

}  // namespace
}  // namespace tvx::test
