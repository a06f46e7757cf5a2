#include "readers/text_common.h"

#include <sys/stat.h>

#include <cstring>

#include "import/contact.h"
#include "import/messages.h"

namespace tvx {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// Shorter lines cannot hold a contact of these exports.
constexpr std::size_t kShortestLine = 25;

}  // namespace

TextLineReader::~TextLineReader() {
    if (file_) std::fclose(file_);
}

bool TextLineReader::Open(const std::string& path) {
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    buffer_.resize(kBufferBytes);
    pos_ = end_ = 0;
    consumed_ = 0;
    size_ = static_cast<std::int64_t>(st.st_size);
    firstLine_ = true;
    return true;
}

bool TextLineReader::Fill() {
    if (!file_) return false;
    consumed_ += static_cast<std::int64_t>(end_);
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    return end_ > 0;
}

bool TextLineReader::Next(TextLine& line) {
    std::string raw;
    bool tooLong = false;
    bool any = false;
    std::size_t lineEnd = 0;
    for (;;) {
        if (pos_ == end_ && !Fill()) break;
        any = true;
        const char* start = buffer_.data() + pos_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
        std::size_t piece = newline ? static_cast<std::size_t>(newline - start) : end_ - pos_;
        if (!tooLong && raw.size() + piece <= kMaxLineBytes) {
            raw.append(start, piece);
        } else if (!tooLong) {
            raw.append(start, kMaxLineBytes - raw.size());
            tooLong = true;
        }
        pos_ += piece;
        if (newline) {
            ++pos_;
            lineEnd = 1;
            break;
        }
    }
    if (!any) return false;
    if (!tooLong && !raw.empty() && raw.back() == '\r') {
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

bool SkipsTextLine(const TextLine& line, std::string_view skipFirstChars) {
    if (line.text.empty() || line.text.front() == '\r') return true;
    if (skipFirstChars.find(line.text.front()) != std::string_view::npos) return true;
    return !line.tooLong && line.length < kShortestLine;
}

void ImportTextLines(ImportSession& s, std::string_view skipFirstChars, TextLineConverter convert) {
    TextLineReader reader;
    if (!reader.Open(s.m_strSourcePath)) {
        s.Notify(kMsgSourceFileNotOpen, MessageIcon::Stop);
        return;
    }
    TextLine line;
    while (reader.Next(line)) {
        s.ReportPosition(reader.position(), reader.size());
        if (SkipsTextLine(line, skipFirstChars)) continue;
        if (!s.NextRecord()) break;
        if (line.tooLong) {
            s.ReportError(kLineTooLong);
            continue;
        }
        convert(s, line.text);
    }
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

std::string DefaultReport(const std::string& modeCode) {
    return modeCode.starts_with('2') || modeCode.starts_with('5') ? "599" : "59";
}

}  // namespace tvx
