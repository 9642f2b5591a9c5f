#include "TestData.h"
#include "TestServices.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/Migration.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QVariant cur(qint64 raw) {
    return QVariant::fromValue(Currency::fromRaw(raw));
}

// Same type and value; amounts compared by their raw value.
bool same(const QVariant& v, const QVariant& expected) {
    if (v.metaType() != expected.metaType())
        return false;
    if (expected.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().raw() == expected.value<Currency>().raw();
    return v == expected;
}

// Lines with long notes, so that a file has many pages.
bool fill(int count) {
    Transaction t(gdbData());
    for (int i = 0; i < count; ++i)
        if (!gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort, strNote) VALUES (?, ?)"_s,
                                  {i, QString(200, QLatin1Char('x'))}))
            return false;
    return t.commit();
}

} // namespace

class tst_Database : public DataFileTest {
    Q_OBJECT
private slots:
    void typesByColumnName_data();
    void typesByColumnName();
    void nullConversion_data();
    void nullConversion();
    void refusesBadStatements_data();
    void refusesBadStatements();
    void nestedTransactionUndoesOnlyItsOwn();
    void compactionIsDue_data();
    void compactionIsDue();
    void compactionFailureKeepsFile();
    void olderFileIsMigratedWithItsRows();
    void readOnlyOlderFileIsRefusedUnchanged();
    void migrationMeetingItsOwnPartsChangesNothing();
    void triggersRecordOldNewAndOrigin_data();
    void triggersRecordOldNewAndOrigin();
};

void tst_Database::typesByColumnName_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* sql, const QVariant& v) {
        QTest::newRow(sql) << QString::fromLatin1(sql) << v;
    };
    row("SELECT Sum(curCost) FROM T_DATA1", cur(30000));
    row("SELECT Count(curCost) FROM T_DATA1", qint64(2));
    row("SELECT Sum(curCost * 2) FROM T_DATA1", qint64(60000));
    row("SELECT curCost * 2 AS curD FROM T_DATA1 WHERE lngSort=1", cur(20000));
    row("SELECT 0 AS BLNX", false);
    row("SELECT date1 FROM T_DATA1 WHERE lngSort=1", QDate(2024, 2, 29));
    row("SELECT '2024-03-05 10:15:00' AS datLastUpdate",
        QDateTime(QDate(2024, 3, 5), QTime(10, 15)));
    row("SELECT '2024/03/05' AS datX", u"2024/03/05"_s);
}

void tst_Database::typesByColumnName() {
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngSort, date1, curCost) VALUES (1, ?, ?), (2, NULL, ?)"_s,
        {QDate(2024, 2, 29), cur(10000), cur(20000)}));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(sql));
    QVERIFY(same(rs.value(0), expected));
}

void tst_Database::nullConversion_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* column, const QVariant& v) {
        QTest::newRow(column) << QString::fromLatin1(column) << v;
    };
    row("curCost", cur(0));
    row("date1", u"1000/01/01 00:00:00"_s);
    row("strItem", QString());
    row("blnChange", false);
    row("(SELECT Sum(curCost) FROM T_DATA2) AS curSum", cur(0));
}

void tst_Database::nullConversion() {
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (1)"_s));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT "_s + column + u" FROM T_DATA1"_s));
    QVERIFY(rs.isNull(0));
    QVERIFY(same(rs.getFldData(0), expected));
}

void tst_Database::refusesBadStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QString>("logged");
    const auto row = [](const char* name, const char* sql, QVariantList params, const char* log) {
        QTest::newRow(name) << QString::fromLatin1(sql) << params << QString::fromLatin1(log);
    };
    row("blank", "   ", {}, "SQL=\r\n");
    row("second statement", "DELETE FROM T_DATA1 WHERE lngSort = 1; DELETE FROM T_DATA1", {},
        "more than one statement");
    row("too few values", "DELETE FROM T_DATA1 WHERE lngSort = ? OR lngSort = ?", {1},
        "2 placeholders, 1 values");
}

void tst_Database::refusesBadStatements() {
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);
    QFETCH(QString, logged);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1), (2)"_s));
    QVERIFY(!gdbData().executeSQL(sql, params));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbExecuteSQL"_s});
    QVERIFY2(m_folder->errorLog().contains(logged), qPrintable(m_folder->errorLog()));
    QCOMPARE(dataRowCount(u"SELECT lngID FROM T_DATA1"_s), 2);
}

void tst_Database::nestedTransactionUndoesOnlyItsOwn() {
    Database& db = gdbData();
    {
        Transaction outer(db);
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
        {
            Transaction inner(db);
            QVERIFY(inner.ok());
            QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (2)"_s));
        } // rolled back
        {
            Transaction inner(db);
            QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (3)"_s));
            QVERIFY(inner.commit());
        }
        QVERIFY(outer.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1 WHERE lngSort IN (1, 3)"_s), 2);
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 2);
    {
        // An outer rollback also drops what an inner transaction committed.
        Transaction outer(db);
        Transaction inner(db);
        QVERIFY(db.executeSQL(u"DELETE FROM T_DATA1"_s));
        QVERIFY(inner.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 2);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

// A compaction rewrites every page: only for a quarter of the file or more, at most once a week.
void tst_Database::compactionIsDue_data() {
    QTest::addColumn<qint64>("freePages");
    QTest::addColumn<qint64>("pages");
    QTest::addColumn<QDateTime>("last");
    QTest::addColumn<bool>("due");
    // Now is 2024-03-12 10:15:00.
    const QDate d(2024, 3, 5);
    QTest::newRow("just below a quarter, never")
        << qint64(100) << qint64(401) << QDateTime() << false;
    QTest::newRow("a quarter, never") << qint64(100) << qint64(400) << QDateTime() << true;
    QTest::newRow("6 days 23 h ago")
        << qint64(100) << qint64(400) << QDateTime(d, QTime(11, 15)) << false;
    QTest::newRow("exactly 7 days ago")
        << qint64(100) << qint64(400) << QDateTime(d, QTime(10, 15)) << true;
    // A time after now: the clock was turned back; it cannot hold compaction off.
    QTest::newRow("a second after now")
        << qint64(100) << qint64(400) << QDateTime(d.addDays(7), QTime(10, 15, 1)) << true;
}

void tst_Database::compactionIsDue() {
    QFETCH(qint64, freePages);
    QFETCH(qint64, pages);
    QFETCH(QDateTime, last);
    QFETCH(bool, due);
    QCOMPARE(DbCompactionDue(freePages, pages, last, QDateTime(QDate(2024, 3, 12), QTime(10, 15))),
             due);
}

void tst_Database::compactionFailureKeepsFile() {
    const QString path = m_folder->dbPath();
    const QString folder = QFileInfo(path).absolutePath();
    // The header stays valid, so the copy starts and fails half-way through the pages.
    QVERIFY(fill(250));
    DbClose();
    QByteArray bytes = readBytes(path);
    bytes.replace(20000, 16000, QByteArray(16000, '\xff'));
    QVERIFY(writeBytes(path, bytes));
    const QByteArray before = readBytes(path);
    QVERIFY(!DbCompactDataBase(path));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbCompactDataBase"_s});
    QVERIFY(QDir(folder).entryList({u"CompactDataBase*"_s}, QDir::Files | QDir::Dirs).isEmpty());
    QCOMPARE(readBytes(path), before);
}

// Older data files are brought to the program's schema version when opened: rows kept, a copy
// of the old file taken first, nothing changed where the file cannot be migrated.
void tst_Database::olderFileIsMigratedWithItsRows() {
    TestProgramFolder folder;
    QVERIFY(makeVersion1File(folder.dbPath()));
    QVERIFY(
        runSqlite(folder.dbPath(),
                  "INSERT INTO T_MASTER (lngMasterID, lngSupplier, strSupplierShortName, blnValid) "
                  "VALUES (7, 7, 'a', 1);"
                  "INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem) "
                  "VALUES (7, '2026-01-05', 1, 'x');"
                  "INSERT INTO T_SYSTEM (lngID, strField) VALUES (10, 'p');"));
    QVERIFY(folder.open());
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    // The rows are kept; an older supplier has no invoice number and no date.
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_MASTER WHERE lngMasterID = 7 AND strInvoiceNo = '' "
                          "AND datInvoiceFrom IS NULL UNION ALL SELECT 1 FROM T_DATA1 WHERE "
                          "strItem = 'x' UNION ALL SELECT 1 FROM T_SYSTEM WHERE strField = 'p'"_s),
             3);
    // The history tables and their triggers were added (three for each ledger, the master and
    // the rate table, and the one that names the user and PC); the rows already there are not
    // changes and have no entry. No class entry has the reduced-rate mark; the rate table
    // holds the four shipped rates.
    QCOMPARE(dataRowCount(u"SELECT * FROM sqlite_master WHERE type = 'trigger' AND "
                          "name LIKE '%_HISTORY_%'"_s),
             13);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_HISTORY UNION ALL SELECT 1 FROM T_DATA_CLASS1 WHERE "
                          "blnReduced <> 0"_s),
             0);
    ResultSet rates(gdbData());
    QVERIFY(rates.openRecordSet(u"SELECT group_concat(datFrom || ' ' || curStandard || ' ' || "
                                "curReduced, ', ') AS strRates FROM T_TAX_RATE"_s));
    QCOMPARE(rates.text(0), u"1989-04-01 30000 30000, 1997-04-01 50000 50000, 2014-04-01 80000 "
                            "80000, 2019-10-01 100000 80000"_s);

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

void tst_Database::readOnlyOlderFileIsRefusedUnchanged() {
    TestProgramFolder folder;
    QVERIFY(makeVersion1File(folder.dbPath()));
    const QByteArray before = readBytes(folder.dbPath());
    QFile::setPermissions(folder.dbPath(), QFile::ReadOwner);
    QVERIFY(!DbInit(folder.dbPath()));
    QVERIFY(DbInitRefusal().contains(u"変換できません"_s));
    QCOMPARE(readBytes(folder.dbPath()), before);
    QFile::setPermissions(folder.dbPath(), QFile::ReadOwner | QFile::WriteOwner);
}

// A migration whose script meets a part that is already there (start-up and restore refuse such
// a file before, by name) fails as a matter of the file's contents, not of the disk, and leaves
// the file as it was.
void tst_Database::migrationMeetingItsOwnPartsChangesNothing() {
    TestProgramFolder folder;
    QVERIFY(makeVersion1File(folder.dbPath()));
    QVERIFY(runSqlite(folder.dbPath(), "ALTER TABLE T_MASTER ADD COLUMN strInvoiceNo TEXT"));
    const QByteArray before = readBytes(folder.dbPath());
    {
        Database db;
        QVERIFY(db.open(folder.dbPath()));
        bool contents = false;
        QVERIFY(!DbMigrate(db, u"test"_s, &contents));
        QVERIFY(contents);
        QCOMPARE(db.schemaVersion(), 1);
    }
    QCOMPARE(readBytes(folder.dbPath()), before);
}

// The triggers record every insert, update and delete of the ledgers and the master with the
// row before and after and the origin the program set (or "other" for any other writer);
// the origin row is put back when the program's change commits.
void tst_Database::triggersRecordOldNewAndOrigin_data() {
    QTest::addColumn<QString>("sql"); // %1: the ledger's table
    QTest::addColumn<QString>("ledger");
    QTest::addColumn<QString>("origin"); // empty: written without a history scope
    QTest::addColumn<QString>("entry");  // table, action, origin; empty: nothing recorded
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QVariant>("after");
    const QVariant none;
    for (const QString& ledger : {u"T_DATA1"_s, u"T_DATA2"_s}) {
        const QByteArray name = ledger.toLatin1();
        QTest::addRow("insert by the program, %s", name.constData())
            << u"INSERT INTO %1 (lngMasterID, curCost) VALUES (7, 50000)"_s << ledger
            << HistoryOrigin::Typed << ledger + u" I typed"_s << u"curCost"_s << none
            << QVariant(50000);
        QTest::addRow("update by another tool, %s", name.constData())
            << u"UPDATE %1 SET curCost = 20000 WHERE strItem = 'x'"_s << ledger << QString()
            << ledger + u" U other"_s << u"curCost"_s << QVariant(10000) << QVariant(20000);
        QTest::addRow("delete, %s", name.constData())
            << u"DELETE FROM %1 WHERE strItem = 'x'"_s << ledger << HistoryOrigin::Deleted
            << ledger + u" D deleted"_s << u"strItem"_s << QVariant(u"x"_s) << none;
        QTest::addRow("line-check mark alone, %s", name.constData())
            << u"UPDATE %1 SET blnChange = 0 WHERE strItem = 'x'"_s << ledger
            << HistoryOrigin::Typed << QString() << QString() << none << none;
    }
    QTest::newRow("supplier master")
        << u"UPDATE T_MASTER SET strNotes = 'n' WHERE lngMasterID = 7"_s << u"T_DATA1"_s
        << HistoryOrigin::Typed << u"T_MASTER U typed"_s << u"strNotes"_s << none
        << QVariant(u"n"_s);
}

void tst_Database::triggersRecordOldNewAndOrigin() {
    QFETCH(QString, sql);
    QFETCH(QString, ledger);
    QFETCH(QString, origin);
    QFETCH(QString, entry);
    QFETCH(QString, column);
    QFETCH(QVariant, before);
    QFETCH(QVariant, after);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_MASTER (lngMasterID, lngSupplier) VALUES (7, 7)"_s));
    QVERIFY(
        db.executeSQL(u"INSERT INTO "_s + ledger +
                      u" (lngMasterID, strItem, curCost, blnChange) VALUES (7, 'x', 10000, 1)"_s));
    sql.replace(u"%1"_s, ledger);
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

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_Database.moc"
