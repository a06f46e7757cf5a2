// Swisslog v3.82A text export (*.txt): one contact per line, a bare callsign
// followed by quoted, comma-separated fields; name, QTH and comment may hold
// commas. The export gives a band name, not a frequency.

#include "import/contact.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {

namespace {

constexpr std::size_t kDateLength = 8;

bool ConvertSwisslogLine(ReaderSteps& s, std::string& line) {
    WorkingContact& c = s.contact();
    c.m_strCall = CutField(line, ",");
    if (CharCount(c.m_strCall) < 2) return Fail(s, "Call?");

    std::string name = CutQuotedText(line);
    if (!name.empty()) c.m_strName = CutToWidth(name, 15);

    c.m_strDate = CutQuotedField(line);
    if (CharCount(c.m_strDate) < kDateLength - 1) return Fail(s, "Date?");

    // "599 NY": the report is the first word.
    c.m_strRstSent = FirstWord(CutQuotedField(line));
    c.m_strRstRcvd = FirstWord(CutQuotedField(line));

    c.m_strTime = CutQuotedField(line) + "00";
    if (!IsValidTime(c.m_strTime)) return Fail(s, "Time?");

    CutQuotedField(line);
    std::string band = FirstWord(CutQuotedField(line));
    if (band.empty() || c.BandCodeFromName(band)) return Fail(s, "Band?");

    std::string mode = CutQuotedField(line);
    if (mode.empty()) {
        return FailNoMode(s);
    }

    std::string qth = CutQuotedText(line);
    if (!qth.empty()) c.m_strQth = Left(qth, 25);
    std::string note = CutQuotedText(line);
    if (!note.empty()) c.m_strNote = Left(note, 50);
    std::string spec1 = CutQuotedField(line);
    if (!spec1.empty()) c.m_strSpec1 = Left(spec1, 25);
    if (CutQuotedField(line) == "Y") {
        c.m_bQslSent = 1;
        c.m_strQslSentDate = c.m_strDate;
    }
    if (CutQuotedField(line) == "Y") c.m_nConfirmed = 1;

    c.ModeCodeFromName(mode);
    c.FillDefaultReports();

    // A date of seven or nine characters may still pass the calendar check;
    // only a full YYYYMMDD is a date the target can use.
    if (CheckDate(c.m_strDate) || CharCount(c.m_strDate) != kDateLength) {
        return Fail(s, "Date?");
    }

    // No state in the export: only KH6 and KL7 get one, from the resolution.
    return true;
}

}  // namespace

void ImportSwisslog(ReaderSteps& s) {
    ImportTextLines(s, " ", ConvertSwisslogLine);
}

}  // namespace tvx
