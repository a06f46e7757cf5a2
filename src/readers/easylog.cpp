// EasyLog: an ADIF band name with the frequency as fallback, a frequency that
// may already be in kilohertz, and QSL route letters.

#include "import/contact.h"
#include "import/domain.h"
#include "readers/adif_fields.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

// ITU, WAZ and SAT are selected but never read.
enum Column {
    kDate,
    kTimeIni,
    kBand,
    kFrequency,
    kMode,
    kCall,
    kRstSnd,
    kRstRcv,
    kName,
    kQth,
    kNote,
    kLocator,
    kQslSnd,
    kQslRcv,
    kItu,
    kWaz,
    kWpx,
    kPower,
    kSat,
    kIotaRef,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kDate, "DATE"},      {kTimeIni, "TIME_INI"}, {kBand, "BAND"},      {kFrequency, "FREQUENCY"},
    {kMode, "MODE"},      {kCall, "CALL"},        {kRstSnd, "RST_SND"}, {kRstRcv, "RST_RCV"},
    {kName, "NAME"},      {kQth, "QTH"},          {kNote, "NOTE"},      {kLocator, "LOCATOR"},
    {kQslSnd, "QSL_SND"}, {kQslRcv, "QSL_RCV"},   {kItu, "ITU"},        {kWaz, "WAZ"},
    {kWpx, "WPX"},        {kPower, "POWER"},      {kSat, "SAT"},        {kIotaRef, "IOTA_REF"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

// Without a point, four digits or more are already kilohertz.
std::string EasyLogFrequency(const std::string& text) {
    std::string bare = text;
    if (!bare.empty() && bare.back() == '.') bare.pop_back();
    if (bare.find('.') == std::string::npos && CharCount(bare) >= 4) return bare + ".0";
    return MhzTextToKhz(bare);
}

void ApplyQslSent(ReaderSteps& s, const std::string& qsl) {
    WorkingContact& c = s.contact();
    // S: sent another way.
    std::string_view route = EqualsNoCase(qsl, "S") ? kQslViaOther : QslRouteOfLetter(qsl);
    c.m_strQslVia = route.empty() ? kQslViaNone : route;
    if (!route.empty()) {
        c.m_bQslSent = 1;
        c.m_strQslSentDate = c.m_strDate;
    }
}

bool ConvertEasyLogRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, TimeWithoutSeparator(row.Text(kTimeIni)))) return false;
    const std::string wpx = row.Text(kWpx);
    if (!wpx.empty()) c.m_strWpx = wpx;
    if (!ReadCall(s, row.Text(kCall))) return false;

    // A known band name wins over a frequency that disagrees with it.
    c.m_strBand = AdifBandCode(row.Text(kBand));
    const std::string freq = row.Text(kFrequency);
    if (!freq.empty()) c.m_strFreq = EasyLogFrequency(freq);
    if (c.m_strBand == "99") {
        if (c.m_strFreq.empty()) return Fail(s, "Band or Freq?");
        c.m_strBand = BandFromFrequency(c.m_strFreq);
    }
    if (!ReadModeName(s, row.Text(kMode), true)) return false;
    c.m_strRstSent = row.Text(kRstSnd);
    c.m_strRstRcvd = row.Text(kRstRcv);

    CutInto(c.m_strName, row.Text(kName), 15);
    CutInto(c.m_strPower, row.Text(kPower), 4);
    AppendNote(s, row.Text(kNote));
    CutInto(c.m_strQth, row.Text(kQth), 25);
    const std::string locator = row.Text(kLocator);
    if (CharCount(locator) == 4 || CharCount(locator) == 6) c.m_strGrid = locator;
    const std::string iota = row.Text(kIotaRef);
    if (CharCount(iota) == 5) c.m_strIota = iota;
    ApplyQslSent(s, row.Text(kQslSnd));
    const std::string received = row.Text(kQslRcv);
    if (!received.empty() && received[0] != 'N') c.m_nConfirmed = 1;
    return true;
}

}  // namespace

void ImportEasyLog(ReaderSteps& s) {
    ImportDbaseTable(s, {kColumns, ConvertEasyLogRow});
}

}  // namespace tvx
