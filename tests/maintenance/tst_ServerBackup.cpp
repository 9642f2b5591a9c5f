// The backup window on books kept on a server: the backup is written as a backup file and the
// program stays on the server; a restore is refused without changing the books.
#include "TestData.h"
#include "TestServices.h"

#include "app/frmMenu.h"
#include "base/Globals.h"
#include "maintenance/frmBackup.h"
#include "store/DataFile.h"
#include "store/Database.h"

#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ServerBackup : public DataFileTest {
    Q_OBJECT
private slots:
    void backupIsWrittenAndRestoreRefused();
    void cleanup();
};

void tst_ServerBackup::cleanup() {
    if (frmBackup* w = frmBackup::existing())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete frmMenu::existing();
    DataFileTest::cleanup();
}

void tst_ServerBackup::backupIsWrittenAndRestoreRefused() {
    if (gTestServer().isEmpty())
        QSKIP("server only");
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"山田商店"_s}));
    QVERIFY(addLine({.masterID = 1, .date = QDate(2024, 1, 5), .item = u"りんご"_s, .cost = 1200}) >
            0);
    QTemporaryDir folder;
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 37));
    frmBackup* w = frmBackup::instance();
    w->show();
    QVERIFY(!w->findChild<QGroupBox*>(u"fraAutoBackup"_s)->isVisible());
    m_svc.dialogs->folders << folder.path();
    QTest::mouseClick(w->findChild<QPushButton*>(u"cmdBackup"_s), Qt::LeftButton);
    const QString written = folder.filePath(u"2024年01月02日 火曜日 10時15分.tvk"_s);
    QCOMPARE(m_svc.prompt->texts().value(1), u"バックアップを正常に終了しました。"_s);
    QVERIFY(gdbData().isServer());
    QCOMPARE(gChkDataFile(written), DataFileStatus::Ok);
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_SYSTEM WHERE lngID = 0 AND datField = ?"_s,
                          {m_svc.clock->fixed}),
             1);
    {
        Database copy;
        QVERIFY(copy.open(written, u"test"_s, true));
        ResultSet rs(copy);
        QVERIFY(rs.openRecordSet(u"SELECT strItem FROM T_DATA1"_s) && rs.recordCount() == 1);
        QCOMPARE(rs.value(0).toString(), u"りんご"_s);
    }

    QVERIFY(addLine({.masterID = 1, .date = QDate(2024, 1, 6), .item = u"みかん"_s}) > 0);
    m_svc.prompt->shown.clear();
    m_svc.dialogs->files << written;
    QTest::mouseClick(w->findChild<QPushButton*>(u"cmdRestore"_s), Qt::LeftButton);
    QVERIFY2(m_svc.prompt->texts().value(0).startsWith(
                 u"サーバーの帳簿には、この画面から復元できません。"_s),
             qPrintable(m_svc.prompt->texts().join(u'|')));
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QVERIFY(gdbData().isServer());
    QCOMPARE(dataRowCount(u"SELECT 1 FROM T_DATA1"_s), 2);
    QVERIFY(m_svc.process->terminations.isEmpty());
}

QTEST_MAIN(tst_ServerBackup)
#include "tst_ServerBackup.moc"
