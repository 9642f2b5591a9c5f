#include "TestData.h"
#include "TestServices.h"
#include "base/TextWidth.h"
#include "store/Formats.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Formats : public QObject {
    Q_OBJECT
private slots:
    void numberPatterns_data();
    void numberPatterns();
    void currencyPatterns_data();
    void currencyPatterns();
    void unknownPatternIsLogged();
    void datePatterns_data();
    void datePatterns();
    void textWidth_data();
    void textWidth();
    void truncateToWidth_data();
    void truncateToWidth();
};

void tst_Formats::numberPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("#,##0 grouped") << u"#,##0"_s << 1234567.0 << u"1,234,567"_s;
    QTest::newRow("#,##0 zero") << u"#,##0"_s << 0.0 << u"0"_s;
    QTest::newRow("#,##0 rounds half up") << u"#,##0"_s << 1234.5 << u"1,235"_s;
    QTest::newRow("#,##0 negative") << u"#,##0"_s << -1234.5 << u"-1,235"_s;
    QTest::newRow("#,##0 small negative to zero") << u"#,##0"_s << -0.4 << u"0"_s;
    QTest::newRow("#,##0 three digits") << u"#,##0"_s << 999.0 << u"999"_s;
    QTest::newRow("#,##0 four digits") << u"#,##0"_s << 1000.0 << u"1,000"_s;
    QTest::newRow("#,##0 carry into a new group") << u"#,##0"_s << 999999.5 << u"1,000,000"_s;

    QTest::newRow("#,### zero is empty") << u"#,###"_s << 0.0 << QString();
    QTest::newRow("#,### below half is empty") << u"#,###"_s << 0.4 << QString();
    QTest::newRow("#,### half is one") << u"#,###"_s << 0.5 << u"1"_s;
    QTest::newRow("#,### grouped") << u"#,###"_s << 12345.0 << u"12,345"_s;
    QTest::newRow("#,### negative") << u"#,###"_s << -12345.0 << u"-12,345"_s;

    QTest::newRow("# zero is empty") << u"#"_s << 0.0 << QString();
    QTest::newRow("# no grouping") << u"#"_s << 1234567.0 << u"1234567"_s;
    QTest::newRow("# negative") << u"#"_s << -8.0 << u"-8"_s;

    QTest::newRow("#.0 of 0.5") << u"#.0"_s << 0.5 << u".5"_s;
    QTest::newRow("#.0 of zero") << u"#.0"_s << 0.0 << u".0"_s;
    QTest::newRow("#.0 rounds") << u"#.0"_s << 12.34 << u"12.3"_s;
    QTest::newRow("#.0 rounds half up") << u"#.0"_s << 12.25 << u"12.3"_s;
    QTest::newRow("#.0 negative fraction") << u"#.0"_s << -0.5 << u"-.5"_s;
    QTest::newRow("#.0 whole") << u"#.0"_s << 80.0 << u"80.0"_s;

    QTest::newRow("00.0 pads") << u"00.0"_s << 5.25 << u"05.3"_s;
    QTest::newRow("00.0 zero") << u"00.0"_s << 0.0 << u"00.0"_s;
    QTest::newRow("00.0 three digits") << u"00.0"_s << 123.4 << u"123.4"_s;
    QTest::newRow("00.0 negative") << u"00.0"_s << -5.0 << u"-05.0"_s;

    QTest::newRow("0.0# one decimal kept") << u"0.0#"_s << 1.0 << u"1.0"_s;
    QTest::newRow("0.0# two decimals") << u"0.0#"_s << 1.25 << u"1.25"_s;
    QTest::newRow("0.0# rounds to two") << u"0.0#"_s << 1.256 << u"1.26"_s;
    QTest::newRow("0.0# trailing zero dropped") << u"0.0#"_s << 1.2 << u"1.2"_s;
    QTest::newRow("0.0# below one") << u"0.0#"_s << 0.05 << u"0.05"_s;
    QTest::newRow("0.0# typed 1.005") << u"0.0#"_s << 1.005 << u"1.01"_s;
    QTest::newRow("0.0# negative") << u"0.0#"_s << -0.005 << u"-0.01"_s;

    QTest::newRow("#0 zero") << u"#0"_s << 0.0 << u"0"_s;
    QTest::newRow("#0 rounds") << u"#0"_s << 79.5 << u"80"_s;
    QTest::newRow("0 zero") << u"0"_s << 0.0 << u"0"_s;
    QTest::newRow("0 rounds") << u"0"_s << 12.5 << u"13"_s;
    QTest::newRow("0 negative") << u"0"_s << -12.5 << u"-13"_s;
    QTest::newRow("0 large") << u"0"_s << 123456789012.0 << u"123456789012"_s;

    QTest::newRow("###,0 grouped") << u"###,0"_s << 1234567.0 << u"1,234,567"_s;
    QTest::newRow("###,0 zero") << u"###,0"_s << 0.0 << u"0"_s;
    QTest::newRow("###,0 negative") << u"###,0"_s << -1000.0 << u"-1,000"_s;

    QTest::newRow("yen") << u"yen"_s << 1234.0 << u"￥1,234"_s;
    QTest::newRow("yen negative") << u"yen"_s << -1234.0 << u"-￥1,234"_s;
    QTest::newRow("yen zero") << u"yen"_s << 0.0 << u"￥0"_s;
    QTest::newRow("yen rounds") << u"yen"_s << 999.5 << u"￥1,000"_s;
}

void tst_Formats::numberPatterns() {
    QFETCH(QString, pattern);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatNumber(value, pattern), expected);
}

void tst_Formats::currencyPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("expected");
    QTest::newRow("#,##0 half") << u"#,##0"_s << u"1234.5"_s << u"1,235"_s;
    QTest::newRow("#,##0 below half") << u"#,##0"_s << u"1234.4999"_s << u"1,234"_s;
    QTest::newRow("#,### zero") << u"#,###"_s << u"0"_s << QString();
    QTest::newRow("#.0 of 0.5") << u"#.0"_s << u"0.5"_s << u".5"_s;
    QTest::newRow("#.0 of 0.05") << u"#.0"_s << u"0.05"_s << u".1"_s;
    QTest::newRow("#.0 of -0.04") << u"#.0"_s << u"-0.04"_s << u".0"_s;
    QTest::newRow("0.0# ratio") << u"0.0#"_s << u"82.125"_s << u"82.13"_s;
    QTest::newRow("00.0 ratio") << u"00.0"_s << u"7.55"_s << u"07.6"_s;
    QTest::newRow("yen negative") << u"yen"_s << u"-1234567"_s << u"-￥1,234,567"_s;
    QTest::newRow("largest") << u"#,##0"_s << u"922337203685477.5807"_s << u"922,337,203,685,478"_s;
}

void tst_Formats::currencyPatterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, amount);
    QFETCH(QString, expected);
    QCOMPARE(formatNumber(*Currency::parse(amount), pattern), expected);
}

void tst_Formats::unknownPatternIsLogged() {
    TestServices::install();
    TestProgramFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(formatNumber(12.5, u"#,##0円"_s), u"12.5"_s);
    QCOMPARE(formatNumber(Currency::fromInt(3), QString()), u"3"_s);
    QCOMPARE(folder.errorLogEntries(), 2);
    QVERIFY(folder.errorLog().contains(u"formatNumber"_s));
}

void tst_Formats::datePatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");
    QTest::newRow("YY/MM/DD") << u"YY/MM/DD"_s << QDate(2024, 3, 5) << u"24/03/05"_s;
    QTest::newRow("YY/MM/DD year 2000") << u"YY/MM/DD"_s << QDate(2000, 12, 31) << u"00/12/31"_s;
    QTest::newRow("YY/M/D") << u"YY/M/D"_s << QDate(2024, 3, 5) << u"24/3/5"_s;
    QTest::newRow("YY/M/D two digits") << u"YY/M/D"_s << QDate(2024, 11, 25) << u"24/11/25"_s;
    QTest::newRow("M/D") << u"M/D"_s << QDate(2024, 3, 5) << u"3/5"_s;
    QTest::newRow("M/D two digits") << u"M/D"_s << QDate(2024, 12, 20) << u"12/20"_s;
    QTest::newRow("lower case") << u"yy/mm/dd"_s << QDate(2024, 3, 5) << u"24/03/05"_s;
    QTest::newRow("four-digit year") << u"YYYY/MM/DD"_s << QDate(2024, 3, 5) << u"2024/03/05"_s;
    QTest::newRow("invalid date") << u"YY/MM/DD"_s << QDate() << QString();
}

void tst_Formats::datePatterns() {
    QFETCH(QString, pattern);
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(formatDate(date, pattern), expected);
}

void tst_Formats::textWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("ascii") << u"abc 123"_s << 7;
    QTest::newRow("control and tilde") << u"\t~"_s << 2;
    QTest::newRow("half-width katakana") << u"ｶﾀｶﾅ"_s << 4;
    QTest::newRow("half-width range ends") << u"\uFF61\uFF9F"_s << 2;
    QTest::newRow("just outside the range") << u"\uFF60\uFFA0"_s << 4;
    QTest::newRow("full-width katakana") << u"カタカナ"_s << 8;
    QTest::newRow("kanji and kana") << u"仕入帳"_s << 6;
    QTest::newRow("full-width digits") << u"１２"_s << 4;
    QTest::newRow("ideographic space") << u"\u3000"_s << 2;
    QTest::newRow("yen sign") << u"¥"_s << 2;
    QTest::newRow("mixed") << u"ABCｱｲ仕入"_s << 9;
    QTest::newRow("surrogate pair is one character") << u"𠮷"_s << 2;
}

void tst_Formats::textWidth() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QCOMPARE(sjisByteWidth(text), width);
}

void tst_Formats::truncateToWidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << u"abc"_s << 3 << u"abc"_s;
    QTest::newRow("cut ascii") << u"abcdef"_s << 4 << u"abcd"_s;
    QTest::newRow("never half a kanji") << u"a仕入"_s << 4 << u"a仕"_s;
    QTest::newRow("kanji exactly") << u"a仕入"_s << 5 << u"a仕入"_s;
    QTest::newRow("katakana half-width") << u"ｱｲｳ仕"_s << 4 << u"ｱｲｳ"_s;
    QTest::newRow("zero") << u"abc"_s << 0 << QString();
    QTest::newRow("negative") << u"abc"_s << -1 << QString();
    QTest::newRow("pair not split") << u"a𠮷b"_s << 2 << u"a"_s;
    QTest::newRow("pair kept") << u"a𠮷b"_s << 3 << u"a𠮷"_s;
}

void tst_Formats::truncateToWidth() {
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, expected);
    const QString cut = truncateToSjisBytes(text, max);
    QCOMPARE(cut, expected);
    QVERIFY(sjisByteWidth(cut) <= qMax(max, 0));
}

QTEST_GUILESS_MAIN(tst_Formats)
#include "tst_Formats.moc"
