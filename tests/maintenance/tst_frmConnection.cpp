#include "TestData.h"
#include "TestServices.h"
#include "maintenance/frmConnection.h"
#include "maintenance/frmSystem.h"
#include "store/DataLocation.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs act on the connection window once it is shown (it is modal).
void whenShown(std::function<void(frmConnection*)> act) {
    QTimer::singleShot(0, qApp, [act] {
        auto* w = qobject_cast<frmConnection*>(QApplication::activeModalWidget());
        if (!w) {
            whenShown(act);
            return;
        }
        act(w);
    });
}

// The user's settings file as text.
QString settingsText() {
    QSettings s(u"Quillo-soft"_s, u"tovaki"_s);
    s.sync();
    return QString::fromUtf8(readBytes(s.fileName()));
}

} // namespace

class tst_frmConnection : public DataFileTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void savedChoiceIsUsedAtTheNextStart_data();
    void savedChoiceIsUsedAtTheNextStart();
    void serverWithoutDatabaseIsRefused();
    void systemWindowOpensIt();
    void connectionTestTellsWhoseBooks();

private:
    QTemporaryDir m_settingsDir;
};

void tst_frmConnection::initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_frmConnection::init() {
    DataFileTest::init();
    QSettings(u"Quillo-soft"_s, u"tovaki"_s).clear();
}

void tst_frmConnection::cleanup() {
    delete frmSystem::existing();
    DataFileTest::cleanup();
}

void tst_frmConnection::savedChoiceIsUsedAtTheNextStart_data() {
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("dataOption"); // --db
    QTest::addColumn<QString>("expected");   // what the next start opens ("": the data file)
    QTest::newRow("a server, every field, quotes")
        << true << u" db.example "_s << 5433 << u"o'neil \\ x"_s << QString()
        << u"host='db.example' port='5433' dbname='帳簿 1' user='o\\'neil \\\\ x'"_s;
    QTest::newRow("this computer's server, the login name")
        << true << QString() << 1 << QString() << QString() << u"port='1' dbname='帳簿 1'"_s;
    QTest::newRow("--db names a data file")
        << true << QString() << 65535 << QString() << u"/books/db1"_s << QString();
    QTest::newRow("the data file")
        << false << u"db.example"_s << 5432 << QString() << QString() << QString();
}

// What the window saves is what the next start connects to, without a password anywhere.
void tst_frmConnection::savedChoiceIsUsedAtTheNextStart() {
    QFETCH(bool, server);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, user);
    QFETCH(QString, dataOption);
    QFETCH(QString, expected);
    whenShown([&](frmConnection* w) {
        QCOMPARE(w->optDataFile->isChecked(), true); // nothing chosen yet: the data file
        QVERIFY(!w->fraServer->isEnabled());
        w->optServer->click();
        QVERIFY(w->fraServer->isEnabled());
        w->txtHost->setText(host);
        w->spnPort->setValue(port);
        w->txtDatabase->setText(u"帳簿 1"_s);
        w->txtUser->setText(user);
        if (!server)
            w->optDataFile->click();
        w->cmdSave->click();
    });
    QVERIFY(gShowConnectionWindow(nullptr, true));
    QCOMPARE(gStartupServer(QString(), dataOption), expected);
    // --server (or TOVAKI_SERVER) goes first.
    QCOMPARE(gStartupServer(u"host=other dbname=x"_s, dataOption), u"host=other dbname=x"_s);
    QVERIFY(!settingsText().contains(u"password"_s, Qt::CaseInsensitive));
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmConnection::serverWithoutDatabaseIsRefused() {
    bool stillOpen = false;
    whenShown([&](frmConnection* w) {
        w->optServer->click();
        w->txtDatabase->setText(u"  "_s);
        w->cmdSave->click();
        stillOpen = w->isVisible();
        w->cmdCancel->click();
    });
    QVERIFY(!gShowConnectionWindow(nullptr, true));
    QVERIFY(stillOpen);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"データベース名を入力してください。"_s});
    QCOMPARE(gStartupServer(QString(), QString()), QString());
}

void tst_frmConnection::systemWindowOpensIt() {
    frmSystem* sys = frmSystem::instance();
    sys->show();
    bool shown = false;
    whenShown([&](frmConnection* w) {
        shown = w->lblNextStart->isVisible(); // it tells that the choice is for the next start
        w->cmdCancel->click();
    });
    sys->findChild<QPushButton*>(u"cmdConnection"_s)->click();
    QVERIFY(shown);
}

// 接続テスト with the values shown: the books of this test, then a database without them.
void tst_frmConnection::connectionTestTellsWhoseBooks() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString books = gTestServerDatabase().section(u"dbname="_s, -1);
    whenShown([&](frmConnection* w) {
        w->optServer->click();
        w->txtHost->setText(gTestServer().section(u"host="_s, 1).section(u' ', 0, 0));
        w->txtDatabase->setText(books);
        w->cmdTest->click();
        w->txtDatabase->setText(u"postgres"_s);
        w->cmdTest->click();
        w->cmdCancel->click();
    });
    QVERIFY(!gShowConnectionWindow(nullptr, true));
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    QCOMPARE(m_svc.prompt->texts().at(0), u"接続できました。"_s);
    QVERIFY(m_svc.prompt->texts().at(1).startsWith(
        u"接続はできましたが、この帳簿は使えません。\r\nサーバーのデータベースは空です。"_s));
}

QTEST_MAIN(tst_frmConnection)
#include "tst_frmConnection.moc"
