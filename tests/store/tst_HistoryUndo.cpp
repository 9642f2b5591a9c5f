// Undoing a step from the history with a second program on the same books: the data file opened
// twice, or two connections to the test cluster's server in the "-server" run.
#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/History.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_HistoryUndo : public DataFileTest {
    Q_OBJECT
private slots:
    void undoRefusedAfterAnotherProgramsChange_data();
    void undoRefusedAfterAnotherProgramsChange();
};

void tst_HistoryUndo::undoRefusedAfterAnotherProgramsChange_data() {
    QTest::addColumn<QString>("step");  // A's step
    QTest::addColumn<QString>("item");  // the line the step made or changed
    QTest::addColumn<QString>("since"); // B's change afterwards ("" none)
    QTest::addColumn<bool>("undone");
    QTest::addColumn<int>("cost"); // of the line afterwards, in yen; -1 gone
    const QString cell = u"UPDATE T_DATA1 SET curCost = 2000000 WHERE strItem = '苗'"_s;
    QTest::newRow("a cell, nothing since") << cell << u"苗"_s << QString() << true << 100;
    QTest::newRow("a cell, B changed it again")
        << cell << u"苗"_s << u"UPDATE T_DATA1 SET curCost = 3000000 WHERE strItem = '苗'"_s
        << false << 300;
    QTest::newRow("a cell, B changed another cell of the line")
        << cell << u"苗"_s << u"UPDATE T_DATA1 SET strNote = 'b' WHERE strItem = '苗'"_s << false
        << 200;
    QTest::newRow("a cell, B changed only the check mark")
        << cell << u"苗"_s << u"UPDATE T_DATA1 SET blnChange = 1 WHERE strItem = '苗'"_s << true
        << 100;
    QTest::newRow("a cell, B deleted the line")
        << cell << u"苗"_s << u"DELETE FROM T_DATA1 WHERE strItem = '苗'"_s << false << -1;
    QTest::newRow("a deletion, nothing since")
        << u"DELETE FROM T_DATA1 WHERE strItem = '苗'"_s << u"苗"_s << QString() << true << 100;
    const QString added =
        u"INSERT INTO T_DATA1 (lngMasterID, strItem, curCost) VALUES (1, '土', 5000000)"_s;
    QTest::newRow("a new line, nothing since") << added << u"土"_s << QString() << true << -1;
    QTest::newRow("a new line, B changed it")
        << added << u"土"_s << u"UPDATE T_DATA1 SET curCost = 6000000 WHERE strItem = '土'"_s
        << false << 600;
}

// Program A makes a step, program B changes the books afterwards (each names its own user and
// PC), and A undoes its step: refused, changing nothing, when B changed a line of the step; done
// (the deleted line back with its own number) when B changed nothing of it or only its check mark.
void tst_HistoryUndo::undoRefusedAfterAnotherProgramsChange() {
    QFETCH(QString, step);
    QFETCH(QString, item);
    QFETCH(QString, since);
    QFETCH(bool, undone);
    QFETCH(int, cost);
    Database& a = gdbData();
    const qint64 line =
        addLine({.date = {2024, 3, 1}, .item = u"苗"_s, .cost = 100, .note = u"a"_s});
    QVERIFY(line > 0);
    gSetHistoryIdentity({u"佐藤"_s, u"JIMUSHO-PC"_s});
    qint64 group = 0;
    {
        HistoryScope scope(a, HistoryOrigin::Typed);
        QVERIFY(scope.ok() && a.executeSQL(step) && scope.commit());
        group = scope.group();
    }
    Database b;
    QVERIFY(gTestServer().isEmpty() ? b.open(m_folder->dbPath())
                                    : b.openServer(gTestServerDatabase()));
    if (!since.isEmpty()) {
        gSetHistoryIdentity({u"鈴木"_s, u"TENPO-PC"_s});
        HistoryScope scope(b, HistoryOrigin::Typed);
        QVERIFY(scope.ok() && b.executeSQL(since) && scope.commit());
        // Its entry names B's user and PC (a change of the check mark alone writes none).
        QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY WHERE lngID > ? AND strUser = '鈴木' "
                              "AND strHost = 'TENPO-PC'"_s,
                              {group}),
                 since.contains(u"blnChange"_s) ? 0 : 1);
        gSetHistoryIdentity({u"佐藤"_s, u"JIMUSHO-PC"_s});
    }
    const int entries = dataRowCount(u"SELECT * FROM T_HISTORY"_s);
    UndoOutcome outcome = UndoOutcome::Nothing;
    QVERIFY(gUndoHistoryGroup(a, group, HistoryOrigin::Undo, outcome));
    QCOMPARE(outcome, undone ? UndoOutcome::Done : UndoOutcome::Changed);
    if (!undone)
        QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY"_s), entries);
    const QVariantList left = dataRow(
        u"SELECT lngID, curCost / 10000 AS lngYen FROM T_DATA1 WHERE strItem = ?"_s, {item});
    if (cost < 0) {
        QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1 WHERE strItem = ?"_s, {item}), 0);
        return;
    }
    QCOMPARE(left.value(1).toLongLong(), qint64(cost));
    if (item == u"苗"_s)
        QCOMPARE(left.value(0).toLongLong(), line);
}

QTEST_GUILESS_MAIN(tst_HistoryUndo)
#include "tst_HistoryUndo.moc"
