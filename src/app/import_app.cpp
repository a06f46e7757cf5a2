#include "import_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <cstdio>

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

    QFileDialog dialog(nullptr, QStringLiteral("Select Target Tolvex .mdb QSO database"));
    dialog.setObjectName(QStringLiteral("targetFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;

    paths_.m_strTargetPath = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
    if (IsRefdataOfDataPath(paths_.m_strTargetPath, cutDataPath)) {
        ShowMessage(nullptr, QString::fromStdString(MessageText(kMsgRefdataChosenAsTarget)),
                    MessageIcon::Stop);
        return false;
    }
    return true;
}

}  // namespace tvx
