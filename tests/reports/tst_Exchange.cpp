#include "TestData.h"
#include "TestServices.h"
#include "ledger/ClassLists.h"
#include "reports/CsvExchange.h"
#include "reports/ExcelLayer.h"
#include "reports/PdfConvert.h"
#include "reports/SupplierList.h"
#include "store/Database.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CsvTable)
Q_DECLARE_METATYPE(CsvEncoding)
Q_DECLARE_METATYPE(CsvImportOutcome)

// CSV export and import (reports/CsvExchange.h) on a throw-away data file, and the PDF beside a
// workbook with a stand-in converter.
class tst_Exchange : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cp932_knownBytesAndRefusedCharacters();
    void roundTrip_data();
    void roundTrip();
    void refusedFiles_data();
    void refusedFiles();
    void duplicates_data();
    void duplicates();
    void supplierUpdate_data();
    void supplierUpdate();
    void encodingDetected_data();
    void encodingDetected();
    void pdf_data();
    void pdf();
#ifdef Q_OS_WIN
    void converterFromTheRegistry();
#endif

private:
    // Two suppliers and four lines per ledger with quotes, commas, line breaks and half-width
    // katakana; exotic adds characters code page 932 does not hold; ruleBreaking adds lines
    // the ledger window stores though its line rules find fault with them.
    void addVariedData(bool exotic, bool ruleBreaking = false);
    QString exportTo(CsvTable table, CsvEncoding encoding, CsvExportResult& r);
    // "in.csv": the table's header and rows in UTF-8 without a byte-order mark.
    QString writeCsv(CsvTable table, const QByteArray& rows);
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_Exchange::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    ClassEntry e;
    QVERIFY(gAddClassEntry(1, u"肥料"_s, e) && gAddClassEntry(3, u"店頭"_s, e));
}

void tst_Exchange::addVariedData(bool exotic, bool ruleBreaking) {
    const QString odd = exotic ? u" é😀〜"_s : QString();
    QVERIFY(addSupplier({.masterID = 1,
                         .supplier = 1,
                         .shortName = u"ﾔﾏﾀﾞ商店"_s,
                         .supplyRatio = 62.5,
                         .supplyCarry = 1234,
                         .notes = u"\"引用\", カンマ\r\n改行"_s + odd}));
    QVERIFY(addSupplier({.masterID = 2,
                         .supplier = 5,
                         .shortName = u"佐藤"_s,
                         .valid = false,
                         .saleRatio = 70,
                         .saleCarry = -500}));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strPosition = '営業部, 二課',"
                                 " strPhone1 = '03-1234-5678', lngChargePerson = 2,"
                                 " strAddress2 = '東京都\"港区\"', strInvoiceNo = 'T7000012050002',"
                                 " datInvoiceFrom = '2023-10-01' WHERE lngMasterID = 1"_s));
    for (int kind : {1, 2}) {
        const auto add = [kind](LineRow l) {
            l.kind = kind;
            return addLine(l) > 0;
        };
        QVERIFY(add({.date = QDate(2024, 1, 5),
                     .sort = 1,
                     .item = u"肥料 \"特\", 20kg"_s,
                     .class1 = u"肥料"_s,
                     .class3 = u"店頭"_s,
                     .quantity = 3,
                     .unitPrice = 1200,
                     .regularPrice = 2000,
                     .ratio = 62.5,
                     .cost = 3600,
                     .check = 1,
                     .note = u"備考\r\n2行"_s + odd}));
        QVERIFY(add({.date = {2024, 1, 5},
                     .sort = 2,
                     .item = u"ｶﾀｶﾅ品"_s,
                     .regularPrice = 200,
                     .cost = 100}));
        QVERIFY(add({.date = {2024, 1, 31}, .sort = 40, .item = u"振込"_s, .payment = 5000}));
        QVERIFY(add(
            {.masterID = 2, .date = {2024, 2, 1}, .sort = 1, .item = u"消費税"_s, .cost = -80}));
        if (!ruleBreaking)
            continue;
        QVERIFY(add({.sort = 1, .item = u"日付なし"_s, .cost = 100}));
        QVERIFY(add({.date = {2024, 3, 1}, .sort = 1, .item = u"両方"_s, .cost = 1, .payment = 1}));
        QVERIFY(add({.date = {2024, 3, 1}, .sort = 1, .item = u"金額なし"_s}));
        // Supplier 5 has no default purchase ratio.
        QVERIFY(add({.masterID = 2, .date = {2024, 3, 2}, .sort = 1, .cost = 200}));
    }
}

QString tst_Exchange::exportTo(CsvTable table, CsvEncoding encoding, CsvExportResult& r) {
    CsvExportParams p;
    p.table = table;
    p.encoding = encoding;
    p.outputFolder = m_out->path();
    gExportCsv(p, {}, r);
    return r.path;
}

QString tst_Exchange::writeCsv(CsvTable table, const QByteArray& rows) {
    QStringList header;
    table == CsvTable::Suppliers ? gCsvSupplierHeader(header) : gCsvLedgerHeader(1, header);
    const QString file = m_out->filePath(u"in.csv"_s);
    writeBytes(file, header.join(u',').toUtf8() + "\r\n" + rows);
    return file;
}

void tst_Exchange::cp932_knownBytesAndRefusedCharacters() {
    QByteArray bytes;
    QVERIFY(gCp932Encode(u"ｱｲ 仕入帳～①髙"_s, bytes));
    QCOMPARE(bytes.toHex(), QByteArray("b1b2208e6493fc92a081608740fbfc"));
    QString back;
    QVERIFY(gCp932Decode(bytes.constData(), bytes.size(), back));
    QCOMPARE(back, u"ｱｲ 仕入帳～①髙"_s);
    // Characters the code page would fold into others, and those it lacks, are refused.
    for (const QString& bad : {u"¥"_s, u"〜"_s, u"é"_s, u"😀"_s}) {
        QByteArray out;
        QString badChar;
        QVERIFY2(!gCp932Encode(u"ab"_s + bad, out, &badChar), qPrintable(bad));
        QCOMPARE(badChar, bad);
    }
}

void tst_Exchange::roundTrip_data() {
    QTest::addColumn<CsvTable>("table");
    QTest::addColumn<CsvEncoding>("encoding");
    QTest::addColumn<bool>("exotic");
    QTest::addColumn<bool>("ruleBreaking");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QByteArray>("field"); // one quoted field as the file must hold it
    QTest::newRow("suppliers, code page 932")
        << CsvTable::Suppliers << CsvEncoding::Cp932 << false << false << 2
        << QByteArray::fromHex("22222288f8977022222c20834a8393837d0d0a89fc8d7322");
    QTest::newRow("suppliers, UTF-8") << CsvTable::Suppliers << CsvEncoding::Utf8 << true << false
                                      << 2 << u"\"\"\"引用\"\", カンマ\r\n改行 é😀〜\""_s.toUtf8();
    QTest::newRow("purchases, code page 932")
        << CsvTable::Purchases << CsvEncoding::Cp932 << false << false << 4
        << QByteArray::fromHex("2294ec97bf20222293c122222c2032306b6722");
    QTest::newRow("sales, UTF-8") << CsvTable::Sales << CsvEncoding::Utf8 << true << false << 4
                                  << u"62.5,3600,,1,\"備考\r\n2行 é😀〜\"\r\n"_s.toUtf8();
    QTest::newRow("purchases, lines breaking line rules")
        << CsvTable::Purchases << CsvEncoding::Utf8 << false << true << 8
        << u"\r\n1,ﾔﾏﾀﾞ商店,,1,日付なし,,,,,,,,100,,,\r\n"_s.toUtf8();
}

// Export, empty the table, import, export again: the same bytes.
void tst_Exchange::roundTrip() {
    QFETCH(CsvTable, table);
    QFETCH(CsvEncoding, encoding);
    QFETCH(bool, exotic);
    QFETCH(bool, ruleBreaking);
    QFETCH(int, rows);
    QFETCH(QByteArray, field);
    addVariedData(exotic, ruleBreaking);
    CsvExportResult first, second;
    if (exotic) {
        // Code page 932 refuses the text, names the supplier and leaves no file.
        exportTo(table, CsvEncoding::Cp932, first);
        QCOMPARE(first.outcome, CsvExportOutcome::NotEncodable);
        QVERIFY2(first.message.contains(u"仕入先番号 1「ﾔﾏﾀﾞ商店」"_s), qPrintable(first.message));
        QVERIFY(QDir(m_out->path()).isEmpty());
    }
    const QByteArray before = readBytes(exportTo(table, encoding, first));
    QCOMPARE(first.rows, rows);
    QCOMPARE(before.startsWith("\xEF\xBB\xBF"), encoding == CsvEncoding::Utf8);
    QVERIFY2(before.contains(field), before.constData());
    QVERIFY(before.endsWith("\r\n"));
    const QString name = table == CsvTable::Suppliers ? u"T_MASTER"_s
                         : table == CsvTable::Sales   ? u"T_DATA2"_s
                                                      : u"T_DATA1"_s;
    QVERIFY(gdbData().executeSQL(u"DELETE FROM "_s + name));
    CsvImportResult imported;
    const bool ok = gImportCsv({table, first.path, CsvEncoding::Cp932, false}, {}, imported);
    QVERIFY2(ok, qPrintable(gCsvRefusalLines(imported).join(u'|') + imported.message));
    QCOMPARE(imported.rows, rows);
    QCOMPARE(imported.warningCount, ruleBreaking ? 4 : 0);
    QCOMPARE(dataRowCount(u"SELECT * FROM "_s + name), rows);
    // The data file's copy before the import; a server keeps none.
    if (gTestServer().isEmpty())
        QVERIFY(QFile::exists(imported.backupPath));
    else
        QCOMPARE(imported.backupPath, QString());
    QCOMPARE(readBytes(exportTo(table, encoding, second)), before);
    QVERIFY(second.path != first.path);
}

void tst_Exchange::refusedFiles_data() {
    QTest::addColumn<CsvTable>("table");
    QTest::addColumn<QByteArray>("rows"); // after the header; UTF-8
    QTest::addColumn<CsvImportOutcome>("outcome");
    QTest::addColumn<QString>("reason"); // the first refusal, or the file's message
    // A supplier row: number, valid, four zeros, company and short name, the rest as exported.
    const auto supplier = [](const char* front) {
        return QByteArray(front) + ",,1,,,,,,,,,,,,,,,1,,,,,\r\n";
    };
    // Supplier 1 exists with a default ratio; the first data row is always a good one.
    const QByteArray good = "1,山田,2024/01/05,1,苗,肥料,,,,,,,100,,,\r\n";
    const auto ledger = [&](const char* row) { return good + QByteArray(row) + "\r\n"; };
    const auto L = CsvTable::Purchases;
    const auto S = CsvTable::Suppliers;
    const auto R = CsvImportOutcome::Refused;
    const auto B = CsvImportOutcome::BadFile;
    QTest::newRow("column count") << L << ledger("1,山田,2024/01/05") << R
                                  << u"3 行目: 欄の数が 3 です（16 欄のはずです）"_s;
    QTest::newRow("quantity beyond the window's bound")
        << L << ledger("1,山田,2024/01/05,,苗,,,,100000,,,,100,,,") << R
        << u"3 行目: 数量: -99,999 ～ 99,999 の範囲で入力してください"_s;
    QTest::newRow("unknown supplier, after a quoted line break")
        << L
        << good + "1,山田,2024/01/05,,苗,,,,,,,,100,,,\"二\r\n行\"\r\n9,誰,2024/01/"
                  "05,,苗,,,,,,,,100,,,\r\n"
        << R << u"5 行目: 仕入先番号「9」の仕入先は登録されていません"_s;
    QTest::newRow("class not in the list")
        << L << ledger("1,山田,2024/01/05,,苗,木材,,,,,,,100,,,") << R
        << u"3 行目: 区分1: 「木材」はリストの中から選択してください。"_s;
    QTest::newRow("stray quote") << L << ledger("1,山田,2024/01/05,,苗\"x,,,,,,,,100,,,") << R
                                 << u"3 行目: 引用符（\"）で囲まれていない欄に引用符があります"_s;
    QTest::newRow("supplier number taken")
        << S << supplier("2,1,0,0,0,0,乙株式会社,,乙") + supplier("1,1,0,0,0,0,甲株式会社,,甲") << R
        << u"3 行目: 仕入先番号 1 は既に使用されています。 別の番号を入力してください。"_s;
    QTest::newRow("supplier number twice in the file")
        << S << supplier("2,1,0,0,0,0,乙株式会社,,乙") + supplier("2,1,0,0,0,0,丙株式会社,,丙") << R
        << u"3 行目: 仕入先番号 2 は既に使用されています。 別の番号を入力してください。"_s;
    QTest::newRow("one master ID left for two rows")
        << S << supplier("2,1,0,0,0,0,乙株式会社,,乙") + supplier("3,1,0,0,0,0,丙株式会社,,丙") << R
        << u"3 行目: 仕入先は999件まで登録できます"_s;
    QTest::newRow("short name wider than its box")
        << S << supplier("2,1,0,0,0,0,長い表示社名株式会社,,長い表示社名") << R
        << u"2 行目: 表示社名は半角8文字（全角4文字）までです"_s;
    QTest::newRow("valid neither 1 nor 0")
        << S << supplier("2,はい,0,0,0,0,乙株式会社,,乙") << R
        << u"2 行目: 有効: 1（有効）か 0（無効）を入れてください"_s;
    QTest::newRow("not a CSV file")
        << L << QByteArray("PK\x03\x04\0\0\x14", 7) << B
        << u"CSV ファイルではありません（2 行目に文字でないデータがあります）"_s;
    QTest::newRow("quote left open") << L << good + "1,山田,\"2024/01/05,\r\n"
                                     << B << u"3 行目で始まる引用符（\"）が閉じられていません"_s;
    QTest::newRow("unknown header") << S << QByteArray() << B << u"1 行目の見出しが"_s;
}

// A refused file stores nothing: the data file keeps its bytes and no copy is left.
void tst_Exchange::refusedFiles() {
    QFETCH(CsvTable, table);
    QFETCH(QByteArray, rows);
    QFETCH(CsvImportOutcome, outcome);
    QFETCH(QString, reason);
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"山田"_s, .supplyRatio = 60}));
    ClassEntry e;
    QVERIFY(gAddClassEntry(1, u"肥料"_s, e));
    if (QByteArray(QTest::currentDataTag()) == "one master ID left for two rows") {
        // Master IDs up to 999 are taken by the supplier and by sales lines, all but 998.
        QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET lngMasterID = 999"_s) &&
                gdbData().executeSQL(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                     "FROM n WHERE i < 997) INSERT INTO T_DATA2 (lngMasterID) "
                                     "SELECT i FROM n"_s));
    }
    // The data file's bytes are compared (the server's rows are counted below).
    const bool dataFile = gTestServer().isEmpty();
    QVERIFY(!dataFile || gdbData().executeSQL(u"PRAGMA wal_checkpoint(TRUNCATE)"_s));
    QStringList header;
    if (QByteArray(QTest::currentDataTag()) == "unknown header")
        header << u"番号"_s << u"名前"_s;
    else if (table == CsvTable::Suppliers)
        gCsvSupplierHeader(header);
    else
        gCsvLedgerHeader(1, header);
    const QString file = m_out->filePath(u"in.csv"_s);
    QVERIFY(writeBytes(file, "\xEF\xBB\xBF" + header.join(u',').toUtf8() + "\r\n" + rows));
    const QByteArray data = dataFile ? readBytes(m_folder->dbPath()) : QByteArray();
    const int lists = dataRowCount(u"SELECT * FROM T_DATA_CLASS1"_s);

    CsvImportResult r;
    QVERIFY(!gImportCsv({table, file, CsvEncoding::Cp932, false}, {}, r));
    QCOMPARE(r.outcome, outcome);
    const QString said =
        outcome == CsvImportOutcome::Refused ? gCsvRefusalLines(r).value(0) : r.message;
    QVERIFY2(said.startsWith(reason), qPrintable(said));
    QCOMPARE(r.refusedCount, outcome == CsvImportOutcome::Refused ? 1 : 0);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1"_s), 0);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER"_s), 1);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA_CLASS1"_s), lists);
    if (dataFile) {
        QVERIFY(gdbData().executeSQL(u"PRAGMA wal_checkpoint(TRUNCATE)"_s));
        QVERIFY(readBytes(m_folder->dbPath()) == data);
    }
    QVERIFY(!QFile::exists(m_folder->dbPath() + u".before-import"_s));
}

void tst_Exchange::duplicates_data() {
    QTest::addColumn<QByteArray>("rows"); // after the header; UTF-8
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("listed");
    // The stored line, in another order of the day and with a check mark.
    const QByteArray same = "1,山田,2024/01/05,,苗,,,,3,,,,100,,1,\r\n";
    const QByteArray other = "1,山田,2024/01/06,,苗,,,,,,,,100,,,\r\n";
    QTest::newRow("a stored line")
        << same + other << false << 1 << QStringList{u"2 行目: 登録済みの行と同じです"_s};
    QTest::newRow("a stored line, kept")
        << same + other << true << 2 << QStringList{u"2 行目: 登録済みの行と同じです"_s};
    QTest::newRow("a line repeated in the file")
        << other + other << false << 1 << QStringList{u"3 行目: 2 行目と同じです"_s};
    QTest::newRow("the stored line with another note")
        << QByteArray("1,山田,2024/01/05,,苗,,,,3,,,,100,,,x\r\n") << false << 1 << QStringList{};
}

// Lines the ledger holds, or that an earlier row of the file holds, are listed and skipped.
void tst_Exchange::duplicates() {
    QFETCH(QByteArray, rows);
    QFETCH(bool, keep);
    QFETCH(int, stored);
    QFETCH(QStringList, listed);
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"山田"_s, .supplyRatio = 60}));
    QVERIFY(
        addLine({.date = {2024, 1, 5}, .sort = 7, .item = u"苗"_s, .quantity = 3, .cost = 100}) >
        0);
    const QString file = writeCsv(CsvTable::Purchases, rows);
    CsvImportResult r;
    const bool ok =
        gImportCsv({.table = CsvTable::Purchases, .path = file, .keepDuplicates = keep}, {}, r);
    QVERIFY2(ok, qPrintable(gCsvRefusalLines(r).join(u'|') + r.message));
    QCOMPARE(gCsvDuplicateLines(r), listed);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1"_s), 1 + stored);
}

void tst_Exchange::supplierUpdate_data() {
    QTest::addColumn<QByteArray>("rows"); // after the header; UTF-8
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<int>("unchanged");
    QTest::addColumn<int>("suppliers"); // afterwards
    const auto supplier = [](const char* front) {
        return QByteArray(front) + ",,1,,,,,,,,,,,,,,,1,,,,,\r\n";
    };
    // Supplier 1 is stored from the first row, as 甲株式会社 / 甲 with a purchase ratio of 60.
    const QByteArray same = supplier("1,1,60,0,0,0,甲株式会社,,甲");
    QTest::newRow("unchanged row") << same << QStringList() << 1 << 1;
    QTest::newRow("short name and ratio changed")
        << supplier("1,1,62.5,0,0,0,甲株式会社,,甲商")
        << QStringList{u"2 行目 仕入先番号 1: 規定仕入掛率「60」→「62.5」、表示社名「甲」→「甲商」"_s}
        << 0 << 1;
    QTest::newRow("a new number beside an unchanged row")
        << same + supplier("2,1,0,0,0,0,乙株式会社,,乙") << QStringList() << 1 << 2;
}

// An update import changes the suppliers of existing numbers, in the history as imported.
void tst_Exchange::supplierUpdate() {
    QFETCH(QByteArray, rows);
    QFETCH(QStringList, changes);
    QFETCH(int, unchanged);
    QFETCH(int, suppliers);
    CsvImportResult first, r;
    QVERIFY(
        gImportCsv({.table = CsvTable::Suppliers,
                    .path = writeCsv(CsvTable::Suppliers,
                                     "1,1,60,0,0,0,甲株式会社,,甲,,1,,,,,,,,,,,,,,,1,,,,,\r\n")},
                   {}, first));
    const QString file = writeCsv(CsvTable::Suppliers, rows);
    gImportCsv({.table = CsvTable::Suppliers, .path = file, .updateSuppliers = true}, {}, r);
    QVERIFY2(r.refusedCount == 0, qPrintable(gCsvRefusalLines(r).join(u'|') + r.message));
    QCOMPARE(gCsvChangeLines(r), changes);
    QCOMPARE(r.unchangedCount, unchanged);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER"_s), suppliers);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY WHERE strOrigin = 'imported' AND "
                          "strAction = 'D'"_s), // a change is a deletion and an insertion
             int(changes.size()));
}

void tst_Exchange::encodingDetected_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<CsvEncoding>("found");
    const QByteArray sjis = QByteArray::fromHex("8e6493fc92a0"); // 仕入帳
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + sjis << CsvEncoding::Utf8;
    QTest::newRow("UTF-8") << u"仕入帳"_s.toUtf8() << CsvEncoding::Utf8;
    QTest::newRow("UTF-8, a character across the block boundary")
        << QByteArray((1 << 20) - 1, 'a') + u"仕入帳"_s.toUtf8() << CsvEncoding::Utf8;
    QTest::newRow("Shift_JIS") << sjis << CsvEncoding::Cp932;
    QTest::newRow("ASCII only") << QByteArray("1,a\r\n") << CsvEncoding::Utf8;
}

// The encoding of a file found from its bytes (the imports above read UTF-8 without a mark).
void tst_Exchange::encodingDetected() {
    QFETCH(QByteArray, bytes);
    QFETCH(CsvEncoding, found);
    QBuffer buffer(&bytes);
    CsvEncoding encoding = CsvEncoding::Cp932;
    QVERIFY(buffer.open(QIODevice::ReadOnly) && gDetectCsvEncoding(buffer, encoding));
    QCOMPARE(encoding, found);
}

void tst_Exchange::pdf_data() {
    QTest::addColumn<QByteArray>("script"); // the stand-in converter; empty: none installed
    QTest::addColumn<QString>("told");
    // A PDF written: tst_ReportCli (a stand-in) and tst_LedgerPrint (LibreOffice itself).
    QTest::newRow("converter fails") << QByteArray("#!/bin/sh\necho broken >&2\nexit 5\n")
                                     << u"PDF への変換に失敗しました（終了コード 5）。"_s;
    QTest::newRow("converter hangs")
        << QByteArray("#!/bin/sh\nexec sleep 30\n")
        << u"PDF への変換が 1 秒以内に終わらなかったため、中止しました。"_s;
    QTest::newRow("not installed")
        << QByteArray() << u"PDF の作成には LibreOffice が必要ですが、見つかりません。"_s;
}

// The supplier list with "PDFも作成" when no PDF comes: the workbook is still written, and a
// message says why there is no PDF.
void tst_Exchange::pdf() {
    QFETCH(QByteArray, script);
    QFETCH(QString, told);
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"山田"_s}));
#ifdef Q_OS_WIN
    if (!script.isEmpty())
        QSKIP("the converter stand-ins are shell scripts");
#endif
    const QString converter = m_out->filePath(u"convert"_s);
    if (!script.isEmpty()) {
        QVERIFY(writeBytes(converter, script));
        QVERIFY(QFile::setPermissions(converter, QFile::ReadOwner | QFile::ExeOwner));
    }
    qputenv("TOVAKI_PDF_CONVERTER", converter.toLocal8Bit());
    qputenv("TOVAKI_PDF_TIME_LIMIT", "1");
    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    QTemporaryDir out;
    ExcelReportRun run(u"test"_s);
    ExcelReportRun::Callbacks callbacks;
    callbacks.makePdf = true;
    run.setCallbacks(callbacks);
    run.setOutputFolder(out.path());
    QVERIFY(mPrintMaster(run, suppliers));
    qunsetenv("TOVAKI_PDF_CONVERTER");
    qunsetenv("TOVAKI_PDF_TIME_LIMIT");
    QVERIFY(QFile::exists(run.savedPath()));
    QVERIFY(run.pdfPath().isEmpty() && !QFile::exists(gPdfPathFor(run.savedPath())));
    const QString texts = m_svc.prompt->texts().join(u'|');
    QVERIFY2(texts.contains(told) && texts.contains(u"エクセルファイルは作成されています。"_s),
             qPrintable(texts));
}

QTEST_GUILESS_MAIN(tst_Exchange)
#ifdef Q_OS_WIN
// LibreOffice installed in a folder of its own choice is found through the key its installer
// writes.
void tst_Exchange::converterFromTheRegistry() {
    qunsetenv("TOVAKI_PDF_CONVERTER");
    const QString folder = m_out->filePath(u"Libre Office 7/program"_s);
    QVERIFY(QDir().mkpath(folder) && writeBytes(folder + u"/soffice.exe"_s, "MZ"));
    QSettings key(u"HKEY_CURRENT_USER\\SOFTWARE\\LibreOffice\\UNO\\InstallPath"_s,
                  QSettings::NativeFormat);
    key.setValue(u"Default"_s, QDir::toNativeSeparators(folder));
    key.sync();
    const QString found = gFindPdfConverter();
    key.remove(u"Default"_s);
    QCOMPARE(found, folder + u"/soffice.exe"_s);
}
#endif

#include "tst_Exchange.moc"
