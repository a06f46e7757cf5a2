#include "readers/text_common.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "import/contact.h"
#include "import/messages.h"
#include "util/file.h"

namespace tvx {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// The pump runs about once per megabyte.
constexpr unsigned kFillsPerPump = 16;
// Shorter lines cannot hold a contact of these exports.
constexpr std::size_t kShortestLine = 25;

}  // namespace

TextLineReader::~TextLineReader() {
    if (file_) std::fclose(file_);
}

bool TextLineReader::Open(const std::string& path) {
    if (file_) std::fclose(file_);
    file_ = OpenRegularStream(path);
    if (!file_) return false;
    buffer_.resize(kBufferBytes);
    pos_ = end_ = 0;
    consumed_ = 0;
    {
        struct stat st {};
        size_ = ::fstat(fileno(file_), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    }
    carry_.clear();
    fills_ = 0;
    firstLine_ = true;
    lfPending_ = false;
    finished_ = stopped_ = false;
    error_ = 0;
    return true;
}

bool TextLineReader::Fill() {
    if (!file_ || finished_) return false;
    // Skipping a long line or many short ones reads for a while without a
    // record: the user must still be able to stop.
    if (pump_ && ++fills_ % kFillsPerPump == 0 && !pump_()) {
        finished_ = stopped_ = true;
        return false;
    }
    errno = 0;
    consumed_ += static_cast<std::int64_t>(end_);
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    if (end_ > 0) return true;
    // A failed read is no end of the file: what follows would be lost unsaid.
    if (std::ferror(file_)) error_ = errno != 0 ? errno : EIO;
    finished_ = true;
    return false;
}

void TextLineReader::EndAtCtrlZ() {
    pos_ = end_;
    finished_ = true;
}

bool TextLineReader::Next(TextLine& line) {
    std::string raw = std::move(carry_);
    carry_.clear();
    bool any = !raw.empty();
    bool tooLong = false;
    bool cut = false;
    std::size_t lineEnd = 0;
    for (bool ended = false; !ended && !cut;) {
        if (pos_ == end_ && !Fill()) break;
        if (lfPending_) {
            // The LF of a CR LF that a buffer boundary split.
            lfPending_ = false;
            if (buffer_[pos_] == '\n' && ++pos_ == end_) continue;
        }
        any = true;
        const char* start = buffer_.data() + pos_;
        // A CR alone ends a line too (old Mac files), as LF and CR LF do.
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
        const std::size_t toNewline =
            newline ? static_cast<std::size_t>(newline - start) : end_ - pos_;
        if (const auto* cr = static_cast<const char*>(std::memchr(start, '\r', toNewline))) {
            newline = cr;
        }
        std::size_t piece = newline ? static_cast<std::size_t>(newline - start) : end_ - pos_;
        bool ctrlZ = false;
        if (ctrlZEnds_) {
            if (const auto* z = static_cast<const char*>(std::memchr(start, '\x1A', piece))) {
                piece = static_cast<std::size_t>(z - start);
                ctrlZ = true;
            }
        }
        if (tooLong) {
            // Skipping: a cut character ends the skipped stretch.
            const void* at = cutBefore_ ? std::memchr(start, cutBefore_, piece) : nullptr;
            if (at) {
                piece = static_cast<std::size_t>(static_cast<const char*>(at) - start);
                ctrlZ = false;
                cut = true;
            }
        } else {
            raw.append(start, piece);
            if (raw.size() > kMaxLineBytes) {
                const std::size_t at = cutBefore_ ? raw.rfind(cutBefore_) : std::string::npos;
                if (at != std::string::npos && at > 0) {
                    // The line end after the piece, if any, is read with the rest.
                    carry_.assign(raw, at);
                    raw.resize(at);
                    pos_ += piece;
                    if (ctrlZ) EndAtCtrlZ();
                    cut = true;
                    break;
                }
                raw.resize(kMaxLineBytes);
                tooLong = true;
            }
        }
        pos_ += piece;
        if (ctrlZ) {
            EndAtCtrlZ();
            ended = true;
        } else if (newline && !cut) {
            ++pos_;
            lineEnd = 1;
            ended = true;
            if (*newline == '\r') {
                if (pos_ == end_) {
                    lfPending_ = true;
                } else if (buffer_[pos_] == '\n') {
                    ++pos_;
                    ++lineEnd;
                }
            }
        }
    }
    if (!any || error_ != 0 || stopped_) return false;
    if (!tooLong && !cut && !raw.empty() && raw.back() == '\r') {
        raw.pop_back();
        ++lineEnd;
    }
    if (firstLine_ && raw.starts_with("\xEF\xBB\xBF")) raw.erase(0, 3);
    firstLine_ = false;
    line.tooLong = tooLong;
    line.text = ToUtf8(raw);
    line.length = CharCount(line.text) + lineEnd;
    return true;
}

bool ReportReadError(ReaderSteps& s, const TextLineReader& reader) {
    if (reader.error() == 0) return false;
    s.NotifyText(kMsgSourceReadError,
                 MessageText(kMsgSourceReadError) + ":\n'" + s.sourcePath() +
                     "': " + SystemErrorText(reader.error()) + ".",
                 MessageIcon::Stop);
    return true;
}

bool SkipsTextLine(const TextLine& line, std::string_view skipFirstChars) {
    if (line.text.empty() || line.text.front() == '\r') return true;
    if (skipFirstChars.find(line.text.front()) != std::string_view::npos) return true;
    return !line.tooLong && line.length < kShortestLine;
}

void ImportTextLines(ReaderSteps& s, std::string_view skipFirstChars, TextLineConverter convert) {
    TextLineReader reader;
    if (!reader.Open(s.sourcePath())) {
        s.Notify(kMsgSourceFileNotOpen, MessageIcon::Stop);
        return;
    }
    reader.SetPump([&s] { return s.PumpAndCheckAbort(); });
    TextLine line;
    while (reader.Next(line)) {
        s.ReportPosition(reader.position(), reader.size());
        if (SkipsTextLine(line, skipFirstChars)) continue;
        if (!s.NextRecord()) break;
        if (line.tooLong) {
            s.ReportError(kLineTooLong);
            continue;
        }
        if (convert(s, line.text)) s.FinishRecord();
    }
    ReportReadError(s, reader);
}

std::string CutField(std::string& line, std::string_view delims) {
    std::string field;
    NextToken(field, line, delims);
    return field;
}

namespace {

void DropLeadingBlanks(std::string& line) {
    std::size_t n = 0;
    while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
    line.erase(0, n);
}

// Only a quote is dropped: a field written without quotes keeps its text,
// and the fields after it stay in step.
void DropOpeningQuote(std::string& line) {
    DropLeadingBlanks(line);
    if (!line.empty() && line.front() == '"') DropFirstChar(line);
}

}  // namespace

std::string CutQuotedField(std::string& line) {
    DropOpeningQuote(line);
    std::string field = CutField(line, ",");
    if (!field.empty() && field.back() == '"') field.pop_back();
    return Trim(field);
}

std::string CutQuotedText(std::string& line) {
    DropOpeningQuote(line);
    std::string field = CutField(line, "\"");
    DropLeadingBlanks(line);
    if (!line.empty() && line.front() == ',') DropFirstChar(line);
    return field;
}

std::string FirstWord(std::string_view text) {
    return std::string(text.substr(0, text.find(' ')));
}

std::string Mid(std::string_view text, std::size_t first, std::size_t count) {
    std::size_t skip = Left(text, first).size();
    return Left(text.substr(skip), count);
}

std::string WithoutFirst(std::string_view text, char c) {
    std::string result(text);
    std::size_t at = result.find(c);
    if (at != std::string::npos) result.erase(at, 1);
    return result;
}

std::string CenturyDate(std::string_view yy, std::string_view mm, std::string_view dd) {
    std::string date = LeadingInt(yy) >= 10 ? "19" : "20";
    date.append(yy).append(mm).append(dd);
    return date;
}

std::string SeparatedTime(std::string_view field) {
    return Mid(field, 0, 2) + Mid(field, 3, 2) + "00";
}

std::string HhMmTime(std::string_view field, bool bareHhmm) {
    std::size_t n = CharCount(field);
    if (n == 5) return SeparatedTime(field);
    if (n == 4 && bareHhmm) return std::string(field) + "00";
    return "00";
}

}  // namespace tvx
