// Times the ledger window's grid on a data file made by tovaki-bench-gen:
//   tovaki-bench-ledger-view DATAFILE [REPEATS]
// Loading the big supplier into the grid model, the window showing it (model, view layout and
// the jump to the newest line), one screenful of cell texts, and one confirmed cell. Runs on the
// offscreen platform unless another is chosen. The file is changed (a check mark is written
// and put back).
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LedgerGrid.h"
#include "ledger/LedgerModel.h"
#include "ledger/frmData.h"
#include "store/DataFile.h"
#include "store/Database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double min = 0;
    double median = 0;
    double max = 0;
};

// Runs op `repeats` times (after one warm-up run) and returns milliseconds.
Figures timeIt(int repeats, const std::function<bool()>& op, bool& ok) {
    std::vector<double> ms;
    ok = op();
    for (int i = 0; i < repeats && ok; ++i) {
        QElapsedTimer t;
        t.start();
        ok = op();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

void print(const char* what, const Figures& f, const char* goal) {
    std::printf("%-58s median %8.2f ms  (min %7.2f, max %7.2f)  goal %s\n", what, f.median, f.min,
                f.max, goal);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovaki-bench-ledger-view DATAFILE [REPEATS]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;
    svc().setProgramFolder(QFileInfo(path).absolutePath(), path);
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    std::printf("data file: %s\n", argv[1]);

    LedgerModel model(1, gdbData());
    const Figures load = timeIt(
        repeats, [&] { return model.load(1, LedgerView::Normal); }, ok);
    if (ok) {
        char what[96];
        std::snprintf(what, sizeof what, "grid model: load big supplier, %d lines",
                      model.lineCount());
        print(what, load, "<= 300 ms");
    }

    glngDataKind = 1;
    frmData* window = frmData::instance();
    window->show();
    QCoreApplication::processEvents();
    LedgerGrid* grid = window->DBGrid_Main;
    grid->setVisible(true);
    const Figures show = timeIt(
        repeats,
        [&] {
            if (!window->mChangeView(1, QStringLiteral("通常")))
                return false;
            grid->repaint();
            QCoreApplication::processEvents();
            return true;
        },
        ok);
    if (ok)
        print("window: show big supplier (load, layout, newest line)", show, "<= 500 ms");

    LedgerModel* shown = window->model();
    const int firstRow = std::max(0, shown->lineCount() - 30);
    const Figures texts = timeIt(
        repeats,
        [&] {
            qsizetype chars = 0;
            for (int r = firstRow; r < shown->rowCount(); ++r)
                for (int c = 1; c <= 14; ++c)
                    chars += shown->data(shown->index(r, c)).toString().size();
            return chars > 0;
        },
        ok);
    if (ok)
        print("grid model: cell texts of one screenful (30 rows)", texts, "<= 2 ms");

    if (ok && shown->lineCount() > 0) {
        const int row = shown->lineCount() / 2;
        const LedgerLine original = shown->line(row);
        int flip = 0;
        const Figures store = timeIt(
            repeats,
            [&] {
                RuleResult refusal;
                ++flip;
                return shown->setCellText(row, LedgerCol::Check,
                                          flip % 2 ? QStringLiteral("7") : QStringLiteral("3"),
                                          refusal);
            },
            ok);
        if (ok)
            print("grid model: confirm one cell (check mark)", store, "<= 5 ms");
        LedgerLine back = original;
        shown->store().storeChanges(shown->line(row), back);
    }

    delete static_cast<QWidget*>(window);
    DbClose();
    if (!ok) {
        std::fprintf(stderr, "a benchmark step failed (see the error log)\n");
        return 1;
    }
    return 0;
}
