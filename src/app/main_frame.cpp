#include "main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "about_dlg.h"
#include "export/adif_export.h"
#include "import/messages.h"
#include "import_doc.h"
#include "import_view.h"
#include "message_box.h"

namespace tvx {

namespace {

// A command's string is its status-bar prompt, a line break and its tool tip.
struct Prompt {
    QString statusTip;
    QString toolTip;
};

Prompt PromptOf(const QString& text) {
    const int lineBreak = text.indexOf(QLatin1Char('\n'));
    if (lineBreak < 0) return {text, text};
    return {text.left(lineBreak), text.mid(lineBreak + 1)};
}

Prompt PromptOf(int messageId) {
    return PromptOf(QString::fromStdString(MessageText(messageId)));
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QStyle* style) {
    return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

QIcon ThemeIcon(const char* name) {
    return QIcon::fromTheme(QString::fromLatin1(name));
}

QLabel* Indicator(const char* text, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
    label->setEnabled(false);  // greyed while the lock is off
    return label;
}

const char kHelpText[] =
    "<h3>Importing a log</h3>"
    "<ol>"
    "<li>Choose the <b>Source Data Type</b>: the program that wrote the log. ADIF gives the "
    "best results where the old program can export it.</li>"
    "<li>Check the <b>Default Opr Call</b>: it is used where the source names no operator.</li>"
    "<li>Check the <b>Tolvex 2007 Full Path</b>: the folder that holds the reference "
    "database, either the host program's own refdata.mdb or a refdata.sqlite built from the "
    "public country file with<br><tt>tolvex-import-cli build-refdata --cty "
    "/usr/share/hamradio-files/cty.csv FOLDER/refdata.sqlite</tt></li>"
    "<li>Choose the <b>Source Database File</b>.</li>"
    "<li>Choose a <b>Band and Mode Filter Selection</b>. <i>Do Not load any records</i> makes "
    "a trial run that only writes the error file and shows a few sample contacts.</li>"
    "<li>Make a backup of the target database, then choose <b>Import &gt; Begin Import</b>.</li>"
    "</ol>"
    "<p>Records that cannot be loaded, and doubtful values, are listed at the bottom of the "
    "form and written to ERRORS.TXT in the folder of the source file; "
    "<b>File &gt; Display Error File</b> opens it. <b>Import &gt; Stop Import</b> ends a run "
    "after the record in hand.</p>"
    "<p>After an import, initialise the tables the next time you run Tolvex so that the "
    "statistics include the imported contacts.</p>";

}  // namespace

CMainFrame::CMainFrame(ApplicationPaths& app, CImportDoc& doc, std::vector<SourceType> types,
                       QWidget* parent)
    : QMainWindow(parent), app_(app), doc_(doc) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(AppIcon());
    view_ = new CImportView(app_, doc_, std::move(types), this);
    setCentralWidget(view_);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    connect(view_, &CImportView::importRunning, this, [this](bool running) {
        // A modal box opened during a run would hold the run up unseen.
        for (QAction* action : {beginImportAction_, exportAdifAction_, printSetupAction_,
                                helpTopicsAction_, aboutAction_}) {
            action->setEnabled(!running);
        }
        statusMessagePane_->setText(running ? QStringLiteral("Importing...")
                                            : QStringLiteral("Ready"));
    });
    connect(view_, &CImportView::progressText, progressPane_, &QLabel::setText);
    connect(&doc_, &CImportDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    UpdateTitle();
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
}

QAction* CMainFrame::MakeAction(const char* objectName, const QString& text,
                                const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(objectName));
    const Prompt parts = PromptOf(prompt);
    action->setStatusTip(parts.statusTip);
    action->setToolTip(parts.toolTip);
    action->setIconText(parts.toolTip);
    return action;
}

void CMainFrame::CreateActions() {
    CreateFileActions();
    CreateEditActions();
    CreateRunActions();
}

void CMainFrame::CreateFileActions() {
    printSetupAction_ = MakeAction("printSetupAction", QStringLiteral("P&rint Setup..."),
                                   QStringLiteral("Change the printer and printing options\n"
                                                  "Page Setup"));
    connect(printSetupAction_, &QAction::triggered, this, &CMainFrame::OnPrintSetup);

    const Prompt errorFile = PromptOf(kMsgDisplayErrorFile);
    displayErrorFileAction_ =
        MakeAction("displayErrorFileAction", QStringLiteral("&Display Error File"),
                   errorFile.statusTip + QLatin1Char('\n') + errorFile.toolTip);
    displayErrorFileAction_->setIcon(
        ThemeIcon("text-x-generic", QStyle::SP_FileDialogContentsView, style()));
    connect(displayErrorFileAction_, &QAction::triggered, this, &CMainFrame::OnDisplayErrorFile);

    exportAdifAction_ =
        MakeAction("exportAdifAction", QStringLiteral("&Export ADIF..."),
                   QStringLiteral("Write the target QSO database as an ADIF file\nExport ADIF"));
    connect(exportAdifAction_, &QAction::triggered, this, &CMainFrame::OnExportAdif);

    exitAction_ = MakeAction("exitAction", QStringLiteral("E&xit"),
                             QStringLiteral("Quit the application\nExit"));
    exitAction_->setShortcuts(QKeySequence::Quit);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);
}

// The edit commands go to the focused field (EditCommand).
void CMainFrame::CreateEditActions() {
    undoAction_ = MakeAction("undoAction", QStringLiteral("&Undo"),
                             QStringLiteral("Undo the last action\nUndo"));
    undoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    connect(undoAction_, &QAction::triggered, this, [this] { EditCommand("undo"); });

    const struct {
        QAction** action;
        const char* name;
        const char* text;
        const char* prompt;
        QKeySequence::StandardKey keys;
        const char* icon;
        const char* slot;
    } clipboard[] = {
        {&cutAction_, "cutAction", "Cu&t", "Cut the selection and put it on the Clipboard\nCut",
         QKeySequence::Cut, "edit-cut", "cut"},
        {&copyAction_, "copyAction", "&Copy",
         "Copy the selection and put it on the Clipboard\nCopy", QKeySequence::Copy, "edit-copy",
         "copy"},
        {&pasteAction_, "pasteAction", "&Paste", "Insert the Clipboard contents\nPaste",
         QKeySequence::Paste, "edit-paste", "paste"},
    };
    for (const auto& c : clipboard) {
        QAction* action =
            MakeAction(c.name, QString::fromLatin1(c.text), QString::fromLatin1(c.prompt));
        action->setShortcuts(c.keys);
        action->setIcon(ThemeIcon(c.icon));
        const char* slot = c.slot;
        connect(action, &QAction::triggered, this, [this, slot] { EditCommand(slot); });
        *c.action = action;
    }
}

// The status bar toggle, Begin and Stop Import, and help.
void CMainFrame::CreateRunActions() {
    const QStyle* st = style();
    statusBarAction_ = MakeAction("statusBarToggleAction", QStringLiteral("&Status Bar"),
                                  QStringLiteral("Show or hide the status bar\n"
                                                 "Toggle StatusBar"));
    statusBarAction_->setCheckable(true);
    statusBarAction_->setChecked(true);
    connect(statusBarAction_, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });

    beginImportAction_ = MakeAction("beginImportAction", QStringLiteral("&Begin Import"),
                                    QString::fromStdString(MessageText(kMsgStartImport)));
    beginImportAction_->setIcon(ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, st));
    connect(beginImportAction_, &QAction::triggered, view_, &CImportView::OnBeginImport);

    stopImportAction_ = MakeAction("stopImportAction", QStringLiteral("&Stop Import"),
                                   QString::fromStdString(MessageText(kMsgStopImport)));
    stopImportAction_->setIcon(ThemeIcon("media-playback-stop", QStyle::SP_MediaStop, st));
    connect(stopImportAction_, &QAction::triggered, view_, &CImportView::OnStopImport);

    helpTopicsAction_ = MakeAction("helpTopicsAction", QStringLiteral("&Help Topics"),
                                   QStringLiteral("List Help topics\nHelp Topics"));
    helpTopicsAction_->setShortcuts(QKeySequence::HelpContents);
    connect(helpTopicsAction_, &QAction::triggered, this, &CMainFrame::OnHelpTopics);

    aboutAction_ =
        MakeAction("aboutAction", QStringLiteral("&About Import 2007..."),
                   QStringLiteral("Display program information and version number\nAbout"));
    aboutAction_->setIcon(ThemeIcon("help-about", QStyle::SP_MessageBoxInformation, st));
    connect(aboutAction_, &QAction::triggered, this, &CMainFrame::OnAppAbout);
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(printSetupAction_);
    file->addSeparator();
    file->addAction(displayErrorFileAction_);
    file->addAction(exportAdifAction_);
    file->addSeparator();
    file->addAction(exitAction_);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(undoAction_);
    edit->addSeparator();
    edit->addAction(cutAction_);
    edit->addAction(copyAction_);
    edit->addAction(pasteAction_);

    // The toolbar's own toggle is added when the toolbar exists.
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->setObjectName(QStringLiteral("viewMenu"));

    QMenu* import = menuBar()->addMenu(QStringLiteral("&Import"));
    import->setObjectName(QStringLiteral("importMenu"));
    import->addAction(beginImportAction_);
    import->addAction(stopImportAction_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(helpTopicsAction_);
    help->addSeparator();
    help->addAction(aboutAction_);
}

void CMainFrame::CreateToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("mainToolBar"));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    // Not every desktop has icons for every command: name them all.
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar_->addAction(cutAction_);
    toolBar_->addAction(copyAction_);
    toolBar_->addAction(pasteAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(displayErrorFileAction_);
    toolBar_->addAction(beginImportAction_);
    toolBar_->addAction(stopImportAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(aboutAction_);

    QAction* toggle = toolBar_->toggleViewAction();
    toggle->setObjectName(QStringLiteral("toolBarToggleAction"));
    toggle->setText(QStringLiteral("&Toolbar"));
    toggle->setStatusTip(QStringLiteral("Show or hide the toolbar"));
    QMenu* viewMenu = menuBar()->findChild<QMenu*>(QStringLiteral("viewMenu"));
    viewMenu->addAction(toggle);
    viewMenu->addAction(statusBarAction_);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    statusMessagePane_ = new QLabel(QStringLiteral("Ready"), bar);
    statusMessagePane_->setObjectName(QStringLiteral("statusMessagePane"));
    bar->addWidget(statusMessagePane_, 1);
    // Permanent: a prompt of a menu or toolbar button hides only the message.
    progressPane_ = new QLabel(bar);
    progressPane_->setObjectName(QStringLiteral("progressPane"));
    bar->addPermanentWidget(progressPane_);
    capIndicator_ = Indicator("CAP", "capIndicator", bar);
    numIndicator_ = Indicator("NUM", "numIndicator", bar);
    scrlIndicator_ = Indicator("SCRL", "scrlIndicator", bar);
    bar->addPermanentWidget(capIndicator_);
    bar->addPermanentWidget(numIndicator_);
    bar->addPermanentWidget(scrlIndicator_);
}

void CMainFrame::UpdateTitle() {
    const QString app = QString::fromLatin1(kAppTitle);
    setWindowTitle(doc_.title().isEmpty() ? app : doc_.title() + QStringLiteral(" - ") + app);
}

void CMainFrame::EditCommand(const char* slot) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    if (focus->objectName() == QLatin1String("problemList")) {
        if (qstrcmp(slot, "copy") == 0) view_->CopyProblemLines();
        return;
    }
    // Line edits and text editors all have these slots.
    QMetaObject::invokeMethod(focus, slot);
}

void CMainFrame::OnDisplayErrorFile() {
    if (app_.m_strErrorFilePath.empty()) {
        ShowMessage(this, QString::fromStdString(MessageText(kMsgNoImportRunYet)),
                    MessageIcon::Exclamation);
        return;
    }
    const QString path = QString::fromStdString(app_.m_strErrorFilePath);
    // Without a desktop handler for text files nothing would happen at all.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowMessage(this,
                    QStringLiteral("The error file could not be opened. It is:\n") +
                        QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                    MessageIcon::Exclamation);
}

void CMainFrame::OnExportAdif() {
    QFileDialog dialog(this, QStringLiteral("Export ADIF"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("ADIF (*.adi *.adif)"));
    dialog.setDefaultSuffix(QStringLiteral("adi"));
    // Proposed: the target's name as an ADIF file, beside it.
    const QFileInfo target(QString::fromStdString(app_.m_strTargetPath));
    dialog.setDirectory(target.absolutePath());
    dialog.selectFile(target.completeBaseName() + QStringLiteral(".adi"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string outPath = dialog.selectedFiles().constFirst().toStdString();
    std::string hostPath = view_->CollectOptions().hostPath;
    if (hostPath.empty()) hostPath = app_.m_strProgramPath;
    try {
        const AdifExportResult result = ExportAdifFile(app_.m_strTargetPath, hostPath, outPath);
        const QString text = QString::fromStdString(result.Summary(outPath));
        ShowMessage(this, text,
                    result.damagedRecords == 0 ? MessageIcon::None : MessageIcon::Exclamation);
    } catch (const DbError& e) {
        ShowMessage(this, QString::fromStdString(e.what()), MessageIcon::Stop);
    }
}

void CMainFrame::OnAppAbout() {
    CImpAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::OnHelpTopics() {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("helpDialog"));
    dialog.setWindowTitle(QStringLiteral("Import Help"));
    auto* text = new QTextBrowser(&dialog);
    text->setObjectName(QStringLiteral("helpText"));
    text->setHtml(QString::fromLatin1(kHelpText));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(520, 420);
    dialog.exec();
}

void CMainFrame::OnPrintSetup() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The run sits below us on the stack: closing now would pull the form
    // from under it. Ask it to stop; the form closes the window once the run
    // has finished its closing steps.
    if (view_->IsRunning()) {
        event->ignore();
        view_->CloseWhenStopped();
        view_->OnStopImport();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_ScrollLock &&
            !key->isAutoRepeat())
            scrollLock_ = !scrollLock_;
        UpdateIndicators(key->nativeModifiers());
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateIndicators(quint32 nativeModifiers) {
    // Only X11 reports the lock states, in the key event's modifier mask.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        constexpr quint32 kLockMask = 0x02, kMod2Mask = 0x10;
        capIndicator_->setEnabled((nativeModifiers & kLockMask) != 0);
        numIndicator_->setEnabled((nativeModifiers & kMod2Mask) != 0);
    }
    scrlIndicator_->setEnabled(scrollLock_);
}

}  // namespace tvx
