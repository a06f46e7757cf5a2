#pragma once
// The import engine: one run of one reader, and the glue between the reader,
// the contact rules (rules.h) and the write pipeline (pipeline.h). Readers
// translate their source's records into the working contact and hand each
// on through ReaderSteps; the engine runs the record steps (clear, the
// message pump and the abort question, counting), the checks of the source
// type, the callsign resolution, the state rule, the WPX prefix, the filter,
// samples and the write, and tells the host of every outcome in record
// order.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "db/reference.h"
#include "db/target.h"
#include "import/contact.h"
#include "import/host.h"
#include "import/messages.h"
#include "import/options.h"
#include "import/pipeline.h"
#include "import/reader_steps.h"
#include "import/report.h"
#include "import/rules.h"
#include "import/source_type.h"
#include "resolve/resolve.h"

namespace tvx {

// What a run changes that outlives it: the counters add up over the runs of
// a form. `reading`: the reader goes on with its source; Stop Import clears
// it (the reader then asks whether to abort), and so does the reader's end.
struct RunState {
    Counters counters;
    bool reading = false;
};

// Where one run writes: the target, its statistics and the report.
struct RunOutputs {
    ContactTarget& target;
    ContactStatistics& statistics;
    ReportFile& report;
};

class ImportEngine final : public ReaderSteps, private WritePipeline::Listener {
  public:
    ImportEngine(ImportHost& host, RunState& state, const ImportOptions& options,
                 const SourceType& type, const ReferenceData& reference, RunOutputs outputs);
    ImportEngine(const ImportEngine&) = delete;
    ImportEngine& operator=(const ImportEngine&) = delete;

    // Runs the reader; a failure of the whole target or of the report ends
    // it with one stop message, and what was written is committed.
    void Run(ReaderFn reader);

    // --- What readers use ---

    WorkingContact& contact() override { return contact_; }
    const ImportOptions& options() const override { return options_; }
    const SourceType& sourceType() const override { return type_; }
    const ReferenceData& reference() const { return reference_; }

    bool NextRecord() override;
    bool PumpAndCheckAbort() override;
    void CountRecordRead() override;
    void ReportPosition(std::int64_t done, std::int64_t total) override;
    void StopReading() override { state_.reading = false; }
    bool Reading() const override { return state_.reading; }
    void ReportError(const std::string& problem) override;
    void ReportWarning(const std::string& problem) override;
    void Notify(int messageId, MessageIcon icon) override;
    void NotifyText(int messageId, const std::string& text, MessageIcon icon) override;
    int LookupCounty(const std::string& state, const std::string& county) override;
    std::unordered_map<std::string, std::string> PrefixesByDxccEntity() const override;
    void FinishRecord() override;

    // The checks of the ADIF family (RecordCheck::Adif). False when the
    // record is not to be loaded.
    bool CheckContact();
    // The contact is read and checked: resolution, the source type's state
    // rule, WPX, the filter, then the write (or, for a LoTW download, the
    // confirmation) or the count as ignored. Returns true when the contact
    // went to be written. Its count as loaded, or its report line when the
    // write fails, follows once the write is done, and every later line and
    // count waits for it, so that the report and the counters keep the
    // order of the records.
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
    using Step = WritePipeline::Step;
    // Outside a run, writes are made at once; a run writes on a thread.
    void StartPipeline(bool ownThread);
    // A step of the pipeline is done: the counters, the report and the form
    // hear of it.
    void Told(const Step& step, const std::exception_ptr& failure) override;
    // The pipeline's step for the working contact's write.
    Step WriteStep(std::string contact) const;
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
    bool StateKnown(const std::string& abbreviation);
    void Load(const ResolutionRecord& rec);

    ImportHost& host_;
    RunState& state_;
    const ImportOptions& options_;
    const SourceType& type_;
    const ReferenceData& reference_;
    RunOutputs out_;
    WorkingContact contact_;
    const ProblemSink report_;

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
    std::chrono::steady_clock::time_point lastTick_{};
    std::atomic<int> lotwConfirmed_{0};
    std::atomic<int> lotwAdded_{0};
    std::chrono::steady_clock::time_point positionShown_{};
    std::unique_ptr<WritePipeline> pipeline_;
};

}  // namespace tvx
