// Another program starts writing to the target while an import has it open:
// the first write waits out the busy timeout, then the run ends with the
// engine's message instead of waiting again for every later record, and the
// target keeps what it had.

#include <gtest/gtest.h>

#include "db/sqlite.h"
#include "import/messages.h"
#include "support/import_fixture.h"

namespace tvx::test {
namespace {

std::string Contact(const std::string& call) {
    return "<CALL:" + std::to_string(call.size()) + ">" + call +
           "<QSO_DATE:8>20230415<TIME_ON:4>1234<BAND:3>20M<MODE:2>CW<EOR>\n";
}

TEST(LockedTarget, AWriterArrivingAfterOpenStopsTheRunOnce) {
    ImportFixture f;
    TVX_SQLITE_TARGET_ONLY(f);
    ASSERT_TRUE(
        f.run(test::TypeOf("adif"), f.writeSource("first.adi", "<EOH>\n" + Contact("G4ABC"))));
    ASSERT_EQ(f.rows().size(), 1u);

    SqliteDb other(f.targetPath(), SqliteDb::Mode::ReadWrite);
    other.exec("BEGIN IMMEDIATE");
    f.host.messages.clear();
    const Counters before = f.session->counters();
    const std::string log = "<EOH>\n" + Contact("DL1ABC") + Contact("JA1XYZ") + Contact("F5ABC");
    ASSERT_TRUE(f.run(test::TypeOf("adif"), f.writeSource("second.adi", log)));
    other.exec("ROLLBACK");

    EXPECT_EQ(f.host.count(kMsgEngineError), 1);
    const Counters c = f.session->counters();
    EXPECT_EQ(c.recordsRead - before.recordsRead, 1)
        << "the run ended at the first record it could not write";
    EXPECT_EQ(c.recordsLoaded, before.recordsLoaded);
    const auto rows = f.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("QSO-CALL"), "G4ABC");
}

}  // namespace
}  // namespace tvx::test
