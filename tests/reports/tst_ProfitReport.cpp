#include "ProfitTestHelpers.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "app/Globals.h"
#include "ledger/Totals.h"
#include "master/SupplierRecords.h"
#include "reports/ProfitReport.h"
#include "store/Database.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using profittest::rowText;

namespace {

const QDate kStart(2024, 1, 21);
const QDate kEnd(2024, 4, 20);

struct Saved {
    ProfitOutcome outcome = ProfitOutcome::Failed;
    QString path;
    std::unique_ptr<Workbook> book;
};

} // namespace

class tst_ProfitReport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void terms_data();
    void terms();
    void rateText_data();
    void rateText();

    void normalMode_threeTerms();
    void cumulativeOnly_threeTerms();
    void oneTerm_cumulativeOnlyIgnored();
    void classRows_inListOrder();
    void filters_data();
    void filters();
    void onlyTaxLines_nothingToReport();
    void sheetBreak_data();
    void sheetBreak();
    void ranking_data();
    void ranking();
    void rankingTable_holdsTheRangeTotals();
    void colours_whenColouringIsOn();
    void noColours_whenColouringIsOff();
    void sumsMatchTheLedgerTotals();
    void startAfterEnd_message40();
    void noSupplierChecked_message22();
    void missingTemplate_failurePath();
    void libreOfficeOpensTheWorkbook();

private:
    ProfitReportParams params() const;
    Saved run(const ProfitReportParams& p);
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    TestServices m_svc{};
};

void tst_ProfitReport::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QVERIFY(profittest::loadFixture());
    m_out = std::make_unique<QTemporaryDir>();
}

void tst_ProfitReport::cleanup() {
    m_out.reset();
    m_folder.reset();
}

ProfitReportParams tst_ProfitReport::params() const {
    ProfitReportParams p;
    p.start = kStart;
    p.end = kEnd;
    p.startText = u"2024/01/21"_s;
    p.endText = u"2024/04/20"_s;
    gGetProfitSuppliers(p.suppliers);
    p.outputFolder = m_out->path();
    return p;
}

Saved tst_ProfitReport::run(const ProfitReportParams& p) {
    Saved s;
    s.outcome = gMakeManageProfit(p, {}, &s.path);
    if (s.outcome == ProfitOutcome::Saved) {
        s.book = std::make_unique<Workbook>();
        if (!s.book->open(s.path))
            s.book.reset();
    }
    return s;
}

void tst_ProfitReport::terms_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("three terms") << kStart << kEnd
                                 << QStringList{u"2024/01/21-2024/02/20"_s,
                                                u"2024/02/21-2024/03/20"_s,
                                                u"2024/03/21-2024/04/20"_s};
    QTest::newRow("one term") << QDate(2024, 2, 21) << QDate(2024, 3, 20)
                              << QStringList{u"2024/02/21-2024/03/20"_s};
    // An end that is no term end still stops at the term holding it.
    QTest::newRow("end inside a term")
        << kStart << QDate(2024, 3, 1)
        << QStringList{u"2024/01/21-2024/02/20"_s, u"2024/02/21-2024/03/20"_s};
    QTest::newRow("over the year end")
        << QDate(2023, 11, 21) << QDate(2024, 1, 20)
        << QStringList{u"2023/11/21-2023/12/20"_s, u"2023/12/21-2024/01/20"_s};
}

void tst_ProfitReport::terms() {
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(QStringList, expected);
    std::vector<ProfitTerm> terms;
    QVERIFY(gGetProfitTerms(start, end, terms));
    QStringList got;
    for (const ProfitTerm& t : terms)
        got << termDateText(t.start) + u"-"_s + termDateText(t.end);
    QCOMPARE(got, expected);
}

void tst_ProfitReport::rateText_data() {
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("sales");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rate");
    QTest::newRow("below 1 %") << 50 << 10000 << u".5%"_s << u"0.5"_s;
    QTest::newRow("cut, not rounded") << 850 << 1300 << u"65.3%"_s << u"65.3"_s;
    // 580 ÷ 1000 × 100 is 57.999… in binary; the cut still gives 58.0.
    QTest::newRow("binary fraction") << 580 << 1000 << u"58.0%"_s << u"58"_s;
    QTest::newRow("negative") << -350 << 1000 << u"-35.0%"_s << u"-35"_s;
    QTest::newRow("whole hundred") << 400 << 400 << u"100.0%"_s << u"100"_s;
    QTest::newRow("zero margin") << 0 << 1000 << u"計算不能"_s << QString();
    QTest::newRow("zero sales") << -500 << 0 << u"計算不能"_s << QString();
}

void tst_ProfitReport::rateText() {
    QFETCH(int, margin);
    QFETCH(int, sales);
    QFETCH(QString, text);
    QFETCH(QString, rate);
    std::optional<Currency> r;
    QCOMPARE(gProfitRateText(Currency::fromInt(margin), Currency::fromInt(sales), &r), text);
    QCOMPARE(r ? r->toString() : QString(), rate);
}

void tst_ProfitReport::normalMode_threeTerms() {
    const Saved s = run(params());
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    QVERIFY(s.book);
    QVERIFY(QFileInfo(s.path).fileName().endsWith(u" tovaki 利益管理表.xlsx"_s));
    QCOMPARE(s.book->sheetNames(), QStringList{u"1"_s});
    const Worksheet* ws = s.book->sheet(0);
    QCOMPARE(rowText(ws, 3, 2, 9), u"||24/2/20締|24/3/20締|累計|24/4/20締|累計|"_s);
    const QStringList expected = {
        u"|||||||"_s,
        u"甲商店|||||||"_s,
        u"|仕入 合計|1350|450|1800|600|2400|"_s,
        u"|売上 合計|1000|1300|2300|600|2900|"_s,
        u"|荒利|-350|850|500|0|500|"_s,
        u"|利益率|-35.0%|65.3%|21.7%|計算不能|17.2%|"_s,
        u"|在庫|1100|-900|200|200|400|"_s,
        u"|||||||"_s,
        u"乙商会|||||||"_s,
        u"|仕入 合計|0|199000|199000|0|199000|"_s,
        u"|売上 合計|0|200000|200000|0|200000|"_s,
        u"|荒利|0|1000|1000|0|1000|"_s,
        u"|利益率|計算不能|.5%|.5%|計算不能|.5%|"_s,
        u"|在庫|0|81666|81666|0|81666|"_s,
        u"|||||||"_s,
        u"丙堂|||||||"_s,
        u"|仕入 合計|0|0|0|0|0|"_s,
        u"|売上 合計|0|0|0|0|0|"_s,
        u"|荒利|0|0|0|0|0|"_s,
        u"|利益率|計算不能|計算不能|計算不能|計算不能|計算不能|"_s,
        u"|在庫|0|0|0|0|0|"_s,
        u"|||||||"_s,
        u"丁屋|||||||"_s,
        u"|仕入 合計|500|200|700|0|700|"_s,
        u"|売上 合計|0|0|0|0|0|"_s,
        u"|荒利|-500|-200|-700|0|-700|"_s,
        u"|利益率|計算不能|計算不能|計算不能|計算不能|計算不能|"_s,
        // The second term's line has neither ratio nor regular price, and no default ratio:
        // its stock, and every running stock from then on, cannot be computed.
        u"|在庫|1000|計算不能|計算不能|0|計算不能|"_s,
        u"|||||||"_s,
    };
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rowText(ws, 4 + i, 2, 9), expected.at(i));
    // Headings only above the first block.
    QCOMPARE(rowText(ws, 10, 4, 8), u"1100|-900|200|200|400"_s);

    // Formats: margin "#0", rate text, stock "0", amounts as the column has them.
    QCOMPARE(ws->format(8, 5).numberFormat, u"#0"_s);
    QCOMPARE(ws->format(9, 5).numberFormat, u"@"_s);
    QCOMPARE(ws->format(9, 8).numberFormat, u"@"_s);
    QCOMPARE(ws->format(10, 8).numberFormat, u"0"_s);
    QCOMPARE(ws->format(6, 4).numberFormat, u"General"_s);
    QVERIFY(ws->value(9, 4).typeId() == QMetaType::QString);

    // Each block is boxed from its name row to its last value: B5:H10 and B12:H17.
    for (int r = 5; r <= 10; ++r)
        for (int c = 2; c <= 8; ++c)
            QCOMPARE(ws->format(r, c).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(11, 4).lineSides, 0);
    QCOMPARE(ws->format(5, 9).lineSides, 0);
    QCOMPARE(ws->format(3, 4).lineSides, 0);

    XlsxPackage pkg;
    QVERIFY(pkg.load(s.path));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(
        m_svc.prompt->texts(),
        QStringList{u"デスクトップに\r\n利益管理表が作成されました\r\n\r\n開きますか？\r\n"_s});
    QCOMPARE(m_folder->errorLogEntries(), 0);
    // No deliberate waits between suppliers.
    QCOMPARE(m_svc.process->pauses, QList<int>());
}

void tst_ProfitReport::cumulativeOnly_threeTerms() {
    ProfitReportParams p = params();
    p.sumOnly = true;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    const Worksheet* ws = s.book->sheet(0);
    QCOMPARE(rowText(ws, 3, 4, 7), u"2/20累計|3/20累計|4/20累計|"_s);
    // The supplier without any line in the range is left out.
    const QStringList expected = {
        u"甲商店|||||"_s,
        u"|仕入 合計|1350|1800|2400|"_s,
        u"|売上 合計|1000|2300|2900|"_s,
        u"|荒利|-350|500|500|"_s,
        u"|利益率|-35.0%|21.7%|17.2%|"_s,
        u"|在庫|1100|200|400|"_s,
        u"|||||"_s,
        u"乙商会|||||"_s,
        u"|仕入 合計|0|199000|199000|"_s,
        u"|売上 合計|0|200000|200000|"_s,
        u"|荒利|0|1000|1000|"_s,
        u"|利益率|計算不能|.5%|.5%|"_s,
        u"|在庫|0|81666|81666|"_s,
        u"|||||"_s,
        u"丁屋|||||"_s,
    };
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rowText(ws, 5 + i, 2, 7), expected.at(i));
    QCOMPARE(ws->format(5, 6).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(5, 7).lineSides, 0);
    QCOMPARE(ws->lastRow(), 24);
}

void tst_ProfitReport::oneTerm_cumulativeOnlyIgnored() {
    ProfitReportParams p = params();
    p.start = QDate(2024, 2, 21);
    p.end = QDate(2024, 3, 20);
    p.sumOnly = true;
    p.ranking = true;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    const Worksheet* ws = s.book->sheet(u"1"_s);
    QCOMPARE(rowText(ws, 3, 4, 5), u"24/3/20締|"_s);
    QCOMPARE(rowText(ws, 5, 2, 5), u"甲商店|||"_s);
    QCOMPARE(rowText(ws, 6, 3, 5), u"仕入 合計|450|"_s);
    QCOMPARE(rowText(ws, 7, 3, 5), u"売上 合計|1300|"_s);
    QCOMPARE(rowText(ws, 8, 3, 5), u"荒利|850|"_s);
    QCOMPARE(rowText(ws, 9, 3, 5), u"利益率|65.3%|"_s);
    QCOMPARE(rowText(ws, 10, 3, 5), u"在庫|-900|"_s);
    QCOMPARE(ws->format(10, 4).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(10, 5).lineSides, 0);
    // 丙堂 has no line: left out because the box is ticked; 丁屋 follows 乙商会.
    QCOMPARE(rowText(ws, 19, 2, 2), u"丁屋"_s);
    QCOMPARE(rowText(ws, 23, 3, 4), u"利益率|計算不能"_s);
    // The ranking row of a one-term range has no rate when the term's rate is not computable.
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT curProfitability FROM T_MP_RANKING WHERE lngMasterID=4"_s));
    QCOMPARE(rs.recordCount(), 1);
    QVERIFY(rs.isNull(0));
    const Worksheet* rk = s.book->sheet(u"ランキング"_s);
    QVERIFY(rk);
    QCOMPARE(rowText(rk, 7, 2, 9), u"丁屋||200|0|-200|計算不能|計算不能|1"_s);
}

void tst_ProfitReport::classRows_inListOrder() {
    ProfitReportParams p = params();
    p.purchaseGroupingClass = 1;
    p.saleGroupingClass = 2;
    p.settings.rowsPerSheet = 50;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    const Worksheet* ws = s.book->sheet(0);
    const QStringList expected = {
        u"甲商店|||||||"_s,
        u"|仕入 合計|1350|450|1800|600|2400|"_s,
        // Lines without a class first; 「雑貨」 adds up to nothing and is left out; the tax
        // line of class 文具 does not count.
        u"|「」|0|0|0|600|600|"_s,
        u"|「紙製品」|300|0|300|0|300|"_s,
        u"|「文具」|800|700|1500|0|1500|"_s,
        u"|売上 合計|1000|1300|2300|600|2900|"_s,
        u"|「」|0|0|0|600|600|"_s,
        u"|「定番」|1000|400|1400|0|1400|"_s,
        u"|「季節」|0|900|900|0|900|"_s,
        u"|荒利|-350|850|500|0|500|"_s,
        u"|利益率|-35.0%|65.3%|21.7%|計算不能|17.2%|"_s,
        u"|在庫|1100|-900|200|200|400|"_s,
        u"|||||||"_s,
        u"乙商会|||||||"_s,
        u"|仕入 合計|0|199000|199000|0|199000|"_s,
        u"|「雑貨」|0|199000|199000|0|199000|"_s,
        u"|売上 合計|0|200000|200000|0|200000|"_s,
        u"|「特注」|0|200000|200000|0|200000|"_s,
    };
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rowText(ws, 5 + i, 2, 9), expected.at(i));
    // No class rows for a supplier without lines.
    QCOMPARE(rowText(ws, 27, 2, 3), u"丙堂|"_s);
    QCOMPARE(rowText(ws, 28, 3, 3), u"仕入 合計"_s);
    QCOMPARE(rowText(ws, 29, 3, 3), u"売上 合計"_s);
    // 丁屋: the line without a class first, then the listed class.
    QCOMPARE(rowText(ws, 34, 2, 2), u"丁屋"_s);
    QCOMPARE(rowText(ws, 36, 3, 8), u"「」|0|200|200|0|200"_s);
    QCOMPARE(rowText(ws, 37, 3, 8), u"「事務機器」|500|0|500|0|500"_s);
    QCOMPARE(rowText(ws, 38, 3, 3), u"売上 合計"_s);
    // Class rows are inside the ruled block.
    QCOMPARE(ws->format(7, 3).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(16, 8).thinSides, CellSide::Outline);
}

void tst_ProfitReport::filters_data() {
    QTest::addColumn<int>("class1");
    QTest::addColumn<QString>("item1");
    QTest::addColumn<int>("class2");
    QTest::addColumn<QString>("item2");
    QTest::addColumn<int>("andOr");
    QTest::addColumn<QStringList>("block");
    QTest::newRow("and") << 1 << u"文具"_s << 2 << u"季節"_s << 0
                         << QStringList{u"仕入 合計|0|700|700|0|700"_s,
                                        u"売上 合計|0|900|900|0|900"_s, u"荒利|0|200|200|0|200"_s,
                                        u"利益率|計算不能|22.2%|22.2%|計算不能|22.2%"_s,
                                        u"在庫|0|0|0|0|0"_s};
    QTest::newRow("or") << 1 << u"紙製品"_s << 2 << u"定番"_s << 1
                        << QStringList{u"仕入 合計|1100|0|1100|0|1100"_s,
                                       u"売上 合計|1000|400|1400|0|1400"_s,
                                       u"荒利|-100|400|300|0|300"_s,
                                       u"利益率|-10.0%|100.0%|21.4%|計算不能|21.4%"_s,
                                       u"在庫|600|-400|200|0|200"_s};
    // The second condition alone filters nothing.
    QTest::newRow("second alone") << 0 << QString() << 2 << u"季節"_s << 0
                                  << QStringList{u"仕入 合計|1350|450|1800|600|2400"_s,
                                                 u"売上 合計|1000|1300|2300|600|2900"_s,
                                                 u"荒利|-350|850|500|0|500"_s,
                                                 u"利益率|-35.0%|65.3%|21.7%|計算不能|17.2%"_s,
                                                 u"在庫|1100|-900|200|200|400"_s};
    // A value with a quote is matched as typed (and matches nothing here).
    QTest::newRow("quote in the value")
        << 1 << u"文具' OR '1'='1"_s << 0 << QString() << 0 << QStringList();
}

void tst_ProfitReport::filters() {
    QFETCH(int, class1);
    QFETCH(QString, item1);
    QFETCH(int, class2);
    QFETCH(QString, item2);
    QFETCH(int, andOr);
    QFETCH(QStringList, block);
    ProfitReportParams p = params();
    p.sampling1Class = class1;
    p.sampling1Item = item1;
    p.sampling2Class = class2;
    p.sampling2Item = item2;
    p.andOr = andOr;
    const Saved s = run(p);
    if (block.isEmpty()) {
        QCOMPARE(s.outcome, ProfitOutcome::NothingToReport);
        QCOMPARE(m_svc.prompt->texts().size(), 1);
        QVERIFY(m_svc.prompt->texts().first().startsWith(u"対象となるデータがありません。"_s));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
        return;
    }
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    const Worksheet* ws = s.book->sheet(0);
    QCOMPARE(rowText(ws, 5, 2, 2), u"甲商店"_s);
    for (int i = 0; i < block.size(); ++i)
        QCOMPARE(rowText(ws, 6 + i, 3, 8), block.at(i));
}

void tst_ProfitReport::onlyTaxLines_nothingToReport() {
    ProfitReportParams p = params();
    p.start = QDate(2024, 2, 10);
    p.end = QDate(2024, 2, 10);
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::NothingToReport);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ProfitReport::sheetBreak_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("lastChecked");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<int>("lastBlockRow");
    // Blocks end on rows 10, 17, 24 and 31; a break follows a block when its last row + 2
    // reaches the limit.
    QTest::newRow("29: all on one sheet") << 29 << true << QStringList{u"1"_s} << 26;
    QTest::newRow("26: the fourth on sheet 2") << 26 << true << QStringList{u"1"_s, u"2"_s} << 5;
    QTest::newRow("26: nothing follows") << 26 << false << QStringList{u"1"_s} << 19;
    QTest::newRow("50") << 50 << true << QStringList{u"1"_s} << 26;
    QTest::newRow("12: every block alone")
        << 12 << true << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s} << 5;
}

void tst_ProfitReport::sheetBreak() {
    QFETCH(int, limit);
    QFETCH(bool, lastChecked);
    QFETCH(QStringList, sheets);
    QFETCH(int, lastBlockRow);
    ProfitReportParams p = params();
    p.settings.rowsPerSheet = limit;
    p.suppliers.back().checked = lastChecked;
    p.ranking = true;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    QCOMPARE(s.book->sheetNames(), sheets + QStringList{u"ランキング"_s});
    const Worksheet* last = s.book->sheet(sheets.last());
    const QString lastName = lastChecked ? u"丁屋"_s : u"丙堂"_s;
    QCOMPARE(rowText(last, lastBlockRow, 2, 2), lastName);
    // Every table sheet has its own headings above its first block.
    for (const QString& name : sheets)
        QCOMPARE(rowText(s.book->sheet(name), 3, 4, 5), u"24/2/20締|24/3/20締"_s);
    // The ranking rows name the sheet of each block.
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT MAX(lngSheetNo) AS lngMax FROM T_MP_RANKING"_s));
    QCOMPARE(rs.lng(0), qint64(sheets.size()));
}

void tst_ProfitReport::ranking_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("gross margin") << 1 << u" ランキングシート(粗利) 2024/01/21 - 2024/04/20"_s
                                  << QStringList{u"乙商会||199000|200000|1000|.5%|81666|1"_s,
                                                 u"甲商店||2400|2900|500|17.2%|400|1"_s,
                                                 u"丙堂||0|0|0|計算不能|0|1"_s,
                                                 u"丁屋||700|0|-700|計算不能|計算不能|1"_s};
    // Suppliers without a rate come last.
    QTest::newRow("profit rate") << 2 << u" ランキングシート(利益率) 2024/01/21 - 2024/04/20"_s
                                 << QStringList{u"甲商店||2400|2900|500|17.2%|400|1"_s,
                                                u"乙商会||199000|200000|1000|.5%|81666|1"_s,
                                                u"丙堂||0|0|0|計算不能|0|1"_s,
                                                u"丁屋||700|0|-700|計算不能|計算不能|1"_s};
}

void tst_ProfitReport::ranking() {
    QFETCH(int, order);
    QFETCH(QString, title);
    QFETCH(QStringList, rows);
    ProfitReportParams p = params();
    p.ranking = true;
    p.rankingOrder = order;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    QCOMPARE(s.book->sheetNames(), (QStringList{u"1"_s, u"ランキング"_s}));
    const Worksheet* rk = s.book->sheet(u"ランキング"_s);
    QCOMPARE(rowText(rk, 2, 4, 4), title);
    QCOMPARE(rowText(rk, 3, 2, 9), u"|| 仕入| 売上| 粗利| 利益率| 在庫|"_s);
    QCOMPARE(rowText(rk, 4, 2, 9), u"|||||||"_s);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rowText(rk, 5 + i, 2, 9), rows.at(i));
    QCOMPARE(rowText(rk, 9, 2, 9), u"|||||||"_s);
    QCOMPARE(rowText(rk, 10, 2, 9), u"合計||202100|202900|800|.3%|計算不能|"_s);
    QCOMPARE(rk->lastRow(), 10);
    QCOMPARE(rk->format(5, 7).numberFormat, u"@"_s);
    // Ruled from B3 to the total row's stock column.
    for (int r = 3; r <= 10; ++r)
        for (int c = 2; c <= 8; ++c)
            QCOMPARE(rk->format(r, c).thinSides, CellSide::Outline);
    QCOMPARE(rk->format(5, 9).lineSides, 0);
    QCOMPARE(rk->format(11, 4).lineSides, 0);
    XlsxPackage pkg;
    QVERIFY(pkg.load(s.path));
    QCOMPARE(pkg.problems(), QStringList());
}

void tst_ProfitReport::rankingTable_holdsTheRangeTotals() {
    ProfitReportParams p = params();
    p.suppliers.at(2).checked = false;
    QCOMPARE(run(p).outcome, ProfitOutcome::Saved);
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT lngMasterID, strSupplierShortName, curPurchase, curSale,"
                             " curGrossMargin, curProfitability, curStock, lngSheetNo"
                             " FROM T_MP_RANKING ORDER BY rowid"_s));
    QStringList got;
    for (const QVariantList& r : rs.rows()) {
        QStringList parts;
        for (const QVariant& v : r)
            parts << (v.isNull()                              ? u"NULL"_s
                      : v.typeId() == qMetaTypeId<Currency>() ? v.value<Currency>().toString()
                                                              : v.toString());
        got << parts.join(QLatin1Char('|'));
    }
    QCOMPARE(got, (QStringList{u"1|甲商店|2400|2900|500|17.2|400|1"_s,
                               u"2|乙商会|199000|200000|1000|0.5|81666|1"_s,
                               u"4|丁屋|700|0|-700|NULL|NULL|1"_s}));
    // A second run replaces the rows.
    p.suppliers.at(0).checked = false;
    QCOMPARE(run(p).outcome, ProfitOutcome::Saved);
    QVERIFY(rs.openRecordSet(u"SELECT lngMasterID FROM T_MP_RANKING ORDER BY rowid"_s));
    QCOMPARE(rs.recordCount(), 2);
}

void tst_ProfitReport::colours_whenColouringIsOn() {
    ProfitReportParams p = params();
    p.ranking = true;
    p.settings.cellColorOn = true;
    p.settings.supplierBold = true;
    const int colours[6] = {33, 3, 4, 6, 7, 8};
    std::copy(std::begin(colours), std::end(colours), p.settings.colors);
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    const Worksheet* ws = s.book->sheet(0);
    QCOMPARE(ws->format(5, 2).fillColorIndex, 33);
    QCOMPARE(ws->format(5, 3).fillColorIndex, 33);
    QVERIFY(ws->format(5, 2).bold);
    QCOMPARE(ws->format(5, 4).fillColorIndex, 0);
    const int rows[5] = {6, 7, 8, 9, 10};
    for (int i = 0; i < 5; ++i) {
        for (int c = 3; c <= 8; ++c)
            QCOMPARE(ws->format(rows[i], c).fillColorIndex, colours[i + 1]);
        QCOMPARE(ws->format(rows[i], 2).fillColorIndex, 0);
    }
    // Formats and lines stay with the fill.
    QCOMPARE(ws->format(8, 4).numberFormat, u"#0"_s);
    QCOMPARE(ws->format(8, 4).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(3, 4).fillColorIndex, 0);
    const Worksheet* rk = s.book->sheet(u"ランキング"_s);
    QCOMPARE(rk->format(5, 2).fillColorIndex, 33);
    QCOMPARE(rk->format(5, 3).fillColorIndex, 33);
    for (int c = 4; c <= 8; ++c) {
        QCOMPARE(rk->format(5, c).fillColorIndex, colours[c - 3]);
        QCOMPARE(rk->format(10, c).fillColorIndex, colours[c - 3]);
    }
    QCOMPARE(rk->format(5, 9).fillColorIndex, 0);
    QCOMPARE(rk->format(10, 2).fillColorIndex, 33);
}

void tst_ProfitReport::noColours_whenColouringIsOff() {
    ProfitReportParams p = params();
    p.settings.cellColorOn = false;
    std::fill(std::begin(p.settings.colors), std::end(p.settings.colors), 3);
    const Saved s = run(p);
    const Worksheet* ws = s.book->sheet(0);
    for (int r = 5; r <= 10; ++r)
        for (int c = 2; c <= 8; ++c)
            QCOMPARE(ws->format(r, c).fillColorIndex, 0);
    QVERIFY(!ws->format(5, 2).bold);
}

void tst_ProfitReport::sumsMatchTheLedgerTotals() {
    // The report's one-pass sums agree with the ledger's own totals, term by term.
    const Saved s = run(params());
    const Worksheet* ws = s.book->sheet(0);
    std::vector<ProfitTerm> terms;
    QVERIFY(gGetProfitTerms(kStart, kEnd, terms));
    LineFilter f;
    f.from = kStart;
    f.to = kEnd;
    f.costOnly = true;
    f.excludeTaxLines = true;
    const int cols[3] = {4, 5, 7};
    const int blockRows[4] = {5, 12, 19, 26};
    for (int b = 0; b < 4; ++b) {
        SupplierRecord rec;
        QVERIFY(gGetMasterData(b + 1, rec));
        for (int t = 0; t < 3; ++t) {
            DataTotals purchase, sale;
            QVERIFY(gCalcDATAEachTotal(b + 1, terms[t].start, terms[t].end, 1,
                                       rec.curRegularSupplyRatio, purchase, f));
            QVERIFY(gCalcDATAEachTotal(b + 1, terms[t].start, terms[t].end, 2,
                                       rec.curRegularSaleRatio, sale, f));
            const int r = blockRows[b];
            QCOMPARE(ws->value(r + 1, cols[t]).toDouble(), purchase.cost.toDouble());
            QCOMPARE(ws->value(r + 2, cols[t]).toDouble(), sale.cost.toDouble());
            QCOMPARE(ws->value(r + 5, cols[t]).toDouble(),
                     (purchase.regularTotal - sale.regularTotal).toDouble());
        }
    }
}

void tst_ProfitReport::startAfterEnd_message40() {
    ProfitReportParams p = params();
    p.start = QDate(2024, 3, 21);
    p.end = QDate(2024, 3, 20);
    QCOMPARE(run(p).outcome, ProfitOutcome::StartAfterEnd);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QVERIFY(m_svc.prompt->texts().first().startsWith(u"終了日が開始日より前になっています。"_s));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
}

void tst_ProfitReport::noSupplierChecked_message22() {
    ProfitReportParams p = params();
    for (ProfitSupplier& s : p.suppliers)
        s.checked = false;
    QCOMPARE(run(p).outcome, ProfitOutcome::NothingToReport);
    p.suppliers.clear();
    QCOMPARE(run(p).outcome, ProfitOutcome::NothingToReport);
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
}

void tst_ProfitReport::missingTemplate_failurePath() {
    QVERIFY(QFile::remove(gstrExcelFormatPath + u"Margin.xlsx"_s));
    QList<bool> busy;
    ExcelReportRun::Callbacks cb;
    cb.setBusy = [&](bool b) { busy << b; };
    QCOMPARE(gMakeManageProfit(params(), cb), ProfitOutcome::Failed);
    QCOMPARE(busy, (QList<bool>{true, false}));
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"表が正常に作成されませんでした。管理者に問い合わせてください"_s});
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"frmPrint_cmdMargin_Click"_s});
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
}

void tst_ProfitReport::libreOfficeOpensTheWorkbook() {
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    ProfitReportParams p = params();
    p.settings.rowsPerSheet = 26;
    p.settings.cellColorOn = true;
    p.ranking = true;
    p.purchaseGroupingClass = 1;
    const Saved s = run(p);
    QCOMPARE(s.outcome, ProfitOutcome::Saved);
    QVERIFY(s.book->sheetCount() >= 3);
    QTemporaryDir out;
    QTemporaryDir profile;
    // A plain copy: the saved name's full-width characters and spaces are not the point here.
    const QString input = out.path() + u"/profit.xlsx"_s;
    QVERIFY(QFile::copy(s.path, input));
    QProcess proc;
    proc.start(soffice, {u"-env:UserInstallation=file://"_s + profile.path(), u"--headless"_s,
                         u"--convert-to"_s, u"pdf"_s, u"--outdir"_s, out.path(), input});
    QVERIFY(proc.waitForFinished(240000));
    const QString pdf = out.path() + u"/profit.pdf"_s;
    QVERIFY2(QFileInfo::exists(pdf), proc.readAllStandardError().constData());
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    QVERIFY(data.startsWith("%PDF"));
    // One page per sheet at least.
    static const QRegularExpression page(u"/Type\\s*/Page(?!s)"_s);
    QVERIFY(QString::fromLatin1(data).count(page) >= s.book->sheetCount());
}

QTEST_GUILESS_MAIN(tst_ProfitReport)
#include "tst_ProfitReport.moc"
