// Start-up: the settings file, the target choice and its refusals, and the
// form's initial values.

#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <cstdio>
#include <filesystem>

#include "db/schema.h"
#include "gui_driver.h"
#include "import/messages.h"
#include "import_app.h"
#include "main_frame.h"

namespace tvx::test {
namespace {

using StartupTest = GuiWorld;

const char kRefdataRefusal[] =
    "The file <Refdata.mdb> you selected is NOT your QSO database.  Restart the program and "
    "select a QSO database file such as yourcall.mdb.";

TEST_F(StartupTest, CancelEndsBeforeAnyWindow) {
    EXPECT_FALSE(StartApp(""));
    EXPECT_EQ(frame(), nullptr);
    EXPECT_EQ(modal_->pending(), 0);
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].className, "QFileDialog");
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
}

TEST_F(StartupTest, TargetDialogHasTitleFolderAndFilter) {
    QString title, folder;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    app_ = std::make_unique<CImportApp>();
    const QString target = QString::fromStdString(targetPath());
    modal_->expect([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        mode = dialog->fileMode();
        dialog->selectFile(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(app_->InitInstance({QStringLiteral("tolvex-import")}));
    EXPECT_EQ(title, "Select Target Tolvex .mdb QSO database");
    // DATAPATH names a file: the dialog opens in its folder.
    EXPECT_EQ(folder, QDir(QString::fromStdString(dataDir())).absolutePath());
    EXPECT_EQ(filters, (QStringList{"SQLite databases (*.sqlite *.db)", "Tolvex 2007 (*.mdb)",
                                    "All files (*)"}));
    // The first filter shows the targets that init-target makes.
    createTargetDatabase(dataDir() + "/target.sqlite");
    const QStringList shown = QDir(QString::fromStdString(dataDir()))
                                  .entryList({QStringLiteral("*.sqlite"), QStringLiteral("*.db")});
    EXPECT_EQ(shown, QStringList{"target.sqlite"});
    EXPECT_EQ(mode, QFileDialog::AnyFile);  // a new name makes a new target
    EXPECT_EQ(app_->paths().m_strTargetPath, targetPath());
    EXPECT_EQ(app_->paths().m_strStartDir, QDir::currentPath().toStdString());
}

TEST_F(StartupTest, RefdataOfDataPathIsRefusedWhateverItsCase) {
    const std::string refdata = write("data/REFDATA.MDB", "not a QSO database");
    app_ = std::make_unique<CImportApp>();
    modal_->chooseFile(QString::fromStdString(refdata));
    modal_->answerBox(QMessageBox::Ok);
    modal_->chooseFile(QString());  // the choice comes back: cancelled
    EXPECT_FALSE(app_->InitInstance({QStringLiteral("tolvex-import")}));
    EXPECT_EQ(frame(), nullptr);
    ASSERT_EQ(modal_->seen.size(), 3u);
    const SeenModal& box = modal_->seen[1];
    EXPECT_EQ(box.text, kRefdataRefusal);
    EXPECT_EQ(box.text.toStdString(), MessageText(kMsgRefdataChosenAsTarget));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QStringList{"OK"});
    EXPECT_EQ(box.title, "Import");
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
}

// A name that does not exist yet offers a new empty target there.
TEST_F(StartupTest, NewFileNameCreatesAnEmptyTarget) {
    const std::string fresh = file("data/new-log.sqlite");
    app_ = std::make_unique<CImportApp>();
    modal_->chooseFile(QString::fromStdString(fresh));
    modal_->answerBox(QMessageBox::Yes);
    ASSERT_TRUE(app_->InitInstance({QStringLiteral("tolvex-import")}));
    ASSERT_EQ(modal_->seen.size(), 2u);
    EXPECT_TRUE(modal_->seen[1].text.contains("Create a new empty target database"));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(app_->paths().m_strTargetPath, fresh);
}

// A long target path is cut in the middle; the window stays on a small screen.
TEST_F(StartupTest, LongTargetPathKeepsTheWindowNarrow) {
    const std::string folder = file("data/" + std::string(180, 'd'));
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/target.sqlite";
    std::filesystem::copy_file(targetPath(), target);
    ASSERT_TRUE(StartApp(target));
    EXPECT_LE(frame()->minimumSizeHint().width(), 1024);
    EXPECT_LE(frame()->width(), 1024);
    auto* label = widget<QLabel>("targetPathLabel");
    EXPECT_EQ(label->toolTip().toStdString(), target);
    EXPECT_TRUE(label->text().contains(QChar(0x2026)));  // the ellipsis
}

TEST_F(StartupTest, RefdataOfAnotherFolderIsAccepted) {
    std::filesystem::create_directories(file("other"));
    const std::string other = file("other/refdata.mdb");
    std::filesystem::copy_file(targetPath(), other);
    ASSERT_TRUE(StartApp(other));
    ASSERT_NE(frame(), nullptr);
    EXPECT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(widget<QLabel>("targetPathLabel")->toolTip().toStdString(), other);
}

TEST_F(StartupTest, FormStartsFromTheSettings) {
    StartAppOrFail();
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(frame()->windowTitle(), "Import");
    EXPECT_EQ(widget<QLabel>("targetPathLabel")->toolTip().toStdString(), targetPath());
    // PGMPATH without a trailing separator gains one.
    EXPECT_EQ(widget<QLineEdit>("hostPathEdit")->text().toStdString(), hostDir() + "/");
    EXPECT_EQ(widget<QLineEdit>("defaultOprCallEdit")->text(), "N0CALL");
    auto* calls = widget<QListWidget>("oprCallList");
    ASSERT_EQ(calls->count(), 1);
    EXPECT_EQ(calls->item(0)->text(), "N0CALL");
    EXPECT_TRUE(widget<QRadioButton>("filterAllRadio")->isChecked());
    EXPECT_EQ(widget<QComboBox>("sourceTypeCombo")->currentIndex(), -1);
    for (const char* name : {"recordsReadLabel", "recordsLoadedLabel", "recordsIgnoredLabel",
                             "errorsLabel", "warningsLabel"})
        EXPECT_EQ(widget<QLabel>(name)->text(), "0") << name;
    EXPECT_EQ(widget<QListWidget>("problemList")->count(), 0);
}

TEST_F(StartupTest, NoSettingsFileLeavesPathAndCallEmpty) {
    std::filesystem::remove(file("win/Tvx2007.ini"));
    StartAppOrFail();
    EXPECT_TRUE(widget<QLineEdit>("hostPathEdit")->text().isEmpty());
    EXPECT_TRUE(widget<QLineEdit>("defaultOprCallEdit")->text().isEmpty());
    EXPECT_EQ(widget<QListWidget>("oprCallList")->count(), 0);
}

TEST_F(StartupTest, SettingsFileNamedOnTheCommandLine) {
    const std::string other =
        write("elsewhere.ini", "[Dir]\nPGMPATH=/opt/tolvex/\n[Gen]\nOPRCALL=DL1XYZ\n");
    app_ = std::make_unique<CImportApp>();
    modal_->chooseFile(QString::fromStdString(targetPath()));
    ASSERT_TRUE(app_->InitInstance({QStringLiteral("tolvex-import"), QStringLiteral("--settings"),
                                    QString::fromStdString(other)}));
    EXPECT_EQ(widget<QLineEdit>("hostPathEdit")->text(), "/opt/tolvex/");
    EXPECT_EQ(widget<QLineEdit>("defaultOprCallEdit")->text(), "DL1XYZ");
}

// Help and version need no window system: on stdout, exit 0, even with no
// display and no platform named.
TEST(StartupWithoutDisplay, HelpAndVersionPrintOnStdout) {
    for (const char* option : {"--version", "--help"}) {
        const std::string command = std::string(
                                        "env -u DISPLAY -u WAYLAND_DISPLAY -u "
                                        "QT_QPA_PLATFORM ") +
                                    TVX_GUI_PATH + " " + option + " 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << option << " " << status;
        EXPECT_NE(out.find(std::string(option) == "--version" ? "tolvex-import 1." : "--settings"),
                  std::string::npos)
            << out;
    }
}

}  // namespace
}  // namespace tvx::test
