// ADX, the XML form of ADIF: each <RECORD> of <RECORDS> holds one element
// per field. Its fields go through the same mapping as ADI's, so a file
// gives the same contacts in either form.

#include <expat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>

#include "import/messages.h"
#include "import/reader_steps.h"
#include "readers/adif.h"
#include "readers/adif_fields.h"
#include "readers/readers.h"
#include "util/file.h"
#include "util/text.h"

namespace tvx {

namespace {

// A value longer than this is no field of a contact: reported, not held.
constexpr std::size_t kMaxValueBytes = std::size_t{1} << 20;
constexpr std::size_t kChunkBytes = 64 * 1024;

class AdxReader {
  public:
    AdxReader(ReaderSteps& s, const DxccPrefixMap* dxccPrefixes)
        : s_(s), record_{s, s.contact(), dxccPrefixes}, parser_(XML_ParserCreate("UTF-8")) {
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &AdxReader::OnStart, &AdxReader::OnEnd);
        XML_SetCharacterDataHandler(parser_, &AdxReader::OnText);
    }
    ~AdxReader() { XML_ParserFree(parser_); }
    AdxReader(const AdxReader&) = delete;
    AdxReader& operator=(const AdxReader&) = delete;

    void Read(std::FILE* file, std::int64_t size) {
        record_.c.ClearContact();
        std::int64_t done = 0;
        for (;;) {
            void* buffer = XML_GetBuffer(parser_, kChunkBytes);
            if (buffer == nullptr) return Damaged("out of memory");
            const std::size_t got = std::fread(buffer, 1, kChunkBytes, file);
            if (std::ferror(file)) return ReadFailed();
            done += static_cast<std::int64_t>(got);
            const bool last = got < kChunkBytes;
            if (XML_ParseBuffer(parser_, static_cast<int>(got), last) == XML_STATUS_ERROR) {
                if (stopped_) return;
                return Damaged(XML_ErrorString(XML_GetErrorCode(parser_)));
            }
            if (!stopped_) s_.ReportPosition(done, size);
            if (last || stopped_) break;
        }
        // A record still open at the end was cut off with the file.
        if (!stopped_ && inRecord_) Damaged("the file ends inside a record");
    }

  private:
    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<AdxReader*>(data)->Start(name, attributes);
    }
    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        static_cast<AdxReader*>(data)->End(name);
    }
    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        static_cast<AdxReader*>(data)->Text(text, static_cast<std::size_t>(length));
    }

    static std::string Attribute(const XML_Char** attributes, const char* wanted) {
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            if (ToUpper(attributes[i]) == wanted) return attributes[i + 1];
        }
        return {};
    }

    void Start(const std::string& element, const XML_Char** attributes) {
        ++depth_;
        const std::string name = ToUpper(element);
        if (!inRecord_) {
            if (name == "RECORD") {
                inRecord_ = true;
                recordDepth_ = depth_;
            }
            return;
        }
        if (depth_ != recordDepth_ + 1) return;
        // A user-defined field names itself in an attribute; an application
        // field is APP_<program>_<field>, as ADI spells it.
        if (name == "USERDEF") {
            field_ = ToUpper(Attribute(attributes, "FIELDNAME"));
        } else if (name == "APP") {
            field_ = "APP_" + ToUpper(Attribute(attributes, "PROGRAMID")) + "_" +
                     ToUpper(Attribute(attributes, "FIELDNAME"));
        } else {
            field_ = name;
        }
        value_.clear();
        inField_ = !field_.empty();
        tooLong_ = false;
    }

    void End(const std::string&) {
        if (inRecord_ && inField_ && depth_ == recordDepth_ + 1) {
            inField_ = false;
            if (tooLong_) {
                s_.ReportWarning("Field too long?");
            } else {
                std::erase(value_, '\0');
                ApplyAdifField(record_, field_, Trim(value_));
            }
        } else if (inRecord_ && depth_ == recordDepth_) {
            inRecord_ = false;
            FinishAdifRecord(s_);
            if (!s_.PumpAndCheckAbort()) Stop();
        }
        --depth_;
    }

    void Text(const char* text, std::size_t length) {
        if (!inField_ || tooLong_) return;
        if (value_.size() + length > kMaxValueBytes) {
            tooLong_ = true;
            value_.clear();
            return;
        }
        value_.append(text, length);
    }

    void Stop() {
        stopped_ = true;
        XML_StopParser(parser_, XML_FALSE);
    }

    void Damaged(const char* what) {
        s_.NotifyText(kMsgSourceReadError,
                      MessageText(kMsgSourceReadError) + ":\n'" + s_.sourcePath() +
                          "': it is not well-formed ADX (" + what + " at line " +
                          std::to_string(XML_GetCurrentLineNumber(parser_)) + ").",
                      MessageIcon::Stop);
    }

    void ReadFailed() {
        s_.NotifyText(kMsgSourceReadError,
                      MessageText(kMsgSourceReadError) + ":\n'" + s_.sourcePath() +
                          "': " + SystemErrorText(errno) + ".",
                      MessageIcon::Stop);
    }

    ReaderSteps& s_;
    AdifRecord record_;
    XML_Parser parser_;
    int depth_ = 0;
    int recordDepth_ = 0;
    bool inRecord_ = false;
    bool inField_ = false;
    bool tooLong_ = false;
    bool stopped_ = false;
    std::string field_;
    std::string value_;
};

}  // namespace

bool LooksLikeAdx(const std::string& path) {
    std::FILE* file = OpenRegularStream(path);
    if (file == nullptr) return false;
    char head[512];
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    std::string_view text(head, got);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    return text.starts_with("<?xml") || ToUpper(text.substr(0, 5)) == "<ADX>";
}

void ReadAdxFile(ReaderSteps& s, const DxccPrefixMap* dxccPrefixes) {
    std::FILE* file = OpenRegularStream(s.sourcePath());
    if (file == nullptr) {
        s.Notify(kMsgSourceFileNotOpen, MessageIcon::Stop);
        s.StopReading();
        return;
    }
    std::fseek(file, 0, SEEK_END);
    const std::int64_t size = std::ftell(file);
    std::rewind(file);
    {
        AdxReader reader(s, dxccPrefixes);
        reader.Read(file, size);
    }
    std::fclose(file);
    s.StopReading();
}

}  // namespace tvx
