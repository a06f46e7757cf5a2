// TopLog v2.5: Italian column names, the call read first, and a date text
// with a two-digit year.

#include "import/contact.h"
#include "readers/dbase_frame.h"
#include "readers/readers.h"

namespace tvx {
namespace {

enum Column {
    kData,
    kOra,
    kFreq,
    kModo,
    kCall,
    kRsti,
    kRstr,
    kQsli,
    kQslr,
    kNome,
    kQth,
    kInfo,
    kContinent,
    kPx,
    kColumnCount
};

// The columns read, by their place in Column.
constexpr DbaseColumn kColumns[] = {
    {kData, "DATA"}, {kOra, "ORA"},   {kFreq, "FREQ"},           {kModo, "MODO"}, {kCall, "CALL"},
    {kRsti, "RSTI"}, {kRstr, "RSTR"}, {kQsli, "QSLI"},           {kQslr, "QSLR"}, {kNome, "NOME"},
    {kQth, "QTH"},   {kInfo, "INFO"}, {kContinent, "CONTINENT"}, {kPx, "PX"},
};
static_assert(ColumnsInOrder(kColumns, kColumnCount));

// YY?MM?DD: years 00 to 39 are 2000 to 2039, 40 to 99 are 1940 to 1999.
bool ReadTopLogDate(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (row.at(kData).kind == Value::Kind::Date) return ReadQsoDate(s, row, kData);
    const std::string data = row.Text(kData);
    if (CharCount(data) != 8 || data.size() != 8) {
        c.m_strDate = data;
        return Fail(s, "Date?");
    }
    const std::string century = LeadingInt(data.substr(0, 2)) < 40 ? "20" : "19";
    c.m_strDate = century + data.substr(0, 2) + data.substr(3, 2) + data.substr(6, 2);
    return true;
}

bool ConvertTopLogRow(ReaderSteps& s, const DbaseRow& row) {
    WorkingContact& c = s.contact();
    if (!ReadCall(s, row.Text(kCall))) return false;
    if (!ReadTopLogDate(s, row)) return false;
    if (!ReadTime(s, row.Text(kOra))) return false;
    const std::string freq = row.Text(kFreq);
    if (!ReadMhzFrequency(s, freq)) return false;
    const std::string mode = row.Text(kModo);
    if (mode.empty()) {
        return FailNoMode(s);
    }
    c.m_strRstSent = row.Text(kRsti);
    c.m_strRstRcvd = row.Text(kRstr);
    if (EqualsNoCase(row.Text(kQsli), "Y")) c.m_bQslSent = 1;
    if (EqualsNoCase(row.Text(kQslr), "Y")) c.m_nConfirmed = 1;
    CutInto(c.m_strName, row.Text(kNome), 15);
    CutInto(c.m_strQth, row.Text(kQth), 25);
    CutInto(c.m_strNote, row.Text(kInfo), 50);
    CutInto(c.m_strSpec1, row.Text(kContinent), 25);
    CutInto(c.m_strWpx, row.Text(kPx), 6);
    c.ModeCodeFromName(mode);
    return true;
}

}  // namespace

void ImportTopLog(ReaderSteps& s) {
    // No state column: only the Hawaii and Alaska states of the resolution.
    ImportDbaseTable(s, {kColumns, ConvertTopLogRow});
}

}  // namespace tvx
