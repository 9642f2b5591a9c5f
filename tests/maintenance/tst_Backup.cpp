#include "MaintenanceTestData.h"
#include "TestData.h"
#include "TestServices.h"

#include "base/Globals.h"
#include "maintenance/Backup.h"
#include "store/Database.h"
#include "store/Migration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(DataFileStatus)

class tst_Backup : public DataFileTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void badFileIsRefusedForRestore_data();
    void badFileIsRefusedForRestore();
    void backupSpace_data();
    void backupSpace();
    void backupThenRestoreAndBack();
    void backupOfDamagedDataFileIsRefused();
    void restoreOfVersion1BackupMigratesIt();
    void autoBackupsKeepTheNewestVerifiedCopies();

private:
    std::unique_ptr<QTemporaryDir> m_backups;
};

void tst_Backup::init() {
    DataFileTest::init();
    m_backups = std::make_unique<QTemporaryDir>();
}

void tst_Backup::cleanup() {
    gSetFreeSpaceLookup({});
    m_backups.reset();
    DataFileTest::cleanup();
}

void tst_Backup::badFileIsRefusedForRestore_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<DataFileStatus>("status");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* kind, DataFileStatus s, const char* why) {
        QTest::newRow(name) << QString::fromUtf8(kind) << s << QString::fromUtf8(why);
    };
    const char* notData = "本ソフトのデータではありません";
    const DataFileStatus other = DataFileStatus::NotDataFile;
    row("missing", "missing", DataFileStatus::Unreadable, "見つからない");
    row("text", "text", DataFileStatus::NotDatabase, "バックアップデータではありません");
    row("overwritten page", "overwritten", DataFileStatus::Damaged, "壊れている");
    row("newer version", "PRAGMA user_version = 99", DataFileStatus::NewerVersion,
        "新しいバージョン");
    row("without a table", "DROP TABLE T_MP_RANKING", other, notData);
    row("message catalogue", "msg", other, notData);
}

void tst_Backup::badFileIsRefusedForRestore() {
    QFETCH(QString, kind);
    QFETCH(DataFileStatus, status);
    QFETCH(QString, reason);
    QVERIFY(addSampleData());
    const QString saved = dumpData().join(QLatin1Char('\n'));
    const QByteArray dataBytes = readBytes(m_folder->dbPath());
    QString file = m_backups->filePath(QStringLiteral("b.tvk"));
    if (kind == QLatin1String("text")) {
        QVERIFY(writeBytes(file, QByteArrayLiteral("仕入先,金額\r\n山田商店,1200\r\n")));
    } else if (kind == QLatin1String("overwritten")) {
        QByteArray b = dataBytes;
        const int pageSize = (quint8(b.at(16)) << 8) | quint8(b.at(17));
        b.replace(pageSize, pageSize, QByteArray(pageSize, '\xa5'));
        QVERIFY(writeBytes(file, b));
    } else if (kind == QLatin1String("msg")) {
        file = m_folder->path() + QStringLiteral("/sys/msg");
    } else if (kind != QLatin1String("missing")) {
        QVERIFY(QFile::copy(m_folder->dbPath(), file));
        QVERIFY(runSqlite(file, kind.toUtf8().constData()));
    }
    const QByteArray before = readBytes(file);
    QCOMPARE(gChkDataFile(file), status);
    QCOMPARE(readBytes(file), before); // the check only reads

    QString refusal;
    QVERIFY(!gProcDataRestore(file, &refusal));
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
    QVERIFY(refusal.contains(QStringLiteral("現在のデータは変更していません。")));
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData().join(QLatin1Char('\n')), saved);
    QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".before-restore")));
    // A wrong choice is the user's, not a fault of the program.
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Backup::backupSpace_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("freeMinusNeeded");
    QTest::addColumn<bool>("lookupWorks");
    QTest::addColumn<bool>("expected");
    QTest::newRow("one byte short") << QStringLiteral("/media/usb") << -1 << true << false;
    QTest::newRow("exactly equal") << QStringLiteral("/media/usb") << 0 << true << true;
    QTest::newRow("lookup fails") << QStringLiteral("/media/usb") << 100 << false << false;
    QTest::newRow("network path, not asked")
        << QStringLiteral("\\\\server\\share") << -1 << false << true;
}

void tst_Backup::backupSpace() {
    QFETCH(QString, folder);
    QFETCH(int, freeMinusNeeded);
    QFETCH(bool, lookupWorks);
    QFETCH(bool, expected);
    const double needed = static_cast<double>(QFileInfo(gstrDbPath).size());
    gSetFreeSpaceLookup([&](const QString&, double& bytes) {
        bytes = needed + freeMinusNeeded;
        return lookupWorks;
    });
    QCOMPARE(gChkBackupSpace(folder), expected);
}

void tst_Backup::backupThenRestoreAndBack() {
    QVERIFY(addSampleData());
    const QStringList saved = dumpData();
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 37));

    QString written;
    QVERIFY(gProcDataBackup(m_backups->path(), &written));
    const QString name = QStringLiteral("2024年01月02日 火曜日 10時15分.tvk");
    QCOMPARE(written, m_backups->filePath(name));
    QCOMPARE(filesIn(m_backups->path()), QStringList{name});
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{QDir::toNativeSeparators(written) +
                         QStringLiteral("\r\nに保存します。\r\nＯＫを押すと処理を始めます。")});
    QCOMPARE(systemTime(0), m_svc.clock->fixed);
    const QByteArray backupBytes = readBytes(written);

    // Work goes on after the backup, then the backup is brought back.
    QVERIFY(addMoreData());
    const QStringList latest = dumpData();
    QVERIFY(latest != saved);
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 3), QTime(8, 0, 5));
    QString refusal;
    QVERIFY(gProcDataRestore(written, &refusal));
    QVERIFY(refusal.isEmpty());
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData(), saved);
    QCOMPARE(systemTime(1), m_svc.clock->fixed);
    QCOMPARE(readBytes(written), backupBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".restoring")));
    QCOMPARE(m_folder->errorLogEntries(), 0);

    // The replaced data stays beside the data file and can be brought back in turn.
    QVERIFY(gProcDataRestore(m_folder->dbPath() + QStringLiteral(".before-restore")));
    QCOMPARE(dumpData(), latest);
}

// A copy of a damaged file would only fail later, at restore: it is refused before it is made,
// and the damaged file stays as it is.
void tst_Backup::backupOfDamagedDataFileIsRefused() {
    DbClose();
    QVERIFY(m_folder->damageDataFile());
    QVERIFY(DbInit(m_folder->dbPath(), false));
    const QByteArray before = readBytes(m_folder->dbPath());

    QString refusal;
    QVERIFY(!gProcDataBackup(m_backups->path(), nullptr, &refusal));
    QVERIFY(refusal.contains(QStringLiteral("壊れている")));
    QVERIFY(gDataFileDamaged());
    QVERIFY(QDir(m_backups->path()).isEmpty());
    QVERIFY(gdbData().isOpen());
    DbClose();
    QVERIFY(readBytes(m_folder->dbPath()) == before);
}

// A backup made by a program of schema version 1 comes back migrated, with its rows.
void tst_Backup::restoreOfVersion1BackupMigratesIt() {
    const QString old = m_backups->filePath(QStringLiteral("old.tvk"));
    QVERIFY(makeVersion1File(old));
    QVERIFY(runSqlite(old, "INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid) "
                           "VALUES (3, 3, 1);"
                           "INSERT INTO T_DATA2 (lngMasterID, strItem) VALUES (3, 'old');"));
    QVERIFY(gProcDataRestore(old));
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_DATA2 WHERE strItem = 'old'")), 1);
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_HISTORY_ORIGIN")), 1);
    // The chosen backup itself stays as it was.
    Database kept;
    QVERIFY(kept.open(old, {}, true));
    QCOMPARE(kept.schemaVersion(), 1);
}

// Each shutdown copy is checked before it takes its name; the newest `keep` stay, and what an
// interrupted run left is never listed and goes.
void tst_Backup::autoBackupsKeepTheNewestVerifiedCopies() {
    QVERIFY(addSampleData());
    DbClose();
    const QString folder = gDataBackupFolder(m_folder->dbPath());
    QVERIFY(QDir().mkpath(folder));
    const QString leftover = folder + QStringLiteral("/db1.auto-20240101-000000.checking");
    QVERIFY(writeBytes(leftover, QByteArrayLiteral("cut off")));
    QStringList expected;
    for (int day = 1; day <= 4; ++day) {
        m_svc.clock->fixed = QDateTime(QDate(2024, 2, day), QTime(18, 30, 0));
        QString written;
        QVERIFY(gWriteAutoBackup(m_folder->dbPath(), 3, &written));
        expected.prepend(written);
    }
    QVERIFY(!QFileInfo::exists(leftover));
    expected = expected.mid(0, 3);
    QCOMPARE(gAutoBackupFiles(m_folder->dbPath()), expected);
    QCOMPARE(QFileInfo(expected.first()).fileName(), QStringLiteral("db1.auto-20240204-183000"));
    for (const QString& copy : expected) {
        QVERIFY(gQuickCheckDataFile(copy));
        BackupSummary summary;
        QVERIFY(gReadBackupSummary(copy, summary));
        QCOMPARE(summary.suppliers, 2);
    }
    // Keep 0 writes nothing and removes nothing.
    QVERIFY(gWriteAutoBackup(m_folder->dbPath(), 0));
    QCOMPARE(gAutoBackupFiles(m_folder->dbPath()).size(), 3);
    QVERIFY(DbInit(m_folder->dbPath()));
}

QTEST_GUILESS_MAIN(tst_Backup)
#include "tst_Backup.moc"
