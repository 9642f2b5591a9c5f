#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
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
        // The indexes by date are made at a file's first writable opening, not by the schema.
        const QString tables =
            u"SELECT name, sql FROM sqlite_master"
            u" WHERE name NOT IN ('IX_DATA1_DATE', 'IX_DATA2_DATE') ORDER BY name"_s;
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

private:
    TestServices m_svc{};
};

QTEST_GUILESS_MAIN(tst_Migration)
#include "tst_Migration.moc"
