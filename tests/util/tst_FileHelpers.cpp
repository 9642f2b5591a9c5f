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

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Records what the file-open dialog was asked.
class CapturingDialogs : public DialogService {
public:
    QString answer;
    QString caption, startDir, filter;
    QString chooseFolder(const QString& c, const QString& d) override {
        caption = c;
        startDir = d;
        return answer;
    }
    QString chooseOpenFile(const QString& c, const QString& d, const QString& f) override {
        caption = c;
        startDir = d;
        filter = f;
        return answer;
    }
};

} // namespace

class tst_FileHelpers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void extensionAndTitle_data();
    void extensionAndTitle();
    void removeBackSlash_data();
    void removeBackSlash();
    void uniqueName_data();
    void uniqueName();
    void uniqueNameNeedsFolder();
    void folderExists_data();
    void folderExists();
    void fileExists_data();
    void fileExists();
    void driveSpaceEqualIsEnough();
    void driveSpaceOfMissingPath();
    void copyFile_data();
    void copyFile();
    void copyFailureKeepsTarget_data();
    void copyFailureKeepsTarget();
    void weekdayNames_data();
    void weekdayNames();
    void dateToFileName_data();
    void dateToFileName();
    void desktopFallsBackToHome();
    void dialogs();
    void shellOpen();
    void procTune();
    void registryValues_data();
    void registryValues();
    void registryRefusals();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_work;
    QTemporaryDir m_settingsDir;
    TestServices m_services{};
};

void tst_FileHelpers::initTestCase() {
    // Machine-wide values go to a throw-away place, never to the user's own settings.
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_FileHelpers::init() {
    m_services = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
}

void tst_FileHelpers::cleanup() {
    m_work.reset();
    m_folder.reset();
}

void tst_FileHelpers::extensionAndTitle_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << u"backup.tvk"_s << u"tvk"_s << u"backup"_s;
    QTest::newRow("two dots") << u"archive.tar.gz"_s << u"gz"_s << u"archive.tar"_s;
    QTest::newRow("no dot") << u"notes"_s << QString() << u"notes"_s;
    QTest::newRow("trailing dot") << u"notes."_s << QString() << u"notes"_s;
    QTest::newRow("dot in the folder only")
        << u"/tmp/dir.d/notes"_s << QString() << u"/tmp/dir.d/notes"_s;
    QTest::newRow("windows path") << u"C:\\data.x\\file.tvk"_s << u"tvk"_s << u"C:\\data.x\\file"_s;
    QTest::newRow("japanese") << u"2024年03月05日 火曜日 10時15分.tvk"_s << u"tvk"_s
                              << u"2024年03月05日 火曜日 10時15分"_s;
    QTest::newRow("empty") << QString() << QString() << QString();
}

void tst_FileHelpers::extensionAndTitle() {
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, title);
    QCOMPARE(gGetFileExtension(name), extension);
    QCOMPARE(gGetFileTitle(name), title);
}

void tst_FileHelpers::removeBackSlash_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("slash") << u"/tmp/x/"_s << u"/tmp/x"_s;
    QTest::newRow("backslash") << u"C:\\x\\"_s << u"C:\\x"_s;
    QTest::newRow("only one removed") << u"/tmp/x//"_s << u"/tmp/x/"_s;
    QTest::newRow("none") << u"/tmp/x"_s << u"/tmp/x"_s;
    QTest::newRow("empty") << QString() << QString();
}

void tst_FileHelpers::removeBackSlash() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(gRemoveBackSlash(path), expected);
}

void tst_FileHelpers::uniqueName_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{u"other.tvk"_s} << QStringList() << u"b.tvk"_s
                          << u"b.tvk"_s;
    QTest::newRow("taken once") << QStringList{u"b.tvk"_s} << QStringList() << u"b.tvk"_s
                                << u"b(2).tvk"_s;
    QTest::newRow("taken twice") << QStringList{u"b.tvk"_s, u"b(2).tvk"_s} << QStringList()
                                 << u"b.tvk"_s << u"b(3).tvk"_s;
    QTest::newRow("gap is reused")
        << QStringList{u"b.tvk"_s, u"b(3).tvk"_s} << QStringList() << u"b.tvk"_s << u"b(2).tvk"_s;
    QTest::newRow("a folder of that name")
        << QStringList() << QStringList{u"b.tvk"_s} << u"b.tvk"_s << u"b(2).tvk"_s;
    QTest::newRow("no extension") << QStringList{u"notes"_s} << QStringList() << u"notes"_s
                                  << u"notes(2)"_s;
    QTest::newRow("path given: name only used")
        << QStringList{u"b.tvk"_s} << QStringList() << u"/elsewhere/b.tvk"_s << u"b(2).tvk"_s;
    QTest::newRow("backup name") << QStringList{u"2024年03月05日 火曜日 10時15分.tvk"_s}
                                 << QStringList() << u"2024年03月05日 火曜日 10時15分.tvk"_s
                                 << u"2024年03月05日 火曜日 10時15分(2).tvk"_s;
}

void tst_FileHelpers::uniqueName() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, requested);
    QFETCH(QString, expected);
    const QString dir = m_work->path();
    for (const QString& f : files)
        QVERIFY(writeFile(dir + u'/' + f, "x"));
    for (const QString& f : folders)
        QVERIFY(QDir(dir).mkdir(f));
    QString out;
    QVERIFY(gGetUniqueFName(dir, requested, out));
    QCOMPARE(out, expected);
    QVERIFY(!QFileInfo::exists(dir + u'/' + out));
    // With a trailing separator the folder is the same.
    QVERIFY(gGetUniqueFName(dir + u'/', requested, out));
    QCOMPARE(out, expected);
}

void tst_FileHelpers::uniqueNameNeedsFolder() {
    QString out = u"kept"_s;
    QVERIFY(!gGetUniqueFName(m_work->path() + u"/missing"_s, u"b.tvk"_s, out));
    QCOMPARE(out, u"kept"_s);
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"gGetUniqueFName"_s));
    QVERIFY(m_folder->errorLog().contains(u"ディレクトリが存在しませんでした。"_s));
    // A dangling link is not a free name either.
    const QString dir = m_work->path();
    QVERIFY(QFile::link(dir + u"/gone.tvk"_s, dir + u"/b.tvk"_s));
    QVERIFY(gGetUniqueFName(dir, u"b.tvk"_s, out));
    QCOMPARE(out, u"b(2).tvk"_s);
}

void tst_FileHelpers::folderExists_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("exists");
    QTest::newRow("folder") << u"sub"_s << true;
    QTest::newRow("folder with slash") << u"sub/"_s << true;
    QTest::newRow("folder with backslash") << u"sub\\"_s << true;
    QTest::newRow("missing") << u"nothing"_s << false;
    QTest::newRow("a file") << u"file.txt"_s << false;
    QTest::newRow("blank") << u"<blank>"_s << false;
    QTest::newRow("drive A") << u"<A:>"_s << false;
    QTest::newRow("root") << u"</>"_s << true;
}

void tst_FileHelpers::folderExists() {
    QFETCH(QString, relative);
    QFETCH(bool, exists);
    QVERIFY(QDir(m_work->path()).mkdir(u"sub"_s));
    QVERIFY(writeFile(m_work->path() + u"/file.txt"_s, "x"));
    QString path = m_work->path() + u'/' + relative;
    if (relative == u"<blank>"_s)
        path = u"  "_s;
    else if (relative == u"<A:>"_s)
        path = u"A:"_s;
    else if (relative == u"</>"_s)
        path = u"/"_s;
    QCOMPARE(gChkFolderExist(path), exists);
}

void tst_FileHelpers::fileExists_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("exists");
    QTest::newRow("file") << u"full/a.tvk"_s << true;
    QTest::newRow("missing") << u"full/b.tvk"_s << false;
    QTest::newRow("folder") << u"full"_s << false;
    QTest::newRow("any file of a folder") << u"full/*"_s << true;
    QTest::newRow("pattern") << u"full/*.tvk"_s << true;
    QTest::newRow("pattern without match") << u"full/*.xlsx"_s << false;
    QTest::newRow("empty folder") << u"empty/*"_s << false;
    QTest::newRow("blank") << u"<blank>"_s << false;
}

void tst_FileHelpers::fileExists() {
    QFETCH(QString, relative);
    QFETCH(bool, exists);
    QVERIFY(QDir(m_work->path()).mkpath(u"full/inner"_s));
    QVERIFY(QDir(m_work->path()).mkdir(u"empty"_s));
    QVERIFY(QDir(m_work->path()).mkpath(u"empty/inner"_s));
    QVERIFY(writeFile(m_work->path() + u"/full/a.tvk"_s, "x"));
    const QString path = relative == u"<blank>"_s ? u" "_s : m_work->path() + u'/' + relative;
    QCOMPARE(gChkFileExist(path), exists);
}

void tst_FileHelpers::driveSpaceEqualIsEnough() {
    const QString dir = m_work->path();
    bool enough = false;
    QVERIFY(gChkDriveSpace(dir, 0, enough));
    QVERIFY(enough);
    QVERIFY(gChkDriveSpace(dir, 1e18, enough));
    QVERIFY(!enough);
    // Others write to the same disk: try until the free space holds still across one check.
    bool checked = false;
    for (int attempt = 0; attempt < 20 && !checked; ++attempt) {
        double before = 0, after = 0;
        QVERIFY(gGetDriveFreeSpace(dir, before));
        QVERIFY(gChkDriveSpace(dir, before, enough));
        QVERIFY(gGetDriveFreeSpace(dir, after));
        if (before == after) {
            QVERIFY(enough);
            bool more = true;
            QVERIFY(gChkDriveSpace(dir, before + 1e9, more));
            QVERIFY(!more);
            checked = true;
        }
    }
    QVERIFY(checked);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_FileHelpers::driveSpaceOfMissingPath() {
    double bytes = -1;
    QVERIFY(!gGetDriveFreeSpace(m_work->path() + u"/no/such/folder"_s, bytes));
    QCOMPARE(bytes, -1.0);
    bool enough = true;
    QVERIFY(!gChkDriveSpace(QString(), 1, enough));
    QVERIFY(enough);
    QCOMPARE(m_folder->errorLogEntries(), 2);
    QVERIFY(m_folder->errorLog().contains(u"gGetDriveFreeSpace"_s));
}

void tst_FileHelpers::copyFile_data() {
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("trailingSeparator");
    QTest::addColumn<int>("size");
    QTest::newRow("new target") << false << false << 1000;
    QTest::newRow("replaces an existing target") << true << false << 1000;
    QTest::newRow("source with trailing separator") << false << true << 10;
    QTest::newRow("empty file") << false << false << 0;
    QTest::newRow("several chunks") << false << false << 3 * 1024 * 1024 + 17;
}

void tst_FileHelpers::copyFile() {
    QFETCH(bool, targetExists);
    QFETCH(bool, trailingSeparator);
    QFETCH(int, size);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const QString source = m_folder->dbPath();
    QVERIFY(writeFile(source, bytes));
    QVERIFY(QDir(m_work->path()).mkdir(u"to"_s));
    const QString target = m_work->path() + u"/to/copy.tvk"_s;
    if (targetExists)
        QVERIFY(writeFile(target, "old backup"));
    QVERIFY(gCopyFile(trailingSeparator ? source + u'/' : source, target));
    QCOMPARE(readFile(target), bytes);
    QCOMPARE(readFile(source), bytes);
    QCOMPARE(QDir(m_work->path() + u"/to"_s).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"copy.tvk"_s});
    QCOMPARE(QFileInfo(target).permissions(), QFileInfo(source).permissions());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_FileHelpers::copyFailureKeepsTarget_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing source") << u"source"_s;
    QTest::newRow("source is a folder") << u"folder"_s;
    QTest::newRow("missing target folder") << u"target"_s;
}

void tst_FileHelpers::copyFailureKeepsTarget() {
    QFETCH(QString, cause);
    const QString dir = m_work->path();
    QVERIFY(writeFile(dir + u"/source.bin"_s, "new"));
    QVERIFY(writeFile(dir + u"/target.bin"_s, "old"));
    QString source = dir + u"/source.bin"_s;
    QString target = dir + u"/target.bin"_s;
    if (cause == u"source"_s)
        source = dir + u"/missing.bin"_s;
    else if (cause == u"folder"_s)
        source = dir;
    else
        target = dir + u"/missing/target.bin"_s;
    QVERIFY(!gCopyFile(source, target));
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"gCopyFile"_s));
    QCOMPARE(readFile(dir + u"/target.bin"_s), QByteArray("old"));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"source.bin"_s, u"target.bin"_s}));
}

void tst_FileHelpers::weekdayNames_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("sunday") << QDate(2024, 3, 3) << u"日曜日"_s;
    QTest::newRow("saturday") << QDate(2024, 3, 9) << u"土曜日"_s;
    QTest::newRow("leap day") << QDate(2024, 2, 29) << u"木曜日"_s;
    QTest::newRow("invalid") << QDate() << QString();
}

void tst_FileHelpers::weekdayNames() {
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(gGetWeekJapanese(date), name);
    QCOMPARE(m_folder->errorLog().contains(u"gGetWeekJapanese"_s), !date.isValid());
}

void tst_FileHelpers::dateToFileName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("expected");
    QTest::newRow("backup time") << u"2024/03/05 10:15:00"_s << true
                                 << u"2024年03月05日 火曜日 10時15分"_s;
    QTest::newRow("afternoon") << u"2024/03/05 22:07:59"_s << true
                               << u"2024年03月05日 火曜日 22時07分"_s;
    QTest::newRow("short fields") << u"2024/3/5 9:05:00"_s << true
                                  << u"2024年03月05日 火曜日 09時05分"_s;
    QTest::newRow("date only") << u"2024/03/05"_s << true << u"2024年03月05日 火曜日 00時00分"_s;
    QTest::newRow("stored form") << u"2024-02-29 23:59:00"_s << true
                                 << u"2024年02月29日 木曜日 23時59分"_s;
    QTest::newRow("no such day") << u"2023/02/29 10:00:00"_s << false << QString();
    QTest::newRow("not a date") << u"明日"_s << false << QString();
    QTest::newRow("empty") << QString() << false << QString();
}

void tst_FileHelpers::dateToFileName() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, expected);
    QString out = u"kept"_s;
    QCOMPARE(gDateToFileName(text, out), ok);
    QCOMPARE(out, ok ? expected : u"kept"_s);
}

void tst_FileHelpers::desktopFallsBackToHome() {
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QString home = m_work->path() + u"/home"_s;
    QVERIFY(QDir().mkpath(home + u"/config"_s));
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + u"/config"_s).toLocal8Bit());
    QString path;
    const bool noDesktop = gGetDesktopPath(path);
    const QString withoutDesktop = path;
    QVERIFY(QDir(home).mkdir(u"Desktop"_s));
    const bool withDesktop = gGetDesktopPath(path);
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    QVERIFY(noDesktop);
    QCOMPARE(withoutDesktop, QFileInfo(home).canonicalFilePath());
    QVERIFY(withDesktop);
    QCOMPARE(path, QFileInfo(home + u"/Desktop"_s).canonicalFilePath());
}

void tst_FileHelpers::dialogs() {
    auto* dialogs = new CapturingDialogs;
    svc().setDialogs(std::unique_ptr<DialogService>(dialogs));
    QCOMPARE(gGetOpenFileName(u"復元"_s, QString()), QString());
    QCOMPARE(dialogs->startDir, QDir::currentPath());
    QVERIFY(dialogs->filter.startsWith(u"全てのﾌｧｲﾙ"_s));
    QVERIFY(dialogs->filter.contains(u"ﾋﾞｯﾄﾏｯﾌﾟ"_s));
    QVERIFY(dialogs->filter.contains(u"ﾃｷｽﾄﾌｧｲﾙ"_s));
    dialogs->answer = u"/x/backup.tvk"_s;
    QCOMPARE(
        gGetOpenFileName(u"復元"_s, u"tovakiバックアップファイル(*.TVK) (*.tvk)"_s, u"/desk"_s),
        u"/x/backup.tvk"_s);
    QCOMPARE(dialogs->filter, u"tovakiバックアップファイル(*.TVK) (*.tvk)"_s);
    QCOMPARE(dialogs->startDir, u"/desk"_s);
    dialogs->answer.clear();
    QCOMPARE(gBrowseForFolder(u"保存先"_s, u"/desk"_s), QString());
    dialogs->answer = u"/media/usb"_s;
    QCOMPARE(gBrowseForFolder(u"保存先"_s), u"/media/usb"_s);
    QCOMPARE(dialogs->caption, u"保存先"_s);
}

void tst_FileHelpers::shellOpen() {
    QVERIFY(gShellOpen(u"/tmp/report.xlsx"_s));
    m_services.shell->result = false;
    QVERIFY(!gShellOpen(u"/tmp/file.unknown"_s));
    QVERIFY(!gShellOpen(u"  "_s));
    QCOMPARE(m_services.shell->opened,
             (QStringList{u"/tmp/report.xlsx"_s, u"/tmp/file.unknown"_s}));
}

void tst_FileHelpers::procTune() {
    QVERIFY(gProcTune(100));
    QVERIFY(gProcTune(0));
    QVERIFY(!gProcTune(-1));
    QCOMPARE(m_services.process->pauses, (QList<int>{100, 0}));
    QVERIFY(m_folder->errorLog().contains(u"gProcTune"_s));
}

void tst_FileHelpers::registryValues_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("readBack");
    QTest::newRow("text with spaces")
        << 1 << QVariant(u" a b "_s) << QVariant(u" a b "_s) << QVariant(u" a b "_s);
    QTest::newRow("empty text") << 1 << QVariant(QString()) << QVariant(u" "_s)
                                << QVariant(QString());
    QTest::newRow("blank text") << 1 << QVariant(u"   "_s) << QVariant(u" "_s)
                                << QVariant(QString());
    QTest::newRow("null text") << 1 << QVariant() << QVariant(u" "_s) << QVariant(QString());
    QTest::newRow("offset") << 4 << QVariant(-84) << QVariant(-84) << QVariant(-84);
    QTest::newRow("zero") << 4 << QVariant(0) << QVariant(0) << QVariant(0);
    QTest::newRow("number as text") << 4 << QVariant(u"12"_s) << QVariant(12) << QVariant(12);
}

void tst_FileHelpers::registryValues() {
    QFETCH(int, kind);
    QFETCH(QVariant, written);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, readBack);
    QVERIFY(gRegWrite(u"DataGridOffSet"_s, kind, written));
    {
        QSettings raw(u"Quillo-soft"_s, u"tovaki"_s);
        QCOMPARE(raw.value(u"DataGridOffSet"_s).toString(), stored.toString());
    }
    const QVariant defaultValue = kind == 1 ? QVariant(u"default"_s) : QVariant(99);
    const QVariant v = gRegRead(u"DataGridOffSet"_s, kind, defaultValue);
    QCOMPARE(v.toString(), readBack.toString());
    if (kind == 4)
        QCOMPARE(v.toInt(), readBack.toInt());
    QCOMPARE(gRegRead(u"NoSuchValue"_s, kind, defaultValue), defaultValue);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_FileHelpers::registryRefusals() {
    QVERIFY(gRegWrite(u"DataGridOffSet"_s, 4, 30));
    QVERIFY(!gRegWrite(u"DataGridOffSet"_s, 4, u"wide"_s));
    QVERIFY(!gRegWrite(u"DataGridOffSet"_s, 4, qint64(1) << 33));
    QVERIFY(!gRegWrite(u"DataGridOffSet"_s, 2, 5));
    QVERIFY(!gRegWrite(QString(), 1, u"x"_s));
    QCOMPARE(gRegRead(u"DataGridOffSet"_s, 4, 0).toInt(), 30);
    QCOMPARE(m_folder->errorLogEntries(), 4);
    QVERIFY(m_folder->errorLog().contains(u"gRegWrite"_s));
    // A text where a number is expected reads as the default.
    QVERIFY(gRegWrite(u"Other"_s, 1, u"abc"_s));
    QCOMPARE(gRegRead(u"Other"_s, 4, 7).toInt(), 7);
}

QTEST_GUILESS_MAIN(tst_FileHelpers)
#include "tst_FileHelpers.moc"
