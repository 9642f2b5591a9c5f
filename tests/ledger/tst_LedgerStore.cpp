#include "TestData.h"
#include "TestServices.h"
#include "base/Globals.h"
#include "ledger/Captions.h"
#include "ledger/LedgerStore.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

Currency yen(qint64 v) {
    return Currency::fromInt(v);
}

// One column of a stored line, read back with its own query.
QVariant stored(int kind, qint64 lngID, const QString& column) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT "_s + column + u" FROM T_DATA"_s + QString::number(kind) +
                              u" WHERE lngID=?"_s,
                          {lngID}) ||
        rs.recordCount() != 1)
        return u"<no row>"_s;
    return rs.value(0);
}

qint64 countRows(const QString& sql, const QVariantList& params = {}) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(sql, params))
        return -1;
    return rs.lng(0);
}

// Counts the UPDATE statements that reach T_DATA1.
bool installUpdateCounter() {
    Database& db = gdbData();
    return db.executeSQL(u"CREATE TABLE T_COUNT (lngN INTEGER)"_s) &&
           db.executeSQL(u"INSERT INTO T_COUNT VALUES (0)"_s) &&
           db.executeSQL(u"CREATE TRIGGER T_DATA1_COUNT AFTER UPDATE ON T_DATA1 BEGIN "
                         "UPDATE T_COUNT SET lngN=lngN+1; END"_s);
}

qint64 updates() {
    return countRows(u"SELECT lngN FROM T_COUNT"_s);
}

LedgerLine line(qint32 masterID, const QDate& date, const QString& item, qint32 sort = 1) {
    LedgerLine l;
    l.lngMasterID = masterID;
    l.date1 = date;
    l.strItem = item;
    l.lngSort = sort;
    l.curCost = yen(100);
    l.curRatio = yen(60);
    return l;
}

QStringList items(const std::vector<LedgerLine>& lines) {
    QStringList out;
    for (const LedgerLine& l : lines)
        out << l.strItem.value_or(u"<null>"_s);
    return out;
}

} // namespace

class tst_LedgerStore : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loadInBothOrders();
    void loadReadsEveryColumn();
    void orderAndBlocksMatchTheFullLoad_data();
    void orderAndBlocksMatchTheFullLoad();
    void firstCellInsertsTheLine();
    void cellUpdateWritesOnlyThatLine();
    void unchangedValueIsNotWritten();
    void nullAndEmptyNoteDiffer();
    void derivedValueIsStoredWithTheLine();
    void deleteLine();
    void resetChecksOfOneSupplier();
    void resetChecksOfAllSuppliers();
    void lineCheckClearsPassedLinesUpToTheFirstError();
    void lineCheckSkipsUnchangedLines();
    void lineCheckOverTheDatabase();
    void failuresLeaveTheLineAlone();
    void captionsOfEachLedger();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_LedgerStore::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void tst_LedgerStore::cleanup() {
    m_folder.reset();
}

void tst_LedgerStore::loadInBothOrders() {
    // The view-order box offers two names; any other is refused.
    LedgerView view = LedgerView::Normal;
    QVERIFY(ledgerViewFromName(u"入力順"_s, view) && view == LedgerView::Entry);
    QVERIFY(!ledgerViewFromName(u"日付順"_s, view));
    LedgerStore store(1);
    // Entry order: e, d, c, b, a (lngID ascending).
    LedgerLine e = line(5, QDate(2024, 3, 2), u"e"_s, 1);
    LedgerLine d = line(5, QDate(2024, 3, 1), u"d"_s, 2);
    LedgerLine c = line(5, QDate(2024, 3, 1), u"c"_s, 1);
    LedgerLine b = line(5, QDate(2024, 3, 1), u"b"_s, 2); // same date and sort as d: by lngID
    LedgerLine a = line(5, QDate(2024, 2, 28), u"a"_s, 9);
    LedgerLine other = line(6, QDate(2024, 1, 1), u"other"_s, 1);
    LedgerLine otherLedger = line(5, QDate(2024, 1, 1), u"sales"_s, 1);
    for (LedgerLine* l : {&e, &d, &c, &b, &a, &other})
        QVERIFY(store.insertLine(*l));
    LedgerStore sales(2);
    QVERIFY(sales.insertLine(otherLedger));

    std::vector<LedgerLine> lines;
    QVERIFY(store.load(5, LedgerView::Normal, lines));
    QCOMPARE(items(lines), (QStringList{u"a"_s, u"c"_s, u"d"_s, u"b"_s, u"e"_s}));
    QVERIFY(store.load(5, LedgerView::Entry, lines));
    QCOMPARE(items(lines), (QStringList{u"e"_s, u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
    QVERIFY(store.load(0, LedgerView::Normal, lines));
    QVERIFY(lines.empty());
    QVERIFY(sales.load(5, LedgerView::Normal, lines));
    QCOMPARE(items(lines), QStringList{u"sales"_s});
}

void tst_LedgerStore::loadReadsEveryColumn() {
    LedgerLine l;
    l.lngMasterID = 3;
    l.date1 = QDate(2024, 3, 5);
    l.lngSort = 7;
    l.strItem = u"O'Neil の \"品\""_s;
    l.strClass1 = u"文具"_s;
    l.strClass2 = u"定番"_s;
    l.strClass3 = u"通販"_s;
    l.curQuantity = yen(-3);
    l.curUnitPrice = yen(600);
    l.curRegularPrice = yen(1000);
    l.curRatio = Currency::parse(u"62.5"_s);
    l.curCost = yen(-1800);
    l.curCheck = yen(2);
    l.strNote = u""_s;
    l.blnChange = true;
    LedgerStore store(1);
    QVERIFY(store.insertLine(l));
    QVERIFY(l.lngID > 0);
    std::vector<LedgerLine> lines;
    QVERIFY(store.load(3, LedgerView::Entry, lines));
    QCOMPARE(lines.size(), std::size_t(1));
    QVERIFY(lines[0] == l);
    QVERIFY(!lines[0].curPayment);
    QVERIFY(lines[0].strNote.has_value());
    LedgerLine back;
    QVERIFY(store.readLine(l.lngID, back));
    QVERIFY(back == l);
    QCOMPARE(stored(1, l.lngID, u"curRatio"_s).value<Currency>().raw(), qint64(625000));
    QCOMPARE(stored(1, l.lngID, u"date1"_s).toDate(), QDate(2024, 3, 5));
}

void tst_LedgerStore::orderAndBlocksMatchTheFullLoad_data() {
    QTest::addColumn<bool>("entryOrder");
    QTest::newRow("通常") << false;
    QTest::newRow("入力順") << true;
}

// The index-only order and the block reads give the same lines as the full load, NULL dates and
// sort numbers included.
void tst_LedgerStore::orderAndBlocksMatchTheFullLoad() {
    QFETCH(bool, entryOrder);
    const LedgerView view = entryOrder ? LedgerView::Entry : LedgerView::Normal;
    LedgerStore store(1);
    const int dates[] = {5, 3, 0, 5, 3, 1, 5, 0, 2, 4, 3, 3};
    const int sorts[] = {2, 1, 1, 0, 1, 3, 1, 2, 0, 1, 0, 2};
    for (int i = 0; i < 12; ++i) {
        LedgerLine l = line(9, QDate(2024, 3, 1).addDays(dates[i]), QString::number(i), sorts[i]);
        if (dates[i] == 0)
            l.date1.reset();
        if (sorts[i] == 0)
            l.lngSort.reset();
        QVERIFY(store.insertLine(l));
        LedgerLine other = line(10, QDate(2024, 3, 2), u"x"_s);
        QVERIFY(store.insertLine(other));
    }
    std::vector<LedgerLine> full;
    QVERIFY(store.load(9, view, full));
    QCOMPARE(full.size(), std::size_t(12));
    std::vector<qint64> ids;
    QVERIFY(store.loadOrder(9, view, ids));
    QCOMPARE(ids.size(), full.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        QCOMPARE(ids[i], full[i].lngID);
    if (!entryOrder) {
        // NULL dates first; within a date NULL sort numbers first, then by number, then by entry.
        QCOMPARE(items(full).mid(0, 4), (QStringList{u"2"_s, u"7"_s, u"5"_s, u"8"_s}));
        QCOMPARE(items(full).mid(4, 4), (QStringList{u"10"_s, u"1"_s, u"4"_s, u"11"_s}));
    }
    std::vector<LedgerLine> block;
    QVERIFY(store.readLines(ids, 8, 100, block)); // cut at the end
    QCOMPARE(block.size(), std::size_t(4));
    for (std::size_t i = 0; i < block.size(); ++i)
        QVERIFY(block[i] == full[8 + i]);
    QVERIFY(store.readLines(ids, 12, 5, block));
    QVERIFY(block.empty());
    QVERIFY(store.deleteLine(ids[3]));
    QVERIFY(!store.readLines(ids, 0, 5, block));
    QVERIFY(m_folder->errorLog().contains(u"LedgerStore_readLines"_s));
}

void tst_LedgerStore::firstCellInsertsTheLine() {
    QVERIFY(gSetSystemStrField(13, u"文具"_s));
    QVERIFY(gSetSystemStrField(15, u"通販"_s));
    LedgerStore store(2);
    LedgerLine l; // a new line at the end of the grid
    QVERIFY(store.storeCell(l, LedgerCol::Date, QDate(2024, 3, 5), 12));
    QVERIFY(l.lngID > 0);
    QCOMPARE(stored(2, l.lngID, u"lngMasterID"_s).toLongLong(), 12);
    QCOMPARE(stored(2, l.lngID, u"date1"_s).toDate(), QDate(2024, 3, 5));
    QCOMPARE(stored(2, l.lngID, u"blnChange"_s).toBool(), true);
    QCOMPARE(stored(2, l.lngID, u"strClass1"_s).toString(), u"文具"_s);
    QVERIFY(stored(2, l.lngID, u"strClass2"_s).isNull());
    QCOMPARE(stored(2, l.lngID, u"strClass3"_s).toString(), u"通販"_s);
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA1"_s), 0);
    // The next cell updates the same row and leaves the classes as they are.
    QVERIFY(gSetSystemStrField(13, u"紙"_s));
    QVERIFY(store.storeCell(l, LedgerCol::Cost, QVariant::fromValue(yen(1800)), 12));
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA2"_s), 1);
    QCOMPARE(stored(2, l.lngID, u"curCost"_s).value<Currency>(), yen(1800));
    QCOMPARE(stored(2, l.lngID, u"strClass1"_s).toString(), u"文具"_s);
}

void tst_LedgerStore::cellUpdateWritesOnlyThatLine() {
    LedgerStore store(1);
    LedgerLine a = line(1, QDate(2024, 3, 1), u"a"_s);
    LedgerLine b = line(1, QDate(2024, 3, 1), u"b"_s);
    QVERIFY(store.insertLine(a));
    QVERIFY(store.insertLine(b));
    QVERIFY(store.storeCell(a, LedgerCol::Item, u"  "_s, 1)); // blank becomes NULL
    QVERIFY(stored(1, a.lngID, u"strItem"_s).isNull());
    QVERIFY(!a.strItem);
    QVERIFY(a.blnChange);
    QCOMPARE(stored(1, b.lngID, u"strItem"_s).toString(), u"b"_s);
    QCOMPARE(stored(1, b.lngID, u"blnChange"_s).toBool(), false);
    // A date that shows as 99/12/30 is stored as NULL.
    QVERIFY(store.storeCell(b, LedgerCol::Date, QDate(1899, 12, 30), 1));
    QVERIFY(stored(1, b.lngID, u"date1"_s).isNull());
    // A value the column cannot hold is refused and nothing changes.
    const LedgerLine before = b;
    QVERIFY(!store.storeCell(b, LedgerCol::Cost, u"abc"_s, 1));
    QVERIFY(b == before);
}

void tst_LedgerStore::unchangedValueIsNotWritten() {
    QVERIFY(installUpdateCounter());
    LedgerStore store(1);
    LedgerLine a = line(1, QDate(2024, 3, 1), u"a"_s);
    QVERIFY(store.insertLine(a));
    bool written = true;
    QVERIFY(store.updateCell(a, LedgerCol::Item, u"a"_s, &written));
    QVERIFY(!written);
    QVERIFY(store.updateCell(a, LedgerCol::Cost, QVariant::fromValue(yen(100)), &written));
    QVERIFY(!written);
    QCOMPARE(updates(), 0);
    QVERIFY(store.updateCell(a, LedgerCol::Cost, QVariant::fromValue(yen(101)), &written));
    QVERIFY(written);
    QCOMPARE(updates(), 1);
    QCOMPARE(stored(1, a.lngID, u"curCost"_s).value<Currency>(), yen(101));
    // Storing a confirmed cell with nothing new writes nothing either.
    QVERIFY(store.storeCell(a, LedgerCol::Cost, QVariant::fromValue(yen(101)), 1));
    QCOMPARE(updates(), 2); // the first confirmed cell marks the line changed
    QVERIFY(store.storeCell(a, LedgerCol::Cost, QVariant::fromValue(yen(101)), 1));
    QCOMPARE(updates(), 2);
}

void tst_LedgerStore::nullAndEmptyNoteDiffer() {
    LedgerStore store(1);
    LedgerLine a = line(1, QDate(2024, 3, 1), u"a"_s);
    QVERIFY(store.insertLine(a));
    QVERIFY(store.storeCell(a, LedgerCol::Note, u""_s, 1));
    QCOMPARE(stored(1, a.lngID, u"strNote"_s).isNull(), false);
    QCOMPARE(stored(1, a.lngID, u"strNote"_s).toString(), u""_s);
    QVERIFY(store.storeCell(a, LedgerCol::Note, QVariant(), 1));
    QCOMPARE(stored(1, a.lngID, u"strNote"_s).isNull(), true);
}

void tst_LedgerStore::derivedValueIsStoredWithTheLine() {
    LedgerStore store(1);
    LedgerLine l;
    QVERIFY(store.storeCell(l, LedgerCol::Quantity, QVariant::fromValue(yen(2)), 4));
    QVERIFY(store.storeCell(l, LedgerCol::RegularPrice, QVariant::fromValue(yen(1000)), 4));
    // The cost from the supplier's default ratio also fills the ratio; both are stored.
    const LedgerLine before = l;
    DeriveResult r;
    QVERIFY(mCalcCost(l, yen(60), r));
    QVERIFY(r.computed);
    QVERIFY(store.storeDerived(before, l, 4));
    QCOMPARE(stored(1, l.lngID, u"curCost"_s).value<Currency>(), yen(1200));
    QCOMPARE(stored(1, l.lngID, u"curRatio"_s).value<Currency>(), yen(60));
    QCOMPARE(stored(1, l.lngID, u"blnChange"_s).toBool(), true);
    QCOMPARE(stored(1, l.lngID, u"lngMasterID"_s).toLongLong(), 4);

    // A derived value on a line never stored belongs to the shown supplier as well.
    LedgerLine fresh;
    const LedgerLine empty = fresh;
    QVERIFY(mCalcRatio(fresh, yen(70), r));
    QVERIFY(store.storeDerived(empty, fresh, 4));
    QVERIFY(fresh.lngID > 0);
    QCOMPARE(stored(1, fresh.lngID, u"lngMasterID"_s).toLongLong(), 4);
    QCOMPARE(stored(1, fresh.lngID, u"curRatio"_s).value<Currency>(), yen(70));
}

void tst_LedgerStore::deleteLine() {
    LedgerStore store(1);
    LedgerLine a = line(1, QDate(2024, 3, 1), u"a"_s);
    LedgerLine b = line(1, QDate(2024, 3, 1), u"b"_s);
    QVERIFY(store.insertLine(a));
    QVERIFY(store.insertLine(b));
    QVERIFY(store.deleteLine(a.lngID));
    QCOMPARE(stored(1, a.lngID, u"strItem"_s).toString(), u"<no row>"_s);
    QCOMPARE(stored(1, b.lngID, u"strItem"_s).toString(), u"b"_s);
    // A new line never reuses the deleted ID.
    LedgerLine c = line(1, QDate(2024, 3, 1), u"c"_s);
    QVERIFY(store.deleteLine(b.lngID));
    QVERIFY(store.insertLine(c));
    QVERIFY(c.lngID > b.lngID);
    LedgerLine gone;
    QVERIFY(!store.readLine(a.lngID, gone));
}

void tst_LedgerStore::resetChecksOfOneSupplier() {
    LedgerStore purchase(1);
    LedgerStore sales(2);
    LedgerLine a = line(12, QDate(2024, 3, 1), u"a"_s);
    a.curCheck = yen(3);
    LedgerLine n = line(12, QDate(2024, 3, 1), u"null"_s); // a NULL mark becomes 0 too
    LedgerLine o = line(13, QDate(2024, 3, 1), u"other"_s);
    o.curCheck = yen(5);
    LedgerLine s = line(12, QDate(2024, 3, 1), u"sales"_s);
    s.curCheck = yen(7);
    QVERIFY(purchase.insertLine(a));
    QVERIFY(purchase.insertLine(n));
    QVERIFY(purchase.insertLine(o));
    QVERIFY(sales.insertLine(s));
    QVERIFY(purchase.resetChecks(12));
    QCOMPARE(stored(1, a.lngID, u"curCheck"_s).value<Currency>(), yen(0));
    QCOMPARE(stored(1, n.lngID, u"curCheck"_s).isNull(), false);
    QCOMPARE(stored(1, n.lngID, u"curCheck"_s).value<Currency>(), yen(0));
    QCOMPARE(stored(1, o.lngID, u"curCheck"_s).value<Currency>(), yen(5));
    QCOMPARE(stored(2, s.lngID, u"curCheck"_s).value<Currency>(), yen(7));
}

void tst_LedgerStore::resetChecksOfAllSuppliers() {
    LedgerStore purchase(1);
    LedgerStore sales(2);
    LedgerLine a = line(12, QDate(2024, 3, 1), u"a"_s);
    a.curCheck = yen(3);
    LedgerLine o = line(13, QDate(2024, 3, 1), u"other"_s);
    o.curCheck = yen(5);
    LedgerLine s = line(12, QDate(2024, 3, 1), u"sales"_s);
    s.curCheck = yen(7);
    QVERIFY(purchase.insertLine(a));
    QVERIFY(purchase.insertLine(o));
    QVERIFY(sales.insertLine(s));
    QVERIFY(sales.resetChecks(std::nullopt));
    QCOMPARE(stored(2, s.lngID, u"curCheck"_s).value<Currency>(), yen(0));
    QCOMPARE(stored(1, a.lngID, u"curCheck"_s).value<Currency>(), yen(3));
    QVERIFY(purchase.resetChecks(std::nullopt));
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA1 WHERE curCheck=0"_s), 2);
}

void tst_LedgerStore::lineCheckClearsPassedLinesUpToTheFirstError() {
    LedgerStore store(1);
    LedgerLine ok1 = line(1, QDate(2024, 3, 1), u"ok1"_s);
    LedgerLine bad = line(1, QDate(2024, 3, 2), u"bad"_s);
    bad.curPayment = yen(50); // both amounts
    LedgerLine ok2 = line(1, QDate(2024, 3, 3), u"ok2"_s);
    for (LedgerLine* l : {&ok1, &bad, &ok2}) {
        l->blnChange = true;
        QVERIFY(store.insertLine(*l));
    }
    std::vector<LedgerLine> lines;
    QVERIFY(store.load(1, LedgerView::Normal, lines));
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(1, texts));
    bool errorFound = false;
    RuleResult r;
    QVERIFY(store.mChkInputDate(lines, texts, true, errorFound, r));
    QVERIFY(errorFound);
    QCOMPARE(r.focusRow, 1);
    QCOMPARE(r.text, u"仕入金額 と 支払金額 の両方に値を入れるのは不正です"_s);
    QCOMPARE(stored(1, ok1.lngID, u"blnChange"_s).toBool(), false);
    QCOMPARE(stored(1, bad.lngID, u"blnChange"_s).toBool(), true);
    QCOMPARE(stored(1, ok2.lngID, u"blnChange"_s).toBool(), true);
    QVERIFY(!lines[0].blnChange);
    QVERIFY(lines[2].blnChange);

    // The user corrects the line; the next check passes and clears the rest.
    QVERIFY(store.storeCell(lines[1], LedgerCol::Payment, QVariant(), 1));
    QVERIFY(store.mChkInputDate(lines, texts, true, errorFound, r));
    QVERIFY(!errorFound);
    QVERIFY(!r.hasMessage());
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA1 WHERE blnChange=1"_s), 0);
}

void tst_LedgerStore::lineCheckSkipsUnchangedLines() {
    LedgerStore store(1);
    LedgerLine old = line(1, QDate(2024, 3, 1), u"old"_s);
    old.date1.reset(); // invalid, but not changed since it passed
    QVERIFY(store.insertLine(old));
    LedgerLine fresh = line(1, QDate(2024, 3, 2), u"fresh"_s);
    fresh.date1.reset();
    fresh.blnChange = true;
    QVERIFY(store.insertLine(fresh));
    std::vector<LedgerLine> lines;
    QVERIFY(store.load(1, LedgerView::Entry, lines));
    bool errorFound = false;
    RuleResult r;
    QVERIFY(store.mChkInputDate(lines, LineCheckTexts(), true, errorFound, r));
    QVERIFY(errorFound);
    QCOMPARE(r.focusRow, 1);
    QCOMPARE(r.msgCode, 19);
    QCOMPARE(r.addText, u"日付は"_s);
    // An empty view passes.
    std::vector<LedgerLine> none;
    QVERIFY(store.mChkInputDate(none, LineCheckTexts(), false, errorFound, r));
    QVERIFY(!errorFound);
}

void tst_LedgerStore::lineCheckOverTheDatabase() {
    LedgerStore store(2);
    LedgerLine a = line(7, QDate(2024, 3, 3), u"a"_s); // passes
    LedgerLine b = line(7, QDate(2024, 3, 1), u"b"_s); // no ratio anywhere: fails
    b.curRatio.reset();
    LedgerLine c = line(7, QDate(2024, 3, 2), u"c"_s); // passes
    LedgerLine d = line(8, QDate(2024, 3, 2), u"other supplier"_s);
    d.curCost.reset();
    for (LedgerLine* l : {&a, &b, &c, &d}) {
        l->blnChange = true;
        QVERIFY(store.insertLine(*l));
    }
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(2, texts));
    bool errorFound = false;
    RuleResult r;
    qint64 errorLine = -1;
    // In date order b comes first and stops the check; nothing is cleared.
    QVERIFY(store.mChkInputDate(7, LedgerView::Normal, texts, false, errorFound, r, errorLine));
    QVERIFY(errorFound);
    QCOMPARE(errorLine, b.lngID);
    QVERIFY(r.text.startsWith(u"売上規定掛率 が設定されていない場合"_s));
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA2 WHERE blnChange=1"_s), 4);
    // In entry order a passes first.
    QVERIFY(store.mChkInputDate(7, LedgerView::Entry, texts, false, errorFound, r, errorLine));
    QCOMPARE(errorLine, b.lngID);
    QCOMPARE(stored(2, a.lngID, u"blnChange"_s).toBool(), false);
    QCOMPARE(stored(2, c.lngID, u"blnChange"_s).toBool(), true);
    // With the supplier's default ratio every line of supplier 7 passes; supplier 8 is untouched.
    QVERIFY(store.mChkInputDate(7, LedgerView::Normal, texts, true, errorFound, r, errorLine));
    QVERIFY(!errorFound);
    QCOMPARE(errorLine, qint64(0));
    QCOMPARE(countRows(u"SELECT count(*) FROM T_DATA2 WHERE blnChange=1"_s), 1);
    QCOMPARE(stored(2, d.lngID, u"blnChange"_s).toBool(), true);
}

void tst_LedgerStore::failuresLeaveTheLineAlone() {
    LedgerStore wrong(3);
    std::vector<LedgerLine> lines;
    QVERIFY(!wrong.load(1, LedgerView::Normal, lines));
    LedgerLine l = line(1, QDate(2024, 3, 1), u"a"_s);
    QVERIFY(!wrong.insertLine(l));
    QCOMPARE(l.lngID, qint64(0));
    QVERIFY(!wrong.resetChecks(std::nullopt));
    QVERIFY(m_folder->errorLog().contains(u"LedgerStore_load"_s));

    // A line deleted meanwhile: the update is refused and the cached line keeps its value.
    LedgerStore store(1);
    QVERIFY(store.insertLine(l));
    QVERIFY(store.deleteLine(l.lngID));
    QVERIFY(!store.storeCell(l, LedgerCol::Item, u"b"_s, 1));
    QCOMPARE(l.strItem, std::optional<QString>(u"a"_s));
    QVERIFY(m_folder->errorLog().contains(u"LedgerStore_storeChanges"_s));

    // A stored value is not written on a line that was never stored.
    LedgerLine fresh;
    QVERIFY(!store.updateCell(fresh, LedgerCol::Item, u"x"_s));
}

void tst_LedgerStore::captionsOfEachLedger() {
    QString def;
    QString caption;
    QVERIFY(gGetColumnCaption(CaptionNo::Cost, 1, def, caption));
    QCOMPARE(caption, u"仕入金額"_s);
    QVERIFY(gGetColumnCaption(CaptionNo::Cost, 2, def, caption));
    QCOMPARE(caption, u"売上金額"_s);
    // Number 5 has no row: no caption, and no log entry (the caller decides).
    QVERIFY(!gGetColumnCaption(5, 1, def, caption));
    QCOMPARE(m_folder->errorLogEntries(), 0);

    // The open ledger's table is written; the other ledger keeps its caption.
    glngDataKind = 2;
    QVERIFY(gSetColumnCaption(CaptionNo::Item, u"品名"_s, u"商品 'A'"_s));
    QVERIFY(gGetColumnCaption(CaptionNo::Item, 2, def, caption));
    QCOMPARE(caption, u"商品 'A'"_s);
    QCOMPARE(def, u"品名"_s);
    QVERIFY(gGetColumnCaption(CaptionNo::Item, 1, def, caption));
    QCOMPARE(caption, u"品名"_s);
    glngDataKind = 0;
    QVERIFY(!gSetColumnCaption(CaptionNo::Item, u"品名"_s, u"x"_s));
    QVERIFY(!gGetColumnCaption(CaptionNo::Item, 3, def, caption));
    QVERIFY(m_folder->errorLog().contains(u"gSetColumnCaption"_s));
}

QTEST_GUILESS_MAIN(tst_LedgerStore)
#include "tst_LedgerStore.moc"
