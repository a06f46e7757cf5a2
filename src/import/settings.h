#pragma once
// The host program's settings file and the application-wide paths.

#include <string>

namespace tvx {

// Paths the whole application shares (the application object's members).
struct ApplicationPaths {
    std::string m_strTargetPath;     // the chosen target QSO database
    std::string m_strErrorFilePath;  // the last ERRORS.TXT
    std::string m_strStartDir;       // current directory at start-up
    std::string m_strRefDataDir;     // folder of the reference database, ends in '/'
    std::string m_strProgramPath;    // host setting PGMPATH
    std::string m_strOperatorCall;   // host setting OPRCALL
    std::string m_strSettingsPath;   // the settings file read at start-up
};

struct HostSettings {
    std::string dataPath;      // [Dir] DATAPATH
    std::string programPath;   // [Dir] PGMPATH
    std::string operatorCall;  // [Gen] OPRCALL
    // Why the file could not be read (a pipe, a device, a folder, a read
    // error), naming it; empty when it was read or does not exist.
    std::string problem;
};

// Tvx2007.ini in $WINDIR when set, else $XDG_CONFIG_HOME/tolvex (or
// ~/.config/tolvex); empty when no folder can be found.
std::string DefaultSettingsPath();
// Reads the three keys; sections and keys match without regard to case. A
// missing file or key reads as empty. Values longer than 511 characters are
// cut, as the host program's reader does. Anything but a regular file is
// not read (problem says why).
HostSettings ReadHostSettings(const std::string& iniPath);
// DATAPATH cut after its last separator ('\' or '/'); kept whole without one.
std::string CutDataPath(const std::string& dataPath);
// True when target is the refdata.mdb of the cut DATAPATH folder (case is
// ignored; either separator matches).
bool IsRefdataOfDataPath(const std::string& target, const std::string& cutDataPath);

// Index of the last '/' or '\' (npos when none).
std::size_t LastSeparator(const std::string& path);
// Adds the platform separator when the path ends in neither separator.
std::string WithTrailingSeparator(const std::string& path);
// The reference database of a host program folder: its refdata.mdb, or its
// refdata.sqlite when it has no refdata.mdb.
std::string HostReferencePath(const std::string& hostPath);

}  // namespace tvx
