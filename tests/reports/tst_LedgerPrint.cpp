#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "app/Globals.h"
#include "reports/LedgerPrint.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kBinderNotes = u"\r\n\r\n  作成された各シートは左穴用です。      \r\n"
                             u"  バインダー穴が右で印刷する場合は、\r\n"
                             u"  そのシートの一番左の列の幅を\r\n"
                             u"  ０ にすればＯＫです。"_s;

bool addSupplier(qint32 masterID, qint32 supplier, const QString& shortName, qint64 startCarry = 0,
                 bool valid = true) {
    return gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,strSupplierShortName,"
        u"strKana,curStartSupplyCarry,curStartSaleCarry) VALUES (?,?,?,?,?,?,0)"_s,
        {masterID, supplier, valid, shortName, shortName,
         QVariant::fromValue(Currency::fromInt(startCarry))});
}

QVariant money(std::optional<double> v) {
    return v ? QVariant::fromValue(Currency::fromDouble(*v)) : QVariant();
}

struct Line {
    QDate date;
    QString item;
    std::optional<double> cost;
    std::optional<double> payment;
    std::optional<double> quantity;
    std::optional<double> unitPrice;
    QString note;
};

bool addLine(qint32 masterID, const Line& l, int sort = 0) {
    return gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID,date1,lngSort,strItem,curQuantity,curUnitPrice,"
        u"curCost,curPayment,strNote,blnChange) VALUES (?,?,?,?,?,?,?,?,?,0)"_s,
        {masterID, l.date, sort, l.item, money(l.quantity), money(l.unitPrice), money(l.cost),
         money(l.payment), l.note.isEmpty() ? QVariant() : QVariant(l.note)});
}

// n purchases of 100 on consecutive days from `first`.
bool addPurchases(qint32 masterID, const QDate& first, int n) {
    for (int i = 0; i < n; ++i)
        if (!addLine(masterID, {first.addDays(i), u"品物%1"_s.arg(i + 1), 100.0, {}, {}, {}, {}}))
            return false;
    return true;
}

QString cell(Worksheet* ws, int row, int col) {
    const QVariant v = ws->value(row, col);
    return v.isValid() ? v.toString() : QString();
}

} // namespace

class tst_LedgerPrint : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void spacedPattern_data();
    void spacedPattern();
    void amountFormatter_data();
    void amountFormatter();
    void itemFontSize_data();
    void itemFontSize();
    void startRow_data();
    void startRow();
    void options_defaultsAndDamagedValues();
    void formsAndColumns();
    void templates_soundWithRoomForThePrintPosition_data();
    void templates_soundWithRoomForThePrintPosition();

    void thirtyLines_startPageTwo();
    void startRow10_firstLineOnRow14();
    void balanceEveryThirdLine_lastRowAndLastLine();
    void carry_startsTheRunningBalance();
    void monthOmission_keepsEachPagesFirstMonth();
    void dayOmission_firstLineOfEveryPageShowsItsDay();
    void negativeAmounts_triangleWithoutMinus();
    void longItems_smallerType_data();
    void longItems_smallerType();
    void closeDayBlankRows_countTowardThePage();
    void notesInBalanceColumn();
    void ri101_quantityAndUnitPriceInColumnOne();
    void ri103_formNotesAndPrintPosition();
    void printPosition_neverBelowItsLimits();
    void sheetNames_duplicateAndInvalidShortNames();
    void onlyCheckedSuppliersInListOrder();

    void nothingWritten_noFile();
    void inputChecks_data();
    void inputChecks();
    void missingTemplate_failurePath();
    void libreOffice_printsEveryFormOnItsPages();

private:
    LedgerPrintParams params(const QString& from, const QString& to,
                             const QList<LedgerPrintSupplier>& suppliers) const;
    bool run(const LedgerPrintParams& p, Workbook& book);

    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    TestServices m_svc{};
    LedgerPrintResult m_result;
};

void tst_LedgerPrint::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    m_out = std::make_unique<QTemporaryDir>();
    m_result = LedgerPrintResult();
}

void tst_LedgerPrint::cleanup() {
    m_out.reset();
    m_folder.reset();
}

LedgerPrintParams tst_LedgerPrint::params(const QString& from, const QString& to,
                                          const QList<LedgerPrintSupplier>& suppliers) const {
    LedgerPrintParams p;
    p.startText = from;
    p.endText = to;
    p.suppliers = suppliers;
    p.outputFolder = m_out->path();
    return p;
}

bool tst_LedgerPrint::run(const LedgerPrintParams& p, Workbook& book) {
    if (!gPrintLedger(p, {}, m_result) || m_result.outcome != LedgerPrintOutcome::Written) {
        qWarning() << "run did not write:" << m_svc.prompt->texts();
        return false;
    }
    XlsxPackage pkg;
    if (!pkg.load(m_result.savedPath) || !pkg.problems().isEmpty()) {
        qWarning() << pkg.problems();
        return false;
    }
    return book.open(m_result.savedPath);
}

// ---- Formats --------------------------------------------------------------------------------

void tst_LedgerPrint::spacedPattern_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero prints nothing") << 0.0 << QString();
    QTest::newRow("below a half prints nothing") << 0.4 << QString();
    QTest::newRow("a half is one") << 0.5 << u"1"_s;
    QTest::newRow("one digit") << 7.0 << u"7"_s;
    QTest::newRow("two digits") << 12.0 << u"1 2"_s;
    QTest::newRow("three digits") << 123.0 << u"1 2 3"_s;
    QTest::newRow("comma at the thousands") << 1234.0 << u"1,2 3 4"_s;
    QTest::newRow("five digits") << 12345.0 << u"1 2,3 4 5"_s;
    QTest::newRow("millions") << 1234567.0 << u"1,2 3 4,5 6 7"_s;
    QTest::newRow("rounds half away") << 1234.5 << u"1,2 3 5"_s;
    QTest::newRow("negative") << -1234.0 << u"-1,2 3 4"_s;
    QTest::newRow("negative to zero") << -0.2 << QString();
    QTest::newRow("fifteen digits") << 123456789012345.0 << u"1 2 3,4 5 6,7 8 9,0 1 2,3 4 5"_s;
    QTest::newRow("sixteen digits fill every box")
        << 1234567890123456.0 << u"1,2 3 4,5 6 7,8 9 0,1 2 3,4 5 6"_s;
    QTest::newRow("more digits stand together in front")
        << 1e17 << u"100,0 0 0,0 0 0,0 0 0,0 0 0,0 0 0"_s;
}

void tst_LedgerPrint::spacedPattern() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatNumber(value, kSpacedDigitPattern), expected);
    // Currency holds up to 15 whole digits.
    if (std::abs(value) < 1e15)
        QCOMPARE(formatNumber(Currency::fromDouble(value), kSpacedDigitPattern), expected);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::amountFormatter_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    const auto cur = [](double v) { return QVariant::fromValue(Currency::fromDouble(v)); };
    QTest::newRow("null") << QVariant() << QString();
    QTest::newRow("zero") << cur(0) << QString();
    QTest::newRow("amount") << cur(123456) << u"1 2 3,4 5 6"_s;
    QTest::newRow("negative gets the triangle") << cur(-1500) << u"▲1,5 0 0"_s;
    QTest::newRow("fraction kept") << cur(1.5) << u"1.5"_s;
    QTest::newRow("fraction of a large price") << cur(1234.25) << u"1,2 3 4.25"_s;
    QTest::newRow("fraction below one") << cur(0.75) << u"0.75"_s;
    QTest::newRow("negative fraction") << cur(-2.5) << u"▲2.5"_s;
    QTest::newRow("numeric text") << QVariant(u"-3000"_s) << u"▲3,0 0 0"_s;
    QTest::newRow("numeric text with spaces") << QVariant(u" 42 "_s) << u"4 2"_s;
    QTest::newRow("other text unchanged") << QVariant(u"月末払い"_s) << u"月末払い"_s;
    QTest::newRow("double") << QVariant(2500.0) << u"2,5 0 0"_s;
}

void tst_LedgerPrint::amountFormatter() {
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(gFormatLedgerAmount(value), expected);
}

void tst_LedgerPrint::itemFontSize_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<double>("size");
    QTest::newRow("8 characters keep the template's size") << u"あいうえおかきく"_s << 0.0;
    QTest::newRow("9 characters: 10 points") << u"あいうえおかきくけ"_s << 10.0;
    QTest::newRow("10 characters: 10 points") << u"あいうえおかきくけこ"_s << 10.0;
    QTest::newRow("11 characters: 9 points") << u"あいうえおかきくけこさ"_s << 9.0;
    QTest::newRow("12 characters: 9 points") << u"あいうえおかきくけこさし"_s << 9.0;
    QTest::newRow("13 characters: 8 points") << u"あいうえおかきくけこさしす"_s << 8.0;
    QTest::newRow("characters, not code units") << u"𠮷𠮷𠮷𠮷𠮷"_s << 0.0;
}

void tst_LedgerPrint::itemFontSize() {
    QFETCH(QString, item);
    QFETCH(double, size);
    QCOMPARE(gLedgerItemFontSize(item), size);
}

void tst_LedgerPrint::startRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");
    const QString integer = u"開始行には整数を入力してください"_s;
    const QString range = u"開始行は 1以上 29以下 の整数を入力してください"_s;
    QTest::newRow("1") << u"1"_s << 1 << QString();
    QTest::newRow("29") << u"29"_s << 29 << QString();
    QTest::newRow("full-width 10") << u" １０ "_s << 10 << QString();
    QTest::newRow("0") << u"0"_s << 0 << range;
    QTest::newRow("30") << u"30"_s << 0 << range;
    QTest::newRow("-1") << u"-1"_s << 0 << range;
    QTest::newRow("huge") << u"99999999999999999999"_s << 0 << range;
    QTest::newRow("a") << u"a"_s << 0 << integer;
    QTest::newRow("empty") << QString() << 0 << integer;
    QTest::newRow("1.5") << u"1.5"_s << 0 << integer;
    QTest::newRow("sign alone") << u"+"_s << 0 << integer;
}

void tst_LedgerPrint::startRow() {
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(QString, message);
    int parsed = -1;
    QString shown;
    QCOMPARE(gParseLedgerStartRow(text, parsed, shown), message.isEmpty());
    QCOMPARE(shown, message);
    if (message.isEmpty())
        QCOMPARE(parsed, row);
    else
        QCOMPARE(parsed, -1);
}

void tst_LedgerPrint::options_defaultsAndDamagedValues() {
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.linesPerPage, 29);
    QCOMPARE(o.balanceInterval, 2);
    QCOMPARE(o.closeDayBlankRows, 1);
    QCOMPARE(o.offsetVertical, 0);
    QVERIFY(!o.kokuyoRi103 && !o.noteInBalance && !o.omitMonth && !o.omitDay && !o.closeDayBlank);

    QVERIFY(gSetSystemLngField(33, 99));
    QVERIFY(gSetSystemLngField(41, 0));
    QVERIFY(gSetSystemLngField(46, -50));
    QVERIFY(gSetSystemLngField(48, 9));
    QVERIFY(gSetSystemBlnField(44, true));
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.linesPerPage, 31);
    QCOMPARE(o.balanceInterval, 1);
    QCOMPARE(o.offsetVertical, -10);
    QCOMPARE(o.closeDayBlankRows, 4);
    QVERIFY(o.closeDayBlank);

    // Two rows of one number: the store refuses, the read fails and says so.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID,lngField) VALUES (41,3)"_s));
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID,lngField) VALUES (41,4)"_s));
    QVERIFY(!gGetLedgerPrintOptions(o));
    QVERIFY(m_folder->errorLogProcedures().contains(u"gGetLedgerPrintOptions"_s));
}

void tst_LedgerPrint::formsAndColumns() {
    LedgerPrintOptions o;
    QCOMPARE(gLedgerTemplateFile(gLedgerForm(false, o)), u"StockBook.xlsx"_s);
    o.kokuyoRi103 = true;
    QCOMPARE(gLedgerTemplateFile(gLedgerForm(false, o)), u"kokuyo-ri-103.xlsx"_s);
    // The リ-101 box wins over the リ-103 option.
    QCOMPARE(gLedgerTemplateFile(gLedgerForm(true, o)), u"kokuyo-ri-101.xlsx"_s);
    const LedgerColumns c101 = gLedgerColumns(LedgerForm::KokuyoRi101);
    QCOMPARE(QList<int>({c101.month, c101.day, c101.item, c101.quantity, c101.unitPrice,
                         c101.amount, c101.payment, c101.balance}),
             QList<int>({2, 3, 5, 1, 1, 6, 8, 10}));
    const LedgerColumns c103 = gLedgerColumns(LedgerForm::KokuyoRi103);
    QCOMPARE(QList<int>({c103.month, c103.day, c103.item, c103.quantity, c103.unitPrice,
                         c103.amount, c103.payment, c103.balance}),
             QList<int>({2, 3, 4, 5, 6, 7, 9, 11}));
}

void tst_LedgerPrint::templates_soundWithRoomForThePrintPosition_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("paper");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QString>("area");
    QTest::newRow("plain") << u"StockBook.xlsx"_s << 9 << true << u"$A$1:$K$35"_s;
    // Every page fits one sheet: at 100 % where the columns fit, shrunk only where a printer's
    // font would make a column spill onto a page of its own.
    QTest::newRow("リ-103") << u"kokuyo-ri-103.xlsx"_s << 13 << true << u"$A$1:$K$35"_s;
    QTest::newRow("リ-101") << u"kokuyo-ri-101.xlsx"_s << 13 << true << u"$A$1:$J$35"_s;
}

void tst_LedgerPrint::templates_soundWithRoomForThePrintPosition() {
    QFETCH(QString, file);
    QFETCH(int, paper);
    QFETCH(bool, fit);
    QFETCH(QString, area);
    XlsxPackage pkg;
    QVERIFY(pkg.load(gstrExcelFormatPath + file));
    QCOMPARE(pkg.problems(), QStringList());
    Workbook book;
    QVERIFY(book.open(gstrExcelFormatPath + file));
    QCOMPARE(book.sheetNames(), QStringList({u"雛型"_s}));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(ws->pageSetup().paperSize, paper);
    QCOMPARE(ws->pageSetup().fitToPage, fit);
    QVERIFY(!ws->pageSetup().landscape);
    QCOMPARE(book.definedNames().size(), 1);
    QCOMPARE(book.definedNames()[0].formula, u"'雛型'!"_s + area);
    // Row 1 can lose ten points; the rows of 31 lines fit on the page.
    QVERIFY(ws->rowHeight(1) >= 10);
    for (int row = 5; row <= 35; ++row)
        QVERIFY(ws->rowHeight(row) > 15);
    // Figures stand right in a fixed-pitch font, so the digits keep one box each.
    const LedgerColumns c = gLedgerColumns(file == u"kokuyo-ri-101.xlsx"_s ? LedgerForm::KokuyoRi101
                                                                           : LedgerForm::Plain);
    for (int col : {c.amount, c.payment, c.balance}) {
        QVERIFY(ws->setText(20, col, u"1,2 3 4"_s));
        QCOMPARE(ws->format(20, col).horizontal, u"right"_s);
        QCOMPARE(ws->format(20, col).fontName, u"ＭＳ ゴシック"_s);
    }
}

// ---- Pages ----------------------------------------------------------------------------------

void tst_LedgerPrint::thirtyLines_startPageTwo() {
    QVERIFY(addSupplier(1, 5, u"ABC商会"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 30));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, {{5, u"ABC商会"_s, true, 1}}), book));
    QCOMPARE(book.sheetNames(), QStringList({u"ABC商会1"_s, u"ABC商会2"_s}));
    QCOMPARE(m_result.sheets, book.sheetNames());
    QCOMPARE(QFileInfo(m_result.savedPath).fileName(), u"　2024-03-05　10：15：00　仕入帳.xlsx"_s);
    Worksheet* p1 = book.sheet(0);
    Worksheet* p2 = book.sheet(1);
    QCOMPARE(cell(p1, 2, 5), u"ABC商会"_s);
    QCOMPARE(cell(p2, 2, 5), u"ABC商会"_s);
    // Page 1: rows 5 to 33 hold lines 1 to 29.
    QCOMPARE(cell(p1, 5, 4), u"品物1"_s);
    QCOMPARE(cell(p1, 33, 4), u"品物29"_s);
    QCOMPARE(cell(p1, 34, 4), QString());
    QCOMPARE(cell(p1, 33, 11), u"2,9 0 0"_s); // the page's last row
    // Page 2: the 30th line with its month, day and balance.
    QCOMPARE(cell(p2, 5, 2), u"1"_s);
    QCOMPARE(cell(p2, 5, 3), u"30"_s);
    QCOMPARE(cell(p2, 5, 4), u"品物30"_s);
    QCOMPARE(cell(p2, 5, 7), u"1 0 0"_s);
    QCOMPARE(cell(p2, 5, 11), u"3,0 0 0"_s);
    QCOMPARE(cell(p2, 6, 4), QString());
    QCOMPARE(cell(p2, 6, 11), QString());
    // Saved, then the question without the form notes.
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({u"デスクトップに\r\n表が作成されました\r\n\r\n開きますか？\r\n"_s}));
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::startRow10_firstLineOnRow14() {
    QVERIFY(addSupplier(1, 1, u"山田"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 25));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"山田"_s, true, 10}}), book));
    QCOMPARE(book.sheetCount(), 2);
    Worksheet* p1 = book.sheet(0);
    for (int row = 5; row < 14; ++row)
        QCOMPARE(cell(p1, row, 4), QString());
    QCOMPARE(cell(p1, 14, 2), u"1"_s);
    QCOMPARE(cell(p1, 14, 3), u"1"_s);
    QCOMPARE(cell(p1, 14, 4), u"品物1"_s);
    QCOMPARE(cell(p1, 14, 11), u"1 0 0"_s);
    // L − 9 = 20 lines on the first page; the next page starts at row 5.
    QCOMPARE(cell(p1, 33, 4), u"品物20"_s);
    QCOMPARE(cell(p1, 33, 11), u"2,0 0 0"_s);
    Worksheet* p2 = book.sheet(1);
    QCOMPARE(cell(p2, 5, 4), u"品物21"_s);
    QCOMPARE(cell(p2, 9, 4), u"品物25"_s);
}

void tst_LedgerPrint::balanceEveryThirdLine_lastRowAndLastLine() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 35));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/02/29"_s, {{1, u"A"_s, true, 1}}), book));
    const auto balanceLines = [](Worksheet* ws) {
        QList<int> lines;
        for (int row = 5; row <= 35; ++row)
            if (!cell(ws, row, 11).isEmpty())
                lines << row - 4;
        return lines;
    };
    // N = 2: lines 1, 4, 7, …, the page's last row (29) and the supplier's last line.
    QCOMPARE(balanceLines(book.sheet(0)), QList<int>({1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 29}));
    QCOMPARE(balanceLines(book.sheet(1)), QList<int>({1, 4, 6}));
    QCOMPARE(cell(book.sheet(0), 5 + 27, 11), u"2,8 0 0"_s);
    QCOMPARE(cell(book.sheet(1), 10, 11), u"3,5 0 0"_s);

    // N = 4 and 31 lines a page: every fifth line.
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/02/29"_s, {{1, u"A"_s, true, 1}});
    p.options.balanceInterval = 4;
    p.options.linesPerPage = 31;
    Workbook book2;
    QVERIFY(run(p, book2));
    QCOMPARE(balanceLines(book2.sheet(0)), QList<int>({1, 6, 11, 16, 21, 26, 31}));
    QCOMPARE(balanceLines(book2.sheet(1)), QList<int>({1, 4}));
}

void tst_LedgerPrint::carry_startsTheRunningBalance() {
    QVERIFY(addSupplier(1, 1, u"A"_s, 10000));
    QVERIFY(addLine(1, {QDate(2023, 12, 10), u"前月"_s, 5000.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2023, 12, 25), u"支払"_s, {}, 3000.0, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 5), u"今月"_s, 1000.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 2, 5), u"翌月"_s, 700.0, {}, {}, {}, {}}));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}}), book));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(cell(ws, 5, 4), u"今月"_s);
    QCOMPARE(cell(ws, 5, 11), u"1 3,0 0 0"_s); // 10000 + 5000 − 3000 + 1000
    QCOMPARE(cell(ws, 6, 4), QString());       // February is outside the range
}

void tst_LedgerPrint::monthOmission_keepsEachPagesFirstMonth() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    // 27 lines in January, then 5 in February: page 2 starts with two January lines.
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 27));
    QVERIFY(addLine(1, {QDate(2024, 1, 31), u"月末1"_s, 1.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 31), u"月末2"_s, 1.0, {}, {}, {}, {}}, 1));
    QVERIFY(addLine(1, {QDate(2024, 1, 31), u"月末3"_s, 1.0, {}, {}, {}, {}}, 2));
    QVERIFY(addLine(1, {QDate(2024, 1, 31), u"月末4"_s, 1.0, {}, {}, {}, {}}, 3));
    QVERIFY(addPurchases(1, QDate(2024, 2, 1), 3));
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/02/29"_s, {{1, u"A"_s, true, 1}});
    p.options.omitMonth = true;
    Workbook book;
    QVERIFY(run(p, book));
    Worksheet* p1 = book.sheet(0);
    Worksheet* p2 = book.sheet(1);
    QCOMPARE(cell(p1, 5, 2), u"1"_s);
    QCOMPARE(cell(p1, 6, 2), u" "_s);
    QCOMPARE(cell(p1, 33, 2), u" "_s);
    // The first line of page 2 repeats January, yet shows it; the next does not.
    QCOMPARE(cell(p2, 5, 2), u"1"_s);
    QCOMPARE(cell(p2, 6, 2), u" "_s);
    QCOMPARE(cell(p2, 7, 2), u"2"_s);
    QCOMPARE(cell(p2, 8, 2), u" "_s);
    // Days are not omitted unless asked.
    QCOMPARE(cell(p2, 6, 3), u"31"_s);
}

void tst_LedgerPrint::dayOmission_firstLineOfEveryPageShowsItsDay() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addSupplier(2, 2, u"B"_s));
    QVERIFY(addLine(1, {QDate(2024, 1, 15), u"a1"_s, 1.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 15), u"a2"_s, 1.0, {}, {}, {}, {}}, 1));
    QVERIFY(addLine(1, {QDate(2024, 1, 16), u"a3"_s, 1.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 2, 16), u"a4"_s, 1.0, {}, {}, {}, {}}));
    QVERIFY(addLine(2, {QDate(2024, 2, 16), u"b1"_s, 1.0, {}, {}, {}, {}}));
    LedgerPrintParams p =
        params(u"2024/01/01"_s, u"2024/02/29"_s, {{1, u"A"_s, true, 1}, {2, u"B"_s, true, 7}});
    p.options.omitDay = true;
    Workbook book;
    QVERIFY(run(p, book));
    Worksheet* a = book.sheet(u"A1"_s);
    QCOMPARE(cell(a, 5, 3), u"15"_s);
    QCOMPARE(cell(a, 6, 3), u" "_s);
    QCOMPARE(cell(a, 7, 3), u"16"_s);
    QCOMPARE(cell(a, 8, 3), u" "_s); // the same day number in the next month, month shown
    QCOMPARE(cell(a, 8, 2), u"2"_s);
    // B starts on row 11 with the day A ended on: its page has no line above to repeat.
    Worksheet* b = book.sheet(u"B1"_s);
    QCOMPARE(cell(b, 11, 3), u"16"_s);
    QCOMPARE(cell(b, 11, 2), u"2"_s);
}

void tst_LedgerPrint::negativeAmounts_triangleWithoutMinus() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addLine(1, {QDate(2024, 1, 5), u"返品"_s, -1200.0, {}, 2.0, -600.0, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 6), u"戻入"_s, {}, -300.0, {}, {}, {}}));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}}), book));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(cell(ws, 5, 5), u"2"_s);
    QCOMPARE(cell(ws, 5, 6), u"▲6 0 0"_s);
    QCOMPARE(cell(ws, 5, 7), u"▲1,2 0 0"_s);
    QCOMPARE(cell(ws, 5, 9), QString());
    QCOMPARE(cell(ws, 5, 11), u"▲1,2 0 0"_s);
    QCOMPARE(cell(ws, 6, 9), u"▲3 0 0"_s);
    QCOMPARE(cell(ws, 6, 11), u"▲9 0 0"_s); // −1200 − (−300)
    for (int row = 5; row <= 6; ++row)
        for (int col = 1; col <= 11; ++col)
            QVERIFY2(!cell(ws, row, col).contains(u'-'), qPrintable(cell(ws, row, col)));
}

void tst_LedgerPrint::longItems_smallerType_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<double>("size");
    QTest::newRow("8") << u"ABCDEFGH"_s << 10.5; // the template's size
    QTest::newRow("11") << u"有機肥料１０ｋｇ入り袋"_s << 9.0;
    QTest::newRow("13") << u"ABCDEFGHIJKLM"_s << 8.0;
}

void tst_LedgerPrint::longItems_smallerType() {
    QFETCH(QString, item);
    QFETCH(double, size);
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addLine(1, {QDate(2024, 1, 5), item, 100.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 6), u"短い"_s, 100.0, {}, {}, {}, {}}));
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}}), book));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(cell(ws, 5, 4), item);
    QCOMPARE(ws->format(5, 4).fontSize, size);
    QCOMPARE(ws->format(6, 4).fontSize, 10.5);
}

void tst_LedgerPrint::closeDayBlankRows_countTowardThePage() {
    // Close day 20: 2024/01/20 ends a term.
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 20)); // 1/1 … 1/20: lines 1 to 20
    QVERIFY(addLine(1, {QDate(2024, 1, 20), u"締日2"_s, 50.0, {}, {}, {}, {}}, 1));
    QVERIFY(addLine(1, {QDate(2024, 1, 20), u"締日3"_s, 50.0, {}, {}, {}, {}}, 2));
    QVERIFY(addPurchases(1, QDate(2024, 1, 21), 10)); // lines 23 to 32
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}});
    p.options.closeDayBlank = true;
    p.options.closeDayBlankRows = 2;
    Workbook book;
    QVERIFY(run(p, book));
    Worksheet* p1 = book.sheet(0);
    // Lines 20 and 21 are followed by another line of 1/20: no blank rows yet.
    QCOMPARE(cell(p1, 24, 4), u"品物20"_s);
    QCOMPARE(cell(p1, 25, 11), QString());
    // The day's last line shows the balance; two empty rows follow.
    QCOMPARE(cell(p1, 26, 4), u"締日3"_s);
    QCOMPARE(cell(p1, 26, 11), u"2,1 0 0"_s);
    for (int col = 1; col <= 11; ++col) {
        QCOMPARE(p1->value(27, col), QVariant());
        QCOMPARE(p1->value(28, col), QVariant());
    }
    // The next line is the page's 23rd, not a balance line by the interval, yet shows it.
    QCOMPARE(cell(p1, 29, 4), u"品物1"_s);
    QCOMPARE(cell(p1, 29, 3), u"21"_s);
    QCOMPARE(cell(p1, 29, 11), u"2,2 0 0"_s);
    QCOMPARE(cell(p1, 30, 11), QString());
    // The blank rows count toward the page: 22 + 2 + 5 = 29 rows, so line 28 starts page 2.
    QCOMPARE(cell(p1, 33, 4), u"品物5"_s);
    QCOMPARE(cell(book.sheet(1), 5, 4), u"品物6"_s);
    QCOMPARE(cell(book.sheet(1), 5, 11), u"2,7 0 0"_s);

    // Without the option the same lines follow each other and the 23rd shows no balance.
    p.options.closeDayBlank = false;
    Workbook plain;
    QVERIFY(run(p, plain));
    QCOMPARE(cell(plain.sheet(0), 27, 4), u"品物1"_s);
    QCOMPARE(cell(plain.sheet(0), 27, 11), QString());
    QCOMPARE(cell(plain.sheet(0), 33, 4), u"品物7"_s);
}

void tst_LedgerPrint::notesInBalanceColumn() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addLine(1, {QDate(2024, 1, 5), u"a"_s, 100.0, {}, {}, {}, u"月末払い"_s}));
    QVERIFY(addLine(1, {QDate(2024, 1, 6), u"b"_s, 100.0, {}, {}, {}, u"-25000"_s}));
    QVERIFY(addLine(1, {QDate(2024, 1, 20), u"c"_s, 100.0, {}, {}, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 21), u"d"_s, 100.0, {}, {}, {}, u"次"_s}));
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}});
    p.options.noteInBalance = true;
    p.options.closeDayBlank = true;
    Workbook book;
    QVERIFY(run(p, book));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(cell(ws, 5, 11), u"月末払い"_s);
    QCOMPARE(cell(ws, 6, 11), u"▲2 5,0 0 0"_s);
    // A close day keeps its (empty) note and still gets its blank row.
    QCOMPARE(cell(ws, 7, 11), QString());
    QCOMPARE(cell(ws, 8, 4), QString());
    QCOMPARE(cell(ws, 9, 4), u"d"_s);
    QCOMPARE(cell(ws, 9, 11), u"次"_s);
}

void tst_LedgerPrint::ri101_quantityAndUnitPriceInColumnOne() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addLine(1, {QDate(2024, 1, 5), u"苗"_s, 2400.0, {}, 12.0, 200.0, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 6), u"土"_s, 500.0, {}, 5.0, {}, {}}));
    QVERIFY(addLine(1, {QDate(2024, 1, 7), u"払"_s, {}, 1000.0, {}, {}, {}}));
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}});
    p.kokuyoRi101 = true;
    p.options.kokuyoRi103 = true; // リ-101 wins
    Workbook book;
    QVERIFY(run(p, book));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(cell(ws, 5, 1), u"1 2 @2 0 0"_s);
    QCOMPARE(cell(ws, 6, 1), u"5"_s);
    QCOMPARE(cell(ws, 7, 1), QString());
    QCOMPARE(cell(ws, 5, 2), u"1"_s);
    QCOMPARE(cell(ws, 5, 3), u"5"_s);
    QCOMPARE(cell(ws, 5, 5), u"苗"_s);
    QCOMPARE(cell(ws, 5, 6), u"2,4 0 0"_s);
    QCOMPARE(cell(ws, 7, 8), u"1,0 0 0"_s);
    QCOMPARE(cell(ws, 7, 10), u"1,9 0 0"_s);
    QCOMPARE(cell(ws, 5, 11), QString());
    QCOMPARE(m_svc.prompt->texts().last(), u"デスクトップに\r\n表が作成されました"_s +
                                               kBinderNotes + u"\r\n\r\n開きますか？\r\n"_s);
}

void tst_LedgerPrint::ri103_formNotesAndPrintPosition() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 31));
    Workbook tpl;
    QVERIFY(tpl.open(gstrExcelFormatPath + u"kokuyo-ri-103.xlsx"_s));
    const double row1 = tpl.sheet(0)->rowHeight(1);
    const double col2 = tpl.sheet(0)->columnWidth(2);
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}});
    p.options.kokuyoRi103 = true;
    p.options.offsetVertical = -4;
    p.options.offsetHorizontal = 3;
    p.options.linesPerPage = 30;
    Workbook book;
    QVERIFY(run(p, book));
    QCOMPARE(book.sheetCount(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(book.sheet(i)->rowHeight(1), row1 - 4);
        QCOMPARE(book.sheet(i)->columnWidth(2), col2 + 3);
    }
    QCOMPARE(cell(book.sheet(0), 34, 4), u"品物30"_s);
    QCOMPARE(cell(book.sheet(1), 5, 4), u"品物31"_s);
    QVERIFY(m_svc.prompt->texts().last().contains(kBinderNotes));
    // The form page carries nothing of its own: the paper has the rules and headings.
    for (int row = 1; row <= 35; ++row)
        for (int col = 1; col <= 11; ++col)
            QCOMPARE(tpl.sheet(0)->value(row, col), QVariant());
    QCOMPARE(tpl.sheet(0)->pageSetup().paperSize, 13);
    QCOMPARE(tpl.sheet(0)->pageSetup().scale, 100);
    QVERIFY(tpl.sheet(0)->pageSetup().fitToPage);
    QCOMPARE(tpl.sheet(0)->pageSetup().fitToWidth, 1);
}

void tst_LedgerPrint::printPosition_neverBelowItsLimits() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 1));
    Workbook tpl;
    QVERIFY(tpl.open(gstrExcelFormatPath + u"StockBook.xlsx"_s));
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}});
    p.options.offsetVertical = 10;
    p.options.offsetHorizontal = -10;
    Workbook book;
    QVERIFY(run(p, book));
    QCOMPARE(book.sheet(0)->rowHeight(1), tpl.sheet(0)->rowHeight(1) + 10);
    // The month column keeps room for two digits.
    QCOMPARE(book.sheet(0)->columnWidth(2), 2.0);
}

void tst_LedgerPrint::sheetNames_duplicateAndInvalidShortNames() {
    QVERIFY(addSupplier(1, 1, u"ABC"_s));
    QVERIFY(addSupplier(2, 2, u"abc"_s));
    QVERIFY(addSupplier(3, 3, u"A/B:[C]"_s));
    QVERIFY(addSupplier(4, 4, u"'引用'"_s));
    QVERIFY(addSupplier(5, 5, u"株式会社とても長い名前の仕入先ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s));
    QVERIFY(addSupplier(6, 6, QString()));
    for (qint32 id = 1; id <= 6; ++id)
        QVERIFY(addPurchases(id, QDate(2024, 1, 1), id == 1 || id == 5 ? 30 : 1));
    QList<LedgerPrintSupplier> list;
    const QStringList names = {u"ABC"_s,
                               u"abc"_s,
                               u"A/B:[C]"_s,
                               u"'引用'"_s,
                               u"株式会社とても長い名前の仕入先ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s,
                               QString()};
    for (int i = 0; i < names.size(); ++i)
        list << LedgerPrintSupplier{i + 1, names[i], true, 1};
    Workbook book;
    QVERIFY(run(params(u"2024/01/01"_s, u"2024/01/31"_s, list), book));
    QCOMPARE(book.sheetNames(),
             QStringList({u"ABC1"_s, u"ABC2"_s, u"abc(2)1"_s, u"A_B__C_1"_s, u"引用1"_s,
                          u"株式会社とても長い名前の仕入先ABCDEFGHIJKLMNO1"_s,
                          u"株式会社とても長い名前の仕入先ABCDEFGHIJKLMNO2"_s, u"仕入先6_1"_s}));
    // Each page still carries the supplier's own short name.
    QCOMPARE(cell(book.sheet(u"abc(2)1"_s), 2, 5), u"abc"_s);
    QCOMPARE(cell(book.sheet(u"A_B__C_1"_s), 2, 5), u"A/B:[C]"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::onlyCheckedSuppliersInListOrder() {
    QVERIFY(addSupplier(1, 1, u"一"_s));
    QVERIFY(addSupplier(2, 2, u"二"_s));
    QVERIFY(addSupplier(3, 3, u"三"_s));
    QVERIFY(addSupplier(4, 4, u"四"_s));
    for (qint32 id = 1; id <= 3; ++id)
        QVERIFY(addPurchases(id, QDate(2024, 1, 1), 2));
    QList<QPair<int, int>> progress;
    ExcelReportRun::Callbacks cb;
    cb.progress = [&](int v, int m) { progress << qMakePair(v, m); };
    LedgerPrintParams p = params(u"2024/01/01"_s, u"2024/01/31"_s,
                                 {{3, u"三"_s, true, 1},
                                  {2, u"二"_s, false, 1},
                                  {4, u"四"_s, true, 1}, // no lines: no page
                                  {1, u"一"_s, true, 1}});
    QVERIFY(gPrintLedger(p, cb, m_result));
    QCOMPARE(m_result.outcome, LedgerPrintOutcome::Written);
    Workbook book;
    QVERIFY(book.open(m_result.savedPath));
    QCOMPARE(book.sheetNames(), QStringList({u"三1"_s, u"一1"_s}));
    // The progress advances for every item of the list, ticked or not.
    QCOMPARE(progress.last(), qMakePair(4, 4));
}

// ---- Stops and failures ---------------------------------------------------------------------

void tst_LedgerPrint::nothingWritten_noFile() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 3, 1), 3));
    QList<bool> busy;
    ExcelReportRun::Callbacks cb;
    cb.setBusy = [&](bool b) { busy << b; };
    QVERIFY(gPrintLedger(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}}), cb,
                         m_result));
    QCOMPARE(m_result.outcome, LedgerPrintOutcome::NothingToReport);
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"対象となるデータがありませんでした"_s}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly | MsgStyle::Information);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(busy, QList<bool>({true, false}));
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::inputChecks_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("suppliers"); // 0 none, 1 one unticked, 2 one ticked
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString msg4 = u"日付が正しくありません。\r\n正しい日付を入力してください。"_s;
    QTest::newRow("start not a date")
        << u"2024/13/01"_s << u"abc"_s << 2 << msg4 << u"cboPrintDataStartDate"_s;
    QTest::newRow("end not a date")
        << u"2024/01/01"_s << u"abc"_s << 2 << msg4 << u"cboPrintDataEndDate"_s;
    QTest::newRow("start after end")
        << u"2024/02/01"_s << u"2024/01/31"_s << 2
        << u"終了日が開始日より前になっています。\r\n期間を確認してください。"_s
        << u"cboPrintDataStartDate"_s;
    QTest::newRow("no suppliers") << u"2024/01/01"_s << u"2024/01/31"_s << 0
                                  << u"仕入先がありません"_s << QString();
    QTest::newRow("none ticked") << u"2024/01/01"_s << u"2024/01/01"_s << 1
                                 << u"対象仕入先がありません"_s << QString();
}

void tst_LedgerPrint::inputChecks() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, suppliers);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 3));
    QList<LedgerPrintSupplier> list;
    if (suppliers > 0)
        list << LedgerPrintSupplier{1, u"A"_s, suppliers == 2, 1};
    bool busy = false;
    ExcelReportRun::Callbacks cb;
    cb.setBusy = [&](bool) { busy = true; };
    QVERIFY(gPrintLedger(params(from, to, list), cb, m_result));
    QVERIFY(m_result.outcome != LedgerPrintOutcome::Written);
    QCOMPARE(m_result.focus, focus);
    QCOMPARE(m_svc.prompt->texts(), QStringList({message}));
    QVERIFY(!busy);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
}

void tst_LedgerPrint::missingTemplate_failurePath() {
    QVERIFY(addSupplier(1, 1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 3));
    const QString tpl = gstrExcelFormatPath + u"StockBook.xlsx"_s;
    QByteArray bytes;
    {
        QFile f(tpl);
        QVERIFY(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    QVERIFY(QFile::remove(tpl));
    QList<bool> busy;
    ExcelReportRun::Callbacks cb;
    cb.setBusy = [&](bool b) { busy << b; };
    QVERIFY(!gPrintLedger(params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"A"_s, true, 1}}), cb,
                          m_result));
    QCOMPARE(m_result.outcome, LedgerPrintOutcome::Failed);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({u"表が正常に作成されませんでした。管理者に問い合わせてください"_s}));
    QCOMPARE(busy, QList<bool>({true, false}));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_cmdPrintData_Click"_s}));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // A supplier number that no longer exists ends the same way.
    {
        QFile f(tpl);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    m_svc.prompt->shown.clear();
    QVERIFY(!gPrintLedger(params(u"2024/01/01"_s, u"2024/01/31"_s, {{9, u"X"_s, true, 1}}), {},
                          m_result));
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({u"表が正常に作成されませんでした。管理者に問い合わせてください"_s}));
    QVERIFY(m_folder->errorLog().contains(u"仕入先番号 9 がありません"_s));
}

// A real spreadsheet program prints the pages: LibreOffice turns a print of each form into a
// PDF with exactly one printed page per sheet (no column spills onto a page of its own), on
// B5 paper for the forms, with the figures on it.
void tst_LedgerPrint::libreOffice_printsEveryFormOnItsPages() {
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    QVERIFY(addSupplier(1, 1, u"山田商店"_s, 50000));
    for (int i = 0; i < 32; ++i)
        QVERIFY(addLine(1, {QDate(2024, 1, 1).addDays(i % 28),
                            u"肥料 %1袋"_s.arg(i + 1),
                            i % 5 == 4 ? std::optional<double>() : 123456.0 * (i + 1),
                            i % 5 == 4 ? std::optional<double>(3000000.0) : std::nullopt,
                            3.0,
                            41152.0 * (i + 1),
                            {}}));
    QTemporaryDir dir;
    QStringList files;
    for (const QString& form : {u"plain"_s, u"ri103"_s, u"ri101"_s}) {
        LedgerPrintParams p =
            params(u"2024/01/01"_s, u"2024/01/31"_s, {{1, u"山田商店"_s, true, 1}});
        p.options.kokuyoRi103 = form == u"ri103"_s;
        p.kokuyoRi101 = form == u"ri101"_s;
        Workbook book;
        QVERIFY(run(p, book));
        QCOMPARE(book.sheetCount(), 2);
        files << dir.filePath(form + u".xlsx"_s);
        QVERIFY(QFile::rename(m_result.savedPath, files.last()));
    }
    QProcess conv;
    conv.setProcessChannelMode(QProcess::MergedChannels);
    conv.start(soffice,
               QStringList({u"-env:UserInstallation=file://"_s + dir.filePath(u"profile"_s),
                            u"--headless"_s, u"--convert-to"_s, u"pdf"_s, u"--outdir"_s,
                            dir.filePath(u"pdf"_s)}) +
                   files);
    QVERIFY(conv.waitForStarted());
    QVERIFY(conv.waitForFinished(300000));
    const QByteArray log = conv.readAll();
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    const QString pdfinfo = QStandardPaths::findExecutable(u"pdfinfo"_s);
    for (const QString& form : {u"plain"_s, u"ri103"_s, u"ri101"_s}) {
        const QString pdf = dir.filePath(u"pdf/"_s + form + u".pdf"_s);
        QFile f(pdf);
        QVERIFY2(f.open(QIODevice::ReadOnly), log.constData());
        QVERIFY(f.readAll().startsWith("%PDF"));
        if (pdftotext.isEmpty() || pdfinfo.isEmpty())
            continue;
        QProcess info;
        info.start(pdfinfo, {pdf});
        QVERIFY(info.waitForFinished(60000));
        const QString facts = QString::fromUtf8(info.readAll());
        QVERIFY2(facts.contains(QRegularExpression(u"Pages:\\s+2\\b"_s)), qPrintable(form + facts));
        // A4 for plain pages; B5 (JIS, 182 × 257 mm = 515.9 × 728.5 pt) for the forms.
        QVERIFY2(facts.contains(form == u"plain"_s ? u"595.3"_s : u"515.9"_s),
                 qPrintable(form + facts));
        QProcess text;
        text.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY(text.waitForFinished(60000));
        const QString out = QString::fromUtf8(text.readAll());
        QVERIFY2(out.contains(u"山田商店"_s), qPrintable(out));
        QVERIFY2(out.contains(u"肥料 32袋"_s), qPrintable(out));
        // The last balance: 50000 + the amounts − the payments of the 32 lines.
        QVERIFY2(QString(out).remove(u' ').contains(u"34,271,888"_s), qPrintable(form + out));
    }
}

QTEST_GUILESS_MAIN(tst_LedgerPrint)
#include "tst_LedgerPrint.moc"
