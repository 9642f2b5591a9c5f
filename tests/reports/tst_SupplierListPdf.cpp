#include "SupplierListFixture.h"
#include "TestData.h"
#include "TestServices.h"
#include "reports/ExcelLayer.h"
#include "reports/SupplierList.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A real spreadsheet program opens both supplier lists: LibreOffice converts each to PDF (and,
// where poppler's pdftotext is installed, the PDF shows the list's texts). Skipped where
// LibreOffice is not installed.
class tst_SupplierListPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void convertsToPdf_data();
    void convertsToPdf();

private:
    QString m_soffice;
    QTemporaryDir m_work;
};

void tst_SupplierListPdf::initTestCase() {
    m_soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (m_soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    QVERIFY(m_work.isValid());
}

void tst_SupplierListPdf::convertsToPdf_data() {
    QTest::addColumn<bool>("carry");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("pages");
    QTest::newRow("address list") << false
                                  << QStringList{u"仕入先名簿"_s, u"アルファ商事株式会社"_s,
                                                 u"北海道札幌市中央区北1条西1"_s}
                                  << 2;
    QTest::newRow("balance list") << true
                                  << QStringList{u"2024/03/20 時点仕入先名簿"_s, u"13,500"_s,
                                                 u"1,234,067"_s, u"振込先１"_s}
                                  << 1;
}

void tst_SupplierListPdf::convertsToPdf() {
    QFETCH(bool, carry);
    QFETCH(QStringList, texts);
    QFETCH(int, pages);

    TestServices::install();
    TestProgramFolder folder;
    QVERIFY(folder.open());
    QVERIFY(loadSupplierListFixture());
    QTemporaryDir out;
    QList<SupplierRecord> suppliers;
    QVERIFY(gGetReportSuppliers(suppliers));
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setOutputFolder(out.path());
    QVERIFY(carry ? mPrintMaster_Carry(run, suppliers, QDate(2024, 3, 20), 1)
                  : mPrintMaster(run, suppliers));

    const QString name = carry ? u"balance"_s : u"address"_s;
    const QString xlsx = m_work.filePath(name + u".xlsx"_s);
    const QString pdf = m_work.filePath(name + u".pdf"_s);
    QVERIFY(QFile::copy(run.savedPath(), xlsx));

    QProcess soffice;
    soffice.start(m_soffice, {u"-env:UserInstallation=file://"_s + m_work.filePath(u"profile"_s),
                              u"--headless"_s, u"--norestore"_s, u"--convert-to"_s, u"pdf"_s,
                              u"--outdir"_s, m_work.path(), xlsx});
    QVERIFY(soffice.waitForFinished(240000));
    QCOMPARE(soffice.exitStatus(), QProcess::NormalExit);
    QCOMPARE(soffice.exitCode(), 0);
    QFile result(pdf);
    QVERIFY2(result.open(QIODevice::ReadOnly),
             qPrintable(QString::fromLocal8Bit(soffice.readAllStandardError())));
    QVERIFY(result.read(5) == "%PDF-");

    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        return;
    QProcess text;
    text.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
    QVERIFY(text.waitForFinished(60000));
    const QString content = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& t : texts)
        QVERIFY2(content.contains(t), qPrintable(t));
    QCOMPARE(content.count(u'\f'), pages);
}

QTEST_GUILESS_MAIN(tst_SupplierListPdf)
#include "tst_SupplierListPdf.moc"
