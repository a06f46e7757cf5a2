#pragma once
// The ADIF field mapping and the two conversions that other readers share
// (dBASE logs that store an ADIF band name or a frequency in megahertz).

#include <string>

#include "readers/adif.h"

namespace tvx {

// Stores one ADIF field (name upper-cased, value as cut from the line) in the
// working contact. Unknown names are ignored.
void ApplyAdifField(AdifRecord& r, const std::string& name, const std::string& value);

// Megahertz as ADIF writes it to the target's kilohertz text with two
// decimals: "14.0255" gives "14025.00", "7" gives "7000.00". Empty for an
// empty value. Further fraction digits are dropped without rounding.
std::string AdifFrequencyToKhz(const std::string& mhz);

// Band code of an ADIF band name ("20m", " 20M" give "6"); "99" when the name
// is not known.
std::string AdifBandCode(const std::string& name);

// The country prefix of an ADIF DXCC number through the record's map: sets
// m_strPrefix to its first 4 characters when the map knows the number.
void LookupDxccPrefix(AdifRecord& r, const std::string& dxcc);

}  // namespace tvx
