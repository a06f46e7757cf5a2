#pragma once
// Facts of amateur radio and of the host database that more than one part of
// the import relies on, each kept in one place.

#include <string>
#include <string_view>

namespace tvx {

// One band of the host: its code (the [BAND] column), the name reports show,
// its ADIF name (compared ignoring case), the frequencies (whole megahertz)
// that fall into it, and the offset of its worked/confirmed pair inside a
// mode group of the statistics table.
struct BandFact {
    int code;
    const char* reportName;
    std::string_view adifName;
    long lowMhz, highMhz;
    int statisticsOffset;
};
// Ordered by code.
extern const BandFact kBandFacts[24];

// The band fact of a code; nullptr for a code that no band has.
const BandFact* BandOfCode(long code);
// The same for a code as the target stores it ("6"); nullptr for any other text.
const BandFact* BandOfCodeText(std::string_view code);

// One mode of the host: its code (the [MODE] column), the name reports show,
// the ADIF mode it is written as ("" for a digital mode without a name of
// its own), and the first column of its group in the statistics table.
struct ModeFact {
    int code;
    const char* reportName;
    std::string_view adifName;
    int statisticsColumn;
};
// Ordered by code.
extern const ModeFact kModeFacts[8];
// The mode fact of a code as the target stores it ("2"); nullptr for any other text.
const ModeFact* ModeOfCodeText(std::string_view code);
// The statistics group of modes without a code of their own.
inline constexpr int kDigitalStatisticsColumn = 193;
// Offset of the band's pair in a mode group of the statistics table; -1 for
// a code that no band has.
int BandStatisticsOffset(long code);

// The prefix of the mainland United States, and the prefixes whose contacts
// have a state: the mainland, Hawaii and Alaska.
inline constexpr std::string_view kMainlandPrefix = "K";
bool IsStatePrefix(std::string_view prefix);
// The state that a prefix implies (Hawaii "HI", Alaska "AK"); "" for others.
std::string_view StateOfPrefix(std::string_view prefix);
// The state of an ARRL section; the section itself when it is not one.
std::string SectionToState(const std::string& section);

// The QSL routes of [QSO-QSL-VIA]: bureau, direct, direct with return
// postage, via a manager, another way, none.
inline constexpr const char* kQslViaBureau = "0";
inline constexpr const char* kQslViaManager = "3";
inline constexpr const char* kQslViaOther = "4";
inline constexpr const char* kQslViaNone = "5";
// The route of the one-letter QSL marks that logs share (D, B, $, M; case
// ignored); "" for any other text.
std::string_view QslRouteOfLetter(std::string_view letter);

// The report a contact gets when the source has none: "599" for CW and RTTY,
// "59" for anything else.
std::string DefaultReport(const std::string& modeCode);

}  // namespace tvx
