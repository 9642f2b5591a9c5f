#pragma once

#include "reports/ExcelLayer.h"
#include "store/Currency.h"
#include "store/Formats.h"
#include "store/SettingsRegistry.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Database;

// The ledger print: the purchase ledger lines (T_DATA1) of chosen suppliers over a date range,
// written into a workbook laid out for plain pages (StockBook.xlsx) or for the pre-printed
// Kokuyo ledger forms "リ-103" (kokuyo-ri-103.xlsx) and "リ-101" (kokuyo-ri-101.xlsx). Every
// sheet is one printed page of one supplier. The report window's frame "仕入帳" and the
// command-line program tovaki-report both run it through gPrintLedger.

// The options of the settings window frmPrint_Data and the print position of frmPrint_ExcelPos,
// with their setting numbers.
struct LedgerPrintOptions {
    bool noteInBalance = false; // 38: the balance column shows the line's note
    bool omitMonth = false;     // 39: a repeated month is left out
    bool omitDay = false;       // 45: a repeated day is left out
    int linesPerPage = 29;      // 33: 29, 30 or 31
    int balanceInterval = 2;    // 41: the balance every (N + 1)th line of a page, N 1 to 4
    bool kokuyoRi103 = false;   // 40: the "リ-103" form
    int offsetVertical = 0;     // 46: points added to row 1, -10 to 10
    int offsetHorizontal = 0;   // 47: characters added to column 2, -10 to 10
    bool closeDayBlank = false; // 44: blank rows after the last line of a close day
    int closeDayBlankRows = 1;  // 48: how many, 1 to 4
};

// Setting numbers of the options.
namespace LedgerPrintSetting {
constexpr int LinesPerPage = SettingNo::LinesPerSheet;
constexpr int NoteInBalance = SettingNo::NoteInBalance;
constexpr int OmitMonth = SettingNo::OmitMonth;
constexpr int KokuyoRi103 = SettingNo::KokuyoRi103;
constexpr int BalanceInterval = SettingNo::BalanceInterval;
constexpr int CloseDayBlank = SettingNo::CloseDayBlank;
constexpr int OmitDay = SettingNo::OmitDay;
constexpr int OffsetVertical = SettingNo::OffsetVertical;
constexpr int OffsetHorizontal = SettingNo::OffsetHorizontal;
constexpr int CloseDayBlankRows = SettingNo::CloseDayBlankRows;
} // namespace LedgerPrintSetting

// Limits of the options as the windows offer them: the ranges of their settings.
constexpr int kLedgerLinesMin = settingDef(SettingNo::LinesPerSheet).minimum;
constexpr int kLedgerLinesMax = settingDef(SettingNo::LinesPerSheet).maximum;
constexpr int kLedgerIntervalMax = settingDef(SettingNo::BalanceInterval).maximum;
constexpr int kLedgerBlankRowsMax = settingDef(SettingNo::CloseDayBlankRows).maximum;
constexpr int kLedgerOffsetMax = settingDef(SettingNo::OffsetVertical).maximum;
// The start row of a supplier's first page: 1 to 29.
constexpr int kLedgerStartRowMax = 29;

// Reads the stored options (defaults 29 lines, interval 2, one blank row, offsets 0). A value
// outside its range (only possible in a damaged file) is brought to the nearest allowed one.
// A failed read: logged "gGetLedgerPrintOptions", false.
bool gGetLedgerPrintOptions(LedgerPrintOptions& options);

// The three form layouts. The "リ-101" check box wins over the "リ-103" option.
enum class LedgerForm { Plain, KokuyoRi103, KokuyoRi101 };
LedgerForm gLedgerForm(bool kokuyoRi101, const LedgerPrintOptions& options);
QString gLedgerTemplateFile(LedgerForm form);

// Columns of one form (counted from 1). On "リ-101" quantity and unit price share column 1.
struct LedgerColumns {
    int month, day, item, quantity, unitPrice, amount, payment, balance;
};
LedgerColumns gLedgerColumns(LedgerForm form);

// Line rows start at row 5; the short name stands at (2, 5). On plain pages the year of the
// page's lines stands at (2, 2), above the month and day columns.
constexpr int kLedgerFirstLineRow = 5;
constexpr int kLedgerNameRow = 2;
constexpr int kLedgerNameColumn = 5;
constexpr int kLedgerYearRow = 2;
constexpr int kLedgerYearColumn = 2;

// The item of the carried-forward row that opens a supplier's first plain page.
inline const QString kLedgerCarryItem = QStringLiteral("前期繰越");

// The figures of plain pages are ordinary numbers; the forms' boxes take kSpacedDigitPattern.
inline const QString kLedgerPlainPattern = QStringLiteral("#,##0");
QString gLedgerAmountPattern(LedgerForm form);

// The amount formatter: a number (or numeric text) is written as its absolute value in pattern
// (kSpacedDigitPattern of the forms or kLedgerPlainPattern, store/Formats.h), with sign put in
// front when it is below 0; any other value is returned as its text. A value with a fraction
// keeps it after a point ("1.5", "1,2 3 4.25", "1,234.25"), so a quantity or price is never
// printed rounded. An empty value gives ""; zero gives what the pattern makes of it ("" in the
// digit boxes, "0" as an ordinary number).
QString gFormatLedgerAmount(const QVariant& value, const QString& sign = QStringLiteral("▲"),
                            const QString& pattern = kSpacedDigitPattern);

// The font size of an item by its length in characters: more than 12 → 8 points, more than
// 10 → 9, more than 8 → 10; 0 (the template's size) otherwise.
double gLedgerItemFontSize(const QString& item);

// One entry of the supplier list: the supplier number, its short name, whether it is ticked,
// and the row of its first page on which its first line goes (1 to kLedgerStartRowMax).
struct LedgerPrintSupplier {
    qint32 supplier = 0;
    QString shortName;
    bool checked = true;
    int startRow = 1;
};

// A start row as typed into the list: a whole number from 1 to kLedgerStartRowMax (half- or
// full-width digits, surrounding spaces allowed). Otherwise false with the message to show:
// "開始行には整数を入力してください" for anything that is not a whole number,
// "開始行は 1以上 29以下 の整数を入力してください" for one outside the range.
bool gParseLedgerStartRow(const QString& text, int& row, QString& message);

struct LedgerPrintParams {
    QString startText; // the date boxes as typed
    QString endText;
    QList<LedgerPrintSupplier> suppliers; // the whole list, in its order
    bool kokuyoRi101 = false;
    LedgerPrintOptions options;
    QString outputFolder; // empty: the desktop
    QString procName = QStringLiteral("frmPrint_cmdPrintData_Click");
};

enum class LedgerPrintOutcome {
    Written,         // saved (and offered to open)
    InvalidInput,    // a message was shown; focus names the control to return to
    NothingToReport, // "対象となるデータがありませんでした" was shown; no file
    OutOfRange,      // a supplier's amounts add up beyond the currency range: that message
                     // (gSumOutOfRangeText) was shown; no file
    Failed,          // the failure path was taken (message shown, logged)
};

struct LedgerPrintResult {
    LedgerPrintOutcome outcome = LedgerPrintOutcome::Failed;
    QString focus;      // "cboPrintDataStartDate", "cboPrintDataEndDate" or empty
    QString savedPath;  // the file written
    QStringList sheets; // the sheet names written, in order
};

// ---- The computed pages: what each page shows, before anything is written ----------------------

class LedgerSheetNames;

// One ledger line as the print reads it.
struct LedgerPrintLine {
    QDate date;
    QString item;
    QVariant quantity;
    QVariant unitPrice;
    QVariant cost;
    QVariant payment;
    QString note;
};

// The lines of one supplier's purchase ledger in start..end, in the ledger's order. Failure:
// logged under procName, false.
bool gReadLedgerPrintLines(Database& db, qint32 masterID, const QDate& start, const QDate& end,
                           QList<LedgerPrintLine>& lines, const QString& procName);

// One printed row: the sheet row and the texts of its columns; the balance column only where
// one is written (the running balance at the interval, or the note).
struct LedgerPrintRow {
    int row = 0;
    QString month, day, item, quantity, unitPrice, amount, payment;
    std::optional<QString> balance;
};

struct LedgerPrintPage {
    QString name; // the sheet name asked for: short name and page number
    QString shortName;
    QString year; // plain pages: "2024年", or "2023〜2024年" for lines of several years
    std::vector<LedgerPrintRow> rows;
};

// The pages of a run, supplier by supplier: page breaks, start rows, omitted months and days,
// balances every interval, blank rows after a close day, sheet names kept apart. No workbook.
// On plain pages the figures are ordinary numbers, each page carries the year of its lines,
// and a supplier's first page opens with the carried-forward row (kLedgerCarryItem with the
// carried balance) when a balance is carried in; the forms get none of these.
class LedgerPrintLayout {
public:
    LedgerPrintLayout(const LedgerPrintOptions& options, int closeDay, LedgerForm form);
    ~LedgerPrintLayout();
    // Takes each finished page; false stops the layout.
    using PageSink = std::function<bool(const LedgerPrintPage& page)>;
    // Lays out the pages of one supplier (none without lines), the balance running from carry,
    // and hands each to sink as soon as it is complete, so that only one page is held at a
    // time. False when a running balance leaves the currency range (the pages before it have
    // been handed over) or when sink refuses a page.
    bool addSupplier(const LedgerPrintSupplier& s, Currency carry,
                     const QList<LedgerPrintLine>& lines, const PageSink& sink);

private:
    void newPage(const LedgerPrintSupplier& s, bool firstPage, LedgerPrintPage& page);
    bool isCloseDay(const QDate& d) const;

    void finishPage(LedgerPrintPage& page) const;

    LedgerPrintOptions m_opt;
    int m_closeDay;
    bool m_plain = true;
    QString m_pattern;
    int m_yearFrom = 0; // the years of the page's lines
    int m_yearTo = 0;
    int m_lines = 29;
    int m_interval = 2;
    std::unique_ptr<LedgerSheetNames> m_names;
    QString m_base;
    int m_row = kLedgerFirstLineRow;
    int m_used = 0;       // rows of the page taken: skipped start rows, lines, blank rows
    int m_lineOnPage = 0; // lines written on the page
    int m_page = 0;
    int m_prevMonth = 0;
    int m_prevDay = 0;
};

// Messages of the run.
inline const QString kLedgerNoSuppliers = QStringLiteral("仕入先がありません");
inline const QString kLedgerNoneChecked = QStringLiteral("対象仕入先がありません");
inline const QString kLedgerNoData = QStringLiteral("対象となるデータがありませんでした");

// Checks the inputs in the window's order: start not a date (message 4), end not a date
// (message 4), start after end (message 40), no supplier in the list, none ticked. Shows the
// message and fills result (InvalidInput or NothingToReport) when one fails; true when the
// run may start.
bool gCheckLedgerPrintInput(const LedgerPrintParams& params, LedgerPrintResult& result);

// The whole run: the inputs are checked, then the pages are written and saved with the suffix
// "　仕入帳.xlsx" into params.outputFolder (the desktop when empty), and the user is asked
// whether to open the file. Returns false only when the run failed (failure path taken: the
// message "表が正常に作成されませんでした。…" and a log entry under params.procName).
bool gPrintLedger(Database& db, const LedgerPrintParams& params,
                  const ExcelReportRun::Callbacks& callbacks, LedgerPrintResult& result);
// The same on the program's data file (gdbData()).
bool gPrintLedger(const LedgerPrintParams& params, const ExcelReportRun::Callbacks& callbacks,
                  LedgerPrintResult& result);
