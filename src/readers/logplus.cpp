// LogPlus v3-v4: a WPX column, QSL route letters, YL and QRP marks, and a
// frequency whose fraction may not be longer than kilohertz.

#include "import/contact.h"
#include "import/domain.h"
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
    kQrp,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kDate, "DATE"},   {kTime, "TIME"}, {kWpx, "WPX"},         {kCall, "CALL"}, {kFreq, "FREQ"},
    {kMode, "MODE"},   {kSent, "SENT"}, {kRcvd, "RCVD"},       {kName, "NAME"}, {kNote, "NOTE"},
    {kQth, "QTH"},     {kZone, "ZONE"}, {kState, "STATE"},     {kGrid, "GRID"}, {kIota, "IOTA"},
    {kPower, "POWER"}, {kQsl, "QSL"},   {kQslDate, "QSLDATE"}, {kYl, "YL"},     {kQrp, "QRP"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

void ApplyQslLetter(ReaderSteps& s, const std::string& qsl) {
    WorkingContact& c = s.contact();
    if (qsl.empty()) return;
    // X: a card sent direct that came back; O: sent another way.
    std::string_view route = QslRouteOfLetter(EqualsNoCase(qsl, "X") ? "D" : qsl);
    if (EqualsNoCase(qsl, "O")) route = kQslViaOther;
    c.m_strQslVia = route.empty() ? kQslViaNone : route;
    if (EqualsNoCase(qsl, "X")) c.m_nConfirmed = 1;
}

bool ConvertLogPlusRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTime)))) return false;
    const std::string wpx = row.Text(kWpx);
    if (!wpx.empty()) c.m_strWpx = wpx;
    if (!ReadCall(s, row.Text(kCall))) return false;
    const std::string freq = row.Text(kFreq);
    if (!ReadMhzFrequency(s, freq)) return false;
    if (!ReadModeName(s, row.Text(kMode), true)) return false;
    c.m_strRstSent = row.Text(kSent);
    c.m_strRstRcvd = row.Text(kRcvd);

    CutInto(c.m_strName, row.Text(kName), 15);
    CutInto(c.m_strPower, row.Text(kPower), 4);
    AppendNote(s, row.Text(kNote));
    CutInto(c.m_strQth, row.Text(kQth), 25);
    const std::string state = row.Text(kState);
    if (CharCount(state) == 2) c.m_strState = state;
    const std::string grid = row.Text(kGrid);
    if (CharCount(grid) == 4 || CharCount(grid) == 6) c.m_strGrid = grid;
    const std::string iota = row.Text(kIota);
    if (CharCount(iota) == 5) c.m_strIota = iota;
    ApplyQslLetter(s, row.Text(kQsl));
    const std::string sent = QslSentDateOf(row, kQslDate);
    if (!sent.empty()) c.m_strQslSentDate = sent;
    if (EqualsNoCase(row.Text(kYl), "X")) c.m_bYL = 1;
    if (EqualsNoCase(row.Text(kQrp), "X")) c.m_bQRP = 1;
    return true;
}

}  // namespace

void ImportLogPlus(ReaderSteps& s) {
    ImportDbaseTable(s, {kColumns, ConvertLogPlusRow});
}

}  // namespace tvx
