#pragma once
// Text helpers shared by every layer. Text is UTF-8 inside the program;
// lengths and cuts count characters, never splitting one.

#include <string>
#include <string_view>

namespace tvx {

std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
// The text without its trailing blanks, as a view into it.
std::string_view TrimRightView(std::string_view text);
std::string ToUpper(std::string_view text);  // ASCII letters only
bool EqualsNoCase(std::string_view a, std::string_view b);
// True for a non-empty text of ASCII digits only.
bool IsAllDigits(std::string_view text);
// The first n characters (UTF-8 code points), never splitting one.
std::string Left(std::string_view text, std::size_t n);
// A free text cut to a column of n characters: the first n characters,
// without the blanks a cut may leave at the end (a reader trims them on the
// way back, so a stored value never ends in one).
std::string CutToWidth(std::string_view text, std::size_t n);
std::size_t CharCount(std::string_view text);
bool IsValidUtf8(std::string_view text);
// Legacy 8-bit text (Windows or DOS code page number) to UTF-8.
std::string DecodeLegacy(std::string_view text, int codePage = 1252);
// Text that is valid UTF-8 is returned as is; anything else is decoded from
// the code page.
std::string ToUtf8(std::string_view text, int codePage = 1252);

}  // namespace tvx
