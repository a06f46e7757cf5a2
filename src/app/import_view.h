#pragma once
// The import form: the options, the counters, the problem list and the
// progress bar. The import itself is the core's session; the form shows what
// the session asks it to show and keeps itself live during a run.

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "import/host.h"
#include "import/session.h"
#include "import/settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace tvx {

class CImportDoc;

class CImportView : public QWidget, public ImportHost {
    Q_OBJECT
  public:
    CImportView(ApplicationPaths& app, CImportDoc& doc, std::vector<SourceType> types,
                QWidget* parent = nullptr);
    ~CImportView() override;

    // Fills the controls from the application's paths and opens the target.
    void OnInitialUpdate();

    // The values of the controls as the session takes them.
    ImportOptions CollectOptions() const;
    // True from Begin Import until the session has finished the run.
    bool IsRunning() const { return session_->Running(); }
    // The window is to close once the run has stopped (unless the user
    // answers No to the abort question).
    void CloseWhenStopped() { closeWhenStopped_ = true; }
    ImportSession& session() { return *session_; }

    // The file dialog's filter list in Qt's form ("Name (*.ext)").
    static QStringList QtFilters(const std::string& filterList);

    // ImportHost
    bool ask(int messageId, const std::string& text, MessageIcon icon) override;
    void notify(int messageId, const std::string& text, MessageIcon icon) override;
    void pump() override;
    void countersChanged(const Counters& counters) override;
    void problemAdded(const std::string& line) override;
    void runningChanged(bool running) override;
    void progressChanged(std::int64_t done, std::int64_t total) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  public slots:
    void OnBeginImport();
    void OnStopImport();
    // Copies the selected problem lines to the clipboard.
    void CopyProblemLines();

  signals:
    void importRunning(bool running);
    // Records per second and the time left, for the status bar; empty when idle.
    void progressText(const QString& text);

  private slots:
    void BrowseSource();
    void BrowseHostPath();
    void AddOprCall();
    void RemoveOprCall();
    void PruneBlankOprCalls();

  private:
    // The form, built group by group in tab order.
    void BuildForm();
    QGroupBox* BuildRequiredGroup();
    QGroupBox* BuildOptionalGroup();
    QGroupBox* BuildFilterGroup();
    QGroupBox* BuildOprCallGroup();
    QGridLayout* BuildCounters();
    // Brings the buffered counters and problem lines onto the screen; the
    // lines only when the list is due (or now).
    void FlushDisplay(bool now = true);
    void ShowHostPathWithSeparator();

    ApplicationPaths& app_;
    CImportDoc& doc_;
    std::unique_ptr<ImportSession> session_;
    QElapsedTimer pumpClock_;
    Counters counters_;
    bool countersDirty_ = false;
    QStringList pendingLines_;  // oldest first
    QString hostPathAtBegin_;
    bool closeWhenStopped_ = false;
    std::int64_t progressDone_ = 0;
    std::int64_t progressTotal_ = 0;
    bool progressDirty_ = false;
    QElapsedTimer runClock_;
    QElapsedTimer listClock_;
    qint64 listIntervalMs_ = 0;

    QLabel* targetPathLabel_ = nullptr;
    QComboBox* sourceTypeCombo_ = nullptr;
    QLineEdit* defaultOprCallEdit_ = nullptr;
    QLineEdit* hostPathEdit_ = nullptr;
    QToolButton* hostPathBrowseButton_ = nullptr;
    QLineEdit* sourcePathEdit_ = nullptr;
    QToolButton* sourcePathBrowseButton_ = nullptr;
    QLineEdit* noteEdit_ = nullptr;
    QLineEdit* special1Edit_ = nullptr;
    QLineEdit* special2Edit_ = nullptr;
    QCheckBox* qslSentFromDateCheck_ = nullptr;
    QButtonGroup* filterGroup_ = nullptr;
    QListWidget* oprCallList_ = nullptr;
    QPushButton* oprCallAddButton_ = nullptr;
    QPushButton* oprCallRemoveButton_ = nullptr;
    QLabel* recordsReadLabel_ = nullptr;
    QLabel* recordsLoadedLabel_ = nullptr;
    QLabel* recordsIgnoredLabel_ = nullptr;
    QLabel* errorsLabel_ = nullptr;
    QLabel* warningsLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QListWidget* problemList_ = nullptr;
    QLabel* problemListNote_ = nullptr;
    std::vector<QGroupBox*> optionGroups_;  // disabled during a run
    int readAtRunStart_ =
        0;  // the counter counts every run since start-up  // says when older lines left the list
    qint64 listedTotal_ = 0;
};

}  // namespace tvx
