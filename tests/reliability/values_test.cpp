// Values are data: quotes, semicolons, SQL words, format directives, long
// texts and other scripts are stored exactly as the source gave them (cut
// only where the field mapping cuts) and never break a lookup of the same or
// a later record.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/jet_row.h"
#include "import/contact.h"
#include "support/import_fixture.h"

namespace tvx::test {
namespace {

bool InCodePage1252(const std::string& text) {
    try {
        Utf8ToCp1252(text);
        return true;
    } catch (const JetValueError&) {
        return false;
    }
}

std::string Tag(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

std::string Contact(const std::string& call, const std::string& extra) {
    return Tag("CALL", call) + Tag("QSO_DATE", "20230415") + Tag("TIME_ON", "1234") +
           Tag("BAND", "20M") + Tag("MODE", "CW") + extra + "<EOR>\n";
}

const std::string kHeader = "Log\n<ADIF_VER:5>3.1.4 <EOH>\n";

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

struct ValueCase {
    const char* name;
    std::string field;  // ADIF field of a W1AW contact
    std::string value;
    std::string column;                 // QSO-TAB column it lands in
    std::optional<std::string> stored;  // what the column must hold
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kInjection = "x'); DROP TABLE [QSO-TAB]; --";

std::vector<ValueCase> ValueCases() {
    return {
        {"name_with_quotes", "NAME", "O'Brien \"Bob\"", "QSO-NAME", "O'Brien \"Bob\""},
        // Names keep their first 15 characters.
        {"name_with_sql", "NAME", kInjection, "QSO-NAME", "x'); DROP TABLE"},
        {"name_with_format", "NAME", "%s%s%n%x %d", "QSO-NAME", "%s%s%n%x %d"},
        {"name_cyrillic", "NAME", "Владимир Петров", "QSO-NAME", "Владимир Петров"},
        {"name_cjk", "NAME", "山田 太郎", "QSO-NAME", "山田 太郎"},
        {"name_hebrew", "NAME", "שלום עליכם", "QSO-NAME", "שלום עליכם"},
        {"name_emoji", "NAME", "Ann 📻", "QSO-NAME", "Ann 📻"},
        // Characters are counted, not bytes.
        {"name_very_long", "NAME", Repeat("ж", 300), "QSO-NAME", Repeat("ж", 15)},
        // A cut never leaves a blank at the end, which a re-import would trim.
        {"name_cut_at_a_blank", "NAME", "\"HIRO\" HIROSHI TANAKA", "QSO-NAME", "\"HIRO\" HIROSHI"},
        {"qth_cut_at_a_blank", "QTH", Repeat("x", 24) + " town", "QSO-QTH", Repeat("x", 24)},
        {"note_with_sql", "COMMENT", "It's; SELECT * FROM [CALLMAP]; --", "QSO-NOTE",
         "It's; SELECT * FROM [CALLMAP]; --"},
        {"note_with_format", "COMMENT", "%s %n %%", "QSO-NOTE", "%s %n %%"},
        // Comments keep their first 50 characters.
        {"note_long_greek", "COMMENT", Repeat("Ωμέγα ", 20), "QSO-NOTE",
         Left(Repeat("Ωμέγα ", 20), 50)},
        {"qth_with_sql", "QTH", "Robert'); DELETE FROM x; --", "QSO-QTH",
         "Robert'); DELETE FROM x;"},
        {"qth_japanese", "QTH", "東京都千代田区", "QSO-QTH", "東京都千代田区"},
        // The county stops at a quote, as the host program stores it; what is
        // left is looked up like any other county.
        {"county_quote_cut_then_found", "CNTY", "MA,Middlesex' OR '1'='1", "QSO-COUNTY",
         "MIDDLESEX"},
        {"county_with_semicolon_unknown", "CNTY", "MA,ESSEX; DROP TABLE [COUNTY-TAB]", "QSO-COUNTY",
         std::nullopt},
        {"county_format_unknown", "CNTY", "MA,%s%s", "QSO-COUNTY", std::nullopt},
        {"county_plain_found", "CNTY", "NJ,Essex", "QSO-COUNTY", "ESSEX"},
    };
}

class ValuesAreData : public testing::TestWithParam<ValueCase> {};

TEST_P(ValuesAreData, StoredExactlyAndLaterLookupsStillWork) {
    const ValueCase& c = GetParam();
    ImportFixture f;
    const std::string log =
        kHeader + Contact("W1AW", Tag(c.field, c.value)) + Contact("DL1ABC", Tag("NAME", "Hans"));
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", log)));
    const auto rows = f.rows();
    if (f.jet3Target() && c.stored && !InCodePage1252(*c.stored)) {
        // A Jet 3 database keeps text in its code page: the contact is refused
        // and reported, never stored with its text changed.
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].at("QSO-CALL"), "DL1ABC");
        const std::string report = f.reportBytes();
        EXPECT_NE(report.find("W1AW"), std::string::npos) << report;
        return;
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at(c.column), c.stored);
    EXPECT_EQ(rows[0].at("QSO-CALL"), "W1AW");
    EXPECT_EQ(rows[0].at("QSO-PREFIX"), "K");
    // The contact after it resolves as usual.
    EXPECT_EQ(rows[1].at("QSO-CALL"), "DL1ABC");
    EXPECT_EQ(rows[1].at("QSO-PREFIX"), "DL");
    EXPECT_EQ(rows[1].at("QSO-NAME"), "Hans");
}

std::string ValueCaseName(const testing::TestParamInfo<ValueCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Adif, ValuesAreData, testing::ValuesIn(ValueCases()), ValueCaseName);

// Calls that no country owns are reported, not stored, and take nothing with
// them: the report names them as they were, the next call still resolves.
TEST(ValuesAreData, StrangeCallsAreReportedAndBreakNothing) {
    ImportFixture f;
    const std::vector<std::string> calls = {"'; DROP TABLE [QSO-TAB]; --", "%s%n", "\"Q\"",
                                            "ЖЖ1ЖЖ"};
    std::string log = kHeader;
    for (const std::string& call : calls) log += Contact(call, "");
    log += Contact("JA1XYZ", "");
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", log)));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("QSO-CALL"), "JA1XYZ");
    EXPECT_EQ(rows[0].at("QSO-PREFIX"), "JA");
    const auto report = f.reportLines();
    ASSERT_EQ(report.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_NE(report[i].find(ToUpper(calls[i])), std::string::npos) << report[i];
    }
}

// A LoTW confirmation finds its contact by call, date, time, mode and band;
// a call with a quote and a semicolon is matched as text like any other.
TEST(ValuesAreData, LotwConfirmsAContactWhoseCallHoldsQuotes) {
    ImportFixture f;
    const std::string call = "W1AW/P'X;--";
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("log.adi", kHeader + Contact(call, ""))));
    ASSERT_EQ(f.rows().size(), 1u);
    const std::string lotw =
        "ARRL Logbook of the World Status Report\n<PROGRAMID:4>LoTW\n<APP_LoTW_NUMREC:1>1\n"
        "<eoh>\n" +
        Contact(call, Tag("APP_LoTW_OWNCALL", "N0CALL") + Tag("QSL_RCVD", "Y") +
                          Tag("QSLRDATE", "20230501"));
    ASSERT_TRUE(f.run(test::TypeOf("lotw"), f.writeSource("lotw.adi", lotw)));
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u) << "confirmed in place, not added";
    EXPECT_EQ(rows[0].at("QSO-CALL"), call);
    EXPECT_NE(rows[0].at("QSO-CONFIRM"), std::optional<std::string>("0"));
}

}  // namespace
}  // namespace tvx::test
