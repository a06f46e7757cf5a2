// Prints the rows of [QSO-TAB] of a Jet file as sqlite3 -header prints those
// of a SQLite target (a header line, then one line per row in the order
// written, values joined by '|', NULL as nothing, no header without rows),
// so that the fixture dumps
// of the two kinds of target compare line by line.

#include <iostream>

#include "db/jet_target.h"
#include "db/schema.h"
#include "tables/database.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tvx_jet_rows FILE.mdb\n";
        return 2;
    }
    try {
        std::string line;
        for (const tvx::ColumnDef& c : tvx::qsoColumns())
            line += std::string(line.empty() ? "" : "|") + c.name;
        // sqlite3 prints the header only above a row.
        bool first = true;
        tvx::ReadJetContacts(argv[1], [&](const std::vector<std::optional<std::string>>& row) {
            if (first) std::cout << line << '\n';
            first = false;
            std::string out;
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i) out += '|';
                out += row[i].value_or("");
            }
            std::cout << out << '\n';
        });
    } catch (const tvx::DbError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
