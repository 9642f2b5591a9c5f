#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/LedgerPrint.h"
#include "reports/PdfConvert.h"
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

Q_DECLARE_METATYPE(LedgerForm)

namespace {

const QString kBinderNotes = u"\r\n\r\n  作成された各シートは左穴用です。      \r\n"
                             u"  バインダー穴が右で印刷する場合は、\r\n"
                             u"  そのシートの一番左の列の幅を\r\n"
                             u"  ０ にすればＯＫです。"_s;

bool supplier(qint32 id, const QString& name, double carry = 0, qint32 number = 0) {
    return addSupplier(
        {.masterID = id, .supplier = number, .shortName = name, .supplyCarry = carry});
}

using Money = std::optional<double>;

// A purchase ledger line.
bool line(const QDate& date, const QString& item, Money cost, Money payment = {},
          Money quantity = {}, Money unitPrice = {}, const QString& note = {}, int sort = 0,
          qint32 id = 1) {
    return addLine({.masterID = id,
                    .date = date,
                    .sort = sort,
                    .item = item,
                    .quantity = quantity,
                    .unitPrice = unitPrice,
                    .cost = cost,
                    .payment = payment,
                    .note = note}) > 0;
}

bool buy(qint32 id, const QDate& date, const QString& item, Money cost, int sort = 0) {
    return line(date, item, cost, {}, {}, {}, {}, sort, id);
}

// n purchases of 100 on consecutive days from `first`.
bool addPurchases(qint32 id, const QDate& first, int n) {
    for (int i = 0; i < n; ++i)
        if (!buy(id, first.addDays(i), u"品物%1"_s.arg(i + 1), 100.0))
            return false;
    return true;
}

constexpr auto cell = reporttest::cellText;

} // namespace

class tst_LedgerPrint : public DataFileTest {
    Q_OBJECT
private slots:
    void init();

    void spacedPattern_data();
    void spacedPattern();
    void itemFontSize_data();
    void itemFontSize();
    void startRow_data();
    void startRow();
    void options_defaultsAndDamagedValues();

    void thirtyLines_startPageTwo();
    void layout_data();
    void layout();
    void carryAndNegativeAmounts_data();
    void carryAndNegativeAmounts();
    void monthOmission_keepsEachPagesFirstMonth();
    void omission_firstLineOfEveryPageShowsMonthAndDay();
    void closeDayBlankRows_countTowardThePage();
    void notesInBalanceColumn();
    void ri101_quantityAndUnitPriceInColumnOne();
    void ri103_formNotesAndPrintPosition();
    void sheetNames_duplicateAndInvalidShortNames();

    void refusals_data();
    void refusals();
    void unknownSupplier_failurePath();
    void libreOffice_printsEveryFormOnItsPages();

private:
    LedgerPrintParams params(const QList<LedgerPrintSupplier>& suppliers,
                             const QString& to = u"2024/01/31"_s) const;
    bool run(const LedgerPrintParams& p); // into m_book
    std::unique_ptr<QTemporaryDir> m_out;
    LedgerPrintResult m_result;
    Workbook m_book;
};

void tst_LedgerPrint::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    m_result = LedgerPrintResult();
}

LedgerPrintParams tst_LedgerPrint::params(const QList<LedgerPrintSupplier>& suppliers,
                                          const QString& to) const {
    LedgerPrintParams p;
    p.startText = u"2024/01/01"_s;
    p.endText = to;
    p.suppliers = suppliers;
    p.outputFolder = m_out->path();
    return p;
}

// Prints, checks the package with the independent reader and opens it.
bool tst_LedgerPrint::run(const LedgerPrintParams& p) {
    if (!gPrintLedger(p, {}, m_result) || m_result.outcome != LedgerPrintOutcome::Written) {
        qWarning() << "run did not write:" << m_svc.prompt->texts();
        return false;
    }
    XlsxPackage pkg;
    if (!pkg.load(m_result.savedPath) || !pkg.problems().isEmpty()) {
        qWarning() << pkg.problems();
        return false;
    }
    return m_book.open(m_result.savedPath);
}

// ---- Formats --------------------------------------------------------------------------------

void tst_LedgerPrint::spacedPattern_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("below a half prints nothing") << 0.4 << QString();
    QTest::newRow("a half is one") << 0.5 << u"1"_s;
    QTest::newRow("rounds half away") << 1234.5 << u"1,2 3 5"_s;
    QTest::newRow("negative") << -1234.0 << u"-1,2 3 4"_s;
    QTest::newRow("sixteen digits fill every box")
        << 1234567890123456.0 << u"1,2 3 4,5 6 7,8 9 0,1 2 3,4 5 6"_s;
    QTest::newRow("more digits stand together in front")
        << 1e17 << u"100,0 0 0,0 0 0,0 0 0,0 0 0,0 0 0"_s;
}

void tst_LedgerPrint::spacedPattern() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatNumber(value, kSpacedDigitPattern), expected);
    if (std::abs(value) < 1e15) // Currency holds up to 15 whole digits
        QCOMPARE(formatNumber(Currency::fromDouble(value), kSpacedDigitPattern), expected);
}

void tst_LedgerPrint::itemFontSize_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<double>("size"); // 0: the template's size
    QTest::newRow("8") << u"あいうえおかきく"_s << 0.0;
    QTest::newRow("9") << u"あいうえおかきくけ"_s << 10.0;
    QTest::newRow("10") << u"あいうえおかきくけこ"_s << 10.0;
    QTest::newRow("11") << u"あいうえおかきくけこさ"_s << 9.0;
    QTest::newRow("12") << u"あいうえおかきくけこさし"_s << 9.0;
    QTest::newRow("13") << u"あいうえおかきくけこさしす"_s << 8.0;
    QTest::newRow("characters, not code units") << u"𠮷𠮷𠮷𠮷𠮷"_s << 0.0;
}

void tst_LedgerPrint::itemFontSize() {
    QFETCH(QString, item);
    QFETCH(double, size);
    QCOMPARE(gLedgerItemFontSize(item), size);
}

void tst_LedgerPrint::startRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row"); // 0: refused
    QTest::addColumn<QString>("message");
    const QString integer = u"開始行には整数を入力してください"_s;
    const QString range = u"開始行は 1以上 29以下 の整数を入力してください"_s;
    QTest::newRow("1") << u"1"_s << 1 << QString();
    QTest::newRow("29") << u"29"_s << 29 << QString();
    QTest::newRow("full-width 10") << u" １０ "_s << 10 << QString();
    QTest::newRow("0") << u"0"_s << 0 << range; // 30: typed in the window, tst_ReportWindows
    QTest::newRow("1.5") << u"1.5"_s << 0 << integer;
}

void tst_LedgerPrint::startRow() {
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(QString, message);
    int parsed = -1;
    QString shown;
    QCOMPARE(gParseLedgerStartRow(text, parsed, shown), message.isEmpty());
    QCOMPARE(shown, message);
    QCOMPARE(parsed, row ? row : -1);
}

void tst_LedgerPrint::options_defaultsAndDamagedValues() {
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QVERIFY(o.linesPerPage == 29 && o.balanceInterval == 2 && o.closeDayBlankRows == 1);
    QVERIFY(!o.kokuyoRi103 && !o.noteInBalance && !o.omitMonth && !o.omitDay && !o.closeDayBlank);
    QVERIFY(gSetSystemLngField(33, 99));
    QVERIFY(gSetSystemLngField(41, 0));
    QVERIFY(gSetSystemLngField(46, -50));
    QVERIFY(gSetSystemLngField(48, 9));
    QVERIFY(gGetLedgerPrintOptions(o));
    QVERIFY(o.linesPerPage == 31 && o.balanceInterval == 1);
    QVERIFY(o.offsetVertical == -10 && o.closeDayBlankRows == 4);
    // A read that fails: tst_ReportCli.
}

// ---- Pages ----------------------------------------------------------------------------------

void tst_LedgerPrint::thirtyLines_startPageTwo() {
    QVERIFY(supplier(1, u"ABC商会"_s, 0, 5));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 30));
    QVERIFY(run(params({{5, u"ABC商会"_s, true, 1}})));
    QCOMPARE(m_book.sheetNames(), QStringList({u"ABC商会1"_s, u"ABC商会2"_s}));
    QCOMPARE(m_result.sheets, m_book.sheetNames());
    QCOMPARE(QFileInfo(m_result.savedPath).fileName(), u"　2024-03-05　10：15：00　仕入帳.xlsx"_s);
    Worksheet* p1 = m_book.sheet(0);
    Worksheet* p2 = m_book.sheet(1);
    QCOMPARE(cell(p1, 2, 5) + cell(p2, 2, 5), u"ABC商会ABC商会"_s);
    // Page 1: rows 5 to 33 hold lines 1 to 29; the page's last row shows the balance.
    QCOMPARE(cell(p1, 5, 4), u"品物1"_s);
    QVERIFY(p1->format(5, 4).shrinkToFit); // a long item is drawn smaller, not over the next box
    QCOMPARE(cell(p1, 33, 4), u"品物29"_s);
    QCOMPARE(cell(p1, 34, 4), QString());
    QCOMPARE(cell(p1, 33, 11), u"2,900"_s);
    // Page 2: the 30th line with its month, day, amount and balance.
    QCOMPARE(cell(p2, 5, 2) + u'|' + cell(p2, 5, 3) + u'|' + cell(p2, 5, 4) + u'|' +
                 cell(p2, 5, 7) + u'|' + cell(p2, 5, 11),
             u"1|30|品物30|100|3,000"_s);
    QCOMPARE(cell(p2, 6, 4), QString());
    QCOMPARE(
        reporttest::withoutPaths(m_svc.prompt->texts()),
        QStringList({u"保存先に\r\n表が作成されました\r\n\r\n<path>\r\n\r\n開きますか？\r\n"_s}));
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::layout_data() {
    QTest::addColumn<LedgerForm>("form");
    QTest::addColumn<int>("carry");
    QTest::addColumn<QDate>("first"); // the first line's date, one line a day
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("startRow");
    // The first page's year, item and balance of its first row.
    QTest::addColumn<QString>("head");
    // Per page: its rows and the rows with a balance (row 5 counted as 1), then the last
    // balance.
    QTest::addColumn<QStringList>("pages");
    const auto ri103 = LedgerForm::KokuyoRi103;
    const auto plain = LedgerForm::Plain;
    const QDate jan1(2024, 1, 1);
    // N = 2: lines 1, 4, 7, …, the page's last row and the supplier's last line. The forms
    // show no year and no carried-forward row.
    QTest::newRow("every third line, form with a carry")
        << ri103 << 1000 << jan1 << 35 << 2 << 29 << 1 << u"|品物|1,1 0 0"_s
        << QStringList{u"1-29:1,4,7,10,13,16,19,22,25,28,29"_s, u"1-6:1,4,6"_s, u"4,5 0 0"_s};
    QTest::newRow("every fifth line, 31 a page")
        << ri103 << 0 << jan1 << 35 << 4 << 31 << 1 << u"|品物|1 0 0"_s
        << QStringList{u"1-31:1,6,11,16,21,26,31"_s, u"1-4:1,4"_s, u"3,5 0 0"_s};
    // 29 − 9 = 20 lines on the first page, from row 14; the next page starts at row 5. Plain
    // paper without a carried balance: no carried-forward row.
    QTest::newRow("start row 10, plain without a carry")
        << plain << 0 << jan1 << 25 << 2 << 29 << 10 << u"2024年|品物|100"_s
        << QStringList{u"10-29:10,13,16,19,22,25,28,29"_s, u"1-5:1,4,5"_s, u"2,500"_s};
    // The carried-forward row takes the first row; line 1 follows on row 2.
    QTest::newRow("plain with a carry")
        << plain << -1000 << jan1 << 35 << 2 << 29 << 1 << u"2024年|前期繰越|▲1,000"_s
        << QStringList{u"1-29:1,2,5,8,11,14,17,20,23,26,29"_s, u"1-7:1,4,7"_s, u"2,500"_s};
    QTest::newRow("plain, the carry on the page's last row")
        << plain << 1000 << jan1 << 35 << 2 << 29 << 29 << u"2024年|前期繰越|1,000"_s
        << QStringList{u"29-29:29"_s, u"1-29:1,4,7,10,13,16,19,22,25,28,29"_s, u"1-6:1,4,6"_s,
                       u"4,500"_s};
    QTest::newRow("plain across the year end")
        << plain << 0 << QDate(2023, 12, 31) << 2 << 2 << 29 << 1 << u"2023〜2024年|品物|100"_s
        << QStringList{u"1-2:1,2"_s, u"200"_s};
}

void tst_LedgerPrint::layout() {
    QFETCH(LedgerForm, form);
    QFETCH(int, carry);
    QFETCH(QDate, first);
    QFETCH(QString, head);
    QFETCH(int, lines);
    QFETCH(int, interval);
    QFETCH(int, perPage);
    QFETCH(int, startRow);
    QFETCH(QStringList, pages);
    LedgerPrintOptions o;
    o.balanceInterval = interval;
    o.linesPerPage = perPage;
    QList<LedgerPrintLine> in;
    for (int i = 0; i < lines; ++i)
        in << LedgerPrintLine{first.addDays(i),
                              u"品物"_s,
                              {},
                              {},
                              QVariant::fromValue(Currency::fromInt(100)),
                              {},
                              {}};
    std::vector<LedgerPrintPage> out;
    LedgerPrintLayout layout(o, 20, form);
    QVERIFY(layout.addSupplier({1, u"A"_s, true, startRow}, Currency::fromInt(carry), in,
                               [&out](const LedgerPrintPage& page) {
                                   out.push_back(page);
                                   return true;
                               }));
    QStringList got;
    for (const LedgerPrintPage& page : out) {
        QStringList balances;
        for (const LedgerPrintRow& r : page.rows)
            if (r.balance)
                balances << QString::number(r.row - 4);
        got << u"%1-%2:"_s.arg(page.rows.front().row - 4).arg(page.rows.back().row - 4) +
                   balances.join(u',');
    }
    const LedgerPrintRow& top = out.front().rows.front();
    QCOMPARE(out.front().year + u'|' + top.item + u'|' + top.balance.value_or(QString()), head);
    QCOMPARE(got << out.back().rows.back().balance.value_or(QString()), pages);
}

void tst_LedgerPrint::carryAndNegativeAmounts_data() {
    QTest::addColumn<bool>("ri103");
    QTest::addColumn<QString>("year"); // B2
    // Rows 5 to 8: item, quantity, unit price, amount, payment, balance.
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("plain: ordinary numbers, year, carried forward")
        << false << u"2024年"_s
        << QStringList{u"前期繰越|||||12,000"_s, u"返品|2|▲600|▲1,200||10,800"_s,
                       u"戻入||||▲300|11,100"_s, u"|||||"_s};
    QTest::newRow("リ-103: digit boxes only")
        << true << QString()
        << QStringList{u"返品|2|▲6 0 0|▲1,2 0 0||1 0,8 0 0"_s, u"戻入||||▲3 0 0|1 1,1 0 0"_s,
                       u"|||||"_s, u"|||||"_s};
}

void tst_LedgerPrint::carryAndNegativeAmounts() {
    QFETCH(bool, ri103);
    QFETCH(QString, year);
    QFETCH(QStringList, rows);
    QVERIFY(supplier(1, u"A"_s, 10000));
    QVERIFY(buy(1, QDate(2023, 12, 10), u"前月"_s, 5000.0));
    QVERIFY(line(QDate(2023, 12, 25), u"支払"_s, {}, 3000.0));
    QVERIFY(line(QDate(2024, 1, 5), u"返品"_s, -1200.0, {}, 2.0, -600.0));
    QVERIFY(line(QDate(2024, 1, 6), u"戻入"_s, {}, -300.0));
    QVERIFY(buy(1, QDate(2024, 2, 1), u"翌月"_s, 700.0));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.options.kokuyoRi103 = ri103;
    QVERIFY(run(p));
    Worksheet* ws = m_book.sheet(0);
    QCOMPARE(cell(ws, 2, 2), year);
    // 10000 + 5000 − 3000 carried; negative figures with the triangle and no minus; February
    // is outside the range.
    QStringList got;
    for (int row = 5; row <= 8; ++row) {
        QStringList texts;
        for (int col : {4, 5, 6, 7, 9, 11})
            texts << cell(ws, row, col);
        got << texts.join(u'|');
    }
    QCOMPARE(got, rows);
}

void tst_LedgerPrint::monthOmission_keepsEachPagesFirstMonth() {
    QVERIFY(supplier(1, u"A"_s));
    // 28 lines in January, then 3 in February: page 2 starts with a January line.
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 27));
    QVERIFY(buy(1, QDate(2024, 1, 31), u"月末1"_s, 1.0));
    QVERIFY(buy(1, QDate(2024, 1, 31), u"月末2"_s, 1.0, 1));
    QVERIFY(buy(1, QDate(2024, 1, 31), u"月末3"_s, 1.0, 2));
    QVERIFY(addPurchases(1, QDate(2024, 2, 1), 2));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}}, u"2024/02/29"_s);
    p.options.omitMonth = true;
    QVERIFY(run(p));
    QCOMPARE(cell(m_book.sheet(0), 5, 2) + u'|' + cell(m_book.sheet(0), 6, 2), u"1| "_s);
    // The first line of page 2 repeats January, yet shows it; the next does not.
    Worksheet* p2 = m_book.sheet(1);
    QCOMPARE(cell(p2, 5, 2) + u'|' + cell(p2, 6, 2) + u'|' + cell(p2, 7, 2), u"1|2| "_s);
    QCOMPARE(cell(p2, 5, 3), u"31"_s); // days are not omitted unless asked
}

void tst_LedgerPrint::omission_firstLineOfEveryPageShowsMonthAndDay() {
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(supplier(2, u"B"_s));
    QVERIFY(buy(1, QDate(2024, 1, 15), u"a1"_s, 1.0));
    QVERIFY(buy(1, QDate(2024, 1, 15), u"a2"_s, 1.0, 1));
    QVERIFY(buy(1, QDate(2024, 2, 15), u"a3"_s, 1.0));
    QVERIFY(buy(2, QDate(2024, 2, 15), u"b1"_s, 1.0));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}, {2, u"B"_s, true, 7}}, u"2024/02/29"_s);
    p.options.omitDay = true;
    p.options.omitMonth = true;
    QVERIFY(run(p));
    Worksheet* a = m_book.sheet(u"A1"_s);
    // The same day number in the next month is omitted too, its month shown.
    QCOMPARE(cell(a, 5, 3) + u'|' + cell(a, 6, 3) + u'|' + cell(a, 7, 3) + u'|' + cell(a, 7, 2),
             u"15| | |2"_s);
    // B starts on row 11 with the month and day A ended on: its page has no line above to repeat.
    QCOMPARE(cell(m_book.sheet(u"B1"_s), 11, 2) + u'/' + cell(m_book.sheet(u"B1"_s), 11, 3),
             u"2/15"_s);
}

void tst_LedgerPrint::closeDayBlankRows_countTowardThePage() {
    // Close day 20: 2024/01/20 ends a term.
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 20));
    QVERIFY(buy(1, QDate(2024, 1, 20), u"締日2"_s, 50.0, 1));
    QVERIFY(buy(1, QDate(2024, 1, 20), u"締日3"_s, 50.0, 2));
    QVERIFY(addPurchases(1, QDate(2024, 1, 21), 10));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.options.closeDayBlank = true;
    p.options.closeDayBlankRows = 2;
    QVERIFY(run(p));
    Worksheet* p1 = m_book.sheet(0);
    // The day's last line shows the balance; two empty rows follow.
    QCOMPARE(cell(p1, 25, 11), QString());
    QCOMPARE(cell(p1, 26, 4) + u'|' + cell(p1, 26, 11), u"締日3|2,100"_s);
    for (int col = 1; col <= 11; ++col)
        QVERIFY(!p1->value(27, col).isValid() && !p1->value(28, col).isValid());
    // The next line is no balance line by the interval, yet shows it.
    QCOMPARE(cell(p1, 29, 4) + u'|' + cell(p1, 29, 11), u"品物1|2,200"_s);
    // The blank rows count toward the page: 22 + 2 + 5 = 29 rows.
    QCOMPARE(cell(p1, 33, 4), u"品物5"_s);
    QCOMPARE(cell(m_book.sheet(1), 5, 4), u"品物6"_s);
}

void tst_LedgerPrint::notesInBalanceColumn() {
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(line(QDate(2024, 1, 5), u"a"_s, 100.0, {}, {}, {}, u"月末払い"_s));
    QVERIFY(line(QDate(2024, 1, 6), u"b"_s, 100.0, {}, {}, {}, u"-25000"_s));
    QVERIFY(buy(1, QDate(2024, 1, 20), u"c"_s, 100.0));
    QVERIFY(line(QDate(2024, 1, 21), u"d"_s, 100.0, {}, {}, {}, u"次"_s));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.options.noteInBalance = true;
    p.options.closeDayBlank = true;
    QVERIFY(run(p));
    Worksheet* ws = m_book.sheet(0);
    QCOMPARE(cell(ws, 5, 11) + u'|' + cell(ws, 6, 11) + u'|' + cell(ws, 7, 11),
             u"月末払い|▲25,000|"_s);
    // A close day keeps its (empty) note and still gets its blank row.
    QCOMPARE(cell(ws, 8, 4) + u'|' + cell(ws, 9, 4) + u'|' + cell(ws, 9, 11), u"|d|次"_s);
}

void tst_LedgerPrint::ri101_quantityAndUnitPriceInColumnOne() {
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(line(QDate(2024, 1, 5), u"苗"_s, 2400.0, {}, 12.0, 200.0));
    QVERIFY(line(QDate(2024, 1, 6), u"土"_s, 500.0, {}, 5.0));
    QVERIFY(line(QDate(2024, 1, 7), u"払"_s, {}, 1000.0));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.kokuyoRi101 = true;
    p.options.kokuyoRi103 = true; // リ-101 wins
    QVERIFY(run(p));
    Worksheet* ws = m_book.sheet(0);
    QCOMPARE(ws->pageSetup().paperSize, 13);
    QCOMPARE(cell(ws, 5, 1) + u'|' + cell(ws, 6, 1) + u'|' + cell(ws, 7, 1), u"1 2 @2 0 0|5|"_s);
    QCOMPARE(cell(ws, 5, 2) + u'|' + cell(ws, 5, 3) + u'|' + cell(ws, 5, 5) + u'|' + cell(ws, 5, 6),
             u"1|5|苗|2,4 0 0"_s);
    QVERIFY(ws->format(5, 5).shrinkToFit);
    QCOMPARE(cell(ws, 7, 8) + u'|' + cell(ws, 7, 10) + u'|' + cell(ws, 5, 11),
             u"1,0 0 0|1,9 0 0|"_s);
    QCOMPARE(reporttest::withoutPaths(m_svc.prompt->texts()).last(),
             u"保存先に\r\n表が作成されました"_s + kBinderNotes +
                 u"\r\n\r\n<path>\r\n\r\n開きますか？\r\n"_s);
}

void tst_LedgerPrint::ri103_formNotesAndPrintPosition() {
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 31));
    Workbook tpl;
    QVERIFY(tpl.open(svc().paths().excelFormat + u"kokuyo-ri-103.xlsx"_s));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.options.kokuyoRi103 = true;
    p.options.offsetVertical = -4;
    p.options.offsetHorizontal = 3;
    p.options.linesPerPage = 30;
    QVERIFY(run(p));
    QCOMPARE(m_book.sheetCount(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(m_book.sheet(i)->rowHeight(1), tpl.sheet(0)->rowHeight(1) - 4);
        QCOMPARE(m_book.sheet(i)->columnWidth(2), tpl.sheet(0)->columnWidth(2) + 3);
    }
    QCOMPARE(cell(m_book.sheet(0), 34, 4), u"品物30"_s);
    QCOMPARE(cell(m_book.sheet(1), 5, 4), u"品物31"_s);
    QVERIFY(m_svc.prompt->texts().last().contains(kBinderNotes));
    // The month column keeps room for two digits.
    p.options.kokuyoRi103 = false;
    p.options.offsetHorizontal = -10;
    QVERIFY(run(p));
    QCOMPARE(m_book.sheet(0)->columnWidth(2), 2.0);
}

void tst_LedgerPrint::sheetNames_duplicateAndInvalidShortNames() {
    const QStringList names = {u"ABC"_s, u"abc"_s, u"A/B:[C]"_s, QString(), u"空"_s, u"外"_s};
    QList<LedgerPrintSupplier> list;
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(supplier(i + 1, names[i]));
        if (i != 4) // 空 has no lines: no page
            QVERIFY(addPurchases(i + 1, QDate(2024, 1, 1), i == 0 ? 30 : 1));
        list << LedgerPrintSupplier{i + 1, names[i], i != 5, 1}; // 外 is not ticked
    }
    list.move(3, 0); // the list's order, not the numbers'
    QVERIFY(run(params(list)));
    QCOMPARE(m_book.sheetNames(),
             QStringList({u"仕入先4_1"_s, u"ABC1"_s, u"ABC2"_s, u"abc(2)1"_s, u"A_B__C_1"_s}));
    // Each page still carries the supplier's own short name.
    QCOMPARE(cell(m_book.sheet(u"A_B__C_1"_s), 2, 5), u"A/B:[C]"_s);
}

// ---- Stops and failures ---------------------------------------------------------------------

void tst_LedgerPrint::refusals_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString msg4 = u"日付が正しくありません。\r\n正しい日付を入力してください。"_s;
    QTest::newRow("start not a date")
        << u"2024/13/01"_s << u"abc"_s << msg4 << u"cboPrintDataStartDate"_s;
    // Start after end and none ticked: through the window, tst_ReportWindows.
    QTest::newRow("nothing in the range") << u"2024/02/01"_s << u"2024/02/29"_s
                                          << u"対象となるデータがありませんでした"_s << QString();
}

void tst_LedgerPrint::refusals() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(supplier(1, u"A"_s));
    QVERIFY(addPurchases(1, QDate(2024, 1, 1), 3));
    LedgerPrintParams p = params({{1, u"A"_s, true, 1}});
    p.startText = from;
    p.endText = to;
    QList<bool> busy;
    QVERIFY(gPrintLedger(p, {[&](bool b) { busy << b; }, {}, {}}, m_result));
    QVERIFY(m_result.outcome != LedgerPrintOutcome::Written);
    QCOMPARE(m_result.focus, focus);
    QCOMPARE(m_svc.prompt->texts(), QStringList({message}));
    // Only a run that looked for lines was busy.
    QCOMPARE(busy.size(), message.startsWith(u"対象となる"_s) ? 2 : 0);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_LedgerPrint::unknownSupplier_failurePath() {
    QVERIFY(!gPrintLedger(params({{9, u"X"_s, true, 1}}), {}, m_result));
    QCOMPARE(m_result.outcome, LedgerPrintOutcome::Failed);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({u"表が正常に作成されませんでした。管理者に問い合わせてください"_s}));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_cmdPrintData_Click"_s}));
    QVERIFY(m_folder->errorLog().contains(u"仕入先番号 9 がありません"_s));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// The one run of a real spreadsheet program, through the program's own converter: LibreOffice
// prints each form to a PDF with exactly one page per sheet, on A4 for plain pages and B5 for the
// forms, with the figures on it.
void tst_LedgerPrint::libreOffice_printsEveryFormOnItsPages() {
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    const QString pdfinfo = QStandardPaths::findExecutable(u"pdfinfo"_s);
    if (gFindPdfConverter().isEmpty() || pdftotext.isEmpty() || pdfinfo.isEmpty())
        QSKIP("LibreOffice, pdfinfo or pdftotext is not installed");
    QVERIFY(supplier(1, u"山田商店"_s, 50000));
    for (int i = 0; i < 32; ++i) {
        const bool pay = i % 5 == 4;
        QVERIFY(line(QDate(2024, 1, 1).addDays(i % 28), u"肥料 %1袋"_s.arg(i + 1),
                     pay ? Money() : Money(123456.0 * (i + 1)), pay ? Money(3000000.0) : Money(),
                     3.0, 41152.0 * (i + 1)));
    }
    for (const QString& form : {u"plain"_s, u"ri103"_s, u"ri101"_s}) {
        LedgerPrintParams p = params({{1, u"山田商店"_s, true, 1}});
        p.options.kokuyoRi103 = form == u"ri103"_s;
        p.kokuyoRi101 = form == u"ri101"_s;
        ExcelReportRun::Callbacks withPdf;
        withPdf.makePdf = true;
        QVERIFY(gPrintLedger(p, withPdf, m_result));
        const QString pdf = gPdfPathFor(m_result.savedPath);
        QVERIFY2(QFile::exists(pdf), qPrintable(m_svc.prompt->texts().join(u'|')));
        QProcess info, text;
        info.start(pdfinfo, {pdf});
        text.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY(info.waitForFinished(60000) && text.waitForFinished(60000));
        const QString facts = QString::fromUtf8(info.readAll());
        QVERIFY2(facts.contains(QRegularExpression(u"Pages:\\s+2\\b"_s)), qPrintable(form + facts));
        // A4 is 595.3 pt wide; B5 (JIS, 182 mm) 515.9 pt.
        QVERIFY2(facts.contains(form == u"plain"_s ? u"595.3"_s : u"515.9"_s), qPrintable(facts));
        const QString out = QString::fromUtf8(text.readAll()).remove(u' ');
        QVERIFY2(out.contains(u"山田商店"_s) && out.contains(u"肥料32袋"_s), qPrintable(out));
        // The last balance: 50000 + the amounts − the payments of the 32 lines.
        QVERIFY2(out.contains(u"34,271,888"_s), qPrintable(form + out));
    }
}

QTEST_GUILESS_MAIN(tst_LedgerPrint)
#include "tst_LedgerPrint.moc"
