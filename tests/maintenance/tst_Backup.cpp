#include "MaintenanceTestData.h"
#include "TestData.h"
#include "TestServices.h"

#include "base/Globals.h"
#include "maintenance/Backup.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sqlite3.h>

namespace {

// Runs a script on a new or existing SQLite file.
bool sqliteScript(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

int countRows(const QString& path, const QString& table) {
    Database db;
    if (!db.open(path))
        return -1;
    ResultSet rs(db);
    return rs.openRecordSet(QStringLiteral("SELECT * FROM ") + table) ? rs.recordCount() : -1;
}

} // namespace

Q_DECLARE_METATYPE(DataFileStatus)

namespace {

const QString kMsg55 = QStringLiteral("\r\nに保存します。\r\nＯＫを押すと処理を始めます。");

} // namespace

class tst_Backup : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshDataFileMatchesTheCheckedSchema();
    void checkDataFile_data();
    void checkDataFile();
    void backupSpace_data();
    void backupSpace();

    void backupThenRestoreGivesBackTheSavedData();
    void twoBackupsInOneMinuteKeepBothFiles();
    void backupToMissingFolderFailsAndKeepsDataOpen();
    void backupOfDamagedDataFileIsRefused();
    void backupTimeRowIsAddedWhenMissingAndThenUpdated();
    void restoreRefusesFile_data();
    void restoreRefusesFile();
    void restoreOfBeforeRestoreFileUndoesARestore();

private:
    QString sample(const QString& name) const { return m_work->filePath(name); }
    // Makes the kind of file a check case names; returns its path.
    QString makeFile(const QString& kind);

    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_backups;
    std::unique_ptr<QTemporaryDir> m_work;
    TestServices m_svc{};
};

void tst_Backup::init() {
    m_folder = std::make_unique<TestProgramFolder>();
    m_backups = std::make_unique<QTemporaryDir>();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_svc = TestServices::install();
    QVERIFY(m_folder->open());
}

void tst_Backup::cleanup() {
    gSetFreeSpaceLookup({});
    m_folder.reset();
    m_backups.reset();
    m_work.reset();
}

QString tst_Backup::makeFile(const QString& kind) {
    const QString fresh = sample(QStringLiteral("fresh"));
    QFile::copy(m_folder->dbPath(), fresh);
    const QByteArray freshBytes = readBytes(fresh);
    const QString path = sample(kind);
    if (kind == QLatin1String("fresh data file"))
        return fresh;
    if (kind == QLatin1String("missing file"))
        return sample(QStringLiteral("nothing here.tvk"));
    if (kind == QLatin1String("message catalogue"))
        return m_folder->path() + QStringLiteral("/sys/msg");
    if (kind == QLatin1String("text file"))
        writeBytes(path, QByteArrayLiteral("仕入先,金額\r\n山田商店,1200\r\n"));
    else if (kind == QLatin1String("empty file"))
        writeBytes(path, {});
    else if (kind == QLatin1String("truncated to half"))
        writeBytes(path, freshBytes.left(freshBytes.size() / 2));
    else if (kind == QLatin1String("truncated inside a page"))
        writeBytes(path, freshBytes.left(freshBytes.size() - 100));
    else if (kind == QLatin1String("overwritten page")) {
        QByteArray b = freshBytes;
        const int pageSize = (quint8(b.at(16)) << 8) | quint8(b.at(17));
        for (int i = pageSize; i < 2 * pageSize; ++i)
            b[i] = char(0xA5);
        writeBytes(path, b);
    } else if (kind == QLatin1String("unversioned copy")) {
        QFile::copy(fresh, path);
        sqliteScript(path, "PRAGMA user_version = 0");
    } else if (kind == QLatin1String("newer schema version")) {
        QFile::copy(fresh, path);
        sqliteScript(path, "PRAGMA user_version = 2");
    } else if (kind == QLatin1String("without a table")) {
        QFile::copy(fresh, path);
        sqliteScript(path, "DROP TABLE T_MP_RANKING");
    } else if (kind == QLatin1String("unrelated database")) {
        sqliteScript(path, "CREATE TABLE photos (id INTEGER, name TEXT);"
                           "INSERT INTO photos VALUES (1, 'a');");
    } else if (kind == QLatin1String("unrelated newer database")) {
        sqliteScript(path, "CREATE TABLE T_MASTER (x); PRAGMA user_version = 7;");
    }
    return path;
}

void tst_Backup::freshDataFileMatchesTheCheckedSchema() {
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                       "'sqlite%' ORDER BY name")));
    QStringList tables;
    for (const QVariantList& row : rs.rows())
        tables << row.value(0).toString();
    QStringList expected;
    for (const std::string_view t : kSchemaTables)
        expected << QString::fromLatin1(t.data(), qsizetype(t.size()));
    expected.sort();
    QCOMPARE(tables, expected);
    QCOMPARE(gChkDataFile(m_folder->dbPath()), DataFileStatus::Ok);
}

void tst_Backup::checkDataFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<DataFileStatus>("expected");
    const auto row = [](const char* kind, DataFileStatus s) {
        QTest::newRow(kind) << QString::fromUtf8(kind) << s;
    };
    row("fresh data file", DataFileStatus::Ok);
    row("unversioned copy", DataFileStatus::NotDataFile);
    row("missing file", DataFileStatus::Unreadable);
    row("text file", DataFileStatus::NotDatabase);
    row("empty file", DataFileStatus::NotDatabase);
    row("truncated to half", DataFileStatus::Damaged);
    row("truncated inside a page", DataFileStatus::Damaged);
    row("overwritten page", DataFileStatus::Damaged);
    row("newer schema version", DataFileStatus::NewerVersion);
    row("without a table", DataFileStatus::NotDataFile);
    row("unrelated database", DataFileStatus::NotDataFile);
    row("unrelated newer database", DataFileStatus::NotDataFile);
    row("message catalogue", DataFileStatus::NotDataFile);
}

void tst_Backup::checkDataFile() {
    QFETCH(QString, kind);
    QFETCH(DataFileStatus, expected);
    const QString path = makeFile(kind);
    const QByteArray before = readBytes(path);
    QCOMPARE(gChkDataFile(path), expected);
    // The check only reads.
    QCOMPARE(readBytes(path), before);
    QCOMPARE(gDataFileStatusText(expected).isEmpty(), expected == DataFileStatus::Ok);
}

void tst_Backup::backupSpace_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("freeMinusNeeded");
    QTest::addColumn<bool>("lookupWorks");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<bool>("lookupAsked");
    QTest::newRow("one byte short") << QStringLiteral("/media/usb") << -1 << true << false << true;
    QTest::newRow("exactly equal") << QStringLiteral("/media/usb") << 0 << true << true << true;
    QTest::newRow("lookup fails") << QStringLiteral("/media/usb") << 100 << false << false << true;
    QTest::newRow("windows network path")
        << QStringLiteral("\\\\server\\share") << -1 << false << true << false;
    QTest::newRow("network path with slashes")
        << QStringLiteral("//server/share") << -1 << false << true << false;
}

void tst_Backup::backupSpace() {
    QFETCH(QString, folder);
    QFETCH(int, freeMinusNeeded);
    QFETCH(bool, lookupWorks);
    QFETCH(bool, expected);
    QFETCH(bool, lookupAsked);
    const double needed = static_cast<double>(QFileInfo(gstrDbPath).size());
    QVERIFY(needed > 0);
    QStringList asked;
    gSetFreeSpaceLookup([&](const QString& f, double& bytes) {
        asked << f;
        bytes = needed + freeMinusNeeded;
        return lookupWorks;
    });
    QCOMPARE(gChkBackupSpace(folder), expected);
    QCOMPARE(asked, lookupAsked ? QStringList{folder} : QStringList{});
}

void tst_Backup::backupThenRestoreGivesBackTheSavedData() {
    QVERIFY(addSampleData());
    const QStringList saved = dumpData();
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 37));

    QString written;
    QVERIFY(gProcDataBackup(m_backups->path(), &written));
    const QString name = QStringLiteral("2024年01月02日 火曜日 10時15分.tvk");
    QCOMPARE(written, m_backups->filePath(name));
    QCOMPARE(filesIn(m_backups->path()), QStringList{name});
    QCOMPARE(m_svc.prompt->texts(), QStringList{name + kMsg55});
    QVERIFY(gdbData().isOpen());
    QCOMPARE(systemTime(0), m_svc.clock->fixed);
    QCOMPARE(gChkDataFile(written), DataFileStatus::Ok);
    const QByteArray backupBytes = readBytes(written);

    // Work goes on after the backup, then the backup is brought back.
    QVERIFY(addMoreData());
    QVERIFY(dumpData() != saved);
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 3), QTime(8, 0, 5));
    QString refusal;
    QVERIFY(gProcDataRestore(written, &refusal));
    QVERIFY(refusal.isEmpty());
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData(), saved);
    QCOMPARE(systemTime(1), m_svc.clock->fixed);
    QCOMPARE(m_folder->errorLogEntries(), 0);

    // The replaced data stays beside the data file, and the backup itself is untouched.
    const QString before = m_folder->dbPath() + QStringLiteral(".before-restore");
    QCOMPARE(gChkDataFile(before), DataFileStatus::Ok);
    QCOMPARE(countRows(before, QStringLiteral("T_MASTER")), 3);
    QCOMPARE(readBytes(written), backupBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".restoring")));
}

void tst_Backup::twoBackupsInOneMinuteKeepBothFiles() {
    QVERIFY(addSampleData());
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 5));
    QString first;
    QVERIFY(gProcDataBackup(m_backups->path(), &first));
    const QByteArray firstBytes = readBytes(first);
    QVERIFY(addMoreData());
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 50));
    QString second;
    QVERIFY(gProcDataBackup(m_backups->path(), &second));

    QVERIFY(second != first);
    QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("2024年01月02日 火曜日 10時15分.tvk"));
    QVERIFY(QFileInfo(second).fileName().endsWith(QStringLiteral(".tvk")));
    // Only the two backups: no temporary file is left behind.
    QCOMPARE(filesIn(m_backups->path()).size(), 2);
    QCOMPARE(readBytes(first), firstBytes);
    QCOMPARE(countRows(first, QStringLiteral("T_MASTER")), 2);
    QCOMPARE(countRows(second, QStringLiteral("T_MASTER")), 3);
}

void tst_Backup::backupToMissingFolderFailsAndKeepsDataOpen() {
    QVERIFY(addSampleData());
    const QStringList saved = dumpData();
    const QString missing = m_backups->filePath(QStringLiteral("no such folder"));
    QVERIFY(!gProcDataBackup(missing));
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData(), saved);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("gProcDataBackup")));
    QCOMPARE(systemRowCount(0), 0);
}

// A copy of a damaged file would only fail later, at restore: it is refused before it is made,
// and the damaged file stays as it is.
void tst_Backup::backupOfDamagedDataFileIsRefused() {
    {
        Transaction t(gdbData());
        for (int i = 0; i < 1000; ++i)
            QVERIFY(gdbData().executeSQL(QStringLiteral("INSERT INTO T_DATA1 (strNote) VALUES (?)"),
                                         {QString(100, QLatin1Char('n'))}));
        QVERIFY(t.commit());
    }
    DbClose();
    QFile f(m_folder->dbPath());
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(4096 * 10));
    QVERIFY(f.write(QByteArray(4096 * 2, '\xa5')) == 4096 * 2);
    f.close();
    QVERIFY(DbInit(m_folder->dbPath(), false));
    const QByteArray before = [this] {
        QFile file(m_folder->dbPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    QString refusal;
    QVERIFY(!gProcDataBackup(m_backups->path(), nullptr, &refusal));
    QVERIFY(refusal.contains(QStringLiteral("壊れている")));
    QVERIFY(gDataFileDamaged());
    QVERIFY(QDir(m_backups->path()).isEmpty());
    QVERIFY(gdbData().isOpen());
    DbClose();
    QFile after(m_folder->dbPath());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QVERIFY(after.readAll() == before);
}

void tst_Backup::backupTimeRowIsAddedWhenMissingAndThenUpdated() {
    QCOMPARE(systemRowCount(0), 0);
    m_svc.clock->fixed = QDateTime(QDate(2024, 5, 1), QTime(9, 0, 1));
    QVERIFY(gProcDataBackup(m_backups->path()));
    QCOMPARE(systemRowCount(0), 1);
    QCOMPARE(systemTime(0), m_svc.clock->fixed);
    m_svc.clock->fixed = QDateTime(QDate(2024, 5, 2), QTime(17, 30, 59));
    QVERIFY(gProcDataBackup(m_backups->path()));
    QCOMPARE(systemRowCount(0), 1);
    QCOMPARE(systemTime(0), m_svc.clock->fixed);
    // The restore time is a row of its own.
    QCOMPARE(systemRowCount(1), 0);
}

void tst_Backup::restoreRefusesFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("text file") << QStringLiteral("text file")
                               << QStringLiteral("バックアップデータではありません");
    QTest::newRow("truncated copy")
        << QStringLiteral("truncated to half") << QStringLiteral("壊れている");
    QTest::newRow("unrelated database")
        << QStringLiteral("unrelated database") << QStringLiteral("本ソフトのデータではありません");
    QTest::newRow("newer schema version")
        << QStringLiteral("newer schema version") << QStringLiteral("新しいバージョン");
    QTest::newRow("missing file") << QStringLiteral("missing file")
                                  << QStringLiteral("見つからない");
}

void tst_Backup::restoreRefusesFile() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QVERIFY(addSampleData());
    const QString file = makeFile(kind);
    const QStringList saved = dumpData();
    const QByteArray dataBytes = readBytes(m_folder->dbPath());

    QString refusal;
    QVERIFY(!gProcDataRestore(file, &refusal));
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
    QVERIFY(refusal.contains(QStringLiteral("現在のデータは変更していません。")));
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData(), saved);
    QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".before-restore")));
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".restoring")));
    QCOMPARE(systemRowCount(1), 0);
    // A wrong choice is the user's, not a fault of the program.
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Backup::restoreOfBeforeRestoreFileUndoesARestore() {
    QVERIFY(addSampleData());
    const QStringList original = dumpData();
    QString backup;
    QVERIFY(gProcDataBackup(m_backups->path(), &backup));
    QVERIFY(addMoreData());
    const QStringList latest = dumpData();

    QVERIFY(gProcDataRestore(backup));
    QCOMPARE(dumpData(), original);
    // Changed their mind: the replaced data comes back from the kept file.
    QVERIFY(gProcDataRestore(m_folder->dbPath() + QStringLiteral(".before-restore")));
    QCOMPARE(dumpData(), latest);
}

QTEST_GUILESS_MAIN(tst_Backup)
#include "tst_Backup.moc"
