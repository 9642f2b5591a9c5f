#include "TestData.h"
#include "TestServices.h"
#include "ledger/Totals.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

using Money = std::optional<double>;

// A purchase line of supplier 1 unless told otherwise.
bool add(const QDate& date, const QString& item, Money cost, Money payment = {}, Money ratio = {},
         Money regular = {}, Money quantity = {}, QString class1 = {}, QString class2 = {},
         int kind = 1, qint32 masterID = 1) {
    return addLine(LineRow{.kind = kind,
                           .masterID = masterID,
                           .date = date,
                           .item = item,
                           .class1 = class1,
                           .class2 = class2,
                           .quantity = quantity,
                           .regularPrice = regular,
                           .ratio = ratio,
                           .cost = cost,
                           .payment = payment}) > 0;
}

QString text(Currency c) {
    return c.toString();
}

const QDate kStart(2024, 2, 21);
const QDate kEnd(2024, 3, 20);

} // namespace

class tst_Totals : public DataFileTest {
    Q_OBJECT
private slots:
    void init();

    void sumsOfThePeriod();
    void missingRatioLeavesRegularTotalEmpty();
    void regularAmounts_data();
    void regularAmounts();
    void failures();

    void classFilters_data();
    void classFilters();
    void filterAppliesToCarryAndTaxParts();

    void taxEstimate_data();
    void taxEstimate();
};

void tst_Totals::init() {
    DataFileTest::init();
    QVERIFY(addSupplier(SupplierRow{.masterID = 1, .supplyCarry = 5000, .saleCarry = 700}));
    QVERIFY(addSupplier(SupplierRow{.masterID = 2}));
}

void tst_Totals::sumsOfThePeriod() {
    // Before the period (the day before the start included): the carry, tax lines too.
    QVERIFY(add(kStart.addDays(-1), u"ペン"_s, 1000, {}, 60));
    QVERIFY(add(QDate(2023, 1, 5), u"振込"_s, {}, 300));
    QVERIFY(add(QDate(2024, 1, 20), u"消費税"_s, 80));
    // In the period, both ends included; any item containing 消費税 is a tax line.
    QVERIFY(add(kStart, u"ペン"_s, 2000, {}, 50));
    QVERIFY(add(kStart, u"2月分 消費税 調整"_s, -5));
    QVERIFY(add(kStart, u"消 費税"_s, 1000, {}, 50));
    QVERIFY(add(kEnd, u"ノート"_s, 3000, {}, {}, 5000));
    QVERIFY(add(kEnd, u"3月分消費税"_s, 250));
    QVERIFY(add(QDate(2024, 3, 1), {}, {}, 1500));
    // After the period, without a date, of the other ledger, of another supplier.
    QVERIFY(add(kEnd.addDays(1), u"ペン"_s, 9999, {}, 60));
    QVERIFY(add(QDate(), u"ペン"_s, 7777, {}, 60));
    QVERIFY(add(kStart, u"ペン"_s, 2000, {}, 50, {}, {}, {}, {}, 2));
    QVERIFY(add(QDate(2023, 1, 1), {}, {}, 300, {}, {}, {}, {}, {}, 2));
    QVERIFY(add(kStart, u"ペン"_s, 40000, {}, 50, {}, {}, {}, {}, 1, 2));

    DataTotals t;
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t));
    QCOMPARE(text(t.carry), u"5780"_s); // 5000 + 1000 - 300 + 80
    QCOMPARE(text(t.cost), u"6000"_s);
    QCOMPARE(text(t.tax), u"245"_s);
    QCOMPARE(text(t.payment), u"1500"_s);
    QCOMPARE(text(t.balance()), u"10525"_s);
    QVERIFY(t.ratioValid);                             // tax lines need no ratio
    QCOMPARE(text(t.regularTotal), u"11000"_s);        // 2000 / 0.5 + 1000 / 0.5 + 5000
    QCOMPARE(text(t.averageRatio.value()), u"54.5"_s); // 54.54... cut
    // A start after the end: no line in the period, every line before the start in the carry.
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kEnd, QDate(2024, 2, 1), 1, Currency(), t));
    QCOMPARE(text(t.cost), u"0"_s);
    QCOMPARE(text(t.carry), u"7275"_s);
    QVERIFY(!t.averageRatio);
    // The sales ledger has its own opening balance; another supplier has none.
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 2, Currency(), t));
    QCOMPARE(text(t.carry), u"400"_s); // 700 - 300
    QCOMPARE(text(t.cost), u"2000"_s);
    QVERIFY(gCalcDATAEachTotal(gdbData(), 2, kStart, kEnd, 1, Currency(), t));
    QCOMPARE(text(t.cost), u"40000"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Totals::missingRatioLeavesRegularTotalEmpty() {
    QVERIFY(add(kStart, u"ペン"_s, 1000, {}, 50));
    QVERIFY(add(kStart, u"ノート"_s, 300)); // neither ratio nor price
    DataTotals t;
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t));
    QVERIFY(!t.ratioValid && !t.averageRatio);
    QCOMPARE(text(t.regularTotal), u"0"_s);
    // With a default ratio the same line takes it.
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency::fromInt(60), t));
    QVERIFY(t.ratioValid);
    QCOMPARE(text(t.regularTotal), u"2500"_s); // 2000 + 300 / 0.6
    QCOMPARE(text(*t.averageRatio), u"52"_s);
}

// One line each: cost, ratio, regular price and quantity (NaN: empty) and the default ratio;
// the regular amount and the average ratio of the period.
constexpr double E = std::numeric_limits<double>::quiet_NaN();
const struct RegularCase {
    const char* name;
    double cost, ratio, regular, quantity, defaultRatio;
    const char16_t* expected;
    const char16_t* average;
} kRegularCases[] = {
    {"price x quantity", 1800, 60, 1000, 3, 0, u"3000", u"60"},
    {"price of a return", -1800, 60, 1000, -3, 0, u"-3000", u"60"},
    {"cost / line ratio, cut", 1000, 30, E, 5, 0, u"3333", u"30"},
    {"cost / default ratio", 1000, E, E, 5, 30, u"3333", u"30"},
    {"line ratio before default", 1000, 50, E, E, 30, u"2000", u"50"},
    {"price before ratio", 1000, 50, 1500, E, 30, u"1500", u"66.6"},
    {"fraction of a price cut", 100, E, 33.5, 3, 0, u"100", u"100"},
    {"return by ratio cut toward zero", -1000, 30, E, E, 0, u"-3333", u"30"},
    // 5800 / 10000 x 100 is 57.99999... in binary floating point.
    {"58 not 57.9", 5800, E, 10000, E, 0, u"10000", u"58"},
    // No default ratio: the price alone; a stored ratio of 0 must not divide by zero.
    {"ratio 0 with a price", 300, 0, 400, E, 0, u"400", u"75"},
};

void tst_Totals::regularAmounts_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kRegularCases)); ++i)
        QTest::newRow(kRegularCases[i].name) << i;
}

void tst_Totals::regularAmounts() {
    QFETCH(int, index);
    const RegularCase& c = kRegularCases[index];
    const auto m = [](double v) { return std::isnan(v) ? Money() : Money(v); };
    QVERIFY(add(kStart, u"品"_s, c.cost, {}, m(c.ratio), m(c.regular), m(c.quantity)));
    DataTotals t;
    QVERIFY(
        gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency::fromDouble(c.defaultRatio), t));
    QVERIFY(t.ratioValid);
    QCOMPARE(text(t.regularTotal), QString::fromUtf16(c.expected));
    QVERIFY(t.averageRatio);
    QCOMPARE(text(*t.averageRatio), QString::fromUtf16(c.average));
}

void tst_Totals::failures() {
    DataTotals t;
    QVERIFY(!gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 3, Currency(), t));
    QVERIFY(!gCalcDATAEachTotal(gdbData(), 1, QDate(), kEnd, 1, Currency(), t));
    // A supplier without a record has no opening balance to read.
    QVERIFY(!gCalcDATAEachTotal(gdbData(), 77, kStart, kEnd, 1, Currency(), t));
    QCOMPARE(m_folder->errorLog().count(u"gCalcDATAEachTotal"_s), 3);
    // An unknown class number is refused before any SQL is built.
    LineFilter f;
    f.first = ClassCondition{1, u"a"_s};
    f.second = ClassCondition{4, u"b"_s};
    QString sql = u"WHERE 1"_s;
    QVariantList params{1};
    QVERIFY(!gLineFilterSql(f, sql, params, u"mGetManageProfitWhereSQL"_s));
    QCOMPARE(sql + QString::number(params.size()), u"WHERE 11"_s);
    QVERIFY(m_folder->errorLog().contains(u"mGetManageProfitWhereSQL"_s));
    QVERIFY(!gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t, f));
    // Two rows of setting 32 cannot be read: the tax estimate fails and says so.
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_SYSTEM (lngID,curField) VALUES (32,50000),(32,80000)"_s));
    TaxEstimate estimate;
    QVERIFY(!gCalcEstimatedTax(gdbData(), Currency::fromInt(1000), QDate(2024, 1, 1), estimate));
    QVERIFY(m_folder->errorLog().contains(u"gCalcEstimatedTax"_s));
}

// ---- Filters -----------------------------------------------------------------------------------

void tst_Totals::classFilters_data() {
    QTest::addColumn<QString>("first");  // "n:value" or ""
    QTest::addColumn<QString>("second"); // "n:value" or ""
    QTest::addColumn<bool>("orJoin");
    QTest::addColumn<QString>("cost");
    // Lines: 文具/定番 100, 文具/季節 200, 紙/定番 400, 紙/(none) 800, (none)/(none) 1600,
    // a quote 3200.
    QTest::newRow("class 1 alone") << u"1:文具"_s << u""_s << false << u"300"_s;
    QTest::newRow("class 2 alone") << u""_s << u"2:定番"_s << false << u"500"_s;
    QTest::newRow("AND") << u"1:文具"_s << u"2:定番"_s << false << u"100"_s;
    QTest::newRow("OR") << u"1:文具"_s << u"2:定番"_s << true << u"700"_s;
    QTest::newRow("same class OR") << u"1:文具"_s << u"1:紙"_s << true << u"1500"_s;
    QTest::newRow("no partial match") << u"1:文"_s << u""_s << true << u"0"_s;
    QTest::newRow("values are bound") << u"1:O'Neil' OR '1'='1"_s << u""_s << false << u"3200"_s;
}

void tst_Totals::classFilters() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, orJoin);
    QFETCH(QString, cost);
    QVERIFY(add(kStart, u"品"_s, 100, {}, 50, {}, {}, u"文具"_s, u"定番"_s));
    QVERIFY(add(kStart, u"品"_s, 200, {}, 50, {}, {}, u"文具"_s, u"季節"_s));
    QVERIFY(add(kStart, u"品"_s, 400, {}, 50, {}, {}, u"紙"_s, u"定番"_s));
    QVERIFY(add(kStart, u"品"_s, 800, {}, 50, {}, {}, u"紙"_s));
    QVERIFY(add(kStart, u"品"_s, 1600, {}, 50));
    QVERIFY(add(kStart, u"品"_s, 3200, {}, 50, {}, {}, u"O'Neil' OR '1'='1"_s));
    LineFilter f;
    if (!first.isEmpty())
        f.first = ClassCondition{first.left(1).toInt(), first.mid(2)};
    f.second = ClassCondition{second.left(1).toInt(), second.mid(2)};
    if (second.isEmpty())
        f.second.reset();
    f.join = orJoin ? FilterJoin::Or : FilterJoin::And;
    DataTotals t;
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t, f));
    QCOMPARE(text(t.cost), cost);
}

// The filter narrows every part, the carry included, as the profit report relies on.
void tst_Totals::filterAppliesToCarryAndTaxParts() {
    QVERIFY(add(QDate(2024, 1, 5), u"品"_s, 100, {}, 50, {}, {}, u"文具"_s));
    QVERIFY(add(QDate(2024, 1, 5), u"品"_s, 1000, {}, 50));
    QVERIFY(add(kStart, u"消費税"_s, 30, {}, {}, {}, {}, u"文具"_s));
    QVERIFY(add(kStart, {}, {}, 70, {}, {}, {}, u"文具"_s));
    QVERIFY(add(kEnd, u"品"_s, 500, {}, {}, 800, {}, u"文具"_s));

    LineFilter f;
    f.first = ClassCondition{1, u"文具"_s};
    DataTotals t;
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t, f));
    QCOMPARE(text(t.carry), u"5100"_s);
    QCOMPARE(text(t.tax), u"30"_s);
    QCOMPARE(text(t.payment), u"70"_s);
    QCOMPARE(text(t.cost), u"500"_s);
    // As the profit report builds it: its own dates, amount lines only, tax lines left out.
    f.excludeTaxLines = true;
    f.costOnly = true;
    f.from = kStart;
    f.to = kEnd;
    QVERIFY(gCalcDATAEachTotal(gdbData(), 1, kStart, kEnd, 1, Currency(), t, f));
    QCOMPARE(text(t.carry), u"5000"_s);
    QCOMPARE(text(t.tax), u"0"_s);
    QCOMPARE(text(t.payment), u"0"_s);
    QCOMPARE(text(t.cost), u"500"_s);
    QCOMPARE(text(t.regularTotal), u"800"_s);
}

// ---- Period boxes and tax estimate -------------------------------------------------------------

void tst_Totals::taxEstimate_data() {
    QTest::addColumn<QString>("rateSetting"); // "" when the setting is absent
    QTest::addColumn<QDate>("periodEnd");
    QTest::addColumn<double>("cost");
    QTest::addColumn<QString>("tax");
    QTest::addColumn<QString>("source"); // the last line of the message
    const QDate d2019(2019, 9, 30);
    QTest::newRow("table: 8 % until 2019/09/30, 801.52 cut")
        << u""_s << d2019 << 10019.0 << u"801"_s << u"（税率表の 2014/04/01 からの標準税率）"_s;
    QTest::newRow("table: 10 % from 2019/10/01")
        << u""_s << QDate(2019, 10, 1) << 10019.0 << u"1,001"_s
        << u"（税率表の 2019/10/01 からの標準税率）"_s;
    QTest::newRow("table: negative cost cut toward zero")
        << u""_s << QDate(1997, 4, 1) << -10019.0 << u"-500"_s
        << u"（税率表の 1997/04/01 からの標準税率）"_s;
    QTest::newRow("before the table: 0 %") << u""_s << QDate(1989, 3, 31) << 10019.0 << u"0"_s
                                           << u"（期間末の税率が税率表にありません）"_s;
    QTest::newRow("table: 3 % from its first day 1989/04/01")
        << u""_s << QDate(1989, 4, 1) << 10019.0 << u"300"_s
        << u"（税率表の 1989/04/01 からの標準税率）"_s;
    QTest::newRow("a stored setting wins, even 5 %")
        << u"5"_s << QDate(2024, 3, 20) << 10019.0 << u"500"_s << u"（システム設定の消費税率）"_s;
}

void tst_Totals::taxEstimate() {
    QFETCH(QString, rateSetting);
    QFETCH(QDate, periodEnd);
    QFETCH(double, cost);
    QFETCH(QString, tax);
    QFETCH(QString, source);
    if (!rateSetting.isEmpty())
        QVERIFY(gSetSystemCurField(32, Currency::parse(rateSetting).value()));
    TaxEstimate e;
    QVERIFY(gCalcEstimatedTax(gdbData(), Currency::fromDouble(cost), periodEnd, e));
    const QString text = gEstimatedTaxText(u"x"_s, e);
    QVERIFY2(text.contains(u"\r\n\r\n"_s + tax + u" 円です\r\n\r\n"_s + source), qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_Totals)
#include "tst_Totals.moc"
