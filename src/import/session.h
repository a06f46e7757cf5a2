#pragma once
// The run controller of the form and the command line: it keeps the options
// of Begin Import, the counters and the target, checks the options, loads
// the reference data, creates the report, runs the engine with the chosen
// source type's reader and says how the run ended. The Qt form and the
// command line each own one and talk to it through the host interface.

#include <memory>
#include <string>
#include <vector>

#include "db/reference.h"
#include "db/target.h"
#include "import/engine.h"
#include "import/host.h"
#include "import/report.h"
#include "import/settings.h"
#include "import/source_type.h"

namespace tvx {

class ImportSession {
  public:
    ImportSession(ImportHost& host, ApplicationPaths& app, std::vector<SourceType> types);
    ~ImportSession();
    ImportSession(const ImportSession&) = delete;
    ImportSession& operator=(const ImportSession&) = delete;

    // Opens the target named by the application paths (the form's initial
    // update). A failure leaves it closed; Begin Import then refuses.
    // Returns the engine's description of the failure, or "".
    std::string OpenTarget();
    void CloseTarget();

    // Begin Import: checks the options, runs the reader, finishes. False
    // when the options were refused (nothing ran).
    bool BeginImport(const ImportOptions& options);
    // Stop Import: the running reader asks whether to abort at its next record.
    void StopImport() { state_.reading = false; }
    // A run is going on: from the start of the reader to the end of the
    // run's closing steps.
    bool Running() const { return running_; }

    const std::vector<SourceType>& sourceTypes() const { return types_; }
    // The options of the last Begin Import, with the host path ending in a
    // separator and the operator call trimmed.
    const ImportOptions& options() const { return opt_; }
    // The report file of the last run.
    const std::string& errorFile() const { return errorFile_; }
    // Tests and tools may give reference data instead of the host folder's.
    void SetReferenceOverride(std::shared_ptr<const ReferenceData> ref) { refOverride_ = ref; }
    Counters counters() const { return state_.counters; }
    // The kind of the open target ("SQLite", "Jet 4 (Access 2000)"); empty
    // when none is open.
    std::string TargetKind() const {
        return importSet_ && importSet_->IsOpen() ? importSet_->KindName() : std::string();
    }

  private:
    class LazyStatistics;

    bool ValidateOptions(const ImportOptions& options);
    bool CheckSource();
    bool CheckHostPath();
    bool LoadReference(std::string& refPath);
    bool CreateReport(const std::string& refPath);
    void NoticeEndOfRun(const ImportEngine& engine, int readAtStart);
    void NoticeUnreadRecords(const ImportEngine& engine, int readAtStart);
    bool Ask(int messageId);
    bool Refuse(int messageId, MessageIcon icon);
    bool RefuseWith(int messageId, const std::string& text);

    ImportHost& host_;
    ApplicationPaths& app_;
    std::vector<SourceType> types_;
    ImportOptions opt_;
    RunState state_;
    std::unique_ptr<ImportTarget> importSet_;
    std::unique_ptr<LazyStatistics> statistics_;
    std::shared_ptr<const ReferenceData> ref_;
    std::shared_ptr<const ReferenceData> refOverride_;
    ReportFile report_;
    std::string errorFile_;
    bool running_ = false;
};

}  // namespace tvx
