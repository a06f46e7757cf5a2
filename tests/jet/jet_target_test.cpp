// Imports into a Jet target: the user's file is replaced only by a checked
// copy, kept as it was as NAME.bak, and left byte for byte as it was when a
// run cannot finish its copy or must not start.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "db/jet_check.h"
#include "db/jet_target.h"
#include "import/messages.h"
#include "jet_files.h"
#include "support/import_fixture.h"

namespace tvx::test {
namespace {

namespace fs = std::filesystem;

const std::string kLog =
    "<EOH>\n<CALL:6>DL1ABC<QSO_DATE:8>20050101<TIME_ON:4>1200<BAND:3>20M<MODE:2>CW<EOR>\n"
    "<CALL:5>G4XYZ<QSO_DATE:8>20050102<TIME_ON:4>1300<BAND:3>40M<MODE:3>SSB<EOR>\n";

TEST(JetTarget, TheFileIsReplacedOnlyByACheckedCopy) {
    TVX_REQUIRE_JET_FILE("target.mdb");
    struct Case {
        const char* name;
        std::function<void(ImportFixture&)> before;  // after the target is opened
        bool loads;                                  // the run replaces the file
        int message;                                 // a message the run shows
        const char* text;                            // ... holding this text
    };
    const std::vector<Case> cases = {
        {"a run that ends", [](ImportFixture&) {}, true, 0, ""},
        {"open in the host program", [](ImportFixture& f) { f.writeSource("target.ldb", "lock"); },
         false, kMsgTargetNotWritable, "seems to be open in the host program"},
        {"the file as it was cannot be kept",
         [](ImportFixture& f) { fs::create_directory(JetImportSet::BackupPath(f.targetPath())); },
         false, kMsgCommitFailed, "is unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportFixture f(ImportFixture::Target::Jet4);
        ASSERT_TRUE(f.jetTarget());
        c.before(f);
        const std::string before = ReadBytes(f.targetPath());
        f.run(TypeOf("adif"), f.writeSource("log.adi", kLog));
        EXPECT_FALSE(fs::exists(JetImportSet::CopyPath(f.targetPath())));
        if (c.message) {
            EXPECT_TRUE(f.host.saw(c.message));
            bool found = false;
            for (const auto& m : f.host.messages)
                found = found || m.text.find(c.text) != std::string::npos;
            EXPECT_TRUE(found) << c.text;
        }
        if (!c.loads) {
            EXPECT_EQ(ReadBytes(f.targetPath()), before);
            EXPECT_EQ(f.host.counters.recordsLoaded, 0);
            continue;
        }
        EXPECT_EQ(f.host.counters.recordsLoaded, 2);
        EXPECT_EQ(f.rows().size(), 2u);
        EXPECT_EQ(ReadBytes(JetImportSet::BackupPath(f.targetPath())), before);
        EXPECT_TRUE(CheckJetFile(f.targetPath()).empty());
    }
}

TEST(JetTarget, ACopyLeftByACrashIsRemovedWithANotice) {
    TVX_REQUIRE_JET_FILE("target.mdb");
    ImportFixture f(ImportFixture::Target::Jet4);
    f.session->CloseTarget();
    f.writeSource("target.mdb.importing", "half a copy");
    f.session->OpenTarget();
    EXPECT_TRUE(f.host.saw(kMsgTargetNotice));
    EXPECT_FALSE(fs::exists(JetImportSet::CopyPath(f.targetPath())));
    EXPECT_EQ(f.session->TargetKind(), "Jet 4 (Access 2000)");
}

}  // namespace
}  // namespace tvx::test
