#include "readers/source_types.h"

#include "readers/readers.h"

namespace tvx {

namespace {

constexpr SourceFormat kAdif = SourceFormat::Adif;
constexpr SourceFormat kText = SourceFormat::Text;
constexpr SourceFormat kDatabase = SourceFormat::Database;
constexpr RecordCheck kChecked = RecordCheck::None;  // by the reader itself
constexpr RecordCheck kAdifChecks = RecordCheck::Adif;
constexpr RecordCheck kTableChecks = RecordCheck::Table;

// An ADIF source: no old-format question, the file's own country prefix
// counts, and its states follow the ADIF rule.
SourceType AdifType(int index, const char* name, const char* cliName, bool lotw) {
    return {.index = index,
            .listName = name,
            .filterName = name,
            .filterPattern = "*.adi;*.adif;*.adx",
            .cliName = cliName,
            .reader = ImportAdif,
            .filterPosition = index,
            .format = kAdif,
            .stateRule = StateRule::Adif,
            .recordCheck = RecordCheck::Adif,
            .lotwDownload = lotw,
            .asksOldFormat = false,
            .prefixFromSource = true};
}

}  // namespace

const std::vector<SourceType>& SourceTypes() {
    using enum StateRule;
    static const std::vector<SourceType> types = {
        AdifType(0, "Standard ADIF", "adif", false),
        AdifType(1, "LoTW ADIF", "lotw", true),
        {2, "Log Windows v3", "LOGWIN-3", "*.asc", "logwin", ImportLogWindows, 2, kText,
         TakenAfterResolution, kChecked},
        // XpWin gives no WPX prefix, and none is derived for it.
        {3, "XpWin v1", "XPWIN", "*.exp", "xpwin", ImportXpWin, 4, kText, AsRead, kChecked,
         /*lotwDownload=*/false, /*asksOldFormat=*/true, /*derivesWpx=*/false},
        {4, "HyperLog v2 - v3.06", "Hyperlog", "*.dbf", "hyperlog", ImportHyperLog, 5, kDatabase,
         StatePrefixesOnly, kTableChecks},
        {5, "Logview", "Logview", "*.txt", "logview", ImportLogview, 3, kText, StatePrefixesChecked,
         kAdifChecks},
        {6, "Swisslog v3.82A", "Swisslog-3.82", "*.txt", "swisslog", ImportSwisslog, 6, kText,
         AsRead, kChecked},
        {7, "DXlog v1.9", "DXlog 1.9", "*.dbf", "dxlog", ImportDxLog, 7, kDatabase, AsRead,
         kTableChecks},
        {8, "DX DeskTop v2.75", "DX-DeskTop 2.75", "*.dbf", "dxdesktop", ImportDxDeskTop, 8,
         kDatabase, StatePrefixesOnly, kTableChecks},
        {9, "LogPlus v3-v4", "LogPlus v3-v4", "*.dbf", "logplus", ImportLogPlus, 9, kDatabase,
         StatePrefixesOnly, kTableChecks},
        {10, "TopLog v2.5", "TopLog v2.5", "*.dbf", "toplog", ImportTopLog, 10, kDatabase, AsRead,
         kTableChecks},
        {11, "Q9ZZ v3", "Q9ZZ v3", "*.dbf", "q9zz", ImportQ9zz, 11, kDatabase, StatePrefixesOnly,
         kTableChecks},
        {12, "EasyLog", "EasyLog", "*.dbf", "easylog", ImportEasyLog, 12, kDatabase,
         StatePrefixesOnly, kTableChecks},
        {13, "StationMaster 1.x", "StationMaster", "*.mdb", "stationmaster", ImportStationMaster,
         13, kDatabase, StatePrefixesOnly, kChecked},
    };
    return types;
}

}  // namespace tvx
