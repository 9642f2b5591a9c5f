#include "TestData.h"
#include "TestServices.h"
#include "store/Currency.h"
#include "store/Formats.h"
#include "store/TextWidth.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Formats : public QObject {
    Q_OBJECT
private slots:
    void currencyParse_data();
    void currencyParse();
    void currencyText();
    void numberPatterns_data();
    void numberPatterns();
    void unknownPatternIsLogged();
    void datePatterns();
    void sjisWidth_data();
    void sjisWidth();
};

void tst_Formats::currencyParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw"); // -1: refused
    QTest::newRow("four decimals") << u"0.0001"_s << qint64(1);
    QTest::newRow("leading point") << u".5"_s << qint64(5000);
    QTest::newRow("thousands and decimals") << u"1,234.25"_s << qint64(12342500);
    QTest::newRow("full-width everything") << u"－１，２３４．５"_s << qint64(-12345000);
    QTest::newRow("minus sign U+2212") << u"−3"_s << qint64(-30000);
    QTest::newRow("ideographic space") << u"\u30009\u3000"_s << qint64(90000);
    QTest::newRow("largest") << u"922337203685477.5807"_s
                             << qint64(std::numeric_limits<qint64>::max());
    QTest::newRow("blank") << u"   "_s << qint64(-1);
    QTest::newRow("sign only") << u"-"_s << qint64(-1);
    QTest::newRow("five decimals") << u"1.23456"_s << qint64(-1);
    QTest::newRow("sign after digits") << u"12-"_s << qint64(-1);
    QTest::newRow("leading separator") << u",123"_s << qint64(-1);
    QTest::newRow("separator in decimals") << u"1.2,5"_s << qint64(-1);
    QTest::newRow("exponent") << u"1e5"_s << qint64(-1);
    QTest::newRow("inner space") << u"1 000"_s << qint64(-1);
    QTest::newRow("overflow by one") << u"922337203685477.5808"_s << qint64(-1);
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
    QCOMPARE(Currency::fromRaw(-5000).decimals(), 1);
    QCOMPARE(Currency::fromRaw(std::numeric_limits<qint64>::min()).toString(),
             u"-922337203685477.5808"_s);
    QCOMPARE(qint64(Currency::fromDouble(0.29).raw()), qint64(2900));
    QCOMPARE(qint64(Currency::fromDouble(-0.00005).raw()), qint64(-1));
    QCOMPARE(qint64(Currency::fromDouble(1e300).raw()), std::numeric_limits<qint64>::max());
    QCOMPARE(qint64(Currency::fromDouble(qQNaN()).raw()), qint64(0));
}

void tst_Formats::numberPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("amount"); // a Currency text; "d:" and a number for a double
    QTest::addColumn<QString>("expected");
    QTest::newRow("#,##0 half up") << u"#,##0"_s << u"d:1234.5"_s << u"1,235"_s;
    QTest::newRow("#,##0 negative") << u"#,##0"_s << u"d:-1234.5"_s << u"-1,235"_s;
    QTest::newRow("#,##0 small negative") << u"#,##0"_s << u"d:-0.4"_s << u"0"_s;
    QTest::newRow("#,##0 carry") << u"#,##0"_s << u"d:999999.5"_s << u"1,000,000"_s;
    QTest::newRow("#,##0 below half") << u"#,##0"_s << u"1234.4999"_s << u"1,234"_s;
    QTest::newRow("#,##0 largest")
        << u"#,##0"_s << u"922337203685477.5807"_s << u"922,337,203,685,478"_s;
    QTest::newRow("#,### below half") << u"#,###"_s << u"d:0.4"_s << QString();
    QTest::newRow("#,### half") << u"#,###"_s << u"d:0.5"_s << u"1"_s;
    QTest::newRow("# no grouping") << u"#"_s << u"d:1234567"_s << u"1234567"_s;
    QTest::newRow("# zero") << u"#"_s << u"d:0"_s << QString();
    QTest::newRow("#.0 of 0.5") << u"#.0"_s << u"d:0.5"_s << u".5"_s;
    QTest::newRow("#.0 of zero") << u"#.0"_s << u"d:0"_s << u".0"_s;
    QTest::newRow("#.0 of -0.04") << u"#.0"_s << u"-0.04"_s << u".0"_s;
    QTest::newRow("#.0 negative") << u"#.0"_s << u"d:-0.5"_s << u"-.5"_s;
    QTest::newRow("00.0 pads") << u"00.0"_s << u"7.55"_s << u"07.6"_s;
    QTest::newRow("00.0 negative") << u"00.0"_s << u"d:-5"_s << u"-05.0"_s;
    QTest::newRow("0.0# one decimal kept") << u"0.0#"_s << u"d:1"_s << u"1.0"_s;
    QTest::newRow("0.0# rounds to two") << u"0.0#"_s << u"82.125"_s << u"82.13"_s;
    QTest::newRow("0.0# typed 1.005") << u"0.0#"_s << u"d:1.005"_s << u"1.01"_s;
    QTest::newRow("#0 zero") << u"#0"_s << u"d:0"_s << u"0"_s;
    QTest::newRow("0 negative") << u"0"_s << u"d:-12.5"_s << u"-13"_s;
    QTest::newRow("###,0 negative") << u"###,0"_s << u"d:-1000"_s << u"-1,000"_s;
    QTest::newRow("yen negative") << u"yen"_s << u"-1234567"_s << u"-￥1,234,567"_s;
    QTest::newRow("yen zero") << u"yen"_s << u"d:0"_s << u"￥0"_s;
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

void tst_Formats::datePatterns() {
    QCOMPARE(formatDate(QDate(2000, 12, 31), u"YY/MM/DD"_s), u"00/12/31"_s);
    QCOMPARE(formatDate(QDate(2024, 3, 5), u"yy/m/d"_s), u"24/3/5"_s);
    QCOMPARE(formatDate(QDate(2024, 12, 20), u"M/D"_s), u"12/20"_s);
    QCOMPARE(formatDate(QDate(2024, 3, 5), u"YYYY/MM/DD"_s), u"2024/03/05"_s);
    QCOMPARE(formatDate(QDate(), u"YY/MM/DD"_s), QString());
}

void tst_Formats::sjisWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("cut");
    QTest::newRow("ascii and tab") << u"a\t~c"_s << 4 << 3 << u"a\t~"_s;
    QTest::newRow("half-width range ends") << u"\uFF61\uFF9F"_s << 2 << 1 << u"\uFF61"_s;
    QTest::newRow("just outside the range") << u"\uFF60\uFFA0"_s << 4 << 3 << u"\uFF60"_s;
    QTest::newRow("never half a kanji") << u"a仕入"_s << 5 << 4 << u"a仕"_s;
    QTest::newRow("yen sign") << u"¥"_s << 2 << 2 << u"¥"_s;
    QTest::newRow("pair not split") << u"a𠮷b"_s << 4 << 2 << u"a"_s;
    QTest::newRow("pair kept") << u"a𠮷b"_s << 4 << 3 << u"a𠮷"_s;
    QTest::newRow("negative") << u"abc"_s << 3 << -1 << QString();
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
