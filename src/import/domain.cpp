#include "import/domain.h"

#include <utility>

#include "util/text.h"

namespace tvx {

// 75G has no frequencies of its own (an empty range): no frequency gives it.
// 35CM stands for the 33 cm band; 33CM itself is not a name the import knows.
const BandFact kBandFacts[24] = {
    {0, "2", "2M", 144, 148, 24},
    {1, "6", "6M", 50, 54, 20},
    {2, "10", "10M", 28, 29, 18},
    {3, "12", "12M", 24, 24, 16},
    {4, "15", "15M", 21, 21, 14},
    {5, "17", "17M", 18, 18, 12},
    {6, "20", "20M", 14, 14, 10},
    {7, "30", "30M", 10, 10, 8},
    {8, "40", "40M", 7, 7, 6},
    {9, "80", "80M", 3, 3, 2},
    {10, "160", "160M", 1, 1, 0},
    {11, "220", "1.25M", 220, 225, 26},
    {12, "432", "70CM", 420, 450, 28},
    {13, "902", "35CM", 902, 902, 30},
    {14, "1240", "23CM", 1240, 1399, 32},
    {15, "2300", "13CM", 2291, 2450, 34},
    {16, "3300", "9CM", 3291, 3599, 36},
    {17, "5650", "6CM", 5651, 5925, 38},
    {18, "10G", "3CM", 10001, 10509, 40},
    {19, "24G", "1.25CM", 24001, 24259, 42},
    {20, "47G", "6MM", 47001, 47209, 44},
    {21, "75G", "4MM", 1, 0, 46},
    {22, "4", "4M", 70, 74, 22},
    {23, "60", "60M", 5, 5, 4},
};

const ModeFact kModeFacts[8] = {
    {0, "USB", "SSB", 49},
    {1, "LSB", "SSB", 49},
    {2, "CW", "CW", 97},
    {3, "FM", "FM", 49},
    {4, "AM", "AM", 49},
    {5, "RTTY", "RTTY", 145},
    {6, "DIGITAL", "", kDigitalStatisticsColumn},
    {7, "SSTV", "SSTV", 49},
};

namespace {

// The code texts the target stores ("0" to "99"); -1 for any other text.
long CodeOfText(std::string_view code) {
    if (code.empty() || code.size() > 2 || (code.size() == 2 && code[0] == '0')) return -1;
    long value = 0;
    for (const char ch : code) {
        if (ch < '0' || ch > '9') return -1;
        value = value * 10 + (ch - '0');
    }
    return value;
}

}  // namespace

const BandFact* BandOfCodeText(std::string_view code) {
    return BandOfCode(CodeOfText(code));
}

const ModeFact* ModeOfCodeText(std::string_view code) {
    const long value = CodeOfText(code);
    return value >= 0 && value < static_cast<long>(std::size(kModeFacts)) ? &kModeFacts[value]
                                                                          : nullptr;
}

const BandFact* BandOfCode(long code) {
    if (code < 0 || code >= static_cast<long>(std::size(kBandFacts))) return nullptr;
    return &kBandFacts[code];
}

int BandStatisticsOffset(long code) {
    const BandFact* band = BandOfCode(code);
    return band ? band->statisticsOffset : -1;
}

bool IsStatePrefix(std::string_view prefix) {
    return prefix == kMainlandPrefix || prefix == "KH6" || prefix == "KL7";
}

std::string_view StateOfPrefix(std::string_view prefix) {
    if (prefix == "KH6") return "HI";
    if (prefix == "KL7") return "AK";
    return {};
}

namespace {

// An ARRL section of New York, New Jersey, ... gives its state.
constexpr std::pair<std::string_view, std::string_view> kSections[] = {
    {"ENY", "NY"}, {"WNY", "NY"}, {"NLI", "NY"}, {"NNJ", "NJ"}, {"NNY", "NY"}, {"SNJ", "NJ"},
    {"EMA", "MA"}, {"WMA", "MA"}, {"MDC", "MD"}, {"DC", "MD"},  {"NFL", "FL"}, {"EPA", "PA"},
    {"WPA", "PA"}, {"EB", "CA"},  {"LAX", "CA"}, {"ORG", "CA"}, {"SB", "CA"},  {"SCV", "CA"},
    {"SDG", "CA"}, {"SF", "CA"},  {"SJV", "CA"}, {"SV", "CA"},  {"SFL", "FL"}, {"WCF", "FL"},
    {"NTX", "TX"}, {"STX", "TX"}, {"WTX", "TX"}, {"ORE", "OR"}, {"EWA", "WA"}, {"WWA", "WA"},
};

}  // namespace

std::string SectionToState(const std::string& section) {
    for (const auto& [name, state] : kSections) {
        if (section == name) return std::string(state);
    }
    return section;
}

std::string_view QslRouteOfLetter(std::string_view letter) {
    static constexpr std::pair<std::string_view, std::string_view> kLetters[] = {
        {"D", "1"}, {"B", kQslViaBureau}, {"$", "2"}, {"M", kQslViaManager}};
    for (const auto& [mark, route] : kLetters) {
        if (EqualsNoCase(letter, mark)) return route;
    }
    return {};
}

std::string DefaultReport(const std::string& modeCode) {
    return modeCode.starts_with('2') || modeCode.starts_with('5') ? "599" : "59";
}

}  // namespace tvx
