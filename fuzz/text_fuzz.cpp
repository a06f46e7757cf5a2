// One text-export reader (TVX_FUZZ_SOURCE_TYPE, its command-line name, and
// TVX_FUZZ_FILE_NAME): the input is the export file.
#include <cstddef>
#include <cstdint>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int sourceType = tvx::fuzz::SourceTypeNamed(TVX_FUZZ_SOURCE_TYPE);
    tvx::fuzz::RunImport(
        sourceType, {{TVX_FUZZ_FILE_NAME, std::string(reinterpret_cast<const char*>(data), size)}});
    return 0;
}
