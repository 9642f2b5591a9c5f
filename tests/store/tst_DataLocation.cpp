// Where the data file is found, and the per-user data file made at the first start.
#include "TestData.h"
#include "TestServices.h"
#include "store/DataLocation.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class tst_DataLocation : public QObject {
    Q_OBJECT
private slots:
    void resolutionOrder_data();
    void resolutionOrder();
};

void tst_DataLocation::resolutionOrder_data() {
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

void tst_DataLocation::resolutionOrder() {
    QFETCH(QString, option);
    QFETCH(bool, env);
    QFETCH(bool, portable);
    QFETCH(QByteArray, user);
    QFETCH(bool, shipped);
    QFETCH(bool, blocked);
    QFETCH(QString, expected);
    QFETCH(bool, created);

    TestServices t = TestServices::install();
    auto folder = std::make_unique<TestProgramFolder>();
    QVERIFY(folder->isValid());
    const QString root = QFileInfo(folder->tempPath()).absolutePath();
    const QString sys = folder->path() + u"/sys/"_s;
    const QString empty = sys + u"db1.empty"_s;
    QVERIFY(QFile::copy(folder->dbPath(), empty));
    const QByteArray emptyBytes = readBytes(empty);
    if (!shipped)
        QVERIFY(QFile::remove(empty));
    if (!portable)
        QVERIFY(QFile::remove(folder->dbPath()));
    const QString given = root + u"/chosen.db"_s;
    const QString fromEnv = root + u"/env.db"_s;
    QVERIFY(writeBytes(given, "given") && writeBytes(fromEnv, "env"));
    if (env)
        qputenv("TOVAKI_DB", fromEnv.toLocal8Bit());
    if (blocked) {
        QVERIFY(writeBytes(root + u"/file"_s, "x"));
        qputenv("XDG_DATA_HOME", (root + u"/file/share"_s).toLocal8Bit());
    }
    const QString userFolder =
        blocked ? root + u"/file/share/Quillo-soft/tovaki"_s : root + u"/home/Quillo-soft/tovaki"_s;
    const QString userFile = userFolder + u"/db1"_s;
    if (!user.isEmpty())
        QVERIFY(QDir().mkpath(userFolder) && writeBytes(userFile, user));
    const QString optionPath = option == u"given"_s     ? given
                               : option == u"missing"_s ? root + u"/none.db"_s
                                                        : QString();
    QString found;
    const bool ok = gResolveDataFile(optionPath, folder->path(), folder->path(), &found);
    qunsetenv("TOVAKI_DB");

    const QMap<QString, QString> paths = {{u"given"_s, given},
                                          {u"env"_s, fromEnv},
                                          {u"portable"_s, sys + u"db1"_s},
                                          {u"user"_s, userFile}};
    QCOMPARE(ok, !expected.isEmpty());
    if (ok) {
        QCOMPARE(found, paths.value(expected));
        QVERIFY(t.prompt->shown.isEmpty());
    } else {
        // One message, naming what is wrong.
        QCOMPARE(t.prompt->texts().size(), 1);
        const QString named = blocked ? userFolder : optionPath;
        QVERIFY2(t.prompt->texts().at(0).contains(QDir::toNativeSeparators(named)),
                 qPrintable(t.prompt->texts().at(0)));
        QVERIFY(!QFileInfo::exists(optionPath));
    }
    // The per-user folder exists only when it held a file before or one was made in it.
    QCOMPARE(QFileInfo::exists(userFolder), !user.isEmpty() || created);
    if (!user.isEmpty())
        QCOMPARE(readBytes(userFile), user); // never replaced
    if (created) {
        QCOMPARE(readBytes(userFile), emptyBytes);
        QCOMPARE(QFile::permissions(userFile) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QDir(userFolder).entryList(QDir::Files), QStringList{u"db1"_s});
    }
}

QTEST_GUILESS_MAIN(tst_DataLocation)
#include "tst_DataLocation.moc"
