#include "import/engine.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "import/domain.h"
#include "util/file.h"

namespace tvx {

namespace {

// Every text column of the host database holds at most 255 characters.
constexpr std::size_t kTextWidth = 255;

// The value cut to the column's width: itself, or its cut copy in `cut`.
std::string_view Fit(const std::string& value, std::string& cut) {
    // A character takes at least one byte: a short text needs no counting.
    if (value.size() <= kTextWidth || CharCount(value) <= kTextWidth) return value;
    cut = CutToWidth(value, kTextWidth);
    return cut;
}

// A line of the report could not be written: the run ends, since the report
// would no longer account for every record.
class ReportWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A search of the target failed: no fault of the record, so the run ends
// with the engine's message.
class SearchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A write of one record failed; the report line names the contact as it was
// when the write was given.
class RecordWriteError : public DbError {
  public:
    RecordWriteError(const DbError& cause, std::string contact)
        : DbError(cause.what(), cause.code()), contact_(std::move(contact)) {}
    const std::string& contact() const { return contact_; }

  private:
    std::string contact_;
};

// A LoTW record as the writer needs it: the contact it may confirm, the
// columns a confirmation sets (the confirmation itself depends on the
// stored row), and the row added when no contact matches.
struct LotwRecord : TargetWriter::Job {
    QsoKey key;
    QsoRow confirmation;
    QsoRow contact;
    // The contact as a report line names it, with the time as read and
    // with the seconds as "00" ("" when the time has no seconds).
    std::string asRead, secondsZero;
    // The engine's counts of confirmed and added contacts (written on the
    // writer's thread, read after the run).
    std::atomic<int>* confirmed = nullptr;
    std::atomic<int>* added = nullptr;

    void Run(ContactTarget& target) override;
};

// What a LoTW confirmation makes of the stored confirmation: worked or a
// paper QSL becomes confirmed by LoTW as well. Other values stay.
std::optional<std::string> LotwConfirmation(const std::string& stored) {
    switch (LeadingInt(stored)) {
        case 0:
        case 2:
            return "2";
        case 1:
        case 3:
            return "3";
        default:
            return std::nullopt;
    }
}

// On the writer: the record confirms the oldest contact with its key, else
// the oldest with the seconds of the time as "00" (LoTW keeps the seconds
// that many logs never had), else it is added with those.
void LotwRecord::Run(ContactTarget& target) {
    std::optional<std::int64_t> found;
    bool secondsDropped = false;
    try {
        found = target.FindContact(key);
        if (!found && !secondsZero.empty()) {
            key.time.replace(4, 2, "00");
            secondsDropped = true;
            found = target.FindContact(key);
        }
    } catch (const DbTargetError&) {
        throw;
    } catch (const DbError& e) {
        throw SearchError(e.what());
    }
    try {
        if (found) {
            const auto confirm = LotwConfirmation(target.ReadText(*found, kQsoConfirm));
            if (confirm) confirmation.setText(kQsoConfirm, *confirm);
            target.Update(*found, confirmation);
            ++*confirmed;
        } else {
            target.AddNew(contact);
            ++*added;
        }
    } catch (const DbTargetError&) {
        throw;
    } catch (const DbError& e) {
        throw RecordWriteError(e, secondsDropped ? secondsZero : asRead);
    }
}

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

bool IsTwoDigitsInRange(const std::string& zone, int highest) {
    if (zone.size() != 2 || !std::isdigit(static_cast<unsigned char>(zone[0])) ||
        !std::isdigit(static_cast<unsigned char>(zone[1]))) {
        return false;
    }
    const int value = (zone[0] - '0') * 10 + (zone[1] - '0');
    return value >= 1 && value <= highest;
}

bool IsListedOprCall(const std::vector<std::string>& oprCalls, const std::string& call) {
    for (const std::string& entry : oprCalls) {
        if (entry.size() >= call.size() && EqualsNoCase(entry.substr(0, call.size()), call)) {
            return true;
        }
    }
    return false;
}

void SetIfNotEmpty(QsoRow& row, QsoCol col, const std::string& value) {
    if (!value.empty()) row.setText(col, value);
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
      samplesShown_(options.filter == kFilterNone ? 0 : 99),
      loadedAtStart_(state.counters.recordsLoaded),
      writer_(std::make_unique<TargetWriter>(outputs.target, false)) {}

void ImportEngine::Run(ReaderFn reader) {
    writer_ = std::make_unique<TargetWriter>(out_.target);
    // Engine errors that the lookups do not catch end the reader; what was
    // written so far stays and is committed.
    Guarded([&] { reader(*this); });
    // What was given is written and told, also after the report failed
    // (then every later line goes to the list alone).
    do {
        Guarded([&] { Settle(true); });
    } while (!waiting_.empty());
    writer_ = std::make_unique<TargetWriter>(out_.target, false);
    lastTicket_ = 0;
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

void ImportEngine::Tell(Outcome outcome) {
    if (outcome.kind != Outcome::Kind::Write) outcome.ticket = lastTicket_;
    waiting_.push_back(std::move(outcome));
    // Bounded, in case the writes wait for more to come while many records
    // are told without one.
    constexpr std::size_t kMostWaiting = 4096;
    Settle(waiting_.size() >= kMostWaiting);
}

void ImportEngine::Settle(bool wait) {
    if (wait) writer_->Settle();
    const std::uint64_t done = writer_->Done();
    while (!waiting_.empty() && waiting_.front().ticket <= done) {
        const Outcome o = std::move(waiting_.front());
        waiting_.pop_front();
        Emit(o, o.kind == Outcome::Kind::Write ? writer_->FailureOf(o.ticket) : nullptr);
    }
}

void ImportEngine::Emit(const Outcome& o, const std::exception_ptr& failure) {
    Counters& n = state_.counters;
    switch (o.kind) {
        case Outcome::Kind::Ignored:
            ++n.recordsIgnored;
            Publish();
            return;
        case Outcome::Kind::Problem:
            if (o.problem == ProblemKind::Error) ++n.errors;
            if (o.problem == ProblemKind::Warning) ++n.warnings;
            if (o.problem != ProblemKind::Sample) Publish();
            AddProblemLine(o.text);
            return;
        case Outcome::Kind::Write:
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
            AddProblemLine(FormatProblemLine(ProblemKind::Error, o.text + " " + e.what(),
                                             record ? record->contact() : o.contact));
            return;
        }
    } catch (...) {
    }
    // The whole target failed (a lock, a full disk, a read-only file): every
    // record would fail alike, so the run ends at this record with the
    // engine's message; what was read after it is left as unread.
    waiting_.clear();
    n.recordsRead = o.recordsRead;
    otherStationSkipped_ = o.otherStationSkipped;
    try {
        std::rethrow_exception(failure);
    } catch (const DbCommitError&) {
        // The commit before this record's write lost its batch: the record
        // itself was not saved either, and is named after the batch's rows.
        inHandNotSaved_ = o.contact;
    } catch (...) {
    }
    Publish();
    std::rethrow_exception(failure);
}

void ImportEngine::GiveAppend(std::unique_ptr<QsoRow> row) {
    std::string contact = ProblemLineContact(contact_);
    Given(writer_->Give(std::move(row)), std::move(contact));
}

void ImportEngine::Given(std::uint64_t ticket, std::string contact) {
    Outcome o;
    o.kind = Outcome::Kind::Write;
    o.ticket = lastTicket_ = ticket;
    o.text = contact_.m_strCall;
    o.contact = std::move(contact);
    o.recordsRead = state_.counters.recordsRead;
    o.otherStationSkipped = otherStationSkipped_;
    Tell(std::move(o));
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
    // The writes given since the last tick go now, however few: the lines
    // and counts of the records behind them wait for them, and must reach
    // the report and the form while the run goes on.
    constexpr auto kSealInterval = std::chrono::milliseconds(15);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSeal_ >= kSealInterval) {
        lastSeal_ = now;
        writer_->Seal();
    }
    host_.pump();
    if (!state_.importing) {
        writer_->Seal();  // nothing waits while the question is open
        if (host_.ask(kMsgAbortQuestion, MessageText(kMsgAbortQuestion), MessageIcon::Exclamation))
            return false;
        state_.importing = true;
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

void ImportEngine::ReadRows(TableCursor& rows, const std::function<bool()>& fill) {
    const std::int64_t total = rows.rowCount();
    std::int64_t done = 0;
    while (rows.next()) {
        ReportPosition(++done, total);
        if (!NextRecord()) return;
        if (fill()) FinishContact();
    }
    // Deleted rows are counted in the total but never read.
    ReportPosition(total, total);
    StopReading();
}

void ImportEngine::CountRecordRead() {
    ++state_.counters.recordsRead;
    Publish();
}

void ImportEngine::ReportProblem(ProblemKind kind, const std::string& problem) {
    Outcome o;
    o.problem = kind;
    o.text = FormatProblemLine(kind, problem, contact_);
    Tell(std::move(o));
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

bool ImportEngine::StateUnknown(const std::string& abbreviation) {
    NoticeReferenceTable(reference_.stateTableError(), stateErrorShown_);
    return !reference_.hasState(abbreviation);
}

int ImportEngine::LookupCounty(const std::string& state, const std::string& county) {
    NoticeReferenceTable(reference_.countyTableError(), countyErrorShown_);
    // Reference data built from public country files has no counties at all;
    // judging every county unknown would strip them from every contact.
    if (!reference_.hasCounties()) return 1;
    return reference_.hasCounty(state, county) ? 1 : 0;
}

bool ImportEngine::CheckContact() {
    WorkingContact& c = contact_;
    if (CharCount(c.m_strCall) < 2) {
        ReportError("Call?");
        return false;
    }
    if (c.m_strBand.empty()) {
        c.m_strBand = "noBand";
        ReportError("Band?");
        return false;
    }
    if (c.m_strMode.empty()) return FailNoMode(*this);
    if (CheckDate(c.m_strDate)) {
        ReportError("Date?");
        return false;
    }
    if (!IsValidTime(c.m_strTime)) {
        ReportError("Time?");
        return false;
    }
    if (!c.m_strEndTime.empty() && !IsValidTime(c.m_strEndTime)) {
        ReportWarning("Endtime?");
        c.m_strEndTime.clear();
    }
    c.FillDefaultReports();
    if (!c.m_strCqZone.empty() && !IsTwoDigitsInRange(c.m_strCqZone, 40)) c.m_strCqZone.clear();
    if (!c.m_strItuZone.empty() && !IsTwoDigitsInRange(c.m_strItuZone, 99)) {
        c.m_strItuZone.clear();
    }
    if (!c.m_strQslSentDate.empty() && CheckDate(c.m_strQslSentDate)) {
        ReportWarning("SDate?");
        c.m_strQslSentDate.clear();
    }
    if (c.m_strQslSentDate.empty() && options_.qslSentFromDate) c.m_strQslSentDate = c.m_strDate;
    if (!c.m_strQslRcvdDate.empty() && CheckDate(c.m_strQslRcvdDate)) {
        ReportWarning("RDate?");
        c.m_strQslRcvdDate.clear();
    }
    if (!c.m_strOwnCall.empty()) {
        // A download for another of the user's stations: left out, and
        // counted for the notice at the end of the run.
        if (!IsListedOprCall(options_.oprCalls, c.m_strOwnCall)) {
            ++otherStationSkipped_;
            if (std::find(otherStationCalls_.begin(), otherStationCalls_.end(), c.m_strOwnCall) ==
                otherStationCalls_.end()) {
                otherStationCalls_.push_back(c.m_strOwnCall);
            }
            return false;
        }
        c.m_strOprCall = c.m_strOwnCall;
    }
    ComposeNote(c, options_.defaultNote);
    c.m_strName = CutToWidth(c.m_strName, 15);
    c.m_strQth = CutToWidth(c.m_strQth, 25);
    c.m_strSpec1 = CutToWidth(c.m_strSpec1, 25);
    c.m_strSpec2 = CutToWidth(c.m_strSpec2, 25);
    // Without a prefix from the file the country is not known yet: judging
    // the empty prefix here would drop the state of every US contact, so the
    // resolved prefix decides after resolution.
    if (!c.m_strState.empty() && !c.m_strPrefix.empty() && !IsStatePrefix(c.m_strPrefix)) {
        c.m_strState.clear();
    }
    return true;
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
    ApplyStateRule(rec, outcome.usCall, std::move(heldState));
    if (type_.derivesWpx && c.m_strWpx.empty()) c.m_strWpx = DeriveWpxPrefix(c.m_strCall);
    if (!PassesFilter(rec)) {
        Outcome ignored;
        ignored.kind = Outcome::Kind::Ignored;
        Tell(std::move(ignored));
        ReportSampleIfDue();
        return false;
    }
    return Load(rec);
}

void ImportEngine::ApplyStateRule(const ResolutionRecord& rec, bool usCall, std::string heldState) {
    std::string& state = contact_.m_strState;
    const std::string_view islandState = StateOfPrefix(rec.prefix);
    const StateRule rule = type_.stateRule;
    switch (rule) {
        case StateRule::Adif:
            if (!IsStatePrefix(rec.prefix)) state.clear();
            if (state.empty()) state = islandState;
            if (state.empty() && !contact_.m_strSection.empty() && usCall) {
                state = Left(SectionToState(contact_.m_strSection), 2);
            }
            DropUnknownState();
            return;
        case StateRule::TakenAfterResolution:
            state = islandState.empty() ? std::move(heldState) : std::string(islandState);
            break;
        case StateRule::AsRead:
        case StateRule::StatePrefixesOnly:
        case StateRule::StatePrefixesChecked:
            if (!islandState.empty()) state = islandState;
            if (rule != StateRule::AsRead && !IsStatePrefix(rec.prefix)) state.clear();
            break;
    }
    const bool checked =
        rule == StateRule::StatePrefixesChecked || rule == StateRule::TakenAfterResolution;
    if (checked && rec.prefix == kMainlandPrefix) DropUnknownState();
}

void ImportEngine::DropUnknownState() {
    std::string& state = contact_.m_strState;
    if (!state.empty() && StateUnknown(state)) {
        ReportWarning("State?");
        state.clear();
    }
}

bool ImportEngine::PassesFilter(const ResolutionRecord& rec) {
    const int offset = BandStatisticsOffset(LeadingInt(contact_.m_strBand));
    if (offset < 0) return false;
    if (options_.filter == kFilterNone) return false;
    if (options_.filter == kFilterAll) return true;
    const int column = StatisticsModeColumn(contact_.m_strMode) + offset +
                       (options_.filter == kFilterNotWorked ? 1 : 0);
    return LookupStatistics(column, rec) != 0;
}

int ImportEngine::LookupStatistics(int column, const ResolutionRecord& rec) {
    const std::vector<std::string>* row = out_.statistics.Row(rec.prefix);
    if (row == nullptr) {
        ReportWarning("Prefix not in Statistic Database?");
        return 0;
    }
    if (column < 0 || column >= static_cast<int>(row->size())) return 1;
    return LeadingInt((*row)[column]) > 0 ? 0 : 1;
}

bool ImportEngine::Load(const ResolutionRecord& rec) {
    if (type_.lotwDownload) {
        GiveLotwRecord(rec);
    } else {
        std::unique_ptr<QsoRow> row = writer_->TakeRow();
        ContactRow(rec, *row);
        GiveAppend(std::move(row));
    }
    return true;
}

namespace {

// Text cut to the column's width; the optional columns take NULL for "".
void SetText(QsoRow& row, QsoCol col, const std::string& value) {
    std::string cut;
    row.setText(col, Fit(value, cut));
}

void SetTextOrNull(QsoRow& row, QsoCol col, const std::string& value) {
    std::string cut;
    row.setTextOrNull(col, Fit(value, cut));
}

// The columns a contact may leave empty.
void SetOptionalColumns(QsoRow& row, const WorkingContact& c) {
    const std::pair<QsoCol, const std::string*> columns[] = {
        {kQsoEndTime, &c.m_strEndTime},
        {kQsoFreq, &c.m_strFreq},
        {kQsoState, &c.m_strState},
        {kQsoGrid, &c.m_strGrid},
        {kQsoQslSent, &c.m_strQslSentDate},
        {kQsoIota, &c.m_strIota},
        {kQsoCounty, &c.m_strCounty},
        {kQsoTenTen, &c.m_strTenTen},
        {kQsoWpx, &c.m_strWpx},
        {kQsoName, &c.m_strName},
        {kQsoQth, &c.m_strQth},
        {kQsoSpec1, &c.m_strSpec1},
        {kQsoSpec2, &c.m_strSpec2},
        {kQsoPower, &c.m_strPower},
        {kQsoSatMode, &c.m_strSatMode},
        {kQsoQslNumber, &c.m_strQslNumber},
        {kQsoSubmode, &c.m_strSubmode},
    };
    for (const auto& [col, value] : columns) SetTextOrNull(row, col, *value);
}

// The QSL-sent status: the source's own, with "sent" added when the contact
// says the card went out.
std::string QslSentStatus(const WorkingContact& c) {
    std::string status = c.m_strQslsStatus;
    if (status.empty()) return c.m_bQslSent == 1 ? "1" : "0";
    if (c.m_bQslSent == 1) {
        if (status[0] == '0')
            status[0] = '1';
        else if (status[0] == '2')
            status[0] = '3';
    }
    return status;
}

}  // namespace

void ImportEngine::CompleteContact() {
    WorkingContact& c = contact_;
    if (c.m_strQslVia.empty()) c.m_strQslVia = kQslViaBureau;
    c.m_strNote = Trim(c.m_strNote);
    if (options_.qslSentFromDate && c.m_strQslSentDate.empty()) c.m_strQslSentDate = c.m_strDate;
    if (c.m_strSpec1.empty() && !options_.defaultSpec1.empty()) {
        c.m_strSpec1 = Trim(options_.defaultSpec1);
    }
    if (c.m_strSpec2.empty() && !options_.defaultSpec2.empty()) {
        c.m_strSpec2 = Trim(options_.defaultSpec2);
    }
    c.m_strQslsStatus = QslSentStatus(c);
}

void ImportEngine::ContactRow(const ResolutionRecord& rec, QsoRow& row) {
    CompleteContact();
    const WorkingContact& c = contact_;
    row.clear();
    const std::pair<QsoCol, const std::string*> required[] = {
        {kQsoDate, &c.m_strDate},         {kQsoTime, &c.m_strTime},
        {kQsoCall, &c.m_strCall},         {kQsoBand, &c.m_strBand},
        {kQsoRstr, &c.m_strRstRcvd},      {kQsoRsts, &c.m_strRstSent},
        {kQsoMgrNumb, &c.m_strMgrNumber}, {kQsoMode, &c.m_strMode},
        {kQsoQslVia, &c.m_strQslVia},     {kQsoNote, &c.m_strNote},
        {kQsoQsls, &c.m_strQslsStatus},
    };
    for (const auto& [col, value] : required) SetText(row, col, *value);
    // The source's own country and zones win over the resolution's.
    SetText(row, kQsoPrefix, c.m_strPrefix.empty() ? rec.prefix : c.m_strPrefix);
    SetText(row, kQsoCqZone, c.m_strCqZone.empty() ? rec.cqZone : c.m_strCqZone);
    SetText(row, kQsoItuZone, c.m_strItuZone.empty() ? rec.ituZone : c.m_strItuZone);
    SetText(row, kQsoSat, c.m_strSatName.empty() ? std::string("None") : c.m_strSatName);
    SetText(row, kQsoOprCall, c.m_strOprCall.empty() ? options_.defaultOprCall : c.m_strOprCall);

    int valid = c.m_nValid;
    if (valid == -1) valid = (c.m_strMode == "2" && IsYearBefore1975(c.m_strDate)) ? 1 : 3;
    row.setLong(kQsoValid, valid);
    row.setLong(kQsoSelect, c.m_nSelect);
    row.setLong(kQsoAward, c.m_nAward);
    row.setLong(kQsoCategory, (c.m_bYL ? 1 : 0) + (c.m_bQRP ? 2 : 0) + (c.m_bUser1 ? 4 : 0) +
                                  (c.m_bUser2 ? 8 : 0));

    // A LoTW download confirms what it brings, and its received date is the
    // LoTW date.
    std::string confirm = c.m_nConfirmed == 1 ? "1" : "0";
    if (type_.lotwDownload) {
        confirm = "2";
    } else if (!c.m_strConfirm.empty()) {
        confirm = c.m_strConfirm;
    }
    SetText(row, kQsoConfirm, confirm);
    if (type_.lotwDownload) {
        SetTextOrNull(row, kQsoLotwRec, c.m_strQslRcvdDate);
    } else {
        SetTextOrNull(row, kQsoQslrDate, c.m_strQslRcvdDate);
        SetTextOrNull(row, kQsoLotwRec, c.m_strLotwRcvdDate);
    }
    SetOptionalColumns(row, c);
}

void ImportEngine::GiveLotwRecord(const ResolutionRecord& rec) {
    WorkingContact& c = contact_;
    std::unique_ptr<TargetWriter::Job> job = writer_->TakeJob();
    if (!dynamic_cast<LotwRecord*>(job.get())) job = std::make_unique<LotwRecord>();
    LotwRecord& r = static_cast<LotwRecord&>(*job);
    r.confirmed = &lotwConfirmed_;
    r.added = &lotwAdded_;
    r.key.call.assign(c.m_strCall);
    r.key.date.assign(c.m_strDate);
    r.key.time.assign(c.m_strTime);
    r.key.mode.assign(c.m_strMode);
    r.key.band.assign(c.m_strBand);
    r.asRead = ProblemLineContact(c);
    QsoRow& row = r.confirmation;
    row.clear();
    if (!c.m_strPrefix.empty()) row.setText(kQsoPrefix, c.m_strPrefix);
    SetIfNotEmpty(row, kQsoCounty, c.m_strCounty);
    SetIfNotEmpty(row, kQsoCqZone, c.m_strCqZone);
    SetIfNotEmpty(row, kQsoItuZone, c.m_strItuZone);
    SetIfNotEmpty(row, kQsoState, c.m_strState);
    SetIfNotEmpty(row, kQsoName, c.m_strName);
    SetIfNotEmpty(row, kQsoQth, c.m_strQth);
    SetIfNotEmpty(row, kQsoIota, c.m_strIota);
    SetIfNotEmpty(row, kQsoGrid, c.m_strGrid);
    SetIfNotEmpty(row, kQsoTenTen, c.m_strTenTen);
    if (c.m_strSpec1.empty()) c.m_strSpec1 = Trim(options_.defaultSpec1);
    SetIfNotEmpty(row, kQsoSpec1, c.m_strSpec1);
    if (c.m_strSpec2.empty()) c.m_strSpec2 = Trim(options_.defaultSpec2);
    SetIfNotEmpty(row, kQsoSpec2, c.m_strSpec2);
    SetIfNotEmpty(row, kQsoLotwRec, c.m_strQslRcvdDate);
    // Added when nothing matches, then with the seconds as "00".
    r.secondsZero.clear();
    if (c.m_strTime.size() == 6) {
        c.m_strTime.replace(4, 2, "00");
        r.secondsZero = ProblemLineContact(c);
    }
    ContactRow(rec, r.contact);
    // A failure of the record names the contact through the job; a lost
    // commit before it, as read.
    std::string asRead = r.asRead;
    Given(writer_->Give(std::move(job)), std::move(asRead));
}

bool FailNoMode(ImportEngine& engine) {
    engine.contact().m_strMode = "noMode";
    engine.ReportError("Mode?");
    return false;
}

}  // namespace tvx
