#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/Globals.h"
#include "app/WindowDisplay.h"
#include "app/frmMenu.h"
#include "ledger/GridOffset.h"
#include "ledger/LedgerGrid.h"
#include "ledger/LedgerModel.h"
#include "ledger/LedgerStore.h"
#include "ledger/frmCalendar.h"
#include "ledger/frmClass.h"
#include "ledger/frmData.h"
#include "ledger/frmDataCaption.h"
#include "ledger/frmDataCheck0.h"
#include "ledger/frmDataItem.h"
#include "ledger/frmDataMoveGrid.h"
#include "master/SupplierRecords.h"
#include "master/frmMaster.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "util/FileHelpers.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

Currency yen(qint64 v) {
    return Currency::fromInt(v);
}

bool addSupplier(int masterID, int supplier, const QString& shortName, qint64 supplyRatio = 0,
                 qint64 saleRatio = 0, qint64 supplyCarry = 0, qint64 saleCarry = 0,
                 const QString& notes = {}) {
    return gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName,"
        " strSupplierShortName, strKana, curRegularSupplyRatio, curRegularSaleRatio,"
        " curStartSupplyCarry, curStartSaleCarry, lngChargePerson, lngBankAccount, strNotes,"
        " datLastUpdate) VALUES (?,?,1,?,?,?,?,?,?,?,1,1,?,?)"_s,
        {masterID, supplier, shortName + u"株式会社"_s, shortName, shortName,
         QVariant::fromValue(yen(supplyRatio)), QVariant::fromValue(yen(saleRatio)),
         QVariant::fromValue(yen(supplyCarry)), QVariant::fromValue(yen(saleCarry)), notes,
         u"2024-01-01 09:00:00"_s});
}

// A stored line: a date, an item and an amount or a payment.
qint64 addLine(int kind, qint32 masterID, const QDate& date, const QString& item,
               std::optional<qint64> cost, std::optional<qint64> payment = {},
               std::function<void(LedgerLine&)> more = {}) {
    LedgerLine l;
    l.lngMasterID = masterID;
    l.date1 = date;
    l.strItem = item;
    if (cost)
        l.curCost = yen(*cost);
    if (payment)
        l.curPayment = yen(*payment);
    if (more)
        more(l);
    LedgerStore store(kind);
    return store.insertLine(l) ? l.lngID : -1;
}

QVariantList lineRow(int kind, qint64 lngID, const QString& columns) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_DATA"_s + QString::number(kind) +
                              u" WHERE lngID=?"_s,
                          {lngID}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

QList<QVariantList> lines(int kind, qint32 masterID, const QString& columns) {
    ResultSet rs(gdbData());
    QList<QVariantList> out;
    if (!rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_DATA"_s + QString::number(kind) +
                              u" WHERE lngMasterID=? ORDER BY lngID"_s,
                          {masterID}))
        return out;
    for (const QVariantList& r : rs.rows())
        out << r;
    return out;
}

QVariant cur(qint64 v) {
    return QVariant::fromValue(yen(v));
}

} // namespace

class tst_frmData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithTheLedgersWords_data();
    void opensWithTheLedgersWords();
    void headerButtonsStandOverTheirColumns();
    void gridOffsetMovesTheGridOnly();
    void pickingASupplierShowsItsLines();
    void typeALineWithTheKeyboard();
    void refusedCellKeepsTheUserInIt_data();
    void refusedCellKeepsTheUserInIt();
    void leavingARefusedCellByMouseStaysInIt();
    void f12OnTheAmountColumnDerivesIt();
    void headerButtonsDeriveOnlyEmptyCells_data();
    void headerButtonsDeriveOnlyEmptyCells();
    void ratioAboveHundredIsWarnedNotStored();
    void f12OnTheDateColumnGivesToday();
    void altKeyFillsTheClassDefault();
    void dropDownEditorArrowsBrowseEnterChooses();
    void dropDownClickChoosesAfterBrowsing();
    void switchingSupplierWithAnInvalidLineIsBlocked();
    void closingIsBlockedThenAllowed();
    void deleteLineAskedYesAndNo();
    void viewOrders();
    void calcSumShowsTheFigures();
    void calcSumNeedsASupplierAndDates();
    void calcSumBeyondTheRangeIsAMessage();
    void calcSumWithoutUsableRatioLeavesAverageEmpty();
    void taxEstimateUsesTheRateSetting_data();
    void taxEstimateUsesTheRateSetting();
    void resetChecks_data();
    void resetChecks();
    void resetChecksOfCurrentWithoutSupplier();
    void calendarBackLeavesTheBoxUnchanged();
    void calendarDecisionFillsTheBox();
    void supplierMasterOpensModallyFromTheLedger();
    void calculatorThatCannotStartIsReported();
    void classButtonsOpenTheirListWindow_data();
    void classButtonsOpenTheirListWindow();
    void captionEditorRenamesHeaderAndMessages();
    void gridOffsetWindowNeedsTheGrid();
    void menuOpensBothLedgers();

private:
    frmData* openLedger(int kind);
    bool pickSupplier(frmData* f, int supplier);
    QWidget* startTyping(frmData* f, int row, int column, const QString& text);
    void typeCell(frmData* f, int row, int column, const QString& text);

    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_settingsDir;
    TestServices m_svc{};
};

void tst_frmData::initTestCase() {
    m_settingsDir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
}

void tst_frmData::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QSettings(u"Quillo-soft"_s, u"tovaki"_s).clear();
    gblnMasterFromData = false;
    QVERIFY(addSupplier(1, 12, u"青葉文具"_s, 0, 0, 10000, 500));
    QVERIFY(addSupplier(2, 7, u"東商事"_s, 80, 75, 0, 0, u"月末締め"_s));
}

void tst_frmData::cleanup() {
    // Released without closing, so that no check or menu runs.
    for (QWidget* w : std::initializer_list<QWidget*>{
             frmCalendar::existing(), frmDataCheck0::existing(), frmMaster::existing(),
             frmData::existing(), frmMenu::existing()})
        delete w;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_folder.reset();
}

frmData* tst_frmData::openLedger(int kind) {
    glngDataKind = kind;
    frmData* f = frmData::instance();
    f->show();
    f->activateWindow();
    if (!QTest::qWaitForWindowExposed(f))
        return nullptr;
    return f;
}

bool tst_frmData::pickSupplier(frmData* f, int supplier) {
    QComboBox* box = f->cboSupplierName;
    box->showPopup();
    if (!box->view()->isVisible())
        return false;
    const int i = box->findText(gFormatSupplierItem(supplier, QString()), Qt::MatchStartsWith);
    if (i < 0)
        return false;
    box->view()->setCurrentIndex(box->model()->index(i, 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    return f->DBGrid_Main->isVisible();
}

// Puts the cursor on a cell and types text into the editor the first key opens.
QWidget* tst_frmData::startTyping(frmData* f, int row, int column, const QString& text) {
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(row, column));
    QTest::sendKeyEvent(QTest::Click, grid, Qt::Key_A, text.left(1), Qt::NoModifier);
    QWidget* editor = grid->activeEditor();
    if (!editor)
        return nullptr;
    const QString rest = text.mid(1);
    bool latin = true;
    for (const QChar c : rest)
        latin = latin && c.unicode() < 0x80;
    if (latin)
        QTest::keyClicks(editor, rest);
    else
        typeText(editor, rest);
    return editor;
}

void tst_frmData::typeCell(frmData* f, int row, int column, const QString& text) {
    QWidget* editor = startTyping(f, row, column, text);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
}

void tst_frmData::opensWithTheLedgersWords_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("payment");
    QTest::newRow("purchase") << 1 << u"仕入"_s << u"仕入金額"_s << u"支払金額"_s;
    QTest::newRow("sales") << 2 << u"売上"_s << u"売上金額"_s << u"入金金額"_s;
}

void tst_frmData::opensWithTheLedgersWords() {
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, cost);
    QFETCH(QString, payment);
    frmData* f = openLedger(kind);
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), title + u"帳     tovaki"_s);
    QCOMPARE(f->frmCalcSum->title(), title + u" 期間計算 Σ"_s);
    QCOMPARE(f->lblRegularRatio->text(), title + u"規定掛率"_s);
    const QStringList captions{u"日付"_s,  u"並順"_s, u"品名"_s,     u"区分1"_s, u"区分2"_s,
                               u"区分3"_s, u"数量"_s, u"単価"_s,     u"定価"_s,  u"掛率"_s,
                               cost,       payment,   u"チェック"_s, u"備考"_s};
    for (int i = 1; i <= 14; ++i) {
        auto* b = f->findChild<QPushButton*>(u"cmdCol_%1"_s.arg(i));
        QVERIFY(b);
        QCOMPARE(b->text(), captions.at(i - 1));
    }
    QCOMPARE(f->lblTotalCost2->text(), cost);
    QCOMPARE(f->lblTotalPayment2->text(), payment);
    QCOMPARE(f->lblTotalRegularPrice2->text(), u"定価"_s);
    QCOMPARE(f->lblTotalRatio2->text(), u"掛率"_s);
    // The fixed clock says 2024-03-05: ten days back lies in the term ending on the 20th.
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/21"_s);
    QCOMPARE(f->cboCalcEndDate->currentText(), u"2024/03/20"_s);
    QCOMPARE(f->cboSortSetting->currentText(), u"通常"_s);
    QCOMPARE(f->cboSortSetting->count(), 2);
    QCOMPARE(f->cboSortSetting->itemText(0), u"入力順"_s);
    QVERIFY(!f->DBGrid_Main->isVisible());
    QVERIFY(f->txtMasterID->text().isEmpty());
    QVERIFY(!f->lblTotalCost->isVisible());
    for (int i = 1; i <= 14; ++i)
        QVERIFY(f->cmdCol[static_cast<std::size_t>(i)]->isEnabled());
    QVERIFY(f->cmdHead->isEnabled());
    QVERIFY(f->cmdMoveGrid->isEnabled());
    // Nothing happens to the order without a supplier.
    f->cboSortSetting->setCurrentIndex(0);
    emit f->cboSortSetting->activated(0);
    QCOMPARE(f->model()->rowCount(), 0);
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmData::headerButtonsStandOverTheirColumns() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    QVERIFY(grid->isColumnHidden(0));
    QVERIFY(grid->isColumnHidden(15));
    QWidget* central = f->centralWidget();
    for (int i = 1; i <= 14; ++i) {
        QPushButton* b = f->cmdCol[static_cast<std::size_t>(i)];
        const QPoint columnLeft =
            grid->viewport()->mapTo(central, QPoint(grid->columnViewportPosition(i), 0));
        QCOMPARE(b->x(), columnLeft.x());
        QCOMPARE(b->width(), grid->columnWidth(i));
        QVERIFY(b->geometry().bottom() < grid->y());
    }
    QCOMPARE(f->cmdCol[1]->x(), twipsToPixelsX(375));
    QCOMPARE(grid->x(), twipsToPixelsX(90));
    QCOMPARE(grid->rowHeight(0), twipsToPixelsY(450));
    // The whole grid fits the window without a horizontal scroll bar.
    QVERIFY(grid->geometry().right() <= central->width());
    QCOMPARE(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void tst_frmData::gridOffsetMovesTheGridOnly() {
    QVERIFY(gRegWrite(u"DataGridOffSet"_s, 4, 120));
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QCOMPARE(f->DBGrid_Main->x(), twipsToPixelsX(90 + 120));
    QCOMPARE(f->cmdCol[1]->x(), twipsToPixelsX(375));
}

void tst_frmData::pickingASupplierShowsItsLines() {
    addLine(1, 1, QDate(2024, 3, 1), u"ノート"_s, 1200);
    addLine(1, 1, QDate(2024, 3, 2), u"振込"_s, {}, 1000);
    addLine(2, 1, QDate(2024, 3, 2), u"売上の行"_s, 900);
    addLine(1, 2, QDate(2024, 3, 2), u"他社"_s, 500);
    frmData* f = openLedger(1);
    QVERIFY(f);
    // The list offers valid suppliers as number and short name.
    f->cboSupplierName->showPopup();
    QCOMPARE(f->cboSupplierName->count(), 2);
    QCOMPARE(f->cboSupplierName->itemText(0), u"  7：東商事"_s);
    QCOMPARE(f->cboSupplierName->itemText(1), u" 12：青葉文具"_s);
    f->cboSupplierName->hidePopup();
    QVERIFY(pickSupplier(f, 12));
    QCOMPARE(f->txtMasterID->text(), u"1"_s);
    QCOMPARE(f->model()->lineCount(), 2);
    QCOMPARE(f->model()->rowCount(), 3);
    QCOMPARE(f->model()->data(f->model()->index(0, 3)).toString(), u"ノート"_s);
    QCOMPARE(f->model()->data(f->model()->index(0, 1)).toString(), u"24/03/01"_s);
    QCOMPARE(f->model()->data(f->model()->index(1, 12)).toString(), u"1,000"_s);
    // The newest line of the order is current.
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 1);
    QVERIFY(f->txtRegularRatio->text().isEmpty());
    QCOMPARE(f->txtStartCarry->text(), u"￥10,000"_s);
    QVERIFY(pickSupplier(f, 7));
    QCOMPARE(f->txtMasterID->text(), u"2"_s);
    QCOMPARE(f->model()->lineCount(), 1);
    QCOMPARE(f->txtRegularRatio->text(), u"80.0"_s);
    QCOMPARE(f->txtStartCarry->text(), u"￥0"_s);
    QCOMPARE(f->txtNotes->text(), u"月末締め"_s);
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmData::typeALineWithTheKeyboard() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 7)); // default ratio 80
    LedgerGrid* grid = f->DBGrid_Main;
    QVERIFY(f->model()->isNewRow(0));
    typeCell(f, 0, 1, u"2024/03/04"_s);
    QCOMPARE(f->model()->lineCount(), 1);                    // stored on its first cell
    QCOMPARE(grid->currentIndex(), f->model()->index(0, 2)); // Enter moved on
    typeCell(f, 0, 2, u"3"_s);
    typeCell(f, 0, 3, u"ボールペン"_s);
    QCOMPARE(grid->currentIndex().column(), 4);
    // Enter on a cell not being edited moves on as well.
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentIndex().column(), 7);
    typeCell(f, 0, 7, u"10"_s);
    typeCell(f, 0, 8, u"120"_s);
    // F12 on the amount column derives quantity × unit price.
    grid->setCurrentIndex(f->model()->index(0, 11));
    QTest::keyClick(grid, Qt::Key_F12);
    typeCell(f, 0, 14, u"見本"_s);
    QCOMPARE(f->model()->rowCount(), 2);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    const auto rows = lines(1, 2,
                            u"date1,lngSort,strItem,curQuantity,curUnitPrice,curCost,curPayment,"
                            "strNote,blnChange,strClass1"_s);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0),
             (QVariantList{QDate(2024, 3, 4), qint64(3), u"ボールペン"_s, cur(10), cur(120),
                           cur(1200), QVariant(), u"見本"_s, true, QVariant()}));
    // A second line goes below it.
    typeCell(f, 1, 1, u"3/5"_s);
    typeCell(f, 1, 12, u"1,200"_s);
    QCOMPARE(lines(1, 2, u"date1,curPayment"_s).at(1),
             (QVariantList{QDate(2024, 3, 5), cur(1200)}));
    QCOMPARE(f->model()->rowCount(), 3);
    QCOMPARE(f->model()->data(f->model()->index(1, 12)).toString(), u"1,200"_s);
}

void tst_frmData::refusedCellKeepsTheUserInIt_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("ratio 0") << 10 << u"0"_s << u"０は入力しないでください"_s;
    QTest::newRow("ratio negative") << 10 << u"-5"_s << u"０以下は入力しないでください"_s;
    QTest::newRow("unit price negative") << 8 << u"-5"_s << u"０以下は入力しないでください"_s;
    QTest::newRow("quantity fraction") << 7 << u"12.5"_s << u"小数は入力しないでください"_s;
    QTest::newRow("check fraction") << 13 << u"1.5"_s << u"小数は入力しないでください"_s;
    QTest::newRow("cost not a number") << 11 << u"abc"_s << u"数値を入力してください"_s;
    QTest::newRow("payment 0") << 12 << u"0"_s << u"０は入力しないでください"_s;
    QTest::newRow("no date") << 1 << u"2024/13/01"_s << u"日付を入力してください"_s;
    QTest::newRow("order outside 1-40") << 2 << u"41"_s << u"リストの中から選択してください。"_s;
}

void tst_frmData::refusedCellKeepsTheUserInIt() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 1000, {},
                              [](LedgerLine& l) { l.curRatio = yen(60); });
    const QVariantList before = lineRow(1, id, u"*"_s);
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QWidget* editor = startTyping(f, 0, column, text);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(m_svc.prompt->texts(), QStringList{message});
    QCOMPARE(m_svc.prompt->shown.at(0).style & 0x70, 48); // the exclamation icon
    // The user stays in the cell with the text as typed; nothing was stored.
    QCOMPARE(f->DBGrid_Main->activeEditor(), editor);
    QCOMPARE(qobject_cast<QLineEdit*>(editor)->text(), text);
    QCOMPARE(f->DBGrid_Main->currentIndex(), f->model()->index(0, column));
    QCOMPARE(lineRow(1, id, u"*"_s), before);
    // A button that needs the line stored first stops there as well.
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1); // told once about this text
    QVERIFY(f->DBGrid_Main->activeEditor());
    QVERIFY(!f->lblTotalCost->isVisible());
    // Escape drops the text; the line is as it was.
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!f->DBGrid_Main->activeEditor());
    QCOMPARE(lineRow(1, id, u"*"_s), before);
}

void tst_frmData::leavingARefusedCellByMouseStaysInIt() {
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 1000, {},
                              [](LedgerLine& l) { l.curRatio = yen(60); });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    QWidget* editor = startTyping(f, 0, 10, u"150.25.1"_s);
    QVERIFY(editor);
    const QRect other = grid->visualRect(f->model()->index(0, 3));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, other.center());
    QCoreApplication::processEvents();
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"数値を入力してください"_s});
    QCOMPARE(grid->activeEditor(), editor);
    QCOMPARE(grid->currentIndex(), f->model()->index(0, 10));
    QCOMPARE(lineRow(1, id, u"curRatio,blnChange"_s), (QVariantList{cur(60), false}));
    // Corrected, the value goes in.
    qobject_cast<QLineEdit*>(editor)->setText(u"55.5"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(lineRow(1, id, u"curRatio,blnChange"_s),
             (QVariantList{QVariant::fromValue(Currency::fromRaw(555000)), true}));
    QCOMPARE(m_svc.prompt->texts().size(), 1);
}

void tst_frmData::f12OnTheAmountColumnDerivesIt() {
    // Quantity 3, regular price 1000 and ratio 60, no unit price: the amount is 1800.
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, {}, {}, [](LedgerLine& l) {
        l.curQuantity = yen(3);
        l.curRegularPrice = yen(1000);
        l.curRatio = yen(60);
    });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(0, 11));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"curCost,blnChange"_s), (QVariantList{cur(1800), true}));
    QCOMPARE(f->model()->data(f->model()->index(0, 11)).toString(), u"1,800"_s);
    // A filled cell is not derived again.
    QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA1 SET curRatio=? WHERE lngID=?"_s, {cur(50), id}));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"curCost"_s), (QVariantList{cur(1800)}));
    // The unit price from the same line: 600.
    grid->setCurrentIndex(f->model()->index(0, 8));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"curUnitPrice"_s), (QVariantList{cur(600)}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmData::headerButtonsDeriveOnlyEmptyCells_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<qint64>("cost");
    QTest::addColumn<qint64>("quantity");
    QTest::addColumn<qint64>("regular");
    QTest::addColumn<QVariant>("expected");
    // Cost 1000 and regular price 1500: ratio 66.6, cut.
    QTest::newRow("ratio cut") << 10 << qint64(1000) << qint64(0) << qint64(1500)
                               << QVariant::fromValue(Currency::fromRaw(666000));
    // Cost 1800, quantity 3: unit price 600.
    QTest::newRow("unit price") << 8 << qint64(1800) << qint64(3) << qint64(0) << cur(600);
    // Cost 1, regular price 1500: a cost of 1 counts as none, so no unit price.
    QTest::newRow("cost of one") << 8 << qint64(1) << qint64(0) << qint64(0) << QVariant();
    // The supplier's default ratio 80: regular price 1800 / 0.8 = 2250.
    QTest::newRow("regular price from default ratio")
        << 9 << qint64(1800) << qint64(0) << qint64(0) << cur(2250);
}

void tst_frmData::headerButtonsDeriveOnlyEmptyCells() {
    QFETCH(int, column);
    QFETCH(qint64, cost);
    QFETCH(qint64, quantity);
    QFETCH(qint64, regular);
    QFETCH(QVariant, expected);
    const qint64 id = addLine(1, 2, QDate(2024, 3, 1), u"品"_s, cost, {}, [&](LedgerLine& l) {
        if (quantity)
            l.curQuantity = yen(quantity);
        if (regular)
            l.curRegularPrice = yen(regular);
    });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 7)); // default ratio 80
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, column));
    QTest::mouseClick(f->cmdCol[static_cast<std::size_t>(column)], Qt::LeftButton);
    const QString field = ledgerFieldName(column);
    QCOMPARE(lineRow(1, id, field).value(0), expected);
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmData::ratioAboveHundredIsWarnedNotStored() {
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 2000, {},
                              [](LedgerLine& l) { l.curRegularPrice = yen(1500); });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 10));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F12);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"計算値が100%を超えました\r\n\r\n計算値 133.3%"_s});
    QCOMPARE(lineRow(1, id, u"curRatio,blnChange"_s), (QVariantList{QVariant(), false}));
}

void tst_frmData::f12OnTheDateColumnGivesToday() {
    frmData* f = openLedger(2);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 1));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F12);
    QCOMPARE(lines(2, 1, u"date1,blnChange"_s), (QList<QVariantList>{{QDate(2024, 3, 5), true}}));
    QCOMPARE(lines(1, 1, u"date1"_s).size(), 0);
    // While a date is typed, F12 replaces the typed text.
    QWidget* editor = startTyping(f, 1, 1, u"2023"_s);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_F12);
    QCOMPARE(qobject_cast<QLineEdit*>(editor)->text(), u"24/03/05"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(lines(2, 1, u"date1"_s).size(), 2);
}

void tst_frmData::altKeyFillsTheClassDefault() {
    QVERIFY(gSetSystemStrField(14, u"定番"_s));
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 1000);
    const qint64 filled = addLine(1, 1, QDate(2024, 3, 2), u"品"_s, 1000, {},
                                  [](LedgerLine& l) { l.strClass2 = u"特売"_s; });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 5));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_K, Qt::AltModifier);
    QCOMPARE(lineRow(1, id, u"strClass2,blnChange"_s), (QVariantList{u"定番"_s, true}));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(1, 5));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_K, Qt::AltModifier);
    QCOMPARE(lineRow(1, filled, u"strClass2,blnChange"_s), (QVariantList{u"特売"_s, false}));
    // Class 1 has no default: nothing changes.
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 4));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_K, Qt::AltModifier);
    QCOMPARE(lineRow(1, id, u"strClass1"_s), (QVariantList{QVariant()}));
}

void tst_frmData::dropDownEditorArrowsBrowseEnterChooses() {
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable) VALUES "
                          "('雑貨',2,1),('文具',1,1),('食品',3,0)"_s));
    const qint64 id = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 1000);
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(0, 4));
    QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
    QComboBox* combo = f->cboEditGrid;
    QVERIFY(combo->isVisible());
    QVERIFY(combo->view()->isVisible());
    // An empty entry, then the enabled entries by their order.
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), u"文具"_s);
    QCOMPARE(combo->itemText(2), u"雑貨"_s);
    // The editor stands over the cell.
    const QRect cell = grid->visualRect(f->model()->index(0, 4));
    QCOMPARE(combo->pos(), grid->viewport()->mapTo(f->centralWidget(), cell.topLeft()));
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QCOMPARE(lineRow(1, id, u"strClass1,blnChange"_s), (QVariantList{QVariant(), false}));
    QTest::keyClick(combo->view(), Qt::Key_Up);
    QCOMPARE(lineRow(1, id, u"strClass1,blnChange"_s), (QVariantList{QVariant(), false}));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QCOMPARE(lineRow(1, id, u"strClass1,blnChange"_s), (QVariantList{u"文具"_s, true}));
    QVERIFY(!combo->isVisible());
    QCOMPARE(f->model()->data(f->model()->index(0, 4)).toString(), u"文具"_s);
    // The order column offers 1 to 40.
    grid->setCurrentIndex(f->model()->index(0, 2));
    QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(combo->count(), 40);
    QCOMPARE(combo->itemText(39), u"40"_s);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QCOMPARE(lineRow(1, id, u"lngSort"_s), (QVariantList{qint64(2)}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

void tst_frmData::dropDownClickChoosesAfterBrowsing() {
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1_ITEM (strItem, lngSort) VALUES ('鉛筆',1),('消しゴム',2)"_s));
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(0, 3));
    // The drop-down button of the current cell.
    const QRect button = LedgerDelegate::buttonRect(grid->visualRect(grid->currentIndex()));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, button.center());
    QComboBox* combo = f->cboEditGrid;
    QVERIFY(combo->view()->isVisible());
    QCOMPARE(combo->count(), 3);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Down);
    const QRect item = combo->view()->visualRect(combo->model()->index(2, 0));
    QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, item.center());
    QCOMPARE(lines(1, 1, u"strItem,blnChange"_s), (QList<QVariantList>{{u"消しゴム"_s, true}}));
    // An empty item list is reported and nothing opens.
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA1_ITEM"_s));
    grid->setCurrentIndex(f->model()->index(1, 3));
    QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"アイテムが登録されていません。\r\n先に登録してください。"_s});
    QVERIFY(!combo->isVisible());
}

void tst_frmData::switchingSupplierWithAnInvalidLineIsBlocked() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    // A line with a date and an item but neither amount nor payment.
    typeCell(f, 0, 1, u"2024/03/01"_s);
    typeCell(f, 0, 3, u"ノート"_s);
    f->cboSupplierName->showPopup();
    QVERIFY(!f->cboSupplierName->view()->isVisible());
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"仕入金額 か 支払金額 の入力は必須です"_s});
    QCOMPARE(f->txtMasterID->text(), u"1"_s);
    QCOMPARE(f->cboSupplierName->count(), 1);
    QCOMPARE(f->cboSupplierName->currentText(), u" 12：青葉文具"_s);
    QCOMPARE(f->DBGrid_Main->currentIndex(), f->model()->index(0, 11));
    QCOMPARE(lines(1, 1, u"blnChange"_s), (QList<QVariantList>{{true}}));
    // An amount without ratio, regular price or default ratio is still refused.
    typeCell(f, 0, 11, u"1000"_s);
    // The arrow keys do not change the supplier behind the check's back: they open the list.
    f->cboSupplierName->setFocus();
    QTest::keyClick(f->cboSupplierName, Qt::Key_Down);
    QVERIFY(!f->cboSupplierName->view()->isVisible());
    QCOMPARE(f->txtMasterID->text(), u"1"_s);
    QCOMPARE(m_svc.prompt->texts().at(1),
             u"仕入規定掛率 が設定されていない場合   \r\n\r\n仕入金額 への入力は\r\n\r\n掛率 か "
             "定価 の入力は必須です"_s);
    QCOMPARE(f->DBGrid_Main->currentIndex().column(), 10);
    typeCell(f, 0, 10, u"60"_s);
    QVERIFY(pickSupplier(f, 7));
    QCOMPARE(f->txtMasterID->text(), u"2"_s);
    QCOMPARE(lines(1, 1, u"blnChange,curRatio"_s), (QList<QVariantList>{{false, cur(60)}}));
    QCOMPARE(m_svc.prompt->texts().size(), 2);
}

void tst_frmData::closingIsBlockedThenAllowed() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    typeCell(f, 0, 1, u"2024/03/01"_s);
    typeCell(f, 0, 11, u"500"_s);
    typeCell(f, 0, 12, u"500"_s); // both an amount and a payment
    QVERIFY(!f->close());
    QVERIFY(frmData::existing());
    QVERIFY(f->isVisible());
    QCOMPARE(m_svc.prompt->texts().last(),
             u"仕入金額 と 支払金額 の両方に値を入れるのは不正です"_s);
    QVERIFY(!f->picNowProcessing->isVisible());
    QVERIFY(f->isEnabled());
    QVERIFY(!frmMenu::existing());
    // No date: message 19.
    QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA1 SET curPayment=NULL, date1=NULL"_s));
    QVERIFY(f->mRefreshView());
    QVERIFY(!f->close());
    QCOMPARE(m_svc.prompt->texts().last(), u"日付は必ず入力してください。"_s);
    QCOMPARE(f->DBGrid_Main->currentIndex().column(), 1);
    typeCell(f, 0, 1, u"2024/03/02"_s);
    typeCell(f, 0, 3, u"消費税"_s); // a tax line needs no ratio
    QVERIFY(f->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmData::existing());
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QCOMPARE(lines(1, 1, u"date1,strItem,curCost,blnChange"_s),
             (QList<QVariantList>{{QDate(2024, 3, 2), u"消費税"_s, cur(500), false}}));
}

void tst_frmData::deleteLineAskedYesAndNo() {
    const qint64 keep = addLine(1, 1, QDate(2024, 3, 1), u"残す"_s, 100);
    const qint64 gone = addLine(1, 1, QDate(2024, 3, 2), u"消す"_s, 200);
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    grid->selectRow(1);
    m_svc.prompt->answers.enqueue(MsgResult::No);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"削除してもよろしいですか？"_s});
    QCOMPARE(m_svc.prompt->shown.at(0).style, 292);
    QCOMPARE(lines(1, 1, u"lngID"_s).size(), 2);
    QCOMPARE(f->model()->lineCount(), 2);
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(lines(1, 1, u"lngID"_s), (QList<QVariantList>{{keep}}));
    QVERIFY(lineRow(1, gone, u"lngID"_s).isEmpty());
    QCOMPARE(f->model()->lineCount(), 1);
    QCOMPARE(f->model()->rowCount(), 2);
    // Ctrl+Delete asks for the current line; the new line is never deleted.
    grid->setCurrentIndex(f->model()->index(1, 3));
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    grid->setCurrentIndex(f->model()->index(0, 3));
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(lines(1, 1, u"lngID"_s).size(), 0);
}

void tst_frmData::viewOrders() {
    addLine(1, 1, QDate(2024, 3, 2), u"c"_s, 100);
    addLine(1, 1, QDate(2024, 3, 1), u"b"_s, 100, {}, [](LedgerLine& l) { l.lngSort = 2; });
    addLine(1, 1, QDate(2024, 3, 1), u"a"_s, 100, {}, [](LedgerLine& l) { l.lngSort = 1; });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    auto items = [f] {
        QStringList out;
        for (int r = 0; r < f->model()->lineCount(); ++r)
            out << f->model()->data(f->model()->index(r, 3)).toString();
        return out;
    };
    QCOMPARE(items(), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    f->cboSortSetting->setCurrentIndex(f->cboSortSetting->findText(u"入力順"_s));
    emit f->cboSortSetting->activated(f->cboSortSetting->currentIndex());
    QCOMPARE(items(), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 2);
    // The order stays when another supplier is picked and back.
    QVERIFY(pickSupplier(f, 7));
    QVERIFY(pickSupplier(f, 12));
    QCOMPARE(items(), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
}

void tst_frmData::calcSumShowsTheFigures() {
    // Opening balance 10,000; before the term 5,000 bought and 2,000 paid.
    addLine(1, 1, QDate(2024, 2, 20), u"前期"_s, 5000, {},
            [](LedgerLine& l) { l.curRatio = yen(50); });
    addLine(1, 1, QDate(2024, 2, 10), u"前期支払"_s, {}, 2000);
    addLine(1, 1, QDate(2024, 2, 21), u"初日"_s, 4000, {},
            [](LedgerLine& l) { l.curRegularPrice = yen(6400); });
    addLine(1, 1, QDate(2024, 3, 20), u"末日"_s, 6000, {}, [](LedgerLine& l) {
        l.curRegularPrice = yen(4800);
        l.curQuantity = yen(2);
    });
    addLine(1, 1, QDate(2024, 3, 10), u"消費税"_s, 800);
    addLine(1, 1, QDate(2024, 3, 15), u"振込"_s, {}, 3000);
    addLine(1, 1, QDate(2024, 3, 21), u"翌期"_s, 999, {},
            [](LedgerLine& l) { l.curRatio = yen(50); });
    addLine(2, 1, QDate(2024, 3, 1), u"売上"_s, 777);
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QVERIFY(f->lblCarry->isVisible());
    QCOMPARE(f->lblCarry->text(), u"13,000"_s);
    QCOMPARE(f->lblTotalCost->text(), u"10,000"_s);
    QCOMPARE(f->lblTotalTax->text(), u"800"_s);
    QCOMPARE(f->lblTotalPayment->text(), u"3,000"_s);
    QCOMPARE(f->lblBalance->text(), u"20,800"_s);
    QCOMPARE(f->lblTotalRegularPrice->text(), u"16,000"_s);
    QCOMPARE(f->lblTotalRatio->text(), u"62.5"_s);
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/21"_s);
    QVERIFY(!f->picNowProcessing->isVisible());
    QVERIFY(f->isEnabled());
    QVERIFY(m_svc.process->pauses.contains(500));
    // Both boxes empty: every line, the carry is the opening balance alone.
    f->cboCalcStartDate->setEditText(u"  "_s);
    f->cboCalcEndDate->setEditText(QString());
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(f->lblCarry->text(), u"10,000"_s);
    QCOMPARE(f->lblTotalCost->text(), u"15,999"_s);
    QCOMPARE(f->lblTotalPayment->text(), u"5,000"_s);
    QCOMPARE(f->lblBalance->text(), u"21,799"_s);
    QVERIFY(f->cboCalcStartDate->currentText().isEmpty());
    QVERIFY(f->cboCalcEndDate->currentText().isEmpty());
}

void tst_frmData::calcSumBeyondTheRangeIsAMessage() {
    // Two lines at the largest amount the currency holds (as another program could store
    // them): their SUM leaves the 64-bit range.
    for (int day : {1, 2})
        QVERIFY(gdbData().executeSQL(
            u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost) VALUES (1,?,'大',?)"_s,
            {QDate(2024, 3, day), Q_INT64_C(9223372036854770000)}));
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"合計が扱える範囲を超えています。\r\n\r\n"
                         "桁の多すぎる金額・数量・単価が入力されていないか確認し、\r\n"
                         "正しい値に直してください。"_s});
    QCOMPARE(m_svc.prompt->shown.at(0).style & 0x70, 48); // the exclamation icon
    QVERIFY(m_svc.process->terminations.isEmpty());
    QVERIFY(f->isVisible());
    QVERIFY(f->isEnabled());
    QVERIFY(!f->picNowProcessing->isVisible());
    QVERIFY(!f->lblBalance->isVisible());
    QVERIFY(f->DBGrid_Main->isVisible());
}

void tst_frmData::calcSumNeedsASupplierAndDates() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"仕入先が選択されていません。"_s});
    QVERIFY(pickSupplier(f, 12));
    f->cboCalcStartDate->setEditText(u"2024/2/30"_s);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().last(),
             u"日付が正しくありません。\r\n正しい日付を入力してください。"_s);
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/2/30"_s);
    QVERIFY(!f->lblTotalCost->isVisible());
    QVERIFY(!f->picNowProcessing->isVisible());
    f->cboCalcStartDate->setEditText(u"2024/2/1"_s);
    f->cboCalcEndDate->setEditText(u"いつか"_s);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 3);
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/01"_s);
    QCOMPARE(f->cboCalcEndDate->currentText(), u"いつか"_s);
    QVERIFY(!f->lblTotalCost->isVisible());
}

void tst_frmData::calcSumWithoutUsableRatioLeavesAverageEmpty() {
    addLine(1, 1, QDate(2024, 3, 1), u"掛率なし"_s, 1000);
    addLine(1, 1, QDate(2024, 3, 2), u"定価あり"_s, 1000, {},
            [](LedgerLine& l) { l.curRegularPrice = yen(2000); });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(f->lblTotalCost->text(), u"2,000"_s);
    QCOMPARE(f->lblTotalRegularPrice->text(), QString());
    QCOMPARE(f->lblTotalRatio->text(), QString());
    // Supplier 7 has a default ratio of 80: every line can be valued, a zero total gives no
    // average and no failure.
    addLine(1, 2, QDate(2024, 3, 1), u"返品"_s, -1000);
    addLine(1, 2, QDate(2024, 3, 2), u"仕入"_s, 1000);
    QVERIFY(pickSupplier(f, 7));
    QVERIFY(!f->lblTotalCost->isVisible());
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(f->lblTotalCost->text(), u"0"_s);
    QCOMPARE(f->lblTotalRegularPrice->text(), u"0"_s);
    QCOMPARE(f->lblTotalRatio->text(), QString());
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmData::taxEstimateUsesTheRateSetting_data() {
    QTest::addColumn<QVariant>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("default 5 %") << QVariant()
                                 << u"仕入金額 10,019 円 から予想される    \r\n\r\n消費税額 "
                                    "(税率 5%、切り捨て) は \r\n\r\n500 円です"_s;
    QTest::newRow("setting 8 %") << cur(8)
                                 << u"仕入金額 10,019 円 から予想される    \r\n\r\n消費税額 "
                                    "(税率 8%、切り捨て) は \r\n\r\n801 円です"_s;
}

void tst_frmData::taxEstimateUsesTheRateSetting() {
    QFETCH(QVariant, rate);
    QFETCH(QString, text);
    if (!rate.isNull())
        QVERIFY(gSetSystemCurField(32, rate.value<Currency>()));
    addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 10019, {},
            [](LedgerLine& l) { l.curRatio = yen(70); });
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    // Nothing while no figure is shown.
    QTest::mouseClick(f->cmdEstimatedTax, Qt::LeftButton);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QTest::mouseClick(f->cmdEstimatedTax, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{text});
    QCOMPARE(m_svc.prompt->shown.at(0).title, u"消費税 予想額"_s);
    QCOMPARE(m_svc.prompt->shown.at(0).style, 64);
}

void tst_frmData::resetChecks_data() {
    QTest::addColumn<QString>("scope");
    QTest::addColumn<bool>("otherSupplierToo");
    QTest::newRow("current supplier only") << u"現在の"_s << false;
    QTest::newRow("every supplier") << u"全ての"_s << true;
}

void tst_frmData::resetChecks() {
    QFETCH(QString, scope);
    QFETCH(bool, otherSupplierToo);
    const auto check = [](qint64 v) { return [v](LedgerLine& l) { l.curCheck = yen(v); }; };
    const qint64 mine = addLine(1, 1, QDate(2024, 3, 1), u"品"_s, 100, {}, check(3));
    const qint64 mineNull = addLine(1, 1, QDate(2024, 3, 2), u"品"_s, 100);
    const qint64 other = addLine(1, 2, QDate(2024, 3, 1), u"品"_s, 100, {}, check(5));
    const qint64 sales = addLine(2, 1, QDate(2024, 3, 1), u"品"_s, 100, {}, check(7));
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    QCOMPARE(f->model()->data(f->model()->index(0, 13)).toString(), u"3"_s);
    bool opened = false;
    whenOpen<frmDataCheck0>([&](frmDataCheck0* w) {
        opened = true;
        QCOMPARE(w->lblSetting->text(), u"仕入先のチェックを０にする"_s);
        QCOMPARE(w->cboSetting->currentText(), u"現在の"_s);
        w->cboSetting->setCurrentIndex(w->cboSetting->findText(scope));
        QTest::mouseClick(w->cmdCheckTo0, Qt::LeftButton);
        w->close();
    });
    QTest::mouseClick(f->cmdCol[13], Qt::LeftButton);
    QVERIFY(opened);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"処理が完了しました"_s});
    QCOMPARE(lineRow(1, mine, u"curCheck"_s), (QVariantList{cur(0)}));
    QCOMPARE(lineRow(1, mineNull, u"curCheck"_s), (QVariantList{cur(0)}));
    QCOMPARE(lineRow(1, other, u"curCheck"_s), (QVariantList{cur(otherSupplierToo ? 0 : 5)}));
    QCOMPARE(lineRow(2, sales, u"curCheck"_s), (QVariantList{cur(7)}));
    // The grid shows the reset at once.
    QCOMPARE(f->model()->line(0).curCheck, std::optional<Currency>(yen(0)));
    QCOMPARE(f->model()->data(f->model()->index(0, 13)).toString(), QString());
}

void tst_frmData::resetChecksOfCurrentWithoutSupplier() {
    const qint64 id = addLine(2, 1, QDate(2024, 3, 1), u"品"_s, 100, {},
                              [](LedgerLine& l) { l.curCheck = yen(2); });
    frmData* f = openLedger(2);
    QVERIFY(f);
    whenOpen<frmDataCheck0>([](frmDataCheck0* w) {
        QCOMPARE(w->lblSetting->text(), u"売上先のチェックを０にする"_s);
        QTest::mouseClick(w->cmdCheckTo0, Qt::LeftButton);
        w->close();
    });
    QTest::mouseClick(f->cmdCol[13], Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"対象が選択されていません"_s});
    QCOMPARE(lineRow(2, id, u"curCheck"_s), (QVariantList{cur(2)}));
}

void tst_frmData::calendarBackLeavesTheBoxUnchanged() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    f->cboCalcEndDate->setEditText(u"2024/3/9"_s);
    QString title;
    QDate shown;
    whenOpen<frmCalendar>([&](frmCalendar* w) {
        title = w->windowTitle();
        shown = w->Calendar1->selectedDate();
        w->Calendar1->setSelectedDate(QDate(2024, 1, 15));
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);
    });
    QTest::mouseClick(f->cmdCulcEndCalendar, Qt::LeftButton);
    QCOMPARE(title, u"計算対象終了日     tovaki"_s);
    QCOMPARE(shown, QDate(2024, 3, 9));
    QCOMPARE(f->cboCalcEndDate->currentText(), u"2024/03/09"_s);
    QVERIFY(!gblnCalendarDecided);
    // The close box counts as going back as well.
    whenOpen<frmCalendar>([](frmCalendar* w) {
        w->Calendar1->setSelectedDate(QDate(2024, 1, 15));
        w->close();
    });
    QTest::mouseClick(f->cmdCulcEndCalendar, Qt::LeftButton);
    QCOMPARE(f->cboCalcEndDate->currentText(), u"2024/03/09"_s);
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/21"_s);
}

void tst_frmData::calendarDecisionFillsTheBox() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    f->cboCalcStartDate->setEditText(u"いつか"_s);
    QString title;
    QDate shown;
    whenOpen<frmCalendar>([&](frmCalendar* w) {
        title = w->windowTitle();
        shown = w->Calendar1->selectedDate();
        w->Calendar1->setSelectedDate(QDate(2024, 1, 15));
        QTest::mouseClick(w->cmdDecision, Qt::LeftButton);
    });
    QTest::mouseClick(f->cmdCulcStartCalendar, Qt::LeftButton);
    QCOMPARE(title, u"計算対象開始日     tovaki"_s);
    QCOMPARE(shown, QDate(2024, 3, 5)); // no date in the box: today
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/01/15"_s);
}

void tst_frmData::supplierMasterOpensModallyFromTheLedger() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 7));
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QVERIFY(f->lblTotalCost->isVisible());
    bool flag = false;
    whenOpen<frmMaster>([&](frmMaster* w) {
        flag = gblnMasterFromData;
        // The supplier's default ratio changes meanwhile.
        QVERIFY(gdbData().executeSQL(
            u"UPDATE T_MASTER SET curRegularSupplyRatio=? WHERE lngMasterID=2"_s, {cur(65)}));
        w->close();
    });
    QTest::mouseClick(f->cmdDspSupplier, Qt::LeftButton);
    QVERIFY(flag);
    QVERIFY(!gblnMasterFromData);
    QVERIFY(!frmMenu::existing());
    QCOMPARE(f->txtRegularRatio->text(), u"65.0"_s);
    QVERIFY(!f->lblTotalCost->isVisible());
}

void tst_frmData::calculatorThatCannotStartIsReported() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    m_svc.shell->result = false;
    QTest::mouseClick(f->cmdCulCExe, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"電卓プログラムを完了できませんでした。"_s});
}

void tst_frmData::menuOpensBothLedgers() {
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QTest::mouseClick(menu->Command1[2], Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(frmData::existing());
    QCOMPARE(frmData::existing()->kind(), 2);
    QCOMPARE(frmData::existing()->windowTitle(), u"売上帳     tovaki"_s);
    QVERIFY(!frmMenu::existing());
    QVERIFY(frmData::existing()->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmData::existing());
    QVERIFY(frmMenu::existing());
    QTest::mouseClick(frmMenu::existing()->Command1[1], Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(frmData::existing());
    QCOMPARE(frmData::existing()->kind(), 1);
    QCOMPARE(frmData::existing()->windowTitle(), u"仕入帳     tovaki"_s);
}

void tst_frmData::classButtonsOpenTheirListWindow_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::newRow("item list") << 3 << u"仕入帳　品名リスト     tovaki"_s;
    QTest::newRow("class 1") << 4 << u"区分1     tovaki"_s;
    QTest::newRow("class 3") << 6 << u"区分3     tovaki"_s;
}

void tst_frmData::classButtonsOpenTheirListWindow() {
    QFETCH(int, column);
    QFETCH(QString, title);
    frmData* f = openLedger(1);
    QVERIFY(f);
    QString shown;
    auto closeIt = [&shown](QWidget* w) {
        shown = w->windowTitle();
        w->close();
    };
    if (column == 3)
        whenOpen<frmDataItem>(closeIt);
    else
        whenOpen<frmClass>(closeIt);
    QTest::mouseClick(f->cmdCol[static_cast<std::size_t>(column)], Qt::LeftButton);
    QCOMPARE(shown, title);
}

void tst_frmData::captionEditorRenamesHeaderAndMessages() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QVERIFY(pickSupplier(f, 12));
    whenOpen<frmDataCaption>([](frmDataCaption* w) {
        w->txtCost->setText(u"買掛金"_s);
        w->txtPayment->setText(u"支払"_s);
        w->close();
    });
    QTest::mouseClick(f->cmdHead, Qt::LeftButton);
    QCOMPARE(f->cmdCol[11]->text(), u"買掛金"_s);
    QCOMPARE(f->lblTotalCost2->text(), u"買掛金"_s);
    QCOMPARE(f->lblTotalPayment2->text(), u"支払"_s);
    // The line check speaks of the new names.
    typeCell(f, 0, 1, u"2024/03/01"_s);
    f->cboSupplierName->showPopup();
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"買掛金 か 支払 の入力は必須です"_s});
}

void tst_frmData::gridOffsetWindowNeedsTheGrid() {
    frmData* f = openLedger(1);
    QVERIFY(f);
    QTest::mouseClick(f->cmdMoveGrid, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"グリッドが表示されていないと、移動処理は出来ません"_s});
    QVERIFY(!frmDataMoveGrid::existing());
    QVERIFY(pickSupplier(f, 12));
    whenOpen<frmDataMoveGrid>([](frmDataMoveGrid* w) {
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(w->cmdMoveRight, Qt::LeftButton);
        w->close();
    });
    QTest::mouseClick(f->cmdMoveGrid, Qt::LeftButton);
    QCOMPARE(gGetDataGridOffset(), 30);
    QCOMPARE(f->DBGrid_Main->x(), twipsToPixelsX(90 + 30));
    QCOMPARE(f->cmdCol[1]->x(), twipsToPixelsX(375));
    // Activating the window again keeps the moved grid where it is.
    f->activateWindow();
    QCoreApplication::processEvents();
    QVERIFY(f->isVisible());
    QCOMPARE(f->DBGrid_Main->x(), twipsToPixelsX(90 + 30));
}

QTEST_MAIN(tst_frmData)
#include "tst_frmData.moc"
