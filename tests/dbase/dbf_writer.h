#pragma once
// Writes small dBASE III tables for the tests with shapelib's own writer.

#include <string>
#include <vector>

namespace tvx::test {

struct DbfField {
    std::string name;
    char type;  // C, N, D, L or M
    int width;
    int decimals = 0;
};

// One row: a text per field. "" writes the column's empty value; a text
// beginning with '=' is written as the raw bytes that follow; otherwise C
// takes the text, D a YYYYMMDD date, L a letter, N a number, M a block number.
using DbfRow = std::vector<std::string>;

struct DbfTable {
    std::vector<DbfField> fields;
    std::vector<DbfRow> rows;
    std::vector<int> deletedRows;
    // Header byte 29; shapelib itself writes 0x57 (Windows ANSI).
    int languageDriver = -1;
};

// Writes the table to path (ending in .dbf) and returns path.
std::string WriteDbf(const std::string& path, const DbfTable& table);

// Patches one byte of a file.
void PatchByte(const std::string& path, long offset, unsigned char value);

}  // namespace tvx::test
