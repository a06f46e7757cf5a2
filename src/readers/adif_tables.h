#pragma once
// The ADIF names of the host's band, mode and QSL-route codes. The reader
// maps names to codes with them and the export maps the codes back, so the
// two stay each other's inverse.

#include <string_view>
#include <utility>

namespace tvx {

using AdifName = std::pair<std::string_view, const char*>;

// Band names (compared ignoring case) and their codes. 35CM stands for the
// 33 cm band; 33CM itself is not a name the reader knows.
inline constexpr AdifName kAdifBands[] = {
    {"160M", "10"}, {"80M", "9"},    {"40M", "8"},   {"30M", "7"},   {"20M", "6"},
    {"17M", "5"},   {"15M", "4"},    {"12M", "3"},   {"10M", "2"},   {"6M", "1"},
    {"2M", "0"},    {"1.25M", "11"}, {"70CM", "12"}, {"35CM", "13"}, {"23CM", "14"},
    {"13CM", "15"}, {"9CM", "16"},   {"6CM", "17"},  {"3CM", "18"},  {"1.25CM", "19"},
    {"6MM", "20"},  {"4MM", "21"},   {"4M", "22"},   {"60M", "23"},
};

// Mode names (upper case) and their codes; "89" is phone whose sideband the
// band decides.
inline constexpr AdifName kAdifModes[] = {
    {"CW", "2"},   {"SSB", "89"},    {"RTTY", "5"},   {"LSB", "1"},  {"USB", "0"},
    {"AM", "4"},   {"FM", "3"},      {"SSTV", "7"},   {"MTTY", "5"}, {"FSK", "5"},
    {"PHO", "89"}, {"DIGITAL", "6"}, {"PHONE", "89"},
};

// QSL_VIA route keywords (compared ignoring case) and their route codes; the
// spelled-out keyword of a code comes after its one-letter form.
inline constexpr AdifName kAdifQslRoutes[] = {
    {"D", "1"},       {"B", "0"},        {"$", "2"},        {"M", "3"},      {"O", "4"},
    {"Mgr$$", "8"},   {"QSL-SVC", "7"},  {"Mgr-Buro", "6"}, {"None", "5"},   {"Other", "4"},
    {"Manager", "3"}, {"Direct$$", "2"}, {"Direct", "1"},   {"Bureau", "0"},
};

}  // namespace tvx
