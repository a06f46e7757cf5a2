#include "gui_driver.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/schema.h"
#include "import/session.h"
#include "import_app.h"
#include "import_view.h"
#include "main_frame.h"
#include "readers/source_types.h"
#include "support/import_fixture.h"

namespace tvx::test {

void EnsureQtApp() {
    if (QApplication::instance()) return;
    // ctest names the platform; run by hand without a display, stay headless.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

namespace {

// The application goes when the tests are done: font caches are released
// with it, and the leak checker stays quiet.
class QtEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { delete QApplication::instance(); }
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

ModalAnswerer::ModalAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Tick);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() {
    timer_.stop();
}

void ModalAnswerer::Tick() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == last_) return;
    last_ = modal;

    SeenModal record;
    record.className = QString::fromLatin1(modal->metaObject()->className());
    record.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        record.text = box->text();
        record.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            switch (box->standardButton(button)) {
                case QMessageBox::Yes:
                    record.buttons << QStringLiteral("Yes");
                    break;
                case QMessageBox::No:
                    record.buttons << QStringLiteral("No");
                    break;
                case QMessageBox::Ok:
                    record.buttons << QStringLiteral("OK");
                    break;
                default:
                    record.buttons << button->text();
            }
        }
    }
    if (queue_.empty()) {
        record.expected = false;
        seen.push_back(record);
        ADD_FAILURE() << "unexpected " << record.className.toStdString() << ": "
                      << record.text.toStdString();
        Close(modal);
        return;
    }
    seen.push_back(record);
    Handler handler = std::move(queue_.front());
    queue_.pop_front();
    QPointer<QWidget> guard = modal;
    handler(modal);
    // A handler that failed before answering must not leave the test hanging.
    if (guard && guard->isVisible() && QApplication::activeModalWidget() == guard) Close(guard);
}

void ModalAnswerer::Close(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* no = box->button(QMessageBox::No)) {
            no->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
}

void ModalAnswerer::answerBox(QMessageBox::StandardButton button) {
    expect([button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "expected a message box, got "
                                << modal->metaObject()->className();
        QAbstractButton* target = box->button(button);
        ASSERT_NE(target, nullptr) << "the box has no such button: " << box->text().toStdString();
        target->click();
    });
}

void ModalAnswerer::chooseFile(const QString& path) {
    expect([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << "expected a file dialog";
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

QStringList ModalAnswerer::texts() const {
    QStringList out;
    for (const SeenModal& m : seen)
        if (m.className == QLatin1String("QMessageBox")) out << m.text;
    return out;
}

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string MakeAdif(int n, int badEvery) {
    static const char* const kPrefixes[] = {"DL1", "G4", "F5", "PA3", "ON4", "EA3", "I2", "OK1"};
    static const char* const kBands[][2] = {{"20M", "14.025"}, {"40M", "7.012"}, {"15M", "21.030"}};
    std::ostringstream out;
    out << "Contacts generated for a test\n<ADIF_VER:5>3.1.4\n<EOH>\n";
    for (int i = 1; i <= n; ++i) {
        std::string call = kPrefixes[i % 8];
        call += static_cast<char>('A' + i % 26);
        call += static_cast<char>('A' + (i / 26) % 26);
        call += static_cast<char>('A' + (i / 676) % 26);
        char time[7];
        std::snprintf(time, sizeof time, "%02d%02d%02d", (i / 3600) % 24, (i / 60) % 60, i % 60);
        const auto& band = kBands[i % 3];
        out << "<CALL:" << call.size() << ">" << call << " <QSO_DATE:8>20230109 ";
        if (badEvery <= 0 || i % badEvery != 0) out << "<TIME_ON:6>" << time << " ";
        out << "<BAND:" << std::strlen(band[0]) << ">" << band[0]
            << " <FREQ:" << std::strlen(band[1]) << ">" << band[1]
            << " <MODE:2>CW <RST_SENT:3>599 <RST_RCVD:3>579 <EOR>\n";
    }
    return out.str();
}

GuiWorld::GuiWorld() = default;
GuiWorld::~GuiWorld() = default;

void GuiWorld::SetUp() {
    EnsureQtApp();
    if (const char* old = std::getenv("WINDIR")) {
        hadWindir_ = true;
        savedWindir_ = old;
    }
    std::filesystem::create_directories(winDir());
    std::filesystem::create_directories(dataDir());
    std::filesystem::create_directories(hostDir());
    setenv("WINDIR", winDir().c_str(), 1);
    WriteSmallWorld(hostDir() + "/refdata.sqlite");
    createTargetDatabase(targetPath());
    // A Windows-style settings file: section and key case differ from the
    // host program's spelling on purpose.
    WriteSettings("[DIR]\r\nDataPath=" + dataDir() + "/N0CALL.mdb\r\npgmpath=" + hostDir() +
                  "\r\n[gen]\r\nOPRCALL=N0CALL\r\n");
    modal_ = std::make_unique<ModalAnswerer>();
}

void GuiWorld::TearDown() {
    app_.reset();
    modal_.reset();
    if (hadWindir_)
        setenv("WINDIR", savedWindir_.c_str(), 1);
    else
        unsetenv("WINDIR");
}

void GuiWorld::WriteSettings(const std::string& text) const {
    dir_.write("win/Tvx2007.ini", text);
}

bool GuiWorld::StartApp(const std::string& target) {
    app_ = std::make_unique<CImportApp>();
    modal_->chooseFile(QString::fromStdString(target));
    return app_->InitInstance({QStringLiteral("tolvex-import")});
}

void GuiWorld::StartAppOrFail() {
    ASSERT_TRUE(StartApp(targetPath()));
    ASSERT_NE(frame(), nullptr);
    modal_->seen.clear();
}

CMainFrame* GuiWorld::frame() const {
    return app_ ? app_->mainFrame() : nullptr;
}

CImportView* GuiWorld::view() const {
    return frame() ? frame()->view() : nullptr;
}

QObject* GuiWorld::FindObject(const char* name) const {
    if (!frame()) return nullptr;
    return frame()->findChild<QObject*>(QString::fromLatin1(name));
}

QAction* GuiWorld::action(const char* name) const {
    return widget<QAction>(name);
}

int GuiWorld::counter(const char* labelName) const {
    QLabel* label = widget<QLabel>(labelName);
    return label ? label->text().toInt() : -1;
}

std::unique_ptr<QTimer> GuiWorld::OnceMidRun(bool& done, std::function<void()> act) const {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QObject::connect(timer.get(), &QTimer::timeout, [this, &done, act = std::move(act)] {
        if (!done && view()->IsRunning() && counter("recordsReadLabel") > 0) {
            done = true;
            act();
        }
    });
    timer->start();
    return timer;
}

QStringList GuiWorld::problemLines() const {
    QStringList lines;
    if (auto* list = widget<QListWidget>("problemList"))
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

void GuiWorld::FillForAdif(const std::string& sourcePath) {
    widget<QComboBox>("sourceTypeCombo")
        ->setCurrentIndex(SourceTypeFromName(SourceTypes(), "adif"));
    widget<QLineEdit>("sourcePathEdit")->setText(QString::fromStdString(sourcePath));
}

}  // namespace tvx::test
