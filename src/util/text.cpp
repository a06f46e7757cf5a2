#include "util/text.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>

namespace tvx {

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

}  // namespace

std::string TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return std::string(text.substr(i));
}

std::string_view TrimRightView(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1])) --n;
    return text.substr(0, n);
}

std::string TrimRight(std::string_view text) {
    return std::string(TrimRightView(text));
}

std::string Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsAllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

namespace {

// Length of the UTF-8 sequence that starts with lead byte c (1 for stray bytes).
std::size_t SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string Left(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t count = 0; count < n && pos < text.size(); ++count) {
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    }
    return std::string(text.substr(0, std::min(pos, text.size())));
}

std::string CutToWidth(std::string_view text, std::size_t n) {
    std::string cut = Left(text, n);
    if (cut.size() < text.size()) cut = TrimRight(cut);
    return cut;
}

std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    }
    return count;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > text.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not text.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string DecodeLegacy(std::string_view text, int codePage) {
    // One converter per code page and thread; iconv knows the DOS and
    // Windows pages that old logs were written in.
    // They are closed with the thread, or the leak checker reports them.
    struct Closer {
        void operator()(void* cd) const {
            if (cd != reinterpret_cast<void*>(-1)) iconv_close(static_cast<iconv_t>(cd));
        }
    };
    thread_local std::map<int, std::unique_ptr<void, Closer>> converters;
    auto it = converters.find(codePage);
    if (it == converters.end()) {
        iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
        it = converters.emplace(codePage, std::unique_ptr<void, Closer>(cd)).first;
    }
    iconv_t cd = static_cast<iconv_t>(it->second.get());
    std::string out;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : text) out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in(text);
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        // A byte the code page leaves undefined becomes U+FFFD rather than
        // ending the text.
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";
            ++src;
            --srcLeft;
        }
    }
    return out;
}

std::string ToUtf8(std::string_view text, int codePage) {
    if (IsValidUtf8(text)) return std::string(text);
    return DecodeLegacy(text, codePage);
}

}  // namespace tvx
