// LogPlus end to end: WPX column, strict frequency, QSL route letters, QSL
// date, YL and QRP marks.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

const int kLogPlus = test::TypeOf("logplus");

const std::vector<DbfField> kFields = {
    {"DATE", 'D', 8},  {"TIME", 'C', 5}, {"WPX", 'C', 6},     {"CALL", 'C', 12}, {"FREQ", 'C', 10},
    {"MODE", 'C', 8},  {"SENT", 'C', 3}, {"RCVD", 'C', 3},    {"NAME", 'C', 20}, {"NOTE", 'C', 60},
    {"QTH", 'C', 30},  {"ZONE", 'C', 2}, {"STATE", 'C', 3},   {"GRID", 'C', 6},  {"IOTA", 'C', 6},
    {"POWER", 'C', 5}, {"QSL", 'C', 1},  {"QSLDATE", 'D', 8}, {"YL", 'C', 1},    {"QRP", 'C', 1}};

const DbfRow kBase = {"19981225", "12:34", "",    "W1AW",     "14.025", "SSB", "579",
                      "589",      "John",  "tnx", "Boston",   "05",     "MA",  "FN42",
                      "NA001",    "100",   "D",   "19990110", "",       ""};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

TEST(LogPlus, Rows) {
    CheckRowCases(
        kLogPlus, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-DATE", "19981225"},
              {"QSO-TIME", "123400"},
              {"QSO-CALL", "W1AW"},
              {"QSO-FREQ", "14025.0"},
              {"QSO-BAND", "6"},
              {"QSO-MODE", "0"},
              {"QSO-RSTS", "579"},
              {"QSO-RSTR", "589"},
              {"QSO-NAME", "John"},
              {"QSO-NOTE", "tnx"},
              {"QSO-QTH", "Boston"},
              {"QSO-STATE", "MA"},
              {"QSO-GRID", "FN42"},
              {"QSO-IOTA", "NA001"},
              {"QSO-POWER", "100"},
              {"QSO-QSL-VIA", "1"},
              {"QSO-QSL-SENT", "19990110"},
              {"QSO-QSLS", "0"},
              {"QSO-CONFIRM", "0"},
              {"QSO-CATEGORY", "0"},
              {"QSO-PREFIX", "K"}}},
            {"WPX from the log", With({{2, "K1X"}}), {{"QSO-WPX", "K1X"}}},
            {"whole megahertz", With({{4, "21"}}), {{"QSO-FREQ", "21000.0"}, {"QSO-BAND", "4"}}},
            {"point at the end", With({{4, "21."}}), {{"QSO-FREQ", "21000.0"}}},
            {"RTY", With({{5, "RTY"}}), {{"QSO-MODE", "5"}}},
            {"three-letter state ignored", With({{12, "CAL"}}), {{"QSO-STATE", std::nullopt}}},
            {"state taken as it is", With({{12, "ca"}}), {{"QSO-STATE", "ca"}}},
            {"state of another country cleared",
             With({{3, "DL1ABC"}}),
             {{"QSO-STATE", std::nullopt}}},
            {"six-character grid", With({{13, "JN58TD"}}), {{"QSO-GRID", "JN58TD"}}},
            {"odd grid and IOTA ignored",
             With({{13, "JN5"}, {14, "EU-005"}}),
             {{"QSO-GRID", std::nullopt}, {"QSO-IOTA", std::nullopt}}},
            {"QSL x", With({{16, "x"}}), {{"QSO-QSL-VIA", "1"}, {"QSO-CONFIRM", "1"}}},
            {"QSL B", With({{16, "B"}}), {{"QSO-QSL-VIA", "0"}, {"QSO-CONFIRM", "0"}}},
            {"QSL unknown letter", With({{16, "Q"}}), {{"QSO-QSL-VIA", "5"}}},
            {"QSL empty", With({{16, ""}}), {{"QSO-QSL-VIA", "5"}}},
            {"no QSL date", With({{17, ""}}), {{"QSO-QSL-SENT", std::nullopt}}},
            {"QSL date of 1899", With({{17, "=18991230"}}), {{"QSO-QSL-SENT", std::nullopt}}},
            {"YL and QRP", With({{18, "x"}, {19, "X"}}), {{"QSO-CATEGORY", "3"}}},
            {"too precise frequency",
             With({{4, "14.0255"}}),
             {},
             "ERROR:  Freq? W1AW 19981225 123400  2m  USB    "},
            {"no frequency",
             With({{4, ""}}),
             {},
             "ERROR:  Band? W1AW 19981225 123400  2m  USB    "},
            {"empty mode",
             With({{5, ""}}),
             {},
             "ERROR:  Mode? W1AW 19981225 123400 14025.0 20m  USB    "},
        });
}

}  // namespace
}  // namespace tvx::test
