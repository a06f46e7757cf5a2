// The Jet writer over damaged files: the checker reads the bytes, the writer
// opens them (and refuses what the checker refuses), and where it opens, a
// row goes into every table it can write. A file the writer accepted must
// pass the checker again after the write.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "db/jet_check.h"
#include "db/jet_file.h"
#include "db/jet_writer.h"
#include "tables/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/tvx-jetwrite-" + std::to_string(::getpid()) + ".mdb";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    tvx::CheckJetFile(path);
    try {
        tvx::JetWriter writer(path);
        bool wrote = false;
        for (const std::uint32_t table : tvx::JetFile(path).TableDefPages()) {
            if (!writer.UnwritableReason(table).empty()) continue;
            std::vector<tvx::JetValue> row(writer.Definition(table).columns.size());
            try {
                writer.AppendRow(table, row);
                wrote = true;
            } catch (const tvx::JetValueError&) {
            }
        }
        writer.Flush();
        if (wrote && !tvx::CheckJetFile(path).empty()) std::abort();
    } catch (const tvx::DbError&) {
        // refused, or a damage the checker does not see that the write met
    }
    return 0;
}
