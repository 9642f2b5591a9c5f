#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/Globals.h"
#include "app/frmMenu.h"
#include "ledger/frmCalendar.h"
#include "reports/ExcelPosFrame.h"
#include "reports/LedgerPrintFrame.h"
#include "reports/frmPrint.h"
#include "reports/frmPrint_Data.h"
#include "reports/frmPrint_ExcelPos.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool supplier(qint32 id, qint32 number, const QString& shortName, bool valid = true) {
    SupplierRow s;
    s.masterID = id;
    s.supplier = number;
    s.shortName = shortName;
    s.valid = valid;
    return addSupplier(s);
}

bool addPurchase(qint32 id, const QDate& date, const QString& item, double cost) {
    LineRow l;
    l.masterID = id;
    l.date = date;
    l.item = item;
    l.cost = cost;
    return addLine(l) > 0;
}

void whenDialogOpens(const QString& name, std::function<void(QDialog*)> act) {
    whenWindowOpens(name, [act](QWidget* w) { act(qobject_cast<QDialog*>(w)); });
}

std::optional<qint32> lngSetting(int number) {
    qint32 v = -999;
    if (!gGetSystemLngField(number, v, -999) || v == -999)
        return std::nullopt;
    return v;
}

bool blnSetting(int number) {
    bool v = false;
    return gGetSystemBlnField(number, v, false) && v;
}

} // namespace

// The report window's ledger frame and its two settings windows, offscreen.
class tst_LedgerPrintWindows : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void frame_opensWithTermsAndEveryValidSupplierTicked();
    void startRow_editedInPlace_data();
    void startRow_editedInPlace();
    void startRowHeader_resetsAllAfterTheQuestion_data();
    void startRowHeader_resetsAllAfterTheQuestion();
    void calendar_picksADateOrGoesBack_data();
    void calendar_picksADateOrGoesBack();
    void create_writesTheTickedSuppliersWithTheirStartRows();
    void create_refusedInputsKeepTheUserThere_data();
    void create_refusedInputsKeepTheUserThere();
    void dataSettings_restoredStoredAndEnabled();
    void position_limitsAndDirections();
    void position_openedFromFrame3AndStored();

private:
    std::unique_ptr<QTemporaryDir> m_out;
    LedgerPrintFrame* m_frame = nullptr;
};

void tst_LedgerPrintWindows::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_out->path());
    QVERIFY(supplier(1, 3, u"三河屋"_s));
    QVERIFY(supplier(2, 1, u"青葉園"_s));
    QVERIFY(supplier(3, 2, u"休止中"_s, false));
    QVERIFY(supplier(4, 7, u"七星"_s));
    frmPrint* window = frmPrint::instance();
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QApplication::setActiveWindow(window);
    m_frame = window->findChild<LedgerPrintFrame*>(u"Frame4"_s);
    QVERIFY(m_frame);
}

void tst_LedgerPrintWindows::cleanup() {
    // A settings window a failed test left open must not carry its values into the next.
    for (QDialog* d :
         std::initializer_list<QDialog*>{frmPrint_Data::existing(), frmPrint_ExcelPos::existing()})
        if (d) {
            d->hide();
            d->close();
        }
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_frame = nullptr;
    m_out.reset();
    DataFileTest::cleanup();
}

void tst_LedgerPrintWindows::frame_opensWithTermsAndEveryValidSupplierTicked() {
    QVERIFY(m_frame->Chk_KokuyoRi101->isHidden());
    // The fixed clock says 2024/03/05 and the close day is 20: the term of 2024/02/24.
    QCOMPARE(m_frame->cboPrintDataStartDate->currentText(), u"2024/02/21"_s);
    QCOMPARE(m_frame->cboPrintDataEndDate->currentText(), u"2024/03/20"_s);
    QCOMPARE(m_frame->cboPrintDataEndDate->count(), 20);
    // Dates are chosen, never typed.
    QTest::keyClicks(m_frame->cboPrintDataStartDate->lineEdit(), u"x1"_s);
    QCOMPARE(m_frame->cboPrintDataStartDate->currentText(), u"2024/02/21"_s);
    QTreeWidget* list = m_frame->ListPrintData;
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + u'|' + item->text(1) + u'|' + item->text(2);
        QCOMPARE(item->checkState(0), Qt::Checked);
    }
    QCOMPARE(rows, QStringList({u"1|1|青葉園"_s, u"1|3|三河屋"_s, u"1|7|七星"_s}));
    m_frame->cmdPrintData_AllClear->click();
    QCOMPARE(list->topLevelItem(2)->checkState(0), Qt::Unchecked);
    m_frame->cmdPrintData_AllCheck->click();
    QCOMPARE(list->topLevelItem(2)->checkState(0), Qt::Checked);
}

void tst_LedgerPrintWindows::startRow_editedInPlace_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("29") << u"29"_s << u"29"_s << QString();
    QTest::newRow("full-width 12") << u"１２"_s << u"12"_s << QString();
    QTest::newRow("30") << u"30"_s << u"5"_s << u"開始行は 1以上 29以下 の整数を入力してください"_s;
}

void tst_LedgerPrintWindows::startRow_editedInPlace() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    QTreeWidget* list = m_frame->ListPrintData;
    QTreeWidgetItem* item = list->topLevelItem(1);
    item->setText(0, u"5"_s);
    list->editItem(item, 2); // only the start row opens an editor
    QVERIFY(!list->findChild<QLineEdit*>());
    list->editItem(item, 0);
    auto* editor = list->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(typed);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!list->findChild<QLineEdit*>()); // committed once the key press is handled
    QCOMPARE(item->text(0), stored);
    QCOMPARE(m_svc.prompt->texts(), message.isEmpty() ? QStringList() : QStringList({message}));
    QCOMPARE(m_frame->params().suppliers[1].startRow, stored.toInt());
}

void tst_LedgerPrintWindows::startRowHeader_resetsAllAfterTheQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("rows");
    QTest::newRow("OK") << int(MsgResult::OK) << u"1,1,1"_s;
    QTest::newRow("Cancel") << int(MsgResult::Cancel) << u"4,1,17"_s;
}

void tst_LedgerPrintWindows::startRowHeader_resetsAllAfterTheQuestion() {
    QFETCH(int, answer);
    QFETCH(QString, rows);
    QTreeWidget* list = m_frame->ListPrintData;
    list->topLevelItem(0)->setText(0, u"4"_s);
    list->topLevelItem(2)->setText(0, u"17"_s);
    m_svc.prompt->answers << answer;
    QHeaderView* header = list->header();
    // A click on another column asks nothing.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
    QCOMPARE(m_svc.prompt->texts(), QStringList());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"  書込み行 を全て１行目にしますか"_s}));
    QCOMPARE(m_svc.prompt->shown[0].style & 7, MsgStyle::OKCancel);
    QStringList now;
    for (int i = 0; i < 3; ++i)
        now << list->topLevelItem(i)->text(0);
    QCOMPARE(now.join(u','), rows);
}

void tst_LedgerPrintWindows::calendar_picksADateOrGoesBack_data() {
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("decide");
    QTest::newRow("start, decided") << true << true;
    QTest::newRow("end, back") << false << false;
}

void tst_LedgerPrintWindows::calendar_picksADateOrGoesBack() {
    QFETCH(bool, start);
    QFETCH(bool, decide);
    QComboBox* box = start ? m_frame->cboPrintDataStartDate : m_frame->cboPrintDataEndDate;
    const QString before = box->currentText();
    QString title;
    QDate shown;
    bool modal = false;
    whenWindowOpens(u"frmCalendar"_s, [&](QWidget* w) {
        title = w->windowTitle();
        modal = w->isModal();
        auto* cal = w->findChild<QCalendarWidget*>(u"Calendar1"_s);
        shown = cal->selectedDate();
        cal->setSelectedDate(QDate(2024, 1, 9));
        w->findChild<QPushButton*>(decide ? u"cmdDecision"_s : u"cmdExit"_s)->click();
    });
    (start ? m_frame->cmdCalenderDataStart : m_frame->cmdCalenderDataEnd)->click();
    QVERIFY(modal);
    QVERIFY(title.startsWith(start ? u"計算対象開始日"_s : u"計算対象終了日"_s));
    QCOMPARE(shown, QDate::fromString(before, u"yyyy/MM/dd"_s));
    QCOMPARE(box->currentText(), decide ? u"2024/01/09"_s : before);
}

void tst_LedgerPrintWindows::create_writesTheTickedSuppliersWithTheirStartRows() {
    QVERIFY(addPurchase(1, QDate(2024, 3, 1), u"三河屋の品"_s, 1000));
    QVERIFY(addPurchase(2, QDate(2024, 3, 2), u"青葉園の品"_s, 2000));
    QVERIFY(addPurchase(4, QDate(2024, 3, 3), u"七星の品"_s, 3000));
    QTreeWidget* list = m_frame->ListPrintData;
    list->topLevelItem(1)->setText(0, u"8"_s);              // 三河屋 starts on row 8 → row 12
    list->topLevelItem(2)->setCheckState(0, Qt::Unchecked); // 七星 left out
    frmPrint* window = frmPrint::existing();
    QList<int> progress;
    bool alwaysBusy = true;
    connect(window->PBarNowProcessing, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 0)
            return;
        progress << value;
        alwaysBusy = alwaysBusy && !window->isEnabled() && window->picNowProcessing->isVisible();
    });
    bool usableAtQuestion = false;
    m_svc.prompt->onShow = [&](const ShownPrompt&) {
        usableAtQuestion = window->isEnabled() && !window->picNowProcessing->isVisible();
    };
    m_frame->cmdPrintData->click();
    // One step for every supplier of the list, ticked or not; the question comes after.
    QCOMPARE(progress, QList<int>({1, 2, 3}));
    QVERIFY(alwaysBusy);
    QVERIFY(usableAtQuestion);
    const LedgerPrintResult& r = m_frame->lastResult();
    QCOMPARE(r.outcome, LedgerPrintOutcome::Written);
    QCOMPARE(r.sheets, QStringList({u"青葉園1"_s, u"三河屋1"_s}));
    Workbook book;
    QVERIFY(book.open(r.savedPath));
    QCOMPARE(book.sheet(0)->value(5, 4), QVariant(u"青葉園の品"_s));
    QCOMPARE(book.sheet(1)->value(12, 4), QVariant(u"三河屋の品"_s));
    QCOMPARE(book.sheet(1)->value(12, 11), QVariant(u"1,0 0 0"_s));
    QCOMPARE(m_svc.prompt->texts().size(), 1);
}

void tst_LedgerPrintWindows::create_refusedInputsKeepTheUserThere_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("after the end")
        << u"2024/03/21"_s << true
        << u"終了日が開始日より前になっています。\r\n期間を確認してください。"_s
        << u"cboPrintDataStartDate"_s;
    QTest::newRow("none ticked") << u"2024/02/21"_s << false << u"対象仕入先がありません"_s
                                 << QString();
}

void tst_LedgerPrintWindows::create_refusedInputsKeepTheUserThere() {
    QFETCH(QString, start);
    QFETCH(bool, tick);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(addPurchase(1, QDate(2024, 3, 1), u"品"_s, 1000));
    m_frame->cboPrintDataStartDate->setEditText(start);
    if (!tick)
        m_frame->cmdPrintData_AllClear->click();
    m_frame->cmdPrintData->setFocus();
    m_frame->cmdPrintData->click();
    QCOMPARE(m_svc.prompt->texts(), QStringList({message}));
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget(), m_frame->findChild<QWidget*>(focus));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_LedgerPrintWindows::dataSettings_restoredStoredAndEnabled() {
    QVERIFY(gSetSystemBlnField(40, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemBlnField(38, true));
    QVERIFY(gSetSystemLngField(41, 4));
    QVERIFY(gSetSystemBlnField(45, true));
    QVERIFY(gSetSystemLngField(48, 3));
    bool modal = false;
    whenDialogOpens(u"frmPrint_Data"_s, [&](QDialog* d) {
        modal = d->isModal();
        auto* w = static_cast<frmPrint_Data*>(d);
        QVERIFY(w->Chk_KokuyoRi103->isChecked());
        QCOMPARE(w->cboMaxLine->currentText(), u"31"_s);
        QVERIFY(w->chkSumIsNote->isChecked());
        QCOMPARE(w->cboSumInterval->currentText(), u"4"_s);
        QVERIFY(!w->chkLeaveMonth->isChecked() && w->chkLeaveDay->isChecked());
        QVERIFY(!w->chkCloseDayBlank->isChecked());
        QCOMPARE(w->cboCloseDayBlank->currentText(), u"3"_s);
        // The line count belongs to the form; the interval to balances in their column.
        QVERIFY(!w->cboSumInterval->isEnabled());
        w->chkSumIsNote->click();
        QVERIFY(w->cboSumInterval->isEnabled());
        w->Chk_KokuyoRi103->click();
        QVERIFY(!w->cboMaxLine->isEnabled());
        w->Chk_KokuyoRi103->click();
        w->cboMaxLine->setCurrentText(u"30"_s);
        w->cboSumInterval->setCurrentText(u"1"_s);
        w->chkLeaveMonth->setChecked(true);
        QVERIFY(!w->cboCloseDayBlank->isEnabled());
        QTest::mouseClick(w->lblCloseDayBlank, Qt::LeftButton); // ticks like its box
        QVERIFY(w->chkCloseDayBlank->isChecked() && w->cboCloseDayBlank->isEnabled());
        w->cboCloseDayBlank->setCurrentText(u"2"_s);
        w->cmdExit->click();
    });
    m_frame->cmdPrintDataSetting->click();
    QVERIFY(modal);
    QTRY_VERIFY(!frmPrint_Data::existing());
    QVERIFY(blnSetting(40) && !blnSetting(38) && blnSetting(39) && blnSetting(44));
    QCOMPARE(lngSetting(33), std::optional<qint32>(30));
    QCOMPARE(lngSetting(41), std::optional<qint32>(1));
    QCOMPARE(lngSetting(48), std::optional<qint32>(2));
    // The next run reads what was stored.
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.linesPerPage, 30);
    QVERIFY(o.omitMonth && o.closeDayBlank && !o.noteInBalance && o.kokuyoRi103);
}

void tst_LedgerPrintWindows::position_limitsAndDirections() {
    QVERIFY(gSetSystemLngField(46, -9));
    frmPrint_ExcelPos* w = frmPrint_ExcelPos::instance();
    QVERIFY(w);
    w->show();
    QCOMPARE(w->lblTOP->text(), u"上へ 9"_s);
    for (int i = 0; i < 11; ++i)
        w->cmdMoveRight->click();
    QCOMPARE(w->horizontal(), 10);
    QCOMPARE(w->lblLeft->text(), u"右へ 10"_s);
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"それ以上、右に寄せることは出来ません。"_s}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly | MsgStyle::Information);
    // "上" shortens the first row, so the figures move up.
    w->cmdMoveTop->click();
    w->cmdMoveTop->click();
    QCOMPARE(w->vertical(), -10);
    QCOMPARE(m_svc.prompt->texts().last(), u"それ以上、上に寄せることは出来ません。"_s);
    w->cmdMoveUnder->click();
    QCOMPARE(w->lblTOP->text(), u"上へ 9"_s);
    w->close();
    QTRY_VERIFY(!frmPrint_ExcelPos::existing());
    QCOMPARE(lngSetting(46), std::optional<qint32>(-9));
    QCOMPARE(lngSetting(47), std::optional<qint32>(10));
}

void tst_LedgerPrintWindows::position_openedFromFrame3AndStored() {
    auto* frame = frmPrint::existing()->findChild<ExcelPosFrame*>(u"Frame3"_s);
    QVERIFY(frame);
    bool modal = false;
    whenDialogOpens(u"frmPrint_ExcelPos"_s, [&](QDialog* d) {
        modal = d->isModal();
        d->findChild<QPushButton*>(u"cmdMoveUnder"_s)->click();
        d->findChild<QPushButton*>(u"cmdMoveUnder"_s)->click();
        d->findChild<QPushButton*>(u"cmdMoveLeft"_s)->click();
        d->close();
    });
    frame->cmdExcelPos->click();
    QVERIFY(modal);
    // The next ledger print takes them.
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.offsetVertical, 2);
    QCOMPARE(o.offsetHorizontal, -1);
}

QTEST_MAIN(tst_LedgerPrintWindows)
#include "tst_LedgerPrintWindows.moc"
