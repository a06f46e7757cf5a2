#pragma once
// The frame that the dBASE III logs share: the reader's columns of the table
// named by the source file are opened through the database layer, and each
// row goes through the record steps, the reader's own column handling and
// the finishing steps (the report defaults and the date check among them). The
// conversions that several of these logs need live here once.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/reader_steps.h"
#include "tables/database.h"

namespace tvx {

// One row as a reader sees it: the values by their position in the reader's
// column list.
class DbaseRow {
  public:
    explicit DbaseRow(const TableCursor& cursor) : cursor_(cursor) {}

    const Value& at(std::size_t pos) const { return cursor_.at(pos); }
    // The value as text, trimmed: a number in its shortest decimal form, a
    // date as YYYYMMDD, a logical column as "Y" or "N"; no value gives "".
    std::string Text(std::size_t pos) const;
    // A logical true; a text column counts when it begins with T, t, Y or y.
    bool IsTrue(std::size_t pos) const;
    // The date as "%-4.4d%-2.2d%-2.2d" (year, month, day); "" when the column
    // has no date. A text of eight digits counts as a date.
    std::string DateText(std::size_t pos) const;
    // The year of that date; 0 when there is none.
    int Year(std::size_t pos) const;

  private:
    const TableCursor& cursor_;
};

// A column a reader reads: its place in the reader's column enum, and its
// name in the table.
struct DbaseColumn {
    int position;
    const char* name;
};

// For a static_assert that a reader lists each of its count columns once,
// in the order of its enum, so that a row's values are where it looks.
template <std::size_t N>
constexpr bool ColumnsInOrder(const DbaseColumn (&columns)[N], int count) {
    if (static_cast<int>(N) != count) return false;
    for (std::size_t i = 0; i < N; ++i) {
        if (columns[i].position != static_cast<int>(i)) return false;
    }
    return true;
}

// One dBASE source: the columns it reads from the table named by the source
// file, and its row conversion.
struct DbaseSource {
    std::span<const DbaseColumn> columns;
    // Fills the working contact from the row. False when the record failed a
    // check; the problem is then already reported.
    bool (*convert)(ReaderSteps& s, const DbaseRow& row);
};

// The whole import of one dBASE source from the engine's source path.
void ImportDbaseTable(ReaderSteps& s, const DbaseSource& source);

// Directory and table name of a source path: split at the last separator,
// the table name cut at its first '.'.
void SplitSourcePath(const std::string& sourcePath, std::string& directory, std::string& table);

// --- Conversions shared by the dBASE readers ---

// QSO date from a date column; fewer than 8 characters (an empty date
// included) fails with "Date?".
bool ReadQsoDate(ReaderSteps& s, const DbaseRow& row, std::size_t pos);
// The call; fewer than 2 characters fails with "Call?".
bool ReadCall(ReaderSteps& s, const std::string& text);
// HH?MM loses its separator; any other text stays as it is.
std::string TimeWithoutSeparator(const std::string& text);
// QSO time: text with "00" appended; fails with "Time?" unless valid.
bool ReadTime(ReaderSteps& s, const std::string& hhmm);
// A mode name: empty fails with "Mode?" (mode code "noMode"); with
// mapRty, "RTY" in any case is RTTY. Sets the mode code; needs the band.
bool ReadModeName(ReaderSteps& s, const std::string& name, bool mapRty);
// Appends to the note: note, a blank, and as much of text as keeps the
// note within 50 characters. Nothing for an empty text.
void AppendNote(ReaderSteps& s, const std::string& text);
// An optional column: a value that is not empty goes to the member, cut to
// n characters; an empty one leaves the member as it was.
void CutInto(std::string& member, const std::string& value, std::size_t n);
// The QSL-sent date of a date column, or "" for the empty date (year 1899,
// or no date at all).
std::string QslSentDateOf(const DbaseRow& row, std::size_t pos);

// Megahertz text to kilohertz with one decimal: 14 gives 14000.0, 14.2
// 14200.0, 14.025 14025.0, "14." 14000.0. A fraction of four or more digits
// gives "" and sets *tooPrecise. An empty text gives "".
std::string MhzTextToKhz(const std::string& mhz, bool* tooPrecise = nullptr);
// The frequency and its band from a megahertz column: empty fails with
// "Band?", a fraction finer than kilohertz with "Freq?".
bool ReadMhzFrequency(ReaderSteps& s, const std::string& mhz);

}  // namespace tvx
