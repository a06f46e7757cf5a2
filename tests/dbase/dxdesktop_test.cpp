// DX DeskTop end to end: mode letters, QSL columns where only "N" is no, and
// the state kept for the United States alone.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

const int kDxDeskTop = test::TypeOf("dxdesktop");

const std::vector<DbfField> kFields = {
    {"DATE", 'D', 8},   {"TIME", 'C', 4},     {"CALLSIGN", 'C', 12}, {"RSTSENT", 'C', 3},
    {"RSTRCD", 'C', 3}, {"BAND", 'C', 4},     {"MODE", 'C', 1},      {"POWER", 'C', 6},
    {"NAME", 'C', 20},  {"REMARKS", 'C', 60}, {"QSLSENT", 'C', 1},   {"QSLRCD", 'C', 1},
    {"STATE", 'C', 3}};

const DbfRow kBase = {"19981225", "1234", "W1AW", "579", "589", "20", "P",
                      "100",      "John", "tnx",  "Y",   "Y",   "CT"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

const char* const kModeWarning = "Warning: Mode? W1AW 19981225 123400  20m  USB 579 589  ";

TEST(DxDeskTop, Rows) {
    CheckRowCases(
        kDxDeskTop, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-DATE", "19981225"},
              {"QSO-TIME", "123400"},
              {"QSO-CALL", "W1AW"},
              {"QSO-BAND", "6"},
              {"QSO-MODE", "0"},
              {"QSO-FREQ", std::nullopt},
              {"QSO-POWER", "100"},
              {"QSO-NAME", "John"},
              {"QSO-NOTE", "tnx"},
              {"QSO-QSLS", "1"},
              {"QSO-QSL-SENT", std::nullopt},
              {"QSO-CONFIRM", "1"},
              {"QSO-STATE", "CT"},
              {"QSO-PREFIX", "K"},
              {"QSO-SAT", "None"}}},
            {"C is CW", With({{6, "C"}}), {{"QSO-MODE", "2"}}},
            {"R is RTTY", With({{6, "R"}}), {{"QSO-MODE", "5"}}},
            {"P on 40 m is LSB", With({{5, "40"}}), {{"QSO-BAND", "8"}, {"QSO-MODE", "1"}}},
            {"S is a satellite", With({{6, "S"}}), {{"QSO-MODE", "0"}, {"QSO-SAT", "MIR"}}},
            {"lower-case letter warns",
             With({{6, "c"}}),
             {{"QSO-MODE", "0"}},
             nullptr,
             {kModeWarning}},
            {"empty mode warns", With({{6, ""}}), {{"QSO-MODE", "0"}}, nullptr, {kModeWarning}},
            {"QSL anything but N",
             With({{10, "R"}, {11, ""}}),
             {{"QSO-QSLS", "1"}, {"QSO-CONFIRM", "1"}}},
            {"QSL N", With({{10, "N"}, {11, "N"}}), {{"QSO-QSLS", "0"}, {"QSO-CONFIRM", "0"}}},
            {"state cut to two", With({{12, "CAL"}}), {{"QSO-STATE", "CA"}}},
            {"state of another country cleared",
             With({{2, "DL1ABC"}}),
             {{"QSO-PREFIX", "DL"}, {"QSO-STATE", std::nullopt}}},
            {"Hawaii whatever the column says", With({{2, "KH6ABC"}}), {{"QSO-STATE", "HI"}}},
            {"empty band",
             With({{5, ""}}),
             {},
             "ERROR:  Band? W1AW 19981225 123400  2m  USB 579 589  "},
            {"unknown band",
             With({{5, "60"}}),
             {},
             "ERROR:  Band? W1AW 19981225 123400  2m  USB 579 589  "},
            {"hour 25", With({{1, "2500"}}), {}, "ERROR:  Time?  19981225 250000  2m  USB    "},
        });
}

}  // namespace
}  // namespace tvx::test
