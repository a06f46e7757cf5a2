#pragma once
// Test support for end-to-end imports: a host that records everything the
// core says, a small reference world, and a fixture with a fresh SQLite
// target and host folder in a temporary directory.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/reference.h"
#include "import/session.h"
#include "readers/adif.h"
#include "support/tempdir.h"

namespace tvx::test {

class RecordingHost : public ImportHost {
  public:
    struct Message {
        int id;
        std::string text;
        MessageIcon icon;
        bool question;
    };

    bool ask(int id, const std::string& text, MessageIcon icon) override;
    void notify(int id, const std::string& text, MessageIcon icon) override;
    void pump() override;
    void countersChanged(const Counters& c) override { counters = c; }
    void problemAdded(const std::string& line) override;
    void runningChanged(bool running) override { runningStates.push_back(running); }
    void progressChanged(std::int64_t done, std::int64_t total) override {
        positions.emplace_back(done, total);
    }
    // The run got to the end of a source of known size.
    bool reachedEnd() const {
        return !positions.empty() && positions.back().second > 0 &&
               positions.back().first == positions.back().second;
    }

    // Answers by message id; questions not listed are answered Yes.
    std::map<int, bool> answers;
    // Called on every pump (e.g. to press Stop Import in the middle of a run).
    std::function<void()> onPump;

    std::vector<Message> messages;
    std::vector<std::pair<std::int64_t, std::int64_t>> positions;  // done, total
    std::vector<std::string> problems;  // newest first, as the form's list
    std::vector<bool> runningStates;
    Counters counters;
    int pumps = 0;

    bool saw(int id) const { return count(id) > 0; }
    int count(int id) const;
    std::vector<int> ids() const;
};

// One row of [QSO-TAB]: column name (without brackets) to value; NULL is
// std::nullopt. Long columns come back as their decimal text.
using QsoRowMap = std::map<std::string, std::optional<std::string>>;

// A small, realistic reference world: about forty countries with their
// prefixes, aliases, zones and country identifiers, a few call-map rows,
// the US states and a few counties.
ReferenceData SmallWorld();
// Writes the same world into a new SQLite reference database.
void WriteSmallWorld(const std::string& path);

// A temporary folder with host/refdata.sqlite (the small world) and a fresh
// target.sqlite, and a session over them with a recording host.
class ImportFixture {
  public:
    enum class Target { FromEnvironment, Jet3, Jet4 };
    explicit ImportFixture(Target target = Target::FromEnvironment);
    ~ImportFixture();

    TempDir dir;
    RecordingHost host;
    ApplicationPaths app;
    std::unique_ptr<ImportSession> session;

    std::string hostPath() const { return dir.file("host"); }
    // The target: target.sqlite, or with TVX_TEST_TARGET=jet3 or jet4 in
    // the environment a Jet file of that kind with the target's tables made
    // by the writer, so that the same tests run against the host program's
    // database.
    std::string targetPath() const { return target_; }
    bool jetTarget() const { return target_.ends_with(".mdb"); }
    // A Jet 3 target keeps text in code page 1252 only.
    bool jet3Target() const { return jet3_; }
    // Writes a source file into the folder and returns its path.
    std::string writeSource(const std::string& name, const std::string& bytes) const {
        return dir.write(name, bytes);
    }
    // Options as the form starts: Load All Records, operator N0CALL.
    ImportOptions options(int sourceType, const std::string& sourcePath) const;
    // Begin Import with the options.
    bool run(const ImportOptions& options);
    bool run(int sourceType, const std::string& sourcePath) {
        return run(options(sourceType, sourcePath));
    }

    // Every row of [QSO-TAB] in the order written.
    std::vector<QsoRowMap> rows();
    // The report file of the last run, lines without their CR LF.
    std::vector<std::string> reportLines() const;
    // Raw bytes of the report file.
    std::string reportBytes() const;
    // Sets a count column of [DXCCTAB] for a prefix (the row is created).
    void setStatistic(const std::string& prefix, const std::string& column,
                      const std::string& value);

  private:
    std::string target_;
    bool jet3_ = false;
};

// A Jet target at `path`: the shared Access 97 sample (Jet 3) or empty
// Access 2000 database (Jet 4) with the target's tables added. False when
// the shared files are not there.
bool MakeJetTarget(const std::string& path, bool jet3);

// Skips a test that looks into the target with SQL.
#define TVX_SQLITE_TARGET_ONLY(fixture)                                         \
    do {                                                                        \
        if ((fixture).jetTarget()) GTEST_SKIP() << "reads the target with SQL"; \
    } while (0)

// A source type's position in the table, by its command-line name.
int TypeOf(const std::string& cliName);

// An engine outside any run: an unopened target, no report file, the small
// reference world; for the reader and engine steps one at a time.
struct BareEngine {
    explicit BareEngine(int sourceType = 0);
    RecordingHost host;
    RunState state;
    ImportOptions options;
    ReferenceData reference;
    CImportSet target;
    CDxccSet statistics;
    ReportFile report;
    ImportEngine s;
    WorkingContact& c;
    AdifRecord adif;
};

}  // namespace tvx::test
