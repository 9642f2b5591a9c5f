#pragma once

#include <QMetaType>
#include <QString>
#include <compare>
#include <cstdint>
#include <initializer_list>
#include <optional>

// A money amount, quantity, price or ratio: a signed 64-bit count of 1/10 000, exact under
// addition and subtraction. Stored in the database as that count (1 234.5 is 12345000).
class Currency {
public:
    static constexpr std::int64_t Scale = 10000;

    // How a value between two representable ones is brought to one of them.
    enum class Rounding {
        HalfAway, // the nearest, halves away from zero (四捨五入)
        Down,     // toward zero (切り捨て)
        Up,       // away from zero for either sign (切り上げ)
    };

    constexpr Currency() = default;
    static constexpr Currency fromRaw(std::int64_t raw) {
        Currency c;
        c.m_raw = raw;
        return c;
    }
    static constexpr Currency fromInt(std::int64_t whole) { return fromRaw(whole * Scale); }
    // Rounds to the nearest 1/10 000, halves away from zero; NaN gives 0 and values beyond the
    // range give the nearest limit.
    static Currency fromDouble(double v);
    // User text: optional leading sign (+ - or full-width), digits (half- or full-width),
    // thousands separators ("," or "，", each between digits of the whole part), one decimal
    // point ("." or "．"), surrounding spaces. At most four decimals and no more than the
    // 64-bit range; nothing else. Empty text gives no value.
    static std::optional<Currency> parse(const QString& text);

    // The product of `factors` divided by the product of `divisors`, computed exactly and then
    // rounded to 1/10 000 by `mode`: mulDiv({cost, 100}, {quantity, ratio}, ...) is the price per
    // unit at that ratio. No value when a divisor is zero, when the result lies beyond the
    // 64-bit range, or when the factors' product alone leaves 127 bits (the result is then
    // beyond the range for divisors of the size of a ledger amount).
    static std::optional<Currency> mulDiv(std::initializer_list<Currency> factors,
                                          std::initializer_list<Currency> divisors, Rounding mode);
    // Rounded to `digits` decimals (0 to 4) by `mode`; at the range's ends rounding away from
    // zero keeps the limit.
    Currency rounded(int digits, Rounding mode) const;

    constexpr std::int64_t raw() const { return m_raw; }
    double toDouble() const { return static_cast<double>(m_raw) / Scale; }
    // The whole part, truncated toward zero.
    constexpr std::int64_t truncated() const { return m_raw / Scale; }
    constexpr bool isZero() const { return m_raw == 0; }
    constexpr bool isWhole() const { return m_raw % Scale == 0; }
    // Number of decimals actually used (0 to 4).
    int decimals() const;
    // Plain decimal text with "." and no grouping, trailing zeros dropped: "1234.5", "-3", "0".
    QString toString() const;

    constexpr Currency operator-() const { return fromRaw(-m_raw); }
    constexpr Currency operator+(Currency o) const { return fromRaw(m_raw + o.m_raw); }
    constexpr Currency operator-(Currency o) const { return fromRaw(m_raw - o.m_raw); }
    constexpr Currency& operator+=(Currency o) {
        m_raw += o.m_raw;
        return *this;
    }
    constexpr Currency& operator-=(Currency o) {
        m_raw -= o.m_raw;
        return *this;
    }
    constexpr auto operator<=>(const Currency&) const = default;

private:
    std::int64_t m_raw = 0;
};

Q_DECLARE_METATYPE(Currency)
