#pragma once
// The import engine: one run of one reader. Readers translate their source's
// records into the working contact and hand each over; the engine does the
// rest: the record steps (clear, the message pump and the abort question,
// counting), the checks and problem reports, the callsign resolution, the
// state rules, the WPX prefix, the band and mode filter, samples and the
// write to the target, a LoTW confirmation included.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "db/database.h"
#include "db/reference.h"
#include "db/target.h"
#include "db/target_writer.h"
#include "import/contact.h"
#include "import/host.h"
#include "import/messages.h"
#include "import/report.h"
#include "import/source_type.h"
#include "resolve/resolve.h"

namespace tvx {

// Reports "Mode?" for a record without a mode (its mode shows as "noMode")
// and returns false, for `return FailNoMode(engine);`.
bool FailNoMode(ImportEngine& engine);

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

// What a run changes that outlives it: the counters add up over the runs of
// a form, and Stop Import clears `importing` while a run goes on.
struct RunState {
    Counters counters;
    bool importing = false;
};

// Where one run writes: the target, its statistics and the report.
struct RunOutputs {
    ContactTarget& target;
    ContactStatistics& statistics;
    ReportFile& report;
};

class ImportEngine {
  public:
    ImportEngine(ImportHost& host, RunState& state, const ImportOptions& options,
                 const SourceType& type, const ReferenceData& reference, RunOutputs outputs);
    ImportEngine(const ImportEngine&) = delete;
    ImportEngine& operator=(const ImportEngine&) = delete;

    // Runs the reader; a failure of the whole target or of the report ends
    // it with one stop message, and what was written is committed.
    void Run(ReaderFn reader);

    // --- What readers use ---

    WorkingContact& contact() { return contact_; }
    const ImportOptions& options() const { return options_; }
    const SourceType& sourceType() const { return type_; }
    const ReferenceData& reference() const { return reference_; }
    const std::string& sourcePath() const { return options_.sourcePath; }

    // The record steps: clear the contact, pump, the abort question when Stop
    // was chosen, count the record read. False: leave the record loop.
    bool NextRecord();
    // Pump and the abort question only. False: leave the loop.
    bool PumpAndCheckAbort();
    // The record loop of a table: each row is a record. fill fills the
    // contact from the current row; false when the row failed a check (it
    // has been reported). A read error in the middle of the table passes to
    // Run, which shows it and keeps what was written.
    void ReadRows(TableCursor& rows, const std::function<bool()>& fill);
    // Counts a record read, for sources whose records span lines.
    void CountRecordRead();
    // The reader's position in its source (bytes or rows) out of total; the
    // host hears of it at most every few milliseconds, and always of the end.
    void ReportPosition(std::int64_t done, std::int64_t total);
    // The reader is done with its source (or gave up on it).
    void StopReading() { state_.importing = false; }
    bool Reading() const { return state_.importing; }

    // Reports a problem with the working contact as it stands.
    void ReportError(const std::string& problem);
    void ReportWarning(const std::string& problem);
    // Message boxes of the string table.
    void Notify(int messageId, MessageIcon icon);
    void NotifyText(int messageId, const std::string& text, MessageIcon icon);

    // The checks of the ADIF family: call, band, mode, date and time (errors),
    // end time and QSL dates (warnings), default reports, zones, the note,
    // value lengths, and a LoTW record of another of the user's stations
    // (left out and counted). False when the record is not to be loaded.
    bool CheckContact();
    // 1 when the county exists, 0 when not.
    int LookupCounty(const std::string& state, const std::string& county);

    // The contact is read: resolution, the source type's state rule, WPX,
    // the filter, then the write (or, for a LoTW download that matches a
    // contact in the target, the confirmation) or the count as ignored.
    // Returns true when the contact went to be written. The write is done on
    // a thread of its own: its count as loaded, or its report line when it
    // fails, follows when it is done, and every later line and count waits
    // for it, so that the report and the counters keep the order of the
    // records.
    bool FinishContact();

    // --- What the run controller reads after the run ---

    // A message box was shown during the run.
    bool MessageShown() const { return messageShown_; }
    // Records left out because they belong to another of the user's stations.
    int OtherStationSkipped() const { return otherStationSkipped_; }
    // Station calls of the records left out for their station call.
    const std::vector<std::string>& OtherStationCalls() const { return otherStationCalls_; }
    // A LoTW download: contacts confirmed, and contacts added for want of one
    // to confirm (as written; a lost batch is not taken off).
    int LotwConfirmed() const { return lotwConfirmed_; }
    int LotwAdded() const { return lotwAdded_; }

  private:
    // What a record brings to the counters and the report, held back while
    // writes given before it are not done.
    struct Outcome {
        enum class Kind { Write, Problem, Ignored };
        Kind kind = Kind::Problem;
        // Write: its ticket; else the last write given before it.
        std::uint64_t ticket = 0;
        ProblemKind problem = ProblemKind::Error;
        std::string text;  // Problem: the line; Write: the call
        // Write: the contact as a report line names it, and the records read
        // and left out when it was given: a run that ends at a write ends
        // at its record.
        std::string contact;
        int recordsRead = 0;
        int otherStationSkipped = 0;
    };
    // Tells the outcome now, or after the outcomes that wait.
    void Tell(Outcome outcome);
    // Tells the outcomes whose writes are done; with wait, all of them.
    void Settle(bool wait);
    void Emit(const Outcome& o, const std::exception_ptr& failure);
    // Gives the contact's row to the writer, to be appended.
    void GiveAppend(std::unique_ptr<QsoRow> row);
    // A LoTW record: the confirmation of the contact it matches, or its
    // append; the search sees every write given before it.
    void GiveLotwRecord(const ResolutionRecord& rec);
    // The write of the working contact has the ticket; contact names it in
    // a report line.
    void Given(std::uint64_t ticket, std::string contact);
    // Runs a step of the run; a failure of the target or of the report is
    // shown as the stop message that ends the run.
    void Guarded(const std::function<void()>& step);
    void Publish();
    void ReportProblem(ProblemKind kind, const std::string& problem);
    // The line goes to the form's list and to the report.
    void AddProblemLine(const std::string& line);
    void ReportSampleIfDue();
    void CommitRun();
    void NotifyEngineError(const std::exception& e);
    void LoseBatch(const DbCommitError& e);
    // Shows a reference table's error the first time a lookup meets it.
    void NoticeReferenceTable(const std::string& error, bool& shown);

    void ApplyStateRule(const ResolutionRecord& rec, bool usCall, std::string heldState);
    bool StateUnknown(const std::string& abbreviation);
    // A state the state table does not know is reported ("State?") and dropped.
    void DropUnknownState();
    bool PassesFilter(const ResolutionRecord& rec);
    int LookupStatistics(int column, const ResolutionRecord& rec);
    bool Load(const ResolutionRecord& rec);
    // The source left these to the form's defaults and the host's rules.
    void CompleteContact();
    void ContactRow(const ResolutionRecord& rec, QsoRow& row);

    ImportHost& host_;
    RunState& state_;
    const ImportOptions& options_;
    const SourceType& type_;
    const ReferenceData& reference_;
    RunOutputs out_;
    WorkingContact contact_;

    int samplesShown_;
    int loadedAtStart_;
    bool messageShown_ = false;
    bool reportFailed_ = false;
    bool stateErrorShown_ = false;
    bool countyErrorShown_ = false;
    int otherStationSkipped_ = 0;
    std::vector<std::string> otherStationCalls_;
    // The contact of the record whose write met a lost commit, for the lines
    // of the lost batch.
    std::optional<std::string> inHandNotSaved_;
    std::chrono::steady_clock::time_point lastSeal_{};
    std::atomic<int> lotwConfirmed_{0};
    std::atomic<int> lotwAdded_{0};
    std::chrono::steady_clock::time_point positionShown_{};
    // Outside a run, writes are made at once; a run writes on a thread.
    std::unique_ptr<TargetWriter> writer_;
    std::deque<Outcome> waiting_;
    std::uint64_t lastTicket_ = 0;
};

}  // namespace tvx
