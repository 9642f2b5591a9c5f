#include "SupplierListFixture.h"
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

const QString kSheetTemplate = u"雛型"_s;

// What a run told its window about the busy state, in order.
struct RunRecord {
    QList<bool> busy;
    int lastProgress = -1;
    int lastMaximum = -1;
};

ExcelReportRun::Callbacks recordingCallbacks(RunRecord& record) {
    ExcelReportRun::Callbacks c;
    c.setBusy = [&record](bool busy) { record.busy << busy; };
    c.progress = [&record](int value, int maximum) {
        record.lastProgress = value;
        record.lastMaximum = maximum;
    };
    return c;
}

// Every text of a workbook's sheets, for absence checks.
QStringList allTexts(Workbook& book) {
    QStringList texts;
    for (int i = 0; i < book.sheetCount(); ++i) {
        Worksheet* s = book.sheet(i);
        for (int r = 1; r <= s->lastRow(); ++r)
            for (int c = 1; c <= s->lastColumn(); ++c)
                texts << s->value(r, c).toString();
    }
    return texts;
}

} // namespace

class tst_SupplierList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordSourceHoldsValidSuppliersInSettingOrder_data();
    void recordSourceHoldsValidSuppliersInSettingOrder();
    void addressLinesLeaveOutBlankParts_data();
    void addressLinesLeaveOutBlankParts();
    void savedPackagesAreSound_data();
    void savedPackagesAreSound();
    void addressListCells_data();
    void addressListCells();
    void addressListSheetsAndInvalidSupplier();
    void balanceListCells_data();
    void balanceListCells();
    void balanceListSheetAndFormats();
    void balanceListFollowsLedgerKind_data();
    void balanceListFollowsLedgerKind();
    void listsFollowSettingOrder_data();
    void listsFollowSettingOrder();
    void addressListPagesForManySuppliers();
    void failurePathLeavesNoFile_data();
    void failurePathLeavesNoFile();

private:
    QString runList(bool carry, int kind = 1, const QDate& asOf = QDate(2024, 3, 20));
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    TestServices m_svc{};
    RunRecord m_record;
    // The two lists of the fixture, written once.
    QTemporaryDir m_golden;
    QString m_addressPath;
    QString m_balancePath;
};

QString tst_SupplierList::runList(bool carry, int kind, const QDate& asOf) {
    QList<SupplierRecord> suppliers;
    if (!gGetReportSuppliers(suppliers))
        return {};
    ExcelReportRun run(carry ? u"frmPrint_mPrintMaster_Carry"_s : u"frmPrint_mPrintMaster"_s,
                       kExcelFileReportFailed);
    run.setCallbacks(recordingCallbacks(m_record));
    run.setOutputFolder(m_out->path());
    const bool ok =
        carry ? mPrintMaster_Carry(run, suppliers, asOf, kind) : mPrintMaster(run, suppliers);
    return ok ? run.savedPath() : QString();
}

void tst_SupplierList::initTestCase() {
    QVERIFY(m_golden.isValid());
    m_svc = TestServices::install();
    TestProgramFolder folder;
    QVERIFY(folder.open());
    QVERIFY(loadSupplierListFixture());
    m_out = std::make_unique<QTemporaryDir>();
    const QString address = runList(false);
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    const QString balance = runList(true);
    QVERIFY(!address.isEmpty());
    QVERIFY(!balance.isEmpty());
    m_addressPath = m_golden.filePath(u"address.xlsx"_s);
    m_balancePath = m_golden.filePath(u"balance.xlsx"_s);
    QVERIFY(QFile::copy(address, m_addressPath));
    QVERIFY(QFile::copy(balance, m_balancePath));
    QCOMPARE(folder.errorLogEntries(), 0);
}

void tst_SupplierList::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QVERIFY(loadSupplierListFixture());
    m_out = std::make_unique<QTemporaryDir>();
    m_record = {};
    glngDataKind = 0;
}

void tst_SupplierList::cleanup() {
    m_folder.reset();
    m_out.reset();
}

void tst_SupplierList::recordSourceHoldsValidSuppliersInSettingOrder_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("numbers") << 0 << QList<int>{1, 2, 3} << 26;
    // アルファ, サイシュウ, シイレサキ02..24, ユニオン
    QTest::newRow("reading") << 1 << QList<int>{1, 26, 2} << 25;
}

void tst_SupplierList::recordSourceHoldsValidSuppliersInSettingOrder() {
    QFETCH(int, order);
    QFETCH(QList<int>, first);
    QFETCH(int, last);
    QVERIFY(setSupplierOrder(order));
    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    QCOMPARE(suppliers.size(), 26);
    for (int i = 0; i < first.size(); ++i)
        QCOMPARE(suppliers.at(i).lngSupplier, first.at(i));
    QCOMPARE(suppliers.last().lngSupplier, last);
    for (const SupplierRecord& s : suppliers)
        QVERIFY(s.lngSupplier != 30);
    QCOMPARE(suppliers.first().strBankAccount1, u"  みずほ銀行 本店 普通 1234567 "_s);
    QCOMPARE(suppliers.first().lngMasterID, 1);
}

void tst_SupplierList::addressLinesLeaveOutBlankParts_data() {
    QTest::addColumn<QString>("contact1");
    QTest::addColumn<QString>("address1");
    QTest::addColumn<QString>("account2");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("nothing") << QString() << QString() << QString() << QString()
                             << QStringList{u"[7]  七商店 "_s};
    QTest::newRow("only spaces") << u"  "_s << u"　"_s << u" 　 "_s << u"　　"_s
                                 << QStringList{u"[7]  七商店 "_s};
    QTest::newRow("contact") << u"田中"_s << QString() << QString() << QString()
                             << QStringList{u"[7]  七商店 "_s, u"田中    "_s};
    QTest::newRow("address without code") << QString() << u"京都市"_s << QString() << QString()
                                          << QStringList{u"[7]  七商店 "_s, u" 京都市"_s};
    QTest::newRow("second account") << QString() << QString() << u"口座2"_s << QString()
                                    << QStringList{u"[7]  七商店 "_s, u" 　口座2"_s};
    QTest::newRow("memo") << QString() << QString() << QString() << u"メモ"_s
                          << QStringList{u"[7]  七商店 "_s, u"メモ"_s};
}

void tst_SupplierList::addressLinesLeaveOutBlankParts() {
    QFETCH(QString, contact1);
    QFETCH(QString, address1);
    QFETCH(QString, account2);
    QFETCH(QString, notes);
    QFETCH(QStringList, expected);
    SupplierRecord s;
    s.lngSupplier = 7;
    s.strSupplierName = u"七商店"_s;
    s.strChargePerson1 = contact1;
    s.strAddress1 = address1;
    s.strBankAccount2 = account2;
    s.strNotes = notes;
    QCOMPARE(gSupplierAddressLines(s), expected);
}

void tst_SupplierList::savedPackagesAreSound_data() {
    QTest::addColumn<bool>("balance");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<int>("activeTab");
    QTest::newRow("address list") << false << QStringList{kSheetTemplate, u"1"_s, u"2"_s} << 1;
    QTest::newRow("balance list") << true << QStringList{u"page1"_s} << 0;
}

// What Excel would repair or refuse, checked without the workbook module.
void tst_SupplierList::savedPackagesAreSound() {
    QFETCH(bool, balance);
    QFETCH(QStringList, sheets);
    QFETCH(int, activeTab);
    XlsxPackage pkg;
    QVERIFY2(pkg.load(balance ? m_balancePath : m_addressPath), qPrintable(pkg.error()));
    QVERIFY2(pkg.problems().isEmpty(), qPrintable(pkg.problems().join(u'\n')));
    QVERIFY(pkg.allDeflated());
    QCOMPARE(pkg.sheetNames(), sheets);
    QCOMPARE(pkg.activeTab(), activeTab);
    const QByteArray workbook = pkg.part(pkg.workbookPart());
    QCOMPARE(workbook.count("state=\"hidden\""), balance ? 0 : 1);
}

void tst_SupplierList::addressListCells_data() {
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected"); // a null string: the cell is empty

    const QString page1 = u"1"_s;
    QTest::newRow("title") << page1 << 2 << u"仕入先名簿"_s;
    QTest::newRow("row 3 empty") << page1 << 3 << QString();
    QTest::newRow("1 name") << page1 << 4 << u"[1]  アルファ商事株式会社 営業部"_s;
    QTest::newRow("1 contacts") << page1 << 5 << u"山田 太郎 課長  佐藤 花子 担当"_s;
    QTest::newRow("1 address 1") << page1 << 6 << u"100-0001 東京都千代田区千代田1-1"_s;
    QTest::newRow("1 address 2") << page1 << 7 << u"530-0001 大阪府大阪市北区梅田2-2"_s;
    QTest::newRow("1 accounts")
        << page1 << 8 << u"  みずほ銀行 本店 普通 1234567  　ゆうちょ銀行 00100-1-123456  "_s;
    QTest::newRow("1 memo") << page1 << 9 << u"毎月20日締め、翌月末払い"_s;
    QTest::newRow("gap after 1") << page1 << 10 << QString();
    QTest::newRow("2 one line, spaces") << page1 << 11 << u"[2]  仕入先02   "_s;
    QTest::newRow("2 empty row") << page1 << 12 << QString();
    QTest::newRow("3 full-width space") << page1 << 13 << u"[3]  仕入先03 　"_s;
    QTest::newRow("4 null") << page1 << 15 << u"[4]  仕入先04 "_s;
    QTest::newRow("5 empty") << page1 << 17 << u"[5]  仕入先05 "_s;
    QTest::newRow("24") << page1 << 55 << u"[24]  仕入先24 "_s;
    QTest::newRow("gap after 24") << page1 << 56 << QString();
    QTest::newRow("25 starts on 57") << page1 << 57 << u"[25]  ユニオン物産 "_s;
    QTest::newRow("25 contact 2 only") << page1 << 58 << u"   鈴木 一郎 部長"_s;
    QTest::newRow("25 account 2 only") << page1 << 59 << u" 　三井住友銀行 梅田支店"_s;
    QTest::newRow("nothing after 25") << page1 << 61 << QString();
    const QString page2 = u"2"_s;
    QTest::newRow("page 2 title") << page2 << 2 << u"仕入先名簿"_s;
    QTest::newRow("26 on page 2") << page2 << 4 << u"[26]  最終商会 経理課"_s;
    QTest::newRow("26 address 2") << page2 << 5 << u"060-0001 北海道札幌市中央区北1条西1"_s;
    QTest::newRow("end") << page2 << 6 << QString();
    QTest::newRow("template stays in front") << kSheetTemplate << 4 << QString();
}

void tst_SupplierList::addressListCells() {
    QFETCH(QString, sheet);
    QFETCH(int, row);
    QFETCH(QString, expected);
    Workbook book;
    QVERIFY2(book.open(m_addressPath), qPrintable(book.errorText()));
    Worksheet* s = book.sheet(sheet);
    QVERIFY(s);
    const QVariant v = s->value(row, kAddressListColumn);
    if (expected.isNull()) {
        QVERIFY2(!v.isValid(), qPrintable(v.toString()));
    } else {
        QCOMPARE(v.typeId(), QMetaType::QString);
        QCOMPARE(v.toString(), expected);
    }
    // Nothing is written outside column B.
    QCOMPARE(s->value(row, 1), QVariant());
    QCOMPARE(s->value(row, 3), QVariant());
}

void tst_SupplierList::addressListSheetsAndInvalidSupplier() {
    Workbook book;
    QVERIFY(book.open(m_addressPath));
    QCOMPARE(book.sheetNames(), (QStringList{kSheetTemplate, u"1"_s, u"2"_s}));
    QCOMPARE(book.activeSheet(), 1);
    QVERIFY(book.isSheetHidden(0));
    QVERIFY(!book.isSheetHidden(1));
    QVERIFY(!book.isSheetHidden(2));
    QCOMPARE(book.sheet(u"1"_s)->lastRow(), 59);
    QCOMPARE(book.sheet(u"2"_s)->lastRow(), 5);
    const QStringList texts = allTexts(book);
    for (const QString& t : texts) {
        QVERIFY2(!t.contains(u"無効"_s), qPrintable(t));
        QVERIFY2(!t.contains(u"取引終了"_s), qPrintable(t));
    }
    // The pages keep the template's layout.
    Worksheet* page = book.sheet(u"1"_s);
    QCOMPARE(page->columnWidth(2), book.sheet(kSheetTemplate)->columnWidth(2));
    QVERIFY(page->format(2, 2).bold);
}

void tst_SupplierList::balanceListCells_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<double>("balance");
    QTest::addColumn<QString>("account1");
    QTest::addColumn<QString>("account2");
    QTest::newRow("1: carry, amounts, tax, payment, the day itself")
        << 5 << u"1"_s << u"アルファ"_s << 13500.0 << u"みずほ銀行 本店 普通 1234567"_s
        << u"ゆうちょ銀行 00100-1-123456"_s;
    QTest::newRow("2: no lines") << 6 << u"2"_s << u"先02"_s << 0.0 << QString() << QString();
    QTest::newRow("3: paid off") << 7 << u"3"_s << u"先03"_s << 0.0 << QString() << QString();
    QTest::newRow("25: old line, negative carry")
        << 29 << u"25"_s << u"ユニオン"_s << 1234067.0 << QString() << u"三井住友銀行 梅田支店"_s;
    QTest::newRow("26: last") << 30 << u"26"_s << u"最終"_s << 0.0 << QString() << QString();
}

void tst_SupplierList::balanceListCells() {
    QFETCH(int, row);
    QFETCH(QString, number);
    QFETCH(QString, shortName);
    QFETCH(double, balance);
    QFETCH(QString, account1);
    QFETCH(QString, account2);
    Workbook book;
    QVERIFY(book.open(m_balancePath));
    Worksheet* s = book.sheet(u"page1"_s);
    QVERIFY(s);
    QCOMPARE(s->value(row, 2), QVariant(number));
    QCOMPARE(s->value(row, 3), QVariant(shortName));
    QCOMPARE(s->value(row, 4).typeId(), QMetaType::Double);
    QCOMPARE(s->value(row, 4).toDouble(), balance);
    QCOMPARE(s->format(row, 4).numberFormat, u"#,##0"_s);
    const auto textOrEmpty = [](const QString& t) {
        return t.isEmpty() ? QVariant() : QVariant(t);
    };
    QCOMPARE(s->value(row, 6), textOrEmpty(account1));
    QCOMPARE(s->value(row, 7), textOrEmpty(account2));
    QCOMPARE(s->value(row, 5), QVariant());
}

void tst_SupplierList::balanceListSheetAndFormats() {
    Workbook book;
    QVERIFY(book.open(m_balancePath));
    QCOMPARE(book.sheetNames(), QStringList{u"page1"_s});
    Worksheet* s = book.sheet(0);
    QCOMPARE(s->value(2, 3), QVariant(u"2024/03/20 時点仕入先名簿"_s));
    QCOMPARE(s->value(4, 3), QVariant(u"仕入先"_s));
    QCOMPARE(s->value(4, 4), QVariant(u"残高"_s));
    QCOMPARE(s->value(4, 6), QVariant(u"振込先１"_s));
    QCOMPARE(s->value(4, 7), QVariant(u"振込先２"_s));
    QCOMPARE(s->lastRow(), 30); // 26 valid suppliers from row 5; the invalid one is absent
    for (int row = 5; row <= 30; ++row)
        QVERIFY(s->value(row, 2).toString() != u"30"_s);
    // The print titles of the template stay with the renamed sheet.
    bool titles = false;
    for (const DefinedName& n : book.definedNames()) {
        if (n.name == u"_xlnm.Print_Titles"_s) {
            titles = true;
            QCOMPARE(n.sheet, 0);
            QVERIFY2(n.formula.contains(u"page1"_s), qPrintable(n.formula));
        }
    }
    QVERIFY(titles);
}

void tst_SupplierList::balanceListFollowsLedgerKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("balance");
    QTest::newRow("no ledger opened yet: purchase") << 0 << 13500.0;
    QTest::newRow("purchase") << 1 << 13500.0;
    QTest::newRow("sales") << 2 << 1500.0;
}

void tst_SupplierList::balanceListFollowsLedgerKind() {
    QFETCH(int, kind);
    QFETCH(double, balance);
    const QString path = runList(true, kind);
    QVERIFY(!path.isEmpty());
    Workbook book;
    QVERIFY(book.open(path));
    QCOMPARE(book.sheet(0)->value(5, 4).toDouble(), balance);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_SupplierList::listsFollowSettingOrder_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("numbers"); // balance list rows 5 to 8
    QTest::addColumn<QStringList>("firstLines");
    QTest::newRow("numbers") << 0 << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s}
                             << QStringList{u"[1]  アルファ商事株式会社 営業部"_s,
                                            u"[2]  仕入先02   "_s};
    QTest::newRow("reading") << 1 << QStringList{u"1"_s, u"26"_s, u"2"_s, u"3"_s}
                             << QStringList{u"[1]  アルファ商事株式会社 営業部"_s,
                                            u"[26]  最終商会 経理課"_s};
}

void tst_SupplierList::listsFollowSettingOrder() {
    QFETCH(int, order);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, firstLines);
    QVERIFY(setSupplierOrder(order));
    const QString balance = runList(true);
    QVERIFY(!balance.isEmpty());
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    const QString address = runList(false);
    QVERIFY(!address.isEmpty());

    Workbook book;
    QVERIFY(book.open(balance));
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(book.sheet(0)->value(5 + i, 2).toString(), numbers.at(i));
    QVERIFY(book.open(address));
    QCOMPARE(book.sheet(u"1"_s)->value(4, 2).toString(), firstLines.at(0));
    QCOMPARE(book.sheet(u"1"_s)->value(11, 2).toString(), firstLines.at(1));
}

void tst_SupplierList::addressListPagesForManySuppliers() {
    // 150 one-line suppliers: 27 blocks fit rows 4 to 56 of a page, so 6 pages.
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_MASTER"_s));
    for (int i = 1; i <= 150; ++i)
        QVERIFY(gdbData().executeSQL(
            u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName)"
            " VALUES (?,?,1,?)"_s,
            {i, i, u"店%1"_s.arg(i)}));
    const QString path = runList(false);
    QVERIFY(!path.isEmpty());
    QCOMPARE(m_record.lastProgress, 150);
    QCOMPARE(m_record.lastMaximum, 150);
    Workbook book;
    QVERIFY(book.open(path));
    QCOMPARE(book.sheetNames(),
             (QStringList{kSheetTemplate, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
    QCOMPARE(book.sheet(u"1"_s)->value(56, 2).toString(), u"[27]  店27 "_s);
    QCOMPARE(book.sheet(u"2"_s)->value(4, 2).toString(), u"[28]  店28 "_s);
    QCOMPARE(book.sheet(u"6"_s)->value(4, 2).toString(), u"[136]  店136 "_s);
    QCOMPARE(book.sheet(u"6"_s)->lastRow(), 32);
}

void tst_SupplierList::failurePathLeavesNoFile_data() {
    QTest::addColumn<bool>("carry");
    QTest::addColumn<QString>("damage");
    for (const bool carry : {false, true}) {
        const char* list = carry ? "balance" : "address";
        for (const char* damage :
             {"missing template", "broken template", "missing folder", "folder is a file"})
            QTest::newRow(qPrintable(u"%1, %2"_s.arg(QLatin1String(list), QLatin1String(damage))))
                << carry << QString::fromLatin1(damage);
    }
    QTest::newRow("balance, ledger unreadable") << true << u"ledger unreadable"_s;
}

void tst_SupplierList::failurePathLeavesNoFile() {
    QFETCH(bool, carry);
    QFETCH(QString, damage);
    const QString templateFile =
        gstrExcelFormatPath + (carry ? kExcelTemplateMaster2 : kExcelTemplateMaster);
    QString folder = m_out->path();
    if (damage == u"missing template"_s) {
        QVERIFY(QFile::remove(templateFile));
    } else if (damage == u"broken template"_s) {
        QFile f(templateFile);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("PK\x03\x04 not a workbook");
    } else if (damage == u"missing folder"_s) {
        folder = m_out->filePath(u"desktop"_s);
    } else if (damage == u"folder is a file"_s) {
        folder = m_out->filePath(u"desktop"_s);
        QFile f(folder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(gdbData().executeSQL(u"DROP TABLE T_DATA1"_s));
    }

    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    const QString proc = carry ? u"frmPrint_mPrintMaster_Carry"_s : u"frmPrint_mPrintMaster"_s;
    ExcelReportRun run(proc, kExcelFileReportFailed);
    run.setCallbacks(recordingCallbacks(m_record));
    run.setOutputFolder(folder);
    const bool ok = carry ? mPrintMaster_Carry(run, suppliers, QDate(2024, 3, 20), 1)
                          : mPrintMaster(run, suppliers);
    QVERIFY(!ok);
    QVERIFY(!run.isRunning());
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{
                 u"エクセルファイルが正常に作成されませんでした。管理者に問い合わせてください"_s});
    QCOMPARE(m_svc.prompt->shown.first().style, MsgStyle::OKOnly);
    QVERIFY(m_svc.shell->opened.isEmpty());
    QVERIFY(m_folder->errorLogProcedures().contains(proc));
    QCOMPARE(m_record.busy.last(), false);
    const QStringList left = folderEntries(m_out->path());
    QVERIFY2(left.isEmpty() || left == QStringList{u"desktop"_s}, qPrintable(left.join(u'|')));
}

QTEST_GUILESS_MAIN(tst_SupplierList)
#include "tst_SupplierList.moc"
