// The ADIF reader, standard and LoTW: the first byte chooses which (even:
// standard, odd: LoTW), the rest is the file.
#include <cstddef>
#include <cstdint>

#include "fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const int adif = tvx::fuzz::SourceTypeNamed("adif");
    static const int lotw = tvx::fuzz::SourceTypeNamed("lotw");
    const int sourceType = data[0] & 1 ? lotw : adif;
    tvx::fuzz::RunImport(
        sourceType, {{"log.adi", std::string(reinterpret_cast<const char*>(data) + 1, size - 1)}});
    return 0;
}
