// The dBASE backend and the seven readers over the bytes of the table: the
// first byte chooses the reader, the rest is LOG.DBF. A small memo file lies
// beside it, so fuzzed memo columns are read too.
#include <cstddef>
#include <cstdint>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto& types = tvx::fuzz::DbaseSourceTypes();
    const int sourceType = types[data[0] % types.size()];
    static const std::string dbt = tvx::fuzz::SampleDbtBytes();
    tvx::fuzz::RunImport(
        sourceType, {{"LOG.DBF", std::string(reinterpret_cast<const char*>(data) + 1, size - 1)},
                     {"LOG.DBT", dbt}});
    return 0;
}
