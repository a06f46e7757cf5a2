// The ADIF reader, for standard ADIF files and LoTW downloads.

#include "readers/adif.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "readers/adif_fields.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {
namespace {

// A field longer than a line of the text readers may hold is no contact
// data; it is left out with this warning, and the record goes on.
constexpr const char* kFieldTooLong = "Field too long?";

bool IsLotwMarkLine(const std::string& line) {
    return line.find("<PROGRAMID:4>LoTW") != std::string::npos ||
           line.find("<APP_LoTW_") != std::string::npos;
}

bool IsEndOfHeaderLine(const std::string& line) {
    return line.find("<EOH>") != std::string::npos || line.find("<eoh>") != std::string::npos;
}

// The declared length of a tag such as "STATE:2" or "QSO_DATE:8:D"; -1 when
// the tag declares none.
long DeclaredLength(std::string_view specifier) {
    const std::size_t colon = specifier.find(':');
    if (colon == std::string_view::npos) return -1;
    std::string_view digits = specifier.substr(colon + 1);
    const std::size_t end = digits.find(':');
    if (end != std::string_view::npos) digits = digits.substr(0, end);
    if (digits.empty() || digits.size() > 9) return -1;
    long n = 0;
    for (const char ch : digits) {
        if (!std::isdigit(static_cast<unsigned char>(ch))) return -1;
        n = n * 10 + (ch - '0');
    }
    return n;
}

// Above 300 GHz is no radio frequency: such a value was written in another
// unit (web loggers write hertz), and storing it would spoil the column.
// Nor is one that is not above zero (a writer's overflow gives negative ones).
bool IsNoRadioFrequency(std::string_view khz) {
    if (khz.empty()) return false;
    if (khz.front() == '-') return true;
    if (khz.find_first_not_of("0.") == std::string_view::npos) return true;
    constexpr std::string_view kHighestKhz = "300000000";
    std::string_view whole = khz.substr(0, khz.find('.'));
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    if (!IsAllDigits(whole)) return false;
    return whole.size() > kHighestKhz.size() ||
           (whole.size() == kHighestKhz.size() && whole > kHighestKhz);
}

// A record may span lines and a line may hold several records: the contact
// keeps its fields until the end-of-record tag.
void ReadRecordLine(AdifRecord& r, const TextLine& piece) {
    if (piece.tooLong) {
        r.engine.ReportWarning(kFieldTooLong);
        return;
    }
    const std::string text = Trim(piece.text);
    std::string_view line = text;
    while (!line.empty()) {
        if (line.front() == '<') line.remove_prefix(1);
        const std::size_t next = line.find('<');
        const std::string_view segment = line.substr(0, next);
        line = next == std::string_view::npos ? std::string_view() : line.substr(next);
        if (ParseAdifSegment(r, segment) == 1) FinishAdifRecord(r.engine);
    }
}

}  // namespace

void LookupDxccPrefix(AdifRecord& r, const std::string& dxcc) {
    if (r.dxccPrefixes == nullptr) return;
    const auto it = r.dxccPrefixes->find(dxcc);
    if (it != r.dxccPrefixes->end()) r.c.m_strPrefix = Left(it->second, 4);
}

int ParseAdifSegment(AdifRecord& r, std::string_view segment) {
    // Segments are views into the line: only the name and the value are
    // copied, once each.
    const std::string_view text = TrimRightView(segment);
    const std::size_t colon = text.find(':');
    const std::string name = ToUpper(text.substr(0, colon));
    if (name == "EOR>") return 1;
    const std::size_t close = text.find('>');
    std::string value;
    std::string_view specifier = text;
    if (close != std::string_view::npos) {
        value = text.substr(close + 1);
        specifier = text.substr(0, close);
    }
    // LoTW writes a comment after the value, inside the tag's declared length
    // ("<STATE:2>OK // Oklahoma"): the length is what the value is.
    const long declared = DeclaredLength(specifier);
    if (declared >= 0 && CharCount(value) > static_cast<std::size_t>(declared)) {
        value = TrimRight(Left(value, static_cast<std::size_t>(declared)));
    }
    // A NUL would end the text in most programs that show it later.
    std::erase(value, '\0');
    ApplyAdifField(r, name, value);
    return 0;
}

namespace {

// Reads up to the end of the header (nothing when the file begins with a
// record). False when the run ends here: the file is empty, unreadable or of
// the other ADIF kind.
bool ReadHeader(ReaderSteps& s, TextLineReader& reader, TextLine& line, bool& firstLineIsData) {
    bool haveLine = false;
    while (reader.Next(line)) {
        if (!line.text.empty()) {
            haveLine = true;
            break;
        }
    }
    if (!haveLine) {
        if (!ReportReadError(s, reader) && s.Reading())
            s.Notify(kMsgSourceEmpty, MessageIcon::None);
        return false;
    }
    bool lotw = false;
    firstLineIsData = line.text.starts_with('<');
    if (!firstLineIsData) {
        do {
            if (IsLotwMarkLine(line.text)) lotw = true;
            if (IsEndOfHeaderLine(line.text)) break;
        } while (reader.Next(line));
        if (ReportReadError(s, reader)) return false;
    }
    if (lotw != s.sourceType().lotwDownload) {
        s.Notify(lotw ? kMsgLotwFileAsStandard : kMsgNotLotwFile, MessageIcon::Stop);
        return false;
    }
    return true;
}

}  // namespace

void ReadAdifFile(ReaderSteps& s, const DxccPrefixMap* dxccPrefixes) {
    // Pieces of a long line are cut before a tag, so a file written as one
    // line is read whole with bounded memory.
    TextLineReader reader('<', true);
    if (!reader.Open(s.sourcePath())) {
        s.Notify(kMsgSourceFileNotOpen, MessageIcon::Stop);
        s.StopReading();
        return;
    }
    reader.SetPump([&s] { return s.PumpAndCheckAbort(); });
    TextLine line;
    bool firstLineIsData = false;
    if (!ReadHeader(s, reader, line, firstLineIsData)) {
        s.StopReading();
        return;
    }
    AdifRecord record{s, s.contact(), dxccPrefixes};
    record.c.ClearContact();
    while (firstLineIsData || reader.Next(line)) {
        firstLineIsData = false;
        s.ReportPosition(reader.position(), reader.size());
        if (!s.PumpAndCheckAbort()) break;
        ReadRecordLine(record, line);
    }
    if (s.Reading()) s.ReportPosition(reader.size(), reader.size());
    ReportReadError(s, reader);
    s.StopReading();
}

void ImportAdif(ReaderSteps& s) {
    const DxccPrefixMap dxccPrefixes = s.PrefixesByDxccEntity();
    if (LooksLikeAdx(s.sourcePath())) {
        ReadAdxFile(s, &dxccPrefixes);
    } else {
        ReadAdifFile(s, &dxccPrefixes);
    }
}

void FinishAdifRecord(ReaderSteps& s) {
    WorkingContact& c = s.contact();
    s.CountRecordRead();
    if (c.m_strMode == "99") {
        c.m_strMode.clear();
        s.ReportError("Mode?");
    } else if (c.m_strBand == "99") {
        c.m_strBand.clear();
        s.ReportError("Band?");
    } else {
        if (IsNoRadioFrequency(c.m_strFreq)) {
            s.ReportWarning("Freq?");
            c.m_strFreq.clear();
        }
        if (c.m_strBand.empty() && !c.m_strFreq.empty())
            c.m_strBand = BandFromFrequency(c.m_strFreq);
        if (c.m_strMode == "89") ResolvePhoneSideband(c);
        s.FinishRecord();
    }
    c.ClearContact();
}

void ResolvePhoneSideband(WorkingContact& c) {
    const std::string& band = c.m_strBand;
    c.m_strMode = (band == "8" || band == "9" || band == "10") ? "1" : "0";
}

}  // namespace tvx
