#pragma once

#include "store/Currency.h"

#include <QDate>
#include <QString>

// Display patterns of the windows and reports, imitating the classic format patterns:
// "#,##0", "#,###", "#", "#.0", "00.0", "0.0#", "#0", "0", "###,0" for numbers ("#" prints
// nothing for a zero integer part: "#,###" of 0 is "", "#.0" of 0.5 is ".5"; values round half
// away from zero to the pattern's decimals; a value that rounds to zero shows no sign), and
// "yen" (also "Currency") for the yen currency format ("￥1,234", "-￥1,234"). Any pattern made of
// "#", "0", "," and one "." works alike; another pattern is logged "formatNumber" and the plain
// number returned. Dates: "YY/MM/DD", "YY/M/D", "M/D" (any case; "YYYY" gives four digits,
// other characters are printed as they stand); an invalid date gives "".
//
// Spaced digit patterns (only "#", "," and spaces, such as kSpacedDigitPattern of the ledger
// forms) are positional: the value is rounded to a whole number, its digits fill the "#"
// placeholders from the right, and the commas and spaces between two filled placeholders are
// printed where they stand; everything left of the first filled placeholder is dropped, so the
// text never starts with a separator. Zero prints nothing. Digits beyond the placeholders stand
// together in front. With kSpacedDigitPattern: 7 → "7", 12 → "1 2", 1234 → "1,2 3 4",
// 1234567 → "1,2 3 4,5 6 7", -1234 → "-1,2 3 4".
QString formatNumber(double value, const QString& pattern);
QString formatNumber(Currency value, const QString& pattern);
QString formatDate(const QDate& date, const QString& pattern);

// The pattern of the ledger forms' amount boxes: one digit per box, a comma at each thousands
// boundary.
inline const QString kSpacedDigitPattern = QStringLiteral("#,# # #,# # #,# # #,# # #,# # #");
