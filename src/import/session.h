#pragma once
// The import session: the form's options, the working contact, the counters,
// the report, the finishing steps every reader shares, and the run control.
// The Qt form and the command line each own one and talk to it through the
// host interface.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/reference.h"
#include "db/target.h"
#include "import/contact.h"
#include "import/host.h"
#include "import/messages.h"
#include "import/report.h"
#include "import/settings.h"
#include "resolve/resolve.h"

namespace tvx {

class ImportSession;
using ReaderFn = void (*)(ImportSession&);

// How a source is stored: what a source without records most likely means.
enum class SourceFormat { Adif, Text, Database };

// One source type: its position in the "Source Data Type" list, its list
// name, its file-dialog filter entry, its command-line name and its reader
// (nullptr while the reader is not part of this build).
struct SourceType {
    int index;
    const char* listName;
    const char* filterName;
    const char* filterPattern;
    const char* cliName;
    ReaderFn reader;
    int filterPosition;  // place of the entry in the file dialog's filter list
    SourceFormat format = SourceFormat::Database;
};

// Filter choices of "Band and Mode Filter Selection".
enum FilterChoice {
    kFilterNone = 0,
    kFilterAll = 1,
    kFilterNotConfirmed = 2,
    kFilterNotWorked = 3
};

// The values of the form's controls when Begin Import is pressed.
struct ImportOptions {
    int sourceType = -1;  // -1: nothing selected
    std::string sourcePath;
    std::string hostPath;  // "Tolvex 2007 Full Path"
    std::string defaultOprCall;
    std::string defaultNote;
    std::string defaultSpec1;
    std::string defaultSpec2;
    bool qslSentFromDate = false;
    int filter = kFilterAll;
    // "QSOs for these OPR Calls"
    std::vector<std::string> oprCalls;
};

// Readers' own state rules, run after a successful resolution.
using StateRule = std::function<void(ImportSession&, const ResolutionRecord&)>;

struct FinishRules {
    // Empty: no state rule. UsStateCheck() gives the common one.
    StateRule stateRule;
    // Most readers derive a WPX prefix when the source gave none.
    bool deriveWpx = true;
};

// The common state rule: a state of a "K" contact must be in the state table;
// otherwise "State?" is reported as a warning and the state emptied.
StateRule UsStateCheck();

class ImportSession : public WorkingContact {
  public:
    ImportSession(ImportHost& host, ApplicationPaths& app, std::vector<SourceType> types);
    ~ImportSession();
    ImportSession(const ImportSession&) = delete;
    ImportSession& operator=(const ImportSession&) = delete;

    // Opens the target named by the application paths (the form's initial
    // update). A failure leaves it closed; Begin Import then refuses with
    // 32780. Returns the engine's description of the failure, or "".
    std::string OpenTarget();
    void CloseTarget();

    // Begin Import: validates the options, runs the reader, finishes. False
    // when the options were refused (nothing ran).
    bool BeginImport(const ImportOptions& options);
    // Stop Import: the running reader asks 61447 at its next record.
    void StopImport() { m_bImporting = 0; }
    bool IsImporting() const { return m_bImporting != 0; }

    const std::vector<SourceType>& sourceTypes() const { return types_; }
    ImportHost& host() { return host_; }
    ApplicationPaths& app() { return app_; }
    const ImportOptions& options() const { return opt_; }
    const ReferenceData& reference() const { return *ref_; }
    // Tests and tools may give reference data instead of the host folder's.
    void SetReferenceOverride(std::shared_ptr<const ReferenceData> ref) { refOverride_ = ref; }
    CImportSet& target() { return importSet_; }
    Counters counters() const;

    // --- Shared steps for readers ---

    // Steps 2 to 5 of a record: ClearContact, pump, the abort question when
    // Stop was chosen, count the record read. False: leave the record loop.
    bool NextRecord();
    // Pump and the abort question only. False: leave the loop.
    bool PumpAndCheckAbort();
    // The reader's position in its source (bytes or rows) out of total; the
    // host hears of it at most every few milliseconds, and always of the end.
    void ReportPosition(std::int64_t done, std::int64_t total);
    void CountRecordRead();
    void CountRecordLoaded();
    void CountRecordIgnored();
    // A record left out by rule: it belongs to another of the user's stations.
    void CountOtherStationSkipped() { ++otherStationSkipped_; }

    // Reports m_strProblem with the working contact.
    void ReportProblem(ProblemKind kind);
    void ReportError(const std::string& problem);
    void ReportWarning(const std::string& problem);

    // Resolution with "Prefix?" reporting and the KH6/KL7 state correction.
    bool ResolveCallsign(ResolutionRecord& rec);
    int ApplyBandModeFilter(const ResolutionRecord& rec, int modeBase);
    int LookupStatistics(int column, const ResolutionRecord& rec);
    // 0 when the state exists, 1 when not.
    int LookupState(const std::string& abbreviation);
    // 1 when the county exists, 0 when not.
    int LookupCounty(const std::string& state, const std::string& county);
    bool WriteContact(const ResolutionRecord& rec);

    // Steps 8 to 11 of a record after the reader filled the contact and set
    // band and mode: resolution, state rule, WPX, filter, write or ignore,
    // samples, counters. Returns true when the contact was written.
    bool FinishContact(const FinishRules& rules);
    // Steps 10 and 11 alone (the filter and what follows), for readers that
    // resolve themselves.
    bool FilterAndWrite(const ResolutionRecord& rec);
    // The sample line of the "Do Not load any records" choice, when due.
    void ReportSampleIfDue();

    // Message boxes of the string table.
    void Notify(int messageId, MessageIcon icon);
    void NotifyText(int messageId, const std::string& text, MessageIcon icon);
    bool Ask(int messageId, MessageIcon icon);

    // --- The form's members that readers read ---
    std::string m_strProblem;
    int m_nSourceType = -1;
    int m_bImporting = 0;
    int m_nSamplesShown = 0;
    int m_nFilter = kFilterAll;
    std::string m_strHostPath, m_strSourcePath, m_strErrorFile;
    std::string m_strDefaultOprCall, m_strDefaultNote, m_strDefaultSpec1, m_strDefaultSpec2;
    int m_bQslSentFromDate = 0;
    int m_nRecordsRead = 0, m_nRecordsLoaded = 0, m_nRecordsIgnored = 0;
    int m_nErrors = 0, m_nWarnings = 0;
    // The ADIF reader's map from country identifier to prefix.
    std::unique_ptr<std::unordered_map<std::string, std::string>> m_pDxccPrefixMap;

  private:
    bool ValidateOptions(const ImportOptions& options);
    bool CreateReport(const std::string& refPath);
    void RunReader(ReaderFn reader);
    void CommitRun();
    void LoseBatch(const DbCommitError& e);
    void NoticeUnreadRecords();
    void PublishCounters();
    void WriteReportLine(const std::string& line);
    // Shows a reference table's error the first time a lookup meets it.
    void NoticeReferenceTable(const std::string& error, bool& shown);

    ImportHost& host_;
    ApplicationPaths& app_;
    std::vector<SourceType> types_;
    ImportOptions opt_;
    CImportSet importSet_;
    CDxccSet dxccSet_;
    std::shared_ptr<const ReferenceData> ref_;
    std::shared_ptr<const ReferenceData> refOverride_;
    ReportFile report_;
    bool running_ = false;
    // Per run: where the counters stood, what was told, what was skipped.
    int loadedAtStart_ = 0;
    int readAtStart_ = 0;
    bool messageShown_ = false;
    bool reportFailed_ = false;
    bool stateErrorShown_ = false;
    bool countyErrorShown_ = false;
    int otherStationSkipped_ = 0;
    std::chrono::steady_clock::time_point positionShown_{};
};

}  // namespace tvx
