#include "import/rules.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "import/domain.h"

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

// The source left these to the form's defaults and the host's rules.
void CompleteContact(WorkingContact& c, const ImportOptions& options) {
    if (c.m_strQslVia.empty()) c.m_strQslVia = kQslViaBureau;
    c.m_strNote = Trim(c.m_strNote);
    if (options.qslSentFromDate && c.m_strQslSentDate.empty()) c.m_strQslSentDate = c.m_strDate;
    if (c.m_strSpec1.empty() && !options.defaultSpec1.empty()) {
        c.m_strSpec1 = Trim(options.defaultSpec1);
    }
    if (c.m_strSpec2.empty() && !options.defaultSpec2.empty()) {
        c.m_strSpec2 = Trim(options.defaultSpec2);
    }
    c.m_strQslsStatus = QslSentStatus(c);
}

// A state the state table does not know is reported ("State?") and dropped.
void DropUnknownState(WorkingContact& c, const StateCheck& known, const ProblemSink& report) {
    std::string& state = c.m_strState;
    if (!state.empty() && !known(state)) {
        report(ProblemKind::Warning, "State?");
        state.clear();
    }
}

// A search of the target failed: no fault of the record, so the run ends
// with the engine's message.
class SearchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
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

}  // namespace

void LotwJob::Run(ContactTarget& target) {
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

CheckVerdict CheckAdifContact(WorkingContact& c, const ImportOptions& options,
                              const ProblemSink& report) {
    const auto reject = [&](const char* problem) {
        report(ProblemKind::Error, problem);
        return CheckVerdict::Rejected;
    };
    if (CharCount(c.m_strCall) < 2) return reject("Call?");
    if (c.m_strBand.empty()) {
        c.m_strBand = "noBand";
        return reject("Band?");
    }
    if (c.m_strMode.empty()) {
        c.m_strMode = "noMode";
        return reject("Mode?");
    }
    if (CheckDate(c.m_strDate)) return reject("Date?");
    if (!IsValidTime(c.m_strTime)) return reject("Time?");
    if (!c.m_strEndTime.empty() && !IsValidTime(c.m_strEndTime)) {
        report(ProblemKind::Warning, "Endtime?");
        c.m_strEndTime.clear();
    }
    c.FillDefaultReports();
    if (!c.m_strCqZone.empty() && !IsTwoDigitsInRange(c.m_strCqZone, 40)) c.m_strCqZone.clear();
    if (!c.m_strItuZone.empty() && !IsTwoDigitsInRange(c.m_strItuZone, 99)) {
        c.m_strItuZone.clear();
    }
    if (!c.m_strQslSentDate.empty() && CheckDate(c.m_strQslSentDate)) {
        report(ProblemKind::Warning, "SDate?");
        c.m_strQslSentDate.clear();
    }
    if (c.m_strQslSentDate.empty() && options.qslSentFromDate) c.m_strQslSentDate = c.m_strDate;
    if (!c.m_strQslRcvdDate.empty() && CheckDate(c.m_strQslRcvdDate)) {
        report(ProblemKind::Warning, "RDate?");
        c.m_strQslRcvdDate.clear();
    }
    if (!c.m_strOwnCall.empty()) {
        if (!IsListedOprCall(options.oprCalls, c.m_strOwnCall)) return CheckVerdict::OtherStation;
        c.m_strOprCall = c.m_strOwnCall;
    }
    ComposeNote(c, options.defaultNote);
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
    return CheckVerdict::Load;
}

CheckVerdict CheckTableContact(WorkingContact& c, const ProblemSink& report) {
    c.FillDefaultReports();
    if (!CheckDate(c.m_strDate)) return CheckVerdict::Load;
    report(ProblemKind::Error, "Date?");
    return CheckVerdict::Rejected;
}

void ApplyStateRule(WorkingContact& c, StateRule rule, const ResolutionRecord& rec, bool usCall,
                    std::string heldState, const StateCheck& known, const ProblemSink& report) {
    std::string& state = c.m_strState;
    const std::string_view islandState = StateOfPrefix(rec.prefix);
    switch (rule) {
        case StateRule::Adif:
            if (!IsStatePrefix(rec.prefix)) state.clear();
            if (state.empty()) state = islandState;
            if (state.empty() && !c.m_strSection.empty() && usCall) {
                state = Left(SectionToState(c.m_strSection), 2);
            }
            DropUnknownState(c, known, report);
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
    if (checked && rec.prefix == kMainlandPrefix) DropUnknownState(c, known, report);
}

bool PassesFilter(const WorkingContact& c, int filter, const ResolutionRecord& rec,
                  ContactStatistics& statistics, const ProblemSink& report) {
    const int offset = BandStatisticsOffset(LeadingInt(c.m_strBand));
    if (offset < 0) return false;
    if (filter == kFilterNone) return false;
    if (filter == kFilterAll) return true;
    const int column =
        StatisticsModeColumn(c.m_strMode) + offset + (filter == kFilterNotWorked ? 1 : 0);
    const std::vector<std::string>* row = statistics.Row(rec.prefix);
    if (row == nullptr) {
        report(ProblemKind::Warning, "Prefix not in Statistic Database?");
        return false;
    }
    // A column the row lacks counts as not yet worked or confirmed.
    if (column < 0 || column >= static_cast<int>(row->size())) return true;
    return LeadingInt((*row)[column]) <= 0;
}

void BuildQsoRow(WorkingContact& c, const ImportOptions& options, const SourceType& type,
                 const ResolutionRecord& rec, QsoRow& row) {
    CompleteContact(c, options);
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
    SetText(row, kQsoOprCall, c.m_strOprCall.empty() ? options.defaultOprCall : c.m_strOprCall);

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
    if (type.lotwDownload) {
        confirm = "2";
    } else if (!c.m_strConfirm.empty()) {
        confirm = c.m_strConfirm;
    }
    SetText(row, kQsoConfirm, confirm);
    if (type.lotwDownload) {
        SetTextOrNull(row, kQsoLotwRec, c.m_strQslRcvdDate);
    } else {
        SetTextOrNull(row, kQsoQslrDate, c.m_strQslRcvdDate);
        SetTextOrNull(row, kQsoLotwRec, c.m_strLotwRcvdDate);
    }
    SetOptionalColumns(row, c);
}

void BuildLotwJob(WorkingContact& c, const ImportOptions& options, const SourceType& type,
                  const ResolutionRecord& rec, LotwJob& r) {
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
    if (c.m_strSpec1.empty()) c.m_strSpec1 = Trim(options.defaultSpec1);
    SetIfNotEmpty(row, kQsoSpec1, c.m_strSpec1);
    if (c.m_strSpec2.empty()) c.m_strSpec2 = Trim(options.defaultSpec2);
    SetIfNotEmpty(row, kQsoSpec2, c.m_strSpec2);
    SetIfNotEmpty(row, kQsoLotwRec, c.m_strQslRcvdDate);
    // Added when nothing matches, then with the seconds as "00".
    r.secondsZero.clear();
    if (c.m_strTime.size() == 6) {
        c.m_strTime.replace(4, 2, "00");
        r.secondsZero = ProblemLineContact(c);
    }
    BuildQsoRow(c, options, type, rec, r.contact);
}

}  // namespace tvx
