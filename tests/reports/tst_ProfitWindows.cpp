#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "app/Globals.h"
#include "app/frmMenu.h"
#include "reports/ManageProfitFrame.h"
#include "reports/ProfitReport.h"
#include "reports/frmExcelColor.h"
#include "reports/frmPrint.h"
#include "reports/frmPrint_ManegeProfitSetting.h"
#include "store/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

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

// Runs `action` as soon as the modal window `T` is up.
template <typename T> void whenShown(std::function<void(T*)> action) {
    QTimer::singleShot(0, [action]() {
        T* w = T::existing();
        if (w)
            action(w);
    });
}

} // namespace

// The report window's profit table frame, its settings window and the colour picker.
class tst_ProfitWindows : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void frame_opensWithListsAndDefaults();
    void frame_restoresStoredChoices();
    void frame_createsTheWorkbookAndKeepsTheChoices();
    void frame_rowsPerSheetFollowTheSettingsCombo();
    void frame_refusalsKeepTheUserThere();
    void settings_opensWithStoredValuesAndStoresOnClose();
    void settings_pickedColourIsStoredAtOnce_data();
    void settings_pickedColourIsStoredAtOnce();

private:
    ManageProfitFrame* openFrame();
    static void closeWindow();
    std::unique_ptr<QTemporaryDir> m_out;
};

void tst_ProfitWindows::init() {
    DataFileTest::init();
    // Ten days earlier lies in the term 2024/04/21 - 2024/05/20 (close day 20).
    m_svc.clock->fixed = QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0));
    QVERIFY(reporttest::loadProfit());
    m_out = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_out->path());
    glngDataKind = 1;
}

void tst_ProfitWindows::closeWindow() {
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_ProfitWindows::cleanup() {
    closeWindow();
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_out.reset();
    DataFileTest::cleanup();
}

// The report window with its frame "利益管理表".
ManageProfitFrame* tst_ProfitWindows::openFrame() {
    frmPrint* w = frmPrint::instance();
    if (!w)
        return nullptr;
    w->show();
    return w->findChild<ManageProfitFrame*>(u"Frame5"_s);
}

void tst_ProfitWindows::frame_opensWithListsAndDefaults() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    // Three months before the current term's start; the end is the current term's end.
    QCOMPARE(f->cboManageProfitStart->currentText(), u"2024/01/21"_s);
    QCOMPARE(f->cboManageProfitEnd->currentText(), u"2024/05/20"_s);
    QTreeWidget* list = f->ListPrintManageProfit;
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows << list->topLevelItem(i)->text(0) + list->topLevelItem(i)->text(1);
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
    }
    // The invalid supplier is not offered.
    QCOMPARE(rows, (QStringList{u"1甲商店"_s, u"2乙商会"_s, u"3丙堂"_s, u"4丁屋"_s}));
    QCOMPARE(itemsOf(f->cboSampling1Class),
             (QStringList{QString(), u"区分1"_s, u"区分2"_s, u"区分3"_s}));
    QCOMPARE(f->cboSamplingAndOr->currentText(), u"かつ"_s);
    QCOMPARE(f->cboSortRanking->currentText(), u"粗利"_s);
    // Choosing a class fills its values; none empties them.
    choose(f->cboSampling2Class, u"区分2"_s);
    QCOMPARE(itemsOf(f->cboSampling2ClassItem), (QStringList{u"定番"_s, u"季節"_s, u"特注"_s}));
    choose(f->cboSampling2Class, QString());
    QCOMPARE(f->cboSampling2ClassItem->count(), 0);
    QTest::mouseClick(f->cmdManegeProfit_AllClear, Qt::LeftButton);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Unchecked);
    QTest::mouseClick(f->cmdPrintManegeProfit_AllCheck, Qt::LeftButton);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Checked);
}

void tst_ProfitWindows::frame_restoresStoredChoices() {
    QVERIFY(gSetSystemStrField(16, u"区分1"_s));
    QVERIFY(gSetSystemStrField(17, u"文具"_s));
    QVERIFY(gSetSystemStrField(18, u"区分9"_s)); // no longer a class caption
    QVERIFY(gSetSystemStrField(19, u"季節"_s));
    QVERIFY(gSetSystemLngField(20, 1));
    QVERIFY(gSetSystemStrField(22, u"区分3"_s));
    QVERIFY(gSetSystemBlnField(37, true));
    QVERIFY(gSetSystemLngField(43, 2));
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QCOMPARE(f->cboSampling1ClassItem->currentText(), u"文具"_s);
    QCOMPARE(f->cboSampling2Class->currentText(), QString());
    QCOMPARE(f->cboSampling2ClassItem->count(), 0);
    QCOMPARE(f->cboSamplingAndOr->currentText(), u"または"_s);
    QCOMPARE(f->cboSaleGroupingClass->currentText(), u"区分3"_s);
    QVERIFY(f->chkMP_SumOnly->isChecked() && !f->chkMP_NoSumNoTarget->isChecked());
    QCOMPARE(f->cboSortRanking->currentText(), u"利益率"_s);
}

void tst_ProfitWindows::frame_createsTheWorkbookAndKeepsTheChoices() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    // While it writes, the report window is disabled and shows its processing panel.
    frmPrint* window = frmPrint::existing();
    bool busySeen = false;
    connect(window->PBarNowProcessing, &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0)
            busySeen = !window->isEnabled() && window->picNowProcessing->isVisible() &&
                       window->PBarNowProcessing->maximum() == 4;
    });
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

    QVERIFY(busySeen);
    QVERIFY(window->isEnabled() && !window->picNowProcessing->isVisible());
    const QString saved = f->lastSavedPath();
    QCOMPARE(QFileInfo(saved).absolutePath(), QDir(m_out->path()).absolutePath());
    QCOMPARE(m_svc.shell->opened, QStringList{saved});
    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"ランキング"_s}));
    // 文具 OR 季節: 甲商店 buys 800 + 300, then 700, and sells 1000, then 900.
    const Worksheet* ws = book.sheet(0);
    QCOMPARE(reporttest::rowText(ws, 6, 3, 8), u"仕入 合計|1100|700|1800|0|1800"_s);
    QCOMPARE(reporttest::rowText(ws, 9, 3, 8), u"「季節」|0|900|900|0|900"_s);
    QCOMPARE(reporttest::rowText(book.sheet(1), 2, 4, 4),
             u" ランキングシート(利益率) 2024/01/21 - 2024/04/20"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
    // The next opening of the window shows the choices again.
    closeWindow();
    ManageProfitFrame* again = openFrame();
    QVERIFY(again);
    QCOMPARE(again->cboSampling1ClassItem->currentText(), u"文具"_s);
    QCOMPARE(again->cboSampling2ClassItem->currentText(), u"季節"_s);
    QCOMPARE(again->cboSamplingAndOr->currentText(), u"または"_s);
    QCOMPARE(again->cboPurchaseGroupingClass->currentText(), QString());
    QCOMPARE(again->cboSaleGroupingClass->currentText(), u"区分2"_s);
    QVERIFY(again->chkMP_NoSumNoTarget->isChecked() && !again->chkMP_SumOnly->isChecked());
    QVERIFY(again->chkManageProfit_Ranking->isChecked());
    QCOMPARE(again->cboSortRanking->currentText(), u"利益率"_s);
}

void tst_ProfitWindows::frame_rowsPerSheetFollowTheSettingsCombo() {
    // Setting 33 limits the table's sheets; blocks end on rows 10, 17 and 24, so with 26 the
    // fourth supplier starts sheet "2". Colouring on (35) with the stored colour of row 6.
    QVERIFY(gSetSystemLngField(33, 26));
    QVERIFY(gSetSystemBlnField(35, true));
    QVERIFY(gSetSystemLngField(28, 44));
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    Workbook book;
    QVERIFY(book.open(f->lastSavedPath()));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(reporttest::rowText(book.sheet(1), 5, 2, 2), u"丁屋"_s);
    QCOMPARE(book.sheet(0)->format(6, 4).fillColorIndex, 44);
}

void tst_ProfitWindows::frame_refusalsKeepTheUserThere() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    frmPrint::existing()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frmPrint::existing()));
    QTest::mouseClick(f->cmdManegeProfit_AllClear, Qt::LeftButton);
    f->chkMP_SumOnly->setChecked(true);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(u"対象となるデータがありません。"_s));
    ProfitWindowChoices c; // nothing was made, so nothing is kept
    QVERIFY(gGetProfitWindowChoices(c));
    QVERIFY(!c.sumOnly);
    QTest::mouseClick(f->cmdPrintManegeProfit_AllCheck, Qt::LeftButton);
    choose(f->cboManageProfitStart, u"2024/04/21"_s);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    f->cmdManageProfit->setFocus();
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QVERIFY(m_svc.prompt->texts().value(1).startsWith(u"終了日が開始日より前になっています。"_s));
    QTRY_VERIFY(f->cboManageProfitStart->hasFocus());
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_ProfitWindows::settings_opensWithStoredValuesAndStoresOnClose() {
    QVERIFY(gSetSystemLngField(25, 3));  // red
    QVERIFY(gSetSystemLngField(34, 17)); // not offered by the picker
    QVERIFY(gSetSystemBlnField(26, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemStrField(10, u"買入"_s));
    QStringList seen;
    whenShown<frmPrint_ManegeProfitSetting>([&](frmPrint_ManegeProfitSetting* w) {
        seen << w->lblColor[1]->text() << w->lblColor[0]->palette().color(QPalette::Window).name()
             << w->lblColor[5]->palette().color(QPalette::Window).name()
             << (w->lblColor[0]->font().bold() ? u"bold"_s : u"normal"_s)
             << itemsOf(w->cboMaxLine).join(u',') << w->cboMaxLine->currentText()
             << w->cboCellColorOn->currentText();
        w->chkSupplierBold->setChecked(false);
        seen << (w->lblColor[0]->font().bold() ? u"bold"_s : u"normal"_s);
        w->cboMaxLine->setCurrentIndex(w->cboMaxLine->findText(u"30"_s));
        w->cboCellColorOn->setCurrentIndex(0);
        QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    });
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QTest::mouseClick(f->cmdManageProfitSetting, Qt::LeftButton);
    QCOMPARE(seen, (QStringList{u"買入の列"_s, u"#ff0000"_s, u"#ffffff"_s, u"bold"_s, u"29,30,31"_s,
                                u"31"_s, u"OFF"_s, u"normal"_s}));
    QTRY_VERIFY(!frmPrint_ManegeProfitSetting::existing());
    ProfitSheetSettings s;
    QVERIFY(gGetProfitSheetSettings(s));
    QCOMPARE(s.rowsPerSheet, 30);
    QVERIFY(s.cellColorOn);
    QVERIFY(!s.supplierBold);
}

void tst_ProfitWindows::settings_pickedColourIsStoredAtOnce_data() {
    QTest::addColumn<int>("button"); // 0 confirm, 1 cancel
    QTest::addColumn<int>("stored");
    QTest::newRow("confirmed") << 0 << 37;
    QTest::newRow("cancelled") << 1 << 6;
}

void tst_ProfitWindows::settings_pickedColourIsStoredAtOnce() {
    QFETCH(int, button);
    QFETCH(int, stored);
    QVERIFY(gSetSystemLngField(29, 6));
    frmPrint_ManegeProfitSetting* w = frmPrint_ManegeProfitSetting::instance();
    QVERIFY(w);
    w->show();
    QString preview;
    whenShown<frmExcelColor>([&](frmExcelColor* picker) {
        QVERIFY(!picker->PictureColor.contains(17));
        QTest::mouseClick(picker->PictureColor.value(37), Qt::LeftButton);
        preview = picker->txtPreView->palette().color(QPalette::Base).name();
        QTest::mouseClick(picker->cmdProc[button], Qt::LeftButton);
    });
    QTest::mouseClick(w->cmdColorChange[2], Qt::LeftButton);
    QCOMPARE(preview, u"#99ccff"_s);
    // Stored before the settings window closes.
    qint32 now = 0;
    QVERIFY(gGetSystemLngField(29, now, 0));
    QCOMPARE(now, stored);
    QCOMPARE(w->colorIndex(2), stored);
    QCOMPARE(frmExcelColor::gblnColorOK, button == 0);
    if (button == 0)
        QCOMPARE(frmExcelColor::glngColorValue, 16764057);
    w->close();
}

QTEST_MAIN(tst_ProfitWindows)
#include "tst_ProfitWindows.moc"
