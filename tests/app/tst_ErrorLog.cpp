// The error log's entries and the message catalogue's texts and fallbacks.
#include "TestData.h"
#include "TestServices.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

struct Row {
    QString msg;
    int style = -1;
};

Row catalogueRow(int code) {
    ResultSet rs(gdbMsg());
    if (!rs.openRecordSet(QStringLiteral("SELECT MSG, DLGFLG FROM t_MSG WHERE CODE = ?"), {code}) ||
        rs.recordCount() == 0)
        return {};
    return {rs.text(0), static_cast<int>(rs.lng(1))};
}

const QString kCrLf = QStringLiteral("\r\n");
const QString kFailed = QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。");

} // namespace

class tst_ErrorLog : public DataFileTest {
    Q_OBJECT
private slots:
    void entryHasTheFixedLinesFramedByEmptyLines();
    void showsTheRowWithTheAdditionalText_data();
    void showsTheRowWithTheAdditionalText();
    void missingCodeShowsFallback();
    void unreadableCatalogueLogsOnce();
};

void tst_ErrorLog::entryHasTheFixedLinesFramedByEmptyLines() {
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
    QCOMPARE(lines.mid(15), (QStringList{QStringLiteral("\tIeType：Can'tGet"), {}, {}, {}}));
}

void tst_ErrorLog::showsTheRowWithTheAdditionalText_data() {
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

void tst_ErrorLog::showsTheRowWithTheAdditionalText() {
    QFETCH(int, code);
    QFETCH(QString, addText);
    QFETCH(int, position);
    QFETCH(int, answer);
    QFETCH(bool, addFirst);
    const Row row = catalogueRow(code);
    QVERIFY(!row.msg.isEmpty());
    m_svc.prompt->answers << answer;
    QCOMPARE(gDispMsg(code, addText, position), answer);
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    const ShownPrompt& p = m_svc.prompt->shown.first();
    QCOMPARE(p.text, addFirst ? addText + row.msg : row.msg + addText);
    QCOMPARE(p.style, row.style);
    QCOMPARE(p.title, QString()); // the application title
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ErrorLog::missingCodeShowsFallback() {
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
void tst_ErrorLog::unreadableCatalogueLogsOnce() {
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

QTEST_GUILESS_MAIN(tst_ErrorLog)
#include "tst_ErrorLog.moc"
