#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "reports/ExcelLayer.h"
#include "reports/SupplierList.h"
#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
// Supplier 26's first line is 21 + 100 bytes wide: cut to 102 bytes (21 + 81) and "…".
const QString kLine26 = u"[26]  最終商会 経理課"_s + QString(81, u'x') + u"…"_s;
} // namespace

// Golden cells of both supplier lists written from data/supplier_list.sql.
class tst_SupplierList : public DataFileTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void addressListCells_data();
    void addressListCells();
    void balanceListCells_data();
    void balanceListCells();
    void balanceListNamesItsLedger_data();
    void balanceListNamesItsLedger();
    void listsFollowSettingOrder();
    void addressListPagesForManySuppliers();
    void unreadableLedger_takesTheFailurePath();

private:
    QString runList(bool carry, int kind = 1);
    std::unique_ptr<QTemporaryDir> m_out;
    int m_lastMaximum = -1;
    Workbook m_address, m_balance; // the two lists of the fixture, written once
};

QString tst_SupplierList::runList(bool carry, int kind) {
    QList<SupplierRecord> suppliers;
    if (!gGetReportSuppliers(suppliers))
        return {};
    ExcelReportRun run(carry ? u"frmPrint_mPrintMaster_Carry"_s : u"frmPrint_mPrintMaster"_s,
                       kExcelFileReportFailed);
    run.setCallbacks({{}, [this](int, int maximum) { m_lastMaximum = maximum; }, {}});
    run.setOutputFolder(m_out->path());
    const bool ok = carry ? mPrintMaster_Carry(run, suppliers, QDate(2024, 3, 20), kind)
                          : mPrintMaster(run, suppliers);
    return ok ? run.savedPath() : QString();
}

void tst_SupplierList::initTestCase() {
    DataFileTest::init();
    QVERIFY(reporttest::loadSupplierList());
    m_out = std::make_unique<QTemporaryDir>();
    const QString address = runList(false);
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    const QString balance = runList(true);
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(m_address.open(address) && m_balance.open(balance));
    QVERIFY(address.endsWith(u"　仕入先表.xlsx"_s) && balance.endsWith(u"　仕入先表_仕入.xlsx"_s));
    // What Excel would repair or refuse, checked without the workbook module. Neither list
    // keeps the template sheet; each opens on its first sheet.
    XlsxPackage a, b;
    QVERIFY(a.load(address) && b.load(balance));
    QCOMPARE(a.problems() + b.problems(), QStringList());
    QCOMPARE(a.activeTab() * 10 + b.activeTab(), 0);
    QCOMPARE(m_address.sheetNames() + m_balance.sheetNames(),
             (QStringList{u"1"_s, u"2"_s, u"page1"_s}));
    DataFileTest::cleanup();
}

void tst_SupplierList::init() {
    DataFileTest::init();
    QVERIFY(reporttest::loadSupplierList());
    m_out = std::make_unique<QTemporaryDir>();
    glngDataKind = 0;
}

void tst_SupplierList::addressListCells_data() {
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected"); // a null string: the cell is empty
    const QString p1 = u"1"_s, p2 = u"2"_s;
    QTest::newRow("title") << p1 << 2 << u"仕入先名簿"_s;
    QTest::newRow("1 name") << p1 << 4 << u"[1]  アルファ商事株式会社 営業部"_s;
    QTest::newRow("1 contacts") << p1 << 5 << u"山田 太郎 課長  佐藤 花子 担当"_s;
    QTest::newRow("1 accounts")
        << p1 << 8 << u"  みずほ銀行 本店 普通 1234567  　ゆうちょ銀行 00100-1-123456  "_s;
    QTest::newRow("gap after 1") << p1 << 10 << QString();
    QTest::newRow("2 one line, spaces") << p1 << 11 << u"[2]  仕入先02   "_s;
    QTest::newRow("2 blank parts left out") << p1 << 12 << QString();
    QTest::newRow("24") << p1 << 55 << u"[24]  仕入先24 "_s;
    QTest::newRow("25 starts on 57") << p1 << 57 << u"[25]  ユニオン物産 "_s;
    QTest::newRow("25 account 2 only") << p1 << 59 << u" 　三井住友銀行 梅田支店"_s;
    QTest::newRow("nothing after 25") << p1 << 60 << QString();
    QTest::newRow("26 on page 2, too wide: cut visibly") << p2 << 4 << kLine26;
    QTest::newRow("26 registration number")
        << p2 << 5 << u"登録番号 T1180301018771（2023/10/01 から）"_s;
    QTest::newRow("26 memo, a row per line") << p2 << 8 << u"二行目"_s;
    QTest::newRow("end") << p2 << 9 << QString();
}

void tst_SupplierList::addressListCells() {
    QFETCH(QString, sheet);
    QFETCH(int, row);
    QFETCH(QString, expected);
    const Worksheet* s = m_address.sheet(sheet);
    QVERIFY(s);
    QCOMPARE(s->value(row, kAddressListColumn),
             expected.isNull() ? QVariant() : QVariant(expected));
    // Nothing is written outside column B; the invalid supplier is absent.
    QCOMPARE(reporttest::cellText(s, row, 1) + reporttest::cellText(s, row, 3), QString());
}

void tst_SupplierList::balanceListCells_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("cells"); // B to H
    QTest::newRow("title") << 2 << u"|2024/03/20 時点仕入先名簿（仕入帳）|||||"_s;
    QTest::newRow("headings") << 4 << u"|仕入先|残高||振込先１|振込先２|登録番号"_s;
    QTest::newRow("1: carry, amounts, tax, payment, the day itself")
        << 5 << u"1|アルファ|13500||みずほ銀行 本店 普通 1234567|ゆうちょ銀行 00100-1-123456|"_s;
    QTest::newRow("3: paid off") << 7 << u"3|先03|0||||"_s;
    QTest::newRow("25: old line, negative carry")
        << 29 << u"25|ユニオン|1234067|||三井住友銀行 梅田支店|"_s;
    QTest::newRow("26: last, registered; the invalid supplier is absent")
        << 30 << u"26|最終|0||||T1180301018771"_s;
    QTest::newRow("nothing after") << 31 << u"||||||"_s;
}

void tst_SupplierList::balanceListCells() {
    QFETCH(int, row);
    QFETCH(QString, cells);
    const Worksheet* s = m_balance.sheet(u"page1"_s);
    QCOMPARE(reporttest::rowText(s, row, 2, 8), cells);
    if (row >= 5 && row <= 30) {
        QCOMPARE(s->value(row, 4).typeId(), QMetaType::Double);
        QCOMPARE(s->format(row, 4).numberFormat, u"#,##0"_s);
    }
    // The print titles of the template stay with the renamed sheet.
    QCOMPARE(m_balance.definedNames().value(0).formula, u"'page1'!$1:$4"_s);
}

void tst_SupplierList::balanceListNamesItsLedger_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("balance"); // supplier 1
    QTest::newRow("no ledger opened yet: purchase") << 0 << u"仕入"_s << u"13500"_s;
    QTest::newRow("sales: opening 700 + 800") << 2 << u"売上"_s << u"1500"_s;
}

void tst_SupplierList::balanceListNamesItsLedger() {
    QFETCH(int, kind);
    QFETCH(QString, word);
    QFETCH(QString, balance);
    const QString path = runList(true, kind);
    QVERIFY2(path.endsWith(u"　仕入先表_"_s + word + u".xlsx"_s), qPrintable(path));
    Workbook book;
    QVERIFY(book.open(path));
    QCOMPARE(reporttest::rowText(book.sheet(u"page1"_s), 2, 3, 3),
             u"2024/03/20 時点仕入先名簿（"_s + word + u"帳）"_s);
    QCOMPARE(reporttest::rowText(book.sheet(u"page1"_s), 5, 4, 4), balance);
}

void tst_SupplierList::listsFollowSettingOrder() {
    // Setting 9 = 1: reading, then short name (アルファ, サイシュウ, シイレサキ02, …).
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, 1)"_s));
    Workbook book;
    QVERIFY(book.open(runList(true)));
    QCOMPARE(reporttest::rowText(book.sheet(0), 5, 2, 2) +
                 reporttest::rowText(book.sheet(0), 6, 2, 2) +
                 reporttest::rowText(book.sheet(0), 30, 2, 2),
             u"12625"_s);
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    QVERIFY(book.open(runList(false)));
    QCOMPARE(book.sheet(u"1"_s)->value(11, 2).toString(), kLine26);
}

void tst_SupplierList::addressListPagesForManySuppliers() {
    // 150 one-line suppliers: 27 blocks fit rows 4 to 56 of a page, so 6 pages.
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_MASTER"_s));
    for (int i = 1; i <= 150; ++i)
        QVERIFY(addSupplier({.masterID = i, .shortName = u"店%1"_s.arg(i)}));
    Workbook book;
    QVERIFY(book.open(runList(false)));
    QCOMPARE(m_lastMaximum, 150);
    QCOMPARE(book.sheetCount(), 6);
    QCOMPARE(book.sheet(u"1"_s)->value(56, 2).toString(), u"[27]  店27株式会社 "_s);
    QCOMPARE(book.sheet(u"2"_s)->value(4, 2).toString(), u"[28]  店28株式会社 "_s);
    QCOMPARE(book.sheet(u"6"_s)->lastRow(), 32);
}

void tst_SupplierList::unreadableLedger_takesTheFailurePath() {
    QVERIFY(gdbData().executeSQL(u"DROP TABLE T_DATA1"_s));
    QVERIFY(runList(true).isEmpty());
    QCOMPARE(m_svc.prompt->texts(), QStringList{kExcelFileReportFailed});
    QVERIFY(m_folder->errorLogProcedures().contains(u"frmPrint_mPrintMaster_Carry"_s));
    QVERIFY(reporttest::folderEntries(m_out->path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_SupplierList)
#include "tst_SupplierList.moc"
