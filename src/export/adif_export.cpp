#include "export/adif_export.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ext/stdio_filebuf.h>

#include <charconv>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <span>
#include <string_view>

#include "db/jet_target.h"
#include "db/schema.h"
#include "db/target.h"
#include "import/contact.h"
#include "import/domain.h"
#include "import/settings.h"
#include "readers/adif_tables.h"
#include "util/file.h"

#ifndef TVX_VERSION
#define TVX_VERSION "0"
#endif

namespace tvx {
namespace {

// Lines end in CR LF, as in the files of the Windows loggers most users move to.
constexpr std::string_view kLineEnd = "\r\n";

// The ADIF submodes a digital contact may carry, by their modes.
struct AdifSubmodes {
    std::string_view mode, submodes;  // blank-separated
};
constexpr AdifSubmodes kAdifSubmodes[] = {
    {"PSK",
     "PSK31 PSK63 PSK63F PSK125 PSK250 PSK500 PSK1000 PSK10 BPSK31 BPSK63 BPSK125 BPSK250 BPSK500 "
     "BPSK1000 QPSK31 QPSK63 QPSK125 QPSK250 QPSK500 8PSK125 8PSK250 8PSK500 8PSK1000 PSKAM10 "
     "PSKAM31 PSKAM50 PSKFEC31 SIM31 FSK31"},
    {"MFSK",
     "FT4 FST4 FST4W JS8 JTMS Q65 FSQCALL MFSK4 MFSK8 MFSK11 MFSK16 MFSK22 MFSK31 MFSK32 MFSK64 "
     "MFSK64L MFSK128 MFSK128L"},
    {"JT65", "JT65A JT65B JT65B2 JT65C JT65C2"},
    {"JT9", "JT9-1 JT9-2 JT9-5 JT9-10 JT9-30"},
    {"JT4", "JT4A JT4B JT4C JT4D JT4E JT4F JT4G"},
    {"ISCAT", "ISCAT-A ISCAT-B"},
    {"QRA64", "QRA64A QRA64B QRA64C QRA64D QRA64E"},
    {"CHIP", "CHIP64 CHIP128"},
    {"DOMINO", "DOMINOEX DOMINOF"},
    {"HELL", "HELL80 FMHELL FSKHELL HELLX5 HELLX9 HFSK PSKHELL SLOWHELL"},
    {"THOR", "THOR4 THOR5 THOR8 THOR11 THOR16 THOR22 THOR-M"},
    {"THRB", "THRBX THROB1 THROB2 THROB4"},
    {"TOR", "AMTORFEC GTOR NAVTEX SITORB"},
    {"PAC", "PAC2 PAC3 PAC4"},
    {"PAX", "PAX2"},
    {"ROS", "ROS-EME ROS-HF ROS-MF"},
    {"DIGITALVOICE", "C4FM DMR DSTAR FREEDV M17"},
    {"OPERA", "OPERA-BEACON OPERA-QSO"},
};

// The ADIF mode of a submode; empty when ADIF knows no such submode.
std::string_view ModeOfSubmode(std::string_view submode) {
    if (submode.empty() || submode.find(' ') != std::string_view::npos) return {};
    for (const auto& [mode, submodes] : kAdifSubmodes) {
        for (std::size_t at = submodes.find(submode); at != std::string_view::npos;
             at = submodes.find(submode, at + 1)) {
            const std::size_t after = at + submode.size();
            if ((at == 0 || submodes[at - 1] == ' ') &&
                (after == submodes.size() || submodes[after] == ' ')) {
                return mode;
            }
        }
    }
    return {};
}

// ADIF modes that are digital modes of their own.
constexpr std::string_view kAdifDigitalModes[] = {
    "ARDOP", "ATV",    "CHIP",   "CLO",  "CONTESTI", "DIGITALVOICE", "DOMINO", "DYNAMIC",
    "FAX",   "FSK441", "FT8",    "HELL", "ISCAT",    "JT4",          "JT9",    "JT44",
    "JT65",  "MFSK",   "MSK144", "MT63", "OLIVIA",   "OPERA",        "PAC",    "PAX",
    "PKT",   "PSK",    "PSK2K",  "Q15",  "QRA64",    "ROS",          "RTTYM",  "T10",
    "THOR",  "THRB",   "TOR",    "V4",   "VOI",      "WINMOR",       "WSPR",
};

// The ADIF propagation modes; the import reads the satellite-mode column
// from PROP_MODE, so any other text is a satellite mode proper.
constexpr std::string_view kAdifPropModes[] = {
    "AS",       "AUE", "AUR", "BS",  "ECH", "EME", "ES", "F2",  "FAI", "GWAVE",
    "INTERNET", "ION", "IRL", "LOS", "MS",  "RPT", "RS", "SAT", "TEP", "TR",
};

template <typename Table>
bool Contains(const Table& table, std::string_view text) {
    for (std::string_view entry : table) {
        if (entry == text) return true;
    }
    return false;
}

// The name of a code in one of the shared tables; the last entry wins, so a
// route gets its spelled-out keyword.
std::string_view NameOfCode(std::span<const AdifName> table, std::string_view code) {
    std::string_view name;
    for (const auto& [entry, entryCode] : table) {
        if (code == entryCode) name = entry;
    }
    return name;
}

// True when the import reads this text, given as MODE or SUBMODE, back as a
// digital contact with exactly this submode.
bool ReadsBackAsDigital(std::string_view submode) {
    if (submode.empty() || CharCount(submode) > 12 || ToUpper(submode) != submode) return false;
    if (submode.find("SSTV") != std::string_view::npos) return false;
    for (const auto& [name, code] : kAdifModes) {
        if (name == submode) return false;
    }
    return true;
}

bool IsDate(std::string_view value) {
    return value.size() == 8 && IsAllDigits(value) && !CheckDate(std::string(value));
}

// hhmmss, or hhmm as ADIF also allows.
bool IsTime(std::string_view value) {
    if (!IsAllDigits(value)) return false;
    if (value.size() == 4) return IsValidTime(std::string(value) + "00");
    return IsValidTime(std::string(value));
}

bool IsZone(std::string_view value, int highest) {
    if (value.empty() || value.size() > 2 || !IsAllDigits(value)) return false;
    const long n = LeadingInt(value);
    return n >= 1 && n <= highest;
}

bool IsInteger(std::string_view value) {
    if (!value.empty() && value.front() == '-') value.remove_prefix(1);
    return IsAllDigits(value);
}

// Kilohertz with decimals ("14025.00") to megahertz ("14.025"), digit for
// digit so that the import's conversion gives the same kilohertz back.
// Empty when the text is not a number.
std::string KhzToMhz(std::string_view khz) {
    const std::size_t dot = khz.find('.');
    std::string_view whole = khz.substr(0, dot);
    std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : khz.substr(dot + 1);
    if (!IsAllDigits(whole) || (!fraction.empty() && !IsAllDigits(fraction))) return {};
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    std::string mhz;
    if (whole.size() > 3) {
        mhz.append(whole.substr(0, whole.size() - 3));
        whole.remove_prefix(whole.size() - 3);
    }
    // Below 1 MHz the import reads ".500" as 500 kHz but "0.500" as 0500.
    mhz += '.';
    mhz.append(3 - whole.size(), '0');
    mhz.append(whole);
    mhz.append(fraction);
    return mhz;
}

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d %H%M%S", &utc);
    return text;
}

// One ADIF record as it is built; the buffer is reused for every row.
class RecordText {
  public:
    void Clear() { text_.clear(); }
    void Field(std::string_view name, std::string_view value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.size()).ptr;
        text_ += '<';
        text_ += name;
        text_ += ':';
        text_.append(digits, end);
        text_ += '>';
        text_ += value;
        text_ += ' ';
    }
    void FieldIfAny(std::string_view name, std::string_view value) {
        if (!value.empty()) Field(name, value);
    }
    void End() {
        text_ += "<EOR>";
        text_ += kLineEnd;
    }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

class RowExporter {
  public:
    RowExporter(const ReferenceData* reference, AdifExportResult& result)
        : reference_(reference), result_(result) {}

    void Write(sqlite3_stmt* row, RecordText& out) {
        row_ = row;
        damaged_ = false;
        out.Clear();
        WriteContact(out);
        WriteQsl(out);
        WriteHostColumns(out);
        out.End();
        ++result_.recordsWritten;
        if (damaged_) ++result_.damagedRecords;
    }

  private:
    std::string_view Text(QsoCol col) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row_, col));
        if (text == nullptr) return {};
        return {text, static_cast<std::size_t>(sqlite3_column_bytes(row_, col))};
    }
    // NULL gives no text at all, an empty text an empty one.
    bool IsNull(QsoCol col) const { return sqlite3_column_text(row_, col) == nullptr; }

    void Damaged(QsoCol col) {
        damaged_ = true;
        ++result_.damagedValues[qsoColumns()[col].name];
    }

    // A free text goes out unless the import could not take it back whole:
    // the reader ends a value at a '<' (the next tag) or a line end, so such
    // a value could even make up a field or a record of its own. It is left
    // out and counted instead.
    void FreeText(RecordText& out, std::string_view name, QsoCol col) {
        const std::string_view value = Text(col);
        if (value.find_first_of("<\r\n") != std::string_view::npos) {
            Damaged(col);
            return;
        }
        out.FieldIfAny(name, value);
    }

    // A value written only when it passes its check; a missing required one
    // or an invalid one counts as damaged.
    void Checked(RecordText& out, std::string_view name, QsoCol col,
                 bool (*valid)(std::string_view), bool required) {
        const std::string_view value = Text(col);
        if (valid(value)) {
            out.Field(name, value);
        } else if (!value.empty() || required) {
            Damaged(col);
        }
    }

    void Date(RecordText& out, std::string_view name, QsoCol col, bool required = false) {
        Checked(out, name, col, IsDate, required);
    }

    void Time(RecordText& out, std::string_view name, QsoCol col, bool required = false) {
        Checked(out, name, col, IsTime, required);
    }

    void Zone(RecordText& out, std::string_view name, QsoCol col, int highest) {
        const std::string_view value = Text(col);
        if (IsZone(value, highest)) {
            out.Field(name, value);
        } else if (!value.empty()) {
            Damaged(col);
        }
    }

    void Mode(RecordText& out) {
        const std::string_view mode = Text(kQsoMode);
        const std::string_view submode = Text(kQsoSubmode);
        if (mode == "6") {
            if (ReadsBackAsDigital(submode)) {
                const std::string_view parent = ModeOfSubmode(submode);
                if (!parent.empty()) {
                    out.Field("MODE", parent);
                    out.Field("SUBMODE", submode);
                    return;
                }
                if (Contains(kAdifDigitalModes, submode)) {
                    out.Field("MODE", submode);
                    return;
                }
            }
            // A digital mode that ADIF does not name (or none at all).
            out.Field("TVXSUBMODE", submode);
            return;
        }
        const ModeFact* fact = ModeOfCodeText(mode);
        if (mode.size() != 1 || fact == nullptr) {
            Damaged(kQsoMode);
            return;
        }
        // A submode beside another mode stays with the row: the application
        // field sets it first and the mode that follows replaces the code.
        out.FieldIfAny("TVXSUBMODE", submode);
        out.Field("MODE", fact->adifName);
        if (mode == "0") out.Field("SUBMODE", "USB");
        if (mode == "1") out.Field("SUBMODE", "LSB");
    }

    void WriteContact(RecordText& out) {
        const std::string_view call = Text(kQsoCall);
        if (call.empty()) Damaged(kQsoCall);
        if (!call.empty()) FreeText(out, "CALL", kQsoCall);
        Date(out, "QSO_DATE", kQsoDate, true);
        Time(out, "TIME_ON", kQsoTime, true);
        Time(out, "TIME_OFF", kQsoEndTime);
        BandAndFrequency(out);
        Mode(out);
        FreeText(out, "RST_SENT", kQsoRsts);
        FreeText(out, "RST_RCVD", kQsoRstr);
        FreeText(out, "NAME", kQsoName);
        FreeText(out, "QTH", kQsoQth);
        FreeText(out, "COMMENT", kQsoNote);
        FreeText(out, "OPERATOR", kQsoOprCall);
        FreeText(out, "TX_PWR", kQsoPower);
        Place(out);
        FreeText(out, "TEN_TEN", kQsoTenTen);
        Satellite(out);
    }

    void BandAndFrequency(RecordText& out) {
        const BandFact* fact = BandOfCodeText(Text(kQsoBand));
        const std::string_view band = fact ? fact->adifName : std::string_view();
        if (band.empty()) {
            Damaged(kQsoBand);
        } else {
            out.Field("BAND", band);
        }
        const std::string_view freq = Text(kQsoFreq);
        if (!freq.empty()) {
            const std::string mhz = KhzToMhz(freq);
            if (mhz.empty()) {
                Damaged(kQsoFreq);
            } else {
                out.Field("FREQ", mhz);
            }
        }
    }

    // Country, zones, state and county, prefix, island and grid.
    void Place(RecordText& out) {
        const std::string_view prefix = Text(kQsoPrefix);
        if (reference_ != nullptr && !prefix.empty()) {
            const CTvx95PrefixSet* country = reference_->findPrefix(std::string(prefix));
            if (country != nullptr) out.FieldIfAny("DXCC", country->m_ARRL_ID);
        }
        Zone(out, "CQZ", kQsoCqZone, 40);
        Zone(out, "ITUZ", kQsoItuZone, 99);
        const std::string_view state = Text(kQsoState);
        out.FieldIfAny("STATE", state);
        const std::string_view county = Text(kQsoCounty);
        if (!county.empty()) {
            // ADIF names a county with its state; alone it says nothing.
            if (state.size() == 2) {
                std::string text(state);
                text += ',';
                text += county;
                out.Field("CNTY", text);
            } else {
                Damaged(kQsoCounty);
            }
        }
        FreeText(out, "PFX", kQsoWpx);
        const std::string_view iota = Text(kQsoIota);
        if (iota.size() == 5 && iota.find('-') == std::string_view::npos) {
            std::string text(iota.substr(0, 2));
            text += '-';
            text += iota.substr(2);
            out.Field("IOTA", text);
        } else {
            out.FieldIfAny("IOTA", iota);
        }
        FreeText(out, "GRIDSQUARE", kQsoGrid);
    }

    void Satellite(RecordText& out) {
        const std::string_view satellite = Text(kQsoSat);
        if (satellite != "None") out.FieldIfAny("SAT_NAME", satellite);
        const std::string_view satMode = Text(kQsoSatMode);
        if (!satMode.empty() && !Contains(kAdifPropModes, satMode)) out.Field("SAT_MODE", satMode);
        out.FieldIfAny("PROP_MODE", satMode);
    }

    void WriteQsl(RecordText& out) {
        const std::string_view sent = Text(kQsoQsls);
        if (!sent.empty() && sent[0] >= '0' && sent[0] <= '3') {
            out.Field("QSL_SENT", sent[0] == '1' || sent[0] == '3' ? "Y" : "N");
        }
        Date(out, "QSLSDATE", kQsoQslSent);
        const std::string_view confirm = Text(kQsoConfirm);
        if (confirm.size() == 1 && confirm[0] >= '0' && confirm[0] <= '3') {
            out.Field("QSL_RCVD", confirm == "1" || confirm == "3" ? "Y" : "N");
            out.Field("LOTW_QSL_RCVD", confirm == "2" || confirm == "3" ? "Y" : "N");
        }
        Date(out, "QSLRDATE", kQsoQslrDate);
        Date(out, "LOTW_QSLRDATE", kQsoLotwRec);

        // Route 5 (None) is what the import assumes without a QSL_VIA.
        const std::string_view via = Text(kQsoQslVia);
        if (!via.empty() && via != "5") {
            const std::string_view route = NameOfCode(kAdifQslRoutes, via);
            if (route.empty()) {
                Damaged(kQsoQslVia);
            } else {
                out.Field("QSL_VIA", route);
            }
        }
    }

    void Number(RecordText& out, std::string_view name, QsoCol col) {
        if (IsNull(col)) return;
        const std::string_view value = Text(col);
        if (IsInteger(value)) {
            out.Field(name, value);
        } else {
            Damaged(col);
        }
    }

    void WriteHostColumns(RecordText& out) {
        if (!IsNull(kQsoCategory)) {
            const std::string_view text = Text(kQsoCategory);
            const long category = LeadingInt(text);
            if (!IsInteger(text) || category < 0 || category > 15) Damaged(kQsoCategory);
            if (category > 0) {
                if (category & 1) out.Field("YL", "Y");
                if (category & 2) out.Field("QRP", "Y");
                if (category & 4) out.Field("TVXUSER1", "Y");
                if (category & 8) out.Field("TVXUSER2", "Y");
            }
        }
        FreeText(out, "SPEC1", kQsoSpec1);
        FreeText(out, "SPEC2", kQsoSpec2);
        FreeText(out, "TVXPFX", kQsoPrefix);
        Number(out, "TVXAWD", kQsoAward);
        Number(out, "TVXSEL", kQsoSelect);
        Number(out, "TVXVAL", kQsoValid);
        if (!IsNull(kQsoMgrNumb)) out.Field("TVXMGRN", Text(kQsoMgrNumb));
        FreeText(out, "TVXQSLN", kQsoQslNumber);
        if (!IsNull(kQsoConfirm)) out.Field("TVXQSL_RCVD", Text(kQsoConfirm));
        if (!IsNull(kQsoQsls)) out.Field("TVXQSL_SENT", Text(kQsoQsls));
        if (IsDate(Text(kQsoLotwRec))) out.Field("TVXLOTWR", Text(kQsoLotwRec));
    }

    const ReferenceData* reference_;
    AdifExportResult& result_;
    sqlite3_stmt* row_ = nullptr;
    bool damaged_ = false;
};

void WriteHeader(std::ostream& out, const std::string& timestamp) {
    RecordText header;
    header.Field("ADIF_VER", "3.1.4");
    header.Field("PROGRAMID", "tolvex-import");
    header.Field("PROGRAMVERSION", TVX_VERSION);
    header.Field("CREATED_TIMESTAMP", timestamp.empty() ? UtcTimestamp() : timestamp);
    out << "ADIF export of a Tolvex QSO database: one record per line, lines end in CR LF, "
           "field lengths count bytes of UTF-8."
        << kLineEnd << header.text() << kLineEnd << "<EOH>" << kLineEnd;
}

std::string SelectAllRows() {
    std::string sql = "SELECT ";
    const auto& columns = qsoColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += bracket(columns[i].name);
    }
    return sql + " FROM [QSO-TAB] ORDER BY [QSO-NUMBER]";
}

}  // namespace

std::string AdifExportResult::Summary(const std::string& outPath) const {
    std::string text = "The ADIF file " + outPath + " was written with " +
                       std::to_string(recordsWritten) +
                       (recordsWritten == 1 ? " record." : " records.");
    if (damagedRecords == 0) return text;
    text += "\n\n" + std::to_string(damagedRecords) +
            " of them had values that could not be "
            "written as ADIF (or read back whole); those values were left out:";
    for (const auto& [column, count] : damagedValues) {
        text += "\n  [" + column + "]: " + std::to_string(count);
    }
    return text;
}

std::string AdifExportResult::WarningLine() const {
    if (damagedRecords == 0) return {};
    std::string line = "warning: " + std::to_string(damagedRecords) + " of " +
                       std::to_string(recordsWritten) +
                       " records had damaged values, written without them:";
    const char* separator = " ";
    for (const auto& [column, count] : damagedValues) {
        line += separator;
        line += "[" + column + "] " + std::to_string(count);
        separator = ", ";
    }
    return line;
}

namespace {

// The contacts of a Jet target in a SQLite target of their own, which the
// export reads as it reads any target; removed with this.
class JetContactsCopy {
  public:
    explicit JetContactsCopy(const std::string& jetPath) {
        std::string folder =
            (std::filesystem::temp_directory_path() / "tolvex-export-XXXXXX").string();
        if (!::mkdtemp(folder.data())) {
            throw DbError("Could not create a temporary folder: " + SystemErrorText(errno));
        }
        folder_ = folder;
        const std::string path = folder_ + "/contacts.sqlite";
        createTargetDatabase(path);
        db_ = std::make_unique<SqliteDb>(path, SqliteDb::Mode::ReadWrite);
        std::string sql = "INSERT INTO [QSO-TAB] (", values;
        for (const ColumnDef& c : qsoColumns()) {
            sql += (values.empty() ? "" : ",") + bracket(c.name);
            values += values.empty() ? "?" : ",?";
        }
        db_->exec("BEGIN");
        SqliteStatement insert = db_->prepare(sql + ") VALUES (" + values + ")");
        ReadJetContacts(jetPath, [&](const std::vector<std::optional<std::string>>& row) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (row[i])
                    insert.bindText(static_cast<int>(i + 1), *row[i]);
                else
                    insert.bindNull(static_cast<int>(i + 1));
            }
            insert.step();
            insert.reset();
        });
        db_->exec("COMMIT");
    }
    ~JetContactsCopy() {
        db_.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::unique_ptr<SqliteDb> take() { return std::move(db_); }

  private:
    std::string folder_;
    std::unique_ptr<SqliteDb> db_;
};

}  // namespace

AdifExportResult WriteAdif(const std::string& targetPath, const ReferenceData* reference,
                           std::ostream& out, const std::string& createdTimestamp) {
    FileCheck check;
    std::optional<JetContactsCopy> jet;
    std::unique_ptr<SqliteDb> db;
    if (detectDatabaseKind(targetPath, &check) == DbKind::Jet) {
        jet.emplace(targetPath);
        db = jet->take();
    } else {
        db = OpenTargetForReading(targetPath);
    }
    SqliteStatement select = db->prepare(SelectAllRows());
    AdifExportResult result;
    RowExporter exporter(reference, result);
    RecordText record;
    WriteHeader(out, createdTimestamp);
    while (select.step()) {
        exporter.Write(select.handle(), record);
        out << record.text();
    }
    return result;
}

namespace {

// Writes the export through fd and closes it; throws with the reason when a
// write fails.
AdifExportResult WriteToDescriptor(int fd, const std::string& shownPath,
                                   const std::string& targetPath, const ReferenceData& reference) {
    AdifExportResult result;
    {
        __gnu_cxx::stdio_filebuf<char> buffer(fd, std::ios::out | std::ios::binary);
        std::ostream out(&buffer);
        try {
            result = WriteAdif(targetPath, &reference, out);
        } catch (...) {
            buffer.close();
            throw;
        }
        out.flush();
        const bool written = static_cast<bool>(out);
        if (buffer.close() == nullptr || !written) {
            throw DbError("Could not write the file '" + shownPath + "'.");
        }
    }
    return result;
}

AdifExportResult WriteToStream(const std::string& outPath, const std::string& targetPath,
                               const ReferenceData& reference) {
    const int fd = outPath == "-" ? ::dup(STDOUT_FILENO)
                                  : ::open(outPath.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw DbError("Could not open '" + outPath + "' for writing: " + SystemErrorText(errno));
    }
    return WriteToDescriptor(fd, outPath == "-" ? "standard output" : outPath, targetPath,
                             reference);
}

}  // namespace

AdifExportResult ExportAdifFile(const std::string& targetPath, const std::string& hostPath,
                                const std::string& outPath) {
    const std::string refPath = HostReferencePath(hostPath);
    if (SameFile(outPath, targetPath) || SameFile(outPath, refPath)) {
        throw DbError("The ADIF file '" + outPath +
                      "' would replace a database; choose another file name.");
    }
    ReferenceData reference;
    try {
        reference = ReferenceData::LoadFile(refPath);
    } catch (const DbError& e) {
        throw DbError("The reference database '" + refPath + "' cannot be read: " + e.what());
    }

    if (outPath == "-" || CheckFile(outPath).kind == FileKind::Special) {
        // A terminal, a pipe or standard output cannot be renamed over:
        // written as it is, never created.
        return WriteToStream(outPath, targetPath, reference);
    }
    // The temporary file is always a new one of its own: an existing file or
    // a link of that name is never followed or truncated, and two exports to
    // one file each rename a whole file.
    std::string partPath = outPath + ".part-XXXXXX";
    const int fd = ::mkstemp(partPath.data());
    if (fd < 0) {
        throw DbError("Could not create a file beside '" + outPath +
                      "': " + SystemErrorText(errno));
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    AdifExportResult result;
    std::error_code ec;
    try {
        result = WriteToDescriptor(fd, partPath, targetPath, reference);
        std::filesystem::rename(partPath, outPath, ec);
        if (ec) {
            throw DbError("Could not rename '" + partPath + "' to '" + outPath +
                          "': " + ec.message());
        }
    } catch (...) {
        std::filesystem::remove(partPath, ec);
        throw;
    }
    return result;
}

}  // namespace tvx
