#include "maintenance/SystemSettings.h"

#include "maintenance/Backup.h"
#include "store/AmountLimits.h"
#include "store/Formats.h"
#include "store/Settings.h"
#include "store/TaxRates.h"

namespace {
constexpr int kCloseDay = 8;
constexpr int kSortOrder = 9;
constexpr int kPurchaseCaption = 10;
constexpr int kSaleCaption = 11;
constexpr int kTaxRate = 32;
} // namespace

bool gReadSystemSettings(SystemSettingsValues& v) {
    return gGetSystemCloseDay(v.closeDay) && gGetSystemLngField(kSortOrder, v.sortOrder, 0) &&
           gGetDataCaption(1, v.purchaseCaption) && gGetDataCaption(2, v.saleCaption) &&
           gGetSystemCurFieldIfStored(kTaxRate, v.taxRate) && gGetTaxClass(v.taxClass) &&
           gGetAutoBackupCount(v.autoBackups);
}

bool gGetAutoBackupCount(qint32& count) {
    if (!gGetSystemLngField(kAutoBackupSetting, count, kAutoBackupDefault))
        return false;
    count = qBound(0, count, kAutoBackupMax);
    return true;
}

bool gWriteSystemSettings(const SystemSettingsValues& v) {
    // An empty ledger word is never stored.
    if (v.purchaseCaption.trimmed().isEmpty() || v.saleCaption.trimmed().isEmpty())
        return false;
    return gSetSystemLngField(kCloseDay, v.closeDay) &&
           gSetSystemLngField(kSortOrder, v.sortOrder) &&
           gSetSystemStrField(kPurchaseCaption, v.purchaseCaption) &&
           gSetSystemStrField(kSaleCaption, v.saleCaption) &&
           (v.taxRate ? gSetSystemCurField(kTaxRate, *v.taxRate) : gDeleteSystemField(kTaxRate)) &&
           gSetSystemLngField(kTaxClassSetting, v.taxClass) &&
           gSetSystemLngField(kAutoBackupSetting, qBound(0, v.autoBackups, kAutoBackupMax));
}

std::optional<Currency> gParseTaxRate(const QString& text) {
    return Currency::parse(text);
}

bool gTaxRateInRange(Currency rate) {
    return rate >= Currency() && rate <= Currency::fromInt(AmountLimit::TaxRate);
}

QString gTaxRateRangeText() {
    return QStringLiteral("消費税率は 0 ～ ") + gLimitText(AmountLimit::TaxRate) +
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
    return ok && day >= 1 && day <= 31 ? day : 0;
}
