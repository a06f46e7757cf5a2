// Logview text export (*.txt): one contact per line, fields separated by "^";
// ruler lines of dashes and indented lines are not contacts.

#include "import/contact.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {

namespace {

std::string CutLogviewField(std::string& line) {
    line = TrimLeft(line);
    return CutField(line, "^");
}

void ConvertLogviewLine(ImportSession& s, std::string& line) {
    std::string date = CutLogviewField(line);
    if (CharCount(date) != 8) {
        s.m_strDate = date;
        return s.ReportError("Date?");
    }
    s.m_strDate = CenturyDate(Mid(date, 6, 2), Mid(date, 0, 2), Mid(date, 3, 2));

    // A time of another form leaves "00", which ValidateContact rejects.
    s.m_strTime = HhMmTime(CutLogviewField(line), false);
    s.m_strCall = CutLogviewField(line);
    s.m_strName = CutLogviewField(line);
    std::string report = CutLogviewField(line);
    if (CharCount(report) < 4) s.m_strRstSent = report;
    report = CutLogviewField(line);
    if (CharCount(report) < 4) s.m_strRstRcvd = report;

    std::string freq = CutLogviewField(line);
    std::size_t point = freq.find('.');
    if (point == 0 || freq.empty()) return s.ReportError("Band?");
    // Megahertz with three decimals: dropping the point gives kilohertz.
    s.m_strFreq = TrimLeft(WithoutFirst(freq, '.') + ".0");
    s.m_strBand = BandFromFrequency(s.m_strFreq);

    std::string power = CutLogviewField(line);
    if (!power.empty()) s.m_strPower = Left(power, 4);

    std::string mode = CutLogviewField(line);
    if (mode.empty()) {
        s.m_strMode = "noMode";
        return s.ReportError("Mode?");
    }
    s.ModeCodeFromName(mode);

    if (CheckDate(s.m_strDate)) return s.ReportError("Date?");

    std::string qth = CutLogviewField(line);
    if (!qth.empty()) s.m_strQth = Left(qth, 25);
    s.m_strNote = CutLogviewField(line);
    s.m_strQslVia = CutLogviewField(line).empty() ? "0" : "3";  // bureau, else manager
    if (CutLogviewField(line) == "Y") s.m_nConfirmed = 1;
    line = TrimRight(line);
    if (CutLogviewField(line) == "Y") s.m_strQslSentDate = s.m_strDate;

    if (!ValidateContact(s)) {
        s.ClearContact();
        return;
    }

    FinishRules rules;
    rules.stateRule = [usCheck = UsStateCheck()](ImportSession& session,
                                                 const ResolutionRecord& rec) {
        DropStateOutsideUs(session, rec);
        usCheck(session, rec);
    };
    s.FinishContact(rules);
}

}  // namespace

void ImportLogview(ImportSession& s) {
    ImportTextLines(s, ";- ", ConvertLogviewLine);
}

}  // namespace tvx
