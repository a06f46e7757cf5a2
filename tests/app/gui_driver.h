#pragma once
// Driving the real window in tests: the Qt application, answers to modal
// boxes and dialogs, and a small world of settings, host folder, target and
// ADIF sources in a temporary folder.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/tempdir.h"

class QAction;
class QLabel;
class QWidget;

namespace tvx {
class CImportApp;
class CImportView;
class CMainFrame;
}  // namespace tvx

namespace tvx::test {

// The one QApplication of the test program (offscreen unless a display is
// named).
void EnsureQtApp();

// What a modal box or dialog showed.
struct SeenModal {
    QString className;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;  // "Yes", "No", "OK"
    bool expected = true;
};

// Answers modal boxes and dialogs in the order they appear, from a queue of
// handlers. A box nobody expected is recorded and closed, so a test fails
// instead of hanging.
class ModalAnswerer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(QWidget*)>;

    ModalAnswerer();
    ~ModalAnswerer() override;

    void expect(Handler handler) { queue_.push_back(std::move(handler)); }
    // A message box, answered with the button.
    void answerBox(QMessageBox::StandardButton button);
    // The target file dialog: choose the file (empty: cancel).
    void chooseFile(const QString& path);

    std::vector<SeenModal> seen;
    int pending() const { return static_cast<int>(queue_.size()); }
    // The texts of the message boxes seen, in order.
    QStringList texts() const;

  private:
    void Tick();
    static void Close(QWidget* modal);
    std::deque<Handler> queue_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

// Records the URLs the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    UrlRecorder();
    ~UrlRecorder() override;
    std::vector<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

// The whole file; "" when it cannot be read.
std::string ReadFile(const std::string& path);

// An ADIF file of n contacts with good calls; every badEvery-th record
// (1-based) has no time and is refused with "Time?".
std::string MakeAdif(int n, int badEvery);

// A temporary world: $WINDIR with Tvx2007.ini naming DATAPATH (a file in the
// data folder), PGMPATH (the host folder with the reference database) and
// OPRCALL; a target database in the data folder.
class GuiWorld : public ::testing::Test {
  public:
    GuiWorld();
    ~GuiWorld() override;
    void SetUp() override;
    void TearDown() override;

    std::string dataDir() const { return dir_.file("data"); }
    std::string hostDir() const { return dir_.file("host"); }
    std::string targetPath() const { return dir_.file("data/N0CALL.mdb"); }
    std::string winDir() const { return dir_.file("win"); }
    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string write(const std::string& name, const std::string& bytes) const {
        return dir_.write(name, bytes);
    }
    void WriteSettings(const std::string& text) const;

    // Start-up choosing the file; true when the main window showed.
    bool StartApp(const std::string& target);
    // Start-up with the world's target; fails the test if no window shows.
    void StartAppOrFail();

    CMainFrame* frame() const;
    CImportView* view() const;
    QAction* action(const char* name) const;
    QObject* FindObject(const char* name) const;
    template <class T>
    T* widget(const char* name) const {
        return qobject_cast<T*>(FindObject(name));
    }
    int counter(const char* labelName) const;
    QStringList problemLines() const;
    // Fills the form for an ADIF run of the source.
    void FillForAdif(const std::string& sourcePath);
    // Calls act once, as soon as a run shows records read, for as long as
    // the returned timer runs; done tells whether it was called.
    std::unique_ptr<QTimer> OnceMidRun(bool& done, std::function<void()> act) const;

    TempDir dir_;
    std::unique_ptr<ModalAnswerer> modal_;
    std::unique_ptr<CImportApp> app_;

  private:
    std::string savedWindir_;
    bool hadWindir_ = false;
};

}  // namespace tvx::test
