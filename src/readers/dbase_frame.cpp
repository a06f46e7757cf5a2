#include "readers/dbase_frame.h"

#include <charconv>
#include <cstdio>

#include "import/contact.h"
#include "import/messages.h"
#include "import/settings.h"
#include "readers/table_loop.h"
#include "readers/text_common.h"

namespace tvx {
namespace {

std::string FormatDate(int year, int month, int day) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%-4.4d%-2.2d%-2.2d", year, month, day);
    return buffer;
}

std::string RealText(double x) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string DbaseRow::Text(std::size_t pos) const {
    const Value& v = at(pos);
    switch (v.kind) {
        case Value::Kind::Null:
            return {};
        case Value::Kind::Text:
            return Trim(v.text);
        case Value::Kind::Integer:
            return std::to_string(v.integer);
        case Value::Kind::Real:
            return RealText(v.real);
        case Value::Kind::Date:
            return FormatDate(v.date.year, v.date.month, v.date.day);
        case Value::Kind::Boolean:
            return v.boolean ? "Y" : "N";
    }
    return {};
}

bool DbaseRow::IsTrue(std::size_t pos) const {
    const Value& v = at(pos);
    if (v.kind == Value::Kind::Boolean) return v.boolean;
    if (v.kind == Value::Kind::Text) {
        const std::string t = Trim(v.text);
        return !t.empty() && (t[0] == 'T' || t[0] == 't' || t[0] == 'Y' || t[0] == 'y');
    }
    if (v.kind == Value::Kind::Integer) return v.integer != 0;
    return false;
}

std::string DbaseRow::DateText(std::size_t pos) const {
    const Value& v = at(pos);
    if (v.kind == Value::Kind::Date) return FormatDate(v.date.year, v.date.month, v.date.day);
    if (v.kind == Value::Kind::Text) {
        const std::string t = Trim(v.text);
        if (t.size() == 8 && IsAllDigits(t)) return t;
    }
    return {};
}

int DbaseRow::Year(std::size_t pos) const {
    const Value& v = at(pos);
    if (v.kind == Value::Kind::Date) return v.date.year;
    const std::string t = DateText(pos);
    return t.empty() ? 0 : static_cast<int>(LeadingInt(t.substr(0, 4)));
}

void SplitSourcePath(const std::string& sourcePath, std::string& directory, std::string& table) {
    directory.clear();
    table.clear();
    if (sourcePath.empty()) return;
    const std::size_t sep = LastSeparator(sourcePath);
    std::string file = sourcePath;
    if (sep != std::string::npos) {
        // A file in the root keeps the root as its folder.
        directory = sourcePath.substr(0, sep == 0 ? 1 : sep);
        file = sourcePath.substr(sep + 1);
    }
    table = file.substr(0, file.find('.'));
}

void ImportDbaseTable(ReaderSteps& s, const DbaseSource& source) {
    std::string directory, table;
    SplitSourcePath(s.sourcePath(), directory, table);
    std::vector<std::string> columns;
    for (const DbaseColumn& column : source.columns) columns.emplace_back(column.name);

    std::unique_ptr<Database> db;
    std::unique_ptr<TableCursor> rows;
    try {
        db = openDatabase(directory, "dBASE III");
        rows = db->openTable(Trim(table), columns);
    } catch (const DbError& e) {
        s.NotifyText(kMsgSourceDatabaseError, e.what(), MessageIcon::Stop);
        return;
    }

    ReadTableRows(s, *rows, [&] { return source.convert(s, DbaseRow(*rows)); });
    if (const std::int64_t beyond = rows->rowsBeyondHeader(); beyond > 0) {
        s.NotifyText(kMsgTableHeaderShort,
                     MessageText(kMsgTableHeaderShort) + " (" + std::to_string(beyond) +
                         " records the header left out):\n" + s.sourcePath(),
                     MessageIcon::Exclamation);
    }
}

bool ReadQsoDate(ReaderSteps& s, const DbaseRow& row, std::size_t pos) {
    WorkingContact& c = s.contact();
    // An empty date column has no date: failing here keeps it from being
    // written as the engine's empty date 18991230.
    c.m_strDate = row.DateText(pos);
    if (CharCount(c.m_strDate) < 8) return Fail(s, "Date?");
    return true;
}

bool ReadCall(ReaderSteps& s, const std::string& text) {
    WorkingContact& c = s.contact();
    c.m_strCall = text;
    if (CharCount(c.m_strCall) < 2) return Fail(s, "Call?");
    return true;
}

std::string TimeWithoutSeparator(const std::string& text) {
    if (CharCount(text) != 5) return text;
    const std::string hh = Left(text, 2);
    std::string rest = text.substr(hh.size());
    DropFirstChar(rest);
    return hh + rest;
}

bool ReadTime(ReaderSteps& s, const std::string& hhmm) {
    WorkingContact& c = s.contact();
    c.m_strTime = hhmm + "00";
    if (!IsValidTime(c.m_strTime)) return Fail(s, "Time?");
    return true;
}

bool ReadModeName(ReaderSteps& s, const std::string& name, bool mapRty) {
    WorkingContact& c = s.contact();
    if (name.empty()) {
        return FailNoMode(s);
    }
    c.ModeCodeFromName(mapRty && EqualsNoCase(name, "RTY") ? std::string("RTTY") : name);
    return true;
}

void CutInto(std::string& member, const std::string& value, std::size_t n) {
    if (!value.empty()) member = CutToWidth(value, n);
}

void AppendNote(ReaderSteps& s, const std::string& text) {
    WorkingContact& c = s.contact();
    if (text.empty()) return;
    const std::size_t used = CharCount(c.m_strNote);
    c.m_strNote += ' ';
    if (used < 49) c.m_strNote += Left(text, 49 - used);
}

std::string QslSentDateOf(const DbaseRow& row, std::size_t pos) {
    const std::string date = row.DateText(pos);
    if (date.empty() || row.Year(pos) == 1899 || CharCount(date) != 8) return {};
    return date;
}

std::string MhzTextToKhz(const std::string& mhz, bool* tooPrecise) {
    if (tooPrecise) *tooPrecise = false;
    if (mhz.empty()) return {};
    const std::size_t point = mhz.find('.');
    // "14." is read as having no fraction at all.
    if (point == std::string::npos || point + 1 == mhz.size())
        return mhz.substr(0, point) + "000.0";
    const std::string whole = mhz.substr(0, point);
    const std::string digits = mhz.substr(point + 1);
    switch (CharCount(digits)) {
        case 1:
            return whole + digits + "00.0";
        case 2:
            return whole + digits + "0.0";
        case 3:
            return whole + digits + ".0";
        default:
            if (tooPrecise) *tooPrecise = true;
            return {};
    }
}

bool ReadMhzFrequency(ReaderSteps& s, const std::string& mhz) {
    if (mhz.empty()) return Fail(s, "Band?");
    WorkingContact& c = s.contact();
    bool tooPrecise = false;
    c.m_strFreq = MhzTextToKhz(mhz, &tooPrecise);
    if (tooPrecise) return Fail(s, "Freq?");
    c.m_strBand = BandFromFrequency(c.m_strFreq);
    return true;
}

}  // namespace tvx
