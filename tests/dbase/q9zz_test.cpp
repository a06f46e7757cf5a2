// Q9ZZ end to end: band and mode numbers, satellite contacts, QSL columns,
// IOTA with a dash.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

constexpr int kQ9zz = 11;

const std::vector<DbfField> kFields = {
    {"DATE", 'D', 8},  {"TIME", 'C', 5},       {"CALL", 'C', 12},    {"BAND", 'C', 2},
    {"MODE", 'C', 2},  {"RSTSENT", 'C', 3},    {"RSTRCVD", 'C', 3},  {"SATELLITE", 'C', 10},
    {"NOTE", 'C', 60}, {"QSLSENT", 'L', 1},    {"DATESENT", 'D', 8}, {"QSLRCVD", 'L', 1},
    {"STATE", 'C', 2}, {"GRIDSQUARE", 'C', 6}, {"IOTA", 'C', 6}};

const DbfRow kBase = {"19981225", "12:34", "W1AW",     "5", "1",  "579",  "589",   "",
                      "tnx",      "T",     "19990110", "T", "CT", "FN31", "NA-001"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

TEST(Q9zz, Rows) {
    CheckRowCases(
        kQ9zz, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-DATE", "19981225"},
              {"QSO-TIME", "123400"},
              {"QSO-CALL", "W1AW"},
              {"QSO-BAND", "6"},
              {"QSO-MODE", "0"},
              {"QSO-RSTS", "579"},
              {"QSO-RSTR", "589"},
              {"QSO-NOTE", "tnx"},
              {"QSO-SAT", "None"},
              {"QSO-QSLS", "1"},
              {"QSO-QSL-SENT", "19990110"},
              {"QSO-CONFIRM", "1"},
              {"QSO-STATE", "CT"},
              {"QSO-GRID", "FN31"},
              {"QSO-IOTA", "NA001"},
              {"QSO-FREQ", std::nullopt}}},
            {"80 m sideband", With({{3, "2"}}), {{"QSO-BAND", "9"}, {"QSO-MODE", "1"}}},
            {"160 m sideband", With({{3, "1"}}), {{"QSO-BAND", "10"}, {"QSO-MODE", "0"}}},
            {"band 0 is 70 cm", With({{3, "0"}}), {{"QSO-BAND", "12"}}},
            {"band 11 is 70 cm", With({{3, "11"}}), {{"QSO-BAND", "12"}}},
            {"band letter is 70 cm", With({{3, "X"}}), {{"QSO-BAND", "12"}}},
            {"CW",
             With({{4, "2"}, {5, ""}, {6, ""}}),
             {{"QSO-MODE", "2"}, {"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}}},
            {"SSTV", With({{4, "6"}}), {{"QSO-MODE", "7"}}},
            {"AMTOR", With({{4, "7"}}), {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "AMTOR"}}},
            {"PACTOR", With({{4, "8"}}), {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "PACTOR"}}},
            {"satellite",
             With({{7, "AO-10"}, {8, "via AO-10"}}),
             {{"QSO-NOTE", "AO-10 via AO-10"}, {"QSO-SAT", "MIR"}}},
            {"IOTA without dash", With({{14, "EU005"}}), {{"QSO-IOTA", "EU005"}}},
            {"IOTA too short", With({{14, "EU-05"}}), {{"QSO-IOTA", std::nullopt}}},
            {"no date sent", With({{10, ""}}), {{"QSO-QSL-SENT", std::nullopt}, {"QSO-QSLS", "1"}}},
            {"no QSL", With({{9, "F"}, {11, ""}}), {{"QSO-QSLS", "0"}, {"QSO-CONFIRM", "0"}}},
            {"one-letter state", With({{12, "C"}}), {{"QSO-STATE", std::nullopt}}},
            {"six-character grid", With({{13, "FN31PR"}}), {{"QSO-GRID", "FN31PR"}}},
            {"state of another country cleared",
             With({{2, "DL1ABC"}}),
             {{"QSO-STATE", std::nullopt}}},
            {"unknown mode",
             With({{4, "9"}}),
             {},
             "ERROR:  Mode? W1AW 19981225 123400  20m  USB    "},
            {"empty band", With({{3, ""}}), {}, "ERROR:  Band? W1AW 19981225 123400  2m  USB    "},
            {"empty date", With({{0, ""}}), {}, "ERROR:  Date?     2m  USB    "},
        });
}

}  // namespace
}  // namespace tvx::test
