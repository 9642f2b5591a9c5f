#pragma once

#include "store/Currency.h"
#include "store/SettingsRegistry.h"

#include <QString>
#include <optional>

// Numbered settings: rows of T_SYSTEM (lngID, lngField, curField, blnField, strField, datField).
// A reader returns true with the default when the row is missing, true with the value for one
// row, and false (value unchanged, nothing logged) for two or more rows; an SQL failure is
// logged under the reader's name. A writer deletes and inserts in one transaction, so a failure
// leaves the old row. Every value is bound: text is stored exactly as given.

inline const QString kSystemTable = QStringLiteral("T_SYSTEM");

bool gGetSystemLngField(int number, qint32& value, qint32 defaultValue,
                        const QString& table = kSystemTable);
bool gGetSystemCurField(int number, Currency& value, Currency defaultValue,
                        const QString& table = kSystemTable);
bool gGetSystemStrField(int number, QString& value, const QString& defaultValue,
                        const QString& table = kSystemTable);
bool gGetSystemBlnField(int number, bool& value, bool defaultValue,
                        const QString& table = kSystemTable);

// The curField of setting `number` when a row is stored; no value when there is none.
bool gGetSystemCurFieldIfStored(int number, std::optional<Currency>& value,
                                const QString& table = kSystemTable);
// Removes the row of setting `number` (readers then see their default).
bool gDeleteSystemField(int number, const QString& table = kSystemTable);

bool gSetSystemLngField(int number, qint32 value, const QString& table = kSystemTable);
bool gSetSystemCurField(int number, Currency value, const QString& table = kSystemTable);
bool gSetSystemStrField(int number, const QString& value, const QString& table = kSystemTable);
bool gSetSystemBlnField(int number, bool value, const QString& table = kSystemTable);

// Setting `number` (a SettingNo, store/SettingsRegistry.h) with the default of its row in the
// settings table. A number the table does not hold, or one of another type or without a default,
// is logged under the typed reader's name and read as a failure.
bool gGetSetting(int number, qint32& value);
bool gGetSetting(int number, bool& value);
bool gGetSetting(int number, QString& value);

// The close day (SettingNo::CloseDay, default 20). Failure logged as "gGetSystemCloseDay".
bool gGetSystemCloseDay(qint32& closeDay);
// Kind 1: the purchase word (SettingNo::PurchaseCaption, default "仕入"); kind 2: the sales word
// (SettingNo::SaleCaption, default "売上"). Another kind or a failed read: logged as
// "gGetDataCaption", false.
bool gGetDataCaption(int kind, QString& caption);
