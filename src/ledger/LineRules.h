#pragma once

#include "ledger/LedgerColumns.h"
#include "store/Currency.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <optional>

// The rules of one ledger line: what a cell may hold, what happens after a cell is stored, how a
// missing amount is derived from the others, and the check a changed line must pass. No message
// is shown here: every rule returns a RuleResult that the ledger window turns into a message box.

// The column name of a grid column of T_DATA1 / T_DATA2 ("" outside the table).
QString ledgerFieldName(int column);

// The text that marks a consumption-tax line when an item contains it.
inline const QString kTaxItemText = QStringLiteral("消費税");

// What a rule asks the window to show. msgCode > 0: the catalogue message (gDispMsg) with
// addText before it; msgCode 0 with a text: a fixed warning box (exclamation icon).
struct RuleResult {
    bool ok = true;
    int msgCode = 0;
    QString addText;
    QString text;
    int focusRow = -1;    // the line (index in the view) to put the user on; -1: the current one
    int focusColumn = -1; // the grid column to put the user in; -1: none in particular
    bool hasMessage() const { return msgCode > 0 || !text.isEmpty(); }
};

// ---- Cell validation (before a cell is stored) -------------------------------------------------

// A date as the date column accepts it: y/M/d (also with "-", "." or full-width "／"; two-digit
// years 00-29 are 2000-2029, 30-99 are 1930-1999), "yyyy年M月d日", or M/d of the current year
// (clock service). Full-width digits are accepted. An invalid QDate when the text is no date;
// wellFormed (when given) tells whether the text had a date's shape, so that "26/13/05" (no such
// date) can be told apart from text that is no date at all.
QDate parseLedgerDate(const QString& text, bool* wellFormed = nullptr);

// Checks the text typed into a cell of ledger `kind` before it is stored. When r.ok, value is
// what to store (a null QVariant for empty text; a QDate, an int, a Currency or the text
// itself). When refused, r names the message, and its focus column is the cell's; nothing may be
// stored. The list columns 2, 4, 5, 6 accept an empty text or one of their current entries
// (gChkLedgerListText). Returns false only when a list could not be read (logged there); r is
// then ok and value null.
bool gCheckCellText(int column, int kind, const QString& text, QVariant& value, RuleResult& r);

// The largest size (whole units, store/AmountLimits.h) a value of grid column 7 to 13 may have,
// typed or derived: quantity 99 999, unit and regular price 999 999 999, ratio 100, amount,
// payment and check 9 999 999 999. 0 for another column. A typed value beyond it is refused
// with a message naming the limit; a derived one with the "too large" warning.
std::int64_t gLedgerColumnLimit(int column);

// ---- After a cell is stored --------------------------------------------------------------------

// Fill an empty class cell of the line from text setting 13, 14 or 15 (empty setting: nothing).
// Failure of the settings store: logged under the routine's name, false.
bool mInputClass1Default(LedgerLine& line);
bool mInputClass2Default(LedgerLine& line);
bool mInputClass3Default(LedgerLine& line);
// Blank cells (trimmed text of length 0) of the columns 1 to 13 become NULL; the note is kept.
void mSetNulls(LedgerLine& line);
// True when the date shows as "99/12/30" in the grid's "YY/MM/DD" format (the zero date).
bool isZeroDate(const std::optional<QDate>& date);
// The processing after a cell of the line is stored: class defaults for a line never stored
// before (no master ID yet), the master ID of the shown supplier, the changed flag, the zero
// date made NULL, blank cells made NULL. False when reading a class default failed (logged).
bool gAfterCellUpdate(LedgerLine& line, qint32 masterID);

// ---- Derived amounts ---------------------------------------------------------------------------

// The outcome of a derivation. computed: a value was written into the target column (value);
// warning: a message to show (a ratio above 100 %, a value too large to hold). A derivation may
// also fill the ratio from the supplier's default ratio (mCalcCost); the caller stores every
// cell that differs from the line before.
struct DeriveResult {
    bool computed = false;
    Currency value;
    RuleResult warning;
};

// Each derives one column of the line when that column is empty and leaves the line as it was
// otherwise. defaultRatio: the supplier's default ratio of this ledger (none when it is 0 or
// empty). Returns false only on an unexpected failure (logged under the routine's name).
bool mCalcQuantity(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r);
bool mCalcUnitPrice(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r);
bool mCalcRegularPrice(LedgerLine& line, const std::optional<Currency>& defaultRatio,
                       DeriveResult& r);
bool mCalcRatio(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r);
bool mCalcCost(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r);
// The derivation of a grid column (7 to 11); false for another column (logged).
bool gDeriveColumn(int column, LedgerLine& line, const std::optional<Currency>& defaultRatio,
                   DeriveResult& r);

// ---- Line check --------------------------------------------------------------------------------

// The words of the line-check messages: the current captions of the unit price, regular price,
// ratio, cost and payment columns (caption numbers 6 to 10) and the caption of the default-ratio
// label (the ledger word + "規定掛率").
struct LineCheckTexts {
    QString unitPrice = QStringLiteral("単価");
    QString regularPrice = QStringLiteral("定価");
    QString ratio = QStringLiteral("掛率");
    QString cost = QStringLiteral("仕入金額");
    QString payment = QStringLiteral("支払金額");
    QString regularRatioLabel = QStringLiteral("仕入規定掛率");
};
// Reads them for ledger `kind` from the caption table and the settings. Failure logged
// "gGetLineCheckTexts".
bool gGetLineCheckTexts(int kind, LineCheckTexts& texts);

// The check of one changed line: a date; exactly one of cost and payment; a non-tax cost line
// needs a ratio, a regular price or the supplier's default ratio. ok when it passes.
RuleResult gCheckLine(const LedgerLine& line, const LineCheckTexts& texts, bool hasDefaultRatio);

// Why mCalcCost leaves an empty amount empty: with no unit price it needs the regular price and
// a ratio (the line's or the supplier's default ratio). The message names what is missing; empty
// when the amount is not empty or can be derived.
QString gWhyCostNotDerived(const LedgerLine& line, bool hasDefaultRatio,
                           const LineCheckTexts& texts);
