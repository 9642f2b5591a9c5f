#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "reports/SupplierList.h"
#include "reports/TaxSummary.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The tax summary over 2019/09/01 to 2030/12/31, class 1 the tax class with "食品" marked
// reduced. Every figure below is worked by hand (amounts in yen; a group is cut once):
//
// 1 登録途中, T7000012050002 from 2026/05/01:
//   2026/04/10 10 000 unregistered, 80 %: tax 1 000, deductible 800
//   2026/05/10 20 000 registered:         tax 2 000, deductible 2 000
//   2026/05/20 "5月分消費税" 3 000: stated only
// 2 未登録:
//   2026/09/30 1 005 at 80 %:              tax 100 (100.5),  deductible 80 (80.4)
//   2026/10/01 and 10/05 1 005 each, 50 %: tax 201 (201.0),  deductible 100 (100.5)
//   2026/10/02 2 003 食品, 8 %, 50 %:       tax 160 (160.24), deductible 80 (80.12)
//   2029/10/01 1 000, no share:            tax 100,          deductible 0
// 3 旧税率 (before the invoice system, always full):
//   2019/09/30 1 000 and 1 000 食品: both 8 % standard (the reduced rate equals it): 160
//   2019/10/01 1 000 at 10 %: 100; 1 000 食品 at 8 % reduced: 80
// 4 無効 (invalid): absent. Sales ledger of 1: 10 000 at 10 %, 5 005 食品 at 8 % (400.4).
// A range without lines is refused with the usual message: tst_ReportCli.
class tst_TaxSummary : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void summaryRows_data();
    void summaryRows();
    void rateTable_data();
    void rateTable();
    void boundaryDays_data();
    void boundaryDays();
    void workbookAndCsv();

private:
    QList<SupplierRecord> suppliers();
};

void tst_TaxSummary::init() {
    DataFileTest::init();
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"登録途中"_s}));
    QVERIFY(addSupplier({.masterID = 2, .shortName = u"未登録"_s}));
    QVERIFY(addSupplier({.masterID = 3, .shortName = u"旧税率"_s}));
    QVERIFY(addSupplier({.masterID = 4, .shortName = u"無効"_s, .valid = false}));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strInvoiceNo='T7000012050002',"
                                 " datInvoiceFrom='2026-05-01' WHERE lngMasterID IN (1, 4)"_s));
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable,"
                                 " blnReduced) VALUES ('食品', 1, 1, 1), ('雑貨', 2, 1, 0)"_s));
    // The new line's number, or -1.
    const auto line = [](int k, int id, QDate d, double c, QString cls = {}, QString item = {}) {
        return addLine(
            {.kind = k, .masterID = id, .date = d, .item = item, .class1 = cls, .cost = c});
    };
    QVERIFY(line(1, 1, {2026, 4, 10}, 10000, u"雑貨"_s) > 0);
    QVERIFY(line(1, 1, {2026, 5, 10}, 20000) > 0);
    QVERIFY(line(1, 1, {2026, 5, 20}, 3000, {}, u"5月分消費税"_s) > 0);
    QVERIFY(line(1, 2, {2026, 9, 30}, 1005) > 0);
    QVERIFY(line(1, 2, {2026, 10, 1}, 1005) > 0);
    QVERIFY(line(1, 2, {2026, 10, 5}, 1005) > 0);
    QVERIFY(line(1, 2, {2026, 10, 2}, 2003, u"食品"_s) > 0);
    QVERIFY(line(1, 2, {2029, 10, 1}, 1000) > 0);
    QVERIFY(line(1, 3, {2019, 9, 30}, 1000) > 0);
    QVERIFY(line(1, 3, {2019, 9, 30}, 1000, u"食品"_s) > 0);
    QVERIFY(line(1, 3, {2019, 10, 1}, 1000) > 0);
    QVERIFY(line(1, 3, {2019, 10, 1}, 1000, u"食品"_s) > 0);
    QVERIFY(line(1, 4, {2026, 6, 1}, 50000) > 0);
    QVERIFY(line(2, 1, {2026, 6, 1}, 10000) > 0);
    QVERIFY(line(2, 1, {2026, 6, 1}, 5005, u"食品"_s) > 0);
    QVERIFY(addLine({.masterID = 1, .date = {2026, 6, 1}, .payment = 9999}) > 0);
}

QList<SupplierRecord> tst_TaxSummary::suppliers() {
    QList<SupplierRecord> list;
    return gGetReportSuppliers(list) ? list : QList<SupplierRecord>();
}

void tst_TaxSummary::summaryRows_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("row"); // index in the summary; -1 the total row
    QTest::addColumn<QString>("cells");
    QTest::addColumn<bool>("inclusive");
    QTest::newRow("registered mid-range; tax line apart")
        << 1 << 0
        << u"1|登録途中|T7000012050002|未登録／2026/05/01 から登録|30000|0|3000|3000|2800"_s
        << false;
    QTest::newRow("80 % then 50 %, reduced, none after 2029/09/30")
        << 1 << 1 << u"2|未登録||未登録|4015|2003|561|0|260"_s << false;
    QTest::newRow("2019/09/30 and 2019/10/01")
        << 1 << 2 << u"3|旧税率||未登録|3000|1000|340|0|340"_s << false;
    QTest::newRow("total; the invalid supplier absent")
        << 1 << -1 << u"|合計|||37015|3003|3901|3000|3400"_s << false;
    QTest::newRow("sales: output tax by rate, no registration columns")
        << 2 << 0 << u"1|登録途中|10000|5005|1400|0|1000|400"_s << false;
    // 税込: 80 % 1 005: 91 (91.36), deductible 73 (73.09); 50 % 2 010: 182 (182.73), 91
    // (91.36); 食品 50 % 2 003: 148 (148.37), 74 (74.19); none 1 000: 90 (90.91), 0.
    QTest::newRow("inclusive: tax = amount × rate ÷ (100 + rate)")
        << 1 << 1 << u"2|未登録||未登録|4015|2003|511|0|238"_s << true;
}

void tst_TaxSummary::summaryRows() {
    QFETCH(int, kind);
    QFETCH(int, row);
    QFETCH(QString, cells);
    QFETCH(bool, inclusive);
    TaxSummary s;
    QVERIFY(gCalcTaxSummary(gdbData(), suppliers(), {2019, 9, 1}, {2030, 12, 31}, kind, s,
                            inclusive ? TaxEntry::Inclusive : TaxEntry::Exclusive));
    QCOMPARE(s.rows.size(), kind == 1 ? 3 : 1);
    QCOMPARE(gTaxSummaryCells(row < 0 ? s.total : s.rows.at(row), kind).join(u'|'), cells);
}

// The rate table of the same lines, by hand. Purchase groups (amounts as entered):
//   標準 10 % 100 %: 20 000 (1, registered) + 1 000 (3, 2019/10/01) = 21 000
//            80 %: 10 000 (1, before its registration) + 1 005 (2026/09/30) = 11 005
//            50 %: 1 005 + 1 005 (2026/10/01, 10/05) = 2 010;  0 %: 1 000 (2029/10/01)
//   軽減 8 % 100 %: 1 000 (2019/10/01);  50 %: 2 003 (2026/10/02)
//   旧税率 8 % (6.3 + 1.7) 100 %: 2 000 (2019/09/30, 食品 included: no reduced rate yet)
// 税抜: tax = a × r / 100, national = a × n / 100, each cut; local = tax − national;
//   11 005: 1 100 (1 100.5), 858 (858.39); deductible 880 (880.4), 686 (686.71)
//   2 003 at 8 %: 160 (160.24), 124 (124.99); deductible 80 (80.12), 62 (62.49)
// 税込: tax = a × r / (100 + r): 21 000: 1 909 (1 909.09), 1 489 (1 489.09); 2 003 at 8 %:
//   148 (148.37), 115 (115.73), deductible 74 (74.19), 57 (57.86); 2 000 at old 8 %: 148
//   (148.15), 116 (116.67); net = a − tax.
void tst_TaxSummary::rateTable_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("inclusive");
    QTest::addColumn<int>("row"); // -1 the total row
    QTest::addColumn<QString>("cells");
    const QString std10 = u"標準税率|10%|7.8%|2.2%|"_s, red8 = u"軽減税率|8%|6.24%|1.76%|"_s;
    QTest::newRow("registered mid-range, 2019/10/01")
        << 1 << false << 0 << std10 + u"100%|21000|23100|2100|1638|462|2100|1638|462"_s;
    QTest::newRow("2026/09/30: 80 %")
        << 1 << false << 1 << std10 + u"80%|11005|12105|1100|858|242|880|686|194"_s;
    QTest::newRow("2026/10/01: 50 %")
        << 1 << false << 2 << std10 + u"50%|2010|2211|201|156|45|100|78|22"_s;
    QTest::newRow("reduced 50 %") << 1 << false << 5
                                  << red8 + u"50%|2003|2163|160|124|36|80|62|18"_s;
    QTest::newRow("2019/09/30: old 8 %")
        << 1 << false << 6 << u"旧税率|8%|6.3%|1.7%|100%|2000|2160|160|126|34|160|126|34"_s;
    QTest::newRow("total") << 1 << false << -1
                           << u"合計|||||40018|43919|3901|3042|859|3400|2652|748"_s;
    QTest::newRow("inclusive 100 %")
        << 1 << true << 0 << std10 + u"100%|19091|21000|1909|1489|420|1909|1489|420"_s;
    QTest::newRow("inclusive reduced 50 %")
        << 1 << true << 5 << red8 + u"50%|1855|2003|148|115|33|74|57|17"_s;
    QTest::newRow("inclusive old 8 %")
        << 1 << true << 6 << u"旧税率|8%|6.3%|1.7%|100%|1852|2000|148|116|32|148|116|32"_s;
    QTest::newRow("inclusive total")
        << 1 << true << -1 << u"合計|||||36467|40018|3551|2769|782|3096|2414|682"_s;
    // Sales: 10 000 at 10 %, 5 005 食品 at 8 %: 400 (400.4), national 312 (312.31).
    QTest::newRow("sales: no share") << 2 << false << 1 << red8 + u"5005|5405|400|312|88"_s;
}

void tst_TaxSummary::rateTable() {
    QFETCH(int, kind);
    QFETCH(bool, inclusive);
    QFETCH(int, row);
    QFETCH(QString, cells);
    TaxSummary s;
    QVERIFY(gCalcTaxSummary(gdbData(), suppliers(), {2019, 9, 1}, {2030, 12, 31}, kind, s,
                            inclusive ? TaxEntry::Inclusive : TaxEntry::Exclusive));
    QCOMPARE(s.rateRows.size(), kind == 1 ? 7 : 2);
    QCOMPARE(gTaxRateShareCells(row < 0 ? s.rateTotal : s.rateRows.at(row), kind).join(u'|'),
             cells);
}

// A line dated exactly on a supplier's registration date and on a rate change day, against the
// line of the day before, in both ledgers. Supplier 5 is registered from 2031/03/01, when a
// rate row of 12 % and 9 % (reduced) begins; before it 10 % and 8 %, no share when unregistered.
//   purchase 2031/02/28 1 000: tax 100, deductible 0; 2031/03/01 1 000: tax 120, deductible 120
//   sales    2031/02/28 1 000 食品: 80;                2031/03/01 1 000 食品: 90
void tst_TaxSummary::boundaryDays_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cells");
    QTest::newRow("purchase: registered and new rate on the day itself")
        << 1 << u"5|当日登録|T7000012050002|未登録／2031/03/01 から登録|2000|0|220|0|120"_s;
    QTest::newRow("sales: new reduced rate on the day itself")
        << 2 << u"5|当日登録|0|2000|170|0|0|170"_s;
}

void tst_TaxSummary::boundaryDays() {
    QFETCH(int, kind);
    QFETCH(QString, cells);
    QVERIFY(addSupplier({.masterID = 5, .shortName = u"当日登録"_s}));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strInvoiceNo='T7000012050002',"
                                 " datInvoiceFrom='2031-03-01' WHERE lngMasterID=5"_s));
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_TAX_RATE (datFrom, curStandard, curReduced)"
                                 " VALUES ('2031-03-01', 120000, 90000)"_s));
    const QString cls = kind == 1 ? QString() : u"食品"_s;
    for (const QDate d : {QDate(2031, 2, 28), QDate(2031, 3, 1)})
        QVERIFY(addLine({.kind = kind, .masterID = 5, .date = d, .class1 = cls, .cost = 1000}) > 0);
    TaxSummary s;
    QVERIFY(gCalcTaxSummary(gdbData(), suppliers(), {2031, 1, 1}, {2031, 12, 31}, kind, s));
    QCOMPARE(s.rows.size(), 1);
    QCOMPARE(gTaxSummaryCells(s.rows.at(0), kind).join(u'|'), cells);
}

// The files of a run: the shop's name and the day made in the title area, the rate sheet, and the
// entry setting followed (sales 税込: 10 000 → 909 (909.09), national 709 (709.09); 5 005 食品 →
// 370 (370.74), national 289 (289.18)).
void tst_TaxSummary::workbookAndCsv() {
    QVERIFY(gSetSystemStrField(SettingNo::ShopName, u"山田商店"_s));
    QTemporaryDir out;
    TaxSummaryParams p;
    p.startText = u"2019/09/01"_s;
    p.endText = u"2030/12/31"_s;
    p.suppliers = suppliers();
    p.outputFolder = out.path();
    QString saved;
    QCOMPARE(gPrintTaxSummary(p, {}, &saved), TaxSummaryOutcome::Written);
    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), QStringList({kTaxSummarySheet, kTaxRateSheet}));
    const Worksheet* sheet = book.sheet(kTaxSummarySheet);
    QVERIFY(sheet);
    QCOMPARE(reporttest::cellText(sheet, 2, 2), u"消費税集計表　山田商店"_s);
    QCOMPARE(reporttest::cellText(sheet, 4, 2),
             u"作成日 "_s + m_svc.clock->fixed.date().toString(u"yyyy/MM/dd"_s));
    QCOMPARE(reporttest::rowText(sheet, 5, 2, 10),
             u"番号|仕入先|登録番号|登録状況|標準税率対象額|軽減税率対象額|計算税額|"
             "記載税額（消費税伝票）|控除対象仕入税額"_s);
    QCOMPARE(reporttest::rowText(sheet, 9, 2, 10), u"|合計|||37015|3003|3901|3000|3400"_s);
    QCOMPARE(sheet->format(9, 10).numberFormat, u"#,##0"_s);
    QVERIFY(reporttest::cellText(sheet, 11, 2).startsWith(u"金額は税抜"_s));
    const Worksheet* rates = book.sheet(kTaxRateSheet);
    QVERIFY(rates);
    QCOMPARE(reporttest::rowText(rates, 13, 2, 14),
             u"合計|||||40018|43919|3901|3042|859|3400|2652|748"_s);

    QVERIFY(gSetSystemLngField(SettingNo::TaxEntry, 1));
    p.csv = true;
    p.kind = 2;
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    QCOMPARE(gPrintTaxSummary(p, {}, &saved), TaxSummaryOutcome::Written);
    QVERIFY(saved.endsWith(u"消費税集計表.csv"_s));
    const QByteArray csv = readBytes(saved);
    QVERIFY(csv.startsWith("\xEF\xBB\xBF\"番号\",\"仕入先\",\"標準税率対象額（税込）\","));
    QVERIFY(csv.endsWith(
        QString(u"\"\",\"合計\",\"10000\",\"5005\",\"1279\",\"0\",\"909\",\"370\"\r\n"_s)
            .toUtf8()));
    const QString ratePath = saved.chopped(4) + u"（税率別）.csv"_s;
    const QByteArray rateCsv = readBytes(ratePath);
    QVERIFY(rateCsv.endsWith(
        QString(u"\"合計\",\"\",\"\",\"\",\"13726\",\"15005\",\"1279\",\"998\",\"281\"\r\n"_s)
            .toUtf8()));
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

QTEST_GUILESS_MAIN(tst_TaxSummary)
#include "tst_TaxSummary.moc"
