// Times the profit management table on a data file made by tovaki-bench-gen:
//   tovaki-bench-profit DATAFILE TEMPLATEFOLDER [REPEATS] [TERMS]
// The full report (999 suppliers, TERMS terms ending 2024/12/20, default 12, ranking sheet,
// saved workbook) against a lower bound: the fastest aggregate found that yields the same sums
// (one scan of the range through the index by date, added up in place), and the same number of
// cells written with libxlsxwriter into a fresh workbook. Both are timed in two parts: SQL (for
// the report, the time its statements run, from SQLite's profile) and writing (the rest). The
// straightforward grouped query is timed as well, and its sums must equal the scan's.
// The data file is changed only in T_MP_RANKING (and gets the index by date when it lacks it).
// With --server CONNINFO the same report is timed on a PostgreSQL server as well (goal: at most
// 1.5 times the data file's): a database without the books' schema is loaded from the data file
// first (tovaki-admin load, timed); one that holds them is used as it is.
#include "BenchClock.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/ProfitReport.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Period.h"
#include "store/ServerTransfer.h"
#include "store/Settings.h"
#include "workbook/Workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>
#include <xlsxwriter.h>

namespace {

const QDate kEnd(2024, 12, 20); // terms with close day 20

// The process's peak resident memory so far, in MiB.
double peakRssMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

double wallMs(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Cells of every sheet of a saved workbook (not timed).
long countCells(const QString& path, int& sheets) {
    Workbook book;
    if (!book.open(path))
        return -1;
    long n = 0;
    sheets = book.sheetCount();
    for (int s = 0; s < book.sheetCount(); ++s) {
        const Worksheet* ws = book.sheet(s);
        for (int r = 1; r <= ws->lastRow(); ++r)
            for (int c = 1; c <= ws->lastColumn(); ++c)
                if (ws->value(r, c).isValid())
                    ++n;
    }
    return n;
}

// Cost and regular-price total per supplier (below 1000) and term, both ledgers.
struct Sums {
    std::vector<long long> cost[2], regular[2];
    void reset(int terms) {
        for (int k = 0; k < 2; ++k) {
            cost[k].assign(1000 * terms, 0);
            regular[k].assign(1000 * terms, 0);
        }
    }
    bool operator==(const Sums& o) const {
        return cost[0] == o.cost[0] && cost[1] == o.cost[1] && regular[0] == o.regular[0] &&
               regular[1] == o.regular[1];
    }
};

const char* ratioColumn(int k) {
    return k == 0 ? "curRegularSupplyRatio" : "curRegularSaleRatio";
}

const char* const kFilter = " WHERE d.date1>=? AND d.date1<=? AND d.curCost IS NOT NULL"
                            " AND (d.strItem IS NULL OR instr(d.strItem,'消費税')=0)";

// The straightforward form: one grouped query per ledger.
bool groupedSums(sqlite3* db, const std::vector<std::string>& ends, const std::string& from,
                 const std::string& to, Sums& out) {
    const int n = static_cast<int>(ends.size()) + 1;
    out.reset(n);
    for (int k = 0; k < 2; ++k) {
        std::string sql = "SELECT d.lngMasterID, ";
        if (n == 1) {
            sql += "0";
        } else {
            sql += "(CASE";
            for (int t = 0; t + 1 < n; ++t)
                sql += " WHEN d.date1<=? THEN " + std::to_string(t);
            sql += " ELSE " + std::to_string(n - 1) + " END)";
        }
        sql += " AS t, SUM(d.curCost), SUM(CASE WHEN d.curRegularPrice IS NOT NULL THEN"
               " CAST((d.curRegularPrice*COALESCE(d.curQuantity,10000))/100000000 AS INTEGER)"
               " ELSE CAST((d.curCost*100)/COALESCE(d.curRatio,m." +
               std::string(ratioColumn(k)) + ",0) AS INTEGER) END) FROM T_DATA" +
               std::to_string(k + 1) +
               " AS d LEFT JOIN T_MASTER AS m ON m.lngMasterID=d.lngMasterID" + kFilter +
               " GROUP BY d.lngMasterID, t";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return false;
        int p = 1;
        for (const std::string& e : ends)
            sqlite3_bind_text(st, p++, e.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, p++, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, p++, to.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const int id = sqlite3_column_int(st, 0);
            const int t = sqlite3_column_int(st, 1);
            if (id < 0 || id >= 1000 || t < 0 || t >= n)
                continue;
            out.cost[k][id * n + t] = sqlite3_column_int64(st, 2);
            out.regular[k][id * n + t] = sqlite3_column_int64(st, 3);
        }
        if (sqlite3_finalize(st) != SQLITE_OK)
            return false;
    }
    return true;
}

// The fastest form found: one scan of the range through the index by date per ledger, each
// line's regular-price amount formed by SQL, the sums added up in place.
bool scannedSums(sqlite3* db, const std::vector<std::string>& ends, const std::string& from,
                 const std::string& to, Sums& out) {
    const int n = static_cast<int>(ends.size()) + 1;
    out.reset(n);
    for (int k = 0; k < 2; ++k) {
        const std::string sql =
            "SELECT d.lngMasterID, d.date1, d.curCost, CASE WHEN d.curRegularPrice IS NOT NULL"
            " THEN CAST((d.curRegularPrice*COALESCE(d.curQuantity,10000))/100000000 AS INTEGER)"
            " ELSE CAST((d.curCost*100)/COALESCE(d.curRatio,(SELECT m." +
            std::string(ratioColumn(k)) +
            " FROM T_MASTER AS m WHERE m.lngMasterID=d.lngMasterID),0) AS INTEGER) END"
            " FROM T_DATA" +
            std::to_string(k + 1) + " AS d" + kFilter;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(st, 1, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, to.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const int id = sqlite3_column_int(st, 0);
            const std::string_view date(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                        static_cast<size_t>(sqlite3_column_bytes(st, 1)));
            const int t =
                static_cast<int>(std::lower_bound(ends.begin(), ends.end(), date) - ends.begin());
            if (id < 0 || id >= 1000)
                continue;
            out.cost[k][id * n + t] += sqlite3_column_int64(st, 2);
            out.regular[k][id * n + t] += sqlite3_column_int64(st, 3);
        }
        if (sqlite3_finalize(st) != SQLITE_OK)
            return false;
    }
    return true;
}

// `cells` cells in the table's layout written with libxlsxwriter (numbers and row labels).
bool writeBound(const Sums& s, int n, const std::string& outPath, long cells, int rowsPerSheet) {
    lxw_workbook* wb = workbook_new(outPath.c_str());
    if (!wb)
        return false;
    const int cols = 2 * n - 1;
    lxw_worksheet* ws = nullptr;
    int row = 0;
    int sheet = 0;
    long written = 0;
    static const char* const labels[5] = {"仕入 合計", "売上 合計", "荒利", "利益率", "在庫"};
    for (int id = 1; written < cells; id = id % 999 + 1) {
        if (!ws || row + 2 >= rowsPerSheet) {
            ws = workbook_add_worksheet(wb, std::to_string(++sheet).c_str());
            row = 2;
        }
        row += 2;
        worksheet_write_string(ws, row, 1, "supplier", nullptr);
        ++written;
        for (int r = 0; r < 5 && written < cells; ++r) {
            ++row;
            worksheet_write_string(ws, row, 2, labels[r], nullptr);
            ++written;
            for (int c = 0; c < cols && written < cells; ++c, ++written) {
                const int t = std::min(c, n - 1);
                const long long v = r == 0   ? s.cost[0][id * n + t]
                                    : r == 1 ? s.cost[1][id * n + t]
                                    : r == 4 ? s.regular[0][id * n + t] - s.regular[1][id * n + t]
                                             : s.cost[1][id * n + t] - s.cost[0][id * n + t];
                worksheet_write_number(ws, row, 3 + c, static_cast<double>(v) / 10000.0, nullptr);
            }
        }
    }
    return workbook_close(wb) == LXW_NO_ERROR;
}

// Time spent running statements on the program's connection, from each statement's start to
// its end (SQLite's trace callbacks): wall time and processor time.
double g_sqlMs = 0;
double g_sqlCpu = 0;
std::map<void*, double> g_started;
int profile(unsigned type, void*, void* stmt, void* x) {
    if (type == SQLITE_TRACE_STMT) {
        g_started.emplace(stmt, cpuMs());
    } else if (type == SQLITE_TRACE_PROFILE) {
        g_sqlMs += static_cast<double>(*static_cast<sqlite3_int64*>(x)) / 1e6;
        if (const auto it = g_started.find(stmt); it != g_started.end()) {
            g_sqlCpu += cpuMs() - it->second;
            g_started.erase(it);
        }
    }
    return 0;
}

} // namespace

// The report on the books of a server: loaded from the data file when the database has no
// schema yet; each run timed (wall and processor), the cells of the first workbook counted.
// False when the server cannot be reached, loaded or reported on.
bool timeServer(const QString& conninfo, const QString& file, ProfitReportParams p, int repeats,
                std::vector<double>& wall, std::vector<double>& cpu, long& cells) {
    {
        Database server;
        if (!server.openServer(conninfo)) {
            std::fprintf(stderr, "cannot connect to the server\n");
            return false;
        }
        if (server.schemaVersion() < 0) {
            QElapsedTimer t;
            t.start();
            QString message;
            if (!gServerLoad(server, file, message)) {
                std::fprintf(stderr, "cannot load the data file: %s\n", qPrintable(message));
                return false;
            }
            std::printf("server: the data file loaded in %.0f ms\n", wallMs(t));
        } else {
            std::printf("server: the books already there are used\n");
        }
    }
    DbClose();
    if (!DbInitServer(gdbData(), conninfo)) {
        std::fprintf(stderr, "cannot open the books on the server: %s\n",
                     qPrintable(DbInitRefusal()));
        return false;
    }
    // The supplier list as the server has it (the same books).
    if (!gGetProfitSuppliers(p.suppliers))
        return false;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        QString saved;
        if (gMakeManageProfit(p, {}, &saved) != ProfitOutcome::Saved) {
            std::fprintf(stderr, "the report on the server failed\n");
            return false;
        }
        wall.push_back(wallMs(t));
        cpu.push_back(cpuMs() - c0);
        if (i == 0) {
            int sheets = 0;
            cells = countCells(saved, sheets);
        }
        QFile::remove(saved);
    }
    return true;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // --server CONNINFO anywhere; the other arguments in their places.
    QString conninfo;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--server" && i + 1 < argc)
            conninfo = QString::fromLocal8Bit(argv[++i]);
        else
            args.push_back(argv[i]);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (argc < 3) {
        std::fprintf(stderr, "usage: tovaki-bench-profit DATAFILE TEMPLATEFOLDER [REPEATS] [TERMS]"
                             " [--server CONNINFO]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const int termCount = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 24) : 12;
    const QDate start = kEnd.addMonths(-termCount).addDays(1);
    gstrAppTitle = appTitle();
    svc().setPaths({QFileInfo(path).absolutePath(), path,
                    gAddBackSlash(QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath())});
    QElapsedTimer openTimer;
    openTimer.start();
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const double openMs = wallMs(openTimer);
    sqlite3_trace_v2(gdbData().handle(), SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, profile,
                     nullptr);
    QTemporaryDir out;
    ProfitReportParams p;
    p.start = start;
    p.end = kEnd;
    if (!gGetProfitSuppliers(p.suppliers) || !gGetProfitSheetSettings(p.settings)) {
        std::fprintf(stderr, "cannot read the suppliers or settings\n");
        return 1;
    }
    p.ranking = true;
    p.outputFolder = out.path();
    std::vector<ProfitTerm> terms;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetProfitTerms(start, kEnd, closeDay, terms))
        return 1;
    const int n = static_cast<int>(terms.size());
    std::vector<std::string> ends;
    for (int t = 0; t + 1 < n; ++t)
        ends.push_back(dbDateText(terms[t].end).toStdString());
    const std::string from = dbDateText(start).toStdString();
    const std::string to = dbDateText(kEnd).toStdString();

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return 1;
    std::vector<double> full, fullCpu, fullSql, fullSqlCpu, low, lowCpu, lowSql, lowSqlCpu, grouped;
    QString saved;
    long cells = 0;
    int sheets = 0;
    double reportPeak = 0;
    const double openPeak = peakRssMiB();
    Sums scanned, plain;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        double c0 = cpuMs();
        g_sqlMs = 0;
        g_sqlCpu = 0;
        t.start();
        if (gMakeManageProfit(p, {}, &saved) != ProfitOutcome::Saved) {
            std::fprintf(stderr, "the report failed\n");
            return 1;
        }
        full.push_back(wallMs(t));
        fullCpu.push_back(cpuMs() - c0);
        fullSql.push_back(g_sqlMs);
        fullSqlCpu.push_back(g_sqlCpu);
        if (i == 0) {
            // Taken before anything else of the run: the first report's own peak.
            reportPeak = peakRssMiB();
            cells = countCells(saved, sheets);
        }
        QFile::remove(saved);

        const std::string lowPath =
            (out.path() + QStringLiteral("/lower-bound.xlsx")).toStdString();
        c0 = cpuMs();
        t.restart();
        if (!scannedSums(db, ends, from, to, scanned)) {
            std::fprintf(stderr, "the scan failed\n");
            return 1;
        }
        lowSql.push_back(wallMs(t));
        lowSqlCpu.push_back(cpuMs() - c0);
        if (!writeBound(scanned, n, lowPath, cells, p.settings.rowsPerSheet)) {
            std::fprintf(stderr, "the lower bound failed\n");
            return 1;
        }
        low.push_back(wallMs(t));
        lowCpu.push_back(cpuMs() - c0);

        t.restart();
        if (!groupedSums(db, ends, from, to, plain)) {
            std::fprintf(stderr, "the grouped query failed\n");
            return 1;
        }
        grouped.push_back(wallMs(t));
        if (!(plain == scanned)) {
            std::fprintf(stderr, "the scan and the grouped query give different sums\n");
            return 1;
        }
    }
    sqlite3_close(db);
    std::printf("data file: %s (opened in %.0f ms)\n", argv[1], openMs);
    std::printf("range %s - %s (%d terms), %zu suppliers, %ld cells on %d sheets, %d runs\n",
                qPrintable(termDateText(start)), qPrintable(termDateText(kEnd)), n,
                p.suppliers.size(), cells, sheets, repeats);
    const double f = median(full), fc = median(fullCpu), fs = median(fullSql),
                 fsc = median(fullSqlCpu);
    const double l = median(low), lc = median(lowCpu), ls = median(lowSql), lsc = median(lowSqlCpu);
    std::printf(
        "                           wall ms (SQL + writing)        cpu ms (SQL + writing)\n");
    std::printf("full report (tovaki)       %7.1f (%6.1f + %6.1f)      %7.1f (%6.1f + %6.1f)\n", f,
                fs, f - fs, fc, fsc, fc - fsc);
    std::printf("lower bound (scan + lxw)   %7.1f (%6.1f + %6.1f)      %7.1f (%6.1f + %6.1f)\n", l,
                ls, l - ls, lc, lsc, lc - lsc);
    std::printf("peak memory: %.1f MiB after opening the file, %.1f MiB after the first report "
                "(goal <= 30, flat in the number of cells)\n",
                openPeak, reportPeak);
    std::printf("grouped query (both ledgers)  %.1f ms; same sums as the scan\n", median(grouped));
    std::printf("ratio full / lower bound   wall %.2f  cpu %.2f (goal <= 1.50); writing wall %.2f  "
                "cpu %.2f (goal <= 2.00)\n",
                f / l, fc / lc, (f - fs) / (l - ls), (fc - fsc) / (lc - lsc));
    std::printf("per cell: report %.2f us wall, %.2f us cpu; cell-by-cell automation 1950 us: "
                "%.0fx / %.0fx faster (goal >= 650x)\n",
                f * 1e3 / static_cast<double>(cells), fc * 1e3 / static_cast<double>(cells),
                1950.0 / (f * 1e3 / static_cast<double>(cells)),
                1950.0 / (fc * 1e3 / static_cast<double>(cells)));
    if (!conninfo.isEmpty()) {
        std::vector<double> serverWall, serverCpu;
        long serverCells = 0;
        if (!timeServer(conninfo, path, p, repeats, serverWall, serverCpu, serverCells)) {
            DbClose();
            return 1;
        }
        if (serverCells != cells) {
            std::fprintf(stderr, "the server's workbook has %ld cells, the data file's %ld\n",
                         serverCells, cells);
            DbClose();
            return 1;
        }
        const double sw = median(serverWall), sc = median(serverCpu);
        std::printf("server report (tovaki)     %7.1f wall ms, %7.1f cpu ms (this program)\n", sw,
                    sc);
        std::printf("ratio server / data file   wall %.2f (goal <= 1.50); peak memory %.1f MiB\n",
                    sw / f, peakRssMiB());
    }
    DbClose();
    return 0;
}
