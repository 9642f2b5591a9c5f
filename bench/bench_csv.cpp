// CSV export and import of a whole ledger against SQLite's own command-line shell:
//   tovaki-bench-csv DATAFILE [WORKDIR]
// DATAFILE is made by tovaki-bench-gen (1 000 000 lines per ledger). Measured in one run:
// - export: gExportCsv of the purchase ledger (code page 932 and UTF-8) against
//   `sqlite3 -csv` writing the same query (same rows, columns and order);
// - import: gImportCsv of the code page 932 export into a data file holding the same suppliers
//   and class lists (every row checked, one transaction, the copy of the data file first)
//   against `sqlite3 .import` of the rows of T_DATA1 into the same empty table; and the history
//   the import writes (one entry), in pages of the data file.
// The lines are only read; opening a file of an older schema migrates it first (after its copy
// into backups/ beside it), outside the timed parts. WORKDIR (default: a temporary folder)
// receives the files.
#include "BenchClock.h"
#include "base/Globals.h"
#include "reports/CsvExchange.h"
#include "store/DataFile.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

const char* const kLedgerQuery =
    "SELECT m.lngSupplier, m.strSupplierShortName, d.date1, d.lngSort, d.strItem, d.strClass1,"
    " d.strClass2, d.strClass3, d.curQuantity, d.curUnitPrice, d.curRegularPrice, d.curRatio,"
    " d.curCost, d.curPayment, d.curCheck, d.strNote FROM T_DATA1 d JOIN T_MASTER m"
    " ON m.lngMasterID = d.lngMasterID ORDER BY m.lngSupplier, d.date1, d.lngSort, d.lngID;";

long peakRssMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

// Runs the shell on a file with the given dot-commands and SQL; wall time, and the processor
// time of the shell (user + system of the child).
bool runShell(const QString& shell, const QString& db, const QStringList& args, Timing& t) {
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    p.start(shell, QStringList{db} + args);
    const bool ok =
        p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    t.wallMs = double(clock.nsecsElapsed()) / 1e6;
    getrusage(RUSAGE_CHILDREN, &after);
    const auto ms = [](const timeval& v) {
        return double(v.tv_sec) * 1e3 + double(v.tv_usec) / 1e3;
    };
    t.cpuMs = ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime);
    if (!ok)
        std::fprintf(stderr, "sqlite3 failed: %s\n", qPrintable(args.join(u' ')));
    return ok;
}

// An empty data file with the source's suppliers and, as enabled list entries, every class
// text its purchase ledger uses.
bool makeTarget(const QString& source, const QString& target) {
    QFile sql(QStringLiteral(TOVAKI_SCHEMA_SQL));
    if (!sql.open(QIODevice::ReadOnly))
        return false;
    QFile::remove(target);
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(target).constData(), &db) != SQLITE_OK)
        return false;
    char* err = nullptr;
    if (sqlite3_exec(db, sql.readAll().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "setup: %s\n", err);
        sqlite3_free(err);
        sqlite3_close(db);
        return false;
    }
    // The source may have been migrated (columns added) since it was generated: copy the
    // columns of the new file by name.
    QByteArray columns;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT group_concat(name) FROM pragma_table_info('T_MASTER')", -1,
                           &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        columns = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    QByteArray script = "ATTACH DATABASE '" + QFile::encodeName(source) +
                        "' AS src;"
                        "INSERT INTO T_MASTER (" +
                        columns + ") SELECT " + columns + " FROM src.T_MASTER;";
    for (int i = 1; i <= 3; ++i)
        script += QByteArray("INSERT INTO T_DATA_CLASS%1 (strClassItem, lngSort, blnEnable) "
                             "SELECT DISTINCT strClass%1, 1, 1 FROM src.T_DATA1 "
                             "WHERE strClass%1 IS NOT NULL;")
                      .replace("%1", QByteArray::number(i));
    script += "DETACH DATABASE src;";
    const bool ok = sqlite3_exec(db, script.constData(), nullptr, nullptr, &err) == SQLITE_OK;
    if (!ok)
        std::fprintf(stderr, "setup: %s\n", err);
    sqlite3_free(err);
    sqlite3_close(db);
    return ok;
}

void row(const char* what, const Timing& ours, const Timing& shell) {
    std::printf("%-44s %9.0f ms (CPU %7.0f) | sqlite3 %8.0f ms (CPU %7.0f) | ratio %.2f (CPU "
                "%.2f)\n",
                what, ours.wallMs, ours.cpuMs, shell.wallMs, shell.cpuMs,
                ours.wallMs / std::max(shell.wallMs, 1.0), ours.cpuMs / std::max(shell.cpuMs, 1.0));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovaki-bench-csv DATAFILE [WORKDIR]\n");
        return 2;
    }
    const QString source = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 shell is not installed (apt-get install sqlite3)\n");
        return 2;
    }

    // ---- export
    if (!DbInit(source, false))
        return 3;
    const auto timed = [](const std::function<bool()>& op, Timing& t) {
        const double cpu0 = cpuMs();
        QElapsedTimer clock;
        clock.start();
        const bool ok = op();
        t.wallMs = double(clock.nsecsElapsed()) / 1e6;
        t.cpuMs = cpuMs() - cpu0;
        return ok;
    };
    CsvExportParams ep;
    ep.table = CsvTable::Purchases;
    ep.outputFolder = work;
    CsvExportResult cp932, utf8;
    Timing exportCp932, exportUtf8, shellExport;
    if (!timed([&] { return gExportCsv(ep, {}, cp932); }, exportCp932))
        return 3;
    ep.encoding = CsvEncoding::Utf8;
    if (!timed([&] { return gExportCsv(ep, {}, utf8); }, exportUtf8))
        return 3;
    const long exportRss = peakRssMiB();
    DbClose();
    const QString shellCsv = work + QStringLiteral("/shell-query.csv");
    if (!runShell(shell, source,
                  {QStringLiteral("-readonly"), QStringLiteral("-csv"), QStringLiteral("-header"),
                   QStringLiteral(".output ") + shellCsv, QString::fromLatin1(kLedgerQuery)},
                  shellExport))
        return 3;

    // ---- import
    const QString ours = work + QStringLiteral("/import-db1");
    const QString theirs = work + QStringLiteral("/shell-db1");
    const QString rawCsv = work + QStringLiteral("/shell-rows.csv");
    Timing shellRows, importOurs, shellImport;
    if (!runShell(shell, source,
                  {QStringLiteral("-readonly"), QStringLiteral("-csv"), QStringLiteral("-header"),
                   QStringLiteral(".output ") + rawCsv,
                   QStringLiteral("SELECT * FROM T_DATA1 ORDER BY lngID;")},
                  shellRows) ||
        !makeTarget(source, ours) || !makeTarget(source, theirs))
        return 3;
    if (!DbInit(ours))
        return 3;
    // The history's share of the file: the pages of T_HISTORY and its indexes (SQLite's dbstat
    // table), and its rows.
    const auto history = [](qint64& rows, qint64& bytes) {
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(QStringLiteral("SELECT (SELECT count(*) FROM T_HISTORY), "
                                             "(SELECT coalesce(sum(pgsize), 0) FROM dbstat WHERE "
                                             "name IN ('T_HISTORY', 'IX_HISTORY_MASTER', "
                                             "'IX_HISTORY_ROW'))"),
                              {}) ||
            !rs.moveFirst())
            return false;
        rows = rs.lng(0);
        bytes = rs.lng(1);
        return true;
    };
    qint64 historyRowsBefore = 0;
    qint64 historyBytesBefore = 0;
    if (!history(historyRowsBefore, historyBytesBefore))
        return 3;
    CsvImportParams ip;
    ip.table = CsvTable::Purchases;
    ip.path = cp932.path;
    ip.keepDuplicates = true; // every row goes in, as with the shell's .import
    CsvImportResult imported;
    timed([&] { return gImportCsv(ip, {}, imported); }, importOurs);
    qint64 historyRowsAfter = 0;
    qint64 historyBytesAfter = 0;
    if (!history(historyRowsAfter, historyBytesAfter))
        return 3;
    DbClose();
    if (imported.outcome != CsvImportOutcome::Imported) {
        std::fprintf(stderr, "import refused %lld rows; first: %s\n", imported.refusedCount,
                     imported.refusals.empty() ? qPrintable(imported.message)
                                               : qPrintable(imported.refusals.front().reason));
        return 3;
    }
    // The whole file is one history entry, not one per line.
    if (historyRowsAfter - historyRowsBefore != 1) {
        std::fprintf(stderr, "the import wrote %lld history entries, not one\n",
                     historyRowsAfter - historyRowsBefore);
        return 3;
    }
    if (!runShell(shell, theirs,
                  {QStringLiteral("-csv"),
                   QStringLiteral(".import --skip 1 ") + rawCsv + QStringLiteral(" T_DATA1")},
                  shellImport))
        return 3;

    std::printf("%lld ledger lines; CSV %.1f MB (code page 932), %.1f MB (UTF-8)\n", cp932.rows,
                double(QFileInfo(cp932.path).size()) / 1e6,
                double(QFileInfo(utf8.path).size()) / 1e6);
    row("export, code page 932 vs shell (same query)", exportCp932, shellExport);
    row("export, UTF-8 vs shell (same query)", exportUtf8, shellExport);
    row("import (checked, one transaction) vs .import", importOurs, shellImport);
    std::printf("peak memory: %ld MiB after the exports, %ld MiB after the import\n", exportRss,
                peakRssMiB());
    // The import's history entries against the file it leaves (goal: at most 5 %).
    const double fileBytes = double(QFileInfo(ours).size());
    std::printf(
        "history: %lld entries added, %.1f kB of history pages (%.4f %% of the %.1f MB "
        "data file)\n",
        historyRowsAfter - historyRowsBefore, double(historyBytesAfter - historyBytesBefore) / 1e3,
        100.0 * double(historyBytesAfter - historyBytesBefore) / fileBytes, fileBytes / 1e6);
    return 0;
}
