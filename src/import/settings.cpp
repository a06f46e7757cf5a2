#include "import/settings.h"

#include <ini.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "import/contact.h"

namespace tvx {

std::string DefaultSettingsPath() {
    if (const char* windir = std::getenv("WINDIR"); windir && *windir) {
        return WithTrailingSeparator(windir) + "Tvx2007.ini";
    }
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        return WithTrailingSeparator(xdg) + "tolvex/Tvx2007.ini";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return WithTrailingSeparator(home) + ".config/tolvex/Tvx2007.ini";
    }
    return {};
}

namespace {

int OnIniValue(void* user, const char* section, const char* name, const char* value) {
    auto* settings = static_cast<HostSettings*>(user);
    // The host program's reader hands back at most 511 characters.
    const std::string v = std::string(value).substr(0, 511);
    if (EqualsNoCase(section, "Dir") && EqualsNoCase(name, "DATAPATH")) {
        settings->dataPath = v;
    } else if (EqualsNoCase(section, "Dir") && EqualsNoCase(name, "PGMPATH")) {
        settings->programPath = v;
    } else if (EqualsNoCase(section, "Gen") && EqualsNoCase(name, "OPRCALL")) {
        settings->operatorCall = v;
    }
    return 1;
}

}  // namespace

HostSettings ReadHostSettings(const std::string& iniPath) {
    HostSettings settings;
    if (iniPath.empty()) return settings;
    // A missing file reads as empty keys; a malformed line is skipped by the
    // parser and the rest still counts.
    ini_parse(iniPath.c_str(), OnIniValue, &settings);
    return settings;
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

std::string CutDataPath(const std::string& dataPath) {
    const std::size_t pos = LastSeparator(dataPath);
    if (pos == std::string::npos) return dataPath;
    return dataPath.substr(0, pos + 1);
}

std::string WithTrailingSeparator(const std::string& path) {
    if (path.empty() || path.back() == '/' || path.back() == '\\') return path;
    return path + '/';
}

bool IsRefdataOfDataPath(const std::string& target, const std::string& cutDataPath) {
    auto normal = [](std::string s) {
        for (char& ch : s) {
            if (ch == '\\') ch = '/';
        }
        return ToUpper(s);
    };
    return normal(target) == normal(cutDataPath + "refdata.mdb");
}

std::string HostReferencePath(const std::string& hostPath) {
    const std::string folder = WithTrailingSeparator(hostPath);
    std::error_code ec;
    if (!std::filesystem::exists(folder + "refdata.mdb", ec) &&
        std::filesystem::exists(folder + "refdata.sqlite", ec)) {
        return folder + "refdata.sqlite";
    }
    return folder + "refdata.mdb";
}

}  // namespace tvx
