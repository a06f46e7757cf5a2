#include "db/jet_keys.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tvx {

namespace {

#include "db/jet_collation_table.inc"

// What one character contributes to a Text key. The kinds are those of the
// engine's tables: ignored, simple (in-line codes), international (in-line
// codes and an extra code), unprintable (codes of their own section), an
// extra-code modifier, international with a flag of the flag section, and
// significant (letters, which Jet 3 counts before an accented letter).
enum Kind : unsigned char {
    kIgnored,
    kSimple,
    kIntl,
    kUnprintable,
    kModifier,
    kIntlFlag,
    kSignificant
};

struct Codes {
    Kind kind = kIgnored;
    const unsigned char* inl = nullptr;
    std::size_t inlSize = 0;
    const unsigned char* extra = nullptr;
    std::size_t extraSize = 0;
    unsigned char modifier = 0;
    unsigned char flag = 0;
};

// Reads the record at p; returns the record's length.
std::size_t ReadCodes(const unsigned char* p, Codes& c) {
    c = Codes{};
    c.kind = static_cast<Kind>(p[0]);
    switch (c.kind) {
        case kIgnored:
            return 1;
        case kSimple:
        case kSignificant:
        case kUnprintable:
            // An unprintable character's codes go to their own section; they
            // are kept in `extra` here.
            (c.kind == kUnprintable ? c.extra : c.inl) = p + 2;
            (c.kind == kUnprintable ? c.extraSize : c.inlSize) = p[1];
            return 2 + p[1];
        case kModifier:
            c.modifier = p[1];
            return 2;
        case kIntl:
        case kIntlFlag: {
            c.inl = p + 2;
            c.inlSize = p[1];
            const unsigned char* e = p + 2 + p[1];
            c.extraSize = e[0];
            c.extra = c.extraSize ? e + 1 : nullptr;
            if (c.kind == kIntl) return 3 + p[1] + e[0];
            c.flag = e[1 + e[0]];
            return 4 + p[1] + e[0];
        }
    }
    return 1;
}

Codes General97(unsigned char byte) {
    static const std::array<std::size_t, 256> offsets = [] {
        std::array<std::size_t, 256> o{};
        std::size_t at = 0;
        Codes c;
        for (std::size_t i = 0; i < 256; ++i) {
            o[i] = at;
            at += ReadCodes(kGeneral97Codes + at, c);
        }
        return o;
    }();
    Codes c;
    ReadCodes(kGeneral97Codes + offsets[byte], c);
    return c;
}

Codes GeneralLegacy(char16_t ch, unsigned char (&surrogate)[2]) {
    Codes c;
    if (ch >= 0xD800 && ch < 0xE000) {
        // Surrogates are not in the tables: their in-line codes follow from
        // their number, their extra code is fixed.
        static const unsigned char kSurrogateExtra = 0x3F;
        int index = 0;
        if (ch < 0xDC00) {
            index = ch - 10238;
        } else {
            const int offset = (ch - 0xDC00) % 1024;
            const int base = offset < 8     ? 9992
                             : offset < 262 ? 9990
                             : offset < 516 ? 9988
                             : offset < 770 ? 9986
                                            : 9984;
            index = ch - base;
        }
        surrogate[0] = static_cast<unsigned char>(index >> 8);
        surrogate[1] = static_cast<unsigned char>(index);
        c.kind = kIntl;
        c.inl = surrogate;
        c.inlSize = 2;
        c.extra = &kSurrogateExtra;
        c.extraSize = 1;
        return c;
    }
    const std::size_t index = ch < 0xD800 ? ch : ch - 2048u;
    // The first 256 characters (nearly all text) have their records found
    // at once rather than by walking their block.
    static const std::vector<std::size_t> latin = [] {
        std::vector<std::size_t> o(256);
        Codes skip;
        for (std::size_t block = 0; block < 4; ++block) {
            std::size_t at = kGeneralLegacyBlocks[block];
            for (std::size_t i = 0; i < 64; ++i) {
                o[block * 64 + i] = at;
                at += ReadCodes(kGeneralLegacyCodes + at, skip);
            }
        }
        return o;
    }();
    if (index < latin.size()) {
        ReadCodes(kGeneralLegacyCodes + latin[index], c);
        return c;
    }
    std::size_t at = kGeneralLegacyBlocks[index / 64];
    for (std::size_t i = index % 64; i > 0; --i) at += ReadCodes(kGeneralLegacyCodes + at, c);
    ReadCodes(kGeneralLegacyCodes + at, c);
    return c;
}

// Jet 3: in-line codes, then the extra codes as nibbles framed by 0 nibbles
// (each after a placeholder 2 per significant letter since the last one),
// or a 0x00 when there are none.
JetBytes General97Key(const std::string& bytes) {
    JetBytes key;
    std::vector<unsigned char> nibbles;
    int significant = 0;
    for (const char b : bytes) {
        const Codes c = General97(static_cast<unsigned char>(b));
        key.insert(key.end(), c.inl, c.inl + c.inlSize);
        if (c.kind == kSimple) continue;
        if (c.kind == kSignificant) {
            ++significant;
            continue;
        }
        if (c.extra) {
            if (nibbles.empty()) nibbles.push_back(0);
            nibbles.insert(nibbles.end(), static_cast<std::size_t>(significant), 2);
            nibbles.push_back(c.extra[0] & 0x0F);
            significant = 0;
        }
    }
    if (nibbles.empty()) {
        key.push_back(0x00);
        return key;
    }
    nibbles.push_back(0);
    for (std::size_t i = 0; i < nibbles.size(); i += 2) {
        key.push_back(static_cast<unsigned char>(nibbles[i] << 4 |
                                                 (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    }
    return key;
}

// Jet 4: in-line codes, 0x01, then the extra codes (a placeholder 2 for each
// character before an accented one), the flag section and the unprintable
// section (each unprintable character with its position), then 0x00.
JetBytes GeneralLegacyKey(const std::u16string& text) {
    JetBytes key;
    JetBytes extra, unprintable, flags;
    bool anyExtra = false, anyUnprintable = false, anyFlags = false;
    std::size_t extraChars = 0, modifierPrefix = 0;
    std::size_t position = 0;  // characters with in-line codes so far
    unsigned char surrogate[2];
    for (const char16_t ch : text) {
        const Codes c = GeneralLegacy(ch, surrogate);
        const std::size_t here = position;
        if (c.inl) {
            key.insert(key.end(), c.inl, c.inl + c.inlSize);
            ++position;
        }
        if (c.kind == kSimple || c.kind == kSignificant || c.kind == kIgnored) continue;
        if (c.kind == kUnprintable) {
            // The position counts the extra codes written so far, not
            // characters, once there are extra codes.
            std::size_t at = here;
            if (anyExtra) at = extra.size() + (here - extraChars) - modifierPrefix;
            const unsigned offset = (7 + 4 * static_cast<unsigned>(at)) | 0x8000;
            unprintable.push_back(static_cast<unsigned char>(offset >> 8));
            unprintable.push_back(static_cast<unsigned char>(offset));
            unprintable.push_back(0x06);
            unprintable.insert(unprintable.end(), c.extra, c.extra + c.extraSize);
            anyUnprintable = true;
        } else if (c.extra || c.kind == kModifier) {
            anyExtra = true;
            if (extraChars < here) {
                extra.insert(extra.end(), here - extraChars, 0x02);
                extraChars = here;
            }
            if (c.extra) {
                extra.insert(extra.end(), c.extra, c.extra + c.extraSize);
                ++extraChars;
            } else if (!extra.empty()) {
                extra.back() = static_cast<unsigned char>(extra.back() + c.modifier);
            } else {
                extra.push_back(c.modifier);
                modifierPrefix = 1;
            }
        }
        if (c.flag) {
            flags.push_back(c.flag);
            anyFlags = true;
        }
    }
    key.push_back(0x01);
    while (!extra.empty() && extra.back() <= 0x02) extra.pop_back();
    key.insert(key.end(), extra.begin(), extra.end());
    if (anyFlags || anyUnprintable) {
        key.push_back(0x01);
        key.push_back(0x01);
        if (anyFlags) {
            // Three flags of two bits per byte under 0x80, trailing 3s left out.
            while (!flags.empty() && flags.back() == 0x03) flags.pop_back();
            for (std::size_t i = 0; i < flags.size(); i += 3) {
                unsigned char b = 0x80;
                for (std::size_t j = 0; j < 3 && i + j < flags.size(); ++j)
                    b |= static_cast<unsigned char>(flags[i + j] << ((2 - j) * 2));
                key.push_back(b);
            }
            for (const unsigned char b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) key.push_back(b);
            if (anyUnprintable) key.push_back(0xFF);
        }
        if (anyUnprintable) {
            key.push_back(0x01);
            key.insert(key.end(), unprintable.begin(), unprintable.end());
        }
    }
    key.push_back(0x00);
    return key;
}

const JetColumn* ColumnOf(const JetTableDef& def, int number, std::size_t* position = nullptr) {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (def.columns[i].number == number) {
            if (position) *position = i;
            return &def.columns[i];
        }
    }
    return nullptr;
}

// The sort-order number of "General" (the LCID of US English).
constexpr int kGeneralSortOrder = 1033;

}  // namespace

JetBytes JetTextKey(bool jet4, const std::string& utf8) {
    // Keys leave out trailing blanks and go no further than 255 characters.
    if (!jet4) {
        std::string bytes = Utf8ToCp1252(utf8);
        if (bytes.size() > 255) bytes.resize(255);
        while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
        return General97Key(bytes);
    }
    std::u16string text = Utf8ToUtf16(utf8);
    if (text.size() > 255) text.resize(255);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return GeneralLegacyKey(text);
}

std::string UnkeyableIndexReason(const JetFormat& f, const JetTableDef& def,
                                 const JetPhysicalIndex& index) {
    for (const auto& slot : index.columns) {
        const JetColumn* col = ColumnOf(def, slot.first);
        if (!col) return "an index names a column that the table does not have";
        switch (col->type) {
            case kJetBoolean:
            case kJetByte:
            case kJetInteger:
            case kJetLong:
            case kJetCurrency:
            case kJetSingle:
            case kJetDouble:
            case kJetDateTime:
                break;
            case kJetText:
                if ((col->sortOrder != 0 && col->sortOrder != kGeneralSortOrder) ||
                    (f.jet4 && col->sortVersion != 0)) {
                    return "the index on [" + col->name + "] uses a sort order (" +
                           std::to_string(col->sortOrder) + "/" + std::to_string(col->sortVersion) +
                           ") other than \"General\"";
                }
                if (!f.jet4 && col->codePage != 0 && col->codePage != 1252) {
                    return "the column [" + col->name + "] uses code page " +
                           std::to_string(col->codePage);
                }
                break;
            default:
                return "the index on [" + col->name +
                       "] is over a column of a kind this program cannot key";
        }
    }
    return {};
}

JetBytes JetIndexKey(const JetFormat& f, const JetTableDef& def, const JetPhysicalIndex& index,
                     const std::vector<JetValue>& values) {
    JetBytes key;
    for (const auto& slot : index.columns) {
        std::size_t position = 0;
        const JetColumn* col = ColumnOf(def, slot.first, &position);
        if (!col || position >= values.size())
            throw JetValueError("an index names a column that is not there");
        const JetValue& v = values[position];
        const bool ascending = slot.second;
        const std::size_t start = key.size();
        if (col->type == kJetBoolean) {
            // Yes/No is never NULL: 0x00 for Yes, 0xFF for No.
            key.push_back(0x7F);
            key.push_back(std::get_if<bool>(&v) && std::get<bool>(v) ? 0x00 : 0xFF);
        } else if (std::holds_alternative<std::monostate>(v)) {
            key.push_back(0x00);
        } else if (col->type == kJetText) {
            const auto* s = std::get_if<std::string>(&v);
            if (!s) throw JetValueError("a Text column holds no text");
            key.push_back(0x7F);
            const JetBytes text = JetTextKey(f.jet4, *s);
            key.insert(key.end(), text.begin(), text.end());
            if (!ascending && f.jet4) {
                // Jet 4 complements the codes with their end mark and adds a
                // plain one.
                for (std::size_t i = start; i < key.size(); ++i)
                    key[i] = static_cast<unsigned char>(~key[i]);
                key.push_back(0x00);
                continue;
            }
        } else {
            // The value's bytes, big-endian, made to compare bytewise.
            const JetColumn& c = *col;
            const JetBytes bytes = EncodeJetFixedValue(c, v);
            key.push_back(0x7F);
            key.insert(key.end(), bytes.rbegin(), bytes.rend());
            const bool floating =
                c.type == kJetSingle || c.type == kJetDouble || c.type == kJetDateTime;
            if (c.type == kJetByte) {
                // as it is
            } else if (floating && (key[start + 1] & 0x80)) {
                for (std::size_t i = start + 1; i < key.size(); ++i)
                    key[i] = static_cast<unsigned char>(~key[i]);
            } else {
                key[start + 1] ^= 0x80;
            }
        }
        if (!ascending) {
            for (std::size_t i = start; i < key.size(); ++i)
                key[i] = static_cast<unsigned char>(~key[i]);
        }
    }
    return key;
}

bool JetKeyAllNull(const JetPhysicalIndex& index, const JetBytes& key) {
    return key.size() == index.columns.size() &&
           std::all_of(key.begin(), key.end(),
                       [](unsigned char k) { return k == 0x00 || k == 0xFF; });
}

}  // namespace tvx
