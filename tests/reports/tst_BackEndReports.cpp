#include "ReportTestData.h"
#include "TestData.h"
#include "XlsxCheck.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/ServerTransfer.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

// The same books in a data file and on a server (loaded from that file): every report and CSV
// file tovaki-report writes from the one is the same as from the other; workbooks sheet by
// sheet and cell by cell (values and styles), text files byte for byte. Server runs only.
class tst_BackEndReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void sameFiles_data();
    void sameFiles();

private:
    // Runs tovaki-report on the data file, or on the server; the files written, by name.
    bool run(const QStringList& args, bool server, QStringList& files, QString& why);
    TestServices m_svc{};
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    QString m_database; // the server database holding the loaded books
};

namespace {

// Suppliers with and without default ratios, an invoice issuer, an invalid one; lines of both
// ledgers over half a year (reduced and standard classes, tax lines, lines without a date, lines
// of order 0 or without one, payments, texts with commas, quotes and line breaks), on top of the
// profit table's fixture.
bool buildBooks() {
    if (!reporttest::loadProfit())
        return false;
    const QStringList classes{u"紙製品"_s, u"文具"_s, u"雑貨"_s, u"事務機器"_s};
    const QStringList notes{QString(), u"注文, 至急"_s, u"\"特\"価"_s, u"二行\r\n目"_s};
    for (qint32 id = 6; id <= 11; ++id) {
        SupplierRow s;
        s.masterID = id;
        s.shortName = u"取引先%1"_s.arg(id);
        s.valid = id != 11;
        if (id % 2 == 0) {
            s.supplyRatio = 55 + id;
            s.saleRatio = 70 + id;
        }
        s.supplyCarry = id * 1000.5;
        s.saleCarry = id * 250;
        s.notes = notes.at(id % notes.size());
        if (!addSupplier(s))
            return false;
        for (int n = 0; n < 40; ++n) {
            LineRow l;
            l.kind = n % 3 == 0 ? 2 : 1;
            l.masterID = id;
            if (n != 7) // one line without a date
                l.date = QDate(2023, 11, 1).addDays((n * 37 + id * 11) % 180);
            l.sort = n % 5 == 4 ? 0 : 1 + n % 3;
            l.item = n % 9 == 8 ? u"消費税"_s : u"品%1"_s.arg(n);
            l.class1 = n % 6 == 5 ? QString() : classes.at((n + id) % classes.size());
            l.class2 = n % 2 ? u"定番"_s : QString();
            if (n % 4 == 1) {
                l.quantity = 1 + n % 7;
                l.unitPrice = 120.5 + n;
            }
            if (n % 4 == 2)
                l.regularPrice = 1000 + n * 13;
            if (n % 3 != 2)
                l.ratio = 40 + n % 50;
            if (n % 10 == 9)
                l.payment = 5000 + n;
            else
                l.cost = (n % 8 == 3 ? -1 : 1) * (1234.5678 + n * id * 97);
            l.note = notes.at(n % notes.size());
            if (addLine(l) < 0)
                return false;
        }
    }
    return gdbData().executeScript(
        u"UPDATE T_DATA_CLASS1 SET blnReduced = 1 WHERE strClassItem = '雑貨';"
        "UPDATE T_MASTER SET strInvoiceNo = 'T1180301018771', datInvoiceFrom = '2023-12-15'"
        " WHERE lngMasterID IN (2, 8);"
        "INSERT INTO T_SYSTEM (lngID, lngField) VALUES (50, 1);"
        "UPDATE T_DATA1 SET lngSort = NULL WHERE lngID % 7 = 0;"
        "UPDATE T_DATA2 SET lngSort = NULL WHERE lngID % 7 = 0;"
        "INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem, curCost) VALUES"
        " (6, '2024-01-10', 1, '並順1', 10000), (6, '2024-01-10', NULL, '並順なし', 20000);"_s,
        u"test"_s);
}

// A file name with the time of the run taken out.
QString timeless(const QString& name) {
    static const QRegularExpression digits(u"\\d+"_s);
    return QString(name).replace(digits, u"#"_s);
}

// The differences of two workbooks: sheet names, then cell by cell the value and the format;
// the package's other parts byte for byte but for the creation time (docProps/core.xml).
QStringList workbookDifferences(const QString& a, const QString& b) {
    Workbook wa, wb;
    if (!wa.open(a) || !wb.open(b))
        return {u"not readable"_s};
    if (wa.sheetNames() != wb.sheetNames())
        return {u"sheets: "_s + wa.sheetNames().join(u',') + u" / "_s + wb.sheetNames().join(u',')};
    QStringList out;
    for (int i = 0; i < wa.sheetNames().size(); ++i) {
        const Worksheet* sa = wa.sheet(i);
        const Worksheet* sb = wb.sheet(i);
        const int rows = std::max(sa->lastRow(), sb->lastRow());
        const int cols = std::max(sa->lastColumn(), sb->lastColumn());
        for (int r = 1; r <= rows; ++r) {
            for (int c = 1; c <= cols; ++c) {
                const CellFormat fa = sa->format(r, c), fb = sb->format(r, c);
                if (sa->value(r, c) != sb->value(r, c) || fa.styleIndex != fb.styleIndex ||
                    fa.numberFormat != fb.numberFormat || fa.fillColorIndex != fb.fillColorIndex ||
                    fa.bold != fb.bold || fa.lineSides != fb.lineSides)
                    out << u"%1!R%2C%3: %4 / %5"_s.arg(wa.sheetNames().at(i))
                               .arg(r)
                               .arg(c)
                               .arg(reporttest::cellText(sa, r, c), reporttest::cellText(sb, r, c));
            }
        }
    }
    XlsxPackage pa, pb;
    if (!pa.load(a) || !pb.load(b))
        return out << u"package not readable"_s;
    if (pa.partNames() != pb.partNames())
        return out << u"parts: "_s + pa.partNames().join(u',') + u" / "_s +
                          pb.partNames().join(u',');
    static const QRegularExpression created(u"<dcterms:(created|modified)[^<]*</dcterms:\\w+>"_s);
    for (const QString& part : pa.partNames()) {
        QString ta = QString::fromUtf8(pa.part(part)), tb = QString::fromUtf8(pb.part(part));
        if (part == u"docProps/core.xml"_s) {
            ta.replace(created, QString());
            tb.replace(created, QString());
        }
        if (ta != tb)
            out << u"part "_s + part;
    }
    return out;
}

} // namespace

void tst_BackEndReports::initTestCase() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid() && m_out->isValid());
    // The books in the data file, then loaded onto a database of their own.
    QVERIFY(DbInit(m_folder->dbPath()));
    QVERIFY(buildBooks());
    DbClose();
    m_database = u"tovaki_both_%1"_s.arg(QCoreApplication::applicationPid());
    Database admin;
    QVERIFY(admin.openServer(gTestServer()));
    QVERIFY(admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + m_database + u" WITH (FORCE)"_s));
    QVERIFY(admin.executeSQL(u"CREATE DATABASE "_s + m_database + u" TEMPLATE template0"_s));
    Database server;
    QVERIFY(server.openServer(gTestServer() + u" dbname="_s + m_database));
    QString message;
    QVERIFY2(gServerLoad(server, m_folder->dbPath(), message), qPrintable(message));
}

void tst_BackEndReports::cleanupTestCase() {
    if (m_database.isEmpty())
        return;
    Database admin;
    if (admin.openServer(gTestServer()))
        admin.executeSQL(u"DROP DATABASE IF EXISTS "_s + m_database + u" WITH (FORCE)"_s);
}

bool tst_BackEndReports::run(const QStringList& args, bool server, QStringList& files,
                             QString& why) {
    const QString out = m_out->filePath(server ? u"server"_s : u"file"_s);
    if (!QDir(out).removeRecursively() || !QDir().mkpath(out))
        return false;
    QStringList all{u"--data"_s, m_folder->path(), u"--out"_s, out};
    if (server)
        all << u"--server"_s << gTestServer() + u" dbname="_s + m_database;
    QProcess p;
    p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM), all + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        why = QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    files.clear();
    for (const QString& name : QDir(out).entryList(QDir::Files, QDir::Name))
        files << out + u'/' + name;
    return !files.isEmpty();
}

void tst_BackEndReports::sameFiles_data() {
    QTest::addColumn<QStringList>("args");
    const QStringList range{u"--from"_s, u"2023/10/21"_s, u"--to"_s, u"2024/04/20"_s};
    QTest::newRow("supplier address list") << QStringList{u"suppliers"_s};
    QTest::newRow("balance list, sales")
        << QStringList{u"balances"_s, u"--date"_s, u"2024/02/20"_s, u"--kind"_s, u"sales"_s};
    QTest::newRow("profit table, classes and ranking")
        << QStringList{u"profit"_s, u"--purchase-group"_s, u"1"_s,  u"--sale-group"_s,
                       u"2"_s,      u"--ranking"_s,        u"on"_s, u"--sort"_s,
                       u"rate"_s} +
               range;
    QTest::newRow("profit table, sampled, cumulative only")
        << QStringList{u"profit"_s, u"--class1"_s,   u"1"_s, u"--item1"_s,
                       u"文具"_s,   u"--sum-only"_s, u"on"_s} +
               range;
    QTest::newRow("purchase ledger print") << QStringList{u"ledger"_s} + range;
    QTest::newRow("ledger print, ri103 form")
        << QStringList{u"ledger"_s, u"--form"_s, u"ri103"_s} + range;
    QTest::newRow("tax summary, purchases") << QStringList{u"tax"_s} + range;
    QTest::newRow("tax summary, sales, CSV")
        << QStringList{u"tax"_s, u"--kind"_s, u"sales"_s, u"--csv"_s} + range;
    QTest::newRow("journal, yayoi") << QStringList{u"journal"_s} + range;
    QTest::newRow("journal, generic")
        << QStringList{u"journal"_s, u"--format"_s, u"generic"_s} + range;
    QTest::newRow("CSV export, suppliers")
        << QStringList{u"export"_s, u"suppliers"_s, u"--encoding"_s, u"utf-8"_s};
    QTest::newRow("CSV export, every purchase line") << QStringList{u"export"_s, u"ledger"_s};
    QTest::newRow("CSV export, sales in a range")
        << QStringList{u"export"_s, u"ledger"_s, u"--kind"_s, u"sales"_s} + range;
}

void tst_BackEndReports::sameFiles() {
    QFETCH(QStringList, args);
    QStringList fromFile, fromServer;
    QString why;
    QVERIFY2(run(args, false, fromFile, why), qPrintable(why));
    QVERIFY2(run(args, true, fromServer, why), qPrintable(why));
    QCOMPARE(fromServer.size(), fromFile.size());
    for (qsizetype i = 0; i < fromFile.size(); ++i) {
        QCOMPARE(timeless(QFileInfo(fromServer[i]).fileName()),
                 timeless(QFileInfo(fromFile[i]).fileName()));
        if (fromFile[i].endsWith(u".xlsx"_s)) {
            const QStringList diff = workbookDifferences(fromFile[i], fromServer[i]);
            QVERIFY2(diff.isEmpty(), qPrintable(diff.mid(0, 10).join(u'\n')));
        } else {
            QVERIFY(readBytes(fromFile[i]) == readBytes(fromServer[i]));
        }
    }
}

QTEST_GUILESS_MAIN(tst_BackEndReports)
#include "tst_BackEndReports.moc"
