#pragma once

#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"
#include "store/Currency.h"

#include <QDate>
#include <QList>
#include <QString>

class Database;

// The consumption tax summary (消費税集計表) of one ledger over a range: one row per valid
// supplier with lines in the range and a total row. Amounts are the lines' amounts without the
// tax lines (items containing "消費税"); a line is at the reduced rate when its entry of the tax
// class (setting 50) is marked reduced and the rate table's reduced rate on the line's date is
// below the standard rate (before 2019-10-01 both are the same, so every line is standard).
//
// The tax is computed per supplier from the amounts grouped by category (standard or reduced),
// rate and deductible share, each group cut to whole yen once. The share of a purchase line: full
// before 2023-10-01 and for a registered supplier (a number, the line on or after its date);
// otherwise 80 % for 2023-10-01 to 2026-09-30, 50 % for 2026-10-01 to 2029-09-30, none after.
// The report window's frame and `tovaki-report tax` share every routine here.

// The deductible share (percent) of a purchase line dated `date` from an unregistered supplier.
int gTransitionalShare(const QDate& date);

struct TaxSummaryRow {
    qint32 supplier = 0; // 0 in the total row
    QString shortName;
    QString invoiceNo;
    QString status; // 登録 / 未登録 as of the lines' dates
    Currency standardAmount;
    Currency reducedAmount;
    Currency tax;            // computed from the amounts, whole yen
    Currency statedTax;      // the sum of the tax lines
    Currency deductible;     // purchase ledger: the deductible input tax
    Currency outputStandard; // sales ledger: the output tax at the standard rate
    Currency outputReduced;  // sales ledger: the output tax at the reduced rate
};

struct TaxSummary {
    int kind = 1; // 1 purchase, 2 sales
    QDate from;
    QDate to;
    QList<TaxSummaryRow> rows;
    TaxSummaryRow total;
    bool outOfRange = false; // a sum left the currency range: nothing else is set
    // A row of the rate table no window writes (gChkStoredTaxRates): the message naming it;
    // nothing else is set.
    QString badRateRow;
};

// Computes the summary of ledger kind over from..to in db for the suppliers given (their records
// with number, short name, registration number and date). Suppliers without lines in the range
// get no row. The lines come from one scan of the range through the ledger's index by date.
// Failure: logged "gCalcTaxSummary", false.
bool gCalcTaxSummary(Database& db, const QList<SupplierRecord>& suppliers, const QDate& from,
                     const QDate& to, int kind, TaxSummary& summary);

// The column headings of the summary (B to J for the purchase ledger, B to K for the sales
// ledger), shared by the workbook and the CSV file.
QStringList gTaxSummaryHeadings(int kind);
// One row's cells as text, in the order of the headings (numbers without separators).
QStringList gTaxSummaryCells(const TaxSummaryRow& row, int kind);

// What a run of the summary came to.
enum class TaxSummaryOutcome { Written, InvalidInput, NothingToReport, OutOfRange, Failed };

struct TaxSummaryParams {
    QString startText; // the range as typed ("yyyy/MM/dd")
    QString endText;
    int kind = 1;
    QList<SupplierRecord> suppliers; // valid suppliers, in list order
    bool csv = false;                // a CSV file instead of the workbook
    QString outputFolder;            // empty: the desktop
    QString procName = QStringLiteral("frmPrint_mPrintTaxSummary");
};

// The whole run: the range checked (message 4 for a wrong date, 40 for a start after the end),
// the summary computed (message 22 when no supplier has a line in the range; the currency-range
// message when a sum cannot be formed), then the workbook (template TaxSummary.xlsx, sheet
// "消費税集計表") saved and offered to open, or the CSV file written. savedPath receives the
// file's path. A CSV file that cannot be written is told as kCsvFileReportFailed with its cause.
TaxSummaryOutcome gPrintTaxSummary(Database& db, const TaxSummaryParams& params,
                                   const ExcelReportRun::Callbacks& callbacks,
                                   QString* savedPath = nullptr);
// The same on the program's data file (gdbData()).
TaxSummaryOutcome gPrintTaxSummary(const TaxSummaryParams& params,
                                   const ExcelReportRun::Callbacks& callbacks,
                                   QString* savedPath = nullptr);

// Writes the summary as CSV (UTF-8 with a byte order mark, CR LF, every field quoted): the
// headings, the rows and the total row. Failure: logged "gWriteTaxSummaryCsv", false, no file,
// and the cause for the user (gFileFailureText) in failureText when given.
bool gWriteTaxSummaryCsv(const QString& path, const TaxSummary& summary,
                         QString* failureText = nullptr);

inline const QString kExcelTemplateTaxSummary = QStringLiteral("TaxSummary.xlsx");
inline const QString kTaxSummarySheet = QStringLiteral("消費税集計表");
inline const QString kExcelSuffixTaxSummary = QStringLiteral("　消費税集計表.xlsx");
inline const QString kCsvSuffixTaxSummary = QStringLiteral("　消費税集計表.csv");
constexpr int kTaxSummaryHeadingRow = 5;
constexpr int kTaxSummaryFirstRow = 6;
