// A corpus of bad inputs across the source types, each run through the real
// command line against a target that already holds rows: every one ends with
// its message and exit code, never a crash or a hang, and the target keeps
// its rows and gains whole rows only.

#include <gtest/gtest.h>
#include <shapefil.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "db/sqlite.h"

namespace tvx::test {
namespace {

namespace fs = std::filesystem;

// --- Builders of sources ------------------------------------------------

std::string Tag(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

std::string Contact(const std::string& call, const std::string& extra = "") {
    return Tag("CALL", call) + Tag("QSO_DATE", "20230415") + Tag("TIME_ON", "1234") +
           Tag("BAND", "20M") + Tag("MODE", "CW") + extra + "<EOR>\n";
}

const std::string kAdifHeader = "Log\n<ADIF_VER:5>3.1.4 <EOH>\n";
const std::string kLotwHeader =
    "ARRL Logbook of the World Status Report\n<PROGRAMID:4>LoTW\n<APP_LoTW_NUMREC:1>1\n<eoh>\n";

std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& ch : bytes) ch = static_cast<char>(random() & 0xFF);
    return bytes;
}

// One good line of each text export.
const std::string kLogWinLine =
    "\"W1AW\",\"03/15/99\",\"0930\",\"CW\",\"7.025\",\"\",\"\",\"1\",\"Hiram\",\"Newington\","
    "\"CT\",\"\",\"FN31\",\"73\",\"Y\",\"Y\",\"04/01/1999\",\"\",\"\",\"\",\"\",\"\",\"2\",\"0\","
    "\"2\"\r\n";
const std::string kXpWinLine = "W1AW;1;2005/03/15;09:30;;;14,085.5;RTTY;Nice\r\n";
const std::string kLogviewLine =
    "03/15/05^09:30^W1AW^Hiram^599^579^7.050^100W^CW^Newington^Good^^Y^Y\r\n";
const std::string kSwisslogLine =
    "W1AW,\"Hiram\",\"20050315\",\"599\",\"579\",\"0930\",\"1\",\"20 M\",\"CW\",\"Newington\","
    "\"Comment\",\"SPEC\",\"Y\",\"Y\",\"\"\r\n";

struct DbfColumn {
    const char* name;
    char type;
    int width;
};

// The HyperLog table with one good row; columns may be left out.
const std::vector<DbfColumn> kHyperLogColumns = {
    {"DATE", 'D', 8},     {"TIME", 'C', 5},      {"CALLSIGN", 'C', 15},  {"SENT", 'C', 3},
    {"RECEIVED", 'C', 3}, {"BAND", 'C', 5},      {"FREQUENCY", 'C', 10}, {"MODE", 'C', 5},
    {"POWER", 'C', 5},    {"NAME", 'C', 20},     {"QTH", 'C', 20},       {"REMARKS", 'C', 40},
    {"QSLSENT", 'C', 1},  {"QSLRECEIVE", 'C', 1}};
const char* const kHyperLogRow[] = {"20050315",  "09:30",  "W1AW", "599", "579",
                                    "20",        "14.025", "CW",   "100", "Hiram",
                                    "Newington", "Hello",  "Y",    "N"};

void WriteHyperLog(const std::string& path, int rows, const std::string& without = "",
                   char remarksType = 'C') {
    DBFHandle h = DBFCreate(path.c_str());
    ASSERT_NE(h, nullptr);
    std::vector<int> used;
    for (std::size_t i = 0; i < kHyperLogColumns.size(); ++i) {
        const DbfColumn& c = kHyperLogColumns[i];
        if (without == c.name) continue;
        const char type = std::string(c.name) == "REMARKS" ? remarksType : c.type;
        DBFAddNativeFieldType(h, c.name, type, type == 'M' ? 10 : c.width, 0);
        used.push_back(static_cast<int>(i));
    }
    for (int r = 0; r < rows; ++r) {
        for (std::size_t f = 0; f < used.size(); ++f) {
            const int i = used[f];
            std::string value = kHyperLogRow[i];
            if (std::string(kHyperLogColumns[i].name) == "REMARKS" && remarksType == 'M')
                value = "7";  // a block beyond the memo file
            if (kHyperLogColumns[i].type == 'D') {
                DBFWriteIntegerAttribute(h, r, static_cast<int>(f), std::stoi(value));
            } else {
                DBFWriteStringAttribute(h, r, static_cast<int>(f), value.c_str());
            }
        }
    }
    DBFClose(h);
}

void PatchBytes(const std::string& path, long offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The text with each line end (LF or CR LF) as a CR alone.
std::string CrOnly(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
}

int CountLines(const std::string& text, const std::string& containing) {
    int n = 0;
    for (std::size_t at = text.find(containing); at != std::string::npos;
         at = text.find(containing, at + 1)) {
        ++n;
    }
    return n;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A Jet 3 file header (what the engine detection looks at) and nothing behind it.
std::string JetHeaderOnly(std::size_t size) {
    std::string bytes(size, '\0');
    bytes.replace(0, 20, std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    return bytes;
}

const std::string kSharedStationMaster =
    std::string(TVX_SHARED_DATA_DIR) + "/jet/stationmaster.mdb";

// --- The table ---------------------------------------------------------

using Make = std::function<void(CliEnv&, const std::string& source)>;

Make Bytes(std::string bytes) {
    return [bytes](CliEnv&, const std::string& source) { WriteBytes(source, bytes); };
}

// Big inputs are built only when their case runs, so that listing the table
// or running one case does not build them all.
Make Bytes(std::function<std::string()> build) {
    return [build](CliEnv&, const std::string& source) { WriteBytes(source, build()); };
}

std::string TenMiB() {
    return std::string(10u << 20, 'x');
}

constexpr int kAsAdded = -2;

struct BadInput {
    std::string name;
    const char* type;
    const char* file;  // in the source folder
    Make make;
    int exitCode;
    const char* message;       // a line the program must print ("" for none in particular)
    int rows;                  // rows added; -1 when any number of whole rows will do
    bool targetUsable = true;  // false: the case damages the target itself
    std::vector<std::string> (*extra)(const CliEnv&) = nullptr;  // more arguments
    int loaded = -1;  // "Records Loaded" on stdout; -1: not checked; kAsAdded: the rows added
};

// Only regular files are opened: a pipe or a device would block or never end.
const char* const kFifo = "is a named pipe (FIFO), not a regular file.";

void MakeFifo(const std::string& path) {
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
}

Make SourceFifo() {
    return [](CliEnv&, const std::string& source) { MakeFifo(source); };
}

Make SourceLinkTo(const char* file) {
    return [file](CliEnv&, const std::string& source) { fs::create_symlink(file, source); };
}

// A good source, and a pipe in place of another file of the run.
Make FifoAs(std::string (*path)(CliEnv&)) {
    return [path](CliEnv& env, const std::string& source) {
        MakeFifo(path(env));
        WriteBytes(source, kAdifHeader + Contact("G4ABC"));
    };
}

const char* const kUnableSource = "error: Unable to open the source file";
const char* const kEmpty = "notice: The source file appears to be empty";
const char* const kNotLotw =
    "error: You selected the LoTW ADIF import option but the file is not an ADIF created by "
    "LoTW.";
const char* const kLotwAsStandard =
    "error: Your ADIF file is from LoTW but you selected Standard ADIF import option.";
const char* const kRefdata = "error: Unable to open the reference database";
const char* const kTargetNotOpen = "error: Unable to open the Tolvex target database.";

// A file name longer than the system allows.
const std::string kLongNameText(300, 'n');
const char* const kLongName = kLongNameText.c_str();

std::vector<BadInput> Cases() {
    std::vector<BadInput> cases = {
        // ADIF
        {"adif_empty", "adif", "log.adi", Bytes(""), 0, kEmpty, 0},
        {"adif_only_newlines", "adif", "log.adi", Bytes("\r\n\n\r\n"), 0, kEmpty, 0},
        {"adif_header_only", "adif", "log.adi", Bytes(kAdifHeader), 0, "", 0},
        {"adif_truncated_mid_tag", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("G4ABC") + "<CALL:6>DL1ABC<QSO_DA"), 0, "", 1},
        {"adif_truncated_mid_value", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("G4ABC") + "<CALL:6>DL1"), 0, "", 1},
        {"adif_truncated_mid_record", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("G4ABC") + Tag("CALL", "DL1ABC") + Tag("QSO_DATE", "2023")), 0,
         "", 1},
        {"adif_binary_garbage", "adif", "log.adi", Bytes([] { return Garbage(64 * 1024, 1); }), 0,
         "", -1},
        {"adif_garbage_after_header", "adif", "log.adi",
         Bytes([] { return kAdifHeader + Garbage(16 * 1024, 2) + "\n" + Contact("G4ABC"); }), 0, "",
         -1},
        {"adif_10_mib_line", "adif", "log.adi",
         Bytes([] { return kAdifHeader + TenMiB() + Contact("G4ABC"); }), 0, "", -1},
        {"adif_10_mib_value", "adif", "log.adi",
         Bytes([] { return kAdifHeader + Contact("G4ABC", Tag("COMMENT", TenMiB())); }), 0, "", 1},
        {"adif_length_beyond_the_end", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("G4ABC") + "<CALL:99999>DL1ABC<EOR>\n"), 0, "", 1},
        {"adif_length_overflows", "adif", "log.adi",
         Bytes(kAdifHeader + "<CALL:99999999999999999999999>DL1ABC<EOR>\n" + Contact("G4ABC")), 0,
         "", -1},
        {"adif_negative_length", "adif", "log.adi",
         Bytes(kAdifHeader + "<CALL:-5>DL1ABC<EOR>\n" + Contact("G4ABC")), 0, "", -1},
        {"adif_invalid_utf8", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("DL1ABC", Tag("NAME", "J\xF6rg \xC3\x28 \xFF"))), 0, "", 1},
        {"adif_nul_bytes", "adif", "log.adi",
         Bytes(kAdifHeader + std::string("<CALL:6>DL\0ABC", 14) + Tag("QSO_DATE", "20230415") +
               std::string("\0\0", 2) + Tag("TIME_ON", "1234") + Tag("BAND", "20M") +
               Tag("MODE", "CW") + "<EOR>\n" + std::string(100, '\0') + Contact("G4ABC")),
         0, "", -1},
        {"adif_dbase_table_as_adif", "adif", "log.adi",
         [](CliEnv&, const std::string& source) {
             const std::string table = source + ".dbf";
             WriteHyperLog(table, 3);
             fs::rename(table, source);
         },
         1, "It is a dBASE table (.dbf)", 0},
        {"adif_missing_file", "adif", "none.adi", nullptr, 1, kUnableSource, 0},
        {"adif_source_is_a_folder", "adif", "folder.adi",
         [](CliEnv&, const std::string& source) { fs::create_directories(source); }, 1,
         kUnableSource, 0},
        {"lotw_standard_file", "lotw", "log.adi", Bytes(kAdifHeader + Contact("G4ABC")), 1,
         kNotLotw, 0},
        {"lotw_file_as_standard", "adif", "log.adi", Bytes(kLotwHeader + Contact("G4ABC")), 1,
         kLotwAsStandard, 0},
        {"lotw_header_only", "lotw", "log.adi", Bytes(kLotwHeader), 0, "", 0},
        {"lotw_empty", "lotw", "log.adi", Bytes(""), 0, kEmpty, 0},
        {"lotw_truncated", "lotw", "log.adi",
         Bytes(kLotwHeader + Contact("G4ABC") + "<CALL:6>DL1ABC<QSO_DATE:8>2023"), 0, "", 1},
    };

    // The text exports: the same damage to each.
    const struct {
        const char* type;
        const char* file;
        std::string line;
    } kTexts[] = {{"logwin", "log.asc", kLogWinLine},
                  {"xpwin", "log.exp", kXpWinLine},
                  {"logview", "log.txt", kLogviewLine},
                  {"swisslog", "log.txt", kSwisslogLine}};
    auto name = [](const std::string& type, const char* what) { return type + "_" + what; };
    for (const auto& t : kTexts) {
        const std::string& line = t.line;
        cases.push_back({name(t.type, "empty"), t.type, t.file, Bytes(""), 0, "", 0});
        cases.push_back({name(t.type, "good_line"), t.type, t.file, Bytes(line), 0, "", 1});
        cases.push_back({name(t.type, "binary_garbage"), t.type, t.file,
                         Bytes([] { return Garbage(32 * 1024, 3); }), 0, "", 0});
        cases.push_back({name(t.type, "10_mib_line"), t.type, t.file,
                         Bytes([line] { return line + TenMiB() + "\r\n" + line; }), 0, "", 2});
        // Log Windows takes missing trailing fields as empty, so the first
        // half of its line is still a contact; the others refuse it.
        const int cutRows = std::string(t.type) == "logwin" ? 2 : 1;
        cases.push_back({name(t.type, "truncated_last_line"), t.type, t.file,
                         Bytes(line + line.substr(0, line.size() / 2)), 0, "", cutRows});
        cases.push_back({name(t.type, "source_is_a_folder"), t.type, "folder.txt",
                         [](CliEnv&, const std::string& source) { fs::create_directories(source); },
                         1, kUnableSource, 0});
        cases.push_back({name(t.type, "nul_bytes"), t.type, t.file,
                         Bytes(line + std::string(50, '\0') + "\r\n" + line + std::string(1, '\0')),
                         0, "", -1});
        cases.push_back({name(t.type, "invalid_utf8"), t.type, t.file,
                         Bytes(line + "\xC3\x28\xFF\xFE\r\n"), 0, "", 1});
        cases.push_back({name(t.type, "adif_file"), t.type, t.file,
                         Bytes(kAdifHeader + Contact("G4ABC") + Contact("DL1ABC")), 0, "", 0});
        cases.push_back(
            {name(t.type, "missing_file"), t.type, "none.txt", nullptr, 1, kUnableSource, 0});
        cases.push_back(
            {name(t.type, "source_is_a_fifo"), t.type, t.file, SourceFifo(), 1, kFifo, 0});
        cases.push_back({name(t.type, "source_is_dev_zero"), t.type, t.file,
                         SourceLinkTo("/dev/zero"), 1, "is a device, not a regular file.", 0});
    }

    const std::vector<BadInput> more = {
        // dBASE
        {"dbase_good_table", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) { WriteHyperLog(source, 3); }, 0, "", 3},
        {"dbase_empty_file", "hyperlog", "log.dbf", Bytes(""), 1, "is not a dBASE table", 0},
        {"dbase_binary_garbage", "hyperlog", "log.dbf", Bytes([] { return Garbage(4096, 4); }), 1,
         "is not a dBASE table or its header is damaged", 0},
        {"dbase_text_file", "dxlog", "log.dbf", Bytes(kAdifHeader + Contact("G4ABC")), 1,
         "is not a dBASE table or its header is damaged", 0},
        {"dbase_header_length_too_big", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 8, std::string("\xFF\x7F", 2));
         },
         1, "is not a dBASE table or its header is damaged", 0},
        {"dbase_header_length_too_small", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 8, std::string("\x21\x00", 2));
         },
         1, "has no column 'DATE'", 0},
        {"dbase_record_count_too_big", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 4, std::string("\x40\x42\x0F\x00", 4));
         },
         1, "its header counts 1000000 rows but the file holds only 3", 0},
        {"dbase_record_count_too_small", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 4, std::string("\x01\x00\x00\x00", 4));
         },
         0, "the records after them were read too (2 records the header left out)", 3},
        {"dbase_record_count_zero", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 4, std::string("\x00\x00\x00\x00", 4));
         },
         0, "(3 records the header left out)", 3},
        {"dbase_truncated_mid_record", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             fs::resize_file(source, fs::file_size(source) - 60);
         },
         1, "its header counts 3 rows but the file holds only 2", 0},
        {"dbase_lacks_a_column", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) { WriteHyperLog(source, 2, "MODE"); }, 1,
         "has no column 'MODE'", 0},
        {"dbase_memo_file_missing", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) { WriteHyperLog(source, 2, "", 'M'); }, 1,
         "log.dbt of the table", 0},
        {"dbase_memo_beyond_its_file", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 2, "", 'M');
             WriteBytes(fs::path(source).replace_extension(".DBT").string(),
                        std::string(1024, '\0'));
         },
         1, "points to block 7 beyond its end", 0},
        {"dbase_missing_table", "easylog", "NONE.DBF", nullptr, 1, "does not exist", 0},
        // Jet
        {"jet_empty_file", "stationmaster", "log.mdb", Bytes(""), 1,
         "is not a database file this program can read", 0},
        {"jet_binary_garbage", "stationmaster", "log.mdb",
         Bytes([] { return Garbage(64 * 1024, 5); }), 1,
         "is not a database file this program can read", 0},
        {"jet_header_only", "stationmaster", "log.mdb", Bytes(JetHeaderOnly(4096)), 1,
         "is damaged: its list of tables cannot be read", 0},
        {"jet_header_and_zeros", "stationmaster", "log.mdb",
         Bytes([] { return JetHeaderOnly(64 * 1024); }), 1,
         "is damaged: its list of tables cannot be read", 0},
        {"jet_adif_file", "stationmaster", "log.mdb", Bytes(kAdifHeader + Contact("G4ABC")), 1,
         "is not a database file this program can read", 0},
        {"jet_sqlite_file", "stationmaster", "log.mdb",
         [](CliEnv& env, const std::string& source) { fs::copy_file(env.target(), source); }, 1,
         "cannot be listed", 0},
        {"jet_truncated_log", "stationmaster", "log.mdb",
         [](CliEnv&, const std::string& source) {
             // The shared StationMaster log cut after its first pages, when it is there.
             const std::string whole = fs::exists(kSharedStationMaster)
                                           ? ReadBytes(kSharedStationMaster)
                                           : JetHeaderOnly(64 * 1024);
             WriteBytes(source, whole.substr(0, 5 * 2048 + 100));
         },
         1, "is damaged", 0},
        {"jet_missing_file", "stationmaster", "none.mdb", nullptr, 1, "Could not find file", 0},
        // The reference database
        {"refdata_missing", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::remove(env.host() + "/refdata.sqlite");
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kRefdata, 0},
        {"refdata_garbage", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             WriteBytes(env.host() + "/refdata.sqlite", Garbage(8192, 6));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kRefdata, 0},
        {"refdata_truncated", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             const std::string ref = env.host() + "/refdata.sqlite";
             fs::resize_file(ref, fs::file_size(ref) / 3);
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kRefdata, 0},
        {"refdata_lacks_a_table", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.host() + "/refdata.sqlite", SqliteDb::Mode::ReadWrite)
                 .exec("DROP TABLE [MAP-Prefix]");
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kRefdata, 0},
        {"refdata_damaged_jet", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::remove(env.host() + "/refdata.sqlite");
             WriteBytes(env.host() + "/refdata.mdb", JetHeaderOnly(8192));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kRefdata, 0},
        // The target
        {"target_lacks_the_qso_table", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.target(), SqliteDb::Mode::ReadWrite).exec("DROP TABLE [QSO-TAB]");
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kTargetNotOpen, 0, false},
        {"target_lacks_a_column", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.target(), SqliteDb::Mode::ReadWrite)
                 .exec("ALTER TABLE [QSO-TAB] DROP COLUMN [QSO-GRID]");
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kTargetNotOpen, 0, false},
        {"target_garbage", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             WriteBytes(env.target(), Garbage(8192, 7));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, kTargetNotOpen, 0, false},
        {"target_locked_by_another_writer", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.held = std::make_unique<SqliteDb>(env.target(), SqliteDb::Mode::ReadWrite);
             env.held->exec("BEGIN IMMEDIATE");
             WriteBytes(source,
                        kAdifHeader + Contact("G4ABC") + Contact("DL1ABC") + Contact("JA1XYZ"));
         },
         1, "error: database is locked", 0},
        {"target_journal_cannot_be_created", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::create_directories(env.target() + "-journal");
             WriteBytes(source, kAdifHeader + Contact("G4ABC") + Contact("DL1ABC"));
         },
         1, "Unable to open the Tolvex target database.", 0},
        {"adif_source_is_a_fifo", "adif", "log.adi", SourceFifo(), 1, kFifo, 0},
        {"stationmaster_source_is_a_fifo", "stationmaster", "log.mdb", SourceFifo(), 1, kFifo, 0},
        {"refdata_is_a_fifo", "adif", "log.adi",
         FifoAs([](CliEnv& e) { return e.host() + "/refdata.sqlite"; }), 1, kFifo, 0},
        {"target_is_a_fifo", "adif", "log.adi", FifoAs([](CliEnv& e) { return e.target(); }), 1,
         kFifo, 0, false},
        {"settings_is_a_fifo", "adif", "log.adi",
         FifoAs([](CliEnv& e) { return e.dir.file("none.ini"); }), 1,
         "error: Unable to read the settings file: '", 0},
        {"adif_read_error", "adif", "log.adi", SourceLinkTo("/proc/self/mem"), 1,
         "error: The source file could not be read to its end", 0},
        {"adif_path_too_long", "adif", kLongName, nullptr, 1, "The path is too long: '", 0},
        {"target_path_too_long", "adif", "log.adi", Bytes(kAdifHeader + Contact("G4ABC")), 1,
         "error: The path is too long: '", 0, true,
         [](const CliEnv& e) {
             return std::vector<std::string>{"--target", e.dir.file(kLongName)};
         }},
        {"dbase_record_count_2_31", "hyperlog", "log.dbf",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source, 3);
             PatchBytes(source, 4, std::string("\x00\x00\x00\x80", 4));
             fs::resize_file(source, (std::uintmax_t{1} << 31) * 256 + 4096);  // sparse
         },
         1, "more than a dBASE table can hold", 0},
        // The report
        {"errors_txt_is_a_folder", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::create_directories(env.source("ERRORS.TXT"));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, "error: Unable to create the error file", 0},
        // The report never replaces another file
        {"errors_txt_links_to_the_target", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::create_symlink(env.target(), env.source("ERRORS.TXT"));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, "ERRORS.TXT (it is a symbolic link)", 0},
        {"errors_txt_is_a_hard_link_of_the_target", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             fs::create_hard_link(env.target(), env.source("ERRORS.TXT"));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, "ERRORS.TXT (it is the target database)", 0},
        {"errors_txt_is_a_hard_link_of_another_file", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             WriteBytes(env.dir.file("notes.txt"), "keep");
             fs::create_hard_link(env.dir.file("notes.txt"), env.source("ERRORS.TXT"));
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, "ERRORS.TXT (it has other hard links)", 0},
        {"source_named_errors_txt", "adif", "ERRORS.TXT",
         Bytes(kAdifHeader + Contact("G4ABC")), 1, "ERRORS.TXT (it is the source file)", 0},
        // The target fails as a whole or rows one by one
        {"target_trigger_ignores_a_row", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.target(), SqliteDb::Mode::ReadWrite)
                 .exec("CREATE TRIGGER skip BEFORE INSERT ON [QSO-TAB] "
                       "WHEN NEW.[QSO-CALL] = 'DL1ABC' BEGIN SELECT RAISE(IGNORE); END");
             WriteBytes(source,
                        kAdifHeader + Contact("G4ABC") + Contact("DL1ABC") + Contact("JA1XYZ"));
         },
         0, "", 2, true, nullptr, 2},
        {"target_table_is_a_view", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb db(env.target(), SqliteDb::Mode::ReadWrite);
             db.exec("ALTER TABLE [QSO-TAB] RENAME TO [QSO-DATA]");
             db.exec("CREATE VIEW [QSO-TAB] AS SELECT * FROM [QSO-DATA]");
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
         },
         1, "is a view, not a table", 0, false},
        {"disk_full_at_the_first_record", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.fileSizeLimit = 2048;
             WriteBytes(source, kAdifHeader + Contact("G4ABC") + Contact("DL1ABC"));
         },
         1, "error: The import stopped because of a database error: disk I/O error", 0, true, nullptr, 0},
        {"disk_full_at_the_first_commit", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.fileSizeLimit = 64 * 1024;
             std::string log = kAdifHeader;
             for (int i = 0; i < 1500; ++i) log += Contact("G4A" + std::to_string(1000 + i));
             WriteBytes(source, log);
         },
         1, "error: The import stopped: the target database could not save the last contacts.", 0,
         true, nullptr, 0},
        {"target_read_by_another_program", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.held = std::make_unique<SqliteDb>(env.target(), SqliteDb::Mode::ReadOnly);
             env.held->exec("BEGIN");
             env.held->exec("SELECT count(*) FROM [QSO-TAB]");
             WriteBytes(source, kAdifHeader + Contact("G4ABC") + Contact("DL1ABC"));
         },
         1, "error: The import stopped: the target database could not save the last contacts.", 0,
         true, nullptr, 0},
        {"disk_full_in_the_middle_of_a_run", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.fileSizeLimit = 512 * 1024;
             std::string log = kAdifHeader;
             for (int i = 0; i < 20000; ++i) log += Contact("G4A" + std::to_string(10000 + i));
             WriteBytes(source, log);
         },
         1, "error: The import stopped: the target database could not save the last contacts.", -1,
         true, nullptr, kAsAdded},
        {"report_cannot_be_written", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             env.fileSizeLimit = 300;
             std::string log = kAdifHeader;
             for (int i = 0; i < 20; ++i) log += Contact("Q" + std::to_string(i));
             WriteBytes(source, log);
         },
         1, "error: The import stopped: the error file could not be written.", 0},
        // Reference tables the checks can do without
        {"reference_without_state_table", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.host() + "/refdata.sqlite", SqliteDb::Mode::ReadWrite)
                 .exec("DROP TABLE [STATE-TABLE]");
             WriteBytes(source, kAdifHeader + Contact("W1AW", Tag("STATE", "CT")) +
                                    Contact("K2ABC", Tag("STATE", "NY")));
         },
         0, "notice: A table of the reference database could not be read", 2, true, nullptr, 2},
        {"reference_without_county_table", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             SqliteDb(env.host() + "/refdata.sqlite", SqliteDb::Mode::ReadWrite)
                 .exec("DROP TABLE [COUNTY-TAB]");
             WriteBytes(source, kAdifHeader + Contact("W1AW", Tag("CNTY", "CT,HARTFORD")));
         },
         0, "notice: A table of the reference database could not be read", 1, true, nullptr, 1},
        // Every record read is accounted for
        {"records_of_another_station", "adif", "log.adi",
         Bytes(kAdifHeader + Contact("G4ABC", Tag("APP_LOTW_OWNCALL", "K1XYZ")) + Contact("DL1ABC")), 0,
         "OPR Calls\". Station calls: K1XYZ.", 1, true, nullptr, 1},
        {"adif_without_end_of_header", "adif", "log.adi",
         Bytes("Log of the station\n<ADIF_VER:5>3.1.4\n" + Contact("G4ABC")), 0,
         "No end of the header (<EOH>) was found", 0},
        {"adif_in_utf16", "adif", "log.adi",
         [](CliEnv&, const std::string& source) {
             std::string wide = "\xFF\xFE";
             for (char ch : kAdifHeader + Contact("G4ABC")) wide += std::string{ch, '\0'};
             WriteBytes(source, wide);
         },
         0, "It looks like UTF-16 text", 0},
        // A database chosen as a text source is named for what it is.
        {"sqlite_file_as_adif", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) { fs::copy_file(env.target(), source); }, 1,
         "It is a SQLite database, not a log", 0},
        {"dbase_table_as_logwin", "logwin", "log.asc",
         [](CliEnv&, const std::string& source) {
             WriteHyperLog(source + ".dbf", 3);
             fs::rename(source + ".dbf", source);
         },
         1,
         "It is a dBASE table (.dbf)", 0},
        {"jet_file_as_adif", "adif", "log.adi",
         Bytes(std::string(4, '\0') + "Standard Jet DB" + std::string(2048, '\0')), 1,
         "It is a Jet database (.mdb)", 0},
        // A reference database that cannot resolve any contact is refused.
        {"refdata_without_prefix_rows", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
             SqliteDb(env.host() + "/refdata.sqlite", SqliteDb::Mode::ReadWrite)
                 .exec("DELETE FROM [PREFIX-Pri]");
         },
         1, "holds no usable country prefix", 0},
        {"refdata_prefixes_too_long", "adif", "log.adi",
         [](CliEnv& env, const std::string& source) {
             WriteBytes(source, kAdifHeader + Contact("G4ABC"));
             SqliteDb(env.host() + "/refdata.sqlite", SqliteDb::Mode::ReadWrite)
                 .exec("UPDATE [PREFIX-Pri] SET [PREFIX] = 'LONG' || rowid");
         },
         1, "holds no usable country prefix", 0},
        // A CR alone ends a line as LF does: every contact is read.
        {"adif_with_cr_line_ends", "adif", "log.adi",
         Bytes(CrOnly(kAdifHeader + Contact("G4ABC") + Contact("G4ABD"))), 0, "", 2},
        {"swisslog_with_cr_line_ends", "swisslog", "log.txt",
         Bytes(CrOnly(kSwisslogLine + kSwisslogLine)), 0, "", 2},
    };
    cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

void PrintTo(const BadInput& c, std::ostream* os) {
    *os << c.name;
}

class BadInputs : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, EndWithTheirMessageAndLeaveTheTargetWhole) {
    const BadInput& c = GetParam();
    CliEnv env;
    const std::string source = env.source(c.file);
    if (c.make) c.make(env, source);
    const CliResult r =
        env.Import(c.type, source, c.extra ? c.extra(env) : std::vector<std::string>{});
    env.held.reset();
    std::error_code ec;
    fs::remove(env.target() + "-journal", ec);
    SCOPED_TRACE("stderr:\n" + r.err + "stdout:\n" + r.out + "report:\n" +
                 ReadBytes(env.source("ERRORS.TXT")));
    if (std::getenv("TVX_TEST_VERBOSE"))
        std::printf("%s exit %d\n%s", c.name.c_str(), r.exitCode, r.err.c_str());
    ASSERT_TRUE(r.exited) << "crashed or hung";
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "no message " << c.message;
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos);
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos);
    if (c.loaded >= 0) {
        EXPECT_NE(r.out.find("Records Loaded: " + std::to_string(c.loaded) + " "),
                  std::string::npos);
    }
    if (r.err.find("could not save the last contacts") != std::string::npos) {
        // Every record read is loaded, ignored, or in the report.
        int read = -1, loaded = -1, ignored = -1, errors = -1;
        ASSERT_EQ(std::sscanf(r.out.c_str(),
                              "Records Read: %d  Records Loaded: %d  Records Ignored: %d  "
                              "Errors: %d",
                              &read, &loaded, &ignored, &errors),
                  4)
            << r.out;
        EXPECT_EQ(read, loaded + ignored + errors);
        // ... where the full disk left room for the report.
        const std::string report = ReadBytes(env.source("ERRORS.TXT"));
        if (env.fileSizeLimit == 0 || static_cast<long>(report.size()) + 256 < env.fileSizeLimit) {
            EXPECT_EQ(CountLines(report, "Not saved by the target database"), errors);
        }
    }
    if (!c.targetUsable) return;
    const int added = env.CheckTarget();
    if (c.loaded == kAsAdded) {
        EXPECT_NE(r.out.find("Records Loaded: " + std::to_string(added) + " "), std::string::npos);
        EXPECT_GT(added, 0);
    }
    if (c.rows >= 0) {
        EXPECT_EQ(added, c.rows);
    }
}

std::string CaseName(const testing::TestParamInfo<BadInput>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadInputs, testing::ValuesIn(Cases()), CaseName);

// Ctrl-C ends a run while it skips a line far longer than any contact; with
// no one to ask (no terminal, no --yes) it still means Yes. SIGTERM and
// SIGHUP stop as Stop Import does, without the question, and exit 1.
TEST(BadInputs, CtrlCStopsTheSkipOfAHugeLine) {
    struct Run {
        const char* type;
        std::string start;
        int signal;
        bool yes;
    };
    const std::string adif = kAdifHeader + Contact("G4ABC") + "<COMMENT:9>";
    const Run kRuns[] = {{"adif", adif, SIGINT, true},
                         {"logwin", kLogWinLine, SIGINT, true},
                         {"adif", adif, SIGINT, false},
                         {"adif", adif, SIGTERM, false},
                         {"logwin", kLogWinLine, SIGHUP, true}};
    for (const Run& run : kRuns) {
        SCOPED_TRACE(std::string(run.type) + " signal " + std::to_string(run.signal));
        CliEnv env;
        env.interruptSignal = run.signal;
        env.yes = run.yes;
        const std::string source = env.source("huge.txt");
        WriteBytes(source, run.start);
        fs::resize_file(source, std::uintmax_t{4} << 40);  // sparse: 4 TB without a line end
        // Without --yes the backup question of a loading run is answered No.
        const CliResult r = env.Import(
            run.type, source,
            run.yes ? std::vector<std::string>{} : std::vector<std::string>{"--filter", "none"},
            64 << 20);
        ASSERT_TRUE(r.exited) << r.err;
        EXPECT_EQ(
            r.err.find("question: Do you want to abort any further importing") != std::string::npos,
            run.signal == SIGINT)
            << r.err;
        EXPECT_EQ(r.exitCode, run.signal == SIGINT ? 0 : 1);
        EXPECT_NE(
            r.out.find("Records Read: 1  Records Loaded: " + std::string(run.yes ? "1" : "0")),
            std::string::npos)
            << r.out;
        EXPECT_EQ(env.CheckTarget(), run.yes ? 1 : 0);
    }
}

// A LoTW pass whose first commit fails names each lost confirmation with
// the contact it was to confirm.
TEST(BadInputs, LostConfirmationNamesItsContact) {
    CliEnv env;
    env.fileSizeLimit = 64 * 1024;
    std::string log = kLotwHeader + Tag("CALL", "W1OLD") + Tag("QSO_DATE", "19990101") +
                      Tag("TIME_ON", "120000") + Tag("BAND", "17M") + Tag("MODE", "CW") +
                      Tag("QSL_RCVD", "Y") + "<EOR>\n";
    for (int i = 0; i < 1500; ++i) log += Contact("G4A" + std::to_string(1000 + i));
    const std::string source = env.source("lotw.adi");
    WriteBytes(source, log);
    const CliResult r = env.Import("lotw", source);
    ASSERT_TRUE(r.exited);
    ASSERT_NE(r.err.find("could not save the last contacts"), std::string::npos) << r.err;
    const std::string report = ReadBytes(env.source("ERRORS.TXT"));
    const std::string first = report.substr(0, report.find('\n'));
    EXPECT_NE(first.find("Not saved by the target database W1OLD"), std::string::npos) << first;
    EXPECT_NE(first.find("17m"), std::string::npos) << first;
}

TEST(BadInputs, CorpusHoldsAtLeastFiftyInputs) {
    EXPECT_GE(Cases().size(), 50u);
}

// A write-protected target is refused before anything is read. Root writes
// to any file, so this one needs an ordinary user.
TEST(BadInputsAsUser, ReadOnlyTargetIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    CliEnv env;
    const std::string source = env.source("log.adi");
    WriteBytes(source, kAdifHeader + Contact("G4ABC"));
    chmod(env.target().c_str(), 0444);
    const CliResult r = env.Import("adif", source);
    chmod(env.target().c_str(), 0644);
    SCOPED_TRACE(r.err);
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("read-only"), std::string::npos);
    EXPECT_EQ(env.CheckTarget(), 0);
}

// Where ERRORS.TXT cannot be written for want of permission.
TEST(BadInputsAsUser, SourceFolderWithoutWritePermission) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    CliEnv env;
    const std::string source = env.source("log.adi");
    WriteBytes(source, kAdifHeader + Contact("G4ABC"));
    chmod(env.dir.file("src").c_str(), 0555);
    const CliResult r = env.Import("adif", source);
    chmod(env.dir.file("src").c_str(), 0755);
    SCOPED_TRACE(r.err);
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to create the error file"), std::string::npos);
    EXPECT_EQ(env.CheckTarget(), 0);
}

}  // namespace
}  // namespace tvx::test
