#pragma once
// The ADIF names of the host's mode and QSL-route codes (the band names are
// with the other band facts). The reader maps names to codes with them and
// the export maps the codes back, so the two stay each other's inverse.

#include <string_view>
#include <utility>

namespace tvx {

using AdifName = std::pair<std::string_view, const char*>;

// Mode names (upper case) and their codes; "89" is phone whose sideband the
// band decides.
inline constexpr AdifName kAdifModes[] = {
    {"CW", "2"},   {"SSB", "89"},    {"RTTY", "5"},   {"LSB", "1"},  {"USB", "0"},
    {"AM", "4"},   {"FM", "3"},      {"SSTV", "7"},   {"MTTY", "5"}, {"FSK", "5"},
    {"PHO", "89"}, {"DIGITAL", "6"}, {"PHONE", "89"},
};

// QSL_VIA route keywords (compared ignoring case) and their route codes,
// besides the one-letter marks that logs share (QslRouteOfLetter).
inline constexpr AdifName kAdifQslRoutes[] = {
    {"O", "4"},     {"Mgr$$", "8"},   {"QSL-SVC", "7"},  {"Mgr-Buro", "6"}, {"None", "5"},
    {"Other", "4"}, {"Manager", "3"}, {"Direct$$", "2"}, {"Direct", "1"},   {"Bureau", "0"},
};

}  // namespace tvx
