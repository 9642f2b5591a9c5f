// Window placement, modal display and the shutdown and fatal-error sequences.
#include "TestData.h"
#include "TestServices.h"
#include "app/frmEndProgram.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "base/WindowGeometry.h"
#include "maintenance/Backup.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

namespace {

// Records what the shutdown window shows while it waits.
class WatchingProcess : public RecordingProcess {
public:
    QStringList seen; // caption and labels
    bool dataOpenDuringWait = false;
    void pause(int ms) override {
        RecordingProcess::pause(ms);
        if (frmEndProgram* w = frmEndProgram::existing())
            seen = {w->windowTitle(), w->lblMessage1->text(), w->lblMessage2->text()};
        dataOpenDuringWait = gdbData().isOpen();
    }
};

} // namespace

class tst_WindowDisplay : public DataFileTest {
    Q_OBJECT
private slots:
    void offsets_data();
    void offsets();
    void overOpener_data();
    void overOpener();
    void shutdownGoesOnWithoutTheDataFile();
    void shutdownWritesTheAutomaticBackup_data();
    void shutdownWritesTheAutomaticBackup();
    void fatalErrorSequence_data();
    void fatalErrorSequence();
};

void tst_WindowDisplay::offsets_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centred") << QSize(800, 600) << QSize(300, 200) << 0 << QPoint(250, 200);
    // Truncation toward zero, not toward minus infinity: -201 / 2 = -100, -101 / 3 = -33.
    QTest::newRow("negative odd truncates toward zero")
        << QSize(800, 600) << QSize(1001, 701) << 1 << QPoint(-100, -33);
    QTest::newRow("2 is refused") << QSize(800, 600) << QSize(300, 200) << 2 << QPoint(7, 8);
}

void tst_WindowDisplay::offsets() {
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(int, position);
    QFETCH(QPoint, expected);
    int left = 7;
    int top = 8;
    QCOMPARE(windowOffsetFor(screen.width(), screen.height(), window.width(), window.height(),
                             position, left, top),
             position == 0 || position == 1);
    QCOMPARE(QPoint(left, top), expected);
}

void tst_WindowDisplay::overOpener_data() {
    QTest::addColumn<QRect>("opener");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("expected");
    // Screen area: x 0..1279, y 30..1023 (a panel above).
    QTest::newRow("centred on the opener")
        << QRect(100, 100, 600, 400) << QSize(200, 100) << QPoint(300, 250);
    QTest::newRow("pushed in from the right and bottom edges")
        << QRect(1000, 800, 400, 300) << QSize(300, 200) << QPoint(980, 824);
    QTest::newRow("pushed in from the left and top edges")
        << QRect(-200, 0, 200, 100) << QSize(300, 200) << QPoint(0, 30);
    QTest::newRow("larger than the screen")
        << QRect(100, 100, 600, 400) << QSize(2000, 1500) << QPoint(0, 30);
}

void tst_WindowDisplay::overOpener() {
    QFETCH(QRect, opener);
    QFETCH(QSize, window);
    QFETCH(QPoint, expected);
    QCOMPARE(windowOverOpener(opener, window, QRect(0, 30, 1280, 994)), expected);
}

void tst_WindowDisplay::shutdownGoesOnWithoutTheDataFile() {
    DbClose();
    QVERIFY(QFile::remove(m_folder->dbPath()));
    QVERIFY(gTermDataBase());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{QStringLiteral("DbCompactDataBase")});
}

// At shutdown the closed file is copied into backups/ (setting 51: how many stay, 0 none). A
// copy that cannot be written is told; the program still ends, and nothing is left half-made.
void tst_WindowDisplay::shutdownWritesTheAutomaticBackup_data() {
    QTest::addColumn<int>("keep");
    QTest::addColumn<bool>("folderIsAFile");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<bool>("told");
    QTest::newRow("written") << 10 << false
                             << QStringList{QStringLiteral("db1.auto-20240305-101500")} << false;
    QTest::newRow("turned off") << 0 << false << QStringList() << false;
    QTest::newRow("folder cannot be made") << 10 << true << QStringList() << true;
}

void tst_WindowDisplay::shutdownWritesTheAutomaticBackup() {
    QFETCH(int, keep);
    QFETCH(bool, folderIsAFile);
    QFETCH(QStringList, copies);
    QFETCH(bool, told);
    QVERIFY(gSetSystemLngField(kAutoBackupSetting, keep));
    const QString folder = gDataBackupFolder(m_folder->dbPath());
    if (folderIsAFile)
        QVERIFY(writeBytes(folder, QByteArrayLiteral("x")));
    QVERIFY(gTermDataBase());
    QVERIFY(!gdbData().isOpen());
    QStringList names;
    for (const QString& path : gAutoBackupFiles(m_folder->dbPath()))
        names << QFileInfo(path).fileName();
    QCOMPARE(names, copies);
    QCOMPARE(m_svc.prompt->texts().size(), told ? 1 : 0);
    if (told)
        QVERIFY(m_svc.prompt->texts().at(0).startsWith(
            QStringLiteral("終了時の自動バックアップを作成できませんでした。")));
    QVERIFY(DbInit(m_folder->dbPath()));
}

void tst_WindowDisplay::fatalErrorSequence_data() {
    QTest::addColumn<bool>("logOpens");
    QTest::addColumn<QString>("notice");
    QTest::newRow("log shown") << true
                               << QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n"
                                                 "説明書に記載しております。");
    QTest::newRow("log not shown") << false << QStringLiteral("エラーログが表示できませんでした。");
}

void tst_WindowDisplay::fatalErrorSequence() {
    QFETCH(bool, logOpens);
    QFETCH(QString, notice);
    auto* process = new WatchingProcess;
    svc().setProcess(std::unique_ptr<ProcessService>(process));
    m_svc.shell->result = logOpens;

    gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"), QStringLiteral("期間="));

    QCOMPARE(m_svc.prompt->texts(),
             QStringList({QStringLiteral("致命的エラーが発生しました。\r\n"
                                         "このアプリケーションを終了します。"),
                          notice}));
    QCOMPARE(m_svc.prompt->shown.at(1).style, MsgStyle::Information);
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("\r\n期間=\r\n")));
    // The shutdown window ran: it was seen waiting, then the data file was closed.
    QCOMPARE(process->pauses, QList<int>{2000});
    QCOMPARE(process->seen, QStringList({QStringLiteral("終了処理     ") + appTitle(),
                                         QStringLiteral("終了処理をしています。"),
                                         QStringLiteral("しばらくお待ちください。")}));
    QVERIFY(process->dataOpenDuringWait && !gdbData().isOpen() && !frmEndProgram::existing());
    QCOMPARE(process->terminations, QList<int>({0, 1}));
}

QTEST_MAIN(tst_WindowDisplay)
#include "tst_WindowDisplay.moc"
