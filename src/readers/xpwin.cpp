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

void ConvertXpWinLine(ImportSession& s, std::string& line) {
    s.m_strCall = CutField(line, ";");
    if (CharCount(s.m_strCall) < 2) return s.ReportError("Call?");
    CutField(line, ";");

    std::string date = CutField(line, ";");
    std::size_t dateLength = CharCount(date);
    if (dateLength < 8) {
        s.m_strDate = date;
        return s.ReportError("Date?");
    }
    if (dateLength == 10) {
        if (Mid(date, 4, 1) != "/" || Mid(date, 7, 1) != "/") {
            s.m_strDate = date;
            return s.ReportError("Date?");
        }
        s.m_strDate = Mid(date, 0, 4) + Mid(date, 5, 2) + Mid(date, 8, 2);
    } else {
        s.m_strDate = CenturyDate(Mid(date, 0, 2), Mid(date, 3, 2), Mid(date, 6, 2));
    }

    std::string time = CutField(line, ";");
    if (CharCount(time) < 5) {
        s.m_strTime = time;
        return s.ReportError("Time?");
    }
    s.m_strTime = SeparatedTime(time);
    if (!IsValidTime(s.m_strTime)) return s.ReportError("Time?");

    s.m_strRstSent = CutField(line, ";");
    if (s.m_strRstSent.empty()) s.m_strRstSent = "599";
    s.m_strRstRcvd = CutField(line, ";");
    if (s.m_strRstRcvd.empty()) s.m_strRstRcvd = "599";

    std::string freq = CutField(line, ";");
    if (freq.empty()) {
        s.m_strFreq.clear();
        s.m_strBand = freq;
        return s.ReportError("Band?");
    }
    s.m_strFreq = XpWinFrequency(freq);
    s.m_strBand = BandFromFrequency(s.m_strFreq);

    CutField(line, ";");
    s.m_strMode = "5";  // an RTTY log

    if (CheckDate(s.m_strDate)) return s.ReportError("Date?");

    std::string note = CutField(line, ";");
    if (CharCount(note) <= kLongestNote) s.m_strNote = note;

    // The export carries no state and no WPX prefix; only KH6 and KL7 get a
    // state, from the resolution.
    FinishRules rules;
    rules.deriveWpx = false;
    s.FinishContact(rules);
}

}  // namespace

void ImportXpWin(ImportSession& s) {
    ImportTextLines(s, ";", ConvertXpWinLine);
}

}  // namespace tvx
