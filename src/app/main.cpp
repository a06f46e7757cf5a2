// tolvex-import: the desktop program.

#include <QApplication>
#include <QCommandLineParser>
#include <string_view>

#include "about_dlg.h"
#include "import_app.h"

namespace {

// --help and --version print on stdout and end before any window system is
// needed (a package check or a shell without a display).
bool AnswersWithoutWindows(int argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        asked = asked || arg == "--help" || arg == "-h" || arg == "-?" || arg == "--version" ||
                arg == "-v" || arg == "--help-all";
    }
    if (!asked) return false;
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvex-import"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TVX_VERSION));
    QCommandLineParser parser;
    tvx::CImportApp::SetUpParser(parser);
    parser.process(core);  // prints and exits 0 for help and version
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswersWithoutWindows(argc, argv)) return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex-import"));
    QApplication::setApplicationVersion(QStringLiteral(TVX_VERSION));
    QApplication::setWindowIcon(tvx::AppIcon());

    tvx::CImportApp app;
    // Cancelling the choice of the target ends the program before any window.
    if (!app.InitInstance(QApplication::arguments())) return 0;
    return QApplication::exec();
}
