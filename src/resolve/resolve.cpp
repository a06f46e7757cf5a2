#include "resolve/resolve.h"

#include <initializer_list>
#include <string_view>
#include <vector>

#include "util/text.h"

namespace tvx {

namespace {

constexpr std::size_t kPrefixWidth = 4;
constexpr std::size_t kZoneWidth = 2;
constexpr std::size_t kDateWidth = 8;
constexpr std::size_t kMaxParts = 3;
constexpr std::size_t kMaxPartLength = 15;
constexpr std::size_t kMaxWpxLength = 6;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// Cut to n characters and blank-padded to n, as printf's "%-N.Ns" does.
std::string Fixed(std::string_view text, std::size_t n) {
    std::string out = Left(text, n);
    out.append(n - CharCount(out), ' ');
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimRightBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string CutAtBlank(const std::string& part) {
    for (std::size_t i = 0; i < part.size(); ++i)
        if (IsBlank(part[i])) return part.substr(0, i);
    return part;
}

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

bool Contains(std::string_view text, std::string_view piece) {
    return text.find(piece) != std::string_view::npos;
}

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> choices) {
    for (std::string_view c : choices)
        if (text == c) return true;
    return false;
}

// The first digit of text, or 0 when it has none.
char FirstDigit(std::string_view text) {
    for (char c : text)
        if (IsDigit(c)) return c;
    return 0;
}

// A callsign split at "/". Logs carry calls like "W1ABC//P", "/P" or
// "W1ABC/ " as typed: blanks around a part are not part of it and empty parts
// are skipped, so those read as W1ABC/P, P and W1ABC. Real calls have at most
// three parts of at most 15 characters: parts after the third are ignored
// and longer parts are cut to 15 characters.
std::vector<std::string> SplitParts(std::string_view call) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= call.size() && parts.size() < kMaxParts) {
        std::size_t slash = call.find('/', start);
        if (slash == std::string_view::npos) slash = call.size();
        std::string_view part = TrimBlanks(call.substr(start, slash - start));
        if (!part.empty()) parts.push_back(Left(part, kMaxPartLength));
        start = slash + 1;
    }
    return parts;
}

bool IsCallAreaOrSuffix(const std::string& part) {
    return part.size() == 1 && std::string_view("1234567890MPA").find(part[0]) != std::string::npos;
}

// The rules for a call of two parts, in their order; the first that matches
// gives the prefix.
std::string PrefixOfTwoParts(const std::string& p1, const std::string& rawP2) {
    const std::string p2 = CutAtBlank(rawP2);
    const std::size_t len1 = CharCount(p1);
    const std::size_t len2 = CharCount(p2);
    const char c2 = p2.empty() ? '\0' : p2[0];

    if (len2 > 1 && IsAllDigits(p2)) return p1;
    if (IsOneOf(p2, {"R", "B", "QRP"})) return p1;
    if (StartsWith(p1, "SV")) {
        if (c2 == '9') return "SV9";
        if (c2 == '5') return "SV5";
        if (c2 == 'A') return "SV/A";
    }
    if (StartsWith(p1, "FR")) {
        if (c2 == 'G') return "FR/G";
        if (c2 == 'T') return "FR/T";
        if (c2 == 'J' || c2 == 'E') return "FR/J";
    }
    if (StartsWith(p1, "FO")) {
        if (c2 == 'A') return "FO/A";
        if (c2 == 'C') return "FO/C";
        if (c2 == 'M') return "FO/M";
    }
    if ((StartsWith(p1, "LA") || StartsWith(p1, "LB") || StartsWith(p1, "LC")) && len2 == 1)
        return p1;
    if (IsOneOf(p2, {"MM", "P", "E", "M"})) return p1;
    if (p2 == "KG4") return "KG4";
    if (p1 == "KC4") return "KC4A";
    if (IsCallAreaOrSuffix(p2)) return p1;
    if (len1 < len2) return p1;
    if (len1 > len2) return p2;
    if (Contains(p2, "VP")) return p2;
    return p1;
}

// Dates are eight-digit text and compare as text.
bool IsLater(const std::string& date, const std::string& limit) {
    return date > limit;
}

void SetPrefix(ResolutionRecord& rec, std::string_view prefix) {
    rec.prefix = Left(prefix, kPrefixWidth);
}

void SetZone(std::string& zone, std::string_view value) {
    zone = Left(value, kZoneWidth);
}

}  // namespace

bool LookupCallMap(const ReferenceData& ref, ResolutionRecord& rec, const std::string& call) {
    const CTvx95CallMapSet* row = ref.findCallMap(call);
    if (!row) return false;
    if (row->m_CallPfx1.empty() || IsLater(rec.date, row->m_CallDate1)) {
        SetPrefix(rec, row->m_CallPfx);
        SetZone(rec.cqZone, row->m_CallCq);
        SetZone(rec.ituZone, row->m_CallItu);
    } else if (row->m_CallPfx2.empty() || IsLater(rec.date, row->m_CallDate2)) {
        SetPrefix(rec, row->m_CallPfx1);
        SetZone(rec.cqZone, row->m_CallCq1.empty() ? row->m_CallCq : row->m_CallCq1);
        SetZone(rec.ituZone, row->m_CallItu1.empty() ? row->m_CallItu : row->m_CallItu1);
    } else {
        SetPrefix(rec, row->m_CallPfx2);
        SetZone(rec.cqZone, row->m_CallCq2.empty() ? row->m_CallCq : row->m_CallCq2);
        SetZone(rec.ituZone, row->m_CallItu2.empty() ? row->m_CallItu : row->m_CallItu2);
    }
    return true;
}

std::string DerivePrefix(const std::string& callsign) {
    // Guantanamo calls are KG4 plus two letters; longer KG4 calls are
    // ordinary fourth-area US calls.
    if (Contains(callsign, "KG4") && !Contains(callsign, "/")) {
        const std::string_view trimmed = TrimRightBlanks(callsign);
        return (trimmed.size() == 5 && trimmed[2] == '4') ? "KG4 " : "K4  ";
    }
    std::vector<std::string> parts = SplitParts(callsign);
    if (parts.empty()) return "";
    if (parts.size() == 3) {
        const std::string third = CutAtBlank(parts[2]);
        if (!IsCallAreaOrSuffix(third)) return Fixed(third, kPrefixWidth);
        parts.pop_back();
    }
    if (parts.size() == 1) return Fixed(parts[0], kPrefixWidth);
    return Fixed(PrefixOfTwoParts(parts[0], parts[1]), kPrefixWidth);
}

bool LookupMapPrefix(const ReferenceData& ref, ResolutionRecord& rec) {
    const CTvx95MapPrefixSet* row = ref.findMapPrefix(rec.prefix);
    for (std::size_t width : {std::size_t{3}, std::size_t{2}}) {
        if (row) break;
        rec.prefix = Left(rec.prefix, width);
        row = ref.findMapPrefix(rec.prefix);
    }
    if (!row) {
        rec.prefix = Left(rec.prefix, 1);
        return false;
    }
    if (row->m_OLD1_PREFIX.empty() || IsLater(rec.date, row->m_OLD1_DATE)) {
        SetPrefix(rec, row->m_PRI_PREFIX);
        SetZone(rec.cqZone, row->m_CQ_ZONE);
    } else if (row->m_OLD2_PREFIX.empty() || IsLater(rec.date, row->m_OLD2_DATE)) {
        SetPrefix(rec, row->m_OLD1_PREFIX);
        SetZone(rec.cqZone, row->m_OLD1_ZONE.empty() ? row->m_CQ_ZONE : row->m_OLD1_ZONE);
    } else {
        SetPrefix(rec, row->m_OLD2_PREFIX);
        SetZone(rec.cqZone, row->m_OLD2_ZONE.empty() ? row->m_CQ_ZONE : row->m_OLD2_ZONE);
    }
    // The alias table has no dated ITU zones.
    SetZone(rec.ituZone, row->m_ITU_ZONE);
    return true;
}

bool IsUsPrefix(const std::string& prefix) {
    return IsOneOf(prefix, {"N", "A", "K", "W", " "});
}

std::string CqZoneFromCallArea(const std::string& call) {
    const std::vector<std::string> parts = SplitParts(call);
    char digit = 0;
    if (parts.size() == 3) digit = FirstDigit(parts[2]);
    if (!digit && parts.size() == 1) digit = FirstDigit(parts[0]);
    if (!digit && parts.size() >= 2) {
        const std::string second = CutAtBlank(parts[1]);
        const char secondDigit = FirstDigit(second);
        if (CharCount(second) < CharCount(parts[0]) && secondDigit) digit = secondDigit;
        if (!digit) digit = FirstDigit(parts[0]);
        if (!digit) digit = secondDigit;
    }
    switch (digit) {
        case '1':
        case '2':
        case '3':
        case '4':
            return "05";
        case '6':
        case '7':
            return "03";
        default:
            return "04";
    }
}

bool LookupPrefix(const ReferenceData& ref, ResolutionRecord& rec) {
    const CTvx95PrefixSet* row = ref.findPrefix(rec.prefix);
    if (!row) return false;
    // Zones from the call map or the alias table are more precise.
    if (rec.cqZone.empty()) SetZone(rec.cqZone, row->m_CQ_ZONE);
    if (rec.ituZone.empty()) SetZone(rec.ituZone, row->m_ITU_ZONE);
    return true;
}

namespace {

// The prefix part of a call cut after its last digit, with a 0 added when it
// has none: DL1ABC gives DL1, LX gives LX0.
std::string WpxOfPrefixPart(std::string text) {
    std::size_t digits = 0;
    for (char c : text)
        if (IsDigit(c)) ++digits;
    if (!(digits == 1 && CharCount(text) == 2)) {
        const std::size_t last = text.find_last_of("0123456789");
        if (last != std::string::npos) text.erase(last + 1);
    }
    text = std::string(TrimRightBlanks(text));
    if (digits == 0) text += '0';
    if (!IsDigit(text.back())) text += '0';
    return Left(text, kMaxWpxLength);
}

}  // namespace

std::string DeriveWpxPrefix(const std::string& callsign) {
    std::vector<std::string> parts = SplitParts(callsign);
    if (parts.empty()) return "";
    if (parts.size() == 3) {
        const std::string third = CutAtBlank(parts[2]);
        if (third.size() == 1 && IsDigit(third[0]))
            parts.pop_back();
        else
            parts[2] = third;
    }

    std::string text;
    if (parts.size() == 1) {
        text = parts[0];
    } else if (parts.size() == 3) {
        text = parts[2];
    } else {
        const std::string& p1 = parts[0];
        const std::string p2 = CutAtBlank(parts[1]);
        const char c2 = p2.empty() ? '\0' : p2[0];
        if (IsOneOf(p2, {"QRP", "MM", "MOB", "PORT"})) {
            text = p1;
        } else if (StartsWith(p1, "FR") && (c2 == 'G' || c2 == 'T' || c2 == 'J' || c2 == 'E')) {
            text = Fixed(p1, 5);
        } else if (p1 == "3DA") {
            return "3DA0";
        } else if (IsAllDigits(p2)) {
            // The portable call area replaces the home one: W1ABC/4 is W4.
            const std::size_t last = p1.find_last_of("0123456789");
            text = (last == std::string::npos ? std::string() : p1.substr(0, last)) + p2;
        } else if (CharCount(p2) == 1) {
            switch (c2) {
                case 'F':
                case 'G':
                case 'I':
                case 'Y':
                case 'W':
                case 'K':
                    text = std::string(1, c2) + "0";
                    break;
                default:
                    text = p1;
            }
        } else {
            text = CharCount(p2) < CharCount(p1) ? p2 : p1;
        }
    }

    return WpxOfPrefixPart(text);
}

ResolveOutcome ResolveCallsignSteps(const ReferenceData& ref, const std::string& call,
                                    const std::string& date, ResolutionRecord& rec,
                                    std::string* filePrefix) {
    ResolveOutcome outcome;
    rec.clear();
    rec.date = Left(date, kDateWidth);

    if (LookupCallMap(ref, rec, call)) {
        if (IsUsPrefix(rec.prefix) && rec.cqZone.empty()) rec.cqZone = CqZoneFromCallArea(call);
    } else {
        rec.prefix = DerivePrefix(call);
        LookupMapPrefix(ref, rec);
    }

    if (IsUsPrefix(rec.prefix)) {
        outcome.usCall = true;
        rec.prefix = "K";
        if (rec.cqZone.empty()) rec.cqZone = CqZoneFromCallArea(call);
    }

    if (filePrefix && !filePrefix->empty()) {
        const std::string resolved = rec.prefix;
        // A file prefix wider than any prefix of the table cannot be known;
        // cutting it could make it match another country.
        bool known = false;
        if (CharCount(*filePrefix) <= kPrefixWidth) {
            rec.prefix = *filePrefix;
            known = LookupPrefix(ref, rec);
        }
        if (known) {
            outcome.dxccPrefixUsed = true;
            outcome.found = true;
            return outcome;
        }
        rec.prefix = resolved;
        filePrefix->clear();
    }
    outcome.found = LookupPrefix(ref, rec);
    return outcome;
}

}  // namespace tvx
