// Log Windows v3 text export (*.asc): one contact per line, every field in
// double quotes, separated by commas.

#include "import/contact.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {

namespace {

constexpr std::size_t kLongestNote = 49;

// Log Windows writes MM/DD/YYYY, older versions MM/DD/YY.
std::string LogWindowsDate(const std::string& field) {
    if (CharCount(field) == 10) return Mid(field, 6, 4) + Mid(field, 0, 2) + Mid(field, 3, 2);
    return CenturyDate(Mid(field, 6, 2), Mid(field, 0, 2), Mid(field, 3, 2));
}

void SkipFields(std::string& line, int count) {
    for (int i = 0; i < count; ++i) CutQuotedField(line);
}

bool ConvertLogWindowsLine(ReaderSteps& s, std::string& line) {
    WorkingContact& c = s.contact();
    c.m_strCall = CutQuotedField(line);
    if (CharCount(c.m_strCall) < 2) return Fail(s, "Call?");

    std::string date = CutQuotedField(line);
    if (CharCount(date) < 8) {
        c.m_strDate = date;
        return Fail(s, "Date?");
    }
    c.m_strDate = LogWindowsDate(date);

    c.m_strTime = HhMmTime(CutQuotedField(line), true);
    if (!IsValidTime(c.m_strTime)) return Fail(s, "Time?");

    std::string mode = CutQuotedField(line);
    if (mode.empty()) {
        return FailNoMode(s);
    }

    std::string freq = CutQuotedField(line);
    if (freq.empty()) {
        c.m_strFreq.clear();
        c.m_strBand = freq;
        return Fail(s, "Band?");
    }
    // Megahertz with three decimals: dropping the point gives kilohertz.
    c.m_strFreq = TrimLeft(WithoutFirst(freq, '.'));
    c.m_strBand = BandFromFrequency(c.m_strFreq);
    c.ModeCodeFromName(mode);

    if (CheckDate(c.m_strDate)) return Fail(s, "Date?");

    c.m_strRstRcvd = CutQuotedField(line);
    c.m_strRstSent = CutQuotedField(line);
    c.FillDefaultReports();

    SkipFields(line, 1);
    c.m_strName = CutQuotedField(line);
    std::string qth = CutQuotedField(line);
    if (!qth.empty()) c.m_strQth = Left(qth, 25);
    c.m_strState = CutQuotedField(line);
    std::string secondQth = CutQuotedField(line);
    if (qth.empty()) c.m_strQth = Left(secondQth, 25);
    c.m_strGrid = CutQuotedField(line);

    std::string note = CutQuotedText(line);
    if (CharCount(note) <= kLongestNote) c.m_strNote = note;

    if (CutQuotedField(line) == "Y") c.m_strQslSentDate = c.m_strDate;
    if (CutQuotedField(line) == "Y") c.m_nConfirmed = 1;
    std::string sentDate = CutQuotedField(line);
    std::size_t sentLength = CharCount(sentDate);
    if (sentLength == 8 || sentLength == 10) c.m_strQslSentDate = LogWindowsDate(sentDate);

    SkipFields(line, 5);
    for (int i = 0; i < 3; ++i) {
        if (CutQuotedField(line) == "2") c.m_nAward |= 1;
    }

    return true;
}

}  // namespace

void ImportLogWindows(ReaderSteps& s) {
    ImportTextLines(s, ";", ConvertLogWindowsLine);
}

}  // namespace tvx
