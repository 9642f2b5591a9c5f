#pragma once

#include <QDate>
#include <QString>

// Invoice registration numbers ("登録番号"): "T" followed by 13 digits. The first of the 13 is a
// check digit computed from the other 12; numbers issued to individuals need not follow it,
// so a mismatch is only a question to the user.

// The number as stored: full-width letters and digits made half-width, a lower-case "t" made
// "T", hyphens (any dash) and spaces (half- or full-width) removed. Nothing else is changed,
// so a wrong character stays visible to the check.
QString gNormalizeInvoiceNo(const QString& typed);

// The check digit (1 to 9) of the 12 digits that follow it: 9 − (Σ Pn × Qn mod 9), Pn the n-th
// digit counted from the right, Qn 1 for odd n and 2 for even n. -1 when the text is not 12
// digits.
int gInvoiceCheckDigit(const QString& twelveDigits);

enum class InvoiceNoStatus {
    Empty,            // no number
    Ok,               // "T" + 13 digits with a matching check digit
    WrongFormat,      // not "T" + 13 digits
    LeadingZero,      // the 13 digits start with 0 (never issued)
    CheckDigitDiffers // well formed, but the check digit does not match: ask the user
};
// The status of a normalised number.
InvoiceNoStatus gChkInvoiceNo(const QString& normalized);

// The registration date as typed: "yyyy/MM/dd" (also "yyyy/M/d", "-" or "." as separators,
// full-width digits). Empty text gives a null date with ok true; text that is no date gives ok
// false.
QDate gParseInvoiceDate(const QString& typed, bool& ok);

// Whether a line dated `date` is from a registered issuer: a number is stored and the date is
// on or after the registration date.
bool gIsRegisteredOn(const QString& invoiceNo, const QDate& registeredFrom, const QDate& date);
