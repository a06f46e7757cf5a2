// The Jet backend and the StationMaster reader over the bytes of the .mdb.
// libmdb runs in the backend's forked reader, so its own faults show as a
// damaged file; what is fuzzed here is everything on this side of the pipe.
#include <cstddef>
#include <cstdint>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int stationMaster = tvx::fuzz::SourceTypeNamed("stationmaster");
    tvx::fuzz::RunImport(stationMaster,
                         {{"log.mdb", std::string(reinterpret_cast<const char*>(data), size)}});
    return 0;
}
