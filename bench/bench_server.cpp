// Times server mode against the data file, on a data file made by tovaki-bench-gen and a
// PostgreSQL server reached by a connection string (a local Unix socket for the figures):
//   tovaki-bench-server DATAFILE CONNINFO [REPEATS]
// The connection must be allowed to create and drop databases: the benchmark makes
// tovaki_bench_load and tovaki_bench_copy (dropped first if they exist, dropped at the end).
//   1. Storing one cell as the ledger window does (history scope, the changed columns written,
//      one commit) on the data file, then on the server after step 2 loaded the same books.
//   2. tovaki-admin load of the file (gServerLoad) against PostgreSQL's own COPY of the same
//      rows into the same tables (psql's \copy of files written beforehand, in one transaction,
//      the history triggers off as the load has them); the row counts of both are compared.
// Wall times are medians; "cpu" is this process's processor time, "server cpu" that of the
// connection's server process (read from /proc when the server runs on this machine). The first
// run migrates a generated file (a copy goes into backups/ first); the file's cells change.
#include "BenchClock.h"
#include "base/Services.h"
#include "ledger/LedgerStore.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/EngineConnection.h"
#include "store/EngineSql.h"
#include "store/History.h"
#include "store/ServerSchema.h"
#include "store/ServerTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kLoadDb = QStringLiteral("tovaki_bench_load");
const QString kCopyDb = QStringLiteral("tovaki_bench_copy");

// The processor time of finished child processes (psql), in milliseconds.
double childCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// The processor time of a process of this machine (the server's process of a connection), in
// milliseconds; -1 when it cannot be read (a server on another machine).
double processCpuMs(int pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name (which may hold spaces): utime and stime are 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Timing {
    double wall = 0;       // median, ms
    double cpu = 0;        // median, ms
    double serverCpu = -1; // mean over the timed runs, ms; -1 unknown
};

// Runs op repeats times after one warm-up run. serverPid: the connection's server process.
Timing timeIt(int repeats, int serverPid, const std::function<bool()>& op, bool& ok) {
    std::vector<double> ms;
    std::vector<double> cpu;
    ok = ok && op();
    const double server0 = processCpuMs(serverPid);
    for (int i = 0; i < repeats && ok; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        ok = op();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - c0);
    }
    Timing out{median(ms), median(cpu), -1};
    const double server1 = processCpuMs(serverPid);
    if (server0 >= 0 && server1 >= 0 && !ms.empty())
        out.serverCpu = (server1 - server0) / static_cast<double>(ms.size());
    return out;
}

void report(const char* what, const Timing& t) {
    std::printf("%-46s median %8.3f ms (cpu %.3f", what, t.wall, t.cpu);
    if (t.serverCpu >= 0)
        std::printf(", server cpu %.3f mean", t.serverCpu);
    std::printf(")\n");
}

// Stores the Check cell of the middle line of supplier 1's purchase ledger repeats times, as
// the ledger window does.
Timing storeOneCell(Database& db, int repeats, bool& ok) {
    LedgerStore store(1, db);
    std::vector<qint64> ids;
    LedgerLine line;
    ok = ok && store.loadOrder(1, LedgerView::Normal, ids) && !ids.empty() &&
         store.readLine(ids[ids.size() / 2], line);
    if (!ok)
        return {};
    int flip = 0;
    const auto op = [&] {
        ++flip;
        HistoryScope scope(db, HistoryOrigin::Typed);
        return scope.ok() &&
               store.storeCell(line, LedgerCol::Check,
                               QVariant::fromValue(Currency::fromInt(flip % 2 ? 7 : 3)), 1) &&
               scope.commit();
    };
    return timeIt(repeats, db.engine() ? db.engine()->backendPid() : 0, op, ok);
}

QString onDatabase(const QString& conninfo, const QString& name) {
    return conninfo + QStringLiteral(" dbname=") + name;
}

bool recreate(Database& maintenance, const QString& name) {
    return maintenance.executeSQL(QStringLiteral("DROP DATABASE IF EXISTS ") + name +
                                  QStringLiteral(" WITH (FORCE)")) &&
           maintenance.executeSQL(QStringLiteral("CREATE DATABASE ") + name +
                                  QStringLiteral(" TEMPLATE template0"));
}

// The tables of the data file and their columns, as the load copies them.
bool fileTables(Database& file, QStringList& tables, QList<QStringList>& columns) {
    if (!gDataFileTables(file, tables))
        return false;
    for (const QString& table : tables) {
        QStringList names;
        if (!gDataFileColumns(file, table, names))
            return false;
        columns << names;
    }
    return true;
}

// Writes every table's rows into folder/<table>.txt and the psql script that copies them in.
bool writeCopyFiles(const QString& dataFile, const QString& folder, qint64& rows) {
    Database file;
    QStringList tables;
    QList<QStringList> columns;
    if (!file.open(dataFile, QStringLiteral("bench"), true) || !fileTables(file, tables, columns))
        return false;
    // The history's triggers off, as the load has them while it copies the recorded history.
    QByteArray script;
    for (const char* recorded : {"T_DATA1", "T_DATA2", "T_MASTER", "T_TAX_RATE"})
        script += QByteArray("ALTER TABLE ") + recorded + " DISABLE TRIGGER USER;\n";
    rows = 0;
    for (int t = 0; t < tables.size(); ++t) {
        const QString path = folder + QLatin1Char('/') + tables[t] + QStringLiteral(".txt");
        QFile out(path);
        RowCursor read(file);
        if (!out.open(QIODevice::WriteOnly) ||
            !read.open(QStringLiteral("SELECT ") + columns[t].join(QLatin1Char(',')) +
                           QStringLiteral(" FROM ") + tables[t] + QStringLiteral(" ORDER BY rowid"),
                       {}, QStringLiteral("bench")))
            return false;
        QByteArray buffer;
        while (read.next()) {
            for (int c = 0; c < columns[t].size(); ++c) {
                if (c)
                    buffer += '\t';
                gAppendCopyValue(buffer, read, c);
            }
            buffer += '\n';
            ++rows;
            if (buffer.size() > (1 << 20)) {
                out.write(buffer);
                buffer.clear();
            }
        }
        out.write(buffer);
        if (read.failed())
            return false;
        script += "DELETE FROM " + tables[t].toUtf8() + ";\n\\copy " + tables[t].toUtf8() + " (" +
                  columns[t].join(QLatin1Char(',')).toUtf8() + ") FROM '" + path.toUtf8() + "'\n";
    }
    for (const char* recorded : {"T_DATA1", "T_DATA2", "T_MASTER", "T_TAX_RATE"})
        script += QByteArray("ALTER TABLE ") + recorded + " ENABLE TRIGGER USER;\n";
    QFile sql(folder + QStringLiteral("/copy.sql"));
    return sql.open(QIODevice::WriteOnly) && sql.write(script) == script.size();
}

QString psqlProgram() {
    const QString named = qEnvironmentVariable("PSQL");
    if (!named.isEmpty())
        return named;
    const QString found = QStandardPaths::findExecutable(QStringLiteral("psql"));
    if (!found.isEmpty())
        return found;
    QStringList installed = QDir(QStringLiteral("/usr/lib/postgresql"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return installed.isEmpty() ? QString()
                               : QStringLiteral("/usr/lib/postgresql/") + installed.last() +
                                     QStringLiteral("/bin/psql");
}

// The row count of every table of a server database, table by table.
bool serverCounts(const QString& conninfo, const QStringList& tables, QList<qint64>& counts) {
    Database db;
    if (!db.openServer(conninfo, QStringLiteral("bench")))
        return false;
    counts.clear();
    for (const QString& table : tables) {
        ResultSet rs(db);
        if (!rs.openRecordSet(QStringLiteral("SELECT count(*) FROM ") + table) || !rs.moveFirst())
            return false;
        counts << rs.value(0).toLongLong();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tovaki-bench-server DATAFILE CONNINFO [REPEATS]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString conninfo = QString::fromLocal8Bit(argv[2]);
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 201;
    svc().setProgramFolder(QFileInfo(path).absolutePath(), path);
    bool ok = true;

    // The data file: migrated by its first open, then one cell stored.
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const Timing fileCell = storeOneCell(gdbData(), repeats, ok);
    DbClose();
    if (!ok) {
        std::fprintf(stderr, "storing a cell on the data file failed (see the error log)\n");
        return 1;
    }

    Database maintenance;
    if (!maintenance.openServer(conninfo, QStringLiteral("bench")) ||
        !recreate(maintenance, kLoadDb) || !recreate(maintenance, kCopyDb)) {
        std::fprintf(stderr, "cannot make the benchmark's databases: %s\n",
                     qPrintable(maintenance.isOpen() ? maintenance.lastErrorText()
                                                     : maintenance.serverFailure()));
        return 1;
    }

    // The load, as tovaki-admin load runs it.
    Timing load;
    {
        Database server;
        QString message;
        ok = server.openServer(onDatabase(conninfo, kLoadDb), QStringLiteral("bench"));
        const int pid = ok ? server.engine()->backendPid() : 0;
        const double server0 = processCpuMs(pid);
        const double c0 = cpuMs();
        QElapsedTimer t;
        t.start();
        ok = ok && gServerLoad(server, path, message);
        load.wall = static_cast<double>(t.nsecsElapsed()) / 1e6;
        load.cpu = cpuMs() - c0;
        const double server1 = processCpuMs(pid);
        if (server0 >= 0 && server1 >= 0)
            load.serverCpu = server1 - server0;
        if (!ok) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(message));
            return 1;
        }
    }

    // PostgreSQL's COPY of the same rows into the same (empty, freshly made) tables.
    QTemporaryDir folder;
    qint64 rows = 0;
    Timing copy;
    QStringList tables;
    QList<QStringList> columns;
    {
        Database init;
        ok = folder.isValid() &&
             init.openServer(onDatabase(conninfo, kCopyDb), QStringLiteral("bench")) &&
             gServerInit(init, QStringLiteral("bench")) &&
             writeCopyFiles(path, folder.path(), rows);
        Database file;
        ok = ok && file.open(path, QStringLiteral("bench"), true) &&
             fileTables(file, tables, columns);
    }
    const QString psql = psqlProgram();
    if (ok) {
        QProcess run;
        const double c0 = childCpuMs();
        QElapsedTimer t;
        t.start();
        run.start(psql, {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-1"),
                         QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                         QStringLiteral("-d"), onDatabase(conninfo, kCopyDb), QStringLiteral("-f"),
                         folder.path() + QStringLiteral("/copy.sql")});
        ok = run.waitForFinished(-1) && run.exitStatus() == QProcess::NormalExit &&
             run.exitCode() == 0;
        copy.wall = static_cast<double>(t.nsecsElapsed()) / 1e6;
        copy.cpu = childCpuMs() - c0;
        if (!ok)
            std::fprintf(stderr, "psql (%s) failed: %s\n", qPrintable(psql),
                         run.readAllStandardError().constData());
    }
    QList<qint64> loaded;
    QList<qint64> copied;
    ok = ok && serverCounts(onDatabase(conninfo, kLoadDb), tables, loaded) &&
         serverCounts(onDatabase(conninfo, kCopyDb), tables, copied);
    if (ok && loaded != copied) {
        std::fprintf(stderr, "the load and COPY hold different row counts\n");
        ok = false;
    }

    // The server: one cell of the loaded books.
    Timing serverCell;
    {
        Database server;
        ok = ok && server.openServer(onDatabase(conninfo, kLoadDb), QStringLiteral("bench"));
        serverCell = storeOneCell(server, repeats, ok);
    }

    {
        // The server's durability: a cell is comparable with the data file's (fsync on each
        // commit) only when the server also waits for its disk.
        ResultSet rs(maintenance);
        if (rs.openRecordSet(QStringLiteral("SELECT current_setting('fsync') || ' / ' || "
                                            "current_setting('synchronous_commit') AS strOn")) &&
            rs.moveFirst())
            std::printf("server %s, fsync / synchronous_commit: %s\n",
                        qPrintable(maintenance.engine()->engineName()),
                        qPrintable(rs.value(0).toString()));
    }
    std::printf("data file %s, %lld rows in %lld tables; %d cells stored each\n", argv[1],
                static_cast<long long>(rows), static_cast<long long>(tables.size()), repeats);
    report("store one cell, data file", fileCell);
    report("store one cell, server", serverCell);
    std::printf("%-46s ratio %.2f  goal <= 2\n", "  server / data file (wall)",
                serverCell.wall / std::max(1e-9, fileCell.wall));
    std::printf("%-46s %10.0f ms (cpu %.0f, server cpu %.0f)\n", "tovaki-admin load (gServerLoad)",
                load.wall, load.cpu, load.serverCpu);
    std::printf("%-46s %10.0f ms (psql cpu %.0f)\n",
                "psql \\copy of the same rows, one transaction", copy.wall, copy.cpu);
    std::printf("%-46s ratio %.2f  goal <= 3\n", "  load / COPY (wall)",
                load.wall / std::max(1e-9, copy.wall));

    if (qEnvironmentVariableIsEmpty("TOVAKI_BENCH_KEEP")) {
        maintenance.executeSQL(QStringLiteral("DROP DATABASE IF EXISTS ") + kLoadDb +
                               QStringLiteral(" WITH (FORCE)"));
        maintenance.executeSQL(QStringLiteral("DROP DATABASE IF EXISTS ") + kCopyDb +
                               QStringLiteral(" WITH (FORCE)"));
    }
    if (!ok) {
        std::fprintf(stderr, "a step failed (see the error log)\n");
        return 1;
    }
    return 0;
}
