// Times the profit management table on a data file made by tovaki-bench-gen:
//   tovaki-bench-profit DATAFILE TEMPLATEFOLDER [REPEATS]
// The full report (999 suppliers, 12 terms, ranking sheet, saved workbook) against a lower
// bound: one aggregate SQL pass per ledger that yields the same sums, and the same number of
// cells written with libxlsxwriter into a fresh workbook. Prints both times and their ratio.
// The data file is changed only in T_MP_RANKING.
#include "base/Globals.h"
#include "reports/ProfitReport.h"
#include "store/Database.h"
#include "store/Period.h"
#include "workbook/Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

const QDate kStart(2023, 12, 21);
const QDate kEnd(2024, 12, 20); // twelve terms with close day 20

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

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

// The lower bound: the sums of both ledgers in one aggregate pass each, then `cells` cells in
// the table's layout written with libxlsxwriter (numbers and the row labels).
bool lowerBound(const std::string& dbPath, const std::string& outPath, long cells,
                int rowsPerSheet) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    std::vector<ProfitTerm> terms;
    if (!gGetProfitTerms(kStart, kEnd, terms))
        return false;
    const int n = static_cast<int>(terms.size());
    // cost and regular total per supplier and term, both ledgers
    std::vector<double> cost[2], regular[2];
    for (int k = 0; k < 2; ++k) {
        cost[k].assign(1000 * n, 0);
        regular[k].assign(1000 * n, 0);
        std::string sql = "SELECT d.lngMasterID, (CASE";
        for (int t = 0; t + 1 < n; ++t)
            sql += " WHEN d.date1<=? THEN " + std::to_string(t);
        sql += " ELSE " + std::to_string(n - 1) +
               " END) AS t, SUM(d.curCost), SUM(CASE WHEN d.curRegularPrice IS NOT NULL THEN"
               " CAST((d.curRegularPrice*COALESCE(d.curQuantity,10000))/100000000 AS INTEGER)"
               " ELSE CAST((d.curCost*100)/COALESCE(d.curRatio," +
               std::string(k == 0 ? "m.curRegularSupplyRatio" : "m.curRegularSaleRatio") +
               ",0) AS INTEGER) END) FROM T_DATA" + std::to_string(k + 1) +
               " AS d LEFT JOIN T_MASTER AS m ON m.lngMasterID=d.lngMasterID"
               " WHERE d.date1>=? AND d.date1<=? AND d.curCost IS NOT NULL"
               " AND (d.strItem IS NULL OR instr(d.strItem,'消費税')=0)"
               " GROUP BY d.lngMasterID, t";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return false;
        int p = 1;
        std::vector<std::string> texts;
        for (int t = 0; t + 1 < n; ++t)
            texts.push_back(dbDateText(terms[t].end).toStdString());
        texts.push_back(dbDateText(kStart).toStdString());
        texts.push_back(dbDateText(kEnd).toStdString());
        for (const std::string& s : texts)
            sqlite3_bind_text(st, p++, s.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const int id = sqlite3_column_int(st, 0);
            const int t = sqlite3_column_int(st, 1);
            if (id < 0 || id >= 1000 || t < 0 || t >= n)
                continue;
            cost[k][id * n + t] = static_cast<double>(sqlite3_column_int64(st, 2)) / 10000.0;
            regular[k][id * n + t] = static_cast<double>(sqlite3_column_int64(st, 3));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);

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
                const double v = r == 0   ? cost[0][id * n + t]
                                 : r == 1 ? cost[1][id * n + t]
                                 : r == 4 ? regular[0][id * n + t] - regular[1][id * n + t]
                                          : cost[1][id * n + t] - cost[0][id * n + t];
                worksheet_write_number(ws, row, 3 + c, v, nullptr);
            }
        }
    }
    return workbook_close(wb) == LXW_NO_ERROR;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tovaki-bench-profit DATAFILE TEMPLATEFOLDER [REPEATS]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    gstrAppPath = QFileInfo(path).absolutePath();
    gstrAppTitle = appTitle();
    gstrExcelFormatPath =
        gAddBackSlash(QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath());
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir out;
    ProfitReportParams p;
    p.start = kStart;
    p.end = kEnd;
    if (!gGetProfitSuppliers(p.suppliers) || !gGetProfitSheetSettings(p.settings)) {
        std::fprintf(stderr, "cannot read the suppliers or settings\n");
        return 1;
    }
    p.ranking = true;
    p.outputFolder = out.path();

    std::vector<double> full, fullCpu, low, lowCpu;
    QString saved;
    long cells = 0;
    int sheets = 0;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        double c0 = cpuMs();
        t.start();
        if (gMakeManageProfit(p, {}, &saved) != ProfitOutcome::Saved) {
            std::fprintf(stderr, "the report failed\n");
            return 1;
        }
        full.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        fullCpu.push_back(cpuMs() - c0);
        if (i == 0)
            cells = countCells(saved, sheets);
        QFile::remove(saved);

        const std::string lowPath =
            (out.path() + QStringLiteral("/lower-bound.xlsx")).toStdString();
        c0 = cpuMs();
        t.restart();
        if (!lowerBound(path.toStdString(), lowPath, cells, p.settings.rowsPerSheet)) {
            std::fprintf(stderr, "the lower bound failed\n");
            return 1;
        }
        low.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        lowCpu.push_back(cpuMs() - c0);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("data file: %s\n", argv[1]);
    std::printf("range %s - %s, %zu suppliers, %ld cells on %d sheets, %d runs\n",
                qPrintable(termDateText(kStart)), qPrintable(termDateText(kEnd)),
                p.suppliers.size(), cells, sheets, repeats);
    const double f = median(full), fc = median(fullCpu), l = median(low), lc = median(lowCpu);
    std::printf("full report (tovaki)              median %9.1f ms   cpu %9.1f ms\n", f, fc);
    std::printf("lower bound (SQL + libxlsxwriter) median %9.1f ms   cpu %9.1f ms\n", l, lc);
    std::printf("ratio full / lower bound          wall %.2f   cpu %.2f   goal <= 2.00\n", f / l,
                fc / lc);
    DbClose();
    return 0;
}
