#include "import/session.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "import/source_types.h"
#include "util/file.h"

namespace tvx {

namespace {

// Every text column of the host database holds at most 255 characters.
constexpr std::size_t kTextWidth = 255;

std::string Fit(const std::string& value) {
    return CharCount(value) > kTextWidth ? Left(value, kTextWidth) : value;
}

// Band code to its offset inside a mode group of the statistics table.
int BandOffset(long code) {
    switch (code) {
        case 10:
            return 0;
        case 9:
            return 2;
        case 23:
            return 4;
        case 8:
            return 6;
        case 7:
            return 8;
        case 6:
            return 10;
        case 5:
            return 12;
        case 4:
            return 14;
        case 3:
            return 16;
        case 2:
            return 18;
        case 1:
            return 20;
        case 22:
            return 22;
        case 0:
            return 24;
        case 11:
            return 26;
        case 12:
            return 28;
        case 13:
            return 30;
        case 14:
            return 32;
        case 15:
            return 34;
        case 16:
            return 36;
        case 17:
            return 38;
        case 18:
            return 40;
        case 19:
            return 42;
        case 20:
            return 44;
        case 21:
            return 46;
        default:
            return -1;
    }
}

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
        if (!cell.set || cell.isNull) return std::string();
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

// Why a source with content gave no record, as far as its first bytes tell.
std::string LikelyReasonForNoRecords(const std::string& path, SourceFormat format) {
    std::ifstream in(path, std::ios::binary);
    std::string head(64 * 1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (head.empty()) return {};
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF") ||
        head.find('\0') != std::string::npos) {
        return "It looks like UTF-16 text: save it as 8-bit or UTF-8 text and import it again.";
    }
    if (head.find('\r') != std::string::npos && head.find('\n') == std::string::npos) {
        return "Its lines end in a carriage return alone: convert the line ends and import it "
               "again.";
    }
    // The reader knows the end of the header in these two spellings only.
    if (format == SourceFormat::Adif && !head.starts_with('<') &&
        head.find("<EOH>") == std::string::npos && head.find("<eoh>") == std::string::npos) {
        return "No end of the header (<EOH>) was found, so the whole file was read as its "
               "header.";
    }
    return "Check that the chosen source type matches the file.";
}

}  // namespace

StateRule UsStateCheck() {
    return [](ImportSession& s, const ResolutionRecord& rec) {
        if (rec.prefix == "K" && !s.m_strState.empty() && s.LookupState(s.m_strState) == 1) {
            s.ReportWarning("State?");
            s.m_strState.clear();
        }
    };
}

ImportSession::ImportSession(ImportHost& host, ApplicationPaths& app, std::vector<SourceType> types)
    : host_(host), app_(app), types_(std::move(types)) {}

ImportSession::~ImportSession() = default;

std::string ImportSession::OpenTarget() {
    try {
        importSet_.Open(app_.m_strTargetPath.empty() ? "Unknown Path" : app_.m_strTargetPath);
        return {};
    } catch (const DbError& e) {
        return e.what();
    }
}

void ImportSession::CloseTarget() {
    try {
        importSet_.Close();
    } catch (const DbError&) {
        // Closing commits the last batch; a failure there has nothing left to save.
    }
    dxccSet_.Close();
}

Counters ImportSession::counters() const {
    return {m_nRecordsRead, m_nRecordsLoaded, m_nRecordsIgnored, m_nErrors, m_nWarnings};
}

void ImportSession::PublishCounters() {
    host_.countersChanged(counters());
}

void ImportSession::Notify(int messageId, MessageIcon icon) {
    // A file that cannot be opened is named, or the user is left guessing.
    if (messageId == kMsgSourceFileNotOpen && !m_strSourcePath.empty()) {
        NotifyText(messageId, MessageText(messageId) + ":\n" + m_strSourcePath, icon);
        return;
    }
    NotifyText(messageId, MessageText(messageId), icon);
}

void ImportSession::NotifyText(int messageId, const std::string& text, MessageIcon icon) {
    messageShown_ = true;
    host_.notify(messageId, text, icon);
}

bool ImportSession::Ask(int messageId, MessageIcon icon) {
    return host_.ask(messageId, MessageText(messageId), icon);
}

bool ImportSession::ValidateOptions(const ImportOptions& options) {
    m_nSourceType = -1;
    opt_ = options;
    m_nFilter = options.filter;
    m_strDefaultNote = options.defaultNote;
    m_strDefaultSpec1 = options.defaultSpec1;
    m_strDefaultSpec2 = options.defaultSpec2;
    m_bQslSentFromDate = options.qslSentFromDate ? 1 : 0;
    m_strDefaultOprCall = options.defaultOprCall;

    m_nSourceType = options.sourceType;
    if (m_nSourceType < 0 || m_nSourceType >= static_cast<int>(types_.size())) {
        m_nSourceType = -1;
        Notify(kMsgSelectSourceType, MessageIcon::Question);
        return false;
    }
    if (types_[m_nSourceType].reader == nullptr) {
        Notify(kMsgReaderMissing, MessageIcon::Stop);
        return false;
    }
    if (m_nSourceType >= 2 && !Ask(kMsgNotAdifQuestion, MessageIcon::Question)) return false;

    m_strSourcePath = options.sourcePath;
    if (m_strSourcePath.empty()) {
        Notify(kMsgSourceNotOpen, MessageIcon::Stop);
        return false;
    }
    // A pipe, a device or a folder would block the reader or never end; a
    // missing file is left to the reader, which says so in its own words.
    if (const FileCheck source = CheckFile(m_strSourcePath);
        !source.regular() && source.kind != FileKind::Missing) {
        NotifyText(
            kMsgSourceFileNotOpen,
            MessageText(kMsgSourceFileNotOpen) + ":\n" + FileProblem(m_strSourcePath, source),
            MessageIcon::Stop);
        return false;
    }
    m_strDefaultOprCall = Trim(m_strDefaultOprCall);
    opt_.defaultOprCall = m_strDefaultOprCall;
    if (m_strDefaultOprCall.empty()) {
        Notify(kMsgOprCallRequired, MessageIcon::Stop);
        return false;
    }
    m_strHostPath = options.hostPath;
    if (m_strHostPath.empty()) {
        Notify(kMsgProgramPathEmpty, MessageIcon::Stop);
        return false;
    }
    if (m_strHostPath.find(".mdb") != std::string::npos) {
        Notify(kMsgProgramPathHasMdb, MessageIcon::Stop);
        return false;
    }
    m_strHostPath = WithTrailingSeparator(m_strHostPath);
    opt_.hostPath = m_strHostPath;
    app_.m_strRefDataDir = m_strHostPath;

    const std::size_t sep = LastSeparator(m_strSourcePath);
    m_strErrorFile =
        (sep == std::string::npos ? std::string() : m_strSourcePath.substr(0, sep + 1)) +
        "ERRORS.TXT";
    app_.m_strErrorFilePath = m_strErrorFile;

    if (!importSet_.IsOpen()) {
        Notify(kMsgTargetNotOpen, MessageIcon::Stop);
        return false;
    }

    // The reference tables are read once per run; a host folder without a
    // usable reference database would fail every contact, so refuse now.
    std::string refPath;
    if (refOverride_) {
        ref_ = refOverride_;
    } else {
        refPath = HostReferencePath(m_strHostPath);
        try {
            ref_ = std::make_shared<const ReferenceData>(ReferenceData::LoadFile(refPath));
        } catch (const DbError& e) {
            // A folder with neither file is the usual case on a new machine:
            // say which names are looked for and how to make one.
            // The refdata.sqlite fallback is only chosen when it exists, so a
            // chosen file that is missing means the folder holds neither.
            std::error_code ec;
            const std::string detail =
                !std::filesystem::exists(refPath, ec)
                    ? "The folder " + m_strHostPath +
                          " holds neither refdata.mdb nor refdata.sqlite. Choose the host "
                          "program's folder, or build refdata.sqlite there with\n"
                          "tolvex-import-cli build-refdata --cty "
                          "/usr/share/hamradio-files/cty.csv " +
                          m_strHostPath + "refdata.sqlite"
                    : refPath + ": " + e.what();
            NotifyText(kMsgReferenceNotOpen, MessageText(kMsgReferenceNotOpen) + "\n" + detail,
                       MessageIcon::Stop);
            return false;
        }
    }

    if (m_nFilter != kFilterNone && !Ask(kMsgBackupQuestion, MessageIcon::Question)) {
        return false;
    }
    return CreateReport(refPath);
}

bool ImportSession::CreateReport(const std::string& refPath) {
    const std::string reason =
        report_.Create(m_strErrorFile, {{app_.m_strTargetPath, "the target database"},
                                        {m_strSourcePath, "the source file"},
                                        {refPath, "the reference database"},
                                        {app_.m_strSettingsPath, "the settings file"}});
    if (!reason.empty()) {
        NotifyText(
            kMsgErrorFileNotCreated,
            MessageText(kMsgErrorFileNotCreated) + ": " + m_strErrorFile + " (" + reason + ")",
            MessageIcon::Stop);
        return false;
    }
    return true;
}

bool ImportSession::BeginImport(const ImportOptions& options) {
    if (running_) return false;
    if (!ValidateOptions(options)) return false;

    running_ = true;
    m_bImporting = 1;
    positionShown_ = {};
    host_.runningChanged(true);
    m_nSamplesShown = m_nFilter == kFilterNone ? 0 : 99;
    loadedAtStart_ = m_nRecordsLoaded;
    readAtStart_ = m_nRecordsRead;
    messageShown_ = reportFailed_ = false;
    stateErrorShown_ = countyErrorShown_ = false;
    otherStationSkipped_ = 0;

    RunReader(types_[m_nSourceType].reader);
    CommitRun();

    m_pDxccPrefixMap.reset();
    report_.Close();
    importSet_.DropIndex();
    dxccSet_.ClearCache();
    m_bImporting = 0;
    running_ = false;
    host_.runningChanged(false);
    PublishCounters();
    if (otherStationSkipped_ > 0) {
        NotifyText(
            kMsgOtherStationSkipped,
            std::to_string(otherStationSkipped_) + " " + MessageText(kMsgOtherStationSkipped),
            MessageIcon::Exclamation);
    }
    NoticeUnreadRecords();
    if (m_nRecordsLoaded > 0) Notify(kMsgInitializeTables, MessageIcon::Exclamation);
    return true;
}

void ImportSession::RunReader(ReaderFn reader) {
    // Engine errors that the lookups do not catch end the reader; what was
    // written so far stays and is committed.
    try {
        reader(*this);
    } catch (const DbCommitError& e) {
        LoseBatch(e);
    } catch (const ReportWriteError& e) {
        NotifyText(kMsgReportWriteFailed,
                   MessageText(kMsgReportWriteFailed) + "\n" + m_strErrorFile + ": " + e.what(),
                   MessageIcon::Stop);
    } catch (const std::exception& e) {
        NotifyText(kMsgEngineError, MessageText(kMsgEngineError) + ":\n" + e.what(),
                   MessageIcon::Stop);
    }
}

void ImportSession::CommitRun() {
    try {
        importSet_.Commit();
    } catch (const DbCommitError& e) {
        LoseBatch(e);
    } catch (const DbError& e) {
        NotifyText(kMsgEngineError, MessageText(kMsgEngineError) + ":\n" + e.what(),
                   MessageIcon::Stop);
    }
}

void ImportSession::LoseBatch(const DbCommitError& e) {
    const int lost = static_cast<int>(e.lost().size());
    m_nRecordsLoaded -= lost;
    PublishCounters();
    try {
        for (const QsoRow& row : e.lost()) {
            ++m_nErrors;
            const std::string line = FormatProblemLine(
                ProblemKind::Error, "Not saved by the target database", ContactOf(row));
            host_.problemAdded(line);
            WriteReportLine(line);
        }
    } catch (const ReportWriteError&) {
        // The message below already ends the run; the list holds every line.
    }
    PublishCounters();
    NotifyText(kMsgCommitFailed,
               MessageText(kMsgCommitFailed) + "\n" +
                   std::to_string(m_nRecordsLoaded - loadedAtStart_) +
                   " contacts of this run were saved; the " + std::to_string(lost) +
                   " after them were not (each is in the error file).\n" + e.what(),
               MessageIcon::Stop);
}

void ImportSession::NoticeUnreadRecords() {
    // Readers say themselves when a source is empty or cannot be read.
    if (m_nRecordsRead != readAtStart_ || messageShown_) return;
    const SourceType& type = types_[m_nSourceType];
    if (type.format == SourceFormat::Database) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(m_strSourcePath, ec) ||
        std::filesystem::file_size(m_strSourcePath, ec) == 0 || ec) {
        return;
    }
    NotifyText(kMsgNoRecordsFound,
               MessageText(kMsgNoRecordsFound) + " " +
                   LikelyReasonForNoRecords(m_strSourcePath, type.format),
               MessageIcon::Exclamation);
}

bool ImportSession::PumpAndCheckAbort() {
    host_.pump();
    if (m_bImporting == 0) {
        if (Ask(kMsgAbortQuestion, MessageIcon::Exclamation)) return false;
        m_bImporting = 1;
    }
    return true;
}

void ImportSession::ReportPosition(std::int64_t done, std::int64_t total) {
    // Readers call this once per line or row; the display needs far less.
    constexpr auto kInterval = std::chrono::milliseconds(15);
    const bool end = total > 0 && done >= total;
    const auto now = std::chrono::steady_clock::now();
    if (!end && now - positionShown_ < kInterval) return;
    positionShown_ = now;
    host_.progressChanged(done, total);
}

bool ImportSession::NextRecord() {
    ClearContact();
    if (!PumpAndCheckAbort()) return false;
    CountRecordRead();
    return true;
}

void ImportSession::CountRecordRead() {
    ++m_nRecordsRead;
    PublishCounters();
}

void ImportSession::CountRecordLoaded() {
    ++m_nRecordsLoaded;
    PublishCounters();
}

void ImportSession::CountRecordIgnored() {
    ++m_nRecordsIgnored;
    PublishCounters();
}

void ImportSession::ReportProblem(ProblemKind kind) {
    if (kind == ProblemKind::Error) ++m_nErrors;
    if (kind == ProblemKind::Warning) ++m_nWarnings;
    if (kind != ProblemKind::Sample) PublishCounters();
    const std::string line = FormatProblemLine(kind, m_strProblem, *this);
    host_.problemAdded(line);
    WriteReportLine(line);
}

void ImportSession::WriteReportLine(const std::string& line) {
    if (report_.WriteLine(line) || reportFailed_) return;
    reportFailed_ = true;
    throw ReportWriteError(report_.error());
}

void ImportSession::ReportError(const std::string& problem) {
    m_strProblem = problem;
    ReportProblem(ProblemKind::Error);
}

void ImportSession::ReportWarning(const std::string& problem) {
    m_strProblem = problem;
    ReportProblem(ProblemKind::Warning);
}

bool ImportSession::ResolveCallsign(ResolutionRecord& rec) {
    const ResolveOutcome outcome =
        ResolveCallsignSteps(reference(), m_strCall, m_strDate, rec, nullptr);
    if (!outcome.found) {
        ReportError("Prefix?");
        return false;
    }
    if (rec.prefix == "KH6") {
        m_strState = "HI";
    } else if (rec.prefix == "KL7") {
        m_strState = "AK";
    }
    return true;
}

int ImportSession::ApplyBandModeFilter(const ResolutionRecord& rec, int modeBase) {
    const int offset = BandOffset(LeadingInt(m_strBand));
    if (offset < 0) return 0;
    if (m_nFilter == kFilterNone) return 0;
    if (m_nFilter == kFilterAll) return 1;
    const int column = modeBase + offset + (m_nFilter == kFilterNotWorked ? 1 : 0);
    return LookupStatistics(column, rec);
}

int ImportSession::LookupStatistics(int column, const ResolutionRecord& rec) {
    if (!dxccSet_.IsOpen()) {
        dxccSet_.Open(app_.m_strTargetPath.empty() ? "Unknown Path" : app_.m_strTargetPath);
    }
    const std::vector<std::string>* row = dxccSet_.Row(rec.prefix);
    if (row == nullptr) {
        ReportWarning("Prefix not in Statistic Database?");
        return 0;
    }
    if (column < 0 || column >= static_cast<int>(row->size())) return 1;
    return LeadingInt((*row)[column]) > 0 ? 0 : 1;
}

void ImportSession::NoticeReferenceTable(const std::string& error, bool& shown) {
    if (error.empty() || shown) return;
    shown = true;
    NotifyText(kMsgReferenceTableError, MessageText(kMsgReferenceTableError) + "\n" + error,
               MessageIcon::Exclamation);
}

int ImportSession::LookupState(const std::string& abbreviation) {
    NoticeReferenceTable(reference().stateTableError(), stateErrorShown_);
    return reference().hasState(abbreviation) ? 0 : 1;
}

int ImportSession::LookupCounty(const std::string& state, const std::string& county) {
    NoticeReferenceTable(reference().countyTableError(), countyErrorShown_);
    // Reference data built from public country files has no counties at all;
    // judging every county unknown would strip them from every contact.
    if (!reference().hasCounties()) return 1;
    return reference().hasCounty(state, county) ? 1 : 0;
}

bool ImportSession::WriteContact(const ResolutionRecord& rec) {
    try {
        if (!importSet_.IsOpen()) importSet_.Open(app_.m_strTargetPath);
    } catch (const DbError& e) {
        m_strProblem = m_strCall + " " + e.what();
        ReportProblem(ProblemKind::Error);
        return false;
    }
    QsoRow row;
    auto text = [&row](QsoCol col, const std::string& value) { row.setText(col, Fit(value)); };
    auto textOrNull = [&row](QsoCol col, const std::string& value) {
        row.setTextOrNull(col, Fit(value));
    };

    text(kQsoDate, m_strDate);
    text(kQsoTime, m_strTime);
    text(kQsoCall, m_strCall);
    text(kQsoBand, m_strBand);
    text(kQsoRstr, m_strRstRcvd);
    text(kQsoRsts, m_strRstSent);
    text(kQsoMgrNumb, m_strMgrNumber);
    text(kQsoMode, m_strMode);

    text(kQsoPrefix, m_strPrefix.empty() ? rec.prefix : m_strPrefix);
    text(kQsoCqZone, m_strCqZone.empty() ? rec.cqZone : m_strCqZone);
    text(kQsoItuZone, m_strItuZone.empty() ? rec.ituZone : m_strItuZone);

    int valid = m_nValid;
    if (valid == -1) valid = (m_strMode == "2" && IsYearBefore1975(m_strDate)) ? 1 : 3;
    row.setLong(kQsoValid, valid);
    row.setLong(kQsoSelect, m_nSelect);
    row.setLong(kQsoAward, m_nAward);

    text(kQsoSat, m_strSatName.empty() ? std::string("None") : m_strSatName);
    if (m_strQslVia.empty()) m_strQslVia = "0";
    text(kQsoQslVia, m_strQslVia);

    row.setLong(kQsoCategory,
                (m_bYL ? 1 : 0) + (m_bQRP ? 2 : 0) + (m_bUser1 ? 4 : 0) + (m_bUser2 ? 8 : 0));

    std::string confirm;
    if (m_nSourceType == 1) {
        confirm = "2";
    } else if (!m_strConfirm.empty()) {
        confirm = m_strConfirm;
    } else {
        confirm = m_nConfirmed == 1 ? "1" : "0";
    }
    text(kQsoConfirm, confirm);

    m_strNote = Trim(m_strNote);
    text(kQsoNote, m_strNote);

    if (m_bQslSentFromDate && m_strQslSentDate.empty()) m_strQslSentDate = m_strDate;
    if (m_strSpec1.empty() && !m_strDefaultSpec1.empty()) m_strSpec1 = Trim(m_strDefaultSpec1);
    if (m_strSpec2.empty() && !m_strDefaultSpec2.empty()) m_strSpec2 = Trim(m_strDefaultSpec2);

    if (m_strQslsStatus.empty()) {
        m_strQslsStatus = m_bQslSent == 1 ? "1" : "0";
    } else if (m_bQslSent == 1) {
        if (m_strQslsStatus[0] == '0')
            m_strQslsStatus[0] = '1';
        else if (m_strQslsStatus[0] == '2')
            m_strQslsStatus[0] = '3';
    }
    text(kQsoQsls, m_strQslsStatus);

    if (m_nSourceType == 1) {
        textOrNull(kQsoLotwRec, m_strQslRcvdDate);
    } else {
        textOrNull(kQsoQslrDate, m_strQslRcvdDate);
        textOrNull(kQsoLotwRec, m_strLotwRcvdDate);
    }
    text(kQsoOprCall, m_strOprCall.empty() ? m_strDefaultOprCall : m_strOprCall);

    textOrNull(kQsoEndTime, m_strEndTime);
    textOrNull(kQsoFreq, m_strFreq);
    textOrNull(kQsoState, m_strState);
    textOrNull(kQsoGrid, m_strGrid);
    textOrNull(kQsoQslSent, m_strQslSentDate);
    textOrNull(kQsoIota, m_strIota);
    textOrNull(kQsoCounty, m_strCounty);
    textOrNull(kQsoTenTen, m_strTenTen);
    textOrNull(kQsoWpx, m_strWpx);
    textOrNull(kQsoName, m_strName);
    textOrNull(kQsoQth, m_strQth);
    textOrNull(kQsoSpec1, m_strSpec1);
    textOrNull(kQsoSpec2, m_strSpec2);
    textOrNull(kQsoPower, m_strPower);
    textOrNull(kQsoSatMode, m_strSatMode);
    textOrNull(kQsoQslNumber, m_strQslNumber);
    textOrNull(kQsoSubmode, m_strSubmode);

    try {
        importSet_.AddNew(row);
    } catch (const DbTargetError&) {
        // The whole target fails (a lock, a full disk, a read-only file):
        // every record would fail alike, so the run ends here with the
        // engine's message.
        throw;
    } catch (const DbError& e) {
        m_strProblem = m_strCall + " " + e.what();
        ReportProblem(ProblemKind::Error);
        return false;
    }
    return true;
}

bool ImportSession::FinishContact(const FinishRules& rules) {
    ResolutionRecord rec;
    if (!ResolveCallsign(rec)) return false;
    if (rules.stateRule) rules.stateRule(*this, rec);
    if (rules.deriveWpx && m_strWpx.empty()) m_strWpx = DeriveWpxPrefix(m_strCall);
    return FilterAndWrite(rec);
}

bool ImportSession::FilterAndWrite(const ResolutionRecord& rec) {
    if (ApplyBandModeFilter(rec, StatisticsModeColumn(m_strMode))) {
        if (WriteContact(rec)) {
            CountRecordLoaded();
            return true;
        }
        return false;
    }
    CountRecordIgnored();
    ReportSampleIfDue();
    return false;
}

void ImportSession::ReportSampleIfDue() {
    if (m_nFilter == kFilterNone && m_nSamplesShown < 15) {
        ++m_nSamplesShown;
        m_strProblem = "Sample";
        ReportProblem(ProblemKind::Sample);
    }
}

std::string SourceFilterList(const std::vector<SourceType>& types) {
    std::vector<const SourceType*> ordered(types.size());
    for (const auto& t : types) {
        if (t.filterPosition >= 0 && t.filterPosition < static_cast<int>(ordered.size()))
            ordered[t.filterPosition] = &t;
    }
    std::string list;
    for (const SourceType* t : ordered) {
        if (t == nullptr) continue;
        list += t->filterName;
        list += '|';
        list += t->filterPattern;
        list += '|';
    }
    list += "All|*.*||";
    return list;
}

int SourceTypeFromName(const std::vector<SourceType>& types, const std::string& name) {
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
        name.size() <= 3) {
        const int index = std::stoi(name);
        return index < static_cast<int>(types.size()) ? index : -1;
    }
    for (const auto& t : types) {
        if (EqualsNoCase(name, t.cliName)) return t.index;
    }
    return -1;
}

}  // namespace tvx
