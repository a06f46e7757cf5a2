// Swisslog v3.82A text export (*.txt): one contact per line, a bare callsign
// followed by quoted, comma-separated fields; name, QTH and comment may hold
// commas. The export gives a band name, not a frequency.

#include "import/contact.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {

namespace {

constexpr std::size_t kDateLength = 8;

void ConvertSwisslogLine(ImportSession& s, std::string& line) {
    s.m_strCall = CutField(line, ",");
    if (CharCount(s.m_strCall) < 2) return s.ReportError("Call?");

    std::string name = CutQuotedText(line);
    if (!name.empty()) s.m_strName = Left(name, 15);

    s.m_strDate = CutQuotedField(line);
    if (CharCount(s.m_strDate) < kDateLength - 1) return s.ReportError("Date?");

    // "599 NY": the report is the first word.
    s.m_strRstSent = FirstWord(CutQuotedField(line));
    s.m_strRstRcvd = FirstWord(CutQuotedField(line));

    s.m_strTime = CutQuotedField(line) + "00";
    if (!IsValidTime(s.m_strTime)) return s.ReportError("Time?");

    CutQuotedField(line);
    std::string band = FirstWord(CutQuotedField(line));
    if (band.empty() || s.BandCodeFromName(band)) return s.ReportError("Band?");

    std::string mode = CutQuotedField(line);
    if (mode.empty()) {
        s.m_strMode = "noMode";
        return s.ReportError("Mode?");
    }

    std::string qth = CutQuotedText(line);
    if (!qth.empty()) s.m_strQth = Left(qth, 25);
    std::string note = CutQuotedText(line);
    if (!note.empty()) s.m_strNote = Left(note, 50);
    std::string spec1 = CutQuotedField(line);
    if (!spec1.empty()) s.m_strSpec1 = Left(spec1, 25);
    if (CutQuotedField(line) == "Y") {
        s.m_bQslSent = 1;
        s.m_strQslSentDate = s.m_strDate;
    }
    if (CutQuotedField(line) == "Y") s.m_nConfirmed = 1;

    s.ModeCodeFromName(mode);
    if (s.m_strRstRcvd.empty()) s.m_strRstRcvd = DefaultReport(s.m_strMode);
    if (s.m_strRstSent.empty()) s.m_strRstSent = DefaultReport(s.m_strMode);

    // A date of seven or nine characters may still pass the calendar check;
    // only a full YYYYMMDD is a date the target can use.
    if (CheckDate(s.m_strDate) || CharCount(s.m_strDate) != kDateLength) {
        return s.ReportError("Date?");
    }

    // No state in the export: only KH6 and KL7 get one, from the resolution.
    s.FinishContact(FinishRules{});
}

}  // namespace

void ImportSwisslog(ImportSession& s) {
    ImportTextLines(s, " ", ConvertSwisslogLine);
}

}  // namespace tvx
