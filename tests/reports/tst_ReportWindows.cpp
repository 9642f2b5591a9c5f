#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
#include "reports/CsvFrame.h"
#include "reports/ExcelLayer.h"
#include "reports/ExcelPosFrame.h"
#include "reports/JournalFrame.h"
#include "reports/LedgerPrintFrame.h"
#include "reports/ManageProfitFrame.h"
#include "reports/ProfitReport.h"
#include "reports/TaxSummaryFrame.h"
#include "reports/frmExcelColor.h"
#include "reports/frmPrint.h"
#include "reports/frmPrint_Data.h"
#include "reports/frmPrint_ExcelPos.h"
#include "reports/frmPrint_ManegeProfitSetting.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

using namespace Qt::StringLiterals;
using reporttest::folderEntries;
using reporttest::rowText;

namespace {

const QString kQuestion = u"保存先に\r\n表が作成されました\r\n\r\n<path>\r\n\r\n開きますか？\r\n"_s;

qint32 lngSetting(int number) {
    qint32 v = -999;
    return gGetSystemLngField(number, v, -999) ? v : -1000;
}

QStringList itemsOf(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

void choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

// Watches the report window while a report is written: every progress step must find it
// disabled with its processing panel shown, and the question must find it usable again.
struct BusyWatch {
    QList<int> steps;
    bool alwaysBusy = true;
    bool usableAtQuestion = false;
    BusyWatch(frmPrint* w, TestServices& svc) {
        QObject::connect(w->PBarNowProcessing, &QProgressBar::valueChanged, w, [this, w](int v) {
            if (v == 0)
                return;
            steps << v;
            alwaysBusy = alwaysBusy && !w->isEnabled() && w->picNowProcessing->isVisible();
        });
        svc.prompt->onShow = [this, w](const ShownPrompt&) {
            usableAtQuestion = w->isEnabled() && !w->picNowProcessing->isVisible();
        };
    }
};

} // namespace

// The report window offscreen: the supplier lists, the ledger frame with its settings windows,
// and the profit table frame with its settings window and colour picker.
class tst_ReportWindows : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void supplierList_refusalFailureBalanceAndAddress();
    void menuButtonOpensTheWindowAndClosingReturns();

    void ledger_opensTicksRefusesAndPicksADate();
    void ledger_typedDates_data();
    void ledger_typedDates();
    void ledger_startRowEditedInPlaceAndReset();
    void ledger_createWritesTheTickedSuppliersWithTheirStartRows();
    void ledger_settingsAndPositionWindows();

    void profit_opensWithListsAndDefaultsAndRefuses();
    void profit_createsTheWorkbookAndKeepsTheChoices();
    void profit_settingsWindowAndColourPicker();
    void profit_typedRangeIsCheckedAgainstTheCloseDay();

    void taxSummary_refusesThenWritesEitherLedger();
    void pdfChoice_aboveEveryFrameAndRemembered();
    void journal_writesTheGenericFile();
    void csv_exportsImportsAndListsRefusedRows();
    void csv_exportsEveryLineAndSkipsDuplicates();

private:
    frmPrint* openWindow();
    LedgerPrintFrame* ledgerFrame();
    ManageProfitFrame* profitFrame();
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_ReportWindows::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_out->path());
    glngDataKind = 1;
}

void tst_ReportWindows::cleanup() {
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
    m_out.reset();
    DataFileTest::cleanup();
}

frmPrint* tst_ReportWindows::openWindow() {
    frmPrint* f = frmPrint::instance();
    if (f) {
        f->show();
        QApplication::setActiveWindow(f);
        if (!QTest::qWaitForWindowExposed(f))
            return nullptr;
    }
    return f;
}

LedgerPrintFrame* tst_ReportWindows::ledgerFrame() {
    if (!addSupplier({.masterID = 1, .supplier = 3, .shortName = u"三河屋"_s}) ||
        !addSupplier({.masterID = 2, .supplier = 1, .shortName = u"青葉園"_s}) ||
        !addSupplier({.masterID = 3, .supplier = 2, .shortName = u"休止中"_s, .valid = false}) ||
        !addSupplier({.masterID = 4, .supplier = 7, .shortName = u"七星"_s}))
        return nullptr;
    frmPrint* w = openWindow();
    return w ? w->findChild<LedgerPrintFrame*>(u"Frame4"_s) : nullptr;
}

ManageProfitFrame* tst_ReportWindows::profitFrame() {
    // Ten days earlier lies in the term 2024/04/21 - 2024/05/20 (close day 20).
    m_svc.clock->fixed = QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0));
    if (!reporttest::loadProfit())
        return nullptr;
    frmPrint* w = openWindow();
    return w ? w->findChild<ManageProfitFrame*>(u"Frame5"_s) : nullptr;
}

// ---- Supplier lists -------------------------------------------------------------------------

// The sales ledger was opened last: the balance list offers it, and the purchase ledger can be
// chosen instead.
void tst_ReportWindows::supplierList_refusalFailureBalanceAndAddress() {
    QVERIFY(reporttest::loadSupplierList());
    glngDataKind = 2;
    frmPrint* f = openWindow();
    QVERIFY(f);
    QVERIFY(f->findChild<QRadioButton*>(u"optMasterSales"_s)->isChecked());
    // Close day 20 on 2024/03/05: the list starts with the current term's end.
    QComboBox* date = f->findChild<QComboBox*>(u"cboMaster"_s);
    QCOMPARE(date->currentText(), u"2024/03/20"_s);
    QVERIFY(!f->picNowProcessing->isVisible() && !f->PBarNowProcessing->isVisible());
    QPushButton* print = f->findChild<QPushButton*>(u"cmdPrintMaster"_s);
    QTest::mouseClick(f->findChild<QCheckBox*>(u"chkMasterCarry"_s), Qt::LeftButton);
    date->setEditText(u"2024/02/30"_s);
    print->setFocus();
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"日付が正しくありません。\r\n正しい日付を入力してください。"_s});
    QVERIFY(f->focusWidget() == date || f->focusWidget() == date->lineEdit());
    QVERIFY(folderEntries(m_out->path()).isEmpty() && f->isEnabled());
    // A typed date; an unwritable desktop (a file where the folder should be) fails and leaves
    // the window usable; mended, 閉じる (Cancel) leaves the file closed.
    date->lineEdit()->selectAll();
    QTest::keyClicks(date->lineEdit(), u"2024-3-1"_s);
    QFile blocked(m_out->filePath(u"blocked"_s));
    QVERIFY(blocked.open(QIODevice::WriteOnly));
    frmPrint::setOutputFolderOverride(blocked.fileName());
    QTest::mouseClick(print, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().last().startsWith(kExcelFileReportFailed)); // and the cause
    const QStringList logged = m_folder->errorLogProcedures();
    QCOMPARE(logged.mid(logged.size() - 2),
             (QStringList{u"frmPrint_mPrintMaster_Carry"_s, u"frmPrint_cmdPrintMaster_Click"_s}));
    QVERIFY(f->isEnabled() && !f->picNowProcessing->isVisible());
    QCOMPARE(folderEntries(m_out->path()), QStringList{u"blocked"_s});
    frmPrint::setOutputFolderOverride(m_out->path());
    m_svc.prompt->answers << MsgResult::Cancel << MsgResult::Cancel;
    QTest::mouseClick(print, Qt::LeftButton);
    QTest::mouseClick(f->findChild<QRadioButton*>(u"optMasterPurchase"_s), Qt::LeftButton);
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(date->currentText(), u"2024/03/01"_s);
    QVERIFY(m_svc.shell->opened.isEmpty());
    Workbook book;
    QVERIFY(book.open(m_out->filePath(u"　2024-03-05　10：15：00　仕入先表_売上.xlsx"_s)));
    QCOMPARE(rowText(book.sheet(u"page1"_s), 5, 4, 4), u"700"_s); // the opening balance
    QVERIFY(book.open(m_out->filePath(u"　2024-03-05　10：15：00　仕入先表_仕入.xlsx"_s)));
    QCOMPARE(rowText(book.sheet(u"page1"_s), 2, 3, 3), u"2024/03/01 時点仕入先名簿（仕入帳）"_s);
    // 10 000 + 5 000 + 500 − 3 000 (paid on the day)
    QCOMPARE(rowText(book.sheet(u"page1"_s), 5, 4, 4), u"12500"_s);
    // The address list; Yes opens it.
    QTest::mouseClick(f->findChild<QCheckBox*>(u"chkMasterCarry"_s), Qt::LeftButton);
    BusyWatch watch(f, m_svc);
    m_svc.prompt->answers << MsgResult::Yes;
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(reporttest::withoutPaths(m_svc.prompt->texts().mid(2)),
             (QStringList{kQuestion, kQuestion, kQuestion}));
    QCOMPARE(watch.steps.size(), 26);
    QCOMPARE(f->PBarNowProcessing->maximum(), 26);
    QVERIFY(watch.alwaysBusy && watch.usableAtQuestion);
    QCOMPARE(m_svc.shell->opened.size(), 1);
    QVERIFY(book.open(m_svc.shell->opened[0]));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(book.activeSheet(), 0);
    QCOMPARE(m_folder->errorLogProcedures(), logged);
}

// ---- Tax summary ----------------------------------------------------------------------------

// The current term 2024/02/21 - 2024/03/20: supplier 1 bought 1 000 on 03/20 (unregistered,
// 10 %: tax 100, 80 % of it deductible) and sold 800 on 03/10 (tax 80).
void tst_ReportWindows::taxSummary_refusesThenWritesEitherLedger() {
    QVERIFY(reporttest::loadSupplierList());
    frmPrint* f = openWindow();
    QVERIFY(f);
    auto* frame = f->findChild<TaxSummaryFrame*>(u"FrameTax"_s);
    QVERIFY(frame);
    QCOMPARE(frame->cboTaxStartDate->currentText() + frame->cboTaxEndDate->currentText(),
             u"2024/02/212024/03/20"_s);
    frame->cboTaxStartDate->setEditText(u"2024/03/21"_s);
    QTest::mouseClick(frame->cmdPrintTax, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"終了日が開始日より前になっています。\r\n期間を確認してください。"_s});
    QVERIFY(folderEntries(m_out->path()).isEmpty());
    frame->cboTaxStartDate->setEditText(u"2024-2-21"_s);
    m_svc.prompt->answers << MsgResult::No << MsgResult::No;
    QTest::mouseClick(frame->cmdPrintTax, Qt::LeftButton);
    QCOMPARE(frame->cboTaxStartDate->currentText(), u"2024/02/21"_s);
    QTest::mouseClick(frame->optTaxSales, Qt::LeftButton);
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(1);
    QTest::mouseClick(frame->cmdPrintTax, Qt::LeftButton);
    const QStringList files = folderEntries(m_out->path());
    QCOMPARE(files.size(), 2);
    Workbook purchase, sales;
    QVERIFY(purchase.open(m_out->filePath(files.at(0))));
    QVERIFY(sales.open(m_out->filePath(files.at(1))));
    QCOMPARE(rowText(purchase.sheet(u"消費税集計表"_s), 7, 2, 10), u"|合計|||1000|0|100|0|80"_s);
    QCOMPARE(rowText(sales.sheet(u"消費税集計表"_s), 6, 2, 9), u"1|アルファ|800|0|80|0|80|0"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

// "PDFも作成" stands above every report frame and is shown as it was left when the window opens
// again.
void tst_ReportWindows::pdfChoice_aboveEveryFrameAndRemembered() {
    frmPrint* f = openWindow();
    QVERIFY(f);
    QVERIFY(!f->chkPdf->isChecked());
    const int below = f->chkPdf->mapTo(f, QPoint(0, f->chkPdf->height())).y();
    for (const PrintFrame* frame : f->findChildren<PrintFrame*>())
        QVERIFY2(frame->mapTo(f, QPoint(0, 0)).y() >= below, qPrintable(frame->objectName()));
    QTest::mouseClick(f->chkPdf, Qt::LeftButton);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    f = openWindow();
    QVERIFY(f && f->chkPdf->isChecked());
    QVERIFY(f->reportCallbacks().makePdf);
}

// The current term 2024/02/21 - 2024/03/20: payments of 先03 (02/28) and アルファ (03/01),
// アルファ's sale of 800 (03/10) and purchase of 1 000 (03/20, unregistered: 80 %). The payment
// account typed in its box is stored and used.
void tst_ReportWindows::journal_writesTheGenericFile() {
    QVERIFY(reporttest::loadSupplierList());
    frmPrint* f = openWindow();
    QVERIFY(f);
    auto* frame = f->findChild<JournalFrame*>(u"FrameJournal"_s);
    QVERIFY(frame);
    QCOMPARE(frame->txtJournalAccount.size(), 7);
    QCOMPARE(frame->txtJournalAccount.at(0)->text(), u"仕入高"_s);
    frame->txtJournalAccount.at(2)->setText(u"普通預金"_s);
    QTest::mouseClick(frame->optJournalGeneric, Qt::LeftButton);
    QTest::mouseClick(frame->cmdMakeJournal, Qt::LeftButton);
    QString cash;
    QVERIFY(gGetSetting(SettingNo::JournalCash, cash));
    QCOMPARE(cash, u"普通預金"_s);
    const QStringList files = folderEntries(m_out->path());
    QCOMPARE(files.size(), 1);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕訳ファイルを作成しました。\r\n\r\n"_s +
                         QDir::toNativeSeparators(m_out->filePath(files.at(0)))});
    QCOMPARE(readBytes(m_out->filePath(files.at(0))),
             u"\uFEFF日付,借方,貸方,金額,税区分,税率,控除割合,仕入先,登録番号,摘要\r\n"
             "2024/02/28,買掛金,普通預金,2000,対象外,,,先03,,\r\n"
             "2024/03/01,買掛金,普通預金,3000,対象外,,,アルファ,,\r\n"
             "2024/03/10,売掛金,売上高,800,課税売上,10,,アルファ,,販売\r\n"
             "2024/03/20,仕入高,買掛金,1000,課税仕入,10,80,アルファ,,商品B\r\n"_s.toUtf8());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ReportWindows::menuButtonOpensTheWindowAndClosingReturns() {
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu->Command1[3], Qt::LeftButton);
    frmPrint* f = frmPrint::existing();
    QVERIFY(f && f->isVisible());
    QTRY_VERIFY(!frmMenu::existing());
    // On a screen smaller than the frames need (the test screen's 800×600), the window keeps
    // to the screen and the frames scroll.
    const QRect room = f->screen()->availableGeometry();
    QVERIFY2(f->width() <= room.width() && f->height() <= room.height(),
             qPrintable(u"%1x%2"_s.arg(f->width()).arg(f->height())));
    QVERIFY(f->findChild<QScrollArea*>(u"scrFrames"_s)->verticalScrollBar()->maximum() > 0);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QCOMPARE(m_svc.process->terminations, QList<int>());
}

// ---- Ledger ---------------------------------------------------------------------------------

void tst_ReportWindows::ledger_opensTicksRefusesAndPicksADate() {
    LedgerPrintFrame* f = ledgerFrame();
    QVERIFY(f);
    QVERIFY(f->Chk_KokuyoRi101->isHidden());
    // The fixed clock says 2024/03/05 and the close day is 20: the term of 2024/02/24.
    QCOMPARE(f->cboPrintDataStartDate->currentText(), u"2024/02/21"_s);
    QCOMPARE(f->cboPrintDataEndDate->currentText(), u"2024/03/20"_s);
    QTreeWidget* list = f->ListPrintData;
    // Refused inputs keep the user there.
    f->cmdPrintData_AllClear->click();
    QCOMPARE(list->topLevelItem(2)->checkState(0), Qt::Unchecked);
    f->cmdPrintData->click();
    f->cmdPrintData_AllCheck->click();
    QCOMPARE(list->topLevelItem(2)->checkState(0), Qt::Checked);
    f->cboPrintDataStartDate->setEditText(u"2024/03/21"_s);
    f->cmdPrintData->setFocus();
    f->cmdPrintData->click();
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({u"対象仕入先がありません"_s,
                          u"終了日が開始日より前になっています。\r\n期間を確認してください。"_s}));
    QCOMPARE(QApplication::focusWidget(), f->cboPrintDataStartDate);
    QVERIFY(folderEntries(m_out->path()).isEmpty() && frmPrint::existing()->isEnabled());
    // The calendar picks a date.
    QDate shown;
    bool modal = false;
    whenWindowOpens(u"frmCalendar"_s, [&](QWidget* w) {
        modal = w->isModal() && w->windowTitle().startsWith(u"計算対象開始日"_s);
        auto* cal = w->findChild<QCalendarWidget*>(u"Calendar1"_s);
        shown = cal->selectedDate();
        cal->setSelectedDate(QDate(2024, 1, 9));
        w->findChild<QPushButton*>(u"cmdDecision"_s)->click();
    });
    f->cmdCalenderDataStart->click();
    QVERIFY(modal);
    QCOMPARE(shown, QDate(2024, 3, 21));
    QCOMPARE(f->cboPrintDataStartDate->currentText(), u"2024/01/09"_s);
}

// Dates typed as the other frames take them, older than the lists reach; a typed text that is
// no date is refused there with message 4.
void tst_ReportWindows::ledger_typedDates_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("shown");   // both boxes afterwards
    QTest::addColumn<QString>("refused"); // the box refused; "" written
    QTest::newRow("last year") << u"2023-1-1"_s << u"23.12.31"_s << u"2023/01/01|2023/12/31"_s
                               << QString();
    QTest::newRow("no such start") << u"2023/2/30"_s << u"2023/12/31"_s << u"2023/2/30|2023/12/31"_s
                                   << u"cboPrintDataStartDate"_s;
    QTest::newRow("no end") << u"2023/1/1"_s << u"31/12"_s << u"2023/01/01|31/12"_s
                            << u"cboPrintDataEndDate"_s;
}

void tst_ReportWindows::ledger_typedDates() {
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, shown);
    QFETCH(QString, refused);
    LedgerPrintFrame* f = ledgerFrame();
    QVERIFY(f);
    QVERIFY(addLine({.masterID = 2, .date = {2023, 6, 1}, .item = u"昨年の品"_s, .cost = 500}) > 0);
    for (QComboBox* box : {f->cboPrintDataStartDate, f->cboPrintDataEndDate}) {
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), box == f->cboPrintDataStartDate ? start : end);
    }
    f->cmdPrintData->click();
    QCOMPARE(f->cboPrintDataStartDate->currentText() + u'|' + f->cboPrintDataEndDate->currentText(),
             shown);
    if (refused.isEmpty()) {
        QCOMPARE(f->lastResult().sheets, QStringList{u"青葉園1"_s});
        return;
    }
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"日付が正しくありません。\r\n正しい日付を入力してください。"_s});
    auto* box = f->findChild<QComboBox*>(refused);
    QVERIFY(QApplication::focusWidget() == box || QApplication::focusWidget() == box->lineEdit());
    QVERIFY(folderEntries(m_out->path()).isEmpty());
}

void tst_ReportWindows::ledger_startRowEditedInPlaceAndReset() {
    LedgerPrintFrame* f = ledgerFrame();
    QVERIFY(f);
    QTreeWidget* list = f->ListPrintData;
    QTreeWidgetItem* item = list->topLevelItem(1);
    item->setText(0, u"5"_s);
    list->editItem(item, 2); // only the start row opens an editor
    QVERIFY(!list->findChild<QLineEdit*>());
    for (const QString& typed : {u"30"_s, u"29"_s}) {
        list->editItem(item, 0);
        auto* editor = list->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!list->findChild<QLineEdit*>()); // committed once the key press is handled
        QCOMPARE(item->text(0), typed == u"30"_s ? u"5"_s : typed);
    }
    QCOMPARE(f->params().suppliers[1].startRow, 29);
    // A click on the start row's header asks, then resets all; another column asks nothing.
    list->topLevelItem(2)->setText(0, u"17"_s);
    m_svc.prompt->answers << MsgResult::Cancel << MsgResult::OK;
    QHeaderView* header = list->header();
    QStringList rows;
    for (int section : {2, 0, 0}) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 10, header->height() / 2));
        rows << list->topLevelItem(1)->text(0) + list->topLevelItem(2)->text(0);
    }
    QCOMPARE(rows, (QStringList{u"2917"_s, u"2917"_s, u"11"_s}));
    const QString ask = u"  書込み行 を全て１行目にしますか"_s;
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{u"開始行は 1以上 29以下 の整数を入力してください"_s, ask, ask}));
    QCOMPARE(m_svc.prompt->shown[1].style & 7, MsgStyle::OKCancel);
}

void tst_ReportWindows::ledger_createWritesTheTickedSuppliersWithTheirStartRows() {
    LedgerPrintFrame* f = ledgerFrame();
    QVERIFY(f);
    QVERIFY(addLine({.masterID = 1, .date = {2024, 3, 1}, .item = u"三河屋の品"_s, .cost = 1000}) >
            0);
    QVERIFY(addLine({.masterID = 2, .date = {2024, 3, 2}, .item = u"青葉園の品"_s, .cost = 2000}) >
            0);
    QVERIFY(addLine({.masterID = 4, .date = {2024, 3, 3}, .item = u"七星の品"_s, .cost = 3000}) >
            0);
    f->ListPrintData->topLevelItem(1)->setText(0, u"8"_s); // 三河屋 starts on row 8 → row 12
    f->ListPrintData->topLevelItem(2)->setCheckState(0, Qt::Unchecked); // 七星 left out
    BusyWatch watch(frmPrint::existing(), m_svc);
    f->cmdPrintData->click();
    // One step for every supplier of the list, ticked or not; the question comes after.
    QCOMPARE(watch.steps, QList<int>({1, 2, 3}));
    QVERIFY(watch.alwaysBusy && watch.usableAtQuestion);
    const LedgerPrintResult& r = f->lastResult();
    QCOMPARE(r.sheets, QStringList({u"青葉園1"_s, u"三河屋1"_s}));
    Workbook book;
    QVERIFY(book.open(r.savedPath));
    QCOMPARE(rowText(book.sheet(0), 5, 4, 4), u"青葉園の品"_s);
    QCOMPARE(rowText(book.sheet(1), 12, 4, 4), u"三河屋の品"_s);
    QCOMPARE(rowText(book.sheet(1), 12, 11, 11), u"1,000"_s);
}

void tst_ReportWindows::ledger_settingsAndPositionWindows() {
    LedgerPrintFrame* f = ledgerFrame();
    QVERIFY(f);
    QVERIFY(gSetSystemBlnField(40, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemBlnField(38, true));
    QVERIFY(gSetSystemLngField(41, 4));
    QVERIFY(gSetSystemBlnField(45, true));
    QVERIFY(gSetSystemLngField(48, 3));
    bool seen = false;
    whenOpen<frmPrint_Data>([&](frmPrint_Data* w) {
        seen = w->isModal() && w->Chk_KokuyoRi103->isChecked() &&
               w->cboMaxLine->currentText() == u"31"_s && w->chkSumIsNote->isChecked() &&
               w->cboSumInterval->currentText() == u"4"_s && !w->chkLeaveMonth->isChecked() &&
               w->chkLeaveDay->isChecked() && !w->chkCloseDayBlank->isChecked() &&
               w->cboCloseDayBlank->currentText() == u"3"_s;
        // The interval belongs to balances in their column, the line count to the form.
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
        QVERIFY(w->cboCloseDayBlank->isEnabled());
        w->cboCloseDayBlank->setCurrentText(u"2"_s);
        w->cmdExit->click();
    });
    f->cmdPrintDataSetting->click();
    QVERIFY(seen);
    QTRY_VERIFY(!frmPrint_Data::existing());
    // The print position window: limits, directions, stored at once.
    QVERIFY(gSetSystemLngField(46, -9));
    whenOpen<frmPrint_ExcelPos>([&](frmPrint_ExcelPos* w) {
        QCOMPARE(w->lblTOP->text(), u"上へ 9"_s);
        for (int i = 0; i < 11; ++i)
            w->cmdMoveRight->click();
        QCOMPARE(w->lblLeft->text(), u"右へ 10"_s);
        // "上" shortens the first row, so the figures move up.
        w->cmdMoveTop->click();
        w->cmdMoveTop->click();
        QCOMPARE(w->lblTOP->text(), u"上へ 10"_s);
        w->cmdMoveUnder->click();
        w->close();
    });
    frmPrint::existing()->findChild<ExcelPosFrame*>(u"Frame3"_s)->cmdExcelPos->click();
    QCOMPARE(m_svc.prompt->texts(), QStringList({u"それ以上、右に寄せることは出来ません。"_s,
                                                 u"それ以上、上に寄せることは出来ません。"_s}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly | MsgStyle::Information);
    // The next run reads what was stored.
    LedgerPrintOptions o;
    QVERIFY(gGetLedgerPrintOptions(o));
    QVERIFY(o.linesPerPage == 30 && o.balanceInterval == 1 && o.closeDayBlankRows == 2);
    QVERIFY(o.omitMonth && o.omitDay && o.closeDayBlank && !o.noteInBalance && o.kokuyoRi103);
    QVERIFY(o.offsetVertical == -9 && o.offsetHorizontal == 10);
}

// ---- Profit table ---------------------------------------------------------------------------

void tst_ReportWindows::profit_opensWithListsAndDefaultsAndRefuses() {
    ManageProfitFrame* f = profitFrame();
    QVERIFY(f);
    // Three months before the current term's start; the end is the current term's end.
    QCOMPARE(f->cboManageProfitStart->currentText(), u"2024/01/21"_s);
    QCOMPARE(f->cboManageProfitEnd->currentText(), u"2024/05/20"_s);
    QTreeWidget* list = f->ListPrintManageProfit;
    QCOMPARE(itemsOf(f->cboSampling1Class),
             (QStringList{QString(), u"区分1"_s, u"区分2"_s, u"区分3"_s}));
    QCOMPARE(f->cboSamplingAndOr->currentText(), u"かつ"_s);
    QCOMPARE(f->cboSortRanking->currentText(), u"粗利"_s);
    // Choosing a class fills its values; none empties them.
    choose(f->cboSampling2Class, u"区分2"_s);
    QCOMPARE(itemsOf(f->cboSampling2ClassItem), (QStringList{u"定番"_s, u"季節"_s, u"特注"_s}));
    choose(f->cboSampling2Class, QString());
    QCOMPARE(f->cboSampling2ClassItem->count(), 0);
    // Refusals keep the user there, and a refused run keeps no choices.
    QVERIFY(QTest::qWaitForWindowActive(frmPrint::existing()));
    QTest::mouseClick(f->cmdManegeProfit_AllClear, Qt::LeftButton);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Unchecked);
    f->chkMP_SumOnly->setChecked(true);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(u"対象となるデータがありません。"_s));
    ProfitWindowChoices c;
    QVERIFY(gGetProfitWindowChoices(c));
    QVERIFY(!c.sumOnly);
    QTest::mouseClick(f->cmdPrintManegeProfit_AllCheck, Qt::LeftButton);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Checked);
    choose(f->cboManageProfitStart, u"2024/04/21"_s);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    f->cmdManageProfit->setFocus();
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().value(1).startsWith(u"終了日が開始日より前になっています。"_s));
    QTRY_VERIFY(f->cboManageProfitStart->hasFocus());
    QCOMPARE(folderEntries(m_out->path()), QStringList());
}

// A term older than the lists is typed; a range that does not bound whole terms is refused.
void tst_ReportWindows::profit_typedRangeIsCheckedAgainstTheCloseDay() {
    ManageProfitFrame* f = profitFrame();
    QVERIFY(f);
    f->cboManageProfitStart->setEditText(u"2020-1-21"_s);
    f->cboManageProfitEnd->setEditText(u"2020/02/19"_s);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().last(), u"対象期間の終了日は、締日の日付を入力してください。"_s);
    QCOMPARE(f->cboManageProfitStart->currentText(), u"2020/01/21"_s);
    f->cboManageProfitEnd->setEditText(u"20/2/20"_s);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().last().startsWith(u"対象となるデータがありません。"_s));
    QCOMPARE(f->cboManageProfitEnd->currentText(), u"2020/02/20"_s);
}

void tst_ReportWindows::profit_createsTheWorkbookAndKeepsTheChoices() {
    ManageProfitFrame* f = profitFrame();
    QVERIFY(f);
    BusyWatch watch(frmPrint::existing(), m_svc);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    choose(f->cboSampling1Class, u"区分1"_s);
    choose(f->cboSampling1ClassItem, u"文具"_s);
    choose(f->cboSamplingAndOr, u"または"_s);
    choose(f->cboSampling2Class, u"区分2"_s);
    choose(f->cboSampling2ClassItem, u"季節"_s);
    choose(f->cboSaleGroupingClass, u"区分2"_s);
    f->chkManageProfit_Ranking->setChecked(true);
    choose(f->cboSortRanking, u"利益率"_s);
    f->chkMP_NoSumNoTarget->setChecked(true);
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QCOMPARE(watch.steps.size(), 4);
    QVERIFY(watch.alwaysBusy && watch.usableAtQuestion);
    const QString saved = f->lastSavedPath();
    QCOMPARE(m_svc.shell->opened, QStringList{saved});
    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"ランキング"_s}));
    // 文具 OR 季節: 甲商店 buys 800 + 300, then 700, and sells 1000, then 900.
    QCOMPARE(rowText(book.sheet(0), 6, 3, 8), u"仕入 合計|1100|700|1800|0|1800"_s);
    QCOMPARE(rowText(book.sheet(0), 9, 3, 8), u"「季節」|0|900|900|0|900"_s);
    QCOMPARE(rowText(book.sheet(1), 2, 4, 4),
             u" ランキングシート(利益率) 2024/01/21 - 2024/04/20 抽出分類：区分1「文具」 または "
             u"区分2「季節」"_s);
    // The next opening of the window shows the choices again.
    frmPrint::existing()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ManageProfitFrame* again = openWindow()->findChild<ManageProfitFrame*>(u"Frame5"_s);
    QCOMPARE(again->cboSampling1ClassItem->currentText(), u"文具"_s);
    QCOMPARE(again->cboSampling2ClassItem->currentText(), u"季節"_s);
    QCOMPARE(again->cboSamplingAndOr->currentText(), u"または"_s);
    QCOMPARE(again->cboPurchaseGroupingClass->currentText(), QString());
    QCOMPARE(again->cboSaleGroupingClass->currentText(), u"区分2"_s);
    QVERIFY(again->chkMP_NoSumNoTarget->isChecked() && !again->chkMP_SumOnly->isChecked());
    QVERIFY(again->chkManageProfit_Ranking->isChecked());
    QCOMPARE(again->cboSortRanking->currentText(), u"利益率"_s);
}

void tst_ReportWindows::profit_settingsWindowAndColourPicker() {
    QVERIFY(gSetSystemLngField(25, 3));  // red
    QVERIFY(gSetSystemLngField(34, 17)); // not offered by the picker
    QVERIFY(gSetSystemBlnField(26, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemStrField(10, u"買入"_s));
    QVERIFY(gSetSystemLngField(29, 6));
    ManageProfitFrame* f = profitFrame();
    QVERIFY(f);
    QStringList seen;
    whenOpen<frmPrint_ManegeProfitSetting>([&](frmPrint_ManegeProfitSetting* w) {
        const auto bold = [w] { return w->lblColor[0]->font().bold() ? u"bold"_s : u"normal"_s; };
        seen << w->lblColor[1]->text() << w->lblColor[0]->palette().color(QPalette::Window).name()
             << w->lblColor[5]->palette().color(QPalette::Window).name() << bold()
             << itemsOf(w->cboMaxLine).join(u',') << w->cboMaxLine->currentText()
             << w->cboCellColorOn->currentText();
        w->chkSupplierBold->setChecked(false);
        seen << bold();
        w->cboMaxLine->setCurrentIndex(w->cboMaxLine->findText(u"30"_s));
        w->cboCellColorOn->setCurrentIndex(0);
        // A picked colour is stored at once; a cancelled pick keeps the old one.
        for (int button : {1, 0}) {
            whenOpen<frmExcelColor>([&](frmExcelColor* picker) {
                QVERIFY(!picker->PictureColor.contains(17));
                QTest::mouseClick(picker->PictureColor.value(37), Qt::LeftButton);
                seen << picker->txtPreView->palette().color(QPalette::Base).name();
                QTest::mouseClick(picker->cmdProc[button], Qt::LeftButton);
            });
            QTest::mouseClick(w->cmdColorChange[2], Qt::LeftButton);
            seen << QString::number(lngSetting(29)) + QString::number(w->colorIndex(2));
        }
        QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    });
    QTest::mouseClick(f->cmdManageProfitSetting, Qt::LeftButton);
    QCOMPARE(seen, (QStringList{u"買入の列"_s, u"#ff0000"_s, u"#ffffff"_s, u"bold"_s, u"29,30,31"_s,
                                u"31"_s, u"OFF"_s, u"normal"_s, u"#99ccff"_s, u"66"_s, u"#99ccff"_s,
                                u"3737"_s}));
    QTRY_VERIFY(!frmPrint_ManegeProfitSetting::existing());
    ProfitSheetSettings s;
    QVERIFY(gGetProfitSheetSettings(s));
    QCOMPARE(s.rowsPerSheet, 30);
    QVERIFY(s.cellColorOn && !s.supplierBold);
}

// The frame "CSV出力": the suppliers written as UTF-8, read back into an emptied master after
// the question, and a file with a refused row listed in the preview with nothing stored.
void tst_ReportWindows::csv_exportsImportsAndListsRefusedRows() {
    QVERIFY(addSupplier({.masterID = 1, .supplier = 4, .shortName = u"青葉園"_s}));
    frmPrint* f = openWindow();
    QVERIFY(f);
    auto* frame = f->findChild<CsvFrame*>(u"FrameCsv"_s);
    QVERIFY(frame && frame->isVisible());
    choose(frame->cboCsvTable, u"仕入帳"_s);
    QVERIFY(frame->cboCsvStartDate->isEnabled());
    choose(frame->cboCsvTable, u"仕入先"_s);
    QVERIFY(!frame->cboCsvStartDate->isEnabled());
    choose(frame->cboCsvEncoding, u"UTF-8（BOM付き）"_s);
    QTest::mouseClick(frame->cmdCsvExport, Qt::LeftButton);
    const QStringList files = QDir(m_out->path()).entryList({u"*.csv"_s});
    QCOMPARE(files, QStringList{u"　2024-03-05　10：15：00　仕入先.csv"_s});
    const QString file = m_out->filePath(files[0]);
    QVERIFY(readBytes(file).contains(u"\r\n4,1,0,0,0,0,青葉園株式会社,,青葉園,"_s.toUtf8()));
    QVERIFY(m_svc.prompt->texts().last().startsWith(u"1 行を書き出しました。"_s));

    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_MASTER"_s));
    m_svc.dialogs->files.enqueue(file);
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::mouseClick(frame->cmdCsvImport, Qt::LeftButton);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER WHERE lngSupplier = 4"_s), 1);
    QVERIFY(m_svc.prompt->texts().join(u'|').contains(u"1 行を仕入先に取り込みます。"_s));
    QVERIFY(m_svc.prompt->texts().last().startsWith(u"1 行を取り込みました。"_s));
    QVERIFY(f->isEnabled());

    QByteArray bad = readBytes(file);
    bad.replace(",青葉園,", ",青葉園の表示名は長い,");
    QVERIFY(writeBytes(file, bad + "5,1,0,0,0,0,乙,,乙,,1,,,,,,,,,,,,,,,1,,,,,\r\n"));
    m_svc.dialogs->files.enqueue(file);
    const int shown = m_svc.prompt->shown.size();
    QTest::mouseClick(frame->cmdCsvImport, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->shown.size(), shown); // no question: the preview tells
    auto* preview = f->findChild<frmCsvPreview*>(u"frmCsvPreview"_s);
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->grdCsvRefused->rowCount(), 1);
    QCOMPARE(preview->grdCsvRefused->item(0, 0)->text(), u"2"_s);
    QVERIFY(preview->grdCsvRefused->item(0, 1)->text().startsWith(u"表示社名は"_s));
    QVERIFY(preview->lblCsvPreview->text().contains(u"2 行のうち 1 行を取り込めません。"_s));
    QTest::mouseClick(preview->cmdCsvPreviewClose, Qt::LeftButton);
    QCOMPARE(dataRowCount(u"SELECT * FROM T_MASTER"_s), 1);
}

// "全期間（日付のない行も）" writes the undated line too; that file, with a new line added, is
// imported back: the question lists the stored lines and "はい" imports only the new one.
void tst_ReportWindows::csv_exportsEveryLineAndSkipsDuplicates() {
    QVERIFY(
        addSupplier({.masterID = 1, .supplier = 4, .shortName = u"青葉園"_s, .supplyRatio = 60}));
    QVERIFY(addLine({.date = {2024, 1, 5}, .sort = 1, .item = u"苗"_s, .cost = 100}) > 0);
    QVERIFY(addLine({.sort = 1, .item = u"日付なし"_s, .cost = 200}) > 0);
    frmPrint* f = openWindow();
    QVERIFY(f);
    auto* frame = f->findChild<CsvFrame*>(u"FrameCsv"_s);
    choose(frame->cboCsvTable, u"仕入帳"_s);
    choose(frame->cboCsvEncoding, u"UTF-8（BOM付き）"_s);
    frame->chkCsvAllLines->setChecked(true);
    QTest::mouseClick(frame->cmdCsvExport, Qt::LeftButton);
    const QString file =
        m_out->filePath(QDir(m_out->path()).entryList({u"*.csv"_s}).value(0, u"none"_s));
    const QByteArray bytes = readBytes(file);
    QVERIFY2(bytes.endsWith(u"\r\n4,青葉園,,1,日付なし,,,,,,,,200,,,\r\n"
                            "4,青葉園,2024/01/05,1,苗,,,,,,,,100,,,\r\n"_s.toUtf8()),
             bytes.constData());
    QVERIFY(writeBytes(file, bytes + u"4,青葉園,2024/01/06,1,苗,,,,,,,,100,,,\r\n"_s.toUtf8()));
    m_svc.dialogs->files.enqueue(file);
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::mouseClick(frame->cmdCsvImport, Qt::LeftButton);
    const QString question = m_svc.prompt->texts().value(1);
    QVERIFY2(
        question.contains(u"2 行目: 登録済みの行と同じです\r\n3 行目: 登録済みの行と同じです"_s),
        qPrintable(question));
    QVERIFY(m_svc.prompt->texts().last().startsWith(u"1 行を取り込みました。"_s));
    QCOMPARE(dataRowCount(u"SELECT * FROM T_DATA1"_s), 3);
}

QTEST_MAIN(tst_ReportWindows)
#include "tst_ReportWindows.moc"
