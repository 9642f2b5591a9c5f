// The error log's entries and the message catalogue's texts and fallbacks.
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
    void laterEntriesAndLogicalFailures();
    void unwritableLogIsLostSilently();
    void tempFolderOrder();
    void helpWebPageAndErrorLog();
    void showsTheRowWithTheAdditionalText_data();
    void showsTheRowWithTheAdditionalText();
    void everyUsedCodeHasARow();
    void missingCodeShowsFallback();
    void unreadableCatalogueLogsOnce();
    void catalogueThatCannotBeOpened();
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
    int i = 10;
    for (const char* key : {"\tVersion：", "\tMajor：", "\tMinor：", "\tBuild：", "\tSubVersion："})
        QVERIFY(lines.at(i++).startsWith(QString::fromUtf8(key)));
    QCOMPARE(lines.mid(15), (QStringList{QStringLiteral("\tIeType：Can'tGet"), {}, {}, {}}));
}

void tst_ErrorLog::laterEntriesAndLogicalFailures() {
    gSetLastError(5, QStringLiteral("SQLite"), QStringLiteral("database is locked"));
    gProcError(QStringLiteral("DbOpenDataBase"));
    // The described failure belongs to one report only; no additional text adds no line.
    gProcError(QStringLiteral("gGetSupplierCount"), QString());
    const QString log = m_folder->errorLog();
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{QStringLiteral("DbOpenDataBase"), QStringLiteral("gGetSupplierCount")}));
    QVERIFY(log.startsWith(kCrLf + QStringLiteral("アプリケーション名：")));
    // The first entry's two closing line breaks, then the second entry's opening empty line.
    QCOMPARE(log.count(QStringLiteral("Can'tGet") + kCrLf + kCrLf + kCrLf + kCrLf +
                       QStringLiteral("アプリケーション名：")),
             1);
    QVERIFY(log.contains(QStringLiteral("DbOpenDataBase (SQLite)でエラーが発生しました。")));
    QVERIFY(log.contains(appVersionText() + kCrLf + QStringLiteral("エラー番号：0") + kCrLf +
                         QStringLiteral("gGetSupplierCount ()でエラーが発生しました。")));
}

void tst_ErrorLog::unwritableLogIsLostSilently() {
    // A folder where the log file should be: the entry cannot be written.
    QVERIFY(QDir().mkpath(m_folder->errorLogPath()));
    gProcError(QStringLiteral("DbClose"), QStringLiteral("x"));
    QVERIFY(QFileInfo(m_folder->errorLogPath()).isDir());
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_ErrorLog::tempFolderOrder() {
    // "temp" first, then "tmp", then the system's folder.
    QTemporaryDir root;
    const QString temp = root.filePath(QStringLiteral("t1"));
    const QString tmp = root.filePath(QStringLiteral("t2"));
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(tmp));
    qputenv("temp", temp.toLocal8Bit());
    qputenv("tmp", tmp.toLocal8Bit());
    QStringList got{gGetTempFolder()};
    QDir(temp).removeRecursively();
    got << gGetTempFolder();
    QDir(tmp).removeRecursively();
    got << gGetTempFolder();
    qputenv("temp", m_folder->tempPath().toLocal8Bit());
    qputenv("tmp", m_folder->tempPath().toLocal8Bit());
    QCOMPARE(got, (QStringList{temp, tmp, QDir::tempPath()}));
}

void tst_ErrorLog::helpWebPageAndErrorLog() {
    QVERIFY(!gDspErrLog()); // no log yet
    QVERIFY(m_svc.shell->opened.isEmpty());
    m_svc.shell->result = false; // the desktop refuses: a failure, told and logged
    QVERIFY(!gDspHelp(QStringLiteral("index.html")));
    QVERIFY(!gDspHP());
    const QString address = m_svc.shell->opened.value(1);
    QVERIFY(!address.isEmpty());
    const QString msg14 = catalogueRow(14).msg;
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{msg14, QStringLiteral("HPアドレス：\r\n") + address + msg14}));
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{QStringLiteral("gDspHelp"), QStringLiteral("gDspHP")}));
    QVERIFY(!gDspErrLog());
    m_svc.shell->result = true;
    QVERIFY(gDspErrLog());
    QCOMPARE(m_svc.shell->opened.last(), m_folder->errorLogPath());
}

void tst_ErrorLog::showsTheRowWithTheAdditionalText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("addText");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("addFirst");
    QTest::newRow("position 0 is before")
        << 34 << QStringLiteral("仕入先データが") << 0 << 1 << true;
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

void tst_ErrorLog::everyUsedCodeHasARow() {
    for (int code : {1, 2, 4, 6, 7, 14, 19, 22, 24, 29, 34, 36, 40, 50, 55}) {
        const Row row = catalogueRow(code);
        QVERIFY2(!row.msg.trimmed().isEmpty(), qPrintable(QString::number(code)));
        // 24 asks before deleting; the backup notice (55) can be cancelled.
        QCOMPARE(row.style & 7, code == 24   ? MsgStyle::YesNo
                                : code == 55 ? MsgStyle::OKCancel
                                             : MsgStyle::OKOnly);
        QVERIFY((row.style & 0x70) != 0); // every message carries an icon
    }
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
}

// A catalogue file that is not one (here the data file) is refused; a missing or garbled one is
// the start-up flow's case.
void tst_ErrorLog::catalogueThatCannotBeOpened() {
    gMsgClose();
    const QString msg = m_folder->path() + QStringLiteral("/sys/msg");
    QVERIFY(QFile::remove(msg) && QFile::copy(m_folder->dbPath(), msg));
    QVERIFY(!gMsgInit(msg));
    QVERIFY(!gdbMsg().isOpen());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{QStringLiteral("gMsgInit")});
    QCOMPARE(gDispMsg(34, QString(), 0), -100);
    QCOMPARE(m_svc.prompt->texts(), QStringList{kFailed});
}

QTEST_GUILESS_MAIN(tst_ErrorLog)
#include "tst_ErrorLog.moc"
