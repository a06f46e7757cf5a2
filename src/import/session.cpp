#include "import/session.h"

#include "db/jet_target.h"

#include <filesystem>
#include <fstream>

#include "util/file.h"

namespace tvx {

namespace {

// A dBASE III header: version byte, a plausible date, a header length that
// fits whole field descriptors ended by 0x0D.
bool LooksLikeDbaseTable(const std::string& head) {
    if (head.size() < 33) return false;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    if (byte(0) != 0x03 && byte(0) != 0x83) return false;
    if (byte(2) < 1 || byte(2) > 12 || byte(3) < 1 || byte(3) > 31) return false;
    const std::size_t headerLength = byte(8) | (byte(9) << 8);
    if (headerLength < 65 || (headerLength - 1) % 32 != 0) return false;
    return headerLength > head.size() || byte(headerLength - 1) == 0x0D;
}

// A database read as a text source: which kind, and which source type reads
// it; empty when the first bytes are no database.
std::string DatabaseOfHead(const std::string& head) {
    if (head.starts_with(std::string_view("SQLite format 3\0", 16))) {
        return "It is a SQLite database, not a log: a target or reference database of this "
               "program, or another program's file.";
    }
    if (head.size() >= 19 && (head.compare(4, 15, "Standard Jet DB") == 0 ||
                              head.compare(4, 15, "Standard ACE DB") == 0)) {
        return "It is a Jet database (.mdb): of the source types, StationMaster reads one.";
    }
    if (LooksLikeDbaseTable(head)) {
        return "It is a dBASE table (.dbf): choose the source type of the logger that wrote it "
               "(HyperLog, DXlog, DX DeskTop, LogPlus, TopLog, Q9ZZ v3 or EasyLog).";
    }
    return {};
}

std::string FirstBytes(const std::string& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

// Why a source with content gave no record, as far as its first bytes tell.
std::string LikelyReasonForNoRecords(const std::string& path, SourceFormat format) {
    const std::string head = FirstBytes(path, 64 * 1024);
    if (head.empty()) return {};
    if (std::string database = DatabaseOfHead(head); !database.empty()) return database;
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

// The statistics table is opened at its first lookup: most runs load every
// contact and never read it.
class ImportSession::LazyStatistics : public ContactStatistics {
  public:
    explicit LazyStatistics(const ApplicationPaths& app) : app_(app) {}
    const std::vector<std::string>* Row(const std::string& prefix) override {
        const std::string path =
            app_.m_strTargetPath.empty() ? "Unknown Path" : app_.m_strTargetPath;
        FileCheck check;
        if (!jet_ && !set_.IsOpen() && detectDatabaseKind(path, &check) == DbKind::Jet) {
            jet_ = std::make_unique<JetDxccSet>();
            jet_->Open(path);
        }
        if (jet_) return jet_->Row(prefix);
        if (!set_.IsOpen()) set_.Open(path);
        return set_.Row(prefix);
    }
    // A Jet target is read again at the next run: the run may have replaced it.
    void EndRun() {
        set_.ClearCache();
        jet_.reset();
    }
    void Close() {
        set_.Close();
        jet_.reset();
    }

  private:
    const ApplicationPaths& app_;
    CDxccSet set_;
    std::unique_ptr<JetDxccSet> jet_;
};

ImportSession::ImportSession(ImportHost& host, ApplicationPaths& app, std::vector<SourceType> types)
    : host_(host),
      app_(app),
      types_(std::move(types)),
      statistics_(std::make_unique<LazyStatistics>(app)) {}

ImportSession::~ImportSession() = default;

std::string ImportSession::OpenTarget() {
    try {
        const std::string path =
            app_.m_strTargetPath.empty() ? "Unknown Path" : app_.m_strTargetPath;
        if (importSet_) importSet_->Close();
        importSet_ = MakeImportTarget(path);
        importSet_->Open(path);
        if (const std::string notice = importSet_->TakeNotice(); !notice.empty()) {
            host_.notify(kMsgTargetNotice, notice, MessageIcon::Exclamation);
        }
        return {};
    } catch (const DbError& e) {
        return e.what();
    }
}

void ImportSession::CloseTarget() {
    try {
        if (importSet_) importSet_->Close();
    } catch (const DbError&) {
        // Closing commits the last batch; a failure there has nothing left to save.
    }
    statistics_->Close();
}

bool ImportSession::Refuse(int messageId, MessageIcon icon) {
    host_.notify(messageId, MessageText(messageId), icon);
    return false;
}

bool ImportSession::Ask(int messageId) {
    return host_.ask(messageId, MessageText(messageId), MessageIcon::Question);
}

bool ImportSession::RefuseWith(int messageId, const std::string& text) {
    host_.notify(messageId, text, MessageIcon::Stop);
    return false;
}

bool ImportSession::ValidateOptions(const ImportOptions& options) {
    opt_ = options;
    const int type = options.sourceType;
    if (type < 0 || type >= static_cast<int>(types_.size())) {
        opt_.sourceType = -1;
        return Refuse(kMsgSelectSourceType, MessageIcon::Question);
    }
    if (types_[type].reader == nullptr) return Refuse(kMsgReaderMissing, MessageIcon::Stop);
    if (types_[type].asksOldFormat && !Ask(kMsgNotAdifQuestion)) {
        return false;
    }
    if (!CheckSource()) return false;
    opt_.defaultOprCall = Trim(opt_.defaultOprCall);
    if (opt_.defaultOprCall.empty()) return Refuse(kMsgOprCallRequired, MessageIcon::Stop);
    if (!CheckHostPath()) return false;

    const std::size_t sep = LastSeparator(opt_.sourcePath);
    errorFile_ = (sep == std::string::npos ? std::string() : opt_.sourcePath.substr(0, sep + 1)) +
                 "ERRORS.TXT";
    app_.m_strErrorFilePath = errorFile_;

    if (!importSet_ || !importSet_->IsOpen()) return Refuse(kMsgTargetNotOpen, MessageIcon::Stop);
    if (const std::string why = importSet_->ReasonNotWritable(); !why.empty()) {
        return RefuseWith(kMsgTargetNotWritable, MessageText(kMsgTargetNotWritable) + ":\n" + why);
    }
    std::string refPath;
    if (!LoadReference(refPath)) return false;
    if (opt_.filter != kFilterNone && !Ask(kMsgBackupQuestion)) {
        return false;
    }
    return CreateReport(refPath);
}

bool ImportSession::CheckSource() {
    if (opt_.sourcePath.empty()) return Refuse(kMsgSourceNotOpen, MessageIcon::Stop);
    // A pipe, a device or a folder would block the reader or never end; a
    // missing file is left to the reader, which says so in its own words.
    const FileCheck source = CheckFile(opt_.sourcePath);
    if (!source.regular() && source.kind != FileKind::Missing) {
        return RefuseWith(kMsgSourceFileNotOpen, MessageText(kMsgSourceFileNotOpen) + ":\n" +
                                                     FileProblem(opt_.sourcePath, source));
    }
    // A database is never a text source: reading it would report each of its
    // pages as a broken record.
    if (types_[opt_.sourceType].format != SourceFormat::Database && source.regular()) {
        const std::string database = DatabaseOfHead(FirstBytes(opt_.sourcePath, 512));
        if (!database.empty()) {
            return RefuseWith(kMsgSourceNotOfType, MessageText(kMsgSourceNotOfType) + ":\n" +
                                                       opt_.sourcePath + "\n" + database);
        }
    }
    // A reader's plain open and close of the target would drop the locks of
    // the program's own connection to it.
    if (SameFile(opt_.sourcePath, app_.m_strTargetPath)) {
        return RefuseWith(kMsgSourceFileNotOpen, MessageText(kMsgSourceFileNotOpen) + ":\n'" +
                                                     opt_.sourcePath + "' is the target database.");
    }
    return true;
}

bool ImportSession::CheckHostPath() {
    if (opt_.hostPath.empty()) return Refuse(kMsgProgramPathEmpty, MessageIcon::Stop);
    if (opt_.hostPath.find(".mdb") != std::string::npos) {
        return Refuse(kMsgProgramPathHasMdb, MessageIcon::Stop);
    }
    opt_.hostPath = WithTrailingSeparator(opt_.hostPath);
    app_.m_strRefDataDir = opt_.hostPath;
    return true;
}

bool ImportSession::LoadReference(std::string& refPath) {
    // The reference tables are read once per run; a host folder without a
    // usable reference database would fail every contact, so refuse now.
    if (refOverride_) {
        ref_ = refOverride_;
        return true;
    }
    refPath = HostReferencePath(opt_.hostPath);
    try {
        auto ref = std::make_shared<const ReferenceData>(ReferenceData::LoadFile(refPath));
        if (!ref->HasUsablePrefix()) {
            return RefuseWith(kMsgReferenceNotOpen,
                              MessageText(kMsgReferenceNotOpen) + "\n" + refPath +
                                  ": it holds no usable country prefix ([PREFIX-Pri] has no "
                                  "prefix of one to four characters), so no contact could be "
                                  "resolved.");
        }
        ref_ = std::move(ref);
        return true;
    } catch (const DbError& e) {
        // A folder with neither file is the usual case on a new machine: say
        // which names are looked for and how to make one. The refdata.sqlite
        // fallback is only chosen when it exists, so a chosen file that is
        // missing means the folder holds neither.
        std::error_code ec;
        const std::string detail =
            !std::filesystem::exists(refPath, ec)
                ? "The folder " + opt_.hostPath +
                      " holds neither refdata.mdb nor refdata.sqlite. Choose the host "
                      "program's folder, or build refdata.sqlite there with\n"
                      "tolvex-import-cli build-refdata --cty "
                      "/usr/share/hamradio-files/cty.csv " +
                      opt_.hostPath + "refdata.sqlite"
                : refPath + ": " + e.what();
        return RefuseWith(kMsgReferenceNotOpen, MessageText(kMsgReferenceNotOpen) + "\n" + detail);
    }
}

bool ImportSession::CreateReport(const std::string& refPath) {
    const std::string reason =
        report_.Create(errorFile_, {{app_.m_strTargetPath, "the target database"},
                                    {opt_.sourcePath, "the source file"},
                                    {refPath, "the reference database"},
                                    {app_.m_strSettingsPath, "the settings file"}});
    if (reason.empty()) return true;
    return RefuseWith(kMsgErrorFileNotCreated, MessageText(kMsgErrorFileNotCreated) + ": " +
                                                   errorFile_ + " (" + reason + ")");
}

bool ImportSession::BeginImport(const ImportOptions& options) {
    if (running_) return false;
    if (!ValidateOptions(options)) return false;

    running_ = true;
    state_.reading = true;
    host_.runningChanged(true);
    // The run ends here however it ends, an unforeseen exception included.
    struct RunEnd {
        ImportSession& s;
        ~RunEnd() {
            s.report_.Close();
            s.state_.reading = false;
            s.running_ = false;
            s.host_.runningChanged(false);
        }
    };
    const int readAtStart = state_.counters.recordsRead;
    const SourceType& type = types_[opt_.sourceType];
    ImportEngine engine(host_, state_, opt_, type, *ref_, {*importSet_, *statistics_, report_});
    {
        RunEnd end{*this};
        engine.Run(type.reader);
        statistics_->EndRun();
    }
    host_.countersChanged(state_.counters);
    NoticeEndOfRun(engine, readAtStart);
    return true;
}

void ImportSession::NoticeEndOfRun(const ImportEngine& engine, int readAtStart) {
    if (engine.OtherStationSkipped() > 0) {
        // Name the calls, so that the user can add them to the list.
        std::string calls;
        const auto& names = engine.OtherStationCalls();
        constexpr std::size_t kNamed = 10;
        for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) {
            calls += (i == 0 ? "" : ", ") + names[i];
        }
        if (names.size() > kNamed) calls += ", ...";
        host_.notify(kMsgOtherStationSkipped,
                     std::to_string(engine.OtherStationSkipped()) + " " +
                         MessageText(kMsgOtherStationSkipped) + " Station calls: " + calls + ".",
                     MessageIcon::Exclamation);
    }
    if (types_[opt_.sourceType].lotwDownload && engine.LotwConfirmed() + engine.LotwAdded() > 0) {
        // "Records Loaded" counts both: say which is which.
        host_.notify(kMsgLotwResult,
                     "Contacts of the target confirmed: " + std::to_string(engine.LotwConfirmed()) +
                         ". Contacts added (not in the target before): " +
                         std::to_string(engine.LotwAdded()) + ".",
                     MessageIcon::Exclamation);
    }
    NoticeUnreadRecords(engine, readAtStart);
    if (state_.counters.recordsLoaded > 0) {
        host_.notify(kMsgInitializeTables, MessageText(kMsgInitializeTables),
                     MessageIcon::Exclamation);
    }
}

void ImportSession::NoticeUnreadRecords(const ImportEngine& engine, int readAtStart) {
    // Readers say themselves when a source is empty or cannot be read.
    if (state_.counters.recordsRead != readAtStart || engine.MessageShown()) return;
    const SourceType& type = types_[opt_.sourceType];
    if (type.format == SourceFormat::Database) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(opt_.sourcePath, ec) ||
        std::filesystem::file_size(opt_.sourcePath, ec) == 0 || ec) {
        return;
    }
    host_.notify(kMsgNoRecordsFound,
                 MessageText(kMsgNoRecordsFound) + " " +
                     LikelyReasonForNoRecords(opt_.sourcePath, type.format),
                 MessageIcon::Exclamation);
}

}  // namespace tvx
