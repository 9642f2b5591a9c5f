// Times the ledger's core operations on a data file made by tovaki-bench-gen:
//   tovaki-bench-ledger DATAFILE [REPEATS]
// Opening the big supplier (loading its lines in both view orders), storing one cell, and the
// period totals of one supplier and term. The file is changed (cells are written and put back).
#include "BenchClock.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LedgerStore.h"
#include "ledger/Totals.h"
#include "store/DataFile.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double min = 0;
    double median = 0;
    double max = 0;
    double cpuMedian =
        0; // processor time of this process: the figure a busy machine distorts least
};

// Runs op `repeats` times (after one warm-up run) and returns milliseconds.
Figures timeIt(int repeats, const std::function<bool()>& op, bool& ok) {
    std::vector<double> ms;
    std::vector<double> cpu;
    ok = op();
    for (int i = 0; i < repeats && ok; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        ok = op();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - c0);
    }
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms.front(), ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2]};
}

void print(const char* what, const Figures& f, const char* goal) {
    std::printf("%-56s median %8.2f ms (min %7.2f, max %7.2f, cpu %7.2f)  goal %s\n", what,
                f.median, f.min, f.max, f.cpuMedian, goal);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovaki-bench-ledger DATAFILE [REPEATS]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    svc().setProgramFolder(QFileInfo(path).absolutePath(), path);
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    LedgerStore store(1, gdbData());
    std::vector<LedgerLine> lines;

    std::printf("data file: %s\n", argv[1]);
    // Opening as a grid over a long ledger does: the order from the index, then the lines of
    // the screen that shows the newest line (the last 40).
    std::vector<qint64> ids;
    std::vector<LedgerLine> screen;
    const Figures openNormal = timeIt(
        repeats,
        [&] {
            return store.loadOrder(1, LedgerView::Normal, ids) &&
                   store.readLines(ids, ids.size() > 40 ? ids.size() - 40 : 0, 40, screen);
        },
        ok);
    if (ok) {
        char what[96];
        std::snprintf(what, sizeof what, "open big supplier (%zu lines): order + last screen",
                      ids.size());
        print(what, openNormal, "<= 200 ms");
    }
    const Figures openEntry = timeIt(
        repeats,
        [&] {
            return store.loadOrder(1, LedgerView::Entry, ids) &&
                   store.readLines(ids, ids.size() > 40 ? ids.size() - 40 : 0, 40, screen);
        },
        ok);
    if (ok)
        print("open big supplier, 入力順: order + last screen", openEntry, "<= 200 ms");
    const Figures scroll = timeIt(
        repeats, [&] { return store.readLines(ids, ids.size() / 2, 40, screen); }, ok);
    if (ok)
        print("read one screen (40 lines) while scrolling", scroll, "-");
    std::vector<LedgerLine> changed;
    const Figures changedFig = timeIt(
        repeats, [&] { return store.changedLines(1, LedgerView::Normal, changed); }, ok);
    if (ok)
        print("changed lines of the big supplier (line check input)", changedFig, "-");
    const Figures loadNormal = timeIt(
        repeats, [&] { return store.load(1, LedgerView::Normal, lines); }, ok);
    const std::size_t bigCount = lines.size();
    if (ok) {
        char what[96];
        std::snprintf(what, sizeof what, "full load of big supplier, %zu lines, 通常", bigCount);
        print(what, loadNormal, "-");
    }
    const Figures loadEntry = timeIt(
        repeats, [&] { return store.load(1, LedgerView::Entry, lines); }, ok);
    if (ok)
        print("full load of big supplier, 入力順", loadEntry, "-");
    std::vector<LedgerLine> small;
    const Figures loadSmall = timeIt(
        repeats, [&] { return store.load(500, LedgerView::Normal, small); }, ok);
    if (ok) {
        char what[96];
        std::snprintf(what, sizeof what, "full load of a typical supplier, %zu lines",
                      small.size());
        print(what, loadSmall, "-");
    }

    // Storing one cell: the check mark of a line in the middle, switched between two values.
    if (ok && !lines.empty()) {
        LedgerLine& line = lines[lines.size() / 2];
        const std::optional<Currency> original = line.curCheck;
        int flip = 0;
        const Figures store1 = timeIt(
            repeats,
            [&] {
                ++flip;
                return store.storeCell(line, LedgerCol::Check,
                                       QVariant::fromValue(Currency::fromInt(flip % 2 ? 7 : 3)), 1);
            },
            ok);
        if (ok)
            print("store one cell (check mark, with after-update flags)", store1, "<= 5 ms");
        bool written = false;
        const Figures store2 = timeIt(
            repeats,
            [&] {
                ++flip;
                return store.updateCell(line, LedgerCol::Note,
                                        flip % 2 ? QStringLiteral("確認") : QStringLiteral("済"),
                                        &written);
            },
            ok);
        if (ok)
            print("update one cell (note)", store2, "<= 5 ms");
        store.updateCell(line, LedgerCol::Check,
                         original ? QVariant::fromValue(*original) : QVariant());
    }

    // Period totals: the big supplier's last term (carry over almost all its lines), a term in
    // the middle, a typical supplier, and a filtered call as the profit report makes it.
    DataTotals totals;
    const QDate s1(2024, 11, 21), e1(2024, 12, 20);
    const Figures t1 = timeIt(
        repeats,
        [&] { return gCalcDATAEachTotal(gdbData(), 1, s1, e1, 1, Currency::fromInt(61), totals); },
        ok);
    if (ok)
        print("gCalcDATAEachTotal big supplier, last term", t1, "<= 20 ms");
    const QDate s2(2019, 6, 21), e2(2019, 7, 20);
    const Figures t2 = timeIt(
        repeats, [&] { return gCalcDATAEachTotal(gdbData(), 1, s2, e2, 1, Currency(), totals); },
        ok);
    if (ok)
        print("gCalcDATAEachTotal big supplier, a middle term", t2, "<= 20 ms");
    const Figures t3 = timeIt(
        repeats,
        [&] {
            return gCalcDATAEachTotal(gdbData(), 500, s1, e1, 1, Currency::fromInt(80), totals);
        },
        ok);
    if (ok)
        print("gCalcDATAEachTotal typical supplier, last term", t3, "<= 20 ms");
    LineFilter filter;
    filter.first = ClassCondition{1, QStringLiteral("文具")};
    filter.second = ClassCondition{2, QStringLiteral("定番")};
    filter.join = FilterJoin::Or;
    filter.excludeTaxLines = true;
    filter.costOnly = true;
    filter.from = s1;
    filter.to = e1;
    const Figures t4 = timeIt(
        repeats,
        [&] {
            return gCalcDATAEachTotal(gdbData(), 1, s1, e1, 1, Currency::fromInt(61), totals,
                                      filter);
        },
        ok);
    if (ok)
        print("gCalcDATAEachTotal big supplier, last term, class filter", t4, "<= 20 ms");
    const Figures t5 = timeIt(
        repeats,
        [&] {
            return gCalcDATAEachTotal(gdbData(), 1, earliestPeriodDate(), latestPeriodDate(), 1,
                                      Currency(), totals);
        },
        ok);
    if (ok)
        print("gCalcDATAEachTotal big supplier, both boxes empty", t5, "-");

    // The same cell stores with the write-ahead log and normal synchronisation: what a cell
    // costs without a full disk flush per statement. The file is put back into its own mode.
    if (ok && !lines.empty()) {
        Database& db = gdbData();
        ok = db.executeSQL(QStringLiteral("PRAGMA journal_mode=WAL")) &&
             db.executeSQL(QStringLiteral("PRAGMA synchronous=NORMAL"));
        LedgerLine& line = lines[lines.size() / 2];
        int flip = 0;
        const Figures wal = timeIt(
            repeats,
            [&] {
                ++flip;
                return store.storeCell(line, LedgerCol::Check,
                                       QVariant::fromValue(Currency::fromInt(flip % 2 ? 7 : 3)), 1);
            },
            ok);
        if (ok)
            print("store one cell, WAL journal + synchronous=NORMAL", wal, "<= 5 ms");
        db.executeSQL(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }

    DbClose();
    if (!ok) {
        std::fprintf(stderr, "a benchmark step failed (see the error log)\n");
        return 1;
    }
    return 0;
}
