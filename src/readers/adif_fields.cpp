#include "readers/adif_fields.h"

#include <string_view>
#include <unordered_map>
#include <utility>

#include "import/domain.h"
#include "readers/adif_tables.h"

namespace tvx {
namespace {

bool IsYes(const std::string& value) {
    return EqualsNoCase(value, "Y");
}

// Yes-fields only ever raise a flag.
void SetFlagIfYes(int& flag, const std::string& value) {
    if (IsYes(value)) flag = 1;
}

// Four or five characters are hours and minutes; seconds become 00.
std::string AdifTime(const std::string& value) {
    const std::size_t n = CharCount(value);
    if (n <= 3) return {};
    if (n <= 5) return Left(value, 4) + "00";
    return Left(value, 6);
}

void SetDateIfWellFormed(std::string& member, const std::string& value) {
    if (CharCount(value) == 8) member = value;
}

void SetZone(std::string& member, const std::string& value) {
    const std::size_t n = CharCount(value);
    if (n == 1) {
        member = "0" + value;
    } else if (n == 2) {
        member = value;
    }
}

// A 16-character mode text cannot be a mode; "89" is phone whose sideband
// the band decides later.
void SetMode(AdifRecord& s, const std::string& value) {
    // An empty mode says nothing, like any other empty value.
    if (value.empty()) return;
    if (CharCount(value) >= 16) {
        s.c.m_strMode = "99";
        return;
    }
    const std::string upper = ToUpper(value);
    for (const auto& [name, code] : kAdifModes) {
        if (upper == name) {
            s.c.m_strMode = code;
            return;
        }
    }
    if (upper.find("SSTV") != std::string::npos) {
        s.c.m_strMode = "7";
        return;
    }
    s.c.m_strMode = "6";
    s.c.m_strSubmode = Left(upper, 12);
}

void SetIota(AdifRecord& s, const std::string& value) {
    if (CharCount(value) != 6) return;
    // EU-005, EU 005 and EU_005 all become EU005.
    const std::string text = Left(value, 2) + "-" + value.substr(Left(value, 3).size());
    const std::size_t dash = text.find('-');
    s.c.m_strIota = ToUpper(text.substr(0, dash) + text.substr(dash + 1));
}

void SetGrid(AdifRecord& s, const std::string& value) {
    const std::size_t n = CharCount(value);
    if (n <= 3) return;
    s.c.m_strGrid = ToUpper(n == 6 ? value : Left(value, 4));
}

void SetComment(AdifRecord& s, const std::string& value) {
    if (value.empty()) return;
    s.c.m_strNote = Left(TrimLeft(value), 50);
}

// ADIF writes the county as "state,county".
void SetCounty(AdifRecord& s, const std::string& value) {
    const std::size_t comma = value.find(',');
    if (value.empty() || comma == std::string::npos) return;
    const std::string statePart = ToUpper(value.substr(0, comma));
    if (CharCount(statePart) != 2) return;
    if (s.c.m_strState.empty()) s.c.m_strState = statePart;
    std::string county = ToUpper(Trim(value.substr(comma + 1)));
    const std::size_t quote = county.find('\'');
    if (quote != std::string::npos) county.erase(quote);
    s.c.m_strCounty = county;
    if (county.empty()) return;
    if (CharCount(county) > 25) {
        s.c.m_strCounty.clear();
        return;
    }
    if (s.engine.LookupCounty(s.c.m_strState, s.c.m_strCounty) == 0) {
        s.engine.ReportWarning("County?");
        s.c.m_strCounty.clear();
    }
}

// QSL_VIA carries a route keyword, not a manager's callsign.
void SetQslVia(AdifRecord& s, const std::string& value) {
    if (value.empty()) return;
    if (const std::string_view route = QslRouteOfLetter(value); !route.empty()) {
        s.c.m_strQslVia = route;
        return;
    }
    for (const auto& [name, code] : kAdifQslRoutes) {
        if (EqualsNoCase(value, name)) {
            s.c.m_strQslVia = code;
            return;
        }
    }
    s.c.m_strQslVia = kQslViaNone;
}

void SetIfShorter(std::string& member, const std::string& value, std::size_t limit) {
    if (CharCount(value) < limit) member = value;
}

int LeadingNumber(const std::string& value) {
    return static_cast<int>(LeadingInt(value));
}

using FieldHandler = void (*)(AdifRecord&, const std::string&);

const std::unordered_map<std::string_view, FieldHandler>& FieldTable() {
    static const std::unordered_map<std::string_view, FieldHandler> kTable = {
        {"CALL", [](AdifRecord& s, const std::string& v) { s.c.m_strCall = ToUpper(v); }},
        {"BAND", [](AdifRecord& s, const std::string& v) { s.c.m_strBand = AdifBandCode(v); }},
        {"MODE", SetMode},
        {"SUBMODE", SetMode},
        {"TVXSUBMODE",
         [](AdifRecord& s, const std::string& v) {
             s.c.m_strSubmode = ToUpper(Left(v, 12));
             s.c.m_strMode = "6";
         }},
        {"TIME_ON", [](AdifRecord& s, const std::string& v) { s.c.m_strTime = AdifTime(v); }},
        {"TIME_OFF", [](AdifRecord& s, const std::string& v) { s.c.m_strEndTime = AdifTime(v); }},
        {"QSO_DATE",
         [](AdifRecord& s, const std::string& v) { SetDateIfWellFormed(s.c.m_strDate, v); }},
        {"QSLRDATE",
         [](AdifRecord& s, const std::string& v) {
             if (!v.empty()) s.c.m_nConfirmed = 1;
             SetDateIfWellFormed(s.c.m_strQslRcvdDate, v);
         }},
        {"QSL_RCVD",
         [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_nConfirmed, v); }},
        {"QSL_SENT", [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_bQslSent, v); }},
        {"QSLSDATE",
         [](AdifRecord& s, const std::string& v) { SetDateIfWellFormed(s.c.m_strQslSentDate, v); }},
        {"STATE",
         [](AdifRecord& s, const std::string& v) {
             if (CharCount(v) == 2) s.c.m_strState = ToUpper(v);
         }},
        {"FREQ",
         [](AdifRecord& s, const std::string& v) {
             if (!v.empty()) s.c.m_strFreq = AdifFrequencyToKhz(v);
         }},
        {"CQZ", [](AdifRecord& s, const std::string& v) { SetZone(s.c.m_strCqZone, v); }},
        {"ITUZ", [](AdifRecord& s, const std::string& v) { SetZone(s.c.m_strItuZone, v); }},
        {"YL", [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_bYL, v); }},
        {"QRP", [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_bQRP, v); }},
        {"RST_RCVD",
         [](AdifRecord& s, const std::string& v) { SetIfShorter(s.c.m_strRstRcvd, v, 4); }},
        {"RST_SENT",
         [](AdifRecord& s, const std::string& v) { SetIfShorter(s.c.m_strRstSent, v, 4); }},
        {"TEN_TEN",
         [](AdifRecord& s, const std::string& v) { SetIfShorter(s.c.m_strTenTen, v, 8); }},
        {"DXCC", [](AdifRecord& s, const std::string& v) { LookupDxccPrefix(s, v); }},
        {"IOTA", SetIota},
        {"GRIDSQUARE", SetGrid},
        {"PFX",
         [](AdifRecord& s, const std::string& v) {
             const std::size_t n = CharCount(v);
             if (n >= 1 && n <= 5) s.c.m_strWpx = ToUpper(v);
         }},
        {"COMMENT", SetComment},
        {"CNTY", SetCounty},
        {"QSL_VIA", SetQslVia},
        {"ARRL_SECT", [](AdifRecord& s, const std::string& v) { s.c.m_strSection = ToUpper(v); }},
        {"NAME", [](AdifRecord& s, const std::string& v) { s.c.m_strName = v; }},
        {"QTH", [](AdifRecord& s, const std::string& v) { s.c.m_strQth = CutToWidth(v, 25); }},
        {"SAT_NAME",
         [](AdifRecord& s, const std::string& v) {
             if (v == ">") return;
             s.c.m_strSatName = Left(v, 5);
         }},
        {"SPEC1", [](AdifRecord& s, const std::string& v) { SetIfShorter(s.c.m_strSpec1, v, 26); }},
        {"SPEC2", [](AdifRecord& s, const std::string& v) { SetIfShorter(s.c.m_strSpec2, v, 26); }},
        {"OPERATOR",
         [](AdifRecord& s, const std::string& v) { s.c.m_strOprCall = ToUpper(Left(v, 15)); }},
        {"APP_LOTW_OWNCALL",
         [](AdifRecord& s, const std::string& v) { s.c.m_strOwnCall = ToUpper(Left(v, 15)); }},
        {"TX_PWR", [](AdifRecord& s, const std::string& v) { s.c.m_strPower = Left(v, 4); }},
        {"TVXUSER1", [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_bUser1, v); }},
        {"TVXUSER2", [](AdifRecord& s, const std::string& v) { SetFlagIfYes(s.c.m_bUser2, v); }},
        {"TVXPFX", [](AdifRecord& s, const std::string& v) { s.c.m_strPrefix = Left(v, 4); }},
        {"TVXAWD", [](AdifRecord& s, const std::string& v) { s.c.m_nAward = LeadingNumber(v); }},
        {"TVXMGRN", [](AdifRecord& s, const std::string& v) { s.c.m_strMgrNumber = Left(v, 1); }},
        {"TVXQSLN", [](AdifRecord& s, const std::string& v) { s.c.m_strQslNumber = v; }},
        {"TVXSEL", [](AdifRecord& s, const std::string& v) { s.c.m_nSelect = LeadingNumber(v); }},
        {"TVXVAL", [](AdifRecord& s, const std::string& v) { s.c.m_nValid = LeadingNumber(v); }},
        {"TVXQSL_RCVD", [](AdifRecord& s, const std::string& v) { s.c.m_strConfirm = v; }},
        {"TVXQSL_SENT", [](AdifRecord& s, const std::string& v) { s.c.m_strQslsStatus = v; }},
        {"TVXLOTWR", [](AdifRecord& s,
                        const std::string& v) { SetDateIfWellFormed(s.c.m_strLotwRcvdDate, v); }},
        {"PROP_MODE", [](AdifRecord& s, const std::string& v) { s.c.m_strSatMode = Left(v, 15); }},
    };
    return kTable;
}

}  // namespace

void ApplyAdifField(AdifRecord& r, const std::string& name, const std::string& value) {
    const auto& table = FieldTable();
    const auto it = table.find(name);
    if (it != table.end()) it->second(r, value);
}

std::string AdifFrequencyToKhz(const std::string& mhz) {
    if (mhz.empty()) return {};
    const std::size_t dot = mhz.find('.');
    if (dot == std::string::npos) return mhz + "000.00";
    std::string fraction = mhz.substr(dot + 1);
    const std::size_t secondDot = fraction.find('.');
    if (secondDot != std::string::npos) fraction.erase(secondDot);
    fraction = Left(fraction, 3);
    static const char* const kPadding[] = {"000.00", "00.00", "0.00", ".00"};
    return mhz.substr(0, dot) + fraction + kPadding[CharCount(fraction)];
}

std::string AdifBandCode(const std::string& name) {
    const std::string trimmed = TrimLeft(name);
    for (const BandFact& band : kBandFacts) {
        if (EqualsNoCase(trimmed, band.adifName)) return std::to_string(band.code);
    }
    return "99";
}

}  // namespace tvx
