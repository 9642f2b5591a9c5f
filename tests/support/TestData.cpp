#include "TestData.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/ServerSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        const QString dst = to + QLatin1Char('/') + rel;
        if (QFileInfo(src).isDir()) {
            QDir().mkpath(dst);
        } else if (!QFile::copy(src, dst)) {
            return false;
        } else {
            QFile::setPermissions(dst, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    return true;
}

// The system's temporary folder as it was at the first throw-away folder: each folder points the
// "temp" and "tmp" variables into itself, and on Windows the system's temporary folder follows
// them.
QString systemTempPath() {
    static const QString path = QDir::tempPath();
    return path;
}

// The test cluster's connection string when the server is the back end under test (CTest sets
// TOVAKI_TEST_SERVER for the "-server" runs), else empty: the data file is tested.
QString testServer() {
    return qEnvironmentVariable("TOVAKI_TEST_SERVER");
}

// The fresh database of the current test case on the server ("" when none).
QString& serverDatabase() {
    static QString name;
    return name;
}

// Runs one statement on the cluster's maintenance database.
bool onMaintenance(const QString& sql) {
    Database db;
    return db.openServer(testServer()) && db.executeSQL(sql);
}

// A fresh database with the books' schema for one test case: what a fresh data file is to the
// data-file runs.
bool openFreshServerDatabase() {
    static int counter = 0;
    const QString name =
        QStringLiteral("tovaki_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    if (!onMaintenance(QStringLiteral("CREATE DATABASE ") + name +
                       QStringLiteral(" TEMPLATE template0")))
        return false;
    serverDatabase() = name;
    const QString conninfo = testServer() + QStringLiteral(" dbname=") + name;
    {
        Database init;
        if (!init.openServer(conninfo) || !gServerInit(init, QStringLiteral("test")))
            return false;
    }
    return DbInitServer(gdbData(), conninfo);
}

void dropServerDatabase() {
    if (serverDatabase().isEmpty())
        return;
    onMaintenance(QStringLiteral("DROP DATABASE IF EXISTS ") + serverDatabase() +
                  QStringLiteral(" WITH (FORCE)"));
    serverDatabase().clear();
}

} // namespace

QString gTestServer() {
    return testServer();
}

QString gTestServerDatabase() {
    return serverDatabase().isEmpty()
               ? QString()
               : testServer() + QStringLiteral(" dbname=") + serverDatabase();
}

TestProgramFolder::TestProgramFolder()
    : m_dir(std::make_unique<QTemporaryDir>(systemTempPath() + QStringLiteral("/tovaki-XXXXXX"))) {
    const QString app = QStringLiteral(TOVAKI_APP_DIR);
    const QString root = m_dir->path();
    m_ok =
        m_dir->isValid() && QDir().mkpath(root + QStringLiteral("/app/sys/excel_format")) &&
        QDir().mkpath(root + QStringLiteral("/temp")) &&
        QDir().mkpath(root + QStringLiteral("/home")) &&
        QFile::copy(app + QStringLiteral("/sys/db1.empty"), dbPath()) &&
        QFile::copy(app + QStringLiteral("/sys/msg"), path() + QStringLiteral("/sys/msg")) &&
        QFile::copy(app + QStringLiteral("/sys/icon.ico"),
                    path() + QStringLiteral("/sys/icon.ico")) &&
        QFile::copy(app + QStringLiteral("/index.html"), path() + QStringLiteral("/index.html")) &&
        copyTree(app + QStringLiteral("/sys/excel_format"),
                 path() + QStringLiteral("/sys/excel_format"));
    QFile::setPermissions(dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("temp", tempPath().toLocal8Bit());
    qputenv("tmp", tempPath().toLocal8Bit());
    // The per-user data folder of whatever runs here lies in the throw-away folder as well.
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/home")).toLocal8Bit());
    qunsetenv("TOVAKI_DB");
    svc().setProgramFolder(path());
    gstrAppTitle = appTitle();
}

QString TestProgramFolder::errorLogPath() const {
#ifdef Q_OS_UNIX
    const passwd* user = ::getpwuid(::geteuid());
    const QString login =
        user ? QString::fromLocal8Bit(user->pw_name) : QString::number(::geteuid());
#else
    const QString login = qEnvironmentVariable("USERNAME");
#endif
    return tempPath() + QLatin1Char('/') + appTitle() + QStringLiteral("_ErrLog_") + login +
           QStringLiteral(".txt");
}

QString TestProgramFolder::errorLog() const {
    return QString::fromUtf8(readBytes(errorLogPath()));
}

int TestProgramFolder::errorLogEntries() const {
    return static_cast<int>(errorLog().count(QStringLiteral("アプリケーション名：")));
}

QStringList TestProgramFolder::errorLogProcedures() const {
    static const QRegularExpression line(
        QStringLiteral("^(\\S+) \\(.*\\)でエラーが発生しました。\r$"),
        QRegularExpression::MultilineOption);
    QStringList names;
    auto it = line.globalMatch(errorLog());
    while (it.hasNext())
        names << it.next().captured(1);
    return names;
}

bool TestProgramFolder::open() {
    if (!testServer().isEmpty())
        return openFreshServerDatabase() && gMsgInit(path() + QStringLiteral("/sys/msg"));
    return DbInit(dbPath()) && gMsgInit(path() + QStringLiteral("/sys/msg"));
}

void TestProgramFolder::close() {
    DbClose();
    gMsgClose();
    dropServerDatabase();
}

bool TestProgramFolder::damageDataFile() {
    if (!DbInit(dbPath()))
        return false;
    {
        Transaction t(gdbData());
        for (int i = 0; i < 1000; ++i)
            if (!gdbData().executeSQL(QStringLiteral("INSERT INTO T_DATA1 (strNote) VALUES (?)"),
                                      {QString(100, QLatin1Char('n'))}))
                return false;
        if (!t.commit())
            return false;
    }
    DbClose();
    QFile file(dbPath());
    return file.open(QIODevice::ReadWrite) && file.seek(4096 * 10) &&
           file.write(QByteArray(4096 * 2, '\xa5')) == 4096 * 2;
}

namespace {
QVariant money(const std::optional<double>& v) {
    return v ? QVariant::fromValue(Currency::fromDouble(*v)) : QVariant();
}
} // namespace

bool addSupplier(const SupplierRow& s) {
    return gdbData().executeSQL(
        QStringLiteral("INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid,"
                       " strSupplierName, strSupplierShortName, strKana, curRegularSupplyRatio,"
                       " curRegularSaleRatio, curStartSupplyCarry, curStartSaleCarry,"
                       " lngChargePerson, lngBankAccount, strNotes, datLastUpdate)"
                       " VALUES (?,?,?,?,?,?,?,?,?,?,1,1,?,?)"),
        {s.masterID, s.supplier ? s.supplier : s.masterID, s.valid,
         s.shortName + QStringLiteral("株式会社"), s.shortName, s.shortName, money(s.supplyRatio),
         money(s.saleRatio), money(s.supplyCarry), money(s.saleCarry), s.notes,
         QStringLiteral("2024-01-01 09:00:00")});
}

qint64 addLine(const LineRow& l) {
    const QString table = l.kind == 2 ? QStringLiteral("T_DATA2") : QStringLiteral("T_DATA1");
    const auto text = [](const QString& t) { return t.isEmpty() ? QVariant() : QVariant(t); };
    qint64 id = -1;
    if (!gdbData().insertRow(
            QStringLiteral("INSERT INTO ") + table +
                QStringLiteral(" (lngMasterID, date1, lngSort, strItem, strClass1, strClass2,"
                               " strClass3, curQuantity, curUnitPrice, curRegularPrice, curRatio,"
                               " curCost, curPayment, curCheck, strNote, blnChange)"
                               " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) RETURNING lngID"),
            {l.masterID, l.date, l.sort, text(l.item), text(l.class1), text(l.class2),
             text(l.class3), money(l.quantity), money(l.unitPrice), money(l.regularPrice),
             money(l.ratio), money(l.cost), money(l.payment), money(l.check), text(l.note),
             l.changed},
            QStringLiteral("addLine"), id))
        return -1;
    return id;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool runSqlite(const QString& path, const char* script) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, script, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool makeVersion1File(const QString& path) {
    QFile::remove(path);
    const QByteArray script = readBytes(QStringLiteral(TOVAKI_SOURCE_DIR "/resources/db1.sql"));
    return !script.isEmpty() && runSqlite(path, script.constData());
}

int dataRowCount(const QString& sql, const QVariantList& params) {
    ResultSet rs(gdbData());
    return rs.openRecordSet(sql, params) ? rs.recordCount() : -1;
}

QVariantList dataRow(const QString& sql, const QVariantList& params) {
    ResultSet rs(gdbData());
    return rs.openRecordSet(sql, params) && rs.recordCount() == 1 ? rs.rows().front()
                                                                  : QVariantList();
}

void DataFileTest::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void DataFileTest::cleanup() {
    m_folder.reset();
}
