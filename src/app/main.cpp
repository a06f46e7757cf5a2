// tolvex-import: the desktop program.

#include <QApplication>

#include "about_dlg.h"
#include "import_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex-import"));
    QApplication::setApplicationVersion(QStringLiteral(TVX_VERSION));
    QApplication::setWindowIcon(tvx::AppIcon());

    tvx::CImportApp app;
    // Cancelling the choice of the target ends the program before any window.
    if (!app.InitInstance(QApplication::arguments())) return 0;
    return QApplication::exec();
}
