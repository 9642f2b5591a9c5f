#pragma once

#include "store/Currency.h"

#include <QString>
#include <cstdint>
#include <optional>

class Database;

// The largest amounts, prices and quantities a user may type (or a derivation may produce), in
// whole units; documented in docs/ledger-core.md. They are chosen so that every product the
// ledger forms stays exact in double precision and well inside the currency range
// (about ±922 337 203 685 477):
//   quantity × unit price, quantity × regular price  ≤ 99 999 × 999 999 999 ≈ 1.0e14
//   regular price × ratio ÷ 100                      ≤ 999 999 999
// Sums are another matter: about 92 000 amounts at the limit already leave the range, and a
// stored value may exceed every limit (an older file, another program). A sum that leaves the
// range is therefore detected and reported (gSumOutOfRangeText), never wrapped and never fatal.
namespace AmountLimit {
// Amounts and payments of a ledger line: −9 999 999 999 to 9 999 999 999; its check column 0 to
// 9 999 999 999.
constexpr std::int64_t Amount = 9'999'999'999;
// Unit and regular price of a ledger line: 1 to 999 999 999.
constexpr std::int64_t Price = 999'999'999;
// Quantity of a ledger line: −99 999 to 99 999 (negative for returns).
constexpr std::int64_t Quantity = 99'999;
// A ratio in percent: a ledger line's above 0, a supplier's default ratio from 0, both up to 100.
constexpr std::int64_t Ratio = 100;
// Opening balance of a supplier: −9 999 999 to 999 999 999.
constexpr std::int64_t CarryMin = -9'999'999;
constexpr std::int64_t CarryMax = 999'999'999;
// The consumption tax rate of the system settings: 0 to 100 percent.
constexpr std::int64_t TaxRate = 100;
} // namespace AmountLimit

// A whole-unit limit as the messages show it: "9,999,999,999".
QString gLimitText(std::int64_t whole);

// Arithmetic that reports leaving the currency range instead of wrapping around: no value when
// the exact result does not fit.
std::optional<Currency> gCheckedAdd(Currency a, Currency b);
std::optional<Currency> gCheckedSub(Currency a, Currency b);
std::optional<Currency> gCheckedFromInt(std::int64_t whole);
// Adds v into sum; false (sum unchanged) when the result would leave the range.
bool gAddInto(Currency& sum, Currency v);

// The message shown when a total cannot be formed: the stored amounts add up to more than the
// currency range holds (typically a line typed with far too many digits, or a file written by
// another program).
QString gSumOutOfRangeText();

// The last statement on db failed because SQLite's SUM left the 64-bit integer range ("integer
// overflow"). The failure itself has been logged by the statement's routine.
bool gDbSumOutOfRange(const Database& db);
