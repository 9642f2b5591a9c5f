// Times the consumption tax summary on a data file made by tovaki-bench-gen:
//   tovaki-bench-tax DATAFILE [REPEATS] [FROM TO]
// The summary of each ledger over FROM..TO ("YYYY-MM-DD", default 2023-07-01..2024-06-30, a year
// across the start of the invoice system) for every valid supplier, against the straightforward
// form: one grouped query per ledger (the rate row and the share worked out in SQL, the groups
// cut to whole yen per supplier). Their figures must be equal, else the program exits with 1.
// Before the runs the file gets reduced-rate and registration data the generator does not make:
// the class entry "雑貨" marked reduced, a third of the suppliers registered from 2023-10-01 and
// a third from a day inside the range (the 15th of a month from 2023-11 to 2024-06).
#include "BenchClock.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/SupplierList.h"
#include "reports/TaxSummary.h"
#include "store/DataFile.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

using Wide = __int128;

bool prepareData() {
    const QStringList sql{
        QStringLiteral("DELETE FROM T_DATA_CLASS1"),
        QStringLiteral("INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable, blnReduced)"
                       " VALUES ('文具', 1, 1, 0), ('紙製品', 2, 1, 0), ('事務機器', 3, 1, 0),"
                       " ('雑貨', 4, 1, 1)"),
        QStringLiteral("UPDATE T_MASTER SET strInvoiceNo='T7000012050002',"
                       " datInvoiceFrom='2023-10-01' WHERE lngMasterID % 3 = 0"),
        QStringLiteral("UPDATE T_MASTER SET strInvoiceNo='T7000012050002',"
                       " datInvoiceFrom=printf('%04d-%02d-15', 2023 + (lngMasterID % 8 + 10) / 12,"
                       " (lngMasterID % 8 + 10) % 12 + 1) WHERE lngMasterID % 3 = 1"),
        QStringLiteral("UPDATE T_MASTER SET strInvoiceNo='', datInvoiceFrom=NULL"
                       " WHERE lngMasterID % 3 = 2")};
    for (const QString& s : sql)
        if (!gdbData().executeSQL(s))
            return false;
    return true;
}

// The figures of one supplier (amounts as counts of 1/10 000 yen, taxes in whole yen).
struct Figures {
    std::array<Wide, 7> v{}; // standard, reduced, stated, tax, deductible, output std, output red
    bool operator==(const Figures&) const = default;
};

// The straightforward form: one grouped query, the groups cut per supplier.
bool groupedFigures(sqlite3* db, int kind, const std::string& from, const std::string& to,
                    QHash<qint64, Figures>& out) {
    const std::string rate = "(SELECT r.%1 FROM T_TAX_RATE r WHERE r.datFrom<=d.date1"
                             " ORDER BY r.datFrom DESC LIMIT 1)";
    const auto rateOf = [&](const char* column) {
        return QString::fromStdString(rate).arg(QLatin1String(column)).toStdString();
    };
    const std::string share =
        kind == 2 ? std::string("100")
                  : std::string("(CASE WHEN m.strInvoiceNo<>'' AND m.datInvoiceFrom IS NOT NULL"
                                " AND d.date1>=m.datInvoiceFrom THEN 100"
                                " WHEN d.date1<'2023-10-01' THEN 100"
                                " WHEN d.date1<'2026-10-01' THEN 80"
                                " WHEN d.date1<'2029-10-01' THEN 50 ELSE 0 END)");
    const std::string sql =
        "WITH l AS (SELECT d.lngMasterID AS id, d.curCost AS cost,"
        " (d.strItem IS NOT NULL AND instr(d.strItem,'消費税')>0) AS stated,"
        " EXISTS (SELECT 1 FROM T_DATA_CLASS1 c WHERE c.blnReduced=1"
        " AND c.strClassItem=d.strClass1) AS marked, " +
        rateOf("curStandard") + " AS std, " + rateOf("curReduced") + " AS red, " + share +
        " AS share FROM T_DATA" + std::to_string(kind) +
        " d JOIN T_MASTER m ON m.lngMasterID=d.lngMasterID"
        " WHERE d.date1>=? AND d.date1<=? AND d.curCost IS NOT NULL)"
        " SELECT id, stated, (marked AND red<std) AS reduced,"
        " CASE WHEN marked AND red<std THEN red ELSE std END AS pct, share, SUM(cost)"
        " FROM l GROUP BY 1, 2, 3, 4, 5";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "grouped query: %s\n", sqlite3_errmsg(db));
        return false;
    }
    sqlite3_bind_text(st, 1, from.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, to.c_str(), -1, SQLITE_TRANSIENT);
    out.clear();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Figures& f = out[sqlite3_column_int64(st, 0)];
        const bool stated = sqlite3_column_int(st, 1) != 0;
        const bool reduced = sqlite3_column_int(st, 2) != 0;
        const Wide pct = sqlite3_column_int64(st, 3);
        const Wide share = sqlite3_column_int(st, 4);
        const Wide sum = sqlite3_column_int64(st, 5);
        if (stated) {
            f.v[2] += sum;
            continue;
        }
        f.v[reduced ? 1 : 0] += sum;
        const Wide tax = sum * pct / Wide(10'000'000'000LL);
        f.v[3] += tax;
        if (kind == 1)
            f.v[4] += sum * pct * share / Wide(1'000'000'000'000LL);
        else
            f.v[reduced ? 6 : 5] += tax;
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

Figures rowFigures(const TaxSummaryRow& r) {
    const Wide y = Currency::Scale;
    return Figures{{r.standardAmount.raw(), r.reducedAmount.raw(), r.statedTax.raw(),
                    r.tax.raw() / y, r.deductible.raw() / y, r.outputStandard.raw() / y,
                    r.outputReduced.raw() / y}};
}

// The summary's rows and total against the grouped figures.
bool sameFigures(const TaxSummary& s, const QList<SupplierRecord>& suppliers,
                 const QHash<qint64, Figures>& grouped) {
    qsizetype row = 0;
    Figures total;
    for (const SupplierRecord& r : suppliers) {
        const auto it = grouped.constFind(r.lngMasterID);
        if (it == grouped.cend())
            continue;
        if (row >= s.rows.size() || s.rows.at(row).supplier != r.lngSupplier ||
            !(rowFigures(s.rows.at(row)) == *it)) {
            std::fprintf(stderr, "supplier %d differs\n", r.lngSupplier);
            return false;
        }
        for (std::size_t i = 0; i < total.v.size(); ++i)
            total.v[i] += it->v[i];
        ++row;
    }
    if (row != s.rows.size() || !(rowFigures(s.total) == total)) {
        std::fprintf(stderr, "the row count or the total differs\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc == 4) {
        std::fprintf(stderr, "usage: tovaki-bench-tax DATAFILE [REPEATS] [FROM TO]\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QString fromText =
        argc > 4 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("2023-07-01");
    const QString toText =
        argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("2024-06-30");
    const QDate from = QDate::fromString(fromText, Qt::ISODate);
    const QDate to = QDate::fromString(toText, Qt::ISODate);
    if (!from.isValid() || !to.isValid())
        return 2;
    svc().setPaths({QFileInfo(path).absolutePath(), path, QFileInfo(path).absolutePath()});
    if (!DbInit(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    QList<SupplierRecord> suppliers;
    if (!prepareData() || !gGetReportSuppliers(suppliers)) {
        std::fprintf(stderr, "cannot prepare the data or read the suppliers\n");
        return 1;
    }
    const std::string f = fromText.toStdString(), t = toText.toStdString();
    std::printf("data file: %s, %s - %s, %lld suppliers, %d runs\n", argv[1], qPrintable(fromText),
                qPrintable(toText), static_cast<long long>(suppliers.size()), repeats);
    std::printf("                      summary wall ms   cpu ms     grouped query wall ms\n");
    for (int kind = 1; kind <= 2; ++kind) {
        std::vector<double> wall, cpu, grouped;
        for (int i = 0; i < repeats; ++i) {
            TaxSummary s;
            QElapsedTimer timer;
            const double c0 = cpuMs();
            timer.start();
            if (!gCalcTaxSummary(gdbData(), suppliers, from, to, kind, s) || s.outOfRange ||
                !s.badRateRow.isEmpty()) {
                std::fprintf(stderr, "the summary failed\n");
                return 1;
            }
            wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            cpu.push_back(cpuMs() - c0);
            QHash<qint64, Figures> plain;
            timer.restart();
            if (!groupedFigures(gdbData().handle(), kind, f, t, plain))
                return 1;
            grouped.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (!sameFigures(s, suppliers, plain)) {
                std::fprintf(stderr, "the summary and the grouped query differ (ledger %d)\n",
                             kind);
                return 1;
            }
        }
        std::printf("%-21s %15.1f %8.1f %25.1f   same figures\n",
                    kind == 1 ? "purchase ledger" : "sales ledger", median(wall), median(cpu),
                    median(grouped));
    }
    DbClose();
    return 0;
}
