#include "reports/SupplierList.h"

#include "base/ErrorLog.h"
#include "base/TextWidth.h"
#include "ledger/Totals.h"
#include "reports/ExcelLayer.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QRegularExpression>

namespace {

// What column B of the address list holds across the printed page (Shift_JIS bytes of the
// template's font).
constexpr int kAddressLineMaxBytes = 104;

// Blank after removing half-width and full-width spaces (and other white space).
bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

// The balance list starts its calculation here; earlier lines go into the carry.
const QDate kBalanceStart(1900, 1, 1);

} // namespace

bool gGetReportSuppliers(QList<SupplierRecord>& suppliers) {
    const QString proc = QStringLiteral("gGetReportSuppliers");
    QString order;
    if (!gGetSQLSupplierShortNameSort(order)) {
        gProcError(proc);
        return false;
    }
    const QString sql = QStringLiteral("select") + QStringLiteral(" lngMasterID") +
                        QStringLiteral(",lngSupplier") + QStringLiteral(",strSuppLierShortName") +
                        QStringLiteral(",strSupplierName") + QStringLiteral(",strPosition") +
                        QStringLiteral(",lngChargePerson") + QStringLiteral(",strChargePerson1") +
                        QStringLiteral(",strChargePersonNotes1") +
                        QStringLiteral(",strChargePerson2") +
                        QStringLiteral(",strChargePersonNotes2") + QStringLiteral(",strPostCode1") +
                        QStringLiteral(",strAddress1") + QStringLiteral(",strPostCode2") +
                        QStringLiteral(",strAddress2") + QStringLiteral(",strPhone1") +
                        QStringLiteral(",strPhone1Notes") + QStringLiteral(",strPhone2") +
                        QStringLiteral(",strPhone2Notes") + QStringLiteral(",strFax") +
                        QStringLiteral(",strFaxNotes") + QStringLiteral(",lngBankAccount") +
                        QStringLiteral(",strBankAccount1") + QStringLiteral(",strBankAccount2") +
                        QStringLiteral(",strNotes") + QStringLiteral(",strInvoiceNo") +
                        QStringLiteral(",datInvoiceFrom") + QStringLiteral(" FROM T_MASTER") +
                        QStringLiteral(" WHERE ((T_MASTER.blnValid)<>0)") + order;
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(sql, {}, proc))
        return false;
    QList<SupplierRecord> list;
    list.reserve(rs.recordCount());
    for (const QVariantList& row : rs.rows()) {
        const auto text = [&row](int i) {
            return i < row.size() && !row.at(i).isNull() ? row.at(i).toString() : QString();
        };
        const auto number = [&row](int i) {
            return i < row.size() && !row.at(i).isNull()
                       ? static_cast<qint32>(row.at(i).toLongLong())
                       : 0;
        };
        SupplierRecord r;
        r.blnValid = true;
        r.lngMasterID = number(0);
        r.lngSupplier = number(1);
        r.strSupplierShortName = text(2);
        r.strSupplierName = text(3);
        r.strPosition = text(4);
        r.lngChargePerson = number(5);
        r.strChargePerson1 = text(6);
        r.strChargePersonNotes1 = text(7);
        r.strChargePerson2 = text(8);
        r.strChargePersonNotes2 = text(9);
        r.strPostCode1 = text(10);
        r.strAddress1 = text(11);
        r.strPostCode2 = text(12);
        r.strAddress2 = text(13);
        r.strPhone1 = text(14);
        r.strPhone1Notes = text(15);
        r.strPhone2 = text(16);
        r.strPhone2Notes = text(17);
        r.strFax = text(18);
        r.strFaxNotes = text(19);
        r.lngBankAccount = number(20);
        r.strBankAccount1 = text(21);
        r.strBankAccount2 = text(22);
        r.strNotes = text(23);
        r.strInvoiceNo = text(24);
        r.datInvoiceFrom = row.value(25).toDate();
        list << r;
    }
    suppliers = list;
    return true;
}

QStringList gSupplierAddressLines(const SupplierRecord& s) {
    QStringList lines;
    lines << QStringLiteral("[") + QString::number(s.lngSupplier) + QStringLiteral("]") +
                 QStringLiteral("  ") + s.strSupplierName + QStringLiteral(" ") + s.strPosition;
    const QStringList optional{
        gSupplierInvoiceText(s),
        s.strChargePerson1 + QStringLiteral(" ") + s.strChargePersonNotes1 + QStringLiteral("  ") +
            s.strChargePerson2 + QStringLiteral(" ") + s.strChargePersonNotes2,
        s.strPostCode1 + QStringLiteral(" ") + s.strAddress1,
        s.strPostCode2 + QStringLiteral(" ") + s.strAddress2,
        s.strBankAccount1 + QStringLiteral(" 　") + s.strBankAccount2,
    };
    for (const QString& line : optional) {
        if (!isBlank(line))
            lines << line;
    }
    // A memo of several lines takes a row for each, so that no line is printed over another.
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : s.strNotes.split(lineBreak)) {
        if (!isBlank(line))
            lines << line;
    }
    // A line wider than the column would run off the printed page: it is cut with a visible
    // "…" instead.
    for (QString& line : lines) {
        if (sjisByteWidth(line) > kAddressLineMaxBytes)
            line = truncateToSjisBytes(line, kAddressLineMaxBytes - 2) + QStringLiteral("…");
    }
    return lines;
}

QString gSupplierInvoiceText(const SupplierRecord& s) {
    if (s.strInvoiceNo.isEmpty())
        return {};
    QString text = QStringLiteral("登録番号 ") + s.strInvoiceNo;
    if (s.datInvoiceFrom.isValid())
        text += QStringLiteral("（") + s.datInvoiceFrom.toString(QStringLiteral("yyyy/MM/dd")) +
                QStringLiteral(" から）");
    return text;
}

int gBalanceListKind(int dataKind) {
    return dataKind == 2 ? 2 : 1;
}

QString gBalanceListLedgerWord(int dataKind) {
    return gBalanceListKind(dataKind) == 2 ? QStringLiteral("売上") : QStringLiteral("仕入");
}

QString gBalanceListSuffix(int dataKind) {
    return QStringLiteral("　仕入先表_") + gBalanceListLedgerWord(dataKind) +
           QStringLiteral(".xlsx");
}

bool gSupplierBalanceRow(const SupplierRecord& supplier, const QDate& asOf, int kind,
                         SupplierBalanceRow& row) {
    DataTotals totals;
    if (!gCalcDATAEachTotal(supplier.lngMasterID, kBalanceStart, asOf, kind, Currency::fromInt(100),
                            totals))
        return false;
    row.outOfRange = totals.outOfRange;
    row.number = QString::number(supplier.lngSupplier);
    row.shortName = supplier.strSupplierShortName;
    row.balance = totals.balance();
    row.account1 = supplier.strBankAccount1.trimmed();
    row.account2 = supplier.strBankAccount2.trimmed();
    row.invoiceNo = supplier.strInvoiceNo;
    return true;
}

bool mPrintMaster(ExcelReportRun& run, const QList<SupplierRecord>& suppliers) {
    run.setProgressMaximum(static_cast<int>(suppliers.size()));
    if (!run.begin(kExcelTemplateMaster))
        return false;

    int page = 0;
    QString firstPageName;
    Worksheet* sheet = nullptr;
    const auto startPage = [&]() {
        ++page;
        sheet = run.addPage(QString::number(page));
        if (!sheet)
            return false;
        if (firstPageName.isEmpty())
            firstPageName = sheet->name();
        return sheet->setText(kAddressListTitleRow, kAddressListColumn, kAddressListTitle);
    };

    if (!startPage()) {
        run.fail();
        return false;
    }
    int row = kAddressListFirstRow;
    for (const SupplierRecord& s : suppliers) {
        if (row > kAddressListLastStartRow) {
            if (!startPage()) {
                run.fail();
                return false;
            }
            row = kAddressListFirstRow;
        }
        for (const QString& line : gSupplierAddressLines(s)) {
            if (!sheet->setText(row, kAddressListColumn, line)) {
                run.fail();
                return false;
            }
            ++row;
        }
        ++row; // one empty row before the next supplier
        run.advance();
    }
    // The template sheet is not part of what the user receives; the file opens on the first
    // page.
    Workbook& book = run.book();
    if (!run.deleteTemplateSheet() || !book.setActiveSheet(book.sheetIndex(firstPageName))) {
        run.fail();
        return false;
    }
    return run.finish(kExcelSuffixSupplierList, kSupplierListDone);
}

bool mPrintMaster_Carry(ExcelReportRun& run, const QList<SupplierRecord>& suppliers,
                        const QDate& asOf, int dataKind) {
    const int kind = gBalanceListKind(dataKind);
    run.setProgressMaximum(static_cast<int>(suppliers.size()));
    if (!run.begin(kExcelTemplateMaster2))
        return false;

    Worksheet* sheet = run.templateSheet();
    const auto fail = [&run](const QString& reason = {}) {
        run.fail(reason);
        return false;
    };
    if (!sheet)
        return fail();
    if (!sheet->setText(2, 3,
                        asOf.toString(QStringLiteral("yyyy/MM/dd")) + kBalanceListTitleSuffix +
                            QStringLiteral("（") + gBalanceListLedgerWord(kind) +
                            QStringLiteral("帳）")) ||
        !sheet->setText(4, 3, QStringLiteral("仕入先")) ||
        !sheet->setText(4, 4, QStringLiteral("残高")) ||
        !sheet->setText(4, 6, QStringLiteral("振込先１")) ||
        !sheet->setText(4, 7, QStringLiteral("振込先２")) ||
        !sheet->setText(4, kBalanceListInvoiceColumn, QStringLiteral("登録番号")))
        return fail();

    int row = kBalanceListFirstRow;
    for (const SupplierRecord& s : suppliers) {
        SupplierBalanceRow line;
        if (!gSupplierBalanceRow(s, asOf, kind, line))
            return fail(
                QStringLiteral("残高を計算できませんでした（仕入先 %1）").arg(s.lngSupplier));
        if (line.outOfRange) {
            run.refuse(gSumOutOfRangeText() + QStringLiteral("\r\n\r\n仕入先番号 ") + line.number);
            return false;
        }
        if (!sheet->setText(row, 2, line.number) || !sheet->setText(row, 3, line.shortName) ||
            !sheet->setNumber(row, 4, line.balance.toDouble()) ||
            !sheet->setNumberFormat(row, 4, kBalanceFormat) ||
            !sheet->setText(row, 6, line.account1) || !sheet->setText(row, 7, line.account2) ||
            (!line.invoiceNo.isEmpty() &&
             !sheet->setText(row, kBalanceListInvoiceColumn, line.invoiceNo)))
            return fail();
        ++row;
        // The row is done: it goes to the workbook's file now, so the list stays small in
        // memory however many suppliers it holds.
        if (!sheet->writeOutRows(row))
            return fail();
        run.advance();
    }
    const int index = sheet->index();
    if (!run.book().renameSheet(index, kBalanceListSheet) || !run.book().setActiveSheet(index))
        return fail();
    return run.finish(gBalanceListSuffix(kind), kSupplierListDone);
}

SupplierListOutcome gRunSupplierList(const QList<SupplierRecord>& suppliers, bool balances,
                                     const QDate& asOf, int dataKind,
                                     const ExcelReportRun::Callbacks& callbacks,
                                     const QString& outputFolder, QString* savedPath) {
    ExcelReportRun run(balances ? QStringLiteral("frmPrint_mPrintMaster_Carry")
                                : QStringLiteral("frmPrint_mPrintMaster"),
                       kExcelFileReportFailed);
    run.setCallbacks(callbacks);
    run.setOutputFolder(outputFolder);
    const bool ok = balances ? mPrintMaster_Carry(run, suppliers, asOf, dataKind)
                             : mPrintMaster(run, suppliers);
    if (savedPath)
        *savedPath = run.savedPath();
    if (ok)
        return SupplierListOutcome::Written;
    return run.wasRefused() ? SupplierListOutcome::Refused : SupplierListOutcome::Failed;
}
