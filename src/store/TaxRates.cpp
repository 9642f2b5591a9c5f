#include "store/TaxRates.h"

#include "base/ErrorLog.h"
#include "store/Database.h"
#include "store/Settings.h"

bool gGetTaxRates(QList<TaxRate>& rates) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT datFrom, curStandard, curReduced FROM T_TAX_RATE"
                                         " ORDER BY datFrom"),
                          {}, QStringLiteral("gGetTaxRates")))
        return false;
    QList<TaxRate> read;
    for (const QVariantList& row : rs.rows()) {
        const QDate from = row.value(0).toDate();
        if (!from.isValid()) {
            gProcError(QStringLiteral("gGetTaxRates"),
                       QStringLiteral("datFrom=") + row.value(0).toString());
            return false;
        }
        read << TaxRate{from, row.value(1).value<Currency>(), row.value(2).value<Currency>()};
    }
    rates = read;
    return true;
}

std::optional<TaxRate> gTaxRateOn(const QList<TaxRate>& rates, const QDate& date) {
    std::optional<TaxRate> found;
    for (const TaxRate& r : rates) {
        if (r.from > date)
            break;
        found = r;
    }
    return found;
}

TaxRateRefusal gChkTaxRate(const QList<TaxRate>& rates, const TaxRate& row) {
    if (!row.from.isValid())
        return TaxRateRefusal::InvalidDate;
    for (const TaxRate& r : rates) {
        if (r.from == row.from)
            return TaxRateRefusal::DuplicateDate;
    }
    const auto inRange = [](Currency c) { return c >= Currency() && c <= Currency::fromInt(100); };
    if (!inRange(row.standard) || !inRange(row.reduced))
        return TaxRateRefusal::RateOutOfRange;
    return TaxRateRefusal::None;
}

QString gTaxRateRefusalText(TaxRateRefusal refusal) {
    switch (refusal) {
    case TaxRateRefusal::None:
        return {};
    case TaxRateRefusal::InvalidDate:
        return QStringLiteral("適用日が正しくありません。\r\n正しい日付を入力してください。");
    case TaxRateRefusal::DuplicateDate:
        return QStringLiteral("この適用日の税率はすでに登録されています。");
    case TaxRateRefusal::RateOutOfRange:
        return QStringLiteral("税率は０％～１００％の範囲で入力してください。");
    }
    return {};
}

bool gAddTaxRate(const TaxRate& row) {
    return gdbData().executeSQL(
        QStringLiteral("INSERT INTO T_TAX_RATE (datFrom, curStandard, curReduced) VALUES (?,?,?)"),
        {row.from, QVariant::fromValue(row.standard), QVariant::fromValue(row.reduced)},
        QStringLiteral("gAddTaxRate"));
}

bool gGetTaxClass(qint32& classNo) {
    qint32 v = 1;
    if (!gGetSystemLngField(kTaxClassSetting, v, 1)) {
        gProcError(QStringLiteral("gGetTaxClass"));
        return false;
    }
    classNo = (v >= 1 && v <= 3) ? v : 1;
    return true;
}
