#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/LedgerGrid.h"
#include "ledger/LedgerModel.h"
#include "ledger/frmClass.h"
#include "ledger/frmData.h"
#include "ledger/frmDataCaption.h"
#include "ledger/frmDataCheck0.h"
#include "ledger/frmDataItem.h"
#include "ledger/frmHistory.h"
#include "master/SupplierRecords.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/Settings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QVariant cur(qint64 v) {
    return QVariant::fromValue(Currency::fromInt(v));
}

QVariantList lineRow(int kind, qint64 lngID, const QString& columns) {
    return dataRow(u"SELECT %1 FROM T_DATA%2 WHERE lngID=?"_s.arg(columns).arg(kind), {lngID});
}

QList<QVariantList> lines(int kind, qint32 masterID, const QString& columns) {
    ResultSet rs(gdbData());
    QList<QVariantList> out;
    if (rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_DATA"_s + QString::number(kind) +
                             u" WHERE lngMasterID=? ORDER BY lngID"_s,
                         {masterID}))
        for (const QVariantList& r : rs.rows())
            out << r;
    return out;
}

} // namespace

class tst_frmData : public DataFileTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void otherProgramsChangeRefreshesTheTotals_data();
    void otherProgramsChangeRefreshesTheTotals();

    void typeALineWithTheKeyboard();
    void refusedCellKeepsTheUserInIt_data();
    void refusedCellKeepsTheUserInIt();
    void f12AndHeaderButtonsDeriveEmptyCells();
    void dropDownEditorArrowsBrowseEnterChooses();
    void classWindowOrderAndReducedRateMark();
    void itemWindowStoresAndRefusesAnOrderOutsideTheList();
    void switchingSupplierWithAnInvalidLineIsBlocked();
    void closingIsBlockedThenAllowed();
    void calcSumShowsTheFigures();
    void calcSumRefusals();
    void calendarPicksOrGoesBack_data();
    void calendarPicksOrGoesBack();
    void resetChecks();
    void ledgerWordsAndTheCaptionEditor();
    void undoAndRedoGoStepByStep_data();
    void undoAndRedoGoStepByStep();
    void historyWindowListsThePeriodAndExportsCsv_data();
    void historyWindowListsThePeriodAndExportsCsv();
    void findGoesToTheNextMatchingLine();
    void editActionsOnASelectedCell_data();
    void editActionsOnASelectedCell();
    void columnsFollowTheUserAndTheWindow();
    void leavingALineTellsItsRuleOnce_data();
    void leavingALineTellsItsRuleOnce();
    void f12OnAnEmptyAmountSaysWhatIsMissing_data();
    void f12OnAnEmptyAmountSaysWhatIsMissing();
    void f12FillsAnEmptyClassCell();

private:
    frmData* openLedger(int kind);
    bool pickSupplier(frmData* f, int supplier);
    QWidget* startTyping(frmData* f, int row, int column, const QString& text);
    void typeCell(frmData* f, int row, int column, const QString& text);

    QTemporaryDir m_settingsDir;
};

void tst_frmData::initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_frmData::init() {
    DataFileTest::init();
    QSettings(u"Quillo-soft"_s, u"tovaki"_s).clear();
    gblnMasterFromData = false;
    QVERIFY(addSupplier(SupplierRow{.masterID = 1, .supplier = 12, .supplyCarry = 10000}));
    QVERIFY(addSupplier(SupplierRow{.masterID = 2, .supplier = 7, .supplyRatio = 80}));
}

void tst_frmData::cleanup() {
    // Released without closing, so that no check or menu runs.
    for (QWidget* w :
         std::initializer_list<QWidget*>{frmDataCheck0::existing(), frmHistory::existing(),
                                         frmData::existing(), frmMenu::existing()})
        delete w;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DataFileTest::cleanup();
}

frmData* tst_frmData::openLedger(int kind) {
    glngDataKind = kind;
    frmData* f = frmData::instance();
    f->show();
    f->activateWindow();
    if (!QTest::qWaitForWindowExposed(f))
        qWarning("ledger window not shown");
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
    if (editor)
        typeText(editor, text.mid(1));
    return editor;
}

void tst_frmData::typeCell(frmData* f, int row, int column, const QString& text) {
    QWidget* editor = startTyping(f, row, column, text);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
}

void tst_frmData::typeALineWithTheKeyboard() {
    QVERIFY(gSetClassDefault(2, u"定番"_s));
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 7)); // default ratio 80
    LedgerGrid* grid = f->DBGrid_Main;
    // F12 on the date column gives today, and stores the line.
    grid->setCurrentIndex(f->model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(f->model()->lineCount(), 1);
    QTest::keyClick(grid, Qt::Key_Return); // Enter on a cell not being edited moves on
    QCOMPARE(grid->currentIndex().column(), 2);
    typeCell(f, 0, 2, u"3"_s);
    typeCell(f, 0, 3, u"ボールペン"_s);
    QCOMPARE(grid->currentIndex(), f->model()->index(0, 4)); // Enter moved on
    // Alt+K fills the class default into the empty class cell.
    grid->setCurrentIndex(f->model()->index(0, 5));
    QTest::keyClick(grid, Qt::Key_K, Qt::AltModifier);
    typeCell(f, 0, 7, u"10"_s);
    typeCell(f, 0, 8, u"120"_s);
    // F12 on the amount column derives quantity × unit price.
    grid->setCurrentIndex(f->model()->index(0, 11));
    QTest::keyClick(grid, Qt::Key_F12);
    typeCell(f, 0, 14, u"見本"_s);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QCOMPARE(lines(1, 2,
                   u"date1,lngSort,strItem,strClass2,curQuantity,curUnitPrice,curCost,curPayment,"
                   "strNote,blnChange"_s),
             (QList<QVariantList>{{QDate(2024, 3, 5), qint64(3), u"ボールペン"_s, u"定番"_s,
                                   cur(10), cur(120), cur(1200), QVariant(), u"見本"_s, true}}));
    // A second line goes below it.
    typeCell(f, 1, 1, u"3/4"_s);
    typeCell(f, 1, 12, u"1,200"_s);
    QCOMPARE(lines(1, 2, u"date1,curPayment"_s).at(1),
             (QVariantList{QDate(2024, 3, 4), cur(1200)}));
    QCOMPARE(f->model()->rowCount(), 3);
}

void tst_frmData::refusedCellKeepsTheUserInIt_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("ratio 0") << 10 << u"0"_s << u"０は入力しないでください"_s;
    QTest::newRow("order outside 1-40") << 2 << u"41"_s << u"リストの中から選択してください。"_s;
}

void tst_frmData::refusedCellKeepsTheUserInIt() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const qint64 id =
        addLine(LineRow{.date = QDate(2024, 3, 1), .item = u"品"_s, .ratio = 60, .cost = 1000});
    const QVariantList before = lineRow(1, id, u"*"_s);
    frmData* f = openLedger(1);
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
    // Escape drops the text.
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!f->DBGrid_Main->activeEditor());
}

// F12 and the header buttons derive the current cell when it is empty, with the supplier's
// default ratio; a ratio above 100 % is told and not stored.
void tst_frmData::f12AndHeaderButtonsDeriveEmptyCells() {
    const QDate d(2024, 3, 1);
    const qint64 id =
        addLine(LineRow{.masterID = 2, .date = d, .quantity = 3, .regularPrice = 1000});
    const qint64 over =
        addLine(LineRow{.masterID = 2, .date = d, .regularPrice = 1500, .cost = 2000});
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 7)); // default ratio 80
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(0, 11));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"curCost,curRatio,blnChange"_s),
             (QVariantList{cur(2400), cur(80), true}));
    QCOMPARE(f->model()->data(f->model()->index(0, 11)).toString(), u"2,400"_s);
    // A filled cell is not derived again.
    QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA1 SET curRatio=? WHERE lngID=?"_s, {cur(50), id}));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"curCost"_s), (QVariantList{cur(2400)}));
    // The unit price from the same line, by its header button: 800.
    grid->setCurrentIndex(f->model()->index(0, 8));
    QTest::mouseClick(f->cmdCol[8], Qt::LeftButton);
    QCOMPARE(lineRow(1, id, u"curUnitPrice"_s), (QVariantList{cur(800)}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    grid->setCurrentIndex(f->model()->index(1, 10));
    QTest::keyClick(grid, Qt::Key_F12);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"計算値が100%を超えました\r\n\r\n計算値 133.3%"_s});
    QCOMPARE(lineRow(1, over, u"curRatio,blnChange"_s), (QVariantList{QVariant(), false}));
}

void tst_frmData::dropDownEditorArrowsBrowseEnterChooses() {
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable) VALUES "
                             "('雑貨',2,1),('文具',1,1),('食品',3,0)"_s));
    const qint64 id = addLine(LineRow{.date = QDate(2024, 3, 1), .item = u"品"_s, .cost = 1000});
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setCurrentIndex(f->model()->index(0, 4));
    QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
    QComboBox* combo = f->cboEditGrid;
    QVERIFY(combo->view()->isVisible());
    QCOMPARE(combo->count(), 3);
    QTest::keyClick(combo->view(), Qt::Key_Down); // the arrow keys browse without choosing
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Up);
    QCOMPARE(lineRow(1, id, u"strClass1,blnChange"_s), (QVariantList{QVariant(), false}));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QCOMPARE(lineRow(1, id, u"strClass1,blnChange"_s), (QVariantList{u"文具"_s, true}));
    QVERIFY(!combo->isVisible());
    // An empty list is told and nothing opens.
    grid->setCurrentIndex(f->model()->index(0, 3));
    QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"アイテムが登録されていません。\r\n先に登録してください。"_s});
    QVERIFY(!combo->isVisible());
}

// The class window, opened from the header: the arrow keys browse the closed order list without
// choosing, Enter chooses; "軽減税率 (8%)" is offered for the tax class (setting 50, class 1 by
// default) only, and "Yes" stores the mark.
void tst_frmData::classWindowOrderAndReducedRateMark() {
    ClassEntry food, goods;
    QVERIFY(gAddClassEntry(gdbData(), 1, u"食品"_s, food));
    QVERIFY(gAddClassEntry(gdbData(), 2, u"雑貨"_s, goods));
    QStringList seen;
    const auto edit = [&seen](frmClass* w) {
        const auto openCell = [w](int column) {
            const QRect cell = w->DBGrid01->visualRect(w->DBGrid01->model()->index(0, column));
            QTest::mouseClick(w->DBGrid01->viewport(), Qt::LeftButton, {},
                              cell.topRight() + QPoint(-4, cell.height() / 2));
            w->cboEditGrid->hidePopup();
            w->cboEditGrid->setFocus();
        };
        seen << w->DBGrid01->model()->headerData(4, Qt::Horizontal).toString() +
                    (w->DBGrid01->isColumnHidden(4) ? u" hidden"_s : u" shown"_s);
        if (!w->DBGrid01->isColumnHidden(4)) {
            openCell(2);
            QTest::keyClick(w->cboEditGrid, Qt::Key_Down);
            QTest::keyClick(w->cboEditGrid, Qt::Key_Down);
            QList<ClassEntry> stored;
            gGetClassEntries(gdbData(), 1, stored);
            seen << w->cboEditGrid->currentText() + u"/"_s + QString::number(stored.value(0).sort);
            QTest::keyClick(w->cboEditGrid, Qt::Key_Return);
            openCell(4);
            w->cboEditGrid->setCurrentIndex(w->cboEditGrid->findText(u"Yes"_s));
            QTest::keyClick(w->cboEditGrid, Qt::Key_Return);
        }
        w->close();
    };
    frmData* f = openLedger(1);
    whenOpen<frmClass>(edit);
    QTest::mouseClick(f->cmdCol[4], Qt::LeftButton);
    whenOpen<frmClass>(edit);
    QTest::mouseClick(f->cmdCol[5], Qt::LeftButton);
    // Browsed to 3 while 1 was still stored.
    QCOMPARE(seen, (QStringList{u"軽減税率 (8%) shown"_s, u"3/1"_s, u"軽減税率 (8%) hidden"_s}));
    QList<ClassEntry> entries;
    QVERIFY(gGetClassEntries(gdbData(), 1, entries));
    QCOMPARE(entries.value(0).sort, 3);
    QVERIFY(entries.value(0).reduced);
}

// The item window stores a typed entry at once; an order outside 1-99 is told, keeps the user in
// the cell and the window open, and stores nothing.
void tst_frmData::itemWindowStoresAndRefusesAnOrderOutsideTheList() {
    QStringList seen;
    whenOpen<frmDataItem>([&seen](frmDataItem* w) {
        QTableView* grid = w->DBGrid01;
        QApplication::setActiveWindow(w);
        grid->setFocus();
        const auto type = [grid](int column, const QString& text) {
            grid->setCurrentIndex(grid->model()->index(0, column));
            QTest::sendKeyEvent(QTest::Click, grid, Qt::Key_A, text.left(1), Qt::NoModifier);
            QWidget* editor = QApplication::focusWidget();
            typeText(editor, text.mid(1));
            QTest::keyClick(editor, Qt::Key_Return);
        };
        type(0, u"りんご"_s);
        type(1, u"100"_s);
        QCoreApplication::processEvents();
        seen << (w->close() ? u"closed"_s : u"kept open"_s)
             << QString::number(
                    dataRowCount(u"SELECT * FROM T_DATA1_ITEM WHERE lngSort IS NULL"_s));
        QCoreApplication::processEvents(); // told again, back in the cell
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        type(1, u"5"_s);
        seen << (w->close() ? u"closed"_s : u"kept open"_s);
    });
    frmData* f = openLedger(1);
    QTest::mouseClick(f->cmdCol[LedgerCol::Item], Qt::LeftButton);
    QCOMPARE(seen, (QStringList{u"kept open"_s, u"1"_s, u"closed"_s}));
    QCOMPARE(m_svc.prompt->texts().value(0), u"リストの中から選択してください。"_s);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1_ITEM WHERE strItem = 'りんご' AND lngSort = 5"_s),
             1);
}

void tst_frmData::switchingSupplierWithAnInvalidLineIsBlocked() {
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    // A line with a date and an item but neither amount nor payment.
    typeCell(f, 0, 1, u"2024/03/01"_s);
    typeCell(f, 0, 3, u"ノート"_s);
    f->cboSupplierName->showPopup();
    QVERIFY(!f->cboSupplierName->view()->isVisible());
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"仕入金額 か 支払金額 の入力は必須です"_s});
    QCOMPARE(f->DBGrid_Main->currentIndex(), f->model()->index(0, 11));
    // An amount without ratio, regular price or default ratio is still refused.
    typeCell(f, 0, 11, u"1000"_s);
    // The arrow keys do not change the supplier behind the check's back.
    f->cboSupplierName->setFocus();
    QTest::keyClick(f->cboSupplierName, Qt::Key_Down);
    QCOMPARE(f->txtMasterID->text(), u"1"_s);
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    QCOMPARE(f->DBGrid_Main->currentIndex().column(), 10);
    typeCell(f, 0, 10, u"60"_s);
    QVERIFY(pickSupplier(f, 7));
    QCOMPARE(lines(1, 1, u"blnChange,curRatio"_s), (QList<QVariantList>{{false, cur(60)}}));
    QCOMPARE(m_svc.prompt->texts().size(), 2);
}

void tst_frmData::closingIsBlockedThenAllowed() {
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    typeCell(f, 0, 1, u"2024/03/01"_s);
    typeCell(f, 0, 11, u"500"_s);
    typeCell(f, 0, 12, u"500"_s); // both an amount and a payment
    QVERIFY(!f->close());
    QVERIFY(f->isVisible());
    QCOMPARE(m_svc.prompt->texts().last(),
             u"仕入金額 と 支払金額 の両方に値を入れるのは不正です"_s);
    QVERIFY(f->isEnabled());
    QVERIFY(!frmMenu::existing());
    QCOMPARE(f->DBGrid_Main->currentIndex().column(), 11);
    QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA1 SET curPayment=NULL"_s));
    QVERIFY(f->mRefreshView());
    typeCell(f, 0, 3, u"消費税"_s); // a tax line needs no ratio
    QVERIFY(f->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmData::existing());
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QCOMPARE(lines(1, 1, u"date1,strItem,curCost,curPayment,blnChange"_s),
             (QList<QVariantList>{{QDate(2024, 3, 1), u"消費税"_s, cur(500), QVariant(), false}}));
}

void tst_frmData::calcSumShowsTheFigures() {
    // Opening balance 10,000; before the term 5,000 bought and 2,000 paid.
    addLine(LineRow{.date = QDate(2024, 2, 20), .ratio = 50, .cost = 5000});
    addLine(LineRow{.date = QDate(2024, 2, 10), .payment = 2000});
    addLine(LineRow{.date = QDate(2024, 2, 21), .regularPrice = 6400, .cost = 4000});
    addLine(LineRow{.date = QDate(2024, 3, 20), .quantity = 2, .regularPrice = 4800, .cost = 6000});
    addLine(LineRow{.date = QDate(2024, 3, 10), .item = u"消費税"_s, .cost = 800});
    addLine(LineRow{.date = QDate(2024, 3, 15), .payment = 3000});
    addLine(LineRow{.date = QDate(2024, 3, 21), .ratio = 50, .cost = 999});
    addLine(LineRow{.kind = 2, .date = QDate(2024, 3, 1), .cost = 777});
    // The rate setting of 8 % gives the tax estimate.
    QVERIFY(gSetSystemCurField(32, Currency::fromInt(8)));
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QCOMPARE(f->lblCarry->text(), u"13,000"_s);
    QCOMPARE(f->lblTotalCost->text(), u"10,000"_s);
    QCOMPARE(f->lblTotalTax->text() + f->lblTotalPayment->text(), u"8003,000"_s);
    QCOMPARE(f->lblBalance->text(), u"20,800"_s);
    QCOMPARE(f->lblTotalRegularPrice->text(), u"16,000"_s);
    QCOMPARE(f->lblTotalRatio->text(), u"62.5"_s);
    QVERIFY(!f->picNowProcessing->isVisible());
    QTest::mouseClick(f->cmdEstimatedTax, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入金額 10,000 円 から予想される    \r\n\r\n"
                         "消費税額 (税率 8%、切り捨て) は \r\n\r\n800 円です\r\n\r\n"
                         "（システム設定の消費税率）"_s});
    // Both boxes empty: every line, the carry is the opening balance alone.
    f->cboCalcStartDate->setEditText(u"  "_s);
    f->cboCalcEndDate->setEditText(QString());
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(f->lblCarry->text(), u"10,000"_s);
    QCOMPARE(f->lblTotalCost->text(), u"15,999"_s);
    QCOMPARE(f->lblBalance->text(), u"21,799"_s);
}

// Without a supplier, with a wrong date, or with sums beyond the range, the figures are not shown:
// a message each, and the window stays.
void tst_frmData::calcSumRefusals() {
    // Two lines at the largest amount the currency holds (as another program could store
    // them): their SUM leaves the 64-bit range.
    for (int day : {1, 2})
        QVERIFY(gdbData().executeSQL(
            u"INSERT INTO T_DATA1 (lngMasterID, date1, strItem, curCost) VALUES (1,?,'大',?)"_s,
            {QDate(2024, 3, day), Q_INT64_C(9223372036854770000)}));
    frmData* f = openLedger(1);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"仕入先が選択されていません。"_s});
    QVERIFY(pickSupplier(f, 12));
    f->cboCalcStartDate->setEditText(u"2024/2/30"_s);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().last(),
             u"日付が正しくありません。\r\n正しい日付を入力してください。"_s);
    f->cboCalcStartDate->setEditText(u"2024/2/1"_s);
    f->cboCalcEndDate->setEditText(u"いつか"_s);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 3);
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/01"_s); // written out in full
    f->cboCalcEndDate->setEditText(u"2024/3/20"_s);
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().value(3),
             u"合計が扱える範囲を超えています。\r\n\r\n"
             "桁の多すぎる金額・数量・単価が入力されていないか確認し、\r\n"
             "正しい値に直してください。"_s);
    QVERIFY(m_svc.process->terminations.isEmpty());
    QVERIFY(f->isVisible() && f->isEnabled());
    QVERIFY(!f->lblBalance->isVisible() && !f->lblTotalCost->isVisible());
}

void tst_frmData::calendarPicksOrGoesBack_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button"); // empty: the close box
    QTest::addColumn<QDate>("shown");
    QTest::addColumn<QString>("after");
    QTest::newRow("decided") << u"2024/2/1"_s << u"cmdDecision"_s << QDate(2024, 2, 1)
                             << u"2024/01/09"_s;
    QTest::newRow("back: written out")
        << u"2024/12/1"_s << u"cmdExit"_s << QDate(2024, 12, 1) << u"2024/12/01"_s;
    QTest::newRow("closed, no date: today")
        << QString() << QString() << QDate(2024, 3, 5) << QString();
}

void tst_frmData::calendarPicksOrGoesBack() {
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QDate, shown);
    QFETCH(QString, after);
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    f->cboCalcStartDate->setEditText(typed);
    QDate seen;
    QString names; // the page's heading and weekdays, in Japanese whatever the locale (C.UTF-8)
    whenWindowOpens(u"frmCalendar"_s, [&](QWidget* w) {
        auto* cal = w->findChild<QCalendarWidget*>(u"Calendar1"_s);
        seen = cal->selectedDate();
        auto* y = cal->findChild<QToolButton*>(u"qt_calendar_yearbutton"_s);
        auto* m = cal->findChild<QToolButton*>(u"qt_calendar_monthbutton"_s);
        names = y->x() < m->x() ? y->text() + m->text() : m->text() + y->text();
        const auto* days = cal->findChild<QTableView*>(u"qt_calendar_calendarview"_s)->model();
        for (int column = 0; column < 7; ++column)
            names += days->index(0, column).data().toString();
        cal->setSelectedDate(QDate(2024, 1, 9));
        if (button.isEmpty())
            w->close();
        else
            w->findChild<QPushButton*>(button)->click();
    });
    f->cmdCulcStartCalendar->click();
    QCOMPARE(seen, shown);
    QCOMPARE(names, u"%1年%2月日月火水木金土"_s.arg(shown.year()).arg(shown.month()));
    QCOMPARE(f->cboCalcStartDate->currentText(), after);
}

// The current supplier's checks, then every supplier's, are reset in the open ledger only.
void tst_frmData::resetChecks() {
    const QDate d(2024, 3, 1);
    const qint64 mine = addLine(LineRow{.date = d, .cost = 100, .check = 3});
    const qint64 mineNull = addLine(LineRow{.date = d, .cost = 100});
    const qint64 other = addLine(LineRow{.masterID = 2, .date = d, .cost = 100, .check = 5});
    const qint64 sales = addLine(LineRow{.kind = 2, .date = d, .cost = 100, .check = 7});
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    QString offered;
    const auto reset = [&](const QString& scope) {
        m_svc.prompt->answers.enqueue(MsgResult::Yes);
        whenOpen<frmDataCheck0>([&](frmDataCheck0* w) {
            offered = w->cboSetting->currentText();
            w->cboSetting->setCurrentIndex(w->cboSetting->findText(scope));
            QTest::mouseClick(w->cmdCheckTo0, Qt::LeftButton);
            w->close();
        });
        QTest::mouseClick(f->cmdCol[13], Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    reset(u"現在の"_s);
    QCOMPARE(offered, u"現在の"_s);
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{u"現在の仕入先のチェックを０にします。よろしいですか？"_s,
                          u"処理が完了しました"_s}));
    QCOMPARE(lineRow(1, mine, u"curCheck"_s), (QVariantList{cur(0)}));
    // A line without a check is not touched (and writes no history entry).
    QCOMPARE(lineRow(1, mineNull, u"curCheck"_s), (QVariantList{QVariant()}));
    QCOMPARE(lineRow(1, other, u"curCheck"_s), (QVariantList{cur(5)}));
    // The grid shows the reset at once.
    QCOMPARE(f->model()->data(f->model()->index(0, 13)).toString(), QString());
    reset(u"全ての"_s);
    QCOMPARE(lineRow(1, other, u"curCheck"_s), (QVariantList{cur(0)}));
    QCOMPARE(lineRow(2, sales, u"curCheck"_s), (QVariantList{cur(7)}));
}

// The sales ledger opens with its own words and the current term. The caption editor renames the
// open ledger's header, totals and the words of the line check (a quote as typed); the other
// ledger keeps its captions.
void tst_frmData::ledgerWordsAndTheCaptionEditor() {
    frmData* f = openLedger(2);
    QCOMPARE(f->windowTitle(), u"売上帳     tovaki"_s);
    QCOMPARE(f->findChild<QPushButton*>(u"cmdCol_11"_s)->text(), u"売上金額"_s);
    QCOMPARE(f->findChild<QPushButton*>(u"cmdCol_12"_s)->text(), u"入金金額"_s);
    // The fixed clock says 2024-03-05: ten days back lies in the term ending on the 20th.
    QCOMPARE(f->cboCalcStartDate->currentText(), u"2024/02/21"_s);
    QCOMPARE(f->cboCalcEndDate->currentText(), u"2024/03/20"_s);
    QVERIFY(pickSupplier(f, 12));
    whenOpen<frmDataCaption>([](frmDataCaption* w) {
        w->txtCost->setText(u"売掛 'A'"_s);
        w->txtPayment->setText(u"入金"_s);
        w->close();
    });
    QTest::mouseClick(f->cmdHead, Qt::LeftButton);
    QCOMPARE(f->cmdCol[11]->text(), u"売掛 'A'"_s);
    QCOMPARE(f->lblTotalPayment2->text(), u"入金"_s);
    typeCell(f, 0, 1, u"2024/03/01"_s);
    f->cboSupplierName->showPopup();
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"売掛 'A' か 入金 の入力は必須です"_s});
    QString def, caption;
    QVERIFY(gGetColumnCaption(CaptionNo::Cost, 1, def, caption));
    QCOMPARE(caption, u"仕入金額"_s);
}

// Undo goes back step by step through the window's own changes (typed cells, a new line, a deleted
// line, a check reset), on one line and across two, and redo forward again; the ledger reads back
// exactly as it was after each step (line numbers, order and check marks included). A line
// another writer changed since a step refuses that step (the line keeps the other writer's
// change); with no step left, 元に戻す is off. Undo and redo are changes of their own in the
// history.
void tst_frmData::undoAndRedoGoStepByStep_data() {
    QTest::addColumn<int>("kind");
    // A step each: "row column text" typed, "delete row" (asked: no, then yes), "check" reset
    QTest::addColumn<QStringList>("edits");
    // U undo, R redo (Ctrl+Z, Ctrl+Y), B undo by the button, M redo by the menu, X another writer
    // changes the first line, u undo refused, 0 nothing to undo
    QTest::addColumn<QString>("actions");
    const QString quantity = u"0 7 21"_s, note = u"0 14 メモ"_s;
    const QStringList twoLines{quantity, u"1 14 別"_s, note, u"1 7 5"_s};
    QTest::newRow("1 step") << 1 << QStringList{note} << u"URU0"_s;
    QTest::newRow("2 steps, one line") << 1 << QStringList{quantity, note} << u"UURR"_s;
    QTest::newRow("3 steps, one line, sales")
        << 2 << QStringList{quantity, note, u"0 7 22"_s} << u"UUURRR"_s;
    QTest::newRow("4 steps, two lines") << 1 << twoLines << u"UURUUURRRR"_s;
    QTest::newRow("4 steps, two lines, sales") << 2 << twoLines << u"UUUURRRUUR"_s;
    QTest::newRow("another writer") << 1 << QStringList{quantity, note} << u"UXu0"_s;
    QTest::newRow("another writer, sales") << 2 << QStringList{quantity, note} << u"UXu0"_s;
    for (const int kind : {1, 2}) {
        const char* ledger = kind == 1 ? "purchase" : "sales";
        QTest::addRow("new line, %s", ledger) << kind << QStringList{u"2 1 3/4"_s} << u"BM"_s;
        QTest::addRow("deleted line, %s", ledger) << kind << QStringList{u"delete 0"_s} << u"BM"_s;
        QTest::addRow("check reset, %s", ledger) << kind << QStringList{u"check"_s} << u"BM"_s;
    }
}

void tst_frmData::undoAndRedoGoStepByStep() {
    QFETCH(int, kind);
    QFETCH(QStringList, edits);
    QFETCH(QString, actions);
    const qint64 first = addLine(LineRow{.kind = kind,
                                         .date = QDate(2024, 3, 1),
                                         .sort = 2,
                                         .item = u"品"_s,
                                         .quantity = 20,
                                         .unitPrice = 100,
                                         .cost = 2000,
                                         .check = 3});
    addLine(LineRow{.kind = kind, .date = QDate(2024, 3, 2), .cost = 50, .check = 1});
    const QString all = u"*"_s;
    frmData* f = openLedger(kind);
    QVERIFY(pickSupplier(f, 12));
    QList<QList<QVariantList>> states{lines(kind, 1, all)};
    for (const QString& edit : edits) {
        const QStringList e = edit.split(u' ');
        if (e.at(0) == u"delete") {
            f->DBGrid_Main->selectRow(e.at(1).toInt());
            m_svc.prompt->answers << MsgResult::No << MsgResult::Yes;
            QTest::keyClick(f->DBGrid_Main, Qt::Key_Delete);
            QCOMPARE(lines(kind, 1, all), states.last());
            QTest::keyClick(f->DBGrid_Main, Qt::Key_Delete);
            QCOMPARE(m_svc.prompt->texts().value(0), u"削除してもよろしいですか？"_s);
            QCOMPARE(m_svc.prompt->shown.at(0).style, 292);
        } else if (e.at(0) == u"check") {
            m_svc.prompt->answers.enqueue(MsgResult::Yes);
            whenOpen<frmDataCheck0>([](frmDataCheck0* w) {
                QTest::mouseClick(w->cmdCheckTo0, Qt::LeftButton);
                w->close();
            });
            QTest::mouseClick(f->cmdCol[13], Qt::LeftButton);
        } else {
            typeCell(f, e.at(0).toInt(), e.at(1).toInt(), e.at(2));
        }
        m_svc.prompt->shown.clear();
        states << lines(kind, 1, all);
        QVERIFY(states.last() != states.at(states.size() - 2));
    }
    const QString refused = u"この変更の後に同じ行が変更されているため、元に戻せません。\r\n"
                            "今の内容はそのままです。変更の内容は「変更履歴」で確かめられます。"_s;
    qsizetype at = states.size() - 1;
    QList<QVariantList> expected = states.last();
    QStringList messages;
    QApplication::setActiveWindow(f);
    const auto key = [f](Qt::Key k) { QTest::keyClick(f->DBGrid_Main, k, Qt::ControlModifier); };
    for (const QChar action : actions) {
        switch (action.unicode()) {
        case 'U':
        case 'B':
            action == u'U' ? key(Qt::Key_Z) : QTest::mouseClick(f->cmdUndo, Qt::LeftButton);
            expected = states.at(--at);
            break;
        case 'R':
        case 'M':
            action == u'R' ? key(Qt::Key_Y) : f->mnuRedo->trigger();
            expected = states.at(++at);
            break;
        case 'X':
            QVERIFY(gdbData().executeSQL(u"UPDATE T_DATA"_s + QString::number(kind) +
                                             u" SET strNote='他' WHERE lngID=?"_s,
                                         {first}));
            expected = lines(kind, 1, all);
            break;
        case 'u':
            key(Qt::Key_Z);
            messages << refused;
            break;
        default:
            // Nothing left to undo: the menu and the button are off, Ctrl+Z does nothing.
            QVERIFY(!f->mnuUndo->isEnabled() && !f->cmdUndo->isEnabled());
            key(Qt::Key_Z);
        }
        QCOMPARE(lines(kind, 1, all), expected);
        QCOMPARE(f->model()->lineCount(), expected.size());
        QCOMPARE(m_svc.prompt->texts(), messages);
    }
    QVERIFY(dataRowCount(u"SELECT * FROM T_HISTORY WHERE strOrigin IN ('undo', 'redo')"_s) > 0);
}

// The history of the supplier, cut to the period of the program's own changes (the fixed
// clock's day), one row per changed column of its lines and of its master record (the invoice
// columns named like the others); the CSV carries the same rows. Each ledger's lines are named
// with its own words.
void tst_frmData::historyWindowListsThePeriodAndExportsCsv_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("book");
    QTest::addColumn<QString>("cost");
    QTest::newRow("purchase") << 1 << u"仕入帳"_s << u"仕入金額"_s;
    QTest::newRow("sales") << 2 << u"売上帳"_s << u"売上金額"_s;
}

void tst_frmData::historyWindowListsThePeriodAndExportsCsv() {
    QFETCH(int, kind);
    QFETCH(QString, book);
    QFETCH(QString, cost);
    gSetHistoryIdentity({u"佐藤"_s, u"JIMUSHO-PC"_s});
    addLine(LineRow{
        .kind = kind, .date = QDate(2024, 3, 1), .item = u"品"_s, .quantity = 3, .unitPrice = 100});
    frmData* f = openLedger(kind);
    QVERIFY(pickSupplier(f, 12));
    typeCell(f, 0, 14, u"メモ, \"A\""_s);
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 11));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F12);
    {
        // The supplier's invoice number, as the master window stores it.
        HistoryScope typed(gdbData(), HistoryOrigin::Typed);
        QVERIFY(typed.ok());
        QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strInvoiceNo = 'T1234567890123', "
                                     "datInvoiceFrom = '2024-03-01' WHERE lngMasterID = 1"_s));
        QVERIFY(typed.commit());
    }
    QTest::mouseClick(f->cmdHistory, Qt::LeftButton);
    frmHistory* h = frmHistory::existing();
    QVERIFY(h && h->isVisible());
    QCOMPARE(h->cboHistorySupplier->currentData().toLongLong(), 1);
    QCOMPARE(h->txtHistoryFrom->text(), u"2024/02/05"_s);
    h->txtHistoryTo->setText(u"2024/03/05"_s);
    QTest::mouseClick(h->cmdHistoryShow, Qt::LeftButton);
    const QStringList common = {u"2024/03/05 10:15:00"_s, book, u"仕入先"_s, u"2024/03/01"_s,
                                u"品"_s};
    const QStringList master = {u"2024/03/05 10:15:00"_s, u"仕入先"_s, u"仕入先"_s, QString(),
                                QString()};
    const QStringList who = {u"佐藤"_s, u"JIMUSHO-PC"_s};
    const QList<QStringList> expected = {
        common + QStringList{u"備考"_s, QString(), u"メモ, \"A\""_s, u"変更"_s, u"入力"_s} + who,
        common + QStringList{cost, QString(), u"300"_s, u"変更"_s, u"計算"_s} + who,
        master + QStringList{u"登録番号"_s, QString(), u"T1234567890123"_s, u"変更"_s, u"入力"_s} +
            who,
        master + QStringList{u"登録日"_s, QString(), u"2024/03/01"_s, u"変更"_s, u"入力"_s} + who};
    QList<QStringList> shown;
    for (int row = 0; row < h->grdHistory->model()->rowCount(); ++row) {
        shown << QStringList();
        for (int column = 0; column < h->grdHistory->model()->columnCount(); ++column)
            shown.last() << h->grdHistory->model()->index(row, column).data().toString();
    }
    QCOMPARE(shown, expected);
    QCOMPARE(h->lblHistoryCount->text(), u"4 件"_s);

    QTemporaryDir out;
    m_svc.dialogs->folders.enqueue(out.path());
    QTest::mouseClick(h->cmdHistoryCsv, Qt::LeftButton);
    const QByteArray csv = readBytes(out.filePath(u"変更履歴_20240305_101500.csv"_s));
    QVERIFY(csv.startsWith("\xEF\xBB\xBF\"日時\",\"帳簿\""));
    QVERIFY(csv.contains(u"\"2024/03/05 10:15:00\",\""_s.toUtf8() + book.toUtf8() +
                         u"\",\"仕入先\",\"2024/03/01\",\"品\",\"備考\",\"\",\"メモ, \"\"A\"\"\","
                         "\"変更\",\"入力\",\"佐藤\",\"JIMUSHO-PC\"\r\n"_s.toUtf8()));
}

// Ctrl+F: item or note text, or an amount; the search goes round from the cursor.
void tst_frmData::findGoesToTheNextMatchingLine() {
    addLine(LineRow{.date = QDate(2024, 3, 1), .item = u"青りんご"_s, .cost = 700});
    addLine(LineRow{.date = QDate(2024, 3, 2), .item = u"梨"_s, .cost = 1500});
    addLine(LineRow{.date = QDate(2024, 3, 3), .item = u"柿"_s, .note = u"りんご箱"_s});
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, 3));
    QApplication::setActiveWindow(f);
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), f->txtFind);
    f->txtFind->setText(u"りんご"_s);
    QTest::keyClick(f->txtFind, Qt::Key_Return);
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 2);
    QTest::keyClick(f->txtFind, Qt::Key_Return);
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 0);
    f->txtFind->setText(u"1,500"_s);
    QTest::keyClick(f->txtFind, Qt::Key_Return);
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 1);
    f->txtFind->setText(u"ぶどう"_s);
    QTest::keyClick(f->txtFind, Qt::Key_Return);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"「ぶどう」を含む行は見つかりませんでした。"_s});
    QCOMPARE(f->DBGrid_Main->currentIndex().row(), 1);
}

// Ctrl+V and Delete on a cell not being edited store as typing does, すべて０ asks first;
// 元に戻す (menu, button) and やり直す are on only with a step: undo and redo go back and forth.
void tst_frmData::editActionsOnASelectedCell_data() {
    QTest::addColumn<QString>("key"); // V: Ctrl+V of the text; Delete; 0: すべて０, answered no
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVariant>("after");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("paste") << u"V"_s << 14 << u"貼付\t次\n行"_s << u"strNote"_s
                           << QVariant(u"貼付"_s) << QStringList();
    QTest::newRow("paste refused") << u"V"_s << 7 << u"abc"_s << u"curQuantity"_s << cur(20)
                                   << QStringList{u"数値を入力してください"_s};
    QTest::newRow("Delete") << u"Delete"_s << 7 << QString() << u"curQuantity"_s << QVariant()
                            << QStringList();
    QTest::newRow("すべて０, no") << u"0"_s << 13 << u"no"_s << u"curCheck"_s << cur(3)
                                  << QStringList{
                                         u"現在の仕入先のチェックを０にします。よろしいですか？"_s};
}

void tst_frmData::editActionsOnASelectedCell() {
    QFETCH(QString, key);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(QVariant, after);
    QFETCH(QStringList, messages);
    const qint64 id = addLine(LineRow{
        .date = QDate(2024, 3, 1), .quantity = 20, .cost = 2000, .check = 3, .note = u"メモ"_s});
    const QVariantList before = lineRow(1, id, stored);
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    const auto offered = [f] {
        return u"%1%2%3"_s.arg(f->mnuUndo->isEnabled())
            .arg(f->cmdUndo->isEnabled())
            .arg(f->mnuRedo->isEnabled());
    };
    QCOMPARE(offered(), u"000"_s);
    QApplication::setActiveWindow(f);
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, column));
    QGuiApplication::clipboard()->setText(text);
    if (key == u"0") {
        m_svc.prompt->answers.enqueue(MsgResult::No);
        whenOpen<frmDataCheck0>([](frmDataCheck0* w) {
            w->cmdCheckTo0->click();
            w->close();
        });
        f->cmdCol[13]->click();
    } else {
        QTest::keyClick(f->DBGrid_Main, key == u"V" ? Qt::Key_V : Qt::Key_Delete,
                        key == u"V" ? Qt::ControlModifier : Qt::NoModifier);
    }
    QCOMPARE(m_svc.prompt->texts(), messages);
    QCOMPARE(lineRow(1, id, stored), QVariantList{after});
    QCOMPARE(offered(), QVariantList{after} == before ? u"000"_s : u"110"_s);
    QApplication::setActiveWindow(f);
    for (const auto& [k, expected, menu] : {std::tuple{Qt::Key_Z, before, u"001"_s},
                                            std::tuple{Qt::Key_Y, QVariantList{after}, u"110"_s}})
        if (offered() != u"000") {
            QTest::keyClick(f->DBGrid_Main, k, Qt::ControlModifier);
            QCOMPARE(lineRow(1, id, stored), expected);
            QCOMPARE(offered(), menu);
        }
}

void tst_frmData::columnsFollowTheUserAndTheWindow() {
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    LedgerGrid* grid = f->DBGrid_Main;
    const int designed = grid->columnWidth(LedgerCol::Item);
    // The right edge of the item heading dragged 60 pixels to the right.
    QPushButton* item = f->cmdCol[LedgerCol::Item];
    const QPoint edge(item->width() - 2, item->height() / 2);
    QTest::mousePress(item, Qt::LeftButton, {}, edge);
    QTest::mouseMove(item, edge + QPoint(60, 0));
    QTest::mouseRelease(item, Qt::LeftButton, {}, edge + QPoint(60, 0));
    QCOMPARE(grid->columnWidth(LedgerCol::Item), designed + 60);
    QVERIFY(!frmDataItem::existing()); // a drag is no click
    // The headings stand over their columns; the check heading reads in the window's font.
    const QPoint note = grid->viewport()->mapTo(
        f, grid->visualRect(f->model()->index(0, LedgerCol::Note)).topLeft());
    QCOMPARE(f->cmdCol[LedgerCol::Note]->mapTo(f, QPoint(0, 0)).x(), note.x());
    QPushButton* check = f->cmdCol[LedgerCol::Check];
    QCOMPARE(check->font().pointSizeF(), item->font().pointSizeF());
    QVERIFY(check->width() > check->fontMetrics().horizontalAdvance(u"チェック"_s));
    // A wider window widens the grid.
    const int gridWidth = grid->width();
    f->resize(f->width() + 200, f->height());
    QCOMPARE(grid->width(), gridWidth + 200);
    // The widths are kept for this ledger only.
    delete f;
    f = openLedger(1);
    QCOMPARE(f->DBGrid_Main->columnWidth(LedgerCol::Item), designed + 60);
    delete f;
    f = openLedger(2);
    QCOMPARE(f->DBGrid_Main->columnWidth(LedgerCol::Item), designed);
}

void tst_frmData::leavingALineTellsItsRuleOnce_data() {
    QTest::addColumn<bool>("payment"); // a payment besides the amount of 500
    QTest::addColumn<QStringList>("told");
    QTest::newRow("amount and payment")
        << true << QStringList{u"仕入金額 と 支払金額 の両方に値を入れるのは不正です"_s};
    QTest::newRow("amount only") << false << QStringList{};
}

void tst_frmData::leavingALineTellsItsRuleOnce() {
    QFETCH(bool, payment);
    QFETCH(QStringList, told);
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 7)); // default ratio 80: an amount alone passes
    typeCell(f, 0, 1, u"2024/03/01"_s);
    typeCell(f, 0, 11, u"500"_s);
    if (payment)
        typeCell(f, 0, 12, u"500"_s);
    // Every cell is stored as it is confirmed, and nothing is said while on the line.
    QCOMPARE(lines(1, 2, u"curCost,curPayment,blnChange"_s),
             (QList<QVariantList>{{cur(500), payment ? cur(500) : QVariant(), true}}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    LedgerGrid* grid = f->DBGrid_Main;
    grid->setFocus();
    // Off the line, back on it and off again, unchanged: told once; the user goes on.
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(grid, key);
    QTest::qWait(20);
    QCOMPARE(m_svc.prompt->texts(), told);
    QCOMPARE(grid->currentIndex().row(), 1);
    // Closing on a failing line: the closing check's one message.
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(f->close(), !payment);
    QTest::qWait(20);
    QCOMPARE(m_svc.prompt->texts(), told + told);
}

void tst_frmData::f12OnAnEmptyAmountSaysWhatIsMissing_data() {
    QTest::addColumn<double>("regularPrice"); // the line has this or a ratio of 60
    QTest::addColumn<QString>("missing");
    QTest::newRow("no ratio") << 1000.0 << u"掛率 が空欄で、売上規定掛率 も設定されていません。"_s;
    QTest::newRow("no regular price") << 0.0 << u"定価 が空欄です。"_s;
}

void tst_frmData::f12OnAnEmptyAmountSaysWhatIsMissing() {
    QFETCH(double, regularPrice);
    QFETCH(QString, missing);
    // Supplier 12 has no default sales ratio.
    const auto price = regularPrice > 0 ? std::optional(regularPrice) : std::nullopt;
    const auto ratio = regularPrice > 0 ? std::nullopt : std::optional(60.0);
    const qint64 id = addLine(
        LineRow{.kind = 2, .date = QDate(2024, 3, 1), .regularPrice = price, .ratio = ratio});
    frmData* f = openLedger(2);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, LedgerCol::Cost));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F12);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"売上金額 を計算できません。\r\n\r\n"_s + missing +
                         u"\r\n\r\n売上金額 は 単価 から、または 定価 と 掛率 から計算します。"_s});
    QCOMPARE(lineRow(2, id, u"curCost"_s), QVariantList{QVariant()});
}

void tst_frmData::f12FillsAnEmptyClassCell() {
    // The line was stored before the class window got its default.
    const qint64 id = addLine(LineRow{.date = QDate(2024, 3, 1), .cost = 100});
    QVERIFY(gSetClassDefault(1, u"食品"_s));
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    f->DBGrid_Main->setCurrentIndex(f->model()->index(0, LedgerCol::Class1));
    QTest::keyClick(f->DBGrid_Main, Qt::Key_F12);
    QCOMPARE(lineRow(1, id, u"strClass1"_s), QVariantList{u"食品"_s});
    QVERIFY(m_svc.prompt->shown.isEmpty());
}

// On a server, the totals shown (and the supplier's opening balance) follow another program's
// change of the shown supplier's lines or of the supplier itself within a second.
void tst_frmData::otherProgramsChangeRefreshesTheTotals_data() {
    QTest::addColumn<bool>("line");       // its cost 3,000; else the opening balance 20,000
    QTest::addColumn<QString>("figures"); // carry | total cost | the opening balance box
    QTest::newRow("line") << true << u"10,000|3,000|10,000"_s;
    QTest::newRow("supplier") << false << u"20,000|1,000|20,000"_s;
}

void tst_frmData::otherProgramsChangeRefreshesTheTotals() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    QFETCH(bool, line);
    QFETCH(QString, figures);
    QVERIFY(addLine(LineRow{.date = QDate(2024, 3, 1), .cost = 1000}) > 0);
    Database other;
    QVERIFY(other.openServer(gTestServerDatabase()));
    frmData* f = openLedger(1);
    QVERIFY(pickSupplier(f, 12));
    f->cboCalcStartDate->setEditText(QString());
    f->cboCalcEndDate->setEditText(QString());
    QTest::mouseClick(f->cmdCalcSum, Qt::LeftButton);
    LedgerModel writer(1, other);
    RuleResult refusal;
    SupplierRecord r;
    QVERIFY(gGetMasterData(other, 1, r) && writer.load(1, LedgerView::Entry));
    r.curStartSupplyCarry = Currency::fromInt(20000);
    QVERIFY(line ? writer.setCellText(0, LedgerCol::Cost, u"3000"_s, refusal)
                 : mSaveMasterData(other, 1, r));
    QTRY_COMPARE_WITH_TIMEOUT(f->lblCarry->text() + u'|' + f->lblTotalCost->text() + u'|' +
                                  f->txtStartCarry->text().remove(QRegularExpression(u"[^0-9,]"_s)),
                              figures, 1000);
}

QTEST_MAIN(tst_frmData)
#include "tst_frmData.moc"
