#pragma once

#include "store/Currency.h"

class Database;

#include <QDate>
#include <QString>
#include <QVariantList>
#include <optional>

// Period totals of one supplier's ledger lines, shared by the ledger window and the reports.

// ---- Line filter -------------------------------------------------------------------------------

// strClass<classNo> (1 to 3) equals value exactly.
struct ClassCondition {
    int classNo = 0;
    QString value;
};

enum class FilterJoin { And, Or };

// A filter over the lines of a ledger table, always turned into bound SQL. Every part is
// optional; an empty filter selects every line.
struct LineFilter {
    // Up to two class conditions. With both, they are joined by `join`; with one, it applies
    // alone.
    std::optional<ClassCondition> first;
    std::optional<ClassCondition> second;
    FilterJoin join = FilterJoin::And;
    // Leave out tax lines (items containing "消費税").
    bool excludeTaxLines = false;
    // Only lines with an amount (curCost not NULL).
    bool costOnly = false;
    // Only lines dated on or after `from` / on or before `to`.
    std::optional<QDate> from;
    std::optional<QDate> to;

    bool isEmpty() const {
        return !first && !second && !excludeTaxLines && !costOnly && !from && !to;
    }
};

// Appends the filter to a WHERE clause as " AND (...)" parts with plain "?" placeholders, and
// their values to params in the same order. Nothing is appended for an empty filter. A class
// number outside 1 to 3 or an invalid date is a failure (logged under procName).
bool gLineFilterSql(const LineFilter& filter, QString& sql, QVariantList& params,
                    const QString& procName = QStringLiteral("gLineFilterSql"));

// ---- Period totals -----------------------------------------------------------------------------

// The earliest and latest dates of a period whose box is left empty.
inline QDate earliestPeriodDate() {
    return QDate(100, 1, 1);
}
inline QDate latestPeriodDate() {
    return QDate(2500, 1, 1);
}

struct DataTotals {
    Currency carry;   // opening balance + amounts − payments of the lines before the start
    Currency cost;    // amounts of the period's non-tax lines
    Currency tax;     // amounts of the period's tax lines
    Currency payment; // payments of the period
    // Every non-tax amount line of the period has a ratio or a regular price, or the supplier
    // has a default ratio; the regular-price total is only formed then.
    bool ratioValid = false;
    Currency regularTotal; // sum of the lines' regular-price amounts, each cut to whole yen
    // cost ÷ regular total × 100 cut to one decimal; set only when the regular total is not 0.
    std::optional<Currency> averageRatio;
    // The stored amounts add up to more than the currency range holds (SQLite's SUM or the
    // carry, balance or regular total): every other field is empty, and the caller shows
    // gSumOutOfRangeText instead of figures. When it is false, balance() is within range.
    bool outOfRange = false;

    Currency balance() const { return carry + cost + tax - payment; }
};

// The totals of supplier masterID in ledger `kind` (1 or 2) for the period start to end (both
// inclusive; a start after the end gives empty sums and a carry over every line before the
// start). defaultRatio: the supplier's default ratio of this ledger, 0 for none. The filter
// applies to every part, the carry included. One query; the opening balance comes from the
// supplier record. Totals beyond the currency range are no failure: true with outOfRange set.
// Failure: logged "gCalcDATAEachTotal", false (totals reset to empty).
bool gCalcDATAEachTotal(Database& db, qint32 masterID, const QDate& start, const QDate& end,
                        int kind, Currency defaultRatio, DataTotals& totals,
                        const LineFilter& filter = LineFilter());
// The same on gdbData(), for the report code, which does not pass its database yet.
bool gCalcDATAEachTotal(qint32 masterID, const QDate& start, const QDate& end, int kind,
                        Currency defaultRatio, DataTotals& totals,
                        const LineFilter& filter = LineFilter());

// The contents of the two period boxes before a calculation. An empty box (after trimming)
// means the earliest or latest date and becomes empty text; a date is rewritten as
// "yyyy/MM/dd". invalidBox: 0 none, 1 the start box, 2 the end box holds no date (the window
// shows message 4 and puts the focus there).
struct PeriodBoxes {
    QDate start;
    QDate end;
    QString startText;
    QString endText;
    int invalidBox = 0;
};
PeriodBoxes gReadPeriodBoxes(const QString& startText, const QString& endText);

// ---- Tax estimate ------------------------------------------------------------------------------

// Where the estimate's rate came from: setting 32 as the user stored it, the standard rate of
// the rate table in force at the period's end (T_TAX_RATE, when setting 32 was never stored),
// or nowhere (a period ending before the table's first row: 0 %).
enum class TaxRateSource { Setting, Table, None };

struct TaxEstimate {
    Currency tax;  // the tax, cut to whole yen
    Currency rate; // the percentage used
    TaxRateSource source = TaxRateSource::None;
    QDate rateFrom; // Table: the date the table's row applies from
};

// The consumption tax on `cost` at setting 32 (percent) when it is stored, else at the standard
// rate of the table in force on periodEnd, cut to whole yen. Failure of the settings store or the
// table: logged "gCalcEstimatedTax", false.
bool gCalcEstimatedTax(Database& db, Currency cost, const QDate& periodEnd, TaxEstimate& estimate);
// The estimate's message box: title and text for the displayed cost figure and the tax.
QString gEstimatedTaxTitle();
QString gEstimatedTaxText(const QString& costCaption, Currency tax);
// The text naming the rate used and where it came from: "消費税額 (税率 10%、切り捨て) は "
// ... and "（税率表の 2019/10/01 からの標準税率）" or "（システム設定の消費税率）".
QString gEstimatedTaxText(const QString& costCaption, const TaxEstimate& estimate);
