#pragma once
// What the line-per-contact text exports (Log Windows, XpWin, Logview,
// Swisslog) share: the file and its lines (which the ADIF reader reads too), the record loop around
// a reader's line conversion, and the field, date, time and frequency forms that more than one of
// them writes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/domain.h"
#include "import/reader_steps.h"

namespace tvx {

// One line of a text export.
struct TextLine {
    std::string text;        // decoded to UTF-8, without its line end
    std::size_t length = 0;  // characters, line end included (the skip rules count it)
    bool tooLong = false;    // longer than kMaxLineBytes; text holds only its beginning
};

// Reads a text file line by line, each line whole however long it is, with
// memory bounded by kMaxLineBytes.
class TextLineReader {
  public:
    // A line longer than this is not a contact of any of these exports; it is
    // reported and skipped rather than held in memory.
    static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

    // cutBefore: a longer line comes in pieces cut before this character
    // (a file written as one line stays readable); only a stretch between two
    // of them that is still too long is skipped. ctrlZEnds: nothing after a
    // Ctrl-Z is read, as old DOS programs meant it.
    explicit TextLineReader(char cutBefore = 0, bool ctrlZEnds = false)
        : cutBefore_(cutBefore), ctrlZEnds_(ctrlZEnds) {}
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // False when the path is no regular file or cannot be opened for reading.
    bool Open(const std::string& path);
    // Called about once per megabyte read, skipped lines included; false
    // stops the reading (the user chose to abort).
    void SetPump(std::function<bool()> pump) { pump_ = std::move(pump); }
    // The next line; false at the end of the file, on a read error, or when
    // the pump said stop.
    bool Next(TextLine& line);
    // Bytes read up to the end of the last line, and the file's size.
    std::int64_t position() const { return consumed_ + static_cast<std::int64_t>(pos_); }
    std::int64_t size() const { return size_; }
    // The system's error number of a failed read; 0 when none failed.
    int error() const { return error_; }

  private:
    bool Fill();
    // Nothing after a Ctrl-Z is read.
    void EndAtCtrlZ();

    char cutBefore_;
    bool ctrlZEnds_;
    std::FILE* file_ = nullptr;
    std::function<bool()> pump_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::int64_t consumed_ = 0;  // bytes of the buffers before this one
    std::int64_t size_ = 0;
    std::string carry_;       // the rest of a line after a cut
    bool lfPending_ = false;  // a CR ended the last buffer: skip an LF that follows
    unsigned fills_ = 0;
    bool firstLine_ = true;
    bool finished_ = false;
    bool stopped_ = false;
    int error_ = 0;
};

// Shows the stop message of a source that could not be read to its end,
// naming the path and the system's reason; false when no read failed.
bool ReportReadError(ReaderSteps& s, const TextLineReader& reader);

// Problem text of a line too long to be a contact.
inline constexpr const char* kLineTooLong = "Line too long?";

// Converts one counted line into the working contact; false when the line
// failed a check (it has been reported).
using TextLineConverter = bool (*)(ReaderSteps& s, std::string& line);

// The record loop of a text export: opens the source file (saying so when it
// cannot), skips lines that begin with a line end or one of skipFirstChars or
// that are shorter than 25 characters, and hands every other line to convert
// after the engine's per-record steps; a converted record is finished.
void ImportTextLines(ReaderSteps& s, std::string_view skipFirstChars, TextLineConverter convert);

// True when the loop above skips the line without counting it.
bool SkipsTextLine(const TextLine& line, std::string_view skipFirstChars);

// --- Fields ---

// The next field up to delims, trimmed (NextToken).
std::string CutField(std::string& line, std::string_view delims);
// A quoted field up to the next comma: "value", quotes and blanks removed.
std::string CutQuotedField(std::string& line);
// A quoted text field up to its closing quote, commas included; the comma
// after it is dropped as well.
std::string CutQuotedText(std::string& line);
// The text before the first blank.
std::string FirstWord(std::string_view text);

// --- Conversions ---

// Characters first .. first+count-1 (counted in characters, not bytes).
std::string Mid(std::string_view text, std::size_t first, std::size_t count);
// The text with its first c removed ("14.025" and '.' give "14025").
std::string WithoutFirst(std::string_view text, char c);
// YYYYMMDD from a two-digit year: 10 and more are 19xx, below 10 are 20xx.
std::string CenturyDate(std::string_view yy, std::string_view mm, std::string_view dd);
// HHMMSS from HH?MM (characters 1-2 and 4-5) with seconds "00".
std::string SeparatedTime(std::string_view field);
// HHMMSS from HH?MM, or from HHMM when bareHhmm; any other form gives just
// "00", which IsValidTime rejects.
std::string HhMmTime(std::string_view field, bool bareHhmm);

}  // namespace tvx
