#include "TestData.h"
#include "TestServices.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/LineRules.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// "" is an empty cell; anything else a currency value.
std::optional<Currency> cur(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    return Currency::parse(text);
}

const QString crlf = u"\r\n"_s;

} // namespace

class tst_LineRules : public DataFileTest {
    Q_OBJECT
private slots:
    void cellText_data();
    void cellText();
    void listColumnsAcceptOnlyTheirEntries_data();
    void listColumnsAcceptOnlyTheirEntries();
    void choicesOfTheDropDownLists();
    void unreadableListIsAFailureNotARefusal();
    void dateTexts_data();
    void dateTexts();

    void derivations_data();
    void derivations();
    void derivationOnlyFillsEmptyCells();

    void afterUpdate();
    void zeroDateBecomesNull_data();
    void zeroDateBecomesNull();

    void lineCheck_data();
    void lineCheck();
    void lineCheckTexts();
};

// ---- Cell validation ---------------------------------------------------------------------------

void tst_LineRules::cellText_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // "" when accepted
    QTest::addColumn<QString>("stored");  // the accepted value as text

    const QString notNumber = u"数値を入力してください"_s;
    const QString fraction = u"小数は入力しないでください"_s;
    const QString zero = u"０は入力しないでください"_s;
    const QString negative = u"０以下は入力しないでください"_s;

    QTest::newRow("ratio -5") << 10 << u"-5"_s << negative << u""_s;
    QTest::newRow("ratio 12.5") << 10 << u"12.5"_s << u""_s << u"12.5"_s;
    QTest::newRow("quantity -5") << 7 << u"-5"_s << u""_s << u"-5"_s;
    QTest::newRow("cost -5") << 11 << u"-5"_s << u""_s << u"-5"_s;
    QTest::newRow("payment -5") << 12 << u"-5"_s << u""_s << u"-5"_s;
    QTest::newRow("check 0") << 13 << u"0"_s << u""_s << u"0"_s;
    QTest::newRow("check -1") << 13 << u"-1"_s << negative << u""_s;
    for (int c : {7, 8, 9, 11, 12, 13})
        QTest::addRow("12.5 in column %d", c) << c << u"12.5"_s << fraction << u""_s;
    for (int c : {7, 8, 9, 10, 11, 12})
        QTest::addRow("0 in column %d", c) << c << u"0"_s << zero << u""_s;
    QTest::newRow("unit price -5") << 8 << u"-5"_s << negative << u""_s;
    QTest::newRow("regular price -5") << 9 << u"-5"_s << negative << u""_s;
    // The fraction rule comes before the zero and sign rules.
    QTest::newRow("unit price -0.5") << 8 << u"-0.5"_s << fraction << u""_s;
    QTest::newRow("letters") << 11 << u"abc"_s << notNumber << u""_s;
    QTest::newRow("full-width with separator") << 11 << u"１，２３４"_s << u""_s << u"1234"_s;
    QTest::newRow("spaces only") << 11 << u"  "_s << u""_s << u"<null>"_s;
    QTest::newRow("date 30 February")
        << 1 << u"2024/2/30"_s << u"日付を入力してください"_s << u""_s;
    QTest::newRow("date yy/mm/dd") << 1 << u"24/03/05"_s << u""_s << u"2024-03-05"_s;
    QTest::newRow("date empty") << 1 << u""_s << u""_s << u"<null>"_s;
    QTest::newRow("item any text") << 3 << u"O'Neil の 100%"_s << u""_s << u"O'Neil の 100%"_s;
    QTest::newRow("note any text") << 14 << u"*消費税*"_s << u""_s << u"*消費税*"_s;
}

void tst_LineRules::cellText() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    QVariant value;
    RuleResult r;
    QVERIFY(gCheckCellText(column, 1, text, value, r));
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.text, message);
    QCOMPARE(r.msgCode, 0);
    if (!r.ok) {
        QCOMPARE(r.focusColumn, column);
        QVERIFY(value.isNull());
        return;
    }
    QString shown;
    if (value.isNull())
        shown = u"<null>"_s;
    else if (value.metaType() == QMetaType::fromType<Currency>())
        shown = value.value<Currency>().toString();
    else if (value.metaType() == QMetaType::fromType<QDate>())
        shown = value.toDate().toString(u"yyyy-MM-dd"_s);
    else
        shown = value.toString();
    QCOMPARE(shown, stored);
}

void tst_LineRules::listColumnsAcceptOnlyTheirEntries_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("sort 1") << 2 << u"1"_s << true;
    QTest::newRow("sort 40") << 2 << u"40"_s << true;
    QTest::newRow("sort 41") << 2 << u"41"_s << false;
    QTest::newRow("sort 0") << 2 << u"0"_s << false;
    QTest::newRow("sort 01") << 2 << u"01"_s << false;
    QTest::newRow("sort empty") << 2 << u""_s << true;
    QTest::newRow("item is free text") << 3 << u"どこにもない"_s << true;
    QTest::newRow("enabled class") << 4 << u"文具"_s << true;
    QTest::newRow("disabled class") << 4 << u"廃番"_s << false;
    QTest::newRow("class with trailing space") << 4 << u"文具 "_s << false;
    QTest::newRow("class of another list") << 5 << u"文具"_s << false;
    QTest::newRow("class 3 entry") << 6 << u"通販"_s << true;
    QTest::newRow("class empty") << 6 << u""_s << true;
}

void tst_LineRules::listColumnsAcceptOnlyTheirEntries() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(
        u"INSERT INTO T_DATA_CLASS1 (strClassItem,lngSort,blnEnable) VALUES ('文具',1,1),"
        "('廃番',2,0)"_s));
    QVERIFY(db.executeSQL(
        u"INSERT INTO T_DATA_CLASS2 (strClassItem,lngSort,blnEnable) VALUES ('定番',1,1)"_s));
    QVERIFY(db.executeSQL(
        u"INSERT INTO T_DATA_CLASS3 (strClassItem,lngSort,blnEnable) VALUES ('通販',1,1)"_s));
    bool valid = !accepted;
    QVERIFY(gChkLedgerListText(column, 1, text, valid));
    QCOMPARE(valid, accepted);
    QVariant value;
    RuleResult r;
    QVERIFY(gCheckCellText(column, 1, text, value, r));
    QCOMPARE(r.ok, accepted);
    if (accepted)
        return;
    QCOMPARE(r.msgCode, 50);
    QCOMPARE(r.addText, u"リストの中から"_s);
    QCOMPARE(r.focusColumn, column);
}

void tst_LineRules::choicesOfTheDropDownLists() {
    QStringList items;
    QVERIFY(gGetLedgerListEntries(2, 1, items));
    QCOMPARE(items.size(), 40);
    QCOMPARE(items.first(), u"1"_s);
    QCOMPARE(items.last(), u"40"_s);

    // No class entries: an empty list, nothing of the list before is kept.
    items = QStringList{u"前の"_s};
    QVERIFY(gGetLedgerListEntries(4, 1, items));
    QVERIFY(items.isEmpty());

    // Enabled entries by order, then by entry.
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA_CLASS2 (strClassItem,lngSort,blnEnable) VALUES "
                          "('B',2,1),('A',1,1),('C',1,0),('D',1,1)"_s));
    QVERIFY(gGetLedgerListEntries(5, 2, items));
    QCOMPARE(items, (QStringList{u""_s, u"A"_s, u"D"_s, u"B"_s}));

    // Item lists belong to one ledger each; entries without an order come first.
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1_ITEM (strItem,lngSort) VALUES ('仕入品',1)"_s));
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA2_ITEM (strItem,lngSort) VALUES ('売上品B',2),"
                          "('売上品A',1),('無順',NULL)"_s));
    QVERIFY(gGetLedgerListEntries(3, 2, items));
    QCOMPARE(items, (QStringList{u""_s, u"無順"_s, u"売上品A"_s, u"売上品B"_s}));
    QVERIFY(gGetLedgerListEntries(3, 1, items));
    QCOMPARE(items, (QStringList{u""_s, u"仕入品"_s}));

    items = QStringList{u"kept"_s};
    QVERIFY(!gGetLedgerListEntries(7, 1, items));
    QVERIFY(!gGetLedgerListEntries(3, 3, items));
    QCOMPARE(items, QStringList{u"kept"_s});
    QCOMPARE(m_folder->errorLogEntries(), 2);
}

void tst_LineRules::unreadableListIsAFailureNotARefusal() {
    QVERIFY(gdbData().executeSQL(u"DROP TABLE T_DATA_CLASS2"_s));
    QVariant value = u"old"_s;
    RuleResult r;
    QVERIFY(!gCheckCellText(LedgerCol::Class2, 1, u"定番"_s, value, r));
    QVERIFY(r.ok);
    QVERIFY(!r.hasMessage());
    QVERIFY(value.isNull());
    QVERIFY(m_folder->errorLog().contains(u"gGetLedgerListEntries"_s));
    // An empty cell needs no list.
    QVERIFY(gCheckCellText(LedgerCol::Class2, 1, QString(), value, r));
    QVERIFY(r.ok);
}

void tst_LineRules::dateTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("yy 29") << u"29/12/31"_s << QDate(2029, 12, 31);
    QTest::newRow("yy 30") << u"30/01/01"_s << QDate(1930, 1, 1);
    QTest::newRow("full-width") << u"２０２４／０３／０５"_s << QDate(2024, 3, 5);
    QTest::newRow("kanji") << u"2024年3月5日"_s << QDate(2024, 3, 5);
    // The fixed clock's year (2024).
    QTest::newRow("month/day") << u"12/31"_s << QDate(2024, 12, 31);
    QTest::newRow("no leap day") << u"2023/02/29"_s << QDate();
    QTest::newRow("month 13") << u"2024/13/01"_s << QDate();
    QTest::newRow("number only") << u"20240305"_s << QDate();
    QTest::newRow("trailing text") << u"2024/03/05x"_s << QDate();
}

void tst_LineRules::dateTexts() {
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(parseLedgerDate(text), expected);
}

// ---- Derived amounts ---------------------------------------------------------------------------

void tst_LineRules::derivations_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("unitPrice");
    QTest::addColumn<QString>("regularPrice");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("defaultRatio");
    QTest::addColumn<QString>("expected");      // "" when nothing is written
    QTest::addColumn<QString>("expectedRatio"); // the line's ratio afterwards
    QTest::addColumn<QString>("warning");

    const QString over = u"計算値が100%を超えました"_s + crlf + crlf + u"計算値 "_s;
    const auto row = [](const char* name, int column, const QString& q, const QString& u,
                        const QString& rp, const QString& ra, const QString& c, const QString& def,
                        const QString& expected, const QString& warning = {},
                        const QString& ratioAfter = u"-"_s) {
        QTest::newRow(name) << column << q << u << rp << ra << c << def << expected
                            << (ratioAfter == u"-"_s ? (column == 10 ? expected : ra) : ratioAfter)
                            << warning;
    };
    // Quantity.
    row("quantity 1800 / 600", 7, u""_s, u"600"_s, u""_s, u""_s, u"1800"_s, u""_s, u"3"_s);
    row("quantity keeps sign", 7, u""_s, u"600"_s, u""_s, u""_s, u"-1800"_s, u""_s, u"-3"_s);
    row("quantity cut", 7, u""_s, u"600"_s, u""_s, u""_s, u"1799"_s, u""_s, u"2"_s);
    row("quantity 0 not written", 7, u""_s, u"600"_s, u""_s, u""_s, u"100"_s, u""_s, u""_s);
    row("quantity cost 1 is no cost", 7, u""_s, u"1"_s, u""_s, u""_s, u"1"_s, u""_s, u""_s);
    // Unit price.
    row("unit price 1000 x 60%", 8, u"3"_s, u""_s, u"1000"_s, u"60"_s, u""_s, u""_s, u"600"_s);
    row("unit price cost 1 uses regular price", 8, u""_s, u""_s, u"1000"_s, u"60"_s, u"1"_s, u""_s,
        u"600"_s);
    row("unit price needs the line's ratio", 8, u""_s, u""_s, u"1000"_s, u""_s, u""_s, u"60"_s,
        u""_s);
    row("unit price of a return is positive", 8, u"-2"_s, u""_s, u""_s, u""_s, u"1200"_s, u""_s,
        u"600"_s);
    row("unit price cut", 8, u"3"_s, u""_s, u""_s, u""_s, u"1000"_s, u""_s, u"333"_s);
    row("unit price 0 not written", 8, u"3"_s, u""_s, u""_s, u""_s, u"2"_s, u""_s, u""_s);
    // Regular price.
    row("regular from cost and default ratio", 9, u"3"_s, u""_s, u""_s, u""_s, u"1800"_s, u"60"_s,
        u"1000"_s);
    row("regular of a return", 9, u"-3"_s, u""_s, u""_s, u"60"_s, u"-1800"_s, u""_s, u"1000"_s);
    row("regular from unit price", 9, u""_s, u"600"_s, u""_s, u"60"_s, u""_s, u""_s, u"1000"_s);
    row("regular without any ratio", 9, u"3"_s, u"600"_s, u""_s, u""_s, u"1800"_s, u""_s, u""_s);
    row("regular cost 1 is no cost", 9, u""_s, u"500"_s, u""_s, u"50"_s, u"1"_s, u"50"_s, u""_s);
    row("regular cut", 9, u""_s, u""_s, u""_s, u"30"_s, u"1000"_s, u""_s, u"3333"_s);
    // Ratio.
    row("ratio 66.6 cut", 10, u""_s, u""_s, u"1500"_s, u""_s, u"1000"_s, u""_s, u"66.6"_s);
    row("ratio 133.3 refused", 10, u""_s, u""_s, u"1500"_s, u""_s, u"2000"_s, u""_s, u""_s,
        over + u"133.3%"_s);
    row("ratio of a return above 100 refused", 10, u""_s, u""_s, u"1500"_s, u""_s, u"-2000"_s,
        u""_s, u""_s, over + u"-133.3%"_s);
    row("ratio of a return", 10, u""_s, u""_s, u"1500"_s, u""_s, u"-1000"_s, u""_s, u"66.6"_s);
    row("ratio from unit price", 10, u""_s, u"900"_s, u"1000"_s, u""_s, u""_s, u""_s, u"90"_s);
    row("ratio from unit price over 100", 10, u""_s, u"1500"_s, u"1000"_s, u""_s, u""_s, u""_s,
        u""_s, over + u"150 %"_s);
    row("ratio per unit of quantity", 10, u"-3"_s, u""_s, u"1000"_s, u""_s, u"1800"_s, u""_s,
        u"60"_s);
    row("ratio exactly 100", 10, u""_s, u""_s, u"1000"_s, u""_s, u"1000"_s, u""_s, u"100"_s);
    row("ratio counts a cost of 1", 10, u""_s, u""_s, u"100"_s, u""_s, u"1"_s, u""_s, u"1"_s);
    row("ratio falls back to default", 10, u""_s, u""_s, u""_s, u""_s, u"1800"_s, u"72.5"_s,
        u"72.5"_s);
    row("ratio below 0.1 not written", 10, u""_s, u""_s, u"100000"_s, u""_s, u"50"_s, u""_s, u""_s);
    // 580 / 1000 x 100 is 57.99999... in binary floating point; the ratio is 58.
    row("ratio 58 not 57.9", 10, u""_s, u""_s, u"1000"_s, u""_s, u"580"_s, u""_s, u"58"_s);
    // Cost.
    row("cost 3 x 1000 x 60%", 11, u"3"_s, u""_s, u"1000"_s, u"60"_s, u""_s, u""_s, u"1800"_s);
    row("cost of a return", 11, u"-2"_s, u"600"_s, u""_s, u""_s, u""_s, u""_s, u"-1200"_s);
    // The default ratio is written into the line with the cost, and even without a price.
    row("cost from default ratio", 11, u"2"_s, u""_s, u"1000"_s, u""_s, u""_s, u"60"_s, u"1200"_s,
        {}, u"60"_s);
    row("default ratio kept without a price", 11, u"2"_s, u""_s, u""_s, u""_s, u""_s, u"62.5"_s,
        u""_s, {}, u"62.5"_s);
    row("cost cut", 11, u"3"_s, u""_s, u"1000"_s, u"33.3"_s, u""_s, u""_s, u"999"_s);
    row("cost 0 is written", 11, u""_s, u""_s, u"1"_s, u"50"_s, u""_s, u""_s, u"0"_s);
    row("cost without ratio", 11, u"2"_s, u""_s, u"1000"_s, u""_s, u""_s, u""_s, u""_s);
    row("cost too large", 11, u"999999999"_s, u"999999999"_s, u""_s, u""_s, u""_s, u""_s, u""_s,
        u"計算値が大きすぎるため、入力できません"_s);
}

void tst_LineRules::derivations() {
    QFETCH(int, column);
    QFETCH(QString, quantity);
    QFETCH(QString, unitPrice);
    QFETCH(QString, regularPrice);
    QFETCH(QString, ratio);
    QFETCH(QString, cost);
    QFETCH(QString, defaultRatio);
    QFETCH(QString, expected);
    QFETCH(QString, expectedRatio);
    QFETCH(QString, warning);
    LedgerLine line;
    line.curQuantity = cur(quantity);
    line.curUnitPrice = cur(unitPrice);
    line.curRegularPrice = cur(regularPrice);
    line.curRatio = cur(ratio);
    line.curCost = cur(cost);
    DeriveResult r;
    QVERIFY(gDeriveColumn(column, line, cur(defaultRatio), r));
    QCOMPARE(r.computed, !expected.isEmpty());
    const QVariant written = line.value(column);
    QCOMPARE(written.isNull() ? u""_s : written.value<Currency>().toString(), expected);
    QCOMPARE(line.curRatio ? line.curRatio->toString() : u""_s, expectedRatio);
    QCOMPARE(r.warning.text, warning);
    QCOMPARE(r.warning.hasMessage(), !warning.isEmpty());
}

void tst_LineRules::derivationOnlyFillsEmptyCells() {
    for (int column = 7; column <= 11; ++column) {
        LedgerLine line;
        line.curQuantity = Currency::fromInt(3);
        line.curUnitPrice = Currency::fromInt(600);
        line.curRegularPrice = Currency::fromInt(1000);
        line.curRatio = Currency::fromInt(60);
        line.curCost = Currency::fromInt(1800);
        QVERIFY(line.setValue(column, QVariant::fromValue(Currency::fromInt(5))));
        const LedgerLine before = line;
        DeriveResult r;
        QVERIFY(gDeriveColumn(column, line, Currency::fromInt(70), r));
        QVERIFY(!r.computed);
        QVERIFY(line == before);
    }
}

// ---- After a cell is stored --------------------------------------------------------------------

void tst_LineRules::afterUpdate() {
    QVERIFY(gSetSystemStrField(13, u"文具"_s));
    QVERIFY(gSetSystemStrField(14, u""_s));
    QVERIFY(gSetSystemStrField(15, u"通販"_s));
    // A new line takes the shown supplier, the change mark and the defaults of empty classes.
    LedgerLine line;
    line.date1 = QDate(2024, 3, 5);
    line.strClass3 = u"店頭"_s;
    QVERIFY(gAfterCellUpdate(line, 12));
    QCOMPARE(line.lngMasterID, std::optional<qint32>(12));
    QVERIFY(line.blnChange);
    QCOMPARE(line.strClass1, std::optional<QString>(u"文具"_s));
    QVERIFY(!line.strClass2);
    QCOMPARE(line.strClass3, std::optional<QString>(u"店頭"_s));

    // A stored line keeps its classes; blank texts become NULL, the note is kept as typed.
    LedgerLine old;
    old.lngMasterID = 12;
    old.strItem = u"  "_s;
    old.strClass2 = u"　"_s; // a full-width space trims away as well
    old.strClass3 = u" a "_s;
    old.strNote = u"  "_s;
    QVERIFY(gAfterCellUpdate(old, 12));
    QVERIFY(!old.strClass1);
    QVERIFY(!old.strItem);
    QVERIFY(!old.strClass2);
    QCOMPARE(old.strClass3, std::optional<QString>(u" a "_s));
    QCOMPARE(old.strNote, std::optional<QString>(u"  "_s));
    // The keyboard fill of an empty class cell works on stored lines too.
    old.strClass1 = u""_s;
    QVERIFY(mInputClass1Default(old));
    QCOMPARE(old.strClass1, std::optional<QString>(u"文具"_s));
}

void tst_LineRules::zeroDateBecomesNull_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("typed 99/12/30") << parseLedgerDate(u"99/12/30"_s) << true;
    QTest::newRow("2024/12/30") << QDate(2024, 12, 30) << false;
    QTest::newRow("1899/12/31") << QDate(1899, 12, 31) << false;
}

void tst_LineRules::zeroDateBecomesNull() {
    QFETCH(QDate, date);
    QFETCH(bool, cleared);
    LedgerLine line;
    line.lngMasterID = 1;
    line.date1 = date;
    QVERIFY(gAfterCellUpdate(line, 1));
    QCOMPARE(!line.date1.has_value(), cleared);
}

// ---- Line check --------------------------------------------------------------------------------

void tst_LineRules::lineCheck_data() {
    QTest::addColumn<bool>("hasDate");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("payment");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("regularPrice");
    QTest::addColumn<bool>("defaultRatio");
    QTest::addColumn<int>("msgCode");
    QTest::addColumn<QString>("message"); // addText for msgCode 19, the box text otherwise
    QTest::addColumn<int>("focusColumn");

    const QString ratioRule = u"仕入規定掛率 が設定されていない場合   "_s + crlf + crlf +
                              u"仕入金額 への入力は"_s + crlf + crlf +
                              u"掛率 か 定価 の入力は必須です"_s;
    const QString both = u"仕入金額 と 支払金額 の両方に値を入れるのは不正です"_s;
    QTest::newRow("no date") << false << u""_s << u"100"_s << u""_s << u"60"_s << u""_s << false
                             << 19 << u"日付は"_s << 1;
    QTest::newRow("neither amount") << true << u""_s << u""_s << u""_s << u""_s << u""_s << true
                                    << 0 << u"仕入金額 か 支払金額 の入力は必須です"_s << 11;
    QTest::newRow("a cost of 1 is an amount")
        << true << u""_s << u"1"_s << u"50"_s << u"60"_s << u""_s << true << 0 << both << 11;
    QTest::newRow("no ratio anywhere") << true << u"ペン"_s << u"100"_s << u""_s << u""_s << u""_s
                                       << false << 0 << ratioRule << 10;
    QTest::newRow("line ratio") << true << u"ペン"_s << u"100"_s << u""_s << u"60"_s << u""_s
                                << false << 0 << u""_s << -1;
    QTest::newRow("regular price")
        << true << u""_s << u"100"_s << u""_s << u""_s << u"200"_s << false << 0 << u""_s << -1;
    QTest::newRow("default ratio")
        << true << u""_s << u"100"_s << u""_s << u""_s << u""_s << true << 0 << u""_s << -1;
    QTest::newRow("item containing tax") << true << u"6月分消費税"_s << u"100"_s << u""_s << u""_s
                                         << u""_s << false << 0 << u""_s << -1;
    QTest::newRow("payment only") << true << u""_s << u""_s << u"-5000"_s << u""_s << u""_s << false
                                  << 0 << u""_s << -1;
    QTest::newRow("cost 0") << true << u""_s << u"0"_s << u""_s << u"60"_s << u""_s << false << 0
                            << u""_s << -1;
}

void tst_LineRules::lineCheck() {
    QFETCH(bool, hasDate);
    QFETCH(QString, item);
    QFETCH(QString, cost);
    QFETCH(QString, payment);
    QFETCH(QString, ratio);
    QFETCH(QString, regularPrice);
    QFETCH(bool, defaultRatio);
    QFETCH(int, msgCode);
    QFETCH(QString, message);
    QFETCH(int, focusColumn);
    LedgerLine line;
    if (hasDate)
        line.date1 = QDate(2024, 3, 5);
    if (!item.isEmpty())
        line.strItem = item;
    line.curCost = cur(cost);
    line.curPayment = cur(payment);
    line.curRatio = cur(ratio);
    line.curRegularPrice = cur(regularPrice);
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(1, texts));
    const RuleResult r = gCheckLine(line, texts, defaultRatio);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.msgCode, msgCode);
    QCOMPARE(msgCode ? r.addText : r.text, message);
    QCOMPARE(r.focusColumn, focusColumn);
}

// The check speaks of the ledger's current captions and ratio label.
void tst_LineRules::lineCheckTexts() {
    QVERIFY(gSetColumnCaption(CaptionNo::Cost, u"仕入金額"_s, u"買掛金"_s, 1));
    QVERIFY(gSetColumnCaption(CaptionNo::Payment, u"支払金額"_s, u"支払"_s, 1));
    QVERIFY(gSetColumnCaption(CaptionNo::Ratio, u"掛率"_s, u"率"_s, 1));
    QVERIFY(gSetColumnCaption(CaptionNo::RegularPrice, u"定価"_s, u"上代"_s, 1));
    QVERIFY(gSetSystemStrField(10, u"購入"_s));
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(1, texts));
    LedgerLine line;
    line.date1 = QDate(2024, 3, 5);
    QCOMPARE(gCheckLine(line, texts, false).text, u"買掛金 か 支払 の入力は必須です"_s);
    line.curCost = Currency::fromInt(100);
    QCOMPARE(gCheckLine(line, texts, false).text, u"購入規定掛率 が設定されていない場合   "_s +
                                                      crlf + crlf + u"買掛金 への入力は"_s + crlf +
                                                      crlf + u"率 か 上代 の入力は必須です"_s);
    QVERIFY(gGetLineCheckTexts(2, texts));
    QCOMPARE(texts.cost, u"売上金額"_s);
    QCOMPARE(texts.payment, u"入金金額"_s);
    QCOMPARE(texts.regularRatioLabel, u"売上規定掛率"_s);
    // A caption row that is missing makes the read fail (and say so).
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA2_CAPTION WHERE lngCaptionNo=8"_s));
    QVERIFY(!gGetLineCheckTexts(2, texts));
    QVERIFY(m_folder->errorLog().contains(u"gGetLineCheckTexts"_s));
}

QTEST_GUILESS_MAIN(tst_LineRules)
#include "tst_LineRules.moc"
