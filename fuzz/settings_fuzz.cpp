// The host settings file and what start-up derives from it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "import/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("tvx-fuzz-" + std::to_string(::getpid()) + "-Tvx2007.ini"))
                                        .string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const tvx::HostSettings settings = tvx::ReadHostSettings(path);
    if (settings.dataPath.size() > 511 || settings.programPath.size() > 511 ||
        settings.operatorCall.size() > 511) {
        std::fprintf(stderr, "a settings value is longer than 511 bytes\n");
        std::abort();
    }
    const std::string cut = tvx::CutDataPath(settings.dataPath);
    const std::string refdata = cut + "refdata.mdb";
    if (!tvx::IsRefdataOfDataPath(refdata, cut)) {
        std::fprintf(stderr, "the reference database of the data path is not recognised\n");
        std::abort();
    }
    (void)tvx::WithTrailingSeparator(settings.programPath);
    std::remove(path.c_str());
    return 0;
}
