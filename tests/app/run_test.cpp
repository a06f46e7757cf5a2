// Begin Import and Stop Import through the real window: every refusal with
// its message, the confirmations, runs of an ADIF file, Stop in mid-run.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "gui_driver.h"
#include "import/messages.h"
#include "import/session.h"
#include "import_app.h"
#include "import_doc.h"
#include "import_view.h"
#include "main_frame.h"
#include "readers/source_types.h"

namespace tvx::test {
namespace {

using RunTest = GuiWorld;

int CountLines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n' ? 1 : 0;
    return n;
}

QString Text(int id) {
    return QString::fromStdString(MessageText(id));
}

// One refusal of Begin Import: how the form is changed, the boxes expected
// (message id, icon, answer) in order.
struct Box {
    int id;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton answer;
};
struct RefusalCase {
    const char* name;
    std::function<void(GuiWorld&)> prepare;
    std::vector<Box> boxes;
    const char* focus = nullptr;  // the field that has the focus afterwards
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace

class BeginImportRefusal : public GuiWorld, public ::testing::WithParamInterface<RefusalCase> {};

namespace {

const QMessageBox::Icon kStop = QMessageBox::Critical;
const QMessageBox::Icon kQuestion = QMessageBox::Question;

}  // namespace

TEST_P(BeginImportRefusal, ShowsItsMessageAndRunsNothing) {
    StartAppOrFail();
    const std::string source = write("data/log.adi", MakeAdif(5, 0));
    widget<QComboBox>("sourceTypeCombo")
        ->setCurrentIndex(SourceTypeFromName(SourceTypes(), "adif"));
    widget<QLineEdit>("sourcePathEdit")->setText(QString::fromStdString(source));
    const RefusalCase& c = GetParam();
    c.prepare(*this);
    for (const Box& box : c.boxes) modal_->answerBox(box.answer);

    action("beginImportAction")->trigger();

    ASSERT_EQ(modal_->seen.size(), c.boxes.size());
    for (std::size_t i = 0; i < c.boxes.size(); ++i) {
        EXPECT_EQ(modal_->seen[i].text, Text(c.boxes[i].id)) << "box " << i;
        EXPECT_EQ(modal_->seen[i].icon, c.boxes[i].icon) << "box " << i;
        EXPECT_EQ(modal_->seen[i].title, "Import");
        const QStringList buttons =
            c.boxes[i].answer == QMessageBox::Ok ? QStringList{"OK"} : QStringList{"Yes", "No"};
        EXPECT_EQ(modal_->seen[i].buttons, buttons) << "box " << i;
    }
    EXPECT_EQ(counter("recordsReadLabel"), 0);
    EXPECT_FALSE(std::filesystem::exists(file("data/ERRORS.TXT")));
    EXPECT_TRUE(action("beginImportAction")->isEnabled());
    EXPECT_FALSE(widget<QProgressBar>("progressBar")->isVisible());
    if (c.focus != nullptr) {
        ASSERT_NE(frame()->focusWidget(), nullptr);
        EXPECT_EQ(frame()->focusWidget()->objectName(), c.focus);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllRefusals, BeginImportRefusal,
    ::testing::Values(
        RefusalCase{
            "NoSourceType",
            [](GuiWorld& t) { t.widget<QComboBox>("sourceTypeCombo")->setCurrentIndex(-1); },
            {{kMsgSelectSourceType, kQuestion, QMessageBox::Ok}},
            "sourceTypeCombo"},
        RefusalCase{"NotAdifAnsweredNo",
                    [](GuiWorld& t) {
                        t.widget<QComboBox>("sourceTypeCombo")
                            ->setCurrentIndex(SourceTypeFromName(SourceTypes(), "logwin"));
                    },
                    {{kMsgNotAdifQuestion, kQuestion, QMessageBox::No}}},
        RefusalCase{"NotAdifAnsweredYesThenNoSource",
                    [](GuiWorld& t) {
                        t.widget<QComboBox>("sourceTypeCombo")
                            ->setCurrentIndex(SourceTypeFromName(SourceTypes(), "logwin"));
                        t.widget<QLineEdit>("sourcePathEdit")->clear();
                    },
                    {{kMsgNotAdifQuestion, kQuestion, QMessageBox::Yes},
                     {kMsgSourceNotOpen, kStop, QMessageBox::Ok}}},
        RefusalCase{"NoSourcePath",
                    [](GuiWorld& t) { t.widget<QLineEdit>("sourcePathEdit")->clear(); },
                    {{kMsgSourceNotOpen, kStop, QMessageBox::Ok}},
                    "sourcePathEdit"},
        RefusalCase{"BlankOperatorCall",
                    [](GuiWorld& t) {
                        t.widget<QLineEdit>("defaultOprCallEdit")->setText(QStringLiteral("   "));
                    },
                    {{kMsgOprCallRequired, kStop, QMessageBox::Ok}},
                    "defaultOprCallEdit"},
        RefusalCase{"NoProgramPath",
                    [](GuiWorld& t) { t.widget<QLineEdit>("hostPathEdit")->clear(); },
                    {{kMsgProgramPathEmpty, kStop, QMessageBox::Ok}},
                    "hostPathEdit"},
        RefusalCase{"ProgramPathWithDatabaseName",
                    [](GuiWorld& t) {
                        t.widget<QLineEdit>("hostPathEdit")
                            ->setText(QString::fromStdString(t.file("host/refdata.mdb")));
                    },
                    {{kMsgProgramPathHasMdb, kStop, QMessageBox::Ok}}},
        RefusalCase{"BackupQuestionAnsweredNo",
                    [](GuiWorld&) {},
                    {{kMsgBackupQuestion, kQuestion, QMessageBox::No}}}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(RunTest, ProgramPathGainsItsSeparatorAndCapitalMdbPasses) {
    // A folder whose name ends in ".MDB" is no database file name: the test
    // for ".mdb" is case-sensitive.
    std::filesystem::create_directories(file("HOST.MDB"));
    std::filesystem::copy_file(hostDir() + "/refdata.sqlite", file("HOST.MDB/refdata.sqlite"));
    StartAppOrFail();
    FillForAdif(write("data/log.adi", MakeAdif(3, 0)));
    widget<QLineEdit>("hostPathEdit")->setText(QString::fromStdString(file("HOST.MDB")));
    modal_->answerBox(QMessageBox::No);  // the backup question
    action("beginImportAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].text, Text(kMsgBackupQuestion));
    EXPECT_EQ(widget<QLineEdit>("hostPathEdit")->text().toStdString(), file("HOST.MDB") + "/");
}

TEST_F(RunTest, TargetThatDidNotOpenIsRefused) {
    const std::string bad = write("data/BROKEN.mdb", "this is no database at all");
    modal_->chooseFile(QString::fromStdString(bad));
    modal_->answerBox(QMessageBox::Ok);
    // The engine's description shows, and the choice comes back.
    modal_->chooseFile(QString::fromStdString(targetPath()));
    app_ = std::make_unique<CImportApp>();
    ASSERT_TRUE(app_->InitInstance({QStringLiteral("tolvex-import")}));
    ASSERT_EQ(modal_->seen.size(), 3u);
    EXPECT_TRUE(modal_->seen[1].text.startsWith(Text(kMsgTargetDatabaseError) + "\n"))
        << modal_->seen[1].text.toStdString();
    EXPECT_GT(modal_->seen[1].text.size(), Text(kMsgTargetDatabaseError).size() + 1);
    EXPECT_EQ(modal_->seen[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(app_->paths().m_strTargetPath, targetPath());
}

TEST_F(RunTest, TypeWithoutReaderIsRefusedClearly) {
    // A build whose table lacks a reader lists the type and refuses it.
    std::vector<SourceType> types = SourceTypes();
    const int easylog = SourceTypeFromName(types, "easylog");
    types[easylog].reader = nullptr;
    ApplicationPaths paths;
    paths.m_strTargetPath = targetPath();
    paths.m_strProgramPath = hostDir();
    paths.m_strOperatorCall = "N0CALL";
    CImportDoc doc;
    CMainFrame frame(paths, doc, types);
    frame.view()->OnInitialUpdate();
    frame.findChild<QComboBox*>("sourceTypeCombo")->setCurrentIndex(easylog);
    frame.findChild<QLineEdit*>("sourcePathEdit")->setText(QString::fromStdString(file("x.dbf")));
    modal_->answerBox(QMessageBox::Ok);
    frame.findChild<QAction*>("beginImportAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].text, Text(kMsgReaderMissing));
    EXPECT_EQ(modal_->seen[0].icon, QMessageBox::Critical);
}

TEST_F(RunTest, AdifRunUpdatesCountersListAndReport) {
    StartAppOrFail();
    const std::string source = write("data/log.adi", MakeAdif(40, 8));
    FillForAdif(source);
    modal_->answerBox(QMessageBox::Yes);  // backup made
    modal_->answerBox(QMessageBox::Ok);   // remember to initialise tables
    action("beginImportAction")->trigger();

    ASSERT_EQ(modal_->seen.size(), 2u);
    EXPECT_EQ(modal_->seen[0].text, Text(kMsgBackupQuestion));
    EXPECT_EQ(modal_->seen[0].icon, QMessageBox::Question);
    EXPECT_EQ(modal_->seen[1].text, Text(kMsgInitializeTables));
    EXPECT_EQ(modal_->seen[1].icon, QMessageBox::Warning);
    EXPECT_EQ(modal_->seen[1].buttons, QStringList{"OK"});

    EXPECT_EQ(counter("recordsReadLabel"), 40);
    EXPECT_EQ(counter("recordsLoadedLabel"), 35);
    EXPECT_EQ(counter("errorsLabel"), 5);
    EXPECT_EQ(counter("warningsLabel"), 0);
    const QStringList lines = problemLines();
    ASSERT_EQ(lines.size(), 5);
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith("ERROR:  Time? ")) << line.toStdString();
    // Newest first: record 40 was the last faulty one.
    const std::string report = ReadFile(file("data/ERRORS.TXT"));
    EXPECT_EQ(CountLines(report), 5);
    EXPECT_EQ(report.substr(report.rfind("ERROR:"), lines[0].size()), lines[0].toStdString());
    EXPECT_EQ(report.substr(0, lines[4].size()), lines[4].toStdString());
    EXPECT_TRUE(action("beginImportAction")->isEnabled());
    EXPECT_FALSE(widget<QProgressBar>("progressBar")->isVisible());

    // Display Error File now opens this run's report.
    {
        UrlRecorder desktop;
        action("displayErrorFileAction")->trigger();
        ASSERT_EQ(desktop.urls.size(), 1u);
        EXPECT_EQ(desktop.urls[0].toLocalFile().toStdString(), file("data/ERRORS.TXT"));
    }
    // Without a desktop handler (as offscreen has none) the path is shown.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        modal_->answerBox(QMessageBox::Ok);
        action("displayErrorFileAction")->trigger();
        ASSERT_EQ(modal_->seen.size(), 3u);
        EXPECT_TRUE(modal_->seen[2].text.endsWith(QString::fromStdString(file("data/ERRORS.TXT"))))
            << modal_->seen[2].text.toStdString();
        modal_->seen.pop_back();
    }

    // A second run: the list keeps the first run's lines, the report holds
    // only the second's, the counters grow.
    write("data/log.adi", MakeAdif(10, 5));
    modal_->answerBox(QMessageBox::Yes);
    modal_->answerBox(QMessageBox::Ok);
    action("beginImportAction")->trigger();
    EXPECT_EQ(counter("recordsReadLabel"), 50);
    EXPECT_EQ(counter("recordsLoadedLabel"), 43);
    EXPECT_EQ(counter("errorsLabel"), 7);
    EXPECT_EQ(problemLines().size(), 7);
    EXPECT_EQ(problemLines().mid(2), lines);
    EXPECT_EQ(CountLines(ReadFile(file("data/ERRORS.TXT"))), 2);
}

TEST_F(RunTest, TrialRunAsksNoBackupAndShowsSamples) {
    StartAppOrFail();
    FillForAdif(write("data/log.adi", MakeAdif(30, 0)));
    widget<QRadioButton>("filterNoneRadio")->click();
    action("beginImportAction")->trigger();
    EXPECT_TRUE(modal_->seen.empty()) << modal_->texts().join(" / ").toStdString();
    EXPECT_EQ(counter("recordsReadLabel"), 30);
    EXPECT_EQ(counter("recordsLoadedLabel"), 0);
    const QStringList lines = problemLines();
    EXPECT_EQ(lines.size(), 15);
    for (const QString& line : lines) EXPECT_TRUE(line.startsWith("Sample ")) << line.toStdString();
}

// Stop Import in the middle of a run; the abort question answered as given.
class StopTest : public GuiWorld, public ::testing::WithParamInterface<bool> {};

TEST_P(StopTest, StopInMidRun) {
    const bool abort = GetParam();
    const int total = 20000;
    StartAppOrFail();
    FillForAdif(write("data/big.adi", MakeAdif(total, 0)));

    // Press Stop once the form shows some records read: that is mid-run.
    bool pressed = false;
    const auto stopper = OnceMidRun(pressed, [this] { action("stopImportAction")->trigger(); });

    int readAtQuestion = -1;
    bool beginEnabledInRun = true, stopEnabledInRun = false, progressInRun = false;
    modal_->answerBox(QMessageBox::Yes);  // backup
    modal_->expect([&](QWidget* modal) {
        readAtQuestion = counter("recordsReadLabel");
        beginEnabledInRun = action("beginImportAction")->isEnabled();
        stopEnabledInRun = action("stopImportAction")->isEnabled();
        progressInRun = widget<QProgressBar>("progressBar")->isVisible();
        qobject_cast<QMessageBox*>(modal)
            ->button(abort ? QMessageBox::Yes : QMessageBox::No)
            ->click();
    });
    modal_->answerBox(QMessageBox::Ok);  // remember to initialise tables
    action("beginImportAction")->trigger();
    stopper->stop();

    ASSERT_TRUE(pressed);
    ASSERT_EQ(modal_->seen.size(), 3u) << modal_->texts().join(" / ").toStdString();
    EXPECT_EQ(modal_->seen[1].text, Text(kMsgAbortQuestion));
    EXPECT_EQ(modal_->seen[1].buttons, (QStringList{"Yes", "No"}));
    EXPECT_EQ(modal_->seen[2].text, Text(kMsgInitializeTables));
    EXPECT_GT(readAtQuestion, 0);
    EXPECT_LT(readAtQuestion, total);
    EXPECT_FALSE(beginEnabledInRun);
    EXPECT_TRUE(stopEnabledInRun);
    EXPECT_TRUE(progressInRun);

    const int read = counter("recordsReadLabel");
    if (abort) {
        EXPECT_EQ(read, readAtQuestion);
        EXPECT_LT(read, total);
    } else {
        EXPECT_EQ(read, total);
    }
    EXPECT_EQ(counter("recordsLoadedLabel"), read);
    EXPECT_TRUE(action("beginImportAction")->isEnabled());
    EXPECT_FALSE(widget<QProgressBar>("progressBar")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(AbortAnswer, StopTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Yes" : "No");
                         });

TEST_F(RunTest, ClosingTheWindowMidRunStopsThenCloses) {
    StartAppOrFail();
    FillForAdif(write("data/big.adi", MakeAdif(20000, 0)));
    bool closed = false;
    const auto closer = OnceMidRun(closed, [this] { frame()->close(); });
    modal_->answerBox(QMessageBox::Yes);  // backup
    modal_->answerBox(QMessageBox::Yes);  // abort
    modal_->answerBox(QMessageBox::Ok);   // initialise tables
    action("beginImportAction")->trigger();
    closer->stop();
    ASSERT_TRUE(closed);
    ASSERT_EQ(modal_->seen.size(), 3u);
    EXPECT_EQ(modal_->seen[1].text, Text(kMsgAbortQuestion));
    // The run's closing steps ran (the last box), then the window closed.
    EXPECT_EQ(modal_->seen[2].text, Text(kMsgInitializeTables));
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_LT(counter("recordsReadLabel"), 20000);
    EXPECT_EQ(counter("recordsLoadedLabel"), counter("recordsReadLabel"));
}

// During a run the newest problem is the first row the list shows, and the
// bar tells the position in the source.
TEST_F(RunTest, LiveProblemListAndProgressDuringRun) {
    StartAppOrFail();
    FillForAdif(write("data/big.adi", MakeAdif(20000, 7)));
    auto* list = widget<QListWidget>("problemList");
    auto* bar = widget<QProgressBar>("progressBar");
    int looks = 0, newestOnTop = 0;
    std::vector<int> values;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!view()->IsRunning()) return;
        if (bar->isVisible() && bar->maximum() > 0) values.push_back(bar->value());
        if (list->count() == 0) return;
        ++looks;
        // What a paint shows now: the view's own queries would lay it out first.
        const QImage shown = list->viewport()->grab().toImage();
        const QModelIndex top = list->indexAt(list->viewport()->rect().topLeft() + QPoint(2, 2));
        const QRect row = list->visualItemRect(list->item(0));
        int inked = 0;
        for (int y = std::max(row.top(), 0); y <= row.bottom() && y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                inked += shown.pixel(x, y) != shown.pixel(shown.width() - 1, y) ? 1 : 0;
        if (top.row() == 0 && row.top() <= 2 && inked > 0) ++newestOnTop;
    });
    watcher.start();
    modal_->answerBox(QMessageBox::Yes);  // backup
    modal_->answerBox(QMessageBox::Ok);   // initialise tables
    action("beginImportAction")->trigger();
    watcher.stop();

    ASSERT_GT(looks, 0);
    EXPECT_EQ(newestOnTop, looks);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GE(values.front(), 0);
    EXPECT_LE(values.back(), 1000);
    EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](int v) { return v > 0 && v < 1000; }));
    EXPECT_FALSE(bar->isVisible());
}

// A line per record: the list keeps the newest lines and says so, and during
// the run nothing can change the options it uses or open a box that would
// hold it up unseen.
TEST_F(RunTest, LongProblemListAndTheFormDuringARun) {
    StartAppOrFail();
    FillForAdif(write("data/bad.adi", MakeAdif(12000, 1)));
    int looks = 0, locked = 0;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        // From the run's start (the bar shows) to its end.
        if (!widget<QProgressBar>("progressBar")->isVisible()) return;
        ++looks;
        const bool formLocked = !widget<QComboBox>("sourceTypeCombo")->isEnabled() &&
                                !action("aboutAction")->isEnabled() &&
                                !action("helpTopicsAction")->isEnabled() &&
                                widget<QLabel>("statusMessagePane")->text() == "Importing...";
        locked += formLocked ? 1 : 0;
    });
    watcher.start();
    modal_->answerBox(QMessageBox::Yes);  // backup
    action("beginImportAction")->trigger();
    watcher.stop();
    ASSERT_GT(looks, 0);
    EXPECT_EQ(locked, looks);
    EXPECT_EQ(counter("errorsLabel"), 12000);
    auto* list = widget<QListWidget>("problemList");
    ASSERT_EQ(list->count(), 10000);
    EXPECT_TRUE(list->item(0)->text().startsWith("ERROR"));
    EXPECT_TRUE(widget<QLabel>("problemListNote")->text().contains("10000 of 12000"));
    EXPECT_TRUE(widget<QComboBox>("sourceTypeCombo")->isEnabled());
    EXPECT_EQ(widget<QLabel>("statusMessagePane")->text(), "Ready");
}

}  // namespace tvx::test

namespace tvx::test {

TEST_F(RunTest, BrokenJetTargetIsRefusedWithTheReason) {
    std::string jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    jet.resize(4096, '\0');
    const std::string target = write("data/OLDLOG.mdb", jet);
    modal_->chooseFile(QString::fromStdString(target));
    modal_->answerBox(QMessageBox::Ok);
    modal_->chooseFile(QString());
    app_ = std::make_unique<CImportApp>();
    EXPECT_FALSE(app_->InitInstance({QStringLiteral("tolvex-import")}));
    ASSERT_EQ(modal_->seen.size(), 3u);
    EXPECT_TRUE(modal_->seen[1].text.contains("cannot be written"))
        << modal_->seen[1].text.toStdString();
}

}  // namespace tvx::test
