#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/Migration.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

// Older data files are brought to the program's schema version when opened: rows kept, a copy
// of the old file taken first, nothing changed where the file cannot be migrated.
class tst_Migration : public QObject {
    Q_OBJECT

private slots:
    void init() { m_svc = TestServices::install(); }

    void olderFileIsMigratedWithItsRows() {
        TestProgramFolder folder;
        QVERIFY(makeVersion1File(folder.dbPath()));
        QVERIFY(runSqlite(
            folder.dbPath(),
            "INSERT INTO T_MASTER (lngMasterID, lngSupplier, strSupplierShortName, blnValid) "
            "VALUES (7, 7, 'a', 1);"
            "INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem) "
            "VALUES (7, '2026-01-05', 1, 'x');"
            "INSERT INTO T_SYSTEM (lngID, strField) VALUES (10, 'p');"));
        QVERIFY(folder.open());
        QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER WHERE lngMasterID = 7"_s), 1);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1 WHERE strItem = 'x'"_s), 1);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_SYSTEM WHERE strField = 'p'"_s), 1);
        // The history tables and their triggers were added; the rows already there are not
        // changes and have no entry.
        QCOMPARE(dataRowCount(u"SELECT * FROM sqlite_master WHERE type = 'trigger' AND "
                              "name LIKE '%_HISTORY_%'"_s),
                 9);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY"_s), 0);
        // The invoice columns: an older supplier has no number and no date, a class entry no
        // reduced-rate mark; the rate table holds the four shipped rates.
        QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER WHERE lngMasterID = 7"
                              " AND strInvoiceNo = '' AND datInvoiceFrom IS NULL"_s),
                 1);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA_CLASS1 WHERE blnReduced <> 0"_s), 0);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_TAX_RATE WHERE"
                              " (datFrom = '1989-04-01' AND curStandard = 30000"
                              "  AND curReduced = 30000) OR"
                              " (datFrom = '1997-04-01' AND curStandard = 50000"
                              "  AND curReduced = 50000) OR"
                              " (datFrom = '2014-04-01' AND curStandard = 80000"
                              "  AND curReduced = 80000) OR"
                              " (datFrom = '2019-10-01' AND curStandard = 100000"
                              "  AND curReduced = 80000)"_s),
                 4);
        QCOMPARE(dataRowCount(u"SELECT * FROM T_TAX_RATE"_s), 4);

        // The copy taken before the migration is the old file, still at version 1.
        const QStringList copies =
            QDir(gDataBackupFolder(folder.dbPath())).entryList({u"db1.v1-*"_s}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        Database old;
        QVERIFY(old.open(gDataBackupFolder(folder.dbPath()) + u'/' + copies.first(), {}, true));
        QCOMPARE(old.schemaVersion(), 1);

        // The shipped empty file has the same tables as a migrated one.
        TestProgramFolder fresh;
        Database shipped;
        QVERIFY(shipped.open(fresh.dbPath(), {}, true));
        QCOMPARE(shipped.schemaVersion(), kDbSchemaVersion);
        const QString tables = u"SELECT name, sql FROM sqlite_master ORDER BY name"_s;
        ResultSet a(shipped), b(gdbData());
        QVERIFY(a.openRecordSet(tables) && b.openRecordSet(tables));
        QCOMPARE(a.rows(), b.rows());
    }

    void readOnlyOlderFileIsRefusedUnchanged() {
        TestProgramFolder folder;
        QVERIFY(makeVersion1File(folder.dbPath()));
        const QByteArray before = readBytes(folder.dbPath());
        QFile::setPermissions(folder.dbPath(), QFile::ReadOwner);
        QVERIFY(!DbInit(folder.dbPath()));
        QVERIFY(DbInitRefusal().contains(u"変換できません"_s));
        QCOMPARE(readBytes(folder.dbPath()), before);
        QFile::setPermissions(folder.dbPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // The triggers record every insert, update and delete of the ledgers and the master with the
    // row before and after and the origin the program set (or "other" for any other writer);
    // the origin row is put back when the program's change commits.
    void triggersRecordOldNewAndOrigin_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("origin"); // empty: written without a history scope
        QTest::addColumn<QString>("entry");  // table, action, origin; empty: nothing recorded
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("after");
        const QVariant none;
        QTest::newRow("insert by the program")
            << u"INSERT INTO T_DATA2 (lngMasterID, curCost) VALUES (7, 50000)"_s
            << HistoryOrigin::Typed << u"T_DATA2 I typed"_s << u"curCost"_s << none
            << QVariant(50000);
        QTest::newRow("update by another tool")
            << u"UPDATE T_DATA1 SET curCost = 20000 WHERE lngID = 1"_s << QString()
            << u"T_DATA1 U other"_s << u"curCost"_s << QVariant(10000) << QVariant(20000);
        QTest::newRow("delete") << u"DELETE FROM T_DATA1 WHERE lngID = 1"_s
                                << HistoryOrigin::Deleted << u"T_DATA1 D deleted"_s << u"strItem"_s
                                << QVariant(u"x"_s) << none;
        QTest::newRow("supplier master")
            << u"UPDATE T_MASTER SET strNotes = 'n' WHERE lngMasterID = 7"_s << HistoryOrigin::Typed
            << u"T_MASTER U typed"_s << u"strNotes"_s << none << QVariant(u"n"_s);
        QTest::newRow("line-check mark alone")
            << u"UPDATE T_DATA1 SET blnChange = 0 WHERE lngID = 1"_s << HistoryOrigin::Typed
            << QString() << QString() << none << none;
    }

    void triggersRecordOldNewAndOrigin() {
        QFETCH(QString, sql);
        QFETCH(QString, origin);
        QFETCH(QString, entry);
        QFETCH(QString, column);
        QFETCH(QVariant, before);
        QFETCH(QVariant, after);
        TestProgramFolder folder;
        QVERIFY(folder.open());
        Database& db = gdbData();
        QVERIFY(db.executeSQL(u"INSERT INTO T_MASTER (lngMasterID, lngSupplier) VALUES (7, 7)"_s));
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, strItem, curCost, blnChange) "
                              "VALUES (7, 'x', 10000, 1)"_s));
        const int entries = dataRowCount(u"SELECT * FROM T_HISTORY"_s);
        if (origin.isEmpty()) {
            QVERIFY(db.executeSQL(sql));
        } else {
            HistoryScope scope(db, origin);
            QVERIFY(scope.ok() && db.executeSQL(sql) && scope.commit());
        }
        ResultSet rs(db);
        QVERIFY(rs.openRecordSet(
            u"SELECT strTable || ' ' || strAction || ' ' || strOrigin, json_extract(strOld, ?), "
            "json_extract(strNew, ?), datChanged FROM T_HISTORY WHERE lngID > (SELECT max(lngID) "
            "FROM T_HISTORY) - ?"_s,
            {u"$."_s + column, u"$."_s + column,
             dataRowCount(u"SELECT * FROM T_HISTORY"_s) - entries}));
        if (entry.isEmpty()) {
            QCOMPARE(rs.recordCount(), 0);
            return;
        }
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.rows().front().mid(0, 3), (QVariantList{entry, before, after}));
        // A change of the program carries the clock's time; the origin row is neutral again.
        if (!origin.isEmpty())
            QCOMPARE(rs.value(3), QVariant(m_svc.clock->fixed));
        QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY_ORIGIN WHERE strOrigin = 'other' AND "
                              "lngGroup IS NULL AND datNow IS NULL"_s),
                 1);
    }

private:
    TestServices m_svc{};
};

QTEST_GUILESS_MAIN(tst_Migration)
#include "tst_Migration.moc"
