#include "resolve/resolve.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace tvx {
namespace {

CTvx95PrefixSet PrefixRow(const std::string& prefix, const std::string& cq,
                          const std::string& itu) {
    CTvx95PrefixSet row;
    row.m_PREFIX = prefix;
    row.m_CQ_ZONE = cq;
    row.m_ITU_ZONE = itu;
    return row;
}

CTvx95MapPrefixSet Alias(const std::string& map, const std::string& pri, const std::string& cq,
                         const std::string& itu) {
    CTvx95MapPrefixSet row;
    row.m_MAP_PREFIX = map;
    row.m_PRI_PREFIX = pri;
    row.m_CQ_ZONE = cq;
    row.m_ITU_ZONE = itu;
    return row;
}

// A small world: a few countries, their aliases as they appear in calls,
// and special calls of the call map, some with dated values.
ReferenceData World() {
    ReferenceData ref;
    for (const auto& [prefix, cq, itu] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"K", "04", "07"},    {"KH6", "31", "61"}, {"KL7", "01", "01"},  {"VE", "05", "09"},
             {"VP9", "05", "11"},  {"SV", "20", "28"},  {"SV/A", "20", "28"}, {"SV5", "20", "28"},
             {"SV9", "20", "28"},  {"FR", "39", "53"},  {"FR/J", "39", "53"}, {"KG4", "08", "11"},
             {"KC4A", "12", "67"}, {"DL", "14", "28"},  {"E7", "15", "28"},   {"E4", "20", "39"},
             {"4X", "20", "39"},   {"ZC6", "20", "39"}, {"T9", "15", "28"},   {"YU", "15", "28"},
             {"G", "14", "27"}})
        ref.addPrefix(PrefixRow(prefix, cq, itu));

    ref.addMapPrefix(Alias("VE3", "VE", "05", "04"));
    ref.addMapPrefix(Alias("VP9", "VP9", "05", "11"));
    ref.addMapPrefix(Alias("SV/A", "SV/A", "20", "28"));
    ref.addMapPrefix(Alias("KG4 ", "KG4", "08", "11"));
    ref.addMapPrefix(Alias("KH6", "KH6", "31", "61"));
    ref.addMapPrefix(Alias("DL", "DL", "14", "28"));
    ref.addMapPrefix(Alias("FR/J", "FR/J", "39", "53"));
    ref.addMapPrefix(Alias("KC4A", "KC4A", "12", "67"));
    ref.addMapPrefix(Alias("G3", "G", "", "27"));
    // Bosnia: E7 now, T9 up to the end of 2006 (zone of the present row),
    // YU up to the end of 1991.
    CTvx95MapPrefixSet bosnia = Alias("E73", "E7", "15", "28");
    bosnia.m_OLD1_PREFIX = "T9";
    bosnia.m_OLD1_DATE = "20061231";
    bosnia.m_OLD2_PREFIX = "YU";
    bosnia.m_OLD2_ZONE = "16";
    bosnia.m_OLD2_DATE = "19911231";
    ref.addMapPrefix(bosnia);

    CTvx95CallMapSet special;
    special.m_CallCallsign = "4U1XX";
    special.m_CallPfx = "E4";
    special.m_CallCq = "20";
    special.m_CallItu = "39";
    special.m_CallPfx1 = "4X";
    special.m_CallItu1 = "38";
    special.m_CallDate1 = "19950101";
    special.m_CallPfx2 = "ZC6";
    special.m_CallCq2 = "21";
    special.m_CallDate2 = "19900101";
    ref.addCallMap(special);

    CTvx95CallMapSet us;
    us.m_CallCallsign = "VE3USA";
    us.m_CallPfx = "K";
    us.m_CallItu = "08";
    ref.addCallMap(us);
    return ref;
}

// --- DerivePrefix ---

struct PrefixCase {
    const char* call;
    const char* prefix;
};

void PrintTo(const PrefixCase& c, std::ostream* os) {
    *os << '"' << c.call << '"';
}

class DerivePrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(DerivePrefixTest, GivesFourCharacterPrefix) {
    EXPECT_EQ(DerivePrefix(GetParam().call), GetParam().prefix) << GetParam().call;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DerivePrefixTest,
    ::testing::Values(
        // KG4: Guantanamo only with two letters after the 4.
        PrefixCase{"KG4AB", "KG4 "}, PrefixCase{"KG4ABC", "K4  "}, PrefixCase{"KG4AB  ", "KG4 "},
        PrefixCase{"KG4AB/P", "KG4A"},
        // One part, cut and padded to four.
        PrefixCase{"W1ABC", "W1AB"}, PrefixCase{"K1A", "K1A "}, PrefixCase{"", ""},
        // Each row of the two-part table, chosen so that a later row would
        // give another result.
        PrefixCase{"G3AB/12", "G3AB"}, PrefixCase{"G3AB/R", "G3AB"}, PrefixCase{"G3AB/B", "G3AB"},
        PrefixCase{"G3ABCD/QRP", "G3AB"}, PrefixCase{"SV1ABC/9", "SV9 "},
        PrefixCase{"SV1ABC/5", "SV5 "}, PrefixCase{"SV1ABC/A", "SV/A"},
        PrefixCase{"SV1ABC/AM", "SV/A"}, PrefixCase{"FR5AB/G", "FR/G"},
        PrefixCase{"FR5AB/T", "FR/T"}, PrefixCase{"FR5AB/J", "FR/J"}, PrefixCase{"FR5AB/E", "FR/J"},
        PrefixCase{"FO5AB/A", "FO/A"}, PrefixCase{"FO5AB/C", "FO/C"}, PrefixCase{"FO5AB/M", "FO/M"},
        PrefixCase{"LA1ABC/X", "LA1A"}, PrefixCase{"LB1ABC/Q", "LB1A"},
        PrefixCase{"LC1ABC/Z", "LC1A"}, PrefixCase{"G3ABC/MM", "G3AB"},
        PrefixCase{"G3ABC/P", "G3AB"}, PrefixCase{"G3ABC/E", "G3AB"}, PrefixCase{"G3ABC/M", "G3AB"},
        PrefixCase{"W1ABC/KG4", "KG4 "}, PrefixCase{"KC4/W1AW", "KC4A"},
        PrefixCase{"G3ABC/7", "G3AB"}, PrefixCase{"G3ABC/A", "G3AB"}, PrefixCase{"G3ABC/0", "G3AB"},
        PrefixCase{"VE3/W1ABC", "VE3 "}, PrefixCase{"W1ABC/VP9", "VP9 "},
        PrefixCase{"W1A/VP9", "VP9 "}, PrefixCase{"W1A/VE3", "W1A "},
        PrefixCase{"G3ABC/7 QRP", "G3AB"},
        // Three parts: a trailing area or P/M/A is dropped, anything else wins.
        PrefixCase{"W1ABC/VE3/P", "VE3 "}, PrefixCase{"W1ABC/VE3/7", "VE3 "},
        PrefixCase{"W1ABC/VE3/A", "VE3 "}, PrefixCase{"W1ABC/VE3/P X", "VE3 "},
        PrefixCase{"VE3/W1ABC/P", "VE3 "}, PrefixCase{"W1ABC/VE3/KH6", "KH6 "},
        // Empty parts and blanks around parts do not count.
        PrefixCase{"W1ABC//P", "W1AB"}, PrefixCase{"/", ""}, PrefixCase{"//", ""},
        PrefixCase{"   ", ""}, PrefixCase{"W1ABC/", "W1AB"}, PrefixCase{"/W1ABC", "W1AB"},
        PrefixCase{"W1ABC/ ", "W1AB"}, PrefixCase{" VE3 / W1ABC ", "VE3 "},
        // Parts after the third are ignored; parts are cut to 15 characters.
        PrefixCase{"W1ABC/VE3/P/QRP", "VE3 "}, PrefixCase{"W1ABC/VE3/KH6/7/8", "KH6 "},
        PrefixCase{"AAAAAAAAAAAAAAAAA/BBBBBBBBBBBBBBBB", "AAAA"}));

TEST(DerivePrefixEdge, NonAsciiIsCutByCharacters) {
    EXPECT_EQ(DerivePrefix("ÄÖÜ1ABC"), "ÄÖÜ1");
    EXPECT_EQ(DerivePrefix("É/ÄÖÜ1ABC"), "É   ");
}

TEST(DerivePrefixEdge, HugeAndSlashOnlyCallsDoNotBreak) {
    EXPECT_EQ(DerivePrefix(std::string(10000, '/')), "");
    EXPECT_EQ(DerivePrefix(std::string(10000, 'W')), "WWWW");
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "W1ABC/";
    EXPECT_EQ(DerivePrefix(many), "W1AB");
    EXPECT_EQ(DeriveWpxPrefix(many), "W1");
    EXPECT_EQ(CqZoneFromCallArea(many), "05");
}

// --- DeriveWpxPrefix ---

class WpxTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(WpxTest, GivesWpxPrefix) {
    EXPECT_EQ(DeriveWpxPrefix(GetParam().call), GetParam().prefix) << GetParam().call;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WpxTest,
    ::testing::Values(
        PrefixCase{"W1ABC", "W1"}, PrefixCase{"W1ABC/4", "W4"}, PrefixCase{"W1ABC/P", "W1"},
        PrefixCase{"DL1ABC/W", "W0"}, PrefixCase{"ABC", "ABC0"},
        // Suffixes that say nothing about the place.
        PrefixCase{"G3ABC/QRP", "G3"}, PrefixCase{"G3ABC/MM", "G3"}, PrefixCase{"G3ABC/MOB", "G3"},
        PrefixCase{"G3ABC/PORT", "G3"},
        // Reunion islands keep the first five characters of the call.
        PrefixCase{"FR5AB/G", "FR5"}, PrefixCase{"FR5ABCDE/J", "FR5"}, PrefixCase{"FR5AB/T", "FR5"},
        PrefixCase{"FR5AB/E", "FR5"}, PrefixCase{"FR/T", "FR0"}, PrefixCase{"3DA/ZS6ABC", "3DA0"},
        PrefixCase{"3DA/7", "3DA0"},
        // A call area replaces the last digit of the home call.
        PrefixCase{"W1ABC/2", "W2"}, PrefixCase{"DL1ABC/44", "DL44"}, PrefixCase{"JA1ABC/0", "JA0"},
        PrefixCase{"ABC/12", "12"}, PrefixCase{"W1ABC/4 X", "W4"},
        // One-letter suffixes.
        PrefixCase{"DL1ABC/F", "F0"}, PrefixCase{"DL1ABC/G", "G0"}, PrefixCase{"DL1ABC/I", "I0"},
        PrefixCase{"DL1ABC/Y", "Y0"}, PrefixCase{"DL1ABC/K", "K0"}, PrefixCase{"DL1ABC/X", "DL1"},
        // The shorter part, the first on equal lengths.
        PrefixCase{"VE3/W1ABC", "VE3"}, PrefixCase{"W1ABC/VP9", "VP9"}, PrefixCase{"W1A/VE3", "W1"},
        PrefixCase{"W1ABC/KH6", "KH6"},
        // One digit in two characters stays whole and gets its zero.
        PrefixCase{"4X", "4X0"}, PrefixCase{"2A", "2A0"}, PrefixCase{"W1", "W1"},
        PrefixCase{"4X1AB", "4X1"}, PrefixCase{"LU1ABC", "LU1"}, PrefixCase{"VK2ABC", "VK2"},
        PrefixCase{"9A1A", "9A1"}, PrefixCase{"S51ABC", "S51"},
        // Three parts: a digit third part is dropped, anything else is taken.
        PrefixCase{"W1ABC/VE3/5", "VE3"}, PrefixCase{"W1ABC/VE3/KH6", "KH6"},
        PrefixCase{"W1ABC/VE3/P", "P0"},
        // At most six characters.
        PrefixCase{"ABCDEFGH", "ABCDEF"}, PrefixCase{"ABCDEFG1", "ABCDEF"},
        // Empty parts, no parts, too many parts.
        PrefixCase{"", ""}, PrefixCase{"/", ""}, PrefixCase{"W1ABC//4", "W4"},
        PrefixCase{"W1ABC/", "W1"}, PrefixCase{"W1ABC/VE3/5/QRP", "VE3"}));

// --- CqZoneFromCallArea ---

class CallAreaTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CallAreaTest, GivesZone) {
    EXPECT_EQ(CqZoneFromCallArea(GetParam().call), GetParam().prefix) << GetParam().call;
}

INSTANTIATE_TEST_SUITE_P(
    Areas, CallAreaTest,
    ::testing::Values(PrefixCase{"W1ABC", "05"}, PrefixCase{"W2XYZ", "05"},
                      PrefixCase{"K3ABC", "05"}, PrefixCase{"N4ABC", "05"},
                      PrefixCase{"W5ABC", "04"}, PrefixCase{"W6XYZ", "03"},
                      PrefixCase{"K7ABC", "03"}, PrefixCase{"W8ABC", "04"},
                      PrefixCase{"W9XYZ", "04"}, PrefixCase{"W0ABC", "04"},
                      PrefixCase{"WABC", "04"}, PrefixCase{"", "04"}, PrefixCase{"/", "04"},
                      // Two parts: a shorter second part with a digit decides.
                      PrefixCase{"W6ABC/4", "05"}, PrefixCase{"W1ABC/KH6", "03"},
                      PrefixCase{"KH6/W1ABC", "03"}, PrefixCase{"W6ABC/P", "03"},
                      PrefixCase{"W/K1A", "05"}, PrefixCase{"W6ABC/4 X", "05"},
                      PrefixCase{"W6AB/W1", "05"},
                      // Three parts: the third part's digit, else as two.
                      PrefixCase{"W6ABC/KH6/2", "05"}, PrefixCase{"W1ABC/KL7/P", "03"},
                      PrefixCase{"W6ABC/VE/P", "03"},
                      // The 16th character is not part of the call.
                      PrefixCase{"AAAAAAAAAAAAAAA6", "04"}, PrefixCase{"AAAAAAAAAAAAAA6", "03"}));

// --- IsUsPrefix ---

TEST(IsUsPrefix, OnlyTheFiveSingleCharacters) {
    for (const char* p : {"N", "A", "K", "W", " "}) EXPECT_TRUE(IsUsPrefix(p)) << p;
    for (const char* p : {"", "KH6", "k", "w", "  ", "WA", "K ", "G"})
        EXPECT_FALSE(IsUsPrefix(p)) << "[" << p << "]";
}

// --- LookupCallMap ---

struct DatedCase {
    const char* date;
    const char* prefix;
    const char* cq;
    const char* itu;
};

void PrintTo(const DatedCase& c, std::ostream* os) {
    *os << '"' << c.date << '"';
}

class CallMapDateTest : public ::testing::TestWithParam<DatedCase> {};

TEST_P(CallMapDateTest, ChoosesValuesByDate) {
    const ReferenceData ref = World();
    ResolutionRecord rec;
    rec.date = GetParam().date;
    ASSERT_TRUE(LookupCallMap(ref, rec, "4U1XX"));
    EXPECT_EQ(rec.prefix, GetParam().prefix);
    EXPECT_EQ(rec.cqZone, GetParam().cq);
    EXPECT_EQ(rec.ituZone, GetParam().itu);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CallMapDateTest,
    ::testing::Values(
        // Present values after 1 January 1995.
        DatedCase{"19950102", "E4", "20", "39"}, DatedCase{"20240101", "E4", "20", "39"},
        // Up to and including 1 January 1995; the empty CQ falls back.
        DatedCase{"19950101", "4X", "20", "38"}, DatedCase{"19900102", "4X", "20", "38"},
        // Up to and including 1 January 1990; the empty ITU falls back.
        DatedCase{"19900101", "ZC6", "21", "39"}, DatedCase{"19800101", "ZC6", "21", "39"}));

TEST(LookupCallMap, UnknownCallLeavesRecordAlone) {
    const ReferenceData ref = World();
    ResolutionRecord rec;
    rec.date = "20000101";
    rec.prefix = "XX";
    rec.cqZone = "01";
    EXPECT_FALSE(LookupCallMap(ref, rec, "W1ABC"));
    EXPECT_FALSE(LookupCallMap(ref, rec, "4u1xx"));  // keys keep their case
    EXPECT_EQ(rec.prefix, "XX");
    EXPECT_EQ(rec.cqZone, "01");
    EXPECT_EQ(rec.ituZone, "");
}

TEST(LookupCallMap, RowWithoutDatesAlwaysGivesPresentValues) {
    const ReferenceData ref = World();
    ResolutionRecord rec;
    rec.date = "19000101";
    ASSERT_TRUE(LookupCallMap(ref, rec, "VE3USA"));
    EXPECT_EQ(rec.prefix, "K");
    EXPECT_EQ(rec.cqZone, "");
    EXPECT_EQ(rec.ituZone, "08");
}

TEST(LookupCallMap, OverlongValuesAreCutToTheirWidths) {
    ReferenceData ref;
    CTvx95CallMapSet row;
    row.m_CallCallsign = "X1X";
    row.m_CallPfx = "ABCDEFG";
    row.m_CallCq = "123";
    row.m_CallItu = "4567";
    ref.addCallMap(row);
    ResolutionRecord rec;
    ASSERT_TRUE(LookupCallMap(ref, rec, "X1X"));
    EXPECT_EQ(rec.prefix, "ABCD");
    EXPECT_EQ(rec.cqZone, "12");
    EXPECT_EQ(rec.ituZone, "45");
}

// --- LookupMapPrefix ---

struct AliasCase {
    const char* prefix;
    const char* date;
    bool found;
    const char* resultPrefix;
    const char* cq;
    const char* itu;
};

void PrintTo(const AliasCase& c, std::ostream* os) {
    *os << '"' << c.prefix << '"';
}

class MapPrefixTest : public ::testing::TestWithParam<AliasCase> {};

TEST_P(MapPrefixTest, ShortensAndChooses) {
    ReferenceData ref = World();
    // An alias with its blank, beside the same alias without.
    ref.addMapPrefix(Alias("AB1 ", "X1", "01", "02"));
    ref.addMapPrefix(Alias("AB1", "X2", "03", "04"));
    ResolutionRecord rec;
    rec.prefix = GetParam().prefix;
    rec.date = GetParam().date;
    EXPECT_EQ(LookupMapPrefix(ref, rec), GetParam().found);
    EXPECT_EQ(rec.prefix, GetParam().resultPrefix);
    EXPECT_EQ(rec.cqZone, GetParam().cq);
    EXPECT_EQ(rec.ituZone, GetParam().itu);
}

INSTANTIATE_TEST_SUITE_P(
    Aliases, MapPrefixTest,
    ::testing::Values(AliasCase{"VE3 ", "20000101", true, "VE", "05", "04"},
                      AliasCase{"AB1 ", "20000101", true, "X1", "01", "02"},
                      AliasCase{"AB1X", "20000101", true, "X2", "03", "04"},
                      AliasCase{"DL1A", "20000101", true, "DL", "14", "28"},
                      AliasCase{"SV/A", "20000101", true, "SV/A", "20", "28"},
                      AliasCase{"KG4 ", "20000101", true, "KG4", "08", "11"},
                      // Nothing found: the record keeps one character, zones untouched.
                      AliasCase{"W1AB", "20000101", false, "W", "", ""},
                      AliasCase{"K4  ", "20000101", false, "K", "", ""},
                      AliasCase{"    ", "20000101", false, " ", "", ""},
                      AliasCase{"", "20000101", false, "", "", ""},
                      // Dated rows; no OLD1 zone means the present zone; ITU never dated.
                      AliasCase{"E73A", "20070101", true, "E7", "15", "28"},
                      AliasCase{"E73A", "20061231", true, "T9", "15", "28"},
                      AliasCase{"E73A", "19920101", true, "T9", "15", "28"},
                      AliasCase{"E73A", "19911231", true, "YU", "16", "28"},
                      // An alias without a CQ zone gives an empty one.
                      AliasCase{"G3AB", "20000101", true, "G", "", "27"}));

// --- LookupPrefix ---

TEST(LookupPrefix, FillsOnlyEmptyZones) {
    const ReferenceData ref = World();
    ResolutionRecord rec;
    rec.prefix = "K";
    rec.cqZone = "03";
    EXPECT_TRUE(LookupPrefix(ref, rec));
    EXPECT_EQ(rec.cqZone, "03");
    EXPECT_EQ(rec.ituZone, "07");

    rec = {};
    rec.prefix = "VE";
    rec.ituZone = "04";
    EXPECT_TRUE(LookupPrefix(ref, rec));
    EXPECT_EQ(rec.cqZone, "05");
    EXPECT_EQ(rec.ituZone, "04");
}

TEST(LookupPrefix, UnknownPrefixChangesNothing) {
    const ReferenceData ref = World();
    ResolutionRecord rec;
    for (const char* p : {"Z", "", "VE ", "ve", "KH6 "}) {
        rec.prefix = p;
        EXPECT_FALSE(LookupPrefix(ref, rec)) << p;
        EXPECT_EQ(rec.cqZone, "");
        EXPECT_EQ(rec.ituZone, "");
    }
}

// --- The whole resolution ---

struct ResolveCase {
    const char* call;
    const char* date;
    bool found;
    bool usCall;
    const char* prefix;
    const char* cq;
    const char* itu;
};

void PrintTo(const ResolveCase& c, std::ostream* os) {
    *os << '"' << c.call << '"';
}

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, ResolvesCall) {
    const ReferenceData ref = World();
    const ResolveCase& c = GetParam();
    ResolutionRecord rec;
    rec.prefix = "stale";
    rec.cqZone = "99";
    const ResolveOutcome out = ResolveCallsignSteps(ref, c.call, c.date, rec, nullptr);
    EXPECT_EQ(out.found, c.found);
    EXPECT_EQ(out.usCall, c.usCall);
    EXPECT_FALSE(out.dxccPrefixUsed);
    EXPECT_EQ(rec.date, std::string(c.date).substr(0, 8));
    EXPECT_EQ(rec.prefix, c.prefix);
    EXPECT_EQ(rec.cqZone, c.cq);
    EXPECT_EQ(rec.ituZone, c.itu);
}

INSTANTIATE_TEST_SUITE_P(Calls, ResolveTest,
                         ::testing::Values(
                             // US calls: the alias search ends with W, K, N or A; the zone comes
                             // from the call area and the ITU zone from the prefix table.
                             ResolveCase{"W6XYZ", "20000101", true, true, "K", "03", "07"},
                             ResolveCase{"W9XYZ", "20000101", true, true, "K", "04", "07"},
                             ResolveCase{"W2XYZ", "20000101", true, true, "K", "05", "07"},
                             ResolveCase{"N7ABC", "20000101", true, true, "K", "03", "07"},
                             ResolveCase{"AA1AA", "20000101", true, true, "K", "05", "07"},
                             ResolveCase{"KG4ABC", "20000101", true, true, "K", "05", "07"},
                             ResolveCase{"W1ABC/6", "20000101", true, true, "K", "03", "07"},
                             // Call map: prefix K without a zone gets the call-area zone; the
                             // dated row at its boundary.
                             ResolveCase{"VE3USA", "20000101", true, true, "K", "05", "08"},
                             ResolveCase{"4U1XX", "19950101", true, false, "4X", "20", "38"},
                             ResolveCase{"4U1XX", "19950102", true, false, "E4", "20", "39"},
                             // Aliases.
                             ResolveCase{"KG4AB", "20000101", true, false, "KG4", "08", "11"},
                             ResolveCase{"VE3ABC", "20000101", true, false, "VE", "05", "04"},
                             ResolveCase{"VE3/W1ABC", "20000101", true, false, "VE", "05", "04"},
                             ResolveCase{"W1ABC/VE3/P", "20000101", true, false, "VE", "05", "04"},
                             ResolveCase{"W1ABC/VP9", "20000101", true, false, "VP9", "05", "11"},
                             ResolveCase{"SV1ABC/A", "20000101", true, false, "SV/A", "20", "28"},
                             ResolveCase{"FR5AB/E", "20000101", true, false, "FR/J", "39", "53"},
                             ResolveCase{"KH6ABC", "20000101", true, false, "KH6", "31", "61"},
                             ResolveCase{"DL1ABC", "20000101", true, false, "DL", "14", "28"},
                             ResolveCase{"E73ABC", "19911231", true, false, "YU", "16", "28"},
                             // An alias without a CQ zone: the prefix table fills it.
                             ResolveCase{"G3ABC", "20000101", true, false, "G", "14", "27"},
                             ResolveCase{"KC4/W1AW", "20000101", true, false, "KC4A", "12", "67"},
                             // Unknown prefixes.
                             ResolveCase{"ZZ9ZZ", "20000101", false, false, "Z", "", ""},
                             // No call at all is never taken for a US call.
                             ResolveCase{"", "20000101", false, false, "", "", ""},
                             ResolveCase{"  ", "20000101", false, false, "", "", ""},
                             ResolveCase{"/", "20000101", false, false, "", "", ""},
                             // An over-long date is cut to its width.
                             ResolveCase{"DL1ABC", "2000010199", true, false, "DL", "14", "28"}));

TEST(ResolveCallsignSteps, BlankPrefixIsUs) {
    // An alias row that gives a blank prefix makes a US call.
    ReferenceData ref;
    ref.addPrefix(PrefixRow("K", "04", "07"));
    ref.addMapPrefix(Alias("QQ", " ", "", ""));
    ResolutionRecord rec;
    const ResolveOutcome out = ResolveCallsignSteps(ref, "QQ2ABC", "20000101", rec, nullptr);
    EXPECT_TRUE(out.usCall);
    EXPECT_TRUE(out.found);
    EXPECT_EQ(rec.prefix, "K");
    EXPECT_EQ(rec.cqZone, "05");
}

// --- The file's own prefix (ADIF) ---

struct FilePrefixCase {
    const char* call;
    const char* filePrefix;
    bool found;
    bool used;
    const char* prefix;
    const char* cq;
    const char* itu;
    const char* filePrefixAfter;
};

void PrintTo(const FilePrefixCase& c, std::ostream* os) {
    *os << '"' << c.call << '"';
}

class FilePrefixTest : public ::testing::TestWithParam<FilePrefixCase> {};

TEST_P(FilePrefixTest, FilePrefixFirstThenResolved) {
    const ReferenceData ref = World();
    const FilePrefixCase& c = GetParam();
    ResolutionRecord rec;
    std::string filePrefix = c.filePrefix;
    const ResolveOutcome out = ResolveCallsignSteps(ref, c.call, "20000101", rec, &filePrefix);
    EXPECT_EQ(out.found, c.found);
    EXPECT_EQ(out.dxccPrefixUsed, c.used);
    EXPECT_EQ(rec.prefix, c.prefix);
    EXPECT_EQ(rec.cqZone, c.cq);
    EXPECT_EQ(rec.ituZone, c.itu);
    EXPECT_EQ(filePrefix, c.filePrefixAfter);
}

INSTANTIATE_TEST_SUITE_P(Adif, FilePrefixTest,
                         ::testing::Values(
                             // A known file prefix wins; zones already found stay.
                             FilePrefixCase{"KH6ABC", "KH6", true, true, "KH6", "31", "61", "KH6"},
                             FilePrefixCase{"W1ABC", "VE", true, true, "VE", "05", "09", "VE"},
                             FilePrefixCase{"DL1ABC", "G", true, true, "G", "14", "28", "G"},
                             // Unknown: the resolved prefix comes back and the file's is dropped.
                             FilePrefixCase{"DL1ABC", "QQ", true, false, "DL", "14", "28", ""},
                             FilePrefixCase{"W6XYZ", "ve", true, false, "K", "03", "07", ""},
                             // Too wide for any prefix: never cut into another country's.
                             FilePrefixCase{"DL1ABC", "KH6XX", true, false, "DL", "14", "28", ""},
                             // Both unknown.
                             FilePrefixCase{"ZZ9ZZ", "QQ", false, false, "Z", "", "", ""},
                             // No file prefix: the ordinary resolution.
                             FilePrefixCase{"DL1ABC", "", true, false, "DL", "14", "28", ""}));

}  // namespace
}  // namespace tvx
