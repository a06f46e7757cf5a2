// ADIF and LoTW imports end to end: a file on disk, Begin Import, a real
// SQLite target.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "db/sqlite.h"
#include "import/messages.h"
#include "readers/adif.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

std::string Tag(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

// One record on one line with its end tag.
std::string Record(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string text;
    for (const auto& [name, value] : fields) text += Tag(name, value) + " ";
    return text + "<EOR>\n";
}

std::string Contact(const std::string& call, const std::string& extra = "") {
    return Tag("CALL", call) + " " + Tag("QSO_DATE", "20230415") + " " + Tag("TIME_ON", "1234") +
           " " + Tag("BAND", "20M") + " " + Tag("MODE", "CW") + " " + extra + "<EOR>\n";
}

const std::string kHeader = "Exported by a logger\n<ADIF_VER:5>3.1.4 <EOH>\n";
const std::string kLotwHeader =
    "ARRL Logbook of the World Status Report\n<PROGRAMID:4>LoTW\n<APP_LoTW_NUMREC:1>1\n<eoh>\n";

// Messages other than the backup question and the closing reminder.
std::vector<int> Notices(const test::RecordingHost& host) {
    std::vector<int> ids;
    for (const auto& m : host.messages) {
        if (m.id != kMsgBackupQuestion && m.id != kMsgInitializeTables) ids.push_back(m.id);
    }
    return ids;
}

std::string Col(const test::QsoRowMap& row, const std::string& name) {
    const auto it = row.find(name);
    if (it == row.end()) return "<no column>";
    return it->second ? *it->second : "<NULL>";
}

struct FileCase {
    const char* what;
    std::string bytes;
    int sourceType;
    int read;
    int loaded;
    std::vector<int> notices;
};

TEST(AdifFile, HeadersMarksAndSegments) {
    const std::string rec = Contact("DL1ABC");
    const std::vector<FileCase> cases = {
        {"header ended by EOH", kHeader + rec, 0, 1, 1, {}},
        {"header ended by eoh", "Log\n<eoh>\n" + rec, 0, 1, 1, {}},
        {"rest of the EOH line is not read", "Log\n<EOH>" + rec + rec, 0, 1, 1, {}},
        {"mixed-case Eoh is no end of header", "Log\n<Eoh>\n" + rec, 0, 0, 0, {kMsgNoRecordsFound}},
        {"no header", rec + rec, 0, 2, 2, {}},
        {"blank lines before a headerless file", "\n\r\n\n" + rec, 0, 1, 1, {}},
        {"blank first line starts a header", "   \n" + rec + "<EOH>\n" + rec, 0, 1, 1, {}},
        {"empty file", "", 0, 0, 0, {kMsgSourceEmpty}},
        {"only line ends", "\r\n\n\r\n", 0, 0, 0, {kMsgSourceEmpty}},
        {"LoTW file as standard", kLotwHeader + rec, 0, 0, 0, {kMsgLotwFileAsStandard}},
        {"LoTW file as LoTW", kLotwHeader + rec, 1, 1, 1, {kMsgLotwResult}},
        {"LoTW mark on the EOH line",
         "LoTW\n<APP_LoTW_NUMREC:1>1 <EOH>\n" + rec,
         1,
         1,
         1,
         {kMsgLotwResult}},
        {"LoTW marks are case-sensitive",
         "x\n<app_lotw_numrec:1>1\n<programid:4>LoTW\n<EOH>\n" + rec,
         1,
         0,
         0,
         {kMsgNotLotwFile}},
        {"PROGRAMID of another program",
         "x\n<PROGRAMID:4>lotw\n<EOH>\n" + rec,
         1,
         0,
         0,
         {kMsgNotLotwFile}},
        {"headerless file as LoTW", rec, 1, 0, 0, {kMsgNotLotwFile}},
        {"LoTW tags in the data are no mark", rec + Tag("APP_LoTW_EOF", "") + "\n", 0, 1, 1, {}},
        {"last record without EOR",
         kHeader + rec + Tag("CALL", "G4ABC") + Tag("QSO_DATE", "20230415") + "\n",
         0,
         1,
         1,
         {}},
        {"EOR with a length ends nothing",
         kHeader + Tag("CALL", "G4ABC") + "<EOR:0>" + rec,
         0,
         1,
         1,
         {}},
        {"EOH inside the data is ignored", kHeader + "<EOH>\n" + rec, 0, 1, 1, {}},
        {"byte-order mark before a headerless record", "\xEF\xBB\xBF" + rec, 0, 1, 1, {}},
        {"CR LF lines and a Ctrl-Z at the end",
         "Log\r\n<EOH>\r\n" + Contact("DL1ABC") + "\r\n\x1A",
         0,
         1,
         1,
         {}},
        {"Ctrl-Z ends the file", kHeader + rec + "\x1A" + rec, 0, 1, 1, {}},
    };
    for (const FileCase& c : cases) {
        test::ImportFixture f;
        const std::string path = f.writeSource("log.adi", c.bytes);
        ASSERT_TRUE(f.run(c.sourceType, path)) << c.what;
        EXPECT_EQ(f.host.counters.recordsRead, c.read) << c.what;
        EXPECT_EQ(f.host.counters.recordsLoaded, c.loaded) << c.what;
        EXPECT_EQ(static_cast<int>(f.rows().size()), c.loaded) << c.what;
        EXPECT_EQ(Notices(f.host), c.notices) << c.what;
        if (c.what == std::string("LoTW file as LoTW")) {
            // "Records Loaded" counts both kinds: the notice tells them apart.
            for (const auto& m : f.host.messages) {
                if (m.id == kMsgLotwResult) {
                    EXPECT_EQ(m.text,
                              "Contacts of the target confirmed: 0. Contacts added (not in "
                              "the target before): 1.");
                }
            }
        }
    }
}

TEST(AdifFile, RecordsOverLinesAndSeveralOnALineImportTheSame) {
    const std::string a = Tag("CALL", "DL1ABC") + Tag("QSO_DATE", "20230415") +
                          Tag("TIME_ON", "123456") + Tag("BAND", "20M") + Tag("MODE", "SSB") +
                          Tag("NAME", "Hans") + "<EOR>";
    const std::string b = Tag("CALL", "G4XYZ") + Tag("QSO_DATE", "20230416") +
                          Tag("TIME_ON", "0815") + Tag("BAND", "40m") + Tag("MODE", "CW") + "<eor>";
    std::string spread;
    for (const std::string& part :
         {Tag("CALL", "DL1ABC"), Tag("QSO_DATE", "20230415"), Tag("TIME_ON", "123456"),
          Tag("BAND", "20M") + Tag("MODE", "SSB"), Tag("NAME", "Hans") + "<EOR>"}) {
        spread += "  " + part + "\n";
    }
    spread += Tag("CALL", "G4XYZ") + "\n" + Tag("QSO_DATE", "20230416") + "\n" +
              Tag("TIME_ON", "0815") + "\n" + Tag("BAND", "40m") + "\n" + Tag("MODE", "CW") +
              "\n<eor>\n";

    test::ImportFixture oneLine;
    ASSERT_TRUE(oneLine.run(test::TypeOf("adif"),
                            oneLine.writeSource("one.adi", kHeader + a + " " + b + "\n")));
    test::ImportFixture overLines;
    ASSERT_TRUE(
        overLines.run(test::TypeOf("adif"), overLines.writeSource("spread.adi", kHeader + spread)));

    auto rowsA = oneLine.rows();
    auto rowsB = overLines.rows();
    ASSERT_EQ(rowsA.size(), 2u);
    ASSERT_EQ(rowsB.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        rowsA[i].erase("QSO-NUMBER");
        rowsB[i].erase("QSO-NUMBER");
        EXPECT_EQ(rowsA[i], rowsB[i]);
    }
    EXPECT_EQ(Col(rowsA[0], "QSO-NAME"), "Hans");
    EXPECT_EQ(Col(rowsA[1], "QSO-TIME"), "081500");
}

TEST(AdifFile, LegacyTextAndLongLines) {
    test::ImportFixture f;
    const std::string latin = Tag("CALL", "DL1ABC") + Tag("QSO_DATE", "20230415") +
                              Tag("TIME_ON", "1234") + Tag("BAND", "20M") + Tag("MODE", "CW") +
                              "<NAME:4>J\xF6rg <EOR>\n";
    const std::string longComment = "<COMMENT:300000>" + std::string(300000, 'c');
    const std::string longLine = Tag("CALL", "G4XYZ") + Tag("QSO_DATE", "20230415") +
                                 Tag("TIME_ON", "1234") + Tag("BAND", "20M") + Tag("MODE", "CW") +
                                 longComment + "<EOR>\n";
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", kHeader + latin + longLine)));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Col(rows[0], "QSO-NAME"), "J\xC3\xB6rg");
    EXPECT_EQ(Col(rows[1], "QSO-NOTE"), std::string(50, 'c'));
    EXPECT_TRUE(f.host.reachedEnd());
}

TEST(AdifFile, FaultyValuesAreMendedOrReported) {
    const std::string head =
        Tag("QSO_DATE", "20230415") + Tag("TIME_ON", "1234") + Tag("BAND", "20M");
    const std::string manyOnOneLine = [&] {
        std::string line;
        for (int i = 0; i < 15000; ++i) line += Tag("CALL", "DL1ABC") + head + "<MODE:2>CW<EOR>";
        return line + "\n";
    }();
    const struct {
        const char* what;
        std::string records;
        std::size_t rows;
        std::string call, freq, report;  // of the first row and report line
    } cases[] = {
        {"NUL removed",
         std::string("<CALL:7>DL\0"
                     "1ABC",
                     15) +
             head + "<MODE:2>CW<EOR>\n",
         1, "DL1ABC", "<NULL>", ""},
        {"empty mode", Tag("CALL", "DL1ABC") + head + "<MODE:0><EOR>\n", 0, "", "",
         "ERROR:  Mode? DL1ABC"},
        {"hertz", Tag("CALL", "DL1ABC") + head + "<FREQ:11>14074000000<MODE:3>FT8<EOR>\n", 1,
         "DL1ABC", "<NULL>", "Warning: Freq? DL1ABC"},
        {"negative frequency",
         Tag("CALL", "DL1ABC") + head + "<FREQ:10>-556636544<MODE:3>FT8<EOR>\n", 1, "DL1ABC",
         "<NULL>", "Warning: Freq? DL1ABC"},
        {"field too long",
         Tag("CALL", "DL1ABC") + head + Tag("COMMENT", std::string(3 << 20, 'c')) +
             "<MODE:2>CW<EOR>\n",
         1, "DL1ABC", "<NULL>", "Warning: Field too long? DL1ABC"},
        {"one long line", manyOnOneLine, 15000, "DL1ABC", "<NULL>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ImportFixture f;
        ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", kHeader + c.records)));
        const auto rows = f.rows();
        ASSERT_EQ(rows.size(), c.rows);
        if (!rows.empty()) {
            EXPECT_EQ(Col(rows[0], "QSO-CALL"), c.call);
            EXPECT_EQ(Col(rows[0], "QSO-FREQ"), c.freq);
        }
        const auto lines = f.reportLines();
        EXPECT_EQ(lines.empty() ? "" : lines[0].substr(0, c.report.size()), c.report);
    }
}

// The lines and counts of failing records wait for the write of the valid
// record before them; it is handed over at the next pump tick, so they
// follow the reading instead of the end of the run.
TEST(AdifFile, CountersFollowTheReadingNotTheWrites) {
    std::string log = kHeader + Contact("DL1ABC");
    for (int i = 0; i < 1000; ++i) log += Contact("X");
    test::ImportFixture f;
    std::vector<int> errorsAtPump;
    f.host.onPump = [&] {
        // A slow source: a millisecond a record, some 70 pump ticks in all.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        errorsAtPump.push_back(f.host.counters.errors);
    };
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", log)));
    EXPECT_EQ(f.host.counters.errors, 1000);
    // At the thousandth record all but those of the last tick or two are told.
    ASSERT_GE(errorsAtPump.size(), 1000u);
    EXPECT_GT(errorsAtPump[999], 900);
}

// ADX, the XML form, is read by the Standard ADIF type with the same mapping.
TEST(AdifFile, AdxFilesGiveTheSameContacts) {
    const std::string record =
        "<RECORD><CALL>DL1ABC</CALL><QSO_DATE>20230415</QSO_DATE><TIME_ON>1234</TIME_ON>"
        "<BAND>20M</BAND><MODE>CW</MODE>";
    const std::string head =
        "<?xml version=\"1.0\"?>\n<ADX><HEADER><ADIF_VER>3.1.4</ADIF_VER>"
        "</HEADER><RECORDS>\n";
    const struct {
        const char* what;
        std::string content;
        std::size_t rows;
        std::string column, value;  // of the first row
        bool damaged;
    } cases[] = {
        {"fields", head + record + "<NAME>J&#246;rg &amp; Co</NAME></RECORD></RECORDS></ADX>", 1,
         "QSO-NAME", "J\xC3\xB6rg & Co", false},
        {"user-defined field",
         head + record + "<USERDEF FIELDNAME=\"tvxqsln\">42</USERDEF></RECORD></RECORDS></ADX>", 1,
         "QSO-QSL-NUMBER", "42", false},
        {"application field",
         head + record +
             "<APP PROGRAMID=\"LoTW\" FIELDNAME=\"OWNCALL\">N0CALL</APP></RECORD></RECORDS></ADX>",
         1, "QSO-OPRCALL", "N0CALL", false},
        {"cut off", head + record + "</RECORD>" + record + "<NAME>An", 1, "QSO-CALL", "DL1ABC",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ImportFixture f;
        ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adx", c.content)));
        const auto rows = f.rows();
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_EQ(Col(rows[0], c.column), c.value);
        EXPECT_EQ(f.host.saw(kMsgSourceReadError), c.damaged);
    }
    const std::string real =
        std::string(TVX_SHARED_DATA_DIR) + "/adif/realworld/gitandy__PyADIF-File/goodfile.adx";
    std::ifstream in(real, std::ios::binary);
    if (!in) return;  // the shared test data are not here
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    test::ImportFixture f;
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("goodfile.adx", bytes)));
    EXPECT_EQ(f.host.counters.recordsRead, 2);
    EXPECT_FALSE(f.host.saw(kMsgNoRecordsFound));
}

TEST(AdifFile, ValueWithALessThanSignIsCutThere) {
    test::ImportFixture f;
    ASSERT_TRUE(f.run(test::TypeOf("adif"),
                      f.writeSource("log.adi", kHeader + Contact("DL1ABC", "<NAME:7>Ann<b>x "))));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Col(rows[0], "QSO-NAME"), "Ann");
}

TEST(AdifFinish, ModeAndBandMarkersGiveOneErrorEach) {
    struct Case {
        std::string extra;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {Tag("MODE", "ABCDEFGHIJKLMNOP"), "ERROR:  Mode? DL1ABC"},
        {Tag("BAND", "33CM"), "ERROR:  Band? DL1ABC"},
    };
    for (const Case& c : cases) {
        test::ImportFixture f;
        ASSERT_TRUE(f.run(test::TypeOf("adif"),
                          f.writeSource("log.adi", kHeader + Contact("DL1ABC", c.extra))));
        const auto lines = f.reportLines();
        ASSERT_EQ(lines.size(), 1u) << c.extra;
        EXPECT_EQ(lines[0].rfind(c.problem, 0), 0u) << lines[0];
        EXPECT_TRUE(f.rows().empty());
        EXPECT_EQ(f.host.counters.errors, 1);
        EXPECT_EQ(f.host.counters.recordsRead, 1);
    }
}

TEST(AdifFinish, BandModeAndSideband) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> fields;
        std::string band, mode, freq;
    };
    const std::vector<Case> cases = {
        {{{"BAND", "40M"}, {"MODE", "SSB"}}, "8", "1", "<NULL>"},
        {{{"BAND", "20M"}, {"MODE", "SSB"}}, "6", "0", "<NULL>"},
        {{{"BAND", "160M"}, {"MODE", "PHONE"}}, "10", "1", "<NULL>"},
        {{{"BAND", "80M"}, {"MODE", "PHO"}}, "9", "1", "<NULL>"},
        {{{"BAND", "40M"}, {"MODE", "SSB"}, {"SUBMODE", "USB"}}, "8", "0", "<NULL>"},
        {{{"FREQ", "7.0255"}, {"MODE", "CW"}}, "8", "2", "7025.00"},
        {{{"FREQ", "14.2"}, {"BAND", "40M"}, {"MODE", "SSTV"}}, "8", "7", "14200.00"},
        {{{"FREQ", "144.300"}, {"MODE", "FM"}}, "0", "3", "144300.00"},
    };
    for (const Case& c : cases) {
        test::ImportFixture f;
        auto fields = c.fields;
        fields.insert(fields.begin(),
                      {{"CALL", "DL1ABC"}, {"QSO_DATE", "20230415"}, {"TIME_ON", "1234"}});
        ASSERT_TRUE(
            f.run(test::TypeOf("adif"), f.writeSource("log.adi", kHeader + Record(fields))));
        const auto rows = f.rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(Col(rows[0], "QSO-BAND"), c.band);
        EXPECT_EQ(Col(rows[0], "QSO-MODE"), c.mode);
        EXPECT_EQ(Col(rows[0], "QSO-FREQ"), c.freq);
    }
}

TEST(AdifFinish, PrefixStateSectionAndCounty) {
    struct Case {
        const char* what;
        std::string call;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string prefix, state, county;
        std::vector<std::string> problems;  // oldest first, problem text only
    };
    const std::vector<Case> cases = {
        {"state of a US contact with its DXCC",
         "W1ABC",
         {{"DXCC", "291"}, {"STATE", "ma"}},
         "K",
         "MA",
         "<NULL>",
         {}},
        {"state without DXCC kept for a US call",
         "W1ABC",
         {{"STATE", "MA"}},
         "K",
         "MA",
         "<NULL>",
         {}},
        {"state without DXCC dropped for a foreign call",
         "DL1ABC",
         {{"STATE", "MA"}},
         "DL",
         "<NULL>",
         "<NULL>",
         {}},
        {"unknown state",
         "W1ABC",
         {{"DXCC", "291"}, {"STATE", "XX"}},
         "K",
         "<NULL>",
         "<NULL>",
         {"State?"}},
        {"state of a foreign contact is dropped",
         "DL1ABC",
         {{"DXCC", "230"}, {"STATE", "MA"}},
         "DL",
         "<NULL>",
         "<NULL>",
         {}},
        {"DXCC wins over the callsign", "W1ABC", {{"DXCC", "110"}}, "KH6", "HI", "<NULL>", {}},
        {"unknown DXCC leaves the callsign's prefix",
         "W1ABC",
         {{"DXCC", "999"}},
         "K",
         "<NULL>",
         "<NULL>",
         {}},
        {"TVXPFX wins when known", "DL1ABC", {{"TVXPFX", "F"}}, "F", "<NULL>", "<NULL>", {}},
        {"unknown TVXPFX falls back", "DL1ABC", {{"TVXPFX", "ZZZ"}}, "DL", "<NULL>", "<NULL>", {}},
        {"Hawaii gets its state", "KH6ABC", {}, "KH6", "HI", "<NULL>", {}},
        {"Alaska gets its state", "AL7XY", {}, "KL7", "AK", "<NULL>", {}},
        {"section gives the state of a US call",
         "W1ABC",
         {{"ARRL_SECT", "wma"}},
         "K",
         "MA",
         "<NULL>",
         {}},
        {"unlisted section gives its first two letters",
         "W9ABC",
         {{"ARRL_SECT", "WI"}},
         "K",
         "WI",
         "<NULL>",
         {}},
        {"section of a foreign call is ignored",
         "VE3ABC",
         {{"ARRL_SECT", "ON"}},
         "VE",
         "<NULL>",
         "<NULL>",
         {}},
        {"section giving no state",
         "W1ABC",
         {{"ARRL_SECT", "XYZ"}},
         "K",
         "<NULL>",
         "<NULL>",
         {"State?"}},
        {"county and its state",
         "W1ABC",
         {{"DXCC", "291"}, {"CNTY", "MA,Middlesex"}},
         "K",
         "MA",
         "MIDDLESEX",
         {}},
        {"unknown county",
         "W1ABC",
         {{"DXCC", "291"}, {"CNTY", "MA,Nowhere"}},
         "K",
         "MA",
         "<NULL>",
         {"County?"}},
        {"county checked under the explicit state",
         "W1ABC",
         {{"DXCC", "291"}, {"STATE", "MA"}, {"CNTY", "NJ,Essex"}},
         "K",
         "MA",
         "ESSEX",
         {}},
        {"unknown prefix", "QQ1ABC", {}, "", "", "", {"Prefix?"}},
    };
    for (const Case& c : cases) {
        test::ImportFixture f;
        auto fields = c.fields;
        fields.insert(fields.begin(), {{"CALL", c.call},
                                       {"QSO_DATE", "20230415"},
                                       {"TIME_ON", "1234"},
                                       {"BAND", "20M"},
                                       {"MODE", "CW"}});
        ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", kHeader + Record(fields))))
            << c.what;
        std::vector<std::string> problems;
        for (const std::string& line : f.reportLines()) {
            const std::size_t start = line.rfind("ERROR:  ", 0) == 0 ? 8 : 9;
            problems.push_back(line.substr(start, line.find(' ', start) - start));
        }
        EXPECT_EQ(problems, c.problems) << c.what;
        const auto rows = f.rows();
        if (c.prefix.empty()) {
            EXPECT_TRUE(rows.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(rows.size(), 1u) << c.what;
        EXPECT_EQ(Col(rows[0], "QSO-PREFIX"), c.prefix) << c.what;
        EXPECT_EQ(Col(rows[0], "QSO-STATE"), c.state) << c.what;
        EXPECT_EQ(Col(rows[0], "QSO-COUNTY"), c.county) << c.what;
    }
}

TEST(AdifFinish, DxccMapTakesTheLastRowOfAnIdentifier) {
    test::ImportFixture f;
    auto world = std::make_shared<ReferenceData>(test::SmallWorld());
    CTvx95PrefixSet first;
    first.m_PREFIX = "VP2E";
    first.m_ARRL_ID = "998";
    world->addPrefix(first);
    CTvx95PrefixSet second;
    second.m_PREFIX = "VP2M";
    second.m_ARRL_ID = "998";
    world->addPrefix(second);
    f.session->SetReferenceOverride(world);
    ASSERT_TRUE(f.run(test::TypeOf("adif"),
                      f.writeSource("log.adi", kHeader + Contact("DL1ABC", Tag("DXCC", "998")))));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Col(rows[0], "QSO-PREFIX"), "VP2M");
}

TEST(AdifFinish, WpxFromTheFileOrDerived) {
    test::ImportFixture f;
    ASSERT_TRUE(f.run(test::TypeOf("adif"),
                      f.writeSource("log.adi", kHeader + Contact("DL1ABC") +
                                                   Contact("G4XYZ", Tag("PFX", "gb4")))));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Col(rows[0], "QSO-WPX"), "DL1");
    EXPECT_EQ(Col(rows[1], "QSO-WPX"), "GB4");
}

TEST(AdifFinish, OwnCallMustBeInTheOperatorList) {
    const std::string log = kHeader + Contact("DL1ABC", Tag("APP_LoTW_OWNCALL", "k9xyz"));
    struct Case {
        std::vector<std::string> oprCalls;
        int loaded;
        std::string oprCall;
    };
    const std::vector<Case> cases = {
        {{"N0CALL"}, 0, ""},
        {{"N0CALL", "k9xyz"}, 1, "K9XYZ"},
        {{"N0CALL", "K9XYZ/P"}, 1, "K9XYZ"},
        {{"K9X"}, 0, ""},
    };
    for (const Case& c : cases) {
        test::ImportFixture f;
        ImportOptions o = f.options(test::TypeOf("adif"), f.writeSource("log.adi", log));
        o.oprCalls = c.oprCalls;
        ASSERT_TRUE(f.run(o));
        EXPECT_EQ(f.host.counters.recordsRead, 1);
        EXPECT_EQ(f.host.counters.recordsLoaded, c.loaded);
        EXPECT_EQ(f.host.counters.recordsIgnored, 0);
        EXPECT_TRUE(f.reportLines().empty());
        const auto rows = f.rows();
        ASSERT_EQ(static_cast<int>(rows.size()), c.loaded);
        if (c.loaded) {
            EXPECT_EQ(Col(rows[0], "QSO-OPRCALL"), c.oprCall);
        }
    }
}

TEST(AdifFinish, OperatorListIsSearchedByBeginning) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"k9xyz", true}, {"K9XYZ/P", true}, {"n0", true}, {"K9XYZ/PX", false}, {"W1", false}};
    for (const auto& [call, listed] : cases) {
        test::BareEngine b;
        b.options.oprCalls = {"N0CALL", "K9XYZ/P"};
        b.c.m_strCall = "DL1ABC";
        b.c.m_strBand = "6";
        b.c.m_strMode = "2";
        b.c.m_strDate = "20230415";
        b.c.m_strTime = "123400";
        b.c.m_strOwnCall = call;
        EXPECT_EQ(b.s.CheckContact(), listed) << call;
        EXPECT_EQ(b.s.OtherStationSkipped(), listed ? 0 : 1) << call;
    }
}

TEST(AdifFinish, DoNotLoadShowsFifteenSamples) {
    test::ImportFixture f;
    std::string log = kHeader;
    for (int i = 0; i < 20; ++i) log += Contact("DL" + std::to_string(i) + "ABC");
    ImportOptions o = f.options(test::TypeOf("adif"), f.writeSource("log.adi", log));
    o.filter = kFilterNone;
    ASSERT_TRUE(f.run(o));
    EXPECT_EQ(f.host.counters.recordsRead, 20);
    EXPECT_EQ(f.host.counters.recordsIgnored, 20);
    EXPECT_EQ(f.host.counters.recordsLoaded, 0);
    EXPECT_TRUE(f.rows().empty());
    const auto lines = f.reportLines();
    ASSERT_EQ(lines.size(), 15u);
    for (const auto& line : lines) EXPECT_EQ(line.rfind("Sample DL", 0), 0u) << line;
}

TEST(AdifFinish, StopImportAsksAndEndsTheRun) {
    test::ImportFixture f;
    std::string log = kHeader;
    for (int i = 0; i < 10; ++i) log += Contact("DL" + std::to_string(i) + "ABC");
    f.host.onPump = [&f] {
        if (f.host.pumps == 4) f.session->StopImport();
    };
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", log)));
    EXPECT_TRUE(f.host.saw(kMsgAbortQuestion));
    EXPECT_LT(f.host.counters.recordsRead, 10);
    EXPECT_EQ(static_cast<int>(f.rows().size()), f.host.counters.recordsLoaded);
}

// --- LoTW confirmations -------------------------------------------------

std::string LotwRecord(const std::string& call, const std::string& date, const std::string& time,
                       const std::string& band, const std::string& mode,
                       const std::string& extra = "") {
    return Tag("APP_LoTW_OWNCALL", "N0CALL") + Tag("CALL", call) + Tag("BAND", band) +
           Tag("MODE", mode) + Tag("QSO_DATE", date) + Tag("TIME_ON", time) + Tag("QSL_RCVD", "Y") +
           Tag("QSLRDATE", "20230501") + extra + "\n<eor>\n";
}

class LotwConfirmation : public ::testing::Test {
  protected:
    void SetUp() override {
        // The station's own log, with confirmation codes of its own.
        const std::string own = kHeader +
                                Record({{"CALL", "DL1ABC"},
                                        {"QSO_DATE", "20230415"},
                                        {"TIME_ON", "120000"},
                                        {"BAND", "20M"},
                                        {"MODE", "CW"},
                                        {"TVXQSL_RCVD", "0"}}) +
                                Record({{"CALL", "G4XYZ"},
                                        {"QSO_DATE", "20230415"},
                                        {"TIME_ON", "1300"},
                                        {"BAND", "40M"},
                                        {"MODE", "SSB"},
                                        {"TVXQSL_RCVD", "1"},
                                        {"NAME", "Old"}}) +
                                Record({{"CALL", "F5XYZ"},
                                        {"QSO_DATE", "20230416"},
                                        {"TIME_ON", "1400"},
                                        {"BAND", "15M"},
                                        {"MODE", "CW"},
                                        {"TVXQSL_RCVD", "3"}}) +
                                Record({{"CALL", "JA1XYZ"},
                                        {"QSO_DATE", "20230416"},
                                        {"TIME_ON", "1500"},
                                        {"BAND", "10M"},
                                        {"MODE", "CW"},
                                        {"TVXQSL_RCVD", "5"}}) +
                                Record({{"CALL", "I2XYZ"},
                                        {"QSO_DATE", "20230417"},
                                        {"TIME_ON", "1600"},
                                        {"BAND", "20M"},
                                        {"MODE", "FT8"},
                                        {"SPEC1", "mine"}});
        ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("own.adi", own)));
        ASSERT_EQ(f.rows().size(), 5u);
    }

    test::ImportFixture f;
};

TEST_F(LotwConfirmation, ConfirmsFoundRowsAndWritesTheRest) {
    const std::string lotw = kLotwHeader + LotwRecord("DL1ABC", "20230415", "120000", "20M", "CW") +
                             LotwRecord("G4XYZ", "20230415", "130042", "40M", "SSB",
                                        Tag("GRIDSQUARE", "IO91") + "<STATE:2>OK // not US") +
                             LotwRecord("F5XYZ", "20230416", "140000", "15M", "CW") +
                             LotwRecord("JA1XYZ", "20230416", "150000", "10M", "CW") +
                             LotwRecord("I2XYZ", "20230417", "160000", "20M", "FT8",
                                        Tag("DXCC", "248") + Tag("CQZ", "15")) +
                             LotwRecord("OH2XYZ", "20230418", "170512", "20M", "CW") +
                             LotwRecord("OH2XYZ", "20230418", "170512", "20M", "CW");
    ImportOptions o = f.options(test::TypeOf("lotw"), f.writeSource("lotw.adi", lotw));
    o.defaultSpec1 = " LoTW ";
    ASSERT_TRUE(f.run(o));

    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(f.host.counters.recordsRead, 5 + 7);
    EXPECT_EQ(f.host.counters.recordsLoaded, 5 + 7);
    EXPECT_EQ(f.host.counters.errors, 0);

    EXPECT_EQ(Col(rows[0], "QSO-CONFIRM"), "2");
    EXPECT_EQ(Col(rows[0], "QSO-LOTWREC"), "20230501");
    EXPECT_EQ(Col(rows[0], "QSO-SPEC1"), "LoTW");
    EXPECT_EQ(Col(rows[0], "QSO-QSLRDATE"), "<NULL>");

    EXPECT_EQ(Col(rows[1], "QSO-CONFIRM"), "3");
    EXPECT_EQ(Col(rows[1], "QSO-NAME"), "Old");
    EXPECT_EQ(Col(rows[1], "QSO-GRID"), "IO91");
    EXPECT_EQ(Col(rows[1], "QSO-TIME"), "130000");
    EXPECT_EQ(Col(rows[1], "QSO-STATE"), "<NULL>");

    EXPECT_EQ(Col(rows[2], "QSO-CONFIRM"), "3");
    EXPECT_EQ(Col(rows[3], "QSO-CONFIRM"), "5");
    EXPECT_EQ(Col(rows[3], "QSO-LOTWREC"), "20230501");

    EXPECT_EQ(Col(rows[4], "QSO-CONFIRM"), "2");
    EXPECT_EQ(Col(rows[4], "QSO-PREFIX"), "I");
    EXPECT_EQ(Col(rows[4], "QSO-CQ-ZONE"), "15");
    // The default special field replaces the row's own when the file has none.
    EXPECT_EQ(Col(rows[4], "QSO-SPEC1"), "LoTW");

    // Not in the log: written as confirmed, with the seconds set to 00.
    EXPECT_EQ(Col(rows[5], "QSO-CALL"), "OH2XYZ");
    EXPECT_EQ(Col(rows[5], "QSO-TIME"), "170500");
    EXPECT_EQ(Col(rows[5], "QSO-CONFIRM"), "2");
    EXPECT_EQ(Col(rows[5], "QSO-LOTWREC"), "20230501");
    EXPECT_EQ(Col(rows[5], "QSO-QSLRDATE"), "<NULL>");
    EXPECT_EQ(Col(rows[5], "QSO-OPRCALL"), "N0CALL");
}

TEST_F(LotwConfirmation, DifferentModeOrBandIsANewContact) {
    const std::string lotw = kLotwHeader +
                             LotwRecord("DL1ABC", "20230415", "120000", "20M", "SSB") +
                             LotwRecord("DL1ABC", "20230415", "120000", "40M", "CW");
    ASSERT_TRUE(f.run(test::TypeOf("lotw"), f.writeSource("lotw.adi", lotw)));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(Col(rows[0], "QSO-CONFIRM"), "0");
}

TEST_F(LotwConfirmation, MatchesWithoutTheSecondsAndOnlyTheSameCall) {
    const std::size_t before = f.rows().size();
    const std::string lotw = kLotwHeader + LotwRecord("G4XYZ", "20230415", "130059", "40M", "SSB") +
                             LotwRecord("G4XYY", "20230415", "130059", "40M", "SSB");
    ASSERT_TRUE(f.run(test::TypeOf("lotw"), f.writeSource("lotw.adi", lotw)));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), before + 1);
    EXPECT_EQ(Col(rows[1], "QSO-CALL"), "G4XYZ");
    EXPECT_EQ(Col(rows[1], "QSO-CONFIRM"), "3");
    EXPECT_EQ(Col(rows.back(), "QSO-CALL"), "G4XYY");
    EXPECT_EQ(Col(rows.back(), "QSO-TIME"), "130000");
}

// Long runs write behind the reading, on a thread of their own, and reuse
// the rows written: the report keeps the order of the records, a refused
// row is named with its contact, and no row keeps a column of an earlier one.
TEST(AdifLongRun, TheReportKeepsRecordOrderWhileWritesRunBehind) {
    test::ImportFixture f;
    TVX_SQLITE_TARGET_ONLY(f);
    SqliteDb(f.targetPath(), SqliteDb::Mode::ReadWrite)
        .exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON [QSO-TAB] WHEN NEW.[QSO-CALL] LIKE 'G4%' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    std::string log = kHeader, lotw = kLotwHeader;
    std::vector<std::string> problems;  // "<marker> <call>" in record order
    std::map<std::string, std::string> grids;
    for (int i = 0; i < 1500; ++i) {
        const std::string suffix = {char('A' + i / 676), char('A' + i / 26 % 26),
                                    char('A' + i % 26)};
        std::string call = "DL1" + suffix;
        if (i % 100 == 10) call = "G4" + suffix;
        if (i % 100 == 50) call = "QQ1" + suffix;
        if (i % 100 == 10) problems.push_back(call + " refused " + call);
        if (i % 100 == 50) problems.push_back("Prefix? " + call);
        log += Contact(call, i % 2 ? "" : Tag("GRIDSQUARE", "JO31"));
        lotw += LotwRecord(call, "20230415", "123400", "20M", "CW",
                           i % 3 ? "" : Tag("GRIDSQUARE", "KO85"));
        grids[call] = i % 3 ? (i % 2 ? "<NULL>" : "JO31") : "KO85";
    }
    Counters before;
    const auto expectReport = [&](const char* run) {
        SCOPED_TRACE(run);
        const Counters now = f.session->counters();
        EXPECT_EQ(now.recordsLoaded - before.recordsLoaded, 1470);
        EXPECT_EQ(now.errors - before.errors, static_cast<int>(problems.size()));
        before = now;
        const std::vector<std::string> lines = f.reportLines();
        ASSERT_EQ(lines.size(), problems.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind("ERROR:  " + problems[i] + " 20230415 123400", 0), 0u)
                << lines[i];
        }
    };

    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", log)));
    expectReport("import");

    ASSERT_TRUE(f.run(test::TypeOf("lotw"), f.writeSource("lotw.adi", lotw)));
    expectReport("LoTW pass");
    const auto confirmed = f.rows();
    ASSERT_EQ(confirmed.size(), 1470u);
    for (const auto& row : confirmed) {
        ASSERT_EQ(Col(row, "QSO-CONFIRM"), "2");
        ASSERT_EQ(Col(row, "QSO-GRID"), grids[Col(row, "QSO-CALL")]) << Col(row, "QSO-CALL");
    }
}

}  // namespace
}  // namespace tvx
