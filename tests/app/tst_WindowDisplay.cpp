// The error log and message catalogue, window placement, and the shutdown and fatal-error
// sequences.
#include "TestData.h"
#include "TestServices.h"
#include "app/frmEndProgram.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/WindowGeometry.h"
#include "maintenance/Backup.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"
#include "widgets/WindowDisplay.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kFailed = QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。");

// Records whether the shutdown window waits with the data file still open, and each step it
// shows when it lets events run (its text, the bar's value and maximum).
class WatchingProcess : public RecordingProcess {
public:
    bool waitedWithDataOpen = false;
    QStringList steps;
    void pause(int ms) override {
        RecordingProcess::pause(ms);
        waitedWithDataOpen = frmEndProgram::existing() && gdbData().isOpen();
    }
    void processEvents() override {
        const QWidget* w = frmEndProgram::existing();
        const auto* label = w ? w->findChild<QLabel*>(QStringLiteral("lblStep")) : nullptr;
        const auto* bar = w ? w->findChild<QProgressBar*>(QStringLiteral("prgStep")) : nullptr;
        if (label && bar && !label->text().isEmpty())
            steps << QStringLiteral("%1 %2/%3")
                         .arg(label->text())
                         .arg(bar->value())
                         .arg(bar->maximum());
        RecordingProcess::processEvents();
    }
};

} // namespace

class tst_WindowDisplay : public DataFileTest {
    Q_OBJECT
private slots:
    void entryHasTheFixedLinesFramedByEmptyLines();
    void showsTheRowWithTheAdditionalText_data();
    void showsTheRowWithTheAdditionalText();
    void missingCodeShowsFallback();
    void unreadableCatalogueLogsOnce();
    void offsets_data();
    void offsets();
    void overOpener_data();
    void overOpener();
    void shutdownGoesOnWithoutTheDataFile();
    void shutdownWritesTheAutomaticBackup_data();
    void shutdownWritesTheAutomaticBackup();
    void fatalErrorSequence();
};

void tst_WindowDisplay::entryHasTheFixedLinesFramedByEmptyLines() {
    m_svc.clock->fixed = QDateTime(QDate(2024, 3, 5), QTime(9, 7, 3));
    gSetLastError(19, QStringLiteral("SQLite"), QStringLiteral("constraint failed"));
    gProcError(QStringLiteral("DbExecuteSQL"), QStringLiteral("SQL=DELETE FROM T_MASTER"));
    const QString log = m_folder->errorLog();
    QCOMPARE(log.count(QLatin1Char('\n')), log.count(kCrLf)); // no bare LF anywhere
    const QStringList lines = log.split(kCrLf);
    // "", 15 text lines, the write's own line break, the trailing empty line.
    QCOMPARE(lines.size(), 1 + 15 + 3);
    QCOMPARE(lines.mid(0, 10),
             (QStringList{
                 QString(), QStringLiteral("アプリケーション名：") + appTitle(),
                 QStringLiteral("アプリケーションヴァージョン：") + appVersionText(),
                 QStringLiteral("SQL=DELETE FROM T_MASTER"), QStringLiteral("エラー番号：19"),
                 QStringLiteral("DbExecuteSQL (SQLite)でエラーが発生しました。"),
                 QStringLiteral("管理者に問い合わせて下さい｡"),
                 QStringLiteral("エラー内容：constraint failed"),
                 QStringLiteral("発生日時：2024/03/05 09:07:03"), QStringLiteral("WINTYPE：")}));
#ifdef Q_OS_WIN
    // Windows names the browser's version from the registry.
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\tIeType：[0-9.]+$")).match(lines.at(15)).hasMatch(),
        qPrintable(lines.at(15)));
    QCOMPARE(lines.mid(16), (QStringList{{}, {}, {}}));
#else
    QCOMPARE(lines.mid(15), (QStringList{QStringLiteral("\tIeType：Can'tGet"), {}, {}, {}}));
#endif
}

void tst_WindowDisplay::showsTheRowWithTheAdditionalText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("addText");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("addFirst");
    QTest::newRow("position 1 puts it after")
        << 34 << QStringLiteral("（確認）") << 1 << 1 << false;
    QTest::newRow("position 2 is before") << 19 << QStringLiteral("日付は") << 2 << 1 << true;
    QTest::newRow("24 answered no") << 24 << QString() << 0 << 7 << true;
}

void tst_WindowDisplay::showsTheRowWithTheAdditionalText() {
    QFETCH(int, code);
    QFETCH(QString, addText);
    QFETCH(int, position);
    QFETCH(int, answer);
    QFETCH(bool, addFirst);
    ResultSet row(gdbMsg()); // the catalogue's text and box style
    QVERIFY(
        row.openRecordSet(QStringLiteral("SELECT MSG, DLGFLG FROM t_MSG WHERE CODE = ?"), {code}));
    QCOMPARE(row.recordCount(), 1);
    m_svc.prompt->answers << answer;
    QCOMPARE(gDispMsg(code, addText, position), answer);
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    const ShownPrompt& p = m_svc.prompt->shown.first();
    QCOMPARE(p.text, addFirst ? addText + row.text(0) : row.text(0) + addText);
    QCOMPARE(p.style, int(row.lng(1)));
    QCOMPARE(p.title, QString()); // the application title
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_WindowDisplay::missingCodeShowsFallback() {
    m_svc.prompt->answers << 6; // whatever is pressed, the caller sees -100
    QCOMPARE(gDispMsg(999, QStringLiteral("仕入先データが"), 0), -100);
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    const ShownPrompt& p = m_svc.prompt->shown.first();
    QCOMPARE(p.text, QStringLiteral("ﾒｯｾｰｼﾞｺｰﾄﾞ： 999に対応するﾒｯｾｰｼﾞが登録されていません。"));
    QCOMPARE(p.title, QStringLiteral("gDispMsg"));
    QCOMPARE(p.style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{QStringLiteral("gDispMsg")});
}

// A read that fails inside the catalogue is reported once, under gDispMsg, with the engine's
// reason; not a second time under an inner routine's name. A closed catalogue says the same.
void tst_WindowDisplay::unreadableCatalogueLogsOnce() {
    QVERIFY(gdbMsg().executeSQL(QStringLiteral("DROP TABLE t_MSG")));
    QCOMPARE(gDispMsg(34, QString(), 0), -100);
    QCOMPARE(gDispMsg(999, QString(), 0), -100);
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("no such table")));
    gMsgClose();
    QCOMPARE(gDispMsg(34, QStringLiteral("仕入先データが"), 0), -100);
    QCOMPARE(m_svc.prompt->texts(), QStringList(3, kFailed));
    QCOMPARE(m_svc.prompt->shown.last().title, QStringLiteral("gDispMsg"));
    QCOMPARE(m_svc.prompt->shown.last().style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList(3, QStringLiteral("gDispMsg")));
    // A catalogue file that is not one (here the data file) is refused; a missing or garbled
    // one is the start-up flow's case.
    const QString msg = m_folder->path() + QStringLiteral("/sys/msg");
    QVERIFY(QFile::remove(msg) && QFile::copy(m_folder->dbPath(), msg));
    QVERIFY(!gMsgInit(msg) && !gdbMsg().isOpen());
    QCOMPARE(m_folder->errorLogProcedures().last(), QStringLiteral("gMsgInit"));
}

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
    // Screen area: x 0..1279, y 30..1023 (a panel above). A window larger than the screen is
    // pushed in from the left and top edges, too.
    QTest::newRow("centred on the opener")
        << QRect(100, 100, 600, 400) << QSize(200, 100) << QPoint(300, 250);
    QTest::newRow("pushed in from the right and bottom edges")
        << QRect(1000, 800, 400, 300) << QSize(300, 200) << QPoint(980, 824);
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

// At shutdown the closed file is compacted when due and copied into backups/ (setting 51: how
// many stay, 0 none); the window names each step before it runs, with the bar at its place. A
// copy that cannot be written is told; the program still ends, and nothing is left half-made.
void tst_WindowDisplay::shutdownWritesTheAutomaticBackup_data() {
    QTest::addColumn<int>("keep");
    QTest::addColumn<bool>("freePages");
    QTest::addColumn<bool>("folderIsAFile");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<bool>("told");
    QTest::addColumn<QStringList>("steps");
    const QString compacting = QStringLiteral("データファイルを最適化しています… 0/2");
    const QString backingUp = QStringLiteral("バックアップを作成しています… 1/2");
    const QStringList written{QStringLiteral("db1.auto-20240305-101500")};
    QTest::newRow("written") << 10 << false << false << written << false << QStringList{backingUp};
    QTest::newRow("compacted and written")
        << 10 << true << false << written << false << QStringList{compacting, backingUp};
    QTest::newRow("turned off") << 0 << true << false << QStringList() << false
                                << QStringList{compacting};
    QTest::newRow("folder cannot be made")
        << 10 << false << true << QStringList() << true << QStringList{backingUp};
}

void tst_WindowDisplay::shutdownWritesTheAutomaticBackup() {
    QFETCH(int, keep);
    QFETCH(bool, freePages);
    QFETCH(bool, folderIsAFile);
    QFETCH(QStringList, copies);
    QFETCH(bool, told);
    QFETCH(QStringList, steps);
    auto* process = new WatchingProcess;
    svc().setProcess(std::unique_ptr<ProcessService>(process));
    QVERIFY(gSetSystemLngField(kAutoBackupSetting, keep));
    const QString folder = gDataBackupFolder(m_folder->dbPath());
    if (folderIsAFile)
        QVERIFY(writeBytes(folder, QByteArrayLiteral("x")));
    {
        Transaction t(gdbData());
        for (int i = 0; freePages && i < 1000; ++i)
            QVERIFY(addLine(LineRow{.note = QString(200, u'x')}) > 0);
        QVERIFY(t.commit());
    }
    // The lines and their history go again: their pages are free.
    QVERIFY(gdbData().executeSQL(QStringLiteral("DELETE FROM T_DATA1")) &&
            gdbData().executeSQL(QStringLiteral("DELETE FROM T_HISTORY")));
    QVERIFY(gProcEndProgram());
    QVERIFY(!gdbData().isOpen() && !frmEndProgram::existing());
    QCOMPARE(process->terminations, QList<int>{0});
    QCOMPARE(process->steps, steps);
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

// The log that opens is tst_StartupFlow's (a start-up that fails); here it cannot be shown.
void tst_WindowDisplay::fatalErrorSequence() {
    auto* process = new WatchingProcess;
    svc().setProcess(std::unique_ptr<ProcessService>(process));
    m_svc.shell->result = false;

    gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"), QStringLiteral("期間="));

    QCOMPARE(m_svc.prompt->texts(),
             QStringList({QStringLiteral("致命的エラーが発生しました。\r\n"
                                         "このアプリケーションを終了します。"),
                          QStringLiteral("エラーログが表示できませんでした。")}));
    QCOMPARE(m_svc.prompt->shown.at(1).style, MsgStyle::Information);
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("\r\n期間=\r\n")));
    // The shutdown window ran: it was seen waiting, then the data file was closed.
    QCOMPARE(process->pauses, QList<int>{2000});
    QVERIFY(process->waitedWithDataOpen && !gdbData().isOpen() && !frmEndProgram::existing());
    QCOMPARE(process->terminations, QList<int>({0, 1}));
}

QTEST_MAIN(tst_WindowDisplay)
#include "tst_WindowDisplay.moc"
