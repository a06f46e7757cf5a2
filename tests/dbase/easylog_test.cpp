// EasyLog end to end: ADIF band names with the frequency as fallback,
// kilohertz or megahertz frequencies, QSL route letters.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

const int kEasyLog = test::TypeOf("easylog");

const std::vector<DbfField> kFields = {
    {"DATE", 'D', 8},    {"TIME_INI", 'C', 5}, {"BAND", 'C', 6},    {"FREQUENCY", 'C', 10},
    {"MODE", 'C', 8},    {"CALL", 'C', 12},    {"RST_SND", 'C', 3}, {"RST_RCV", 'C', 3},
    {"NAME", 'C', 20},   {"QTH", 'C', 30},     {"NOTE", 'C', 60},   {"LOCATOR", 'C', 6},
    {"QSL_SND", 'C', 1}, {"QSL_RCV", 'C', 3},  {"ITU", 'C', 2},     {"WAZ", 'C', 2},
    {"WPX", 'C', 6},     {"POWER", 'C', 5},    {"SAT", 'C', 10},    {"IOTA_REF", 'C', 6}};

const DbfRow kBase = {"19981225", "12:34", "20M",    "14.025", "SSB",  "DL1ABC", "579",
                      "589",      "Hans",  "Berlin", "tnx",    "JO62", "D",      "Y",
                      "28",       "14",    "",       "100",    "",     "EU001"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

const char* const kNoBand = "ERROR:  Band or Freq? DL1ABC 19981225 123400  000m  USB    ";

TEST(EasyLog, Rows) {
    CheckRowCases(
        kEasyLog, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-DATE", "19981225"}, {"QSO-TIME", "123400"},  {"QSO-CALL", "DL1ABC"},
              {"QSO-BAND", "6"},        {"QSO-FREQ", "14025.0"}, {"QSO-MODE", "0"},
              {"QSO-RSTS", "579"},      {"QSO-RSTR", "589"},     {"QSO-NAME", "Hans"},
              {"QSO-QTH", "Berlin"},    {"QSO-NOTE", "tnx"},     {"QSO-GRID", "JO62"},
              {"QSO-QSL-VIA", "1"},     {"QSO-QSLS", "1"},       {"QSO-QSL-SENT", "19981225"},
              {"QSO-CONFIRM", "1"},     {"QSO-POWER", "100"},    {"QSO-IOTA", "EU001"},
              {"QSO-WPX", "DL1"},       {"QSO-SAT", "None"}}},
            {"band name wins", With({{3, "7.050"}}), {{"QSO-BAND", "6"}, {"QSO-FREQ", "7050.0"}}},
            {"band from frequency", With({{2, ""}}), {{"QSO-BAND", "6"}}},
            {"whole megahertz",
             With({{2, ""}, {3, "7"}}),
             {{"QSO-FREQ", "7000.0"}, {"QSO-BAND", "8"}, {"QSO-MODE", "1"}}},
            {"kilohertz",
             With({{2, ""}, {3, "7050"}}),
             {{"QSO-FREQ", "7050.0"}, {"QSO-BAND", "8"}}},
            {"kilohertz with a point at the end",
             With({{2, ""}, {3, "7050."}}),
             {{"QSO-FREQ", "7050.0"}}},
            {"144 is megahertz",
             With({{2, ""}, {3, "144"}}),
             {{"QSO-FREQ", "144000.0"}, {"QSO-BAND", "0"}}},
            {"band name in lower case", With({{2, "40m"}}), {{"QSO-BAND", "8"}}},
            {"WPX from the log", With({{16, "DA0"}}), {{"QSO-WPX", "DA0"}}},
            {"Rty", With({{4, "Rty"}}), {{"QSO-MODE", "5"}}},
            {"QSL d", With({{12, "d"}}), {{"QSO-QSL-VIA", "1"}, {"QSO-QSLS", "1"}}},
            {"QSL S", With({{12, "S"}}), {{"QSO-QSL-VIA", "4"}}},
            {"QSL X",
             With({{12, "X"}}),
             {{"QSO-QSL-VIA", "5"}, {"QSO-QSLS", "0"}, {"QSO-QSL-SENT", std::nullopt}}},
            {"QSL empty", With({{12, ""}}), {{"QSO-QSL-VIA", "5"}, {"QSO-QSLS", "0"}}},
            {"received N", With({{13, "N"}}), {{"QSO-CONFIRM", "0"}}},
            {"received No", With({{13, "No"}}), {{"QSO-CONFIRM", "0"}}},
            {"received n", With({{13, "n"}}), {{"QSO-CONFIRM", "1"}}},
            {"odd locator", With({{11, "JO6"}}), {{"QSO-GRID", std::nullopt}}},
            {"IOTA with dash ignored", With({{19, "EU-001"}}), {{"QSO-IOTA", std::nullopt}}},
            {"no band, no frequency", With({{2, ""}, {3, ""}}), {}, kNoBand},
            {"no band, too precise frequency", With({{2, ""}, {3, "14.0255"}}), {}, kNoBand},
            {"empty mode",
             With({{4, ""}}),
             {},
             "ERROR:  Mode? DL1ABC 19981225 123400 14025.0 20m  USB    "},
        });
}

}  // namespace
}  // namespace tvx::test
