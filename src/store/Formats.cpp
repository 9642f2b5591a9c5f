#include "store/Formats.h"

#include "base/ErrorLog.h"

#include <algorithm>
#include <cmath>

namespace {

// A non-negative decimal number as digit strings.
struct Decimal {
    QString whole; // at least one digit
    QString frac;  // any number of digits
};

// Rounds half away from zero (on the magnitude) to `decimals` fraction digits.
Decimal roundDecimal(Decimal d, int decimals) {
    if (d.frac.size() <= decimals) {
        d.frac += QString(decimals - d.frac.size(), QLatin1Char('0'));
        return d;
    }
    const bool up = d.frac.at(decimals) >= QLatin1Char('5');
    QString digits = d.whole + d.frac.left(decimals);
    if (up) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
            } else {
                digits[i] = QChar(digits.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend(QLatin1Char('1'));
    }
    return {digits.left(digits.size() - decimals), digits.right(decimals)};
}

// The decimal digits of |value|. The binary noise of a double is cut at 15 significant digits
// before rounding, so 1.005 is treated as the 1.005 the user typed, not as 1.00499999....
Decimal decimalOf(double value) {
    const double a = std::fabs(value);
    const int wholeDigits = a < 1 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1;
    const int precision = std::clamp(15 - wholeDigits, 0, 15);
    const QString s = QString::number(a, 'f', precision);
    const qsizetype point = s.indexOf(QLatin1Char('.'));
    if (point < 0)
        return {s, {}};
    return {s.left(point), s.mid(point + 1)};
}

Decimal decimalOf(Currency value) {
    const std::int64_t raw = value.raw();
    const std::uint64_t a =
        raw < 0 ? static_cast<std::uint64_t>(-(raw + 1)) + 1u : static_cast<std::uint64_t>(raw);
    const auto scale = static_cast<std::uint64_t>(Currency::Scale);
    return {QString::number(a / scale),
            QStringLiteral("%1").arg(a % scale, 4, 10, QLatin1Char('0'))};
}

QString grouped(const QString& digits) {
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

struct NumberPattern {
    bool valid = false;
    bool yen = false;
    bool grouping = false;
    int minWhole = 0; // "0" placeholders before the point
    int minFrac = 0;  // "0" placeholders after it
    int maxFrac = 0;  // all placeholders after it
};

NumberPattern parsePattern(const QString& pattern) {
    NumberPattern p;
    if (pattern.compare(QLatin1String("yen"), Qt::CaseInsensitive) == 0 ||
        pattern.compare(QLatin1String("Currency"), Qt::CaseInsensitive) == 0) {
        p.valid = p.yen = p.grouping = true;
        p.minWhole = 1;
        return p;
    }
    if (pattern.isEmpty())
        return p;
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? pattern : pattern.left(point);
    const QString frac = point < 0 ? QString() : pattern.mid(point + 1);
    for (const QChar c : whole) {
        if (c == QLatin1Char('0'))
            ++p.minWhole;
        else if (c == QLatin1Char(','))
            p.grouping = true;
        else if (c != QLatin1Char('#'))
            return p;
    }
    for (const QChar c : frac) {
        if (c == QLatin1Char('0'))
            ++p.minFrac;
        else if (c != QLatin1Char('#'))
            return p;
        ++p.maxFrac;
    }
    p.valid = true;
    return p;
}

bool allZero(const QString& digits) {
    return std::all_of(digits.begin(), digits.end(), [](QChar c) { return c == QLatin1Char('0'); });
}

QString applyPattern(Decimal d, bool negative, const NumberPattern& p) {
    d = roundDecimal(d, p.maxFrac);
    // A value that rounds to zero shows no sign.
    const bool isZero = allZero(d.whole) && allZero(d.frac);
    QString frac = d.frac;
    while (frac.size() > p.minFrac && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    QString whole = d.whole;
    while (!whole.isEmpty() && whole.at(0) == QLatin1Char('0'))
        whole.remove(0, 1);
    if (whole.size() < p.minWhole)
        whole.prepend(QString(p.minWhole - whole.size(), QLatin1Char('0')));
    if (p.grouping)
        whole = grouped(whole);
    QString text = whole;
    if (!frac.isEmpty())
        text += QLatin1Char('.') + frac;
    if (p.yen)
        text.prepend(QStringLiteral("￥"));
    if (negative && !isZero)
        text.prepend(QLatin1Char('-'));
    return text;
}

// "#", "," and at least one space: a spaced digit pattern (see the header).
bool isSpacedPattern(const QString& pattern) {
    if (!pattern.contains(QLatin1Char(' ')) || !pattern.contains(QLatin1Char('#')))
        return false;
    return std::all_of(pattern.begin(), pattern.end(), [](QChar c) {
        return c == QLatin1Char('#') || c == QLatin1Char(',') || c == QLatin1Char(' ');
    });
}

QString applySpacedPattern(Decimal d, bool negative, const QString& pattern) {
    d = roundDecimal(d, 0);
    QString digits = d.whole;
    while (!digits.isEmpty() && digits.at(0) == QLatin1Char('0'))
        digits.remove(0, 1);
    if (digits.isEmpty())
        return {};
    const qsizetype places = pattern.count(QLatin1Char('#'));
    // The placeholder that takes the first digit (counted from 0), and the digits that do not
    // fit, which stand together in front of it.
    const qsizetype firstSlot = std::max<qsizetype>(0, places - digits.size());
    QString text = negative ? QStringLiteral("-") : QString();
    qsizetype next = 0; // next digit to place
    if (digits.size() > places) {
        text += digits.left(digits.size() - places);
        next = digits.size() - places;
    }
    qsizetype slot = 0;
    bool started = false;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('#')) {
            if (slot >= firstSlot) {
                text += digits.at(next++);
                started = true;
            }
            ++slot;
        } else if (started) {
            text += c;
        }
    }
    return text;
}

QString unknownPattern(const QString& pattern, const QString& plain) {
    gProcError(QStringLiteral("formatNumber"), QStringLiteral("pattern=") + pattern);
    return plain;
}

} // namespace

QString formatNumber(double value, const QString& pattern) {
    if (!std::isfinite(value))
        return {};
    if (isSpacedPattern(pattern))
        return applySpacedPattern(decimalOf(value), value < 0, pattern);
    const NumberPattern p = parsePattern(pattern);
    if (!p.valid)
        return unknownPattern(pattern, QString::number(value, 'g', 15));
    return applyPattern(decimalOf(value), value < 0, p);
}

QString formatNumber(Currency value, const QString& pattern) {
    if (isSpacedPattern(pattern))
        return applySpacedPattern(decimalOf(value), value.raw() < 0, pattern);
    const NumberPattern p = parsePattern(pattern);
    if (!p.valid)
        return unknownPattern(pattern, value.toString());
    return applyPattern(decimalOf(value), value.raw() < 0, p);
}

QString formatDate(const QDate& date, const QString& pattern) {
    if (!date.isValid())
        return {};
    // Y, M and D runs (any case) become Qt's year, month and day fields; everything else is
    // printed as it stands.
    QString out;
    const QString up = pattern.toUpper();
    for (qsizetype i = 0; i < up.size();) {
        const QChar c = up.at(i);
        qsizetype n = 1;
        while (i + n < up.size() && up.at(i + n) == c)
            ++n;
        if (c == QLatin1Char('Y'))
            out += n >= 3 ? QString::number(date.year()).rightJustified(4, QLatin1Char('0'))
                          : QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'));
        else if (c == QLatin1Char('M'))
            out += n >= 2 ? QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'))
                          : QString::number(date.month());
        else if (c == QLatin1Char('D'))
            out += n >= 2 ? QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'))
                          : QString::number(date.day());
        else
            out += pattern.mid(i, n);
        i += n;
    }
    return out;
}
