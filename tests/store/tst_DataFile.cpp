#include "TestData.h"
#include "TestServices.h"
#include "base/CheckedFileWriter.h"
#include "store/DataFile.h"
#include "store/DataLocation.h"
#include "store/Database.h"
#include "store/Migration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Files beside the data file that are neither the data file nor the program's own files.
QStringList strays(const QString& dataFile) {
    const QFileInfo fi(dataFile);
    QStringList found = fi.absoluteDir().entryList({fi.fileName() + u"?*"_s, u"CompactDataBase*"_s},
                                                   QDir::Files | QDir::Hidden);
    found.removeAll(fi.fileName() + u".lock"_s);
    return found;
}

// A second program on the file (tests/store/DataWriter.cpp).
struct Writer {
    QProcess process;
    QList<qint64> acknowledged;

    bool start(const QString& file, const QString& mode) {
        process.start(QStringLiteral(TOVAKI_TEST_WRITER), {file, mode, u"0"_s});
        return process.waitForStarted() && waitFor(u"open"_s);
    }
    // Reads the lines printed so far; true once `line` was among them.
    bool waitFor(const QString& line) {
        for (int i = 0; i < 100; ++i) {
            bool seen = false;
            while (process.canReadLine()) {
                const QString l = QString::fromUtf8(process.readLine()).trimmed();
                bool number = false;
                const qint64 id = l.toLongLong(&number);
                if (number)
                    acknowledged << id;
                seen = seen || l == line;
            }
            if (seen)
                return true;
            if (!process.waitForReadyRead(100) && process.state() != QProcess::Running)
                return false;
        }
        return false;
    }
    void kill() {
        process.kill();
        process.waitForFinished();
        waitFor(QString());
    }
};

} // namespace

class tst_DataFile : public QObject {
    Q_OBJECT
private slots:
#ifdef Q_OS_WIN
    void windowsPathsRefused();
#endif
    void init();
    void cleanup();

    void badFileIsToldAndLeftAsItIs_data();
    void badFileIsToldAndLeftAsItIs();
    void statementMeetingDamageMarksTheFile();
    void secondProgramIsRefused();
    void writerKeepsItsWritesWhenAnotherShutsDown();
    void leftoversGoAndCopiesAreOwnerOnly();
    void shutdownCompactsOnlyWhenItPays();
    void acknowledgedWritesSurviveKills();
    void resolutionOrder_data();
    void resolutionOrder();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_svc{};
};

void tst_DataFile::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void tst_DataFile::cleanup() {
    gUnlockDataFile();
    const QString db = m_folder->dbPath();
    QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_folder.reset();
}

void tst_DataFile::badFileIsToldAndLeftAsItIs_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("says");
    const QString notOurs = u"本ソフトのデータファイルではありません"_s;
    QTest::newRow("zero bytes") << u"zero"_s << false << notOurs;
    QTest::newRow("truncated") << u"truncated"_s << false << u"壊れている"_s;
    QTest::newRow("random bytes") << u"random"_s << false << notOurs;
    QTest::newRow("foreign SQLite") << u"foreign"_s << false << notOurs;
    QTest::newRow("newer version") << u"newer"_s << false << u"新しいバージョン"_s;
    QTest::newRow("without a table")
        << u"DROP TABLE T_TAX_RATE"_s << false << u"足りないもの：テーブル T_TAX_RATE"_s;
    // Not migrated: nothing is copied either (a copy at every start would pile up).
    QTest::newRow("version 1 with version 2 columns")
        << u"1:ALTER TABLE T_MASTER ADD COLUMN strInvoiceNo TEXT"_s << false
        << u"一致しないため、新しい形式に変換できません。\r\nバージョン1にはないもの：列 "
           "T_MASTER.strInvoiceNo"_s;
    QTest::newRow("read-only") << u"readonly"_s << true << u"読み取り専用"_s;
}

// Start-up's sequence on each file (open, the shutdown's close and compaction): the user is told
// what is wrong, and the file keeps every byte. A damaged file is tst_StartupFlow's.
void tst_DataFile::badFileIsToldAndLeftAsItIs() {
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QFETCH(QString, says);
    const QString db = m_folder->dbPath();
    {
        // Enough lines for pages beyond the schema's.
        QVERIFY(DbInit(db));
        Transaction t(gdbData());
        for (int i = 0; i < 1000; ++i)
            QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, strNote) "
                                         "VALUES (1, ?)"_s,
                                         {QString(100, QLatin1Char('n'))}));
        QVERIFY(t.commit());
        DbClose();
    }
    QByteArray bytes = readBytes(db);
    if (kind == u"zero"_s) {
        bytes.clear();
    } else if (kind == u"truncated"_s) {
        bytes.truncate(4096 * 3);
    } else if (kind == u"random"_s) {
        bytes.resize(65536);
        QRandomGenerator gen(7);
        for (char& c : bytes)
            c = char(gen.bounded(256));
    }
    QVERIFY(writeBytes(db, bytes));
    if (kind == u"foreign"_s) {
        QVERIFY(QFile::remove(db));
        QVERIFY(runSqlite(db, "CREATE TABLE notes (x TEXT); INSERT INTO notes VALUES ('a')"));
    } else if (kind == u"newer"_s) {
        QVERIFY(runSqlite(db, "PRAGMA user_version = 99"));
    } else if (kind == u"readonly"_s) {
        QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    } else if (kind.startsWith(u"1:"_s)) {
        QVERIFY(makeVersion1File(db));
        QVERIFY(runSqlite(db, kind.mid(2).toUtf8().constData()));
    } else if (kind.startsWith(u"DROP"_s)) {
        QVERIFY(runSqlite(db, kind.toUtf8().constData()));
    }
    const QByteArray before = readBytes(db);

    QCOMPARE(DbInit(db, false), opens);
    QString told = DbInitRefusal();
    if (opens) {
        QVERIFY(told.isEmpty());
        if (gDataFileReadOnly()) {
            told = gDataFileReadOnlyText(db);
            // Nothing reaches the file; settings and the ranking live in memory meanwhile.
            QVERIFY(!gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (1)"_s));
            QVERIFY(
                gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, 1)"_s));
            QVERIFY(gdbData().executeSQL(u"INSERT INTO T_MP_RANKING (lngMasterID) VALUES (1)"_s));
        }
    }
    QVERIFY2(told.contains(says), qPrintable(told));
    DbCloseAndCompact(gdbData(), db);

    QVERIFY(readBytes(db) == before);
    QCOMPARE(strays(db), QStringList());
    QCOMPARE(QDir(gDataBackupFolder(db)).entryList(QDir::Files), QStringList());
}

// A statement of the program's connection that meets a damaged page marks the file damaged,
// without the check of every page.
void tst_DataFile::statementMeetingDamageMarksTheFile() {
    QVERIFY(m_folder->damageDataFile());
    QVERIFY(DbInit(gdbData(), m_folder->dbPath(), false));
    QVERIFY(!gDataFileDamaged());
    ResultSet rs(gdbData());
    QVERIFY(!rs.openRecordSet(u"SELECT * FROM T_DATA1_CAPTION"_s));
    QVERIFY(gDataFileDamaged());
    DbClose(gdbData());
}

void tst_DataFile::secondProgramIsRefused() {
    const QString db = m_folder->dbPath();
    Writer other;
    QVERIFY(other.start(db, u"lock"_s));

    DataLockHolder holder;
    QCOMPARE(gLockDataFile(db, &holder), DataLockResult::InUse);
    QCOMPARE(holder.pid, other.process.processId());
    // Windows spells the computer's name in capitals in one place and not in another.
    QCOMPARE(holder.host.toLower(), QSysInfo::machineHostName().toLower());
    const QString told = gDataInUseText(db, holder);
    QVERIFY(told.contains(QString::number(holder.pid)) && told.contains(holder.host));
    QVERIFY(!DbCompactDataBase(db));

    // A lock whose program is gone is taken over.
    other.kill();
    QCOMPARE(gLockDataFile(db), DataLockResult::Locked);
    Writer third;
    QVERIFY(!third.start(db, u"lock"_s));
    QCOMPARE(third.process.exitCode(), 3);
}

// A program that ignored the lock file still keeps what it wrote: another program's shutdown
// does not replace the file under it.
void tst_DataFile::writerKeepsItsWritesWhenAnotherShutsDown() {
    const QString db = m_folder->dbPath();
    Writer other;
    QVERIFY(other.start(db, u"nolock"_s));
    QVERIFY(other.waitFor(u"20"_s));

    QVERIFY(!DbCompactDataBase(db));
    QVERIFY(m_folder->errorLog().contains(u"another connection has the data file open"_s));
    QVERIFY(other.waitFor(u"40"_s));
    other.kill();

    QVERIFY(DbInit(db));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT count(*) AS n, max(lngID) AS m FROM T_DATA1"_s));
    QCOMPARE(rs.value(0).toLongLong(), rs.value(1).toLongLong());
    QVERIFY(rs.value(1).toLongLong() >= other.acknowledged.last());
    DbClose();
    QCOMPARE(strays(db), QStringList());
}

void tst_DataFile::leftoversGoAndCopiesAreOwnerOnly() {
    const QString db = m_folder->dbPath();
    const QString folder = QFileInfo(db).absolutePath();
    for (const QString& name : {u"CompactDataBase1.mdb"_s, u"CompactDataBase1.mdb-journal"_s,
                                u"db1.restoring"_s, u"db1.before-restore"_s})
        QVERIFY(writeBytes(folder + u"/"_s + name, "left"));
    QCOMPARE(gLockDataFile(db), DataLockResult::Locked);
    gRemoveDataFileLeftovers(db);
    QCOMPARE(strays(db), QStringList{u"db1.before-restore"_s});

    const QString copy = folder + u"/copy.tvk"_s;
    QVERIFY(gCopyDataFile(db, copy, u"test"_s));
#ifdef Q_OS_UNIX
    // Neither group nor others may read a copy of the books. (On Windows the user's own profile
    // folders keep them private.)
    QCOMPARE(int(QFile::permissions(copy) & 0x0077), 0);
#endif
    QCOMPARE(readBytes(copy), readBytes(db));
    // An existing file is never replaced.
    QVERIFY(!gCopyDataFile(db, copy, u"test"_s));
    QVERIFY(!QFileInfo::exists(copy + u".part"_s));
}

// The shutdown rewrites the file (a new file takes its name) only when that gives back a real
// share of it, at most once a week (the rule's boundaries are tst_Database's); the compacted file
// carries the time. The copy is made under the first free name, past another program's file.
void tst_DataFile::shutdownCompactsOnlyWhenItPays() {
    const QString db = m_folder->dbPath();
    // The file's identity: a compaction replaces the file by a new one.
    const auto inode = [&db] {
#ifdef Q_OS_WIN
        const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(db.utf16()), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return ok ? (qint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow) : qint64(-1);
#else
        struct stat st {};
        return ::stat(QFile::encodeName(db).constData(), &st) == 0 ? qint64(st.st_ino) : -1;
#endif
    };
    QVERIFY(DbInit(db));
    QVERIFY(addLine(LineRow{.item = u"a"_s, .cost = 1}) > 0);
    const qint64 before = inode();
    DbCloseAndCompact(gdbData(), db);
    QCOMPARE(inode(), before);

    const QString taken = QFileInfo(db).absolutePath() + u"/CompactDataBase1.mdb"_s;
    QVERIFY(writeBytes(taken, "someone else's file"));
    // Never compacted, then a second short of a week after that compaction.
    for (const auto& [now, compacts] :
         {std::pair{QDateTime(QDate(2024, 3, 5), QTime(10, 15)), true},
          std::pair{QDateTime(QDate(2024, 3, 12), QTime(10, 14, 59)), false}}) {
        QVERIFY(DbInit(db));
        {
            Transaction t(gdbData());
            for (int i = 0; i < 1000; ++i)
                QVERIFY(addLine(LineRow{.note = QString(200, u'x')}) > 0);
            QVERIFY(t.commit());
        }
        QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA1 WHERE strNote IS NOT NULL"_s));
        // The history of these lines goes as well, so that their pages are free.
        QVERIFY(gdbData().executeSQL(u"DELETE FROM T_HISTORY"_s));
        const qint64 was = inode();
        m_svc.clock->fixed = now;
        DbCloseAndCompact(gdbData(), db);
        QCOMPARE(inode() != was, compacts);
    }
    QCOMPARE(readBytes(taken), QByteArray("someone else's file"));
    QCOMPARE(strays(db), QStringList{u"CompactDataBase1.mdb"_s});
    QVERIFY(DbInit(db));
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA1"_s), 1);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_SYSTEM WHERE lngID = 2 AND "
                          "datField = '2024-03-05 10:15:00'"_s),
             1);
    DbClose();
}

// A writer killed at random moments: every write it acknowledged is in the file afterwards, and
// the file opens cleanly. Bounded: twenty kills within a few seconds.
void tst_DataFile::acknowledgedWritesSurviveKills() {
    const QString db = m_folder->dbPath();
    QRandomGenerator gen(20240101);
    qint64 acknowledged = 0;
    for (int kill = 0; kill < 20; ++kill) {
        Writer writer;
        QVERIFY(writer.start(db, u"nolock"_s));
        QTest::qWait(int(gen.bounded(40, 200)));
        writer.kill();
        if (!writer.acknowledged.isEmpty())
            acknowledged = qMax(acknowledged, writer.acknowledged.last());
        QVERIFY(DbInit(db));
        QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA1 WHERE lngID <= ?"_s, {acknowledged}),
                 int(acknowledged));
        DbClose();
    }
    QVERIFY2(acknowledged > 20, "the writer never got to write");
}

// Where the data file is found, and the per-user data file made at the first start.
void tst_DataFile::resolutionOrder_data() {
    QTest::addColumn<QString>("option");   // --db: "" none, "given" an existing file, "missing"
    QTest::addColumn<bool>("env");         // TOVAKI_DB names an existing file
    QTest::addColumn<bool>("portable");    // sys/db1 beside the program
    QTest::addColumn<QByteArray>("user");  // the per-user file's bytes ("" none)
    QTest::addColumn<bool>("shipped");     // sys/db1.empty
    QTest::addColumn<bool>("blocked");     // the data folder's parent is a file
    QTest::addColumn<QString>("expected"); // "given", "env", "portable", "user", "" refused
    QTest::addColumn<bool>("created");     // the per-user file was made from the empty one

    QTest::newRow("--db before all")
        << u"given"_s << true << true << "kept"_ba << true << false << u"given"_s << false;
    QTest::newRow("TOVAKI_DB before sys/db1")
        << QString() << true << true << QByteArray() << true << false << u"env"_s << false;
    QTest::newRow("--db missing") << u"missing"_s << false << true << QByteArray() << true << false
                                  << QString() << false;
    QTest::newRow("sys/db1 before the user's")
        << QString() << false << true << "kept"_ba << true << false << u"portable"_s << false;
    QTest::newRow("first start") << QString() << false << false << QByteArray() << true << false
                                 << u"user"_s << true;
    QTest::newRow("second start") << QString() << false << false << "kept"_ba << true << false
                                  << u"user"_s << false;
    QTest::newRow("no empty file")
        << QString() << false << false << QByteArray() << false << false << u"user"_s << false;
    QTest::newRow("folder cannot be made")
        << QString() << false << false << QByteArray() << true << true << QString() << false;
}

void tst_DataFile::resolutionOrder() {
    QFETCH(QString, option);
    QFETCH(bool, env);
    QFETCH(bool, portable);
    QFETCH(QByteArray, user);
    QFETCH(bool, shipped);
    QFETCH(bool, blocked);
    QFETCH(QString, expected);
    QFETCH(bool, created);

    const QString root = QFileInfo(m_folder->tempPath()).absolutePath();
    const QString sys = m_folder->path() + u"/sys/"_s;
    const QString empty = sys + u"db1.empty"_s;
    QVERIFY(QFile::copy(m_folder->dbPath(), empty));
    const QByteArray emptyBytes = readBytes(empty);
    if (!shipped)
        QVERIFY(QFile::remove(empty));
    if (!portable)
        QVERIFY(QFile::remove(m_folder->dbPath()));
    const QString given = root + u"/chosen.db"_s;
    const QString fromEnv = root + u"/env.db"_s;
    QVERIFY(writeBytes(given, "given") && writeBytes(fromEnv, "env"));
    if (env)
        qputenv("TOVAKI_DB", fromEnv.toLocal8Bit());
    if (blocked) {
        QVERIFY(writeBytes(root + u"/file"_s, "x"));
        qputenv("XDG_DATA_HOME", (root + u"/file/share"_s).toLocal8Bit());
    }
#ifdef Q_OS_WIN
    // Windows keeps the user's application data where the system says (%APPDATA%), whatever
    // the environment of the program: the rows use that folder, and one that cannot be made is
    // not arranged here.
    if (blocked)
        QSKIP("no way to block %APPDATA% for one program");
    const QString userFolder =
        QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA")) + u"/Quillo-soft/tovaki"_s;
    QDir(userFolder).removeRecursively();
    const auto cleanUp = qScopeGuard([&] { QDir(userFolder).removeRecursively(); });
#else
    const QString userFolder =
        blocked ? root + u"/file/share/Quillo-soft/tovaki"_s : root + u"/home/Quillo-soft/tovaki"_s;
#endif
    const QString userFile = userFolder + u"/db1"_s;
    if (!user.isEmpty())
        QVERIFY(QDir().mkpath(userFolder) && writeBytes(userFile, user));
    const QString optionPath = option == u"given"_s     ? given
                               : option == u"missing"_s ? root + u"/none.db"_s
                                                        : QString();
    QString found;
    const bool ok = gResolveDataFile(optionPath, m_folder->path(), m_folder->path(), &found);
    qunsetenv("TOVAKI_DB");

    const QMap<QString, QString> paths = {{u"given"_s, given},
                                          {u"env"_s, fromEnv},
                                          {u"portable"_s, sys + u"db1"_s},
                                          {u"user"_s, userFile}};
    QCOMPARE(ok, !expected.isEmpty());
    if (ok) {
        QCOMPARE(found, paths.value(expected));
        QVERIFY(m_svc.prompt->shown.isEmpty());
    } else {
        // One message, naming what is wrong.
        QCOMPARE(m_svc.prompt->texts().size(), 1);
        const QString named = blocked ? userFolder : optionPath;
        QVERIFY2(m_svc.prompt->texts().at(0).contains(QDir::toNativeSeparators(named)),
                 qPrintable(m_svc.prompt->texts().at(0)));
        QVERIFY(!QFileInfo::exists(optionPath));
    }
    // The per-user folder exists only when it held a file before or one was made in it.
    QCOMPARE(QFileInfo::exists(userFolder), !user.isEmpty() || created);
    if (!user.isEmpty())
        QCOMPARE(readBytes(userFile), user); // never replaced
    if (created) {
        QCOMPARE(readBytes(userFile), emptyBytes);
#ifdef Q_OS_UNIX
        QCOMPARE(QFile::permissions(userFile) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
#endif
        QCOMPARE(QDir(userFolder).entryList(QDir::Files), QStringList{u"db1"_s});
    }
}

QTEST_GUILESS_MAIN(tst_DataFile)
#ifdef Q_OS_WIN
// Windows: a data file on another computer is refused, saying why, before anything opens it; a
// path too long for the system is told as such.
void tst_DataFile::windowsPathsRefused() {
    QVERIFY(!DbInit(u"//server/帳簿 共有/db1"_s));
    QVERIFY2(
        DbInitRefusal().startsWith(u"データファイルがネットワーク上の場所にあるため使えません。"_s),
        qPrintable(DbInitRefusal()));
    QVERIFY(DbInitRefusal().contains(u"サーバーモード"_s));
    const QString deep = m_folder->tempPath() + u"/"_s + QString(250, u'長') + u"/x.csv"_s;
    QVERIFY(
        gFileFailureText(ENOENT, {}, deep).startsWith(u"ファイルの場所（パス）が長すぎます。"_s));
}
#endif

#include "tst_DataFile.moc"
