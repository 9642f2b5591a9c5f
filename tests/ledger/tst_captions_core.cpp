// Column captions of both ledgers and the stored grid offset, read back from a fresh data file
// and a throw-away settings folder.
#include "TestData.h"
#include "TestServices.h"

#include "ledger/Captions.h"
#include "ledger/GridOffset.h"
#include "store/Database.h"
#include "util/FileHelpers.h"

#include <QSettings>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestCaptionsCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void unusedNumberHasNoCaption();
    void quoteStoredAsTyped();
    void writeToMissingRowIsAFailure();
    void wrongKindIsAFailure();
    void emptyCaptionCheck_data();
    void emptyCaptionCheck();
    void gridOffsetDefaultsToZero();
    void gridOffsetSurvivesRestart();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    QTemporaryDir m_config;
};

void TestCaptionsCore::initTestCase() {
    // Machine-wide values go to a throw-away folder, never the user's own settings.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestCaptionsCore::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QSettings(u"Quillo-soft"_s, u"tovaki"_s).clear();
}

void TestCaptionsCore::cleanup() {
    m_folder.reset();
}

void TestCaptionsCore::unusedNumberHasNoCaption() {
    QString def = u"kept"_s, shown = u"kept"_s;
    QVERIFY(!gGetColumnCaption(5, 1, def, shown));
    QCOMPARE(def, u"kept"_s);
    QCOMPARE(shown, u"kept"_s);
}

void TestCaptionsCore::quoteStoredAsTyped() {
    QVERIFY(gSetColumnCaption(9, 1, u"仕入金額"_s, u"ハーフ'n"_s));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT strCaption FROM T_DATA1_CAPTION WHERE lngCaptionNo = 9"_s));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.rows().front().value(0).toString(), u"ハーフ'n"_s);
    QString def, shown;
    QVERIFY(gGetColumnCaption(9, 1, def, shown));
    QCOMPARE(shown, u"ハーフ'n"_s);
}

void TestCaptionsCore::writeToMissingRowIsAFailure() {
    QVERIFY(!gSetColumnCaption(5, 1, u"x"_s, u"x"_s));
    QVERIFY(m_folder->errorLog().contains(u"gSetColumnCaption"_s));
}

void TestCaptionsCore::wrongKindIsAFailure() {
    QString def, shown;
    QVERIFY(!gGetColumnCaption(0, 3, def, shown));
    QVERIFY(!gSetColumnCaption(0, 0, u"x"_s, u"x"_s));
    QCOMPARE(m_folder->errorLogEntries(), 2);
}

void TestCaptionsCore::emptyCaptionCheck_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("firstEmpty");
    QTest::addColumn<QStringList>("trimmed");
    QTest::newRow("none empty") << QStringList{u" 日付 "_s, u"品名"_s} << -1
                                << QStringList{u"日付"_s, u"品名"_s};
    QTest::newRow("second blank") << QStringList{u"日付"_s, u"   "_s, QString()} << 1
                                  << QStringList{u"日付"_s, QString(), QString()};
    QTest::newRow("full-width space is text")
        << QStringList{u"　"_s, QString()} << 1 << QStringList{u"　"_s, QString()};
}

void TestCaptionsCore::emptyCaptionCheck() {
    QFETCH(QStringList, texts);
    QFETCH(int, firstEmpty);
    QFETCH(QStringList, trimmed);
    QCOMPARE(gFirstEmptyCaption(texts), firstEmpty);
    QCOMPARE(texts, trimmed);
}

void TestCaptionsCore::gridOffsetDefaultsToZero() {
    QCOMPARE(gGetDataGridOffset(), 0);
    QCOMPARE(gDataGridLeft(gGetDataGridOffset()), 90);
    QVERIFY(gRegWrite(u"DataGridOffSet"_s, 1, u"abc"_s));
    QCOMPARE(gGetDataGridOffset(), 0);
}

void TestCaptionsCore::gridOffsetSurvivesRestart() {
    QVERIFY(gSetDataGridOffset(-42));
    QSettings reread(u"Quillo-soft"_s, u"tovaki"_s);
    QCOMPARE(reread.value(u"DataGridOffSet"_s).toInt(), -42);
    QCOMPARE(gGetDataGridOffset(), -42);
}

QTEST_GUILESS_MAIN(TestCaptionsCore)
#include "tst_captions_core.moc"
