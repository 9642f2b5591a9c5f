#include "ReportTestData.h"
#include "TestData.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "reports/CsvExchange.h"
#include "reports/ReportRegistry.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "workbook/Workbook.h"

#include <QCryptographicHash>
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

} // namespace

// tovaki-report end to end on a throw-away program folder: the files it writes and its exit
// codes (0 written, 1 refused, 2 command line, 3 failed).
class tst_ReportCli : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void registry_optionsNamedOnce();
    void ledger_writesThePages();
    void supplierLists();
    void profit_writesTheTable();
    void tax_writesTheCsv();
    void journal_writesTheFile();
    void refusals_data();
    void refusals();
    void failures_exitThree();
    void csvAndPdf();
    void importLeavesTheFileAlone_data();
    void importLeavesTheFileAlone();
    void dataMessages_data();
    void dataMessages();

private:
    CliResult run(const QStringList& args, const QString& data = {});
    QStringList written() const {
        return QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden);
    }
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_ReportCli::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"青葉園"_s}));
    QVERIFY(addSupplier({.masterID = 2, .shortName = u"三河屋"_s}));
    QVERIFY(addSupplier({.masterID = 3, .shortName = u"休止中"_s, .valid = false}));
    const auto line = [](int kind, qint32 id, QDate d, const QString& item, double cost) {
        return addLine({.kind = kind, .masterID = id, .date = d, .item = item, .cost = cost}) > 0;
    };
    for (int i = 0; i < 31; ++i)
        QVERIFY(line(1, 1, QDate(2024, 1, 1).addDays(i), u"苗%1"_s.arg(i + 1), 100));
    QVERIFY(line(1, 2, {2024, 1, 10}, u"肥料"_s, 5000));
    QVERIFY(line(2, 2, {2024, 1, 12}, u"肥料"_s, 8000));
}

// Every option a report takes is in the option table once, and every option there belongs to a
// report: the command line reads each report's options from the table.
void tst_ReportCli::registry_optionsNamedOnce() {
    QStringList table, taken;
    for (const ReportOption& o : gReportOptions())
        table << o.name;
    for (const ReportEntry& e : gReports())
        taken += e.options;
    taken.removeDuplicates();
    QCOMPARE(QSet<QString>(table.begin(), table.end()).size(), table.size());
    std::sort(table.begin(), table.end());
    std::sort(taken.begin(), taken.end());
    QCOMPARE(taken, table);
}

// On a server run, the test case's books (the program folder stays --data's).
QStringList books() {
    QStringList args;
    if (!gTestServer().isEmpty())
        args << u"--server"_s << gTestServerDatabase();
    return args;
}

CliResult tst_ReportCli::run(const QStringList& args, const QString& data) {
    QProcess p;
    p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM),
            QStringList({u"--data"_s, data.isEmpty() ? m_folder->path() : data, u"--out"_s,
                         m_out->path()}) +
                books() + args);
    CliResult r;
    if (!p.waitForStarted() || !p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(p.readAllStandardError()); // even an empty message counts
    return r;
}

void tst_ReportCli::ledger_writesThePages() {
    const CliResult r = run({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024-01-31"_s,
                             u"--start-row"_s, u"2=10"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    QVERIFY(r.out.endsWith(u"　仕入帳.xlsx"_s));
    QCOMPARE(written(), QStringList({QFileInfo(r.out).fileName()}));
    Workbook book;
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheetNames(), QStringList({u"青葉園1"_s, u"青葉園2"_s, u"三河屋1"_s}));
    QCOMPARE(book.sheet(1)->value(5, 4), QVariant(u"苗30"_s));
    QCOMPARE(book.sheet(2)->value(14, 11), QVariant(u"5,000"_s));
}

void tst_ReportCli::supplierLists() {
    CliResult r = run({u"suppliers"_s, u"--suppliers"_s, u"2"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"　仕入先表.xlsx"_s));
    Workbook book;
    QVERIFY(book.open(r.out));
    QVERIFY(book.sheet(u"1"_s)->value(4, 2).toString().startsWith(u"[2]  三河屋株式会社"_s));
    QVERIFY(QFile::remove(r.out));
    r = run({u"balances"_s, u"--date"_s, u"2024/01/31"_s, u"--kind"_s, u"sales"_s});
    QVERIFY(r.out.endsWith(u"　仕入先表_売上.xlsx"_s) && book.open(r.out));
    const Worksheet* page = book.sheet(u"page1"_s);
    QCOMPARE(reporttest::rowText(page, 2, 3, 3), u"2024/01/31 時点仕入先名簿（売上帳）"_s);
    QCOMPARE(reporttest::rowText(page, 5, 3, 4) + u'|' + reporttest::rowText(page, 6, 3, 4),
             u"青葉園|0|三河屋|8000"_s);
    QCOMPARE(reporttest::rowText(page, 7, 3, 4), u"|"_s);
}

void tst_ReportCli::profit_writesTheTable() {
    const CliResult r = run({u"profit"_s, u"--from"_s, u"2023/12/21"_s, u"--to"_s, u"2024/02/20"_s,
                             u"--ranking"_s, u"on"_s, u"--sort"_s, u"rate"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"利益管理表.xlsx"_s));
    Workbook book;
    QVERIFY(book.open(r.out));
    QCOMPARE(book.sheetNames(), QStringList({u"1"_s, u"ランキング"_s}));
    // Terms over the year end.
    QCOMPARE(reporttest::rowText(book.sheet(0), 3, 4, 6), u"24/1/20締|24/2/20締|累計"_s);
    QVERIFY(book.sheet(u"ランキング"_s)->value(2, 4).toString().contains(u"利益率"_s));
}

// Supplier 2 bought 5 000 on 2024/01/10, unregistered: 10 % is 500, of which 80 % is deductible.
void tst_ReportCli::tax_writesTheCsv() {
    const CliResult r = run({u"tax"_s, u"--from"_s, u"2024-01-01"_s, u"--to"_s, u"2024/01/31"_s,
                             u"--suppliers"_s, u"2"_s, u"--csv"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"　消費税集計表.csv"_s));
    // The rate table beside it, under the same time.
    const QString name = QFileInfo(r.out).fileName();
    QCOMPARE(written(), QStringList({name, name.chopped(4) + u"（税率別）.csv"_s}));
    QVERIFY(readBytes(r.out).endsWith(
        u"\r\n\"\",\"合計\",\"\",\"\",\"5000\",\"0\",\"500\",\"0\",\"400\"\r\n"_s.toUtf8()));
}

// Supplier 2, unregistered, bought 5 000 on 2024/01/10 (80 %) and sold 8 000 on 2024/01/12.
void tst_ReportCli::journal_writesTheFile() {
    const CliResult r = run({u"journal"_s, u"--from"_s, u"2024-01-01"_s, u"--to"_s, u"2024/01/31"_s,
                             u"--suppliers"_s, u"2"_s, u"--format"_s, u"generic"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"　仕訳.csv"_s));
    QCOMPARE(written(), QStringList({QFileInfo(r.out).fileName()}));
    QCOMPARE(readBytes(r.out),
             u"\uFEFF日付,借方,貸方,金額,税区分,税率,控除割合,仕入先,登録番号,摘要\r\n"
             "2024/01/10,仕入高,買掛金,5000,課税仕入,10,80,三河屋,,肥料\r\n"
             "2024/01/12,売掛金,売上高,8000,課税売上,10,,三河屋,,肥料\r\n"_s.toUtf8());
}

void tst_ReportCli::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("ledger, nothing in the range")
        << QStringList({u"ledger"_s, u"--from"_s, u"2023/01/01"_s, u"--to"_s, u"2023/01/31"_s}) << 1
        << u"対象となるデータがありませんでした"_s;
    QTest::newRow("ledger, an invalid supplier")
        << QStringList({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s,
                        u"--suppliers"_s, u"1,3"_s})
        << 1 << u"仕入先番号 3 は有効な仕入先ではありません / supplier 3 is not a valid supplier"_s;
    QTest::newRow("profit, nothing in the range")
        << QStringList({u"profit"_s, u"--from"_s, u"2022/12/21"_s, u"--to"_s, u"2023/01/20"_s}) << 1
        << u"対象となるデータがありません。\n期間と設定を確認してください。"_s;
    QTest::newRow("ledger, lines outside the list")
        << QStringList({u"ledger"_s, u"--lines"_s, u"32"_s}) << 2
        << u"--lines は 29 から 31 の整数です / --lines takes a whole number from 29 to 31"_s;
    QTest::newRow("tax, nothing in the range")
        << QStringList({u"tax"_s, u"--from"_s, u"2023/01/01"_s, u"--to"_s, u"2023/01/31"_s}) << 1
        << u"対象となるデータがありません。\n期間と設定を確認してください。"_s;
    QTest::newRow("journal, nothing in the range")
        << QStringList({u"journal"_s, u"--from"_s, u"2023/01/01"_s, u"--to"_s, u"2023/01/31"_s})
        << 1 << u"対象となるデータがありません。\n期間と設定を確認してください。"_s;
    QTest::newRow("csv for another report")
        << QStringList({u"ledger"_s, u"--csv"_s}) << 2 << u"--csv は tax だけで使えます"_s;
    QTest::newRow("no report") << QStringList() << 2 << u"帳票の種類を一つ指定してください"_s;
    QTest::newRow("unknown option") << QStringList({u"ledger"_s, u"--colour"_s, u"red"_s}) << 2
                                    << u"コマンドラインの誤り / command line error"_s;
}

void tst_ReportCli::refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    const CliResult r = run(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.startsWith(message), qPrintable(r.err));
    if (code == 2)
        QVERIFY(r.err.contains(u"tovaki-report --help"_s));
    QCOMPARE(r.out, QString());
    QCOMPARE(written(), QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ReportCli::failures_exitThree() {
    QTemporaryDir empty;
    CliResult r = run({u"ledger"_s}, empty.path());
    QCOMPARE(r.code, 3);
    if (gTestServer().isEmpty()) // no data file in the folder (a server's books need none)
        QVERIFY(r.err.startsWith(u"必要とするデータ保存用データベースが開けません。"_s));
    // A ledger that fails (damaged print settings: two rows of one number) ends with 3, too.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID,lngField) VALUES (41,3),(41,4)"_s));
    r = run({u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s});
    QCOMPARE(r.code, 3);
    QVERIFY(m_folder->errorLogProcedures().contains(u"gGetLedgerPrintOptions"_s));
    QCOMPARE(written(), QStringList());
}

// export, import --check and --pdf end to end.
void tst_ReportCli::csvAndPdf() {
    CliResult r =
        run({u"export"_s, u"ledger"_s, u"--kind"_s, u"sales"_s, u"--encoding"_s, u"utf-8"_s});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith(u"　売上帳.csv"_s));
    const QString csv = r.out;
    QCOMPARE(
        readBytes(csv),
        "\xEF\xBB\xBF" +
            u"仕入先番号,仕入先略称,日付,並順,品名,区分1,区分2,区分3,数量,単価,定価,掛率,"
            "売上金額,入金金額,チェック,備考\r\n2,三河屋,2024/01/12,0,肥料,,,,,,,,8000,,,\r\n"_s
                .toUtf8());
    // The purchase ledger's header differs; on the sales ledger the order 0 is no list entry.
    r = run({u"import"_s, u"ledger"_s, csv, u"--check"_s});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(u"1 行目の見出しが仕入帳の CSV の見出しと違います。"_s),
             qPrintable(r.err));
    r = run({u"import"_s, u"ledger"_s, csv, u"--kind"_s, u"sales"_s, u"--check"_s});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.startsWith(u"2 行目: 並順: 「0」はリストの中から選択してください。"_s),
             qPrintable(r.out));
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA2"_s), 1);

#ifdef Q_OS_WIN
    QSKIP("the converter stand-in is a shell script");
#endif
    const QString converter = m_out->filePath(u"convert"_s);
    QVERIFY(writeBytes(converter, "#!/bin/sh\nwhile [ $# -gt 1 ]; do\n"
                                  "  [ \"$1\" = --outdir ] && dir=$2; shift\ndone\n"
                                  "touch \"$dir/$(basename \"$1\" .xlsx).pdf\"\n"));
    QVERIFY(QFile::setPermissions(converter, QFile::ReadOwner | QFile::ExeOwner));
    qputenv("TOVAKI_PDF_CONVERTER", converter.toLocal8Bit());
    r = run({u"suppliers"_s, u"--pdf"_s});
    qunsetenv("TOVAKI_PDF_CONVERTER");
    QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err)); // nothing to tell
    const QStringList paths = r.out.split(u'\n');
    QCOMPARE(paths.size(), 2);
    QVERIFY(paths[0].endsWith(u"仕入先表.xlsx"_s) && paths[1].endsWith(u"仕入先表.pdf"_s));
    QVERIFY(QFile::exists(paths[1]));
}

void tst_ReportCli::importLeavesTheFileAlone_data() {
    QTest::addColumn<QStringList>("options"); // after "import ledger <file>"
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("badRow"); // a last row of an unknown supplier
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // the first line of the standard output, or error
    const QString refused = u"3 行目: 仕入先番号「9」の仕入先は登録されていません"_s;
    const QString checked = u"1 行すべて取り込めます / all 1 rows can be imported"_s;
    const QStringList check{u"--check"_s};
    QTest::newRow("check") << check << false << false << 0 << checked;
    QTest::newRow("check, read-only file") << check << true << false << 0 << checked;
    QTest::newRow("check, a row refused, read-only") << check << true << true << 1 << refused;
    QTest::newRow("import, a row refused") << QStringList() << false << true << 1 << refused;
    QTest::newRow("import, read-only file")
        << QStringList() << true << false << 1
        << u"データファイルが読み取り専用のため、取り込めません"_s;
}

// A check and a refused import leave every byte of the data file. The file has free pages (of a
// ranking row removed); a row larger than the engine's page cache, stored and rolled back, would
// leave its text in them.
void tst_ReportCli::importLeavesTheFileAlone() {
    QFETCH(QStringList, options);
    QFETCH(bool, readOnly);
    QFETCH(bool, badRow);
    QFETCH(int, code);
    QFETCH(QString, said);
    TOVAKI_DATA_FILE_ONLY("the data file's bytes");
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_MP_RANKING (strSupplierShortName) VALUES (?)"_s,
                                 {QString(400000, u'x')}));
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_MP_RANKING"_s));
    QStringList header;
    QVERIFY(gCsvLedgerHeader(1, header));
    const QString csv = m_out->filePath(u"lines.csv"_s);
    QVERIFY(writeBytes(csv, "\xEF\xBB\xBF" + header.join(u',').toUtf8() +
                                "\r\n1,,2024/02/01,,x,,,,,,,60,100,,," + QByteArray(4000000, 'n') +
                                "\r\n" + (badRow ? "9,,2024/02/01,,x,,,,,,,60,100,,,\r\n" : "")));
    m_folder->close(); // the file as the program leaves it: no log beside it
    const QString db = m_folder->dbPath();
    if (readOnly)
        QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner));
    const QByteArray before = QCryptographicHash::hash(readBytes(db), QCryptographicHash::Sha256);
    const CliResult r = run(QStringList{u"import"_s, u"ledger"_s, csv} + options);
    QCOMPARE(r.code, code);
    QCOMPARE((code == 0 || badRow ? r.out : r.err).section(u'\n', 0, 0), said);
    QCOMPARE(QCryptographicHash::hash(readBytes(db), QCryptographicHash::Sha256), before);
    QVERIFY(!QFile::exists(db + u".before-import"_s) && !QFile::exists(db + u"-journal"_s));
}

void tst_ReportCli::dataMessages_data() {
    QTest::addColumn<QString>("fault"); // rows another program wrote (SQL), or "damaged"
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // a part of the standard error
    const QStringList profit{u"profit"_s, u"--from"_s, u"2023/12/21"_s, u"--to"_s, u"2024/02/20"_s};
    const QStringList tax{u"tax"_s, u"--from"_s, u"2024/01/01"_s, u"--csv"_s};
    // Two lines of supplier 2 at the largest amount the currency holds, or beyond 64 bits.
    const QString lines = u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost) VALUES"
                          " (2, '2024-01-05', '大', %1), (2, '2024-01-06', '大', %1)"_s;
    const QString largest = lines.arg(u"9223372036854770000"_s);
    const QString rate = u"INSERT INTO T_TAX_RATE (datFrom, curStandard, curReduced) VALUES "_s;
    const QString badRate =
        u"消費税率の表に正しくない行があります。\n適用日「2024-%1」、標準税率「%2」"
        "、軽減税率「%3」\nこの行は、このプログラムの画面からは書き込まれ"
        "ない値です。その行を直すか、最新のバックアップを復元してください。"_s;
    const QString named = u"正しい値に直してください。\n\n仕入先番号 2「三河屋」"_s;
    QTest::newRow("profit, supplier 2's sum beyond the range") << largest << profit << 1 << named;
    const QString range = u"合計が扱える範囲を超えています。\n\n"
                          "桁の多すぎる金額・数量・単価が入力されていないか確認し、\n"
                          "正しい値に直してください。"_s;
    QTest::newRow("balances, a sum beyond the range")
        << largest << QStringList{u"balances"_s, u"--date"_s, u"2024/01/31"_s} << 1 << range;
    QTest::newRow("ledger, a sum beyond the range")
        << largest
        << QStringList{u"ledger"_s, u"--from"_s, u"2024/01/01"_s, u"--to"_s, u"2024/01/31"_s} << 1
        << range;
    QTest::newRow("profit, supplier 2's amounts beyond 64 bits")
        << lines.arg(u"1e19"_s) << profit << 1 << named;
    QTest::newRow("profit without supplier 2")
        << largest << profit + QStringList{u"--suppliers"_s, u"1"_s} << 0 << QString();
    QTest::newRow("tax, a rate of 0 %")
        << rate + u"('2024-01-01', 0, 0)"_s << tax << 0 << QString();
    QTest::newRow("tax, a rate of 100 %")
        << rate + u"('2024-01-01', 1000000, 80000)"_s << tax << 0 << QString();
    QTest::newRow("tax, a rate above 100 %")
        << rate + u"('2024-01-01', 1000001, 80000)"_s << tax << 3
        << badRate.arg(u"01-01"_s, u"100.0001%"_s, u"8%"_s);
    QTest::newRow("tax, a rate below 0 %") << rate + u"('2024-01-01', 100000, -1)"_s << tax << 3
                                           << badRate.arg(u"01-01"_s, u"10%"_s, u"-0.0001%"_s);
    QTest::newRow("tax, a rate that is no number")
        << rate + u"('2024-01-01', 'ten', 80000)"_s << tax << 3
        << badRate.arg(u"01-01"_s, u"ten"_s, u"8%"_s);
    QTest::newRow("tax, a date that is none") << rate + u"('2024-02-30', 100000, 80000)"_s << tax
                                              << 3 << badRate.arg(u"02-30"_s, u"10%"_s, u"8%"_s);
    QTest::newRow("ledger, damaged data file")
        << u"damaged"_s << QStringList{u"ledger"_s} << 3
        << u"データファイルが壊れています。\n入力や帳票の内容が正しくない可能性があります。\n"
           "メニューの「バックアップ」から、最新のバックアップを復元してください。"_s;
}

// What the data itself can make a report say: sums of one supplier beyond the range, a rate
// row no window writes, a damaged file.
void tst_ReportCli::dataMessages() {
    QFETCH(QString, fault);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    // A server's columns hold no amount beyond 64 bits and no text in a number column.
    const QByteArray tag(QTest::currentDataTag());
    if (fault == u"damaged"_s || tag.contains("beyond 64 bits") || tag.contains("no number"))
        TOVAKI_DATA_FILE_ONLY("a damaged file, or values a server's columns refuse");
    QVERIFY(fault == u"damaged"_s ? m_folder->damageDataFile() : gdbData().executeSQL(fault));
    const CliResult r = run(args);
    QCOMPARE(r.code, code);
    QVERIFY2(code == 0 ? r.err.isEmpty() : r.err.contains(message), qPrintable(r.err));
    // The tax summary writes its rate table beside the supplier table.
    QCOMPARE(written().size(), code == 0 ? (args.at(0) == u"tax"_s ? 2 : 1) : 0);
    if (code == 1) // at most the engine's own report of the failed sum
        QVERIFY2(m_folder->errorLogEntries() <= 1, qPrintable(m_folder->errorLog()));
}

QTEST_GUILESS_MAIN(tst_ReportCli)
#include "tst_ReportCli.moc"
