// Writing to a full disk: a report or a backup that cannot be written completely fails, logs the
// system's reason and leaves no file. The disk is "full" through a file-size limit on a child
// process (writes past it fail with EFBIG, SIGXFSZ ignored), so no special file system and no
// administrator rights are needed.
#include "TestData.h"
#include "TestServices.h"

#include "maintenance/Backup.h"
#include "store/Database.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Above what a run writes into the data and temporary folders (the largest is SQLite's 32 KiB
// shared-memory file), below the supplier list of kSuppliers suppliers and the data file.
constexpr rlim_t kFileSizeLimit = 48 * 1024;
constexpr int kSuppliers = 1000;

// Runs body in a child process under kFileSizeLimit with its standard output and error going to
// outputFile; the child's exit code, -1 when it did not exit normally.
int runLimited(const QString& outputFile, const std::function<int()>& body) {
    const QByteArray output = QFile::encodeName(outputFile);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0 ||
            ::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
            ::_exit(125);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class tst_FullDisk : public DataFileTest {
    Q_OBJECT
private slots:
    void init();

    void writeFails_data();
    void writeFails();
};

void tst_FullDisk::init() {
    DataFileTest::init();
    QVERIFY(gdbData().executeSQL(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
        u" INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,strSupplierName,"
        u"strSupplierShortName,strKana,curStartSupplyCarry,curStartSaleCarry,strBankAccount1)"
        u" SELECT i, i, 1, '仕入先' || i || '株式会社', '仕入先' || i, 'しいれさき', 0, 0,"
        u" 'みどり銀行 本店 普通 ' || i FROM n"_s.arg(kSuppliers),
        {}));
    // The child opens the data file itself; no connection is carried across the fork.
    m_folder->close();
}

void tst_FullDisk::writeFails_data() {
    QTest::addColumn<QString>("job");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("procedure"); // the log entry that names the cause

    QTest::newRow("supplier list") << u"suppliers"_s << 3 << u"frmPrint_mPrintMaster"_s;
    QTest::newRow("backup") << u"backup"_s << 1 << u"gProcDataBackup"_s;
    QTest::newRow("file copy") << u"copy"_s << 1 << u"gCopyFile"_s;
}

void tst_FullDisk::writeFails() {
    QFETCH(QString, job);
    QFETCH(int, code);
    QFETCH(QString, procedure);
    const QString out = m_folder->path() + u"/out"_s; // empty
    QVERIFY(QDir().mkdir(out));
    const QString outputFile = m_folder->tempPath() + u"/output.txt"_s;

    const QByteArray program = TOVAKI_REPORT_PROGRAM;
    const QByteArray data = QFile::encodeName(m_folder->path());
    const QByteArray outArg = QFile::encodeName(out);
    const QByteArray report = job.toUtf8();
    const int exitCode = runLimited(outputFile, [&]() -> int {
        if (job == u"backup"_s)
            return m_folder->open() && gProcDataBackup(out) ? 0 : 1;
        if (job == u"copy"_s)
            return gCopyFile(m_folder->dbPath(), out + u"/copy.tvk"_s) ? 0 : 1;
        ::execl(program.constData(), program.constData(), "--data", data.constData(), "--out",
                outArg.constData(), report.constData(), static_cast<char*>(nullptr));
        return 126;
    });
    QCOMPARE(exitCode, code);

    const QString cause = QString::fromLocal8Bit(std::strerror(EFBIG));
    QVERIFY(m_folder->errorLogProcedures().contains(procedure));
    QVERIFY2(m_folder->errorLog().contains(cause), qPrintable(m_folder->errorLog()));
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QFile output(outputFile);
    QVERIFY(output.open(QIODevice::ReadOnly));
    // Nothing reported as written: the folder is named only as the place of the failure.
    const QStringList lines = QString::fromUtf8(output.readAll()).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains(out))
            QVERIFY2(i > 0 && lines[i - 1] == u"ディスクの空き容量が足りません。"_s,
                     qPrintable(lines.join(u'\n')));
}

QTEST_GUILESS_MAIN(tst_FullDisk)
#include "tst_FullDisk.moc"
