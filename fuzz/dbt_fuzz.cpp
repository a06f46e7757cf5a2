// The dBASE backend's memo reading: the first byte chooses the reader, whose
// table (with its long texts as memo columns pointing at blocks 1 to 3) lies
// beside the fuzzed LOG.DBT.
#include <cstddef>
#include <cstdint>
#include <map>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto& types = tvx::fuzz::DbaseSourceTypes();
    const int sourceType = types[data[0] % types.size()];
    static std::map<int, std::string> tables;
    std::string& dbf = tables[sourceType];
    if (dbf.empty()) dbf = tvx::fuzz::DbfBytes(tvx::fuzz::DbaseTable(sourceType, true));
    tvx::fuzz::RunImport(
        sourceType, {{"LOG.DBF", dbf},
                     {"LOG.DBT", std::string(reinterpret_cast<const char*>(data) + 1, size - 1)}});
    return 0;
}
