#include "TestData.h"
#include "TestServices.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class tst_FileHelpers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void names();
    void uniqueName_data();
    void uniqueName();
    void existsAndSpace();
    void copyFile_data();
    void copyFile();
    void copyFailureKeepsTarget_data();
    void copyFailureKeepsTarget();
    void desktopDialogsShellAndPause();
    void registry();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_work;
    QTemporaryDir m_settingsDir;
    TestServices m_services{};
};

void tst_FileHelpers::initTestCase() {
    // Machine-wide values go to a throw-away place, never to the user's own settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_FileHelpers::init() {
    m_services = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    m_work = std::make_unique<QTemporaryDir>();
}

void tst_FileHelpers::cleanup() {
    m_work.reset();
    m_folder.reset();
}

void tst_FileHelpers::names() {
    QCOMPARE(gGetFileExtension(u"archive.tar.gz"_s) + gGetFileTitle(u"archive.tar.gz"_s),
             u"gzarchive.tar"_s);
    QCOMPARE(gGetFileExtension(u"/tmp/dir.d/notes"_s) + gGetFileTitle(u"/tmp/dir.d/notes"_s),
             u"/tmp/dir.d/notes"_s);
    QCOMPARE(gGetFileTitle(u"notes."_s), u"notes"_s);
    QCOMPARE(gRemoveBackSlash(u"/tmp/x//"_s) + gRemoveBackSlash(u"C:\\x\\"_s), u"/tmp/x/C:\\x"_s);
    QCOMPARE(gGetWeekJapanese(QDate(2024, 3, 3)) + gGetWeekJapanese(QDate(2024, 3, 9)),
             u"日曜日土曜日"_s);
    QString out;
    QVERIFY(gDateToFileName(u"2024/3/5 9:05:59"_s, out));
    QCOMPARE(out, u"2024年03月05日 火曜日 09時05分"_s);
    QVERIFY(gDateToFileName(u"2024-02-29 23:59:00"_s, out));
    QCOMPARE(out, u"2024年02月29日 木曜日 23時59分"_s);
    QVERIFY(!gDateToFileName(u"2023/02/29 10:00:00"_s, out));
    QCOMPARE(out, u"2024年02月29日 木曜日 23時59分"_s);
    QCOMPARE(gGetWeekJapanese(QDate()), QString());
    QVERIFY(m_folder->errorLogProcedures().contains(u"gGetWeekJapanese"_s));
}

void tst_FileHelpers::uniqueName_data() {
    QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("expected");
    QTest::newRow("taken twice") << QStringList{u"b.tvk"_s, u"b(2).tvk"_s} << u"b.tvk"_s
                                 << u"b(3).tvk"_s;
    QTest::newRow("gap is reused")
        << QStringList{u"b.tvk"_s, u"b(3).tvk"_s} << u"b.tvk"_s << u"b(2).tvk"_s;
    QTest::newRow("a folder of that name, no extension")
        << QStringList{u"notes/"_s} << u"notes"_s << u"notes(2)"_s;
    QTest::newRow("path given: name only used")
        << QStringList{u"b.tvk"_s} << u"/elsewhere/b.tvk"_s << u"b(2).tvk"_s;
}

void tst_FileHelpers::uniqueName() {
    QFETCH(QStringList, files);
    QFETCH(QString, requested);
    QFETCH(QString, expected);
    const QString dir = m_work->path();
    for (const QString& f : files)
        QVERIFY(f.endsWith(u'/') ? QDir(dir).mkdir(f) : writeBytes(dir + u'/' + f, "x"));
    QVERIFY(QFile::link(dir + u"/gone.tvk"_s, dir + u"/a.tvk"_s)); // a dangling link is taken
    QString out;
    QVERIFY(gGetUniqueFName(dir + u'/', requested, out));
    QCOMPARE(out, expected);
    QVERIFY(gGetUniqueFName(dir, u"a.tvk"_s, out));
    QCOMPARE(out, u"a(2).tvk"_s);
    QVERIFY(!gGetUniqueFName(dir + u"/missing"_s, u"b.tvk"_s, out));
    QCOMPARE(out, u"a(2).tvk"_s);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"gGetUniqueFName"_s});
}

void tst_FileHelpers::existsAndSpace() {
    const QString dir = m_work->path();
    QVERIFY(QDir(dir).mkpath(u"full/inner"_s) && QDir(dir).mkpath(u"empty/inner"_s));
    QVERIFY(writeBytes(dir + u"/full/a.tvk"_s, "x"));
    QVERIFY(gChkFolderExist(dir + u"/full\\"_s) && gChkFolderExist(u"/"_s));
    QVERIFY(!gChkFolderExist(dir + u"/full/a.tvk"_s) && !gChkFolderExist(u"  "_s));
    QVERIFY(gChkFileExist(dir + u"/full/a.tvk"_s) && gChkFileExist(dir + u"/full/*.tvk"_s));
    QVERIFY(!gChkFileExist(dir + u"/full"_s) && !gChkFileExist(dir + u"/empty/*"_s));
    // Others write to the same disk: try until the free space holds still across one check.
    bool enough = false, checked = false;
    for (int attempt = 0; attempt < 20 && !checked; ++attempt) {
        double before = 0, after = 0;
        QVERIFY(gGetDriveFreeSpace(dir, before));
        QVERIFY(gChkDriveSpace(dir, before, enough));
        QVERIFY(gGetDriveFreeSpace(dir, after));
        checked = before == after;
        QVERIFY(!checked || enough); // equal is enough
    }
    QVERIFY(checked);
    QVERIFY(gChkDriveSpace(dir, 1e18, enough));
    QVERIFY(!enough);
    double bytes = -1;
    QVERIFY(!gGetDriveFreeSpace(dir + u"/no/such/folder"_s, bytes));
    QCOMPARE(bytes, -1.0);
    QVERIFY(m_folder->errorLogProcedures().contains(u"gGetDriveFreeSpace"_s));
}

void tst_FileHelpers::copyFile_data() {
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<int>("size");
    QTest::newRow("replaces an existing target, empty") << true << 0;
    QTest::newRow("several chunks") << false << 3 * 1024 * 1024 + 17;
}

void tst_FileHelpers::copyFile() {
    QFETCH(bool, targetExists);
    QFETCH(int, size);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const QString source = m_folder->dbPath();
    QVERIFY(writeBytes(source, bytes));
    QVERIFY(QDir(m_work->path()).mkdir(u"to"_s));
    const QString target = m_work->path() + u"/to/copy.tvk"_s;
    if (targetExists)
        QVERIFY(writeBytes(target, "old backup"));
    QVERIFY(gCopyFile(source + u'/', target)); // a trailing separator is dropped
    QCOMPARE(readBytes(target), bytes);
    QCOMPARE(QDir(m_work->path() + u"/to"_s).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"copy.tvk"_s});
    QCOMPARE(QFileInfo(target).permissions(), QFileInfo(source).permissions());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_FileHelpers::copyFailureKeepsTarget_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::newRow("missing source") << u"missing.bin"_s << u"target.bin"_s;
    QTest::newRow("source is a folder") << QString() << u"target.bin"_s;
    QTest::newRow("missing target folder") << u"source.bin"_s << u"missing/target.bin"_s;
}

void tst_FileHelpers::copyFailureKeepsTarget() {
    QFETCH(QString, source);
    QFETCH(QString, target);
    const QString dir = m_work->path();
    QVERIFY(writeBytes(dir + u"/source.bin"_s, "new") && writeBytes(dir + u"/target.bin"_s, "old"));
    QVERIFY(!gCopyFile(dir + u'/' + source, dir + u'/' + target));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"gCopyFile"_s});
    QCOMPARE(readBytes(dir + u"/target.bin"_s), QByteArray("old"));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"source.bin"_s, u"target.bin"_s}));
}

void tst_FileHelpers::desktopDialogsShellAndPause() {
    const QByteArray oldHome = qgetenv("HOME");
    const QString home = m_work->path() + u"/home"_s;
    QVERIFY(QDir().mkpath(home + u"/config"_s));
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + u"/config"_s).toLocal8Bit());
    QString withoutDesktop, withDesktop;
    const bool ok = gGetDesktopPath(withoutDesktop) && QDir(home).mkdir(u"Desktop"_s) &&
                    gGetDesktopPath(withDesktop);
    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(ok);
    QCOMPARE(withoutDesktop, QFileInfo(home).canonicalFilePath()); // no desktop: home
    QCOMPARE(withDesktop, QFileInfo(home + u"/Desktop"_s).canonicalFilePath());

    m_services.dialogs->folders << u"/media/usb"_s;
    QCOMPARE(gGetOpenFileName(u"復元"_s, QString()), QString());
    QCOMPARE(gBrowseForFolder(u"保存先"_s, u"/desk"_s), u"/media/usb"_s);
    QCOMPARE(m_services.dialogs->startDirs, (QStringList{QDir::currentPath(), u"/desk"_s}));
    QVERIFY(m_services.dialogs->filters.value(0).startsWith(u"全てのﾌｧｲﾙ"_s));

    QVERIFY(!gShellOpen(u"  "_s));
    m_services.shell->result = false;
    QVERIFY(!gShellOpen(u"/tmp/file.unknown"_s));
    QCOMPARE(m_services.shell->opened, QStringList{u"/tmp/file.unknown"_s});
    QVERIFY(gProcTune(0));
    QVERIFY(!gProcTune(-1));
    QCOMPARE(m_services.process->pauses, QList<int>{0});
    QVERIFY(m_folder->errorLog().contains(u"gProcTune"_s));
}

void tst_FileHelpers::registry() {
    const QString name = u"DataGridOffSet"_s;
    QVERIFY(gRegWrite(name, 1, u"   "_s)); // blank text is stored as one space, read as ""
    QCOMPARE(QSettings(u"Quillo-soft"_s, u"tovaki"_s).value(name).toString(), u" "_s);
    QCOMPARE(gRegRead(name, 1, u"default"_s), QVariant(QString()));
    QVERIFY(gRegWrite(name, 4, u"-84"_s));
    QCOMPARE(gRegRead(name, 4, 0).toInt(), -84);
    QCOMPARE(gRegRead(u"NoSuchValue"_s, 4, 99), QVariant(99));
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(!gRegWrite(name, 4, u"wide"_s));
    QVERIFY(!gRegWrite(name, 4, qint64(1) << 33));
    QVERIFY(!gRegWrite(name, 2, 5));
    QVERIFY(!gRegWrite(QString(), 1, u"x"_s));
    QCOMPARE(gRegRead(name, 4, 0).toInt(), -84);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList(4, u"gRegWrite"_s));
    QVERIFY(gRegWrite(u"Other"_s, 1, u"abc"_s)); // a text where a number is expected
    QCOMPARE(gRegRead(u"Other"_s, 4, 7).toInt(), 7);
}

QTEST_GUILESS_MAIN(tst_FileHelpers)
#include "tst_FileHelpers.moc"
