#include "TestData.h"
#include "TestServices.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/HelpMenu.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString catalogueText(int code) {
    ResultSet rs(gdbMsg());
    if (!rs.openRecordSet(QStringLiteral("SELECT MSG FROM t_MSG WHERE CODE = ?"), {code}))
        return {};
    return rs.text(0);
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

class TestErrorLog : public QObject {
    Q_OBJECT
private slots:
    void init() { m_t = TestServices::install(); }

    void entryHasTheFixedLinesFramedByEmptyLines();
    void emptyAdditionalTextAddsNoLine();
    void twoFailuresAppendTwoFramedEntries();
    void logicalFailureShowsNumberZero();
    void unwritableLogIsLostSilently();
    void tempFolderOrder_data();
    void tempFolderOrder();
    void help_data();
    void help();
    void webPageFailureShowsTheAddress();
    void errorLogOpenedOnlyWhenItExists();

private:
    TestServices m_t{};
};

void TestErrorLog::entryHasTheFixedLinesFramedByEmptyLines() {
    TestProgramFolder f;
    QVERIFY(f.isValid());
    m_t.clock->fixed = QDateTime(QDate(2024, 3, 5), QTime(9, 7, 3));
    gSetLastError(19, QStringLiteral("SQLite"), QStringLiteral("constraint failed"));
    gProcError(QStringLiteral("DbExecuteSQL"), QStringLiteral("SQL=DELETE FROM T_MASTER"));

    QFile file(f.errorLogPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(file.readAll());
    // Every line ends in CR LF; no bare LF anywhere.
    QCOMPARE(log.count(QLatin1Char('\n')), log.count(kCrLf));
    QVERIFY(log.startsWith(kCrLf + QStringLiteral("アプリケーション名：")));
    QVERIFY(log.endsWith(QStringLiteral("\tIeType：") + QStringLiteral("Can'tGet") + kCrLf + kCrLf +
                         kCrLf));

    const QStringList lines = log.split(kCrLf);
    // "", 15 text lines, the write's own line break, the trailing empty line.
    QCOMPARE(lines.size(), 1 + 15 + 3);
    QCOMPARE(lines.at(0), QString());
    QCOMPARE(lines.at(1), QStringLiteral("アプリケーション名：") + appTitle());
    QCOMPARE(lines.at(2), QStringLiteral("アプリケーションヴァージョン：") + appVersionText());
    QCOMPARE(lines.at(3), QStringLiteral("SQL=DELETE FROM T_MASTER"));
    QCOMPARE(lines.at(4), QStringLiteral("エラー番号：19"));
    QCOMPARE(lines.at(5), QStringLiteral("DbExecuteSQL (SQLite)でエラーが発生しました。"));
    QCOMPARE(lines.at(6), QStringLiteral("管理者に問い合わせて下さい｡"));
    QCOMPARE(lines.at(7), QStringLiteral("エラー内容：constraint failed"));
    QCOMPARE(lines.at(8), QStringLiteral("発生日時：2024/03/05 09:07:03"));
    QCOMPARE(lines.at(9), QStringLiteral("WINTYPE："));
    QVERIFY(lines.at(10).startsWith(QStringLiteral("\tVersion：")));
    QVERIFY(lines.at(11).startsWith(QStringLiteral("\tMajor：")));
    QVERIFY(lines.at(12).startsWith(QStringLiteral("\tMinor：")));
    QVERIFY(lines.at(13).startsWith(QStringLiteral("\tBuild：")));
    QVERIFY(lines.at(14).startsWith(QStringLiteral("\tSubVersion：")));
    QCOMPARE(lines.at(15), QStringLiteral("\tIeType：Can'tGet"));
    QCOMPARE(lines.at(16), QString());
    QCOMPARE(lines.at(17), QString());
    QCOMPARE(lines.at(18), QString());
}

void TestErrorLog::emptyAdditionalTextAddsNoLine() {
    TestProgramFolder f;
    gProcError(QStringLiteral("mInitProgram"), QString());
    const QString log = f.errorLog();
    QVERIFY(log.contains(QStringLiteral("アプリケーションヴァージョン：") + appVersionText() +
                         kCrLf + QStringLiteral("エラー番号：0") + kCrLf));
    QCOMPARE(log.split(kCrLf).size(), 1 + 14 + 3);
}

void TestErrorLog::twoFailuresAppendTwoFramedEntries() {
    TestProgramFolder f;
    gProcError(QStringLiteral("DbInit"));
    gProcError(QStringLiteral("Main"),
               QStringLiteral("必要とするデータ保存用データベースが開けません。"));
    const QString log = f.errorLog();
    QCOMPARE(f.errorLogEntries(), 2);
    QCOMPARE(f.errorLogProcedures(),
             QStringList({QStringLiteral("DbInit"), QStringLiteral("Main")}));
    // The first entry's two closing line breaks, then the second entry's opening empty line.
    QCOMPARE(log.count(QStringLiteral("Can'tGet") + kCrLf + kCrLf + kCrLf + kCrLf +
                       QStringLiteral("アプリケーション名：")),
             1);
    // The first entry is kept as it was written.
    QVERIFY(log.startsWith(kCrLf + QStringLiteral("アプリケーション名：")));
}

void TestErrorLog::logicalFailureShowsNumberZero() {
    TestProgramFolder f;
    gSetLastError(5, QStringLiteral("SQLite"), QStringLiteral("database is locked"));
    gProcError(QStringLiteral("DbOpenDataBase"));
    // The described failure belongs to one report only.
    gProcError(QStringLiteral("gGetSupplierCount"));
    const QString log = f.errorLog();
    QVERIFY(log.contains(QStringLiteral("DbOpenDataBase (SQLite)でエラーが発生しました。")));
    QVERIFY(log.contains(QStringLiteral("エラー番号：0") + kCrLf +
                         QStringLiteral("gGetSupplierCount ()でエラーが発生しました。")));
}

void TestErrorLog::unwritableLogIsLostSilently() {
    TestProgramFolder f;
    // A folder where the log file should be: the entry cannot be written.
    QVERIFY(QDir().mkpath(f.errorLogPath()));
    gProcError(QStringLiteral("DbClose"), QStringLiteral("x"));
    QVERIFY(QFileInfo(f.errorLogPath()).isDir());
    QVERIFY(m_t.prompt->shown.isEmpty());
}

void TestErrorLog::tempFolderOrder_data() {
    QTest::addColumn<bool>("tempExists");
    QTest::addColumn<bool>("tmpExists");
    QTest::addColumn<QString>("expected"); // "temp", "tmp" or "system"
    QTest::newRow("temp first") << true << true << QStringLiteral("temp");
    QTest::newRow("missing temp, tmp next") << false << true << QStringLiteral("tmp");
    QTest::newRow("neither, system folder") << false << false << QStringLiteral("system");
}

void TestErrorLog::tempFolderOrder() {
    QFETCH(bool, tempExists);
    QFETCH(bool, tmpExists);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QString temp = root.path() + QStringLiteral("/t1");
    const QString tmp = root.path() + QStringLiteral("/t2");
    if (tempExists)
        QDir().mkpath(temp);
    if (tmpExists)
        QDir().mkpath(tmp);
    const QByteArray oldTemp = qgetenv("temp");
    const QByteArray oldTmp = qgetenv("tmp");
    qputenv("temp", temp.toLocal8Bit());
    qputenv("tmp", tmp.toLocal8Bit());
    const QString got = gGetTempFolder();
    qputenv("temp", oldTemp);
    qputenv("tmp", oldTmp);
    if (expected == QLatin1String("temp"))
        QCOMPARE(got, temp);
    else if (expected == QLatin1String("tmp"))
        QCOMPARE(got, tmp);
    else
        QCOMPARE(got, QDir::tempPath());
}

void TestErrorLog::help_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("shellOk");
    QTest::newRow("present is opened") << true << true;
    QTest::newRow("missing shows message 14") << false << true;
    QTest::newRow("shell refusal is a failure") << true << false;
}

void TestErrorLog::help() {
    QFETCH(bool, present);
    QFETCH(bool, shellOk);
    TestProgramFolder f;
    QVERIFY(f.open());
    if (!present)
        QVERIFY(QFile::remove(f.path() + QStringLiteral("/index.html")));
    m_t.shell->result = shellOk;
    const bool ok = present && shellOk;
    QCOMPARE(gDspHelp(QStringLiteral("index.html")), ok);
    QCOMPARE(m_t.shell->opened,
             present ? QStringList{f.path() + QStringLiteral("/index.html")} : QStringList());
    QCOMPARE(m_t.prompt->texts(), ok ? QStringList() : QStringList{catalogueText(14)});
    QCOMPARE(f.errorLogProcedures(), ok ? QStringList() : QStringList{QStringLiteral("gDspHelp")});
    if (!present) {
        QCOMPARE(m_t.prompt->shown.first().title, QString());
        // The entry carries no additional text: the version line is followed by the number.
        QVERIFY(f.errorLog().contains(appVersionText() + kCrLf + QStringLiteral("エラー番号：")));
    }
}

void TestErrorLog::webPageFailureShowsTheAddress() {
    TestProgramFolder f;
    QVERIFY(f.open());
    m_t.shell->result = false;
    QVERIFY(!gDspHP());
    QCOMPARE(m_t.shell->opened.size(), 1);
    const QString address = m_t.shell->opened.first();
    QVERIFY(!address.isEmpty());
    QCOMPARE(m_t.prompt->texts(),
             QStringList{QStringLiteral("HPアドレス：\r\n") + address + catalogueText(14)});
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("gDspHP")});
}

void TestErrorLog::errorLogOpenedOnlyWhenItExists() {
    TestProgramFolder f;
    QVERIFY(!gDspErrLog());
    QVERIFY(m_t.shell->opened.isEmpty());
    gProcError(QStringLiteral("x"));
    QVERIFY(gDspErrLog());
    QCOMPARE(m_t.shell->opened, QStringList{f.errorLogPath()});
    m_t.shell->result = false;
    QVERIFY(!gDspErrLog());
}

QTEST_GUILESS_MAIN(TestErrorLog)
#include "test_errorlog.moc"
