// The ADIF field mapping: every field of the table and its conversion.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "import/session.h"
#include "readers/adif_fields.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

// An engine outside a run.
using BareSession = test::BareEngine;

struct FieldCase {
    std::string name;
    std::string value;
    std::function<std::string(const WorkingContact&)> read;
    std::string expected;
};

std::string Str(const std::string& v) {
    return v;
}

std::vector<FieldCase> FieldCases() {
    auto call = [](const WorkingContact& s) { return Str(s.m_strCall); };
    auto band = [](const WorkingContact& s) { return Str(s.m_strBand); };
    auto mode = [](const WorkingContact& s) { return s.m_strMode + "|" + s.m_strSubmode; };
    auto time = [](const WorkingContact& s) { return Str(s.m_strTime); };
    auto endTime = [](const WorkingContact& s) { return Str(s.m_strEndTime); };
    auto date = [](const WorkingContact& s) { return Str(s.m_strDate); };
    auto rdate = [](const WorkingContact& s) {
        return std::to_string(s.m_nConfirmed) + "|" + s.m_strQslRcvdDate;
    };
    auto confirmed = [](const WorkingContact& s) { return std::to_string(s.m_nConfirmed); };
    auto qslSent = [](const WorkingContact& s) { return std::to_string(s.m_bQslSent); };
    auto sdate = [](const WorkingContact& s) { return Str(s.m_strQslSentDate); };
    auto state = [](const WorkingContact& s) { return Str(s.m_strState); };
    auto freq = [](const WorkingContact& s) { return Str(s.m_strFreq); };
    auto cq = [](const WorkingContact& s) { return Str(s.m_strCqZone); };
    auto itu = [](const WorkingContact& s) { return Str(s.m_strItuZone); };
    auto yl = [](const WorkingContact& s) { return std::to_string(s.m_bYL); };
    auto qrp = [](const WorkingContact& s) { return std::to_string(s.m_bQRP); };
    auto rstr = [](const WorkingContact& s) { return Str(s.m_strRstRcvd); };
    auto rsts = [](const WorkingContact& s) { return Str(s.m_strRstSent); };
    auto tenTen = [](const WorkingContact& s) { return Str(s.m_strTenTen); };
    auto iota = [](const WorkingContact& s) { return Str(s.m_strIota); };
    auto grid = [](const WorkingContact& s) { return Str(s.m_strGrid); };
    auto wpx = [](const WorkingContact& s) { return Str(s.m_strWpx); };
    auto note = [](const WorkingContact& s) { return Str(s.m_strNote); };
    auto via = [](const WorkingContact& s) { return Str(s.m_strQslVia); };
    auto section = [](const WorkingContact& s) { return Str(s.m_strSection); };
    auto name = [](const WorkingContact& s) { return Str(s.m_strName); };
    auto qth = [](const WorkingContact& s) { return Str(s.m_strQth); };
    auto sat = [](const WorkingContact& s) { return Str(s.m_strSatName); };
    auto spec1 = [](const WorkingContact& s) { return Str(s.m_strSpec1); };
    auto spec2 = [](const WorkingContact& s) { return Str(s.m_strSpec2); };
    auto opr = [](const WorkingContact& s) { return Str(s.m_strOprCall); };
    auto own = [](const WorkingContact& s) { return Str(s.m_strOwnCall); };
    auto power = [](const WorkingContact& s) { return Str(s.m_strPower); };
    auto user1 = [](const WorkingContact& s) { return std::to_string(s.m_bUser1); };
    auto user2 = [](const WorkingContact& s) { return std::to_string(s.m_bUser2); };
    auto prefix = [](const WorkingContact& s) { return Str(s.m_strPrefix); };
    auto award = [](const WorkingContact& s) { return std::to_string(s.m_nAward); };
    auto mgr = [](const WorkingContact& s) { return Str(s.m_strMgrNumber); };
    auto qslNumber = [](const WorkingContact& s) { return Str(s.m_strQslNumber); };
    auto select = [](const WorkingContact& s) { return std::to_string(s.m_nSelect); };
    auto valid = [](const WorkingContact& s) { return std::to_string(s.m_nValid); };
    auto confirm = [](const WorkingContact& s) { return Str(s.m_strConfirm); };
    auto qsls = [](const WorkingContact& s) { return Str(s.m_strQslsStatus); };
    auto lotwr = [](const WorkingContact& s) { return Str(s.m_strLotwRcvdDate); };
    auto satMode = [](const WorkingContact& s) { return Str(s.m_strSatMode); };
    auto county = [](const WorkingContact& s) { return s.m_strState + "|" + s.m_strCounty; };

    return {
        {"CALL", "dl1abc", call, "DL1ABC"},
        {"BAND", "20m", band, "6"},
        {"BAND", " 20M", band, "6"},
        {"BAND", "160M", band, "10"},
        {"BAND", "60m", band, "23"},
        {"BAND", "35cm", band, "13"},
        {"BAND", "1.25cm", band, "19"},
        {"BAND", "4M", band, "22"},
        {"BAND", "33CM", band, "99"},
        {"BAND", "20 m", band, "99"},
        {"MODE", "usb", mode, "0|"},
        {"MODE", "CW", mode, "2|"},
        {"MODE", "SSB", mode, "89|"},
        {"MODE", "phone", mode, "89|"},
        {"MODE", "PHO", mode, "89|"},
        {"MODE", "MTTY", mode, "5|"},
        {"MODE", "FSK", mode, "5|"},
        {"MODE", "AM", mode, "4|"},
        {"MODE", "FM", mode, "3|"},
        {"MODE", "DIGITAL", mode, "6|"},
        {"MODE", "PSK31", mode, "6|PSK31"},
        {"MODE", "sstv-robot", mode, "7|"},
        {"MODE", "OLIVIA-8-500-X", mode, "6|OLIVIA-8-500"},
        {"MODE", "ABCDEFGHIJKLMNOP", mode, "99|"},
        {"SUBMODE", "FT4", mode, "6|FT4"},
        {"TVXSUBMODE", "jt65b-long-name", mode, "6|JT65B-LONG-N"},
        {"TIME_ON", "1234", time, "123400"},
        {"TIME_ON", "12345", time, "123400"},
        {"TIME_ON", "123456", time, "123456"},
        {"TIME_ON", "1234567", time, "123456"},
        {"TIME_ON", "12", time, ""},
        {"TIME_OFF", "0815", endTime, "081500"},
        {"QSO_DATE", "20230415", date, "20230415"},
        {"QSO_DATE", "2023041", date, ""},
        {"QSLRDATE", "20230501", rdate, "1|20230501"},
        {"QSLRDATE", "2023", rdate, "1|"},
        {"QSL_RCVD", "y", confirmed, "1"},
        {"QSL_RCVD", "N", confirmed, "0"},
        {"QSL_RCVD", "YES", confirmed, "0"},
        {"QSL_SENT", "Y", qslSent, "1"},
        {"QSLSDATE", "20230502", sdate, "20230502"},
        {"STATE", "ma", state, "MA"},
        {"STATE", "MAS", state, ""},
        {"FREQ", "14", freq, "14000.00"},
        {"FREQ", "14.2", freq, "14200.00"},
        {"FREQ", "14.0255", freq, "14025.00"},
        {"FREQ", "7.1", freq, "7100.00"},
        {"FREQ", "0.1357", freq, "0135.00"},
        {"FREQ", "14.", freq, "14000.00"},
        {"FREQ", "144.30", freq, "144300.00"},
        {"FREQ", "", freq, ""},
        {"CQZ", "5", cq, "05"},
        {"CQZ", "14", cq, "14"},
        {"CQZ", "123", cq, ""},
        {"ITUZ", "8", itu, "08"},
        {"YL", "Y", yl, "1"},
        {"QRP", "y", qrp, "1"},
        {"RST_RCVD", "579", rstr, "579"},
        {"RST_RCVD", "5799", rstr, ""},
        {"RST_SENT", "-12", rsts, "-12"},
        {"TEN_TEN", "1234567", tenTen, "1234567"},
        {"TEN_TEN", "12345678", tenTen, ""},
        {"IOTA", "EU-005", iota, "EU005"},
        {"IOTA", "eu 005", iota, "EU005"},
        {"IOTA", "EU_005", iota, "EU005"},
        {"IOTA", "EU-05", iota, ""},
        {"GRIDSQUARE", "fn42ab", grid, "FN42AB"},
        {"GRIDSQUARE", "FN42", grid, "FN42"},
        {"GRIDSQUARE", "EN44ix45", grid, "EN44"},
        {"GRIDSQUARE", "FN4", grid, ""},
        {"PFX", "w1", wpx, "W1"},
        {"PFX", "ABCDEF", wpx, ""},
        {"COMMENT", "  Nice QSO", note, "Nice QSO"},
        {"COMMENT", std::string(50, 'a') + std::string(10, 'b'), note, std::string(50, 'a')},
        {"COMMENT", "", note, ""},
        {"QSL_VIA", "bureau", via, "0"},
        {"QSL_VIA", "B", via, "0"},
        {"QSL_VIA", "d", via, "1"},
        {"QSL_VIA", "Direct", via, "1"},
        {"QSL_VIA", "$", via, "2"},
        {"QSL_VIA", "Direct$$", via, "2"},
        {"QSL_VIA", "Manager", via, "3"},
        {"QSL_VIA", "Other", via, "4"},
        {"QSL_VIA", "Mgr-Buro", via, "6"},
        {"QSL_VIA", "qsl-svc", via, "7"},
        {"QSL_VIA", "MGR$$", via, "8"},
        {"QSL_VIA", "W1AW", via, "5"},
        {"QSL_VIA", "", via, "5"},
        {"ARRL_SECT", "wma", section, "WMA"},
        {"NAME", "Hans-Joachim Friedrich", name, "Hans-Joachim Friedrich"},
        {"QTH", "A very long town name that goes on", qth, "A very long town name tha"},
        {"SAT_NAME", "AO-91X", sat, "AO-91"},
        {"SAT_NAME", ">", sat, ""},
        {"SPEC1", "short", spec1, "short"},
        {"SPEC1", std::string(26, 's'), spec1, ""},
        {"SPEC2", std::string(25, 't'), spec2, "ttttttttttttttttttttttttt"},
        {"OPERATOR", "k9cts/portable-long", opr, "K9CTS/PORTABLE-"},
        {"APP_LOTW_OWNCALL", "k9cts", own, "K9CTS"},
        {"TX_PWR", "1500.0", power, "1500"},
        {"TVXUSER1", "Y", user1, "1"},
        {"TVXUSER2", "Y", user2, "1"},
        {"TVXPFX", "KH6X", prefix, "KH6X"},
        {"TVXPFX", "VP2EX", prefix, "VP2E"},
        {"TVXAWD", "12abc", award, "12"},
        {"TVXAWD", "abc", award, "0"},
        {"TVXMGRN", "37", mgr, "3"},
        {"TVXQSLN", "A-17", qslNumber, "A-17"},
        {"TVXSEL", "4", select, "4"},
        {"TVXVAL", "1", valid, "1"},
        {"TVXQSL_RCVD", "3", confirm, "3"},
        {"TVXQSL_SENT", "2", qsls, "2"},
        {"TVXLOTWR", "20230601", lotwr, "20230601"},
        {"PROP_MODE", "SAT", satMode, "SAT"},
        {"CNTY", "ma middlesex", county, "|"},
        {"CNTY", "MASS,Middlesex", county, "|"},
        {"CNTY", "MA,", county, "MA|"},
        {"UNKNOWN_FIELD", "x", call, ""},
    };
}

TEST(AdifFields, EveryFieldAndConversion) {
    for (const FieldCase& c : FieldCases()) {
        BareSession b;
        ApplyAdifField(b.adif, c.name, c.value);
        EXPECT_EQ(c.read(b.c), c.expected) << c.name << " " << c.value;
    }
}

TEST(AdifFields, YesFieldsNeverClearAFlag) {
    BareSession b;
    ApplyAdifField(b.adif, "QSL_RCVD", "Y");
    ApplyAdifField(b.adif, "QSL_RCVD", "N");
    EXPECT_EQ(b.c.m_nConfirmed, 1);
}

TEST(AdifFields, LaterValueOfAFieldWins) {
    BareSession b;
    ApplyAdifField(b.adif, "NAME", "Bob");
    ApplyAdifField(b.adif, "NAME", "Jim");
    EXPECT_EQ(b.c.m_strName, "Jim");
}

TEST(AdifFields, ModeAndSubmodeTheLaterWins) {
    BareSession b;
    ApplyAdifField(b.adif, "MODE", "SSB");
    ApplyAdifField(b.adif, "SUBMODE", "USB");
    EXPECT_EQ(b.c.m_strMode, "0");
    BareSession other;
    ApplyAdifField(other.adif, "SUBMODE", "USB");
    ApplyAdifField(other.adif, "MODE", "SSB");
    EXPECT_EQ(other.c.m_strMode, "89");
}

TEST(AdifFields, ExplicitStateBeforeCountyWins) {
    BareSession b;
    ApplyAdifField(b.adif, "STATE", "NH");
    ApplyAdifField(b.adif, "CNTY", "ma,");
    EXPECT_EQ(b.c.m_strState, "NH");
}

TEST(AdifFields, CountyLongerThan25CharactersIsDropped) {
    BareSession b;
    ApplyAdifField(b.adif, "CNTY", "TX," + std::string(26, 'A'));
    EXPECT_EQ(b.c.m_strState, "TX");
    EXPECT_EQ(b.c.m_strCounty, "");
}

TEST(AdifFields, CountyEmptyBeforeAnApostropheIsNotLookedUp) {
    BareSession b;
    ApplyAdifField(b.adif, "CNTY", "MD,'x");
    EXPECT_EQ(b.c.m_strState, "MD");
    EXPECT_EQ(b.c.m_strCounty, "");
    EXPECT_TRUE(b.host.problems.empty());
}

TEST(AdifConversions, FrequencyAndBandNamesForOtherReaders) {
    EXPECT_EQ(AdifFrequencyToKhz("14.025000"), "14025.00");
    EXPECT_EQ(AdifFrequencyToKhz("3.5"), "3500.00");
    EXPECT_EQ(AdifFrequencyToKhz("1.2.3"), "1200.00");
    EXPECT_EQ(AdifBandCode("2m"), "0");
    EXPECT_EQ(AdifBandCode("70CM"), "12");
    EXPECT_EQ(AdifBandCode("23cm"), "14");
    EXPECT_EQ(AdifBandCode("6mm"), "20");
    EXPECT_EQ(AdifBandCode(""), "99");
}

}  // namespace
}  // namespace tvx
