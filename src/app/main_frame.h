#pragma once
// The main window: menu, toolbar, status bar and the import form.

#include <QMainWindow>
#include <memory>
#include <vector>

#include "import/session.h"
#include "import/settings.h"

class QAction;
class QLabel;
class QPrinter;
class QToolBar;

namespace tvx {

class CImportDoc;
class CImportView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(ApplicationPaths& app, CImportDoc& doc, std::vector<SourceType> types,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    CImportView* view() const { return view_; }

  public slots:
    void OnDisplayErrorFile();
    void OnExportAdif();
    void OnAppAbout();
    void OnHelpTopics();
    void OnPrintSetup();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* MakeAction(const char* objectName, const QString& text, const QString& prompt);
    void CreateActions();
    void CreateFileActions();
    void CreateEditActions();
    void CreateRunActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void UpdateTitle();
    void EditCommand(const char* slot);
    void UpdateIndicators(quint32 nativeModifiers);

    ApplicationPaths& app_;
    CImportDoc& doc_;
    CImportView* view_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QToolBar* toolBar_ = nullptr;
    QLabel* capIndicator_ = nullptr;
    QLabel* numIndicator_ = nullptr;
    QLabel* scrlIndicator_ = nullptr;
    bool scrollLock_ = false;

    QAction* printSetupAction_ = nullptr;
    QAction* displayErrorFileAction_ = nullptr;
    QAction* exportAdifAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* cutAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* pasteAction_ = nullptr;
    QAction* statusBarAction_ = nullptr;
    QAction* beginImportAction_ = nullptr;
    QAction* stopImportAction_ = nullptr;
    QAction* helpTopicsAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QLabel* progressPane_ = nullptr;
    QLabel* statusMessagePane_ = nullptr;  // "Ready", "Importing..."
};

}  // namespace tvx
