// Q9ZZ v3: band and mode are numbers of the log's own, satellite contacts
// are marked, and the IOTA reference may carry a dash.

#include "import/contact.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kDate,
    kTime,
    kCall,
    kBand,
    kMode,
    kRstSent,
    kRstRcvd,
    kSatellite,
    kNote,
    kQslSent,
    kDateSent,
    kQslRcvd,
    kState,
    kGridSquare,
    kIota,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kDate, "DATE"},         {kTime, "TIME"},
    {kCall, "CALL"},         {kBand, "BAND"},
    {kMode, "MODE"},         {kRstSent, "RSTSENT"},
    {kRstRcvd, "RSTRCVD"},   {kSatellite, "SATELLITE"},
    {kNote, "NOTE"},         {kQslSent, "QSLSENT"},
    {kDateSent, "DATESENT"}, {kQslRcvd, "QSLRCVD"},
    {kState, "STATE"},       {kGridSquare, "GRIDSQUARE"},
    {kIota, "IOTA"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

std::string BandOfNumber(long number) {
    static const char* const kBands[] = {"10", "9", "8", "7", "6", "5", "4", "3", "2", "1"};
    return number >= 1 && number <= 10 ? kBands[number - 1] : "12";
}

bool ReadQ9zzMode(ReaderSteps& s, const std::string& text) {
    WorkingContact& c = s.contact();
    if (!text.empty()) {
        switch (LeadingInt(text)) {
            case 1:  // the sideband test looks at the first character only
                c.m_strMode =
                    c.m_strBand.starts_with('8') || c.m_strBand.starts_with('9') ? "1" : "0";
                return true;
            case 2:
                c.m_strMode = "2";
                return true;
            case 3:
                c.m_strMode = "5";
                return true;
            case 4:
                c.m_strMode = "3";
                return true;
            case 5:
                c.m_strMode = "4";
                return true;
            case 6:
                c.m_strMode = "7";
                return true;
            case 7:
                c.m_strMode = "6";
                c.m_strSubmode = "AMTOR";
                return true;
            case 8:
                c.m_strMode = "6";
                c.m_strSubmode = "PACTOR";
                return true;
            default:
                break;
        }
    }
    return FailNoMode(s);
}

bool ConvertQ9zzRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTime)))) return false;
    if (!ReadCall(s, row.Text(kCall))) return false;
    const std::string band = row.Text(kBand);
    if (band.empty()) {
        c.m_strBand = "noBand";
        return Fail(s, "Band?");
    }
    c.m_strBand = BandOfNumber(LeadingInt(band));
    if (!ReadQ9zzMode(s, row.Text(kMode))) return false;
    c.m_strRstSent = row.Text(kRstSent);
    c.m_strRstRcvd = row.Text(kRstRcvd);
    const std::string satellite = row.Text(kSatellite);
    if (!satellite.empty()) {
        c.m_strSatName = "MIR";
        c.m_strNote = satellite;
    }
    AppendNote(s, row.Text(kNote));
    if (row.IsTrue(kQslSent)) c.m_bQslSent = 1;
    const std::string sent = QslSentDateOf(row, kDateSent);
    if (!sent.empty()) c.m_strQslSentDate = sent;
    if (row.IsTrue(kQslRcvd)) c.m_nConfirmed = 1;
    const std::string state = row.Text(kState);
    if (CharCount(state) == 2) c.m_strState = state;
    const std::string grid = row.Text(kGridSquare);
    if (CharCount(grid) == 4 || CharCount(grid) == 6) c.m_strGrid = grid;
    const std::string iota = row.Text(kIota);
    // EU-05 is no reference at all: a dash belongs only in the six-character form.
    if (CharCount(iota) == 5 && iota[2] != '-') {
        c.m_strIota = iota;
    } else if (CharCount(iota) == 6 && iota[2] == '-') {
        c.m_strIota = iota.substr(0, 2) + iota.substr(3);
    }
    return true;
}

}  // namespace

void ImportQ9zz(ReaderSteps& s) {
    ImportDbaseTable(s, {kColumns, ConvertQ9zzRow});
}

}  // namespace tvx
