#include "TestData.h"
#include "XlsxCheck.h"
#include "app/Globals.h"
#include "reports/Workbook.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct CliResult {
    int code = -1;
    QString out;
    QString err;
};

bool addSupplier(qint32 masterID, qint32 supplier, const QString& shortName, bool valid = true) {
    return gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,strSupplierName,"
        u"strSupplierShortName,strKana,curStartSupplyCarry,curStartSaleCarry,"
        u"strBankAccount1) VALUES (?,?,?,?,?,?,0,0,?)"_s,
        {masterID, supplier, valid, shortName + u"株式会社"_s, shortName, shortName,
         u"みどり銀行 本店 普通 1234567"_s});
}

bool addLine(int kind, qint32 masterID, const QDate& date, const QString& item, double cost) {
    return gdbData().executeSQL(
        u"INSERT INTO T_DATA%1 (lngMasterID,date1,lngSort,strItem,curCost,blnChange)"
        u" VALUES (?,?,0,?,?,0)"_s.arg(kind),
        {masterID, date, item, QVariant::fromValue(Currency::fromDouble(cost))});
}

} // namespace

class tst_ReportCli : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void help_explainsEveryOptionInBothLanguages();
    void ledger_writesThePages();
    void ledger_formAndOptionsOnTheCommandLine();
    void ledger_refusals_data();
    void ledger_refusals();
    void supplierList_writesTheChosenSuppliers();
    void balanceList_asOfADate();
    void profit_writesTheTable();
    void profit_refusals_data();
    void profit_refusals();
    void commandLineErrors_data();
    void commandLineErrors();
    void totalsBeyondTheRange_data();
    void totalsBeyondTheRange();
    void missingDataFolder_fails();
    void missingTemplate_failurePath();

private:
    CliResult run(const QStringList& args);
    QStringList written() const {
        return QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden);
    }

    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_ReportCli::init() {
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(addSupplier(1, 1, u"青葉園"_s));
    QVERIFY(addSupplier(2, 2, u"三河屋"_s));
    QVERIFY(addSupplier(3, 3, u"休止中"_s, false));
    for (int i = 0; i < 31; ++i)
        QVERIFY(addLine(1, 1, QDate(2024, 1, 1).addDays(i), u"苗%1"_s.arg(i + 1), 100));
    QVERIFY(addLine(1, 2, QDate(2024, 1, 10), u"肥料"_s, 5000));
    QVERIFY(addLine(2, 2, QDate(2024, 1, 12), u"肥料"_s, 8000));
}

void tst_ReportCli::cleanup() {
    m_out.reset();
    m_folder.reset();
}

CliResult tst_ReportCli::run(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM),
            QStringList({u"--data"_s, m_folder->path(), u"--out"_s, m_out->path()}) + args);
    CliResult r;
    if (!p.waitForStarted() || !p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

void tst_ReportCli::help_explainsEveryOptionInBothLanguages() {
    QProcess p;
    p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM), {u"--help"_s});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& option : {u"--data"_s,
                                  u"--out"_s,
                                  u"--suppliers"_s,
                                  u"--from"_s,
                                  u"--to"_s,
                                  u"--date"_s,
                                  u"--kind"_s,
                                  u"--form"_s,
                                  u"--lines"_s,
                                  u"--interval"_s,
                                  u"--note-in-balance"_s,
                                  u"--omit-month"_s,
                                  u"--omit-day"_s,
                                  u"--close-day-blank"_s,
                                  u"--offset-vertical"_s,
                                  u"--offset-horizontal"_s,
                                  u"--start-row"_s,
                                  u"--class1"_s,
                                  u"--item1"_s,
                                  u"--class2"_s,
                                  u"--item2"_s,
                                  u"--join"_s,
                                  u"--purchase-group"_s,
                                  u"--sale-group"_s,
                                  u"--sum-only"_s,
                                  u"--ranking"_s,
                                  u"--sort"_s,
                                  u"--help"_s})
        QVERIFY2(help.contains(option), qPrintable(option));
    for (const QString& words :
         {u"使い方 / Usage"_s, u"仕入帳 / purchase ledger"_s,
          u"利益管理表 / profit management table"_s, u"終了コード / Exit codes"_s})
        QVERIFY2(help.contains(words), qPrintable(words));
}

void tst_ReportCli::ledger_writesThePages() {
    const CliResult r = run({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024-01-31"_s,
                             u"--start-row"_s, u"2=10"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    QCOMPARE(QFileInfo(r.out).absolutePath(), QFileInfo(m_out->path()).absoluteFilePath());
    QVERIFY(r.out.endsWith(u"　仕入帳.xlsx"_s));
    QCOMPARE(written(), QStringList({QFileInfo(r.out).fileName()}));
    XlsxPackage pkg;
    QVERIFY(pkg.load(r.out));
    QCOMPARE(pkg.problems(), QStringList());
    Workbook book;
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheetNames(), QStringList({u"青葉園1"_s, u"青葉園2"_s, u"三河屋1"_s}));
    QCOMPARE(book.sheet(1)->value(5, 4), QVariant(u"苗30"_s));
    QCOMPARE(book.sheet(2)->value(14, 4), QVariant(u"肥料"_s));
    QCOMPARE(book.sheet(2)->value(14, 11), QVariant(u"5,0 0 0"_s));
}

void tst_ReportCli::ledger_formAndOptionsOnTheCommandLine() {
    QVERIFY(gSetSystemLngField(46, 3));
    const CliResult r = run({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s,
                             u"--suppliers"_s, u"1"_s, u"--form"_s, u"ri103"_s, u"--lines"_s,
                             u"31"_s, u"--interval"_s, u"4"_s, u"--omit-month"_s, u"on"_s,
                             u"--offset-horizontal"_s, u"2"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    Workbook book;
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheetNames(), QStringList({u"青葉園1"_s}));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(ws->pageSetup().paperSize, 13); // B5: the リ-103 form
    QCOMPARE(ws->value(35, 4), QVariant(u"苗31"_s));
    QCOMPARE(ws->value(6, 2), QVariant(u" "_s));
    QCOMPARE(ws->value(10, 11), QVariant(u"6 0 0"_s)); // every fifth line
    QCOMPARE(ws->value(9, 11), QVariant());
    Workbook tpl;
    QVERIFY(tpl.open(gstrExcelFormatPath + u"kokuyo-ri-103.xlsx"_s));
    // The stored vertical position and the horizontal one of the command line.
    QCOMPARE(ws->rowHeight(1), tpl.sheet(0)->rowHeight(1) + 3);
    QCOMPARE(ws->columnWidth(2), tpl.sheet(0)->columnWidth(2) + 2);
    // The command line leaves the stored settings alone.
    qint32 lines = 0;
    QVERIFY(gGetSystemLngField(33, lines, -1));
    QCOMPARE(lines, -1);
}

void tst_ReportCli::ledger_refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing in the range")
        << QStringList({u"--from"_s, u"2023/01/01"_s, u"--to"_s, u"2023/01/31"_s}) << 1
        << u"対象となるデータがありませんでした"_s;
    QTest::newRow("start not a date")
        << QStringList({u"--from"_s, u"2024/02/30"_s, u"--to"_s, u"2024/03/31"_s}) << 1
        << u"日付が正しくありません。\n正しい日付を入力してください。"_s;
    QTest::newRow("start after end")
        << QStringList({u"--from"_s, u"2024/02/01"_s, u"--to"_s, u"2024/01/31"_s}) << 1
        << u"終了日が開始日より前になっています。\n期間を確認してください。"_s;
    QTest::newRow("start row 30") << QStringList({u"--from"_s, u"2024/01/01"_s, u"--to"_s,
                                                  u"2024/01/31"_s, u"--start-row"_s, u"1=30"_s})
                                  << 1 << u"開始行は 1以上 29以下 の整数を入力してください"_s;
    QTest::newRow("an invalid supplier")
        << QStringList({u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s, u"--suppliers"_s,
                        u"1,3"_s})
        << 1 << u"仕入先番号 3 は有効な仕入先ではありません / supplier 3 is not a valid supplier"_s;
    QTest::newRow("lines outside the list")
        << QStringList({u"--lines"_s, u"35"_s}) << 2
        << u"--lines は 29 から 31 の整数です / --lines takes a whole number from 29 to 31"_s;
    QTest::newRow("unknown form") << QStringList({u"--form"_s, u"a4"_s}) << 2
                                  << u"--form は plain, ri103, ri101 のいずれかです"_s;
}

void tst_ReportCli::ledger_refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    const CliResult r = run(QStringList({u"ledger"_s}) + args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(written(), QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ReportCli::supplierList_writesTheChosenSuppliers() {
    CliResult r = run({u"suppliers"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"　仕入先表.xlsx"_s));
    Workbook book;
    QVERIFY(book.open(r.out));
    QVERIFY(book.sheetNames().contains(u"1"_s));
    Worksheet* page = book.sheet(u"1"_s);
    QCOMPARE(page->value(4, 2).toString().left(5), u"[1]  "_s);
    QVERIFY(page->value(4, 2).toString().contains(u"青葉園株式会社"_s));

    QVERIFY(QFile::remove(r.out));
    r = run({u"suppliers"_s, u"--suppliers"_s, u"2"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(book.open(r.out));
    QVERIFY(book.sheet(u"1"_s)->value(4, 2).toString().startsWith(u"[2]"_s));
}

void tst_ReportCli::balanceList_asOfADate() {
    CliResult r = run({u"balances"_s, u"--date"_s, u"2024/01/10"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    Workbook book;
    QVERIFY(book.open(r.out));
    Worksheet* ws = book.sheet(u"page1"_s);
    QVERIFY(ws);
    QCOMPARE(ws->value(2, 3), QVariant(u"2024/01/10 時点仕入先名簿"_s));
    QCOMPARE(ws->value(5, 3), QVariant(u"青葉園"_s));
    QCOMPARE(ws->value(5, 4).toDouble(), 1000.0);
    QCOMPARE(ws->value(6, 4).toDouble(), 5000.0);

    QVERIFY(QFile::remove(r.out));
    r = run({u"balances"_s, u"--date"_s, u"2024/01/31"_s, u"--kind"_s, u"sales"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheet(u"page1"_s)->value(5, 4).toDouble(), 0.0);
    QCOMPARE(book.sheet(u"page1"_s)->value(6, 4).toDouble(), 8000.0);

    QVERIFY(QFile::remove(r.out));
    r = run({u"balances"_s, u"--date"_s, u"yesterday"_s});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, u"日付が正しくありません。\n正しい日付を入力してください。"_s);
    QCOMPARE(written(), QStringList());
}

void tst_ReportCli::profit_writesTheTable() {
    const CliResult r = run({u"profit"_s, u"--from"_s, u"2023/12/21"_s, u"--to"_s, u"2024/02/20"_s,
                             u"--ranking"_s, u"on"_s, u"--sort"_s, u"rate"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"利益管理表.xlsx"_s));
    XlsxPackage pkg;
    QVERIFY(pkg.load(r.out));
    QCOMPARE(pkg.problems(), QStringList());
    Workbook book;
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheetNames(), QStringList({u"1"_s, u"ランキング"_s}));
    QVERIFY(book.sheet(u"ランキング"_s)->value(2, 4).toString().contains(u"利益率"_s));
}

void tst_ReportCli::profit_refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("start after end")
        << QStringList({u"--from"_s, u"2024/02/21"_s, u"--to"_s, u"2024/01/20"_s}) << 1
        << u"終了日が開始日より前になっています。\n期間を確認してください。"_s;
    QTest::newRow("nothing in the range")
        << QStringList({u"--from"_s, u"2022/12/21"_s, u"--to"_s, u"2023/01/20"_s}) << 1
        << u"対象となるデータがありません。\n期間と設定を確認してください。"_s;
    QTest::newRow("not a date") << QStringList({u"--from"_s, u"abc"_s}) << 1
                                << u"日付が正しくありません。\n正しい日付を入力してください。"_s;
    QTest::newRow("class beyond 3")
        << QStringList({u"--class1"_s, u"4"_s}) << 2 << u"--class1 は 0 から 3 の整数です"_s;
    QTest::newRow("a ledger option")
        << QStringList({u"--lines"_s, u"30"_s}) << 2 << u"--lines は profit では使えません"_s;
}

void tst_ReportCli::profit_refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    const CliResult r = run(QStringList({u"profit"_s}) + args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
    QCOMPARE(written(), QStringList());
}

void tst_ReportCli::commandLineErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no report") << QStringList() << u"帳票の種類を一つ指定してください"_s;
    QTest::newRow("unknown report")
        << QStringList({u"sales"_s}) << u"帳票の種類が正しくありません: sales"_s;
    QTest::newRow("unknown option") << QStringList({u"ledger"_s, u"--colour"_s, u"red"_s})
                                    << u"コマンドラインの誤り / command line error"_s;
    QTest::newRow("range on the supplier list")
        << QStringList({u"suppliers"_s, u"--from"_s, u"2024/01/01"_s})
        << u"--from は suppliers では使えません"_s;
    QTest::newRow("bad supplier list") << QStringList({u"ledger"_s, u"--suppliers"_s, u"a-b"_s})
                                       << u"--suppliers の値が正しくありません"_s;
    QTest::newRow("start row without a supplier")
        << QStringList({u"ledger"_s, u"--start-row"_s, u"10"_s})
        << u"--start-row は 番号=行 です"_s;
}

void tst_ReportCli::commandLineErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const CliResult r = run(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
    QVERIFY(r.err.contains(u"tovaki-report --help"_s));
    QCOMPARE(written(), QStringList());
}

void tst_ReportCli::totalsBeyondTheRange_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("balances") << QStringList({u"balances"_s, u"--date"_s, u"2024/01/31"_s});
    QTest::newRow("profit") << QStringList(
        {u"profit"_s, u"--from"_s, u"2023/12/21"_s, u"--to"_s, u"2024/02/20"_s});
    QTest::newRow("ledger") << QStringList(
        {u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s});
}

void tst_ReportCli::totalsBeyondTheRange() {
    QFETCH(QStringList, args);
    // Two stored lines at the largest amount the currency holds: their sum leaves the range.
    for (int day : {5, 6})
        QVERIFY(gdbData().executeSQL(
            u"INSERT INTO T_DATA1 (lngMasterID,date1,lngSort,strItem,curCost,blnChange)"
            u" VALUES (1,?,0,'大',?,0)"_s,
            {QDate(2024, 1, day), Q_INT64_C(9223372036854770000)}));
    const CliResult r = run(args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(u"合計が扱える範囲を超えています。\n\n"
                              "桁の多すぎる金額・数量・単価が入力されていないか確認し、\n"
                              "正しい値に直してください。"_s),
             qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(written(), QStringList());
    // Only the engine's own report of the failed sum.
    QCOMPARE(m_folder->errorLogEntries(), 1);
}

void tst_ReportCli::missingDataFolder_fails() {
    QTemporaryDir empty;
    QProcess p;
    p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM),
            {u"ledger"_s, u"--data"_s, empty.path(), u"--out"_s, m_out->path()});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 3);
    QVERIFY(QString::fromUtf8(p.readAllStandardError())
                .startsWith(u"必要とするデータ保存用データベースが開けません。"_s));
    QCOMPARE(written(), QStringList());
}

void tst_ReportCli::missingTemplate_failurePath() {
    QVERIFY(QFile::remove(gstrExcelFormatPath + u"StockBook.xlsx"_s));
    const CliResult r = run({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s,
                             u"--form"_s, u"plain"_s});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.err, u"表が正常に作成されませんでした。管理者に問い合わせてください"_s);
    QCOMPARE(written(), QStringList());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_cmdPrintData_Click"_s}));
}

QTEST_GUILESS_MAIN(tst_ReportCli)
#include "tst_ReportCli.moc"
