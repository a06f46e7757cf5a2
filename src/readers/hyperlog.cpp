// HyperLog v2 - v3.06: the dBASE log whose mapping the other dBASE readers
// vary.

#include "import/contact.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kDate,
    kTime,
    kCallsign,
    kSent,
    kReceived,
    kBand,
    kFrequency,
    kMode,
    kPower,
    kName,
    kQth,
    kRemarks,
    kQslSent,
    kQslReceive
};

bool ConvertHyperLogRow(ImportSession& s, const DbaseRow& row) {
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTime)))) return false;
    if (!ReadCall(s, row.Text(kCallsign))) return false;
    s.m_strRstSent = row.Text(kSent);
    s.m_strRstRcvd = row.Text(kReceived);
    s.m_strFreq = MhzTextToKhz(row.Text(kFrequency));
    if (s.BandCodeFromName(row.Text(kBand))) {
        if (s.m_strFreq.empty()) return Fail(s, "Band?");
        s.m_strBand = BandFromFrequency(s.m_strFreq);
    }
    if (!ReadModeName(s, row.Text(kMode), true)) return false;

    CutInto(s.m_strPower, row.Text(kPower), 4);
    CutInto(s.m_strName, row.Text(kName), 15);
    CutInto(s.m_strQth, row.Text(kQth), 25);
    AppendNote(s, row.Text(kRemarks));
    if (EqualsNoCase(row.Text(kQslSent), "Y")) {
        s.m_strQslSentDate = s.m_strDate;
        s.m_bQslSent = 1;
    }
    if (EqualsNoCase(row.Text(kQslReceive), "Y")) s.m_nConfirmed = 1;
    return true;
}

}  // namespace

void ImportHyperLog(ImportSession& s) {
    ImportDbaseTable(s, {"DATE, TIME, CALLSIGN, SENT, RECEIVED, BAND, FREQUENCY, MODE, POWER, "
                         "NAME, QTH, REMARKS, QSLSENT, QSLRECEIVE",
                         ConvertHyperLogRow,
                         {KeepStateOfUsPrefixes(), true}});
}

}  // namespace tvx
