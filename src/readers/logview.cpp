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

bool ConvertLogviewLine(ReaderSteps& s, std::string& line) {
    WorkingContact& c = s.contact();
    std::string date = CutLogviewField(line);
    if (CharCount(date) != 8) {
        c.m_strDate = date;
        return Fail(s, "Date?");
    }
    c.m_strDate = CenturyDate(Mid(date, 6, 2), Mid(date, 0, 2), Mid(date, 3, 2));

    // A time of another form leaves "00", which the time check rejects.
    c.m_strTime = HhMmTime(CutLogviewField(line), false);
    c.m_strCall = CutLogviewField(line);
    c.m_strName = CutLogviewField(line);
    std::string report = CutLogviewField(line);
    if (CharCount(report) < 4) c.m_strRstSent = report;
    report = CutLogviewField(line);
    if (CharCount(report) < 4) c.m_strRstRcvd = report;

    std::string freq = CutLogviewField(line);
    std::size_t point = freq.find('.');
    if (point == 0 || freq.empty()) return Fail(s, "Band?");
    // Megahertz with three decimals: dropping the point gives kilohertz.
    c.m_strFreq = TrimLeft(WithoutFirst(freq, '.') + ".0");
    c.m_strBand = BandFromFrequency(c.m_strFreq);

    std::string power = CutLogviewField(line);
    if (!power.empty()) c.m_strPower = Left(power, 4);

    std::string mode = CutLogviewField(line);
    if (mode.empty()) {
        return FailNoMode(s);
    }
    c.ModeCodeFromName(mode);

    if (CheckDate(c.m_strDate)) return Fail(s, "Date?");

    std::string qth = CutLogviewField(line);
    if (!qth.empty()) c.m_strQth = Left(qth, 25);
    c.m_strNote = CutLogviewField(line);
    c.m_strQslVia = CutLogviewField(line).empty() ? kQslViaBureau : kQslViaManager;
    if (CutLogviewField(line) == "Y") c.m_nConfirmed = 1;
    line = TrimRight(line);
    if (CutLogviewField(line) == "Y") c.m_strQslSentDate = c.m_strDate;

    return true;
}

}  // namespace

void ImportLogview(ReaderSteps& s) {
    ImportTextLines(s, ";- ", ConvertLogviewLine);
}

}  // namespace tvx
