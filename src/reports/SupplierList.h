#pragma once

#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"
#include "store/Currency.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The supplier list reports: the address list (template master.xlsx, one block of lines per
// supplier, pages "1", "2", ...) and the balance list (template master2.xlsx, one row per
// supplier with its balance as of a date, on the sheet "page1"). Both take their suppliers as
// a parameter, so the report window and the command-line report program share them.

// Address list layout: the title cell and the rows the supplier blocks start on. A block is
// started on a page while its first row is at most kAddressListLastStartRow and is then written
// to its end on that page.
inline const QString kAddressListTitle = QStringLiteral("仕入先名簿");
constexpr int kAddressListTitleRow = 2;
constexpr int kAddressListColumn = 2;
constexpr int kAddressListFirstRow = 4;
constexpr int kAddressListLastStartRow = 57;

// Balance list layout. The title names the ledger the balances are from:
// "2024/03/20 時点仕入先名簿（仕入帳）" or "…（売上帳）".
inline const QString kBalanceListTitleSuffix = QStringLiteral(" 時点仕入先名簿");
inline const QString kBalanceListSheet = QStringLiteral("page1");
constexpr int kBalanceListFirstRow = 5;
// The column of the invoice registration number (H).
constexpr int kBalanceListInvoiceColumn = 8;
// The number format of the balance column: thousands separators, no decimals, 0 shown as 0.
inline const QString kBalanceFormat = QStringLiteral("#,##0");

// The completion text of the question after a supplier list was saved.
inline const QString kSupplierListDone = QStringLiteral("表が作成されました");

// The report window's supplier record source: the valid suppliers in the order of setting 9
// (numbers, or reading then short name). Only the columns the reports use are read; the ratios,
// opening balances, reading and last update of the records stay empty. Failure logged
// "gGetReportSuppliers".
bool gGetReportSuppliers(QList<SupplierRecord>& suppliers);

// The lines one supplier takes in the address list, in order: the number, company name and
// department (always); the invoice registration number with its date, the contacts, the two
// addresses, the transfer accounts and the memo, each only when it is not blank (half-width and
// full-width spaces do not count).
QStringList gSupplierAddressLines(const SupplierRecord& supplier);

// The address list's registration line: "登録番号 T1234567890123（2023/10/01 から）"; empty when
// the supplier has no number.
QString gSupplierInvoiceText(const SupplierRecord& supplier);

// The ledger the balance list reads: kind 1 or 2 as given; any other kind (no ledger opened
// since start-up) reads the purchase ledger.
int gBalanceListKind(int dataKind);
// The word of that ledger in the balance list's title and file name: "仕入" or "売上".
QString gBalanceListLedgerWord(int dataKind);
// The end of the balance list's file name: "　仕入先表_仕入.xlsx" or "　仕入先表_売上.xlsx". The
// address list keeps "　仕入先表.xlsx" (kExcelSuffixSupplierList), so a file named so is always
// the address list.
QString gBalanceListSuffix(int dataKind);

// One row of the balance list.
struct SupplierBalanceRow {
    QString number;    // the supplier number as text
    QString shortName; // the short name
    Currency balance;  // opening balance + amounts (tax lines included) − payments up to asOf
    QString account1;  // the transfer accounts, trimmed
    QString account2;
    QString invoiceNo;       // the registration number, "" when none
    bool outOfRange = false; // the balance is beyond the currency range (gCalcDATAEachTotal)
};
// The balance of one supplier at the end of asOf in ledger kind (1 or 2). Failure (logged by
// gCalcDATAEachTotal): false.
bool gSupplierBalanceRow(const SupplierRecord& supplier, const QDate& asOf, int kind,
                         SupplierBalanceRow& row);

// The address list through the common report sequence of `run`: the template opened (busy state
// on), page "1" with its title, the blocks of all suppliers (a new page whenever a block would
// start below row 57), the workbook saved with the supplier-list name, the question asked and the
// file opened on Yes. The template sheet stays in front of the pages, hidden. False after the run's
// failure path (message and log entry under the run's procedure name); no file is left then.
bool mPrintMaster(ExcelReportRun& run, const QList<SupplierRecord>& suppliers);

// The balance list as of asOf (the title shows it as "yyyy/MM/dd" and names the ledger), for the
// ledger `dataKind` (see gBalanceListKind), through the same sequence, saved with
// gBalanceListSuffix. The template sheet itself is written and
// renamed "page1". A failed balance calculation takes the failure path; a balance beyond the
// currency range ends the run with gSumOutOfRangeText as its message (run.wasRefused()).
bool mPrintMaster_Carry(ExcelReportRun& run, const QList<SupplierRecord>& suppliers,
                        const QDate& asOf, int dataKind);

enum class SupplierListOutcome {
    Written,
    Refused, // a balance beyond the range of amounts: its message was shown
    Failed   // the failure path was taken
};

// One run of the address list (balances false) or the balance list as the report window and
// tovaki-report start it: the run under the procedure name "frmPrint_mPrintMaster" or
// "frmPrint_mPrintMaster_Carry", the callbacks, the output folder (the desktop when empty).
SupplierListOutcome gRunSupplierList(const QList<SupplierRecord>& suppliers, bool balances,
                                     const QDate& asOf, int dataKind,
                                     const ExcelReportRun::Callbacks& callbacks,
                                     const QString& outputFolder, QString* savedPath = nullptr);
