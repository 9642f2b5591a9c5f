#include "TestData.h"
#include "TestServices.h"
#include "base/ErrorLog.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

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

} // namespace

class TestMsgCatalogue : public QObject {
    Q_OBJECT
private slots:
    void init() { m_t = TestServices::install(); }
    void cleanup() {
        DbClose();
        gMsgClose();
    }

    void showsTheRowWithTheAdditionalText_data();
    void showsTheRowWithTheAdditionalText();
    void everyUsedCodeHasARow_data();
    void everyUsedCodeHasARow();
    void missingCodeShowsFallback();
    void closedCatalogueShowsFailure();
    void unreadableCatalogueLogsOnce();
    void catalogueThatCannotBeOpened_data();
    void catalogueThatCannotBeOpened();

private:
    TestServices m_t{};
};

void TestMsgCatalogue::showsTheRowWithTheAdditionalText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("addText");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("addFirst");
    QTest::newRow("34 with lead text") << 34 << QStringLiteral("仕入先データが") << 0 << 1 << true;
    QTest::newRow("34 items") << 34 << QStringLiteral("アイテムが") << 0 << 1 << true;
    QTest::newRow("position 1 puts it after")
        << 34 << QStringLiteral("（確認）") << 1 << 1 << false;
    QTest::newRow("position 2 is before") << 19 << QStringLiteral("日付は") << 2 << 1 << true;
    QTest::newRow("24 answered yes") << 24 << QString() << 0 << 6 << true;
    QTest::newRow("24 answered no") << 24 << QString() << 0 << 7 << true;
}

void TestMsgCatalogue::showsTheRowWithTheAdditionalText() {
    QFETCH(int, code);
    QFETCH(QString, addText);
    QFETCH(int, position);
    QFETCH(int, answer);
    QFETCH(bool, addFirst);
    TestProgramFolder f;
    QVERIFY(f.open());
    const Row row = catalogueRow(code);
    QVERIFY(!row.msg.isEmpty());
    m_t.prompt->answers << answer;
    QCOMPARE(gDispMsg(code, addText, position), answer);
    QCOMPARE(m_t.prompt->shown.size(), 1);
    const ShownPrompt& p = m_t.prompt->shown.first();
    QCOMPARE(p.text, addFirst ? addText + row.msg : row.msg + addText);
    QCOMPARE(p.style, row.style);
    QCOMPARE(p.title, QString()); // the application title
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestMsgCatalogue::everyUsedCodeHasARow_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("buttons");
    for (int code : {1, 2, 4, 6, 7, 14, 19, 22, 29, 34, 36, 40, 50, 55})
        QTest::addRow("%d", code) << code << MsgStyle::OKOnly;
    QTest::addRow("24") << 24 << MsgStyle::YesNo;
}

void TestMsgCatalogue::everyUsedCodeHasARow() {
    QFETCH(int, code);
    QFETCH(int, buttons);
    TestProgramFolder f;
    QVERIFY(f.open());
    const Row row = catalogueRow(code);
    QVERIFY(!row.msg.trimmed().isEmpty());
    QCOMPARE(row.style & 7, buttons);
    QVERIFY((row.style & 0x70) != 0); // every message carries an icon
}

void TestMsgCatalogue::missingCodeShowsFallback() {
    TestProgramFolder f;
    QVERIFY(f.open());
    m_t.prompt->answers << 6; // whatever is pressed, the caller sees -100
    QCOMPARE(gDispMsg(999, QStringLiteral("仕入先データが"), 0), -100);
    QCOMPARE(m_t.prompt->shown.size(), 1);
    const ShownPrompt& p = m_t.prompt->shown.first();
    QCOMPARE(p.text, QStringLiteral("ﾒｯｾｰｼﾞｺｰﾄﾞ： 999に対応するﾒｯｾｰｼﾞが登録されていません。"));
    QCOMPARE(p.title, QStringLiteral("gDispMsg"));
    QCOMPARE(p.style, MsgStyle::OKOnly);
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("gDispMsg")});
}

void TestMsgCatalogue::closedCatalogueShowsFailure() {
    TestProgramFolder f;
    QVERIFY(f.open());
    gMsgClose();
    QCOMPARE(gDispMsg(34, QStringLiteral("仕入先データが"), 0), -100);
    QCOMPARE(m_t.prompt->texts(), QStringList{QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。")});
    QCOMPARE(m_t.prompt->shown.first().title, QStringLiteral("gDispMsg"));
    QCOMPARE(m_t.prompt->shown.first().style, MsgStyle::OKOnly);
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("gDispMsg")});
}

// A read that fails inside the catalogue is reported once, under gDispMsg, with the engine's
// reason; not a second time under an inner routine's name.
void TestMsgCatalogue::unreadableCatalogueLogsOnce() {
    TestProgramFolder f;
    QVERIFY(f.open());
    QVERIFY(gdbMsg().executeSQL(QStringLiteral("DROP TABLE t_MSG")));
    for (int code : {34, 14, 999})
        QCOMPARE(gDispMsg(code, QString(), 0), -100);
    QCOMPARE(m_t.prompt->texts(), QStringList(3, QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。")));
    QCOMPARE(f.errorLogProcedures(), QStringList(3, QStringLiteral("gDispMsg")));
    QVERIFY(f.errorLog().contains(QStringLiteral("no such table")));
}

void TestMsgCatalogue::catalogueThatCannotBeOpened_data() {
    QTest::addColumn<QString>("content"); // "" = no file
    QTest::newRow("missing") << QString();
    QTest::newRow("not a database") << QStringLiteral("これはデータベースではありません");
    QTest::newRow("the data file") << QStringLiteral("<db1>");
}

void TestMsgCatalogue::catalogueThatCannotBeOpened() {
    QFETCH(QString, content);
    TestProgramFolder f;
    const QString msg = f.path() + QStringLiteral("/sys/msg");
    QVERIFY(QFile::remove(msg));
    if (content == QLatin1String("<db1>")) {
        QVERIFY(QFile::copy(f.dbPath(), msg));
    } else if (!content.isEmpty()) {
        QFile out(msg);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content.toUtf8().repeated(200));
    }
    QVERIFY(!gMsgInit(msg));
    QVERIFY(!gdbMsg().isOpen());
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("gMsgInit")});
    QCOMPARE(gDispMsg(34, QString(), 0), -100);
    QCOMPARE(m_t.prompt->texts(), QStringList{QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。")});
}

QTEST_GUILESS_MAIN(TestMsgCatalogue)
#include "test_msgcatalogue.moc"
