// Times the change history on a data file made by tovaki-bench-gen:
//   tovaki-bench-history DATAFILE [REPEATS]
// The first run migrates the generated file (a copy goes into backups/ first) and gives the big
// supplier a history of one change per purchase line, written by the triggers. Then: storing one
// cell as the ledger window does (history origin, trigger, one commit), undoing one change, the
// growth of the file per change, opening the big supplier's history (read and put in words), and
// the automatic backup at shutdown against a plain copy of the file. The file is changed.
#include "BenchClock.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/HistoryView.h"
#include "ledger/LedgerStore.h"
#include "maintenance/Backup.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/History.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// The processor time of the last timeIt (median): what a busy machine distorts least.
double g_lastCpu = 0;

// Runs op `repeats` times (after one warm-up run) and returns the median in milliseconds.
double timeIt(int repeats, const std::function<bool()>& op, bool& ok) {
    std::vector<double> ms;
    std::vector<double> cpu;
    ok = ok && op();
    for (int i = 0; i < repeats && ok; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        ok = op();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - c0);
    }
    g_lastCpu = median(cpu);
    return median(ms);
}

qint64 scalar(const QString& sql) {
    ResultSet rs(gdbData());
    return rs.openRecordSet(sql) && rs.moveFirst() ? rs.value(0).toLongLong() : -1;
}

// Bytes in use: pages minus free pages.
qint64 usedBytes() {
    return (scalar(QStringLiteral("PRAGMA page_count")) -
            scalar(QStringLiteral("PRAGMA freelist_count"))) *
           scalar(QStringLiteral("PRAGMA page_size"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovaki-bench-history DATAFILE [REPEATS]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    svc().setProgramFolder(QFileInfo(path).absolutePath(), path);
    bool ok = true;
    {
        // A file not migrated yet gives the cost of a cell without the history, with the
        // program's journal settings.
        Database plainDb;
        if (plainDb.open(path) && plainDb.schemaVersion() == 1 &&
            plainDb.executeSQL(QStringLiteral("PRAGMA journal_mode=WAL")) &&
            plainDb.executeSQL(QStringLiteral("PRAGMA synchronous=FULL"))) {
            LedgerStore plainStore(1, plainDb);
            std::vector<LedgerLine> lines;
            ok = plainStore.load(1, LedgerView::Normal, lines) && !lines.empty();
            LedgerLine line = ok ? lines[lines.size() / 2] : LedgerLine();
            int flip = 0;
            const double ms = timeIt(
                repeats,
                [&] {
                    ++flip;
                    return plainStore.storeCell(
                        line, LedgerCol::Check,
                        QVariant::fromValue(Currency::fromInt(flip % 2 ? 7 : 3)), 1);
                },
                ok);
            std::printf("%-58s median %8.2f ms (cpu %.2f)\n",
                        "store one cell, version 1 (no history)", ms, g_lastCpu);
            plainDb.executeSQL(QStringLiteral("PRAGMA journal_mode=DELETE"));
        }
    }
    QElapsedTimer open;
    open.start();
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::printf("data file: %s, opened in %.0f ms (a first open migrates it)\n", argv[1],
                static_cast<double>(open.nsecsElapsed()) / 1e6);
    Database& db = gdbData();

    // The big supplier's history: one change per purchase line, as if each had been typed over.
    const QString big = QStringLiteral("SELECT count(*) FROM T_HISTORY WHERE lngMasterID = 1");
    // Each entry is dated on its line's day, as if the line had been corrected when typed.
    if (scalar(big) < 100000) {
        HistoryScope scope(db, HistoryOrigin::Typed);
        ok = scope.ok() &&
             db.executeSQL(QStringLiteral("UPDATE T_DATA1 SET curCheck = coalesce(curCheck, 0) + "
                                          "10000 WHERE lngMasterID = 1")) &&
             db.executeSQL(QStringLiteral("UPDATE T_HISTORY SET datChanged = "
                                          "coalesce(json_extract(strNew, '$.date1'), "
                                          "json_extract(strOld, '$.date1')) || ' 12:00:00' "
                                          "WHERE lngGroup = ?"),
                           {scope.group()}) &&
             scope.commit();
    }
    std::printf("history entries: %lld in all, %lld of the big supplier\n",
                scalar(QStringLiteral("SELECT count(*) FROM T_HISTORY")), scalar(big));

    LedgerStore store(1, gdbData());
    std::vector<LedgerLine> lines;
    ok = ok && store.load(1, LedgerView::Normal, lines) && !lines.empty();
    LedgerLine line = ok ? lines[lines.size() / 2] : LedgerLine();
    int flip = 0;
    // A cell as the ledger window stores it: origin and group set, the line written, the origin
    // put back, one commit.
    const auto storeCell = [&]() {
        ++flip;
        HistoryScope scope(db, HistoryOrigin::Typed);
        return scope.ok() &&
               store.storeCell(line, LedgerCol::Check,
                               QVariant::fromValue(Currency::fromInt(flip % 2 ? 7 : 3)), 1) &&
               scope.commit();
    };
    const double cell = timeIt(repeats, storeCell, ok);
    std::printf("%-58s median %8.2f ms (cpu %.2f)  goal <= 2 ms\n", "store one cell (with history)",
                cell, g_lastCpu);

    // Growth: bytes in use per stored cell over 200 stores.
    const qint64 before = usedBytes();
    for (int i = 0; i < 200 && ok; ++i)
        ok = storeCell();
    const double growth = static_cast<double>(usedBytes() - before) / 200.0;
    std::printf("%-58s %8.0f bytes\n", "growth of the file per stored cell", growth);

    // Undo of one change: each round stores a cell (not timed), then undoes it.
    std::vector<double> undo;
    for (int i = 0; i < repeats && ok; ++i) {
        ok = storeCell();
        const qint64 group = scalar(QStringLiteral("SELECT max(lngGroup) FROM T_HISTORY"));
        QElapsedTimer t;
        t.start();
        UndoOutcome outcome = UndoOutcome::Nothing;
        ok = ok && gUndoHistoryGroup(db, group, HistoryOrigin::Undo, outcome) &&
             outcome == UndoOutcome::Done;
        undo.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        ok = ok && store.readLine(line.lngID, line);
    }
    std::printf("%-58s median %8.2f ms  goal <= 10 ms\n", "undo one change", median(undo));

    // Opening the big supplier's whole history, as read and as the window's rows.
    HistoryFilter filter;
    filter.masterID = 1;
    std::vector<HistoryChange> changes;
    const double read = timeIt(
        std::min(repeats, 5), [&] { return gReadHistoryChanges(db, filter, changes); }, ok);
    HistoryWords words;
    QString cells;
    // The window: words read, the changes read, the last screen (30 rows) put in words.
    const auto window = [&] {
        if (!words.load(db) || !gReadHistoryChanges(db, filter, changes))
            return false;
        for (std::size_t r = changes.size() > 30 ? changes.size() - 30 : 0; r < changes.size(); ++r)
            for (int c = 0; c < HistoryCol::Count; ++c)
                cells = words.cell(changes[r], c);
        return true;
    };
    const double shown = timeIt(std::min(repeats, 5), window, ok);
    char what[96];
    std::snprintf(what, sizeof what, "big supplier's history, %zu changes: read", changes.size());
    std::printf("%-58s median %8.2f ms\n", what, read);
    std::printf("%-58s median %8.2f ms\n", "  the window opening all of it (last screen in words)",
                shown);
    // The window opens on a month: the last month of the generated lines.
    filter.from = QDate(2024, 11, 21);
    filter.to = QDate(2024, 12, 20);
    const double month = timeIt(repeats, window, ok);
    std::snprintf(what, sizeof what, "big supplier's history, a month (%zu changes, window)",
                  changes.size());
    std::printf("%-58s median %8.2f ms  goal <= 200 ms\n", what, month);
    filter.masterID = 500;
    const double typical = timeIt(repeats, window, ok);
    std::printf("%-58s median %8.2f ms\n", "a typical supplier's history, a month (window)",
                typical);

    // The shutdown's copy against a plain copy of the closed file.
    DbClose();
    const QString plain = path + QStringLiteral(".plain-copy");
    std::vector<double> copyMs;
    std::vector<double> backupMs;
    for (int i = 0; i < 3 && ok; ++i) {
        QFile::remove(plain);
        QElapsedTimer t;
        t.start();
        ok = gCopyDataFile(path, plain, QStringLiteral("bench"));
        copyMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        QFile::remove(plain);
        t.restart();
        QString written;
        ok = ok && gWriteAutoBackup(path, 1, &written);
        backupMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::printf("%-58s median %8.0f ms\n", "plain copy of the file", median(copyMs));
    std::printf("%-58s median %8.0f ms  ratio %.2f  goal <= 2\n",
                "automatic backup (copy + quick_check + rename)", median(backupMs),
                median(backupMs) / std::max(1.0, median(copyMs)));
    std::printf("file size %.1f MB\n", static_cast<double>(QFileInfo(path).size()) / 1e6);
    if (!ok) {
        std::fprintf(stderr, "a step failed (see the error log)\n");
        return 1;
    }
    return 0;
}
