// DXlog v1.9: the frequency is a number of megahertz in the BAND column, and
// the log has no state column.

#include <charconv>

#include "import/contact.h"
#include "readers/adif_fields.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kCall,
    kDate,
    kTime,
    kBand,
    kMode,
    kRst,
    kRstRx,
    kConfirm,
    kSentQsl,
    kComments,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kCall, "CALL"},       {kDate, "DATE"},         {kTime, "TIME"},   {kBand, "BAND"},
    {kMode, "MODE"},       {kRst, "RST"},           {kRstRx, "RSTRX"}, {kConfirm, "CONFIRM"},
    {kSentQsl, "SENTQSL"}, {kComments, "COMMENTS"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

// The number as "%f" prints it (six decimals), for the ADIF conversion;
// written without the locale, which may have a decimal comma.
std::string MegahertzText(const DbaseRow& row, std::size_t pos) {
    const Value& v = row.at(pos);
    double mhz = 0;
    if (v.kind == Value::Kind::Real) {
        mhz = v.real;
    } else if (v.kind == Value::Kind::Integer) {
        mhz = static_cast<double>(v.integer);
    } else {
        const std::string text = row.Text(pos);
        if (text.empty()) return {};
        std::from_chars(text.data(), text.data() + text.size(), mhz);
    }
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, mhz, std::chars_format::fixed, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

bool ConvertDxLogRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadCall(s, row.Text(kCall))) return false;
    if (!ReadQsoDate(s, row, kDate)) return false;
    if (!ReadTime(s, row.Text(kTime))) return false;
    c.m_strFreq = AdifFrequencyToKhz(MegahertzText(row, kBand));
    if (c.m_strFreq.empty()) return Fail(s, "Band?");
    c.m_strBand = BandFromFrequency(c.m_strFreq);
    const std::string mode = row.Text(kMode);
    if (mode.empty()) {
        return FailNoMode(s);
    }
    c.m_strRstSent = row.Text(kRst);
    c.m_strRstRcvd = row.Text(kRstRx);
    if (row.IsTrue(kConfirm)) c.m_nConfirmed = 1;
    if (row.IsTrue(kSentQsl)) c.m_bQslSent = 1;
    CutInto(c.m_strNote, row.Text(kComments), 50);
    c.ModeCodeFromName(mode);
    return true;
}

}  // namespace

void ImportDxLog(ReaderSteps& s) {
    // No state rule beyond the Hawaii and Alaska states of the resolution.
    ImportDbaseTable(s, {kColumns, ConvertDxLogRow});
}

}  // namespace tvx
