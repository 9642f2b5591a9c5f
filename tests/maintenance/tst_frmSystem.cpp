#include "MaintenanceTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"

#include "app/frmMenu.h"
#include "maintenance/frmSystem.h"
#include "store/Currency.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace {

// The five stored settings as "close day|order|purchase caption|sale caption|tax rate"; a
// setting without its row shows as "?".
QString storedSettings() {
    qint32 day = -1, order = -1;
    QString purchase = QStringLiteral("?"), sale = QStringLiteral("?");
    Currency rate = Currency::fromInt(-1);
    const bool ok = gGetSystemLngField(8, day, -1) && gGetSystemLngField(9, order, -1) &&
                    gGetSystemStrField(10, purchase, QStringLiteral("?")) &&
                    gGetSystemStrField(11, sale, QStringLiteral("?")) &&
                    gGetSystemCurField(32, rate, Currency::fromInt(-1));
    if (!ok)
        return QStringLiteral("failed");
    return QStringList{QString::number(day), QString::number(order), purchase, sale,
                       rate.isZero() || rate.raw() > 0 ? rate.toString() : QStringLiteral("?")}
        .join(QLatin1Char('|'));
}

} // namespace

class tst_frmSystem : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void taxRateShown_data();
    void taxRateShown();
    void closingWritesAllFiveSettingsEvenUnchanged();
    void editedSettingsAreStoredAndShownAgain();
    void typingIntoCloseDayChangesNothing();
    void refusedTaxRateKeepsTheWindowOpen_data();
    void refusedTaxRateKeepsTheWindowOpen();

private:
    frmSystem* openWindow();
    // Closes the window; true when it closed.
    bool closeWindow();
    template <typename T> T* child(const char* name) {
        return frmSystem::instance()->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_svc{};
};

void tst_frmSystem::init() {
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_svc = TestServices::install();
    QVERIFY(m_folder->open());
}

void tst_frmSystem::cleanup() {
    // Closing the window shows the menu again; the menu is then removed without ending the
    // program.
    if (frmSystem* w = frmSystem::existing())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete frmMenu::existing();
    m_folder.reset();
}

frmSystem* tst_frmSystem::openWindow() {
    frmSystem* w = frmSystem::instance();
    w->show();
    QApplication::setActiveWindow(w);
    return w;
}

bool tst_frmSystem::closeWindow() {
    const bool closed = frmSystem::instance()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed;
}

void tst_frmSystem::taxRateShown_data() {
    QTest::addColumn<qint64>("stored"); // raw currency; -1: no row
    QTest::addColumn<QString>("shown");
    QTest::newRow("no row") << qint64(-1) << QStringLiteral("5.0");
    QTest::newRow("8") << qint64(80000) << QStringLiteral("8.0");
    QTest::newRow("8.25") << qint64(82500) << QStringLiteral("8.25");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0.0");
}

void tst_frmSystem::taxRateShown() {
    QFETCH(qint64, stored);
    QFETCH(QString, shown);
    if (stored >= 0)
        QVERIFY(gSetSystemCurField(32, Currency::fromRaw(stored)));
    openWindow();
    QCOMPARE(child<QLineEdit>("txtTaxRate")->text(), shown);
}

// An older data file has no ledger words: the window shows the words every other window uses,
// and closing it stores them (an empty word would make the purchase and sales labels alike).
void tst_frmSystem::closingWritesAllFiveSettingsEvenUnchanged() {
    QVERIFY(gdbData().executeSQL(QStringLiteral("DELETE FROM T_SYSTEM WHERE lngID IN (10, 11)")));
    openWindow();
    QCOMPARE(child<QLineEdit>("txtPurchaseCaption")->text(), QStringLiteral("仕入"));
    QCOMPARE(child<QComboBox>("cboCloseDay")->currentText(), QStringLiteral("20"));
    QVERIFY(child<QRadioButton>("optMasterSortOrder_0")->isChecked());
    QVERIFY(closeWindow());
    for (int id : {8, 9, 10, 11, 32})
        QCOMPARE(systemRowCount(id), 1);
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|5"));

    // A cleared word is refused, and nothing is stored.
    openWindow();
    child<QLineEdit>("txtSaleCaption")->clear();
    QVERIFY(!closeWindow());
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("txtSaleCaption"));
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(QStringLiteral("帳簿の名前")));
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|5"));
}

void tst_frmSystem::editedSettingsAreStoredAndShownAgain() {
    openWindow();
    auto* day = child<QComboBox>("cboCloseDay");
    QCOMPARE(day->count(), 31);
    QCOMPARE(day->itemText(0), QStringLiteral(" 1"));
    QCOMPARE(day->itemText(30), QStringLiteral("31"));
    day->setCurrentIndex(30); // chosen from the list: 31, the month's end
    QTest::mouseClick(child<QRadioButton>("optMasterSortOrder_1"), Qt::LeftButton);
    child<QLineEdit>("txtPurchaseCaption")->clear();
    child<QLineEdit>("txtSaleCaption")->clear();
    typeText(child<QLineEdit>("txtPurchaseCaption"), QStringLiteral("買入れ帳"));
    typeText(child<QLineEdit>("txtSaleCaption"), QStringLiteral("販'売"));
    auto* rate = child<QLineEdit>("txtTaxRate");
    rate->selectAll();
    typeText(rate, QStringLiteral("8"));
    QVERIFY(closeWindow());
    QVERIFY(m_svc.prompt->shown.isEmpty());

    // The purchase caption keeps three characters at most.
    QCOMPARE(storedSettings(), QStringLiteral("31|1|買入れ|販'売|8"));

    openWindow();
    QCOMPARE(child<QComboBox>("cboCloseDay")->currentText(), QStringLiteral("31"));
    QVERIFY(child<QRadioButton>("optMasterSortOrder_1")->isChecked());
    QCOMPARE(child<QLineEdit>("txtPurchaseCaption")->text(), QStringLiteral("買入れ"));
    QCOMPARE(child<QLineEdit>("txtSaleCaption")->text(), QStringLiteral("販'売"));
    QCOMPARE(child<QLineEdit>("txtTaxRate")->text(), QStringLiteral("8.0"));
}

void tst_frmSystem::typingIntoCloseDayChangesNothing() {
    QVERIFY(gSetSystemLngField(8, 20));
    openWindow();
    auto* day = child<QComboBox>("cboCloseDay");
    day->setFocus();
    typeText(day, QStringLiteral("3"));
    typeText(day, QStringLiteral("1"));
    typeText(day, QStringLiteral("a 5"));
    QCOMPARE(day->currentText(), QStringLiteral("20"));
    QVERIFY(closeWindow());
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|5"));
}

void tst_frmSystem::refusedTaxRateKeepsTheWindowOpen_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString notNumber = QStringLiteral("消費税率 に数値を入力してください。");
    const QString range = QStringLiteral("消費税率は 0 ～ 100 % の範囲で入力してください");
    QTest::newRow("empty") << QString() << notNumber;
    QTest::newRow("letters") << QStringLiteral("abc") << notNumber;
    QTest::newRow("two points") << QStringLiteral("1.2.") << notNumber;
    QTest::newRow("percent sign") << QStringLiteral("5%") << notNumber;
    QTest::newRow("past 100") << QStringLiteral("101") << range;
    QTest::newRow("below 0") << QStringLiteral("-0.1") << range;
}

void tst_frmSystem::refusedTaxRateKeepsTheWindowOpen() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    openWindow();
    auto* rate = child<QLineEdit>("txtTaxRate");
    rate->clear();
    typeText(rate, typed);
    QVERIFY(!closeWindow());
    QVERIFY(frmSystem::instance()->isVisible());
    QCOMPARE(m_svc.prompt->texts(), QStringList{message});
    QCOMPARE(QApplication::focusWidget(), rate);
    // Nothing was saved.
    QCOMPARE(storedSettings(), QStringLiteral("-1|-1|仕入|売上|?"));

    rate->clear();
    typeText(rate, QStringLiteral("100"));
    QVERIFY(closeWindow());
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|100"));
}

QTEST_MAIN(tst_frmSystem)
#include "tst_frmSystem.moc"
