#include "import/engine.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "import/domain.h"
#include "util/file.h"

namespace tvx {

namespace {

// A line of the report could not be written: the run ends, since the report
// would no longer account for every record.
class ReportWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The contact of a row that is gone, as far as a report line shows it.
WorkingContact ContactOf(const QsoRow& row) {
    WorkingContact c;
    auto text = [&row](QsoCol col) {
        const QsoRow::Cell& cell = row.cell(col);
        if (!row.isSet(col) || cell.isNull) return std::string();
        return cell.isLong ? std::to_string(cell.number) : cell.text;
    };
    c.m_strCall = text(kQsoCall);
    c.m_strDate = text(kQsoDate);
    c.m_strTime = text(kQsoTime);
    c.m_strFreq = text(kQsoFreq);
    c.m_strBand = text(kQsoBand);
    c.m_strMode = text(kQsoMode);
    c.m_strRstSent = text(kQsoRsts);
    c.m_strRstRcvd = text(kQsoRstr);
    c.m_strState = text(kQsoState);
    c.m_strCounty = text(kQsoCounty);
    return c;
}

}  // namespace

ImportEngine::ImportEngine(ImportHost& host, RunState& state, const ImportOptions& options,
                           const SourceType& type, const ReferenceData& reference,
                           RunOutputs outputs)
    : host_(host),
      state_(state),
      options_(options),
      type_(type),
      reference_(reference),
      out_(outputs),
      report_(
          [this](ProblemKind kind, const std::string& problem) { ReportProblem(kind, problem); }),
      samplesShown_(options.filter == kFilterNone ? 0 : 99),
      loadedAtStart_(state.counters.recordsLoaded) {
    StartPipeline(false);
}

void ImportEngine::StartPipeline(bool ownThread) {
    pipeline_ = std::make_unique<WritePipeline>(
        out_.target, static_cast<WritePipeline::Listener&>(*this), ownThread);
}

void ImportEngine::Run(ReaderFn reader) {
    StartPipeline(true);
    // Engine errors that the lookups do not catch end the reader; what was
    // written so far stays and is committed.
    Guarded([&] { reader(*this); });
    // What was handed over is written and told, also after the report
    // failed (then every later line goes to the list alone).
    do {
        Guarded([&] { pipeline_->Drain(); });
    } while (!pipeline_->Idle());
    StartPipeline(false);
    CommitRun();
    out_.target.EndRun();
}

void ImportEngine::Guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const DbCommitError& e) {
        LoseBatch(e);
    } catch (const ReportWriteError& e) {
        NotifyText(kMsgReportWriteFailed,
                   MessageText(kMsgReportWriteFailed) + "\n" + out_.report.path() + ": " + e.what(),
                   MessageIcon::Stop);
    } catch (const std::exception& e) {
        NotifyEngineError(e);
    }
}

void ImportEngine::Told(const Step& step, const std::exception_ptr& failure) {
    Counters& n = state_.counters;
    switch (step.kind) {
        case Step::Kind::Ignored:
            ++n.recordsIgnored;
            Publish();
            return;
        case Step::Kind::Problem:
            if (step.problem == ProblemKind::Error) ++n.errors;
            if (step.problem == ProblemKind::Warning) ++n.warnings;
            if (step.problem != ProblemKind::Sample) Publish();
            AddProblemLine(step.text);
            return;
        case Step::Kind::Write:
            break;
    }
    if (!failure) {
        ++n.recordsLoaded;
        Publish();
        return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const DbError& e) {
        if (!dynamic_cast<const DbTargetError*>(&e)) {
            const auto* record = dynamic_cast<const RecordWriteError*>(&e);
            ++n.errors;
            Publish();
            AddProblemLine(FormatProblemLine(ProblemKind::Error, step.text + " " + e.what(),
                                             record ? record->contact() : step.contact));
            return;
        }
    } catch (...) {
    }
    // The whole target failed (a lock, a full disk, a read-only file): every
    // record would fail alike, so the run ends at this record with the
    // engine's message; the pipeline has dropped what came after it, and
    // what was read after it is left as unread.
    n.recordsRead = step.recordsRead;
    otherStationSkipped_ = step.otherStationSkipped;
    try {
        std::rethrow_exception(failure);
    } catch (const DbCommitError&) {
        // The commit before this record's write lost its batch: the record
        // itself was not saved either, and is named after the batch's rows.
        inHandNotSaved_ = step.contact;
    } catch (...) {
    }
    Publish();
    std::rethrow_exception(failure);
}

WritePipeline::Step ImportEngine::WriteStep(std::string contact) const {
    Step step;
    step.kind = Step::Kind::Write;
    step.text = contact_.m_strCall;
    step.contact = std::move(contact);
    step.recordsRead = state_.counters.recordsRead;
    step.otherStationSkipped = otherStationSkipped_;
    return step;
}

void ImportEngine::CommitRun() {
    try {
        out_.target.Commit();
    } catch (const DbCommitError& e) {
        LoseBatch(e);
    } catch (const DbError& e) {
        NotifyEngineError(e);
    }
}

void ImportEngine::NotifyEngineError(const std::exception& e) {
    NotifyText(kMsgEngineError, MessageText(kMsgEngineError) + ":\n" + e.what(), MessageIcon::Stop);
}

void ImportEngine::LoseBatch(const DbCommitError& e) {
    Counters& n = state_.counters;
    const std::optional<std::string> inHand = std::exchange(inHandNotSaved_, std::nullopt);
    const int lost = static_cast<int>(e.lost().size()) + (inHand ? 1 : 0);
    n.recordsLoaded -= static_cast<int>(e.lost().size());
    Publish();
    // Each is counted and listed even when the report can take no more
    // (the disk that lost the batch may hold the report too): the list then
    // holds the lines the report lacks, and the message below ends the run.
    const auto notSaved = [&](const std::string& line) {
        ++n.errors;
        try {
            AddProblemLine(line);
        } catch (const ReportWriteError&) {
        }
    };
    for (const QsoRow& row : e.lost()) {
        notSaved(FormatProblemLine(ProblemKind::Error, "Not saved by the target database",
                                   ContactOf(row)));
    }
    if (inHand) {
        notSaved(
            FormatProblemLine(ProblemKind::Error, "Not saved by the target database", *inHand));
    }
    Publish();
    NotifyText(kMsgCommitFailed,
               MessageText(kMsgCommitFailed) + "\n" +
                   std::to_string(n.recordsLoaded - loadedAtStart_) +
                   " contacts of this run were saved; the " + std::to_string(lost) +
                   " after them were not (each is in the error file).\n" + e.what(),
               MessageIcon::Stop);
}

void ImportEngine::Publish() {
    host_.countersChanged(state_.counters);
}

void ImportEngine::Notify(int messageId, MessageIcon icon) {
    // A file that cannot be opened is named, or the user is left guessing.
    if (messageId == kMsgSourceFileNotOpen && !options_.sourcePath.empty()) {
        // With the system's reason (no permission, too many open files).
        FileCheck why;
        const int fd = OpenRegularFile(options_.sourcePath, &why);
        if (fd >= 0) ::close(fd);
        const std::string problem =
            why.regular() ? options_.sourcePath : FileProblem(options_.sourcePath, why);
        NotifyText(messageId, MessageText(messageId) + ":\n" + problem, icon);
        return;
    }
    NotifyText(messageId, MessageText(messageId), icon);
}

void ImportEngine::NotifyText(int messageId, const std::string& text, MessageIcon icon) {
    messageShown_ = true;
    host_.notify(messageId, text, icon);
}

bool ImportEngine::PumpAndCheckAbort() {
    // The writes handed over since the last tick go now, however few: the
    // lines and counts of the records behind them wait for them, and must
    // reach the report and the form while the run goes on.
    constexpr auto kTickInterval = std::chrono::milliseconds(15);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ >= kTickInterval) {
        lastTick_ = now;
        pipeline_->Tick();
    }
    host_.pump();
    if (!state_.reading) {
        pipeline_->Seal();  // nothing waits while the question is open
        if (host_.ask(kMsgAbortQuestion, MessageText(kMsgAbortQuestion), MessageIcon::Exclamation))
            return false;
        state_.reading = true;
    }
    return true;
}

void ImportEngine::ReportPosition(std::int64_t done, std::int64_t total) {
    // Readers call this once per line or row; the display needs far less.
    constexpr auto kInterval = std::chrono::milliseconds(15);
    const bool end = total > 0 && done >= total;
    const auto now = std::chrono::steady_clock::now();
    if (!end && now - positionShown_ < kInterval) return;
    positionShown_ = now;
    host_.progressChanged(done, total);
}

bool ImportEngine::NextRecord() {
    contact_.ClearContact();
    if (!PumpAndCheckAbort()) return false;
    CountRecordRead();
    return true;
}

void ImportEngine::CountRecordRead() {
    ++state_.counters.recordsRead;
    Publish();
}

void ImportEngine::ReportProblem(ProblemKind kind, const std::string& problem) {
    Step step;
    step.problem = kind;
    step.text = FormatProblemLine(kind, problem, contact_);
    pipeline_->Add(std::move(step));
}

void ImportEngine::AddProblemLine(const std::string& line) {
    host_.problemAdded(line);
    if (out_.report.WriteLine(line) || reportFailed_) return;
    reportFailed_ = true;
    throw ReportWriteError(out_.report.error());
}

void ImportEngine::ReportError(const std::string& problem) {
    ReportProblem(ProblemKind::Error, problem);
}

void ImportEngine::ReportWarning(const std::string& problem) {
    ReportProblem(ProblemKind::Warning, problem);
}

void ImportEngine::ReportSampleIfDue() {
    if (options_.filter == kFilterNone && samplesShown_ < 15) {
        ++samplesShown_;
        ReportProblem(ProblemKind::Sample, "Sample");
    }
}

void ImportEngine::NoticeReferenceTable(const std::string& error, bool& shown) {
    if (error.empty() || shown) return;
    shown = true;
    NotifyText(kMsgReferenceTableError, MessageText(kMsgReferenceTableError) + "\n" + error,
               MessageIcon::Exclamation);
}

bool ImportEngine::StateKnown(const std::string& abbreviation) {
    NoticeReferenceTable(reference_.stateTableError(), stateErrorShown_);
    return reference_.hasState(abbreviation);
}

int ImportEngine::LookupCounty(const std::string& state, const std::string& county) {
    NoticeReferenceTable(reference_.countyTableError(), countyErrorShown_);
    // Reference data built from public country files has no counties at all;
    // judging every county unknown would strip them from every contact.
    if (!reference_.hasCounties()) return 1;
    return reference_.hasCounty(state, county) ? 1 : 0;
}

std::unordered_map<std::string, std::string> ImportEngine::PrefixesByDxccEntity() const {
    std::unordered_map<std::string, std::string> map;
    for (const CTvx95PrefixSet& row : reference_.prefixRows()) map[row.m_ARRL_ID] = row.m_PREFIX;
    return map;
}

bool ImportEngine::CheckContact() {
    switch (CheckAdifContact(contact_, options_, report_)) {
        case CheckVerdict::Load:
            return true;
        case CheckVerdict::Rejected:
            return false;
        case CheckVerdict::OtherStation:
            break;
    }
    // A download for another of the user's stations: left out, and counted
    // for the notice at the end of the run.
    const std::string& call = contact_.m_strOwnCall;
    ++otherStationSkipped_;
    if (std::find(otherStationCalls_.begin(), otherStationCalls_.end(), call) ==
        otherStationCalls_.end()) {
        otherStationCalls_.push_back(call);
    }
    return false;
}

void ImportEngine::FinishRecord() {
    switch (type_.recordCheck) {
        case RecordCheck::None:
            break;
        case RecordCheck::Adif:
            if (!CheckContact()) return;
            break;
        case RecordCheck::Table:
            if (CheckTableContact(contact_, report_) != CheckVerdict::Load) return;
            break;
    }
    FinishContact();
}

bool ImportEngine::FinishContact() {
    WorkingContact& c = contact_;
    std::string heldState;
    if (type_.stateRule == StateRule::TakenAfterResolution) {
        heldState = std::exchange(c.m_strState, std::string());
    }
    ResolutionRecord rec;
    const ResolveOutcome outcome =
        ResolveCallsignSteps(reference_, c.m_strCall, c.m_strDate, rec,
                             type_.prefixFromSource ? &c.m_strPrefix : nullptr);
    if (!outcome.found) {
        ReportError("Prefix?");
        return false;
    }
    ApplyStateRule(
        c, type_.stateRule, rec, outcome.usCall, std::move(heldState),
        [this](const std::string& abbreviation) { return StateKnown(abbreviation); }, report_);
    if (type_.derivesWpx && c.m_strWpx.empty()) c.m_strWpx = DeriveWpxPrefix(c.m_strCall);
    if (!PassesFilter(c, options_.filter, rec, out_.statistics, report_)) {
        Step ignored;
        ignored.kind = Step::Kind::Ignored;
        pipeline_->Add(std::move(ignored));
        ReportSampleIfDue();
        return false;
    }
    Load(rec);
    return true;
}

void ImportEngine::Load(const ResolutionRecord& rec) {
    if (!type_.lotwDownload) {
        std::unique_ptr<QsoRow> row = pipeline_->TakeRow();
        BuildQsoRow(contact_, options_, type_, rec, *row);
        Step step = WriteStep(ProblemLineContact(contact_));
        pipeline_->Append(std::move(row), std::move(step));
        return;
    }
    std::unique_ptr<TargetWriter::Job> job = pipeline_->TakeJob();
    if (!dynamic_cast<LotwJob*>(job.get())) job = std::make_unique<LotwJob>();
    LotwJob& lotw = static_cast<LotwJob&>(*job);
    lotw.confirmed = &lotwConfirmed_;
    lotw.added = &lotwAdded_;
    BuildLotwJob(contact_, options_, type_, rec, lotw);
    // A failure of the record names the contact through the job; a lost
    // commit before it, as read.
    Step step = WriteStep(lotw.asRead);
    pipeline_->RunJob(std::move(job), std::move(step));
}

}  // namespace tvx
