#include "adif_gen.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace tvx::bench {
namespace {

// Prefixes as stations use them, with the country identifier the log may
// carry and a weight (how often the country turns up in a log).
struct Country {
    const char* prefixes;  // blank-separated
    const char* dxcc;
    int weight;
};

constexpr std::array<Country, 56> kCountries = {{
    {"K W N AA AB AC AD AE AF AG AI AJ AK KB KC KD KE KF KG KI KJ KK KN KO WA WB WD", "291", 300},
    {"VE VA", "1", 40},
    {"XE", "50", 8},
    {"KH6 NH6 WH6", "110", 5},
    {"KL7 AL7 WL7", "6", 5},
    {"KP4 NP4 WP4", "202", 5},
    {"CO CM", "70", 3},
    {"LU LW", "100", 8},
    {"PY PU PP", "108", 15},
    {"CE CA", "112", 5},
    {"CX", "144", 3},
    {"HK HJ", "116", 4},
    {"OA", "136", 3},
    {"YV", "148", 3},
    {"G M0 2E", "223", 40},
    {"GM MM", "279", 8},
    {"GW MW", "294", 5},
    {"GI MI", "265", 4},
    {"EI", "245", 8},
    {"F", "227", 30},
    {"DL DK DJ DF DO DG DH DM", "230", 60},
    {"PA PD PE", "263", 15},
    {"ON OT", "209", 10},
    {"HB", "287", 8},
    {"OE", "206", 8},
    {"I IK IZ IW", "248", 30},
    {"EA EB EC", "281", 25},
    {"EA8", "29", 5},
    {"CT CS", "272", 6},
    {"SM SA", "284", 12},
    {"LA LB", "266", 8},
    {"OH OG", "224", 10},
    {"OZ", "221", 8},
    {"SP SQ SO", "269", 25},
    {"OK OL", "503", 15},
    {"OM", "504", 8},
    {"HA HG", "239", 10},
    {"9A", "497", 8},
    {"S5", "499", 6},
    {"YO", "275", 8},
    {"LZ", "212", 8},
    {"SV", "236", 6},
    {"UA RA RW RK RN", "54", 40},
    {"UA9 RA9 RW9 UA0", "15", 12},
    {"UR UT UX US", "288", 15},
    {"EU EW", "27", 6},
    {"TA", "390", 5},
    {"4X 4Z", "336", 5},
    {"VU", "324", 4},
    {"BY BA BG", "318", 8},
    {"HL DS", "137", 8},
    {"JA JH JR JE JF 7K", "339", 50},
    {"VK", "150", 15},
    {"ZL", "170", 8},
    {"ZS", "462", 6},
    {"YB YC", "327", 5},
}};

struct UsArea {
    const char* state;
    const char* county;
    char digit;
};

// Counties of the sample world, and some it does not know.
constexpr std::array<UsArea, 24> kUsAreas = {{
    {"MA", "Middlesex", '1'},   {"CT", "Hartford", '1'},  {"NY", "Erie", '2'},
    {"NJ", "Bergen", '2'},      {"PA", "Allegheny", '3'}, {"MD", "Montgomery", '3'},
    {"VA", "Fairfax", '4'},     {"NC", "Wake", '4'},      {"FL", "Orange", '4'},
    {"TX", "Harris", '5'},      {"OK", "Oklahoma", '5'},  {"CA", "Santa Clara", '6'},
    {"CA", "Los Angeles", '6'}, {"WA", "King", '7'},      {"OR", "Multnomah", '7'},
    {"AZ", "Maricopa", '7'},    {"OH", "Franklin", '8'},  {"MI", "Wayne", '8'},
    {"IL", "Cook", '9'},        {"WI", "Dane", '9'},      {"CO", "Denver", '0'},
    {"MN", "Hennepin", '0'},    {"TX", "Loving", '5'},    {"WI", "Bayfield", '9'},
}};

struct Band {
    const char* name;
    int lowKhz;
    int widthKhz;
    int weight;
};

constexpr std::array<Band, 13> kBands = {{
    {"160M", 1800, 100, 4},
    {"80M", 3500, 300, 10},
    {"60M", 5351, 15, 2},
    {"40M", 7000, 200, 20},
    {"30M", 10100, 50, 8},
    {"20M", 14000, 350, 30},
    {"17M", 18068, 100, 8},
    {"15M", 21000, 450, 14},
    {"12M", 24890, 100, 5},
    {"10M", 28000, 1700, 12},
    {"6M", 50000, 500, 5},
    {"2M", 144000, 4000, 3},
    {"70CM", 430000, 10000, 1},
}};

constexpr std::array<const char*, 20> kNames = {
    "Bob",  "Jim", "Hans", "Yuki", "Pedro", "Anna", "Ivan",    "Piotr", "Marco",  "Jean",
    "Lars", "Ken", "Sue",  "Tom",  "Ole",   "Mike", "Giorgio", "Karl",  "Sergey", "Maria"};

constexpr std::array<const char*, 8> kComments = {
    "Nice signal", "First QSO on this band", "Contest", "Portable in the park", "POTA activation",
    "QRM heavy",   "Tnx for the new one",    "Mobile"};

std::string Word(const char* list, std::uint32_t pick) {
    std::vector<std::string> words;
    std::string current;
    for (const char* p = list;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!current.empty()) words.push_back(current);
            current.clear();
            if (*p == '\0') break;
        } else {
            current += *p;
        }
    }
    return words[pick % words.size()];
}

template <typename T, std::size_t N>
const T& Weighted(const std::array<T, N>& items, std::uint32_t roll) {
    int total = 0;
    for (const T& item : items) total += item.weight;
    int at = static_cast<int>(roll % static_cast<std::uint32_t>(total));
    for (const T& item : items) {
        if (at < item.weight) return item;
        at -= item.weight;
    }
    return items[0];
}

std::string DateText(int daysSince2010) {
    using namespace std::chrono;
    const year_month_day ymd{sys_days{year{2010} / January / 1} + days{daysSince2010}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

void Field(std::ostream& out, const char* name, const std::string& value) {
    if (value.empty()) return;
    out << '<' << name << ':' << value.size() << '>' << value << ' ';
}

}  // namespace

std::string AdifLogGenerator::Letters(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += static_cast<char>('A' + Below(26));
    return text;
}

std::string AdifLogGenerator::Callsign(std::string& dxcc, bool& us) {
    const Country& country = Weighted(kCountries, static_cast<std::uint32_t>(rng_()));
    std::string prefix = Word(country.prefixes, static_cast<std::uint32_t>(rng_()));
    dxcc = country.dxcc;
    us = dxcc == "291";
    // A prefix that already ends in a digit (KH6, UA9, M0, 7K) takes no other.
    const bool hasDigit = prefix.back() >= '0' && prefix.back() <= '9';
    std::string call = prefix;
    if (!hasDigit) call += static_cast<char>('0' + Below(10));
    call += Letters(1 + static_cast<int>(Below(3)));
    return call;
}

GeneratedContact AdifLogGenerator::Next() {
    GeneratedContact c;
    // A busy station: a contact every few minutes, some days off.
    secondOfDay_ += 60 + static_cast<int>(Below(900));
    if (secondOfDay_ >= 86400) {
        secondOfDay_ -= 86400;
        day_ += 1 + static_cast<int>(Below(3));
    }
    c.date = DateText(day_);
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d00", secondOfDay_ / 3600, secondOfDay_ / 60 % 60);
    c.time = time;

    bool us = false;
    c.call = Callsign(c.dxcc, us);
    const Band& band = Weighted(kBands, static_cast<std::uint32_t>(rng_()));
    c.band = band.name;
    const int khz =
        band.lowKhz + static_cast<int>(Below(static_cast<std::uint32_t>(band.widthKhz)));
    char freq[48];
    std::snprintf(freq, sizeof freq, "%d.%03d%u", khz / 1000, khz % 1000, Below(10));
    c.freq = freq;

    static constexpr std::array<const char*, 10> kHfModes = {"CW",  "CW",  "SSB",  "SSB", "SSB",
                                                             "FT8", "FT8", "RTTY", "FT4", "PSK31"};
    if (band.lowKhz >= 144000) {
        c.mode = Chance(70) ? "FM" : "SSB";
    } else {
        c.mode = kHfModes[Below(kHfModes.size())];
        if (c.mode == "FT4" && Chance(50)) c.mode = "MFSK";
    }
    if (c.mode == "CW" || c.mode == "RTTY") {
        c.rstSent = "5" + std::to_string(5 + Below(5)) + "9";
        c.rstRcvd = "599";
    } else if (c.mode == "FT8" || c.mode == "FT4" || c.mode == "MFSK") {
        c.rstSent = "-" + std::to_string(1 + Below(20));
        c.rstRcvd = "-" + std::to_string(1 + Below(20));
    } else {
        c.rstSent = "59";
        c.rstRcvd = "5" + std::to_string(5 + Below(5));
    }
    if (Chance(40)) c.name = kNames[Below(kNames.size())];
    if (Chance(30)) {
        // Maidenhead fields run from A to R.
        c.grid = {static_cast<char>('A' + Below(18)), static_cast<char>('A' + Below(18))};
        c.grid += std::to_string(10 + Below(90));
    }
    if (us && Chance(70)) {
        const UsArea& area = kUsAreas[Below(kUsAreas.size())];
        c.call[c.call.find_first_of("0123456789")] = area.digit;
        c.state = area.state;
        if (Chance(60)) c.county = std::string(area.state) + "," + area.county;
    }
    if (!Chance(80)) c.dxcc.clear();
    if (Chance(10)) c.comment = kComments[Below(kComments.size())];
    if (Chance(25)) {
        c.qslRcvd = true;
        c.qslRcvdDate = DateText(day_ + 20 + static_cast<int>(Below(200)));
    }

    // About one record in a hundred is faulty the way real logs are.
    if (Chance(1)) {
        c.faulty = true;
        switch (Below(5)) {
            case 0:
                c.call = "QQ" + std::to_string(Below(10)) + Letters(3);
                break;  // no country
            case 1:
                c.date = c.date.substr(0, 4) + "0231";
                break;
            case 2:
                c.band = "33CM";
                break;
            case 3:
                c.time = c.time.substr(0, 2);
                break;
            default:
                c.call.clear();
                break;
        }
    }
    return c;
}

void WriteAdifLog(std::ostream& out, int contacts, std::uint32_t seed, AdifFlavour flavour) {
    AdifLogGenerator gen(seed);
    // Separate draws for what only the LoTW download has, so both flavours
    // keep the same contacts.
    std::mt19937 lotwRng(seed ^ 0x5A5A5A5Au);
    if (flavour == AdifFlavour::Lotw) {
        out << "ARRL Logbook of the World Status Report\nGenerated for the benchmark\n\n"
               "<PROGRAMID:4>LoTW\n<APP_LoTW_NUMREC:"
            << std::to_string(contacts).size() << '>' << contacts << "\n\n<eoh>\n";
    } else {
        out << "Benchmark log generated with seed " << seed << "\n<ADIF_VER:5>3.1.4\n"
            << "<PROGRAMID:11>BenchLogger\n<EOH>\n";
    }
    for (int i = 0; i < contacts; ++i) {
        GeneratedContact c = gen.Next();
        if (flavour == AdifFlavour::Lotw) {
            const std::uint32_t roll = lotwRng();
            // Contacts the station's log lacks.
            if (roll % 10 == 0) c.call = c.call.empty() ? "DL9ZZZ" : c.call + "X";
            // LoTW keeps the seconds that the log rounded away.
            if (roll % 2 == 1 && c.time.size() == 6) {
                char seconds[16];
                std::snprintf(seconds, sizeof seconds, "%02u", (roll >> 8) % 60);
                c.time.replace(4, 2, seconds);
            }
            Field(out, "APP_LoTW_OWNCALL", "N0CALL");
            Field(out, "STATION_CALLSIGN", "N0CALL");
            Field(out, "CALL", c.call);
            Field(out, "BAND", c.band);
            Field(out, "FREQ", c.freq);
            Field(out, "MODE", c.mode == "FT4" || c.mode == "MFSK" ? "MFSK" : c.mode);
            if (c.mode == "FT4" || c.mode == "MFSK") Field(out, "SUBMODE", "FT4");
            Field(out, "QSO_DATE", c.date);
            Field(out, "TIME_ON", c.time);
            Field(out, "QSL_RCVD", "Y");
            Field(out, "QSLRDATE", c.qslRcvdDate.empty() ? c.date : c.qslRcvdDate);
            Field(out, "DXCC", c.dxcc);
            Field(out, "GRIDSQUARE", c.grid);
            // LoTW writes a comment after the value, inside the declared length.
            if (!c.state.empty()) out << "<STATE:2>" << c.state << " // state\n";
            if (!c.county.empty()) {
                out << "<CNTY:" << c.county.size() << '>' << c.county << " // county\n";
            }
            out << "\n<eor>\n\n";
            continue;
        }
        Field(out, "CALL", c.call);
        Field(out, "QSO_DATE", c.date);
        Field(out, "TIME_ON", c.time);
        Field(out, "BAND", c.band);
        Field(out, "FREQ", c.freq);
        Field(out, "MODE", c.mode == "FT4" ? "MFSK" : c.mode);
        if (c.mode == "FT4") Field(out, "SUBMODE", "FT4");
        Field(out, "RST_SENT", c.rstSent);
        Field(out, "RST_RCVD", c.rstRcvd);
        Field(out, "NAME", c.name);
        Field(out, "GRIDSQUARE", c.grid);
        Field(out, "STATE", c.state);
        Field(out, "CNTY", c.county);
        Field(out, "DXCC", c.dxcc);
        Field(out, "COMMENT", c.comment);
        if (c.qslRcvd) {
            Field(out, "QSL_RCVD", "Y");
            Field(out, "QSLRDATE", c.qslRcvdDate);
        }
        out << "<EOR>\n";
    }
}

void WriteAdifLogFile(const std::string& path, int contacts, std::uint32_t seed,
                      AdifFlavour flavour) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write " + path);
    WriteAdifLog(out, contacts, seed, flavour);
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace tvx::bench
