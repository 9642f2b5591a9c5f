#include "TestData.h"
#include "TestServices.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_FileHelpers : public DataFileTest {
    Q_OBJECT
private slots:
    void uniqueName_data();
    void uniqueName();
    void existsAndSpace();
    void copyFailureKeepsTarget_data();
    void copyFailureKeepsTarget();
};

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
    QTemporaryDir work;
    const QString dir = work.path();
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
    QTemporaryDir work;
    const QString dir = work.path();
    QVERIFY(QDir(dir).mkpath(u"full/inner"_s) && QDir(dir).mkpath(u"empty/inner"_s));
    QVERIFY(writeBytes(dir + u"/full/a.tvk"_s, "x"));
    QVERIFY(gChkFolderExist(dir + u"/full\\"_s) && gChkFolderExist(u"/"_s));
    QVERIFY(!gChkFolderExist(dir + u"/full/a.tvk"_s) && !gChkFolderExist(u"  "_s));
    QVERIFY(gChkFileExist(dir + u"/full/a.tvk"_s) && gChkFileExist(dir + u"/full/*.tvk"_s));
    QVERIFY(!gChkFileExist(dir + u"/full"_s) && !gChkFileExist(dir + u"/empty/*"_s));
    bool enough = true;
    QVERIFY(gChkDriveSpace(dir, 1e18, enough));
    QVERIFY(!enough);
    double bytes = -1;
    QVERIFY(!gGetDriveFreeSpace(dir + u"/no/such/folder"_s, bytes));
    QCOMPARE(bytes, -1.0);
    QVERIFY(m_folder->errorLogProcedures().contains(u"gGetDriveFreeSpace"_s));
    // Others write to the same disk (the other platform's tests run beside these): try until the
    // free space holds still across one check.
    bool checked = false;
    for (int attempt = 0; attempt < 200 && !checked; ++attempt) {
        double before = 0, after = 0;
        QVERIFY(gGetDriveFreeSpace(dir, before));
        QVERIFY(gChkDriveSpace(dir, before, enough));
        QVERIFY(gGetDriveFreeSpace(dir, after));
        checked = before == after;
        QVERIFY(!checked || enough); // equal is enough
        if (!checked)
            QTest::qWait(10);
    }
    if (!checked)
        QSKIP("the disk's free space never held still across one check");
}

void tst_FileHelpers::copyFailureKeepsTarget_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::newRow("missing source") << u"missing.bin"_s << u"target.bin"_s;
    QTest::newRow("missing target folder") << u"source.bin"_s << u"missing/target.bin"_s;
}

void tst_FileHelpers::copyFailureKeepsTarget() {
    QFETCH(QString, source);
    QFETCH(QString, target);
    QTemporaryDir work;
    const QString dir = work.path();
    QVERIFY(writeBytes(dir + u"/source.bin"_s, "new") && writeBytes(dir + u"/target.bin"_s, "old"));
    QVERIFY(!gCopyFile(dir + u'/' + source, dir + u'/' + target));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"gCopyFile"_s});
    QCOMPARE(readBytes(dir + u"/target.bin"_s), QByteArray("old"));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"source.bin"_s, u"target.bin"_s}));
}

QTEST_GUILESS_MAIN(tst_FileHelpers)
#include "tst_FileHelpers.moc"
