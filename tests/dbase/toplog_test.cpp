// TopLog end to end: the call read first, two-digit years, continent and WPX
// columns.

#include <gtest/gtest.h>

#include "dbase_import.h"

namespace tvx::test {
namespace {

const int kTopLog = test::TypeOf("toplog");

const std::vector<DbfField> kFields = {{"DATA", 'C', 10},      {"ORA", 'C', 5},   {"FREQ", 'C', 10},
                                       {"MODO", 'C', 8},       {"CALL", 'C', 12}, {"RSTI", 'C', 3},
                                       {"RSTR", 'C', 3},       {"QSLI", 'C', 1},  {"QSLR", 'C', 1},
                                       {"NOME", 'C', 20},      {"QTH", 'C', 30},  {"INFO", 'C', 60},
                                       {"CONTINENT", 'C', 30}, {"PX", 'C', 8}};

const DbfRow kBase = {"98/12/25", "1234", "14.025", "SSB",    "IK2ABC", "579", "589",
                      "Y",        "y",    "Mario",  "Milano", "ciao",   "EU",  "IK2"};

DbfRow With(std::initializer_list<std::pair<int, std::string>> changes) {
    DbfRow row = kBase;
    for (const auto& [pos, value] : changes) row[pos] = value;
    return row;
}

TEST(TopLog, Rows) {
    CheckRowCases(kTopLog, kFields,
                  {
                      {"all columns",
                       kBase,
                       {{"QSO-DATE", "19981225"},
                        {"QSO-TIME", "123400"},
                        {"QSO-CALL", "IK2ABC"},
                        {"QSO-FREQ", "14025.0"},
                        {"QSO-BAND", "6"},
                        {"QSO-MODE", "0"},
                        {"QSO-RSTS", "579"},
                        {"QSO-RSTR", "589"},
                        {"QSO-QSLS", "1"},
                        {"QSO-QSL-SENT", std::nullopt},
                        {"QSO-CONFIRM", "1"},
                        {"QSO-NAME", "Mario"},
                        {"QSO-QTH", "Milano"},
                        {"QSO-NOTE", "ciao"},
                        {"QSO-SPEC1", "EU"},
                        {"QSO-WPX", "IK2"},
                        {"QSO-PREFIX", "I"}}},
                      {"dots", With({{0, "05.03.17"}}), {{"QSO-DATE", "20050317"}}},
                      {"2039", With({{0, "39-01-01"}}), {{"QSO-DATE", "20390101"}}},
                      {"1940", With({{0, "40-01-01"}}), {{"QSO-DATE", "19400101"}}},
                      {"WPX cut to six", With({{13, "IK2ABC1"}}), {{"QSO-WPX", "IK2ABC"}}},
                      {"no continent", With({{12, ""}}), {{"QSO-SPEC1", std::nullopt}}},
                      {"no QSL sent", With({{7, "N"}}), {{"QSO-QSLS", "0"}}},
                      {"Hawaii", With({{4, "KH6ABC"}}), {{"QSO-STATE", "HI"}}},
                      {"four-digit year",
                       With({{0, "1998/12/25"}}),
                       {},
                       "ERROR:  Date? IK2ABC 1998/12/25   2m  USB    "},
                      {"separator is kept",
                       With({{1, "12:34"}}),
                       {},
                       "ERROR:  Time? IK2ABC 19981225 12:3400  2m  USB    "},
                      {"too precise frequency",
                       With({{2, "14.0255"}}),
                       {},
                       "ERROR:  Freq? IK2ABC 19981225 123400  2m  USB    "},
                      {"no frequency",
                       With({{2, ""}}),
                       {},
                       "ERROR:  Band? IK2ABC 19981225 123400  2m  USB    "},
                      {"empty mode",
                       With({{3, ""}}),
                       {},
                       "ERROR:  Mode? IK2ABC 19981225 123400 14025.0 20m  USB    "},
                      {"no calendar date",
                       With({{0, "98/02/30"}}),
                       {},
                       "ERROR:  Date? IK2ABC 19980230 123400 14025.0 20m  USB 579 589  "},
                  });
}

}  // namespace
}  // namespace tvx::test
