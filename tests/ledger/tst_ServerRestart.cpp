#include "TestData.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LedgerModel.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/ServerSchema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Whether the server's programs are installed where tests/server/pg-cluster.sh looks.
bool serverProgramsInstalled() {
    const QDir lib(u"/usr/lib/postgresql"_s);
    for (const QString& v : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFile::exists(lib.filePath(v + u"/bin/pg_ctl"_s)))
            return true;
    return !qEnvironmentVariableIsEmpty("PG_BIN");
}

// Runs pg-cluster.sh with command on the cluster folder dir.
bool cluster(const QString& command, const QString& dir) {
    QProcess p;
    p.start(u"sh"_s, {QStringLiteral(TOVAKI_PG_CLUSTER_SCRIPT), command, dir});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

QStringList column(const LedgerModel& m, int col) {
    QStringList out;
    for (int r = 0; r < m.lineCount(); ++r)
        out << m.data(m.index(r, col)).toString();
    return out;
}

const QString kNotStored = u"サーバーとの接続が切れたため、この変更は保存していません。"_s;

} // namespace

// The books on a server of the test's own (not the cluster other tests share), stopped in the
// middle of a session and started again.
class tst_ServerRestart : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void serverStoppedMidSessionAndRestarted();

private:
    std::unique_ptr<QTemporaryDir> m_base;
    QString m_cluster;
};

void tst_ServerRestart::init() {
    if (!serverProgramsInstalled())
        QSKIP("no PostgreSQL server programs (install the postgresql package)");
    DataFileTest::init();
    // The server runs as its own user under root: the folder must be open to it.
    m_base = std::make_unique<QTemporaryDir>(u"/tmp/tovaki-restart-XXXXXX"_s);
    QVERIFY(m_base->isValid());
    QVERIFY(QFile::setPermissions(
        m_base->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                            QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    m_cluster = m_base->path() + u"/pg"_s;
    QVERIFY(cluster(u"start"_s, m_cluster));
}

void tst_ServerRestart::cleanup() {
    gdbData().close();
    if (!m_cluster.isEmpty())
        cluster(u"stop"_s, m_cluster);
    m_cluster.clear();
    m_base.reset();
    DataFileTest::cleanup();
}

// Every cell the program acknowledged is on the server; a cell tried while the server is away
// is refused with the reason and nothing of it is stored; the program connects again by
// itself, listens again for other programs' changes, and a restart between two cells goes
// unnoticed by the user.
void tst_ServerRestart::serverStoppedMidSessionAndRestarted() {
    QFile f(m_cluster + u"/conninfo"_s);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString server = QString::fromUtf8(f.readAll()).trimmed();
    {
        Database admin;
        QVERIFY(admin.openServer(server));
        QVERIFY(admin.executeSQL(u"CREATE DATABASE tovaki_books TEMPLATE template0"_s));
    }
    const QString books = server + u" dbname=tovaki_books"_s;
    {
        Database init;
        QVERIFY(init.openServer(books) && gServerInit(init, u"test"_s));
    }
    QVERIFY(DbInitServer(gdbData(), books));
    QVERIFY(addLine({.masterID = 4, .date = QDate(2024, 3, 1), .item = u"品"_s}) > 0);
    LedgerModel m(1, gdbData());
    QVERIFY(m.load(4, LedgerView::Entry));
    RuleResult refusal;
    QVERIFY(m.setCellText(0, LedgerCol::Note, u"一"_s, refusal));
    QVERIFY(m.setCellText(1, LedgerCol::Item, u"新"_s, refusal));

    QVERIFY(cluster(u"halt"_s, m_cluster));
    // A changed cell, a new line and a deletion: each refused, told, and the grid as stored.
    QVERIFY(!m.setCellText(0, LedgerCol::Note, u"二"_s, refusal));
    QCOMPARE(refusal.text.section(u"\r\n"_s, 0, 0), kNotStored);
    QVERIFY(!m.setCellText(2, LedgerCol::Item, u"無"_s, refusal));
    QCOMPARE(refusal.text.section(u"\r\n"_s, 0, 0), kNotStored);
    QVERIFY(!m.removeLines({0}));
    QCOMPARE(m.lastRefusal().text.section(u"\r\n"_s, 0, 0), kNotStored);
    QCOMPARE(column(m, LedgerCol::Note), (QStringList{u"一"_s, QString()}));
    QCOMPARE(column(m, LedgerCol::Item), (QStringList{u"品"_s, u"新"_s}));

    QVERIFY(cluster(u"resume"_s, m_cluster));
    QSignalSpy refreshed(&m, &LedgerModel::refreshed);
    QVERIFY(m.setCellText(0, LedgerCol::Note, u"三"_s, refusal));
    // Stopped and started between two cells: the next cell connects again without a word.
    QVERIFY(cluster(u"halt"_s, m_cluster));
    QVERIFY(cluster(u"resume"_s, m_cluster));
    QVERIFY(m.setCellText(1, LedgerCol::Note, u"四"_s, refusal));
    // What other programs changed meanwhile was never told: after each reconnection the grid
    // reads its lines again.
    QTRY_COMPARE(refreshed.count(), 2);

    Database other;
    QVERIFY(other.openServer(books));
    ResultSet rs(other);
    QVERIFY(rs.openRecordSet(u"SELECT strItem, strNote FROM T_DATA1 ORDER BY lngID"_s));
    QStringList stored;
    for (; !rs.eof(); rs.moveNext())
        stored << rs.text(0) + u"/"_s + rs.text(1);
    QCOMPARE(stored, (QStringList{u"品/三"_s, u"新/四"_s}));
    // Listening again: a line another program stores shows in the grid.
    LedgerModel otherModel(1, other);
    QVERIFY(otherModel.load(4, LedgerView::Entry));
    QVERIFY(otherModel.setCellText(2, LedgerCol::Item, u"他"_s, refusal));
    QTRY_COMPARE_WITH_TIMEOUT(column(m, LedgerCol::Item), (QStringList{u"品"_s, u"新"_s, u"他"_s}),
                              2000);
}

QTEST_GUILESS_MAIN(tst_ServerRestart)
#include "tst_ServerRestart.moc"
