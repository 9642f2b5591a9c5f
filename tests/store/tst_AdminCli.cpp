// tovaki-admin's command line on the test cluster: init, load and dump, and each refusal with its
// exit code, its message and the database left as it was.
#include "TestData.h"
#include "TestServices.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/ServerSchema.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kScratch = u"tovaki_admin_cli"_s;

// What the scratch database holds before a command runs.
bool prepareDatabase(const QString& books, const QString& conninfo) {
    Database admin;
    if (!admin.openServer(gTestServer()) ||
        !admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + kScratch + u" WITH (FORCE)"_s) ||
        !admin.executeSQL(u"CREATE DATABASE "_s + kScratch + u" TEMPLATE template0"_s))
        return false;
    Database db;
    if (!db.openServer(conninfo))
        return false;
    if (books == u"current")
        return gServerInit(db, u"test"_s);
    if (books == u"other")
        return db.executeSQL(u"CREATE TABLE accounts (id integer)"_s);
    if (books == u"newer")
        return db.executeScript(u"CREATE TABLE T_SCHEMA_VERSION (lngVersion INTEGER); "
                                "INSERT INTO T_SCHEMA_VERSION VALUES (99)"_s,
                                u"test"_s);
    return books == u"empty";
}

void dropDatabase() {
    Database admin;
    if (admin.openServer(gTestServer()))
        admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + kScratch + u" WITH (FORCE)"_s);
}

// The database's tables, by name.
QStringList tables(const QString& conninfo) {
    Database db;
    ResultSet rs(db);
    if (!db.openServer(conninfo) ||
        !rs.openRecordSet(u"SELECT table_name FROM information_schema.tables WHERE "
                          "table_schema = current_schema() ORDER BY 1"_s))
        return {u"unreadable"_s};
    QStringList out;
    for (const QVariantList& row : rs.rows())
        out << row.value(0).toString();
    return out;
}

struct Run {
    int exitCode = -1;
    QString error; // the standard error
};

Run runAdmin(const QStringList& args, const QString& env) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(u"TOVAKI_SERVER"_s);
    if (!env.isEmpty())
        e.insert(u"TOVAKI_SERVER"_s, env);
    p.setProcessEnvironment(e);
    p.start(QStringLiteral(TOVAKI_ADMIN_PROGRAM), args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.error = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Row 0 of T_SYSTEM (the last backup's time) as stored, each row's text.
QStringList backupTimes(Database& db) {
    ResultSet rs(db);
    if (!rs.openRecordSet(u"SELECT datField FROM T_SYSTEM WHERE lngID = 0"_s))
        return {u"unreadable"_s};
    QStringList out;
    for (const QVariantList& row : rs.rows())
        out << row.value(0).toDateTime().toString(Qt::ISODate);
    return out;
}

} // namespace

class tst_AdminCli : public DataFileTest {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void dumpRecordsItsTime();
};

// Each command against each kind of database. In args and env, %c is the scratch database's
// connection string, %f this version's data file, %x a file that is not a data file, %o a new
// file's name. A refused command leaves the database's tables as they were and writes no file.
void tst_AdminCli::commands_data() {
    QTest::addColumn<QString>("books"); // empty, current, other, newer
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("env"); // TOVAKI_SERVER
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("firstLine"); // of the standard error; %p: the program
    QTest::addColumn<int>("versionAfter");  // -1: not tovaki's books

    const QStringList init{u"--server"_s, u"%c"_s, u"init"_s};
    const QStringList load{u"--server"_s, u"%c"_s, u"load"_s, u"%f"_s};
    const QStringList dump{u"--server"_s, u"%c"_s, u"dump"_s, u"%o"_s};
    QTest::newRow("init, empty database")
        << u"empty"_s << init << QString() << 0 << QString() << kDbSchemaVersion;
    QTest::newRow("init, server from TOVAKI_SERVER")
        << u"empty"_s << QStringList{u"init"_s} << u"%c"_s << 0 << QString() << kDbSchemaVersion;
    QTest::newRow("init, books already there")
        << u"current"_s << init << QString() << 1
        << u"データベースにはすでに本ソフトの帳簿があります。データベースは変更していません。"_s
        << kDbSchemaVersion;
    QTest::newRow("init, another program's database")
        << u"other"_s << init << QString() << 1
        << u"サーバーのデータベースは本ソフトのものではありません。"_s << -1;
    QTest::newRow("init, newer books")
        << u"newer"_s << init << QString() << 1
        << u"サーバーのデータベースは新しいバージョン（99）の本ソフトで作られたため、使えません。"_s
        << 99;
    QTest::newRow("load, empty database")
        << u"empty"_s << load << QString() << 0 << QString() << kDbSchemaVersion;
    QTest::newRow("load, database not empty")
        << u"current"_s << load << QString() << 1
        << u"読み込み先のデータベースが空ではありません。"_s << kDbSchemaVersion;
    QTest::newRow("load, file not tovaki's")
        << u"empty"_s << QStringList{u"--server"_s, u"%c"_s, u"load"_s, u"%x"_s} << QString() << 1
        << u"選択されたファイルはバックアップデータではありません。"_s << -1;
    QTest::newRow("dump, books") << u"current"_s << dump << QString() << 0 << QString()
                                 << kDbSchemaVersion;
    QTest::newRow("dump, newer books")
        << u"newer"_s << dump << QString() << 1
        << u"サーバーのデータベースは本ソフトのこのバージョンの帳簿ではありません。"_s << 99;
    QTest::newRow("bad connection string")
        << u"empty"_s << QStringList{u"--server"_s, u"hots=x"_s, u"init"_s} << QString() << 1
        << u"接続文字列が正しくありません（知らない項目があります）。"_s << -1;
    QTest::newRow("no server named") << u"empty"_s << QStringList{u"init"_s} << QString() << 1
                                     << u"接続先のサーバーが指定されていません。"_s << -1;
    QTest::newRow("unknown command")
        << u"empty"_s << QStringList{u"--server"_s, u"%c"_s, u"drop"_s} << QString() << 2
        << u"Usage: %p [options] command FILE"_s << -1;
    QTest::newRow("load without a file")
        << u"empty"_s << QStringList{u"--server"_s, u"%c"_s, u"load"_s} << QString() << 2
        << u"Usage: %p [options] command FILE"_s << -1;
}

void tst_AdminCli::commands() {
    QFETCH(QString, books);
    QFETCH(QStringList, args);
    QFETCH(QString, env);
    QFETCH(int, exitCode);
    QFETCH(QString, firstLine);
    QFETCH(int, versionAfter);
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString conninfo = gTestServer() + u" dbname="_s + kScratch;
    QVERIFY(prepareDatabase(books, conninfo));
    const QString notOurs = m_folder->tempPath() + u"/notes.txt"_s;
    QVERIFY(writeBytes(notOurs, "not a data file\n"));
    const QString out = m_folder->tempPath() + u"/books.tvk"_s;
    const QStringList before = tables(conninfo);
    for (QString& a : args)
        a.replace(u"%c"_s, conninfo)
            .replace(u"%f"_s, m_folder->dbPath())
            .replace(u"%x"_s, notOurs)
            .replace(u"%o"_s, out);
    const Run run = runAdmin(args, QString(env).replace(u"%c"_s, conninfo));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.error.section(QLatin1Char('\n'), 0, 0),
             firstLine.replace(u"%p"_s, QStringLiteral(TOVAKI_ADMIN_PROGRAM)));
    {
        Database db;
        QVERIFY(db.openServer(conninfo));
        QCOMPARE(db.schemaVersion(), versionAfter);
    }
    if (exitCode != 0)
        QCOMPARE(tables(conninfo), before);
    QCOMPARE(QFile::exists(out), exitCode == 0 && args.contains(u"dump"_s));
    if (QFile::exists(out))
        QCOMPARE(gChkDataFile(out), DataFileStatus::Ok);
    dropDatabase();
}

// A dump is the server's backup: the file carries the time it was made in its row 0 (the restore
// shows it) and the server's books record it as their last backup, replacing the time they were
// loaded with. A refused dump records nothing.
void tst_AdminCli::dumpRecordsItsTime() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString conninfo = gTestServer() + u" dbname="_s + kScratch;
    QVERIFY(prepareDatabase(u"empty"_s, conninfo));
    {
        Database file;
        QVERIFY(file.open(m_folder->dbPath()));
        QVERIFY(file.executeScript(u"DELETE FROM T_SYSTEM WHERE lngID = 0; "
                                   "INSERT INTO T_SYSTEM (lngID, datField) "
                                   "VALUES (0, '2020-01-02 03:04:05')"_s,
                                   u"test"_s));
    }
    QCOMPARE(runAdmin({u"--server"_s, conninfo, u"load"_s, m_folder->dbPath()}, {}).exitCode, 0);
    const QString out = m_folder->tempPath() + u"/books.tvk"_s;
    const QDateTime from = QDateTime::currentDateTime().addMSecs(-999);
    QCOMPARE(runAdmin({u"--server"_s, conninfo, u"dump"_s, out}, {}).exitCode, 0);
    const QDateTime to = QDateTime::currentDateTime();
    QStringList inFile;
    {
        Database file;
        QVERIFY(file.open(out, u"test"_s, true));
        inFile = backupTimes(file);
    }
    QCOMPARE(inFile.size(), 1);
    const QDateTime made = QDateTime::fromString(inFile.first(), Qt::ISODate);
    QVERIFY2(made >= from && made <= to, qPrintable(inFile.first()));
    Database server;
    QVERIFY(server.openServer(conninfo));
    QCOMPARE(backupTimes(server), inFile);

    // Refused (the file exists): the server keeps the time of the dump that was made.
    QCOMPARE(runAdmin({u"--server"_s, conninfo, u"dump"_s, out}, {}).exitCode, 1);
    QCOMPARE(backupTimes(server), inFile);
    server.close();
    dropDatabase();
}

QTEST_GUILESS_MAIN(tst_AdminCli)
#include "tst_AdminCli.moc"
