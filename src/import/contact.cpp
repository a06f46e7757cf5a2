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

std::string TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1])) --n;
    return std::string(text.substr(0, n));
}

std::string Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

namespace {

// Length of the UTF-8 sequence that starts with lead byte c (1 for stray bytes).
std::size_t SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string Left(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t count = 0; count < n && pos < text.size(); ++count) {
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    }
    return std::string(text.substr(0, std::min(pos, text.size())));
}

std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    }
    return count;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > text.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not text.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

// Upper halves (0x80..0xFF) of the legacy code pages, as Unicode code points.
constexpr std::uint16_t kCp1252[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF};

constexpr std::uint16_t kCp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

constexpr std::uint16_t kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string DecodeLegacy(std::string_view text, int codePage) {
    const std::uint16_t* table = codePage == 437 ? kCp437 : codePage == 850 ? kCp850 : kCp1252;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c < 0x80 ? c : table[c - 0x80]);
    }
    return out;
}

std::string ToUtf8(std::string_view text, int codePage) {
    if (IsValidUtf8(text)) return std::string(text);
    return DecodeLegacy(text, codePage);
}

}  // namespace tvx
