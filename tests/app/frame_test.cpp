// The main frame: menu, toolbar, status bar, about box, Display Error File;
// and the form's controls.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEnterEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "gui_driver.h"
#include "import/messages.h"
#include "import/session.h"
#include "import_view.h"
#include "main_frame.h"
#include "readers/source_types.h"

namespace tvx::test {
namespace {

using FrameTest = GuiWorld;

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text();
    return texts;
}

TEST_F(FrameTest, MenusHoldEveryItemInOrder) {
    StartAppOrFail();
    QStringList titles;
    std::vector<QMenu*> menus;
    for (QAction* a : frame()->menuBar()->actions()) {
        titles << a->text();
        menus.push_back(a->menu());
    }
    ASSERT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Import", "&Help"}));
    EXPECT_EQ(MenuTexts(menus[0]),
              (QStringList{"P&rint Setup...", "&Display Error File", "&Export ADIF...", "E&xit"}));
    EXPECT_EQ(MenuTexts(menus[1]), (QStringList{"&Undo", "Cu&t", "&Copy", "&Paste"}));
    EXPECT_EQ(MenuTexts(menus[2]), (QStringList{"&Toolbar", "&Status Bar"}));
    EXPECT_EQ(MenuTexts(menus[3]), (QStringList{"&Begin Import", "&Stop Import"}));
    EXPECT_EQ(MenuTexts(menus[4]), (QStringList{"&Help Topics", "&About Import 2007..."}));
}

TEST_F(FrameTest, StandardShortcuts) {
    StartAppOrFail();
    const struct {
        const char* action;
        QKeySequence key;
    } cases[] = {
        {"undoAction", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {"undoAction", QKeySequence(Qt::ALT | Qt::Key_Backspace)},
        {"cutAction", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"cutAction", QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {"copyAction", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"copyAction", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {"pasteAction", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"pasteAction", QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {"helpTopicsAction", QKeySequence(Qt::Key_F1)},
    };
    for (const auto& c : cases) {
        QAction* a = action(c.action);
        ASSERT_NE(a, nullptr) << c.action;
        EXPECT_TRUE(a->shortcuts().contains(c.key))
            << c.action << " lacks " << c.key.toString().toStdString();
    }
}

TEST_F(FrameTest, ToolbarButtonsInOrderWithTipsAndPrompts) {
    StartAppOrFail();
    auto* bar = widget<QToolBar>("mainToolBar");
    ASSERT_NE(bar, nullptr);
    QStringList order;
    for (QAction* a : bar->actions()) order << (a->isSeparator() ? "|" : a->objectName());
    EXPECT_EQ(order,
              (QStringList{"cutAction", "copyAction", "pasteAction", "|", "displayErrorFileAction",
                           "beginImportAction", "stopImportAction", "|", "aboutAction"}));
    const struct {
        const char* action;
        const char* statusTip;
        const char* toolTip;
    } prompts[] = {
        {"beginImportAction", "Starts the import process using selected options", "Start Import"},
        {"stopImportAction", "Stops the current import in progress", "Stop Import"},
        {"displayErrorFileAction", "Display the last error file produced", "Display Error File"},
    };
    for (const auto& p : prompts) {
        EXPECT_EQ(action(p.action)->statusTip(), p.statusTip);
        EXPECT_EQ(action(p.action)->toolTip(), p.toolTip);
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action(p.action)));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), p.toolTip);
    }
}

TEST_F(FrameTest, StatusBarShowsPromptsAndIndicators) {
    StartAppOrFail();
    QStatusBar* bar = frame()->statusBar();
    ASSERT_TRUE(bar->isVisible());
    for (const char* name : {"capIndicator", "numIndicator", "scrlIndicator"})
        ASSERT_NE(widget<QLabel>(name), nullptr) << name;
    EXPECT_EQ(widget<QLabel>("capIndicator")->text(), "CAP");
    EXPECT_EQ(widget<QLabel>("numIndicator")->text(), "NUM");
    EXPECT_EQ(widget<QLabel>("scrlIndicator")->text(), "SCRL");
    // The pointer enters the Begin Import button: its prompt shows.
    QWidget* button = widget<QToolBar>("mainToolBar")->widgetForAction(action("beginImportAction"));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(bar->currentMessage(), "Starts the import process using selected options");

    action("statusBarToggleAction")->trigger();
    EXPECT_FALSE(bar->isVisible());
    action("statusBarToggleAction")->trigger();
    EXPECT_TRUE(bar->isVisible());
    action("toolBarToggleAction")->trigger();
    EXPECT_FALSE(widget<QToolBar>("mainToolBar")->isVisible());
}

TEST_F(FrameTest, AboutBox) {
    StartAppOrFail();
    QStringList labels;
    bool hasOk = false;
    modal_->expect([&](QWidget* modal) {
        for (QLabel* label : modal->findChildren<QLabel*>())
            if (!label->text().isEmpty()) labels << label->text();
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        hasOk = ok != nullptr;
        ASSERT_TRUE(hasOk);
        EXPECT_FALSE(modal->findChild<QLabel*>("aboutIconLabel")->pixmap().isNull());
        ok->click();
    });
    action("aboutAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].title, "About Tolvex Import");
    EXPECT_EQ(modal_->seen[0].className, "tvx::CImpAboutDlg");
    EXPECT_TRUE(labels.contains("Tolvex 2007 Import Utility Companion Program"));
    EXPECT_TRUE(labels.contains("Version 1.02"));
    EXPECT_TRUE(hasOk);
}

TEST_F(FrameTest, DisplayErrorFileBeforeAnyImportSaysSo) {
    StartAppOrFail();
    UrlRecorder desktop;
    modal_->answerBox(QMessageBox::Ok);
    action("displayErrorFileAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].text.toStdString(), MessageText(kMsgNoImportRunYet));
    EXPECT_EQ(modal_->seen[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(desktop.urls.empty());
}

TEST_F(FrameTest, FormControlsHaveTheirLabelsAndLimits) {
    StartAppOrFail();
    const struct {
        const char* edit;
        const char* label;
        int maxLength;
    } edits[] = {
        {"qsoNoteEdit", "QSO Note Field", 50},
        {"specialField1Edit", "Populate Special Field 1 ", 25},
        {"specialField2Edit", "Populate Special Field 2", 25},
        {"defaultOprCallEdit", "Default Opr Call if not in source data", 15},
    };
    for (const auto& e : edits) {
        auto* edit = widget<QLineEdit>(e.edit);
        ASSERT_NE(edit, nullptr) << e.edit;
        EXPECT_EQ(edit->maxLength(), e.maxLength) << e.edit;
        // The label is the form row's label of the edit.
        auto* form = qobject_cast<QFormLayout*>(edit->parentWidget()->layout());
        ASSERT_NE(form, nullptr) << e.edit;
        auto* label = qobject_cast<QLabel*>(form->labelForField(edit));
        ASSERT_NE(label, nullptr) << e.edit;
        EXPECT_EQ(label->text(), e.label);
    }
    EXPECT_EQ(widget<QGroupBox>("requiredSelectionsGroup")->title(), "Required Selections");
    EXPECT_EQ(widget<QGroupBox>("optionalDefaultsGroup")->title(), "Optional Default Values");
    EXPECT_EQ(widget<QGroupBox>("filterGroup")->title(), "Band and Mode Filter Selection");
    EXPECT_EQ(widget<QGroupBox>("oprCallGroup")->title(), "QSOs for these OPR Calls");
    EXPECT_EQ(widget<QCheckBox>("qslSentFromDateCheck")->text(),
              "Populate QSO date in QSL sent Field");
    EXPECT_FALSE(widget<QCheckBox>("qslSentFromDateCheck")->isChecked());
    EXPECT_EQ(widget<QRadioButton>("filterNoneRadio")->text(), "Do Not load any records");
    EXPECT_EQ(widget<QRadioButton>("filterAllRadio")->text(), "Load All Records");
    EXPECT_EQ(widget<QRadioButton>("filterNotConfirmedRadio")->text(), "Load if not confirmed");
    EXPECT_EQ(widget<QRadioButton>("filterNotWorkedRadio")->text(), "Load if not worked");

    // Longer input is cut at the limit; calls are in capitals.
    auto* note = widget<QLineEdit>("qsoNoteEdit");
    note->clear();
    QTest::keyClicks(note, QString(60, QLatin1Char('n')));
    EXPECT_EQ(note->text().size(), 50);
    auto* call = widget<QLineEdit>("defaultOprCallEdit");
    call->clear();
    QTest::keyClicks(call, QStringLiteral("dl1abc/p-long-callsign"));
    EXPECT_EQ(call->text(), "DL1ABC/P-LONG-C");
}

TEST_F(FrameTest, SourceTypeComboListsTheFourteenTypesInOrder) {
    StartAppOrFail();
    auto* combo = widget<QComboBox>("sourceTypeCombo");
    const QStringList expected = {"Standard ADIF",   "LoTW ADIF",           "Log Windows v3",
                                  "XpWin v1",        "HyperLog v2 - v3.06", "Logview",
                                  "Swisslog v3.82A", "DXlog v1.9",          "DX DeskTop v2.75",
                                  "LogPlus v3-v4",   "TopLog v2.5",         "Q9ZZ v3",
                                  "EasyLog",         "StationMaster 1.x"};
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, expected);
    EXPECT_FALSE(combo->isEditable());
}

TEST_F(FrameTest, SourceFilterListInQtForm) {
    const QStringList filters = CImportView::QtFilters(SourceFilterList(SourceTypes()));
    ASSERT_EQ(filters.size(), 15);
    EXPECT_EQ(filters.front(), "Standard ADIF (*.adi *.adif *.adx)");
    EXPECT_EQ(filters[2], "LOGWIN-3 (*.asc)");
    EXPECT_EQ(filters[13], "StationMaster (*.mdb)");
    EXPECT_EQ(filters.back(), "All (*)");
}

TEST_F(FrameTest, SourceBrowseUsesTitleAndFilters) {
    StartAppOrFail();
    widget<QComboBox>("sourceTypeCombo")
        ->setCurrentIndex(SourceTypeFromName(SourceTypes(), "logview"));
    const std::string source = write("data/log.txt", "x");
    QString title, selectedFilter;
    QStringList filters;
    modal_->expect([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        dialog->selectFile(QString::fromStdString(source));
        static_cast<QDialog*>(dialog)->accept();
    });
    widget<QToolButton>("sourcePathBrowseButton")->click();
    EXPECT_EQ(title, "Select Source Database");
    EXPECT_EQ(filters, CImportView::QtFilters(SourceFilterList(SourceTypes())));
    EXPECT_EQ(selectedFilter, "Logview (*.txt)");
    EXPECT_EQ(widget<QLineEdit>("sourcePathEdit")->text().toStdString(), source);
}

TEST_F(FrameTest, OprCallListIsEditable) {
    StartAppOrFail();
    auto* list = widget<QListWidget>("oprCallList");
    widget<QPushButton>("oprCallAddButton")->click();
    ASSERT_EQ(list->count(), 2);
    auto* editor = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    // Typed like the "Default Opr Call": capitals, at most 15 characters.
    QTest::keyClicks(editor, QStringLiteral("dl1xyz/p234567890"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits by a queued call
    EXPECT_EQ(list->item(1)->text(), "DL1XYZ/P2345678");
    list->item(1)->setText(QStringLiteral("DL1XYZ"));
    const ImportOptions options = view()->CollectOptions();
    EXPECT_EQ(options.oprCalls, (std::vector<std::string>{"N0CALL", "DL1XYZ"}));

    // A new row left blank goes again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the old editor
    widget<QPushButton>("oprCallAddButton")->click();
    ASSERT_EQ(list->count(), 3);
    auto* blank = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(blank, nullptr);
    QTest::keyClicks(blank, QStringLiteral("   "));
    QTest::keyClick(blank, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(list->count(), 2);

    // A call already listed is refused.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    widget<QPushButton>("oprCallAddButton")->click();
    auto* again = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(again, nullptr);
    QTest::keyClicks(again, QStringLiteral("n0call"));
    QTest::keyClick(again, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(list->count(), 2);

    list->setCurrentRow(0);
    widget<QPushButton>("oprCallRemoveButton")->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "DL1XYZ");
    // So does the Delete key.
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(FrameTest, EditCommandsWorkOnTheFocusedField) {
    StartAppOrFail();
    auto* note = widget<QLineEdit>("qsoNoteEdit");
    frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    note->setFocus();
    note->setText(QStringLiteral("hello"));
    note->selectAll();
    action("copyAction")->trigger();
    note->clear();
    action("pasteAction")->trigger();
    action("pasteAction")->trigger();
    EXPECT_EQ(note->text(), "hellohello");
}

}  // namespace
}  // namespace tvx::test

namespace tvx::test {
namespace {

TEST_F(FrameTest, HelpTopicsAndPrintSetupOpenTheirDialogs) {
    StartAppOrFail();
    QString helpText;
    modal_->expect([&](QWidget* modal) {
        auto* text = modal->findChild<QTextBrowser*>("helpText");
        ASSERT_NE(text, nullptr);
        helpText = text->toPlainText();
        static_cast<QDialog*>(modal)->reject();
    });
    action("helpTopicsAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 1u);
    EXPECT_EQ(modal_->seen[0].title, "Import Help");
    EXPECT_TRUE(helpText.contains("Begin Import"));

    modal_->expect([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    action("printSetupAction")->trigger();
    ASSERT_EQ(modal_->seen.size(), 2u);
    EXPECT_TRUE(modal_->seen[1].className.contains("PageSetup"))
        << modal_->seen[1].className.toStdString();
}

}  // namespace
}  // namespace tvx::test

namespace tvx::test {
namespace {

TEST_F(FrameTest, FolderBrowseFillsTheProgramPathWithItsSeparator) {
    StartAppOrFail();
    std::filesystem::create_directories(file("tolvex2007"));
    const QString folder = QString::fromStdString(file("tolvex2007"));
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    modal_->expect([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        mode = dialog->fileMode();
        dialog->selectFile(folder);
        static_cast<QDialog*>(dialog)->accept();
    });
    widget<QToolButton>("hostPathBrowseButton")->click();
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_EQ(widget<QLineEdit>("hostPathEdit")->text(), folder + "/");
}

}  // namespace
}  // namespace tvx::test

namespace tvx::test {

// The export's result box says in words where the file went.
TEST_F(FrameTest, ExportSaysWhereTheFileWent) {
    StartAppOrFail();
    const std::string out = file("exported.adi");
    modal_->chooseFile(QString::fromStdString(out));
    modal_->answerBox(QMessageBox::Ok);
    action("exportAdifAction")->trigger();
    ASSERT_EQ(modal_->texts().size(), 1);
    EXPECT_TRUE(modal_->texts()[0].startsWith(
        QString::fromStdString("The ADIF file " + out + " was written with ")))
        << modal_->texts()[0].toStdString();
    EXPECT_TRUE(std::filesystem::exists(out));
}

}  // namespace tvx::test
