#pragma once
// The frame that the dBASE III logs share: the table named by the source
// file is opened through the database layer with one SELECT, each row goes
// through the engine's record steps, the reader's own column handling, the
// report defaults and date check, and the engine's finishing steps. The
// conversions that several of these logs need live here once.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "import/engine.h"

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

// One dBASE source: its column list (the query is "SELECT " + columns +
// " FROM " + table + ";"), its row conversion and its finishing rules.
struct DbaseSource {
    const char* columns;
    // Fills the working contact from the row. False when the record failed a
    // check; the problem is then already reported.
    bool (*convert)(ImportEngine& s, const DbaseRow& row);
};

// The whole import of one dBASE source from the engine's source path.
void ImportDbaseTable(ImportEngine& s, const DbaseSource& source);

// The two parts of the one query form the frame runs.
struct SelectQuery {
    std::vector<std::string> columns;
    std::string table;
};
// Parses "SELECT col, col, ... FROM table;"; DbError when it is not that.
SelectQuery ParseSelectQuery(const std::string& sql);

// Directory and table name of a source path: split at the last separator,
// the table name cut at its first '.'.
void SplitSourcePath(const std::string& sourcePath, std::string& directory, std::string& table);

// --- Conversions shared by the dBASE readers ---

// Reports an error and returns false, for `return Fail(s, "Call?");`.
bool Fail(ImportEngine& s, const char* problem);

// QSO date from a date column; fewer than 8 characters (an empty date
// included) fails with "Date?".
bool ReadQsoDate(ImportEngine& s, const DbaseRow& row, std::size_t pos);
// The call; fewer than 2 characters fails with "Call?".
bool ReadCall(ImportEngine& s, const std::string& text);
// HH?MM loses its separator; any other text stays as it is.
std::string TimeWithoutSeparator(const std::string& text);
// QSO time: text with "00" appended; fails with "Time?" unless valid.
bool ReadTime(ImportEngine& s, const std::string& hhmm);
// A mode name: empty fails with "Mode?" (mode code "noMode"); with
// mapRty, "RTY" in any case is RTTY. Sets the mode code; needs the band.
bool ReadModeName(ImportEngine& s, const std::string& name, bool mapRty);
// Appends to the note: note, a blank, and as much of text as keeps the
// note within 50 characters. Nothing for an empty text.
void AppendNote(ImportEngine& s, const std::string& text);
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
bool ReadMhzFrequency(ImportEngine& s, const std::string& mhz);

}  // namespace tvx
