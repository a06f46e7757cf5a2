// The import session end to end with a reader that feeds prepared contacts,
// into a real SQLite target with the small reference world.

#include <gtest/gtest.h>

#include <filesystem>

#include "db/sqlite.h"
#include "import/session.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

using test::ImportFixture;

std::vector<WorkingContact> g_feed;

// Feeds g_feed as source records, the way every reader drives the engine.
void FeedReader(ReaderSteps& s) {
    for (const WorkingContact& contact : g_feed) {
        if (!s.NextRecord()) break;
        s.contact() = contact;
        if (contact.m_strCall.size() < 2) {
            s.ReportError("Call?");
            continue;
        }
        s.FinishRecord();
    }
    s.StopReading();
}

WorkingContact Contact(const std::string& call, const std::string& band = "6",
                       const std::string& mode = "2", const std::string& date = "20050315") {
    WorkingContact c;
    c.m_strCall = call;
    c.m_strDate = date;
    c.m_strTime = "123400";
    c.m_strBand = band;
    c.m_strMode = mode;
    c.m_strRstSent = "599";
    c.m_strRstRcvd = "579";
    return c;
}

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<SourceType> types = SourceTypes();
        types[0].reader = FeedReader;  // an ADIF-like type: no 32781 question
        types[2].reader = FeedReader;  // an old text type: asks 32781
        // Both keep the contact's state; a mainland state must be known.
        for (const int t : {0, 2}) {
            types[t].stateRule = StateRule::TakenAfterResolution;
            types[t].prefixFromSource = false;
            types[t].recordCheck = RecordCheck::None;
        }
        types[3].reader = nullptr;  // a type whose reader is missing
        f.session = std::make_unique<ImportSession>(f.host, f.app, types);
        f.session->OpenTarget();
        g_feed.clear();
        source = f.writeSource("source.txt", "records are fed by the test reader\n");
    }

    ImportFixture f;
    std::string source;
};

TEST_F(SessionTest, RefusalsShowTheirMessageAndRunNothing) {
    struct Case {
        const char* what;
        std::function<void(ImportOptions&)> change;
        int message;
        MessageIcon icon;
    } cases[] = {
        {"no type", [](ImportOptions& o) { o.sourceType = -1; }, kMsgSelectSourceType,
         MessageIcon::Question},
        {"missing reader", [](ImportOptions& o) { o.sourceType = 3; }, kMsgReaderMissing,
         MessageIcon::Stop},
        {"no source", [](ImportOptions& o) { o.sourcePath.clear(); }, kMsgSourceNotOpen,
         MessageIcon::Stop},
        {"blank operator", [](ImportOptions& o) { o.defaultOprCall = "   "; }, kMsgOprCallRequired,
         MessageIcon::Stop},
        {"no host path", [](ImportOptions& o) { o.hostPath.clear(); }, kMsgProgramPathEmpty,
         MessageIcon::Stop},
        {"mdb in host path", [](ImportOptions& o) { o.hostPath += "/refdata.mdb"; },
         kMsgProgramPathHasMdb, MessageIcon::Stop},
        {"no reference database", [](ImportOptions& o) { o.hostPath = "/nonexistent/dir"; },
         kMsgReferenceNotOpen, MessageIcon::Stop},
    };
    for (const auto& c : cases) {
        f.host.messages.clear();
        ImportOptions o = f.options(test::TypeOf("adif"), source);
        c.change(o);
        EXPECT_FALSE(f.run(o)) << c.what;
        ASSERT_EQ(f.host.messages.size(), 1u) << c.what;
        EXPECT_EQ(f.host.messages[0].id, c.message) << c.what;
        // The text is the table's, sometimes followed by the engine's details.
        EXPECT_EQ(f.host.messages[0].text.rfind(MessageText(c.message), 0), 0u) << c.what;
        EXPECT_EQ(f.host.messages[0].icon, c.icon) << c.what;
        // A missing reference database: both names and how to build one.
        if (c.message == kMsgReferenceNotOpen) {
            for (const char* part : {"refdata.mdb", "refdata.sqlite", "build-refdata"}) {
                EXPECT_NE(f.host.messages[0].text.find(part), std::string::npos) << part;
            }
        }
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("ERRORS.TXT")));
    EXPECT_EQ(f.session->counters().recordsRead, 0);
}

TEST_F(SessionTest, UpperCaseMdbInHostPathPasses) {
    std::filesystem::create_directories(f.dir.file("HOST.MDB"));
    test::WriteSmallWorld(f.dir.file("HOST.MDB/refdata.sqlite"));
    ImportOptions o = f.options(test::TypeOf("adif"), source);
    o.hostPath = f.dir.file("HOST.MDB");
    EXPECT_TRUE(f.run(o));
    EXPECT_EQ(f.session->options().hostPath, f.dir.file("HOST.MDB") + "/");
}

TEST_F(SessionTest, TargetNotOpenRefused) {
    f.app.m_strTargetPath = f.dir.file("missing.sqlite");
    f.session->CloseTarget();
    EXPECT_NE(f.session->OpenTarget(), "");
    EXPECT_FALSE(f.run(test::TypeOf("adif"), source));
    EXPECT_EQ(f.host.ids(), std::vector<int>{kMsgTargetNotOpen});
}

TEST_F(SessionTest, QuestionsAnsweredNoEndTheCommand) {
    f.host.answers[kMsgNotAdifQuestion] = false;
    EXPECT_FALSE(f.run(test::TypeOf("logwin"), source));
    EXPECT_EQ(f.host.ids(), std::vector<int>{kMsgNotAdifQuestion});

    f.host.messages.clear();
    f.host.answers[kMsgNotAdifQuestion] = true;
    f.host.answers[kMsgBackupQuestion] = false;
    EXPECT_FALSE(f.run(test::TypeOf("logwin"), source));
    EXPECT_EQ(f.host.ids(), (std::vector<int>{kMsgNotAdifQuestion, kMsgBackupQuestion}));
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("ERRORS.TXT")));
}

TEST_F(SessionTest, AdifTypesNeverAskTheOldFormatQuestion) {
    g_feed = {Contact("DL1ABC")};
    EXPECT_TRUE(f.run(test::TypeOf("adif"), source));
    EXPECT_FALSE(f.host.saw(kMsgNotAdifQuestion));
    EXPECT_TRUE(f.host.saw(kMsgBackupQuestion));
    EXPECT_TRUE(f.host.saw(kMsgInitializeTables));
    EXPECT_EQ(f.host.runningStates, (std::vector<bool>{true, false}));
}

TEST_F(SessionTest, WritesRowsWithNullsDefaultsAndDerivedValues) {
    WorkingContact full = Contact("DL1ABC");
    full.m_strName = "Hans";
    full.m_bYL = 1;
    full.m_bUser2 = 1;
    full.m_strNote = "  worked portable  ";
    full.m_nConfirmed = 1;
    full.m_bQslSent = 1;
    full.m_strFreq = "14025.00";
    WorkingContact bare = Contact("W6XYZ", "6", "0");
    bare.m_strQslVia.clear();
    bare.m_strQslsStatus = "2";
    bare.m_bQslSent = 1;
    WorkingContact old = Contact("G3ABC", "9", "2", "19740601");
    WorkingContact old75 = Contact("G3ABC", "9", "2", "19750601");
    WorkingContact oldPhone = Contact("G3ABC", "9", "1", "19740601");
    g_feed = {full, bare, old, old75, oldPhone};

    ImportOptions o = f.options(test::TypeOf("adif"), source);
    o.defaultSpec1 = " club ";
    o.qslSentFromDate = true;
    ASSERT_TRUE(f.run(o));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 5u);

    const auto& r0 = rows[0];
    EXPECT_EQ(r0.at("QSO-PREFIX"), "DL");
    EXPECT_EQ(r0.at("QSO-CQ-ZONE"), "14");
    EXPECT_EQ(r0.at("QSO-ITU-ZONE"), "28");
    EXPECT_EQ(r0.at("QSO-WPX"), "DL1");
    EXPECT_EQ(r0.at("QSO-NAME"), "Hans");
    EXPECT_EQ(r0.at("QSO-NOTE"), "worked portable");
    EXPECT_EQ(r0.at("QSO-CATEGORY"), "9");
    EXPECT_EQ(r0.at("QSO-CONFIRM"), "1");
    EXPECT_EQ(r0.at("QSO-QSLS"), "1");
    EXPECT_EQ(r0.at("QSO-SAT"), "None");
    EXPECT_EQ(r0.at("QSO-QSL-VIA"), "5");
    EXPECT_EQ(r0.at("QSO-MGR-NUMB"), "1");
    EXPECT_EQ(r0.at("QSO-SPEC1"), "club");
    EXPECT_EQ(r0.at("QSO-SPEC2"), std::nullopt);
    EXPECT_EQ(r0.at("QSO-QSL-SENT"), "20050315");
    EXPECT_EQ(r0.at("QSO-OPRCALL"), "N0CALL");
    EXPECT_EQ(r0.at("QSO-FREQ"), "14025.00");
    EXPECT_EQ(r0.at("QSO-VALID"), "3");
    EXPECT_TRUE(r0.at("QSO-NUMBER").has_value());
    for (const char* col : {"QSO-ENDTIME", "QSO-STATE", "QSO-GRID", "QSO-IOTA", "QSO-COUNTY",
                            "QSO-TEN-TEN", "QSO-QTH", "QSO-POWER", "QSO-SATMODE", "QSO-QSL-NUMBER",
                            "QSO-SUBMODE", "QSO-QSLRDATE", "QSO-LOTWREC"}) {
        EXPECT_EQ(r0.at(col), std::nullopt) << col;
    }

    const auto& r1 = rows[1];
    EXPECT_EQ(r1.at("QSO-PREFIX"), "K");
    EXPECT_EQ(r1.at("QSO-CQ-ZONE"), "03");  // from the call area
    EXPECT_EQ(r1.at("QSO-QSL-VIA"), "0");
    EXPECT_EQ(r1.at("QSO-QSLS"), "3");
    EXPECT_EQ(r1.at("QSO-CONFIRM"), "0");
    EXPECT_EQ(r1.at("QSO-NAME"), std::nullopt);

    EXPECT_EQ(rows[2].at("QSO-VALID"), "1");  // CW before 1975
    EXPECT_EQ(rows[3].at("QSO-VALID"), "3");
    EXPECT_EQ(rows[4].at("QSO-VALID"), "3");
    EXPECT_EQ(f.session->counters().recordsLoaded, 5);
}

TEST_F(SessionTest, LotwTypeConfirmsAndMovesTheReceivedDate) {
    std::vector<SourceType> types = SourceTypes();
    types[1].reader = FeedReader;
    f.session = std::make_unique<ImportSession>(f.host, f.app, types);
    f.session->OpenTarget();
    WorkingContact c = Contact("DL1ABC");
    c.m_strQslRcvdDate = "20060101";
    c.m_strLotwRcvdDate = "20070101";
    g_feed = {c};
    ASSERT_TRUE(f.run(test::TypeOf("lotw"), source));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("QSO-CONFIRM"), "2");
    EXPECT_EQ(rows[0].at("QSO-LOTWREC"), "20060101");
    EXPECT_EQ(rows[0].at("QSO-QSLRDATE"), std::nullopt);
}

TEST_F(SessionTest, ProblemsOfResolutionAndState) {
    WorkingContact unknown = Contact("QQ9ZZZ");
    WorkingContact badState = Contact("W1AW");
    badState.m_strState = "XX";
    WorkingContact goodState = Contact("W1AW");
    goodState.m_strState = "CT";
    WorkingContact hawaii = Contact("KH6ABC");
    g_feed = {unknown, badState, goodState, hawaii, Contact("X")};
    ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("QSO-STATE"), std::nullopt);
    EXPECT_EQ(rows[1].at("QSO-STATE"), "CT");
    EXPECT_EQ(rows[2].at("QSO-STATE"), "HI");
    EXPECT_EQ(rows[2].at("QSO-PREFIX"), "KH6");
    const auto lines = f.reportLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ERROR:  Prefix? QQ9ZZZ 20050315 123400  20m  CW 599 579  ");
    EXPECT_EQ(lines[1], "Warning: State? W1AW 20050315 123400  20m  CW 599 579 XX ");
    EXPECT_EQ(lines[2].rfind("ERROR:  Call? X ", 0), 0u);
    EXPECT_EQ(f.session->counters().errors, 2);
    EXPECT_EQ(f.session->counters().warnings, 1);
    EXPECT_EQ(f.host.counters.recordsRead, 5);
    EXPECT_EQ(f.host.counters.recordsLoaded, 3);
    // The report file ends every line with CR LF.
    EXPECT_EQ(f.reportBytes().substr(f.reportBytes().size() - 2), "\r\n");
}

TEST_F(SessionTest, DoNotLoadShowsFifteenSamplesAndAsksNoBackup) {
    for (int i = 0; i < 20; ++i) g_feed.push_back(Contact("DL1ABC"));
    ImportOptions o = f.options(test::TypeOf("adif"), source);
    o.filter = kFilterNone;
    ASSERT_TRUE(f.run(o));
    EXPECT_FALSE(f.host.saw(kMsgBackupQuestion));
    EXPECT_FALSE(f.host.saw(kMsgInitializeTables));
    EXPECT_TRUE(f.rows().empty());
    EXPECT_EQ(f.session->counters().recordsIgnored, 20);
    const auto lines = f.reportLines();
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0].rfind("Sample DL1ABC ", 0), 0u);
}

TEST_F(SessionTest, StatisticsFilterChoices) {
    f.setStatistic("DL", "CCW20", "1");  // confirmed on 20 m CW
    f.setStatistic("DL", "WPH20", "2");  // worked on 20 m phone
    f.setStatistic("G", "WCW60", "0");   // a zero count lets the contact through
    f.setStatistic("G", "CCW60", "");    // and so does an empty one
    f.setStatistic("F", "WCW60", "3");
    struct Case {
        int filter;
        WorkingContact contact;
        bool loaded;
    } cases[] = {
        {kFilterNotConfirmed, Contact("DL1ABC", "6", "2"), false},
        {kFilterNotConfirmed, Contact("DL1ABC", "6", "0"), true},
        {kFilterNotWorked, Contact("DL1ABC", "6", "0"), false},
        {kFilterNotWorked, Contact("DL1ABC", "6", "7"), false},  // SSTV counts as phone
        {kFilterNotWorked, Contact("DL1ABC", "6", "6"), true},
        {kFilterNotWorked, Contact("G3ABC", "23", "2"), true},
        {kFilterNotConfirmed, Contact("G3ABC", "23", "2"), true},
        {kFilterNotWorked, Contact("F5ABC", "23", "2"), false},  // WCW60 read on 60 m
        {kFilterAll, Contact("F5ABC", "23", "2"), true},
        {kFilterAll, Contact("F5ABC", "99", "2"), false},  // a band without a column
    };
    int loaded = 0;
    for (const auto& c : cases) {
        g_feed = {c.contact};
        ImportOptions o = f.options(test::TypeOf("adif"), source);
        o.filter = c.filter;
        const int before = f.session->counters().recordsLoaded;
        ASSERT_TRUE(f.run(o));
        EXPECT_EQ(f.session->counters().recordsLoaded - before, c.loaded ? 1 : 0)
            << c.contact.m_strCall << " band " << c.contact.m_strBand << " filter " << c.filter;
        loaded += c.loaded ? 1 : 0;
    }
    EXPECT_EQ(static_cast<int>(f.rows().size()), loaded);
    EXPECT_EQ(f.session->counters().warnings, 0);

    // A prefix without a statistics row: one warning under choices 2 and 3.
    g_feed = {Contact("JA1ABC")};
    ImportOptions o = f.options(test::TypeOf("adif"), source);
    o.filter = kFilterNotConfirmed;
    ASSERT_TRUE(f.run(o));
    EXPECT_EQ(f.session->counters().warnings, 1);
    EXPECT_EQ(f.reportLines().at(0).rfind("Warning: Prefix not in Statistic Database? JA1ABC", 0),
              0u);
}

TEST_F(SessionTest, DatabaseErrorIsReportedWithTheCallTwice) {
    TVX_SQLITE_TARGET_ONLY(f);
    f.session->CloseTarget();
    {
        SqliteDb db(f.targetPath(), SqliteDb::Mode::ReadWrite);
        db.exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] = 'G3BAD' "
            "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
    }
    ASSERT_EQ(f.session->OpenTarget(), "");
    g_feed = {Contact("DL1ABC"), Contact("G3BAD"), Contact("F5ABC")};
    ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].at("QSO-CALL"), "F5ABC");
    EXPECT_EQ(f.session->counters().recordsLoaded, 2);
    EXPECT_EQ(f.session->counters().recordsIgnored, 0);
    EXPECT_EQ(f.session->counters().errors, 1);
    const auto lines = f.reportLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ERROR:  G3BAD refused by the test G3BAD ", 0), 0u) << lines[0];
}

TEST_F(SessionTest, StopImportAsksAtTheNextRecord) {
    for (int i = 0; i < 10; ++i) g_feed.push_back(Contact("DL1ABC"));
    for (bool answer : {true, false}) {
        f.host.answers[kMsgAbortQuestion] = answer;
        const int before = f.session->counters().recordsRead;
        int pumps = 0;
        f.host.onPump = [&] {
            if (++pumps == 4) f.session->StopImport();
        };
        ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
        EXPECT_EQ(f.host.count(kMsgAbortQuestion), answer ? 1 : 2);
        EXPECT_EQ(f.session->counters().recordsRead - before, answer ? 3 : 10);
        EXPECT_FALSE(f.host.runningStates.back());
    }
}

TEST_F(SessionTest, CountersAndListGrowOverRunsWhileTheFileHoldsOne) {
    g_feed = {Contact("QQ1AAA")};
    ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
    g_feed = {Contact("QQ2BBB")};
    ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
    ASSERT_EQ(f.host.problems.size(), 2u);
    EXPECT_NE(f.host.problems[0].find("QQ2BBB"), std::string::npos);
    EXPECT_NE(f.host.problems[1].find("QQ1AAA"), std::string::npos);
    const auto lines = f.reportLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("QQ2BBB"), std::string::npos);
    EXPECT_EQ(f.session->counters().errors, 2);
    EXPECT_EQ(f.session->counters().recordsRead, 2);
    // Nothing was ever loaded: no reminder to initialise the tables.
    EXPECT_FALSE(f.host.saw(kMsgInitializeTables));
}

TEST_F(SessionTest, ErrorFileBesideTheSource) {
    g_feed = {Contact("DL1ABC")};
    ASSERT_TRUE(f.run(test::TypeOf("adif"), source));
    EXPECT_EQ(f.session->errorFile(), f.dir.file("ERRORS.TXT"));
    EXPECT_EQ(f.app.m_strErrorFilePath, f.dir.file("ERRORS.TXT"));
    EXPECT_EQ(f.app.m_strRefDataDir, f.hostPath() + "/");
}

TEST(EngineLookups, CountyLookupNeedsBothColumnsAndKeepsCountiesWithoutATable) {
    test::BareEngine b;
    EXPECT_EQ(b.s.LookupCounty("MA", "MIDDLESEX"), 1);
    EXPECT_EQ(b.s.LookupCounty("CT", "MIDDLESEX"), 0);  // under another state
    EXPECT_EQ(b.s.LookupCounty("MA", "O'BRIEN"), 0);    // a quote is just a value

    ReferenceData empty;
    for (const auto& row : b.reference.prefixRows()) empty.addPrefix(row);
    b.reference = empty;
    EXPECT_EQ(b.s.LookupCounty("MA", "ANYWHERE"), 1);
}

TEST(SourceTypeTable, NamesFiltersAndCommandLine) {
    const auto& types = SourceTypes();
    ASSERT_EQ(types.size(), 14u);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(types[i].index, i);
    EXPECT_STREQ(types[0].listName, "Standard ADIF");
    EXPECT_STREQ(types[13].listName, "StationMaster 1.x");
    EXPECT_EQ(SourceFilterList(types),
              "Standard ADIF|*.adi;*.adif;*.adx|LoTW "
              "ADIF|*.adi;*.adif;*.adx|LOGWIN-3|*.asc|Logview|*.txt|XPWIN|*.exp|"
              "Hyperlog|*.dbf|Swisslog-3.82|*.txt|DXlog 1.9|*.dbf|DX-DeskTop 2.75|*.dbf|"
              "LogPlus v3-v4|*.dbf|TopLog v2.5|*.dbf|Q9ZZ v3|*.dbf|EasyLog|*.dbf|"
              "StationMaster|*.mdb|All|*.*||");
    EXPECT_EQ(SourceTypeFromName(types, "lotw"), 1);
    EXPECT_EQ(SourceTypeFromName(types, "13"), 13);
    EXPECT_EQ(SourceTypeFromName(types, "14"), -1);
    EXPECT_EQ(SourceTypeFromName(types, "csv"), -1);
}

}  // namespace
}  // namespace tvx
