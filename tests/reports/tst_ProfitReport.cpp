#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "ledger/Totals.h"
#include "master/SupplierRecords.h"
#include "reports/ProfitReport.h"
#include "store/Database.h"
#include "store/Period.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using reporttest::rowText;

namespace {

const QDate kStart(2024, 1, 21);
const QDate kEnd(2024, 4, 20);

// The blocks of the fixture's first suppliers over the three terms (columns B to H).
const QStringList kBlocks = {
    u"甲商店||||||"_s,
    u"|仕入 合計|1350|450|1800|600|2400"_s,
    u"|売上 合計|1000|1300|2300|600|2900"_s,
    u"|荒利|-350|850|500|0|500"_s,
    u"|利益率|-35.0%|65.3%|21.7%|計算不能|17.2%"_s,
    u"|在庫|1100|-900|200|200|400"_s,
    u"||||||"_s,
    u"乙商会||||||"_s,
    u"|仕入 合計|0|199000|199000|0|199000"_s,
    u"|売上 合計|0|200000|200000|0|200000"_s,
    u"|荒利|0|1000|1000|0|1000"_s,
    u"|利益率|計算不能|.5%|.5%|計算不能|.5%"_s,
    u"|在庫|0|81666|81666|0|81666"_s,
    u"||||||"_s,
    u"丙堂||||||"_s,
    u"|仕入 合計|0|0|0|0|0"_s,
};

} // namespace

class tst_ProfitReport : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void rateText_data();
    void rateText();
    void normalMode_threeTerms();
    void cumulativeOnly_threeTermsAndOne();
    void table_data();
    void table();
    void filterTitle_data();
    void filterTitle();
    void classRows_laidOut();
    void sheetBreak_data();
    void sheetBreak();
    void ranking_data();
    void ranking();
    void colours_followTheSetting();
    void sumsMatchTheLedgerTotals();
    void refusals();

private:
    ProfitReportParams params() const;
    const Worksheet* run(const ProfitReportParams& p, int sheet = 0);
    std::unique_ptr<QTemporaryDir> m_out;
    Workbook m_book;
    QString m_path;
};

void tst_ProfitReport::init() {
    DataFileTest::init();
    QVERIFY(reporttest::loadProfit());
    m_out = std::make_unique<QTemporaryDir>();
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

// Writes the table, checks the package with the independent reader, and returns a sheet.
const Worksheet* tst_ProfitReport::run(const ProfitReportParams& p, int sheet) {
    m_path.clear();
    if (gMakeManageProfit(p, {}, &m_path) != ProfitOutcome::Saved)
        return nullptr;
    XlsxPackage pkg;
    if (!pkg.load(m_path) || !pkg.problems().isEmpty() || !m_book.open(m_path)) {
        qWarning() << pkg.problems();
        return nullptr;
    }
    return m_book.sheet(sheet);
}

void tst_ProfitReport::rateText_data() {
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("sales");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rate");
    // Below 1 %, cut not rounded, negative and a zero margin: the golden blocks of normalMode.
    // 580 ÷ 1000 × 100 is 57.999… in binary; the cut still gives 58.0.
    QTest::newRow("binary fraction") << 580 << 1000 << u"58.0%"_s << u"58"_s;
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
    const Worksheet* ws = run(params());
    QVERIFY(ws);
    QVERIFY(m_path.endsWith(u" tovaki 利益管理表.xlsx"_s));
    QCOMPARE(m_book.sheetNames(), QStringList{u"1"_s});
    QCOMPARE(rowText(ws, 3, 2, 9), u"||24/2/20締|24/3/20締|累計|24/4/20締|累計|"_s);
    for (int i = 0; i < kBlocks.size(); ++i)
        QCOMPARE(rowText(ws, 5 + i, 2, 8), kBlocks.at(i));
    QCOMPARE(rowText(ws, 26, 2, 2) + rowText(ws, 27, 3, 8), u"丁屋仕入 合計|500|200|700|0|700"_s);
    // The second term's line has neither ratio nor regular price, and no default ratio: its
    // stock, and every running stock from then on, cannot be computed.
    QCOMPARE(rowText(ws, 31, 3, 8), u"在庫|1000|計算不能|計算不能|0|計算不能"_s);
    // Each sheet names the table and its period. Formats: rate text, every amount with
    // thousands separators (margin and stock too).
    QCOMPARE(rowText(ws, 2, 4, 4), u" 利益管理表 2024/01/21 - 2024/04/20"_s);
    QCOMPARE((QStringList{ws->format(8, 5).numberFormat, ws->format(9, 5).numberFormat,
                          ws->format(10, 8).numberFormat, ws->format(6, 5).numberFormat}),
             (QStringList{u"#,##0"_s, u"@"_s, u"#,##0"_s, u"#,##0"_s}));
    // Each block is boxed from its name row to its last value: B5:H10.
    QCOMPARE(ws->format(5, 2).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(10, 8).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(11, 4).lineSides + ws->format(5, 9).lineSides, 0);
    QCOMPARE(
        reporttest::withoutPaths(m_svc.prompt->texts()),
        QStringList{
            u"保存先に\r\n利益管理表が作成されました\r\n\r\n<path>\r\n\r\n開きますか？\r\n"_s});
    QCOMPARE(m_svc.process->pauses, QList<int>()); // no deliberate waits between suppliers
}

void tst_ProfitReport::cumulativeOnly_threeTermsAndOne() {
    ProfitReportParams p = params();
    p.sumOnly = true;
    const Worksheet* ws = run(p);
    QVERIFY(ws);
    QCOMPARE(rowText(ws, 3, 4, 7), u"2/20累計|3/20累計|4/20累計|"_s);
    QCOMPARE(rowText(ws, 9, 3, 7), u"利益率|-35.0%|21.7%|17.2%|"_s);
    // The supplier without any line in the range is left out.
    QCOMPARE(rowText(ws, 19, 2, 2), u"丁屋"_s);
    QCOMPARE(ws->lastRow(), 24);
    // One term: cumulative-only is ignored.
    p.start = QDate(2024, 2, 21);
    p.end = QDate(2024, 3, 20);
    p.ranking = true;
    ws = run(p);
    QVERIFY(ws);
    QCOMPARE(rowText(ws, 3, 4, 5), u"24/3/20締|"_s);
    QCOMPARE(rowText(ws, 10, 3, 5), u"在庫|-900|"_s);
    // The ranking row of a one-term range has no rate when the term's is not computable.
    QCOMPARE(rowText(m_book.sheet(u"ランキング"_s), 7, 2, 9),
             u"丁屋||200|0|-200|計算不能|計算不能|1"_s);
}

// A block of the computed table, a text per row: the label and the figures joined by "|"; a
// rate or stock that cannot be computed as "-".
QStringList blockText(const ProfitBlock& b) {
    const auto row = [](const QString& label, const auto& values) {
        QStringList parts{label};
        for (const auto& v : values) {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, Currency>)
                parts << v.toString();
            else
                parts << (v ? v->toString() : u"-"_s);
        }
        return parts.join(u'|');
    };
    QStringList rows{row(b.purchase.label, b.purchase.values)};
    for (const ProfitRow& r : b.purchaseClasses)
        rows << row(r.label, r.values);
    rows << row(b.sale.label, b.sale.values);
    for (const ProfitRow& r : b.saleClasses)
        rows << row(r.label, r.values);
    return rows << row(u"荒利"_s, b.margin) << row(u"利益率"_s, b.rate) << row(u"在庫"_s, b.stock);
}

void tst_ProfitReport::table_data() {
    QTest::addColumn<int>("class1");
    QTest::addColumn<QString>("item1");
    QTest::addColumn<int>("class2");
    QTest::addColumn<QString>("item2");
    QTest::addColumn<int>("andOr");
    QTest::addColumn<int>("grouping"); // purchase breakdown by class 1, sales by class 2
    QTest::addColumn<int>("block");
    QTest::addColumn<QStringList>("rows"); // the block's first rows; none: nothing to report
    // Lines without a class first; 「雑貨」 adds up to nothing and is left out; the tax line of
    // class 文具 does not count.
    QTest::newRow("breakdowns in list order")
        << 0 << QString() << 0 << QString() << 0 << 1 << 0
        << QStringList{u"仕入 合計|1350|450|1800|600|2400"_s,  u"「」|0|0|0|600|600"_s,
                       u"「紙製品」|300|0|300|0|300"_s,        u"「文具」|800|700|1500|0|1500"_s,
                       u"売上 合計|1000|1300|2300|600|2900"_s, u"「」|0|0|0|600|600"_s,
                       u"「定番」|1000|400|1400|0|1400"_s,     u"「季節」|0|900|900|0|900"_s,
                       u"荒利|-350|850|500|0|500"_s,           u"利益率|-35|65.3|21.7|-|17.2"_s,
                       u"在庫|1100|-900|200|200|400"_s};
    // The second term's line has neither ratio nor regular price, and no default ratio: its
    // stock, and every running stock from then on, cannot be computed.
    QTest::newRow("unclassed line; no sales") << 0 << QString() << 0 << QString() << 0 << 1 << 3
                                              << QStringList{u"仕入 合計|500|200|700|0|700"_s,
                                                             u"「」|0|200|200|0|200"_s,
                                                             u"「事務機器」|500|0|500|0|500"_s,
                                                             u"売上 合計|0|0|0|0|0"_s,
                                                             u"荒利|-500|-200|-700|0|-700"_s,
                                                             u"利益率|-|-|-|-|-"_s,
                                                             u"在庫|1000|-|-|0|-"_s};
    QTest::newRow("no lines: no breakdown")
        << 0 << QString() << 0 << QString() << 0 << 1 << 2
        << QStringList{u"仕入 合計|0|0|0|0|0"_s, u"売上 合計|0|0|0|0|0"_s, u"荒利|0|0|0|0|0"_s};
    QTest::newRow("and") << 1 << u"文具"_s << 2 << u"季節"_s << 0 << 0 << 0
                         << QStringList{u"仕入 合計|0|700|700|0|700"_s,
                                        u"売上 合計|0|900|900|0|900"_s};
    QTest::newRow("or") << 1 << u"紙製品"_s << 2 << u"定番"_s << 1 << 0 << 0
                        << QStringList{u"仕入 合計|1100|0|1100|0|1100"_s,
                                       u"売上 合計|1000|400|1400|0|1400"_s};
    QTest::newRow("a quote is matched as typed")
        << 1 << u"文具' OR '1'='1"_s << 0 << QString() << 0 << 0 << 0 << QStringList();
}

void tst_ProfitReport::table() {
    QFETCH(int, class1);
    QFETCH(QString, item1);
    QFETCH(int, class2);
    QFETCH(QString, item2);
    QFETCH(int, andOr);
    QFETCH(int, grouping);
    QFETCH(int, block);
    QFETCH(QStringList, rows);
    ProfitReportParams p = params();
    p.sampling1Class = class1;
    p.sampling1Item = item1;
    p.sampling2Class = class2;
    p.sampling2Item = item2;
    p.andOr = andOr;
    p.purchaseGroupingClass = grouping;
    p.saleGroupingClass = grouping * 2;
    ProfitTable t;
    const ProfitComputeStatus status = gComputeProfitTable(gdbData(), p, t);
    if (rows.isEmpty()) {
        QCOMPARE(status, ProfitComputeStatus::NothingToReport);
        return;
    }
    QCOMPARE(status, ProfitComputeStatus::Ok);
    QCOMPARE(t.blocks.size(), size_t(4));
    QCOMPARE(blockText(t.blocks.at(block)).mid(0, rows.size()), rows);
    QVERIFY(m_svc.prompt->texts().isEmpty()); // the computation tells the user nothing
}

// The title row names the filter.
void tst_ProfitReport::filterTitle_data() {
    QTest::addColumn<int>("andOr");
    QTest::addColumn<QString>("title");
    QTest::newRow("and")
        << 0 << u" 利益管理表 2024/01/21 - 2024/04/20 抽出分類：区分1「文具」 かつ 区分2「季節」"_s;
    QTest::newRow("or")
        << 1
        << u" 利益管理表 2024/01/21 - 2024/04/20 抽出分類：区分1「文具」 または 区分2「季節」"_s;
}

void tst_ProfitReport::filterTitle() {
    QFETCH(int, andOr);
    QFETCH(QString, title);
    ProfitReportParams p = params();
    p.sampling1Class = 1;
    p.sampling1Item = u"文具"_s;
    p.sampling2Class = 2;
    p.sampling2Item = u"季節"_s;
    p.andOr = andOr;
    const Worksheet* ws = run(p);
    QVERIFY(ws);
    QCOMPARE(rowText(ws, 2, 4, 4), title);
    // The ranking sheet names the same filter.
    p.ranking = true;
    p.rankingOrder = 1;
    const Worksheet* rk = run(p, 1);
    QVERIFY(rk);
    QCOMPARE(rowText(rk, 2, 4, 4), u" ランキングシート(粗利)"_s + title.mid(6));
}

// The class rows stand between the totals, inside the ruled block, and move the next blocks down.
void tst_ProfitReport::classRows_laidOut() {
    ProfitReportParams p = params();
    p.purchaseGroupingClass = 1;
    p.saleGroupingClass = 2;
    p.settings.rowsPerSheet = 50;
    const Worksheet* ws = run(p);
    QVERIFY(ws);
    QCOMPARE(rowText(ws, 9, 3, 8) + u'/' + rowText(ws, 10, 3, 4),
             u"「文具」|800|700|1500|0|1500/売上 合計|1000"_s);
    QCOMPARE(rowText(ws, 13, 3, 4) + u'/' + rowText(ws, 14, 3, 3), u"「季節」|0/荒利"_s);
    QCOMPARE(ws->format(16, 8).thinSides, CellSide::Outline);
    QCOMPARE(rowText(ws, 28, 3, 3) + rowText(ws, 29, 3, 3), u"仕入 合計売上 合計"_s);
    QCOMPARE(rowText(ws, 37, 3, 8), u"「事務機器」|500|0|500|0|500"_s);
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
    QVERIFY(run(p));
    QCOMPARE(m_book.sheetNames(), sheets + QStringList{u"ランキング"_s});
    QCOMPARE(rowText(m_book.sheet(sheets.last()), lastBlockRow, 2, 2),
             lastChecked ? u"丁屋"_s : u"丙堂"_s);
    // Every table sheet has its own headings above its first block.
    for (const QString& name : sheets)
        QCOMPARE(rowText(m_book.sheet(name), 3, 4, 5), u"24/2/20締|24/3/20締"_s);
    // The ranking rows name the sheet of each block.
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT MAX(lngSheetNo) FROM T_MP_RANKING"_s));
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
    const Worksheet* rk = run(p, 1);
    QVERIFY(rk);
    QCOMPARE(m_book.sheetNames(), (QStringList{u"1"_s, u"ランキング"_s}));
    QCOMPARE(rowText(rk, 2, 4, 4), title);
    QCOMPARE(rowText(rk, 3, 2, 9), u"|| 仕入| 売上| 粗利| 利益率| 在庫| シート"_s);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rowText(rk, 5 + i, 2, 9), rows.at(i));
    QCOMPARE(rowText(rk, 10, 2, 9), u"合計||202100|202900|800|.3%|計算不能|"_s);
    QCOMPARE(rk->lastRow(), 10);
    QCOMPARE(rk->format(10, 8).thinSides, CellSide::Outline);
    // The ranking table holds the range totals; a second run replaces its rows.
    p.suppliers.at(2).checked = false;
    QVERIFY(run(p));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT lngMasterID, curPurchase, curProfitability"
                             " FROM T_MP_RANKING ORDER BY lngMasterID"_s));
    QStringList got;
    for (const QVariantList& r : rs.rows())
        got << r[0].toString() + u'|' + r[1].value<Currency>().toString() + u'|' +
                   (r[2].isNull() ? u"NULL"_s : r[2].value<Currency>().toString());
    QCOMPARE(got, (QStringList{u"1|2400|17.2"_s, u"2|199000|0.5"_s, u"4|700|NULL"_s}));
}

void tst_ProfitReport::colours_followTheSetting() {
    ProfitReportParams p = params();
    p.ranking = true;
    p.settings.cellColorOn = true;
    p.settings.supplierBold = true;
    const int colours[6] = {33, 3, 4, 6, 7, 8};
    std::copy(std::begin(colours), std::end(colours), p.settings.colors);
    const Worksheet* ws = run(p);
    QVERIFY(ws);
    QVERIFY(ws->format(5, 2).bold);
    const auto fill = [ws](int row, int col) { return ws->format(row, col).fillColorIndex; };
    QCOMPARE((QList<int>{fill(5, 3), fill(5, 4), fill(6, 3), fill(10, 8), fill(8, 2)}),
             (QList<int>{33, 0, 3, 8, 0}));
    QCOMPARE(ws->format(8, 4).thinSides, CellSide::Outline); // lines stay with the fill
    QCOMPARE(m_book.sheet(u"ランキング"_s)->format(10, 8).fillColorIndex, colours[5]);
}

void tst_ProfitReport::sumsMatchTheLedgerTotals() {
    // The report's one-pass sums agree with the ledger's own totals, term by term.
    const Worksheet* ws = run(params());
    QVERIFY(ws);
    std::vector<ProfitTerm> terms;
    QVERIFY(gGetProfitTerms(kStart, kEnd, 20, terms));
    LineFilter f;
    f.from = kStart;
    f.to = kEnd;
    f.costOnly = true;
    f.excludeTaxLines = true;
    const int cols[3] = {4, 5, 7};
    for (int b = 0; b < 4; ++b) {
        SupplierRecord rec;
        QVERIFY(gGetMasterData(b + 1, rec));
        const int r = 5 + 7 * b;
        for (int t = 0; t < 3; ++t) {
            DataTotals purchase, sale;
            QVERIFY(gCalcDATAEachTotal(b + 1, terms[t].start, terms[t].end, 1,
                                       rec.curRegularSupplyRatio, purchase, f));
            QVERIFY(gCalcDATAEachTotal(b + 1, terms[t].start, terms[t].end, 2,
                                       rec.curRegularSaleRatio, sale, f));
            QCOMPARE(ws->value(r + 1, cols[t]).toDouble(), purchase.cost.toDouble());
            QCOMPARE(ws->value(r + 2, cols[t]).toDouble(), sale.cost.toDouble());
            QCOMPARE(ws->value(r + 5, cols[t]).toDouble(),
                     (purchase.regularTotal - sale.regularTotal).toDouble());
        }
    }
}

// A range holding only a tax line has nothing to report. (Start after end and no supplier ticked:
// through the window, tst_ReportWindows.)
void tst_ProfitReport::refusals() {
    ProfitReportParams p = params();
    p.start = p.end = QDate(2024, 2, 10);
    QCOMPARE(gMakeManageProfit(p, {}), ProfitOutcome::NothingToReport);
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(u"対象となるデータがありません。"_s));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

QTEST_GUILESS_MAIN(tst_ProfitReport)
#include "tst_ProfitReport.moc"
