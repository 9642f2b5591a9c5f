#include "store/Currency.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Currency : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void toText_data();
    void toText();
    void fromDouble_data();
    void fromDouble();
};

void tst_Currency::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("raw");

    QTest::newRow("whole") << u"1234"_s << true << qint64(12340000);
    QTest::newRow("decimals") << u"1234.5"_s << true << qint64(12345000);
    QTest::newRow("four decimals") << u"0.0001"_s << true << qint64(1);
    QTest::newRow("leading point") << u".5"_s << true << qint64(5000);
    QTest::newRow("trailing point") << u"5."_s << true << qint64(50000);
    QTest::newRow("thousands") << u"1,234,567"_s << true << qint64(12345670000);
    QTest::newRow("thousands and decimals") << u"1,234.25"_s << true << qint64(12342500);
    QTest::newRow("minus") << u"-42"_s << true << qint64(-420000);
    QTest::newRow("plus") << u"+42"_s << true << qint64(420000);
    QTest::newRow("spaces around") << u"  7  "_s << true << qint64(70000);
    QTest::newRow("full-width digits") << u"１２３"_s << true << qint64(1230000);
    QTest::newRow("full-width everything") << u"－１，２３４．５"_s << true << qint64(-12345000);
    QTest::newRow("full-width plus") << u"＋８"_s << true << qint64(80000);
    QTest::newRow("minus sign U+2212") << u"−3"_s << true << qint64(-30000);
    QTest::newRow("ideographic space") << u"\u30009\u3000"_s << true << qint64(90000);
    QTest::newRow("largest") << u"922337203685477.5807"_s << true
                             << qint64(std::numeric_limits<qint64>::max());

    QTest::newRow("empty") << QString() << false << qint64(0);
    QTest::newRow("blank") << u"   "_s << false << qint64(0);
    QTest::newRow("sign only") << u"-"_s << false << qint64(0);
    QTest::newRow("point only") << u"."_s << false << qint64(0);
    QTest::newRow("five decimals") << u"1.23456"_s << false << qint64(0);
    QTest::newRow("two points") << u"1.2.3"_s << false << qint64(0);
    QTest::newRow("sign after digits") << u"12-"_s << false << qint64(0);
    QTest::newRow("two signs") << u"+-1"_s << false << qint64(0);
    QTest::newRow("leading separator") << u",123"_s << false << qint64(0);
    QTest::newRow("trailing separator") << u"123,"_s << false << qint64(0);
    QTest::newRow("double separator") << u"1,,234"_s << false << qint64(0);
    QTest::newRow("separator before point") << u"1,.5"_s << false << qint64(0);
    QTest::newRow("separator in decimals") << u"1.2,5"_s << false << qint64(0);
    QTest::newRow("letters") << u"12a"_s << false << qint64(0);
    QTest::newRow("exponent") << u"1e5"_s << false << qint64(0);
    QTest::newRow("inner space") << u"1 000"_s << false << qint64(0);
    QTest::newRow("overflow by one") << u"922337203685477.5808"_s << false << qint64(0);
    QTest::newRow("overflow whole") << u"922337203685478"_s << false << qint64(0);
    QTest::newRow("overflow far") << u"99999999999999999999"_s << false << qint64(0);
}

void tst_Currency::parse() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, raw);
    const std::optional<Currency> c = Currency::parse(text);
    QCOMPARE(c.has_value(), valid);
    if (valid)
        QCOMPARE(qint64(c->raw()), raw);
}

void tst_Currency::toText_data() {
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");

    QTest::newRow("zero") << qint64(0) << u"0"_s << 0;
    QTest::newRow("whole") << qint64(12340000) << u"1234"_s << 0;
    QTest::newRow("one decimal") << qint64(12345000) << u"1234.5"_s << 1;
    QTest::newRow("four decimals") << qint64(12345678) << u"1234.5678"_s << 4;
    QTest::newRow("smallest") << qint64(1) << u"0.0001"_s << 4;
    QTest::newRow("negative fraction") << qint64(-5000) << u"-0.5"_s << 1;
    QTest::newRow("negative") << qint64(-30000) << u"-3"_s << 0;
    QTest::newRow("lowest") << std::numeric_limits<qint64>::min() << u"-922337203685477.5808"_s
                            << 4;
}

void tst_Currency::toText() {
    QFETCH(qint64, raw);
    QFETCH(QString, text);
    QFETCH(int, decimals);
    const Currency c = Currency::fromRaw(raw);
    QCOMPARE(c.toString(), text);
    QCOMPARE(c.decimals(), decimals);
    // The text reads back as the same amount.
    if (raw != std::numeric_limits<qint64>::min())
        QCOMPARE(qint64(Currency::parse(text)->raw()), raw);
}

void tst_Currency::fromDouble_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("raw");

    QTest::newRow("exact") << 5.5 << qint64(55000);
    QTest::newRow("binary noise") << 0.29 << qint64(2900);
    QTest::newRow("half up") << 0.00005 << qint64(1);
    QTest::newRow("half away negative") << -0.00005 << qint64(-1);
    QTest::newRow("too large") << 1e300 << std::numeric_limits<qint64>::max();
    QTest::newRow("too small") << -1e300 << -std::numeric_limits<qint64>::max();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << qint64(0);
}

void tst_Currency::fromDouble() {
    QFETCH(double, value);
    QFETCH(qint64, raw);
    QCOMPARE(qint64(Currency::fromDouble(value).raw()), raw);
}

QTEST_GUILESS_MAIN(tst_Currency)
#include "tst_Currency.moc"
