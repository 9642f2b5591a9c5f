#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
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

bool addSupplier(qint32 masterID, qint32 supplier, const QString& shortName, bool valid = true) {
    return gdbData().executeSQL(u"INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,"
                                u"strSupplierShortName,strKana) VALUES (?,?,?,?,?)"_s,
                                {masterID, supplier, valid, shortName, shortName});
}

bool addPurchase(qint32 masterID, const QDate& date, const QString& item, double cost) {
    return gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID,date1,lngSort,strItem,curCost,blnChange)"
        u" VALUES (?,?,0,?,?,0)"_s,
        {masterID, date, item, QVariant::fromValue(Currency::fromDouble(cost))});
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

std::optional<bool> blnSetting(int number) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT blnField FROM T_SYSTEM WHERE lngID=?"_s, {number}) ||
        rs.recordCount() != 1)
        return std::nullopt;
    return rs.rows()[0].value(0).toBool();
}

} // namespace

class tst_LedgerPrintWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void frame_opensWithTermsAndEveryValidSupplierTicked();
    void startRow_editedInPlace_data();
    void startRow_editedInPlace();
    void startRowHeader_resetsAllAfterTheQuestion_data();
    void startRowHeader_resetsAllAfterTheQuestion();
    void checkAllAndClearAll();
    void datesTakeNoTyping();
    void calendar_picksADateOrGoesBack_data();
    void calendar_picksADateOrGoesBack();
    void create_writesTheTickedSuppliersWithTheirStartRows();
    void create_refusedInputsKeepTheUserThere_data();
    void create_refusedInputsKeepTheUserThere();
    void create_busyWhileRunning();

    void dataSettings_restoredAndStored();
    void dataSettings_enablingRules();
    void dataSettings_openedFromTheFrame();
    void position_moveRightElevenTimes();
    void position_buttonsMoveThePrintTheWayTheyPoint();
    void position_openedFromFrame3AndStored();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    LedgerPrintFrame* m_frame = nullptr;
    TestServices m_svc{};
};

void tst_LedgerPrintWindows::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    m_out = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_out->path());
    QVERIFY(addSupplier(1, 3, u"三河屋"_s));
    QVERIFY(addSupplier(2, 1, u"青葉園"_s));
    QVERIFY(addSupplier(3, 2, u"休止中"_s, false));
    QVERIFY(addSupplier(4, 7, u"七星"_s));
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
    for (QDialog* d : std::initializer_list<QDialog*>{frmPrint_Data::existing(),
                                                      frmPrint_ExcelPos::existing()}) {
        if (d) {
            d->hide();
            d->close();
        }
    }
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_frame = nullptr;
    m_out.reset();
    m_folder.reset();
}

void tst_LedgerPrintWindows::frame_opensWithTermsAndEveryValidSupplierTicked() {
    QCOMPARE(m_frame->objectName(), u"Frame4"_s);
    QCOMPARE(m_frame->title(), u"仕入帳"_s);
    QVERIFY(m_frame->Chk_KokuyoRi101->isHidden());
    QCOMPARE(m_frame->Chk_KokuyoRi101->text(), u"定型書式（コクヨ リ-101）を使用する"_s);
    // The fixed clock says 2024/03/05 and the close day is 20: the term of 2024/02/24.
    QCOMPARE(m_frame->cboPrintDataStartDate->currentText(), u"2024/02/21"_s);
    QCOMPARE(m_frame->cboPrintDataEndDate->currentText(), u"2024/03/20"_s);
    QCOMPARE(m_frame->cboPrintDataEndDate->count(), 20);
    QTreeWidget* list = m_frame->ListPrintData;
    QCOMPARE(list->headerItem()->text(0), u"  書込み行"_s);
    QCOMPARE(list->headerItem()->text(1), u"  番号"_s);
    QCOMPARE(list->headerItem()->text(2), u"仕入先名"_s);
    QCOMPARE(list->topLevelItemCount(), 3);
    const QStringList expected = {u"1|1|青葉園"_s, u"1|3|三河屋"_s, u"1|7|七星"_s};
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        QCOMPARE(item->text(0) + u'|' + item->text(1) + u'|' + item->text(2), expected[i]);
        QCOMPARE(item->checkState(0), Qt::Checked);
    }
    QCOMPARE(m_frame->cmdPrintData->text(), u"作 成"_s);
    QCOMPARE(m_frame->cmdPrintDataSetting->text(), u"各 設 定"_s);
}

void tst_LedgerPrintWindows::startRow_editedInPlace_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    const QString range = u"開始行は 1以上 29以下 の整数を入力してください"_s;
    QTest::newRow("1") << u"1"_s << u"1"_s << QString();
    QTest::newRow("29") << u"29"_s << u"29"_s << QString();
    QTest::newRow("full-width 12") << u"１２"_s << u"12"_s << QString();
    QTest::newRow("0") << u"0"_s << u"5"_s << range;
    QTest::newRow("30") << u"30"_s << u"5"_s << range;
    QTest::newRow("a") << u"a"_s << u"5"_s << u"開始行には整数を入力してください"_s;
}

void tst_LedgerPrintWindows::startRow_editedInPlace() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    QTreeWidget* list = m_frame->ListPrintData;
    QTreeWidgetItem* item = list->topLevelItem(1);
    item->setText(0, u"5"_s);
    // Only the start row opens an editor.
    list->editItem(item, 2);
    QVERIFY(!list->findChild<QLineEdit*>());
    list->editItem(item, 0);
    auto* editor = list->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(typed);
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits the entry once the key press has been handled.
    QTRY_VERIFY(!list->findChild<QLineEdit*>());
    QCOMPARE(item->text(0), stored);
    if (message.isEmpty()) {
        QCOMPARE(m_svc.prompt->texts(), QStringList());
    } else {
        QCOMPARE(m_svc.prompt->texts(), QStringList({message}));
        QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly | MsgStyle::Critical);
    }
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

void tst_LedgerPrintWindows::checkAllAndClearAll() {
    QTreeWidget* list = m_frame->ListPrintData;
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    m_frame->cmdPrintData_AllClear->click();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Unchecked);
    m_frame->cmdPrintData_AllCheck->click();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
}

void tst_LedgerPrintWindows::datesTakeNoTyping() {
    QComboBox* box = m_frame->cboPrintDataStartDate;
    box->setFocus();
    QTest::keyClicks(box->lineEdit(), u"x1"_s);
    QCOMPARE(box->currentText(), u"2024/02/21"_s);
    box->setCurrentIndex(2);
    QCOMPARE(box->currentText(), u"2023/12/21"_s);
}

void tst_LedgerPrintWindows::calendar_picksADateOrGoesBack_data() {
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("decide");
    QTest::addColumn<QString>("expected");
    QTest::newRow("start, decided") << true << true << u"2024/01/09"_s;
    QTest::newRow("start, back") << true << false << u"2024/02/21"_s;
    QTest::newRow("end, decided") << false << true << u"2024/01/09"_s;
}

void tst_LedgerPrintWindows::calendar_picksADateOrGoesBack() {
    QFETCH(bool, start);
    QFETCH(bool, decide);
    QFETCH(QString, expected);
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
    QCOMPARE(box->currentText(), start || decide ? expected : before);
}

void tst_LedgerPrintWindows::create_writesTheTickedSuppliersWithTheirStartRows() {
    QVERIFY(addPurchase(1, QDate(2024, 3, 1), u"三河屋の品"_s, 1000));
    QVERIFY(addPurchase(2, QDate(2024, 3, 2), u"青葉園の品"_s, 2000));
    QVERIFY(addPurchase(4, QDate(2024, 3, 3), u"七星の品"_s, 3000));
    QTreeWidget* list = m_frame->ListPrintData;
    list->topLevelItem(1)->setText(0, u"8"_s);              // 三河屋 starts on row 8 → row 12
    list->topLevelItem(2)->setCheckState(0, Qt::Unchecked); // 七星 left out
    m_frame->cmdPrintData->click();
    const LedgerPrintResult& r = m_frame->lastResult();
    QCOMPARE(r.outcome, LedgerPrintOutcome::Written);
    QCOMPARE(r.sheets, QStringList({u"青葉園1"_s, u"三河屋1"_s}));
    Workbook book;
    QVERIFY(book.open(r.savedPath));
    QCOMPARE(book.sheet(0)->value(5, 4), QVariant(u"青葉園の品"_s));
    QCOMPARE(book.sheet(1)->value(12, 4), QVariant(u"三河屋の品"_s));
    QCOMPARE(book.sheet(1)->value(12, 11), QVariant(u"1,0 0 0"_s));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files).size(), 1);
    QVERIFY(frmPrint::existing()->isEnabled());
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QVERIFY(m_svc.prompt->texts()[0].endsWith(u"開きますか？\r\n"_s));
}

void tst_LedgerPrintWindows::create_refusedInputsKeepTheUserThere_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("not a date") << u"2024/02/30"_s << true
                                << u"日付が正しくありません。\r\n正しい日付を入力してください。"_s
                                << u"cboPrintDataStartDate"_s;
    QTest::newRow("after the end")
        << u"2024/03/21"_s << true
        << u"終了日が開始日より前になっています。\r\n期間を確認してください。"_s
        << u"cboPrintDataStartDate"_s;
    QTest::newRow("none ticked") << u"2024/02/21"_s << false << u"対象仕入先がありません"_s
                                 << QString();
    QTest::newRow("no line in the range")
        << u"2024/02/21"_s << true << u"対象となるデータがありませんでした"_s << QString();
}

void tst_LedgerPrintWindows::create_refusedInputsKeepTheUserThere() {
    QFETCH(QString, start);
    QFETCH(bool, tick);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(addPurchase(1, QDate(2024, 1, 1), u"範囲外"_s, 1000));
    m_frame->cboPrintDataStartDate->setEditText(start);
    if (!tick)
        m_frame->cmdPrintData_AllClear->click();
    m_frame->cmdPrintData->setFocus();
    m_frame->cmdPrintData->click();
    QCOMPARE(m_svc.prompt->texts(), QStringList({message}));
    QCOMPARE(m_frame->lastResult().focus, focus);
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget(), m_frame->findChild<QWidget*>(focus));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_LedgerPrintWindows::create_busyWhileRunning() {
    QVERIFY(addPurchase(2, QDate(2024, 3, 2), u"品"_s, 2000));
    QVERIFY(addPurchase(1, QDate(2024, 3, 2), u"品"_s, 1000));
    frmPrint* window = frmPrint::existing();
    QList<int> progress;
    bool alwaysBusy = true;
    connect(window->PBarNowProcessing, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 0)
            return;
        progress << value;
        alwaysBusy = alwaysBusy && !window->isEnabled() && window->picNowProcessing->isVisible();
    });
    bool enabledAtQuestion = false;
    m_svc.prompt->onShow = [&](const ShownPrompt&) {
        enabledAtQuestion = window->isEnabled() && !window->picNowProcessing->isVisible();
    };
    m_frame->cmdPrintData->click();
    // One step for every supplier of the list, ticked or not; the question comes after.
    QCOMPARE(progress, QList<int>({1, 2, 3}));
    QCOMPARE(window->PBarNowProcessing->maximum(), 3);
    QVERIFY(alwaysBusy);
    QVERIFY(enabledAtQuestion);
}

// ---- Settings windows -----------------------------------------------------------------------

void tst_LedgerPrintWindows::dataSettings_restoredAndStored() {
    QVERIFY(gSetSystemBlnField(40, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemBlnField(38, true));
    QVERIFY(gSetSystemLngField(41, 4));
    QVERIFY(gSetSystemBlnField(45, true));
    QVERIFY(gSetSystemLngField(48, 3));
    frmPrint_Data* w = frmPrint_Data::instance();
    QVERIFY(w);
    QVERIFY(w->windowTitle().startsWith(u"仕入帳 出力の設定     "_s));
    w->show();
    QVERIFY(w->Chk_KokuyoRi103->isChecked());
    QCOMPARE(w->cboMaxLine->currentText(), u"31"_s);
    QVERIFY(w->chkSumIsNote->isChecked());
    QCOMPARE(w->cboSumInterval->currentText(), u"4"_s);
    QVERIFY(!w->chkLeaveMonth->isChecked());
    QVERIFY(w->chkLeaveDay->isChecked());
    QVERIFY(!w->chkCloseDayBlank->isChecked());
    QCOMPARE(w->cboCloseDayBlank->currentText(), u"3"_s);
    QCOMPARE(w->cboMaxLine->count(), 3);
    QCOMPARE(w->cboSumInterval->count(), 4);

    w->Chk_KokuyoRi103->setChecked(false);
    w->cboMaxLine->setCurrentText(u"30"_s);
    w->chkSumIsNote->setChecked(false);
    w->cboSumInterval->setCurrentText(u"1"_s);
    w->chkLeaveMonth->setChecked(true);
    w->chkCloseDayBlank->setChecked(true);
    w->cboCloseDayBlank->setCurrentText(u"2"_s);
    w->cmdExit->click();
    QTRY_VERIFY(!frmPrint_Data::existing());
    QCOMPARE(blnSetting(40), std::optional<bool>(false));
    QCOMPARE(lngSetting(33), std::optional<qint32>(30));
    QCOMPARE(blnSetting(38), std::optional<bool>(false));
    QCOMPARE(lngSetting(41), std::optional<qint32>(1));
    QCOMPARE(blnSetting(39), std::optional<bool>(true));
    QCOMPARE(blnSetting(45), std::optional<bool>(true));
    QCOMPARE(blnSetting(44), std::optional<bool>(true));
    QCOMPARE(lngSetting(48), std::optional<qint32>(2));

    // The next run reads what was stored.
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.linesPerPage, 30);
    QVERIFY(o.omitMonth && o.closeDayBlank && !o.noteInBalance);
}

void tst_LedgerPrintWindows::dataSettings_enablingRules() {
    frmPrint_Data* w = frmPrint_Data::instance();
    QVERIFY(w);
    w->show();
    QVERIFY(!w->Chk_KokuyoRi103->isChecked());
    QVERIFY(!w->cboMaxLine->isEnabled() && !w->lblMaxLine->isEnabled());
    w->Chk_KokuyoRi103->click();
    QVERIFY(w->cboMaxLine->isEnabled() && w->lblMaxLine->isEnabled());
    QVERIFY(w->cboSumInterval->isEnabled() && w->lblSumInterval->isEnabled());
    w->chkSumIsNote->click();
    QVERIFY(!w->cboSumInterval->isEnabled() && !w->lblSumInterval->isEnabled());
    w->chkSumIsNote->click();
    QVERIFY(w->cboSumInterval->isEnabled());
    QVERIFY(!w->cboCloseDayBlank->isEnabled());
    // The caption after the combo ticks the box like the rest of its caption.
    QTest::mouseClick(w->lblCloseDayBlank, Qt::LeftButton);
    QVERIFY(w->chkCloseDayBlank->isChecked());
    QVERIFY(w->cboCloseDayBlank->isEnabled());
    QCOMPARE(w->chkCloseDayBlank->text() + u"　　　　"_s + w->lblCloseDayBlank->text(),
             u" 締日データの後ろ　　　　行を空ける"_s);
    QCOMPARE(w->lblMaxLine->toolTip(),
             u"お使いのプリンタによっては最終行（３０行目）が印刷できない場合があります。"_s);
    QCOMPARE(w->fraSum->title(), u"　差引残高欄の入力について"_s);
    w->close();
    QTRY_VERIFY(!frmPrint_Data::existing());
}

void tst_LedgerPrintWindows::dataSettings_openedFromTheFrame() {
    bool modal = false;
    whenDialogOpens(u"frmPrint_Data"_s, [&](QDialog* d) {
        modal = d->isModal();
        d->findChild<QCheckBox*>(u"chkLeaveDay"_s)->setChecked(true);
        d->close();
    });
    m_frame->cmdPrintDataSetting->click();
    QVERIFY(modal);
    QCOMPARE(blnSetting(45), std::optional<bool>(true));
}

void tst_LedgerPrintWindows::position_moveRightElevenTimes() {
    frmPrint_ExcelPos* w = frmPrint_ExcelPos::instance();
    QVERIFY(w);
    w->show();
    QCOMPARE(w->lblMaxAjust->text(), u"±10"_s);
    for (int i = 0; i < 11; ++i)
        w->cmdMoveRight->click();
    QCOMPARE(w->horizontal(), 10);
    QCOMPARE(w->lblLeft->text(), u"右へ 10"_s);
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"それ以上、右に寄せることは出来ません。"_s}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly | MsgStyle::Information);
    for (int i = 0; i < 21; ++i)
        w->cmdMoveLeft->click();
    QCOMPARE(w->horizontal(), -10);
    QCOMPARE(m_svc.prompt->texts().last(), u"それ以上、左に寄せることは出来ません。"_s);
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    w->close();
    QTRY_VERIFY(!frmPrint_ExcelPos::existing());
    QCOMPARE(lngSetting(47), std::optional<qint32>(-10));
    QCOMPARE(lngSetting(46), std::optional<qint32>(0));
}

void tst_LedgerPrintWindows::position_buttonsMoveThePrintTheWayTheyPoint() {
    QVERIFY(gSetSystemLngField(46, -9));
    frmPrint_ExcelPos* w = frmPrint_ExcelPos::instance();
    QVERIFY(w);
    w->show();
    QCOMPARE(w->lblTOP->text(), u"上へ 9"_s);
    // "上" shortens the first row, so the figures move up.
    w->cmdMoveTop->click();
    QCOMPARE(w->vertical(), -10);
    w->cmdMoveTop->click();
    QCOMPARE(w->vertical(), -10);
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"それ以上、上に寄せることは出来ません。"_s}));
    for (int i = 0; i < 20; ++i)
        w->cmdMoveUnder->click();
    QCOMPARE(w->vertical(), 10);
    QCOMPARE(w->lblTOP->text(), u"下へ 10"_s);
    w->cmdMoveUnder->click();
    QCOMPARE(m_svc.prompt->texts().last(), u"それ以上、下に寄せることは出来ません。"_s);
    w->close();
    QTRY_VERIFY(!frmPrint_ExcelPos::existing());
    QCOMPARE(lngSetting(46), std::optional<qint32>(10));
}

void tst_LedgerPrintWindows::position_openedFromFrame3AndStored() {
    auto* frame = frmPrint::existing()->findChild<ExcelPosFrame*>(u"Frame3"_s);
    QVERIFY(frame);
    QCOMPARE(frame->title(), u"各帳票の印刷位置調整"_s);
    QCOMPARE(frame->cmdExcelPos->text(), u"調 整"_s);
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
    QCOMPARE(lngSetting(46), std::optional<qint32>(2));
    QCOMPARE(lngSetting(47), std::optional<qint32>(-1));
    // The next ledger print takes them.
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QCOMPARE(o.offsetVertical, 2);
    QCOMPARE(o.offsetHorizontal, -1);
}

QTEST_MAIN(tst_LedgerPrintWindows)
#include "tst_LedgerPrintWindows.moc"
