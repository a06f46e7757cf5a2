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
    kQslReceive,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kDate, "DATE"},
    {kTime, "TIME"},
    {kCallsign, "CALLSIGN"},
    {kSent, "SENT"},
    {kReceived, "RECEIVED"},
    {kBand, "BAND"},
    {kFrequency, "FREQUENCY"},
    {kMode, "MODE"},
    {kPower, "POWER"},
    {kName, "NAME"},
    {kQth, "QTH"},
    {kRemarks, "REMARKS"},
    {kQslSent, "QSLSENT"},
    {kQslReceive, "QSLRECEIVE"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

bool ConvertHyperLogRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTime)))) return false;
    if (!ReadCall(s, row.Text(kCallsign))) return false;
    c.m_strRstSent = row.Text(kSent);
    c.m_strRstRcvd = row.Text(kReceived);
    c.m_strFreq = MhzTextToKhz(row.Text(kFrequency));
    if (c.BandCodeFromName(row.Text(kBand))) {
        if (c.m_strFreq.empty()) return Fail(s, "Band?");
        c.m_strBand = BandFromFrequency(c.m_strFreq);
    }
    if (!ReadModeName(s, row.Text(kMode), true)) return false;

    CutInto(c.m_strPower, row.Text(kPower), 4);
    CutInto(c.m_strName, row.Text(kName), 15);
    CutInto(c.m_strQth, row.Text(kQth), 25);
    AppendNote(s, row.Text(kRemarks));
    if (EqualsNoCase(row.Text(kQslSent), "Y")) {
        c.m_strQslSentDate = c.m_strDate;
        c.m_bQslSent = 1;
    }
    if (EqualsNoCase(row.Text(kQslReceive), "Y")) c.m_nConfirmed = 1;
    return true;
}

}  // namespace

void ImportHyperLog(ReaderSteps& s) {
    ImportDbaseTable(s, {kColumns, ConvertHyperLogRow});
}

}  // namespace tvx
