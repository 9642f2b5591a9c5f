#include "TestData.h"
#include "TestServices.h"
#include "base/TextWidth.h"
#include "store/Currency.h"
#include "store/Formats.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Formats : public QObject {
    Q_OBJECT
private slots:
    void currencyParse_data();
    void currencyParse();
    void currencyText();
    void currencyArithmetic_data();
    void currencyArithmetic();
    void numberPatterns_data();
    void numberPatterns();
    void unknownPatternIsLogged();
    void sjisWidth_data();
    void sjisWidth();
};

void tst_Formats::currencyParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw"); // -1: refused
    const auto row = [](const QString& text, qint64 raw) { QTest::newRow("") << text << raw; };
    row(u"0.0001"_s, 1);
    row(u"1,234.25"_s, 12342500);
    row(u"－１，２３４．５"_s, -12345000); // full-width
    row(u"\u30009\u3000"_s, 90000);        // ideographic spaces
    row(u"922337203685477.5807"_s, std::numeric_limits<qint64>::max());
    for (const QString& bad :
         {u"   "_s, u"-"_s, u"1.23456"_s, u"12-"_s, u",123"_s, u"1e5"_s, u"922337203685477.5808"_s})
        row(bad, -1);
}

void tst_Formats::currencyParse() {
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    const std::optional<Currency> c = Currency::parse(text);
    QCOMPARE(c.has_value(), raw != -1);
    if (c)
        QCOMPARE(qint64(c->raw()), raw);
}

void tst_Formats::currencyText() {
    QCOMPARE(Currency::fromRaw(12345678).toString(), u"1234.5678"_s);
    QCOMPARE(Currency::fromRaw(-5000).toString(), u"-0.5"_s);
    QCOMPARE(Currency::fromRaw(std::numeric_limits<qint64>::min()).toString(),
             u"-922337203685477.5808"_s);
    QCOMPARE(qint64(Currency::fromDouble(-0.00005).raw()), qint64(-1));
}

void tst_Formats::currencyArithmetic_data() {
    QTest::addColumn<QString>("factors"); // amounts separated by spaces
    QTest::addColumn<QString>("divisors");
    QTest::addColumn<int>("digits");           // then rounded to that many decimals
    QTest::addColumn<QStringList>("expected"); // half away, down, up; "" no value
    const auto row = [](const char* name, const QString& factors, const QString& divisors,
                        int digits, const QStringList& expected) {
        QTest::newRow(name) << factors << divisors << digits << expected;
    };
    row("half of the last place", u"1"_s, u"20000"_s, 4, {u"0.0001"_s, u"0"_s, u"0.0001"_s});
    row("negative half", u"-1"_s, u"20000"_s, 4, {u"-0.0001"_s, u"0"_s, u"-0.0001"_s});
    row("just below half", u"1"_s, u"20001"_s, 4, {u"0"_s, u"0"_s, u"0.0001"_s});
    row("negative divisor", u"1"_s, u"-3"_s, 4, {u"-0.3333"_s, u"-0.3333"_s, u"-0.3334"_s});
    row("inexact in binary", u"580 100"_s, u"1000"_s, 1, {u"58"_s, u"58"_s, u"58"_s});
    row("two factors", u"0.0001 0.5"_s, u""_s, 4, {u"0.0001"_s, u"0"_s, u"0.0001"_s});
    row("three factors", u"33.3 3 1000"_s, u"100"_s, 0, {u"999"_s, u"999"_s, u"999"_s});
    row("cut to yen", u"-2.5"_s, u""_s, 0, {u"-3"_s, u"-2"_s, u"-3"_s});
    row("cut 0.29", u"0.29"_s, u""_s, 2, {u"0.29"_s, u"0.29"_s, u"0.29"_s});
    row("zero divisor", u"5"_s, u"0"_s, 4, {u""_s, u""_s, u""_s});
    row("at the limit", u"922337203685477.5807"_s, u""_s, 0,
        {u"922337203685477.5807"_s, u"922337203685477"_s, u"922337203685477.5807"_s});
    row("past the limit", u"922337203685477.5807 1.0001"_s, u""_s, 4, {u""_s, u""_s, u""_s});
    row("product past 127 bits", u"922337203685477 922337203685477 922337203685477"_s,
        u"922337203685477 922337203685477"_s, 4, {u""_s, u""_s, u""_s});
}

void tst_Formats::currencyArithmetic() {
    QFETCH(QString, factors);
    QFETCH(QString, divisors);
    QFETCH(int, digits);
    QFETCH(QStringList, expected);
    const auto list = [](const QString& text) {
        QList<Currency> l;
        for (const QString& t : text.split(u' ', Qt::SkipEmptyParts))
            l.append(*Currency::parse(t));
        return l;
    };
    const QList<Currency> f = list(factors), d = list(divisors);
    const Currency::Rounding modes[] = {Currency::Rounding::HalfAway, Currency::Rounding::Down,
                                        Currency::Rounding::Up};
    for (int m = 0; m < 3; ++m) {
        const auto at = [](const QList<Currency>& l, int i) {
            return i < l.size() ? l.at(i) : Currency::fromInt(1);
        };
        // Missing factors and divisors are ones.
        const std::optional<Currency> r =
            Currency::mulDiv({at(f, 0), at(f, 1), at(f, 2)}, {at(d, 0), at(d, 1)}, modes[m]);
        QCOMPARE(r ? r->rounded(digits, modes[m]).toString() : u""_s, expected.at(m));
    }
}

void tst_Formats::numberPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("amount"); // a Currency text; "d:" and a number for a double
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* pattern, const char* amount, const QString& expected) {
        QTest::addRow("%s of %s", pattern, amount)
            << QString::fromLatin1(pattern) << QString::fromLatin1(amount) << expected;
    };
    row("#,##0", "d:1234.5", u"1,235"_s);
    row("#,##0", "d:-1234.5", u"-1,235"_s);
    row("#,##0", "922337203685477.5807", u"922,337,203,685,478"_s);
    row("#,###", "d:0.5", u"1"_s);
    row("#", "d:0", QString());
    row("#.0", "d:0.5", u".5"_s);
    row("#.0", "d:-0.5", u"-.5"_s);
    row("00.0", "7.55", u"07.6"_s);
    row("0.0#", "82.125", u"82.13"_s);
    row("yen", "-1234567", u"-￥1,234,567"_s);
}

void tst_Formats::numberPatterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, amount);
    QFETCH(QString, expected);
    if (amount.startsWith(u"d:"_s))
        QCOMPARE(formatNumber(amount.mid(2).toDouble(), pattern), expected);
    else
        QCOMPARE(formatNumber(*Currency::parse(amount), pattern), expected);
}

void tst_Formats::unknownPatternIsLogged() {
    TestServices::install();
    TestProgramFolder folder;
    QCOMPARE(formatNumber(12.5, u"#,##0円"_s), u"12.5"_s);
    QCOMPARE(formatNumber(Currency::fromInt(3), QString()), u"3"_s);
    QCOMPARE(folder.errorLogProcedures(), QStringList(2, u"formatNumber"_s));
}

void tst_Formats::sjisWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("cut");
    const auto row = [](const QString& text, int width, int max, const QString& cut) {
        QTest::addRow("%s to %d", qPrintable(text), max) << text << width << max << cut;
    };
    row(u"\uFF61\uFF9F"_s, 2, 1, u"\uFF61"_s); // the ends of the half-width range
    row(u"\uFF60\uFFA0"_s, 4, 3, u"\uFF60"_s); // just outside it
    row(u"a仕入"_s, 5, 4, u"a仕"_s);           // never half a kanji
    row(u"a𠮷b"_s, 4, 3, u"a𠮷"_s);
    row(u"abc"_s, 3, -1, QString());
}

void tst_Formats::sjisWidth() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, max);
    QFETCH(QString, cut);
    QCOMPARE(sjisByteWidth(text), width);
    QCOMPARE(truncateToSjisBytes(text, max), cut);
}

QTEST_GUILESS_MAIN(tst_Formats)
#include "tst_Formats.moc"
