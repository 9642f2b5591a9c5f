// Whole flows through the caption editor and the grid offset window, offscreen, read back from
// the data file and the machine-wide settings.
#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"

#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "ledger/Captions.h"
#include "ledger/GridOffset.h"
#include "ledger/frmDataCaption.h"
#include "ledger/frmDataMoveGrid.h"
#include "store/Database.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestCaptionsWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void renamedCostColumnIsTheNewCaption();
    void salesCaptionsLeavePurchaseCaptionsAlone();
    void emptyCaptionKeepsWindowOpenAndIsWritten();
    void captionsAreTrimmed();
    void missingCaptionRowEndsTheProgram();

    void gridMovesToBothLimitsAndOffsetSurvivesRestart();
    void moveWithoutRoomLeavesOffsetAlone();

private:
    template <class W> W* show(W* w);
    static void closeWindow(QWidget* w);
    static QMap<int, QString> captions(int kind);
    static void retype(QLineEdit* box, const QString& text);

    TestServices m_services{};
    std::unique_ptr<TestProgramFolder> m_folder;
    QTemporaryDir m_config;
};

void TestCaptionsWindows::initTestCase() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestCaptionsWindows::init() {
    m_services = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QSettings(u"Quillo-soft"_s, u"tovaki"_s).clear();
    glngDataKind = 1;
}

void TestCaptionsWindows::cleanup() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            windows << w;
    for (const QPointer<QWidget>& w : std::as_const(windows))
        delete w.data();
    m_folder.reset();
}

template <class W> W* TestCaptionsWindows::show(W* w) {
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        qWarning("window not active");
    return w;
}

void TestCaptionsWindows::closeWindow(QWidget* w) {
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QMap<int, QString> TestCaptionsWindows::captions(int kind) {
    QMap<int, QString> out;
    ResultSet rs(gdbData());
    if (rs.openRecordSet(u"SELECT lngCaptionNo, strDefault, strCaption FROM T_DATA"_s +
                         QString::number(kind) + u"_CAPTION"_s))
        for (const QVariantList& r : rs.rows())
            out.insert(r.value(0).toInt(), r.value(1).toString() + u"|"_s + r.value(2).toString());
    return out;
}

void TestCaptionsWindows::retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    typeText(box, text);
}

void TestCaptionsWindows::renamedCostColumnIsTheNewCaption() {
    frmDataCaption* w = show(frmDataCaption::instance());
    QVERIFY(w->windowTitle().startsWith(u"項目名の変更     "_s));
    QCOMPARE(w->lblCost->text(), u"仕入金額"_s);
    QCOMPARE(w->txtCost->text(), u"仕入金額"_s);
    QCOMPARE(w->lblClass2->text(), u"区分2"_s);
    retype(w->txtCost, u"ハーフ'n"_s);
    closeWindow(w);
    QVERIFY(!frmDataCaption::existing());
    QVERIFY(m_services.prompt->shown.isEmpty());

    QString def, shown;
    QVERIFY(gGetColumnCaption(9, 1, def, shown));
    QCOMPARE(def, u"仕入金額"_s);
    QCOMPARE(shown, u"ハーフ'n"_s);

    // Reopened, the editor shows the new name beside the unchanged initial one.
    w = show(frmDataCaption::instance());
    QCOMPARE(w->lblCost->text(), u"仕入金額"_s);
    QCOMPARE(w->txtCost->text(), u"ハーフ'n"_s);
    closeWindow(w);
}

void TestCaptionsWindows::salesCaptionsLeavePurchaseCaptionsAlone() {
    const QMap<int, QString> purchase = captions(1);
    glngDataKind = 2;
    frmDataCaption* w = show(frmDataCaption::instance());
    QCOMPARE(w->txtCost->text(), u"売上金額"_s);
    QCOMPARE(w->txtPayment->text(), u"入金金額"_s);
    retype(w->txtPayment, u"入金額"_s);
    retype(w->txtClass1, u"部門"_s);
    closeWindow(w);

    QCOMPARE(captions(1), purchase);
    const QMap<int, QString> sales = captions(2);
    QCOMPARE(sales.value(10), u"入金金額|入金額"_s);
    QCOMPARE(sales.value(2), u"区分1|部門"_s);
    QCOMPARE(sales.value(9), u"売上金額|売上金額"_s);
}

void TestCaptionsWindows::emptyCaptionKeepsWindowOpenAndIsWritten() {
    frmDataCaption* w = show(frmDataCaption::instance());
    retype(w->txtRatio, QString());
    retype(w->txtItem, u"   "_s);
    retype(w->txtCost, u"仕入高"_s);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(m_services.prompt->texts(), QStringList{u"必ず入力してください。"_s});
    QVERIFY(frmDataCaption::existing());
    QVERIFY(w->isVisible());
    QCOMPARE(w->focusWidget(), w->txtItem);
    QCOMPARE(w->txtItem->text(), QString());
    // Everything typed is stored even though the window stays open.
    const QMap<int, QString> stored = captions(1);
    QCOMPARE(stored.value(1), u"品名|"_s);
    QCOMPARE(stored.value(8), u"掛率|"_s);
    QCOMPARE(stored.value(9), u"仕入金額|仕入高"_s);

    retype(w->txtItem, u"商品"_s);
    retype(w->txtRatio, u"率"_s);
    closeWindow(w);
    QVERIFY(!frmDataCaption::existing());
    QCOMPARE(m_services.prompt->shown.size(), 1);
    QCOMPARE(captions(1).value(1), u"品名|商品"_s);
    QCOMPARE(captions(1).value(8), u"掛率|率"_s);
}

void TestCaptionsWindows::captionsAreTrimmed() {
    frmDataCaption* w = show(frmDataCaption::instance());
    retype(w->txtDate, u"  年月日 "_s);
    retype(w->txtUnitPrice, u"　単価"_s);
    closeWindow(w);
    QCOMPARE(captions(1).value(0), u"日付|年月日"_s);
    QCOMPARE(captions(1).value(6), u"単価|　単価"_s);
}

void TestCaptionsWindows::missingCaptionRowEndsTheProgram() {
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA1_CAPTION WHERE lngCaptionNo = 7"_s));
    show(frmDataCaption::instance());
    QVERIFY(!m_services.process->terminations.isEmpty());
    QVERIFY(m_folder->errorLog().contains(u"frmDataCaption_Form_Load"_s));
}

void TestCaptionsWindows::gridMovesToBothLimitsAndOffsetSurvivesRestart() {
    // A stand-in ledger window: 12 000 twips inside, the grid 11 000 twips wide.
    QWidget ledger;
    ledger.setFixedSize(twipsToPixelsX(12000), 300);
    QWidget grid(&ledger);
    grid.setGeometry(twipsToPixelsX(kDataGridBaseLeft), 50, twipsToPixelsX(11000), 200);
    ledger.show();
    const int dpi = twipsToPixelsX(1440);
    const int gridWidth = grid.width() * 1440 / dpi;
    const int inner = ledger.width() * 1440 / dpi;
    int expectedRight = 0;
    while (gridWidth + kDataGridBaseLeft + expectedRight + kDataGridRightGap < inner)
        expectedRight += kDataGridMoveStep;

    frmDataMoveGrid* w = frmDataMoveGrid::instance();
    w->setGrid(&grid);
    show(w);
    QCOMPARE(w->lblLeft->text(), u"0"_s);
    int presses = 0;
    while (m_services.prompt->shown.isEmpty() && presses < 1000) {
        QTest::mouseClick(w->cmdMoveRight, Qt::LeftButton);
        ++presses;
    }
    QCOMPARE(m_services.prompt->texts(), QStringList{u"それ以上、右に寄せることは出来ません。"_s});
    QCOMPARE(m_services.prompt->shown.first().style & 0x70, MsgStyle::Information);
    QCOMPARE(w->offset(), expectedRight);
    QCOMPARE(w->lblLeft->text(), QString::number(expectedRight));
    QCOMPARE(grid.x(), twipsToPixelsX(kDataGridBaseLeft + expectedRight));
    closeWindow(w);
    QCOMPARE(gGetDataGridOffset(), expectedRight);

    // Opened again (as after a restart) it starts from the stored offset.
    m_services.prompt->shown.clear();
    w = frmDataMoveGrid::instance();
    w->setGrid(&grid);
    show(w);
    QCOMPARE(w->lblLeft->text(), QString::number(expectedRight));
    presses = 0;
    while (m_services.prompt->shown.isEmpty() && presses < 1000) {
        QTest::mouseClick(w->cmdMoveLeft, Qt::LeftButton);
        ++presses;
    }
    QCOMPARE(m_services.prompt->texts(), QStringList{u"それ以上、左に寄せることは出来ません。"_s});
    QCOMPARE(w->offset(), -84);
    QCOMPARE(w->lblLeft->text(), u"-84"_s);
    QCOMPARE(grid.x(), twipsToPixelsX(6));
    closeWindow(w);

    QSettings restarted(u"Quillo-soft"_s, u"tovaki"_s);
    QCOMPARE(restarted.value(u"DataGridOffSet"_s).toInt(), -84);
    QCOMPARE(gGetDataGridOffset(), -84);
}

void TestCaptionsWindows::moveWithoutRoomLeavesOffsetAlone() {
    QVERIFY(gSetDataGridOffset(12));
    QWidget ledger;
    ledger.setFixedSize(twipsToPixelsX(5000), 300);
    QWidget grid(&ledger);
    grid.setGeometry(twipsToPixelsX(kDataGridBaseLeft + 12), 50, twipsToPixelsX(6000), 200);
    frmDataMoveGrid* w = frmDataMoveGrid::instance();
    w->setGrid(&grid);
    show(w);
    QTest::mouseClick(w->cmdMoveRight, Qt::LeftButton);
    QCOMPARE(m_services.prompt->texts(), QStringList{u"それ以上、右に寄せることは出来ません。"_s});
    QCOMPARE(w->lblLeft->text(), u"12"_s);
    QTest::mouseClick(w->cmdMoveLeft, Qt::LeftButton);
    QCOMPARE(w->lblLeft->text(), u"6"_s);
    closeWindow(w);
    QCOMPARE(gGetDataGridOffset(), 6);
}

QTEST_MAIN(TestCaptionsWindows)
#include "tst_captions_windows.moc"
