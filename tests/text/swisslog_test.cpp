// Swisslog v3.82A exports end to end into a SQLite target.

#include <string>
#include <vector>

#include "import/messages.h"
#include "text/text_cases.h"

namespace tvx::test {
namespace {

// call,"name","date","sent","received","time","serial","band","mode","QTH",
// "comment","special 1","QSL sent","QSL received",""; the fields not given
// are empty.
std::string Swisslog(std::vector<std::string> fields) {
    fields.resize(15);
    std::string line = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i) line += ",\"" + fields[i] + '"';
    return line;
}

TEST(Swisslog, FixtureFileGivesRowsReportAndCounters) {
    ImportFixture fx;
    ASSERT_TRUE(fx.run(kSwisslog, DataFile(fx, "swisslog.txt")));
    const auto rows = fx.rows();
    ASSERT_EQ(rows.size(), 4u);

    ExpectColumns(*RowOf(rows, "W1AW"),
                  {{"QSO-NAME", "Hiram, Percy Ma"},
                   {"QSO-DATE", "20050315"},
                   {"QSO-RSTS", "599"},
                   {"QSO-RSTR", "579"},
                   {"QSO-TIME", "093000"},
                   {"QSO-BAND", "6"},
                   {"QSO-FREQ", std::nullopt},
                   {"QSO-MODE", "2"},
                   {"QSO-QTH", "Newington, CT"},
                   {"QSO-NOTE", "Comment, with, commas and more text that goes on a"},
                   {"QSO-SPEC1", "SPEC"},
                   {"QSO-QSL-SENT", "20050315"},
                   {"QSO-QSLS", "1"},
                   {"QSO-CONFIRM", "1"},
                   {"QSO-STATE", std::nullopt},
                   {"QSO-PREFIX", "K"},
                   {"QSO-WPX", "W1"}});
    ExpectColumns(*RowOf(rows, "DL1ABC"), {{"QSO-DATE", "19990315"},
                                           {"QSO-BAND", "8"},
                                           {"QSO-MODE", "1"},
                                           {"QSO-RSTS", "59"},
                                           {"QSO-RSTR", "59"},
                                           {"QSO-QSLS", "0"},
                                           {"QSO-QSL-SENT", std::nullopt},
                                           {"QSO-CONFIRM", "0"}});
    ExpectColumns(
        *RowOf(rows, "KH6XX"),
        {{"QSO-STATE", "HI"}, {"QSO-BAND", "4"}, {"QSO-MODE", "0"}, {"QSO-TIME", "235900"}});
    ExpectColumns(*RowOf(rows, "W2XYZ"),
                  {{"QSO-MODE", "5"}, {"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}});

    const std::vector<std::string> expected = {
        "ERROR:  Date? G3ABC 200503   2m  USB    ",
        "ERROR:  Time? G4ABC 20050315 93000  2m  USB    ",
        "ERROR:  Band? G5ABC 20050315 093000  2m  USB    ",
        "ERROR:  Band? G6ABC 20050315 093000  2m  USB    ",
        "ERROR:  Mode? G7ABC 20050315 093000  20m  USB    ",
        "ERROR:  Date? G8ABC 20050230 093000  20m  CW 599 599  ",
        "ERROR:  Date? G9ABC 2005031 093000  20m  CW 599 599  ",
        "ERROR:  Call? X    2m  USB    ",
        "ERROR:  Prefix? QQ1ABC 20050315 093000  20m  CW 599 599  ",
    };
    EXPECT_EQ(fx.reportLines(), expected);
    const Counters c = fx.host.counters;
    EXPECT_EQ(c.recordsRead, 13);
    EXPECT_EQ(c.recordsLoaded, 4);
    EXPECT_EQ(c.errors, 9);
    EXPECT_EQ(c.warnings, 0);
}

class SwisslogLine : public testing::TestWithParam<LineCase> {};

TEST_P(SwisslogLine, Converts) {
    CheckLineCase(kSwisslog, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwisslogLine,
    testing::Values(
        LineCase{"ReportIsItsFirstWord",
                 Swisslog({"W1AW", "", "20050315", "599 NY", "559 CT", "0930", "", "20", "CW"}),
                 {{"QSO-RSTS", "599"}, {"QSO-RSTR", "559"}},
                 {}},
        LineCase{"BandIsItsFirstWord",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "160 m band", "CW"}),
                 {{"QSO-BAND", "10"}},
                 {}},
        LineCase{"BandNameIsCaseSensitive",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "10gh", "CW"}),
                 {},
                 {"ERROR:  Band? W1AW 20050315 093000  2m  USB    "}},
        LineCase{"MicrowaveBand",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "10GH", "FM"}),
                 {{"QSO-BAND", "18"}, {"QSO-MODE", "3"}, {"QSO-RSTS", "59"}},
                 {}},
        LineCase{"SsbOn80mIsLsb",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "80", "SSB"}),
                 {{"QSO-MODE", "1"}},
                 {}},
        LineCase{"SsbOn160mIsUsb",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "160", "SSB"}),
                 {{"QSO-MODE", "0"}},
                 {}},
        LineCase{"CommentCutTo50",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "20", "CW", "",
                           std::string(60, 'c')}),
                 {{"QSO-NOTE", std::string(50, 'c')}},
                 {}},
        LineCase{"NameCutTo15AndQthTo25",
                 Swisslog({"W1AW", "Hiram Percy Maxim of Hartford", "20050315", "", "", "0930", "",
                           "20", "CW", "Newington, Hartford County, CT"}),
                 {{"QSO-NAME", "Hiram Percy Max"}, {"QSO-QTH", "Newington, Hartford Count"}},
                 {}},
        LineCase{"SpecialFieldCutTo25",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "20", "CW", "", "",
                           std::string(30, 's')}),
                 {{"QSO-SPEC1", std::string(25, 's')}},
                 {}},
        LineCase{"EmptyTextFieldsAreNull",
                 Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "20", "CW"}),
                 {{"QSO-NAME", std::nullopt},
                  {"QSO-QTH", std::nullopt},
                  {"QSO-SPEC1", std::nullopt},
                  {"QSO-NOTE", ""}},
                 {}},
        LineCase{"LongDateFails",
                 Swisslog({"W1AW", "", "200503150", "", "", "0930", "", "20", "CW"}),
                 {},
                 {"ERROR:  Date? W1AW 200503150 093000  20m  CW 599 599  "}},
        LineCase{"UsStateIsNeverSet",
                 Swisslog({"W1AW", "", "20050315", "599 NY", "", "0930", "", "20", "CW"}),
                 {{"QSO-STATE", std::nullopt}},
                 {}}),
    CaseName);

TEST(Swisslog, IndentedLineIsSkippedUncounted) {
    const std::string line = Swisslog({"W1AW", "", "20050315", "", "", "0930", "", "20", "CW"});
    ImportRun run(kSwisslog, " " + line + "\r\n" + line + "\r\n");
    EXPECT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.fx.host.counters.recordsRead, 1);
}

}  // namespace
}  // namespace tvx::test
