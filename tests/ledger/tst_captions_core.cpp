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

    void shippedCaptions_data();
    void shippedCaptions();
    void unusedNumberHasNoCaption();
    void quoteStoredAsTyped();
    void salesCaptionsLeavePurchaseCaptionsAlone();
    void writeToMissingRowIsAFailure();
    void wrongKindIsAFailure();
    void emptyCaptionCheck_data();
    void emptyCaptionCheck();
    void gridOffsetDefaultsToZero();
    void gridOffsetSurvivesRestart();
    void gridMoveLimits_data();
    void gridMoveLimits();
    void leftMovesStopAtMinus84();

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

void TestCaptionsCore::shippedCaptions_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("caption");
    QTest::newRow("purchase date") << 1 << 0 << u"日付"_s;
    QTest::newRow("purchase class 3") << 1 << 4 << u"区分3"_s;
    QTest::newRow("purchase cost") << 1 << 9 << u"仕入金額"_s;
    QTest::newRow("purchase payment") << 1 << 10 << u"支払金額"_s;
    QTest::newRow("sales amount") << 2 << 9 << u"売上金額"_s;
    QTest::newRow("sales receipt") << 2 << 10 << u"入金金額"_s;
}

void TestCaptionsCore::shippedCaptions() {
    QFETCH(int, kind);
    QFETCH(int, number);
    QFETCH(QString, caption);
    QString def, shown;
    QVERIFY(gGetColumnCaption(number, kind, def, shown));
    QCOMPARE(def, caption);
    QCOMPARE(shown, caption);
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

void TestCaptionsCore::salesCaptionsLeavePurchaseCaptionsAlone() {
    QVERIFY(gSetColumnCaption(9, 2, u"売上金額"_s, u"売上高"_s));
    QString def, shown;
    QVERIFY(gGetColumnCaption(9, 1, def, shown));
    QCOMPARE(shown, u"仕入金額"_s);
    QVERIFY(gGetColumnCaption(9, 2, def, shown));
    QCOMPARE(shown, u"売上高"_s);
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

void TestCaptionsCore::gridMoveLimits_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("inner");
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("leftAllowed");
    QTest::newRow("room both ways") << 90 << 1000 << 2000 << true << true;
    QTest::newRow("right edge exactly 30 short") << 90 << 1000 << 1120 << false << true;
    QTest::newRow("right edge 31 short") << 90 << 1000 << 1121 << true << true;
    QTest::newRow("left at 7") << 7 << 1000 << 2000 << true << true;
    QTest::newRow("left at 6") << 6 << 1000 << 2000 << true << false;
    QTest::newRow("left at 0") << 0 << 100 << 50 << false << false;
}

void TestCaptionsCore::gridMoveLimits() {
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(int, inner);
    QFETCH(bool, right);
    QFETCH(bool, leftAllowed);
    QCOMPARE(gCanMoveDataGridRight(left, width, inner), right);
    QCOMPARE(gCanMoveDataGridLeft(left), leftAllowed);
}

void TestCaptionsCore::leftMovesStopAtMinus84() {
    int offset = 0;
    int moves = 0;
    while (gCanMoveDataGridLeft(gDataGridLeft(offset)) && moves < 100) {
        offset -= kDataGridMoveStep;
        ++moves;
    }
    QCOMPARE(offset, -84);
    QCOMPARE(moves, 14);
}

QTEST_GUILESS_MAIN(TestCaptionsCore)
#include "tst_captions_core.moc"
