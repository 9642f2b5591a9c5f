#include "ReportTestData.h"
#include "TestData.h"
#include "TestServices.h"
#include "app/Globals.h"
#include "app/WindowGeometry.h"
#include "app/frmMenu.h"
#include "reports/ExcelLayer.h"
#include "reports/PrintMasterFrame.h"
#include "reports/Workbook.h"
#include "reports/frmPrint.h"
#include "store/Database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using reporttest::folderEntries;
using reporttest::supplierListFileName;

namespace {

template <class T> T* ctl(const QString& name) {
    frmPrint* f = frmPrint::existing();
    return f ? f->findChild<T*>(name) : nullptr;
}
QComboBox* dateBox() {
    return ctl<QComboBox>(u"cboMaster"_s);
}
QCheckBox* carryBox() {
    return ctl<QCheckBox>(u"chkMasterCarry"_s);
}
QPushButton* createButton() {
    return ctl<QPushButton>(u"cmdPrintMaster"_s);
}

const QString kQuestion = u"デスクトップに\r\n表が作成されました\r\n\r\n開きますか？\r\n"_s;

} // namespace

// The report window's supplier lists: the date list, both flows, refusals and failures, and the
// way in from the menu.
class tst_frmPrint : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addressListFlowOpensFileOnYes();
    void balanceListAsOfATypedDate();
    void invalidDateShowsMessage4_data();
    void invalidDateShowsMessage4();
    void noValidSupplierIsTold();
    void unwritableDesktop_windowStaysUsable();
    void menuButtonOpensReportWindowInUpperThird();

private:
    void openWindow();
    std::unique_ptr<QTemporaryDir> m_desktop;
};

void tst_frmPrint::init() {
    DataFileTest::init();
    QVERIFY(reporttest::loadSupplierList());
    m_desktop = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_desktop->path());
    glngDataKind = 1;
}

void tst_frmPrint::cleanup() {
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_desktop.reset();
    DataFileTest::cleanup();
}

void tst_frmPrint::openWindow() {
    frmPrint* f = frmPrint::instance();
    QVERIFY(f);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
}

void tst_frmPrint::addressListFlowOpensFileOnYes() {
    openWindow();
    frmPrint* f = frmPrint::existing();
    // Close day 20 on 2024/03/05: the list starts with the current term's end.
    QCOMPARE(dateBox()->count(), 20);
    QCOMPARE(dateBox()->itemText(0) + dateBox()->itemText(1), u"2024/03/202024/02/20"_s);
    QVERIFY(!carryBox()->isChecked());
    QVERIFY(!f->picNowProcessing->isVisible() && !f->PBarNowProcessing->isVisible());
    int steps = 0;
    bool alwaysBusy = true;
    connect(f->PBarNowProcessing, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 0)
            return;
        ++steps;
        alwaysBusy = alwaysBusy && !f->isEnabled() && f->picNowProcessing->isVisible() &&
                     f->PBarNowProcessing->maximum() == 26;
    });
    bool usableAtQuestion = false;
    m_svc.prompt->onShow = [&](const ShownPrompt&) {
        usableAtQuestion = f->isEnabled() && !f->picNowProcessing->isVisible();
    };
    m_svc.prompt->answers << MsgResult::Yes;
    QTest::mouseClick(createButton(), Qt::LeftButton);

    const QString saved = m_desktop->filePath(supplierListFileName());
    QCOMPARE(m_svc.prompt->texts(), QStringList{kQuestion});
    QCOMPARE(m_svc.shell->opened, QStringList{saved});
    QCOMPARE(folderEntries(m_desktop->path()), QStringList{supplierListFileName()});
    QCOMPARE(steps, 26);
    QVERIFY(alwaysBusy);
    QVERIFY(usableAtQuestion);
    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), (QStringList{u"雛型"_s, u"1"_s, u"2"_s}));
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmPrint::balanceListAsOfATypedDate() {
    openWindow();
    QTest::mouseClick(carryBox(), Qt::LeftButton);
    dateBox()->setFocus();
    dateBox()->lineEdit()->selectAll();
    QTest::keyClicks(dateBox()->lineEdit(), u"2024-3-1"_s);
    m_svc.prompt->answers << MsgResult::No;
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(dateBox()->currentText(), u"2024/03/01"_s);
    QVERIFY(m_svc.shell->opened.isEmpty());
    Workbook book;
    QVERIFY(book.open(m_desktop->filePath(supplierListFileName())));
    QCOMPARE(book.sheetNames(), QStringList{u"page1"_s});
    QCOMPARE(book.sheet(0)->value(2, 3).toString(), u"2024/03/01 時点仕入先名簿"_s);
    // 10 000 + 5 000 + 500 − 3 000 (paid on the day)
    QCOMPARE(book.sheet(0)->value(5, 4).toDouble(), 12500.0);
}

void tst_frmPrint::invalidDateShowsMessage4_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("carry");
    QTest::newRow("empty, address list") << QString() << false;
    QTest::newRow("February 30, balance list") << u"2024/02/30"_s << true;
}

void tst_frmPrint::invalidDateShowsMessage4() {
    QFETCH(QString, text);
    QFETCH(bool, carry);
    openWindow();
    carryBox()->setChecked(carry);
    dateBox()->setEditText(text);
    createButton()->setFocus();
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"日付が正しくありません。\r\n正しい日付を入力してください。"_s});
    QWidget* focus = frmPrint::existing()->focusWidget();
    QVERIFY(focus == dateBox() || focus == dateBox()->lineEdit());
    QCOMPARE(dateBox()->currentText(), text);
    QVERIFY(folderEntries(m_desktop->path()).isEmpty());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"frmPrint_cmdPrintMaster_Click"_s});
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_frmPrint::noValidSupplierIsTold() {
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET blnValid = 0"_s));
    openWindow();
    for (const bool carry : {false, true}) {
        carryBox()->setChecked(carry);
        QTest::mouseClick(createButton(), Qt::LeftButton);
    }
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{u"仕入先がありません"_s, u"仕入先がありません"_s}));
    QCOMPARE(m_svc.prompt->shown.first().style, MsgStyle::OKOnly | MsgStyle::Information);
    QVERIFY(folderEntries(m_desktop->path()).isEmpty());
}

void tst_frmPrint::unwritableDesktop_windowStaysUsable() {
    const QString blocked = m_desktop->filePath(u"blocked"_s);
    QFile file(blocked); // a file where the folder should be
    QVERIFY(file.open(QIODevice::WriteOnly));
    frmPrint::setOutputFolderOverride(blocked);
    openWindow();
    frmPrint* f = frmPrint::existing();
    carryBox()->setChecked(true);
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{kExcelFileReportFailed});
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{u"frmPrint_mPrintMaster_Carry"_s, u"frmPrint_cmdPrintMaster_Click"_s}));
    QVERIFY(f->isEnabled());
    QVERIFY(!f->picNowProcessing->isVisible() && !f->PBarNowProcessing->isVisible());
    QCOMPARE(folderEntries(m_desktop->path()), QStringList{u"blocked"_s});
    // Mended, the same window writes the list.
    frmPrint::setOutputFolderOverride(m_desktop->path());
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().last(), kQuestion);
    QVERIFY(folderEntries(m_desktop->path()).contains(supplierListFileName()));
}

void tst_frmPrint::menuButtonOpensReportWindowInUpperThird() {
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu->Command1[3], Qt::LeftButton);
    frmPrint* f = frmPrint::existing();
    QVERIFY(f && f->isVisible());
    QTRY_VERIFY(!frmMenu::existing());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = f->frameGeometry();
    int left = 0, top = 0;
    QVERIFY(windowOffsetFor(screen.width(), screen.height(), frame.width(), frame.height(), 1, left,
                            top));
    // The window is wider than the 800 × 600 offscreen screen; the offscreen platform puts it a
    // frame margin off the rule on that axis.
    QVERIFY(qAbs(frame.left() - (screen.left() + left)) <= 2);
    if (frame.height() <= screen.height())
        QCOMPARE(frame.top(), screen.top() + top);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    QVERIFY(frmMenu::existing() && frmMenu::existing()->isVisible());
    QCOMPARE(m_svc.process->terminations, QList<int>());
}

QTEST_MAIN(tst_frmPrint)
#include "tst_frmPrint.moc"
