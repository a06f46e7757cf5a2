#pragma once
// Table and column names of the target QSO database and the reference
// database, and the creation of empty ones in SQLite.

#include <string>
#include <vector>

namespace tvx {

enum class ColumnKind { Text, Long };

struct ColumnDef {
    const char* name;  // without brackets
    ColumnKind kind;
};

// [QSO-TAB], the 41 columns in binding order.
enum QsoCol {
    kQsoDate, kQsoTime, kQsoCall, kQsoRsts, kQsoRstr, kQsoName, kQsoQth, kQsoNote,
    kQsoPrefix, kQsoCqZone, kQsoItuZone, kQsoMode, kQsoSubmode, kQsoFreq, kQsoBand,
    kQsoWpx, kQsoState, kQsoCounty, kQsoIota, kQsoGrid, kQsoTenTen, kQsoSpec1, kQsoSpec2,
    kQsoConfirm, kQsoQsls, kQsoQslSent, kQsoQslVia, kQsoMgrNumb, kQsoValid, kQsoAward,
    kQsoSelect, kQsoCategory, kQsoSat, kQsoQslNumber, kQsoNumber, kQsoOprCall,
    kQsoQslrDate, kQsoPower, kQsoLotwRec, kQsoEndTime, kQsoSatMode,
    kQsoColumnCount
};
const std::vector<ColumnDef>& qsoColumns();

// [QSO-NOTES]
const std::vector<ColumnDef>& notesColumns();

// [DXCCTAB]: 247 text columns; index 0 is [PREFIX]. Group bases MX 1, PH 49,
// CW 97, RY 145, DG 193; confirmed column of band position b at base + 2b.
const std::vector<std::string>& dxccColumns();

// Reference tables, columns in binding order.
struct ReferenceTableDef {
    const char* table;
    std::vector<ColumnDef> columns;
    std::vector<int> booleanColumns;  // positions of yes/no columns
};
const ReferenceTableDef& callMapTable();    // [CALLMAP]
const ReferenceTableDef& mapPrefixTable();  // [MAP-Prefix]
const ReferenceTableDef& prefixTable();     // [PREFIX-Pri]
const ReferenceTableDef& countyTable();     // [COUNTY-TAB]
const ReferenceTableDef& stateTable();      // [STATE-TABLE]

// Create empty SQLite databases with the host program's schema. Fail with
// DbError when the file exists already.
void createTargetDatabase(const std::string& path);
void createReferenceDatabase(const std::string& path);

}  // namespace tvx
