// The storage interface on both back ends (the data file; the test cluster's server in the
// "-server" run), and what only server mode has: its schema, its refusals and its messages.
#include "TestData.h"
#include "TestServices.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/ServerSchema.h"
#include "store/ServerTransfer.h"

#include <QTest>
#include <limits>

using namespace Qt::StringLiterals;

// Generated from resources/server (the build's ServerScripts.cpp).
const char* gServerBaseSchemaScript();

namespace {

// A database of its own on the test cluster for a server-only case, dropped at the end.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const QString& name) : m_name(name) {
        Database admin;
        m_ok = admin.openServer(gTestServer()) &&
               admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + name + u" WITH (FORCE)"_s) &&
               admin.executeSQL(u"CREATE DATABASE "_s + name + u" TEMPLATE template0"_s);
    }
    ~ScratchDatabase() {
        Database admin;
        if (admin.openServer(gTestServer()))
            admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + m_name + u" WITH (FORCE)"_s);
    }
    bool ok() const { return m_ok; }
    QString conninfo() const { return gTestServer() + u" dbname="_s + m_name; }

private:
    QString m_name;
    bool m_ok = false;
};

// The number of tables in the open server database's schema.
int tableCount(Database& db) {
    ResultSet rs(db);
    if (!rs.openRecordSet(u"SELECT count(*) FROM information_schema.tables WHERE "
                          "table_schema = current_schema()"_s) ||
        !rs.moveFirst())
        return -1;
    return int(rs.lng(0));
}

// Every row of every table of a data file, table by table in name order, each row as its values
// in column order with their types ("table: type:v1|type:v2|..."), the rows in stored order.
QStringList fileContents(const QString& path) {
    Database db;
    if (!db.open(path, u"test"_s, true))
        return {u"unreadable"_s};
    ResultSet tables(db);
    if (!tables.openRecordSet(u"SELECT name FROM sqlite_master WHERE type = 'table' "
                              "ORDER BY name"_s))
        return {u"unreadable"_s};
    QStringList out;
    for (const QVariantList& t : tables.rows()) {
        const QString table = t.value(0).toString();
        ResultSet rs(db);
        // The engine's own key table lists the tables in the order they first took a row.
        const QString order = table.startsWith(u"sqlite_"_s) ? u"1"_s : u"rowid"_s;
        if (!rs.openRecordSet(u"SELECT * FROM "_s + table + u" ORDER BY "_s + order))
            return {u"unreadable "_s + table};
        out << table + u" rows "_s + QString::number(rs.recordCount());
        for (const QVariantList& row : rs.rows()) {
            QStringList values;
            for (const QVariant& v : row)
                values << (v.isNull() ? u"NULL"_s
                                      : QString::fromLatin1(v.typeName()) + u":"_s +
                                            (v.metaType() == QMetaType::fromType<Currency>()
                                                 ? QString::number(v.value<Currency>().raw())
                                                 : v.toString()));
            out << table + u": "_s + values.join(QLatin1Char('|'));
        }
    }
    return out;
}

} // namespace

class tst_ServerMode : public DataFileTest {
    Q_OBJECT
private slots:
    void historyRows_data();
    void historyRows();
    void typedValues();
    void insertedKeys();
    void connectFailures_data();
    void connectFailures();
    void refusedDatabases_data();
    void refusedDatabases();
    void failedInitLeavesNothing();
    void olderSchemaIsMigrated();
    void loadThenDumpKeepsEveryValue();
};

// Each change writes the same history row on both back ends: the same action and the same
// texts before and after, key for key in the same order.
void tst_ServerMode::historyRows_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("action"); // "" when no row is written
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const QString full = u"{\"lngID\":1,\"lngMasterID\":3,\"date1\":\"2024-01-02\","
                         "\"lngSort\":null,\"strItem\":\"a\\\"b\\\\c 品\",\"strClass1\":null,"
                         "\"strClass2\":null,\"strClass3\":null,\"curQuantity\":null,"
                         "\"curUnitPrice\":null,\"curRegularPrice\":null,\"curRatio\":null,"
                         "\"curCost\":10000,\"curPayment\":null,\"curCheck\":null,"
                         "\"strNote\":null,\"blnChange\":0}"_s;
    QTest::newRow("insert") << QString() << u"I"_s << QString() << full;
    QTest::newRow("update of an amount") << u"UPDATE T_DATA1 SET curCost = 20000 WHERE lngID = 1"_s
                                         << u"U"_s << full << u"{\"curCost\":20000}"_s;
    QTest::newRow("update of the check mark alone")
        << u"UPDATE T_DATA1 SET blnChange = 1 WHERE lngID = 1"_s << QString() << QString()
        << QString();
    QTest::newRow("delete") << u"DELETE FROM T_DATA1 WHERE lngID = 1"_s << u"D"_s << full
                            << QString();
}

void tst_ServerMode::historyRows() {
    QFETCH(QString, change);
    QFETCH(QString, action);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost, "
        "blnChange) VALUES (?, ?, ?, ?, ?)"_s,
        {3, u"2024-01-02"_s, u"a\"b\\c 品"_s, QVariant::fromValue(Currency::fromInt(1)), false}));
    if (!change.isEmpty())
        QVERIFY(db.executeSQL(change));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT strAction, strOld, strNew, strTable, lngRowID, "
                             "lngMasterID, strOrigin FROM T_HISTORY ORDER BY lngID"_s));
    const int expected = change.isEmpty() ? 1 : action.isEmpty() ? 1 : 2;
    QCOMPARE(rs.recordCount(), expected);
    if (!change.isEmpty() && action.isEmpty())
        return;
    rs.moveLast();
    QCOMPARE(rs.text(0), action);
    QCOMPARE(rs.value(1).toString(), before);
    QCOMPARE(rs.value(2).toString(), after);
    QCOMPARE(rs.text(3), u"T_DATA1"_s);
    QCOMPARE(rs.lng(4), qint64(1));
    QCOMPARE(rs.lng(5), qint64(3));
    QCOMPARE(rs.text(6), u"other"_s);
}

// Values come back typed by their column's prefix on both back ends, sums of amounts too.
void tst_ServerMode::typedValues() {
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, date1, curCost, blnChange, "
                          "strNote) VALUES (?, ?, ?, ?, ?), (?, ?, ?, ?, ?)"_s,
                          {7, QDate(2024, 2, 29), QVariant::fromValue(Currency::fromRaw(12345)),
                           true, QVariant(), 7, QDate(2024, 3, 1),
                           QVariant::fromValue(Currency::fromRaw(-5)), false, u"メモ"_s}));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT Sum(curCost) AS curTotal, Max(date1) AS datLast, "
                             "Max(blnChange) AS blnAny, Count(*) AS lngCount, "
                             "Max(strNote) AS strNote FROM T_DATA1 WHERE lngMasterID = ?"_s,
                             {7}));
    QVERIFY(rs.moveFirst());
    QCOMPARE(rs.value(0).value<Currency>().raw(), qint64(12340));
    QCOMPARE(rs.value(1).toDate(), QDate(2024, 3, 1));
    QCOMPARE(rs.value(2).metaType().id(), QMetaType::Bool);
    QCOMPARE(rs.value(2).toBool(), true);
    QCOMPARE(rs.value(3).toLongLong(), qint64(2));
    QCOMPARE(rs.value(4).toString(), u"メモ"_s);
    // A sum beyond the integers is an overflow, as on the data file.
    QVERIFY(db.executeSQL(
        u"UPDATE T_DATA1 SET curCost = ?"_s,
        {QVariant::fromValue(Currency::fromRaw(std::numeric_limits<qint64>::max()))}));
    QVERIFY(!rs.openRecordSet(u"SELECT Sum(curCost) AS curTotal FROM T_DATA1"_s));
    QVERIFY(db.sumOverflowed());
}

// New rows give their key back through RETURNING on both back ends, the item lists' rowid too.
void tst_ServerMode::insertedKeys() {
    Database& db = gdbData();
    qint64 first = 0;
    qint64 second = 0;
    QVERIFY(db.insertRow(u"INSERT INTO T_DATA2 (lngMasterID) VALUES (?) RETURNING lngID"_s, {1},
                         u"test"_s, first));
    QVERIFY(db.insertRow(u"INSERT INTO T_DATA2 (lngMasterID) VALUES (?) RETURNING lngID"_s, {1},
                         u"test"_s, second));
    QCOMPARE(second, first + 1);
    qint64 item = 0;
    QVERIFY(db.insertRow(u"INSERT INTO T_DATA1_ITEM (strItem, lngSort) VALUES (?, ?) "
                         "RETURNING rowid"_s,
                         {u"品"_s, 1}, u"test"_s, item));
    QCOMPARE(dataRow(u"SELECT strItem FROM T_DATA1_ITEM WHERE rowid = ?"_s, {item}),
             QVariantList{u"品"_s});
}

// Every way a connection fails gets its own message naming what to check.
void tst_ServerMode::connectFailures_data() {
    QTest::addColumn<QString>("conninfo"); // "%1": the test cluster's socket folder
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("no equals sign") << u"host"_s << u"接続文字列が正しくありません。"_s;
    QTest::newRow("unknown option")
        << u"hots=%1"_s << u"接続文字列が正しくありません（知らない項目があります）。"_s;
    QTest::newRow("open quote") << u"host='%1"_s
                                << u"接続文字列が正しくありません（引用符が閉じていません）。"_s;
    QTest::newRow("unknown host") << u"host=no-such-host.invalid connect_timeout=5"_s
                                  << u"サーバーのホスト名が見つかりません。"_s;
    QTest::newRow("no server at the socket")
        << u"host=%1/none dbname=postgres"_s
        << u"サーバーに接続できません（サーバーが見つかりません）。"_s;
    QTest::newRow("refused on TCP") << u"host=127.0.0.1 port=1 dbname=postgres"_s
                                    << u"サーバーに接続できません（接続を拒否されました）。"_s;
    QTest::newRow("unknown user") << u"host=%1 dbname=postgres user=nobody_here"_s
                                  << u"サーバーにそのユーザーがありません。"_s;
    QTest::newRow("unknown database")
        << u"host=%1 dbname=no_such_books"_s << u"サーバーにそのデータベースがありません。"_s;
}

void tst_ServerMode::connectFailures() {
    QFETCH(QString, conninfo);
    QFETCH(QString, firstLine);
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString host = gTestServer().section(u"host="_s, 1).section(QLatin1Char(' '), 0, 0);
    Database db;
    QVERIFY(!DbInitServer(db, conninfo.contains(u"%1"_s) ? conninfo.arg(host) : conninfo));
    QVERIFY(!db.isOpen());
    QCOMPARE(DbInitRefusal().section(u"\r\n"_s, 0, 0), firstLine);
}

// A database that is not tovaki's books of this version is refused and left as it was.
void tst_ServerMode::refusedDatabases_data() {
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("empty") << QString() << u"サーバーのデータベースは空です。"_s;
    QTest::newRow("another program's")
        << u"CREATE TABLE accounts (id integer)"_s
        << u"サーバーのデータベースは本ソフトのものではありません。"_s;
    QTest::newRow("newer version")
        << u"CREATE TABLE T_SCHEMA_VERSION (lngVersion INTEGER); "
           "INSERT INTO T_SCHEMA_VERSION VALUES (5)"_s
        << u"サーバーのデータベースは新しいバージョン（5）の本ソフトで作られたため、使えません。"_s;
}

void tst_ServerMode::refusedDatabases() {
    QFETCH(QString, setUp);
    QFETCH(QString, firstLine);
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    ScratchDatabase scratch(u"tovaki_refused"_s);
    QVERIFY(scratch.ok());
    Database setup;
    QVERIFY(setup.openServer(scratch.conninfo()));
    if (!setUp.isEmpty())
        QVERIFY(setup.executeScript(setUp, u"test"_s));
    const int tables = tableCount(setup);
    Database db;
    QVERIFY(!DbInitServer(db, scratch.conninfo()));
    QVERIFY(!db.isOpen());
    QCOMPARE(DbInitRefusal().section(u"\r\n"_s, 0, 0), firstLine);
    QCOMPARE(tableCount(setup), tables);
}

// init is one transaction: a failure part-way leaves no table behind.
void tst_ServerMode::failedInitLeavesNothing() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    ScratchDatabase scratch(u"tovaki_halfmade"_s);
    QVERIFY(scratch.ok());
    Database db;
    QVERIFY(db.openServer(scratch.conninfo()));
    // The schema's own function already there: the script fails after its first table.
    QVERIFY(db.executeSQL(u"CREATE FUNCTION instr(text, text) RETURNS integer LANGUAGE sql "
                          "AS 'SELECT 0'"_s));
    QVERIFY(!gServerInit(db, u"test"_s));
    QCOMPARE(tableCount(db), 0);
    QVERIFY(db.executeSQL(u"DROP FUNCTION instr(text, text)"_s));
    QVERIFY(gServerInit(db, u"test"_s));
    QCOMPARE(db.schemaVersion(), kDbSchemaVersion);
}

// Books of version 1 are brought to this version when opened.
void tst_ServerMode::olderSchemaIsMigrated() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    ScratchDatabase scratch(u"tovaki_version1"_s);
    QVERIFY(scratch.ok());
    {
        Database v1;
        QVERIFY(v1.openServer(scratch.conninfo()));
        QVERIFY(v1.executeScript(QString::fromUtf8(gServerBaseSchemaScript()), u"test"_s));
        QCOMPARE(v1.schemaVersion(), 1);
    }
    Database db;
    QVERIFY(DbInitServer(db, scratch.conninfo()));
    QCOMPARE(db.schemaVersion(), kDbSchemaVersion);
    QVERIFY(db.executeSQL(u"INSERT INTO T_MASTER (lngMasterID, strInvoiceNo) VALUES (1, '')"_s));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT strAction FROM T_HISTORY"_s));
    QCOMPARE(rs.recordCount(), 1);
}

// A data file with suppliers, lines of both ledgers, classes, items, settings and the history
// they recorded goes to the server and comes back as a backup equal in every table, row and
// value. A second load into the same database is refused and changes nothing.
void tst_ServerMode::loadThenDumpKeepsEveryValue() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    const QString original = m_folder->dbPath();
    {
        Database file;
        QVERIFY(file.open(original));
        QVERIFY(file.executeScript(QString::fromUtf8(readBytes(QStringLiteral(
                                       TOVAKI_REPORTS_TEST_DATA "/profit_fixture.sql"))),
                                   u"test"_s));
        QVERIFY(file.executeScript(
            u"UPDATE T_DATA1 SET curCost = curCost + 1, strNote = 'a''b\"c' WHERE lngID = 2; "
            "DELETE FROM T_DATA1 WHERE lngID = 3; "
            // What the server's bulk copy escapes: backslash, tab, line ends, its NULL mark.
            "UPDATE T_DATA1 SET strNote = 'a\\b' || char(9) || 'c' || char(13, 10) || 'd\\N' "
            "WHERE lngID = 4; "
            "INSERT INTO T_DATA1_ITEM (strItem, lngSort) VALUES ('品1', 2), ('品2', NULL); "
            "DELETE FROM T_DATA1_ITEM WHERE strItem = '品1'; "
            "INSERT INTO T_DATA1_ITEM (strItem, lngSort) VALUES ('品3', 1); "
            "UPDATE T_MASTER SET strInvoiceNo = 'T1234567890123', datInvoiceFrom = '2023-10-01' "
            "WHERE lngMasterID = 1; "
            "INSERT INTO T_SYSTEM (lngID, curField, datField) VALUES "
            "(40, 123456, '2024-05-06 07:08:09'); "
            // Row 0 as the dump records it: the time of the backup (the test clock's).
            "DELETE FROM T_SYSTEM WHERE lngID = 0; "
            "INSERT INTO T_SYSTEM (lngID, datField) VALUES (0, '2024-03-05 10:15:00'); "
            "UPDATE T_HISTORY SET strUser = '佐藤', strHost = 'JIMUSHO-PC' WHERE lngID = 2"_s,
            u"test"_s));
    }
    const QStringList before = fileContents(original);
    QVERIFY(before.filter(u"T_HISTORY: "_s).size() >= 3);

    ScratchDatabase scratch(u"tovaki_loaded"_s);
    QVERIFY(scratch.ok());
    Database server;
    QVERIFY(server.openServer(scratch.conninfo()));
    QString message;
    QVERIFY2(gServerLoad(server, original, message), qPrintable(message));
    QCOMPARE(server.schemaVersion(), kDbSchemaVersion);
    const QString dumped = m_folder->tempPath() + u"/dumped.tvk"_s;
    QVERIFY2(gServerDump(server, dumped, message), qPrintable(message));
    QCOMPARE(gChkDataFile(dumped), DataFileStatus::Ok);
    QCOMPARE(fileContents(dumped), before);

    // New lines continue after the loaded keys.
    qint64 id = 0;
    QVERIFY(server.insertRow(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (1) RETURNING lngID"_s, {},
                             u"test"_s, id));
    // The lines were numbered 1..n, line 3 deleted: the next line is n + 1.
    QCOMPARE(id, qint64(before.filter(u"T_DATA1: "_s).size() + 2));

    QVERIFY(!gServerLoad(server, original, message));
    QCOMPARE(message.section(u"\r\n"_s, 0, 0), u"読み込み先のデータベースが空ではありません。"_s);
    QVERIFY(!gServerDump(server, dumped, message));
    QCOMPARE(message.section(u"\r\n"_s, 0, 0),
             u"同じ名前のファイルがあります。別の名前を指定してください。"_s);
}

QTEST_GUILESS_MAIN(tst_ServerMode)
#include "tst_ServerMode.moc"
