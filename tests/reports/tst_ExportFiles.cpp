// Files written from the books: their modes whatever the umask, the error log's mode and name, and
// what the window and tovaki-report say when one cannot be written. A file-size limit stands in
// for a full disk; root loses its override of file permissions.
// A report and a file copy on a full disk leave no file and log the system's cause (a backup:
// tst_Maintenance).
#include "TestData.h"
#include "TestServices.h"
#include "app/frmMenu.h"
#include "base/ErrorLog.h"
#include "ledger/HistoryView.h"
#include "reports/CsvExchange.h"
#include "reports/CsvFrame.h"
#include "reports/PdfConvert.h"
#include "reports/PrintMasterFrame.h"
#include "reports/TaxSummary.h"
#include "reports/frmPrint.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "util/FileHelpers.h"
#include "workbook/Workbook.h"

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) ? -1 : int(st.st_mode & 07777);
}
bool setMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Runs body on a full disk, or else without root's permission override.
void limited(bool fullDisk, const std::function<void()>& body) {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{48 * 1024, saved.rlim_max}; // below the list of 1000 suppliers
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{}, dropped[2]{};
    ::syscall(SYS_capget, &header, caps);
    std::copy(caps, caps + 2, dropped);
    dropped[0].effective &= ~(1U << CAP_DAC_OVERRIDE);
    ::signal(SIGXFSZ, SIG_IGN);
    fullDisk ? ::setrlimit(RLIMIT_FSIZE, &limit) : ::syscall(SYS_capset, &header, dropped);
    body();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::syscall(SYS_capset, &header, caps);
}

} // namespace

class tst_ExportFiles : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fileModes_data();
    void fileModes();
    void writeFailures_data();
    void writeFailures();

private:
    QString makeFile(const QString& kind); // the path to look at; "" when not made as expected
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_ExportFiles::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(addSupplier({.masterID = 1, .shortName = u"青葉園"_s}));
    QVERIFY(addLine({.masterID = 1, .date = {2024, 1, 10}, .item = u"肥料"_s, .cost = 5000}) > 0);
}

void tst_ExportFiles::cleanup() {
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // the window closed returns to it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmPrint::setOutputFolderOverride({});
    DataFileTest::cleanup();
}

QString tst_ExportFiles::makeFile(const QString& kind) {
    const QString out = m_out->path() + u'/', log = m_folder->errorLogPath();
    if (kind == u"supplier CSV"_s || kind == u"ledger CSV"_s) {
        CsvExportParams p;
        p.table = kind[0] == u's' ? CsvTable::Suppliers : CsvTable::Purchases;
        p.outputFolder = m_out->path();
        CsvExportResult r;
        return gExportCsv(p, {}, r) ? r.path : QString();
    }
    HistoryWords words;
    if (kind == u"history CSV"_s)
        return words.load(gdbData()) && gWriteHistoryCsv(out + u"h.csv"_s, {}, words)
                   ? out + u"h.csv"_s
                   : QString();
    if (kind == u"tax summary CSV"_s)
        return gWriteTaxSummaryCsv(out + u"t.csv"_s, {}) ? out + u"t.csv"_s : QString();
    Workbook book;
    if (kind.contains(u"workbook"_s))
        return (!kind.contains(u"replacing"_s) ||
                (writeBytes(out + u"w.xlsx"_s, "old") && setMode(out + u"w.xlsx"_s, 0644))) &&
                       book.create(u"1"_s, u"MS Gothic"_s, 11) && book.save(out + u"w.xlsx"_s)
                   ? out + u"w.xlsx"_s
                   : QString();
    if (kind == u"PDF"_s) { // the stand-in keeps the mode at creation, then widens it
        qputenv("TOVAKI_PDF_CONVERTER", (out + u"convert"_s).toLocal8Bit());
        const PdfResult r =
            writeBytes(out + u"convert"_s,
                       "#!/bin/sh\nf=\"$7/$(basename \"$8\" .xlsx).pdf\"\n"
                       ": > \"$f\"; stat -c %a \"$f\" >> \"$f\"; chmod 644 \"$f\"\n") &&
                    setMode(out + u"convert"_s, 0700) && writeBytes(out + u"w.xlsx"_s, "x")
                ? gConvertToPdf(out + u"w.xlsx"_s)
                : PdfResult();
        return readBytes(r.pdfPath) == "600\n" ? r.pdfPath : QString();
    }
    if (kind == u"backups folder of a migration"_s)
        return gCopyBeforeMigration(m_folder->dbPath(), 1, u"t"_s).isEmpty()
                   ? QString()
                   : gDataBackupFolder(m_folder->dbPath());
    // The error log: the user's own name (TestProgramFolder::errorLogPath).
    const QString other = kind.contains(u"link"_s) ? out + u"elsewhere"_s : log;
    if (kind != u"error log"_s &&
        !(writeBytes(other, kind.contains(u"earlier"_s) ? "earlier\r\n" : "") &&
          setMode(other, 0644) && (other == log || QFile::link(other, log)) &&
          (!kind.contains(u"another user"_s) ||
           ::chown(QFile::encodeName(log).constData(), 65534, 65534) == 0)))
        return {};
    gProcError(u"tst"_s);
    if (kind == u"error log"_s || kind.contains(u"earlier"_s))
        return m_folder->errorLogProcedures() == QStringList{u"tst"_s} ? log : QString();
    return readBytes(other).isEmpty() ? other : QString(); // nothing written into it
}

void tst_ExportFiles::fileModes_data() {
    QTest::addColumn<int>("mode");
    for (const char* kind : {"supplier CSV", "ledger CSV", "history CSV", "tax summary CSV",
                             "workbook", "workbook replacing a file readable by all", "PDF",
                             "error log", "error log of earlier, readable by all"})
        QTest::newRow(kind) << 0600;
    QTest::newRow("link planted as the error log") << 0644;        // left as it was
    QTest::newRow("another user's file as the error log") << 0644; // left as it was
    QTest::newRow("backups folder of a migration") << 0700;
}

void tst_ExportFiles::fileModes() {
    QFETCH(int, mode);
    const QString kind = QString::fromLatin1(QTest::currentDataTag());
    if (kind.contains(u"another user"_s) && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const mode_t umask = ::umask(0);
    const QString path = makeFile(kind);
    ::umask(umask);
    QVERIFY2(!path.isEmpty(), "not made as expected");
    QCOMPARE(QString::number(modeOf(path), 8), QString::number(mode, 8));
}

void tst_ExportFiles::writeFailures_data() {
    // "window": the report window's button; "copy": a file copy; else tovaki-report's
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("text");   // the message before the folder; "" none shown
    QTest::addColumn<QString>("logged"); // the log entry that names the full disk
    const QString list =
        u"エクセルファイルが正常に作成されませんでした。管理者に問い合わせてください"_s;
    const QString csv = u"CSV ファイルが正常に作成されませんでした。管理者に問い合わせてください"_s;
    const QString space = u"\n\nディスクの空き容量が足りません。\n"_s;
    const QString denied = u"\n\n書き込む権限がありません。\n"_s;
    const QString missing = u"\n\nフォルダーが見つかりません。\n"_s;
    const QString cliCsv = u"CSV ファイルを作成できませんでした（エラーログを参照） / the CSV file "
                           "could not be written (see the error log)"_s;
    const QString master = u"frmPrint_mPrintMaster"_s;
    const QStringList window{u"window"_s}, windowCsv{u"window"_s, u"csv"_s};
    QTest::newRow("window, full disk") << window << u"full"_s << list + space << master;
    QTest::newRow("window, no permission") << window << u"locked"_s << list + denied << QString();
    QTest::newRow("window, no folder") << window << u"missing"_s << list + missing << QString();
    QTest::newRow("window CSV, full disk") << windowCsv << u"full"_s << csv + space << QString();
    QTest::newRow("window CSV, no folder")
        << windowCsv << u"missing"_s << csv + missing << QString();
    QTest::newRow("command line, full disk")
        << QStringList{u"suppliers"_s} << u"full"_s << list + space << master;
    QTest::newRow("command line tax CSV, no permission")
        << QStringList{u"tax"_s, u"--csv"_s, u"--from"_s, u"2024/1/1"_s, u"--to"_s, u"2024/1/31"_s}
        << u"locked"_s << csv + denied << QString();
    QTest::newRow("command line CSV export, no permission")
        << QStringList{u"export"_s, u"suppliers"_s} << u"locked"_s << cliCsv + denied << QString();
    QTest::newRow("file copy, full disk")
        << QStringList{u"copy"_s} << u"full"_s << QString() << u"gCopyFile"_s;
}

// The file that cannot be written completely is not left behind, and the message names the
// folder only as the place of the failure, with its cause.
void tst_ExportFiles::writeFailures() {
    QFETCH(QStringList, command);
    QFETCH(QString, place);
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QVERIFY(gdbData().executeSQL(
        u"WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)"
        u" INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,strSupplierName,"
        u"strSupplierShortName,strKana,curStartSupplyCarry,curStartSaleCarry,strBankAccount1)"
        u" SELECT i, i, 1, '仕入先' || i || '株式会社', '仕入先' || i, 'しいれさき', 0, 0,"
        u" 'みどり銀行 本店 普通 ' || i FROM n"_s,
        {}));
    const QString folder = m_out->path() + (place == u"full"_s ? QString() : u'/' + place);
    QVERIFY(place != u"locked"_s || (QDir().mkdir(folder) && setMode(folder, 0500)));
    const bool full = place == u"full"_s;
    QString shown;
    if (command[0] == u"copy"_s) {
        bool written = true;
        limited(full, [&] { written = gCopyFile(m_folder->dbPath(), folder + u"/c.tvk"_s); });
        QVERIFY(!written);
    } else if (command[0] == u"window"_s) {
        frmPrint::setOutputFolderOverride(folder);
        frmPrint* f = frmPrint::instance();
        QVERIFY(f);
        f->show();
        QPushButton* b = command.size() == 1
                             ? f->findChild<PrintMasterFrame*>(u"Frame2"_s)->cmdPrintMaster
                             : f->findChild<CsvFrame*>(u"FrameCsv"_s)->cmdCsvExport;
        limited(full, [b] { QTest::mouseClick(b, Qt::LeftButton); });
        shown = m_svc.prompt->texts().value(m_svc.prompt->texts().size() - 1);
    } else {
        QProcess p;
        p.setChildProcessModifier([full] {
            const rlimit limit{48 * 1024, 48 * 1024};
            ::signal(SIGXFSZ, SIG_IGN);
            full ? ::setrlimit(RLIMIT_FSIZE, &limit) : ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE);
        });
        // The program folder; on a server run, the test case's books.
        QStringList books;
        if (!gTestServer().isEmpty())
            books << u"--server"_s << gTestServerDatabase();
        p.start(QStringLiteral(TOVAKI_REPORT_PROGRAM),
                QStringList{u"--data"_s, m_folder->path(), u"--out"_s, folder} + books + command);
        QVERIFY(p.waitForFinished(120000) && p.exitCode() == 3);
        shown = QString::fromUtf8(p.readAllStandardError()).trimmed();
    }
    setMode(folder, 0700);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QVERIFY2(logged.isEmpty() ||
                 (m_folder->errorLogProcedures().contains(logged) &&
                  m_folder->errorLog().contains(QString::fromLocal8Bit(std::strerror(EFBIG)))),
             qPrintable(m_folder->errorLog()));
    shown.replace(u"\r\n"_s, u"\n"_s);
    QVERIFY2(text.isEmpty() || (shown.startsWith(text + folder + u'/') &&
                                !shown.mid(text.size()).contains(u'\n')),
             qPrintable(shown));
}

QTEST_MAIN(tst_ExportFiles)
#include "tst_ExportFiles.moc"
