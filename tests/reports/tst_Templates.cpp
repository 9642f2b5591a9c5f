#include "TestData.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "reports/ExcelLayer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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

// The shipped templates: sound packages with the one sheet the reports copy, built the same
// way every time by the generator.
class tst_Templates : public QObject {
    Q_OBJECT
private slots:
    void init() { m_folder = std::make_unique<TestProgramFolder>(); }
    void cleanup() { m_folder.reset(); }
    void everyTemplate_isSoundAndHasItsSheet_data();
    void everyTemplate_isSoundAndHasItsSheet();
    void build_isReproducible();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_Templates::everyTemplate_isSoundAndHasItsSheet_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("paper");
    QTest::addColumn<QString>("name"); // the one defined name
    QTest::newRow("address list") << kExcelTemplateMaster << 9 << QString();
    QTest::newRow("balance list") << kExcelTemplateMaster2 << 9 << u"'雛型'!$1:$4"_s;
    QTest::newRow("ledger") << kExcelTemplateStockBook << 9 << u"'雛型'!$A$1:$K$35"_s;
    QTest::newRow("リ-103") << kExcelTemplateKokuyoRi103 << 13 << u"'雛型'!$A$1:$K$35"_s;
    QTest::newRow("リ-101") << kExcelTemplateKokuyoRi101 << 13 << u"'雛型'!$A$1:$J$35"_s;
    QTest::newRow("profit table") << kExcelTemplateMargin << 9 << QString();
}

void tst_Templates::everyTemplate_isSoundAndHasItsSheet() {
    QFETCH(QString, file);
    QFETCH(int, paper);
    QFETCH(QString, name);
    XlsxPackage pkg;
    QVERIFY(pkg.load(gstrExcelFormatPath + file));
    QCOMPARE(pkg.problems(), QStringList());
    Workbook book;
    QVERIFY2(gExcelOpen(file, gstrExcelFormatPath, book), qPrintable(book.errorText()));
    QCOMPARE(book.sheetNames(), QStringList({kExcelTemplateSheet}));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(ws->pageSetup().paperSize, paper);
    if (!name.isEmpty())
        QCOMPARE(book.definedNames().value(0).formula, name);
    // The ledger forms' row 1 can lose the ten points of the print position.
    if (paper == 13 || file == kExcelTemplateStockBook)
        QVERIFY(ws->rowHeight(1) >= 10);
}

void tst_Templates::build_isReproducible() {
    QTemporaryDir dir;
    const QDir sources(QStringLiteral(TOVAKI_TEMPLATE_SOURCES));
    const QStringList descriptions = sources.entryList({u"*.json"_s}, QDir::Files);
    QCOMPARE(descriptions.size(), 6);
    for (const QString& d : descriptions) {
        const QString name = d.chopped(5) + u".xlsx"_s;
        QByteArray log;
        QCOMPARE(mktemplate({sources.filePath(d), dir.filePath(name)}, log), 0);
        QVERIFY2(readAll(dir.filePath(name)) == readAll(gstrExcelFormatPath + name),
                 qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_Templates)
#include "tst_Templates.moc"
