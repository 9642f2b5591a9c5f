#include "maintenance/SystemSettings.h"

#include "store/AmountLimits.h"
#include "store/Formats.h"
#include "store/Settings.h"
#include "store/TaxRates.h"

bool gReadSystemSettings(SystemSettingsValues& v) {
    return gGetSystemCloseDay(v.closeDay) && gGetSetting(SettingNo::SupplierOrder, v.sortOrder) &&
           gGetDataCaption(1, v.purchaseCaption) && gGetDataCaption(2, v.saleCaption) &&
           gGetSystemCurFieldIfStored(SettingNo::TaxRate, v.taxRate) && gGetTaxClass(v.taxClass) &&
           gGetAutoBackupCount(v.autoBackups) && gGetSetting(SettingNo::ShopName, v.shopName) &&
           gGetSetting(SettingNo::TaxEntry, v.taxEntry);
}

bool gGetAutoBackupCount(qint32& count) {
    constexpr const SettingDef& row = settingDef(SettingNo::AutoBackups);
    if (!gGetSetting(row.number, count))
        return false;
    count = qBound(row.minimum, count, row.maximum);
    return true;
}

bool gWriteSystemSettings(const SystemSettingsValues& v) {
    // An empty ledger word is never stored.
    if (v.purchaseCaption.trimmed().isEmpty() || v.saleCaption.trimmed().isEmpty())
        return false;
    constexpr const SettingDef& backups = settingDef(SettingNo::AutoBackups);
    return gSetSystemLngField(SettingNo::CloseDay, v.closeDay) &&
           gSetSystemLngField(SettingNo::SupplierOrder, v.sortOrder) &&
           gSetSystemStrField(SettingNo::PurchaseCaption, v.purchaseCaption) &&
           gSetSystemStrField(SettingNo::SaleCaption, v.saleCaption) &&
           (v.taxRate ? gSetSystemCurField(SettingNo::TaxRate, *v.taxRate)
                      : gDeleteSystemField(SettingNo::TaxRate)) &&
           gSetSystemLngField(SettingNo::TaxClass, v.taxClass) &&
           gSetSystemLngField(backups.number,
                              qBound(backups.minimum, v.autoBackups, backups.maximum)) &&
           gSetSystemStrField(SettingNo::ShopName, v.shopName.trimmed()) &&
           gSetSystemLngField(SettingNo::TaxEntry, v.taxEntry == 1 ? 1 : 0);
}

std::optional<Currency> gParseTaxRate(const QString& text) {
    return Currency::parse(text);
}

namespace {
constexpr const SettingDef& kTaxRateRow = settingDef(SettingNo::TaxRate);
static_assert(kTaxRateRow.maximum == AmountLimit::TaxRate);
} // namespace

bool gTaxRateInRange(Currency rate) {
    return rate >= Currency::fromInt(kTaxRateRow.minimum) &&
           rate <= Currency::fromInt(kTaxRateRow.maximum);
}

QString gTaxRateRangeText() {
    return kTaxRateRow.captionText() + QStringLiteral("は ") + gLimitText(kTaxRateRow.minimum) +
           QStringLiteral(" ～ ") + gLimitText(kTaxRateRow.maximum) +
           QStringLiteral(" % の範囲で入力してください");
}

QString gFormatTaxRate(Currency rate) {
    return formatNumber(rate, QStringLiteral("0.0#"));
}

QString gCloseDayItemText(int day) {
    return QStringLiteral("%1").arg(day, 2);
}

int gCloseDayFromText(const QString& text) {
    bool ok = false;
    const int day = text.trimmed().toInt(&ok);
    return ok && settingDef(SettingNo::CloseDay).inRange(day) ? day : 0;
}
