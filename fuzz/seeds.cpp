// Writes the seed corpora of the fuzz targets into a folder, one subfolder
// per target: small logs of each format, the test fixtures, and short cuts
// of the shared sample files when they are there.
//
// Usage: fuzz_seeds OUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_import.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Tag(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

std::string Contact(const std::string& call, const std::string& extra = "") {
    return Tag("CALL", call) + " " + Tag("QSO_DATE", "20230415") + " " + Tag("TIME_ON", "1234") +
           " " + Tag("BAND", "20M") + " " + Tag("MODE", "CW") + " " + extra + "<EOR>\n";
}

// The first records of a big sample file, cut after an end-of-record tag.
std::string Head(const std::string& bytes, std::size_t limit) {
    if (bytes.size() <= limit) return bytes;
    std::string head = bytes.substr(0, limit);
    std::size_t eor = head.rfind("<EOR>");
    if (eor == std::string::npos) eor = head.rfind("<eor>");
    return eor == std::string::npos ? head : head.substr(0, eor + 5) + "\n";
}

void AdifSeeds(const fs::path& out, const fs::path& shared) {
    const fs::path dir = out / "adif";
    const std::string header = "Exported by a logger\n<ADIF_VER:5>3.1.4 <EOH>\n";
    const std::string lotw =
        "ARRL Logbook of the World Status Report\n<PROGRAMID:4>LoTW\n"
        "<APP_LoTW_NUMREC:2>2\n<eoh>\n";
    Write(dir, "standard",
          "\x00" + header + Contact("DL1ABC") +
              Contact("W1AW", Tag("STATE", "CT") + Tag("FREQ", "14.025")) +
              Contact("JA1XYZ", Tag("NAME", "Taro") + Tag("DXCC", "339")));
    Write(dir, "headerless",
          std::string(1, '\x00') + Contact("G4ABC") +
              Contact("VE3ABC", Tag("TVXPFX", "VE") + Tag("QSL_RCVD", "Y")));
    Write(dir, "fields",
          std::string(1, '\x00') + header +
              Contact("KH6XX", Tag("SUBMODE", "USB") + Tag("GRIDSQUARE", "BL11") +
                                   Tag("IOTA", "OC-019") + Tag("CNTY", "HI,HAWAII") +
                                   Tag("QSLSDATE", "20230501") + Tag("TVXUSER1", "Y") +
                                   Tag("COMMENT", "long, \"quoted\"; text") + Tag("TX_PWR", "100") +
                                   Tag("TIME_OFF", "123500")));
    Write(dir, "lotw",
          "\x01" + lotw +
              Contact("DL1ABC", Tag("APP_LoTW_OWNCALL", "N0CALL") + Tag("QSL_RCVD", "Y") +
                                    Tag("QSLRDATE", "20230501") + Tag("STATE", "OK") +
                                    " // Oklahoma\n") +
              Contact("W1AW") + "<APP_LoTW_EOF>\n");
    if (!fs::is_directory(shared / "adif")) return;
    int n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(shared / "adif")) {
        if (entry.path().extension() != ".adi") continue;
        const std::string bytes = Head(tvx::fuzz::ReadAll(entry.path().string()), 6000);
        const bool isLotw = bytes.find("<PROGRAMID:4>LoTW") != std::string::npos;
        Write(dir, "shared-" + std::to_string(n++),
              std::string(1, isLotw ? '\x01' : '\x00') + bytes);
    }
}

void TextSeeds(const fs::path& out, const fs::path& data) {
    const struct {
        const char* target;
        const char* fixture;
        const char* line;
    } kTexts[] = {
        {"logwin", "text/logwin.asc",
         "\"W1AW\",\"03/15/99\",\"0930\",\"CW\",\"7.025\",\"\",\"\",\"1\",\"Hiram\",\"Newington\","
         "\"CT\",\"\",\"FN31\",\"73\",\"Y\",\"Y\",\"04/01/1999\",\"\",\"\",\"\",\"\",\"\",\"2\","
         "\"0\",\"2\"\r\n"},
        {"xpwin", "text/xpwin.exp", "W1AW;1;2005/03/15;09:30;;;14,085.5;RTTY;Nice\r\n"},
        {"logview", "text/logview.txt",
         "03/15/05^09:30^W1AW^Hiram^599^579^7.050^100W^CW^Newington^Good^^Y^Y\r\n"},
        {"swisslog", "text/swisslog.txt",
         "W1AW,\"Hiram\",\"20050315\",\"599\",\"579\",\"0930\",\"1\",\"20 M\",\"CW\","
         "\"Newington\",\"Comment\",\"SPEC\",\"Y\",\"Y\",\"\"\r\n"},
    };
    for (const auto& t : kTexts) {
        const fs::path dir = out / t.target;
        if (fs::exists(data / t.fixture))
            Write(dir, "fixture", tvx::fuzz::ReadAll(data / t.fixture));
        Write(dir, "line", t.line);
    }
}

void DbaseSeeds(const fs::path& out) {
    const std::vector<int>& types = tvx::fuzz::DbaseSourceTypes();
    for (std::size_t i = 0; i < types.size(); ++i) {
        const int type = types[i];
        const std::string selector(1, static_cast<char>(i));
        Write(out / "dbf", "reader-" + std::to_string(type),
              selector + tvx::fuzz::DbfBytes(tvx::fuzz::DbaseTable(type, false)));
        Write(out / "dbf", "memo-" + std::to_string(type),
              selector + tvx::fuzz::DbfBytes(tvx::fuzz::DbaseTable(type, true)));
        Write(out / "dbt", "reader-" + std::to_string(type),
              selector + tvx::fuzz::SampleDbtBytes());
    }
}

void JetSeeds(const fs::path& out, const fs::path& shared) {
    // Jet files cannot be made here; the shared fixtures seed the corpus when
    // they are there, else a bare Jet 3 header does.
    const fs::path dir = out / "jet";
    const fs::path sample = shared / "jet" / "stationmaster.mdb";
    if (fs::exists(sample)) Write(dir, "stationmaster", tvx::fuzz::ReadAll(sample));
    std::string header(2048, '\0');
    header.replace(0, 20, std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    Write(dir, "header", header);
    // The writer's target: files of both formats with indexes.
    for (const char* name : {"target.mdb", "real/compIndexTestV1997.mdb"}) {
        const fs::path file = shared / "jet" / name;
        if (fs::exists(file))
            Write(out / "jetwrite", file.stem().string(), tvx::fuzz::ReadAll(file));
    }
    Write(out / "jetwrite", "header", header);
}

void SettingsSeeds(const fs::path& out) {
    const fs::path dir = out / "settings";
    Write(dir, "full",
          "[Dir]\r\nDATAPATH=C:\\TVX2007\\Data\\refdata.mdb\r\nPGMPATH=C:\\TVX2007\\\r\n"
          "[Gen]\r\nOPRCALL=W1AW\r\n");
    Write(dir, "unix", "[dir]\ndatapath = /home/op/tvx/data/\n; comment\n[GEN]\noprcall=DL1ABC\n");
    Write(dir, "odd",
          "\xEF\xBB\xBF[Dir]\nDATAPATH\n=x\n[Gen\nOPRCALL=" + std::string(600, 'A') +
              "\n[Dir]\nPGMPATH=C:/a/b/c\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path data = TVX_TEST_DATA_DIR;
    const fs::path shared = TVX_SHARED_DATA_DIR;
    AdifSeeds(out, shared);
    TextSeeds(out, data);
    DbaseSeeds(out);
    JetSeeds(out, shared);
    SettingsSeeds(out);
    return 0;
}
