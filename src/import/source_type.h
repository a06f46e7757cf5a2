#pragma once
// What the import knows about one kind of source: every rule that depends on
// the kind lives in its row of the source-type table, so no code elsewhere
// tests which kind is being read.

#include <string>
#include <vector>

namespace tvx {

class ReaderSteps;
// Reads the source of a run and hands each record on.
using ReaderFn = void (*)(ReaderSteps&);

// How a source is stored: what a source without records most likely means.
enum class SourceFormat { Adif, Text, Database };

// What becomes of the state a contact got from its source, once the callsign
// gave the country.
enum class StateRule {
    // Kept whatever the country; Hawaii and Alaska get HI and AK.
    AsRead,
    // Kept only for the prefixes with states; Hawaii and Alaska get HI and AK.
    StatePrefixesOnly,
    // As StatePrefixesOnly, and a state of the mainland must be in the state
    // table ("State?").
    StatePrefixesChecked,
    // The source's state is taken only once the country is known: Hawaii and
    // Alaska get HI and AK instead, and a state of the mainland must be in the
    // state table ("State?").
    TakenAfterResolution,
    // Kept only for the prefixes with states; Hawaii and Alaska get HI and AK
    // when the source gave none, a US call without a state takes the state
    // of its ARRL section, and every state must be in the state table.
    Adif,
};

// The checks a converted record goes through before it is completed.
enum class RecordCheck {
    // The reader checked all it needs.
    None,
    // The ADIF family's: call, band, mode, date and time (errors), end time
    // and QSL dates (warnings), default reports, zones, the note, value
    // lengths, and a LoTW record of another of the user's stations.
    Adif,
    // The dBASE tables': default reports, then the date ("Date?").
    Table,
};

struct SourceType {
    int index;                  // position in the "Source Data Type" list
    const char* listName;       // the list's entry
    const char* filterName;     // the file dialog's filter entry
    const char* filterPattern;  // ... and its pattern
    const char* cliName;        // the command line's name
    ReaderFn reader;            // nullptr while the reader is not part of this build
    int filterPosition;         // place of the entry in the file dialog's filter list
    SourceFormat format;
    StateRule stateRule;
    RecordCheck recordCheck;
    // A LoTW download: it confirms contacts already in the target (matched by
    // call, date, time, mode and band) instead of adding them again.
    bool lotwDownload = false;
    // Not ADIF: Begin Import asks whether the file is in the old format first.
    bool asksOldFormat = true;
    // A contact without a WPX prefix gets one derived from its call.
    bool derivesWpx = true;
    // The country prefix the source gave wins over the call's when the prefix
    // table knows it.
    bool prefixFromSource = false;
};

// The file dialog's filter list: "name|pattern|...||".
std::string SourceFilterList(const std::vector<SourceType>& types);
// Index of a command-line type (number 0-13 or name); -1 when unknown.
int SourceTypeFromName(const std::vector<SourceType>& types, const std::string& name);

}  // namespace tvx
