#include "TestData.h"
#include "TestServices.h"
#include "app/Startup.h"
#include "app/frmAbout.h"
#include "app/frmEndProgram.h"
#include "app/frmMenu.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

namespace {

const QString kFatal =
    QStringLiteral("致命的エラーが発生しました。\r\nこのアプリケーションを終了します。");
const QString kNotice =
    QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n説明書に記載しております。");

QString catalogueText(int code) {
    ResultSet rs(gdbMsg());
    if (!rs.openRecordSet(QStringLiteral("SELECT MSG FROM t_MSG WHERE CODE = ?"), {code}))
        return {};
    return rs.text(0);
}

QPushButton* button(int index) {
    frmMenu* m = frmMenu::existing();
    return m ? m->findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(index)) : nullptr;
}

bool addSupplier(int id, const QString& name) {
    return gdbData().executeSQL(
        QStringLiteral("INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, "
                       "strSupplierName, strSupplierShortName) VALUES (?, ?, ?, ?, ?)"),
        {id, id, false, name, name});
}

// A function window as the other subsystems build them: it shows the menu again when closed.
class FakeFunctionWindow : public QWidget {
public:
    FakeFunctionWindow() {
        setAttribute(Qt::WA_DeleteOnClose);
        setFixedSize(400, 300);
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        gShowMenu();
        e->accept();
    }
};

} // namespace

class TestStartupFlow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_t = TestServices::install(); }
    void cleanup();

    void startUpShowsTheMenu();
    void closingTheMenuShutsDown_data();
    void closingTheMenuShutsDown();
    void missingDataFile();
    void unusableMessageFile_data();
    void unusableMessageFile();
    void ledgerWithoutSuppliers_data();
    void ledgerWithoutSuppliers();
    void ledgerWithSuppliersWaitsForItsWindow();
    void registeredWindowReplacesTheMenu();
    void reportWindowOpensInTheUpperThird();
    void helpContents();
    void helpContentsMissingIsFatal();
    void aboutWindow();
    void secondInstanceEndsSilently();
    void secondInstanceMessageWhenAsked();
    void lockOfADeadInstanceIsTakenOver();
    void dataFileInUseIsToldAndNotOpened();
    void unwritableTemporaryFolderIsTold();
    void readOnlyDataFileIsShownNotEdited();
    void damagedDataFileIsToldOnceAndKept();

private:
    TestServices m_t{};
};

void TestStartupFlow::cleanup() {
    for (auto t : {frmMenu::Target::Master, frmMenu::Target::Ledger, frmMenu::Target::Print,
                   frmMenu::Target::System, frmMenu::Target::Backup})
        frmMenu::setOpener(t, {});
    delete frmMenu::existing();
    delete frmAbout::existing();
    delete frmEndProgram::existing();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->testAttribute(Qt::WA_DeleteOnClose))
            delete w;
    DbClose();
    gMsgClose();
    gReleaseInstanceLock();
    gUnlockDataFile();
}

void TestStartupFlow::startUpShowsTheMenu() {
    TestProgramFolder f;
    gstrAppTitle.clear();
    gstrExcelFormatPath.clear();
    QVERIFY(Main(f.path()));

    frmMenu* menu = frmMenu::existing();
    QVERIFY(menu);
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->windowTitle(), QStringLiteral("メニュー     ") + appTitle());
    const QStringList captions = {QStringLiteral("仕入先の追加・修正"),
                                  QStringLiteral("仕入帳編集"),
                                  QStringLiteral("売上帳編集"),
                                  QStringLiteral("各帳票の作成"),
                                  QStringLiteral("システム"),
                                  QStringLiteral("バックアップ / 復元"),
                                  QStringLiteral("終 了")};
    // Every function window is wired to its button.
    const QList<bool> enabled = {true, true, true, true, true, true, true};
    for (int i = 0; i < 7; ++i) {
        QVERIFY(button(i));
        QCOMPARE(button(i)->text(), captions.at(i));
        QCOMPARE(button(i)->isEnabled(), enabled.at(i));
        QVERIFY(button(i)->isVisible());
    }
    auto* help = menu->menuBar()->findChild<QMenu*>(QStringLiteral("mnuHelp"));
    QVERIFY(help);
    QCOMPARE(help->title(), QStringLiteral("ヘルプ(&H)"));
    QCOMPARE(menu->findChild<QAction*>(QStringLiteral("mnuContents"))->text(),
             QStringLiteral("目次(&C)"));
    QCOMPARE(menu->findChild<QAction*>(QStringLiteral("mnuAbout"))->text(),
             QStringLiteral("このソフトについて(&A)"));

    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = menu->frameGeometry();
    QCOMPARE(frame.topLeft(),
             QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2));

    QCOMPARE(gstrAppPath, f.path());
    QCOMPARE(gstrDbPath, f.dbPath());
    QCOMPARE(gstrAppTitle, appTitle());
    QCOMPARE(gstrExcelFormatPath, f.path() + QStringLiteral("/sys/excel_format/"));
    QVERIFY(gdbData().isOpen());
    QVERIFY(gdbMsg().isOpen());
    QVERIFY(m_t.prompt->shown.isEmpty());
    QVERIFY(m_t.process->terminations.isEmpty());
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestStartupFlow::closingTheMenuShutsDown_data() {
    QTest::addColumn<bool>("byButton");
    QTest::newRow("close box") << false;
    QTest::newRow("終 了 button") << true;
}

void TestStartupFlow::closingTheMenuShutsDown() {
    QFETCH(bool, byButton);
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    // Work that leaves free pages behind: many suppliers added, all but one removed.
    {
        Transaction tx(gdbData());
        for (int i = 1; i <= 400; ++i)
            QVERIFY(addSupplier(i, QStringLiteral("仕入先%1").arg(i) + QString(300, u'帳')));
        QVERIFY(tx.commit());
    }
    QVERIFY(gdbData().executeSQL(QStringLiteral("DELETE FROM T_MASTER WHERE lngMasterID > 1")));
    QVERIFY(gdbData().executeSQL(
        QStringLiteral("INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost) "
                       "VALUES (1, '2024-03-01', 'りんご', 1234500)")));
    // Committed pages may still sit in the write-ahead log beside the file.
    const qint64 sizeBefore =
        QFileInfo(f.dbPath()).size() + QFileInfo(f.dbPath() + QStringLiteral("-wal")).size();

    if (byButton)
        button(6)->click();
    else
        QVERIFY(frmMenu::existing()->close());

    QCOMPARE(m_t.process->pauses, QList<int>{2000});
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!frmMenu::existing());
    QVERIFY(!frmEndProgram::existing());
    QVERIFY(!gdbData().isOpen());
    QVERIFY(m_t.prompt->shown.isEmpty());
    QCOMPARE(f.errorLogEntries(), 0);

    // Compacted: smaller, no free pages, no temporary file left; the data is all there.
    QVERIFY(QFileInfo(f.dbPath()).size() < sizeBefore);
    QVERIFY(QDir(f.path() + QStringLiteral("/sys"))
                .entryList({QStringLiteral("CompactDataBase*")})
                .isEmpty());
    Database db;
    QVERIFY(db.open(f.dbPath()));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(QStringLiteral("PRAGMA integrity_check")));
    QCOMPARE(rs.text(0), QStringLiteral("ok"));
    QVERIFY(rs.openRecordSet(QStringLiteral("PRAGMA freelist_count")));
    QCOMPARE(rs.lng(0), qint64(0));
    QVERIFY(rs.openRecordSet(QStringLiteral("SELECT lngMasterID, strSupplierName FROM T_MASTER")));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(1), QStringLiteral("仕入先1") + QString(300, u'帳'));
    QVERIFY(rs.openRecordSet(QStringLiteral("SELECT strItem, curCost FROM T_DATA1")));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), QStringLiteral("りんご"));
    QCOMPARE(rs.cur(1).raw(), qint64(1234500));
}

void TestStartupFlow::missingDataFile() {
    TestProgramFolder f;
    QVERIFY(QFile::remove(f.dbPath()));
    gMsgClose();
    QVERIFY(!Main(f.path()));

    const QStringList texts = m_t.prompt->texts();
    QCOMPARE(texts.size(), 3);
    QVERIFY(texts.at(0).startsWith(QStringLiteral("必要とするデータ保存用データベースが開けません。"
                                                  "\r\nデータファイルが見つからない")));
    QCOMPARE(texts.mid(1), QStringList({kFatal, kNotice}));
    QCOMPARE(m_t.prompt->shown.at(0).style, MsgStyle::Critical);
    QCOMPARE(m_t.prompt->shown.at(0).title, QString());
    QCOMPARE(m_t.prompt->shown.at(1).style, MsgStyle::Critical);
    QCOMPARE(m_t.prompt->shown.at(2).style, MsgStyle::Information);
    // The innermost failure first, one entry for each routine that reported; the shutdown
    // leaves a file that start-up refused alone.
    QCOMPARE(f.errorLogProcedures(),
             QStringList({QStringLiteral("DbInit"), QStringLiteral("Main"),
                          QStringLiteral("mInitProgram"), QStringLiteral("Main")}));
    QVERIFY(f.errorLog().contains(
        QStringLiteral("\r\n必要とするデータ保存用データベースが開けません。\r\nエラー番号：")));
    QCOMPARE(m_t.shell->opened, QStringList{f.errorLogPath()});
    QVERIFY(!gdbMsg().isOpen());
    QVERIFY(!frmMenu::existing());
    QCOMPARE(m_t.process->pauses, QList<int>{2000}); // the shutdown window was shown
    QCOMPARE(m_t.process->terminations, QList<int>({0, 1}));
    QVERIFY(!QFileInfo::exists(f.dbPath())); // nothing was created in its place
}

void TestStartupFlow::unusableMessageFile_data() {
    QTest::addColumn<bool>("garbage");
    QTest::newRow("missing") << false;
    QTest::newRow("not a database") << true;
}

void TestStartupFlow::unusableMessageFile() {
    QFETCH(bool, garbage);
    TestProgramFolder f;
    const QString msg = f.path() + QStringLiteral("/sys/msg");
    QVERIFY(QFile::remove(msg));
    if (garbage) {
        QFile out(msg);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4096, 'x'));
    }
    QVERIFY(!Main(f.path()));
    QCOMPARE(m_t.prompt->texts(),
             QStringList({QStringLiteral("必要とするメッセージデータベースが開けません"), kFatal,
                          kNotice}));
    QCOMPARE(m_t.prompt->shown.at(0).style, MsgStyle::Critical);
    QCOMPARE(f.errorLogProcedures(),
             QStringList({QStringLiteral("gMsgInit"), QStringLiteral("Main"),
                          QStringLiteral("mInitProgram"), QStringLiteral("Main")}));
    QVERIFY(f.errorLog().contains(
        QStringLiteral("\r\n必要とするメッセージマスタデータベースが開けません。\r\n")));
    // The data file was opened, so the shutdown closed and compacted it.
    QVERIFY(!gdbData().isOpen());
    QCOMPARE(m_t.process->terminations, QList<int>({0, 1}));
    Database db;
    QVERIFY(db.open(f.dbPath()));
}

void TestStartupFlow::ledgerWithoutSuppliers_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("仕入帳編集") << 1;
    QTest::newRow("売上帳編集") << 2;
}

void TestStartupFlow::ledgerWithoutSuppliers() {
    QFETCH(int, index);
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    bool ledgerOpened = false;
    frmMenu::setOpener(frmMenu::Target::Ledger, [&]() -> QWidget* {
        ledgerOpened = true;
        return new FakeFunctionWindow;
    });
    glngDataKind = 0;
    button(index)->click();

    QCOMPARE(glngDataKind, index);
    QCOMPARE(m_t.prompt->texts(),
             QStringList{QStringLiteral("仕入先データが") + catalogueText(34)});
    QVERIFY(
        m_t.prompt->texts().first().startsWith(QStringLiteral("仕入先データが登録されていません")));
    QCOMPARE(m_t.prompt->shown.first().style, 48);
    QVERIFY(!ledgerOpened);
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QVERIFY(m_t.process->terminations.isEmpty());
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestStartupFlow::ledgerWithSuppliersWaitsForItsWindow() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    QVERIFY(addSupplier(1, QStringLiteral("青果の山田"))); // an invalid supplier counts too
    button(2)->click();
    QCOMPARE(glngDataKind, 2);
    QVERIFY(m_t.prompt->shown.isEmpty());
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QVERIFY(m_t.process->pauses.isEmpty());
}

void TestStartupFlow::registeredWindowReplacesTheMenu() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    QVERIFY(!button(0)->isEnabled());
    QPointer<QWidget> opened;
    frmMenu::setOpener(frmMenu::Target::Master, [&]() -> QWidget* {
        opened = new FakeFunctionWindow;
        return opened;
    });
    QVERIFY(button(0)->isEnabled()); // enabled on the open menu at once
    gblnMasterFromData = true;
    button(0)->click();

    QVERIFY(!gblnMasterFromData);
    QVERIFY(opened && opened->isVisible());
    QVERIFY(!frmMenu::existing()); // closed and released, without a shutdown
    QVERIFY(m_t.process->pauses.isEmpty());
    QVERIFY(m_t.process->terminations.isEmpty());
    QVERIFY(gdbData().isOpen());

    opened->close();
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QVERIFY(button(0)->isEnabled());
    QVERIFY(m_t.process->terminations.isEmpty());

    // Closing the menu after that ends the program through the shutdown window.
    button(6)->click();
    QCOMPARE(m_t.process->pauses, QList<int>{2000});
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!gdbData().isOpen());
}

void TestStartupFlow::reportWindowOpensInTheUpperThird() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    QPointer<QWidget> opened;
    frmMenu::setOpener(frmMenu::Target::Print, [&]() -> QWidget* {
        opened = new FakeFunctionWindow;
        opened->setWindowFlag(Qt::FramelessWindowHint);
        return opened;
    });
    QVERIFY(button(3)->isEnabled());
    button(3)->click();
    QVERIFY(opened);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(opened->frameGeometry().topLeft(),
             QPoint((screen.width() - 400) / 2, (screen.height() - 300) / 3));
    QVERIFY(!frmMenu::existing());
}

void TestStartupFlow::helpContents() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    frmMenu::existing()->mnuContents->trigger();
    QCOMPARE(m_t.shell->opened, QStringList{f.path() + QStringLiteral("/index.html")});
    QVERIFY(m_t.prompt->shown.isEmpty());
    QVERIFY(frmMenu::existing()->isVisible());
}

void TestStartupFlow::helpContentsMissingIsFatal() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    QVERIFY(QFile::remove(f.path() + QStringLiteral("/index.html")));
    frmMenu::existing()->mnuContents->trigger();
    QCOMPARE(m_t.prompt->texts(), QStringList({catalogueText(14), kFatal, kNotice}));
    QCOMPARE(f.errorLogProcedures(), QStringList({QStringLiteral("gDspHelp"),
                                                  QStringLiteral("frmMenu_mnuContents_Click")}));
    QCOMPARE(m_t.process->pauses, QList<int>{2000});
    QCOMPARE(m_t.process->terminations, QList<int>({0, 1}));
    QVERIFY(!gdbData().isOpen());
}

void TestStartupFlow::aboutWindow() {
    TestProgramFolder f;
    QVERIFY(Main(f.path()));
    QString title;
    QString caption;
    QString contact;
    bool iconShown = false;
    bool modal = false;
    QStringList menuItems;
    QTimer::singleShot(0, [&] {
        frmAbout* a = frmAbout::existing();
        if (!a)
            return;
        modal = QApplication::activeModalWidget() == a;
        caption = a->windowTitle();
        title = a->lblTitle->text();
        contact = a->lblContact->text();
        iconShown = !a->imgIcon->pixmap().isNull();
        for (QAction* act : a->findChildren<QAction*>())
            if (!act->objectName().isEmpty())
                menuItems << act->objectName();
        a->cmdHP->click();
        a->cmdOK->click();
    });
    frmMenu::existing()->mnuAbout->trigger();

    QVERIFY(modal);
    QCOMPARE(caption, QStringLiteral("このソフトについて"));
    QCOMPARE(title, appTitle() + QStringLiteral("  version ") + appVersionText());
    QCOMPARE(contact, QStringLiteral("お問い合わせ、最新版の配布は"));
    QVERIFY(iconShown);
    QCOMPARE(menuItems, QStringList{QStringLiteral("mnuContents")}); // no About in the About
    QCOMPARE(m_t.shell->opened.size(), 1);                           // the maker's page
    QVERIFY(m_t.prompt->shown.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmAbout::existing());
    QVERIFY(frmMenu::existing()->isVisible());
}

void TestStartupFlow::secondInstanceEndsSilently() {
    TestProgramFolder f;
    QLockFile other(gInstanceLockPath());
    QVERIFY(other.tryLock(0)); // the instance that runs already
    QVERIFY(!Main(f.path()));
    QVERIFY(m_t.prompt->shown.isEmpty());
    QCOMPARE(m_t.process->terminations, QList<int>{0});
    QVERIFY(!gdbData().isOpen());
    QVERIFY(!gdbMsg().isOpen());
    QVERIFY(!frmMenu::existing());
    QCOMPARE(f.errorLogEntries(), 0);

    // Once the other instance has ended, the program starts and holds the lock itself.
    other.unlock();
    QVERIFY(Main(f.path()));
    QLockFile third(gInstanceLockPath());
    QVERIFY(!third.tryLock(0));
}

void TestStartupFlow::secondInstanceMessageWhenAsked() {
    TestProgramFolder f;
    QLockFile other(gInstanceLockPath());
    QVERIFY(other.tryLock(0));
    QVERIFY(!gChkPrevInstance(true));
    QCOMPARE(m_t.prompt->texts(), QStringList{QStringLiteral("既に起動されています")});
    QCOMPARE(m_t.prompt->shown.first().style, MsgStyle::OKOnly);
    QCOMPARE(m_t.process->terminations, QList<int>{0});
}

// A lock file left behind by an instance that crashed must not keep the program from starting.
void TestStartupFlow::lockOfADeadInstanceIsTakenOver() {
    TestProgramFolder f;
    {
        QFile stale(gInstanceLockPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        // Process id, application name, host name: a process that does not exist.
        stale.write("2147483000\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                    QSysInfo::machineHostName().toUtf8() + "\n");
    }
    QVERIFY(gChkPrevInstance(false));
    QVERIFY(m_t.process->terminations.isEmpty());
}

void TestStartupFlow::dataFileInUseIsToldAndNotOpened() {
    TestProgramFolder f;
    QLockFile other(gDataLockPath(f.dbPath()));
    QVERIFY(other.tryLock(0)); // another program on the same file
    const QByteArray before = [&f] {
        QFile file(f.dbPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY(!Main(f.path()));
    QCOMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY(m_t.prompt->texts().at(0).contains(QStringLiteral("他のプログラムで使用中")));
    QVERIFY(m_t.prompt->texts().at(0).contains(QSysInfo::machineHostName()));
    QCOMPARE(m_t.process->terminations, QList<int>{1});
    QVERIFY(!gdbData().isOpen());
    QVERIFY(!frmMenu::existing());
    QFile file(f.dbPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestStartupFlow::unwritableTemporaryFolderIsTold() {
    TestProgramFolder f;
    // A folder nobody can create files in, not even the superuser.
    qputenv("temp", "/proc/self");
    const bool started = Main(f.path());
    qputenv("temp", f.tempPath().toLocal8Bit());
    QVERIFY(!started);
    QCOMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY(m_t.prompt->texts().at(0).startsWith(QStringLiteral("一時フォルダーに書き込めない")));
    QCOMPARE(m_t.process->terminations, QList<int>{1});
}

void TestStartupFlow::readOnlyDataFileIsShownNotEdited() {
    TestProgramFolder f;
    QVERIFY(QFile::setPermissions(f.dbPath(), QFileDevice::ReadOwner));
    QVERIFY(Main(f.path()));
    QTRY_COMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY(m_t.prompt->texts().at(0).startsWith(QStringLiteral("データファイルに書き込めない")));
    QVERIFY(gDataFileReadOnly());
    QVERIFY(!button(4)->isEnabled()); // システム
    QVERIFY(button(1)->isEnabled());  // the ledgers can still be looked at
    QFile::setPermissions(f.dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestStartupFlow::damagedDataFileIsToldOnceAndKept() {
    TestProgramFolder f;
    QVERIFY(f.open());
    {
        Transaction t(gdbData());
        for (int i = 0; i < 1000; ++i)
            QVERIFY(gdbData().executeSQL(QStringLiteral("INSERT INTO T_DATA1 (strNote) VALUES (?)"),
                                         {QString(100, QLatin1Char('n'))}));
        QVERIFY(t.commit());
    }
    f.close();
    QFile file(f.dbPath());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(4096 * 10));
    QVERIFY(file.write(QByteArray(4096 * 2, '\xa5')) == 4096 * 2);
    QVERIFY(file.seek(0));
    const QByteArray before = file.readAll();
    file.close();

    QVERIFY(Main(f.path()));
    QTRY_COMPARE(m_t.prompt->shown.size(), 1);
    QVERIFY(m_t.prompt->texts().at(0).startsWith(QStringLiteral("データファイルが壊れています")));
    // A statement that meets the damage later tells nothing more.
    ResultSet rs(gdbData());
    QVERIFY(!rs.openRecordSet(QStringLiteral("SELECT * FROM T_DATA1_CAPTION")));
    QTest::qWait(50);
    QCOMPARE(m_t.prompt->shown.size(), 1);

    QVERIFY(gTermDataBase()); // the shutdown
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
}

QTEST_MAIN(TestStartupFlow)
#include "test_startup_flow.moc"
