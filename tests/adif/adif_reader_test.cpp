// The ADIF reader's own steps: segments, validation, note, sideband, sections.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/domain.h"
#include "import/session.h"
#include "readers/adif.h"
#include "readers/readers.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

using BareSession = test::BareEngine;

struct SegmentCase {
    std::string segment;
    int result;
    std::string call;
    std::string name;
    std::string state;
};

TEST(AdifSegment, NamesEndOfRecordAndDeclaredLengths) {
    const std::vector<SegmentCase> cases = {
        {"CALL:5>K1ABC", 0, "K1ABC", "", ""},
        {"call:5>k1abc", 0, "K1ABC", "", ""},
        {"Call:5>K1ABC   ", 0, "K1ABC", "", ""},
        {"EOR>", 1, "", "", ""},
        {"eor>", 1, "", "", ""},
        {"eOr>  ", 1, "", "", ""},
        {"EOR:0>", 0, "", "", ""},
        {"EOR", 0, "", "", ""},
        // LoTW puts a comment after the value inside the declared length.
        {"STATE:2>OK // Oklahoma", 0, "", "", "OK"},
        {"CALL:4>K1ABC", 0, "K1AB", "", ""},
        {"NAME:10>Hans", 0, "", "Hans", ""},
        {"NAME:4:S>Hans Peter", 0, "", "Hans", ""},
        {"NAME:5>Hans Peter", 0, "", "Hans", ""},
        // Without a length the name runs to ">" and is not a field.
        {"NAME>Hans Peter", 0, "", "", ""},
        {"NAME:x>Hans Peter", 0, "", "Hans Peter", ""},
        {"NAME:4>J\xC3\xB6rg M\xC3\xBCller", 0, "", "J\xC3\xB6rg", ""},
        {"NAME:0>ignored", 0, "", "", ""},
        {"NAME:6>  Ann  ", 0, "", "  Ann", ""},
        {"CALL", 0, "", "", ""},
        {"CALL:5", 0, "", "", ""},
        {"UNKNOWN:3>abc", 0, "", "", ""},
    };
    for (const SegmentCase& c : cases) {
        BareSession b;
        EXPECT_EQ(ParseAdifSegment(b.adif, c.segment), c.result) << c.segment;
        EXPECT_EQ(b.c.m_strCall, c.call) << c.segment;
        EXPECT_EQ(b.c.m_strName, c.name) << c.segment;
        EXPECT_EQ(b.c.m_strState, c.state) << c.segment;
    }
}

TEST(AdifNote, ComposedFromCommentExtraNoteAndDefault) {
    struct Case {
        std::string note, note2, defaultNote, expected;
    };
    const std::string fifty(50, 'n');
    const std::vector<Case> cases = {
        {"Hi", "", "", "Hi "},
        {"Hi", "", "Tnx", "Hi Tnx"},
        {"", "", "Tnx", " Tnx"},
        {"", "", "", " "},
        {fifty, "", "X", fifty},
        {std::string(51, 'n'), "", "", " "},
        {"Hi", "Pre", "", "Pre Hi "},
        {"Hi", "Pre", "D", "Pre Hi D"},
        {std::string(46, 'n'), "Pre", "", "Pre "},
        {std::string(45, 'n'), "Pre", "", "Pre " + std::string(45, 'n') + " "},
        {std::string(40, 'n'), "", std::string(9, 'd'),
         std::string(40, 'n') + " " + std::string(9, 'd')},
        {std::string(40, 'n'), "", std::string(10, 'd'), std::string(40, 'n')},
    };
    for (const Case& c : cases) {
        BareSession b;
        b.c.m_strNote = c.note;
        b.c.m_strNote2 = c.note2;
        ComposeNote(b.c, c.defaultNote);
        EXPECT_EQ(b.c.m_strNote, c.expected) << c.note << "|" << c.note2 << "|" << c.defaultNote;
    }
}

TEST(AdifSideband, LowerSidebandBelowTenMegahertz) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"8", "1"}, {"9", "1"}, {"10", "1"}, {"23", "0"}, {"6", "0"}, {"2", "0"}, {"0", "0"},
    };
    for (const auto& [band, mode] : cases) {
        BareSession b;
        b.c.m_strBand = band;
        b.c.m_strMode = "89";
        ResolvePhoneSideband(b.c);
        EXPECT_EQ(b.c.m_strMode, mode) << band;
    }
}

TEST(AdifSection, StateOfAnArrlSection) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ENY", "NY"},
        {"WNY", "NY"},
        {"NLI", "NY"},
        {"NNJ", "NJ"},
        {"NNY", "NY"},
        {"SNJ", "NJ"},
        {"EMA", "MA"},
        {"WMA", "MA"},
        {"MDC", "MD"},
        {"DC", "MD"},
        {"NFL", "FL"},
        {"EPA", "PA"},
        {"WPA", "PA"},
        {"EB", "CA"},
        {"LAX", "CA"},
        {"ORG", "CA"},
        {"SB", "CA"},
        {"SCV", "CA"},
        {"SDG", "CA"},
        {"SF", "CA"},
        {"SJV", "CA"},
        {"SV", "CA"},
        {"SFL", "FL"},
        {"WCF", "FL"},
        {"NTX", "TX"},
        {"STX", "TX"},
        {"WTX", "TX"},
        {"ORE", "OR"},
        {"EWA", "WA"},
        {"WWA", "WA"},
        {"eny", "eny"},
        {"WI", "WI"},
        {"", ""},
        {"A-SECTION-TEXT-LONGER-THAN-ANY-CALLSIGN", "A-SECTION-TEXT-LONGER-THAN-ANY-CALLSIGN"},
    };
    for (const auto& [section, state] : cases) EXPECT_EQ(SectionToState(section), state);
}

// A contact that passes every check of CheckContact.
void FillGoodContact(WorkingContact& s) {
    s.m_strCall = "DL1ABC";
    s.m_strBand = "6";
    s.m_strMode = "2";
    s.m_strDate = "20230415";
    s.m_strTime = "123400";
}

TEST(AdifValidate, ChecksInTheirOrder) {
    struct Case {
        const char* what;
        void (*change)(WorkingContact&);
        bool accepted;
        std::vector<std::string> problemStarts;
    };
    const std::vector<Case> cases = {
        {"short call before empty band",
         [](WorkingContact& s) {
             s.m_strCall = "K";
             s.m_strBand.clear();
         },
         false,
         {"ERROR:  Call? K "}},
        {"empty band before empty mode",
         [](WorkingContact& s) {
             s.m_strBand.clear();
             s.m_strMode.clear();
         },
         false,
         {"ERROR:  Band? DL1ABC"}},
        {"empty mode before bad date",
         [](WorkingContact& s) {
             s.m_strMode.clear();
             s.m_strDate = "20230230";
         },
         false,
         {"ERROR:  Mode? DL1ABC"}},
        {"bad date before bad time",
         [](WorkingContact& s) {
             s.m_strDate = "20230230";
             s.m_strTime = "246000";
         },
         false,
         {"ERROR:  Date? DL1ABC"}},
        {"bad time", [](WorkingContact& s) { s.m_strTime = ""; }, false, {"ERROR:  Time? DL1ABC"}},
        {"bad end time is a warning",
         [](WorkingContact& s) { s.m_strEndTime = "999900"; },
         true,
         {"Warning: Endtime? DL1ABC"}},
        {"bad QSL dates are warnings",
         [](WorkingContact& s) {
             s.m_strQslSentDate = "20231301";
             s.m_strQslRcvdDate = "2023";
         },
         true,
         {"Warning: SDate? DL1ABC", "Warning: RDate? DL1ABC"}},
        {"good contact", [](WorkingContact&) {}, true, {}},
    };
    for (const Case& c : cases) {
        BareSession b;
        FillGoodContact(b.c);
        c.change(b.c);
        EXPECT_EQ(b.s.CheckContact(), c.accepted) << c.what;
        std::vector<std::string> problems(b.host.problems.rbegin(), b.host.problems.rend());
        ASSERT_EQ(problems.size(), c.problemStarts.size()) << c.what;
        for (std::size_t i = 0; i < problems.size(); ++i) {
            EXPECT_EQ(problems[i].rfind(c.problemStarts[i], 0), 0u)
                << c.what << ": " << problems[i];
        }
    }
}

TEST(AdifValidate, MarksEmptyBandAndModeForTheReport) {
    BareSession b;
    FillGoodContact(b.c);
    b.c.m_strBand.clear();
    EXPECT_FALSE(b.s.CheckContact());
    EXPECT_EQ(b.c.m_strBand, "noBand");
    BareSession other;
    FillGoodContact(other.c);
    other.c.m_strMode.clear();
    EXPECT_FALSE(other.s.CheckContact());
    EXPECT_EQ(other.c.m_strMode, "noMode");
}

TEST(AdifValidate, CompletesTheContact) {
    struct Case {
        std::string mode, rstSent, rstRcvd, cq, itu, expRstSent, expRstRcvd, expCq, expItu;
    };
    const std::vector<Case> cases = {
        {"2", "", "", "14", "28", "599", "599", "14", "28"},
        {"5", "", "579", "40", "99", "599", "579", "40", "99"},
        {"0", "", "", "41", "00", "59", "59", "", ""},
        {"6", "-10", "", "5", "100", "-10", "59", "", ""},
        {"7", "", "", "0A", "01", "59", "59", "", "01"},
    };
    for (const Case& c : cases) {
        BareSession b;
        FillGoodContact(b.c);
        b.c.m_strMode = c.mode;
        b.c.m_strRstSent = c.rstSent;
        b.c.m_strRstRcvd = c.rstRcvd;
        b.c.m_strCqZone = c.cq;
        b.c.m_strItuZone = c.itu;
        ASSERT_TRUE(b.s.CheckContact());
        EXPECT_EQ(b.c.m_strRstSent, c.expRstSent) << c.mode;
        EXPECT_EQ(b.c.m_strRstRcvd, c.expRstRcvd) << c.mode;
        EXPECT_EQ(b.c.m_strCqZone, c.expCq) << c.cq;
        EXPECT_EQ(b.c.m_strItuZone, c.expItu) << c.itu;
    }
}

// Without a prefix from the file the state waits for the resolved prefix.
TEST(AdifValidate, CutsTextsAndKeepsStatesOnlyForUsPrefixes) {
    const std::vector<std::pair<std::string, std::string>> prefixes = {
        {"K", "MA"}, {"KH6", "MA"}, {"KL7", "MA"}, {"", "MA"}, {"VE", ""}, {"KP4", ""}};
    for (const auto& [prefix, state] : prefixes) {
        BareSession b;
        FillGoodContact(b.c);
        b.c.m_strPrefix = prefix;
        b.c.m_strState = "MA";
        b.c.m_strName = "Maximilian Alexander";
        b.c.m_strQth = std::string(30, 'q');
        b.c.m_strSpec1 = std::string(30, 'a');
        b.c.m_strSpec2 = std::string(30, 'b');
        ASSERT_TRUE(b.s.CheckContact());
        EXPECT_EQ(b.c.m_strState, state) << prefix;
        EXPECT_EQ(b.c.m_strName, "Maximilian Alex");
        EXPECT_EQ(b.c.m_strQth, std::string(25, 'q'));
        EXPECT_EQ(b.c.m_strSpec1, std::string(25, 'a'));
        EXPECT_EQ(b.c.m_strSpec2, std::string(25, 'b'));
    }
}

TEST(AdifValidate, QslSentDateFromTheQsoDateWhenAsked) {
    BareSession b;
    FillGoodContact(b.c);
    b.options.qslSentFromDate = true;
    ASSERT_TRUE(b.s.CheckContact());
    EXPECT_EQ(b.c.m_strQslSentDate, "20230415");
    BareSession other;
    FillGoodContact(other.c);
    ASSERT_TRUE(other.s.CheckContact());
    EXPECT_EQ(other.c.m_strQslSentDate, "");
}

}  // namespace
}  // namespace tvx
