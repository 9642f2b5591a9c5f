#pragma once

#include "store/Currency.h"
#include "store/SettingsRegistry.h"

class Database;

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// Consumption tax rates by date: rows of T_TAX_RATE (datFrom, curStandard, curReduced), rates in
// percent (10 % is Currency 10). A row applies from its date until the next row's date. The
// shipped file holds the rates from 1989-04-01 on; the user may add later changes.

struct TaxRate {
    QDate from;
    Currency standard;
    Currency reduced;
};

// Every row, ordered by date. Failure: logged "gGetTaxRates", false.
bool gGetTaxRates(Database& db, QList<TaxRate>& rates);

// Looks for a row no window writes (by another program): a date that is not one, a rate that
// is not a whole count from 0 to 100 percent. problem receives the message naming the first such
// row (its date and rates as stored, and what to do), or stays empty. Failure: logged
// "gChkStoredTaxRates", false.
bool gChkStoredTaxRates(Database& db, QString& problem);

// The row in force on date (the last one dated on or before it) of rates ordered by date; none
// before the first row.
std::optional<TaxRate> gTaxRateOn(const QList<TaxRate>& rates, const QDate& date);

// Why a new row is refused: an invalid date, a date already in the table, a rate outside
// 0 to 100.
enum class TaxRateRefusal { None, InvalidDate, DuplicateDate, RateOutOfRange };
TaxRateRefusal gChkTaxRate(const QList<TaxRate>& rates, const TaxRate& row);
// The message shown for a refusal (empty for None).
QString gTaxRateRefusalText(TaxRateRefusal refusal);

// Adds a row that gChkTaxRate accepted, recorded in the change history as typed. Failure
// (including a duplicate date the table's index refuses): logged "gAddTaxRate", false.
bool gAddTaxRate(Database& db, const TaxRate& row);

// The ledger lines (both ledgers) that take their rate from the row dated from of rates (ordered
// by date): those dated from it until the next row's date. Failure: logged "gTaxRateLineCount",
// false.
bool gTaxRateLineCount(Database& db, const QList<TaxRate>& rates, const QDate& from, qint64& count);

// Why a row may not be deleted or corrected: lines take their rate from it (or, corrected, would
// take it from the new row), or the corrected row is refused as a new one would be.
enum class TaxRateEditRefusal { None, LinesDependOnIt, LinesWouldDependOnIt, Refused };
// Checks deleting the row dated from (replacement empty) or replacing it with *replacement.
// refused receives gChkTaxRate's refusal of the replacement. Failure: logged, false.
bool gChkTaxRateEdit(Database& db, const QDate& from, const std::optional<TaxRate>& replacement,
                     TaxRateEditRefusal& refusal, TaxRateRefusal& refused);
// Deletes the row dated from, or replaces it with *replacement, as one change in the history
// (typed). Only after gChkTaxRateEdit found nothing against it. With shown (the row as the window
// showed it), the row is changed only while it holds the shown rates: when another program
// changed or removed it since, nothing is written, conflict is set and the result is false
// without a report. Failure: logged "gEditTaxRate", false. Adding and changing a row tells the
// other programs on a server (ChangeNotices, table T_TAX_RATE).
bool gEditTaxRate(Database& db, const QDate& from, const std::optional<TaxRate>& replacement,
                  const TaxRate* shown = nullptr, bool* conflict = nullptr);

// Setting 50 (SettingNo::TaxClass): the class (1 to 3) whose entries carry the reduced-rate mark,
// default 1. A stored value outside its range reads as the default. Failure: logged
// "gGetTaxClass", false.
constexpr int kTaxClassSetting = SettingNo::TaxClass;
bool gGetTaxClass(qint32& classNo);

// Setting 68 (SettingNo::TaxEntry): whether the ledgers' amounts were entered without the tax
// (税抜, the default, as the ledgers have always been read) or with it (税込). Any stored value
// other than 1 reads as 税抜. Failure: logged "gGetTaxEntry", false.
enum class TaxEntry { Exclusive = 0, Inclusive = 1 };
bool gGetTaxEntry(TaxEntry& entry);
// 「税抜」 or 「税込」.
QString gTaxEntryText(TaxEntry entry);

// The national part (国税) of a consumption tax rate in force from `from`: the rest is the local
// part (地方消費税). From 2019-10-01 78 % of the rate (10 % = 7.8 % + 2.2 %, 8 % = 6.24 % +
// 1.76 %), from 2014-04-01 63/80 (8 % = 6.3 % + 1.7 %), from 1997-04-01 4/5 (5 % = 4 % + 1 %),
// before that all of it (3 %). The result is cut to the currency's 1/10 000 percent.
Currency gNationalTaxRate(const QDate& from, Currency rate);

// The same readers on gdbData(), for the report code, which does not pass its database yet.
bool gGetTaxRates(QList<TaxRate>& rates);
bool gChkStoredTaxRates(QString& problem);
