#pragma once

#include "TestServices.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>
#include <optional>

// A throw-away program folder: sys/db1 (a copy of the shipped sys/db1.empty), sys/msg,
// sys/icon.ico, sys/excel_format/ with the built templates, and index.html, copied from the build.
// The temporary folder (env "temp"/"tmp") points into it, so error logs land there too, and so does
// the per-user data folder (XDG_DATA_HOME, its "home" folder; TOVAKI_DB is unset).
// The constructor sets the services' program folder (svc().paths()) and gstrAppTitle; open()
// opens both databases; the destructor closes them.
class TestProgramFolder {
public:
    TestProgramFolder();
    ~TestProgramFolder() { close(); }
    bool isValid() const { return m_ok; }
    QString path() const { return m_dir->path() + QStringLiteral("/app"); } // the program folder
    QString dbPath() const { return path() + QStringLiteral("/sys/db1"); }
    // The temporary folder, which holds the error log.
    QString tempPath() const { return m_dir->path() + QStringLiteral("/temp"); }
    QString errorLogPath() const; // tempPath + "/tovaki_ErrLog_<login name>.txt"
    QString errorLog() const;     // its contents ("" when absent)
    int errorLogEntries() const;  // number of entries in it
    // The procedure named by each entry, in the order written ("DbInit", "Main", ...).
    QStringList errorLogProcedures() const;
    bool open(); // DbInit + gMsgInit
    void close();
    // Opens the data file, stores 1000 ledger lines, closes it and overwrites two pages in the
    // middle: a file whose header is sound and whose full check fails.
    bool damageDataFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_ok = false;
};

// The back end under test: the data file, or (when CTest's "-server" run sets
// TOVAKI_TEST_SERVER to the test cluster's connection string) a PostgreSQL server, where open()
// makes a fresh database with the books' schema for each test case and close() drops it.
// gTestServer(): that connection string, "" for the data file; gTestServerDatabase(): the
// connection string of the current test case's database ("" when none).
QString gTestServer();
QString gTestServerDatabase();
// Skips a test case in the server run when its set-up injects a fault or builds rows with the
// data file's own SQL (its trigger syntax, date(), pragmas); the data-file run covers it.
#define TOVAKI_DATA_FILE_ONLY(why)                                                                 \
    do {                                                                                           \
        if (!gTestServer().isEmpty())                                                              \
            QSKIP("data file only: " why);                                                         \
    } while (false)

// Builders for the rows a test needs in the open data file. Money is in yen (whole or decimal);
// an empty optional stores NULL.
struct SupplierRow {
    qint32 masterID = 1;
    qint32 supplier = 0; // 0: the same as masterID
    QString shortName = QStringLiteral("仕入先");
    bool valid = true;
    std::optional<double> supplyRatio{};
    std::optional<double> saleRatio{};
    double supplyCarry = 0;
    double saleCarry = 0;
    QString notes{};
};
bool addSupplier(const SupplierRow& s);

struct LineRow {
    int kind = 1; // 1 purchase ledger, 2 sales ledger
    qint32 masterID = 1;
    QDate date{};
    int sort = 0;
    QString item{};
    QString class1{}, class2{}, class3{};
    std::optional<double> quantity{}, unitPrice{}, regularPrice{}, ratio{}, cost{}, payment{},
        check{};
    QString note{};
    bool changed = false;
};
// The new line's lngID, or -1.
qint64 addLine(const LineRow& l);

// Whole-file reads and writes ("" when the file cannot be read).
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Runs an SQL script on a database file directly, past the program's own checks.
bool runSqlite(const QString& path, const char* script);
// Makes a data file of schema version 1 at path (the first shipped schema, no migration).
bool makeVersion1File(const QString& path);
// The number of rows a query on the open data file gives; -1 when it fails.
int dataRowCount(const QString& sql, const QVariantList& params = {});
// The one row such a query gives; {} when it fails or gives none or more.
QVariantList dataRow(const QString& sql, const QVariantList& params = {});

// A test class whose every test function starts with scripted services and a fresh program
// folder with the data file open (m_folder, m_svc). Derived classes that need more call
// DataFileTest::init() from their own init().
class DataFileTest : public QObject {
    Q_OBJECT
protected slots:
    void init();
    void cleanup();

protected:
    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_svc{};
};
