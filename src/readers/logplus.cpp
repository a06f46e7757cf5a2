// LogPlus v3-v4: a WPX column, QSL route letters, YL and QRP marks, and a
// frequency whose fraction may not be longer than kilohertz.

#include "import/contact.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kDate,
    kTime,
    kWpx,
    kCall,
    kFreq,
    kMode,
    kSent,
    kRcvd,
    kName,
    kNote,
    kQth,
    kZone,
    kState,
    kGrid,
    kIota,
    kPower,
    kQsl,
    kQslDate,
    kYl,
    kQrp
};

void ApplyQslLetter(ImportSession& s, const std::string& qsl) {
    if (qsl.empty()) return;
    static const std::pair<const char*, const char*> kRoutes[] = {
        {"X", "1"}, {"D", "1"}, {"B", "0"}, {"$", "2"}, {"M", "3"}, {"O", "4"}};
    s.m_strQslVia = "5";
    for (const auto& [letter, route] : kRoutes) {
        if (EqualsNoCase(qsl, letter)) {
            s.m_strQslVia = route;
            break;
        }
    }
    // X marks a card that came back.
    if (EqualsNoCase(qsl, "X")) s.m_nConfirmed = 1;
}

bool ConvertLogPlusRow(ImportSession& s, const DbaseRow& row) {
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTime)))) return false;
    const std::string wpx = row.Text(kWpx);
    if (!wpx.empty()) s.m_strWpx = wpx;
    if (!ReadCall(s, row.Text(kCall))) return false;
    const std::string freq = row.Text(kFreq);
    if (freq.empty()) return Fail(s, "Band?");
    bool tooPrecise = false;
    s.m_strFreq = MhzTextToKhz(freq, &tooPrecise);
    if (tooPrecise) return Fail(s, "Freq?");
    s.m_strBand = BandFromFrequency(s.m_strFreq);
    if (!ReadModeName(s, row.Text(kMode), true)) return false;
    s.m_strRstSent = row.Text(kSent);
    s.m_strRstRcvd = row.Text(kRcvd);

    CutInto(s.m_strName, row.Text(kName), 15);
    CutInto(s.m_strPower, row.Text(kPower), 4);
    AppendNote(s, row.Text(kNote));
    CutInto(s.m_strQth, row.Text(kQth), 25);
    const std::string state = row.Text(kState);
    if (CharCount(state) == 2) s.m_strState = state;
    const std::string grid = row.Text(kGrid);
    if (CharCount(grid) == 4 || CharCount(grid) == 6) s.m_strGrid = grid;
    const std::string iota = row.Text(kIota);
    if (CharCount(iota) == 5) s.m_strIota = iota;
    ApplyQslLetter(s, row.Text(kQsl));
    const std::string sent = QslSentDateOf(row, kQslDate);
    if (!sent.empty()) s.m_strQslSentDate = sent;
    if (EqualsNoCase(row.Text(kYl), "X")) s.m_bYL = 1;
    if (EqualsNoCase(row.Text(kQrp), "X")) s.m_bQRP = 1;
    return true;
}

}  // namespace

void ImportLogPlus(ImportSession& s) {
    ImportDbaseTable(s, {"DATE, TIME, WPX, CALL, FREQ, MODE, SENT, RCVD, NAME, NOTE, QTH, ZONE, "
                         "STATE, GRID, IOTA, POWER, QSL, QSLDATE, YL, QRP",
                         ConvertLogPlusRow,
                         {KeepStateOfUsPrefixes(), true}});
}

}  // namespace tvx
