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

void ConvertLogWindowsLine(ImportSession& s, std::string& line) {
    s.m_strCall = CutQuotedField(line);
    if (CharCount(s.m_strCall) < 2) return s.ReportError("Call?");

    std::string date = CutQuotedField(line);
    if (CharCount(date) < 8) {
        s.m_strDate = date;
        return s.ReportError("Date?");
    }
    s.m_strDate = LogWindowsDate(date);

    s.m_strTime = HhMmTime(CutQuotedField(line), true);
    if (!IsValidTime(s.m_strTime)) return s.ReportError("Time?");

    std::string mode = CutQuotedField(line);
    if (mode.empty()) {
        s.m_strMode = "noMode";
        return s.ReportError("Mode?");
    }

    std::string freq = CutQuotedField(line);
    if (freq.empty()) {
        s.m_strFreq.clear();
        s.m_strBand = freq;
        return s.ReportError("Band?");
    }
    // Megahertz with three decimals: dropping the point gives kilohertz.
    s.m_strFreq = TrimLeft(WithoutFirst(freq, '.'));
    s.m_strBand = BandFromFrequency(s.m_strFreq);
    s.ModeCodeFromName(mode);

    if (CheckDate(s.m_strDate)) return s.ReportError("Date?");

    s.m_strRstRcvd = CutQuotedField(line);
    if (s.m_strRstRcvd.empty()) s.m_strRstRcvd = DefaultReport(s.m_strMode);
    s.m_strRstSent = CutQuotedField(line);
    if (s.m_strRstSent.empty()) s.m_strRstSent = DefaultReport(s.m_strMode);

    SkipFields(line, 1);
    s.m_strName = CutQuotedField(line);
    std::string qth = CutQuotedField(line);
    if (!qth.empty()) s.m_strQth = Left(qth, 25);
    std::string state = CutQuotedField(line);
    std::string secondQth = CutQuotedField(line);
    if (qth.empty()) s.m_strQth = Left(secondQth, 25);
    s.m_strGrid = CutQuotedField(line);

    std::string note = CutQuotedText(line);
    if (CharCount(note) <= kLongestNote) s.m_strNote = note;

    if (CutQuotedField(line) == "Y") s.m_strQslSentDate = s.m_strDate;
    if (CutQuotedField(line) == "Y") s.m_nConfirmed = 1;
    std::string sentDate = CutQuotedField(line);
    std::size_t sentLength = CharCount(sentDate);
    if (sentLength == 8 || sentLength == 10) s.m_strQslSentDate = LogWindowsDate(sentDate);

    SkipFields(line, 5);
    for (int i = 0; i < 3; ++i) {
        if (CutQuotedField(line) == "2") s.m_nAward |= 1;
    }

    FinishRules rules;
    // The state field counts only once the prefix is known: KH6 and KL7 have
    // been given theirs by the resolution, a US state must be in the table,
    // anything else is kept as written.
    rules.stateRule = [state](ImportSession& session, const ResolutionRecord& rec) {
        if (rec.prefix != "KH6" && rec.prefix != "KL7") session.m_strState = state;
        UsStateCheck()(session, rec);
    };
    s.FinishContact(rules);
}

}  // namespace

void ImportLogWindows(ImportSession& s) {
    ImportTextLines(s, ";", ConvertLogWindowsLine);
}

}  // namespace tvx
