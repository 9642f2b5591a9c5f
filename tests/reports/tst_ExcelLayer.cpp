#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/ExcelLayer.h"
#include "reports/TaxSummary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Runs the template generator; returns its exit code (-1 when it did not finish) and output.
int mktemplate(const QStringList& args, QByteArray& output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TOVAKI_MKTEMPLATE), args);
    if (!p.waitForFinished(120000))
        return -1;
    output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

// The shipped templates (sound packages with the one sheet the reports copy, built the same way
// every time by the generator) and the report run every report builds on: template, pages,
// saving, the question, the failure path.
class tst_ExcelLayer : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void templates_soundAndReproducible();
    void run_savesAsksAndOpens_data();
    void run_savesAsksAndOpens();
    void run_toldWhereTheFilesAre_data();
    void run_toldWhereTheFilesAre();
    void run_missingTemplate_takesTheFailurePath();
    void run_abandoned_leavesNothing();
    void run_sameSecond_keepsBothFiles();

private:
    std::unique_ptr<QTemporaryDir> m_out;
    QList<bool> m_busy;
    // Busy states into m_busy, the file into m_out.
    void prepare(ExcelReportRun& run) {
        run.setCallbacks({[this](bool b) { m_busy << b; }, {}, {}});
        run.setOutputFolder(m_out->path());
    }
};

void tst_ExcelLayer::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    m_busy.clear();
}

// Every shipped template is a sound package with the one sheet the reports copy, and the generator
// writes it again byte for byte from its description.
void tst_ExcelLayer::templates_soundAndReproducible() {
    QTemporaryDir dir;
    const QDir sources(QStringLiteral(TOVAKI_TEMPLATE_SOURCES));
    const QStringList descriptions = sources.entryList({u"*.json"_s}, QDir::Files);
    QCOMPARE(descriptions.size(), 7);
    for (const QString& d : descriptions) {
        const QString name = d.chopped(5) + u".xlsx"_s;
        QByteArray log;
        QCOMPARE(mktemplate({sources.filePath(d), dir.filePath(name)}, log), 0);
        QVERIFY2(readBytes(dir.filePath(name)) == readBytes(svc().paths().excelFormat + name),
                 qPrintable(name));
        XlsxPackage pkg;
        QVERIFY(pkg.load(svc().paths().excelFormat + name));
        QCOMPARE(pkg.problems(), QStringList());
        Workbook book;
        QVERIFY2(gExcelOpen(name, svc().paths().excelFormat, book), qPrintable(book.errorText()));
        QCOMPARE(book.sheetNames(), QStringList({kExcelTemplateSheet}));
    }
}

void tst_ExcelLayer::run_savesAsksAndOpens_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("openWorks");
    QTest::addColumn<bool>("opensFolder");
    QTest::addColumn<bool>("failureTold");
    QTest::newRow("open the file") << int(MsgResult::Yes) << true << false << false;
    QTest::newRow("open the folder") << int(MsgResult::No) << true << true << false;
    QTest::newRow("close") << int(MsgResult::Cancel) << true << false << false;
    QTest::newRow("open fails") << int(MsgResult::Yes) << false << false << true;
    QTest::newRow("open the folder fails") << int(MsgResult::No) << false << true << true;
}

void tst_ExcelLayer::run_savesAsksAndOpens() {
    QFETCH(int, answer);
    QFETCH(bool, openWorks);
    QFETCH(bool, opensFolder);
    QFETCH(bool, failureTold);
    m_svc.prompt->answers.enqueue(answer);
    m_svc.shell->result = openWorks;
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    prepare(run);
    QVERIFY(run.begin(kExcelTemplateMaster));
    QCOMPARE(m_busy, QList<bool>({true}));
    for (int page = 1; page <= 3; ++page)
        QVERIFY(run.addPage(QString::number(page))->setText(4, 2, u"[%1]  株式会社"_s.arg(page)));
    QVERIFY(run.deleteTemplateSheet());
    QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));

    const QString expected = m_out->path() + u"/　2024-03-05　10：15：00　仕入先表.xlsx"_s;
    QCOMPARE(run.savedPath(), expected);
    QCOMPARE(reporttest::folderEntries(m_out->path()),
             QStringList({QFileInfo(expected).fileName()}));
    QCOMPARE(m_busy, QList<bool>({true, false}));
    // Where, what, the whole path, then the choice.
    QStringList prompts{u"保存先に\r\n表が作成されました\r\n\r\n"_s + expected +
                        u"\r\n\r\n開きますか？\r\n"_s};
    if (failureTold)
        prompts << (opensFolder ? u"フォルダを開くのに失敗しました。\r\n"_s + m_out->path()
                                : u"EXCELファイルを開くのに失敗しました。\r\n"_s + expected);
    QCOMPARE(m_svc.prompt->texts(), prompts);
    QCOMPARE(m_svc.prompt->shown[0].style,
             MsgStyle::YesNoCancel | MsgStyle::FileButtons | MsgStyle::Information);
    QStringList opened;
    if (answer == MsgResult::Yes)
        opened << expected;
    if (opensFolder)
        opened << m_out->path();
    QCOMPARE(m_svc.shell->opened, opened);
    QCOMPARE(m_folder->errorLogEntries(), 0);
    XlsxPackage pkg;
    QVERIFY(pkg.load(expected));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), QStringList({u"1"_s, u"2"_s, u"3"_s}));
}

// Without a folder of its own the run saves on the desktop, or in the home folder when there is
// no desktop folder, and says which; a PDF made beside the workbook is named as well.
void tst_ExcelLayer::run_toldWhereTheFilesAre_data() {
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<QString>("where");
    QTest::newRow("desktop") << true << false << u"デスクトップに"_s;
    QTest::newRow("no desktop folder: home")
        << false << false << u"ホームフォルダに（デスクトップのフォルダがないため）"_s;
    QTest::newRow("desktop, with the PDF") << true << true << u"デスクトップに"_s;
}

void tst_ExcelLayer::run_toldWhereTheFilesAre() {
    QFETCH(bool, desktop);
    QFETCH(bool, pdf);
    QFETCH(QString, where);
    const QString home = m_out->filePath(u"home"_s);
    const QString folder = desktop ? home + u"/Desktop"_s : home;
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(home + u"/config"_s));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + u"/config"_s).toLocal8Bit());
    // A stand-in converter: an empty PDF where LibreOffice would write it.
    const QString converter = m_out->filePath(u"convert"_s);
    QVERIFY(writeBytes(converter, "#!/bin/sh\n: > \"$7/$(basename \"$8\" .xlsx).pdf\"\n") &&
            QFile::setPermissions(converter, QFile::ReadOwner | QFile::ExeOwner));
    qputenv("TOVAKI_PDF_CONVERTER", converter.toLocal8Bit());
    m_svc.prompt->answers.enqueue(MsgResult::Cancel);
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    ExcelReportRun::Callbacks callbacks;
    callbacks.makePdf = pdf;
    run.setCallbacks(callbacks);
    const bool ran = run.begin(kExcelTemplateMaster) && run.addPage(u"1"_s) &&
                     run.deleteTemplateSheet() &&
                     run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s);
    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("TOVAKI_PDF_CONVERTER");
    QVERIFY(ran);
    const QString saved = folder + u"/　2024-03-05　10：15：00　仕入先表.xlsx"_s;
    QCOMPARE(run.savedPath(), saved);
    const QString files =
        pdf ? saved + u"\r\n"_s + folder + u"/　2024-03-05　10：15：00　仕入先表.pdf"_s : saved;
    QCOMPARE(m_svc.prompt->texts(), QStringList({where + u"\r\n表が作成されました\r\n\r\n"_s +
                                                 files + u"\r\n\r\n開きますか？\r\n"_s}));
}

// The one home of a missing template: every report takes this path through its run.
void tst_ExcelLayer::run_missingTemplate_takesTheFailurePath() {
    QVERIFY(QFile::remove(svc().paths().excelFormat + kExcelTemplateMaster));
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    prepare(run);
    QVERIFY(!run.begin(kExcelTemplateMaster));
    QVERIFY(!run.isRunning());
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelFileReportFailed}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_mPrintMaster"_s}));
    QVERIFY2(m_folder->errorLog().contains(u"master.xlsx"_s), qPrintable(m_folder->errorLog()));
    QVERIFY(reporttest::folderEntries(m_out->path()).isEmpty());
}

// A run left by an early return says nothing and leaves nothing. (A save that fails is told
// through the report window, tst_ReportWindows.)
void tst_ExcelLayer::run_abandoned_leavesNothing() {
    {
        ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
        prepare(run);
        QVERIFY(run.begin(kExcelTemplateMaster));
        QVERIFY(run.addPage(u"1"_s));
    }
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QVERIFY(m_svc.prompt->shown.isEmpty() && reporttest::folderEntries(m_out->path()).isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

// Two reports saved within the same second would otherwise share one name.
void tst_ExcelLayer::run_sameSecond_keepsBothFiles() {
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        ExcelReportRun run(u"frmPrint_cmdMargin_Click"_s);
        run.setOutputFolder(m_out->path());
        QVERIFY(run.begin(kExcelTemplateMaster));
        QVERIFY(run.addPage(u"1"_s)->setText(4, 2, QString::number(i)));
        QVERIFY(run.save(gExcelSuffixMargin()));
        paths << QFileInfo(run.savedPath()).fileName();
    }
    QCOMPARE(
        paths,
        QStringList({u"　2024-03-05　10：15：00 "_s + gstrAppTitle + u" 利益管理表.xlsx"_s,
                     u"　2024-03-05　10：15：00 "_s + gstrAppTitle + u" 利益管理表(2).xlsx"_s}));
    QVERIFY(m_svc.prompt->shown.isEmpty()); // save() asks nothing
}

QTEST_GUILESS_MAIN(tst_ExcelLayer)
#include "tst_ExcelLayer.moc"
