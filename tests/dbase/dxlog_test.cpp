// DXlog end to end: the frequency in megahertz as a number, logical QSL
// columns, comments that replace the note.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

const int kDxLog = test::TypeOf("dxlog");

const std::vector<DbfField> kFields = {
    {"CALL", 'C', 12},   {"DATE", 'D', 8},     {"TIME", 'C', 5},  {"BAND", 'N', 10, 4},
    {"MODE", 'C', 8},    {"RST", 'C', 3},      {"RSTRX", 'C', 3}, {"CONFIRM", 'L', 1},
    {"SENTQSL", 'L', 1}, {"COMMENTS", 'C', 60}};

const DbfRow kBase = {"DL1ABC", "19981225", "1234", "14.025", "SSB",
                      "579",    "589",      "T",    "T",      "nice"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

TEST(DxLog, Rows) {
    CheckRowCases(
        kDxLog, kFields,
        {
            {"all columns",
             kBase,
             {{"QSO-CALL", "DL1ABC"},
              {"QSO-DATE", "19981225"},
              {"QSO-TIME", "123400"},
              {"QSO-FREQ", "14025.00"},
              {"QSO-BAND", "6"},
              {"QSO-MODE", "0"},
              {"QSO-RSTS", "579"},
              {"QSO-RSTR", "589"},
              {"QSO-CONFIRM", "1"},
              {"QSO-QSLS", "1"},
              {"QSO-QSL-SENT", std::nullopt},
              {"QSO-NOTE", "nice"},
              {"QSO-PREFIX", "DL"},
              {"QSO-STATE", std::nullopt}}},
            {"whole megahertz",
             With({{3, "7"}}),
             {{"QSO-FREQ", "7000.00"}, {"QSO-BAND", "8"}, {"QSO-MODE", "1"}}},
            {"more digits than kilohertz",
             With({{3, "=   14.0255"}}),
             {{"QSO-FREQ", "14025.00"}, {"QSO-BAND", "6"}}},
            {"unlisted mode",
             With({{4, "OLIVIA"}}),
             {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "OLIVIA"}}},
            {"rty is not mapped", With({{4, "rty"}}), {{"QSO-MODE", "6"}, {"QSO-SUBMODE", "rty"}}},
            {"CW default reports",
             With({{4, "CW"}, {5, ""}, {6, ""}}),
             {{"QSO-MODE", "2"}, {"QSO-RSTS", "599"}, {"QSO-RSTR", "599"}}},
            {"comments cut to 50",
             With({{9, std::string(60, 'c')}}),
             {{"QSO-NOTE", std::string(50, 'c')}}},
            {"no QSL", With({{7, "F"}, {8, ""}}), {{"QSO-CONFIRM", "0"}, {"QSO-QSLS", "0"}}},
            {"Hawaii", With({{0, "KH6ABC"}}), {{"QSO-STATE", "HI"}}},
            {"United States has no state",
             With({{0, "W1AW"}}),
             {{"QSO-PREFIX", "K"}, {"QSO-STATE", std::nullopt}}},
            {"no frequency",
             With({{3, ""}}),
             {},
             "ERROR:  Band? DL1ABC 19981225 123400  2m  USB    "},
            {"separator is kept",
             With({{2, "12:34"}}),
             {},
             "ERROR:  Time? DL1ABC 19981225 12:3400  2m  USB    "},
            {"empty mode",
             With({{4, ""}}),
             {},
             "ERROR:  Mode? DL1ABC 19981225 123400 14025.00 20m  USB    "},
            {"empty date", With({{1, ""}}), {}, "ERROR:  Date? DL1ABC    2m  USB    "},
            {"short call", With({{0, "D"}}), {}, "ERROR:  Call? D    2m  USB    "},
        });
}

}  // namespace
}  // namespace tvx::test
