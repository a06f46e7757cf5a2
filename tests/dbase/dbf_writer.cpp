#include "dbf_writer.h"

#include <shapefil.h>

#include <cstdio>
#include <stdexcept>

namespace tvx::test {
namespace {

void WriteRaw(DBFHandle h, int row, int field, std::string bytes) {
    DBFWriteAttributeDirectly(h, row, field, bytes.data());
}

}  // namespace

std::string WriteDbf(const std::string& path, const DbfTable& table) {
    DBFHandle h = DBFCreate(path.c_str());
    if (!h) throw std::runtime_error("cannot create " + path);
    for (const DbfField& f : table.fields) {
        if (DBFAddNativeFieldType(h, f.name.c_str(), f.type, f.width, f.decimals) < 0) {
            DBFClose(h);
            throw std::runtime_error("cannot add field " + f.name);
        }
    }
    int r = 0;
    for (const DbfRow& row : table.rows) {
        for (int i = 0; i < static_cast<int>(table.fields.size()); ++i) {
            const std::string& v = i < static_cast<int>(row.size()) ? row[i] : std::string();
            const DbfField& f = table.fields[i];
            if (v.empty()) {
                if (f.type == 'C' || f.type == 'M' || f.type == 'D')
                    WriteRaw(h, r, i, "");  // blanks, as dBASE leaves them
                else
                    DBFWriteNULLAttribute(h, r, i);
            } else if (v[0] == '=') {
                WriteRaw(h, r, i, v.substr(1));
            } else if (f.type == 'D') {
                DBFWriteIntegerAttribute(h, r, i, std::stoi(v));
            } else if (f.type == 'L') {
                DBFWriteLogicalAttribute(h, r, i, v[0]);
            } else if (f.type == 'N') {
                DBFWriteDoubleAttribute(h, r, i, std::stod(v));
            } else {
                DBFWriteStringAttribute(h, r, i, v.c_str());
            }
        }
        ++r;
    }
    for (int d : table.deletedRows) DBFMarkRecordDeleted(h, d, 1);
    DBFClose(h);
    if (table.languageDriver >= 0)
        PatchByte(path, 29, static_cast<unsigned char>(table.languageDriver));
    return path;
}

void PatchByte(const std::string& path, long offset, unsigned char value) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) throw std::runtime_error("cannot open " + path);
    std::fseek(f, offset, SEEK_SET);
    std::fputc(value, f);
    std::fclose(f);
}

}  // namespace tvx::test
