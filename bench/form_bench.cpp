// The form under a flood of problem lines (a wrong source type gives one per
// record): 1,000,000 lines through the form's host interface offscreen, as a
// run hands them over, with the longest time the window went without
// answering and the peak memory.
//
// Run: tvx_form_bench [LINES]   (QT_QPA_PLATFORM=offscreen is set if unset)

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import_doc.h"
#include "import_view.h"
#include "readers/source_types.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    tvx::ApplicationPaths paths;
    tvx::CImportDoc doc;
    tvx::CImportView view(paths, doc, tvx::SourceTypes());
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();

    QElapsedTimer total;
    total.start();
    qint64 longestPump = 0;
    view.runningChanged(true);
    tvx::Counters counters;
    for (long i = 0; i < lines; ++i) {
        ++counters.recordsRead;
        ++counters.errors;
        view.problemAdded("ERROR:  Call? RECORD" + std::to_string(i) + "       20m  CW  20230109");
        view.countersChanged(counters);
        // A reader pumps once per record; the form itself lets 15 ms pass.
        QElapsedTimer pump;
        pump.start();
        view.pump();
        longestPump = std::max(longestPump, pump.elapsed());
    }
    view.runningChanged(false);
    QApplication::processEvents();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "problem lines: %ld\ntotal: %.2f s\nlongest pump: %lld ms\n"
        "peak memory: %.1f MB\n",
        lines, total.elapsed() / 1000.0, static_cast<long long>(longestPump),
        usage.ru_maxrss / 1024.0);
    return 0;
}
