#include "store/Currency.h"

#include <cmath>

Currency Currency::fromDouble(double v) {
    const double scaled = v * static_cast<double>(Scale);
    return fromRaw(static_cast<std::int64_t>(std::llround(scaled)));
}

std::optional<Currency> Currency::parse(const QString& text) {
    bool negative = false;
    bool seenSign = false, seenDigit = false, seenPoint = false;
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
            if (seenPoint) {
                if (++fracDigits > 4)
                    return std::nullopt;
                frac = frac * 10 + (c - u'0');
            } else {
                if (whole > (INT64_MAX / Scale) / 10)
                    return std::nullopt;
                whole = whole * 10 + (c - u'0');
            }
        } else if (c == u',') {
            if (!seenDigit || seenPoint)
                return std::nullopt;
        } else if (c == u'.') {
            if (seenPoint)
                return std::nullopt;
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit)
        return std::nullopt;
    for (int i = fracDigits; i < 4; ++i)
        frac *= 10;
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
