#include "import_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <cstdio>
#include <filesystem>

#include "db/schema.h"
#include "db/target.h"
#include "import/messages.h"
#include "import/session.h"
#include "import_doc.h"
#include "import_view.h"
#include "main_frame.h"
#include "message_box.h"
#include "readers/source_types.h"

namespace tvx {

CImportApp::CImportApp() = default;

CImportApp::~CImportApp() {
    // The frame (and the form's session with it) goes before the document.
    frame_.reset();
    doc_.reset();
}

QCommandLineOption CImportApp::SetUpParser(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Imports amateur-radio logs into a Tolvex 2007 QSO database."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("Read the host settings from <file> instead of Tvx2007.ini."),
        QStringLiteral("file"));
    parser.addOption(settingsOption);
    return settingsOption;
}

bool CImportApp::InitInstance(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption settingsOption = SetUpParser(parser);
    if (!parser.parse(arguments)) {
        ShowMessage(nullptr, parser.errorText(), MessageIcon::Stop);
        return false;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        // For scripts and package checks: on stdout, no window.
        std::fputs(qPrintable(QCoreApplication::applicationName() + QLatin1Char(' ') +
                              QCoreApplication::applicationVersion() + QLatin1Char('\n')),
                   stdout);
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        ShowMessage(nullptr, parser.helpText(), MessageIcon::None);
        return false;
    }

    paths_.m_strStartDir = QDir::currentPath().toStdString();

    const std::string settingsPath = parser.isSet(settingsOption)
                                         ? parser.value(settingsOption).toStdString()
                                         : DefaultSettingsPath();
    if (!ChooseTargetDatabase(settingsPath)) return false;

    doc_ = std::make_unique<CImportDoc>();
    frame_ = std::make_unique<CMainFrame>(paths_, *doc_, SourceTypes());
    frame_->resize(frame_->sizeHint().expandedTo(QSize(900, 680)));
    frame_->view()->OnInitialUpdate();
    frame_->show();
    return true;
}

bool CImportApp::ChooseTargetDatabase(const std::string& settingsPath) {
    const HostSettings settings = ReadHostSettings(settingsPath);
    paths_.m_strSettingsPath = settingsPath;
    if (!settings.problem.empty()) {
        ShowMessage(
            nullptr,
            QString::fromStdString(MessageText(kMsgSettingsNotRead) + ":\n" + settings.problem),
            MessageIcon::Stop);
        return false;
    }
    paths_.m_strProgramPath = settings.programPath;
    paths_.m_strOperatorCall = settings.operatorCall;
    const std::string cutDataPath = CutDataPath(settings.dataPath);

    // A refused file brings the choice back; a new name may be given, and
    // an empty target is then made there.
    for (;;) {
        const std::string chosen = ChooseTargetFile(cutDataPath);
        if (chosen.empty()) return false;
        paths_.m_strTargetPath = chosen;
        if (IsRefdataOfDataPath(chosen, cutDataPath)) {
            ShowMessage(nullptr, QString::fromStdString(MessageText(kMsgRefdataChosenAsTarget)),
                        MessageIcon::Stop);
            continue;
        }
        std::error_code ec;
        if (!std::filesystem::exists(chosen, ec)) {
            if (!AskYesNo(nullptr,
                          QStringLiteral("The file %1 does not exist. Create a new empty target "
                                         "database there?")
                              .arg(QString::fromStdString(chosen)),
                          MessageIcon::Question)) {
                continue;
            }
        }
        try {
            if (!std::filesystem::exists(chosen, ec)) createTargetDatabase(chosen);
            const std::unique_ptr<ImportTarget> check = MakeImportTarget(chosen);
            check->Open(chosen);
            check->Close();
            return true;
        } catch (const DbError& e) {
            ShowMessage(
                nullptr,
                QString::fromStdString(MessageText(kMsgTargetDatabaseError) + "\n" + e.what() +
                                       "\n\nChoose another target, or give a new file "
                                       "name to create an empty target there."),
                MessageIcon::Stop);
        }
    }
}

std::string CImportApp::ChooseTargetFile(const std::string& cutDataPath) {
    QFileDialog dialog(nullptr, QStringLiteral("Select Target Tolvex .mdb QSO database"));
    dialog.setObjectName(QStringLiteral("targetFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The targets this program writes are SQLite files; a host's .mdb is
    // listed too, so that a Jet one is refused with its reason.
    dialog.setNameFilters({QStringLiteral("SQLite databases (*.sqlite *.db)"),
                           QStringLiteral("Tolvex 2007 (*.mdb)"), QStringLiteral("All files (*)")});
    if (!cutDataPath.empty()) {
        // The settings come from Windows: either separator may appear.
        QString folder = QString::fromStdString(cutDataPath);
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        dialog.setDirectory(folder);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
}

}  // namespace tvx
