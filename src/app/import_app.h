#pragma once
// The application object: start-up, the choice of the target database and
// the paths the whole application shares.

#include <QCommandLineParser>
#include <QStringList>
#include <memory>
#include <string>

#include "import/settings.h"

namespace tvx {

class CImportDoc;
class CMainFrame;

class CImportApp {
  public:
    CImportApp();
    ~CImportApp();
    CImportApp(const CImportApp&) = delete;
    CImportApp& operator=(const CImportApp&) = delete;

    // Reads the host settings, has the user choose the target and shows the
    // main window. False: the program ends without a window (the choice was
    // cancelled or refused, or the command line was wrong).
    bool InitInstance(const QStringList& arguments);
    // The desktop program's options; returns the settings option.
    static QCommandLineOption SetUpParser(QCommandLineParser& parser);

    ApplicationPaths& paths() { return paths_; }
    CMainFrame* mainFrame() const { return frame_.get(); }

  private:
    bool ChooseTargetDatabase(const std::string& settingsPath);
    // The file dialog of the target; empty when cancelled.
    std::string ChooseTargetFile(const std::string& cutDataPath);

    ApplicationPaths paths_;
    std::unique_ptr<CImportDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace tvx
