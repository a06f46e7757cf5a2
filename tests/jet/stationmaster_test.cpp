// The StationMaster log of the fixtures imported end to end into a SQLite
// target, with the host program's own Jet refdata.mdb as reference data.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "db/target.h"
#include "import/messages.h"
#include "import/session.h"
#include "jet/jet_files.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

using test::JetFile;

const int kStationMaster = SourceTypeFromName(SourceTypes(), "stationmaster");
const int kAdif = SourceTypeFromName(SourceTypes(), "adif");

class StationMaster : public ::testing::Test {
  protected:
    void SetUp() override {
        TVX_REQUIRE_JET_FILE("stationmaster.mdb");
        TVX_REQUIRE_JET_FILE("refdata.mdb");
        // The host folder gets the host program's own Jet reference database,
        // which is taken before the SQLite one of the fixture.
        std::filesystem::copy_file(JetFile("refdata.mdb"), f_.hostPath() + "/refdata.mdb");
        source_ = f_.dir.file("LOG.MDB");
        std::filesystem::copy_file(JetFile("stationmaster.mdb"), source_);
    }

    test::ImportFixture f_;
    std::string source_;
};

// Expected [QSO-TAB] columns of one written contact.
struct Written {
    const char *date, *time, *call, *freq, *band, *mode, *rsts, *rstr;
    const char *prefix, *cq, *itu, *wpx, *name, *qth, *note, *power, *grid, *state;
    const char *qsls, *qslSent, *confirm, *submode;
};

// clang-format off
const Written kWritten[] = {
    // 991231 with the century rule; the QTH after the slash; both reports given.
    {"19991231", "123000", "W1AW", "7000.0", "8", "2", "599", "579",
     "K", "05", "08", "W1", "JOHN", "LONDON", "7 nice signal", "100", "FN31", nullptr,
     "1", "19991231", "0", nullptr},
    // 500101 is 1950; time 5 is 00:05; SSB on 20 m is upper side band.
    {"19500101", "000500", "DL1ABC", "14025.0", "6", "0", "59", "59",
     "DL", "14", "28", "DL1", "HANS", nullptr, "0", "400", "JO62QM", nullptr,
     "0", nullptr, "1", nullptr},
    // 491231 is 2049; RTY is RTTY and its missing reports become 599.
    {"20491231", "093000", "G3XYZ", "3750.0", "9", "5", "599", "599",
     "G", "14", "27", "G3", nullptr, nullptr, "1", "5", nullptr, nullptr,
     "0", nullptr, "0", nullptr},
    // 100101 is 2010; a five-digit time keeps digits 1, 2, 4 and 5; y is Y.
    {"20100101", "124500", "JA1XYZ", "21300.0", "4", "3", "57", "57",
     "JA", "25", "45", "JA1", "TARO", "TOKYO", "2", "50", "PM95", nullptr,
     "1", "20100101", "1", nullptr},
    // 050317 stored as the number 50317.
    {"20050317", "120000", "VE3ABC", "14200.0", "6", "0", "59", "59",
     "VE", "04", "04", "VE3", nullptr, nullptr, "3", "100", nullptr, nullptr,
     "0", nullptr, "0", nullptr},
    {"20050317", "120000", "VK2ABC", "28500.0", "2", "2", "599", "599",
     "VK", "30", "59", "VK2", nullptr, nullptr, "4", "100", "QF56", nullptr,
     "0", nullptr, "0", nullptr},
    {"20050322", "160000", "SV1ABC/9", "7050.0", "8", "1", "59", "59",
     "SV9", "20", "28", "SV9", "JÖRG", "MÜNCHEN", "9 Grüße aus Köln", "100", "KM25", nullptr,
     "1", "20050322", "1", nullptr},
    // The source's own STATE column is not read; Hawaii gets HI.
    {"20050323", "170000", "KH6ABC", "144200.0", "0", "0", "59", "59",
     "KH6", "31", "61", "KH6", nullptr, nullptr, "10", "10", "BL11", "HI",
     "0", nullptr, "0", nullptr},
    {"20050325", "190000", "W6XYZ", "50125.0", "1", "6", "59", "59",
     "K", "03", "08", "W6", "BOB", nullptr, "12", "25", "CM87", nullptr,
     "0", nullptr, "0", "PSK31"},
};
// clang-format on

const char* const kReport[] = {
    "ERROR:  Call? X 20050318 130000  2m  USB    ",
    "ERROR:  Mode? F5ABC 20050319 140000 14000.0 20m  USB    ",
    // The time is checked before the call is read.
    "ERROR:  Time?  20050320 240000  2m  USB    ",
    "ERROR:  Band or Freq? EA3ABC 20050321 150000  2m  USB    ",
    "ERROR:  Prefix? ZZ9ZZZ 20050324 180000 14010.0 20m  CW 599 599  ",
};

std::optional<std::string> Opt(const char* s) {
    return s ? std::optional<std::string>(s) : std::nullopt;
}

TEST_F(StationMaster, ImportsTheLog) {
    ASSERT_TRUE(f_.run(kStationMaster, source_));

    const auto rows = f_.rows();
    ASSERT_EQ(rows.size(), std::size(kWritten));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Written& w = kWritten[i];
        const test::QsoRowMap& r = rows[i];
        SCOPED_TRACE(w.call);
        const std::pair<const char*, const char*> expected[] = {
            {"QSO-DATE", w.date},       {"QSO-TIME", w.time},        {"QSO-CALL", w.call},
            {"QSO-FREQ", w.freq},       {"QSO-BAND", w.band},        {"QSO-MODE", w.mode},
            {"QSO-RSTS", w.rsts},       {"QSO-RSTR", w.rstr},        {"QSO-PREFIX", w.prefix},
            {"QSO-CQ-ZONE", w.cq},      {"QSO-ITU-ZONE", w.itu},     {"QSO-WPX", w.wpx},
            {"QSO-NAME", w.name},       {"QSO-QTH", w.qth},          {"QSO-NOTE", w.note},
            {"QSO-POWER", w.power},     {"QSO-GRID", w.grid},        {"QSO-STATE", w.state},
            {"QSO-QSLS", w.qsls},       {"QSO-QSL-SENT", w.qslSent}, {"QSO-CONFIRM", w.confirm},
            {"QSO-SUBMODE", w.submode}, {"QSO-QSL-VIA", "5"},        {"QSO-VALID", "3"},
            {"QSO-OPRCALL", "N0CALL"},  {"QSO-SAT", "None"},         {"QSO-MGR-NUMB", "1"},
            {"QSO-CATEGORY", "0"},      {"QSO-COUNTY", nullptr},     {"QSO-QSLRDATE", nullptr},
        };
        for (const auto& [column, value] : expected) {
            ASSERT_TRUE(r.count(column)) << column;
            EXPECT_EQ(r.at(column), Opt(value)) << column;
        }
    }

    EXPECT_EQ(f_.reportLines(), std::vector<std::string>(std::begin(kReport), std::end(kReport)));
    // The on-screen list shows the newest line first.
    EXPECT_EQ(f_.host.problems, std::vector<std::string>(std::rbegin(kReport), std::rend(kReport)));

    const Counters c = f_.session->counters();
    EXPECT_EQ(c.recordsRead, 14);
    EXPECT_EQ(c.recordsLoaded, 9);
    EXPECT_EQ(c.recordsIgnored, 0);
    EXPECT_EQ(c.errors, 5);
    EXPECT_EQ(c.warnings, 0);
    EXPECT_EQ(f_.host.counters.recordsRead, 14);
    EXPECT_FALSE(f_.host.saw(kMsgSourceDatabaseError));
    EXPECT_FALSE(f_.host.saw(kMsgEngineError));
    EXPECT_TRUE(f_.host.saw(kMsgInitializeTables));
    EXPECT_EQ(f_.host.positions.back(), (std::pair<std::int64_t, std::int64_t>{14, 14}));
}

// Edited files with deleted rows, moved rows and stale copies, the log as the
// source and the reference database in the host folder: only live rows count.
TEST_F(StationMaster, EditedFilesGiveTheLiveRowsOnly) {
    TVX_REQUIRE_JET_FILE("stationmaster-edited.mdb");
    TVX_REQUIRE_JET_FILE("refdata-edited.mdb");
    std::filesystem::copy_file(JetFile("refdata-edited.mdb"), f_.hostPath() + "/refdata.mdb",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string log = f_.dir.file("EDITED.MDB");
    std::filesystem::copy_file(JetFile("stationmaster-edited.mdb"), log);
    ASSERT_TRUE(f_.run(kStationMaster, log));
    EXPECT_EQ(f_.session->counters().recordsRead, 13);
    const auto rows = f_.rows();
    std::string calls;
    for (const auto& r : rows) calls += r.at("QSO-CALL").value_or("") + " ";
    EXPECT_EQ(calls, "DL1ABC G3XYZ JA1XYZ VE3ABC VK2ABC SV1ABC/9 KH6ABC DK1XYZ JH1ABC ");
    ASSERT_EQ(rows.size(), 9u);
    // Moved rows read from their current copies; G gets ITU 27 from its
    // current copy, VE3ABC goes through VE (the alias VE3 is deleted).
    const std::tuple<int, const char*, const char*> checks[] = {{1, "QSO-QTH", "MANCHESTER"},
                                                                {1, "QSO-ITU-ZONE", "27"},
                                                                {3, "QSO-CQ-ZONE", "05"},
                                                                {3, "QSO-ITU-ZONE", "09"},
                                                                {6, "QSO-QTH", "KAILUA-KONA"}};
    for (const auto& [row, column, value] : checks) {
        EXPECT_EQ(rows[row].at(column), value) << row << " " << column;
    }
    EXPECT_EQ(f_.reportLines().size(), 4u);  // F5ABC, I2ABC, EA3ABC, ZZ9ZZZ as before

    // The call map row of 4U1UN is deleted, and no prefix of the call is known.
    const std::string adif =
        f_.writeSource("un.adi",
                       "<EOH><CALL:5>4U1UN <QSO_DATE:8>20230415 <TIME_ON:4>1234 <BAND:3>20M "
                       "<MODE:2>CW <EOR>\n");
    ASSERT_TRUE(f_.run(kAdif, adif));
    ASSERT_EQ(f_.reportLines().size(), 1u);
    EXPECT_EQ(f_.reportLines()[0].rfind("ERROR:  Prefix? 4U1UN ", 0), 0u) << f_.reportLines()[0];
}

TEST_F(StationMaster, DoNotLoadShowsSamples) {
    auto options = f_.options(kStationMaster, source_);
    options.filter = kFilterNone;
    ASSERT_TRUE(f_.run(options));

    EXPECT_TRUE(f_.rows().empty());
    const auto lines = f_.reportLines();
    int samples = 0;
    for (const auto& line : lines) samples += line.rfind("Sample ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(samples, 9);
    EXPECT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines.front(), "Sample W1AW 19991231 123000 7000.0 40m  CW 599 579  ");
    EXPECT_EQ(f_.session->counters().recordsIgnored, 9);
    EXPECT_EQ(f_.session->counters().recordsLoaded, 0);
}

TEST_F(StationMaster, StopImportEndsTheLoop) {
    int pumps = 0;
    f_.host.onPump = [&] {
        if (++pumps == 4) f_.session->StopImport();
    };
    ASSERT_TRUE(f_.run(kStationMaster, source_));
    EXPECT_TRUE(f_.host.saw(kMsgAbortQuestion));
    EXPECT_EQ(f_.session->counters().recordsRead, 3);
    EXPECT_EQ(f_.rows().size(), 3u);
}

// Sources that cannot be opened: the engine's description in a stop box,
// nothing reported, no counter changed.
TEST_F(StationMaster, OpenFailuresShowTheEngineError) {
    struct Case {
        std::string source;
        std::string inMessage;
    };
    const std::string notJet = f_.writeSource("NOTJET.MDB", "QSODATE;QSOTIME\r\n991231;1230\r\n");
    const std::string noLogFile = f_.dir.file("REFDATA-COPY.MDB");
    std::filesystem::copy_file(JetFile("refdata.mdb"), noLogFile);
    const Case cases[] = {
        {f_.dir.file("ABSENT.MDB"), "ABSENT.MDB"},
        {notJet, "NOTJET.MDB"},
        {noLogFile, "'LogFile'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        f_.host.messages.clear();
        ASSERT_TRUE(f_.run(kStationMaster, c.source));
        ASSERT_TRUE(f_.host.saw(kMsgSourceDatabaseError));
        for (const auto& m : f_.host.messages) {
            if (m.id != kMsgSourceDatabaseError) continue;
            EXPECT_EQ(m.icon, MessageIcon::Stop);
            EXPECT_NE(m.text.find(c.inMessage), std::string::npos) << m.text;
        }
        EXPECT_TRUE(f_.reportLines().empty());
        EXPECT_EQ(f_.session->counters().recordsRead, 0);
        EXPECT_FALSE(f_.host.saw(kMsgInitializeTables));
    }
}

// The SQLite target leaves a Jet file to the Jet target.
TEST(JetTarget, IsNoSqliteTarget) {
    TVX_REQUIRE_JET_FILE("target.mdb");
    test::TempDir dir;
    const std::string path = dir.file("W1XX.mdb");
    std::filesystem::copy_file(JetFile("target.mdb"), path);
    const std::string before = test::ReadBytes(path);
    CImportSet set;
    try {
        set.Open(path);
        FAIL() << "a Jet target was opened";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("it is written as the host program's database"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(set.IsOpen());
    EXPECT_EQ(test::ReadBytes(path), before);
}

}  // namespace
}  // namespace tvx
