// The command line: its refusals with their exact messages and exit codes,
// and a whole run through the real program.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "db/jet_writer.h"
#include "import/messages.h"
#include "import/session.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx {
namespace {

const char* const kAdif =
    "Test log\n<ADIF_VER:5>3.1.0 <EOH>\n"
    "<CALL:6>DL1ABC <QSO_DATE:8>20050315 <TIME_ON:4>1234 <BAND:3>20m <MODE:2>CW <EOR>\n"
    "<CALL:5>G3ABC <QSO_DATE:8>20050316 <TIME_ON:6>091500 <FREQ:5>7.050 <MODE:3>SSB <EOR>\n"
    "<CALL:6>QQ9ZZZ <QSO_DATE:8>20050316 <TIME_ON:4>1000 <BAND:3>20m <MODE:2>CW <EOR>\n";

struct Result {
    int code;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("host"));
        test::WriteSmallWorld(dir.file("host/refdata.sqlite"));
        source = dir.write("log.adi", kAdif);
        target = dir.file("target.sqlite");
        ASSERT_EQ(Run({"init-target", target}).code, 0);
    }

    Result Run(std::vector<std::string> args, const std::string& input = "",
               bool interactive = false) {
        std::istringstream in(input);
        std::ostringstream out, err;
        const int code = RunCli(args, in, out, err, interactive);
        return {code, out.str(), err.str()};
    }

    std::vector<std::string> Import(std::vector<std::string> extra) {
        std::vector<std::string> args = {"import",      "--target",       target,
                                         "--host-path", dir.file("host"), "--source",
                                         source,        "--settings",     dir.file("none.ini")};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    test::TempDir dir;
    std::string source, target;
};

TEST_F(CliTest, UsageErrorsExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"export"},
        {"import", "--target"},
        {"import", "--type", "adif"},
        {"import", "--target", "t", "--bogus"},
        {"import", "--target", "t", "--type", "csv"},
        {"import", "--target", "t", "--type", std::to_string(SourceTypes().size())},
        {"import", "--target", "t", "--filter", "some"},
        {"init-target"},
    };
    for (const auto& args : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}

TEST_F(CliTest, VersionAndHelpGoToStdout) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"import", "--help"}, {"import", "--target", "t", "-h"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << args.back();
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_EQ(r.out.find(args[0] == "--version" ? "tolvex-import-cli 1." : "usage:"), 0u);
    }
    // The type names, from the source-type table, wrapped as they always were.
    const std::string help = Run({"--help"}).out;
    EXPECT_TRUE(help.ends_with(
        "\nTYPE: 0-13 or adif, lotw, logwin, xpwin, hyperlog, logview, swisslog, dxlog,\n"
        "      dxdesktop, logplus, toplog, q9zz, easylog, stationmaster\n"))
        << help;
}

TEST_F(CliTest, RefusalsPrintTheMessageAndExitOne) {
    struct Case {
        std::vector<std::string> extra;
        std::string expected;
    } cases[] = {
        {{"--opr-call", "W1AW", "--yes"}, "question: " + MessageText(kMsgSelectSourceType) + "\n"},
        {{"--type", "adif", "--yes"}, "error: " + MessageText(kMsgOprCallRequired) + "\n"},
        {{"--type", "adif", "--opr-call", "W1AW", "--host-path", dir.file("x.mdb"), "--yes"},
         "error: " + MessageText(kMsgProgramPathHasMdb) + "\n"},
        {{"--type", "adif", "--opr-call", "W1AW"},
         "question: Have you made a backup copy of your Target  database? Click NO if you do "
         "not have a backup and prepare a backup before you perform an import.\n"},
        {{"--type", "logwin", "--opr-call", "W1AW"},
         "question: You have not selected ADIF import method.  If your old program supplies "
         "ADIF export, you should use that method since it is more likely to give the best "
         "results.  The choice you have made is based on a very old version of your old "
         "program.  Do you wish to continue with this import?\n"},
    };
    for (const auto& c : cases) {
        const Result r = Run(Import(c.extra));
        EXPECT_EQ(r.code, 1) << c.expected;
        EXPECT_EQ(r.err, c.expected);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliTest, MissingSourceIsRefused) {
    std::vector<std::string> args = {
        "import", "--target",   target, "--host-path", dir.file("host"),     "--type",
        "0",      "--opr-call", "W1AW", "--settings",  dir.file("none.ini"), "--yes"};
    const Result r = Run(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error: " + MessageText(kMsgSourceNotOpen) + "\n");
}

// A Jet target that cannot be written is refused with the reason, exit 1 and
// the file byte for byte as it was, with no copy left beside it.
TEST_F(CliTest, JetTargetsRefusedWithTheirReasonLeftAsTheyWere) {
    std::string empty(2048, '\0');
    empty.replace(4, 15, "Standard Jet DB");
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;  // the target at the path
        const char* reason;
    };
    const auto made = [&](const std::string& path) {
        if (!test::MakeJetTarget(path, false)) GTEST_SKIP() << "no shared Jet files";
    };
    const std::vector<Case> cases = {
        {"no whole database", [&](const std::string& p) { dir.write("log.mdb", empty), (void)p; },
         "is not a Jet database"},
        {"open in the host program",
         [&](const std::string& p) { made(p), dir.write("log.ldb", "lock"); },
         "seems to be open in the host program"},
        {"damaged",
         [&](const std::string& p) {
             made(p);
             std::uint32_t page = 0;
             {
                 JetWriter file(p, JetWriter::Mode::ReadOnly);
                 page = file.FindTable("QSO-TAB");
             }
             // A row count the table does not hold.
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(std::streamoff{page} * 4096 + 16);
             f.write("\x07", 1);
         },
         "damaged"},
        {"the file as it was cannot be kept",
         [&](const std::string& p) {
             made(p), std::filesystem::create_directory(p.substr(0, p.size() - 4) + ".bak");
         },
         "is unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        target = dir.file("log.mdb");
        std::filesystem::remove(dir.file("log.ldb"));
        std::filesystem::remove_all(dir.file("log.bak"));
        c.make(target);
        if (HasFatalFailure() || IsSkipped()) return;
        const std::string before = bytes(target);
        const Result r = Run(Import({"--type", "adif", "--opr-call", "W1AW", "--yes"}));
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(bytes(target), before);
        EXPECT_FALSE(std::filesystem::exists(target + ".importing"));
    }
}

TEST_F(CliTest, RefdataOfTheDataPathIsNotATarget) {
    const std::string ini =
        dir.write("Tvx2007.ini", "[Dir]\nDATAPATH=" + dir.file("host/w1aw.mdb") + "\n");
    target = dir.file("host/REFDATA.mdb");
    std::vector<std::string> args = Import({"--type", "adif", "--opr-call", "W1AW", "--yes"});
    args.back() = "--yes";
    args.push_back("--settings");
    args.push_back(ini);
    const Result r = Run(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error: " + MessageText(kMsgRefdataChosenAsTarget) + "\n");
}

TEST_F(CliTest, SettingsGiveHostPathAndOperator) {
    const std::string ini =
        dir.write("Tvx2007.ini", "[Dir]\nPGMPATH=" + dir.file("host") + "\n[Gen]\nOPRCALL=w1aw\n");
    const Result r = Run({"import", "--target", target, "--type", "adif", "--source", source,
                          "--settings", ini, "--yes"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Records Loaded: 2"), std::string::npos) << r.out;
}

TEST_F(CliTest, TerminalQuestionsAreAnswered) {
    Result no = Run(Import({"--type", "adif", "--opr-call", "W1AW"}), "n\n", true);
    EXPECT_EQ(no.code, 1);
    Result yes = Run(Import({"--type", "adif", "--opr-call", "W1AW"}), "y\n", true);
    EXPECT_EQ(yes.code, 0) << yes.err;
}

// The real program, as other tools drive it: no terminal, exit codes, the
// counters as the last line on stdout, ERRORS.TXT beside the source.
TEST_F(CliTest, RealProgramRunsAndReports) {
    std::string cmd = std::string(TVX_CLI_PATH) + " import --target " + target + " --host-path " +
                      dir.file("host") + " --type adif --source " + source +
                      " --opr-call w1aw --settings " + dir.file("none.ini") +
                      " --yes < /dev/null 2>" + dir.file("stderr.txt");
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out,
              "Records Read: 3  Records Loaded: 2  Records Ignored: 0  Errors: 1  Warnings: 0\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("ERRORS.TXT")));
    // Progress is drawn on a terminal only, never into a file.
    std::ifstream errFile(dir.file("stderr.txt"));
    const std::string errText((std::istreambuf_iterator<char>(errFile)), {});
    EXPECT_EQ(errText.find('\r'), std::string::npos) << errText;

    // A source that cannot be opened: the stop message makes the exit code 1.
    std::string bad = std::string(TVX_CLI_PATH) + " import --target " + target + " --host-path " +
                      dir.file("host") + " --type adif --source " + dir.file("missing.adi") +
                      " --opr-call W1AW --settings " + dir.file("none.ini") +
                      " --yes > /dev/null 2>&1 < /dev/null";
    const int badStatus = std::system(bad.c_str());
    ASSERT_TRUE(WIFEXITED(badStatus));
    EXPECT_EQ(WEXITSTATUS(badStatus), 1);
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(CliTest, InitCommandsRefuseToOverwrite) {
    const Result again = Run({"init-target", target});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err.rfind("error: ", 0), 0u);
    EXPECT_EQ(Run({"init-refdata", dir.file("ref.sqlite")}).code, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("ref.sqlite")));
    // A Jet database gets the tables added, once; it is never made from nothing.
    EXPECT_EQ(Run({"init-target", dir.file("new.mdb")}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.mdb")));
    const std::string jet = dir.file("host.mdb");
    if (!test::MakeJetTarget(jet, true)) GTEST_SKIP() << "no shared Jet files";
    const std::string before = Bytes(jet);
    const Result twice = Run({"init-target", "--into", jet});
    EXPECT_EQ(twice.code, 1);
    EXPECT_NE(twice.err.find("has a table [QSO-TAB] already"), std::string::npos) << twice.err;
    EXPECT_EQ(Bytes(jet), before);
    EXPECT_FALSE(std::filesystem::exists(jet + ".creating"));
    const Result notJet = Run({"init-target", "--into", target});
    EXPECT_EQ(notJet.code, 1);
    EXPECT_NE(notJet.err.find("is not a Jet database"), std::string::npos) << notJet.err;
}

}  // namespace
}  // namespace tvx
