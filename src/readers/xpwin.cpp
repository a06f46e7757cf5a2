// XpWin v1 text export (*.exp): an RTTY log, one contact per line, fields
// separated by semicolons without quotes.

#include "import/contact.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {

namespace {

constexpr std::size_t kLongestNote = 49;

// Kilohertz with a thousands comma and decimals ("14,085.5"), kilohertz with
// decimals alone ("14085.5"), or whole megahertz ("14"); the result always
// has at least two decimals.
std::string XpWinFrequency(std::string field) {
    if (field.find(',') != std::string::npos) field = WithoutFirst(field, ',');
    std::size_t point = field.find('.');
    if (point == std::string::npos) return field + "000.00";
    std::size_t decimals = field.size() - point - 1;
    if (decimals == 0) field += "00";
    if (decimals == 1) field += "0";
    return field;
}

bool ConvertXpWinLine(ReaderSteps& s, std::string& line) {
    WorkingContact& c = s.contact();
    c.m_strCall = CutField(line, ";");
    if (CharCount(c.m_strCall) < 2) return Fail(s, "Call?");
    CutField(line, ";");

    std::string date = CutField(line, ";");
    std::size_t dateLength = CharCount(date);
    if (dateLength < 8) {
        c.m_strDate = date;
        return Fail(s, "Date?");
    }
    if (dateLength == 10) {
        if (Mid(date, 4, 1) != "/" || Mid(date, 7, 1) != "/") {
            c.m_strDate = date;
            return Fail(s, "Date?");
        }
        c.m_strDate = Mid(date, 0, 4) + Mid(date, 5, 2) + Mid(date, 8, 2);
    } else {
        c.m_strDate = CenturyDate(Mid(date, 0, 2), Mid(date, 3, 2), Mid(date, 6, 2));
    }

    std::string time = CutField(line, ";");
    if (CharCount(time) < 5) {
        c.m_strTime = time;
        return Fail(s, "Time?");
    }
    c.m_strTime = SeparatedTime(time);
    if (!IsValidTime(c.m_strTime)) return Fail(s, "Time?");

    c.m_strRstSent = CutField(line, ";");
    if (c.m_strRstSent.empty()) c.m_strRstSent = "599";
    c.m_strRstRcvd = CutField(line, ";");
    if (c.m_strRstRcvd.empty()) c.m_strRstRcvd = "599";

    std::string freq = CutField(line, ";");
    if (freq.empty()) {
        c.m_strFreq.clear();
        c.m_strBand = freq;
        return Fail(s, "Band?");
    }
    c.m_strFreq = XpWinFrequency(freq);
    c.m_strBand = BandFromFrequency(c.m_strFreq);

    CutField(line, ";");
    c.m_strMode = "5";  // an RTTY log

    if (CheckDate(c.m_strDate)) return Fail(s, "Date?");

    std::string note = CutField(line, ";");
    if (CharCount(note) <= kLongestNote) c.m_strNote = note;

    // The export carries no state and no WPX prefix; only KH6 and KL7 get a
    // state, from the resolution.
    return true;
}

}  // namespace

void ImportXpWin(ReaderSteps& s) {
    ImportTextLines(s, ";", ConvertXpWinLine);
}

}  // namespace tvx
