#include "MaintenanceTestData.h"
#include "TestData.h"
#include "TestServices.h"

#include "app/frmMenu.h"
#include "base/Globals.h"
#include "maintenance/Backup.h"
#include "maintenance/frmBackup.h"
#include "store/Database.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString kBackupDone = QStringLiteral("バックアップを正常に終了しました。");
const QString kRestoreDone = QStringLiteral("復元を正常に終了しました。");
const QString kNoSpace = QStringLiteral("　バックアップ先の保存容量が足りないか　\r\n"
                                        "　バックアップ先に書き込むことができません。　\r\n\r\n"
                                        "　バックアップ先を変更してください。　\r\n");

} // namespace

class tst_frmBackup : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backupThenRestoreThroughTheWindow();
    void cancelledDialogsDoNothing();
    void freeSpace_data();
    void freeSpace();
    void networkFolderSkipsTheSpaceCheck();
    void menuButtonsOpenTheWindowsAndClosingReturnsToTheMenu_data();
    void menuButtonsOpenTheWindowsAndClosingReturnsToTheMenu();
    void restoreOfWrongFileIsRefusedAndProgramGoesOn();

private:
    frmBackup* openWindow();
    void click(const char* button);

    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_backups;
    TestServices m_svc{};
};

void tst_frmBackup::init() {
    m_folder = std::make_unique<TestProgramFolder>();
    m_backups = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_svc = TestServices::install();
    QVERIFY(m_folder->open());
    QVERIFY(addSampleData());
}

void tst_frmBackup::cleanup() {
    // Closing the window shows the menu again; the menu is then removed without ending the
    // program.
    if (frmBackup* w = frmBackup::existing())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete frmMenu::existing();
    gSetFreeSpaceLookup({});
    m_folder.reset();
    m_backups.reset();
}

frmBackup* tst_frmBackup::openWindow() {
    frmBackup* w = frmBackup::instance();
    w->show();
    return w;
}

void tst_frmBackup::click(const char* button) {
    auto* b = frmBackup::instance()->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

void tst_frmBackup::backupThenRestoreThroughTheWindow() {
    const QStringList saved = dumpData();
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 37));
    openWindow();
    QVERIFY(frmBackup::instance()->windowTitle().startsWith(QStringLiteral("バックアップ     ")));

    m_svc.dialogs->folders << m_backups->path();
    click("cmdBackup");
    const QString name = QStringLiteral("2024年01月02日 火曜日 10時15分.tvk");
    QCOMPARE(filesIn(m_backups->path()), QStringList{name});
    QCOMPARE(
        m_svc.prompt->texts(),
        (QStringList{name + QStringLiteral("\r\nに保存します。\r\nＯＫを押すと処理を始めます。"),
                     kBackupDone}));
    QCOMPARE(systemTime(0), m_svc.clock->fixed);

    // Later work is replaced by the backup; the windows opened afterwards read the file again.
    QVERIFY(addMoreData());
    m_svc.prompt->shown.clear();
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 9), QTime(18, 0, 0));
    m_svc.dialogs->files << m_backups->filePath(name);
    click("cmdRestore");
    QCOMPARE(m_svc.prompt->texts(), QStringList{kRestoreDone});
    QCOMPARE(dumpData(), saved);
    QCOMPARE(systemTime(1), m_svc.clock->fixed);
    QVERIFY(m_svc.process->terminations.isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmBackup::cancelledDialogsDoNothing() {
    const QByteArray dataBytes = readBytes(m_folder->dbPath());
    openWindow();
    m_svc.dialogs->folders << QString();
    click("cmdBackup");
    m_svc.dialogs->files << QString();
    click("cmdRestore");
    QCOMPARE(m_svc.dialogs->captions.size(), 2);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QVERIFY(filesIn(m_backups->path()).isEmpty());
    QVERIFY(gdbData().isOpen());
    // Not even compacted: the data file is byte for byte as it was.
    QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);
    QCOMPARE(systemRowCount(0), 0);
    QCOMPARE(systemRowCount(1), 0);
}

void tst_frmBackup::freeSpace_data() {
    QTest::addColumn<int>("freeMinusNeeded");
    QTest::addColumn<bool>("proceeds");
    QTest::newRow("one byte short") << -1 << false;
    QTest::newRow("exactly the data file's size") << 0 << true;
}

void tst_frmBackup::freeSpace() {
    QFETCH(int, freeMinusNeeded);
    QFETCH(bool, proceeds);
    const double needed = static_cast<double>(QFileInfo(m_folder->dbPath()).size());
    gSetFreeSpaceLookup([&](const QString&, double& bytes) {
        bytes = needed + freeMinusNeeded;
        return true;
    });
    const QByteArray dataBytes = readBytes(m_folder->dbPath());
    openWindow();
    m_svc.dialogs->folders << m_backups->path();
    click("cmdBackup");
    if (proceeds) {
        QCOMPARE(filesIn(m_backups->path()).size(), 1);
        QCOMPARE(m_svc.prompt->texts().size(), 2);
        QCOMPARE(m_svc.prompt->texts().last(), kBackupDone);
    } else {
        QCOMPARE(m_svc.prompt->texts(), QStringList{kNoSpace});
        QCOMPARE(m_svc.prompt->shown.first().style, 0);
        QVERIFY(filesIn(m_backups->path()).isEmpty());
        QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);
        QVERIFY(gdbData().isOpen());
    }
}

void tst_frmBackup::networkFolderSkipsTheSpaceCheck() {
    int asked = 0;
    gSetFreeSpaceLookup([&](const QString&, double& bytes) {
        ++asked;
        bytes = 0;
        return false;
    });
    openWindow();
    // An unreachable share: the space is not checked, the copy then fails and says so.
    m_svc.dialogs->folders << QStringLiteral("//no-such-server-tovaki/share");
    click("cmdBackup");
    QCOMPARE(asked, 0);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{
                 QStringLiteral("問題が発生したため、バックアップ処理は完了できませんでした。")});
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("gProcDataBackup")));
    QVERIFY(gdbData().isOpen());
    QVERIFY(m_svc.process->terminations.isEmpty());
}

void tst_frmBackup::restoreOfWrongFileIsRefusedAndProgramGoesOn() {
    const QString file = m_backups->filePath(QStringLiteral("偽物.tvk"));
    QVERIFY(writeBytes(file, QByteArrayLiteral("これはバックアップではありません\r\n")));
    const QStringList saved = dumpData();
    openWindow();
    m_svc.dialogs->files << file;
    click("cmdRestore");
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    const ShownPrompt shown = m_svc.prompt->shown.first();
    QVERIFY2(shown.text.contains(QStringLiteral("バックアップデータではありません")),
             qPrintable(shown.text));
    QCOMPARE(shown.style, MsgStyle::Exclamation);
    QCOMPARE(dumpData(), saved);
    QVERIFY(gdbData().isOpen());
    QVERIFY(m_svc.process->terminations.isEmpty());
    QVERIFY(frmBackup::instance()->isVisible());
}

void tst_frmBackup::menuButtonsOpenTheWindowsAndClosingReturnsToTheMenu_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("window");
    QTest::newRow("システム") << 4 << QStringLiteral("システム") << QStringLiteral("frmSystem");
    QTest::newRow("バックアップ / 復元")
        << 5 << QStringLiteral("バックアップ / 復元") << QStringLiteral("frmBackup");
}

void tst_frmBackup::menuButtonsOpenTheWindowsAndClosingReturnsToTheMenu() {
    QFETCH(int, button);
    QFETCH(QString, caption);
    QFETCH(QString, window);
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QPushButton* b = menu->Command1[static_cast<std::size_t>(button)];
    QCOMPARE(b->text(), caption);
    QVERIFY(b->isEnabled());
    QTest::mouseClick(b, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QWidget* opened = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == window && w->isVisible())
            opened = w;
    QVERIFY(opened);
    QVERIFY(!frmMenu::existing() || !frmMenu::existing()->isVisible());
    QVERIFY(m_svc.process->terminations.isEmpty());

    QVERIFY(opened->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QVERIFY(m_svc.process->terminations.isEmpty());
}

QTEST_MAIN(tst_frmBackup)
#include "tst_frmBackup.moc"
