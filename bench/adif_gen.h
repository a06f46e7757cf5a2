#pragma once
// A seeded generator of realistic ADIF logs: calls from many countries of the
// sample world, every band and mode in use, US states and counties, QSL
// data, and about one faulty record in a hundred. The same seed gives the
// same log on every machine.

#include <cstdint>
#include <ostream>
#include <random>
#include <string>

namespace tvx::bench {

struct GeneratedContact {
    std::string call, date, time, band, freq, mode, rstSent, rstRcvd;
    std::string name, grid, state, county, dxcc, comment, qslRcvdDate;
    bool qslRcvd = false;
    bool faulty = false;
};

class AdifLogGenerator {
  public:
    explicit AdifLogGenerator(std::uint32_t seed) : rng_(seed) {}
    // The next contact of the log; contacts come in time order.
    GeneratedContact Next();

  private:
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(rng_() % n); }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }
    std::string Letters(int n);
    std::string Callsign(std::string& dxcc, bool& us);

    std::mt19937 rng_;
    int day_ = 0;          // days since 2010-01-01
    int secondOfDay_ = 0;  // 0 .. 86399
};

enum class AdifFlavour { Standard, Lotw };

// Writes a log of n contacts. A LoTW download holds the same contacts as the
// standard log of the same seed, confirmed, with the seconds LoTW keeps; one
// contact in ten is one the station's log does not have.
void WriteAdifLog(std::ostream& out, int contacts, std::uint32_t seed, AdifFlavour flavour);
void WriteAdifLogFile(const std::string& path, int contacts, std::uint32_t seed,
                      AdifFlavour flavour);

}  // namespace tvx::bench
