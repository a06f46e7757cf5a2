// StationMaster 1.x keeps its log as a Jet database with one table,
// [LogFile]. Its columns are read by position: the program never fixed their
// names, only their order.

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/domain.h"
#include "readers/readers.h"
#include "readers/table_loop.h"
#include "tables/database.h"

namespace tvx {

namespace {

// Positions in [LogFile].
enum LogFileColumn {
    kDate = 0,
    kTime = 1,
    kSerial = 2,
    kCall = 3,
    kFreq = 4,
    kMode = 5,
    kPower = 6,
    kNameQth = 7,
    kRemark = 8,
    kRstSent = 9,
    kRstRcvd = 10,
    kQslSent = 11,
    kQslRcvd = 12,
    kGrid = 16,
    kColumnsRead = 17
};

const char kTable[] = "LogFile";

// A whole-number column as "%ld" text; NULL reads as no digits at all.
std::string WholeText(const Value& v) {
    if (v.kind == Value::Kind::Real) {
        if (!std::isfinite(v.real)) return {};
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(std::trunc(v.real)));
        return buffer;
    }
    return Trim(v.asText());
}

std::optional<double> Number(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Integer:
            return static_cast<double>(v.integer);
        case Value::Kind::Real:
            if (std::isfinite(v.real)) return v.real;
            return std::nullopt;
        case Value::Kind::Text: {
            const std::string t = Trim(v.text);
            char* end = nullptr;
            const double d = std::strtod(t.c_str(), &end);
            if (t.empty() || *end != '\0' || !std::isfinite(d)) return std::nullopt;
            return d;
        }
        default:
            return std::nullopt;
    }
}

std::string Format(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Text(const Value& v) {
    return Trim(v.asText());
}

// Six digits with the century rule, or eight digits. Years 2000 to 2009
// written as six digits are numbers of five digits or fewer (050317 is
// 50317), so the leading zeros are put back first.
bool ReadDate(ReaderSteps& s, const Value& value) {
    WorkingContact& c = s.contact();
    std::string date = WholeText(value);
    if (IsAllDigits(date) && date.size() < 6) date.insert(0, 6 - date.size(), '0');
    if (date.size() == 6) {
        c.m_strDate = (LeadingInt(date.substr(0, 2)) >= 50 ? "19" : "20") + date;
        return true;
    }
    c.m_strDate = date;
    if (date.size() == 8) return true;
    s.ReportError("Date?");
    return false;
}

// Hours and minutes without leading zeros, or HH:MM.
bool ReadTime(ReaderSteps& s, const Value& value) {
    WorkingContact& c = s.contact();
    const std::string time = WholeText(value);
    if (time.size() >= 1 && time.size() <= 4) {
        c.m_strTime = std::string(4 - time.size(), '0') + time;
    } else if (time.size() == 5) {
        c.m_strTime = {time[0], time[1], time[3], time[4]};
    } else {
        c.m_strTime = time;
    }
    c.m_strTime += "00";
    if (IsValidTime(c.m_strTime)) return true;
    s.ReportError("Time?");
    return false;
}

// Megahertz, kept as kilohertz with one decimal (14.025 gives 14025.0); the
// band follows from it.
bool ReadFrequency(ReaderSteps& s, const Value& value) {
    WorkingContact& c = s.contact();
    if (const auto mhz = Number(value)) {
        const std::string f = Format("%-.3f", *mhz);
        const std::size_t point = f.find('.');
        c.m_strFreq = point == std::string::npos ? f + "000.0"
                                                 : f.substr(0, point) + f.substr(point + 1) + ".0";
    }
    if (c.m_strFreq.empty()) {
        s.ReportError("Band or Freq?");
        return false;
    }
    c.m_strBand = BandFromFrequency(c.m_strFreq);
    return true;
}

// Name and QTH share one column: "JOHN/LONDON".
void ReadNameAndQth(WorkingContact& c, const std::string& nameQth) {
    if (nameQth.empty()) return;
    const std::size_t slash = nameQth.find('/');
    const std::string name = nameQth.substr(0, slash);
    if (!name.empty()) c.m_strName = CutToWidth(name, 15);
    if (slash != std::string::npos) c.m_strQth = Left(nameQth.substr(slash + 1), 25);
}

// The third column's meaning is unknown, so it is kept in the note, and the
// remark after it as far as the note stays within 49 characters.
void ReadNote(WorkingContact& c, const std::string& serial, const std::string& remark) {
    if (!serial.empty()) c.m_strNote += " " + Left(serial, 4);
    if (remark.empty()) return;
    const long room = 49 - static_cast<long>(CharCount(c.m_strNote));
    c.m_strNote += " " + (room > 0 ? Left(remark, static_cast<std::size_t>(room)) : "");
}

void ReadQslFlags(WorkingContact& c, const std::string& sent, const std::string& received) {
    if (sent.empty()) {
        c.m_strQslVia = kQslViaNone;
    } else if (EqualsNoCase(sent, "Y")) {
        c.m_bQslSent = 1;
        c.m_strQslSentDate = c.m_strDate;
    }
    if (EqualsNoCase(received, "Y")) c.m_nConfirmed = 1;
}

// Fills the contact from a row and checks it. False when a check failed (it
// has been reported and the rest of the row is not read).
bool ReadRow(ReaderSteps& s, const TableCursor& row) {
    WorkingContact& c = s.contact();
    if (!ReadDate(s, row.at(kDate)) || !ReadTime(s, row.at(kTime))) return false;
    c.m_strCall = Text(row.at(kCall));
    if (CharCount(c.m_strCall) < 2) {
        s.ReportError("Call?");
        return false;
    }
    if (!ReadFrequency(s, row.at(kFreq))) return false;

    // The band is set, so SSB can be told upper or lower.
    std::string mode = ToUpper(Text(row.at(kMode)));
    if (mode.empty()) return FailNoMode(s);
    if (mode == "RTY") mode = "RTTY";
    c.ModeCodeFromName(mode);

    c.m_strRstSent = Left(Text(row.at(kRstSent)), 3);
    c.m_strRstRcvd = Left(Text(row.at(kRstRcvd)), 3);
    ReadNameAndQth(c, Text(row.at(kNameQth)));
    if (const auto watts = Number(row.at(kPower))) {
        const std::string power = Trim(Format("%.0f", *watts));
        if (!power.empty()) c.m_strPower = Left(power, 4);
    }
    ReadNote(c, WholeText(row.at(kSerial)), Text(row.at(kRemark)));
    // Only the four- and six-character forms are grid squares.
    const std::string grid = Text(row.at(kGrid));
    if (grid.size() == 4 || grid.size() == 6) c.m_strGrid = grid;
    ReadQslFlags(c, Text(row.at(kQslSent)), Text(row.at(kQslRcvd)));
    c.FillDefaultReports();

    if (CheckDate(c.m_strDate)) {
        s.ReportError("Date?");
        return false;
    }
    return true;
}

}  // namespace

void ImportStationMaster(ReaderSteps& s) {
    std::unique_ptr<Database> db;
    std::unique_ptr<TableCursor> rows;
    try {
        db = openDatabase(s.sourcePath());
    } catch (const DbError& e) {
        s.NotifyText(kMsgSourceDatabaseError, e.what(), MessageIcon::Stop);
        return;
    }
    try {
        std::vector<std::string> columns = db->columnNames(kTable);
        if (columns.size() < kColumnsRead) {
            throw DbError("Table '" + std::string(kTable) + "' has " +
                          std::to_string(columns.size()) +
                          " columns; a StationMaster log has at least " +
                          std::to_string(static_cast<int>(kColumnsRead)) + ".");
        }
        columns.resize(kColumnsRead);
        rows = db->openTable(kTable, columns);
    } catch (const DbError& e) {
        s.NotifyText(kMsgSourceDatabaseError, e.what(), MessageIcon::Stop);
        return;
    }

    ReadTableRows(s, *rows, [&] { return ReadRow(s, *rows); });
}

}  // namespace tvx
