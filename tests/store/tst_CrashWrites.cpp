// Kills a writing program at random moments and checks that every write it acknowledged is in
// the file afterwards. Bounded: about twenty kills within a few seconds.
#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class tst_CrashWrites : public QObject {
    Q_OBJECT
private slots:
    void acknowledgedWritesSurviveKills();
};

void tst_CrashWrites::acknowledgedWritesSurviveKills() {
    TestServices::install();
    TestProgramFolder folder;
    QVERIFY(folder.isValid());
    QRandomGenerator gen(20240101);
    qint64 acknowledged = 0;
    for (int kill = 0; kill < 20; ++kill) {
        QProcess writer;
        writer.start(QStringLiteral(TOVAKI_TEST_WRITER), {folder.dbPath(), u"nolock"_s, u"0"_s});
        QVERIFY(writer.waitForStarted());
        QTest::qWait(int(gen.bounded(40, 200)));
        writer.kill();
        QVERIFY(writer.waitForFinished());
        const QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
        for (const QByteArray& l : lines) {
            bool number = false;
            const qint64 id = l.trimmed().toLongLong(&number);
            if (number)
                acknowledged = qMax(acknowledged, id);
        }
        // Every id up to the last acknowledged one is there, and the file opens cleanly.
        QVERIFY(DbInit(folder.dbPath()));
        ResultSet rs(gdbData());
        QVERIFY(
            rs.openRecordSet(u"SELECT count(*) FROM T_DATA1 WHERE lngID <= ?"_s, {acknowledged}));
        QCOMPARE(rs.value(0).toLongLong(), acknowledged);
        DbClose();
    }
    QVERIFY2(acknowledged > 20, "the writer never got to write");
}

QTEST_GUILESS_MAIN(tst_CrashWrites)
#include "tst_CrashWrites.moc"
