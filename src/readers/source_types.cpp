#include "import/source_types.h"

#include <cctype>

#include "readers/readers.h"

namespace tvx {

const std::vector<SourceType>& SourceTypes() {
    static const std::vector<SourceType> types = {
        {0, "Standard ADIF", "Standard ADIF", "*.adi", "adif", ImportAdif, 0},
        {1, "LoTW ADIF", "LoTW ADIF", "*.adi", "lotw", ImportAdif, 1},
        {2, "Log Windows v3", "LOGWIN-3", "*.asc", "logwin", ImportLogWindows, 2},
        {3, "XpWin v1", "XPWIN", "*.exp", "xpwin", ImportXpWin, 4},
        {4, "HyperLog v2 - v3.06", "Hyperlog", "*.dbf", "hyperlog", ImportHyperLog, 5},
        {5, "Logview", "Logview", "*.txt", "logview", ImportLogview, 3},
        {6, "Swisslog v3.82A", "Swisslog-3.82", "*.txt", "swisslog", ImportSwisslog, 6},
        {7, "DXlog v1.9", "DXlog 1.9", "*.dbf", "dxlog", ImportDxLog, 7},
        {8, "DX DeskTop v2.75", "DX-DeskTop 2.75", "*.dbf", "dxdesktop", ImportDxDeskTop, 8},
        {9, "LogPlus v3-v4", "LogPlus v3-v4", "*.dbf", "logplus", ImportLogPlus, 9},
        {10, "TopLog v2.5", "TopLog v2.5", "*.dbf", "toplog", ImportTopLog, 10},
        {11, "Q9ZZ v3", "Q9ZZ v3", "*.dbf", "q9zz", ImportQ9zz, 11},
        {12, "EasyLog", "EasyLog", "*.dbf", "easylog", ImportEasyLog, 12},
        {13, "StationMaster 1.x", "StationMaster", "*.mdb", "stationmaster", ImportStationMaster,
         13},
    };
    return types;
}

}  // namespace tvx
