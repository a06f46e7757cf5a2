#include "import/source_types.h"

#include <cctype>

#include "readers/readers.h"

namespace tvx {

const std::vector<SourceType>& SourceTypes() {
    static const std::vector<SourceType> types = {
        {0, "Standard ADIF", "Standard ADIF", "*.adi", "adif", ImportAdif, 0, SourceFormat::Adif},
        {1, "LoTW ADIF", "LoTW ADIF", "*.adi", "lotw", ImportAdif, 1, SourceFormat::Adif},
        {2, "Log Windows v3", "LOGWIN-3", "*.asc", "logwin", ImportLogWindows, 2,
         SourceFormat::Text},
        {3, "XpWin v1", "XPWIN", "*.exp", "xpwin", ImportXpWin, 4, SourceFormat::Text},
        {4, "HyperLog v2 - v3.06", "Hyperlog", "*.dbf", "hyperlog", ImportHyperLog, 5,
         SourceFormat::Database},
        {5, "Logview", "Logview", "*.txt", "logview", ImportLogview, 3, SourceFormat::Text},
        {6, "Swisslog v3.82A", "Swisslog-3.82", "*.txt", "swisslog", ImportSwisslog, 6,
         SourceFormat::Text},
        {7, "DXlog v1.9", "DXlog 1.9", "*.dbf", "dxlog", ImportDxLog, 7, SourceFormat::Database},
        {8, "DX DeskTop v2.75", "DX-DeskTop 2.75", "*.dbf", "dxdesktop", ImportDxDeskTop, 8,
         SourceFormat::Database},
        {9, "LogPlus v3-v4", "LogPlus v3-v4", "*.dbf", "logplus", ImportLogPlus, 9,
         SourceFormat::Database},
        {10, "TopLog v2.5", "TopLog v2.5", "*.dbf", "toplog", ImportTopLog, 10,
         SourceFormat::Database},
        {11, "Q9ZZ v3", "Q9ZZ v3", "*.dbf", "q9zz", ImportQ9zz, 11, SourceFormat::Database},
        {12, "EasyLog", "EasyLog", "*.dbf", "easylog", ImportEasyLog, 12, SourceFormat::Database},
        {13, "StationMaster 1.x", "StationMaster", "*.mdb", "stationmaster", ImportStationMaster,
         13, SourceFormat::Database},
    };
    return types;
}

}  // namespace tvx
