// The program from start-up to shutdown: the menu, the refusals that end a start-up, the
// function windows the menu opens and the compaction at the end.
#include "TestData.h"
#include "TestServices.h"
#include "app/Startup.h"
#include "app/frmAbout.h"
#include "app/frmEndProgram.h"
#include "app/frmMenu.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/frmConnection.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/ServerSchema.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kFatal =
    QStringLiteral("致命的エラーが発生しました。\r\nこのアプリケーションを終了します。");
const QString kNotice =
    QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n説明書に記載しております。");

QPushButton* button(int index) {
    frmMenu* m = frmMenu::existing();
    return m ? m->Command1[static_cast<std::size_t>(index)] : nullptr;
}

// A function window as the other subsystems build them: it shows the menu again when closed.
class FakeFunctionWindow : public QWidget {
public:
    FakeFunctionWindow() {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowFlag(Qt::FramelessWindowHint);
        setFixedSize(400, 300);
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        gShowMenu();
        e->accept();
    }
};

} // namespace

class tst_StartupFlow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startUpShowsTheMenuThenEndShutsDown();
    void garbledCatalogueEndsStartUp();
    void registeredWindowsReplaceTheMenu();
    void helpAndAbout();
    void helpPageThatCannotOpenIsNamed_data();
    void helpPageThatCannotOpenIsNamed();
    void secondInstance();
    void startUpWithAnUnusableFileIsToldOnce_data();
    void startUpWithAnUnusableFileIsToldOnce();
    void serverStartUp_data();
    void serverStartUp();
    void refusedServerOffersTheConnectionWindow();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_t{};
};

void tst_StartupFlow::init() {
    m_t = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void tst_StartupFlow::cleanup() {
    for (auto t : {frmMenu::Target::Master, frmMenu::Target::Ledger, frmMenu::Target::Print,
                   frmMenu::Target::System, frmMenu::Target::Backup})
        frmMenu::setOpener(t, {});
    delete frmMenu::existing();
    delete frmAbout::existing();
    delete frmEndProgram::existing();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->testAttribute(Qt::WA_DeleteOnClose))
            delete w;
    gReleaseInstanceLock();
    gUnlockDataFile();
    QFile::setPermissions(m_folder->dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_folder.reset();
}

// Compaction itself is tst_DataFile's and tst_Database's; the shutdown's call of it is
// tst_WindowDisplay's.
void tst_StartupFlow::startUpShowsTheMenuThenEndShutsDown() {
    gstrAppTitle.clear();
    svc().setPaths({.app = svc().paths().app, .db = svc().paths().db, .excelFormat = {}});
    QVERIFY(Main(m_folder->path()));
    frmMenu* menu = frmMenu::existing();
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->windowTitle(), QStringLiteral("メニュー     ") + appTitle());
    for (int i = 0; i < 7; ++i)
        QVERIFY(button(i)->isEnabled() && button(i)->isVisible()); // every window is wired
    QCOMPARE(svc().paths().excelFormat, m_folder->path() + QStringLiteral("/sys/excel_format/"));
    QVERIFY(gdbData().isOpen() && gdbMsg().isOpen() && m_t.prompt->shown.isEmpty());
    // 終 了 pressed with Enter: the program makes Enter press the focused button at start.
    gInstallEnterClicksButtons(qApp);
    frmMenu::existing()->activateWindow();
    button(6)->setFocus();
    QTest::keyClick(button(6), Qt::Key_Return);

    QCOMPARE(m_t.process->pauses, QList<int>{2000});
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!frmMenu::existing() && !frmEndProgram::existing() && !gdbData().isOpen());
    QCOMPARE(m_t.prompt->shown.size() + m_folder->errorLogEntries(), 0);
}

// A message catalogue that cannot be read is a fault of the installation: the fatal sequence.
void tst_StartupFlow::garbledCatalogueEndsStartUp() {
    QVERIFY(writeBytes(m_folder->path() + QStringLiteral("/sys/msg"), QByteArray(4096, 'x')));
    QVERIFY(!Main(m_folder->path()));
    const QStringList texts = m_t.prompt->texts();
    QVERIFY(
        texts.value(0).startsWith(QStringLiteral("必要とするメッセージデータベースが開けません")));
    QCOMPARE(texts.mid(1), QStringList({kFatal, kNotice}));
    QCOMPARE(m_t.prompt->shown.at(0).style, MsgStyle::Critical);
    // The innermost failure first, one entry for each routine that reported.
    QCOMPARE(m_folder->errorLogProcedures(),
             QStringList({QStringLiteral("gMsgInit"), QStringLiteral("Main"),
                          QStringLiteral("mInitProgram"), QStringLiteral("Main")}));
    QCOMPARE(m_t.shell->opened, QStringList{m_folder->errorLogPath()});
    QCOMPARE(m_t.process->pauses, QList<int>{2000}); // the shutdown window was shown
    QCOMPARE(m_t.process->terminations, QList<int>({0, 1}));
    QVERIFY(!gdbData().isOpen());
}

void tst_StartupFlow::registeredWindowsReplaceTheMenu() {
    QVERIFY(Main(m_folder->path()));
    QPointer<QWidget> opened;
    const auto opener = [&]() -> QWidget* {
        opened = new FakeFunctionWindow;
        return opened;
    };
    // A ledger needs a supplier, valid or not.
    frmMenu::setOpener(frmMenu::Target::Ledger, opener);
    button(1)->click();
    QCOMPARE(glngDataKind, 1);
    QVERIFY(!opened && m_t.prompt->texts().value(0).startsWith(
                           QStringLiteral("仕入先データが登録されていません")));
    QVERIFY(addSupplier({.valid = false}));
    button(2)->click();
    QCOMPARE(glngDataKind, 2);
    QVERIFY(opened);
    opened->close();

    frmMenu::setOpener(frmMenu::Target::Master, opener);
    gblnMasterFromData = true;
    button(0)->click();
    QVERIFY(!gblnMasterFromData);
    QVERIFY(opened && opened->isVisible());
    QVERIFY(!frmMenu::existing() && m_t.process->pauses.isEmpty()); // no shutdown
    opened->close();
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());

    // The report window opens in the upper third.
    frmMenu::setOpener(frmMenu::Target::Print, opener);
    button(3)->click();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(opened->frameGeometry().topLeft(),
             QPoint((screen.width() - 400) / 2, (screen.height() - 300) / 3));
    opened->close();

    // Closing the menu after that ends the program through the shutdown window.
    button(6)->click();
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!gdbData().isOpen());
}

void tst_StartupFlow::helpAndAbout() {
    QVERIFY(Main(m_folder->path()));
    frmMenu::existing()->mnuContents->trigger();
    QCOMPARE(m_t.shell->opened.last(), m_folder->path() + QStringLiteral("/index.html"));
    QVERIFY(m_t.prompt->shown.isEmpty());
    // A help page that cannot be opened is told and logged; the program goes on.
    QVERIFY(QFile::remove(m_folder->path() + QStringLiteral("/index.html")));
    frmMenu::existing()->mnuContents->trigger();
    QCOMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY(!m_t.prompt->texts().contains(kFatal));
    QCOMPARE(
        m_folder->errorLogProcedures(),
        QStringList({QStringLiteral("gDspHelp"), QStringLiteral("frmMenu_mnuContents_Click")}));
    QVERIFY(m_t.process->terminations.isEmpty());
    QVERIFY(gdbData().isOpen() && frmMenu::existing()->isVisible());
}

// The menu's 目次 and the About window's link tell which page failed to open.
void tst_StartupFlow::helpPageThatCannotOpenIsNamed_data() {
    QTest::addColumn<bool>("fromAbout");
    QTest::addColumn<QString>("caption");
    QTest::newRow("目次") << false << QStringLiteral("ヘルプファイル：\r\n");
    QTest::newRow("About link") << true << QStringLiteral("HPアドレス：\r\n");
}

void tst_StartupFlow::helpPageThatCannotOpenIsNamed() {
    QFETCH(bool, fromAbout);
    QFETCH(QString, caption);
    QVERIFY(Main(m_folder->path()));
    m_t.shell->result = false;
    QString contact;
    if (fromAbout) {
        // The About window is modal: its link is pressed from inside its loop.
        QTimer::singleShot(0, [&contact] {
            frmAbout* about = frmAbout::existing();
            if (!about)
                return;
            contact = about->findChild<QLabel*>(QStringLiteral("lblContact"))->text();
            about->findChild<QPushButton*>(QStringLiteral("cmdHP"))->click();
            about->close();
        });
        frmMenu::existing()->mnuAbout->trigger();
        QCOMPARE(contact, QStringLiteral("お問い合わせ、最新版の配布は下のページをご覧ください。"));
    } else {
        frmMenu::existing()->mnuContents->trigger();
    }
    QCOMPARE(m_t.prompt->texts(),
             QStringList{caption + m_folder->path() +
                         QStringLiteral("/index.html\r\nページを開けませんでした。\r\n"
                                        "表示するプログラムの設定を確認してください。")});
}

void tst_StartupFlow::secondInstance() {
    // Other users' programs in the same temporary folder (also of a build that named its lock
    // after the program alone) are not this user's instance.
    QLockFile shared(gAddBackSlash(gGetTempFolder()) + QStringLiteral("tovaki.lock"));
    QLockFile otherUser(gAddBackSlash(gGetTempFolder()) + QStringLiteral("tovaki_someone.lock"));
    QVERIFY(shared.tryLock(0) && otherUser.tryLock(0));
    QVERIFY(gChkPrevInstance(true));
    QVERIFY(m_t.prompt->shown.isEmpty() && m_t.process->terminations.isEmpty());
    // This instance answers a second start's request: its windows come forward.
    QWidget running;
    running.showMinimized();
    const QString request = gInstanceLockPath() + QStringLiteral(".raise");
    QVERIFY(writeBytes(request, "1"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(request), 3000);
    QVERIFY(!running.isMinimized());
    gReleaseInstanceLock();

    // An instance that does not answer: the second start says it runs, and ends.
    QLockFile other(gInstanceLockPath());
    QVERIFY(other.tryLock(0)); // the instance that runs already
    QVERIFY(!Main(m_folder->path()));
    QCOMPARE(m_t.prompt->texts(),
             QStringList{QStringLiteral("既に起動されています\r\n"
                                        "タスクバーから起動中の画面を選んでください。")});
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!gdbData().isOpen() && !gdbMsg().isOpen() && !frmMenu::existing());
    QVERIFY(!QFileInfo::exists(request));
    other.unlock();

    // A lock file left behind by an instance that crashed is taken over. Wine answers for any
    // process number, so there the lock file's process looks alive.
    if (runsUnderWine())
        return;
    QFile stale(gInstanceLockPath());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("2147483000\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    QVERIFY2(Main(m_folder->path()), qPrintable(m_t.prompt->texts().join(u'|')));
    QLockFile third(gInstanceLockPath());
    QVERIFY(!third.tryLock(0));
}

// A data file that another program holds or a temporary folder nobody can write ends the start-up;
// a read-only or a damaged data file is shown. Each is told once, and the file keeps every byte.
void tst_StartupFlow::startUpWithAnUnusableFileIsToldOnce_data() {
    QTest::addColumn<QString>("condition");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("told"); // the start of the one message
    QTest::newRow("in use") << u"in use"_s << false << u"データファイルは他のプログラムで使用中"_s;
    QTest::newRow("temporary folder") << u"temp"_s << false << u"一時フォルダーに書き込めない"_s;
    // A data file that cannot be used: its refusal is the one message, the program just ends.
    const QString refused = u"必要とするデータ保存用データベースが開けません。\r\n"_s;
    QTest::newRow("missing") << u"missing"_s << false
                             << refused + u"データファイルが見つからない"_s;
    QTest::newRow("incomplete") << u"DROP TABLE T_HISTORY"_s << false
                                << refused + u"データファイルに必要な部分が欠けている"_s;
    QTest::newRow("read-only") << u"read-only"_s << true << u"データファイルに書き込めない"_s;
    QTest::newRow("damaged") << u"damaged"_s << true << u"データファイルが壊れています"_s;
}

void tst_StartupFlow::startUpWithAnUnusableFileIsToldOnce() {
    QFETCH(QString, condition);
    QFETCH(bool, started);
    QFETCH(QString, told);
    QLockFile other(gDataLockPath(m_folder->dbPath()));
    if (condition == u"in use"_s)
        QVERIFY(other.tryLock(0)); // another program on the same file
    else if (condition == u"temp"_s)
        qputenv("temp", "/proc/self"); // nobody can create files there, not even the superuser
    else if (condition == u"read-only"_s) {
        frmMenu::setOpener(frmMenu::Target::System, [] { return new QWidget; }); // wired
        QVERIFY(QFile::setPermissions(m_folder->dbPath(), QFileDevice::ReadOwner));
    } else if (condition == u"missing"_s) {
        QVERIFY(QFile::remove(m_folder->dbPath()));
    } else if (condition.startsWith(u"DROP"_s)) {
        QVERIFY(runSqlite(m_folder->dbPath(), condition.toUtf8().constData()));
    } else {
        QVERIFY(m_folder->damageDataFile());
    }
    const QByteArray before = readBytes(m_folder->dbPath());
    const bool ok = Main(m_folder->path());
    qputenv("temp", m_folder->tempPath().toLocal8Bit());
    QCOMPARE(ok, started);
    QTRY_COMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY2(m_t.prompt->texts().at(0).startsWith(told), qPrintable(m_t.prompt->texts().at(0)));
    if (condition == u"read-only"_s) {
        QVERIFY(gDataFileReadOnly());
        QVERIFY(!button(4)->isEnabled()); // システム
        QVERIFY(button(1)->isEnabled());  // the ledgers can still be looked at
    }
    if (condition == u"damaged"_s) {
        // A statement that meets the damage later tells nothing more.
        ResultSet rs(gdbData());
        QVERIFY(!rs.openRecordSet(u"SELECT * FROM T_DATA1_CAPTION"_s));
        QTest::qWait(50);
        QCOMPARE(m_t.prompt->shown.size(), 1);
    }
    if (started) {
        QVERIFY(gTermDataBase()); // the shutdown
    } else {
        QCOMPARE(m_t.process->terminations, QList<int>{1});
        // Neither the menu nor the shutdown window was shown, nor the error log.
        QVERIFY(!gdbData().isOpen() && !frmMenu::existing());
        QVERIFY(m_t.process->pauses.isEmpty() && m_t.shell->opened.isEmpty());
    }
    QVERIFY(readBytes(m_folder->dbPath()) == before);
    QCOMPARE(QFileInfo::exists(m_folder->dbPath()), condition != u"missing"_s);
}

// Server mode (--server): the books of a server database are opened without a data file or its
// lock, and shut down without a compaction or a backup; a database that cannot be used is told
// in the one message, naming what to check, and the program ends.
void tst_StartupFlow::serverStartUp_data() {
    QTest::addColumn<QString>("database"); // on the test cluster; "" for a missing one
    QTest::addColumn<bool>("init");
    QTest::addColumn<QString>("told"); // the start of the one message; "" when none
    const QString refused = u"サーバーの帳簿に接続できません。\r\n"_s;
    QTest::newRow("books") << u"tovaki_startup"_s << true << QString();
    QTest::newRow("empty database")
        << u"tovaki_startup"_s << false << refused + u"サーバーのデータベースは空です。"_s;
    QTest::newRow("no such database")
        << QString() << false << refused + u"サーバーにそのデータベースがありません。"_s;
}

void tst_StartupFlow::serverStartUp() {
    QFETCH(QString, database);
    QFETCH(bool, init);
    QFETCH(QString, told);
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString name = database.isEmpty() ? u"tovaki_no_such_books"_s : database;
    const QString conninfo = gTestServer() + u" dbname="_s + name;
    Database admin;
    QVERIFY(admin.openServer(gTestServer()));
    QVERIFY(admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + name + u" WITH (FORCE)"_s));
    if (!database.isEmpty()) {
        QVERIFY(admin.executeSQL(u"CREATE DATABASE "_s + name + u" TEMPLATE template0"_s));
        Database books;
        QVERIFY(books.openServer(conninfo));
        QVERIFY(!init || gServerInit(books, u"test"_s));
    }
    QVERIFY(QFile::remove(m_folder->dbPath())); // no data file is needed
    const bool ok = Main(m_folder->path(), QString(), conninfo);
    QCOMPARE(ok, told.isEmpty());
    if (ok) {
        QVERIFY(gdbData().isServer() && frmMenu::existing()->isVisible());
        QVERIFY(!QFileInfo::exists(gDataLockPath(m_folder->dbPath())));
        QVERIFY(gTermDataBase());
        QVERIFY(!gdbData().isOpen() && m_t.prompt->shown.isEmpty());
        QVERIFY(!QFileInfo::exists(m_folder->dbPath()));
    } else {
        QCOMPARE(m_t.prompt->shown.size(), 1);
        QVERIFY2(m_t.prompt->texts().at(0).startsWith(told), qPrintable(m_t.prompt->texts().at(0)));
        QCOMPARE(m_t.process->terminations, QList<int>{1});
    }
    QVERIFY(admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + name + u" WITH (FORCE)"_s));
}

// A server that cannot be reached: the one message asks whether to open the connection window;
// the data file chosen there is opened at once and the program starts.
void tst_StartupFlow::refusedServerOffersTheConnectionWindow() {
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    m_t.prompt->answers.enqueue(MsgResult::Yes);
    bool windowShown = false;
    QTimer::singleShot(0, qApp, [&windowShown] {
        auto* w = qobject_cast<frmConnection*>(QApplication::activeModalWidget());
        QVERIFY(w);
        windowShown = !w->lblNextStart->isVisible(); // tried at once, not at the next start
        w->optDataFile->click();
        w->cmdSave->click();
    });
    const QString missing = m_folder->path() + u"/no-server"_s;
    QVERIFY(Main(m_folder->path(), QString(), u"host="_s + missing + u" dbname=books"_s));
    QVERIFY(windowShown);
    QCOMPARE(m_t.prompt->shown.size(), 1);
    const QString told = m_t.prompt->texts().at(0);
    QVERIFY2(told.startsWith(u"サーバーの帳簿に接続できません。\r\n"_s) &&
                 told.endsWith(u"\r\n\r\n接続先の設定を開きますか？"_s),
             qPrintable(told));
    QCOMPARE(m_t.prompt->shown.at(0).style & 7, int(MsgStyle::YesNo));
    QVERIFY(gdbData().isOpen() && !gdbData().isServer() && frmMenu::existing()->isVisible());
    QVERIFY(gTermDataBase());
}

QTEST_MAIN(tst_StartupFlow)
#include "tst_StartupFlow.moc"
