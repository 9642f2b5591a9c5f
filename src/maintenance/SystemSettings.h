#pragma once

#include "store/Currency.h"

#include <QString>
#include <optional>

// The program-wide settings of the system settings window: close day (8), supplier order (9),
// the two ledger words (10, 11), the consumption tax rate in percent (32), the tax class (50),
// the number of automatic backups kept (51; 0 writes none, at most kAutoBackupMax), the shop's
// name (67) and whether the ledgers' amounts include the tax (68). Numbers,
// defaults, ranges and captions are their rows of the settings table (store/SettingsRegistry.h).
// The rate table itself (T_TAX_RATE) is store/TaxRates.h.
struct SystemSettingsValues {
    qint32 closeDay = 20;
    qint32 sortOrder = 0; // 0 by supplier number, 1 by reading and short name
    QString purchaseCaption;
    QString saleCaption;
    // The ledger's estimate rate; none: the rate table's standard rate at the period's end.
    std::optional<Currency> taxRate;
    qint32 taxClass = 1; // the class whose entries carry the reduced-rate mark
    qint32 autoBackups = 10;
    QString shopName;    // 67, the reports' title area
    qint32 taxEntry = 0; // 68: 0 amounts without the tax (税抜), 1 with it (税込)
};

// Reads the settings with their defaults (20, 0, "仕入", "売上", none, 1, 10, "", 0): the ledger
// words as every window uses them (gGetDataCaption); a stored backup count outside
// 0..kAutoBackupMax is brought into it. False when any read fails.
bool gReadSystemSettings(SystemSettingsValues& values);
// Writes them in the order 8, 9, 10, 11, 32, 50, 51, 67, 68; no rate removes setting 32. False at
// the first failed write, and without writing anything when a ledger word is empty.
bool gWriteSystemSettings(const SystemSettingsValues& values);

// The number of automatic backups to keep (setting 51), for the shutdown.
bool gGetAutoBackupCount(qint32& count);

// The tax rate as the user typed it; no value when the text is not a number (an empty box is
// checked by the window before: it means "no rate").
std::optional<Currency> gParseTaxRate(const QString& text);
// A tax rate the settings accept: 0 to 100 percent (AmountLimit::TaxRate); the refusal of any
// other names that range.
bool gTaxRateInRange(Currency rate);
QString gTaxRateRangeText();
// The tax rate as shown: "0.0#" (5 is "5.0", 8.25 is "8.25").
QString gFormatTaxRate(Currency rate);

// The close-day list: the setting's range, 1 to 31, each right-aligned to two characters (" 1"
// ... "31").
QString gCloseDayItemText(int day);
// The day of a close-day list entry; 0 when the text is not one.
int gCloseDayFromText(const QString& text);
