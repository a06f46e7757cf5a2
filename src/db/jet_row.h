#pragma once
// The values of a Jet row and their bytes: a row of a table definition
// decoded into values and encoded back, as the engine lays rows out (fixed
// area, variable data, the offsets with Jet 3's jump table, the null mask),
// with Jet 4's Unicode compression where the engine uses it.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "db/jet_file.h"

namespace tvx {

// Bytes kept as they are stored: Binary, GUID, Decimal, and the field of a
// Memo or OLE value (which points elsewhere).
struct JetRaw {
    std::string bytes;
    bool operator==(const JetRaw&) const = default;
};

// NULL; Yes/No; Byte, Integer, Long Integer and Currency (in units of 1/10000);
// Single, Double and Date/Time (days since 1899-12-30); Text (UTF-8); raw.
using JetValue = std::variant<std::monostate, bool, std::int64_t, double, std::string, JetRaw>;

// A value that its column cannot take, or a row too long for a page.
class JetValueError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using JetBytes = std::vector<unsigned char>;

// One value per column of the definition, in the definition's order.
// With `only`, the columns it does not mark (by place in the definition)
// come back NULL undecoded.
std::vector<JetValue> DecodeJetRow(const JetFormat& f, const JetTableDef& def, const JetBytes& row,
                                   const std::vector<bool>* only = nullptr);
// Throws JetValueError for a value its column cannot take (a Text longer than
// its column, a number out of its range, text outside Jet 3's code page) or a
// row longer than the format allows.
// A row shorter than `minSize` is filled up to it with bytes no value
// uses (to rewrite a row in its place).
JetBytes EncodeJetRow(const JetFormat& f, const JetTableDef& def,
                      const std::vector<JetValue>& values, std::size_t minSize = 0);

// The stored bytes of a value of a fixed-size kind (a number, raw bytes of
// the column's size); throws JetValueError when the column cannot take it.
JetBytes EncodeJetFixedValue(const JetColumn& col, const JetValue& value);

// Text conversions of the two formats.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// Throws JetValueError for a character that code page 1252 does not have.
std::string Utf8ToCp1252(const std::string& text);
std::string Cp1252ToUtf8(const std::string& bytes);

}  // namespace tvx
