// HyperLog end to end, and the frame that every dBASE reader shares: opening
// failures, the empty table, deleted rows, memo remarks, the filter's samples
// and the abort question.

#include <gtest/gtest.h>

#include <filesystem>

#include "dbase_import.h"
#include "import/messages.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx::test {
namespace {

const int kHyperLog = test::TypeOf("hyperlog");

const std::vector<DbfField> kFields = {
    {"DATE", 'D', 8},     {"TIME", 'C', 5},      {"CALLSIGN", 'C', 12},  {"SENT", 'C', 3},
    {"RECEIVED", 'C', 3}, {"BAND", 'C', 4},      {"FREQUENCY", 'C', 10}, {"MODE", 'C', 8},
    {"POWER", 'C', 6},    {"NAME", 'C', 20},     {"QTH", 'C', 30},       {"REMARKS", 'C', 80},
    {"QSLSENT", 'C', 1},  {"QSLRECEIVE", 'C', 1}};

const DbfRow kBase = {"19981225", "12:34", "DL1ABC", "579",    "589",  "20", "14.025",
                      "SSB",      "100W",  "Hans",   "Berlin", "nice", "Y",  "y"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

TEST(HyperLog, Rows) {
    const std::string remarks60(60, 'r');
    CheckRowCases(
        kHyperLog, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-DATE", "19981225"},     {"QSO-TIME", "123400"},      {"QSO-CALL", "DL1ABC"},
              {"QSO-RSTS", "579"},          {"QSO-RSTR", "589"},         {"QSO-BAND", "6"},
              {"QSO-FREQ", "14025.0"},      {"QSO-MODE", "0"},           {"QSO-POWER", "100W"},
              {"QSO-NAME", "Hans"},         {"QSO-QTH", "Berlin"},       {"QSO-NOTE", "nice"},
              {"QSO-QSL-SENT", "19981225"}, {"QSO-QSLS", "1"},           {"QSO-CONFIRM", "1"},
              {"QSO-PREFIX", "DL"},         {"QSO-CQ-ZONE", "14"},       {"QSO-ITU-ZONE", "28"},
              {"QSO-WPX", "DL1"},           {"QSO-STATE", std::nullopt}, {"QSO-VALID", "3"},
              {"QSO-OPRCALL", "N0CALL"},    {"QSO-SAT", "None"},         {"QSO-QSL-VIA", "5"}}},
            {"time without separator", With({{1, "1234"}}), {{"QSO-TIME", "123400"}}},
            {"whole megahertz",
             With({{5, ""}, {6, "7"}, {7, "LSB"}}),
             {{"QSO-FREQ", "7000.0"}, {"QSO-BAND", "8"}, {"QSO-MODE", "1"}}},
            {"one decimal, band name unknown",
             With({{5, "80m"}, {6, "3.5"}}),
             {{"QSO-FREQ", "3500.0"}, {"QSO-BAND", "9"}, {"QSO-MODE", "1"}}},
            {"two decimals", With({{6, "14.02"}}), {{"QSO-FREQ", "14020.0"}}},
            {"point at the end",
             With({{5, ""}, {6, "14."}}),
             {{"QSO-FREQ", "14000.0"}, {"QSO-BAND", "6"}}},
            {"band name wins over frequency",
             With({{6, "7.050"}}),
             {{"QSO-BAND", "6"}, {"QSO-FREQ", "7050.0"}}},
            {"too precise frequency, band by name",
             With({{6, "14.0255"}}),
             {{"QSO-BAND", "6"}, {"QSO-FREQ", std::nullopt}}},
            {"rty is RTTY, default reports",
             With({{3, ""}, {4, ""}, {7, "rty"}}),
             {{"QSO-MODE", "5"}, {"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}}},
            {"CW before 1975",
             With({{0, "19740601"}, {3, ""}, {4, ""}, {7, "CW"}}),
             {{"QSO-MODE", "2"}, {"QSO-VALID", "1"}, {"QSO-RSTS", "599"}}},
            {"SSB default reports",
             With({{3, ""}, {4, ""}}),
             {{"QSO-RSTS", "59"}, {"QSO-RSTR", "59"}}},
            {"unlisted mode",
             With({{7, "OLIVIA"}}),
             {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "OLIVIA"}}},
            {"Hawaii gets its state",
             With({{2, "KH6ABC"}}),
             {{"QSO-PREFIX", "KH6"}, {"QSO-STATE", "HI"}}},
            {"cut to the column widths",
             With({{8, "1500W"}, {9, "Maximilian Mustermann"}, {10, "=" + std::string(30, 'q')}}),
             {{"QSO-POWER", "1500"},
              {"QSO-NAME", "Maximilian Must"},
              {"QSO-QTH", "qqqqqqqqqqqqqqqqqqqqqqqqq"}}},
            {"long remarks", With({{11, remarks60}}), {{"QSO-NOTE", std::string(49, 'r')}}},
            {"no QSL",
             With({{12, "N"}, {13, ""}}),
             {{"QSO-QSL-SENT", std::nullopt}, {"QSO-QSLS", "0"}, {"QSO-CONFIRM", "0"}}},
            {"code page 437 text", With({{9, "=J\x81rgen"}}), {{"QSO-NAME", "J\xC3\xBCrgen"}}},
            {"bad time", With({{1, "24:00"}}), {}, "ERROR:  Time?  19981225 240000  2m  USB    "},
            {"short call", With({{2, "D"}}), {}, "ERROR:  Call? D 19981225 123400  2m  USB    "},
            {"no band at all",
             With({{5, "xx"}, {6, "14.0255"}}),
             {},
             "ERROR:  Band? DL1ABC 19981225 123400  2m  USB 579 589  "},
            {"empty mode",
             With({{7, ""}}),
             {},
             "ERROR:  Mode? DL1ABC 19981225 123400 14025.0 20m  USB 579 589  "},
            {"empty date", With({{0, ""}}), {}, "ERROR:  Date?     2m  USB    "},
            {"no calendar date",
             With({{0, "=19990230"}}),
             {},
             "ERROR:  Date? DL1ABC 19990230 123400 14025.0 20m  USB 579 589  "},
            {"unknown prefix",
             With({{2, "QQ1ABC"}}),
             {},
             "ERROR:  Prefix? QQ1ABC 19981225 123400 14025.0 20m  USB 579 589  "},
        });
}

TEST(HyperLog, RemarksFromAMemoFile) {
    ImportFixture f;
    std::vector<DbfField> fields = kFields;
    fields[11] = {"REMARKS", 'M', 10};
    DbfTable table;
    table.fields = fields;
    table.rows = {With({{11, "1"}}), With({{2, "DL2ABC"}, {11, ""}})};
    std::string header(512, '\0');
    std::string block = "QSL via bureau, tnx fer QSO\x1A\x1A";
    block.resize(512, '\0');
    f.dir.write("log.dbt", header + block);
    const DbaseOutcome out = RunDbase(f, kHyperLog, table);
    ASSERT_EQ(out.rows.size(), 2u);
    EXPECT_EQ(out.rows[0].at("QSO-NOTE"), "QSL via bureau, tnx fer QSO");
    EXPECT_EQ(out.rows[1].at("QSO-NOTE"), "");
}

TEST(HyperLog, DeletedRowsAreNeitherReadNorCounted) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.rows = {With({{2, "DL1AAA"}}), With({{2, "DL1BBB"}}), With({{2, "DL1CCC"}})};
    table.deletedRows = {1};
    const DbaseOutcome out = RunDbase(f, kHyperLog, table, "HYPERLOG.DBF");
    ASSERT_EQ(out.rows.size(), 2u);
    EXPECT_EQ(out.rows[0].at("QSO-CALL"), "DL1AAA");
    EXPECT_EQ(out.rows[1].at("QSO-CALL"), "DL1CCC");
    EXPECT_EQ(out.counters.recordsRead, 2);
    EXPECT_EQ(out.counters.recordsLoaded, 2);
    // The deleted row counts in the table's size, and the run still ends at 3 of 3.
    EXPECT_EQ(f.host.positions.back(), (std::pair<std::int64_t, std::int64_t>{3, 3}));
}

TEST(DbaseFrame, EmptyTableReadsNothing) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    const DbaseOutcome out = RunDbase(f, kHyperLog, table);
    EXPECT_TRUE(out.rows.empty());
    EXPECT_TRUE(out.report.empty());
    EXPECT_EQ(out.counters.recordsRead, 0);
    EXPECT_FALSE(f.host.saw(kMsgSourceDatabaseError));
    EXPECT_FALSE(f.host.saw(kMsgInitializeTables));
}

// The engine's description in a stop box; nothing read, nothing reported.
void ExpectOpenFailure(ImportFixture& f, const std::string& mentions) {
    ASSERT_EQ(f.host.count(kMsgSourceDatabaseError), 1);
    for (const auto& m : f.host.messages) {
        if (m.id != kMsgSourceDatabaseError) continue;
        EXPECT_EQ(m.icon, MessageIcon::Stop);
        EXPECT_FALSE(m.question);
        EXPECT_NE(m.text.find(mentions), std::string::npos) << m.text;
    }
    EXPECT_TRUE(f.rows().empty());
    EXPECT_EQ(f.session->counters().recordsRead, 0);
    EXPECT_TRUE(f.reportLines().empty());
}

TEST(DbaseFrame, MissingColumnStopsBeforeAnyRecord) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.fields.pop_back();  // no QSLRECEIVE
    table.rows = {kBase};
    RunDbase(f, kHyperLog, table);
    ExpectOpenFailure(f, "QSLRECEIVE");
}

TEST(DbaseFrame, ColumnOfAnotherLogStopsBeforeAnyRecord) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.rows = {kBase};
    RunDbase(f, 7, table);  // DXlog wants CALL, RST, ...
    ExpectOpenFailure(f, "'CALL'");
}

TEST(DbaseFrame, MissingTableStopsBeforeAnyRecord) {
    ImportFixture f;
    ASSERT_TRUE(f.run(kHyperLog, f.dir.file("nolog.dbf")));
    ExpectOpenFailure(f, "nolog");
}

TEST(DbaseFrame, DamagedTableStopsBeforeAnyRecord) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.rows = {kBase, kBase, kBase};
    const std::string path = WriteDbf(f.dir.file("cut.dbf"), table);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 100);
    ASSERT_TRUE(f.run(kHyperLog, path));
    ExpectOpenFailure(f, "damaged");
}

TEST(DbaseFrame, MissingFolderIsShownLikeAnyOpenFailure) {
    // Begin Import cannot get here (the report file needs the folder), but
    // the frame itself must cope with it.
    ImportFixture f;
    test::BareEngine b(kHyperLog);
    b.options.sourcePath = f.dir.file("gone") + "/log.dbf";
    ImportHyperLog(b.s);
    f.host.messages = b.host.messages;
    ExpectOpenFailure(f, "gone");
}

TEST(DbaseFrame, ColumnListsFollowTheirEnum) {
    constexpr DbaseColumn inOrder[] = {{0, "DATE"}, {1, "TIME"}};
    constexpr DbaseColumn swapped[] = {{1, "TIME"}, {0, "DATE"}};
    EXPECT_TRUE(ColumnsInOrder(inOrder, 2));
    EXPECT_FALSE(ColumnsInOrder(inOrder, 3));  // a column left out
    EXPECT_FALSE(ColumnsInOrder(swapped, 2));
}

TEST(DbaseFrame, SourcePathSplit) {
    struct Case {
        const char* path;
        const char* directory;
        const char* table;
    };
    const Case cases[] = {{"/logs/hyper.log.dbf", "/logs", "hyper"},
                          {"C:\\LOGS\\HYPER.DBF", "C:\\LOGS", "HYPER"},
                          {"hyper.dbf", "", "hyper"},
                          {"/hyper.dbf", "/", "hyper"},
                          {"", "", ""}};
    for (const Case& c : cases) {
        std::string directory, table;
        SplitSourcePath(c.path, directory, table);
        EXPECT_EQ(directory, c.directory) << c.path;
        EXPECT_EQ(table, c.table) << c.path;
    }
}

TEST(DbaseFrame, FrequencyText) {
    struct Case {
        const char* mhz;
        const char* khz;
        bool tooPrecise;
    };
    const Case cases[] = {{"14", "14000.0", false},
                          {"14.2", "14200.0", false},
                          {"14.02", "14020.0", false},
                          {"14.025", "14025.0", false},
                          {"14.0255", "", true},
                          {"14.", "14000.0", false},
                          {"", "", false},
                          {"3.5", "3500.0", false}};
    for (const Case& c : cases) {
        bool tooPrecise = !c.tooPrecise;
        EXPECT_EQ(MhzTextToKhz(c.mhz, &tooPrecise), c.khz) << c.mhz;
        EXPECT_EQ(tooPrecise, c.tooPrecise) << c.mhz;
    }
}

TEST(DbaseFrame, DoNotLoadGivesFifteenSamples) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    for (int i = 0; i < 20; ++i) table.rows.push_back(kBase);
    const DbaseOutcome out =
        RunDbase(f, kHyperLog, table, "log.dbf", [](ImportOptions& o) { o.filter = kFilterNone; });
    EXPECT_TRUE(out.rows.empty());
    EXPECT_EQ(out.counters.recordsRead, 20);
    EXPECT_EQ(out.counters.recordsIgnored, 20);
    ASSERT_EQ(out.report.size(), 15u);
    EXPECT_EQ(out.report[0], "Sample DL1ABC 19981225 123400 14025.0 20m  USB 579 589  ");
}

TEST(DbaseFrame, AbortQuestionNoGoesOnWithTheSameRecord) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.rows = {With({{2, "DL1AAA"}}), With({{2, "DL1BBB"}}), With({{2, "DL1CCC"}})};
    f.host.answers[kMsgAbortQuestion] = false;
    f.host.onPump = [&f] {
        if (f.host.pumps == 2) f.session->StopImport();
    };
    const DbaseOutcome out = RunDbase(f, kHyperLog, table);
    EXPECT_EQ(f.host.count(kMsgAbortQuestion), 1);
    ASSERT_EQ(out.rows.size(), 3u);
    EXPECT_EQ(out.rows[1].at("QSO-CALL"), "DL1BBB");
    EXPECT_EQ(out.counters.recordsRead, 3);
}

TEST(DbaseFrame, AbortQuestionYesStopsBeforeTheRecord) {
    ImportFixture f;
    DbfTable table;
    table.fields = kFields;
    table.rows = {With({{2, "DL1AAA"}}), With({{2, "DL1BBB"}}), With({{2, "DL1CCC"}})};
    f.host.answers[kMsgAbortQuestion] = true;
    f.host.onPump = [&f] {
        if (f.host.pumps == 2) f.session->StopImport();
    };
    const DbaseOutcome out = RunDbase(f, kHyperLog, table);
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0].at("QSO-CALL"), "DL1AAA");
    EXPECT_EQ(out.counters.recordsRead, 1);
}

}  // namespace
}  // namespace tvx::test
