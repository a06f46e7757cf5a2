#include "db/jet_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "tables/database.h"

namespace tvx {

namespace {

// Code page 1252's bytes 0x80..0x9F; the five it leaves undefined map to the
// control characters of the same number, as Windows maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The largest rows the engine stores, by format.
constexpr std::size_t kMaxRowJet3 = 2012;
constexpr std::size_t kMaxRowJet4 = 4060;

void PutLe(JetBytes& out, std::size_t at, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::int64_t GetLeSigned(const unsigned char* p, std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes; i-- > 0;) v = (v << 8) | p[i];
    if (bytes < 8 && (v & (std::uint64_t{1} << (8 * bytes - 1))))
        v |= ~std::uint64_t{0} << (8 * bytes);
    return static_cast<std::int64_t>(v);
}

bool IsBitSet(const unsigned char* mask, std::size_t maskBytes, int number) {
    const std::size_t n = static_cast<std::size_t>(number);
    return n / 8 < maskBytes && (mask[n / 8] & (1u << (n % 8)));
}

std::string DecodeText(const JetFormat& f, const unsigned char* p, std::size_t size) {
    if (!f.jet4) return Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(p), size));
    std::u16string text;
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        // Compressed: one byte per character, a 0x00 switching to two bytes
        // per character and back.
        bool oneByte = true;
        for (std::size_t i = 2; i < size;) {
            if (p[i] == 0x00) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                text += static_cast<char16_t>(p[i++]);
            } else if (i + 1 < size) {
                text += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2)
            text += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
    }
    return Utf16ToUtf8(text);
}

// Appends the stored bytes of a text to `out`.
void EncodeText(const JetFormat& f, const JetColumn& col, const std::string& utf8, JetBytes& out) {
    const auto tooLong = [&](std::size_t chars, std::size_t room) {
        return JetValueError("the text is " + std::to_string(chars) +
                             " characters long, the column [" + col.name + "] holds " +
                             std::to_string(room));
    };
    if (!f.jet4) {
        const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        const std::string bytes = ascii ? utf8 : Utf8ToCp1252(utf8);
        if (bytes.size() > col.length) throw tooLong(bytes.size(), col.length);
        out.insert(out.end(), bytes.begin(), bytes.end());
        return;
    }
    // The engine compresses a text of three or more characters that all fit
    // in one byte (none of them 0).
    const auto compressible = [](char16_t c) { return c >= 1 && c <= 0xFF; };
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != 0;
    });
    if (ascii) {
        if (utf8.size() * 2 > col.length) throw tooLong(utf8.size(), col.length / 2);
        if (col.compressed && utf8.size() > 2 && utf8.size() <= 1024) {
            out.push_back(0xFF);
            out.push_back(0xFE);
            out.insert(out.end(), utf8.begin(), utf8.end());
            return;
        }
    }
    const std::u16string text = Utf8ToUtf16(utf8);
    if (text.size() * 2 > col.length) throw tooLong(text.size(), col.length / 2);
    const bool compress = col.compressed && text.size() > 2 && text.size() <= 1024 &&
                          std::all_of(text.begin(), text.end(), compressible);
    if (compress) {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (const char16_t c : text) out.push_back(static_cast<unsigned char>(c));
    } else {
        for (const char16_t c : text) {
            out.push_back(static_cast<unsigned char>(c));
            out.push_back(static_cast<unsigned char>(c >> 8));
        }
    }
}

[[noreturn]] void WrongKind(const JetColumn& col) {
    throw JetValueError("the column [" + col.name + "] cannot take a value of that kind");
}

// A number for a column of an integer kind, in its range.
std::int64_t IntegerFor(const JetColumn& col, const JetValue& value, std::int64_t low,
                        std::int64_t high) {
    std::int64_t n = 0;
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        n = *i;
    } else if (const auto* b = std::get_if<bool>(&value)) {
        n = *b ? -1 : 0;
    } else {
        WrongKind(col);
    }
    if (n < low || n > high) {
        throw JetValueError("the value " + std::to_string(n) +
                            " is out of the range of the column [" + col.name + "]");
    }
    return n;
}

double DoubleFor(const JetColumn& col, const JetValue& value) {
    if (const auto* d = std::get_if<double>(&value)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    WrongKind(col);
}

}  // namespace

JetBytes EncodeJetFixedValue(const JetColumn& col, const JetValue& value) {
    JetBytes bytes(col.length);
    switch (col.type) {
        case kJetByte:
            PutLe(bytes, 0, static_cast<std::uint64_t>(IntegerFor(col, value, 0, 255)), 1);
            break;
        case kJetInteger:
            PutLe(bytes, 0, static_cast<std::uint64_t>(IntegerFor(col, value, -32768, 32767)), 2);
            break;
        case kJetLong:
            PutLe(bytes, 0,
                  static_cast<std::uint64_t>(IntegerFor(col, value,
                                                        std::numeric_limits<std::int32_t>::min(),
                                                        std::numeric_limits<std::int32_t>::max())),
                  4);
            break;
        case kJetCurrency:
            PutLe(bytes, 0,
                  static_cast<std::uint64_t>(IntegerFor(col, value,
                                                        std::numeric_limits<std::int64_t>::min(),
                                                        std::numeric_limits<std::int64_t>::max())),
                  8);
            break;
        case kJetSingle: {
            const double d = DoubleFor(col, value);
            if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
                throw JetValueError("the value is out of the range of the column [" + col.name +
                                    "]");
            }
            const float s = static_cast<float>(d);
            std::uint32_t u = 0;
            std::memcpy(&u, &s, 4);
            PutLe(bytes, 0, u, 4);
            break;
        }
        case kJetDouble:
        case kJetDateTime: {
            const double d = DoubleFor(col, value);
            std::uint64_t u = 0;
            std::memcpy(&u, &d, 8);
            PutLe(bytes, 0, u, 8);
            break;
        }
        default: {
            const auto* raw = std::get_if<JetRaw>(&value);
            if (!raw || raw->bytes.size() != col.length) WrongKind(col);
            std::memcpy(bytes.data(), raw->bytes.data(), col.length);
        }
    }
    return bytes;
}

namespace {

JetValue DecodeFixed(const JetColumn& col, const unsigned char* p) {
    switch (col.type) {
        case kJetByte:
            return std::int64_t{p[0]};
        case kJetInteger:
            return GetLeSigned(p, 2);
        case kJetLong:
            return GetLeSigned(p, 4);
        case kJetCurrency:
            return GetLeSigned(p, 8);
        case kJetSingle: {
            const std::uint32_t u = JetU32(p);
            float s = 0;
            std::memcpy(&s, &u, 4);
            return static_cast<double>(s);
        }
        case kJetDouble:
        case kJetDateTime: {
            const std::uint64_t u = static_cast<std::uint64_t>(GetLeSigned(p, 8));
            double d = 0;
            std::memcpy(&d, &u, 8);
            return d;
        }
        default:
            return JetRaw{std::string(reinterpret_cast<const char*>(p), col.length)};
    }
}

// The variable offsets of a row (entry n is the end of the data), from the
// row's tail; Jet 3's one-byte offsets are lifted by its jump table.
std::vector<std::size_t> VariableOffsets(const JetFormat& f, const JetBytes& row,
                                         std::size_t maskBytes) {
    const std::size_t size = row.size();
    const auto cut = [] {
        return DbError("a row's table of variable offsets lies outside the row");
    };
    if (f.jet4) {
        if (size < maskBytes + 2) throw cut();
        const std::size_t n = JetU16(&row[size - maskBytes - 2]);
        if (size < maskBytes + 2 + 2 * (n + 1)) throw cut();
        std::vector<std::size_t> offsets(n + 1);
        for (std::size_t i = 0; i <= n; ++i)
            offsets[i] = JetU16(&row[size - maskBytes - 4 - 2 * i]);
        return offsets;
    }
    if (size < maskBytes + 1) throw cut();
    const std::size_t n = row[size - maskBytes - 1];
    std::size_t jumps = (size - 1) / 256;
    if (size < maskBytes + 1 + jumps + n + 1) throw cut();
    const std::size_t lastOffsetByte = size - maskBytes - 1 - jumps - 1;  // that of entry 0
    // A last jump entry beyond the end of the data is a filler.
    if ((lastOffsetByte - n) / 256 < jumps) --jumps;
    std::vector<std::size_t> offsets(n + 1);
    std::size_t used = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        while (used < jumps && i == row[size - maskBytes - 2 - used]) ++used;
        offsets[i] = row[lastOffsetByte - i] + 256 * used;
    }
    return offsets;
}

}  // namespace

std::vector<JetValue> DecodeJetRow(const JetFormat& f, const JetTableDef& def, const JetBytes& row,
                                   const std::vector<bool>* only) {
    const std::size_t countBytes = f.jet4 ? 2 : 1;
    if (row.size() < countBytes) throw DbError("a row is empty");
    const std::size_t rowColumns = f.jet4 ? JetU16(row.data()) : row[0];
    const std::size_t maskBytes = (rowColumns + 7) / 8;
    if (row.size() < countBytes + maskBytes) throw DbError("a row is cut");
    const unsigned char* mask = row.data() + row.size() - maskBytes;
    const bool anyVariable = std::any_of(def.columns.begin(), def.columns.end(),
                                         [](const JetColumn& c) { return !c.fixed(); });
    std::vector<std::size_t> offsets;
    if (anyVariable && def.varColumns > 0) offsets = VariableOffsets(f, row, maskBytes);
    std::vector<JetValue> values;
    values.reserve(def.columns.size());
    for (const JetColumn& col : def.columns) {
        if (only && !(*only)[values.size()]) {
            values.emplace_back(std::monostate{});
            continue;
        }
        const bool present = static_cast<std::size_t>(col.number) < rowColumns &&
                             IsBitSet(mask, maskBytes, col.number);
        if (col.type == kJetBoolean) {
            values.emplace_back(present);
            continue;
        }
        if (!present) {
            values.emplace_back(std::monostate{});
            continue;
        }
        if (col.fixed()) {
            const std::size_t at = countBytes + col.fixedOffset;
            if (at + col.length > row.size()) throw DbError("a fixed column lies outside its row");
            values.push_back(DecodeFixed(col, row.data() + at));
            continue;
        }
        if (col.varIndex + 1 >= offsets.size()) {
            values.emplace_back(std::monostate{});
            continue;
        }
        const std::size_t start = offsets[col.varIndex], end = offsets[col.varIndex + 1];
        if (start > end || end > row.size())
            throw DbError("a variable column lies outside its row");
        if (col.type == kJetText) {
            values.emplace_back(DecodeText(f, row.data() + start, end - start));
        } else if (col.type >= kJetByte && col.type <= kJetDateTime && end - start == col.length) {
            // A number may be kept among the variable columns.
            values.push_back(DecodeFixed(col, row.data() + start));
        } else {
            values.emplace_back(JetRaw{
                std::string(reinterpret_cast<const char*>(row.data() + start), end - start)});
        }
    }
    return values;
}

JetBytes EncodeJetRow(const JetFormat& f, const JetTableDef& def,
                      const std::vector<JetValue>& values, std::size_t minSize) {
    if (values.size() != def.columns.size())
        throw JetValueError("the row has a wrong number of values");
    const std::size_t countBytes = f.jet4 ? 2 : 1;
    const std::size_t maskBytes = (def.maxColumns + 7) / 8;
    JetBytes mask(maskBytes);
    const auto mark = [&](const JetColumn& c) {
        if (static_cast<std::size_t>(c.number) >= def.maxColumns) {
            throw JetValueError("the column [" + c.name + "] lies beyond the table's column count");
        }
        mask[static_cast<std::size_t>(c.number) / 8] |=
            static_cast<unsigned char>(1u << (c.number % 8));
    };
    // The fixed area holds every fixed column, NULL or not. A Yes/No column
    // lives in the null mask; Jet 4 rows still keep its declared byte, Jet 3
    // rows do not (as the files of both engines show).
    std::size_t fixedEnd = 0;
    for (const JetColumn& c : def.columns) {
        if (c.fixed() && (f.jet4 || c.type != kJetBoolean))
            fixedEnd = std::max(fixedEnd, c.fixedOffset + c.length);
    }
    JetBytes row(countBytes + fixedEnd);
    PutLe(row, 0, def.maxColumns, countBytes);
    // Variable columns by their place in the offset table.
    std::vector<std::pair<std::size_t, std::size_t>> variables;  // place, column
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const JetColumn& c = def.columns[i];
        const JetValue& v = values[i];
        if (c.type == kJetBoolean) {
            const auto* b = std::get_if<bool>(&v);
            if (!b && !std::holds_alternative<std::monostate>(v)) WrongKind(c);
            if (b && *b) mark(c);
            continue;
        }
        const bool present = !std::holds_alternative<std::monostate>(v);
        if (present) mark(c);
        if (!c.fixed()) {
            variables.emplace_back(c.varIndex, i);
        } else if (present) {
            const JetBytes bytes = EncodeJetFixedValue(c, v);
            std::copy(bytes.begin(), bytes.end(),
                      row.begin() + static_cast<std::ptrdiff_t>(countBytes + c.fixedOffset));
        }
    }
    if (def.varColumns > 0) {
        std::sort(variables.begin(), variables.end());
        // Offsets of columns that are gone repeat the next column's.
        std::vector<std::size_t> offsets(def.varColumns + 1);
        std::size_t next = 0;
        for (const auto& [place, i] : variables) {
            if (place >= def.varColumns) throw JetValueError("a column's variable place is wrong");
            while (next <= place) offsets[next++] = row.size();
            const JetColumn& c = def.columns[i];
            const JetValue& v = values[i];
            if (std::holds_alternative<std::monostate>(v)) continue;
            if (c.type == kJetText) {
                const auto* s = std::get_if<std::string>(&v);
                if (!s) WrongKind(c);
                EncodeText(f, c, *s, row);
            } else if (const auto* raw = std::get_if<JetRaw>(&v)) {
                row.insert(row.end(), raw->bytes.begin(), raw->bytes.end());
            } else {
                const JetBytes bytes = EncodeJetFixedValue(c, v);
                row.insert(row.end(), bytes.begin(), bytes.end());
            }
        }
        while (next <= def.varColumns) offsets[next++] = row.size();
        const std::size_t n = def.varColumns;
        // The tail that follows the data: offsets, count, mask (Jet 3: one
        // byte each and the jump table, counted below).
        const std::size_t tail = f.jet4 ? 2 * (n + 1) + 2 + maskBytes : n + 1 + 1 + maskBytes;
        if (row.size() + tail < minSize) row.resize(minSize - tail);
        if (f.jet4) {
            for (std::size_t i = n + 1; i-- > 0;) {
                row.push_back(static_cast<unsigned char>(offsets[i]));
                row.push_back(static_cast<unsigned char>(offsets[i] >> 8));
            }
            row.push_back(static_cast<unsigned char>(n));
            row.push_back(static_cast<unsigned char>(n >> 8));
        } else {
            // One jump entry per 256-byte boundary the offsets pass, the
            // highest first. A reader takes their count from the row's
            // length, so fillers (0xFF) may be needed, farthest from the
            // count.
            const std::size_t real = offsets[n] / 256;
            const std::size_t base = row.size() + tail;
            std::size_t stored = real;
            while ((base + stored - 1) / 256 > stored) ++stored;
            if ((base + stored - 1) / 256 != stored || stored - real > 1) {
                throw JetValueError("the row's variable columns cannot be laid out in a Jet 3 row");
            }
            if (row.size() + stored + tail < minSize) {
                throw JetValueError("the row cannot be filled up to its room");
            }
            for (std::size_t i = n + 1; i-- > 0;)
                row.push_back(static_cast<unsigned char>(offsets[i]));
            for (std::size_t i = real; i < stored; ++i) row.push_back(0xFF);
            for (std::size_t b = real; b >= 1; --b) {
                std::size_t first = 0;
                while (offsets[first] < b * 256) ++first;
                row.push_back(static_cast<unsigned char>(first));
            }
            row.push_back(static_cast<unsigned char>(n));
        }
    } else if (row.size() + maskBytes < minSize) {
        row.resize(minSize - maskBytes);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    const std::size_t limit = f.jet4 ? kMaxRowJet4 : kMaxRowJet3;
    if (row.size() > limit) {
        throw JetValueError("the row takes " + std::to_string(row.size()) +
                            " bytes, more than the " + std::to_string(limit) + " a row may take");
    }
    return row;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < text.size()) {
            cp = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F);
            length = 2;
        } else if ((c >> 4) == 0xE && i + 2 < text.size()) {
            cp = ((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
            length = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < text.size()) {
            cp = ((c & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) |
                 (text[i + 3] & 0x3F);
            length = 4;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToCp1252(const std::string& text) {
    std::string out;
    for (const char16_t c : Utf8ToUtf16(text)) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        const auto at = std::find(std::begin(kCp1252High), std::end(kCp1252High), c);
        if (at == std::end(kCp1252High)) {
            throw JetValueError(
                "the text holds a character that a Jet 3 database (code page 1252) "
                "cannot store");
        }
        out += static_cast<char>(0x80 + (at - std::begin(kCp1252High)));
    }
    return out;
}

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::u16string text;
    for (const char b : bytes) {
        const unsigned char c = static_cast<unsigned char>(b);
        text += c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : static_cast<char16_t>(c);
    }
    return Utf16ToUtf8(text);
}

}  // namespace tvx
