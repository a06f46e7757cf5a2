// The screenshot of the form in the README: a run of the sample log, taken
// from the X server's screen in the middle of the run. Skipped unless
// TVX_SCREENSHOT names the image to write; scripts/screenshot.sh runs it
// under Xvfb.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <filesystem>

#include "db/schema.h"
#include "db/sqlite.h"
#include "gui_driver.h"
#include "import_view.h"
#include "main_frame.h"

namespace tvx::test {
namespace {

using DocsScreenshot = GuiWorld;

TEST_F(DocsScreenshot, FormDuringRun) {
    const QString out = qEnvironmentVariable("TVX_SCREENSHOT");
    if (out.isEmpty()) GTEST_SKIP() << "set TVX_SCREENSHOT to the image to write";

    // The sample world and log of the README, the log repeated so that the
    // run lasts long enough to be seen.
    const std::string samples = std::string(TVX_TEST_DATA_DIR) + "/../../samples/";
    const std::string refdata = hostDir() + "/refdata.sqlite";
    {
        std::filesystem::remove(refdata);
        createReferenceDatabase(refdata);
        SqliteDb db(refdata, SqliteDb::Mode::ReadWrite);
        db.exec(ReadFile(samples + "refdata.sql"));
    }
    const std::string adif = ReadFile(samples + "sample.adi");
    const std::size_t body = adif.find("<EOH>") + 5;
    std::string big = adif.substr(0, body);
    for (int i = 0; i < 300; ++i) big += adif.substr(body);

    StartAppOrFail();
    frame()->resize(980, 720);
    FillForAdif(write("data/sample.adi", big));
    widget<QLineEdit>("qsoNoteEdit")->setText(QStringLiteral("Imported from SampleLogger"));

    QImage shot;
    bool stopped = false;
    QTimer grabber;
    grabber.setInterval(0);
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        // Once the status bar has a rate to show.
        if (stopped || !view()->IsRunning() || counter("recordsReadLabel") < 9000 ||
            widget<QLabel>("progressPane")->text().isEmpty())
            return;
        frame()->repaint();
        QCoreApplication::processEvents();
        QScreen* screen = QGuiApplication::primaryScreen();
        shot = screen
                   ->grabWindow(0, frame()->x(), frame()->y(), frame()->frameGeometry().width(),
                                frame()->frameGeometry().height())
                   .toImage();
        if (shot.isNull() || QGuiApplication::platformName() != QLatin1String("xcb"))
            shot = frame()->grab().toImage();
        stopped = true;
        action("stopImportAction")->trigger();
    });
    grabber.start();
    modal_->answerBox(QMessageBox::Yes);  // backup made
    modal_->answerBox(QMessageBox::Yes);  // abort after the picture
    modal_->answerBox(QMessageBox::Ok);   // initialise tables
    action("beginImportAction")->trigger();
    grabber.stop();

    ASSERT_TRUE(stopped) << "the run ended before the picture was taken";
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(out, "PNG"));
}

}  // namespace
}  // namespace tvx::test
