// DX DeskTop v2.75: one-letter modes, no frequency column, and QSL columns
// where anything but "N" counts as yes.

#include "import/contact.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kDate,
    kTime,
    kCallsign,
    kRstSent,
    kRstRcd,
    kBand,
    kMode,
    kPower,
    kName,
    kRemarks,
    kQslSent,
    kQslRcd,
    kState,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kDate, "DATE"},     {kTime, "TIME"},       {kCallsign, "CALLSIGN"}, {kRstSent, "RSTSENT"},
    {kRstRcd, "RSTRCD"}, {kBand, "BAND"},       {kMode, "MODE"},         {kPower, "POWER"},
    {kName, "NAME"},     {kRemarks, "REMARKS"}, {kQslSent, "QSLSENT"},   {kQslRcd, "QSLRCD"},
    {kState, "STATE"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

bool ConvertDxDeskTopRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, row.Text(kTime))) return false;
    if (!ReadCall(s, row.Text(kCallsign))) return false;
    c.m_strRstSent = row.Text(kRstSent);
    c.m_strRstRcvd = row.Text(kRstRcd);
    const std::string band = row.Text(kBand);
    if (band.empty() || c.BandCodeFromName(band)) return Fail(s, "Band?");

    // An unknown letter is only a warning: the contact goes in as USB.
    const std::string letter = row.Text(kMode);
    std::string modeName = "USB";
    if (letter == "C") {
        modeName = "CW";
    } else if (letter == "P") {
        modeName = "SSB";
    } else if (letter == "R") {
        modeName = "RTTY";
    } else if (letter == "S") {
        c.m_strSatName = "MIR";
    } else {
        c.m_strMode = "USB";
        s.ReportWarning("Mode?");
    }
    c.ModeCodeFromName(modeName);

    CutInto(c.m_strPower, row.Text(kPower), 4);
    CutInto(c.m_strName, row.Text(kName), 15);
    AppendNote(s, row.Text(kRemarks));
    if (row.Text(kQslSent) != "N") c.m_bQslSent = 1;
    if (row.Text(kQslRcd) != "N") c.m_nConfirmed = 1;
    CutInto(c.m_strState, row.Text(kState), 2);
    return true;
}

}  // namespace

void ImportDxDeskTop(ReaderSteps& s) {
    ImportDbaseTable(s, {kColumns, ConvertDxDeskTopRow});
}

}  // namespace tvx
