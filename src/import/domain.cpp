#include "import/domain.h"

#include <utility>

namespace tvx {

// 75G has no frequencies of its own (an empty range): no frequency gives it.
const BandFact kBandFacts[24] = {
    {0, "2", 144, 148, 24},
    {1, "6", 50, 54, 20},
    {2, "10", 28, 29, 18},
    {3, "12", 24, 24, 16},
    {4, "15", 21, 21, 14},
    {5, "17", 18, 18, 12},
    {6, "20", 14, 14, 10},
    {7, "30", 10, 10, 8},
    {8, "40", 7, 7, 6},
    {9, "80", 3, 3, 2},
    {10, "160", 1, 1, 0},
    {11, "220", 220, 225, 26},
    {12, "432", 420, 450, 28},
    {13, "902", 902, 902, 30},
    {14, "1240", 1240, 1399, 32},
    {15, "2300", 2291, 2450, 34},
    {16, "3300", 3291, 3599, 36},
    {17, "5650", 5651, 5925, 38},
    {18, "10G", 10001, 10509, 40},
    {19, "24G", 24001, 24259, 42},
    {20, "47G", 47001, 47209, 44},
    {21, "75G", 1, 0, 46},
    {22, "4", 70, 74, 22},
    {23, "60", 5, 5, 4},
};

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

std::string DefaultReport(const std::string& modeCode) {
    return modeCode.starts_with('2') || modeCode.starts_with('5') ? "599" : "59";
}

}  // namespace tvx
