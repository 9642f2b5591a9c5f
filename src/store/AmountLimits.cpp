#include "store/AmountLimits.h"

#include "store/Database.h"
#include "store/Formats.h"

QString gLimitText(std::int64_t whole) {
    return formatNumber(Currency::fromInt(whole), QStringLiteral("#,##0"));
}

std::optional<Currency> gCheckedAdd(Currency a, Currency b) {
    std::int64_t r = 0;
    if (__builtin_add_overflow(a.raw(), b.raw(), &r))
        return std::nullopt;
    return Currency::fromRaw(r);
}

std::optional<Currency> gCheckedSub(Currency a, Currency b) {
    std::int64_t r = 0;
    if (__builtin_sub_overflow(a.raw(), b.raw(), &r))
        return std::nullopt;
    return Currency::fromRaw(r);
}

std::optional<Currency> gCheckedFromInt(std::int64_t whole) {
    std::int64_t r = 0;
    if (__builtin_mul_overflow(whole, Currency::Scale, &r))
        return std::nullopt;
    return Currency::fromRaw(r);
}

bool gAddInto(Currency& sum, Currency v) {
    const std::optional<Currency> r = gCheckedAdd(sum, v);
    if (!r)
        return false;
    sum = *r;
    return true;
}

QString gSumOutOfRangeText() {
    return QStringLiteral("合計が扱える範囲を超えています。") + QStringLiteral("\r\n\r\n") +
           QStringLiteral("桁の多すぎる金額・数量・単価が入力されていないか確認し、") +
           QStringLiteral("\r\n") + QStringLiteral("正しい値に直してください。");
}

bool gDbSumOutOfRange(const Database& db) {
    return db.sumOverflowed();
}
