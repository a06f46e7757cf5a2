#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "import/contact.h"
#include "import/report.h"
#include "import/rules.h"
#include "import/settings.h"
#include "support/tempdir.h"

namespace tvx {
namespace {

TEST(CheckDate, CalendarRules) {
    struct Case {
        const char* date;
        bool bad;
    } cases[] = {
        {"20050315", false}, {"20040229", false}, {"20050229", true},  {"19000229", false},
        {"20051301", true},  {"20050001", true},  {"20050100", true},  {"20050431", true},
        {"20050430", false}, {"20051231", false}, {"", true},          {"2005", true},
        {"200503", true},    {"2005031", false},  {"ABCD0101", false}, {"20050132", true},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckDate(c.date), c.bad) << c.date;
}

TEST(IsValidTime, Bounds) {
    struct Case {
        const char* time;
        bool valid;
    } cases[] = {
        {"235959", true}, {"240000", false},  {"235960", false}, {"000000", true},
        {"12345", false}, {"1234567", false}, {"126000", false}, {"", false},
        {"AB3000", true},  // a pair that starts without a digit reads as 0
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidTime(c.time), c.valid) << c.time;
}

TEST(IsYearBefore1975, Boundary) {
    EXPECT_TRUE(IsYearBefore1975("19741231"));
    EXPECT_FALSE(IsYearBefore1975("19750101"));
}

TEST(BandFromFrequency, Ranges) {
    struct Case {
        const char* khz;
        const char* code;
    } cases[] = {
        {"7050", "8"},     {"14250", "6"},     {"3999", "9"},      {"50125", "1"},
        {"144200", "0"},   {"1830", "10"},     {"5357", "23"},     {"10136", "7"},
        {"18100", "5"},    {"21300", "4"},     {"24950", "3"},     {"28500", "2"},
        {"29600.00", "2"}, {"70200", "22"},    {"222100", "11"},   {"432100", "12"},
        {"902500", "13"},  {"1296000", "14"},  {"2304000", "15"},  {"3400000", "16"},
        {"5760000", "17"}, {"10368000", "18"}, {"24192000", "19"}, {"47088000", "20"},
    };
    for (const auto& c : cases) EXPECT_EQ(BandFromFrequency(c.khz), c.code) << c.khz;
    // Outside every band: a code with no statistics column and no band name.
    EXPECT_EQ(BandName(LeadingInt(BandFromFrequency("4000"))), "000");
}

TEST(BandCodeFromName, NamesAndUnknown) {
    WorkingContact c;
    EXPECT_FALSE(c.BandCodeFromName("20"));
    EXPECT_EQ(c.m_strBand, "6");
    EXPECT_FALSE(c.BandCodeFromName("435"));
    EXPECT_EQ(c.m_strBand, "12");
    EXPECT_FALSE(c.BandCodeFromName("10GH"));
    EXPECT_EQ(c.m_strBand, "18");
    EXPECT_TRUE(c.BandCodeFromName("60"));  // unknown: band unchanged
    EXPECT_EQ(c.m_strBand, "18");
    EXPECT_TRUE(c.BandCodeFromName("20m"));
}

TEST(ModeCodeFromName, TableAndSideband) {
    struct Case {
        const char* band;
        const char* name;
        const char* mode;
        const char* submode;
    } cases[] = {
        {"6", "CW", "2", ""},
        {"6", "RTTY", "5", ""},
        {"6", "PSK", "5", ""},
        {"6", "FM", "3", ""},
        {"10", "SSB", "0", ""},
        {"8", "SSB", "1", ""},
        {"9", "SSB", "1", ""},
        {"6", "SSB", "0", ""},
        {"6", "USB", "0", ""},
        {"6", "LSB", "1", ""},
        {"6", "AM", "4", ""},
        {"6", "TV", "7", ""},
        {"6", "OLIVIA", "6", "OLIVIA"},
        {"6", "cw", "6", "cw"},
        {"6", "ABCDEFGHIJKLMNOP", "6", "ABCDEFGHIJKL"},
    };
    for (const auto& c : cases) {
        WorkingContact w;
        w.m_strBand = c.band;
        w.ModeCodeFromName(c.name);
        EXPECT_EQ(w.m_strMode, c.mode) << c.name;
        EXPECT_EQ(w.m_strSubmode, c.submode) << c.name;
    }
}

TEST(StatisticsModeColumn, Groups) {
    EXPECT_EQ(StatisticsModeColumn("2"), 97);
    EXPECT_EQ(StatisticsModeColumn("5"), 145);
    for (const char* m : {"0", "1", "3", "4", "7"}) EXPECT_EQ(StatisticsModeColumn(m), 49);
    for (const char* m : {"6", "", "9", "89"}) EXPECT_EQ(StatisticsModeColumn(m), 193);
}

TEST(NextToken, CutsAndTrims) {
    std::string line = " W1AW , 20050315,,last ";
    std::string token;
    NextToken(token, line, ",");
    EXPECT_EQ(token, "W1AW");
    NextToken(token, line, ",");
    EXPECT_EQ(token, "20050315");
    NextToken(token, line, ",");
    EXPECT_EQ(token, "");
    NextToken(token, line, ",");
    EXPECT_EQ(token, "last");
    EXPECT_TRUE(line.empty());
    NextToken(token, line, ",");
    EXPECT_EQ(token, "");
}

TEST(DropFirstChar, EmptyIsSafe) {
    std::string s = "\"abc";
    DropFirstChar(s);
    EXPECT_EQ(s, "abc");
    std::string empty;
    DropFirstChar(empty);
    EXPECT_EQ(empty, "");
}

TEST(Names, BandAndModeNames) {
    EXPECT_EQ(BandName(0), "2");
    EXPECT_EQ(BandName(10), "160");
    EXPECT_EQ(BandName(23), "60");
    EXPECT_EQ(BandName(24), "000");
    EXPECT_EQ(BandName(-1), "000");
    EXPECT_EQ(ModeName(0), "USB");
    EXPECT_EQ(ModeName(7), "SSTV");
    EXPECT_EQ(ModeName(8), "DIGITAL");
}

TEST(LeadingInt, AtoiSemantics) {
    EXPECT_EQ(LeadingInt("  42abc"), 42);
    EXPECT_EQ(LeadingInt("-7"), -7);
    EXPECT_EQ(LeadingInt("abc"), 0);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_GT(LeadingInt("99999999999999999999999999"), 0);  // saturates, never wraps
}

TEST(Text, CharactersNotBytes) {
    EXPECT_EQ(Left("Müller", 2), "Mü");
    EXPECT_EQ(CharCount("Müller"), 6u);
    EXPECT_EQ(ToUtf8("M\xfcller"), "Müller");       // Windows-1252
    EXPECT_EQ(ToUtf8("M\x81ller", 437), "Müller");  // code page 437
    EXPECT_EQ(ToUtf8("Müller"), "Müller");          // already UTF-8
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));          // overlong
    EXPECT_EQ(Left("abc", 10), "abc");
}

TEST(ReportLine, ThreeKinds) {
    WorkingContact c;
    EXPECT_EQ(FormatProblemLine(ProblemKind::Error, "Call?", c), "ERROR:  Call?     2m  USB    ");
    c.m_strCall = "W1AW";
    c.m_strDate = "20050315";
    c.m_strTime = "123400";
    c.m_strFreq = "14025.00";
    c.m_strBand = "6";
    c.m_strMode = "2";
    c.m_strRstSent = "599";
    c.m_strRstRcvd = "579";
    c.m_strState = "CT";
    c.m_strCounty = "HARTFORD";
    EXPECT_EQ(FormatProblemLine(ProblemKind::Warning, "State?", c),
              "Warning: State? W1AW 20050315 123400 14025.00 20m  CW 599 579 CT HARTFORD");
    EXPECT_EQ(FormatProblemLine(ProblemKind::Sample, "Sample", c),
              "Sample W1AW 20050315 123400 14025.00 20m  CW 599 579 CT HARTFORD");
}

TEST(Settings, CaseInsensitiveSectionsAndKeys) {
    test::TempDir dir;
    const std::string ini = dir.write("Tvx2007.ini",
                                      "[dir]\r\ndatapath=C:\\Tolvex\\Data\\W1AW.mdb\r\n"
                                      "PgmPath=C:\\Tolvex\\\r\n[GEN]\r\nOprCall=W1AW\r\n");
    const HostSettings s = ReadHostSettings(ini);
    EXPECT_EQ(s.dataPath, "C:\\Tolvex\\Data\\W1AW.mdb");
    EXPECT_EQ(s.programPath, "C:\\Tolvex\\");
    EXPECT_EQ(s.operatorCall, "W1AW");
    const HostSettings none = ReadHostSettings(dir.file("missing.ini"));
    EXPECT_EQ(none.programPath, "");
    EXPECT_EQ(none.operatorCall, "");
    EXPECT_EQ(none.problem, "");
    // Values are kept up to 511 bytes, however long the line, and never end
    // in half a character.
    const std::string path245 = "/opt/" + std::string(240, 'p');
    const HostSettings longValues = ReadHostSettings(dir.write(
        "long.ini", "[Dir]\nPGMPATH=" + path245 + "\nDATAPATH=" + std::string(600, 'd') + "\n"));
    EXPECT_EQ(longValues.programPath, path245);
    EXPECT_EQ(longValues.dataPath, std::string(511, 'd'));
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(ReadHostSettings(dir.write("wide.ini", "[Gen]\nOPRCALL=" + wide + "\n")).operatorCall,
              wide.substr(0, 510));
}

TEST(Settings, DataPathCutAndRefdataTest) {
    EXPECT_EQ(CutDataPath("C:\\Tolvex\\Data\\W1AW.mdb"), "C:\\Tolvex\\Data\\");
    EXPECT_EQ(CutDataPath("/home/w1aw/tolvex/w1aw.mdb"), "/home/w1aw/tolvex/");
    EXPECT_EQ(CutDataPath("W1AW.mdb"), "W1AW.mdb");
    EXPECT_TRUE(IsRefdataOfDataPath("/data/REFDATA.MDB", "/data/"));
    EXPECT_TRUE(IsRefdataOfDataPath("C:/Tolvex/refdata.mdb", "C:\\Tolvex\\"));
    EXPECT_FALSE(IsRefdataOfDataPath("/other/refdata.mdb", "/data/"));
    EXPECT_EQ(WithTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(WithTrailingSeparator("C:\\a\\"), "C:\\a\\");
}

TEST(Settings, DefaultPathFollowsWindir) {
    const char* old = std::getenv("WINDIR");
    const std::string saved = old ? old : "";
    setenv("WINDIR", "/tmp/win", 1);
    EXPECT_EQ(DefaultSettingsPath(), "/tmp/win/Tvx2007.ini");
    if (old) {
        setenv("WINDIR", saved.c_str(), 1);
    } else {
        unsetenv("WINDIR");
    }
}

// The state rules as plain functions: the state each rule leaves, and the
// warning when a mainland state is not in the state table (which knows NY).
TEST(Rules, StateRules) {
    using enum StateRule;
    struct Case {
        StateRule rule;
        const char* prefix;
        const char* state;  // as read (held, for TakenAfterResolution)
        const char* section;
        const char* left;
        bool warned;
    } cases[] = {
        {AsRead, "DL", "BY", "", "BY", false},
        {AsRead, "KH6", "", "", "HI", false},
        {StatePrefixesOnly, "DL", "BY", "", "", false},
        {StatePrefixesOnly, "K", "XX", "", "XX", false},
        {StatePrefixesChecked, "K", "XX", "", "", true},
        {StatePrefixesChecked, "K", "NY", "", "NY", false},
        {TakenAfterResolution, "KL7", "NY", "", "AK", false},
        {TakenAfterResolution, "K", "XX", "", "", true},
        {Adif, "DL", "NY", "", "", false},
        {Adif, "K", "", "ENY", "NY", false},
        {Adif, "K", "ZZ", "", "", true},
    };
    for (const Case& c : cases) {
        WorkingContact contact;
        contact.m_strSection = c.section;
        std::string held = c.state;
        if (c.rule != TakenAfterResolution) contact.m_strState = std::exchange(held, "");
        ResolutionRecord rec;
        rec.prefix = c.prefix;
        std::vector<std::string> problems;
        ApplyStateRule(
            contact, c.rule, rec, true, held, [](const std::string& s) { return s == "NY"; },
            [&](ProblemKind, const std::string& p) { problems.push_back(p); });
        EXPECT_EQ(contact.m_strState, c.left) << c.prefix << " " << c.state;
        EXPECT_EQ(problems,
                  c.warned ? std::vector<std::string>{"State?"} : std::vector<std::string>{})
            << c.prefix << " " << c.state;
    }
}

// The filter decision against statistics rows given as a table: DL has
// nothing worked, G everything, F no row at all.
TEST(Rules, FilterDecision) {
    struct Table : ContactStatistics {
        const std::vector<std::string>* Row(const std::string& prefix) override {
            const auto it = rows.find(prefix);
            return it == rows.end() ? nullptr : &it->second;
        }
        std::map<std::string, std::vector<std::string>> rows{
            {"DL", std::vector<std::string>(300, "0")}, {"G", std::vector<std::string>(300, "1")}};
    } table;
    struct Case {
        int filter;
        const char* prefix;
        const char* band;
        bool loads;
        bool warned;
    } cases[] = {
        {kFilterAll, "F", "6", true, false},
        {kFilterNone, "DL", "6", false, false},
        {kFilterNotConfirmed, "DL", "6", true, false},
        {kFilterNotConfirmed, "G", "6", false, false},
        {kFilterNotWorked, "DL", "6", true, false},
        {kFilterNotWorked, "G", "6", false, false},
        {kFilterNotWorked, "F", "6", false, true},
        {kFilterAll, "DL", "999", false, false},
    };
    for (const Case& c : cases) {
        WorkingContact contact;
        contact.m_strBand = c.band;
        contact.m_strMode = "2";
        ResolutionRecord rec;
        rec.prefix = c.prefix;
        int warnings = 0;
        EXPECT_EQ(PassesFilter(contact, c.filter, rec, table,
                               [&](ProblemKind, const std::string&) { ++warnings; }),
                  c.loads)
            << c.filter << " " << c.prefix << " " << c.band;
        EXPECT_EQ(warnings, c.warned ? 1 : 0) << c.filter << " " << c.prefix;
    }
}

}  // namespace
}  // namespace tvx
