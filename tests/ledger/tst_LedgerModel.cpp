#include "TestData.h"
#include "TestServices.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LedgerModel.h"
#include "ledger/LedgerStore.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A stored purchase line with an amount and a ratio.
qint64 stored(qint32 id, const QDate& d, const QString& item, int s = 0, int k = 1) {
    return addLine(
        {.kind = k, .masterID = id, .date = d, .sort = s, .item = item, .ratio = 60, .cost = 1000});
}

QVariantList row(int kind, qint64 lngID, const QString& columns) {
    return dataRow(u"SELECT %1 FROM T_DATA%2 WHERE lngID=?"_s.arg(columns).arg(kind), {lngID});
}

QStringList items(const LedgerModel& m) {
    QStringList out;
    for (int r = 0; r < m.lineCount(); ++r)
        out << m.data(m.index(r, LedgerCol::Item)).toString();
    return out;
}

} // namespace

class tst_LedgerModel : public DataFileTest {
    Q_OBJECT
private slots:
    void ordersOfTheView();
    void storedLineReadsBackEveryColumn();
    void firstConfirmedCellInsertsTheLine();
    void unchangedCellIsNotWritten();
    void failedWriteLeavesTheCache();
    void deleteRemovesFromDatabaseThenView_data();
    void deleteRemovesFromDatabaseThenView();
    void lineCheckClearsPassedLinesUpToTheFirstError();
    void storeFailures();
    void longLedgerIsReadInBlocks();
    void twoWritersOfOneLine();
    void otherProgramsLinesAreShown_data();
    void otherProgramsLinesAreShown();
};

// Normal order: NULL dates first; within a date NULL sort numbers first, then by number, then
// by entry. Entry order: as entered. Other suppliers and the other ledger are left out.
void tst_LedgerModel::ordersOfTheView() {
    const int dates[] = {5, 3, 0, 5, 3, 1, 5, 0, 2, 4, 3, 3};
    const int sorts[] = {2, 1, 1, 0, 1, 3, 1, 2, 0, 1, 0, 2};
    for (int i = 0; i < 12; ++i) {
        const QDate d = dates[i] ? QDate(2024, 3, 1).addDays(dates[i]) : QDate();
        QVERIFY(addLine({.masterID = 9, .date = d, .sort = sorts[i], .item = u"%1"_s.arg(i)}) > 0);
        QVERIFY(stored(10, QDate(2024, 3, 2), u"x"_s) > 0);
    }
    QVERIFY(stored(9, QDate(2024, 3, 2), u"sales"_s, 1, 2) > 0);
    QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA1 SET lngSort=NULL WHERE lngSort=0"_s));
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(9, LedgerView::Normal));
    QCOMPARE(items(m), (QStringList{u"2"_s, u"7"_s, u"5"_s, u"8"_s, u"10"_s, u"1"_s, u"4"_s,
                                    u"11"_s, u"9"_s, u"3"_s, u"6"_s, u"0"_s}));
    QVERIFY(m.load(9, LedgerView::Entry));
    QCOMPARE(items(m).mid(0, 3), (QStringList{u"0"_s, u"1"_s, u"2"_s}));
}

void tst_LedgerModel::storedLineReadsBackEveryColumn() {
    // Written independently of the store: money as 1/10000 yen.
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem, strClass1, strClass2,"
        " strClass3, curQuantity, curUnitPrice, curRegularPrice, curRatio, curCost, curCheck,"
        " strNote) VALUES (3, '1998-12-01', 7, 'O''Neil の \"品\"', '文具', '定番', '通販',"
        " -12340000, 6000000, 10000000, 625000, -18000000, 0, ' 備考 ')"_s));
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(3, LedgerView::Entry));
    QStringList shown;
    for (int c = LedgerCol::Date; c <= LedgerCol::Note; ++c)
        shown << m.data(m.index(0, c)).toString();
    QCOMPARE(shown, (QStringList{u"98/12/01"_s, u"7"_s, u"O'Neil の \"品\""_s, u"文具"_s, u"定番"_s,
                                 u"通販"_s, u"-1,234"_s, u"600"_s, u"1,000"_s, u"62.5"_s,
                                 u"-1,800"_s, QString(), QString(), u" 備考 "_s}));
    // The editor starts with the full year of an old date.
    QCOMPARE(gLedgerEditText(m.line(0), LedgerCol::Date), u"1998/12/01"_s);
    // Text cut by the column's width shows whole as a tooltip; numbers have none.
    QCOMPARE(m.data(m.index(0, LedgerCol::Item), Qt::ToolTipRole).toString(),
             u"O'Neil の \"品\""_s);
    QVERIFY(m.data(m.index(0, LedgerCol::Cost), Qt::ToolTipRole).isNull());
}

// The new row becomes a line on its first confirmed cell, stored before it is shown; an empty
// cell starts no line. Class defaults fill the new line only.
void tst_LedgerModel::firstConfirmedCellInsertsTheLine() {
    QVERIFY(gSetSystemStrField(13, u"文具"_s));
    QVERIFY(gSetSystemStrField(15, u"定番"_s));
    const qint64 old = stored(7, QDate(2024, 3, 1), u"品"_s, 0, 2);
    LedgerModel m(2, gdbData());
    QVERIFY(m.load(7, LedgerView::Normal));
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    RuleResult refusal;
    QVERIFY(m.setCellText(1, LedgerCol::Cost, QString(), refusal));
    QVERIFY(m.setCellText(1, LedgerCol::Date, u"  "_s, refusal));
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA2"_s), 1);
    QVERIFY(m.setCellText(1, LedgerCol::Date, u"2024/3/9"_s, refusal));
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 2); // the fresh new row after the stored line
    const qint64 id = m.line(1).lngID;
    QCOMPARE(row(2, id, u"lngMasterID,date1,blnChange,strClass1,strClass2,strClass3"_s),
             (QVariantList{qint64(7), QDate(2024, 3, 9), true, u"文具"_s, QVariant(), u"定番"_s}));
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA1"_s), 0);
    // The second cell goes to the same line; the classes stay as they are.
    QVERIFY(gSetSystemStrField(13, u"紙"_s));
    QVERIFY(m.setCellText(1, LedgerCol::Payment, u"1,500"_s, refusal));
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA2"_s), 2);
    QCOMPARE(row(2, id, u"curPayment,strClass1"_s),
             (QVariantList{QVariant::fromValue(Currency::fromInt(1500)), u"文具"_s}));
    // A stored line edited keeps its empty classes.
    QVERIFY(m.setCellText(0, LedgerCol::Note, u"確認"_s, refusal));
    QCOMPARE(row(2, old, u"strClass1,strNote"_s), (QVariantList{QVariant(), u"確認"_s}));
}

void tst_LedgerModel::unchangedCellIsNotWritten() {
    TOVAKI_DATA_FILE_ONLY("a counting trigger");
    // Every UPDATE of a line leaves a row in T_COUNT.
    QVERIFY(gdbData().executeSQL(u"CREATE TABLE T_COUNT (lngN INTEGER)"_s));
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER T_DATA1_COUNT AFTER UPDATE ON T_DATA1 BEGIN "
                                 "INSERT INTO T_COUNT VALUES (1); END"_s));
    const qint64 id = stored(4, QDate(2024, 3, 1), u"品"_s);
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(4, LedgerView::Normal));
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Cost, u"1,000"_s, refusal));
    QVERIFY(m.setCellText(0, LedgerCol::Date, u"24/03/01"_s, refusal));
    QVERIFY(m.setCellText(0, LedgerCol::Item, u"品"_s, refusal));
    QCOMPARE(changed.size(), 0);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_COUNT"_s), 0);
    QVERIFY(m.setCellText(0, LedgerCol::Cost, u"999"_s, refusal));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_COUNT"_s), 1);
    QCOMPARE(row(1, id, u"curCost,blnChange"_s),
             (QVariantList{QVariant::fromValue(Currency::fromInt(999)), true}));
}

void tst_LedgerModel::failedWriteLeavesTheCache() {
    TOVAKI_DATA_FILE_ONLY("a refusing trigger");
    stored(4, QDate(2024, 3, 1), u"品"_s);
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(4, LedgerView::Normal));
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER T_DATA1_NO BEFORE UPDATE ON T_DATA1 BEGIN "
                                 "SELECT RAISE(ABORT, 'read only'); END"_s));
    RuleResult refusal;
    QVERIFY(!m.setCellText(0, LedgerCol::Cost, u"2000"_s, refusal));
    QVERIFY(refusal.ok); // not a refusal: a failure, reported
    QCOMPARE(m.data(m.index(0, LedgerCol::Cost)).toString(), u"1,000"_s);
    QVERIFY(m_folder->errorLogEntries() >= 1);
    // A failed insert leaves the new row a draft.
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER T_DATA1_NOINS BEFORE INSERT ON T_DATA1 BEGIN "
                                 "SELECT RAISE(ABORT, 'read only'); END"_s));
    QVERIFY(!m.setCellText(1, LedgerCol::Item, u"新"_s, refusal));
    QCOMPARE(m.lineCount(), 1);
    QCOMPARE(m.rowCount(), 2);
}

// 二 refuses to be deleted; the other ledger's lines of the supplier stay.
void tst_LedgerModel::deleteRemovesFromDatabaseThenView_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("purchase") << 1;
    QTest::newRow("sales") << 2;
}

void tst_LedgerModel::deleteRemovesFromDatabaseThenView() {
    TOVAKI_DATA_FILE_ONLY("a refusing trigger");
    QFETCH(int, kind);
    const QString table = u"T_DATA"_s + QString::number(kind);
    for (const QString& item : {u"一"_s, u"二"_s, u"三"_s, u"四"_s})
        QVERIFY(stored(4, QDate(2024, 3, 1), item, 0, kind) > 0);
    QVERIFY(stored(4, QDate(2024, 3, 1), u"一"_s, 0, 3 - kind) > 0);
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER T_KEEP BEFORE DELETE ON "_s + table +
                                 u" WHEN OLD.strItem = '二' BEGIN SELECT RAISE(ABORT, 'kept'); "
                                 "END"_s));
    LedgerModel m(kind, gdbData());
    QVERIFY(m.load(4, LedgerView::Entry));
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    // The new row (4) is not a line and is left alone.
    QVERIFY(m.removeLines({0, 2, 4}));
    QCOMPARE(removed.size(), 2);
    QCOMPARE(items(m), (QStringList{u"二"_s, u"四"_s}));
    const QString kept = u"SELECT 1 FROM "_s + table + u" WHERE strItem IN ('二', '四')"_s;
    QCOMPARE(dataRowCount(kept), 2);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM "_s + table), 2);
    // All or none: a refusal at the earlier row (the later goes first) keeps both.
    QVERIFY(!m.removeLines({0, 1}));
    QCOMPARE(removed.size(), 2);
    QCOMPARE(m.lineCount(), 2);
    QCOMPARE(dataRowCount(kept), 2);
    // The other ledger's line of the supplier is not touched.
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA"_s + QString::number(3 - kind)), 1);
}

void tst_LedgerModel::lineCheckClearsPassedLinesUpToTheFirstError() {
    const auto add = [](int day, std::optional<double> ratio, bool changed, qint32 id = 7) {
        LineRow l{.kind = 2, .masterID = id, .ratio = ratio, .cost = 100, .changed = changed};
        l.date = day ? QDate(2024, 3, day) : QDate();
        return addLine(l);
    };
    const qint64 a = add(3, 60, true);
    const qint64 b = add(1, {}, true); // no ratio anywhere: fails
    const qint64 c = add(2, 60, true);
    add(0, 60, false); // invalid, but not changed since it passed
    const qint64 d = add(2, {}, true, 8);
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(2, texts));
    LedgerModel m(2, gdbData());
    bool errorFound = false;
    RuleResult r;
    // In date order b comes first and stops the check; nothing is cleared.
    QVERIFY(m.load(7, LedgerView::Normal));
    QVERIFY(m.checkLines(texts, false, errorFound, r));
    QCOMPARE(r.focusRow, 1);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA2 WHERE blnChange=1"_s), 4);
    // In entry order a passes first and is cleared.
    QVERIFY(m.load(7, LedgerView::Entry));
    QVERIFY(m.checkLines(texts, false, errorFound, r));
    QCOMPARE(m.line(r.focusRow).lngID, b);
    QCOMPARE(row(2, a, u"blnChange"_s).value(0), QVariant(false));
    QCOMPARE(row(2, c, u"blnChange"_s).value(0), QVariant(true));
    QVERIFY(!m.line(0).blnChange); // the cached line is read again
    // With the supplier's default ratio every line passes; supplier 8 is untouched.
    QVERIFY(m.checkLines(texts, true, errorFound, r));
    QVERIFY(!errorFound);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA2 WHERE blnChange=1"_s), 1);
    QCOMPARE(row(2, d, u"blnChange"_s).value(0), QVariant(true));
}

void tst_LedgerModel::storeFailures() {
    LedgerStore wrong(3, gdbData());
    std::vector<LedgerLine> lines;
    QVERIFY(!wrong.load(1, LedgerView::Normal, lines));
    LedgerLine l;
    l.lngMasterID = 1;
    l.strItem = u"a"_s;
    QVERIFY(!wrong.insertLine(l));
    QVERIFY(m_folder->errorLog().contains(u"LedgerStore_load"_s));
    // A line deleted meanwhile: the update is refused and the cached line keeps its value.
    LedgerStore store(1, gdbData());
    QVERIFY(store.insertLine(l));
    QVERIFY(store.deleteLine(l.lngID));
    QVERIFY(!store.storeCell(l, LedgerCol::Item, u"b"_s, 1));
    QCOMPARE(l.strItem, std::optional<QString>(u"a"_s));
    // On a server someone else removed it: told as a conflict, no failure of the program.
    if (gTestServer().isEmpty())
        QVERIFY(m_folder->errorLog().contains(u"LedgerStore_storeChanges"_s));
    else
        QVERIFY(store.lastWriteConflicted());
}

void tst_LedgerModel::longLedgerIsReadInBlocks() {
    TOVAKI_DATA_FILE_ONLY("rows made with date()");
    // 2 000 lines of supplier 9, one a day from 2000-01-01, item "n<number>".
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost, curRatio, blnChange)"
        " WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<1999)"
        " SELECT 9, date('2000-01-01', '+' || i || ' days'), 'n' || i, 10000, 600000, 0"
        " FROM n"_s));
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(9, LedgerView::Normal));
    QCOMPARE(m.cachedLines(), std::size_t(0)); // nothing read before it is shown
    QCOMPARE(m.data(m.index(1999, LedgerCol::Item)).toString(), u"n1999"_s);
    for (int r = 0; r < m.lineCount(); ++r)
        QCOMPARE(m.data(m.index(r, LedgerCol::Item)).toString(), u"n%1"_s.arg(r));
    RuleResult refusal;
    QVERIFY(m.setCellText(1234, LedgerCol::Cost, QString(), refusal));
    QCOMPARE(row(1, m.line(1234).lngID, u"strItem,curCost"_s), (QVariantList{u"n1234"_s, {}}));
}

// Two programs on one supplier's ledger on a server: a cell the other program changed since it
// was shown is not overwritten; the user is told, the line shows the other's values, and a
// second try is stored. A cell the other did not touch is stored at once.
void tst_LedgerModel::twoWritersOfOneLine() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const qint64 id = stored(4, QDate(2024, 3, 1), u"品"_s);
    Database otherDb;
    QVERIFY(otherDb.openServer(gTestServerDatabase()));
    LedgerModel mine(1, gdbData());
    LedgerModel other(1, otherDb);
    QVERIFY(mine.load(4, LedgerView::Normal) && other.load(4, LedgerView::Normal));
    QCOMPARE(items(mine), QStringList{u"品"_s}); // shown (lines are read when shown)
    RuleResult refusal;
    QVERIFY(other.setCellText(0, LedgerCol::Item, u"他"_s, refusal));
    QVERIFY(!mine.setCellText(0, LedgerCol::Item, u"私"_s, refusal));
    QVERIFY(!refusal.ok);
    QCOMPARE(refusal.text.section(u"\r\n"_s, 0, 0),
             u"この行はほかのパソコンで変更されたため、保存しませんでした。"_s);
    QCOMPARE(items(mine), QStringList{u"他"_s});
    QCOMPARE(row(1, id, u"strItem"_s), QVariantList{u"他"_s});
    QVERIFY(mine.setCellText(0, LedgerCol::Item, u"私"_s, refusal));
    QCOMPARE(row(1, id, u"strItem"_s), QVariantList{u"私"_s});
    // The other program still shows its own item; its change of another cell is stored.
    QVERIFY(other.setCellText(0, LedgerCol::Note, u"メモ"_s, refusal));
    QCOMPARE(row(1, id, u"strItem,strNote"_s), (QVariantList{u"私"_s, u"メモ"_s}));
}

void tst_LedgerModel::otherProgramsLinesAreShown_data() {
    QTest::addColumn<int>("row");           // the writer's row: 0 its line, 1 its new line
    QTest::addColumn<int>("supplier");      // the supplier the other program shows
    QTest::addColumn<QStringList>("shown"); // what the other program shows afterwards
    QTest::addColumn<int>("refreshes");     // how often it read its lines anew
    QTest::newRow("a cell of the shown supplier") << 0 << 4 << QStringList{u"他"_s} << 1;
    QTest::newRow("a new line of the shown supplier")
        << 1 << 4 << QStringList{u"品"_s, u"他"_s} << 1;
    QTest::newRow("another supplier") << 0 << 5 << QStringList{u"別"_s} << 0;
}

// Two programs on a server: a line stored by one shows in the other's grid within a second,
// when the other shows that supplier; the writer itself does not read its lines anew.
void tst_LedgerModel::otherProgramsLinesAreShown() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    QFETCH(int, row);
    QFETCH(int, supplier);
    QFETCH(QStringList, shown);
    QFETCH(int, refreshes);
    QVERIFY(stored(4, QDate(2024, 3, 1), u"品"_s) > 0);
    QVERIFY(stored(5, QDate(2024, 3, 1), u"別"_s) > 0);
    Database otherDb;
    QVERIFY(otherDb.openServer(gTestServerDatabase()));
    LedgerModel writer(1, gdbData());
    LedgerModel other(1, otherDb);
    QVERIFY(writer.load(4, LedgerView::Entry) && other.load(supplier, LedgerView::Entry));
    QCOMPARE(items(other).size(), 1); // shown (lines are read when shown)
    QSignalSpy writerRefreshed(&writer, &LedgerModel::refreshed);
    QSignalSpy otherRefreshed(&other, &LedgerModel::refreshed);
    RuleResult refusal;
    QVERIFY(writer.setCellText(row, LedgerCol::Item, u"他"_s, refusal));
    QTRY_COMPARE_WITH_TIMEOUT(otherRefreshed.count(), refreshes, 1000);
    QCOMPARE(items(other), shown);
    // Both connections have looked for notifications meanwhile.
    QTest::qWait(600);
    QCOMPARE(otherRefreshed.count(), refreshes);
    QCOMPARE(writerRefreshed.count(), 0);
}

QTEST_MAIN(tst_LedgerModel)
#include "tst_LedgerModel.moc"
