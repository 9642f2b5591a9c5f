#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "reports/Journal.h"
#include "reports/SupplierList.h"
#include "store/Database.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The journal entries of 2023/09/01 to 2026/12/31, class 1 the tax class with "食品" marked
// reduced; the expected files in data/ are written by hand:
//   1 登録済, T7000012050002 from 2023/10/01: 鉢 5 000 and its tax line 500 on 2023/10/01,
//     a payment 5 500 on 2023/10/31; sales 8 000 on 2026/10/01, received 2026/10/15
//   2 未登録: 1 000 on 2023/09/30 (before the invoice system), 2 000 on 2023/10/01 (80 %),
//     a return of 300 on 2023/10/02, 3 000.75 on 2026/09/30 (80 %, cut to 3 000), 4 000 and
//     540 食品 on 2026/10/01 (50 %, the second at 8 % reduced); 999 on 2023/08/31 is outside
//   3 無効 (not valid): absent
// and an item of 33 full-width characters on 2023/09/30, cut to 32 in the Yayoi file.
class tst_Journal : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void file_data();
    void file();
    void yayoiRefusesACharacter();
};

void tst_Journal::init() {
    DataFileTest::init();
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"登録済"_s}));
    QVERIFY(addSupplier({.masterID = 2, .shortName = u"未登録"_s}));
    QVERIFY(addSupplier({.masterID = 3, .shortName = u"無効"_s, .valid = false}));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strInvoiceNo='T7000012050002',"
                                 " datInvoiceFrom='2023-10-01' WHERE lngMasterID IN (1, 3)"_s));
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable,"
                                 " blnReduced) VALUES ('食品', 1, 1, 1)"_s));
    const LineRow rows[] = {
        {.masterID = 1, .date = {2023, 10, 1}, .item = u"鉢"_s, .cost = 5000, .note = u"伝票12"_s},
        {.masterID = 1, .date = {2023, 10, 1}, .item = u"10月分消費税"_s, .cost = 500},
        {.masterID = 1, .date = {2023, 10, 31}, .payment = 5500},
        {.kind = 2, .masterID = 1, .date = {2026, 10, 1}, .item = u"苗"_s, .cost = 8000},
        {.kind = 2, .masterID = 1, .date = {2026, 10, 15}, .payment = 8000},
        {.masterID = 2, .date = {2023, 8, 31}, .item = u"苗"_s, .cost = 999},
        {.masterID = 2, .date = {2023, 9, 30}, .item = u"苗"_s, .cost = 1000},
        {.masterID = 2, .date = {2023, 10, 1}, .item = u"肥料"_s, .cost = 2000},
        {.masterID = 2, .date = {2023, 10, 2}, .item = u"返品"_s, .cost = -300},
        {.masterID = 2, .date = {2026, 9, 30}, .item = u"苗"_s, .cost = 3000.75},
        {.masterID = 2, .date = {2026, 10, 1}, .item = u"肥料"_s, .cost = 4000},
        {.masterID = 2, .date = {2026, 10, 1}, .item = u"種芋"_s, .class1 = u"食品"_s, .cost = 540},
        {.masterID = 3, .date = {2024, 1, 1}, .item = u"苗"_s, .cost = 7000},
        // 66 bytes of code page 932: the Yayoi file keeps the first 64.
        {.masterID = 2,
         .date = {2023, 9, 30},
         .item = u"あ"_s.repeated(31) + u"いう"_s,
         .cost = 100},
    };
    for (const LineRow& r : rows)
        QVERIFY(addLine(r) > 0);
}

void tst_Journal::file_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("yayoi, code page 932")
        << int(JournalFormat::Yayoi) << u"journal_yayoi.csv"_s << kCsvSuffixJournalYayoi;
    QTest::newRow("generic, UTF-8")
        << int(JournalFormat::Generic) << u"journal_generic.csv"_s << kCsvSuffixJournalGeneric;
}

void tst_Journal::file() {
    QFETCH(int, format);
    QFETCH(QString, expected);
    QFETCH(QString, suffix);
    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    QTemporaryDir out;
    JournalParams p;
    p.startText = u"2023/09/01"_s;
    p.endText = u"2026/12/31"_s;
    p.format = JournalFormat(format);
    p.suppliers = suppliers;
    p.outputFolder = out.path();
    QString saved;
    QCOMPARE(gMakeJournal(gdbData(), p, &saved), JournalOutcome::Written);
    QVERIFY(saved.endsWith(suffix));
    QCOMPARE(readBytes(saved), readBytes(QStringLiteral(TOVAKI_REPORTS_TEST_DATA "/") + expected));
}

// A character code page 932 does not hold: no file, the entry named; the generic file takes it.
void tst_Journal::yayoiRefusesACharacter() {
    QVERIFY(addLine({.masterID = 2, .date = {2024, 1, 5}, .item = u"café"_s, .cost = 100}) > 0);
    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    QTemporaryDir out;
    JournalParams p{u"2024/01/05"_s, u"2024/01/05"_s, JournalFormat::Yayoi, suppliers, out.path()};
    QCOMPARE(gMakeJournal(gdbData(), p), JournalOutcome::Failed);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{kCsvFileReportFailed +
                         u"\r\n\r\n2024/01/05 の仕訳の「é」は Shift_JIS で書けません。"_s});
    p.format = JournalFormat::Generic;
    QCOMPARE(gMakeJournal(gdbData(), p), JournalOutcome::Written);
}

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_Journal.moc"
