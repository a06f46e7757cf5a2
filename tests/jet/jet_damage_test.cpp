// Damaged Jet files (cut short, a page of garbage, bytes flipped) must end
// in a DbError that names the file: never a hang, a crash or rows silently
// lost.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "db/jet.h"
#include "jet/jet_files.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx {
namespace {

using test::JetFile;

// Reads every column of every table; "" when all went well, else the
// DbError's text. Anything else than a DbError fails the test.
std::string ReadEverything(const std::string& path, std::size_t* rows = nullptr) {
    try {
        auto db = openJetDatabase(path);
        for (const auto& table : db->tableNames()) {
            auto cursor = db->openTable(table, db->columnNames(table));
            while (cursor->next()) {
                if (rows) ++*rows;
            }
        }
        return {};
    } catch (const DbError& e) {
        return e.what();
    }
}

class JetDamage : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = JetStallTimeout();
        // Damaged files that make libmdb loop are given up after this.
        SetJetStallTimeout(std::chrono::milliseconds(1000));
    }
    void TearDown() override { SetJetStallTimeout(saved_); }

    // A damaged copy: either read whole or a DbError naming the copy.
    void ExpectReadOrNamedError(const std::string& path, const std::string& what) {
        const std::string error = ReadEverything(path);
        if (!error.empty()) {
            EXPECT_NE(error.find(path), std::string::npos) << what << ": " << error;
            ++errors_;
        }
    }

    test::TempDir dir_;
    std::chrono::milliseconds saved_{};
    int errors_ = 0;
};

const char* const kFiles[] = {"refdata.mdb", "stationmaster.mdb", "target.mdb", "jet3-sample.mdb"};

// With the default stall time: a busy machine must not turn these into errors.
TEST(JetWhole, FixturesReadWhole) {
    for (const char* name : kFiles) {
        if (!std::filesystem::exists(JetFile(name))) GTEST_SKIP() << "no " << JetFile(name);
        std::size_t rows = 0;
        EXPECT_EQ(ReadEverything(JetFile(name), &rows), "") << name;
        EXPECT_GT(rows, 0u) << name;
    }
}

TEST_F(JetDamage, CutShort) {
    for (const char* name : kFiles) {
        if (!std::filesystem::exists(JetFile(name))) GTEST_SKIP() << "no " << JetFile(name);
        const std::string bytes = test::ReadBytes(JetFile(name));
        const std::size_t page = name == std::string("jet3-sample.mdb") ? 2048 : 4096;
        // Jet writes whole pages, so a part page is always damage; so is a
        // file without its catalog.
        for (std::size_t size :
             {std::size_t{100}, page, 2 * page, bytes.size() / 2 + 1000, bytes.size() - 1}) {
            const std::string path =
                dir_.write("cut-" + std::to_string(size) + "-" + name, bytes.substr(0, size));
            const std::string error = ReadEverything(path);
            EXPECT_NE(error, "") << name << " cut to " << size;
            EXPECT_NE(error.find(path), std::string::npos) << error;
        }
        // Whole pages cut off may have been free ones.
        for (std::size_t size : {bytes.size() / 2 / page * page, bytes.size() - page}) {
            const std::string path =
                dir_.write("cut-" + std::to_string(size) + "-" + name, bytes.substr(0, size));
            ExpectReadOrNamedError(path, std::string(name) + " cut to " + std::to_string(size));
        }
    }
}

// The last page of the reference fixture holds the rows of its last table;
// without it the table reads as empty, which must not pass for success.
TEST(JetWhole, LostRowsAreNoticed) {
    TVX_REQUIRE_JET_FILE("refdata.mdb");
    const std::string bytes = test::ReadBytes(JetFile("refdata.mdb"));
    test::TempDir dir;
    const std::string path = dir.write("short.mdb", bytes.substr(0, bytes.size() - 4096));
    const std::string error = ReadEverything(path);
    EXPECT_NE(error.find("STATE-TABLE"), std::string::npos) << error;
    EXPECT_NE(error.find("13 rows"), std::string::npos) << error;
}

// A moved row's pointer that names anything but the row's copy refuses the
// file: a page past the end or of no data, an entry that is not there, a
// live row, another pointer, a copy that another pointer names.
TEST_F(JetDamage, BadPointersOfMovedRows) {
    TVX_REQUIRE_JET_FILE("stationmaster-edited.mdb");
    const std::string bytes = test::ReadBytes(JetFile("stationmaster-edited.mdb"));
    // Entry 2 of data page 26 is a moved row (G3XYZ) whose copy is entry 15.
    const std::size_t page = 26 * 4096;
    const unsigned entry2 = static_cast<unsigned char>(bytes[page + 0x12]) |
                            static_cast<unsigned char>(bytes[page + 0x13]) << 8;
    ASSERT_EQ(entry2 & 0xC000, 0x4000u);
    const std::size_t pointer = page + (entry2 & 0x1FFF);
    ASSERT_EQ(bytes[pointer], 15);
    const struct {
        int row, page;
        const char* error;
    } cases[] = {{15, 26, ""},          {15, 4000, "moved row"},     {15, 0, "moved row"},
                 {15, 2, "moved row"},  {21, 26, "moved row"},       {1, 26, "moved row"},
                 {10, 26, "moved row"}, {16, 26, "repeats its rows"}};
    for (const auto& c : cases) {
        std::string copy = bytes;
        copy[pointer] = static_cast<char>(c.row);
        for (int i = 0; i < 3; ++i) copy[pointer + 1 + i] = static_cast<char>(c.page >> 8 * i);
        const std::string path = dir_.write("pointer.mdb", copy);
        const std::string error = ReadEverything(path);
        if (!*c.error) {
            EXPECT_EQ(error, "");
            continue;
        }
        EXPECT_NE(error.find(c.error), std::string::npos)
            << c.row << "/" << c.page << ": " << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
}

TEST_F(JetDamage, GarbagePages) {
    for (const char* name : kFiles) {
        if (!std::filesystem::exists(JetFile(name))) GTEST_SKIP() << "no " << JetFile(name);
        const std::string bytes = test::ReadBytes(JetFile(name));
        const std::size_t page = name == std::string("jet3-sample.mdb") ? 2048 : 4096;
        std::mt19937 rng(7);
        // The header, the catalog and then a spread of the other pages.
        for (std::size_t p = 0; p < bytes.size() / page; p += p < 4 ? 1 : 5) {
            std::string copy = bytes;
            for (std::size_t i = 0; i < page; ++i) {
                copy[p * page + i] = static_cast<char>(rng());
            }
            const std::string path = dir_.write("garbage-" + std::to_string(p) + "-" + name, copy);
            ExpectReadOrNamedError(path, std::string(name) + " page " + std::to_string(p));
        }
    }
    // Page 0 (the header) and the catalog pages at least must fail.
    EXPECT_GT(errors_, 4);
}

TEST_F(JetDamage, FlippedBytes) {
    for (const char* name : kFiles) {
        if (!std::filesystem::exists(JetFile(name))) GTEST_SKIP() << "no " << JetFile(name);
        const std::string bytes = test::ReadBytes(JetFile(name));
        std::mt19937 rng(12345);
        for (int i = 0; i < 16; ++i) {
            std::string copy = bytes;
            const int flips = 1 + static_cast<int>(rng() % 64);
            for (int k = 0; k < flips; ++k) {
                copy[rng() % copy.size()] ^= static_cast<char>(1 + rng() % 255);
            }
            const std::string path = dir_.write("flip-" + std::to_string(i) + "-" + name, copy);
            ExpectReadOrNamedError(path, std::string(name) + " copy " + std::to_string(i));
        }
    }
    EXPECT_GT(errors_, 0);
}

}  // namespace
}  // namespace tvx
