// One text-export reader (TVX_FUZZ_SOURCE_TYPE, TVX_FUZZ_FILE_NAME): the
// input is the export file.
#include <cstddef>
#include <cstdint>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tvx::fuzz::RunImport(
        TVX_FUZZ_SOURCE_TYPE,
        {{TVX_FUZZ_FILE_NAME, std::string(reinterpret_cast<const char*>(data), size)}});
    return 0;
}
