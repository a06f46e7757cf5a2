// XpWin v1 exports end to end into a SQLite target.

#include <string>
#include <vector>

#include "import/messages.h"
#include "text/text_cases.h"

namespace tvx::test {
namespace {

// call;serial;date;time;sent;received;frequency;mode;comment
std::string XpWin(const std::string& date, const std::string& time, const std::string& freq,
                  const std::string& comment = "", const std::string& sent = "",
                  const std::string& received = "") {
    return "W1AW;1;" + date + ";" + time + ";" + sent + ";" + received + ";" + freq + ";CW;" +
           comment;
}

TEST(XpWin, FixtureFileGivesRowsReportAndCounters) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kXpWin, DataFile(fx, "xpwin.exp")));
    const auto rows = fx.rows();
    ASSERT_EQ(rows.size(), 5u);

    ExpectColumns(*RowOf(rows, "W1AW"), {{"QSO-DATE", "20050315"},
                                         {"QSO-TIME", "093000"},
                                         {"QSO-RSTS", "599"},
                                         {"QSO-RSTR", "599"},
                                         {"QSO-FREQ", "14085.50"},
                                         {"QSO-BAND", "6"},
                                         {"QSO-MODE", "5"},
                                         {"QSO-NOTE", "Nice RTTY contact"},
                                         {"QSO-PREFIX", "K"},
                                         {"QSO-CQ-ZONE", "05"},
                                         {"QSO-WPX", std::nullopt},
                                         {"QSO-STATE", std::nullopt}});
    ExpectColumns(*RowOf(rows, "DL1ABC"), {{"QSO-DATE", "20050315"},
                                           {"QSO-RSTS", "579"},
                                           {"QSO-RSTR", "589"},
                                           {"QSO-FREQ", "7035.25"},
                                           {"QSO-BAND", "8"},
                                           {"QSO-MODE", "5"},
                                           {"QSO-NOTE", ""},
                                           {"QSO-PREFIX", "DL"}});
    ExpectColumns(*RowOf(rows, "G3ABC"), {{"QSO-DATE", "19990315"},
                                          {"QSO-TIME", "235900"},
                                          {"QSO-FREQ", "14085.50"},
                                          {"QSO-BAND", "6"},
                                          {"QSO-MODE", "5"},
                                          {"QSO-SUBMODE", std::nullopt}});
    ExpectColumns(*RowOf(rows, "KH6XX"),
                  {{"QSO-FREQ", "21000.00"}, {"QSO-BAND", "4"}, {"QSO-STATE", "HI"}});
    ExpectColumns(*RowOf(rows, "KL7XX"), {{"QSO-FREQ", "14085.00"},
                                          {"QSO-STATE", "AK"},
                                          {"QSO-NOTE", ""},
                                          {"QSO-WPX", std::nullopt}});

    const std::vector<std::string> expected = {
        "ERROR:  Date? VE3ABC 2005-03-15   2m  USB    ",
        "ERROR:  Time? W2XYZ 20050315 0930  2m  USB    ",
        "ERROR:  Band? W3XYZ 20050315 093000  2m  USB 599 599  ",
        "ERROR:  Date? W4XYZ 20050230 093000 14085.50 20m  RTTY 599 599  ",
        "ERROR:  Call? X    2m  USB    ",
        "ERROR:  Prefix? QQ1ABC 20050315 093000 14085.50 20m  RTTY 599 599  ",
    };
    EXPECT_EQ(fx.reportLines(), expected);
    const Counters c = fx.host.counters;
    EXPECT_EQ(c.recordsRead, 11);
    EXPECT_EQ(c.recordsLoaded, 5);
    EXPECT_EQ(c.recordsIgnored, 0);
    EXPECT_EQ(c.errors, 6);
    EXPECT_EQ(c.warnings, 0);
}

class XpWinLine : public testing::TestWithParam<LineCase> {};

TEST_P(XpWinLine, Converts) {
    CheckLineCase(kXpWin, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XpWinLine,
    testing::Values(LineCase{"SlashedFourDigitYear",
                             XpWin("2005/03/15", "09:30", "14,085.5"),
                             {{"QSO-DATE", "20050315"}},
                             {}},
                    LineCase{"DashedFourDigitYearFails",
                             XpWin("2005-03-15", "09:30", "14,085.5"),
                             {},
                             {"ERROR:  Date? W1AW 2005-03-15   2m  USB    "}},
                    LineCase{"TwoDigitYearBelow10Is20",
                             XpWin("05/03/15", "09:30", "14,085.5"),
                             {{"QSO-DATE", "20050315"}},
                             {}},
                    LineCase{"TwoDigitYear09Is2009",
                             XpWin("09/12/31", "09:30", "14,085.5"),
                             {{"QSO-DATE", "20091231"}},
                             {}},
                    LineCase{"TwoDigitYear10Is1910",
                             XpWin("10/01/01", "09:30", "14,085.5"),
                             {{"QSO-DATE", "19100101"}},
                             {}},
                    LineCase{"TwoDigitYear99Is1999",
                             XpWin("99/03/15", "09:30", "14,085.5"),
                             {{"QSO-DATE", "19990315"}},
                             {}},
                    LineCase{"ShortDateFails",
                             XpWin("5/3/15", "09:30", "14,085.5"),
                             {},
                             {"ERROR:  Date? W1AW 5/3/15   2m  USB    "}},
                    LineCase{"BareTimeFails",
                             XpWin("2005/03/15", "0930", "14,085.5"),
                             {},
                             {"ERROR:  Time? W1AW 20050315 0930  2m  USB    "}},
                    LineCase{"TimeOutOfRangeFails",
                             XpWin("2005/03/15", "23:60", "14,085.5"),
                             {},
                             {"ERROR:  Time? W1AW 20050315 236000  2m  USB    "}},
                    LineCase{"EmptyReportsAre599",
                             XpWin("2005/03/15", "09:30", "14,085.5"),
                             {{"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}},
                             {}},
                    LineCase{"GivenReportsKept",
                             XpWin("2005/03/15", "09:30", "14,085.5", "", "559", "569"),
                             {{"QSO-RSTS", "559"}, {"QSO-RSTR", "569"}},
                             {}},
                    LineCase{"CommaWithTwoDecimals",
                             XpWin("2005/03/15", "09:30", "7,050.25"),
                             {{"QSO-FREQ", "7050.25"}, {"QSO-BAND", "8"}},
                             {}},
                    LineCase{"CommaWithOneDecimal",
                             XpWin("2005/03/15", "09:30", "14,085.5"),
                             {{"QSO-FREQ", "14085.50"}, {"QSO-BAND", "6"}},
                             {}},
                    LineCase{"PointWithoutCommaIsKilohertz",
                             XpWin("2005/03/15", "09:30", "3585.2"),
                             {{"QSO-FREQ", "3585.20"}, {"QSO-BAND", "9"}},
                             {}},
                    LineCase{"WholeNumberIsMegahertz",
                             XpWin("2005/03/15", "09:30", "28"),
                             {{"QSO-FREQ", "28000.00"}, {"QSO-BAND", "2"}},
                             {}},
                    LineCase{"ModeIsAlwaysRtty",
                             XpWin("2005/03/15", "09:30", "14,085.5"),
                             {{"QSO-MODE", "5"}, {"QSO-SUBMODE", std::nullopt}},
                             {}},
                    LineCase{"CommentOf49Kept",
                             XpWin("2005/03/15", "09:30", "14,085.5", std::string(49, 'c')),
                             {{"QSO-NOTE", std::string(49, 'c')}},
                             {}},
                    LineCase{"CommentOf50Dropped",
                             XpWin("2005/03/15", "09:30", "14,085.5", std::string(50, 'c')),
                             {{"QSO-NOTE", ""}},
                             {}},
                    LineCase{
                        "NoWpxPrefix",
                        XpWin("2005/03/15", "09:30", "14,085.5"),
                        {{"QSO-WPX", std::nullopt}, {"QSO-PREFIX", "K"}, {"QSO-ITU-ZONE", "08"}},
                        {}}),
    CaseName);

TEST(XpWin, MissingFileIsRefusedWithStopMessage) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kXpWin, fx.dir.file("missing.exp")));
    EXPECT_TRUE(fx.host.saw(kMsgSourceFileNotOpen));
    EXPECT_EQ(fx.host.counters.recordsRead, 0);
}

}  // namespace
}  // namespace tvx::test
