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

#include <QFileInfo>
#include <limits>
#include <map>
#include <tuple>

namespace {

using Wide = __int128;

constexpr int kMsgInvalidDate = 4;
constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

const QDate kInvoiceStart(2023, 10, 1);
const QDate kShare50From(2026, 10, 1);
const QDate kShareNoneFrom(2029, 10, 1);

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

// The amounts of one supplier in one group: category (reduced or not), rate and share.
using GroupKey = std::tuple<bool, std::int64_t, int>;

struct SupplierSums {
    Wide standard = 0;
    Wide reduced = 0;
    Wide stated = 0;
    std::map<GroupKey, Wide> groups;
    QDate firstLine;
    QDate lastLine;
    bool any = false;
};

QString statusText(const SupplierRecord& s, const SupplierSums& sums) {
    if (s.strInvoiceNo.isEmpty() || !s.datInvoiceFrom.isValid())
        return QStringLiteral("未登録");
    const QString from = termDateText(s.datInvoiceFrom);
    if (!sums.firstLine.isValid() || s.datInvoiceFrom <= sums.firstLine)
        return QStringLiteral("登録");
    if (s.datInvoiceFrom > sums.lastLine)
        return QStringLiteral("未登録（") + from + QStringLiteral(" から登録）");
    return QStringLiteral("未登録／") + from + QStringLiteral(" から登録");
}

bool readSupplier(const SupplierRecord& s, const QString& table, int taxClass,
                  const QList<TaxRate>& rates, const TaxSummary& summary, SupplierSums& sums) {
    const QString cls = QString::number(taxClass);
    const QString sql = QStringLiteral("SELECT d.date1 AS date1, d.curCost AS curCost,"
                                       " (CASE WHEN d.strItem IS NOT NULL AND instr(d.strItem,?)>0"
                                       " THEN 1 ELSE 0 END) AS blnTax,"
                                       " EXISTS (SELECT 1 FROM T_DATA_CLASS") +
                        cls +
                        QStringLiteral(" c WHERE c.blnReduced=1 AND c.strClassItem=d.strClass") +
                        cls + QStringLiteral(") AS blnReduced FROM ") + table +
                        QStringLiteral(" d WHERE d.lngMasterID=? AND d.date1>=? AND d.date1<=?"
                                       " AND d.curCost IS NOT NULL");
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(sql, {kTaxItemText, s.lngMasterID, summary.from, summary.to},
                          QStringLiteral("gCalcTaxSummary")))
        return false;
    for (const QVariantList& row : rs.rows()) {
        const QDate date = row.value(0).toDate();
        const Wide amount = row.value(1).value<Currency>().raw();
        if (!date.isValid())
            continue;
        sums.any = true;
        if (row.value(2).toBool()) {
            sums.stated += amount;
            continue;
        }
        if (!sums.firstLine.isValid() || date < sums.firstLine)
            sums.firstLine = date;
        if (!sums.lastLine.isValid() || date > sums.lastLine)
            sums.lastLine = date;
        const std::optional<TaxRate> rate = gTaxRateOn(rates, date);
        const bool reduced = row.value(3).toBool() && rate && rate->reduced < rate->standard;
        const std::int64_t percent = rate ? (reduced ? rate->reduced : rate->standard).raw() : 0;
        int share = 100;
        if (summary.kind == 1 && !gIsRegisteredOn(s.strInvoiceNo, s.datInvoiceFrom, date))
            share = gTransitionalShare(date);
        (reduced ? sums.reduced : sums.standard) += amount;
        sums.groups[GroupKey{reduced, percent, share}] += amount;
    }
    return true;
}

} // namespace

int gTransitionalShare(const QDate& date) {
    if (date < kInvoiceStart)
        return 100;
    if (date < kShare50From)
        return 80;
    if (date < kShareNoneFrom)
        return 50;
    return 0;
}

bool gCalcTaxSummary(const QList<SupplierRecord>& suppliers, const QDate& from, const QDate& to,
                     int kind, TaxSummary& summary) {
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
    const QString table = QStringLiteral("T_DATA") + QString::number(kind);
    Wide total[7] = {};
    bool inRange = true;
    for (const SupplierRecord& s : suppliers) {
        SupplierSums sums;
        if (!readSupplier(s, table, taxClass, rates, out, sums)) {
            gProcError(proc, QStringLiteral("lngMasterID=%1").arg(s.lngMasterID));
            return false;
        }
        if (!sums.any)
            continue;
        Wide tax = 0, deductible = 0, outStandard = 0, outReduced = 0;
        for (const auto& [key, amount] : sums.groups) {
            const auto& [reduced, percent, share] = key;
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
        if (!writeRow(row++, r))
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
    if (!gCalcTaxSummary(p.suppliers, from, to, p.kind, summary)) {
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
