#include "TestData.h"
#include "TestServices.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LedgerModel.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

Currency yen(qint64 v) {
    return Currency::fromInt(v);
}

LedgerLine storedLine(qint32 masterID, const QDate& date, const QString& item) {
    LedgerLine l;
    l.lngMasterID = masterID;
    l.date1 = date;
    l.strItem = item;
    l.curCost = yen(1000);
    l.curRatio = yen(60);
    return l;
}

QVariantList row(int kind, qint64 lngID, const QString& columns) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_DATA"_s + QString::number(kind) +
                              u" WHERE lngID=?"_s,
                          {lngID}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

qint64 lineCount(int kind) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT COUNT(*) AS lngN FROM T_DATA"_s + QString::number(kind)))
        return -1;
    return rs.lng(0);
}

} // namespace

class tst_LedgerModel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layoutButtonsFollowTheColumns();
    void cellTexts_data();
    void cellTexts();
    void noSupplierShowsNoRows();
    void newRowFollowsTheLines();
    void firstConfirmedCellInsertsTheLine();
    void emptyCellOfNewRowStartsNoLine();
    void refusedTextStoresNothing_data();
    void refusedTextStoresNothing();
    void unchangedCellIsNotWritten();
    void classDefaultsFillANewLineOnly();
    void failedWriteLeavesTheCache();
    void deleteRemovesFromDatabaseThenView();
    void failedDeleteKeepsEveryLine();
    void longLedgerIsReadInBlocks();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_LedgerModel::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void tst_LedgerModel::cleanup() {
    m_folder.reset();
}

void tst_LedgerModel::layoutButtonsFollowTheColumns() {
    // Each header button starts where the previous column ends, from 375 twips on.
    int left = kLedgerFirstColumnLeftTwips;
    for (int c = LedgerCol::Date; c <= LedgerCol::Note; ++c) {
        QCOMPARE(ledgerColumnLayout(c).headerLeftTwips, left);
        left += ledgerColumnLayout(c).widthTwips;
    }
    QCOMPARE(ledgerColumnLayout(LedgerCol::Cost).headerLeftTwips, 10715);
    QCOMPARE(ledgerColumnLayout(LedgerCol::Note).headerLeftTwips, 13395);
    QCOMPARE(ledgerLastColumnRightTwips(), 14545);
    QCOMPARE(ledgerColumnLayout(LedgerCol::MasterID).widthTwips, 0);
    QCOMPARE(ledgerColumnLayout(LedgerCol::Change).widthTwips, 0);
    // Only the order, item and class columns carry a drop-down button.
    for (int c = 0; c < LedgerCol::Count; ++c)
        QCOMPARE(ledgerColumnLayout(c).dropDown, c >= LedgerCol::Sort && c <= LedgerCol::Class3);
    QCOMPARE(ledgerColumnOfCaption(5), -1);
    QCOMPARE(ledgerColumnOfCaption(9), int(LedgerCol::Cost));
}

void tst_LedgerModel::cellTexts_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("edit");
    QTest::newRow("date") << int(LedgerCol::Date) << QVariant(QDate(2024, 3, 5)) << u"24/03/05"_s
                          << u"2024/03/05"_s;
    QTest::newRow("old date keeps its century when edited")
        << int(LedgerCol::Date) << QVariant(QDate(1998, 12, 1)) << u"98/12/01"_s << u"1998/12/01"_s;
    QTest::newRow("order") << int(LedgerCol::Sort) << QVariant(12) << u"12"_s << u"12"_s;
    QTest::newRow("quantity grouped")
        << int(LedgerCol::Quantity) << QVariant::fromValue(yen(-1234)) << u"-1,234"_s << u"-1234"_s;
    QTest::newRow("cost grouped") << int(LedgerCol::Cost) << QVariant::fromValue(yen(1234567))
                                  << u"1,234,567"_s << u"1234567"_s;
    QTest::newRow("ratio one decimal")
        << int(LedgerCol::Ratio) << QVariant::fromValue(Currency::fromRaw(625000)) << u"62.5"_s
        << u"62.5"_s;
    QTest::newRow("whole ratio") << int(LedgerCol::Ratio) << QVariant::fromValue(yen(60))
                                 << u"60.0"_s << u"60"_s;
    QTest::newRow("check 0 shows nothing")
        << int(LedgerCol::Check) << QVariant::fromValue(yen(0)) << QString() << u"0"_s;
    QTest::newRow("note as typed")
        << int(LedgerCol::Note) << QVariant(u" 備考 "_s) << u" 備考 "_s << u" 備考 "_s;
    QTest::newRow("null cost") << int(LedgerCol::Cost) << QVariant() << QString() << QString();
}

void tst_LedgerModel::cellTexts() {
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(QString, display);
    QFETCH(QString, edit);
    LedgerLine l;
    QVERIFY(l.setValue(column, value));
    QCOMPARE(gLedgerCellText(l, column), display);
    QCOMPARE(gLedgerEditText(l, column), edit);
    // What the editor starts with is read back to the same value.
    QVariant back;
    RuleResult r;
    QVERIFY(gCheckCellText(column, 1, edit, back, r));
    QVERIFY(r.ok);
    LedgerLine again;
    QVERIFY(again.setValue(column, back));
    QVERIFY(again.sameValue(column, l));
}

void tst_LedgerModel::noSupplierShowsNoRows() {
    LedgerModel m(1);
    QVERIFY(m.load(0, LedgerView::Normal));
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.columnCount(), 16);
}

void tst_LedgerModel::newRowFollowsTheLines() {
    LedgerStore store(1);
    LedgerLine a = storedLine(3, QDate(2024, 3, 2), u"後"_s);
    LedgerLine b = storedLine(3, QDate(2024, 3, 1), u"前"_s);
    QVERIFY(store.insertLine(a));
    QVERIFY(store.insertLine(b));
    LedgerModel m(1);
    QVERIFY(m.load(3, LedgerView::Normal));
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.data(m.index(0, LedgerCol::Item)).toString(), u"前"_s);
    QCOMPARE(m.data(m.index(1, LedgerCol::Item)).toString(), u"後"_s);
    QVERIFY(m.isNewRow(2));
    QCOMPARE(m.data(m.index(2, LedgerCol::Item)).toString(), QString());
    QCOMPARE(m.headerData(2, Qt::Vertical).toString(), u"*"_s);
    QVERIFY(!(m.flags(m.index(0, LedgerCol::MasterID)) & Qt::ItemIsEditable));
    QVERIFY(!(m.flags(m.index(0, LedgerCol::Change)) & Qt::ItemIsEditable));
    QVERIFY(m.flags(m.index(2, LedgerCol::Note)) & Qt::ItemIsEditable);
    QCOMPARE(m.data(m.index(0, LedgerCol::Item), Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(m.load(3, LedgerView::Entry));
    QCOMPARE(m.data(m.index(0, LedgerCol::Item)).toString(), u"後"_s);
}

void tst_LedgerModel::firstConfirmedCellInsertsTheLine() {
    LedgerModel m(2);
    QVERIFY(m.load(7, LedgerView::Normal));
    QCOMPARE(m.rowCount(), 1);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Date, u"2024/3/9"_s, refusal));
    QVERIFY(refusal.ok);
    QCOMPARE(m.lineCount(), 1);
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1); // the fresh new row after the stored line
    const qint64 id = m.line(0).lngID;
    QVERIFY(id > 0);
    QCOMPARE(row(2, id, u"lngMasterID,date1,blnChange"_s),
             (QVariantList{qint64(7), QDate(2024, 3, 9), true}));
    QCOMPARE(lineCount(1), 0);
    // The second cell goes to the same line.
    QVERIFY(m.setCellText(0, LedgerCol::Payment, u"1,500"_s, refusal));
    QCOMPARE(lineCount(2), 1);
    QCOMPARE(row(2, id, u"curPayment"_s).value(0).value<Currency>(), yen(1500));
    QCOMPARE(m.data(m.index(0, LedgerCol::Payment)).toString(), u"1,500"_s);
}

void tst_LedgerModel::emptyCellOfNewRowStartsNoLine() {
    LedgerModel m(1);
    QVERIFY(m.load(7, LedgerView::Normal));
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Cost, QString(), refusal));
    QVERIFY(m.setCellText(0, LedgerCol::Date, u"  "_s, refusal));
    QCOMPARE(lineCount(1), 0);
    QCOMPARE(m.rowCount(), 1);
}

void tst_LedgerModel::refusedTextStoresNothing_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    QTest::newRow("ratio 0") << int(LedgerCol::Ratio) << u"0"_s << u"０は入力しないでください"_s
                             << 0;
    QTest::newRow("ratio -5") << int(LedgerCol::Ratio) << u"-5"_s
                              << u"０以下は入力しないでください"_s << 0;
    QTest::newRow("quantity 12.5")
        << int(LedgerCol::Quantity) << u"12.5"_s << u"小数は入力しないでください"_s << 0;
    QTest::newRow("check 1.5") << int(LedgerCol::Check) << u"1.5"_s
                               << u"小数は入力しないでください"_s << 0;
    QTest::newRow("cost text") << int(LedgerCol::Cost) << u"abc"_s << u"数値を入力してください"_s
                               << 0;
    QTest::newRow("no date") << int(LedgerCol::Date) << u"2024/2/30"_s
                             << u"日付を入力してください"_s << 0;
    QTest::newRow("order 41") << int(LedgerCol::Sort) << u"41"_s << u"リストの中から"_s << 50;
    QTest::newRow("class not in list")
        << int(LedgerCol::Class1) << u"未登録"_s << u"リストの中から"_s << 50;
}

void tst_LedgerModel::refusedTextStoresNothing() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, code);
    LedgerStore store(1);
    LedgerLine l = storedLine(4, QDate(2024, 3, 1), u"品"_s);
    QVERIFY(store.insertLine(l));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    const LedgerLine before = m.line(0);
    // Through the generic edit role as well as the window's path.
    QVERIFY(!m.setData(m.index(0, column), text));
    QCOMPARE(m.lastRefusal().msgCode, code);
    QCOMPARE(code ? m.lastRefusal().addText : m.lastRefusal().text, message);
    RuleResult refusal;
    QVERIFY(!m.setCellText(1, column, text, refusal));
    QVERIFY(!refusal.ok);
    QCOMPARE(m.line(0), before);
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(lineCount(1), 1);
    QCOMPARE(row(1, l.lngID, u"blnChange"_s).value(0), QVariant(false));
}

void tst_LedgerModel::unchangedCellIsNotWritten() {
    LedgerStore store(1);
    LedgerLine l = storedLine(4, QDate(2024, 3, 1), u"品"_s);
    QVERIFY(store.insertLine(l));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Cost, u"1,000"_s, refusal));
    QVERIFY(m.setCellText(0, LedgerCol::Date, u"24/03/01"_s, refusal));
    QCOMPARE(changed.size(), 0);
    QCOMPARE(row(1, l.lngID, u"blnChange"_s).value(0), QVariant(false));
    QVERIFY(m.setCellText(0, LedgerCol::Cost, u"999"_s, refusal));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(row(1, l.lngID, u"curCost,blnChange"_s),
             (QVariantList{QVariant::fromValue(yen(999)), true}));
}

void tst_LedgerModel::classDefaultsFillANewLineOnly() {
    QVERIFY(gSetSystemStrField(13, u"文具"_s));
    QVERIFY(gSetSystemStrField(15, u"定番"_s));
    LedgerStore store(1);
    LedgerLine old = storedLine(4, QDate(2024, 3, 1), u"品"_s);
    QVERIFY(store.insertLine(old));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Note, u"確認"_s, refusal));
    QCOMPARE(row(1, old.lngID, u"strClass1,strClass3"_s), (QVariantList{QVariant(), QVariant()}));
    QVERIFY(m.setCellText(1, LedgerCol::Item, u"新しい品"_s, refusal));
    const qint64 id = m.line(1).lngID;
    QCOMPARE(row(1, id, u"strClass1,strClass2,strClass3,lngMasterID"_s),
             (QVariantList{u"文具"_s, QVariant(), u"定番"_s, qint64(4)}));
}

void tst_LedgerModel::failedWriteLeavesTheCache() {
    LedgerStore store(1);
    LedgerLine l = storedLine(4, QDate(2024, 3, 1), u"品"_s);
    QVERIFY(store.insertLine(l));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER T_DATA1_NO BEFORE UPDATE ON T_DATA1 BEGIN "
                                 "SELECT RAISE(ABORT, 'read only'); END"_s));
    RuleResult refusal;
    QVERIFY(!m.setCellText(0, LedgerCol::Cost, u"2000"_s, refusal));
    QVERIFY(refusal.ok); // not a refusal: a failure, reported
    QCOMPARE(m.line(0).curCost, std::optional<Currency>(yen(1000)));
    QCOMPARE(m.data(m.index(0, LedgerCol::Cost)).toString(), u"1,000"_s);
    QVERIFY(m_folder->errorLogEntries() >= 1);
}

void tst_LedgerModel::deleteRemovesFromDatabaseThenView() {
    LedgerStore store(1);
    LedgerLine a = storedLine(4, QDate(2024, 3, 1), u"一"_s);
    LedgerLine b = storedLine(4, QDate(2024, 3, 2), u"二"_s);
    LedgerLine c = storedLine(4, QDate(2024, 3, 3), u"三"_s);
    for (LedgerLine* l : {&a, &b, &c})
        QVERIFY(store.insertLine(*l));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    // The new row (3) is not a line and is left alone.
    QVERIFY(m.removeLines({0, 2, 3}));
    QCOMPARE(removed.size(), 2);
    QCOMPARE(m.lineCount(), 1);
    QCOMPARE(m.line(0).strItem, std::optional<QString>(u"二"_s));
    QCOMPARE(lineCount(1), 1);
    QVERIFY(row(1, a.lngID, u"lngID"_s).isEmpty());
    QVERIFY(!row(1, b.lngID, u"lngID"_s).isEmpty());
}

void tst_LedgerModel::failedDeleteKeepsEveryLine() {
    LedgerStore store(1);
    LedgerLine a = storedLine(4, QDate(2024, 3, 1), u"一"_s);
    LedgerLine b = storedLine(4, QDate(2024, 3, 2), u"二"_s);
    for (LedgerLine* l : {&a, &b})
        QVERIFY(store.insertLine(*l));
    // The later row goes first; the refusal comes at the earlier one.
    QVERIFY(gdbData().executeSQL(
        u"CREATE TRIGGER T_DATA1_KEEP BEFORE DELETE ON T_DATA1 "
        "WHEN OLD.lngID = %1 BEGIN SELECT RAISE(ABORT, 'kept'); END"_s.arg(a.lngID)));
    LedgerModel m(1);
    QVERIFY(m.load(4, LedgerView::Normal));
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    QVERIFY(!m.removeLines({0, 1}));
    QCOMPARE(removed.size(), 0);
    QCOMPARE(m.lineCount(), 2);
    QCOMPARE(lineCount(1), 2);
    QVERIFY(!row(1, b.lngID, u"lngID"_s).isEmpty());
}

void tst_LedgerModel::longLedgerIsReadInBlocks() {
    // 20 000 lines of supplier 9, one a day from 2000-01-01, item "n<number>".
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost, curRatio, blnChange)"
        " WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<19999)"
        " SELECT 9, date('2000-01-01', '+' || i || ' days'), 'n' || i, 10000, 600000, 0"
        " FROM n"_s));
    LedgerModel m(1);
    QVERIFY(m.load(9, LedgerView::Normal));
    QCOMPARE(m.lineCount(), 20000);
    QCOMPARE(m.cachedLines(), std::size_t(0)); // nothing read before it is shown
    QCOMPARE(m.data(m.index(19999, LedgerCol::Item)).toString(), u"n19999"_s);
    QVERIFY(m.cachedLines() <= 128);
    // Every row, in order, while the lines at hand stay bounded.
    std::size_t most = 0;
    for (int r = 0; r < m.lineCount(); ++r) {
        QCOMPARE(m.data(m.index(r, LedgerCol::Item)).toString(), u"n%1"_s.arg(r));
        most = std::max(most, m.cachedLines());
    }
    QVERIFY(most <= 16384 + 128);
    // An edit deep in the ledger and the line check find the right line.
    RuleResult refusal;
    QVERIFY(m.setCellText(12345, LedgerCol::Cost, QString(), refusal));
    QCOMPARE(row(1, m.line(12345).lngID, u"curCost,blnChange"_s), (QVariantList{QVariant(), true}));
    bool errorFound = false;
    RuleResult result;
    QVERIFY(m.checkLines(LineCheckTexts(), false, errorFound, result));
    QVERIFY(errorFound);
    QCOMPARE(result.focusRow, 12345);
    QCOMPARE(result.text, u"仕入金額 か 支払金額 の入力は必須です"_s);
}

QTEST_MAIN(tst_LedgerModel)
#include "tst_LedgerModel.moc"
