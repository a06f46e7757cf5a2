#include "import/contact.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>

#include "import/domain.h"

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
    for (const BandFact& band : kBandFacts) {
        if (mhz >= band.lowMhz && mhz <= band.highMhz) return std::to_string(band.code);
    }
    // Outside every band: a code that no table knows, so the filter leaves
    // the contact out and reports show "000".
    return "99";
}

void WorkingContact::ClearContact() {
    // Copied from an empty contact, the texts keep their buffers: a record
    // costs no allocation for values that fit the last one's.
    static const WorkingContact kEmpty;
    *this = kEmpty;
}

void WorkingContact::FillDefaultReports() {
    if (m_strRstSent.empty()) m_strRstSent = DefaultReport(m_strMode);
    if (m_strRstRcvd.empty()) m_strRstRcvd = DefaultReport(m_strMode);
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
    const ModeFact* fact = ModeOfCodeText(mode);
    return fact ? fact->statisticsColumn : kDigitalStatisticsColumn;
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

void ComposeNote(WorkingContact& c, const std::string& defaultNote) {
    const std::size_t n = CharCount(c.m_strNote);
    std::string text;
    if (!c.m_strNote2.empty()) {
        text =
            n + CharCount(c.m_strNote2) + 1 < 50 ? c.m_strNote2 + " " + c.m_strNote : c.m_strNote2;
    } else if (!c.m_strNote.empty() && n <= 50) {
        text = c.m_strNote;
    }
    if (CharCount(text) + CharCount(defaultNote) + 1 <= 50) {
        c.m_strNote = text + " " + defaultNote;
    } else {
        c.m_strNote = text;
    }
}

std::string BandName(long code) {
    const BandFact* band = BandOfCode(code);
    return band ? band->reportName : "000";
}

std::string ModeName(long code) {
    if (code < 0 || code >= static_cast<long>(std::size(kModeFacts))) return "DIGITAL";
    return kModeFacts[code].reportName;
}

}  // namespace tvx
