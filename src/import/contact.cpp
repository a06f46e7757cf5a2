#include "import/contact.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>

namespace tvx {

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

}  // namespace

long LeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Saturate instead of overflowing on absurd digit runs.
        if (value > (LONG_MAX - 9) / 10) {
            value = LONG_MAX;
            continue;
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool CheckDate(const std::string& date) {
    std::string_view d(date);
    const long year = LeadingInt(d.substr(0, std::min<std::size_t>(4, d.size())));
    const long month = d.size() > 4 ? LeadingInt(d.substr(4, 2)) : 0;
    const long day = d.size() > 6 ? LeadingInt(d.substr(6, 2)) : 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return true;
    int length = kDays[month - 1];
    if (month == 2 && year % 4 == 0) length = 29;
    return day > length;
}

bool IsValidTime(const std::string& time) {
    if (time.size() != 6) return false;
    std::string_view t(time);
    if (LeadingInt(t.substr(0, 2)) >= 24) return false;
    if (LeadingInt(t.substr(2, 2)) >= 60) return false;
    if (LeadingInt(t.substr(4, 2)) >= 60) return false;
    return LeadingInt(t) <= 235959;
}

bool IsYearBefore1975(const std::string& date) {
    return LeadingInt(std::string_view(date).substr(0, std::min<std::size_t>(4, date.size()))) <=
           1974;
}

std::string BandFromFrequency(const std::string& freqKhz) {
    const long mhz = LeadingInt(freqKhz) / 1000;
    struct Range {
        long low, high;
        const char* code;
    };
    static constexpr Range kRanges[] = {
        {1, 1, "10"},         {3, 3, "9"},          {5, 5, "23"},         {7, 7, "8"},
        {10, 10, "7"},        {14, 14, "6"},        {18, 18, "5"},        {21, 21, "4"},
        {24, 24, "3"},        {28, 29, "2"},        {50, 54, "1"},        {70, 74, "22"},
        {144, 148, "0"},      {220, 225, "11"},     {420, 450, "12"},     {902, 902, "13"},
        {1240, 1399, "14"},   {2291, 2450, "15"},   {3291, 3599, "16"},   {5651, 5925, "17"},
        {10001, 10509, "18"}, {24001, 24259, "19"}, {47001, 47209, "20"},
    };
    for (const auto& r : kRanges) {
        if (mhz >= r.low && mhz <= r.high) return r.code;
    }
    // Outside every band: a code that no table knows, so the filter leaves
    // the contact out and reports show "000".
    return "99";
}

bool WorkingContact::BandCodeFromName(const std::string& name) {
    static const std::array<std::pair<const char*, const char*>, 29> kBands = {{
        {"160", "10"},  {"80", "9"},    {"40", "8"},    {"30", "7"},    {"20", "6"},
        {"17", "5"},    {"15", "4"},    {"12", "3"},    {"10", "2"},    {"6", "1"},
        {"2", "0"},     {"4", "22"},    {"222", "11"},  {"432", "12"},  {"433", "12"},
        {"434", "12"},  {"435", "12"},  {"436", "12"},  {"437", "12"},  {"438", "12"},
        {"902", "13"},  {"1GH", "14"},  {"2GH", "15"},  {"3GH", "16"},  {"5GH", "17"},
        {"10GH", "18"}, {"24GH", "19"}, {"47GH", "20"}, {"75GH", "21"},
    }};
    for (const auto& [band, code] : kBands) {
        if (name == band) {
            m_strBand = code;
            return false;
        }
    }
    return true;
}

void WorkingContact::ModeCodeFromName(const std::string& name) {
    if (name == "CW") {
        m_strMode = "2";
    } else if (name == "RTTY" || name == "FSK" || name == "TTY" || name == "PSK") {
        m_strMode = "5";
    } else if (name == "FM") {
        m_strMode = "3";
    } else if (name == "SSB") {
        m_strMode = (m_strBand == "8" || m_strBand == "9") ? "1" : "0";
    } else if (name == "USB") {
        m_strMode = "0";
    } else if (name == "LSB") {
        m_strMode = "1";
    } else if (name == "AM") {
        m_strMode = "4";
    } else if (name == "SSTV" || name == "TV") {
        m_strMode = "7";
    } else {
        m_strMode = "6";
        m_strSubmode = Left(name, 12);
    }
}

int StatisticsModeColumn(const std::string& mode) {
    if (mode == "2") return 97;
    if (mode == "5") return 145;
    if (mode == "0" || mode == "1" || mode == "3" || mode == "4" || mode == "7") return 49;
    return 193;
}

void NextToken(std::string& out, std::string& line, std::string_view delims) {
    if (line.empty()) {
        out.clear();
        return;
    }
    const std::size_t pos = line.find_first_of(delims);
    if (pos == std::string::npos) {
        out = Trim(line);
        line.clear();
        return;
    }
    out = Trim(std::string_view(line).substr(0, pos));
    line.erase(0, pos + 1);
}

void DropFirstChar(std::string& text) {
    if (!text.empty()) text.erase(0, 1);
}

std::string BandName(long code) {
    static const char* const kNames[] = {"2",    "6",    "10",  "12",  "15",  "17",  "20",   "30",
                                         "40",   "80",   "160", "220", "432", "902", "1240", "2300",
                                         "3300", "5650", "10G", "24G", "47G", "75G", "4",    "60"};
    if (code < 0 || code > 23) return "000";
    return kNames[code];
}

std::string ModeName(long code) {
    static const char* const kNames[] = {"USB", "LSB", "CW", "FM", "AM", "RTTY", "DIGITAL", "SSTV"};
    if (code < 0 || code > 7) return "DIGITAL";
    return kNames[code];
}

}  // namespace tvx
