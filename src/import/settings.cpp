#include "import/settings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "import/contact.h"
#include "util/file.h"

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

// The host program's reader hands back at most 511 bytes (its buffer holds
// 512 with the terminating zero).
constexpr std::size_t kValueBytes = 511;
// Longer lines are cut: no key this program reads needs more.
constexpr std::size_t kLineBytes = 4096;

// One line of the file: "[section]", "key=value" (or "key: value"), a
// comment after ';' or '#' at the start or after a blank, or nothing.
void ApplyIniLine(std::string_view raw, std::string& section, HostSettings& settings) {
    const std::string line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') return;
    if (line.front() == '[') {
        const std::size_t close = line.find(']');
        if (close != std::string::npos) section = Trim(line.substr(1, close - 1));
        return;
    }
    const std::size_t eq = line.find_first_of("=:");
    if (eq == std::string::npos) return;
    const std::string name = TrimRight(line.substr(0, eq));
    std::string value = TrimLeft(line.substr(eq + 1));
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            value = TrimRight(value.substr(0, i));
            break;
        }
    }
    if (value.size() > kValueBytes) {
        // Never half a UTF-8 character.
        std::size_t cut = kValueBytes;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
        value.resize(cut);
    }
    if (EqualsNoCase(section, "Dir") && EqualsNoCase(name, "DATAPATH")) {
        settings.dataPath = value;
    } else if (EqualsNoCase(section, "Dir") && EqualsNoCase(name, "PGMPATH")) {
        settings.programPath = value;
    } else if (EqualsNoCase(section, "Gen") && EqualsNoCase(name, "OPRCALL")) {
        settings.operatorCall = value;
    }
}

}  // namespace

HostSettings ReadHostSettings(const std::string& iniPath) {
    HostSettings settings;
    if (iniPath.empty()) return settings;
    // A missing file reads as empty keys; a pipe or a device is never read.
    FileCheck check;
    const int fd = OpenRegularFile(iniPath, &check);
    if (fd < 0) {
        if (check.kind != FileKind::Missing) settings.problem = FileProblem(iniPath, check);
        return settings;
    }
    std::string section, line;
    bool first = true;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            settings.problem = "'" + iniPath + "': " + SystemErrorText(errno) + ".";
            break;
        }
        if (n == 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() < kLineBytes) line += buffer[i];
                continue;
            }
            if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
            first = false;
            ApplyIniLine(line, section, settings);
            line.clear();
        }
    }
    if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    ApplyIniLine(line, section, settings);
    ::close(fd);
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
