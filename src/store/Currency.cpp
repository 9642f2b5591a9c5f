#include "store/Currency.h"

#include <cmath>
#include <limits>

namespace {

using Wide = __int128;

// num ÷ den (den > 0) rounded to a whole number by `mode`.
Wide divideRounded(Wide num, Wide den, Currency::Rounding mode) {
    const bool negative = num < 0;
    const Wide a = negative ? -num : num;
    Wide q = a / den;
    const Wide r = a % den;
    switch (mode) {
    case Currency::Rounding::HalfAway:
        if (r >= den - r)
            ++q;
        break;
    case Currency::Rounding::Down:
        break;
    case Currency::Rounding::Up:
        if (r != 0)
            ++q;
        break;
    }
    return negative ? -q : q;
}

// a × b, or false when the product leaves the wide range.
bool multiply(Wide& a, Wide b) {
    return !__builtin_mul_overflow(a, b, &a);
}

} // namespace

std::optional<Currency> Currency::mulDiv(std::initializer_list<Currency> factors,
                                         std::initializer_list<Currency> divisors, Rounding mode) {
    // The value is the raw counts' quotient times Scale^(1 + divisors - factors).
    Wide num = 1, den = 1;
    int scales = 1 + int(divisors.size()) - int(factors.size());
    for (const Currency f : factors)
        if (!multiply(num, f.m_raw))
            return std::nullopt;
    for (const Currency d : divisors)
        if (d.m_raw == 0 || !multiply(den, d.m_raw))
            return std::nullopt;
    for (; scales > 0; --scales)
        if (!multiply(num, Scale))
            return std::nullopt;
    for (; scales < 0; ++scales)
        if (!multiply(den, Scale))
            return std::nullopt;
    // Both stay off the wide type's lowest value, which has no negation.
    constexpr Wide wideMax = (Wide(1) << 126) - 1 + (Wide(1) << 126);
    if (num < -wideMax || den < -wideMax)
        return std::nullopt;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const Wide raw = divideRounded(num, den, mode);
    if (raw > std::numeric_limits<std::int64_t>::max() ||
        raw < -std::numeric_limits<std::int64_t>::max())
        return std::nullopt;
    return fromRaw(static_cast<std::int64_t>(raw));
}

Currency Currency::rounded(int digits, Rounding mode) const {
    std::int64_t unit = 1;
    for (int d = digits; d < 4; ++d)
        unit *= 10;
    const Wide r = divideRounded(m_raw, unit, mode) * unit;
    if (r > std::numeric_limits<std::int64_t>::max())
        return fromRaw(std::numeric_limits<std::int64_t>::max());
    if (r < std::numeric_limits<std::int64_t>::min())
        return fromRaw(std::numeric_limits<std::int64_t>::min());
    return fromRaw(static_cast<std::int64_t>(r));
}

Currency Currency::fromDouble(double v) {
    const double scaled = v * static_cast<double>(Scale);
    if (std::isnan(scaled))
        return {};
    // Beyond the range the nearest representable amount is the limit itself.
    constexpr double limit = 9.2233720368547748e18; // the largest double below 2^63
    if (scaled >= limit)
        return fromRaw(std::numeric_limits<std::int64_t>::max());
    if (scaled <= -limit)
        return fromRaw(-std::numeric_limits<std::int64_t>::max());
    return fromRaw(static_cast<std::int64_t>(std::llround(scaled)));
}

std::optional<Currency> Currency::parse(const QString& text) {
    constexpr std::int64_t maxWhole = std::numeric_limits<std::int64_t>::max() / Scale;
    bool negative = false;
    bool seenSign = false, seenDigit = false, seenPoint = false;
    bool afterComma = false; // a separator must be followed by a digit
    std::int64_t whole = 0;
    std::int64_t frac = 0;
    int fracDigits = 0;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i) {
        char16_t c = t.at(i).unicode();
        if (c >= u'０' && c <= u'９')
            c = static_cast<char16_t>(u'0' + (c - u'０'));
        else if (c == u'－' || c == u'−')
            c = u'-';
        else if (c == u'＋')
            c = u'+';
        else if (c == u'，')
            c = u',';
        else if (c == u'．')
            c = u'.';
        if (c == u'-' || c == u'+') {
            if (seenSign || seenDigit || seenPoint)
                return std::nullopt;
            seenSign = true;
            negative = (c == u'-');
        } else if (c >= u'0' && c <= u'9') {
            seenDigit = true;
            afterComma = false;
            if (seenPoint) {
                if (++fracDigits > 4)
                    return std::nullopt;
                frac = frac * 10 + (c - u'0');
            } else {
                const int digit = c - u'0';
                if (whole > (maxWhole - digit) / 10)
                    return std::nullopt;
                whole = whole * 10 + digit;
            }
        } else if (c == u',') {
            if (!seenDigit || seenPoint || afterComma)
                return std::nullopt;
            afterComma = true;
        } else if (c == u'.') {
            if (seenPoint || afterComma)
                return std::nullopt;
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit || afterComma)
        return std::nullopt;
    for (int i = fracDigits; i < 4; ++i)
        frac *= 10;
    if (whole == maxWhole && frac > std::numeric_limits<std::int64_t>::max() % Scale)
        return std::nullopt;
    const std::int64_t raw = whole * Scale + frac;
    return fromRaw(negative ? -raw : raw);
}

int Currency::decimals() const {
    std::int64_t f = m_raw % Scale;
    if (f == 0)
        return 0;
    int d = 4;
    while (f % 10 == 0) {
        f /= 10;
        --d;
    }
    return d;
}

QString Currency::toString() const {
    const bool neg = m_raw < 0;
    const std::uint64_t a =
        neg ? static_cast<std::uint64_t>(-(m_raw + 1)) + 1u : static_cast<std::uint64_t>(m_raw);
    QString s = QString::number(a / Scale);
    const int d = decimals();
    if (d > 0) {
        QString f = QStringLiteral("%1").arg(a % Scale, 4, 10, QLatin1Char('0'));
        s += QLatin1Char('.') + f.left(d);
    }
    return neg ? QLatin1Char('-') + s : s;
}
