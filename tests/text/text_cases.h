#pragma once
#include <fstream>
#include <sstream>
// Running text exports end to end, one source line or one fixture file at a
// time, and checking the rows and report lines they give.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/import_fixture.h"

namespace tvx::test {

// Source type indexes of the text exports.
inline const int kLogWindows = test::TypeOf("logwin");
inline const int kXpWin = test::TypeOf("xpwin");
inline const int kLogview = test::TypeOf("logview");
inline const int kSwisslog = test::TypeOf("swisslog");

using Columns = std::map<std::string, std::optional<std::string>>;

// One source line and what it must give: the columns of its single row (no
// row when empty) and the report lines of the run, oldest first.
struct LineCase {
    const char* name;
    std::string line;
    Columns columns;
    std::vector<std::string> report;
};

inline void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

inline std::string CaseName(const testing::TestParamInfo<LineCase>& info) {
    return info.param.name;
}

// Imports content as a source file of the given type into a fresh target.
struct ImportRun {
    ImportFixture fx;
    std::vector<QsoRowMap> rows;
    std::vector<std::string> report;

    ImportRun(int sourceType, const std::string& content, const std::string& fileName = "log.txt") {
        ImportOptions o = fx.options(sourceType, fx.writeSource(fileName, content));
        EXPECT_TRUE(fx.run(o));
        rows = fx.rows();
        report = fx.reportLines();
    }
};

inline void ExpectColumns(const QsoRowMap& row, const Columns& columns) {
    for (const auto& [name, value] : columns) {
        auto it = row.find(name);
        ASSERT_NE(it, row.end()) << "no column " << name;
        EXPECT_EQ(it->second, value) << "column " << name;
    }
}

// The row of the call among the rows written.
inline const QsoRowMap* RowOf(const std::vector<QsoRowMap>& rows, const std::string& call) {
    for (const auto& row : rows) {
        auto it = row.find("QSO-CALL");
        if (it != row.end() && it->second == call) return &row;
    }
    return nullptr;
}

inline void CheckLineCase(int sourceType, const LineCase& c) {
    ImportRun run(sourceType, c.line + "\r\n");
    if (c.columns.empty()) {
        EXPECT_TRUE(run.rows.empty());
    } else {
        ASSERT_EQ(run.rows.size(), 1u);
        ExpectColumns(run.rows[0], c.columns);
    }
    EXPECT_EQ(run.report, c.report);
    EXPECT_EQ(run.fx.host.counters.recordsRead, 1);
    EXPECT_EQ(run.fx.host.counters.recordsLoaded, c.columns.empty() ? 0 : 1);
}

// A copy of a fixture export in the fixture's own folder, so that the run's
// ERRORS.TXT lands there and never in the source tree.
inline std::string DataFile(const ImportFixture& fx, const std::string& name) {
    std::ifstream in(std::string(TVX_TEST_DATA_DIR) + "/text/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return fx.writeSource(name, bytes.str());
}

}  // namespace tvx::test
