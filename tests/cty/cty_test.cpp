// Reference data built from the public country files: reading the file, the
// keys of the entities, the rows written, real calls resolved through them,
// refusals, and the command that builds it.

#include "db/cty_refdata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "db/reference.h"
#include "db/sqlite.h"
#include "resolve/resolve.h"
#include "support/tempdir.h"
#include "tables/database.h"

namespace tvx {
namespace {

const std::string kExcerpt = std::string(TVX_TEST_DATA_DIR) + "/cty-excerpt.csv";

std::vector<CtyEntity> ParseText(const std::string& text) {
    std::istringstream in(text);
    return ParseCtyCsv(in, "test.csv");
}

struct Resolved {
    std::string prefix, cq, itu;
    bool found = false;
};

Resolved Resolve(const ReferenceData& ref, const std::string& call) {
    ResolutionRecord rec;
    const ResolveOutcome outcome = ResolveCallsignSteps(ref, call, "20230601", rec, nullptr);
    return {rec.prefix, rec.cqZone, rec.ituZone, outcome.found};
}

std::string Scalar(SqliteDb& db, const std::string& sql) {
    SqliteStatement st = db.prepare(sql);
    return st.step() ? st.columnText(0) : "(no row)";
}

// ---- reading the file

TEST(CtyParse, ConvertsFieldsAndOverridesToTheTablesForm) {
    const auto entities = ParseText(
        "VK,Australia,150,OC,30,59,-23.70,-132.33,-10.0,"
        "VK VK6(29)[58]<-31.95/-115.86>~-8.0~ =VK2XYZ(31) =vk9abc{OC};\n");
    ASSERT_EQ(entities.size(), 1u);
    const CtyEntity& e = entities[0];
    EXPECT_EQ(e.primary, "VK");
    EXPECT_EQ(e.name, "Australia");
    EXPECT_EQ(e.number, "150");
    EXPECT_EQ(e.continent, "OC");
    EXPECT_EQ(e.cqZone, "30");
    EXPECT_EQ(e.ituZone, "59");
    // The file counts longitude west and the offset towards UTC; the tables
    // count east and local minus UTC.
    EXPECT_EQ(e.latitude, "-23.70");
    EXPECT_EQ(e.longitude, "132.33");
    EXPECT_EQ(e.timeDiff, "10");
    EXPECT_FALSE(e.awardOnly);

    ASSERT_EQ(e.prefixes.size(), 2u);
    EXPECT_EQ(e.prefixes[0].text, "VK");
    EXPECT_EQ(e.prefixes[0].cqZone, "30");
    const CtyAlias& west = e.prefixes[1];
    EXPECT_EQ(west.text, "VK6");
    EXPECT_EQ(west.cqZone, "29");
    EXPECT_EQ(west.ituZone, "58");
    EXPECT_EQ(west.latitude, "-31.95");
    EXPECT_EQ(west.longitude, "115.86");
    EXPECT_EQ(west.timeDiff, "8");

    ASSERT_EQ(e.calls.size(), 2u);
    EXPECT_EQ(e.calls[0].text, "VK2XYZ");
    EXPECT_EQ(e.calls[0].cqZone, "31");
    EXPECT_EQ(e.calls[0].ituZone, "59");
    EXPECT_EQ(e.calls[1].text, "VK9ABC");
}

TEST(CtyParse, ToleratesLineEndsMarksAndCommasInNames) {
    const auto entities = ParseText(
        "\xEF\xBB\xBF"
        "*TA1,European Turkey,390,EU,20,39,41.02,-28.97,-2.0,TA1;\r\n"
        "\r\n"
        "9N,Nepal, Federal Republic,369,AS,22,42,27.70,-85.33,-5.75,9N;\r\n"
        "CE9,Antarctica,13,SA,13,74,-90.00,0.00,0.0,=KC4AAA;\n");
    ASSERT_EQ(entities.size(), 3u);
    EXPECT_TRUE(entities[0].awardOnly);
    EXPECT_EQ(entities[0].primary, "TA1");
    EXPECT_EQ(entities[1].name, "Nepal, Federal Republic");
    EXPECT_EQ(entities[1].number, "369");
    EXPECT_EQ(entities[1].timeDiff, "5.75");
    EXPECT_EQ(entities[2].longitude, "0.00");
    EXPECT_EQ(entities[2].timeDiff, "0");
    EXPECT_EQ(entities[2].line, 4);
    EXPECT_TRUE(entities[2].prefixes.empty());
}

TEST(CtyParse, RefusesMalformedLinesNamingTheLine) {
    const std::string good = "DL,Germany,230,EU,14,28,51.00,-10.00,-1.0,DL;\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"DL,Germany,230,EU,14,28,51.00,-10.00,DL;", "ten comma-separated fields"},
        {"DL,Germany,230,EU,14,28,51.00,-10.00,-1.0,DL", "does not end with ';'"},
        {"DL,Germany,X1,EU,14,28,51.00,-10.00,-1.0,DL;", "entity number"},
        {"DL,Germany,230,EU,0,28,51.00,-10.00,-1.0,DL;", "CQ zone"},
        {"DL,Germany,230,EU,14,2x,51.00,-10.00,-1.0,DL;", "ITU zone"},
        {"DL,Germany,230,EU,14,28,north,-10.00,-1.0,DL;", "latitude"},
        {"DL,Germany,230,EU,14,28,51.00,-10.00,-1.0,DL DA(14;", "malformed"},
        {"DL,Germany,230,EU,14,28,51.00,-10.00,-1.0,DL DA[123];", "ITU zone"},
        {"DL,Germany,230,EU,14,28,51.00,-10.00,-1.0,DL =(14);", "names no prefix"},
        {",Germany,230,EU,14,28,51.00,-10.00,-1.0,DL;", "primary prefix is empty"},
    };
    for (const auto& [line, problem] : cases) {
        try {
            ParseText(good + line + "\n");
            ADD_FAILURE() << "accepted: " << line;
        } catch (const DbError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("test.csv, line 2: "), std::string::npos) << what;
            EXPECT_NE(what.find(problem), std::string::npos) << what;
        }
    }
}

// ---- keys

TEST(CtyKeys, SpecialFormsLongPrimariesAndTheRest) {
    struct Case {
        const char* primary;
        const char* number;
        const char* key;
    };
    const Case cases[] = {
        {"K", "291", "K"},        {"KL", "6", "KL7"},       {"KH6", "110", "KH6"},
        {"KG4", "105", "KG4"},    {"CE9", "13", "KC4A"},    {"SV/a", "180", "SV/A"},
        {"SV5", "45", "SV5"},     {"SV9", "40", "SV9"},     {"FT/g", "99", "FR/G"},
        {"FT/j", "124", "FR/J"},  {"FT/t", "276", "FR/T"},  {"FO/a", "508", "FO/A"},
        {"FO/c", "36", "FO/C"},   {"FO/m", "509", "FO/M"},  {"3D2/c", "489", "3D/C"},
        {"3D2/r", "460", "3D/R"}, {"HK0/a", "216", "HK/A"}, {"HK0/m", "161", "HK/M"},
        {"KH8/s", "515", "KH/S"}, {"VP6/d", "513", "VP/D"}, {"VP8/g", "235", "VP/G"},
        {"VP8/h", "241", "VP/H"}, {"VP8/o", "238", "VP/O"}, {"VP8/s", "240", "VP/S"},
        {"FK/c", "512", "FK/C"},  {"E5/n", "191", "E5/N"},  {"DL", "230", "DL"},
        {"KH7K", "138", "KH7K"},  {"VK9AB", "999", "VK9A"}, {"XY/ab", "998", "X/AB"},
    };
    for (const Case& c : cases) {
        CtyEntity e;
        e.primary = c.primary;
        e.number = c.number;
        EXPECT_EQ(CtyEntityKey(e), c.key) << c.primary;
    }
}

// ---- the database built from the excerpt

class CtyExcerptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.file("refdata.sqlite");
        summary = BuildReferenceFromCty(kExcerpt, path);
        ref = ReferenceData::LoadFile(path);
    }

    test::TempDir dir;
    std::string path;
    CtyBuildSummary summary;
    ReferenceData ref;
};

TEST_F(CtyExcerptTest, OnePrefixRowPerEntityUnderItsKey) {
    // 39 lines, three of them for other award lists only.
    EXPECT_EQ(summary.entities, 36);
    EXPECT_EQ(summary.awardOnlyFolded, 2);  // Sicily and Shetland; Vienna has no entity here
    std::set<std::string> keys;
    for (const CTvx95PrefixSet& row : ref.prefixRows()) keys.insert(row.m_PREFIX);
    EXPECT_EQ(keys.size(), 36u);
    for (const char* key : {"K", "KL7", "KH6", "KG4", "KC4A", "SV/A", "SV5", "SV9", "FR/G", "FR/J",
                            "FR/T", "FO/A", "FO/C", "FO/M", "3D/C", "VP/G", "4U1U"}) {
        EXPECT_TRUE(keys.count(key)) << key;
    }
    for (const char* gone : {"IT9", "GM/S", "4U1V", "CE9", "KL", "SV/a", "FT/G", "3D2/", "VP8/"}) {
        EXPECT_FALSE(keys.count(gone)) << gone;
    }
    const CTvx95PrefixSet* usa = ref.findPrefix("K");
    ASSERT_NE(usa, nullptr);
    EXPECT_EQ(usa->m_COUNTRY, "United States");
    EXPECT_EQ(usa->m_ARRL_ID, "291");
    EXPECT_EQ(usa->m_CONTINENT, "NA");
    EXPECT_EQ(usa->m_CQ_ZONE, "05");
    EXPECT_EQ(usa->m_ITU_ZONE, "08");
    EXPECT_EQ(usa->m_LONGITUDE, "-91.87");
    EXPECT_EQ(usa->m_TIMEDIFF, "-5");
    EXPECT_FALSE(usa->m_DEL_STATUS);
    EXPECT_EQ(ref.findPrefix("VK9C")->m_TIMEDIFF, "6.5");
    EXPECT_EQ(ref.findPrefix("KC4A")->m_COUNTRY, "Antarctica");
    for (const char* renamed : {"CE9 -> KC4A", "KL -> KL7", "SV/a -> SV/A", "FT/j -> FR/J",
                                "FO/m -> FO/M", "3D2/c -> 3D/C", "VP8/g -> VP/G"}) {
        EXPECT_NE(std::find(summary.renamedKeys.begin(), summary.renamedKeys.end(), renamed),
                  summary.renamedKeys.end())
            << renamed;
    }
    EXPECT_EQ(summary.renamedKeys.size(), 11u);
}

TEST_F(CtyExcerptTest, AliasRowsWithOverridesSelfRowsAndExpansions) {
    struct Row {
        const char* map;
        const char* pri;  // nullptr: no row
        const char* cq;
        const char* itu;
    };
    const Row rows[] = {
        {"VE", "VE", "05", "09"},
        {"VE3", "VE", "04", "04"},
        {"W6", "K", "03", "06"},
        {"AA", "K", "05", "08"},
        {"KL", "KL7", "01", "01"},
        {"KL7", "KL7", "01", "01"},  // the key points to itself
        {"SV/A", "SV/A", "20", "28"},
        {"FR/G", "FR/G", "39", "53"},
        {"KC4A", "KC4A", "13", "74"},
        {"3D/C", "3D/C", "32", "56"},
        {"VP0G", "VP/G", "13", "73"},
        {"UA1N", "UA", "16", "19"},
        {"IT9", "I", "16", "28"},  // Sicily counts for Italy, with its own zone
        // M is never searched: England gets the two-character prefixes it
        // covers, but MM stays Scotland's.
        {"M0", "G", "14", "27"},
        {"MZ", "G", "14", "27"},
        {"MM", "GM", "14", "27"},
        {"UA", "UA", "16", "29"},
        {"R5", "UA", "16", "29"},
        {"R9", "UA9", "17", "30"},
        // One character that already finds its entity needs nothing more.
        {"G0", nullptr, "", ""},
        {"W1", nullptr, "", ""},
        {"N0", nullptr, "", ""},
        {"F5", nullptr, "", ""},
        // RI1AN stands alone and is cut to four characters; VK9FC and
        // VK9FX share VK9F between two entities and are left out.
        {"RI1A", "KC4A", "29", "69"},
        {"VK9F", nullptr, "", ""},
    };
    for (const Row& r : rows) {
        const CTvx95MapPrefixSet* row = ref.findMapPrefix(r.map);
        if (!r.pri) {
            EXPECT_EQ(row, nullptr) << r.map;
            continue;
        }
        ASSERT_NE(row, nullptr) << r.map;
        EXPECT_EQ(row->m_PRI_PREFIX, r.pri) << r.map;
        EXPECT_EQ(row->m_CQ_ZONE, r.cq) << r.map;
        EXPECT_EQ(row->m_ITU_ZONE, r.itu) << r.map;
        EXPECT_TRUE(row->m_OLD1_PREFIX.empty() && row->m_OLD2_PREFIX.empty()) << r.map;
    }
    EXPECT_EQ(ref.findMapPrefix("VK6")->m_LONGITUDE, "115.86");
    EXPECT_EQ(ref.findMapPrefix("VK6")->m_TIMEDIFF, "8");
    EXPECT_EQ(summary.droppedPrefixes, (std::vector<std::string>{"VK9FC", "VK9FX"}));

    SqliteDb db(path, SqliteDb::Mode::ReadOnly);
    // No dates in the country files: the dated columns are NULL, not empty.
    EXPECT_EQ(Scalar(db,
                     "SELECT COUNT(*) FROM [MAP-Prefix] WHERE [OLD1-PREFIX] IS NOT NULL OR "
                     "[OLD1-DATE] IS NOT NULL OR [OLD2-PREFIX] IS NOT NULL OR [OLD2-DATE] IS "
                     "NOT NULL"),
              "0");
    EXPECT_EQ(Scalar(db,
                     "SELECT COUNT(*) FROM [MAP-Prefix] WHERE length([CQ-ZONE]) <> 2 OR "
                     "length([ITU-ZONE]) <> 2"),
              "0");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [MAP-Prefix]"),
              std::to_string(summary.mapPrefixRows));
}

TEST_F(CtyExcerptTest, CallMapStatesAndCounties) {
    const CTvx95CallMapSet* un = ref.findCallMap("4U1UN");
    ASSERT_NE(un, nullptr);
    EXPECT_EQ(un->m_CallPfx, "4U1U");
    EXPECT_EQ(un->m_CallCq, "05");
    EXPECT_EQ(un->m_CallItu, "08");
    EXPECT_TRUE(un->m_CallPfx1.empty() && un->m_CallDate1.empty() && un->m_CallPfx2.empty());
    EXPECT_EQ(ref.findCallMap("KC4AAA")->m_CallCq, "12");
    EXPECT_EQ(ref.findCallMap("KC4AAA")->m_CallItu, "67");
    EXPECT_EQ(ref.findCallMap("N7XYZ/KH6")->m_CallPfx, "K");
    EXPECT_EQ(ref.findCallMap("N7XYZ/KH6")->m_CallCq, "03");
    EXPECT_EQ(ref.findCallMap("G0SHT")->m_CallPfx, "GM");  // Shetland counts for Scotland
    EXPECT_EQ(ref.findCallMap("VERSION"), nullptr);
    EXPECT_EQ(ref.findCallMap("4U1VIC"), nullptr);  // its entity is not in the file
    EXPECT_EQ(summary.callMapRows, 11);

    EXPECT_EQ(summary.stateRows, 51);
    for (const char* state : {"AL", "AK", "DC", "HI", "NY", "WY", "WV", "TX"})
        EXPECT_TRUE(ref.hasState(state)) << state;
    EXPECT_FALSE(ref.hasState("PR"));
    SqliteDb db(path, SqliteDb::Mode::ReadOnly);
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [STATE-TABLE]"), "51");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(DISTINCT [STATE-ABV]) FROM [STATE-TABLE]"), "51");
    EXPECT_EQ(Scalar(db, "SELECT [STATE-NAME] FROM [STATE-TABLE] WHERE [STATE-ABV]='DC'"),
              "District of Columbia");
    EXPECT_EQ(Scalar(db, "SELECT COUNT(*) FROM [COUNTY-TAB]"), "0");
}

TEST_F(CtyExcerptTest, CallsResolveToTheirEntities) {
    struct Case {
        const char* call;
        const char* prefix;
        const char* cq;
        const char* itu;
    };
    const Case cases[] = {
        {"G4ABC", "G", "14", "27"},       {"M0ABC", "G", "14", "27"},
        {"2E0ABC", "G", "14", "27"},      {"MM0ABC", "GM", "14", "27"},
        {"G0SHT", "GM", "14", "27"},      {"W1AW", "K", "05", "08"},
        {"W2XYZ", "K", "05", "08"},       {"K6XYZ", "K", "03", "06"},
        {"N9XYZ", "K", "04", "08"},       {"AA1AA", "K", "05", "08"},
        {"VE3ABC", "VE", "04", "04"},     {"VA7XYZ", "VE", "05", "09"},
        {"JA1ABC", "JA", "25", "45"},     {"7K4QOK", "JA", "25", "45"},
        {"DL1ABC", "DL", "14", "28"},     {"F5ABC", "F", "14", "27"},
        {"I2ABC", "I", "15", "28"},       {"IT9ABC", "I", "16", "28"},
        {"UA3ABC", "UA", "16", "29"},     {"UA1NAB", "UA", "16", "19"},
        {"R5AB", "UA", "16", "29"},       {"UA9ABC", "UA9", "17", "30"},
        {"UA0ABC", "UA9", "19", "33"},    {"VK2ABC", "VK", "30", "59"},
        {"VK6ABC", "VK", "29", "58"},     {"KH6ABC", "KH6", "31", "61"},
        {"KL7ABC", "KL7", "01", "01"},    {"AL7KC", "KL7", "01", "01"},
        {"SV1ABC/A", "SV/A", "20", "28"}, {"SV1ABC", "SV", "20", "28"},
        {"SV5ABC", "SV5", "20", "28"},    {"SV1ABC/9", "SV9", "20", "28"},
        {"KC4/W1AW", "KC4A", "13", "74"}, {"KC4AAA", "KC4A", "12", "67"},
        {"RI1ANC", "KC4A", "29", "69"},   {"4U1UN", "4U1U", "05", "08"},
        {"KG4AB", "KG4", "08", "11"},     {"KG4ABC", "K", "05", "08"},
        {"W1ABC/KG4", "KG4", "08", "11"}, {"FR5AB/G", "FR/G", "39", "53"},
        {"FR5AB/E", "FR/J", "39", "53"},  {"FR5AB/T", "FR/T", "39", "53"},
        {"FO5AB/A", "FO/A", "32", "63"},  {"FO5AB/C", "FO/C", "07", "10"},
        {"FO5AB/M", "FO/M", "31", "63"},  {"FT4GL", "FR/G", "39", "53"},
        {"VP0GAB", "VP/G", "13", "73"},   {"3D2C", "3D/C", "32", "56"},
        {"3D2CZ", "3D2", "32", "56"},     {"VK9XY", "VK9X", "29", "54"},
        {"YU1ABC", "YU", "15", "28"},
    };
    for (const Case& c : cases) {
        const Resolved r = Resolve(ref, c.call);
        EXPECT_TRUE(r.found) << c.call;
        EXPECT_EQ(r.prefix, c.prefix) << c.call;
        EXPECT_EQ(r.cq, c.cq) << c.call;
        EXPECT_EQ(r.itu, c.itu) << c.call;
    }
    EXPECT_FALSE(Resolve(ref, "QQ9ZZZ").found);
}

// ---- refusals

TEST(CtyBuild, RefusesTwoEntitiesWithOneKeyAndLeavesNoFile) {
    test::TempDir dir;
    const std::string cty =
        dir.write("cty.csv",
                  "VP8,Falkland Islands,141,SA,13,16,-51.63,58.72,4.0,VP8;\n"
                  "VP8/g,South Georgia Island,235,SA,13,73,-54.48,37.08,2.0,VP0G;\n"
                  "VP6/g,Somewhere Else,990,SA,13,73,-54.48,37.08,2.0,VP0X;\n");
    const std::string out = dir.file("ref.sqlite");
    try {
        BuildReferenceFromCty(cty, out);
        ADD_FAILURE() << "two entities share VP/G";
    } catch (const DbError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("VP8/g (line 2) and VP6/g (line 3)"), std::string::npos) << what;
        EXPECT_NE(what.find("VP/G"), std::string::npos) << what;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(CtyBuild, RefusesMissingBadOrEmptyFilesAndAnExistingTarget) {
    test::TempDir dir;
    const std::string out = dir.file("ref.sqlite");
    EXPECT_THROW(BuildReferenceFromCty(dir.file("none.csv"), out), DbError);
    EXPECT_THROW(BuildReferenceFromCty(dir.write("empty.csv", "\n\n"), out), DbError);
    EXPECT_THROW(BuildReferenceFromCty(dir.write("bad.csv", "DL,Germany;\n"), out), DbError);
    EXPECT_FALSE(std::filesystem::exists(out));

    const std::string existing = dir.write("existing.sqlite", "keep me");
    EXPECT_THROW(BuildReferenceFromCty(kExcerpt, existing), DbError);
    std::ifstream in(existing);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "keep me");
}

// ---- the command

TEST(CtyCommand, BuildsAndRefusesWithItsExitCodes) {
    test::TempDir dir;
    const std::string out = dir.file("ref.sqlite");
    auto run = [](std::vector<std::string> args, std::string* stdoutText = nullptr) {
        std::istringstream in;
        std::ostringstream o, e;
        const int code = RunCli(args, in, o, e, false);
        if (stdoutText) *stdoutText = o.str() + e.str();
        return code;
    };
    std::string text;
    EXPECT_EQ(run({"build-refdata", "--cty", kExcerpt, out}, &text), 0);
    EXPECT_NE(text.find("created " + out + ": 36 countries"), std::string::npos) << text;
    EXPECT_TRUE(ReferenceData::LoadFile(out).findPrefix("KC4A"));

    EXPECT_EQ(run({"build-refdata", "--cty", kExcerpt, out}, &text), 1);  // exists already
    EXPECT_NE(text.find("error: "), std::string::npos) << text;
    EXPECT_EQ(run({"build-refdata", kExcerpt, dir.file("a.sqlite")}), 2);
    EXPECT_EQ(run({"build-refdata", "--cty", kExcerpt}), 2);
    EXPECT_EQ(run({"build-refdata", "--file", kExcerpt, dir.file("b.sqlite")}), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.sqlite")));
}

}  // namespace
}  // namespace tvx
