// Logview exports end to end into a SQLite target.

#include <string>
#include <vector>

#include "import/messages.h"
#include "text/text_cases.h"

namespace tvx::test {
namespace {

// date^time^call^name^sent^received^frequency^power^mode^QTH^comment^manager^
// QSL received^QSL sent; the fields not given are empty.
std::string Logview(std::vector<std::string> fields) {
    fields.resize(14);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '^';
        line += fields[i];
    }
    return line;
}

TEST(Logview, FixtureFileGivesRowsReportAndCounters) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kLogview, DataFile(fx, "logview.txt")));
    const auto rows = fx.rows();
    ASSERT_EQ(rows.size(), 4u);

    ExpectColumns(*RowOf(rows, "W1AW"), {{"QSO-DATE", "20050315"},
                                         {"QSO-TIME", "093000"},
                                         {"QSO-NAME", "Hiram"},
                                         {"QSO-RSTS", "599"},
                                         {"QSO-RSTR", "579"},
                                         {"QSO-FREQ", "7050.0"},
                                         {"QSO-BAND", "8"},
                                         {"QSO-POWER", "100W"},
                                         {"QSO-MODE", "2"},
                                         {"QSO-QTH", "Newington"},
                                         {"QSO-NOTE", "Good signal"},
                                         {"QSO-QSL-VIA", "0"},
                                         {"QSO-CONFIRM", "1"},
                                         {"QSO-QSL-SENT", "20050315"},
                                         {"QSO-PREFIX", "K"},
                                         {"QSO-WPX", "W1"}});
    ExpectColumns(*RowOf(rows, "DL1ABC"), {{"QSO-DATE", "19990315"},
                                           {"QSO-TIME", "140000"},
                                           {"QSO-NAME", "Hans Joachim Me"},
                                           {"QSO-RSTS", "59"},
                                           {"QSO-RSTR", "59"},
                                           {"QSO-FREQ", "14250.0"},
                                           {"QSO-BAND", "6"},
                                           {"QSO-POWER", "1500"},
                                           {"QSO-MODE", "0"},
                                           {"QSO-QSL-VIA", "3"},
                                           {"QSO-CONFIRM", "0"},
                                           {"QSO-QSL-SENT", std::nullopt},
                                           {"QSO-WPX", "DL1"}});
    ExpectColumns(*RowOf(rows, "KH6XX"), {{"QSO-STATE", "HI"},
                                          {"QSO-NOTE", ""},
                                          {"QSO-QTH", "Honolulu"},
                                          {"QSO-BAND", "4"},
                                          {"QSO-MODE", "0"}});
    ExpectColumns(*RowOf(rows, "G3ABC"), {{"QSO-FREQ", "7050.0"},
                                          {"QSO-MODE", "1"},
                                          {"QSO-RSTS", "59"},
                                          {"QSO-POWER", std::nullopt}});

    // The date is the first field: a bad one is reported before the call is read.
    const std::vector<std::string> expected = {
        "ERROR:  Date?  03/15/2005   2m  USB    ",
        "ERROR:  Time? W3XYZ 20050315 00 7050.0 40m  CW    ",
        "ERROR:  Band? W4XYZ 20050315 093000  2m  USB    ",
        "ERROR:  Mode? W5XYZ 20050315 093000 7050.0 40m  USB    ",
        "ERROR:  Date? W6XYZ 20050230 093000 7050.0 40m  CW    ",
        "ERROR:  Call? X 20050315 093000 7050.0 40m  CW    ",
        "ERROR:  Prefix? QQ1ABC 20050315 093000 7050.0 40m  CW 599 599  ",
    };
    EXPECT_EQ(fx.reportLines(), expected);
    const Counters c = fx.host.counters;
    EXPECT_EQ(c.recordsRead, 11);
    EXPECT_EQ(c.recordsLoaded, 4);
    EXPECT_EQ(c.errors, 7);
    EXPECT_EQ(c.warnings, 0);
}

class LogviewLine : public testing::TestWithParam<LineCase> {};

TEST_P(LogviewLine, Converts) {
    CheckLineCase(kLogview, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogviewLine,
    testing::Values(
        LineCase{"TwoDigitYear",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-DATE", "20050315"}},
                 {}},
        LineCase{"TwoDigitYear10Is1910",
                 Logview({"12/31/10", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-DATE", "19101231"}},
                 {}},
        LineCase{"FourDigitYearFails",
                 Logview({"03/15/2005", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {},
                 {"ERROR:  Date?  03/15/2005   2m  USB    "}},
        LineCase{"BareTimeFailsInValidation",
                 Logview({"03/15/05", "0930", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {},
                 {"ERROR:  Time? W1AW 20050315 00 7050.0 40m  CW    "}},
        LineCase{"FrequencyOf7050Is40m",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-FREQ", "7050.0"}, {"QSO-BAND", "8"}},
                 {}},
        LineCase{"EmptyFrequencyFails",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "", "", "CW"}),
                 {},
                 {"ERROR:  Band? W1AW 20050315 093000  2m  USB    "}},
        LineCase{"LongReportsGiveTheModeDefault",
                 Logview({"03/15/05", "09:30", "W1AW", "", "599+", "5999", "7.050", "", "CW"}),
                 {{"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}},
                 {}},
        LineCase{"ShortReportsKept",
                 Logview({"03/15/05", "09:30", "W1AW", "", "57", "55", "14.250", "", "SSB"}),
                 {{"QSO-RSTS", "57"}, {"QSO-RSTR", "55"}},
                 {}},
        LineCase{"ManagerGivesRoute3",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW", "", "",
                          "via W1XX"}),
                 {{"QSO-QSL-VIA", "3"}},
                 {}},
        LineCase{"NoManagerGivesRoute0",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-QSL-VIA", "0"}},
                 {}},
        LineCase{"CommentOf50Kept",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW", "",
                          std::string(50, 'c')}),
                 {{"QSO-NOTE", std::string(50, 'c')}},
                 {}},
        LineCase{"CommentOf51Dropped",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW", "",
                          std::string(51, 'c')}),
                 {{"QSO-NOTE", ""}},
                 {}},
        LineCase{"UsStateCheckHasNothingToCheck",
                 Logview({"03/15/05", "09:30", "W1AW", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-STATE", std::nullopt}, {"QSO-PREFIX", "K"}, {"QSO-CQ-ZONE", "05"}},
                 {}},
        LineCase{"Kl7GetsAk",
                 Logview({"03/15/05", "09:30", "KL7XX", "", "", "", "7.050", "", "CW"}),
                 {{"QSO-STATE", "AK"}, {"QSO-WPX", "KL7"}},
                 {}},
        LineCase{"BlanksAroundFields",
                 "03/15/05 ^ 09:30 ^  W1AW ^ Hiram ^ 57 ^ 58 ^ 7.050 ^ 5 ^ CW ^ Here ^ Note ^  ^ "
                 "Y ^ Y   ",
                 {{"QSO-CALL", "W1AW"},
                  {"QSO-NAME", "Hiram"},
                  {"QSO-POWER", "5"},
                  {"QSO-QTH", "Here"},
                  {"QSO-NOTE", "Note"},
                  {"QSO-CONFIRM", "1"},
                  {"QSO-QSL-SENT", "20050315"}},
                 {}}),
    CaseName);

TEST(Logview, QslSentDateFromTheFormOption) {
    ImportFixture fx;
    ImportOptions o = fx.options(
        kLogview, fx.writeSource("log.txt", Logview({"03/15/05", "09:30", "W1AW", "", "", "",
                                                     "7.050", "", "CW", "", "Note"}) +
                                                "\n"));
    o.qslSentFromDate = true;
    o.defaultNote = "Imported";
    ASSERT_TRUE(fx.run(o));
    const auto rows = fx.rows();
    ASSERT_EQ(rows.size(), 1u);
    ExpectColumns(rows[0], {{"QSO-QSL-SENT", "20050315"}, {"QSO-NOTE", "Note Imported"}});
}

}  // namespace
}  // namespace tvx::test
