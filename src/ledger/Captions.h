#pragma once

#include <QString>

// The user-editable column captions of a ledger: rows of T_DATA1_CAPTION / T_DATA2_CAPTION.
// Numbers in use: 0 date, 1 item, 2 to 4 classes 1 to 3, 6 unit price, 7 regular price,
// 8 ratio, 9 amount, 10 payment (5 is not used).
namespace CaptionNo {
constexpr int Date = 0;
constexpr int Item = 1;
constexpr int Class1 = 2;
constexpr int Class2 = 3;
constexpr int Class3 = 4;
constexpr int UnitPrice = 6;
constexpr int RegularPrice = 7;
constexpr int Ratio = 8;
constexpr int Cost = 9;
constexpr int Payment = 10;
} // namespace CaptionNo

// Reads caption `number` of ledger `kind` (1 or 2). True only when exactly one row exists; then
// defaultText and caption hold its strDefault and strCaption (NULL reads as ""). A missing row
// returns false without a log entry (the caller reports); a failed query or a wrong kind is
// logged under "gGetColumnCaption".
bool gGetColumnCaption(int number, int kind, QString& defaultText, QString& caption);

// Stores both texts of caption `number` in the caption table of the open ledger (glngDataKind),
// or of `kind` with the second form. The texts are bound, so quotes are stored as typed.
// Failure (no open ledger, SQL error): logged under "gSetColumnCaption", false.
bool gSetColumnCaption(int number, const QString& defaultText, const QString& caption);
bool gSetColumnCaption(int number, const QString& defaultText, const QString& caption, int kind);
