#include "import_view.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <exception>

#include "import/messages.h"
#include "import/progress.h"
#include "import/session.h"
#include "import_doc.h"
#include "message_box.h"
#include "readers/source_types.h"

namespace tvx {

namespace {

// Calls are entered in capitals whatever the keyboard gives.
class UpperCaseValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// Operator calls in the list are edited like the "Default Opr Call" field.
class OprCallDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setMaxLength(15);
            edit->setValidator(new UpperCaseValidator(edit));
        }
        return editor;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            model->setData(index, edit->text().trimmed().toUpper(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

QToolButton* BrowseButton(const char* objectName, const char* toolTip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(QStringLiteral("..."));
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

// A line edit with a browse button beside it.
QWidget* BrowseRow(QLineEdit* edit, QToolButton* button, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(edit, 1);
    layout->addWidget(button);
    return row;
}

QLabel* CounterLabel(const char* objectName, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    return label;
}

// A path cut in the middle to the label's width, whole in its tool tip: a
// long target path would otherwise widen the window past the screen.
class ElidedPathLabel : public QLabel {
  public:
    explicit ElidedPathLabel(QWidget* parent) : QLabel(parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    // The path, cut in the middle to fit, then what follows it whole.
    void SetPath(const QString& path, const QString& after = {}) {
        path_ = path;
        after_ = after;
        setToolTip(path);
        Elide();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Elide();
    }

  private:
    void Elide() {
        const int room = std::max(0, width() - fontMetrics().horizontalAdvance(after_));
        setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, room) + after_);
    }
    QString path_, after_;
};

constexpr qint64 kPumpIntervalMs = 15;
// The bar's range: fine enough for a smooth bar, and no int overflow for
// sources of more than 2 GB.
constexpr int kProgressSteps = 1000;
// New problem lines join the list at most this often during a run.
constexpr qint64 kListIntervalMs = 100;
// The list shows the newest lines only: each line costs the list's layout,
// and a wrong source type gives a line per record. The report file holds
// every line.
constexpr int kMaxListedLines = 10000;

}  // namespace

CImportView::CImportView(ApplicationPaths& app, CImportDoc& doc, std::vector<SourceType> types,
                         QWidget* parent)
    : QWidget(parent),
      app_(app),
      doc_(doc),
      session_(std::make_unique<ImportSession>(*this, app, std::move(types))) {
    setObjectName(QStringLiteral("importView"));
    BuildForm();
}

CImportView::~CImportView() {
    session_->CloseTarget();
}

void CImportView::BuildForm() {
    QGroupBox* required = BuildRequiredGroup();
    QGroupBox* optional = BuildOptionalGroup();
    QGroupBox* filterBox = BuildFilterGroup();
    QGroupBox* oprBox = BuildOprCallGroup();
    optionGroups_ = {required, optional, filterBox, oprBox};

    targetPathLabel_ = new ElidedPathLabel(this);
    targetPathLabel_->setObjectName(QStringLiteral("targetPathLabel"));
    targetPathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(new QLabel(QStringLiteral("Target:"), this));
    targetRow->addWidget(targetPathLabel_, 1);

    QGridLayout* counters = BuildCounters();

    problemList_ = new QListWidget(this);
    problemList_->setObjectName(QStringLiteral("problemList"));
    problemList_->setUniformItemSizes(true);
    problemList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    problemList_->setFont(fixed);
    // The whole line of a row cut by the list's width.
    problemList_->viewport()->installEventFilter(this);
    problemListNote_ = new QLabel(this);
    problemListNote_->setObjectName(QStringLiteral("problemListNote"));
    problemListNote_->hide();

    auto* top = new QGridLayout;
    top->addWidget(required, 0, 0);
    top->addWidget(filterBox, 0, 1);
    top->addWidget(optional, 1, 0);
    top->addWidget(oprBox, 1, 1);
    top->setColumnStretch(0, 3);
    top->setColumnStretch(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(targetRow);
    layout->addLayout(top);
    layout->addLayout(counters);
    layout->addWidget(problemList_, 1);
    layout->addWidget(problemListNote_);
}

bool CImportView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == problemList_->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = problemList_->indexAt(help->pos());
        if (index.isValid()) {
            QToolTip::showText(help->globalPos(), index.data().toString(), problemList_);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QGroupBox* CImportView::BuildRequiredGroup() {
    sourceTypeCombo_ = new QComboBox(this);
    sourceTypeCombo_->setObjectName(QStringLiteral("sourceTypeCombo"));
    for (const SourceType& type : session_->sourceTypes())
        sourceTypeCombo_->addItem(QString::fromUtf8(type.listName));
    sourceTypeCombo_->setCurrentIndex(-1);
    sourceTypeCombo_->setMaxVisibleItems(static_cast<int>(session_->sourceTypes().size()));

    defaultOprCallEdit_ = new QLineEdit(this);
    defaultOprCallEdit_->setObjectName(QStringLiteral("defaultOprCallEdit"));
    defaultOprCallEdit_->setMaxLength(15);
    defaultOprCallEdit_->setValidator(new UpperCaseValidator(defaultOprCallEdit_));

    hostPathEdit_ = new QLineEdit(this);
    hostPathEdit_->setObjectName(QStringLiteral("hostPathEdit"));
    hostPathBrowseButton_ =
        BrowseButton("hostPathBrowseButton", "Choose the Tolvex 2007 folder", this);
    connect(hostPathBrowseButton_, &QToolButton::clicked, this, &CImportView::BrowseHostPath);

    sourcePathEdit_ = new QLineEdit(this);
    sourcePathEdit_->setObjectName(QStringLiteral("sourcePathEdit"));
    sourcePathBrowseButton_ =
        BrowseButton("sourcePathBrowseButton", "Choose the source file", this);
    connect(sourcePathBrowseButton_, &QToolButton::clicked, this, &CImportView::BrowseSource);

    auto* required = new QGroupBox(QStringLiteral("Required Selections"), this);
    required->setObjectName(QStringLiteral("requiredSelectionsGroup"));
    auto* requiredLayout = new QFormLayout(required);
    requiredLayout->addRow(QStringLiteral("Source Data Type"), sourceTypeCombo_);
    requiredLayout->addRow(QStringLiteral("Default Opr Call if not in source data"),
                           defaultOprCallEdit_);
    requiredLayout->addRow(QStringLiteral("Tolvex 2007 Full Path"),
                           BrowseRow(hostPathEdit_, hostPathBrowseButton_, required));
    requiredLayout->addRow(QStringLiteral("Source Database File"),
                           BrowseRow(sourcePathEdit_, sourcePathBrowseButton_, required));
    return required;
}

QGroupBox* CImportView::BuildOptionalGroup() {
    noteEdit_ = new QLineEdit(this);
    noteEdit_->setObjectName(QStringLiteral("qsoNoteEdit"));
    noteEdit_->setMaxLength(50);
    special1Edit_ = new QLineEdit(this);
    special1Edit_->setObjectName(QStringLiteral("specialField1Edit"));
    special1Edit_->setMaxLength(25);
    special2Edit_ = new QLineEdit(this);
    special2Edit_->setObjectName(QStringLiteral("specialField2Edit"));
    special2Edit_->setMaxLength(25);
    qslSentFromDateCheck_ =
        new QCheckBox(QStringLiteral("Populate QSO date in QSL sent Field"), this);
    qslSentFromDateCheck_->setObjectName(QStringLiteral("qslSentFromDateCheck"));

    auto* optional = new QGroupBox(QStringLiteral("Optional Default Values"), this);
    optional->setObjectName(QStringLiteral("optionalDefaultsGroup"));
    auto* optionalLayout = new QFormLayout(optional);
    optionalLayout->addRow(QStringLiteral("QSO Note Field"), noteEdit_);
    optionalLayout->addRow(QStringLiteral("Populate Special Field 1 "), special1Edit_);
    optionalLayout->addRow(QStringLiteral("Populate Special Field 2"), special2Edit_);
    optionalLayout->addRow(qslSentFromDateCheck_);
    return optional;
}

// The button ids are the filter choices.
QGroupBox* CImportView::BuildFilterGroup() {
    auto* filterBox = new QGroupBox(QStringLiteral("Band and Mode Filter Selection"), this);
    filterBox->setObjectName(QStringLiteral("filterGroup"));
    filterGroup_ = new QButtonGroup(this);
    auto* filterLayout = new QVBoxLayout(filterBox);
    const struct {
        FilterChoice choice;
        const char* text;
        const char* name;
    } filters[] = {
        {kFilterNone, "Do Not load any records", "filterNoneRadio"},
        {kFilterAll, "Load All Records", "filterAllRadio"},
        {kFilterNotConfirmed, "Load if not confirmed", "filterNotConfirmedRadio"},
        {kFilterNotWorked, "Load if not worked", "filterNotWorkedRadio"},
    };
    for (const auto& filter : filters) {
        auto* radio = new QRadioButton(QString::fromLatin1(filter.text), filterBox);
        radio->setObjectName(QString::fromLatin1(filter.name));
        filterGroup_->addButton(radio, filter.choice);
        filterLayout->addWidget(radio);
    }
    filterLayout->addStretch(1);
    return filterBox;
}

// Operator calls whose contacts an ADIF file may bring.
QGroupBox* CImportView::BuildOprCallGroup() {
    auto* oprBox = new QGroupBox(QStringLiteral("QSOs for these OPR Calls"), this);
    oprBox->setObjectName(QStringLiteral("oprCallGroup"));
    oprCallList_ = new QListWidget(oprBox);
    oprCallList_->setObjectName(QStringLiteral("oprCallList"));
    auto* oprDelegate = new OprCallDelegate(oprCallList_);
    oprCallList_->setItemDelegate(oprDelegate);
    // A row left blank is no call: it goes when its editor closes. Queued,
    // because the view still holds the row while it emits.
    connect(oprDelegate, &QAbstractItemDelegate::closeEditor, this,
            &CImportView::PruneBlankOprCalls, Qt::QueuedConnection);
    oprCallList_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    oprCallAddButton_ = new QPushButton(QStringLiteral("&New"), oprBox);
    oprCallAddButton_->setObjectName(QStringLiteral("oprCallAddButton"));
    oprCallAddButton_->setToolTip(QStringLiteral("Add an operator call to the list"));
    oprCallRemoveButton_ = new QPushButton(QStringLiteral("&Delete"), oprBox);
    oprCallRemoveButton_->setObjectName(QStringLiteral("oprCallRemoveButton"));
    oprCallRemoveButton_->setToolTip(QStringLiteral("Remove the selected operator call"));
    connect(oprCallAddButton_, &QPushButton::clicked, this, &CImportView::AddOprCall);
    connect(oprCallRemoveButton_, &QPushButton::clicked, this, &CImportView::RemoveOprCall);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, oprCallList_);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &CImportView::RemoveOprCall);
    auto* oprButtons = new QVBoxLayout;
    oprButtons->addWidget(oprCallAddButton_);
    oprButtons->addWidget(oprCallRemoveButton_);
    oprButtons->addStretch(1);
    auto* oprLayout = new QHBoxLayout(oprBox);
    oprLayout->addWidget(oprCallList_, 1);
    oprLayout->addLayout(oprButtons);
    oprCallList_->setMaximumHeight(oprCallList_->fontMetrics().height() * 6);
    return oprBox;
}

// The five counters in a row, the progress bar after them.
QGridLayout* CImportView::BuildCounters() {
    recordsReadLabel_ = CounterLabel("recordsReadLabel", this);
    recordsLoadedLabel_ = CounterLabel("recordsLoadedLabel", this);
    recordsIgnoredLabel_ = CounterLabel("recordsIgnoredLabel", this);
    errorsLabel_ = CounterLabel("errorsLabel", this);
    warningsLabel_ = CounterLabel("warningsLabel", this);
    auto* counters = new QGridLayout;
    const struct {
        const char* text;
        QLabel* value;
    } counterRows[] = {
        {"Records Read", recordsReadLabel_},
        {"Records Loaded", recordsLoadedLabel_},
        {"Records Ignored", recordsIgnoredLabel_},
        {"Errors", errorsLabel_},
        {"Warnings", warningsLabel_},
    };
    int column = 0;
    for (const auto& row : counterRows) {
        counters->addWidget(new QLabel(QString::fromLatin1(row.text), this), 0, column);
        counters->addWidget(row.value, 1, column);
        ++column;
    }
    // Shown only during a run; idle, an empty bar looked like a text box.
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setRange(0, kProgressSteps);
    progressBar_->reset();
    QSizePolicy keepPlace = progressBar_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    progressBar_->setSizePolicy(keepPlace);
    progressBar_->hide();
    counters->addWidget(progressBar_, 1, column);
    counters->setColumnStretch(column, 1);
    return counters;
}

void CImportView::OnInitialUpdate() {
    static_cast<ElidedPathLabel*>(targetPathLabel_)->SetPath(Q(app_.m_strTargetPath));
    if (QAbstractButton* all = filterGroup_->button(kFilterAll)) all->setChecked(true);

    hostPathEdit_->setText(app_.m_strProgramPath.empty()
                               ? QString()
                               : Q(WithTrailingSeparator(app_.m_strProgramPath)));
    defaultOprCallEdit_->setText(Q(app_.m_strOperatorCall));

    counters_ = Counters{};
    countersDirty_ = true;
    FlushDisplay();
    doc_.setTitle(QString());

    oprCallList_->clear();
    const QString oprCall = defaultOprCallEdit_->text().trimmed();
    if (!oprCall.isEmpty()) oprCallList_->addItem(oprCall);
    for (int i = 0; i < oprCallList_->count(); ++i)
        oprCallList_->item(i)->setFlags(oprCallList_->item(i)->flags() | Qt::ItemIsEditable);

    // The form opens all the same; Begin Import then refuses, saying the
    // target is not open.
    const std::string error = session_->OpenTarget();
    if (!error.empty()) {
        ShowMessage(window(), Q(MessageText(kMsgTargetDatabaseError) + "\n" + error),
                    MessageIcon::Stop);
    } else {
        // The line says which kind of database the import writes.
        static_cast<ElidedPathLabel*>(targetPathLabel_)
            ->SetPath(Q(app_.m_strTargetPath), Q("  (" + session_->TargetKind() + ")"));
    }
}

ImportOptions CImportView::CollectOptions() const {
    ImportOptions options;
    options.sourceType = sourceTypeCombo_->currentIndex();
    options.sourcePath = S(sourcePathEdit_->text());
    options.hostPath = S(hostPathEdit_->text());
    options.defaultOprCall = S(defaultOprCallEdit_->text());
    options.defaultNote = S(noteEdit_->text());
    options.defaultSpec1 = S(special1Edit_->text());
    options.defaultSpec2 = S(special2Edit_->text());
    options.qslSentFromDate = qslSentFromDateCheck_->isChecked();
    options.filter = filterGroup_->checkedId();
    for (int i = 0; i < oprCallList_->count(); ++i) {
        const QString call = oprCallList_->item(i)->text().trimmed();
        if (!call.isEmpty()) options.oprCalls.push_back(S(call));
    }
    return options;
}

void CImportView::OnBeginImport() {
    // A second press while the run's events are pumped.
    if (session_->Running()) return;
    hostPathAtBegin_ = hostPathEdit_->text();
    try {
        session_->BeginImport(CollectOptions());
    } catch (const std::exception& e) {
        // The session reports engine errors itself; anything else must not
        // take the program down with the run.
        session_->StopImport();
        ShowMessage(this, QString::fromStdString(e.what()), MessageIcon::Stop);
    }
    ShowHostPathWithSeparator();
    FlushDisplay();
    if (closeWhenStopped_) {
        closeWhenStopped_ = false;
        window()->close();
    }
}

void CImportView::OnStopImport() {
    session_->StopImport();
}

void CImportView::ShowHostPathWithSeparator() {
    // The session adds the separator to the path it was given; show it when
    // the field still holds that path.
    const QString withSeparator = Q(session_->options().hostPath);
    if (hostPathEdit_->text() == hostPathAtBegin_ && withSeparator != hostPathAtBegin_ &&
        withSeparator.startsWith(hostPathAtBegin_) &&
        withSeparator.size() == hostPathAtBegin_.size() + 1)
        hostPathEdit_->setText(withSeparator);
}

bool CImportView::ask(int messageId, const std::string& text, MessageIcon icon) {
    FlushDisplay();
    const bool yes = AskYesNo(window(), Q(text), icon);
    // The run goes on: so does the window.
    if (messageId == kMsgAbortQuestion && !yes) closeWhenStopped_ = false;
    return yes;
}

void CImportView::notify(int messageId, const std::string& text, MessageIcon icon) {
    FlushDisplay();
    ShowMessage(window(), Q(text), icon);
    if (session_->Running()) return;
    // A refusal of Begin Import leaves the focus on the field at fault.
    QWidget* field = nullptr;
    switch (messageId) {
        case kMsgSelectSourceType:
        case kMsgReaderMissing:
            field = sourceTypeCombo_;
            break;
        case kMsgSourceNotOpen:
        case kMsgSourceFileNotOpen:
        case kMsgSourceNotOfType:
        case kMsgErrorFileNotCreated:
            field = sourcePathEdit_;
            break;
        case kMsgOprCallRequired:
            field = defaultOprCallEdit_;
            break;
        case kMsgProgramPathEmpty:
        case kMsgProgramPathHasMdb:
        case kMsgReferenceNotOpen:
            field = hostPathEdit_;
            break;
        default:
            break;
    }
    if (field != nullptr) field->setFocus(Qt::OtherFocusReason);
}

void CImportView::pump() {
    // processEvents costs little, but once per record it adds up: a person
    // does not notice 15 ms.
    if (pumpClock_.isValid() && pumpClock_.elapsed() < kPumpIntervalMs) return;
    FlushDisplay(false);
    QCoreApplication::processEvents();
    pumpClock_.start();
}

void CImportView::countersChanged(const Counters& counters) {
    counters_ = counters;
    countersDirty_ = true;
    if (!session_->Running()) FlushDisplay();
}

void CImportView::problemAdded(const std::string& line) {
    pendingLines_.append(Q(line));
    // Lines that the list would drop at once are not held until it is due.
    if (pendingLines_.size() >= 2 * kMaxListedLines) {
        listedTotal_ += pendingLines_.size() - kMaxListedLines;
        pendingLines_.erase(pendingLines_.begin(), pendingLines_.end() - kMaxListedLines);
    }
    if (!session_->Running()) FlushDisplay();
}

void CImportView::runningChanged(bool running) {
    if (running) {
        ShowHostPathWithSeparator();
        // Busy until the reader tells its position.
        progressDone_ = progressTotal_ = 0;
        progressDirty_ = false;
        progressBar_->setRange(0, 0);
        progressBar_->show();
        pumpClock_.invalidate();
        listClock_.invalidate();
        runClock_.start();
        readAtRunStart_ = counters_.recordsRead;
    } else {
        progressBar_->setRange(0, kProgressSteps);
        progressBar_->reset();
        progressBar_->hide();
        runClock_.invalidate();
        emit progressText(QString());
    }
    // The options the run uses stay as they were until it ends.
    for (QGroupBox* group : optionGroups_) group->setEnabled(!running);
    FlushDisplay();
    emit importRunning(running);
}

void CImportView::progressChanged(std::int64_t done, std::int64_t total) {
    progressDone_ = done;
    progressTotal_ = total;
    progressDirty_ = true;
}

void CImportView::FlushDisplay(bool now) {
    if (countersDirty_) {
        countersDirty_ = false;
        recordsReadLabel_->setText(QString::number(counters_.recordsRead));
        recordsLoadedLabel_->setText(QString::number(counters_.recordsLoaded));
        recordsIgnoredLabel_->setText(QString::number(counters_.recordsIgnored));
        errorsLabel_->setText(QString::number(counters_.errors));
        warningsLabel_->setText(QString::number(counters_.warnings));
    }
    if (!pendingLines_.isEmpty() &&
        (now || !listClock_.isValid() || listClock_.elapsed() >= listIntervalMs_)) {
        QElapsedTimer cost;
        cost.start();
        listedTotal_ += pendingLines_.size();
        if (pendingLines_.size() > kMaxListedLines) {
            pendingLines_.erase(pendingLines_.begin(), pendingLines_.end() - kMaxListedLines);
        }
        std::reverse(pendingLines_.begin(), pendingLines_.end());
        problemList_->insertItems(0, pendingLines_);
        pendingLines_.clear();
        if (const int extra = problemList_->count() - kMaxListedLines; extra > 0) {
            problemList_->model()->removeRows(kMaxListedLines, extra);
        }
        if (listedTotal_ > kMaxListedLines) {
            problemListNote_->setText(
                QStringLiteral("The list shows the newest %1 of %2 problem lines; each run's "
                               "ERRORS.TXT holds all of its lines.")
                    .arg(kMaxListedLines)
                    .arg(listedTotal_));
            problemListNote_->show();
        }
        // An insert drops the view's layout and schedules a new one for
        // later; the repaint of the next pump came first every time, so the
        // list stayed blank for the whole run. Lay it out now.
        problemList_->doItemsLayout();
        // The layout takes longer the longer the list: keep it to about a
        // twentieth of the run.
        listIntervalMs_ = std::max(kListIntervalMs, 20 * cost.elapsed());
        listClock_.start();
    }
    if (progressDirty_ && session_->Running()) {
        progressDirty_ = false;
        if (progressTotal_ > 0) {
            const std::int64_t done = std::clamp<std::int64_t>(progressDone_, 0, progressTotal_);
            progressBar_->setRange(0, kProgressSteps);
            progressBar_->setValue(static_cast<int>(done * kProgressSteps / progressTotal_));
        }
        emit progressText(
            Q(ProgressSummary(counters_.recordsRead - readAtRunStart_, progressDone_,
                              progressTotal_, runClock_.isValid() ? runClock_.elapsed() : 0)));
    }
}

QStringList CImportView::QtFilters(const std::string& filterList) {
    QStringList parts = Q(filterList).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // "*.*" would hide files without a dot.
        // Several patterns of one entry are ';'-separated in the list, blank-separated for Qt.
        const QString pattern =
            parts[i + 1] == QLatin1String("*.*")
                ? QStringLiteral("*")
                : QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters;
}

void CImportView::BrowseSource() {
    const QStringList filters = QtFilters(SourceFilterList(session_->sourceTypes()));
    QString selected;
    const int type = sourceTypeCombo_->currentIndex();
    if (type >= 0 && type < static_cast<int>(session_->sourceTypes().size())) {
        const QString prefix =
            QString::fromUtf8(session_->sourceTypes()[type].filterName) + QStringLiteral(" (");
        for (const QString& filter : filters)
            if (filter.startsWith(prefix)) selected = filter;
    }
    QString start = sourcePathEdit_->text();
    if (!start.isEmpty()) start = QFileInfo(start).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Select Source Database"), start,
                                     filters.join(QStringLiteral(";;")), &selected);
    if (!path.isEmpty()) sourcePathEdit_->setText(QDir::toNativeSeparators(path));
}

void CImportView::BrowseHostPath() {
    const QString dir = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Tolvex 2007 Full Path"), hostPathEdit_->text());
    if (!dir.isEmpty())
        hostPathEdit_->setText(Q(WithTrailingSeparator(S(QDir::toNativeSeparators(dir)))));
}

void CImportView::AddOprCall() {
    auto* item = new QListWidgetItem(QString(), oprCallList_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    oprCallList_->setCurrentItem(item);
    oprCallList_->editItem(item);
}

void CImportView::RemoveOprCall() {
    const QList<QListWidgetItem*> selected = oprCallList_->selectedItems();
    for (QListWidgetItem* item : selected) delete item;
}

void CImportView::PruneBlankOprCalls() {
    // A blank row is no call, and a call listed twice is listed once.
    QStringList seen;
    for (int i = 0; i < oprCallList_->count();) {
        QListWidgetItem* item = oprCallList_->item(i);
        const QString call = item->text().trimmed().toUpper();
        if (call.isEmpty() || seen.contains(call)) {
            delete item;
            continue;
        }
        seen.append(call);
        ++i;
    }
}

void CImportView::CopyProblemLines() {
    QStringList lines;
    for (int i = 0; i < problemList_->count(); ++i)
        if (problemList_->item(i)->isSelected()) lines.append(problemList_->item(i)->text());
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace tvx
