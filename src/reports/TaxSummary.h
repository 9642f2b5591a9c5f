#pragma once

#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"
#include "store/Currency.h"
#include "store/TaxRates.h"

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
// The amounts are read as the shop entered them (setting 68): without the tax (税抜: tax =
// amount × rate ÷ 100) or with it (税込: tax = amount × rate ÷ (100 + rate)).
//
// Beside the supplier table the summary gives the ledger's totals per rate and share (the rate
// table): each group's amount over every listed supplier, its tax, national part (国税, at
// gNationalTaxRate) and local part, and for the purchase ledger the deductible tax and its
// parts. Each figure of a group is cut to whole yen once from the group's total; the local part
// is the tax less the national part, so that the two add up to the tax. The supplier table cuts
// per supplier and group, so its tax total can exceed the rate table's by less than one yen per
// supplier and group.
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

// One row of the rate table: a rate (category and percentages) and, for the purchase ledger, a
// deductible share; the figures in whole yen except the amounts, which are as summed.
struct TaxRateShareRow {
    QString category; // 標準税率, 軽減税率, 旧税率 (before 2019-10-01); 合計 in the total row
    Currency rate; // percent; the national and the local part of it
    Currency nationalRate;
    Currency localRate;
    int share = 100; // percent deductible (purchase ledger)
    Currency net;    // the amount without the tax
    Currency gross;  // the amount with the tax
    Currency tax;
    Currency nationalTax;
    Currency localTax;
    Currency deductible; // purchase ledger: the deductible tax and its parts
    Currency deductibleNational;
    Currency deductibleLocal;
};

struct TaxSummary {
    int kind = 1; // 1 purchase, 2 sales
    QDate from;
    QDate to;
    TaxEntry entry = TaxEntry::Exclusive;
    QList<TaxSummaryRow> rows;
    TaxSummaryRow total;
    // The rate table: standard, reduced, then older rates (higher first), each by share from
    // 100 % down; and its total row.
    QList<TaxRateShareRow> rateRows;
    TaxRateShareRow rateTotal;
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
                     const QDate& to, int kind, TaxSummary& summary,
                     TaxEntry entry = TaxEntry::Exclusive);

// The column headings of the supplier table (B to J for the purchase ledger; B to I for the
// sales ledger, which has no registration columns), shared by the workbook and the CSV file.
// With 税込 entry the amount headings say so.
QStringList gTaxSummaryHeadings(int kind, TaxEntry entry = TaxEntry::Exclusive);
// One row's cells as text, in the order of the headings (numbers without separators).
QStringList gTaxSummaryCells(const TaxSummaryRow& row, int kind);
// The number of leading text columns of the supplier table (4 purchase, 2 sales).
int gTaxSummaryTextColumns(int kind);

// The rate table's headings (13 for the purchase ledger, 9 for the sales ledger: no share and
// no deductible columns) and one row's cells (percentages as "7.8%", numbers without
// separators). The first five (purchase) or four (sales) are text.
QStringList gTaxRateShareHeadings(int kind);
QStringList gTaxRateShareCells(const TaxRateShareRow& row, int kind);
int gTaxRateShareTextColumns(int kind);

// What a run of the summary came to.
enum class TaxSummaryOutcome { Written, InvalidInput, NothingToReport, OutOfRange, Failed };

struct TaxSummaryParams {
    QString startText; // the range as typed ("yyyy/MM/dd")
    QString endText;
    int kind = 1;
    QList<SupplierRecord> suppliers; // valid suppliers, in list order
    bool csv = false;                // CSV files instead of the workbook
    QString outputFolder;            // empty: the desktop
    QString procName = QStringLiteral("frmPrint_mPrintTaxSummary");
};

// The whole run: the range checked (message 4 for a wrong date, 40 for a start after the end),
// the summary computed (message 22 when no supplier has a line in the range; the currency-range
// message when a sum cannot be formed), then the workbook (template TaxSummary.xlsx, sheets
// "消費税集計表" and "税率別集計"; the shop's name, the day made and the entry in the title area,
// the rounding below the tables) saved and offered to open, or the two CSV files written (the
// supplier table, and the rate table beside it with kCsvSuffixTaxRates). savedPath receives the
// (first) file's path. A CSV file that cannot be written is told as kCsvFileReportFailed with
// its cause.
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
// The rate table likewise. Failure: logged "gWriteTaxSummaryCsv", false.
bool gWriteTaxRateShareCsv(const QString& path, const TaxSummary& summary,
                           QString* failureText = nullptr);

inline const QString kExcelTemplateTaxSummary = QStringLiteral("TaxSummary.xlsx");
inline const QString kTaxSummarySheet = QStringLiteral("消費税集計表");
inline const QString kExcelSuffixTaxSummary = QStringLiteral("　消費税集計表.xlsx");
inline const QString kCsvSuffixTaxSummary = QStringLiteral("　消費税集計表.csv");
inline const QString kTaxRateSheet = QStringLiteral("税率別集計");
inline const QString kCsvSuffixTaxRates = QStringLiteral("　消費税集計表（税率別）.csv");
constexpr int kTaxSummaryHeadingRow = 5;
constexpr int kTaxSummaryFirstRow = 6;
