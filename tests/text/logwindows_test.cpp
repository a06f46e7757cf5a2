// Log Windows v3 exports end to end into a SQLite target.

#include <string>
#include <vector>

#include "import/messages.h"
#include "text/text_cases.h"

namespace tvx::test {
namespace {

// A line of 25 quoted fields; the fields not given are empty.
std::string LogWin(std::vector<std::string> fields) {
    fields.resize(25);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += '"' + fields[i] + '"';
    }
    return line;
}

TEST(LogWindows, FixtureFileGivesRowsReportAndCounters) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kLogWindows, DataFile(fx, "logwin.asc")));
    const auto rows = fx.rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(fx.host.reachedEnd());

    const QsoRowMap* w1aw = RowOf(rows, "W1AW");
    ASSERT_NE(w1aw, nullptr);
    ExpectColumns(*w1aw, {{"QSO-DATE", "19990315"},
                          {"QSO-TIME", "093000"},
                          {"QSO-MODE", "2"},
                          {"QSO-FREQ", "7025"},
                          {"QSO-BAND", "8"},
                          {"QSO-RSTR", "599"},
                          {"QSO-RSTS", "599"},
                          {"QSO-NAME", "Hiram"},
                          {"QSO-QTH", "Newington"},
                          {"QSO-STATE", "CT"},
                          {"QSO-GRID", "FN31"},
                          {"QSO-NOTE", "Hello, old friend, 73"},
                          {"QSO-QSL-SENT", "19990401"},
                          {"QSO-CONFIRM", "1"},
                          {"QSO-AWARD", "1"},
                          {"QSO-PREFIX", "K"},
                          {"QSO-CQ-ZONE", "05"},
                          {"QSO-ITU-ZONE", "08"},
                          {"QSO-WPX", "W1"},
                          {"QSO-VALID", "3"},
                          {"QSO-SAT", "None"},
                          {"QSO-QSL-VIA", "5"},
                          {"QSO-OPRCALL", "N0CALL"},
                          {"QSO-SUBMODE", std::nullopt}});

    const QsoRowMap* dl = RowOf(rows, "DL1ABC");
    ASSERT_NE(dl, nullptr);
    ExpectColumns(*dl, {{"QSO-DATE", "20050315"},
                        {"QSO-TIME", "093000"},
                        {"QSO-MODE", "0"},
                        {"QSO-BAND", "6"},
                        {"QSO-FREQ", "14250"},
                        {"QSO-RSTR", "57"},
                        {"QSO-RSTS", "58"},
                        {"QSO-QTH", "Berlin"},
                        {"QSO-STATE", "XX"},
                        {"QSO-NOTE", ""},
                        {"QSO-QSL-SENT", "20050315"},
                        {"QSO-CONFIRM", "0"},
                        {"QSO-AWARD", "0"},
                        {"QSO-PREFIX", "DL"},
                        {"QSO-CQ-ZONE", "14"},
                        {"QSO-WPX", "DL1"}});

    const QsoRowMap* kh6 = RowOf(rows, "KH6XX");
    ASSERT_NE(kh6, nullptr);
    ExpectColumns(*kh6, {{"QSO-DATE", "20050315"},
                         {"QSO-STATE", "HI"},
                         {"QSO-PREFIX", "KH6"},
                         {"QSO-CQ-ZONE", "31"},
                         {"QSO-RSTR", "59"},
                         {"QSO-RSTS", "59"},
                         {"QSO-BAND", "4"},
                         {"QSO-QSL-SENT", std::nullopt}});

    ExpectColumns(*RowOf(rows, "W2XYZ"), {{"QSO-DATE", "20091231"},
                                          {"QSO-STATE", std::nullopt},
                                          {"QSO-MODE", "5"},
                                          {"QSO-BAND", "9"},
                                          {"QSO-RSTS", "599"}});
    ExpectColumns(*RowOf(rows, "VE3ABC"), {{"QSO-DATE", "19100102"},
                                           {"QSO-STATE", "ON"},
                                           {"QSO-PREFIX", "VE"},
                                           {"QSO-MODE", "3"},
                                           {"QSO-QTH", "Toronto"}});
    ExpectColumns(*RowOf(rows, "G3ABC"), {{"QSO-MODE", "1"},
                                          {"QSO-BAND", "8"},
                                          {"QSO-FREQ", "7050"},
                                          {"QSO-RSTR", "59"},
                                          {"QSO-PREFIX", "G"}});

    const std::vector<std::string> expected = {
        "Warning: State? W2XYZ 20091231 120000 3580 80m  RTTY 599 599 ZZ ",
        "ERROR:  Call? X    2m  USB    ",
        "ERROR:  Date? W3ABC 3/15/99   2m  USB    ",
        "ERROR:  Time? W4ABC 19990315 00  2m  USB    ",
        "ERROR:  Mode? W5ABC 19990315 093000  2m  USB    ",
        "ERROR:  Band? W6ABC 19990315 093000  2m  USB    ",
        "ERROR:  Date? W7ABC 19990230 093000 7025 40m  CW    ",
        "ERROR:  Prefix? QQ1ABC 19990315 093000 7025 40m  CW 599 599  ",
    };
    EXPECT_EQ(fx.reportLines(), expected);
    const Counters c = fx.host.counters;
    EXPECT_EQ(c.recordsRead, 13);
    EXPECT_EQ(c.recordsLoaded, 6);
    EXPECT_EQ(c.recordsIgnored, 0);
    EXPECT_EQ(c.errors, 7);
    EXPECT_EQ(c.warnings, 1);
}

class LogWindowsLine : public testing::TestWithParam<LineCase> {};

TEST_P(LogWindowsLine, Converts) {
    CheckLineCase(kLogWindows, GetParam());
}

const std::string k49(49, 'n');
const std::string k50(50, 'n');

INSTANTIATE_TEST_SUITE_P(
    Cases, LogWindowsLine,
    testing::Values(
        LineCase{"TwoDigitYearNinetiesIs19",
                 LogWin({"W1AW", "03/15/99", "0930", "CW", "7.025"}),
                 {{"QSO-DATE", "19990315"}},
                 {}},
        LineCase{"TwoDigitYearBelow10Is20",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025"}),
                 {{"QSO-DATE", "20050315"}},
                 {}},
        LineCase{"FourDigitYear",
                 LogWin({"W1AW", "03/15/2005", "0930", "CW", "7.025"}),
                 {{"QSO-DATE", "20050315"}},
                 {}},
        LineCase{"AnySeparators",
                 LogWin({"W1AW", "03-15-05", "0930", "CW", "7.025"}),
                 {{"QSO-DATE", "20050315"}},
                 {}},
        LineCase{"TimeWithColon",
                 LogWin({"W1AW", "03/15/05", "23:59", "CW", "7.025"}),
                 {{"QSO-TIME", "235900"}},
                 {}},
        LineCase{"TimeOfSixCharactersFails",
                 LogWin({"W1AW", "03/15/05", "093000", "CW", "7.025"}),
                 {},
                 {"ERROR:  Time? W1AW 20050315 00  2m  USB    "}},
        LineCase{"TimeOutOfRangeFails",
                 LogWin({"W1AW", "03/15/05", "2400", "CW", "7.025"}),
                 {},
                 {"ERROR:  Time? W1AW 20050315 240000  2m  USB    "}},
        LineCase{"FrequencyOf7050Is40m",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.050"}),
                 {{"QSO-FREQ", "7050"}, {"QSO-BAND", "8"}},
                 {}},
        LineCase{"SsbOn20mIsUsb",
                 LogWin({"W1AW", "03/15/05", "0930", "SSB", "14.200"}),
                 {{"QSO-MODE", "0"}, {"QSO-RSTS", "59"}, {"QSO-RSTR", "59"}},
                 {}},
        LineCase{"UnlistedModeIsDigitalWithSubmode",
                 LogWin({"W1AW", "03/15/05", "0930", "OLIVIA", "14.072"}),
                 {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "OLIVIA"}, {"QSO-RSTS", "59"}},
                 {}},
        LineCase{"CwBefore1975IsValid1",
                 LogWin({"W1AW", "03/15/74", "0930", "CW", "7.025"}),
                 {{"QSO-DATE", "19740315"}, {"QSO-VALID", "1"}},
                 {}},
        LineCase{"CommentOf49Kept",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "", "", "",
                         k49}),
                 {{"QSO-NOTE", k49}},
                 {}},
        LineCase{"CommentOf50Dropped",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "", "", "",
                         k50}),
                 {{"QSO-NOTE", ""}},
                 {}},
        LineCase{"QthCutTo25",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "",
                         "Newington Hartford County Connecticut"}),
                 {{"QSO-QTH", "Newington Hartford County"}},
                 {}},
        LineCase{"SecondQthOnlyWhenFirstEmpty",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "Newington", "",
                         "Elsewhere"}),
                 {{"QSO-QTH", "Newington"}},
                 {}},
        LineCase{"QslSentDateOfEightCharacters",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "", "", "",
                         "", "N", "N", "04/01/05"}),
                 {{"QSO-QSL-SENT", "20050401"}},
                 {}},
        LineCase{"QslSentDateOfOtherLengthIgnored",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "", "", "",
                         "", "Y", "N", "4/1/05"}),
                 {{"QSO-QSL-SENT", "20050315"}},
                 {}},
        LineCase{
            "AwardFromAnyOfTheLastThree",
            LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "",  "",  "", "",
                    "",     "",         "",     "",   "",      "", "", "", "", "0", "0", "2"}),
            {{"QSO-AWARD", "1"}},
            {}},
        LineCase{"KnownUsStateKept",
                 LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "MA"}),
                 {{"QSO-STATE", "MA"}},
                 {}},
        LineCase{"Kl7GetsAkWhateverTheField",
                 LogWin({"KL7XX", "03/15/05", "0930", "CW", "7.025", "", "", "", "", "", "WA"}),
                 {{"QSO-STATE", "AK"}, {"QSO-PREFIX", "KL7"}},
                 {}},
        LineCase{"SpacesBetweenFields",
                 "\"W1AW\", \"03/15/05\", \"0930\" ,\"CW\", \" 7.025 \"",
                 {{"QSO-CALL", "W1AW"}, {"QSO-DATE", "20050315"}, {"QSO-FREQ", "7025"}},
                 {}}),
    CaseName);

// A long record is one record: the tail is neither lost nor read as a
// contact of its own.
TEST(LogWindows, LongLineIsOneRecord) {
    const std::string longName(700, 'a');
    const std::string line = LogWin({"W1AW", "03/15/05", "0930", "CW", "7.025", "", "", longName,
                                     "Hiram", "Newington", "CT", "", "FN31", "Tail comment"});
    ImportRun run(kLogWindows, line + "\r\n");
    ASSERT_EQ(run.rows.size(), 1u);
    ExpectColumns(run.rows[0], {{"QSO-NAME", "Hiram"},
                                {"QSO-STATE", "CT"},
                                {"QSO-GRID", "FN31"},
                                {"QSO-NOTE", "Tail comment"}});
    EXPECT_EQ(run.fx.host.counters.recordsRead, 1);
    EXPECT_TRUE(run.report.empty());
}

TEST(LogWindows, LegacyTextIsDecodedAndCutByCharacters) {
    // Windows-1252: "Jörg", and a QTH of accented letters longer than 25.
    const std::string line = LogWin({"DL1ABC", "03/15/05", "0930", "CW", "7.025", "", "", "",
                                     "J\xF6rg", std::string(30, '\xE9')});
    ImportRun run(kLogWindows, line + "\r\n");
    ASSERT_EQ(run.rows.size(), 1u);
    std::string qth;
    for (int i = 0; i < 25; ++i) qth += "\xC3\xA9";
    ExpectColumns(run.rows[0], {{"QSO-NAME", "J\xC3\xB6rg"}, {"QSO-QTH", qth}});
}

TEST(LogWindows, MissingFileIsRefusedWithStopMessage) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kLogWindows, fx.dir.file("missing.asc")));
    ASSERT_TRUE(fx.host.saw(kMsgSourceFileNotOpen));
    for (const auto& m : fx.host.messages) {
        if (m.id == kMsgSourceFileNotOpen) {
            EXPECT_EQ(m.text, "Unable to open the source file:\nCould not find file '" +
                                  fx.dir.file("missing.asc") + "'.");
            EXPECT_EQ(m.icon, MessageIcon::Stop);
        }
    }
    EXPECT_EQ(fx.host.counters.recordsRead, 0);
    EXPECT_TRUE(fx.rows().empty());
}

}  // namespace
}  // namespace tvx::test
