#include "reports/TaxSummary.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LineRules.h"
#include "master/InvoiceNumber.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/TaxRates.h"
#include "util/FileHelpers.h"
#include "workbook/Workbook.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

namespace {

using Wide = __int128;

constexpr int kMsgInvalidDate = 4;
constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

// A whole-yen figure as currency; no value beyond the currency range.
std::optional<Currency> yen(Wide whole) {
    const Wide limit = std::numeric_limits<std::int64_t>::max() / Currency::Scale;
    if (whole > limit || whole < -limit)
        return std::nullopt;
    return Currency::fromInt(static_cast<std::int64_t>(whole));
}

std::optional<Currency> raw(Wide value) {
    if (value > std::numeric_limits<std::int64_t>::max() ||
        value < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Currency::fromRaw(static_cast<std::int64_t>(value));
}

// A date as the number yyyymmdd: ordered as the dates are, compared without a QDate.
constexpr int dateKey(int y, int m, int d) {
    return y * 10000 + m * 100 + d;
}

int dateKey(const QDate& d) {
    return dateKey(d.year(), d.month(), d.day());
}

constexpr int kInvoiceStartKey = dateKey(2023, 10, 1);
constexpr int kShare50FromKey = dateKey(2026, 10, 1);
constexpr int kShareNoneFromKey = dateKey(2029, 10, 1);
constexpr int kNever = std::numeric_limits<int>::max();

int shareOn(int key) {
    if (key < kInvoiceStartKey)
        return 100;
    if (key < kShare50FromKey)
        return 80;
    if (key < kShareNoneFromKey)
        return 50;
    return 0;
}

// The date of a line as read from the table, 0 when it is none. A stored date 'YYYY-MM-DD' is
// read from its digits; any other text is read as the result set reads a date column (a time
// stamp by its date, other text as an ISO date), so such rows count exactly as they always did.
int lineDateKey(std::string_view t) {
    const auto digit = [&](std::size_t i) { return t[i] >= '0' && t[i] <= '9'; };
    if (t.size() == 10 && t[4] == '-' && t[7] == '-' && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9)) {
        const auto num = [&](std::size_t i, std::size_t n) {
            int v = 0;
            for (std::size_t k = i; k < i + n; ++k)
                v = v * 10 + (t[k] - '0');
            return v;
        };
        const int y = num(0, 4), m = num(5, 2), d = num(8, 2);
        static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (y >= 1 && m >= 1 && m <= 12 && d >= 1 &&
            d <= kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0))
            return dateKey(y, m, d);
    }
    const QString s = QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    QDate date;
    if (s.size() == 10)
        date = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
    else if (s.size() == 19)
        date = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss")).date();
    if (!date.isValid())
        date = QVariant(s).toDate();
    return date.isValid() ? dateKey(date) : 0;
}

// The amounts of one supplier in one group: category (reduced or not), rate and share.
struct Group {
    bool reduced;
    std::int64_t percent;
    int share;
    Wide amount;
};

struct SupplierSums {
    Wide standard = 0;
    Wide reduced = 0;
    Wide stated = 0;
    std::vector<Group> groups; // a handful: looked up in place
    int firstLine = 0;         // dateKey, 0 when there is none
    int lastLine = 0;
    int registeredFrom = kNever; // dateKey of the registration, kNever without one
    bool any = false;

    void add(bool isReduced, std::int64_t percent, int share, Wide amount) {
        for (Group& g : groups) {
            if (g.reduced == isReduced && g.percent == percent && g.share == share) {
                g.amount += amount;
                return;
            }
        }
        groups.push_back(Group{isReduced, percent, share, amount});
    }
};

QDate keyDate(int key) {
    return QDate(key / 10000, key / 100 % 100, key % 100);
}

QString statusText(const SupplierRecord& s, const SupplierSums& sums) {
    if (s.strInvoiceNo.isEmpty() || !s.datInvoiceFrom.isValid())
        return QStringLiteral("未登録");
    const QString from = termDateText(s.datInvoiceFrom);
    if (sums.firstLine == 0 || s.datInvoiceFrom <= keyDate(sums.firstLine))
        return QStringLiteral("登録");
    if (s.datInvoiceFrom > keyDate(sums.lastLine))
        return QStringLiteral("未登録（") + from + QStringLiteral(" から登録）");
    return QStringLiteral("未登録／") + from + QStringLiteral(" から登録");
}

// A row of the rate table by date key; the rates as counts of 1/10 000 percent.
struct RateRow {
    int from;
    std::int64_t standard;
    std::int64_t reduced;
};

// Adds up the lines of the range of one ledger in one scan through the index by date: every
// line of a listed supplier to that supplier's sums (index in `sums` by lngMasterID).
bool scanLedger(Database& db, const QString& table, int taxClass, const std::vector<RateRow>& rates,
                const TaxSummary& summary, const QHash<qint64, int>& index,
                std::vector<SupplierSums>& sums) {
    const QString cls = QString::number(taxClass);
    // The reduced mark as a list built once for the statement (not a lookup per line); a line
    // without a class is not reduced.
    const QString sql = QStringLiteral("SELECT d.lngMasterID, d.date1, d.curCost,"
                                       " (CASE WHEN d.strItem IS NOT NULL AND instr(d.strItem,?)>0"
                                       " THEN 1 ELSE 0 END), coalesce(d.strClass") +
                        cls + QStringLiteral(" IN (SELECT c.strClassItem FROM T_DATA_CLASS") + cls +
                        QStringLiteral(" c WHERE c.blnReduced=1), 0) FROM ") + table +
                        QStringLiteral(" d WHERE d.date1>=? AND d.date1<=?"
                                       " AND d.curCost IS NOT NULL");
    RowCursor c(db);
    if (!c.open(sql, {kTaxItemText, summary.from, summary.to}, QStringLiteral("gCalcTaxSummary")))
        return false;
    // The rate row in force over [rateFrom, rateUntil): the index gives the lines in date order,
    // so the table is searched only when a line's date leaves that span.
    int rateFrom = kNever, rateUntil = kNever;
    const RateRow* rate = nullptr;
    while (c.next()) {
        const auto found = index.constFind(c.int64(0));
        if (found == index.cend())
            continue;
        const int date = lineDateKey(c.text(1));
        if (date == 0)
            continue;
        // As the result set reads a currency column: an integer as it is, anything else as a
        // number scaled.
        const Wide amount = c.isInteger(2)
                                ? Wide(c.int64(2))
                                : Wide(Currency::fromDouble(c.real(2) / Currency::Scale).raw());
        SupplierSums& s = sums[static_cast<std::size_t>(*found)];
        s.any = true;
        if (c.int64(3) != 0) {
            s.stated += amount;
            continue;
        }
        if (s.firstLine == 0 || date < s.firstLine)
            s.firstLine = date;
        if (date > s.lastLine)
            s.lastLine = date;
        if (date < rateFrom || date >= rateUntil) {
            const auto next = std::upper_bound(rates.begin(), rates.end(), date,
                                               [](int d, const RateRow& r) { return d < r.from; });
            rate = next == rates.begin() ? nullptr : &*(next - 1);
            rateFrom = rate ? rate->from : std::numeric_limits<int>::min();
            rateUntil = next == rates.end() ? kNever : next->from;
        }
        const bool reduced = c.int64(4) != 0 && rate && rate->reduced < rate->standard;
        const std::int64_t percent = rate ? (reduced ? rate->reduced : rate->standard) : 0;
        const int share = summary.kind == 1 && date < s.registeredFrom ? shareOn(date) : 100;
        (reduced ? s.reduced : s.standard) += amount;
        s.add(reduced, percent, share, amount);
    }
    return !c.failed();
}

} // namespace

int gTransitionalShare(const QDate& date) {
    return shareOn(dateKey(date));
}

bool gCalcTaxSummary(Database& db, const QList<SupplierRecord>& suppliers, const QDate& from,
                     const QDate& to, int kind, TaxSummary& summary) {
    const QString proc = QStringLiteral("gCalcTaxSummary");
    if (kind != 1 && kind != 2) {
        gProcError(proc, QStringLiteral("kind=%1").arg(kind));
        return false;
    }
    TaxSummary out;
    out.kind = kind;
    out.from = from;
    out.to = to;
    if (!gChkStoredTaxRates(out.badRateRow)) {
        gProcError(proc);
        return false;
    }
    if (!out.badRateRow.isEmpty()) {
        summary = out;
        return true;
    }
    QList<TaxRate> rates;
    qint32 taxClass = 1;
    if (!gGetTaxRates(rates) || !gGetTaxClass(taxClass)) {
        gProcError(proc);
        return false;
    }
    std::vector<RateRow> rateRows;
    for (const TaxRate& r : rates)
        rateRows.push_back(RateRow{dateKey(r.from), r.standard.raw(), r.reduced.raw()});
    // Each supplier's sums, by the first entry of its number in the list.
    QHash<qint64, int> index;
    std::vector<SupplierSums> perSupplier(static_cast<std::size_t>(suppliers.size()));
    for (qsizetype i = 0; i < suppliers.size(); ++i) {
        const SupplierRecord& s = suppliers.at(i);
        if (index.contains(s.lngMasterID))
            continue;
        index.insert(s.lngMasterID, static_cast<int>(i));
        if (!s.strInvoiceNo.isEmpty() && s.datInvoiceFrom.isValid())
            perSupplier[static_cast<std::size_t>(i)].registeredFrom = dateKey(s.datInvoiceFrom);
    }
    if (!scanLedger(db, QStringLiteral("T_DATA") + QString::number(kind), taxClass, rateRows, out,
                    index, perSupplier)) {
        gProcError(proc);
        return false;
    }
    Wide total[7] = {};
    bool inRange = true;
    for (const SupplierRecord& s : suppliers) {
        const SupplierSums& sums =
            perSupplier[static_cast<std::size_t>(index.value(s.lngMasterID))];
        if (!sums.any)
            continue;
        Wide tax = 0, deductible = 0, outStandard = 0, outReduced = 0;
        for (const auto& [reduced, percent, share, amount] : sums.groups) {
            // amount and percent are counts of 1/10 000: amount × percent / 100 in yen is
            // amount × percent / 10^10, cut toward zero once per group.
            const Wide groupTax = amount * percent / Wide(10'000'000'000LL);
            tax += groupTax;
            deductible += amount * percent * share / Wide(1'000'000'000'000LL);
            (reduced ? outReduced : outStandard) += groupTax;
        }
        const Wide figures[7] = {sums.standard, sums.reduced, sums.stated, tax,
                                 deductible,    outStandard,  outReduced};
        for (int i = 0; i < 7; ++i)
            total[i] += figures[i];
        TaxSummaryRow r;
        r.supplier = s.lngSupplier;
        r.shortName = s.strSupplierShortName;
        r.invoiceNo = s.strInvoiceNo;
        r.status = statusText(s, sums);
        const auto a = raw(sums.standard), b = raw(sums.reduced), c = raw(sums.stated);
        const auto d = yen(tax), e = yen(deductible), f = yen(outStandard), g = yen(outReduced);
        if (!a || !b || !c || !d || !e || !f || !g) {
            inRange = false;
            break;
        }
        r.standardAmount = *a;
        r.reducedAmount = *b;
        r.statedTax = *c;
        r.tax = *d;
        if (kind == 1) {
            r.deductible = *e;
        } else {
            r.outputStandard = *f;
            r.outputReduced = *g;
        }
        out.rows << r;
    }
    if (inRange) {
        const auto a = raw(total[0]), b = raw(total[1]), c = raw(total[2]);
        const auto d = yen(total[3]), e = yen(total[4]), f = yen(total[5]), g = yen(total[6]);
        inRange = a && b && c && d && e && f && g;
        if (inRange) {
            out.total.shortName = QStringLiteral("合計");
            out.total.standardAmount = *a;
            out.total.reducedAmount = *b;
            out.total.statedTax = *c;
            out.total.tax = *d;
            if (kind == 1) {
                out.total.deductible = *e;
            } else {
                out.total.outputStandard = *f;
                out.total.outputReduced = *g;
            }
        }
    }
    if (!inRange) {
        summary = TaxSummary();
        summary.kind = kind;
        summary.outOfRange = true;
        return true;
    }
    summary = out;
    return true;
}

QStringList gTaxSummaryHeadings(int kind) {
    QStringList h{QStringLiteral("番号"),           QStringLiteral("仕入先"),
                  QStringLiteral("登録番号"),       QStringLiteral("登録状況"),
                  QStringLiteral("標準税率対象額"), QStringLiteral("軽減税率対象額"),
                  QStringLiteral("計算税額"),       QStringLiteral("記載税額（消費税伝票）")};
    if (kind == 1)
        h << QStringLiteral("控除対象仕入税額");
    else
        h << QStringLiteral("売上税額（標準税率）") << QStringLiteral("売上税額（軽減税率）");
    return h;
}

QStringList gTaxSummaryCells(const TaxSummaryRow& r, int kind) {
    QStringList c{r.supplier > 0 ? QString::number(r.supplier) : QString(),
                  r.shortName,
                  r.invoiceNo,
                  r.status,
                  r.standardAmount.toString(),
                  r.reducedAmount.toString(),
                  r.tax.toString(),
                  r.statedTax.toString()};
    if (kind == 1)
        c << r.deductible.toString();
    else
        c << r.outputStandard.toString() << r.outputReduced.toString();
    return c;
}

bool gWriteTaxSummaryCsv(const QString& path, const TaxSummary& summary, QString* failureText) {
    std::vector<QStringList> records{gTaxSummaryHeadings(summary.kind)};
    for (const TaxSummaryRow& r : summary.rows)
        records.push_back(gTaxSummaryCells(r, summary.kind));
    records.push_back(gTaxSummaryCells(summary.total, summary.kind));
    QString error;
    if (!gWriteQuotedCsv(path, records, error, failureText)) {
        gSetLastError(0, QStringLiteral("CheckedFileWriter"), error);
        gProcError(QStringLiteral("gWriteTaxSummaryCsv"), path);
        return false;
    }
    return true;
}

namespace {

bool writeSheet(Worksheet* sheet, const TaxSummary& s) {
    const QString ledger = s.kind == 1 ? QStringLiteral("仕入帳") : QStringLiteral("売上帳");
    if (!sheet->setText(2, 2, kTaxSummarySheet) ||
        !sheet->setText(3, 2,
                        termDateText(s.from) + QStringLiteral(" ～ ") + termDateText(s.to) +
                            QStringLiteral("　") + ledger +
                            QStringLiteral("（消費税伝票を除く金額、伝票の日付の税率）")))
        return false;
    const QStringList headings = gTaxSummaryHeadings(s.kind);
    for (int i = 0; i < headings.size(); ++i)
        if (!sheet->setText(kTaxSummaryHeadingRow, 2 + i, headings.at(i)))
            return false;
    const auto writeRow = [&](int row, const TaxSummaryRow& r) {
        const QList<Currency> figures =
            s.kind == 1 ? QList<Currency>{r.standardAmount, r.reducedAmount, r.tax, r.statedTax,
                                          r.deductible}
                        : QList<Currency>{r.standardAmount, r.reducedAmount,  r.tax,
                                          r.statedTax,      r.outputStandard, r.outputReduced};
        if ((r.supplier > 0 && !sheet->setNumber(row, 2, r.supplier)) ||
            !sheet->setText(row, 3, r.shortName) ||
            (!r.invoiceNo.isEmpty() && !sheet->setText(row, 4, r.invoiceNo)) ||
            (!r.status.isEmpty() && !sheet->setText(row, 5, r.status)))
            return false;
        for (int i = 0; i < figures.size(); ++i) {
            if (!sheet->setNumber(row, 6 + i, figures.at(i).toDouble()) ||
                !sheet->setNumberFormat(row, 6 + i, QStringLiteral("#,##0")))
                return false;
        }
        return true;
    };
    int row = kTaxSummaryFirstRow;
    for (const TaxSummaryRow& r : s.rows)
        if (!writeRow(row++, r) || !sheet->writeOutRows(row)) // each row leaves memory when done
            return false;
    const int lastCol = 1 + static_cast<int>(headings.size());
    if (!writeRow(row, s.total) || !gExcel_CellLine(sheet, CellRange{row, 2, row, lastCol}, true,
                                                    true, false, false, false, false))
        return false;
    for (int c = 2; c <= lastCol; ++c)
        if (!sheet->setBold(row, c, true))
            return false;
    return true;
}

} // namespace

TaxSummaryOutcome gPrintTaxSummary(const TaxSummaryParams& p,
                                   const ExcelReportRun::Callbacks& callbacks, QString* savedPath) {
    return gPrintTaxSummary(gdbData(), p, callbacks, savedPath);
}

TaxSummaryOutcome gPrintTaxSummary(Database& db, const TaxSummaryParams& p,
                                   const ExcelReportRun::Callbacks& callbacks, QString* savedPath) {
    const QDate from = termDateFromText(p.startText);
    const QDate to = termDateFromText(p.endText);
    if (!from.isValid() || !to.isValid()) {
        gDispMsg(kMsgInvalidDate);
        return TaxSummaryOutcome::InvalidInput;
    }
    if (from > to) {
        gDispMsg(kMsgStartAfterEnd);
        return TaxSummaryOutcome::InvalidInput;
    }
    TaxSummary summary;
    if (!gCalcTaxSummary(db, p.suppliers, from, to, p.kind, summary)) {
        gProcError(p.procName);
        svc().prompt().show(kExcelReportFailed, gstrAppTitle, MsgStyle::OKOnly);
        return TaxSummaryOutcome::Failed;
    }
    if (!summary.badRateRow.isEmpty()) {
        svc().prompt().show(summary.badRateRow, gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return TaxSummaryOutcome::Failed;
    }
    if (summary.outOfRange) {
        svc().prompt().show(gSumOutOfRangeText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return TaxSummaryOutcome::OutOfRange;
    }
    if (summary.rows.isEmpty()) {
        gDispMsg(kMsgNothingToReport);
        return TaxSummaryOutcome::NothingToReport;
    }
    if (p.csv) {
        QString folder = p.outputFolder;
        if (folder.isEmpty() && !gGetDesktopPath(folder)) {
            gProcError(p.procName, QStringLiteral("desktop"));
            return TaxSummaryOutcome::Failed;
        }
        QString path = gExcelReportPath(folder, svc().clock().now(), kCsvSuffixTaxSummary);
        QString unique;
        if (QFileInfo::exists(path) && gGetUniqueFName(folder, QFileInfo(path).fileName(), unique))
            path = gAddBackSlash(folder) + unique;
        QString why;
        if (!gWriteTaxSummaryCsv(path, summary, &why)) {
            gProcError(p.procName);
            svc().prompt().show(kCsvFileReportFailed + QStringLiteral("\r\n\r\n") + why,
                                gstrAppTitle, MsgStyle::OKOnly);
            return TaxSummaryOutcome::Failed;
        }
        if (savedPath)
            *savedPath = path;
        return TaxSummaryOutcome::Written;
    }
    ExcelReportRun run(p.procName);
    run.setCallbacks(callbacks);
    run.setOutputFolder(p.outputFolder);
    run.setProgressMaximum(1);
    if (!run.begin(kExcelTemplateTaxSummary))
        return TaxSummaryOutcome::Failed;
    Worksheet* sheet = run.templateSheet();
    if (!sheet || !writeSheet(sheet, summary) ||
        !run.book().renameSheet(sheet->index(), kTaxSummarySheet) ||
        !run.book().setActiveSheet(sheet->index())) {
        run.fail();
        return TaxSummaryOutcome::Failed;
    }
    run.advance();
    if (!run.finish(kExcelSuffixTaxSummary, QStringLiteral("消費税集計表が作成されました")))
        return TaxSummaryOutcome::Failed;
    if (savedPath)
        *savedPath = run.savedPath();
    return TaxSummaryOutcome::Written;
}
